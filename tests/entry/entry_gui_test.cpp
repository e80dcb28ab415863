// The measurement entry, the control-limit panel and the specification
// judgment driven through the real main window, offscreen. Message boxes are
// answered by a script; everything else is the program's own.
#include <QAction>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <functional>

#include "entry_window.h"
#include "stats/control_limits.h"

namespace trevolo {
namespace {

using testing::EntryWindow;
using testing::kLime;
using testing::kRed;
using testing::kYellow;

// ---------------------------------------------------------------- entry

struct TypingCase {
    const char* before;  // cell text before typing
    const char* keys;
    const char* shown;      // editor text after the keys
    const char* committed;  // cell text after Enter at three decimals
};

TEST_F(EntryWindow, TypedKeysPassTheNumericFilterAndCommitFormatted)
{
    const TypingCase cases[] = {
        {"", "1.2.3", "1.23", "1.230"},
        {"", "--5", "-5", "-5.000"},
        {"", "5-", "5", "5.000"},
        {"", "a1b2", "12", "12.000"},
        {"", "-.5", "-.5", "-0.500"},
        // Typing replaces what the cell held, so its old point and sign do
        // not block the new ones.
        {"1.500", ".5", ".5", "0.500"},
        {"-5.000", "-3", "-3", "-3.000"},
    };
    for (const TypingCase& c : cases) {
        SCOPED_TRACE(std::string(c.keys) + " over '" + c.before + "'");
        setCell(0, 1, c.before);
        focusCell(0, 1);
        type(c.keys);
        EXPECT_EQ(editorText(), QString::fromUtf8(c.shown));
        pressEnter();
        EXPECT_EQ(cell(0, 1), c.committed);
        EXPECT_EQ(edit().current(), (GridPos{1, 1}));
    }
}

TEST_F(EntryWindow, LettersTypedOnTheTableOpenNoEditor)
{
    focusCell(2, 3);
    type("x");
    EXPECT_EQ(QApplication::focusWidget(), &edit());
    type("4");
    EXPECT_EQ(editorText(), QStringLiteral("4"));
}

TEST_F(EntryWindow, TheMouseNeverOpensTheEditor)
{
    focusCell(0, 1);
    const QRect r = edit().visualRect(edit().gridModel()->index(1, 1));
    QTest::mouseClick(edit().viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(edit().viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(QApplication::focusWidget(), &edit());
    EXPECT_EQ(edit().editTriggers(), QAbstractItemView::NoEditTriggers);
    type("7");
    EXPECT_EQ(editorText(), QStringLiteral("7"));
}

struct EnterCase {
    const char* name;
    int keta;
    GridPos at;
    const char* text;
    const char* after;
    GridPos next;
};

TEST_F(EntryWindow, EnterCommitsAndMoves)
{
    // 100 lots x 10 values by default.
    const EnterCase cases[] = {
        {"rounds to the decimals", 2, {3, 5}, "12.3456", "12.35", {4, 5}},
        {"no decimals", 0, {3, 5}, "2.5", "2", {4, 5}},
        {"end of a row goes to the next row", 3, {9, 5}, "1", "1.000", {0, 6}},
        {"last cell goes to the first data row", 3, {9, 100}, "7.25", "7.250", {0, 1}},
        {"empty cell just moves", 3, {3, 5}, "", "", {4, 5}},
        {"blank cell just moves", 3, {3, 5}, "  ", "  ", {4, 5}},
        {"pasted letters are emptied and stay", 3, {3, 5}, "abc", "", {3, 5}},
        {"a lone minus is emptied and stays", 3, {3, 5}, "-", "", {3, 5}},
    };
    for (const EnterCase& c : cases) {
        SCOPED_TRACE(c.name);
        form->spinKeta->setValue(c.keta);
        setCell(c.at.col, c.at.row, c.text);
        focusCell(c.at.col, c.at.row);
        pressEnter();
        EXPECT_EQ(cell(c.at.col, c.at.row), c.after);
        EXPECT_EQ(edit().current(), c.next);
    }
}

// What is typed and not yet confirmed is taken by every save point: a tab
// change, a menu command, a button and closing the window.
TEST_F(EntryWindow, EverySavePointTakesWhatIsStillBeingTyped)
{
    auto clickTab = [&](int index) {
        QTest::mouseClick(form->tabCtrl, Qt::LeftButton, {}, form->tabCtrl->tabRect(index).center());
        QApplication::processEvents();
        ASSERT_EQ(form->selectedTab(), index);
    };

    // A tab change stores the value with its own sheet, not the next one.
    focusCell(0, 1);
    type("12.5");
    ASSERT_EQ(editorText(), QStringLiteral("12.5"));
    clickTab(1);
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_EQ(form->Sheets[0].DataList[0], "K0001,12.5,,,,,,,,,");
    clickTab(0);
    EXPECT_EQ(cell(0, 1), "12.500");
    EXPECT_EQ(form->Sheets[1].DataList[0], "K0001,,,,,,,,,,");

    // A header field is normalised on the sheet it was typed into; the sheet
    // shown next keeps its own text.
    form->Sheets[1].Kupper = "abc";
    form->editKupper->setFocus(Qt::MouseFocusReason);
    type("1.5");
    clickTab(1);
    EXPECT_EQ(form->Sheets[0].Kupper, "1.500");
    EXPECT_EQ(form->editKupper->text(), QStringLiteral("abc"));
    EXPECT_TRUE(prompts.shown.empty());
    clickTab(0);

    // A menu command and a button judge the value being typed.
    fillHeader();
    fillControlLimits();
    setCell(0, 1, "");
    focusCell(1, 1);
    type("99");
    form->menuExecSpec->trigger();
    EXPECT_EQ(form->pnlSpecJudg->text(), QStringLiteral("不合格"));
    focusCell(1, 1);
    type("9.5");
    form->btnSpecJudg->click();
    EXPECT_EQ(form->pnlSpecJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(form->Sheets[0].DataList[0], "K0001,,9.5,,,,,,,,");

    // Closing the window stores the shown sheet with the value.
    focusCell(2, 3);
    type("7.25");
    form->close();
    EXPECT_EQ(form->Sheets[0].DataList[2], "K0003,,,7.25,,,,,,,");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EntryWindow, MisplacedMinusWrittenByTheEditorIsRemoved)
{
    // The editor's commit goes through the same rule as typing.
    edit().gridModel()->setData(edit().gridModel()->index(0, 0), QStringLiteral("12-3"), Qt::EditRole);
    EXPECT_EQ(cell(0, 1), "123");
    edit().gridModel()->setData(edit().gridModel()->index(0, 0), QStringLiteral("-12"), Qt::EditRole);
    EXPECT_EQ(cell(0, 1), "-12");
}

// ---------------------------------------------------------------- lot table

TEST_F(EntryWindow, CheckColumnTogglesWithLeftClickOnly)
{
    auto clickAt = [&](int col, int row, Qt::MouseButton b) {
        const QRect r = ctrl().visualRect(ctrl().gridModel()->index(row - 1, col));
        QTest::mouseClick(ctrl().viewport(), b, {}, r.center());
    };
    ASSERT_TRUE(ctrl().flag(2));
    clickAt(1, 2, Qt::LeftButton);
    EXPECT_FALSE(ctrl().flag(2));
    clickAt(1, 2, Qt::RightButton);
    EXPECT_FALSE(ctrl().flag(2));
    clickAt(0, 2, Qt::LeftButton);
    EXPECT_FALSE(ctrl().flag(2));
    clickAt(1, 2, Qt::LeftButton);
    EXPECT_TRUE(ctrl().flag(2));
}

TEST_F(EntryWindow, SpaceFlipsEachRowOfASelectionInTheCheckColumn)
{
    ctrl().setFlag(3, false);
    ctrl().setFlag(6, false);
    ctrl().setFocus();
    auto select = [&](int col, int top, int bottom) {
        const QItemSelection sel(ctrl().gridModel()->index(top - 1, col), ctrl().gridModel()->index(bottom - 1, col));
        ctrl().selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    };
    select(1, 3, 6);
    QTest::keyClick(&ctrl(), Qt::Key_Space);
    EXPECT_TRUE(ctrl().flag(3));
    EXPECT_FALSE(ctrl().flag(4));
    EXPECT_FALSE(ctrl().flag(5));
    EXPECT_TRUE(ctrl().flag(6));
    EXPECT_TRUE(ctrl().flag(7));

    // A selection that starts in the lot-number column flips nothing.
    select(0, 3, 6);
    QTest::keyClick(&ctrl(), Qt::Key_Space);
    EXPECT_FALSE(ctrl().flag(4));
    EXPECT_TRUE(ctrl().flag(6));

    form->btnAllOn->click();
    for (int row = 1; row <= 100; ++row)
        ASSERT_TRUE(ctrl().flag(row)) << row;
}

// The lot numbers are a fixed column: drawn in the header colour and never
// current; what the mouse or the keys do there lands in the check column.
TEST_F(EntryWindow, TheLotNumberColumnIsFixedAndEveryPressCounts)
{
    auto centre = [&](int col, int row) { return ctrl().visualRect(ctrl().gridModel()->index(row - 1, col)).center(); };
    const CellLook lot = form->gridCtrlDrawCell(0, 3, true, true);
    EXPECT_EQ(lot.background, ctrl().palette().color(QPalette::Button));
    EXPECT_EQ(lot.text, QColor(Qt::black));

    // Dragged from lot 3's number down to lot 6's: the check cells of lots 3
    // to 6 are selected, and Space, with Shift or without, flips them.
    ctrl().setFlag(4, false);
    ctrl().setFocus();
    QTest::mousePress(ctrl().viewport(), Qt::LeftButton, {}, centre(0, 3));
    QTest::mouseMove(ctrl().viewport(), centre(0, 6));
    QTest::mouseRelease(ctrl().viewport(), Qt::LeftButton, {}, centre(0, 6));
    EXPECT_EQ(ctrl().current(), (GridPos{1, 6}));
    const StringGrid::Rect sel = ctrl().selectionRect();
    EXPECT_EQ(std::vector<int>({sel.left, sel.top, sel.right, sel.bottom}), std::vector<int>({1, 3, 1, 6}));
    EXPECT_TRUE(ctrl().flag(3));  // a press on a lot number toggles nothing
    QTest::keyClick(&ctrl(), Qt::Key_Space);
    EXPECT_EQ(std::vector<bool>({ctrl().flag(3), ctrl().flag(4), ctrl().flag(5), ctrl().flag(6)}),
              std::vector<bool>({false, true, false, false}));
    QTest::keyClick(&ctrl(), Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(std::vector<bool>({ctrl().flag(3), ctrl().flag(4), ctrl().flag(5), ctrl().flag(6)}),
              std::vector<bool>({true, false, true, true}));

    // The keys do not move the current cell into the lot numbers.
    ctrl().setCurrent({1, 5});
    QTest::keyClick(&ctrl(), Qt::Key_Left);
    EXPECT_EQ(ctrl().current(), (GridPos{1, 5}));

    // Both presses of a double-click invert the check.
    QTest::mouseClick(ctrl().viewport(), Qt::LeftButton, {}, centre(1, 8));
    QTest::mouseDClick(ctrl().viewport(), Qt::LeftButton, {}, centre(1, 8));
    QTest::mouseRelease(ctrl().viewport(), Qt::LeftButton, {}, centre(1, 8));
    EXPECT_TRUE(ctrl().flag(8));
}

TEST_F(EntryWindow, TablesScrollTogether)
{
    edit().verticalScrollBar()->setValue(40);
    EXPECT_EQ(ctrl().topRow(), edit().topRow());
    EXPECT_EQ(ctrl().topRow(), 41);
    ctrl().verticalScrollBar()->setValue(7);
    EXPECT_EQ(edit().topRow(), 8);
    // At the very end both still show the same lot on top, also when the
    // measurement table has a horizontal scroll bar and the lot table none.
    for (int n : {1, 100}) {
        form->spinCol->setValue(n);
        QApplication::processEvents();
        edit().verticalScrollBar()->setValue(edit().verticalScrollBar()->maximum());
        EXPECT_EQ(ctrl().topRow(), edit().topRow()) << n;
        EXPECT_EQ(ctrl().geometry().top(), edit().geometry().top()) << n;
        EXPECT_EQ(ctrl().rowAt(ctrl().viewport()->height() - 1), edit().rowAt(edit().viewport()->height() - 1)) << n;
    }
}

// ---------------------------------------------------------------- header fields

TEST_F(EntryWindow, KindChangeEmptiesAndDisablesTheLimitNotInForce)
{
    const QColor window = form->palette().color(QPalette::Base);
    const QColor face = form->palette().color(QPalette::Button);
    form->editKupper->setText(QStringLiteral("10.000"));
    form->editKlower->setText(QStringLiteral("9.000"));

    form->cmbSpecKind->setCurrentIndex(SpecUpperOnly);
    emit form->cmbSpecKind->activated(SpecUpperOnly);
    EXPECT_TRUE(form->editKupper->isEnabled());
    EXPECT_EQ(form->editKupper->text(), QStringLiteral("10.000"));
    EXPECT_FALSE(form->editKlower->isEnabled());
    EXPECT_TRUE(form->editKlower->text().isEmpty());
    EXPECT_EQ(form->editKlower->fieldColor(), face);

    form->cmbSpecKind->setCurrentIndex(SpecTolerance);
    emit form->cmbSpecKind->activated(SpecTolerance);
    EXPECT_TRUE(form->editKlower->isEnabled());
    EXPECT_TRUE(form->editKlower->text().isEmpty());
    EXPECT_EQ(form->editKlower->fieldColor(), window);

    form->cmbSpecKind->setCurrentIndex(SpecLowerOnly);
    emit form->cmbSpecKind->activated(SpecLowerOnly);
    EXPECT_FALSE(form->editKupper->isEnabled());
    EXPECT_TRUE(form->editKupper->text().isEmpty());
}

TEST_F(EntryWindow, ClearResetsTheHeaderButNotTheValues)
{
    setCell(0, 1, "9.500");
    ctrl().setFlag(2, false);
    form->editProduct->setText(QStringLiteral("品種"));
    form->editLabel->setText(QStringLiteral("外径"));
    form->editUnit->setText(QStringLiteral("um"));
    form->spinKeta->setValue(1);
    fillHeader(SpecUpperOnly, "10.0");
    form->session().specMarking = true;
    form->session().cpkMarking = true;
    form->pnlSpecJudg->setText(QStringLiteral("合格"));

    form->btnSpecClear->click();
    EXPECT_FALSE(form->session().specMarking);
    EXPECT_FALSE(form->session().cpkMarking);
    EXPECT_TRUE(form->editProduct->text().isEmpty());
    EXPECT_EQ(form->editLabel->text(), form->tabCtrl->tabText(form->selectedTab()));
    EXPECT_EQ(form->editUnit->text(), QStringLiteral("MM"));
    EXPECT_EQ(form->spinKeta->text(), QStringLiteral("3"));
    EXPECT_EQ(form->cmbSpecKind->currentIndex(), SpecTolerance);
    EXPECT_TRUE(form->editKupper->isEnabled() && form->editKlower->isEnabled());
    EXPECT_TRUE(form->editKupper->text().isEmpty() && form->editKlower->text().isEmpty());
    EXPECT_TRUE(form->pnlSpecJudg->text().isEmpty());
    EXPECT_EQ(cell(0, 1), "9.500");
    EXPECT_FALSE(ctrl().flag(2));
}

TEST_F(EntryWindow, FieldKeyFilters)
{
    struct Case {
        TEdit* field;
        const char* keys;  // UTF-8, one character at a time
        const char* result;
    };
    const Case cases[] = {
        {form->editKupper, "1.2.3", "1.23"},
        {form->editKupper, "--5", "-5"},
        {form->editKupper, "x5e", "5"},
        {form->editKlower, "-.5.", "-.5"},
        {form->editLcl3, "5", ""},  // read-only in the automatic state
        {form->editLabel, "a:b?c#*,/[]\\d", "abcd"},
        {form->editProduct, "外径Ａ", "外径Ａ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        c.field->clear();
        for (QChar ch : QString::fromUtf8(c.keys))
            c.field->typeChar(ch);
        EXPECT_EQ(c.field->text(), QString::fromUtf8(c.result));
    }
}

// ---------------------------------------------------------------- drawing

TEST_F(EntryWindow, OutOfLimitValuesAreDrawnRedWhileMarking)
{
    fillHeader(SpecTolerance, "10.000", "9.000");
    const char* values[] = {"10.000", "9.000", "10.001", "8.999", "9.500", "abc", "   "};
    for (int c = 0; c < 7; ++c)
        setCell(c, 1, values[c]);
    auto textColour = [&](int col) { return form->gridEditDrawCell(col, 1, false, false).text; };

    // Nothing is marked before a judgment.
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(textColour(c), QColor(Qt::black)) << c;

    form->session().specMarking = true;
    const QColor twoSided[] = {Qt::black, Qt::black, kRed, kRed, Qt::black, Qt::black, Qt::black};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(textColour(c), twoSided[c]) << values[c];

    // The kind and limits are read as they stand at paint time.
    form->cmbSpecKind->setCurrentIndex(SpecUpperOnly);
    EXPECT_EQ(textColour(2), kRed);
    EXPECT_EQ(textColour(3), QColor(Qt::black));
    form->editKupper->setText(QStringLiteral("10.5"));
    EXPECT_EQ(textColour(2), QColor(Qt::black));
    form->editKupper->setText(QStringLiteral("-"));
    EXPECT_EQ(textColour(2), QColor(Qt::black));

    // The current cell is yellow only while the table has the focus.
    EXPECT_EQ(form->gridEditDrawCell(0, 1, true, true).background, kYellow);
    EXPECT_NE(form->gridEditDrawCell(0, 1, false, true).background, kYellow);
    EXPECT_EQ(form->gridCtrlDrawCell(1, 1, true, true).background, kYellow);
}

// ---------------------------------------------------------------- control limits

// Worked example: X-Rs chart, one value per lot, 10, 12, 11: m = 11, s = 1,
// moving ranges 0, 2, 1 so the R/S/Rs centre C = 1.
TEST_F(EntryWindow, ThreeSigmaLimitsOfTheXRsExample)
{
    form->spinCol->setValue(1);
    ASSERT_EQ(form->cmbChart->currentIndex(), ChartXRs);
    setCell(0, 1, "10");
    setCell(0, 2, "12");
    setCell(0, 3, "11");
    prompts.answers = {true};
    form->btn3Stdev->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("ガイドメッセージ"));
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("※自動計算した±３σの値がそれぞれ設定されます。")));
    EXPECT_EQ(limitTexts(), (QStringList{"14.0000", "13.0000", "12.0000", "8.0000", "9.0000", "10.0000", "11.0000",
                                         "1.0000", "4.0000", "3.0000", "2.0000"}));
}

// Worked example: XbarR, lots (1, 3) and (2, 6); a disabled lot takes no part.
TEST_F(EntryWindow, ThreeSigmaLimitsOfTheXbarRExampleSkipDisabledLots)
{
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    setCell(0, 2, "100");
    ctrl().setFlag(2, false);
    setCell(0, 3, "2");
    setCell(1, 3, "6");
    prompts.answers = {true};
    form->btn3Stdev->click();
    const QStringList l = limitTexts();
    EXPECT_EQ(l[LimitUcl3], "9.4807");
    EXPECT_EQ(l[LimitLcl3], "-3.4807");
    EXPECT_EQ(l[LimitXcl], "3.0000");
    EXPECT_EQ(l[LimitRcl], "3.0000");
    EXPECT_EQ(l[LimitRsUcl3], "9.4807");
    EXPECT_EQ(l[LimitRsUcl2], "7.3205");
    EXPECT_EQ(l[LimitRsUcl1], "5.1602");
}

TEST_F(EntryWindow, DecliningTheLimitMethodLeavesTheManualPanel)
{
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    for (int line = 0; line < 9; ++line) {
        EXPECT_FALSE(form->limitBox(line)->isChecked());
        EXPECT_FALSE(form->limitField(line)->isReadOnly());
    }
    EXPECT_EQ(form->itemUcl3->text(), QStringLiteral("上限規格値"));
    EXPECT_EQ(form->itemXcl->text(), QStringLiteral("中央値"));
    form->editUcl3->setText(QStringLiteral("5.0000"));

    prompts.answers = {false};
    selectLimitMethod(0);
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(form->cmbLimit->currentIndex(), 1);
    EXPECT_EQ(form->editUcl3->text(), QStringLiteral("5.0000"));
    EXPECT_FALSE(form->cbUcl3->isChecked());
    EXPECT_FALSE(form->editUcl3->isReadOnly());

    prompts.answers = {true};
    selectLimitMethod(0);
    EXPECT_EQ(form->cmbLimit->currentIndex(), 0);
    EXPECT_EQ(form->editXcl->text(), QStringLiteral("2.0000"));
    for (int line = 0; line < 9; ++line) {
        EXPECT_TRUE(form->limitBox(line)->isChecked());
        EXPECT_TRUE(form->limitField(line)->isReadOnly());
        EXPECT_EQ(form->limitField(line)->focusPolicy(), Qt::ClickFocus);
    }
    EXPECT_EQ(form->itemUcl3->text(), QStringLiteral("＋３σ"));
    EXPECT_EQ(form->editUcl3->fieldColor(), form->palette().color(QPalette::Button));
}

TEST_F(EntryWindow, CheckBoxComputesItsOwnLineOnly)
{
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    form->editXcl->setText(QStringLiteral("7.0000"));
    form->editUcl1->setText(QStringLiteral("8.0000"));

    // Declined: the box is cleared again and the line stays manual.
    prompts.answers = {false};
    form->cbXcl->setChecked(true);
    EXPECT_FALSE(form->cbXcl->isChecked());
    EXPECT_FALSE(form->editXcl->isReadOnly());
    EXPECT_EQ(form->itemXcl->text(), QStringLiteral("中央値"));
    EXPECT_EQ(form->editXcl->text(), QStringLiteral("7.0000"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("※自動計算した値が個別に設定されます。")));

    // Accepted: that line and the two hidden lines are written.
    prompts.answers = {true};
    form->cbXcl->setChecked(true);
    EXPECT_TRUE(form->editXcl->isReadOnly());
    EXPECT_EQ(form->itemXcl->text(), QStringLiteral("平均値"));
    EXPECT_EQ(form->editXcl->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(form->editUcl1->text(), QStringLiteral("8.0000"));
    EXPECT_FALSE(form->editRsUcl2->text().isEmpty());
    EXPECT_FALSE(form->editRsUcl1->text().isEmpty());
    EXPECT_TRUE(form->editRsUcl3->text().isEmpty());

    // Clearing a box makes the line editable and moves the focus to it.
    form->cbXcl->setChecked(false);
    EXPECT_FALSE(form->editXcl->isReadOnly());
    EXPECT_EQ(form->editXcl->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(QApplication::focusWidget(), form->editXcl);
}

TEST_F(EntryWindow, ThreeSigmaButtonOverwritesManualLinesAndKeepsThemManual)
{
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    form->editUcl3->setText(QStringLiteral("99.0000"));
    prompts.answers = {true};
    form->btn3Stdev->click();
    EXPECT_NE(form->editUcl3->text(), QStringLiteral("99.0000"));
    EXPECT_FALSE(form->editUcl3->isReadOnly());
    EXPECT_FALSE(form->cbUcl3->isChecked());
    EXPECT_EQ(form->itemUcl3->text(), QStringLiteral("上限規格値"));
}

TEST_F(EntryWindow, LimitsNeedTwoValuesAndNumbers)
{
    selectLimitMethod(1);
    // No value: no question, the line turns automatic with its empty value.
    form->cbUcl2->setChecked(true);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(form->editUcl2->isReadOnly());
    EXPECT_TRUE(form->editUcl2->text().isEmpty());

    // One value: asked, nothing written.
    setCell(0, 1, "5");
    prompts.answers = {true};
    form->btn3Stdev->click();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(limitTexts(), QStringList(QVector<QString>(11)));

    // A value that is not a number: the general error, nothing written, and
    // the box stays clear like a declined line.
    setCell(1, 1, "abc");
    prompts.shown.clear();
    prompts.answers = {true};
    form->cbUcl3->setChecked(true);
    ASSERT_EQ(texts().size(), 2);
    EXPECT_EQ(prompts.shown[1].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(texts()[1], QStringLiteral("'abc' は浮動小数点数ではありません"));
    EXPECT_FALSE(form->cbUcl3->isChecked());
    EXPECT_FALSE(form->editUcl3->isReadOnly());
    EXPECT_EQ(limitTexts(), QStringList(QVector<QString>(11)));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---------------------------------------------------------------- judgment

TEST_F(EntryWindow, JudgmentStopsWithItsThreeMessages)
{
    struct Case {
        const char* name;
        std::function<void()> spoil;
        const char* caption;
        const char* text;
        QWidget* focus;
    };
    const Case cases[] = {
        {"item name", [&] { form->editLabel->setText(QStringLiteral("  ")); }, "ガイドメッセージ",
         "必須項目が入力されていません。", form->editLabel},
        {"unit", [&] { form->editUnit->clear(); }, "ガイドメッセージ", "必須項目が入力されていません。",
         form->editUnit},
        {"lower limit", [&] { form->editKlower->clear(); }, "ガイドメッセージ", "必須項目が入力されていません。",
         form->editKlower},
        {"limit not a number", [&] { form->editKupper->setText(QStringLiteral("1.2-")); }, "警告メッセージ",
         "入力値が「未入力」または、「異常値」です。「規格上限／規格下限」の値を確認してください…。（※入力必須項目です）",
         nullptr},
        {"control limit", [&] { form->editRsUcl3->clear(); }, "ガイドメッセージ",
         "管理限界値が設定されていません。", nullptr},
    };
    setCell(0, 1, "9.5");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form->btnSpecClear->click();
        fillHeader();
        fillControlLimits();
        form->pnlSpecJudg->setText(QStringLiteral("合格"));
        c.spoil();
        form->btnAllOn->setFocus();
        prompts.shown.clear();
        form->btnSpecJudg->click();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8(c.text));
        EXPECT_TRUE(form->pnlSpecJudg->text().isEmpty());
        EXPECT_FALSE(form->session().specMarking);
        if (c.focus) {
            EXPECT_EQ(QApplication::focusWidget(), c.focus);
        }
    }
}

struct VerdictCase {
    const char* name;
    int kind;
    std::vector<const char*> values;
    const char* verdict;
};

TEST_F(EntryWindow, JudgmentVerdicts)
{
    const VerdictCase cases[] = {
        {"limits are inside", SpecTolerance, {"9.0", "10.0", "9.5"}, "合格"},
        {"one value above", SpecTolerance, {"9.0", "10.0", "9.5", "10.01"}, "不合格"},
        {"one value below", SpecTolerance, {"8.99"}, "不合格"},
        {"upper only ignores small values", SpecUpperOnly, {"-100", "10.0"}, "合格"},
        {"lower only ignores large values", SpecLowerOnly, {"100", "9.0"}, "合格"},
        {"no values", SpecTolerance, {}, ""},
        {"blanks only", SpecTolerance, {"   "}, ""},
    };
    for (const VerdictCase& c : cases) {
        SCOPED_TRACE(c.name);
        form->btnSpecClear->click();
        for (int col = 0; col < 10; ++col)
            setCell(col, 4, "");
        for (size_t i = 0; i < c.values.size(); ++i)
            setCell(static_cast<int>(i), 4, c.values[i]);
        fillHeader(c.kind);
        fillControlLimits();
        prompts.shown.clear();
        form->btnSpecJudg->click();
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_EQ(form->pnlSpecJudg->text(), QString::fromUtf8(c.verdict));
        if (*c.verdict) {
            EXPECT_EQ(form->pnlSpecJudg->palette().color(QPalette::WindowText),
                      std::string(c.verdict) == "合格" ? kLime : kRed);
        }
        EXPECT_TRUE(form->session().specMarking);
        EXPECT_EQ(cell(0, 4), std::string(c.values.empty() || std::string(c.values[0]) == "   " ? "" : c.values[0]));
    }
}

TEST_F(EntryWindow, JudgmentStoresCleansAndReturnsToTheFirstCell)
{
    fillHeader();
    fillControlLimits();
    form->editProduct->setText(QStringLiteral("品種A"));
    setCell(2, 7, "9.5");
    setCell(3, 7, " \t ");
    focusCell(5, 50);
    form->btnSpecJudg->click();
    EXPECT_EQ(form->pnlSpecJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(cell(3, 7), "");
    EXPECT_EQ(edit().current(), (GridPos{0, 1}));
    EXPECT_EQ(edit().topRow(), 1);
    const Struct_Sheet& s = form->Sheets[static_cast<size_t>(form->selectedTab())];
    EXPECT_EQ(s.Product, "品種A");
    ASSERT_GE(s.DataList.size(), 7u);
    EXPECT_NE(s.DataList[6].find("9.5"), std::string::npos);

    // The menu item runs the same command and shows the entry page.
    form->pageInput->setCurrentIndex(2);
    form->menuExecSpec->trigger();
    EXPECT_EQ(form->pageInput->currentIndex(), 0);
    EXPECT_EQ(form->pnlSpecJudg->text(), QStringLiteral("合格"));
}

TEST_F(EntryWindow, JudgmentStopsAtAValueThatIsNotANumber)
{
    fillHeader();
    fillControlLimits();
    setCell(0, 2, "9.5");
    setCell(1, 2, "1.2.3");
    setCell(4, 9, "   ");
    form->btnSpecJudg->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'1.2.3' は浮動小数点数ではありません"));
    EXPECT_TRUE(form->pnlSpecJudg->text().isEmpty());
    EXPECT_TRUE(form->session().specMarking);
    EXPECT_EQ(cell(4, 9), "");
    EXPECT_TRUE(edit().updatesEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EntryWindow, DemoFillSpreadsAroundTheLowerLimit)
{
    form->editKlower->setText(QStringLiteral("9.000"));
    form->randamSeed = 42;
    form->btnRandam->click();
    for (int row : {1, 50, 100})
        for (int col : {0, 9}) {
            const std::string t = cell(col, row);
            ASSERT_EQ(t.size(), 5u) << t;
            const double v = std::stod(t);
            EXPECT_GE(v, 8.5);
            EXPECT_LE(v, 9.5);
        }
    // Without a lower limit nothing is filled and nothing is said.
    form->btnSpecClear->click();
    setCell(0, 1, "");
    form->btnRandam->click();
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace trevolo
