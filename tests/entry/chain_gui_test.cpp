// The judgment chain through the main window: the capability page and the
// SPC page on top of the specification judgment, and the rule settings.
#include <QAction>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "entry_window.h"
#include "model/number.h"
#include "app/option_form.h"
#include "spc/rule_options.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

namespace trevolo {
namespace {

using testing::kLime;
using testing::kRed;

class ChainWindow : public testing::EntryWindow {
protected:
    std::string calc(int col, int row) { return Ctl<StringGrid>(form, "gridCalc")->cells().text(col, row); }
    std::string spc(int col, int row) { return Ctl<StringGrid>(form, "gridSpc")->cells().text(col, row); }
    std::vector<std::string> calcRow(int row)
    {
        std::vector<std::string> r;
        for (int c = 0; c < 10; ++c)
            r.push_back(calc(c, row));
        return r;
    }
    // The nine visible and the two hidden limit lines from the values.
    void computeLimits()
    {
        prompts.answers = {true};
        Ctl<QPushButton>(form, "btn3Stdev")->click();
        prompts.shown.clear();
    }
    void setLot(int row, std::initializer_list<const char*> values)
    {
        int c = 0;
        for (const char* v : values)
            setCell(c++, row, v);
    }
};

// Worked example: 9.8, 10.0, 10.2 against 10.5 / 9.5. s = 0.2, so
// Cp = 1.0 / 1.2 = 0.833 and Cpk = min(0.5, 0.5) / 0.6 = 0.833.
TEST_F(ChainWindow, CapabilityOfTheWorkedExample)
{
    auto* pnlCpkJudg = Ctl<QLabel>(form, "pnlCpkJudg");
    auto* editCpCpk = Ctl<TEdit>(form, "editCpCpk");
    setLot(1, {"9.8", "10.0", "10.2"});
    fillHeader(SpecTolerance, "10.5", "9.5");
    fillControlLimits();
    pnlCpkJudg->setText(QStringLiteral("合格"));
    Ctl<QPushButton>(form, "btnCpkCalc")->click();
    EXPECT_TRUE(prompts.shown.empty());
    const std::vector<std::string> lot = {"K0001",   "3",       "10.20000", "9.80000", "10.00000",
                                          "0.40000", "0.20000", "0.833",    "0.833",   "×異常あり"};
    EXPECT_EQ(calcRow(1), lot);
    std::vector<std::string> total = lot;
    total[0] = "＊トータル";
    EXPECT_EQ(calcRow(2), total);
    EXPECT_EQ(Ctl<StringGrid>(form, "gridCalc")->RowCount(), 3);
    EXPECT_EQ(pnlCpkJudg->text(), QStringLiteral("不合格"));
    EXPECT_EQ(pnlCpkJudg->palette().color(QPalette::WindowText), kRed);
    EXPECT_TRUE(form->session().cpkMarking());

    // Marking: the judged index below the threshold, read at paint time.
    auto colour = [&](int col) { return Ctl<StringGrid>(form, "gridCalc")->drawCell(col, 1, false, false).text; };
    EXPECT_EQ(colour(8), kRed);
    EXPECT_EQ(colour(7), QColor(Qt::black));
    EXPECT_EQ(colour(9), kRed);
    editCpCpk->setText(QStringLiteral("0.83"));
    EXPECT_EQ(colour(8), QColor(Qt::black));
    Ctl<QComboBox>(form, "cmbCpCpk")->setCurrentIndex(0);
    editCpCpk->setText(QStringLiteral("1.33"));
    EXPECT_EQ(colour(7), kRed);
    EXPECT_EQ(colour(8), QColor(Qt::black));
    Ctl<QCheckBox>(form, "chkCpCpk")->setChecked(false);
    EXPECT_EQ(colour(7), QColor(Qt::black));
}

TEST_F(ChainWindow, CapabilityThresholdControlsTheVerdicts)
{
    auto* chkCpCpk = Ctl<QCheckBox>(form, "chkCpCpk");
    auto* btnCpkCalc = Ctl<QPushButton>(form, "btnCpkCalc");
    auto* pnlCpkJudg = Ctl<QLabel>(form, "pnlCpkJudg");
    // Three lots; the second is disabled and leaves no row.
    setLot(1, {"9.8", "10.0", "10.2"});
    setLot(2, {"1", "2"});
    ctrl().setFlag(2, false);
    setLot(3, {"9.9", "10.0", "10.1"});
    fillHeader(SpecTolerance, "10.5", "9.5");
    fillControlLimits();

    chkCpCpk->setChecked(false);
    btnCpkCalc->click();
    EXPECT_EQ(calc(0, 2), "K0003");
    EXPECT_EQ(calc(0, 3), "＊トータル");
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(calc(9, row), "－") << row;
    EXPECT_EQ(pnlCpkJudg->text(), QStringLiteral("合格"));

    // A threshold that is not a number stops the verdicts at the first row
    // to judge; the panel keeps its caption.
    chkCpCpk->setChecked(true);
    Ctl<TEdit>(form, "editCpCpk")->setText(QStringLiteral("."));
    btnCpkCalc->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'.' は浮動小数点数ではありません"));
    EXPECT_EQ(calc(9, 1), "");
    EXPECT_EQ(calc(7, 1), "0.833");
    EXPECT_EQ(pnlCpkJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ChainWindow, MovingRangesFollowThePackedRows)
{
    Ctl<TSpinEdit>(form, "spinCol")->setValue(1);
    ASSERT_EQ(Ctl<QComboBox>(form, "cmbChart")->currentIndex(), ChartXRs);
    setCell(0, 1, "10");
    setCell(0, 2, "99");
    ctrl().setFlag(2, false);
    setCell(0, 3, "12");
    setCell(0, 4, "11");
    fillHeader(SpecTolerance, "100", "0");
    fillControlLimits();
    Ctl<QPushButton>(form, "btnCpkCalc")->click();
    EXPECT_EQ(calc(5, 1), "0.00000");
    EXPECT_EQ(calc(5, 2), "2.00000");
    EXPECT_EQ(calc(5, 3), "1.00000");
    // The total's range is the mean of all three moving ranges, the first 0 included.
    EXPECT_EQ(calc(5, 4), "1.00000");
    EXPECT_EQ(calc(6, 1), "");
}

TEST_F(ChainWindow, WholeChainFillsTheThreeVerdicts)
{
    auto* pageInput = Ctl<QTabWidget>(form, "pageInput");
    auto* pnlSpcJudg = Ctl<QLabel>(form, "pnlSpcJudg");
    auto* btnSpcJudg = Ctl<QPushButton>(form, "btnSpcJudg");
    const char* values[][3] = {{"10.0", "10.2", "9.8"}, {"10.1", "9.9", "10.0"}, {"10.3", "10.1", "9.9"},
                               {"9.7", "10.0", "10.1"}, {"10.0", "10.4", "9.6"}, {"10.2", "9.8", "10.0"}};
    for (int r = 0; r < 6; ++r)
        setLot(r + 1, {values[r][0], values[r][1], values[r][2]});
    fillHeader(SpecTolerance, "11.0", "9.0");
    computeLimits();
    pageInput->setCurrentIndex(0);
    Ctl<QAction>(form, "menuExecSpc")->trigger();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(" / ").toStdString();
    EXPECT_EQ(pageInput->currentIndex(), 2);
    EXPECT_EQ(Ctl<QLabel>(form, "pnlSpecJudg")->text(), QStringLiteral("合格"));
    EXPECT_FALSE(Ctl<QLabel>(form, "pnlCpkJudg")->text().isEmpty());
    EXPECT_EQ(pnlSpcJudg->text(), QStringLiteral("合格"));
    EXPECT_EQ(pnlSpcJudg->palette().color(QPalette::WindowText), kLime);
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->RowCount(), 7);
    for (int row = 1; row <= 6; ++row) {
        EXPECT_EQ(spc(0, row), calc(0, row));
        EXPECT_EQ(spc(17, row), "○異常なし") << row;
        for (int col = 1; col <= 16; ++col)
            EXPECT_TRUE(spc(col, row) == "○") << row << "," << col << " " << spc(col, row);
    }

    // Every rule off: all marks "－", still a pass.
    for (int rule = 1; rule <= 8; ++rule)
        form->workbook().options.setCheck(rule, false);
    btnSpcJudg->click();
    EXPECT_EQ(spc(1, 1), "－");
    EXPECT_EQ(spc(16, 6), "－");
    EXPECT_EQ(spc(17, 6), "○異常なし");

    // A lot beyond the upper three-sigma line with rule 1 on.
    form->workbook().options.setCheck(1, true);
    Ctl<TEdit>(form, "editUcl3")->setText(QStringLiteral("10.0500"));
    btnSpcJudg->click();
    EXPECT_EQ(spc(1, 3), "×");
    EXPECT_EQ(spc(17, 3), "×異常あり");
    EXPECT_EQ(pnlSpcJudg->text(), QStringLiteral("不合格"));
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->drawCell(1, 3, false, false).text, kRed);
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->drawCell(17, 3, false, false).text, kRed);
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->drawCell(1, 2, false, false).text, QColor(Qt::black));
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->drawCell(5, 2, false, false).align, Qt::AlignCenter);
}

// The largest sheet: the statistics table holds 1000 lot rows and the total
// after them, and the SPC judgment covers every lot up to the last.
TEST_F(ChainWindow, ThousandLotsKeepTheTotalRowAndJudgeTheLastLot)
{
    Ctl<TSpinEdit>(form, "spinRow")->setValue(1000);
    for (int r = 1; r <= 1000; ++r) {
        const std::string a = FormatFixed(10.0 + 0.1 * (r % 7 - 3), 1);
        const std::string b = FormatFixed(10.0 + 0.1 * (r % 5 - 2), 1);
        const std::string c = FormatFixed(10.0 + 0.1 * (r % 3 - 1), 1);
        setLot(r, {a.c_str(), b.c_str(), c.c_str()});
    }
    fillHeader(SpecTolerance, "11.0", "9.0");
    computeLimits();
    Ctl<QAction>(form, "menuExecSpc")->trigger();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(" / ").toStdString();
    ASSERT_EQ(Ctl<StringGrid>(form, "gridCalc")->RowCount(), 1002);
    EXPECT_EQ(calc(0, 1001), "＊トータル");
    EXPECT_EQ(calc(1, 1001), "3000");
    ASSERT_EQ(Ctl<StringGrid>(form, "gridSpc")->RowCount(), 1001);
    EXPECT_EQ(spc(0, 1000), calc(0, 1000));
    EXPECT_FALSE(spc(17, 1000).empty());
}

TEST_F(ChainWindow, FailingSideLeavesItsColumnsEmpty)
{
    auto* btnSpcJudg = Ctl<QPushButton>(form, "btnSpcJudg");
    setLot(1, {"10.0", "10.2", "9.8"});
    setLot(2, {"10.1", "9.9", "10.3"});
    fillHeader(SpecTolerance, "11.0", "9.0");
    // Typed lines only: the hidden R/S/Rs lines were never computed.
    selectLimitMethod(1);
    fillControlLimits();
    form->session().setVerdicts(form->session().specVerdict(), form->session().calcVerdict(), Verdict::Pass);
    btnSpcJudg->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'' は浮動小数点数ではありません"));
    EXPECT_FALSE(spc(1, 1).empty());
    EXPECT_FALSE(spc(8, 2).empty());
    for (int col = 9; col <= 17; ++col)
        EXPECT_EQ(spc(col, 1), "") << col;
    EXPECT_EQ(Ctl<QLabel>(form, "pnlSpcJudg")->text(), QStringLiteral("合格"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A failing X side leaves every column empty.
    Ctl<TEdit>(form, "editXcl")->setText(QStringLiteral("-"));
    prompts.shown.clear();
    btnSpcJudg->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("'-' は浮動小数点数ではありません"));
    EXPECT_EQ(spc(1, 1), "");
    EXPECT_EQ(spc(0, 1), "");
}

TEST_F(ChainWindow, NoCapabilityVerdictStopsTheSpcJudgmentSilently)
{
    fillHeader();
    fillControlLimits();
    Ctl<QPushButton>(form, "btnSpcJudg")->click();  // no values at all
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(Ctl<QLabel>(form, "pnlSpcJudg")->text().isEmpty());
    EXPECT_EQ(spc(17, 1), "");
}

TEST_F(ChainWindow, RuleSettingsDialogStoresOnOkOnly)
{
    const RuleOptions before = form->workbook().options;
    auto answer = [&](bool ok, int rule2Item) {
        QTimer::singleShot(0, form.get(), [this, ok, rule2Item] {
            TOptionForm* d = form->findChild<TOptionForm*>();
            ASSERT_TRUE(d->isVisible());
            d->list(ListSameSideRun)->setCurrentIndex(rule2Item);
            d->checkBox(3)->setChecked(false);
            (ok ? d->btnOk : d->btnCancel)->click();
        });
        Ctl<QAction>(form, "menuSettingOption")->trigger();
    };
    answer(false, 0);
    EXPECT_EQ(form->workbook().options, before);
    answer(true, 0);
    EXPECT_EQ(form->workbook().options.sameSideRun, 7);
    EXPECT_FALSE(form->workbook().options.trend);
    EXPECT_EQ(form->workbook().options.alternatingRun, before.alternatingRun);
}

}  // namespace
}  // namespace trevolo
