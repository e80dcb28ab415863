#include <gtest/gtest.h>

#include <QCheckBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTranslator>
#include <QTabBar>
#include <QTabWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "app/setting_form.h"
#include "app/sheets_form.h"
#include "app/lot_edit_form.h"
#include "app/about_form.h"
#include "app/translations.h"
#include "app_fixture.h"
#include "spc/rule_engine.h"
#include "stats/capability.h"
#include "stats/typed_limits.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;
using trevolo::testing::LimitBoxCtl;
using trevolo::testing::LimitFieldCtl;
using trevolo::testing::LimitNameCtl;
using trevolo::testing::Ctls;
using trevolo::testing::MainFormTest;

namespace {

QString tabs(const TMainForm& f)
{
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    QStringList t;
    for (int i = 0; i < tabCtrl->count(); ++i)
        t << tabCtrl->tabText(i);
    return t.join(QLatin1Char(','));
}

}  // namespace

TEST_F(MainFormTest, FirstStartShowsThreeEmptySheetsWithTheDefaults)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Trevolo  [for Version 1.0.0.0]"));
    EXPECT_EQ(tabs(f), "Sheet1,Sheet2,Sheet3");
    EXPECT_EQ(f.workbook().sheets.size(), 3u);
    EXPECT_EQ(f.selectedTab(), 0);
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinRow")->text(), "100");
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinCol")->text(), "10");
    EXPECT_EQ(Ctl<TEdit>(f, "editUnit")->text(), "MM");
    EXPECT_EQ(Ctl<TEdit>(f, "editLabel")->text(), "Sheet1");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbSpecKind")->currentText(), "公差規格");
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinKeta")->text(), "3");
    EXPECT_TRUE(Ctl<QCheckBox>(f, "chkCpCpk")->isChecked());
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbCpCpk")->currentText(), "CPK");
    EXPECT_EQ(Ctl<TEdit>(f, "editCpCpk")->text(), "1.33");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbChart")->currentText(), "XbarR管理図");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbLimit")->currentText(), "３シグマ法");
    EXPECT_TRUE(f.workbook().options == RuleOptions::Defaults());
    EXPECT_EQ(f.size(), QSize(1070, 602));
    EXPECT_EQ(f.pos(), QPoint(0, 0));
    // Tables laid out for 100 lots and n = 10.
    EXPECT_EQ(gridEdit->RowCount(), 101);
    EXPECT_EQ(gridEdit->ColCount(), 10);
    EXPECT_EQ(cell(gridCtrl, 0, 100), "K0100");
    EXPECT_EQ(cell(gridEdit, 9, 0), "N10");
    EXPECT_EQ(cell(Ctl<StringGrid>(f, "gridCalc"), 6, 0), "STDEV");
    EXPECT_EQ(cell(Ctl<StringGrid>(f, "gridSpc"), 9, 0), "R①");
    EXPECT_EQ(Ctl<QTabWidget>(f, "pageInput")->tabText(2), "SPC異常判定(X側-R側)");
    EXPECT_TRUE(gridCtrl->flag(1));
    EXPECT_TRUE(gridCtrl->flag(100));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, SwitchingSheetsKeepsWhatWasTypedAndEmptiesTheResults)
{
    TMainForm& f = open();
    auto* editProduct = Ctl<TEdit>(f, "editProduct");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    auto* editUcl3 = Ctl<TEdit>(f, "editUcl3");
    editProduct->setText("製品A");
    setCell(gridEdit, 0, 1, "1.500");
    setCell(gridEdit, 2, 3, "-2.250");
    gridCtrl->setFlag(2, false);
    setCell(gridCalc, 4, 1, "1.50000");
    editUcl3->setText("9.0000");

    selectTab(1);
    EXPECT_EQ(f.selectedTab(), 1);
    EXPECT_EQ(editProduct->text(), "");
    EXPECT_EQ(Ctl<TEdit>(f, "editLabel")->text(), "Sheet2");
    EXPECT_EQ(cell(gridEdit, 0, 1), "");
    EXPECT_TRUE(gridCtrl->flag(2));

    selectTab(0);
    EXPECT_EQ(editProduct->text(), "製品A");
    EXPECT_EQ(cell(gridEdit, 0, 1), "1.500");
    EXPECT_EQ(cell(gridEdit, 2, 3), "-2.250");
    EXPECT_FALSE(gridCtrl->flag(2));
    EXPECT_TRUE(gridCtrl->flag(3));
    // Results and limits are not part of a sheet.
    EXPECT_EQ(cell(gridCalc, 4, 1), "");
    EXPECT_EQ(editUcl3->text(), "");
    EXPECT_EQ(f.workbook().sheets[0].dataList[0], "K0001,1.500,,,,,,,,,");
}

TEST_F(MainFormTest, ShowingASheetResetsTheSelectionsToTheInitialValues)
{
    TMainForm& f = open();
    auto* chkCpCpk = Ctl<QCheckBox>(f, "chkCpCpk");
    auto* cmbCpCpk = Ctl<QComboBox>(f, "cmbCpCpk");
    auto* editCpCpk = Ctl<TEdit>(f, "editCpCpk");
    auto* cmbLimit = Ctl<QComboBox>(f, "cmbLimit");
    auto* pageInput = Ctl<QTabWidget>(f, "pageInput");
    chkCpCpk->setChecked(false);
    cmbCpCpk->setCurrentIndex(0);
    editCpCpk->setText("2.00");
    cmbLimit->setCurrentIndex(1);
    pageInput->setCurrentIndex(2);
    selectTab(1);
    EXPECT_TRUE(chkCpCpk->isChecked());
    EXPECT_TRUE(editCpCpk->isEnabled());
    EXPECT_EQ(cmbCpCpk->currentIndex(), 1);
    EXPECT_EQ(editCpCpk->text(), "1.33");
    EXPECT_EQ(cmbLimit->currentIndex(), 0);
    EXPECT_EQ(pageInput->currentIndex(), 0);
}

TEST_F(MainFormTest, RaisingAndLoweringTheSheetCount)
{
    TMainForm& f = open();
    auto* editLabel = Ctl<TEdit>(f, "editLabel");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* spinTab = Ctl<TSpinEdit>(f, "spinTab");
    editLabel->setText("外径");
    leave(editLabel);
    EXPECT_EQ(Ctl<QTabBar>(f, "tabCtrl")->tabText(0), "外径");
    setCell(gridEdit, 0, 1, "5.000");
    selectTab(1);  // stores sheet 1
    Ctl<TSpinEdit>(f, "spinRow")->setText("50");
    Ctl<TSpinEdit>(f, "spinCol")->setText("4");

    spinTab->setText("5");
    EXPECT_EQ(tabs(f), "外径,Sheet2,Sheet3,Sheet4,Sheet5");
    ASSERT_EQ(f.workbook().sheets.size(), 5u);
    EXPECT_EQ(f.workbook().sheets[0].label, "外径");
    EXPECT_EQ(f.workbook().sheets[0].dataList[0].rfind("K0001,5.000", 0), 0u);
    // New sheets take the lot count and n shown at that moment.
    EXPECT_EQ(f.workbook().sheets[3].lots, 50);
    EXPECT_EQ(f.workbook().sheets[3].n, 4);
    EXPECT_EQ(f.workbook().sheets[4].label, "Sheet5");

    // Lowering while sheet 4 is shown: its tab goes, nothing is selected and
    // the view still shows sheet 4.
    selectTab(3);
    setCell(gridEdit, 0, 1, "4.000");
    spinTab->setText("2");
    EXPECT_EQ(tabs(f), "外径,Sheet2");
    EXPECT_EQ(f.selectedTab(), -1);
    EXPECT_EQ(cell(gridEdit, 0, 1), "4.000");
    // Choosing a tab now shows it without storing the removed sheet anywhere.
    const SheetRecord before = f.workbook().sheets[0];
    selectTab(0);
    EXPECT_EQ(f.selectedTab(), 0);
    EXPECT_TRUE(f.workbook().sheets[0] == before);
    EXPECT_EQ(cell(gridEdit, 0, 1), "5.000");
}

TEST_F(MainFormTest, TheHighlightedTabCanBeChosenAfterTheShownOneWasRemoved)
{
    TMainForm& f = open();
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    selectTab(2);
    Ctl<TSpinEdit>(f, "spinTab")->setText("2");
    ASSERT_EQ(f.selectedTab(), -1);
    const int highlighted = tabCtrl->currentIndex();
    emit tabCtrl->tabBarClicked(highlighted);
    EXPECT_EQ(f.selectedTab(), highlighted);
    EXPECT_EQ(Ctl<TEdit>(f, "editLabel")->text(), tabCtrl->tabText(highlighted));
}

TEST_F(MainFormTest, ChangingNAndTheChartKind)
{
    TMainForm& f = open();
    auto* spinCol = Ctl<TSpinEdit>(f, "spinCol");
    auto* cmbChart = Ctl<QComboBox>(f, "cmbChart");
    auto* gridSpc = Ctl<StringGrid>(f, "gridSpc");
    auto* pageInput = Ctl<QTabWidget>(f, "pageInput");
    auto* editXcl = Ctl<TEdit>(f, "editXcl");
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    spinCol->setText("1");
    EXPECT_EQ(cmbChart->currentIndex(), int(ChartXRs));
    EXPECT_EQ(Ctl<StringGrid>(f, "gridEdit")->ColCount(), 1);
    EXPECT_EQ(cell(gridSpc, 9, 0), "Rs①");
    EXPECT_EQ(pageInput->tabText(2), "SPC異常判定(X側-Rs側)");
    spinCol->setText("5");
    EXPECT_EQ(cmbChart->currentIndex(), 0);
    EXPECT_EQ(cell(gridSpc, 16, 0), "R⑧");

    // Choosing X-Rs with n = 5 sets n to 1, empties the limits and stores the sheet.
    editXcl->setText("1.0000");
    setCell(gridCalc, 1, 1, "5");
    cmbChart->setCurrentIndex(ChartXRs);
    emit Ctl<QComboBox>(f, "cmbChart")->activated(Ctl<QComboBox>(f, "cmbChart")->currentIndex());
    EXPECT_EQ(spinCol->text(), "1");
    EXPECT_EQ(editXcl->text(), "");
    EXPECT_EQ(cell(gridCalc, 1, 1), "");
    EXPECT_EQ(f.workbook().sheets[0].n, 1);
    EXPECT_EQ(Ctl<TEdit>(f, "editRcl")->toolTip(), "「Rs-平均値」を入力してください。");

    // XbarS relabels the dispersion side.
    spinCol->setText("5");
    cmbChart->setCurrentIndex(ChartXbarS);
    emit Ctl<QComboBox>(f, "cmbChart")->activated(Ctl<QComboBox>(f, "cmbChart")->currentIndex());
    EXPECT_EQ(cell(gridSpc, 9, 0), "S①");
    EXPECT_EQ(pageInput->tabText(2), "SPC異常判定(X側-S側)");
}

TEST_F(MainFormTest, LoweringTheLotCountHidesRowsUntilTheSheetIsStored)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    auto* spinRow = Ctl<TSpinEdit>(f, "spinRow");
    setCell(gridEdit, 0, 80, "8.000");
    gridCtrl->setFlag(80, false);
    spinRow->setText("50");
    EXPECT_EQ(gridEdit->RowCount(), 51);
    spinRow->setText("100");
    EXPECT_EQ(cell(gridEdit, 0, 80), "8.000");
    EXPECT_TRUE(gridCtrl->flag(80));  // a change of the lot count enables every lot

    spinRow->setText("50");
    selectTab(1);
    EXPECT_EQ(f.workbook().sheets[0].lots, 50);
    EXPECT_EQ(f.workbook().sheets[0].dataList.size(), 50u);
    selectTab(0);
    spinRow->setText("100");
    EXPECT_EQ(cell(gridEdit, 0, 80), "");
    EXPECT_EQ(cell(gridCtrl, 0, 100), "K0100");
}

TEST_F(MainFormTest, ResetAsksAndOnlyYesEmptiesEverything)
{
    TMainForm& f = open();
    auto* editLabel = Ctl<TEdit>(f, "editLabel");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    editLabel->setText("内径");
    leave(editLabel);
    setCell(gridEdit, 0, 1, "1.000");
    Ctl<TSpinEdit>(f, "spinTab")->setText("4");

    prompts.answers = {false};
    Ctl<QPushButton>(f, "btnReset")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "ガイドメッセージ");
    EXPECT_EQ(prompts.shown[0].text,
              "※全てのシートの内容が消去されます。\n元に戻す事が出来ませんが、本当に宜しいですか？");
    EXPECT_EQ(tabs(f), "内径,Sheet2,Sheet3,Sheet4");
    EXPECT_EQ(cell(gridEdit, 0, 1), "1.000");

    prompts.answers = {true};
    Ctl<QPushButton>(f, "btnReset")->click();
    EXPECT_EQ(tabs(f), "Sheet1,Sheet2,Sheet3");
    EXPECT_EQ(f.workbook().sheets.size(), 3u);
    EXPECT_EQ(cell(gridEdit, 0, 1), "");
    EXPECT_EQ(editLabel->text(), "Sheet1");
    EXPECT_EQ(f.selectedTab(), 0);
}

TEST_F(MainFormTest, LeavingFieldsNormalisesTheirValues)
{
    TMainForm& f = open();
    auto* editKupper = Ctl<TEdit>(f, "editKupper");
    auto* editCpCpk = Ctl<TEdit>(f, "editCpCpk");
    auto* spinRow = Ctl<TSpinEdit>(f, "spinRow");
    auto* spinKeta = Ctl<TSpinEdit>(f, "spinKeta");
    // Limit fields are typed into only while their lines are set by hand.
    Ctl<QComboBox>(f, "cmbLimit")->setCurrentIndex(1);
    emit Ctl<QComboBox>(f, "cmbLimit")->activated(Ctl<QComboBox>(f, "cmbLimit")->currentIndex());
    struct Case {
        TEdit* field;
        const char* typed;
        const char* shown;
    } cases[] = {
        {editKupper, "1.5", "1.500"},
        {Ctl<TEdit>(f, "editKlower"), "abc", ""},
        {editCpCpk, "1.", "1.00"},
        {editCpCpk, ".", "1.33"},
        {Ctl<TEdit>(f, "editUcl1"), "12.3", "12.3000"},
        {Ctl<TEdit>(f, "editLcl3"), "-3", "-3.0000"},
        {spinRow, "", "10"},
        {spinRow, "9999", "1000"},
        {spinKeta, "0", "0"},
        {Ctl<TSpinEdit>(f, "spinCol"), "0", "1"},
        {Ctl<TEdit>(f, "editXcl"), "  ", "  "},
    };
    for (const Case& c : cases) {
        c.field->setText(QString::fromUtf8(c.typed));
        leave(c.field);
        EXPECT_EQ(c.field->text(), QString::fromUtf8(c.shown)) << c.field->objectName().toStdString();
        EXPECT_EQ(c.field->fieldColor(), kFieldNormalColor);
    }
    // Fewer decimals rewrite the limits.
    spinKeta->setText("3");
    editKupper->setText("1.5");
    leave(editKupper);
    spinKeta->setText("1");
    leave(spinKeta);
    EXPECT_EQ(editKupper->text(), "1.5");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, ALimitThatIsNotANumberIsReportedAndKept)
{
    TMainForm& f = open();
    auto* editUcl1 = Ctl<TEdit>(f, "editUcl1");
    Ctl<QComboBox>(f, "cmbLimit")->setCurrentIndex(1);
    emit Ctl<QComboBox>(f, "cmbLimit")->activated(Ctl<QComboBox>(f, "cmbLimit")->currentIndex());
    editUcl1->setText("1.2-");
    leave(editUcl1);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(prompts.texts()[0], "'1.2-' は浮動小数点数ではありません");
    EXPECT_EQ(editUcl1->text(), "1.2-");
    EXPECT_EQ(editUcl1->fieldColor(), kFieldNormalColor);
}

TEST_F(MainFormTest, FieldsTurnYellowWhileFocusedAndFiltersRefuseKeys)
{
    TMainForm& f = open();
    auto* editProduct = Ctl<TEdit>(f, "editProduct");
    auto* editProcess = Ctl<TEdit>(f, "editProcess");
    auto* editLabel = Ctl<TEdit>(f, "editLabel");
    auto* spinRow = Ctl<TSpinEdit>(f, "spinRow");
    auto* spinKeta = Ctl<TSpinEdit>(f, "spinKeta");
    auto* editKupper = Ctl<TEdit>(f, "editKupper");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    editProduct->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(editProduct->fieldColor(), kFieldFocusColor);
    // Enter moves on outside tables.
    press(editProduct, Qt::Key_Return);
    EXPECT_TRUE(editProcess->hasFocus());
    EXPECT_EQ(editProduct->fieldColor(), kFieldNormalColor);
    press(editProcess, Qt::Key_Escape);
    EXPECT_TRUE(editProduct->hasFocus());

    editLabel->clear();
    for (QChar ch : QStringLiteral("a:b?c日"))
        editLabel->typeChar(ch);
    EXPECT_EQ(editLabel->text(), "abc日");
    spinRow->clear();
    for (QChar ch : QStringLiteral("1x2.5"))
        spinRow->typeChar(ch);
    EXPECT_EQ(spinRow->text(), "125");
    spinKeta->clear();
    for (QChar ch : QStringLiteral("92"))
        spinKeta->typeChar(ch);
    EXPECT_EQ(spinKeta->text(), "2");
    editKupper->clear();
    for (QChar ch : QStringLiteral("-1.-2.3a"))
        editKupper->typeChar(ch);
    EXPECT_EQ(editKupper->text(), "-1.23");
    // Typing over the whole text judges the text it replaces, not the old one.
    editKupper->selectAll();
    for (QChar ch : QStringLiteral("-.5"))
        editKupper->typeChar(ch);
    EXPECT_EQ(editKupper->text(), "-.5");

    // Enter inside a table stays in the table.
    gridCtrl->setFocus();
    press(gridCtrl, Qt::Key_Return);
    EXPECT_TRUE(gridCtrl->hasFocus());
}

TEST_F(MainFormTest, ClearingTheItemNameRestoresTheTabCaption)
{
    TMainForm& f = open();
    auto* editLabel = Ctl<TEdit>(f, "editLabel");
    editLabel->setText("  ");
    leave(editLabel);
    EXPECT_EQ(editLabel->text(), "Sheet1");
    // Cleared and not left: switching sheets keeps the old caption too.
    editLabel->setText("");
    selectTab(1);
    EXPECT_EQ(f.workbook().sheets[0].label, "Sheet1");
    EXPECT_EQ(Ctl<QTabBar>(f, "tabCtrl")->tabText(0), "Sheet1");
}

TEST_F(MainFormTest, LoadingStopsAtAValueThatIsNotANumber)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    SheetRecord& s = f.workbook().sheets[1];
    s.decimals = "";
    s.specKindText = "変な種別";
    s.upperSpec = "10";
    s.lowerSpec = "x";
    s.checkList = {"1", "0", "yes"};
    s.dataList = {"L1,1.5,2", "L2,abc,3", "L3,4"};
    selectTab(1);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(prompts.shown[0].caption, "警告メッセージ");
    EXPECT_EQ(prompts.texts()[0], "不適切な測定値が見つかりました。ファイルの内容を確認してください…");
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinKeta")->text(), "3");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbSpecKind")->currentText(), "公差規格");
    EXPECT_EQ(Ctl<TEdit>(f, "editKupper")->text(), "10.000");
    EXPECT_EQ(cell(gridEdit, 0, 1), "1.500");
    EXPECT_EQ(cell(gridEdit, 1, 1), "2.000");
    EXPECT_EQ(cell(gridEdit, 0, 2), "abc");
    EXPECT_EQ(cell(gridEdit, 1, 2), "3");
    EXPECT_EQ(cell(gridCtrl, 0, 2), "L2");
    EXPECT_EQ(cell(Ctl<StringGrid>(f, "gridCalc"), 0, 3), "L3");
    EXPECT_FALSE(gridCtrl->flag(2));
    EXPECT_FALSE(gridCtrl->flag(3));
    EXPECT_TRUE(gridCtrl->flag(4));
}

// Texts of a stored sheet (an imported file) longer than the fields take
// when typed are shown and stored again uncut; the typing limit holds again
// for a sheet whose texts fit.
TEST_F(MainFormTest, StoredTextsLongerThanTheFieldsTakeSurviveASwitch)
{
    TMainForm& f = open();
    auto* editProcess = Ctl<TEdit>(f, "editProcess");
    auto* editUnit = Ctl<TEdit>(f, "editUnit");
    SheetRecord& s = f.workbook().sheets[1];
    s.process = "第三工程（熱処理後の外径仕上げ研削、二回目）";
    s.unit = "マイクロメートル毎分";
    s.upperSpec = "1234567890123.5";
    ASSERT_GT(QString::fromStdString(s.process).size(), editProcess->maxLength());
    const SheetRecord original = s;
    selectTab(1);
    EXPECT_EQ(editProcess->text().toStdString(), original.process);
    EXPECT_EQ(editUnit->text().toStdString(), original.unit);
    EXPECT_EQ(Ctl<TEdit>(f, "editKupper")->text(), "1234567890123.500");
    selectTab(0);
    EXPECT_EQ(f.workbook().sheets[1].process, original.process);
    EXPECT_EQ(f.workbook().sheets[1].unit, original.unit);
    EXPECT_EQ(f.workbook().sheets[1].upperSpec, "1234567890123.500");
    EXPECT_EQ(editProcess->maxLength(), 20);
    EXPECT_EQ(editUnit->maxLength(), 10);
}

// Typing the R/S/Rs centre or +3σ line sets the hidden +2σ and +1σ lines
// with it, so typed limits are judged against their own zones; a typed
// number rewritten on leaving its field is shown whole; an S-side lot with
// one value stops the judgment in the guidance box, naming the lot.
TEST_F(MainFormTest, TypedLinesCarryTheHiddenLinesAndRewrittenNumbersStayWhole)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* editKupper = Ctl<TEdit>(f, "editKupper");
    auto* btnSpcJudg = Ctl<QPushButton>(f, "btnSpcJudg");
    auto* pnlSpcJudg = Ctl<QLabel>(f, "pnlSpcJudg");
    auto* btn3Stdev = Ctl<QPushButton>(f, "btn3Stdev");
    auto* editRsUcl3 = Ctl<TEdit>(f, "editRsUcl3");
    auto* editUcl2 = Ctl<TEdit>(f, "editUcl2");
    auto* spinKeta = Ctl<TSpinEdit>(f, "spinKeta");
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    auto type = [&](QLineEdit* field, const char* keys) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
        QTest::keyClicks(field, QString::fromUtf8(keys));
        Ctl<TEdit>(f, "editProduct")->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    };
    auto* rsUcl2 = Ctl<TEdit>(f, "editRsUcl2");
    auto* rsUcl1 = Ctl<TEdit>(f, "editRsUcl1");
    auto hidden = [&] { return rsUcl2->text() + "|" + rsUcl1->text(); };
    for (int r = 1; r <= 10; ++r) {
        setCell(gridEdit, 0, r, r % 2 ? "9.000" : "11.000");
        setCell(gridEdit, 1, r, "10.000");
    }
    Ctl<TEdit>(f, "editUnit")->setText("MM");
    editKupper->setText("20.000");
    Ctl<TEdit>(f, "editKlower")->setText("0.000");

    // After a reset every line typed by hand: the judgment runs to its end.
    Ctl<QComboBox>(f, "cmbLimit")->setCurrentIndex(1);
    emit Ctl<QComboBox>(f, "cmbLimit")->activated(Ctl<QComboBox>(f, "cmbLimit")->currentIndex());
    const char* const lines[9] = {"13", "12", "11", "7", "8", "9", "10", "1", "2.5"};
    for (int line = 0; line < 9; ++line)
        type(LimitFieldCtl(f, line), lines[line]);
    EXPECT_EQ(hidden(), "2.0000|1.5000");
    btnSpcJudg->click();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(pnlSpcJudg->text(), "合格");

    // Computed lines, then a +3σ line typed over them: the hidden lines
    // follow it, and computing one other line keeps them with it.
    prompts.answers = {true};
    btn3Stdev->click();
    const QString computedRcl = Ctl<TEdit>(f, "editRcl")->text();
    type(editRsUcl3, "4");
    std::string u2, u1;
    ASSERT_TRUE(HiddenRsLines(computedRcl.toStdString(), "4.0000", u2, u1));
    const QString typedHidden = QString::fromStdString(u2 + "|" + u1);
    EXPECT_EQ(hidden(), typedHidden);
    prompts.answers = {true};
    Ctl<QCheckBox>(f, "cbUcl3")->setChecked(true);
    EXPECT_EQ(hidden(), typedHidden);
    // Clearing the +3σ line leaves no hidden line of the earlier ones.
    editRsUcl3->setFocus(Qt::OtherFocusReason);
    editRsUcl3->selectAll();
    QTest::keyClick(editRsUcl3, Qt::Key_Backspace);
    leave(editRsUcl3);
    EXPECT_EQ(hidden(), "|");

    // Rewritten numbers longer than the typing limit stay whole, also after
    // a change of the decimals.
    type(editUcl2, "1234567.8");
    EXPECT_EQ(editUcl2->text(), "1234567.8000");
    type(editKupper, "123456789012.34");
    EXPECT_EQ(editKupper->text(), "123456789012.340");
    spinKeta->setText("5");
    leave(spinKeta);
    EXPECT_EQ(editKupper->text(), "123456789012.34000");
    EXPECT_EQ(editKupper->maxLength(), 18);

    // The S chart with a lot of a single value: the judgment stops at it.
    prompts.shown.clear();
    spinKeta->setText("3");
    leave(spinKeta);
    editKupper->setText("20.000");
    Ctl<QComboBox>(f, "cmbChart")->setCurrentIndex(ChartXbarS);
    emit Ctl<QComboBox>(f, "cmbChart")->activated(Ctl<QComboBox>(f, "cmbChart")->currentIndex());
    setCell(gridEdit, 1, 4, "");
    setCell(gridEdit, 0, 2, "10.000");
    prompts.answers = {true};
    btn3Stdev->click();
    btnSpcJudg->click();
    ASSERT_EQ(prompts.shown.size(), 2u) << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(prompts.shown[1].kind, ScriptedPrompts::Shown::Message);
    EXPECT_EQ(prompts.shown[1].caption, "ガイドメッセージ");
    EXPECT_EQ(prompts.shown[1].text.toStdString(), SingleValueLotMessage("K0004"));
    EXPECT_EQ(gridCalc->cells().text(CalcStdev, 1), "0.70711");
    EXPECT_EQ(gridCalc->cells().text(CalcStdev, 2), "0.00000");  // equal values
    EXPECT_EQ(pnlSpcJudg->text(), "");
}

TEST_F(MainFormTest, SheetCountDialogClampsAndCancelOrAnEmptyCountChangesNothing)
{
    TMainForm& f = open();
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    QTimer::singleShot(0, [&] {
        f.findChild<TSheetsForm*>()->spinTab->setText("200");
        press(f.findChild<TSheetsForm*>()->spinTab, Qt::Key_Return);
    });
    Ctl<QAction>(f, "menuSettingSheets")->trigger();
    EXPECT_EQ(tabCtrl->count(), 100);
    EXPECT_EQ(f.workbook().sheets.size(), 100u);
    EXPECT_EQ(tabCtrl->tabText(99), "Sheet100");

    QTimer::singleShot(0, [&] {
        f.findChild<TSheetsForm*>()->spinTab->setText("7");
        press(f.findChild<TSheetsForm*>()->spinTab, Qt::Key_Escape);
    });
    Ctl<QAction>(f, "menuSettingSheets")->trigger();
    EXPECT_EQ(tabCtrl->count(), 100);

    // An emptied count, confirmed with Enter or with ＯＫ, deletes no sheet.
    for (bool click : {false, true}) {
        SCOPED_TRACE(click ? "ＯＫ" : "Enter");
        QTimer::singleShot(0, [&] {
            QApplication::setActiveWindow(f.findChild<TSheetsForm*>());
            f.findChild<TSheetsForm*>()->spinTab->clear();
            if (click)
                QTest::mouseClick(f.findChild<TSheetsForm*>()->btnOk, Qt::LeftButton);
            else
                press(f.findChild<TSheetsForm*>()->spinTab, Qt::Key_Return);
        });
        Ctl<QAction>(f, "menuSettingSheets")->trigger();
        EXPECT_EQ(tabCtrl->count(), 100);
        EXPECT_EQ(f.workbook().sheets.size(), 100u);
        EXPECT_EQ(Ctl<TSpinEdit>(f, "spinTab")->text(), "100");
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, CheckColumnTogglesWithTheLeftButtonAndSpace)
{
    TMainForm& f = open();
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    gridCtrl->setFlag(4, false);
    gridCtrl->setFlag(5, false);
    // Select rows 3..6 of the check column and press Space: each row flips.
    gridCtrl->setFocus();
    gridCtrl->setCurrent({1, 3});
    gridCtrl->selectionModel()->select(QItemSelection(gridCtrl->model()->index(2, 1), gridCtrl->model()->index(5, 1)),
                                       QItemSelectionModel::ClearAndSelect);
    press(gridCtrl, Qt::Key_Space);
    EXPECT_FALSE(gridCtrl->flag(3));
    EXPECT_TRUE(gridCtrl->flag(4));
    EXPECT_TRUE(gridCtrl->flag(5));
    EXPECT_FALSE(gridCtrl->flag(6));

    // Ctrl+A takes every switch and no lot number: Space turns every lot.
    QTest::keyClick(gridCtrl, Qt::Key_A, Qt::ControlModifier);
    press(gridCtrl, Qt::Key_Space);
    for (int row = 1; row < gridCtrl->RowCount(); ++row)
        EXPECT_EQ(gridCtrl->flag(row), row == 3 || row == 6) << row;
    QTest::keyClick(gridCtrl, Qt::Key_A, Qt::ControlModifier);
    press(gridCtrl, Qt::Key_Space);

    const QRect r = gridCtrl->visualRect(gridCtrl->model()->index(0, 1));
    QTest::mouseClick(gridCtrl->viewport(), Qt::RightButton, {}, r.center());
    EXPECT_TRUE(gridCtrl->flag(1));
    QTest::mouseClick(gridCtrl->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_FALSE(gridCtrl->flag(1));
    const QRect label = gridCtrl->visualRect(gridCtrl->model()->index(0, 0));
    QTest::mouseClick(gridCtrl->viewport(), Qt::LeftButton, {}, label.center());
    EXPECT_FALSE(gridCtrl->flag(1));
}

TEST_F(MainFormTest, VerdictPanelsAreFramedAndTheThresholdListGreysOut)
{
    TMainForm& f = open();
    auto* chkCpCpk = Ctl<QCheckBox>(f, "chkCpCpk");
    auto* cmbCpCpk = Ctl<QComboBox>(f, "cmbCpCpk");
    auto* editCpCpk = Ctl<TEdit>(f, "editCpCpk");
    for (QLabel* panel : Ctls<QLabel>(f, {"pnlSpecJudg", "pnlCpkJudg", "pnlSpcJudg"})) {
        EXPECT_NE(panel->frameShape(), QFrame::NoFrame) << panel->objectName().toStdString();
        EXPECT_GE(panel->frameWidth(), 2) << panel->objectName().toStdString();
        // One name, "総合判定結果", given by the caption that labels the panel.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(panel);
        EXPECT_EQ(a->text(QAccessible::Name), "総合判定結果");
        const auto labels = a->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0].first->text(QAccessible::Name), "総合判定結果");
    }
    const QColor face = f.palette().color(QPalette::Button);
    chkCpCpk->setChecked(false);
    EXPECT_FALSE(cmbCpCpk->isEnabled());
    EXPECT_EQ(cmbCpCpk->palette().color(QPalette::Base), face);
    EXPECT_EQ(editCpCpk->fieldColor(), face);
    chkCpCpk->setChecked(true);
    EXPECT_TRUE(cmbCpCpk->isEnabled());
    EXPECT_NE(cmbCpCpk->palette().color(QPalette::Base), face);
    EXPECT_EQ(editCpCpk->fieldColor(), kFieldNormalColor);
}

// The lot editor, the about box and the sheet-count and initial-values
// dialogs open in the middle of the screen, not over the main window.
TEST_F(MainFormTest, DialogsOpenCentredOnTheScreen)
{
    TMainForm& f = open();
    f.move(0, 0);
    const QPoint screenCentre = f.screen()->availableGeometry().center();
    struct Case {
        QDialog* dialog;
        std::function<void()> open;
    } cases[] = {
        {f.findChild<TLotEditForm*>(), [&] { Ctl<QPushButton>(f, "btnLotEdit")->click(); }},
        {f.findChild<TAboutForm*>(), [&] { Ctl<QAction>(f, "menuHelpAbout")->trigger(); }},
        {f.findChild<TSheetsForm*>(), [&] { Ctl<QAction>(f, "menuSettingSheets")->trigger(); }},
        {f.findChild<TSettingForm*>(), [&] { Ctl<QAction>(f, "menuSettingInit")->trigger(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog->objectName().toStdString());
        QPoint centre;
        QTimer::singleShot(0, [&] {
            centre = c.dialog->frameGeometry().center();
            c.dialog->reject();
        });
        c.open();
        EXPECT_LE((centre - screenCentre).manhattanLength(), 2) << centre.x() << "," << centre.y();
    }
    EXPECT_NE(f.frameGeometry().center(), screenCentre);
}

TEST_F(MainFormTest, ControlsCarryTheirLabelsForAssistiveTechnology)
{
    TMainForm& f = open();
    auto* editProduct = Ctl<TEdit>(f, "editProduct");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    EXPECT_EQ(editProduct->accessibleName(), "品種名称");
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinRow")->accessibleName(), "ﾛｯﾄ数(行)");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbChart")->accessibleName(), "管理図指定");
    EXPECT_EQ(Ctl<QPushButton>(f, "btnReset")->text(), "全てリセット");
    EXPECT_EQ(editProduct->toolTip(), "「品種名称」を入力してください。");
    EXPECT_EQ(Ctl<StringGrid>(f, "gridEdit")->model()->headerData(0, Qt::Horizontal, Qt::AccessibleTextRole).toString(),
              "N1");
    EXPECT_EQ(gridCtrl->model()->data(gridCtrl->model()->index(0, 0), Qt::AccessibleTextRole).toString(), "K0001");
}

// Tests find the window's controls by name. The setting dialog has fields of
// the same names, which must not count, and a wrong name must not pass.
TEST_F(MainFormTest, ControlsAreFoundByNameOutsideTheDialogs)
{
    TMainForm& f = open();
    ASSERT_NE(f.findChild<TSettingForm*>()->findChild<TEdit*>(QStringLiteral("editUnit")), nullptr);
    TEdit* unit = Ctl<TEdit>(f, "editUnit");
    EXPECT_FALSE(f.findChild<TSettingForm*>()->isAncestorOf(unit));
    EXPECT_EQ(unit->text(), "MM");

    QString why;
    EXPECT_EQ(trevolo::testing::FindControl<TEdit>(f, QStringLiteral("editNothing"), &why), nullptr);
    EXPECT_TRUE(why.contains(QStringLiteral("editNothing"))) << why.toStdString();
    EXPECT_EQ(trevolo::testing::FindControl<QComboBox>(f, QStringLiteral("editUnit"), &why), nullptr);
    EXPECT_TRUE(why.contains(QStringLiteral("QComboBox"))) << why.toStdString();
    EXPECT_THROW(Ctl<TEdit>(f, "editNothing"), trevolo::testing::ControlLookupError);
}

// Qt's own texts in Japanese, loaded as at start: a question's buttons and
// an edit field's menu. Without the translations Qt's English stays.
TEST(QtTranslationsTest, QuestionsAndEditMenusSpeakJapanese)
{
    EXPECT_EQ(InstallQtTranslations(*qApp, QStringLiteral("/nonexistent")), nullptr);
    std::unique_ptr<QTranslator> japanese(InstallQtTranslations(*qApp));
    ASSERT_NE(japanese, nullptr);
    auto shown = [](const QString& t) { return t.section(QLatin1Char('\t'), 0, 0).section(QLatin1Char('('), 0, 0); };
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        texts << shown(box->button(QMessageBox::Yes)->text()) << shown(box->button(QMessageBox::No)->text());
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(QtPrompts().question(nullptr, QStringLiteral("ガイドメッセージ"), QStringLiteral("宜しいですか？")));
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            texts << shown(a->text());
    EXPECT_EQ(texts.join(' '), "はい いいえ 元に戻す やり直す 切り取り コピー 貼り付け 削除 すべて選択");
    QLocale::setDefault(QLocale::system());
}
