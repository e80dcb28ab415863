#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
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
#include "app_fixture.h"
#include "spc/rule_engine.h"
#include "stats/capability.h"
#include "stats/typed_limits.h"

using namespace trevolo;
using trevolo::testing::MainFormTest;

namespace {

QString tabs(const TMainForm& f)
{
    QStringList t;
    for (int i = 0; i < f.tabCtrl->count(); ++i)
        t << f.tabCtrl->tabText(i);
    return t.join(QLatin1Char(','));
}

}  // namespace

TEST_F(MainFormTest, FirstStartShowsThreeEmptySheetsWithTheDefaults)
{
    TMainForm& f = open();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Trevolo  [for Version 1.0.0.0]"));
    EXPECT_EQ(tabs(f), "Sheet1,Sheet2,Sheet3");
    EXPECT_EQ(f.Sheets.size(), 3u);
    EXPECT_EQ(f.selectedTab(), 0);
    EXPECT_EQ(f.spinRow->text(), "100");
    EXPECT_EQ(f.spinCol->text(), "10");
    EXPECT_EQ(f.editUnit->text(), "MM");
    EXPECT_EQ(f.editLabel->text(), "Sheet1");
    EXPECT_EQ(f.cmbSpecKind->currentText(), "公差規格");
    EXPECT_EQ(f.spinKeta->text(), "3");
    EXPECT_TRUE(f.chkCpCpk->isChecked());
    EXPECT_EQ(f.cmbCpCpk->currentText(), "CPK");
    EXPECT_EQ(f.editCpCpk->text(), "1.33");
    EXPECT_EQ(f.cmbChart->currentText(), "XbarR管理図");
    EXPECT_EQ(f.cmbLimit->currentText(), "３シグマ法");
    EXPECT_TRUE(f.Options == Struct_Options::Defaults());
    EXPECT_EQ(f.size(), QSize(1070, 602));
    EXPECT_EQ(f.pos(), QPoint(0, 0));
    // Tables laid out for 100 lots and n = 10.
    EXPECT_EQ(f.gridEdit->RowCount(), 101);
    EXPECT_EQ(f.gridEdit->ColCount(), 10);
    EXPECT_EQ(cell(f.gridCtrl, 0, 100), "K0100");
    EXPECT_EQ(cell(f.gridEdit, 9, 0), "N10");
    EXPECT_EQ(cell(f.gridCalc, 6, 0), "STDEV");
    EXPECT_EQ(cell(f.gridSpc, 9, 0), "R①");
    EXPECT_EQ(f.pageInput->tabText(2), "SPC異常判定(X側-R側)");
    EXPECT_TRUE(f.gridCtrl->flag(1));
    EXPECT_TRUE(f.gridCtrl->flag(100));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, SwitchingSheetsKeepsWhatWasTypedAndEmptiesTheResults)
{
    TMainForm& f = open();
    f.editProduct->setText("製品A");
    setCell(f.gridEdit, 0, 1, "1.500");
    setCell(f.gridEdit, 2, 3, "-2.250");
    f.gridCtrl->setFlag(2, false);
    setCell(f.gridCalc, 4, 1, "1.50000");
    f.editUcl3->setText("9.0000");

    selectTab(1);
    EXPECT_EQ(f.selectedTab(), 1);
    EXPECT_EQ(f.editProduct->text(), "");
    EXPECT_EQ(f.editLabel->text(), "Sheet2");
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "");
    EXPECT_TRUE(f.gridCtrl->flag(2));

    selectTab(0);
    EXPECT_EQ(f.editProduct->text(), "製品A");
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "1.500");
    EXPECT_EQ(cell(f.gridEdit, 2, 3), "-2.250");
    EXPECT_FALSE(f.gridCtrl->flag(2));
    EXPECT_TRUE(f.gridCtrl->flag(3));
    // Results and limits are not part of a sheet.
    EXPECT_EQ(cell(f.gridCalc, 4, 1), "");
    EXPECT_EQ(f.editUcl3->text(), "");
    EXPECT_EQ(f.Sheets[0].DataList[0], "K0001,1.500,,,,,,,,,");
}

TEST_F(MainFormTest, ShowingASheetResetsTheSelectionsToTheInitialValues)
{
    TMainForm& f = open();
    f.chkCpCpk->setChecked(false);
    f.cmbCpCpk->setCurrentIndex(0);
    f.editCpCpk->setText("2.00");
    f.cmbLimit->setCurrentIndex(1);
    f.pageInput->setCurrentIndex(2);
    selectTab(1);
    EXPECT_TRUE(f.chkCpCpk->isChecked());
    EXPECT_TRUE(f.editCpCpk->isEnabled());
    EXPECT_EQ(f.cmbCpCpk->currentIndex(), 1);
    EXPECT_EQ(f.editCpCpk->text(), "1.33");
    EXPECT_EQ(f.cmbLimit->currentIndex(), 0);
    EXPECT_EQ(f.pageInput->currentIndex(), 0);
}

TEST_F(MainFormTest, RaisingAndLoweringTheSheetCount)
{
    TMainForm& f = open();
    f.editLabel->setText("外径");
    leave(f.editLabel);
    EXPECT_EQ(f.tabCtrl->tabText(0), "外径");
    setCell(f.gridEdit, 0, 1, "5.000");
    selectTab(1);  // stores sheet 1
    f.spinRow->setText("50");
    f.spinCol->setText("4");

    f.spinTab->setText("5");
    EXPECT_EQ(tabs(f), "外径,Sheet2,Sheet3,Sheet4,Sheet5");
    ASSERT_EQ(f.Sheets.size(), 5u);
    EXPECT_EQ(f.Sheets[0].Label, "外径");
    EXPECT_EQ(f.Sheets[0].DataList[0].rfind("K0001,5.000", 0), 0u);
    // New sheets take the lot count and n shown at that moment.
    EXPECT_EQ(f.Sheets[3].Row, 50);
    EXPECT_EQ(f.Sheets[3].Col, 4);
    EXPECT_EQ(f.Sheets[4].Label, "Sheet5");

    // Lowering while sheet 4 is shown: its tab goes, nothing is selected and
    // the view still shows sheet 4.
    selectTab(3);
    setCell(f.gridEdit, 0, 1, "4.000");
    f.spinTab->setText("2");
    EXPECT_EQ(tabs(f), "外径,Sheet2");
    EXPECT_EQ(f.selectedTab(), -1);
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "4.000");
    // Choosing a tab now shows it without storing the removed sheet anywhere.
    const Struct_Sheet before = f.Sheets[0];
    selectTab(0);
    EXPECT_EQ(f.selectedTab(), 0);
    EXPECT_TRUE(f.Sheets[0] == before);
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "5.000");
}

TEST_F(MainFormTest, TheHighlightedTabCanBeChosenAfterTheShownOneWasRemoved)
{
    TMainForm& f = open();
    selectTab(2);
    f.spinTab->setText("2");
    ASSERT_EQ(f.selectedTab(), -1);
    const int highlighted = f.tabCtrl->currentIndex();
    emit f.tabCtrl->tabBarClicked(highlighted);
    EXPECT_EQ(f.selectedTab(), highlighted);
    EXPECT_EQ(f.editLabel->text(), f.tabCtrl->tabText(highlighted));
}

TEST_F(MainFormTest, ChangingNAndTheChartKind)
{
    TMainForm& f = open();
    f.spinCol->setText("1");
    EXPECT_EQ(f.cmbChart->currentIndex(), int(ChartXRs));
    EXPECT_EQ(f.gridEdit->ColCount(), 1);
    EXPECT_EQ(cell(f.gridSpc, 9, 0), "Rs①");
    EXPECT_EQ(f.pageInput->tabText(2), "SPC異常判定(X側-Rs側)");
    f.spinCol->setText("5");
    EXPECT_EQ(f.cmbChart->currentIndex(), 0);
    EXPECT_EQ(cell(f.gridSpc, 16, 0), "R⑧");

    // Choosing X-Rs with n = 5 sets n to 1, empties the limits and stores the sheet.
    f.editXcl->setText("1.0000");
    setCell(f.gridCalc, 1, 1, "5");
    f.cmbChart->setCurrentIndex(ChartXRs);
    f.cmbChartChange();
    EXPECT_EQ(f.spinCol->text(), "1");
    EXPECT_EQ(f.editXcl->text(), "");
    EXPECT_EQ(cell(f.gridCalc, 1, 1), "");
    EXPECT_EQ(f.Sheets[0].Col, 1);
    EXPECT_EQ(f.editRcl->toolTip(), "「Rs-平均値」を入力してください。");

    // XbarS relabels the dispersion side.
    f.spinCol->setText("5");
    f.cmbChart->setCurrentIndex(ChartXbarS);
    f.cmbChartChange();
    EXPECT_EQ(cell(f.gridSpc, 9, 0), "S①");
    EXPECT_EQ(f.pageInput->tabText(2), "SPC異常判定(X側-S側)");
}

TEST_F(MainFormTest, LoweringTheLotCountHidesRowsUntilTheSheetIsStored)
{
    TMainForm& f = open();
    setCell(f.gridEdit, 0, 80, "8.000");
    f.gridCtrl->setFlag(80, false);
    f.spinRow->setText("50");
    EXPECT_EQ(f.gridEdit->RowCount(), 51);
    f.spinRow->setText("100");
    EXPECT_EQ(cell(f.gridEdit, 0, 80), "8.000");
    EXPECT_TRUE(f.gridCtrl->flag(80));  // a change of the lot count enables every lot

    f.spinRow->setText("50");
    selectTab(1);
    EXPECT_EQ(f.Sheets[0].Row, 50);
    EXPECT_EQ(f.Sheets[0].DataList.size(), 50u);
    selectTab(0);
    f.spinRow->setText("100");
    EXPECT_EQ(cell(f.gridEdit, 0, 80), "");
    EXPECT_EQ(cell(f.gridCtrl, 0, 100), "K0100");
}

TEST_F(MainFormTest, ResetAsksAndOnlyYesEmptiesEverything)
{
    TMainForm& f = open();
    f.editLabel->setText("内径");
    leave(f.editLabel);
    setCell(f.gridEdit, 0, 1, "1.000");
    f.spinTab->setText("4");

    prompts.answers = {false};
    f.btnResetClick();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "ガイドメッセージ");
    EXPECT_EQ(prompts.shown[0].text, "※全てのシートの内容が消去されます。\n元に戻す事が出来ませんが、本当に宜しいですか？");
    EXPECT_EQ(tabs(f), "内径,Sheet2,Sheet3,Sheet4");
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "1.000");

    prompts.answers = {true};
    f.btnResetClick();
    EXPECT_EQ(tabs(f), "Sheet1,Sheet2,Sheet3");
    EXPECT_EQ(f.Sheets.size(), 3u);
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "");
    EXPECT_EQ(f.editLabel->text(), "Sheet1");
    EXPECT_EQ(f.selectedTab(), 0);
}

TEST_F(MainFormTest, LeavingFieldsNormalisesTheirValues)
{
    TMainForm& f = open();
    // Limit fields are typed into only while their lines are set by hand.
    f.cmbLimit->setCurrentIndex(1);
    f.cmbLimitChange();
    struct Case {
        TEdit* field;
        const char* typed;
        const char* shown;
    } cases[] = {
        {f.editKupper, "1.5", "1.500"}, {f.editKlower, "abc", ""},      {f.editCpCpk, "1.", "1.00"},
        {f.editCpCpk, ".", "1.33"},     {f.editUcl1, "12.3", "12.3000"}, {f.editLcl3, "-3", "-3.0000"},
        {f.spinRow, "", "10"},          {f.spinRow, "9999", "1000"},     {f.spinKeta, "0", "0"},
        {f.spinCol, "0", "1"},          {f.editXcl, "  ", "  "},
    };
    for (const Case& c : cases) {
        c.field->setText(QString::fromUtf8(c.typed));
        leave(c.field);
        EXPECT_EQ(c.field->text(), QString::fromUtf8(c.shown)) << c.field->objectName().toStdString();
        EXPECT_EQ(c.field->fieldColor(), kFieldNormalColor);
    }
    // Fewer decimals rewrite the limits.
    f.spinKeta->setText("3");
    f.editKupper->setText("1.5");
    leave(f.editKupper);
    f.spinKeta->setText("1");
    leave(f.spinKeta);
    EXPECT_EQ(f.editKupper->text(), "1.5");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, ALimitThatIsNotANumberIsReportedAndKept)
{
    TMainForm& f = open();
    f.cmbLimit->setCurrentIndex(1);
    f.cmbLimitChange();
    f.editUcl1->setText("1.2-");
    leave(f.editUcl1);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(prompts.texts()[0], "'1.2-' は浮動小数点数ではありません");
    EXPECT_EQ(f.editUcl1->text(), "1.2-");
    EXPECT_EQ(f.editUcl1->fieldColor(), kFieldNormalColor);
}

TEST_F(MainFormTest, FieldsTurnYellowWhileFocusedAndFiltersRefuseKeys)
{
    TMainForm& f = open();
    f.editProduct->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.editProduct->fieldColor(), kFieldFocusColor);
    // Enter moves on outside tables.
    press(f.editProduct, Qt::Key_Return);
    EXPECT_TRUE(f.editProcess->hasFocus());
    EXPECT_EQ(f.editProduct->fieldColor(), kFieldNormalColor);
    press(f.editProcess, Qt::Key_Escape);
    EXPECT_TRUE(f.editProduct->hasFocus());

    f.editLabel->clear();
    for (QChar ch : QStringLiteral("a:b?c日"))
        f.editLabel->typeChar(ch);
    EXPECT_EQ(f.editLabel->text(), "abc日");
    f.spinRow->clear();
    for (QChar ch : QStringLiteral("1x2.5"))
        f.spinRow->typeChar(ch);
    EXPECT_EQ(f.spinRow->text(), "125");
    f.spinKeta->clear();
    for (QChar ch : QStringLiteral("92"))
        f.spinKeta->typeChar(ch);
    EXPECT_EQ(f.spinKeta->text(), "2");
    f.editKupper->clear();
    for (QChar ch : QStringLiteral("-1.-2.3a"))
        f.editKupper->typeChar(ch);
    EXPECT_EQ(f.editKupper->text(), "-1.23");
    // Typing over the whole text judges the text it replaces, not the old one.
    f.editKupper->selectAll();
    for (QChar ch : QStringLiteral("-.5"))
        f.editKupper->typeChar(ch);
    EXPECT_EQ(f.editKupper->text(), "-.5");

    // Enter inside a table stays in the table.
    f.gridCtrl->setFocus();
    press(f.gridCtrl, Qt::Key_Return);
    EXPECT_TRUE(f.gridCtrl->hasFocus());
}

TEST_F(MainFormTest, ClearingTheItemNameRestoresTheTabCaption)
{
    TMainForm& f = open();
    f.editLabel->setText("  ");
    leave(f.editLabel);
    EXPECT_EQ(f.editLabel->text(), "Sheet1");
    // Cleared and not left: switching sheets keeps the old caption too.
    f.editLabel->setText("");
    selectTab(1);
    EXPECT_EQ(f.Sheets[0].Label, "Sheet1");
    EXPECT_EQ(f.tabCtrl->tabText(0), "Sheet1");
}

TEST_F(MainFormTest, LoadingStopsAtAValueThatIsNotANumber)
{
    TMainForm& f = open();
    Struct_Sheet& s = f.Sheets[1];
    s.Keta = "";
    s.SpecKind = "変な種別";
    s.Kupper = "10";
    s.Klower = "x";
    s.CheckList = {"1", "0", "yes"};
    s.DataList = {"L1,1.5,2", "L2,abc,3", "L3,4"};
    selectTab(1);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(prompts.shown[0].caption, "警告メッセージ");
    EXPECT_EQ(prompts.texts()[0], "不適切な測定値が見つかりました。ファイルの内容を確認してください…");
    EXPECT_EQ(f.spinKeta->text(), "3");
    EXPECT_EQ(f.cmbSpecKind->currentText(), "公差規格");
    EXPECT_EQ(f.editKupper->text(), "10.000");
    EXPECT_EQ(cell(f.gridEdit, 0, 1), "1.500");
    EXPECT_EQ(cell(f.gridEdit, 1, 1), "2.000");
    EXPECT_EQ(cell(f.gridEdit, 0, 2), "abc");
    EXPECT_EQ(cell(f.gridEdit, 1, 2), "3");
    EXPECT_EQ(cell(f.gridCtrl, 0, 2), "L2");
    EXPECT_EQ(cell(f.gridCalc, 0, 3), "L3");
    EXPECT_FALSE(f.gridCtrl->flag(2));
    EXPECT_FALSE(f.gridCtrl->flag(3));
    EXPECT_TRUE(f.gridCtrl->flag(4));
}

// Texts of a stored sheet (an imported file) longer than the fields take
// when typed are shown and stored again uncut; the typing limit holds again
// for a sheet whose texts fit.
TEST_F(MainFormTest, StoredTextsLongerThanTheFieldsTakeSurviveASwitch)
{
    TMainForm& f = open();
    Struct_Sheet& s = f.Sheets[1];
    s.Process = "第三工程（熱処理後の外径仕上げ研削、二回目）";
    s.Unit = "マイクロメートル毎分";
    s.Kupper = "1234567890123.5";
    ASSERT_GT(QString::fromStdString(s.Process).size(), f.editProcess->maxLength());
    const Struct_Sheet original = s;
    selectTab(1);
    EXPECT_EQ(f.editProcess->text().toStdString(), original.Process);
    EXPECT_EQ(f.editUnit->text().toStdString(), original.Unit);
    EXPECT_EQ(f.editKupper->text(), "1234567890123.500");
    selectTab(0);
    EXPECT_EQ(f.Sheets[1].Process, original.Process);
    EXPECT_EQ(f.Sheets[1].Unit, original.Unit);
    EXPECT_EQ(f.Sheets[1].Kupper, "1234567890123.500");
    EXPECT_EQ(f.editProcess->maxLength(), 20);
    EXPECT_EQ(f.editUnit->maxLength(), 10);
}

// Typing the R/S/Rs centre or +3σ line sets the hidden +2σ and +1σ lines
// with it, so typed limits are judged against their own zones; a typed
// number rewritten on leaving its field is shown whole; an S-side lot with
// one value stops the judgment in the guidance box, naming the lot.
TEST_F(MainFormTest, TypedLinesCarryTheHiddenLinesAndRewrittenNumbersStayWhole)
{
    TMainForm& f = open();
    auto type = [&](QLineEdit* field, const char* keys) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
        QTest::keyClicks(field, QString::fromUtf8(keys));
        f.editProduct->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    };
    auto hidden = [&] { return f.editRsUcl2->text() + "|" + f.editRsUcl1->text(); };
    for (int r = 1; r <= 10; ++r) {
        setCell(f.gridEdit, 0, r, r % 2 ? "9.000" : "11.000");
        setCell(f.gridEdit, 1, r, "10.000");
    }
    f.editUnit->setText("MM");
    f.editKupper->setText("20.000");
    f.editKlower->setText("0.000");

    // After a reset every line typed by hand: the judgment runs to its end.
    f.cmbLimit->setCurrentIndex(1);
    f.cmbLimitChange();
    const char* const lines[9] = {"13", "12", "11", "7", "8", "9", "10", "1", "2.5"};
    for (int line = 0; line < 9; ++line)
        type(f.limitField(line), lines[line]);
    EXPECT_EQ(hidden(), "2.0000|1.5000");
    f.btnSpcJudg->click();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(f.pnlSpcJudg->text(), "合格");

    // Computed lines, then a +3σ line typed over them: the hidden lines
    // follow it, and computing one other line keeps them with it.
    prompts.answers = {true};
    f.btn3Stdev->click();
    const QString computedRcl = f.editRcl->text();
    type(f.editRsUcl3, "4");
    std::string u2, u1;
    ASSERT_TRUE(HiddenRsLines(computedRcl.toStdString(), "4.0000", u2, u1));
    const QString typedHidden = QString::fromStdString(u2 + "|" + u1);
    EXPECT_EQ(hidden(), typedHidden);
    prompts.answers = {true};
    f.cbUcl3->setChecked(true);
    EXPECT_EQ(hidden(), typedHidden);
    // Clearing the +3σ line leaves no hidden line of the earlier ones.
    f.editRsUcl3->setFocus(Qt::OtherFocusReason);
    f.editRsUcl3->selectAll();
    QTest::keyClick(f.editRsUcl3, Qt::Key_Backspace);
    leave(f.editRsUcl3);
    EXPECT_EQ(hidden(), "|");

    // Rewritten numbers longer than the typing limit stay whole, also after
    // a change of the decimals.
    type(f.editUcl2, "1234567.8");
    EXPECT_EQ(f.editUcl2->text(), "1234567.8000");
    type(f.editKupper, "123456789012.34");
    EXPECT_EQ(f.editKupper->text(), "123456789012.340");
    f.spinKeta->setText("5");
    leave(f.spinKeta);
    EXPECT_EQ(f.editKupper->text(), "123456789012.34000");
    EXPECT_EQ(f.editKupper->maxLength(), 18);

    // The S chart with a lot of a single value: the judgment stops at it.
    prompts.shown.clear();
    f.spinKeta->setText("3");
    leave(f.spinKeta);
    f.editKupper->setText("20.000");
    f.cmbChart->setCurrentIndex(ChartXbarS);
    f.cmbChartChange();
    setCell(f.gridEdit, 1, 4, "");
    setCell(f.gridEdit, 0, 2, "10.000");
    prompts.answers = {true};
    f.btn3Stdev->click();
    f.btnSpcJudg->click();
    ASSERT_EQ(prompts.shown.size(), 2u) << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(prompts.shown[1].kind, ScriptedPrompts::Shown::Message);
    EXPECT_EQ(prompts.shown[1].caption, "ガイドメッセージ");
    EXPECT_EQ(prompts.shown[1].text.toStdString(), SingleValueLotMessage("K0004"));
    EXPECT_EQ(f.gridCalc->cells().text(CalcStdev, 1), "0.70711");
    EXPECT_EQ(f.gridCalc->cells().text(CalcStdev, 2), "0.00000");  // equal values
    EXPECT_EQ(f.pnlSpcJudg->text(), "");
}

TEST_F(MainFormTest, SheetCountDialogClampsAndCancelOrAnEmptyCountChangesNothing)
{
    TMainForm& f = open();
    QTimer::singleShot(0, [&] {
        f.SheetsForm->spinTab->setText("200");
        press(f.SheetsForm->spinTab, Qt::Key_Return);
    });
    f.menuSettingSheetsClick();
    EXPECT_EQ(f.tabCtrl->count(), 100);
    EXPECT_EQ(f.Sheets.size(), 100u);
    EXPECT_EQ(f.tabCtrl->tabText(99), "Sheet100");

    QTimer::singleShot(0, [&] {
        f.SheetsForm->spinTab->setText("7");
        press(f.SheetsForm->spinTab, Qt::Key_Escape);
    });
    f.menuSettingSheetsClick();
    EXPECT_EQ(f.tabCtrl->count(), 100);

    // An emptied count, confirmed with Enter or with ＯＫ, deletes no sheet.
    for (bool click : {false, true}) {
        SCOPED_TRACE(click ? "ＯＫ" : "Enter");
        QTimer::singleShot(0, [&] {
            QApplication::setActiveWindow(f.SheetsForm);
            f.SheetsForm->spinTab->clear();
            if (click)
                QTest::mouseClick(f.SheetsForm->btnOk, Qt::LeftButton);
            else
                press(f.SheetsForm->spinTab, Qt::Key_Return);
        });
        f.menuSettingSheetsClick();
        EXPECT_EQ(f.tabCtrl->count(), 100);
        EXPECT_EQ(f.Sheets.size(), 100u);
        EXPECT_EQ(f.spinTab->text(), "100");
    }
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainFormTest, CheckColumnTogglesWithTheLeftButtonAndSpace)
{
    TMainForm& f = open();
    f.gridCtrl->setFlag(4, false);
    f.gridCtrl->setFlag(5, false);
    // Select rows 3..6 of the check column and press Space: each row flips.
    f.gridCtrl->setFocus();
    f.gridCtrl->setCurrent({1, 3});
    f.gridCtrl->selectionModel()->select(
        QItemSelection(f.gridCtrl->model()->index(2, 1), f.gridCtrl->model()->index(5, 1)),
        QItemSelectionModel::ClearAndSelect);
    press(f.gridCtrl, Qt::Key_Space);
    EXPECT_FALSE(f.gridCtrl->flag(3));
    EXPECT_TRUE(f.gridCtrl->flag(4));
    EXPECT_TRUE(f.gridCtrl->flag(5));
    EXPECT_FALSE(f.gridCtrl->flag(6));

    const QRect r = f.gridCtrl->visualRect(f.gridCtrl->model()->index(0, 1));
    QTest::mouseClick(f.gridCtrl->viewport(), Qt::RightButton, {}, r.center());
    EXPECT_TRUE(f.gridCtrl->flag(1));
    QTest::mouseClick(f.gridCtrl->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_FALSE(f.gridCtrl->flag(1));
    const QRect label = f.gridCtrl->visualRect(f.gridCtrl->model()->index(0, 0));
    QTest::mouseClick(f.gridCtrl->viewport(), Qt::LeftButton, {}, label.center());
    EXPECT_FALSE(f.gridCtrl->flag(1));
}

TEST_F(MainFormTest, VerdictPanelsAreFramedAndTheThresholdListGreysOut)
{
    TMainForm& f = open();
    for (QLabel* panel : {f.pnlSpecJudg, f.pnlCpkJudg, f.pnlSpcJudg}) {
        EXPECT_NE(panel->frameShape(), QFrame::NoFrame) << panel->objectName().toStdString();
        EXPECT_GE(panel->frameWidth(), 2) << panel->objectName().toStdString();
    }
    const QColor face = f.palette().color(QPalette::Button);
    f.chkCpCpk->setChecked(false);
    EXPECT_FALSE(f.cmbCpCpk->isEnabled());
    EXPECT_EQ(f.cmbCpCpk->palette().color(QPalette::Base), face);
    EXPECT_EQ(f.editCpCpk->fieldColor(), face);
    f.chkCpCpk->setChecked(true);
    EXPECT_TRUE(f.cmbCpCpk->isEnabled());
    EXPECT_NE(f.cmbCpCpk->palette().color(QPalette::Base), face);
    EXPECT_EQ(f.editCpCpk->fieldColor(), kFieldNormalColor);
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
        {f.LotEditForm, [&] { f.btnLotEdit->click(); }},
        {f.AboutForm, [&] { f.menuHelpAbout->trigger(); }},
        {f.SheetsForm, [&] { f.menuSettingSheets->trigger(); }},
        {f.SettingForm, [&] { f.menuSettingInit->trigger(); }},
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
    EXPECT_EQ(f.editProduct->accessibleName(), "品種名称");
    EXPECT_EQ(f.spinRow->accessibleName(), "ﾛｯﾄ数(行)");
    EXPECT_EQ(f.cmbChart->accessibleName(), "管理図指定");
    EXPECT_EQ(f.btnReset->text(), "全てリセット");
    EXPECT_EQ(f.editProduct->toolTip(), "「品種名称」を入力してください。");
    EXPECT_EQ(f.gridEdit->model()->headerData(0, Qt::Horizontal, Qt::AccessibleTextRole).toString(), "N1");
    EXPECT_EQ(f.gridCtrl->model()->data(f.gridCtrl->model()->index(0, 0), Qt::AccessibleTextRole).toString(),
              "K0001");
}
