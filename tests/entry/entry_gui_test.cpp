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
#include "support/find_control.h"

using trevolo::testing::Ctl;
using trevolo::testing::LimitBoxCtl;
using trevolo::testing::LimitFieldCtl;
using trevolo::testing::LimitNameCtl;

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
    int decimals;
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
        Ctl<TSpinEdit>(form, "spinKeta")->setValue(c.decimals);
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
    auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
    auto* editKupper = Ctl<TEdit>(form, "editKupper");
    auto* pnlSpecJudg = Ctl<QLabel>(form, "pnlSpecJudg");
    auto clickTab = [&](int index) {
        QTest::mouseClick(tabCtrl, Qt::LeftButton, {}, tabCtrl->tabRect(index).center());
        QApplication::processEvents();
        ASSERT_EQ(form->selectedTab(), index);
    };

    // A tab change stores the value with its own sheet, not the next one.
    focusCell(0, 1);
    type("12.5");
    ASSERT_EQ(editorText(), QStringLiteral("12.5"));
    clickTab(1);
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_EQ(form->workbook().sheets[0].dataList[0], "K0001,12.5,,,,,,,,,");
    clickTab(0);
    EXPECT_EQ(cell(0, 1), "12.500");
    EXPECT_EQ(form->workbook().sheets[1].dataList[0], "K0001,,,,,,,,,,");

    // A header field is normalised on the sheet it was typed into; the sheet
    // shown next keeps its own text.
    form->workbook().sheets[1].upperSpec = "abc";
    editKupper->setFocus(Qt::MouseFocusReason);
    type("1.5");
    clickTab(1);
    EXPECT_EQ(form->workbook().sheets[0].upperSpec, "1.500");
    EXPECT_EQ(editKupper->text(), QStringLiteral("abc"));
    EXPECT_TRUE(prompts.shown.empty());
    clickTab(0);

    // A menu command and a button judge the value being typed.
    fillHeader();
    fillControlLimits();
    setCell(0, 1, "");
    focusCell(1, 1);
    type("99");
    Ctl<QAction>(form, "menuExecSpec")->trigger();
    EXPECT_EQ(pnlSpecJudg->text(), QStringLiteral("不合格"));
    focusCell(1, 1);
    type("9.5");
    Ctl<QPushButton>(form, "btnSpecJudg")->click();
    EXPECT_EQ(pnlSpecJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(form->workbook().sheets[0].dataList[0], "K0001,,9.5,,,,,,,,");

    // Closing the window stores the shown sheet with the value.
    focusCell(2, 3);
    type("7.25");
    form->close();
    EXPECT_EQ(form->workbook().sheets[0].dataList[2], "K0003,,,7.25,,,,,,,");
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

    Ctl<QPushButton>(form, "btnAllOn")->click();
    for (int row = 1; row <= 100; ++row)
        ASSERT_TRUE(ctrl().flag(row)) << row;
}

// The lot numbers are a fixed column: drawn in the header colour and never
// current; what the mouse or the keys do there lands in the check column.
TEST_F(EntryWindow, TheLotNumberColumnIsFixedAndEveryPressCounts)
{
    auto centre = [&](int col, int row) { return ctrl().visualRect(ctrl().gridModel()->index(row - 1, col)).center(); };
    const CellLook lot = Ctl<StringGrid>(form, "gridCtrl")->drawCell(0, 3, true, true);
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
        Ctl<TSpinEdit>(form, "spinCol")->setValue(n);
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
    auto* editKupper = Ctl<TEdit>(form, "editKupper");
    auto* editKlower = Ctl<TEdit>(form, "editKlower");
    auto* cmbSpecKind = Ctl<QComboBox>(form, "cmbSpecKind");
    const QColor window = form->palette().color(QPalette::Base);
    const QColor face = form->palette().color(QPalette::Button);
    editKupper->setText(QStringLiteral("10.000"));
    editKlower->setText(QStringLiteral("9.000"));

    cmbSpecKind->setCurrentIndex(SpecUpperOnly);
    emit cmbSpecKind->activated(SpecUpperOnly);
    EXPECT_TRUE(editKupper->isEnabled());
    EXPECT_EQ(editKupper->text(), QStringLiteral("10.000"));
    EXPECT_FALSE(editKlower->isEnabled());
    EXPECT_TRUE(editKlower->text().isEmpty());
    EXPECT_EQ(editKlower->fieldColor(), face);

    cmbSpecKind->setCurrentIndex(SpecTolerance);
    emit cmbSpecKind->activated(SpecTolerance);
    EXPECT_TRUE(editKlower->isEnabled());
    EXPECT_TRUE(editKlower->text().isEmpty());
    EXPECT_EQ(editKlower->fieldColor(), window);

    cmbSpecKind->setCurrentIndex(SpecLowerOnly);
    emit cmbSpecKind->activated(SpecLowerOnly);
    EXPECT_FALSE(editKupper->isEnabled());
    EXPECT_TRUE(editKupper->text().isEmpty());
}

TEST_F(EntryWindow, ClearResetsTheHeaderButNotTheValues)
{
    auto* editProduct = Ctl<TEdit>(form, "editProduct");
    auto* editLabel = Ctl<TEdit>(form, "editLabel");
    auto* editUnit = Ctl<TEdit>(form, "editUnit");
    auto* spinKeta = Ctl<TSpinEdit>(form, "spinKeta");
    auto* pnlSpecJudg = Ctl<QLabel>(form, "pnlSpecJudg");
    auto* editKupper = Ctl<TEdit>(form, "editKupper");
    auto* editKlower = Ctl<TEdit>(form, "editKlower");
    setCell(0, 1, "9.500");
    ctrl().setFlag(2, false);
    editProduct->setText(QStringLiteral("品種"));
    editLabel->setText(QStringLiteral("外径"));
    editUnit->setText(QStringLiteral("um"));
    spinKeta->setValue(1);
    fillHeader(SpecUpperOnly, "10.0");
    form->session().setMarking(true, true);
    pnlSpecJudg->setText(QStringLiteral("合格"));

    Ctl<QPushButton>(form, "btnSpecClear")->click();
    EXPECT_FALSE(form->session().specMarking());
    EXPECT_FALSE(form->session().cpkMarking());
    EXPECT_TRUE(editProduct->text().isEmpty());
    EXPECT_EQ(editLabel->text(), Ctl<QTabBar>(form, "tabCtrl")->tabText(form->selectedTab()));
    EXPECT_EQ(editUnit->text(), QStringLiteral("MM"));
    EXPECT_EQ(spinKeta->text(), QStringLiteral("3"));
    EXPECT_EQ(Ctl<QComboBox>(form, "cmbSpecKind")->currentIndex(), SpecTolerance);
    EXPECT_TRUE(editKupper->isEnabled() && editKlower->isEnabled());
    EXPECT_TRUE(editKupper->text().isEmpty() && editKlower->text().isEmpty());
    EXPECT_TRUE(pnlSpecJudg->text().isEmpty());
    EXPECT_EQ(cell(0, 1), "9.500");
    EXPECT_FALSE(ctrl().flag(2));
}

TEST_F(EntryWindow, FieldKeyFilters)
{
    auto* editKupper = Ctl<TEdit>(form, "editKupper");
    struct Case {
        TEdit* field;
        const char* keys;  // UTF-8, one character at a time
        const char* result;
    };
    const Case cases[] = {
        {editKupper, "1.2.3", "1.23"},
        {editKupper, "--5", "-5"},
        {editKupper, "x5e", "5"},
        {Ctl<TEdit>(form, "editKlower"), "-.5.", "-.5"},
        {Ctl<TEdit>(form, "editLcl3"), "5", ""},  // read-only in the automatic state
        {Ctl<TEdit>(form, "editLabel"), "a:b?c#*,/[]\\d", "abcd"},
        {Ctl<TEdit>(form, "editProduct"), "外径Ａ", "外径Ａ"},
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
    auto* editKupper = Ctl<TEdit>(form, "editKupper");
    fillHeader(SpecTolerance, "10.000", "9.000");
    const char* values[] = {"10.000", "9.000", "10.001", "8.999", "9.500", "abc", "   "};
    for (int c = 0; c < 7; ++c)
        setCell(c, 1, values[c]);
    auto textColour = [&](int col) { return Ctl<StringGrid>(form, "gridEdit")->drawCell(col, 1, false, false).text; };

    // Nothing is marked before a judgment.
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(textColour(c), QColor(Qt::black)) << c;

    form->session().setMarking(true, form->session().cpkMarking());
    const QColor twoSided[] = {Qt::black, Qt::black, kRed, kRed, Qt::black, Qt::black, Qt::black};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(textColour(c), twoSided[c]) << values[c];

    // The kind and limits are read as they stand at paint time.
    Ctl<QComboBox>(form, "cmbSpecKind")->setCurrentIndex(SpecUpperOnly);
    EXPECT_EQ(textColour(2), kRed);
    EXPECT_EQ(textColour(3), QColor(Qt::black));
    editKupper->setText(QStringLiteral("10.5"));
    EXPECT_EQ(textColour(2), QColor(Qt::black));
    editKupper->setText(QStringLiteral("-"));
    EXPECT_EQ(textColour(2), QColor(Qt::black));

    // The current cell is yellow only while the table has the focus.
    EXPECT_EQ(Ctl<StringGrid>(form, "gridEdit")->drawCell(0, 1, true, true).background, kYellow);
    EXPECT_NE(Ctl<StringGrid>(form, "gridEdit")->drawCell(0, 1, false, true).background, kYellow);
    EXPECT_EQ(Ctl<StringGrid>(form, "gridCtrl")->drawCell(1, 1, true, true).background, kYellow);
}

// ---------------------------------------------------------------- control limits

// Worked example: X-Rs chart, one value per lot, 10, 12, 11: m = 11, s = 1,
// moving ranges 0, 2, 1 so the R/S/Rs centre C = 1.
TEST_F(EntryWindow, ThreeSigmaLimitsOfTheXRsExample)
{
    Ctl<TSpinEdit>(form, "spinCol")->setValue(1);
    ASSERT_EQ(Ctl<QComboBox>(form, "cmbChart")->currentIndex(), ChartXRs);
    setCell(0, 1, "10");
    setCell(0, 2, "12");
    setCell(0, 3, "11");
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
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
    Ctl<QPushButton>(form, "btn3Stdev")->click();
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
    auto* itemUcl3 = Ctl<TEdit>(form, "itemUcl3");
    auto* editUcl3 = Ctl<TEdit>(form, "editUcl3");
    auto* cmbLimit = Ctl<QComboBox>(form, "cmbLimit");
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    for (int line = 0; line < 9; ++line) {
        EXPECT_FALSE(LimitBoxCtl(form, line)->isChecked());
        EXPECT_FALSE(LimitFieldCtl(form, line)->isReadOnly());
    }
    EXPECT_EQ(itemUcl3->text(), QStringLiteral("上限規格値"));
    EXPECT_EQ(Ctl<TEdit>(form, "itemXcl")->text(), QStringLiteral("中央値"));
    editUcl3->setText(QStringLiteral("5.0000"));

    prompts.answers = {false};
    selectLimitMethod(0);
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(cmbLimit->currentIndex(), 1);
    EXPECT_EQ(editUcl3->text(), QStringLiteral("5.0000"));
    EXPECT_FALSE(Ctl<QCheckBox>(form, "cbUcl3")->isChecked());
    EXPECT_FALSE(editUcl3->isReadOnly());

    prompts.answers = {true};
    selectLimitMethod(0);
    EXPECT_EQ(cmbLimit->currentIndex(), 0);
    EXPECT_EQ(Ctl<TEdit>(form, "editXcl")->text(), QStringLiteral("2.0000"));
    for (int line = 0; line < 9; ++line) {
        EXPECT_TRUE(LimitBoxCtl(form, line)->isChecked());
        EXPECT_TRUE(LimitFieldCtl(form, line)->isReadOnly());
        EXPECT_EQ(LimitFieldCtl(form, line)->focusPolicy(), Qt::ClickFocus);
    }
    EXPECT_EQ(itemUcl3->text(), QStringLiteral("＋３σ"));
    EXPECT_EQ(editUcl3->fieldColor(), form->palette().color(QPalette::Button));
}

TEST_F(EntryWindow, CheckBoxComputesItsOwnLineOnly)
{
    auto* editXcl = Ctl<TEdit>(form, "editXcl");
    auto* editUcl1 = Ctl<TEdit>(form, "editUcl1");
    auto* cbXcl = Ctl<QCheckBox>(form, "cbXcl");
    auto* itemXcl = Ctl<TEdit>(form, "itemXcl");
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    editXcl->setText(QStringLiteral("7.0000"));
    editUcl1->setText(QStringLiteral("8.0000"));

    // Declined: the box is cleared again and the line stays manual, also
    // in the session the charts draw from.
    prompts.answers = {false};
    cbXcl->setChecked(true);
    EXPECT_FALSE(cbXcl->isChecked());
    EXPECT_FALSE(form->session().lineAutomatic()[LimitXcl]);
    EXPECT_FALSE(editXcl->isReadOnly());
    EXPECT_EQ(itemXcl->text(), QStringLiteral("中央値"));
    EXPECT_EQ(editXcl->text(), QStringLiteral("7.0000"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("※自動計算した値が個別に設定されます。")));

    // Accepted: that line and the two hidden lines are written.
    prompts.answers = {true};
    cbXcl->setChecked(true);
    EXPECT_TRUE(editXcl->isReadOnly());
    EXPECT_EQ(itemXcl->text(), QStringLiteral("平均値"));
    EXPECT_EQ(editXcl->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(editUcl1->text(), QStringLiteral("8.0000"));
    EXPECT_FALSE(Ctl<TEdit>(form, "editRsUcl2")->text().isEmpty());
    EXPECT_FALSE(Ctl<TEdit>(form, "editRsUcl1")->text().isEmpty());
    EXPECT_TRUE(Ctl<TEdit>(form, "editRsUcl3")->text().isEmpty());

    // Clearing a box makes the line editable and moves the focus to it.
    cbXcl->setChecked(false);
    EXPECT_FALSE(editXcl->isReadOnly());
    EXPECT_EQ(editXcl->text(), QStringLiteral("2.0000"));
    EXPECT_EQ(QApplication::focusWidget(), editXcl);
}

TEST_F(EntryWindow, ThreeSigmaButtonOverwritesManualLinesAndKeepsThemManual)
{
    auto* editUcl3 = Ctl<TEdit>(form, "editUcl3");
    setCell(0, 1, "1");
    setCell(1, 1, "3");
    selectLimitMethod(1);
    editUcl3->setText(QStringLiteral("99.0000"));
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
    EXPECT_NE(editUcl3->text(), QStringLiteral("99.0000"));
    EXPECT_FALSE(editUcl3->isReadOnly());
    EXPECT_FALSE(Ctl<QCheckBox>(form, "cbUcl3")->isChecked());
    EXPECT_EQ(Ctl<TEdit>(form, "itemUcl3")->text(), QStringLiteral("上限規格値"));
}

TEST_F(EntryWindow, LimitsNeedTwoValuesAndNumbers)
{
    auto* editUcl2 = Ctl<TEdit>(form, "editUcl2");
    auto* cbUcl3 = Ctl<QCheckBox>(form, "cbUcl3");
    selectLimitMethod(1);
    // No value: no question, the line turns automatic with its empty value.
    Ctl<QCheckBox>(form, "cbUcl2")->setChecked(true);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(editUcl2->isReadOnly());
    EXPECT_TRUE(editUcl2->text().isEmpty());

    // One value: asked, nothing written.
    setCell(0, 1, "5");
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(limitTexts(), QStringList(QVector<QString>(11)));

    // A value that is not a number: the general error, nothing written, and
    // the box stays clear like a declined line.
    setCell(1, 1, "abc");
    prompts.shown.clear();
    prompts.answers = {true};
    cbUcl3->setChecked(true);
    ASSERT_EQ(texts().size(), 2);
    EXPECT_EQ(prompts.shown[1].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(texts()[1], QStringLiteral("'abc' は浮動小数点数ではありません"));
    EXPECT_FALSE(cbUcl3->isChecked());
    EXPECT_FALSE(Ctl<TEdit>(form, "editUcl3")->isReadOnly());
    EXPECT_EQ(limitTexts(), QStringList(QVector<QString>(11)));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---------------------------------------------------------------- judgment

TEST_F(EntryWindow, JudgmentStopsWithItsThreeMessages)
{
    auto* editLabel = Ctl<TEdit>(form, "editLabel");
    auto* editUnit = Ctl<TEdit>(form, "editUnit");
    auto* editKlower = Ctl<TEdit>(form, "editKlower");
    auto* pnlSpecJudg = Ctl<QLabel>(form, "pnlSpecJudg");
    struct Case {
        const char* name;
        std::function<void()> spoil;
        const char* caption;
        const char* text;
        QWidget* focus;
    };
    const Case cases[] = {
        {"item name", [&] { editLabel->setText(QStringLiteral("  ")); }, "ガイドメッセージ",
         "必須項目が入力されていません。", editLabel},
        {"unit", [&] { editUnit->clear(); }, "ガイドメッセージ", "必須項目が入力されていません。", editUnit},
        {"lower limit", [&] { editKlower->clear(); }, "ガイドメッセージ", "必須項目が入力されていません。", editKlower},
        {"limit not a number", [&] { Ctl<TEdit>(form, "editKupper")->setText(QStringLiteral("1.2-")); },
         "警告メッセージ",
         "入力値が「未入力」または、「異常値」です。「規格上限／規格下限」の値を確認してください…。（※入力必須項目です）",
         nullptr},
        {"control limit", [&] { Ctl<TEdit>(form, "editRsUcl3")->clear(); }, "ガイドメッセージ",
         "管理限界値が設定されていません。", nullptr},
    };
    setCell(0, 1, "9.5");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ctl<QPushButton>(form, "btnSpecClear")->click();
        fillHeader();
        fillControlLimits();
        pnlSpecJudg->setText(QStringLiteral("合格"));
        c.spoil();
        Ctl<QPushButton>(form, "btnAllOn")->setFocus();
        prompts.shown.clear();
        Ctl<QPushButton>(form, "btnSpecJudg")->click();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8(c.text));
        EXPECT_TRUE(pnlSpecJudg->text().isEmpty());
        EXPECT_FALSE(form->session().specMarking());
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
    auto* pnlSpecJudg = Ctl<QLabel>(form, "pnlSpecJudg");
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
        Ctl<QPushButton>(form, "btnSpecClear")->click();
        for (int col = 0; col < 10; ++col)
            setCell(col, 4, "");
        for (size_t i = 0; i < c.values.size(); ++i)
            setCell(static_cast<int>(i), 4, c.values[i]);
        fillHeader(c.kind);
        fillControlLimits();
        prompts.shown.clear();
        Ctl<QPushButton>(form, "btnSpecJudg")->click();
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_EQ(pnlSpecJudg->text(), QString::fromUtf8(c.verdict));
        if (*c.verdict) {
            EXPECT_EQ(pnlSpecJudg->palette().color(QPalette::WindowText),
                      std::string(c.verdict) == "合格" ? kLime : kRed);
        }
        EXPECT_TRUE(form->session().specMarking());
        EXPECT_EQ(cell(0, 4), std::string(c.values.empty() || std::string(c.values[0]) == "   " ? "" : c.values[0]));
    }
}

TEST_F(EntryWindow, JudgmentStoresCleansAndReturnsToTheFirstCell)
{
    auto* pnlSpecJudg = Ctl<QLabel>(form, "pnlSpecJudg");
    auto* pageInput = Ctl<QTabWidget>(form, "pageInput");
    fillHeader();
    fillControlLimits();
    Ctl<TEdit>(form, "editProduct")->setText(QStringLiteral("品種A"));
    setCell(2, 7, "9.5");
    setCell(3, 7, " \t ");
    focusCell(5, 50);
    Ctl<QPushButton>(form, "btnSpecJudg")->click();
    EXPECT_EQ(pnlSpecJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(cell(3, 7), "");
    EXPECT_EQ(edit().current(), (GridPos{0, 1}));
    EXPECT_EQ(edit().topRow(), 1);
    const SheetRecord& s = form->workbook().sheets[static_cast<size_t>(form->selectedTab())];
    EXPECT_EQ(s.product, "品種A");
    ASSERT_GE(s.dataList.size(), 7u);
    EXPECT_NE(s.dataList[6].find("9.5"), std::string::npos);

    // The menu item runs the same command and shows the entry page.
    pageInput->setCurrentIndex(2);
    Ctl<QAction>(form, "menuExecSpec")->trigger();
    EXPECT_EQ(pageInput->currentIndex(), 0);
    EXPECT_EQ(pnlSpecJudg->text(), QStringLiteral("合格"));
}

TEST_F(EntryWindow, JudgmentStopsAtAValueThatIsNotANumber)
{
    fillHeader();
    fillControlLimits();
    setCell(0, 2, "9.5");
    setCell(1, 2, "1.2.3");
    setCell(4, 9, "   ");
    Ctl<QPushButton>(form, "btnSpecJudg")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'1.2.3' は浮動小数点数ではありません"));
    EXPECT_TRUE(Ctl<QLabel>(form, "pnlSpecJudg")->text().isEmpty());
    EXPECT_TRUE(form->session().specMarking());
    EXPECT_EQ(cell(4, 9), "");
    EXPECT_TRUE(edit().updatesEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EntryWindow, DemoFillSpreadsAroundTheLowerLimit)
{
    auto* btnRandom = Ctl<QPushButton>(form, "btnRandam");
    Ctl<TEdit>(form, "editKlower")->setText(QStringLiteral("9.000"));
    form->setDemoSeed(42);
    btnRandom->click();
    for (int row : {1, 50, 100})
        for (int col : {0, 9}) {
            const std::string t = cell(col, row);
            ASSERT_EQ(t.size(), 5u) << t;
            const double v = std::stod(t);
            EXPECT_GE(v, 8.5);
            EXPECT_LE(v, 9.5);
        }
    // Without a lower limit nothing is filled and nothing is said.
    Ctl<QPushButton>(form, "btnSpecClear")->click();
    setCell(0, 1, "");
    btnRandom->click();
    EXPECT_EQ(cell(0, 1), "");
    EXPECT_TRUE(prompts.shown.empty());
}

}  // namespace
}  // namespace trevolo
