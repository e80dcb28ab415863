// The clipboard commands of the measurement table and the lot-number editor,
// driven through the real main window offscreen. Keys are delivered straight
// to the focused widget; the modal editor is driven from a timer.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "app/lot_edit_form.h"
#include "entry_window.h"
#include "model/sheetio.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;
using trevolo::testing::Ctls;

namespace trevolo {
namespace {

class ClipboardWindow : public testing::EntryWindow {
protected:
    void SetUp() override
    {
        EntryWindow::SetUp();
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    }

    QString clipboard() const { return QGuiApplication::clipboard()->text(); }
    void setClipboard(const char* text) { QGuiApplication::clipboard()->setText(QString::fromUtf8(text)); }

    // Selects a block of the measurement table with the table focused; the
    // current cell is the block's top-left cell.
    void select(int left, int top, int right, int bottom)
    {
        focusCell(left, top);
        GridModel* m = edit().gridModel();
        edit().selectionModel()->select(QItemSelection(m->index(top - 1, left), m->index(bottom - 1, right)),
                                        QItemSelectionModel::ClearAndSelect);
    }

    // A key with modifiers delivered to a widget as the user's key press.
    static void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent e(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(w, &e);
        QApplication::processEvents();
    }

    int lots() const { return Ctl<TplStringGrid>(form, "gridCtrl")->RowCount() - 1; }
};

TEST_F(ClipboardWindow, CopyPutsTheSelectedBlockOnTheClipboard)
{
    setCell(0, 1, "1");
    setCell(1, 1, "2");
    setCell(0, 2, "3");
    setCell(1, 2, "4");
    select(0, 1, 1, 2);
    key(&edit(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), QStringLiteral("1\t2\r\n3\t4\r\n"));
    // The view's own single-cell copy never takes over.
    Ctl<QAction>(form, "popMenuCopy")->trigger();
    EXPECT_EQ(clipboard(), QStringLiteral("1\t2\r\n3\t4\r\n"));
}

TEST_F(ClipboardWindow, CommandsDoNothingUnlessTheTableItselfHasTheFocus)
{
    auto* popMenuPaste = Ctl<QAction>(form, "popMenuPaste");
    auto* popMenuDelete = Ctl<QAction>(form, "popMenuDelete");
    setCell(0, 1, "1");
    select(0, 1, 0, 1);
    setClipboard("5\t6\r\n");

    // Focus in a header field.
    Ctl<TEdit>(form, "editProduct")->setFocus();
    QApplication::processEvents();
    for (QAction* a : Ctls<QAction>(form, {"popMenuCopy", "popMenuPaste", "popMenuDelete", "popMenuCut"}))
        a->trigger();
    EXPECT_EQ(clipboard(), QStringLiteral("5\t6\r\n"));
    EXPECT_EQ(cell(0, 1), "1");
    EXPECT_EQ(cell(1, 1), "");

    // Focus in the table's in-place editor.
    focusCell(0, 1);
    type("7");
    ASSERT_NE(QApplication::focusWidget(), &edit());
    popMenuPaste->trigger();
    popMenuDelete->trigger();
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(clipboard(), QStringLiteral("5\t6\r\n"));
}

TEST_F(ClipboardWindow, PastePastTheRightEdgeDropsTheValuesBeyondIt)
{
    ASSERT_EQ(edit().ColCount(), 10);
    setClipboard("1\t2\t3\r\n4\t5\t6\r\n");
    select(8, 5, 8, 5);
    key(&edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(cell(8, 5), "1");
    EXPECT_EQ(cell(9, 5), "2");
    EXPECT_EQ(cell(8, 6), "4");
    EXPECT_EQ(cell(9, 6), "5");
    EXPECT_EQ(cell(0, 5), "");
    EXPECT_EQ(cell(0, 6), "");
    // Hidden column 11 (index 10) is not written either.
    EXPECT_EQ(edit().cells().text(10, 5), "");
}

TEST_F(ClipboardWindow, PasteFitsTheColumnWidthsToTheText)
{
    ASSERT_EQ(edit().colWidth(2), 85);
    setClipboard("123456789012345678901234567890");
    select(2, 1, 2, 1);
    Ctl<QAction>(form, "popMenuPaste")->trigger();
    EXPECT_EQ(cell(2, 1), "123456789012345678901234567890");
    EXPECT_GT(edit().colWidth(2), 85);
    EXPECT_EQ(edit().colWidth(1), 85);
}

TEST_F(ClipboardWindow, SelectAllThenCopyAndDeleteCoverEveryDataCell)
{
    setCell(0, 1, "1.000");
    setCell(9, lots(), "9.000");
    focusCell(3, 3);
    key(&edit(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit().current(), (GridPos{9, lots()}));

    key(&edit(), Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = clipboard().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), lots() + 1);  // a line break ends the last row too
    EXPECT_EQ(lines.front(), QStringLiteral("1.000\t\t\t\t\t\t\t\t\t"));
    EXPECT_EQ(lines[lots() - 1], QStringLiteral("\t\t\t\t\t\t\t\t\t9.000"));
    EXPECT_TRUE(lines.back().isEmpty());

    key(&edit(), Qt::Key_Delete);
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_EQ(cell(9, lots()), "");
    EXPECT_EQ(cell(0, 0), "N1");
    EXPECT_EQ(cell(9, 0), "N10");
}

TEST_F(ClipboardWindow, CutCopiesThenEmptiesTheSelection)
{
    setCell(2, 4, "3.500");
    setCell(3, 4, "-1.250");
    select(2, 4, 3, 4);
    key(&edit(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(clipboard(), QStringLiteral("3.500\t-1.250\r\n"));
    EXPECT_EQ(cell(2, 4), "");
    EXPECT_EQ(cell(3, 4), "");

    // Pasting it back elsewhere restores the values.
    select(0, 10, 0, 10);
    key(&edit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(cell(0, 10), "3.500");
    EXPECT_EQ(cell(1, 10), "-1.250");
}

// ---------------------------------------------------------------- lot editor

class LotEditorWindow : public ClipboardWindow {
protected:
    TLotEditForm& editor() { return *form->findChild<TLotEditForm*>(); }
    StringGrid& lotGrid() { return *form->findChild<TLotEditForm*>()->gridLotno; }
    std::string lot(StringGrid* g, int row) { return g->cells().text(0, row); }

    // Opens the editor from the main window; inside runs while it is shown.
    // Returns whether it closed with OK.
    bool openEditor(const std::function<void()>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QApplication::setActiveWindow(&editor());
            QApplication::processEvents();
            ran = true;
            inside();
            if (editor().isVisible())
                editor().btnCancel->click();
        });
        Ctl<QPushButton>(form, "btnLotEdit")->click();
        EXPECT_TRUE(ran);
        return editor().result() == QDialog::Accepted;
    }
    void rename(int row, const char* text) { lotGrid().setCellText(0, row, QString::fromUtf8(text)); }
};

TEST_F(LotEditorWindow, EditorShowsEveryLotNumberAndStartsOnTheFirstLot)
{
    Ctl<TplStringGrid>(form, "gridCtrl")->cells().setText(0, 4, "X-4");
    openEditor([&] {
        EXPECT_EQ(editor().windowTitle(), QStringLiteral("ﾛｯﾄ№編集"));
        EXPECT_EQ(lotGrid().RowCount(), lots() + 1);
        EXPECT_EQ(lot(&lotGrid(), 0), "ﾛｯﾄ№");
        EXPECT_EQ(lot(&lotGrid(), 1), "K0001");
        EXPECT_EQ(lot(&lotGrid(), 4), "X-4");
        EXPECT_EQ(lot(&lotGrid(), lots()), "K0100");
        EXPECT_EQ(lotGrid().current(), (GridPos{0, 1}));
        EXPECT_TRUE(lotGrid().hasFocus());
        EXPECT_EQ(editor().size(), QSize(123, 524));
    });
}

TEST_F(LotEditorWindow, BlankSeventhNumberKeepsTheEditorOpenOnRowSeven)
{
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    const bool ok = openEditor([&] {
        rename(3, "A-3");
        rename(7, "  ");
        rename(9, "");
        editor().btnOk->click();
        EXPECT_TRUE(editor().isVisible());
        EXPECT_EQ(texts(), QStringList{QStringLiteral("ﾛｯﾄ№に空欄が見つかりました。確認してください！！")});
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("ガイドメッセージ"));
        EXPECT_EQ(lotGrid().current(), (GridPos{0, 7}));
        EXPECT_TRUE(lotGrid().hasFocus());
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(lot(gridCtrl, 3), "K0003");
    EXPECT_EQ(lot(gridCtrl, 7), "K0007");
}

TEST_F(LotEditorWindow, CancelLeavesEveryLotNumberAsItWas)
{
    const bool ok = openEditor([&] {
        for (int r = 1; r <= lots(); ++r)
            rename(r, "Z");
        editor().btnCancel->click();
    });
    EXPECT_FALSE(ok);
    for (int r = 1; r <= lots(); ++r)
        ASSERT_EQ(lot(Ctl<TplStringGrid>(form, "gridCtrl"), r), DefaultLotLabel(r));
    EXPECT_EQ(lot(Ctl<StringGrid>(form, "gridCalc"), 5), "K0005");
}

TEST_F(LotEditorWindow, OkWritesTheNumbersIntoEveryTableRowForRow)
{
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    const bool ok = openEditor([&] {
        rename(1, "A-1");
        rename(100, "A-100");
        editor().btnOk->click();
    });
    EXPECT_TRUE(ok);
    for (StringGrid* g : Ctls<StringGrid>(form, {"gridCtrl", "gridCalc", "gridSpc"})) {
        SCOPED_TRACE(g->objectName().toStdString());
        EXPECT_EQ(lot(g, 1), "A-1");
        EXPECT_EQ(lot(g, 2), "K0002");
        EXPECT_EQ(lot(g, 100), "A-100");
    }
    EXPECT_EQ(lot(gridCtrl, 0), "ﾛｯﾄ№");
    // The next save point stores them with the sheet.
    form->storeShownSheet();
    EXPECT_EQ(form->workbook().sheets[0].dataList[0].substr(0, 4), "A-1,");
}

TEST_F(LotEditorWindow, JudgedTablesTakeTheNumbersOfTheLotsTheyList)
{
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    auto* gridCalc = Ctl<StringGrid>(form, "gridCalc");
    auto* gridSpc = Ctl<StringGrid>(form, "gridSpc");
    // Lots 1, 2 and 3 hold values, lot 2 is switched off: the judged tables
    // list lots 1 and 3 only.
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c < 3; ++c)
            setCell(c, r, c == 0 ? "9.8" : c == 1 ? "10.0" : "10.2");
    gridCtrl->setFlag(2, false);
    fillHeader(SpecTolerance, "10.5", "9.5");
    fillControlLimits();
    Ctl<QPushButton>(form, "btnSpcJudg")->click();
    ASSERT_EQ(lot(gridCalc, 1), "K0001");
    ASSERT_EQ(lot(gridCalc, 2), "K0003");
    ASSERT_EQ(lot(gridCalc, 3), "＊トータル");
    ASSERT_EQ(lot(gridSpc, 2), "K0003");

    const bool ok = openEditor([&] {
        rename(1, "LOT-A");
        rename(2, "LOT-B");
        rename(3, "LOT-C");
        editor().btnOk->click();
    });
    ASSERT_TRUE(ok);
    EXPECT_EQ(lot(gridCalc, 1), "LOT-A");
    EXPECT_EQ(lot(gridCalc, 2), "LOT-C");
    EXPECT_EQ(lot(gridCalc, 3), "＊トータル");
    EXPECT_EQ(lot(gridSpc, 1), "LOT-A");
    EXPECT_EQ(lot(gridSpc, 2), "LOT-C");
    EXPECT_EQ(lot(gridCtrl, 2), "LOT-B");
}

TEST_F(LotEditorWindow, EnterMovesDownAndWrapsToTheFirstLot)
{
    openEditor([&] {
        lotGrid().setCurrent({0, lots() - 1});
        key(&lotGrid(), Qt::Key_Return);
        EXPECT_EQ(lotGrid().current(), (GridPos{0, lots()}));
        key(&lotGrid(), Qt::Key_Return);
        EXPECT_EQ(lotGrid().current(), (GridPos{0, 1}));

        // A typed key opens the in-place editor on the current row; Enter
        // stores the text, any text at all, and moves on.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("#"));
        QApplication::sendEvent(&lotGrid(), &typed);
        QApplication::processEvents();
        QWidget* inplace = QApplication::focusWidget();
        ASSERT_NE(inplace, &lotGrid());
        key(inplace, Qt::Key_Return);
        EXPECT_EQ(lot(&lotGrid(), 1), "#");
        EXPECT_EQ(lotGrid().current(), (GridPos{0, 2}));
    });
}

TEST_F(LotEditorWindow, EditorHasItsOwnClipboardCommands)
{
    setClipboard("P-1\r\nP-2\r\n");
    const bool ok = openEditor([&] {
        lotGrid().setCurrent({0, 5});
        key(&lotGrid(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(lot(&lotGrid(), 5), "P-1");
        EXPECT_EQ(lot(&lotGrid(), 6), "P-2");
        key(&lotGrid(), Qt::Key_A, Qt::ControlModifier);
        key(&lotGrid(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(clipboard().startsWith(QStringLiteral("K0001\r\nK0002\r\n")));
        EXPECT_EQ(clipboard().count(QStringLiteral("\r\n")), lots());
        editor().btnOk->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(lot(Ctl<TplStringGrid>(form, "gridCtrl"), 5), "P-1");
    EXPECT_EQ(lot(Ctl<StringGrid>(form, "gridCalc"), 6), "P-2");
}

TEST_F(ClipboardWindow, CtrlZAndCtrlYUndoAndRedoInTheTablesAndFields)
{
    setCell(0, 1, "1");
    select(0, 1, 1, 2);
    setClipboard("5\t6\r\n7\t8\r\n");
    key(&edit(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(cell(1, 2), "8");
    key(&edit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(0, 1), "1");
    EXPECT_EQ(cell(1, 2), "");
    key(&edit(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(cell(1, 2), "8");
    key(&edit(), Qt::Key_Z, Qt::ControlModifier);

    // A lot switch, undone from the lot table.
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    gridCtrl->toggle(3);
    ASSERT_FALSE(gridCtrl->flag(3));
    gridCtrl->setFocus();
    key(gridCtrl, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(gridCtrl->flag(3));

    // Typed into a field: Ctrl+Z there takes back the whole text typed, and
    // Ctrl+Shift+Z brings it again; the table's menu says so.
    auto* product = Ctl<TEdit>(form, "editProduct");
    product->setFocus();
    QApplication::processEvents();
    QTest::keyClicks(product, QStringLiteral("AB"));
    key(product, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(product->text(), QString());
    EXPECT_EQ(form->session().header().product, "");
    key(product, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(product->text(), QStringLiteral("AB"));
    EXPECT_EQ(Ctl<QAction>(form, "popMenuUndo")->text(), QStringLiteral("元に戻す(&U)"));
    EXPECT_EQ(Ctl<QAction>(form, "popMenuRedo")->text(), QStringLiteral("やり直し(&R)"));
}

}  // namespace
}  // namespace trevolo
