// The report commands through the real main window, offscreen, against a
// real headless LibreOffice and this build's templates ("Form Files" beside
// the test program): the saved copies are opened and read back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <cmath>
#include <cstring>

#include "app/mainform.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "exchange/messages.h"
#include "exchange/office.h"
#include "exchange/report_layout.h"
#include "model/number.h"
#include "report_support.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;
using trevolo::testing::Ctls;

namespace trevolo {
namespace {

using testing::TempDir;

double Number(const CellValue& v)
{
    const auto* d = std::get_if<double>(&v);
    return d ? *d : std::nan("");
}

class ReportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<QSettings>(ToQString(dir.file("trevolo.conf")), QSettings::IniFormat);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::processEvents();
        form->setSaveFilesDir(ToQString(saveDir.path().string()));
        prompts.shown.clear();
    }
    void TearDown() override { form.reset(); }

    // A sheet of `lots` lots of three values around 10 (one for X-Rs) that
    // passes the specification 9 .. 11; the lots in `disabled` (from 1)
    // switched off; then the control limits computed from it.
    void enter(int lots, std::vector<int> disabled = {}, int chartKind = ChartXbarR)
    {
        TMainForm& f = *form;
        Ctl<TSpinEdit>(f, "spinRow")->setValue(lots);
        Ctl<TSpinEdit>(f, "spinCol")->setValue(chartKind == ChartXRs ? 1 : 3);
        Ctl<QComboBox>(f, "cmbChart")->setCurrentIndex(chartKind);
        emit Ctl<QComboBox>(f, "cmbChart")->activated(Ctl<QComboBox>(f, "cmbChart")->currentIndex());
        Ctl<TEdit>(f, "editLabel")->setText(QStringLiteral("外径"));
        Ctl<TEdit>(f, "editUnit")->setText(QStringLiteral("mm"));
        Ctl<QComboBox>(f, "cmbSpecKind")->setCurrentIndex(SpecTolerance);
        emit Ctl<QComboBox>(f, "cmbSpecKind")->activated(Ctl<QComboBox>(f, "cmbSpecKind")->currentIndex());
        Ctl<TSpinEdit>(f, "spinKeta")->setValue(3);
        Ctl<TEdit>(f, "editKupper")->setText(QStringLiteral("11.000"));
        Ctl<TEdit>(f, "editKlower")->setText(QStringLiteral("9.000"));
        auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
        auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
        for (int lot = 1; lot <= lots; ++lot) {
            const bool on = std::find(disabled.begin(), disabled.end(), lot) == disabled.end();
            gridCtrl->setFlag(lot, on);
            for (int c = 0; c < 3; ++c)
                gridEdit->setCellText(c, lot, ToQString(FormatFixed(10.0 + ((lot * 7 + c * 5) % 13 - 6) / 100.0, 3)));
        }
        prompts.answers = {true};
        Ctl<QPushButton>(f, "btn3Stdev")->click();
        prompts.shown.clear();
    }

    std::vector<std::filesystem::path> reports() const
    {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(saveDir.path()))
            files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    }
    std::string calc(int col, int row) const
    {
        return std::string(Ctl<StringGrid>(form, "gridCalc")->cells().text(col, row));
    }
    QStringList texts() const { return prompts.texts(); }

    testing::DisplayEnv noDisplay{""};
    TempDir dir;
    TempDir saveDir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    ScopedPrompts guard{prompts};
    std::unique_ptr<TMainForm> form;
};

TEST_F(ReportWindowTest, ControlChartTakesTheStatisticsTableAndTheLimitPanel)
{
    auto* itemUcl3 = Ctl<TEdit>(form, "itemUcl3");
    const struct {
        int kind;
        const char* suffix;
        int spreadColumn;
    } cases[] = {{ChartXbarR, "_XbarR.xls", 5}, {ChartXbarS, "_XbarS.xls", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.suffix);
        for (const auto& f : reports())
            std::filesystem::remove(f);
        enter(20, {3, 7}, c.kind);
        itemUcl3->setText(QStringLiteral("上限"));  // a name the user edited
        Ctl<QPushButton>(form, "btnControlChart")->click();
        ASSERT_TRUE(texts().isEmpty()) << texts().join(" / ").toStdString();
        ASSERT_FALSE(Ctl<QLabel>(form, "pnlCpkJudg")->text().isEmpty());
        const auto files = reports();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].filename().string().ends_with(c.suffix)) << files[0];
        EXPECT_EQ(files[0].filename().string().size(), std::string("YYYYMMDD_HHNNSS").size() + strlen(c.suffix));

        // 18 lots took part: rows 2 to 19, as the statistics table shows them.
        ASSERT_EQ(Ctl<StringGrid>(form, "gridCalc")->RowCount(), 20);
        auto app = SpreadsheetApp::create(OfficeUse::Exchange);
        ASSERT_NE(app, nullptr);
        OfficeWorkbook book = app->openWorkbook(files[0].string(), true);
        Worksheet data = book.worksheet(1);
        const CellBlock body = data.range("A1", "L19").values();
        for (int row = 1; row <= 18; ++row) {
            EXPECT_EQ(CellText(body.at(row, 0)), calc(0, row)) << row;
            EXPECT_DOUBLE_EQ(Number(body.at(row, 1)), StrToFloat(calc(4, row))) << row;
            EXPECT_DOUBLE_EQ(Number(body.at(row, 9)), StrToFloat(calc(c.spreadColumn, row))) << row;
        }
        EXPECT_EQ(CellText(body.at(3, 0)), "K0004");  // lot 3 is left out
        EXPECT_EQ(data.usedEnd().row, 19);
        const std::vector<TEdit*> names = Ctls<TEdit>(form, {"itemUcl3", "itemUcl2", "itemUcl1", "itemXcl", "itemLcl1",
                                                             "itemLcl2", "itemLcl3", "itemRcl", "itemRsUcl3"});
        const std::vector<TEdit*> values = Ctls<TEdit>(form, {"editUcl3", "editUcl2", "editUcl1", "editXcl", "editLcl1",
                                                              "editLcl2", "editLcl3", "editRcl", "editRsUcl3"});
        const int columns[9] = {2, 3, 4, 5, 6, 7, 8, 10, 11};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(CellText(body.at(0, columns[i])), names[i]->text().toStdString()) << i;
            EXPECT_DOUBLE_EQ(Number(body.at(1, columns[i])), StrToFloat(values[i]->text().toStdString())) << i;
        }
        EXPECT_EQ(CellText(body.at(0, 2)), "上限");
        EXPECT_NEAR(book.worksheet(2).chartObjectWidth(kChartXName, kChartXOrder), 1280, 1.3);
        book.close();
    }
}

TEST_F(ReportWindowTest, HistogramTakesTheEnabledLotsAndTheClassCount)
{
    enter(30, {2, 5});
    Ctl<TSpinEdit>(form, "spinBetWeen")->setValue(7);
    Ctl<TSpinEdit>(form, "spinKeta")->setValue(2);
    Ctl<QAction>(form, "menuExecHist")->trigger();
    ASSERT_TRUE(texts().isEmpty()) << texts().join(" / ").toStdString();
    const auto files = reports();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().ends_with("_Histogram.xls"));

    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    ASSERT_NE(app, nullptr);
    OfficeWorkbook book = app->openWorkbook(files[0].string(), true);
    Worksheet data = book.worksheet(1);
    const CellBlock block = data.range("A1", "C30").values();
    const CellStore& values = Ctl<StringGrid>(form, "gridEdit")->cells();
    int row = 0;
    for (int lot = 1; lot <= 30; ++lot) {
        if (lot == 2 || lot == 5)
            continue;
        for (int c = 0; c < 3; ++c)
            EXPECT_DOUBLE_EQ(Number(block.at(row, c)), StrToFloat(values.text(c, lot))) << lot;
        ++row;
    }
    EXPECT_EQ(row, 28);
    EXPECT_EQ(data.usedEnd(), (WorksheetPos{28, 3}));
    EXPECT_EQ(data.range("B2").numberFormatLocal(), "0.00_ ");
    EXPECT_EQ(Number(book.worksheet(2).range("B19").value()), 7);
    EXPECT_EQ(Number(book.worksheet(2).range("B3").value()), 28 * 3);
    book.close();
}

TEST_F(ReportWindowTest, ResultOutputWritesTheThreePages)
{
    enter(10, {3, 7}, ChartXRs);
    Ctl<QPushButton>(form, "btnExcel")->click();
    ASSERT_TRUE(texts().isEmpty()) << texts().join(" / ").toStdString();
    // Without a display the output is kept as a file.
    const auto files = reports();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().ends_with("_Result.xls"));

    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    ASSERT_NE(app, nullptr);
    OfficeWorkbook book = app->openWorkbook(files[0].string(), true);
    ASSERT_EQ(book.worksheetCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ToQString(book.worksheet(i + 1).name()), Ctl<QTabWidget>(form, "pageInput")->tabText(i));
    EXPECT_EQ(book.worksheet(3).name(), "SPC異常判定(X側-Rs側)");
    EXPECT_EQ(CellText(book.worksheet(1).range("D2").value()), "外径");
    // Worksheet 1: the enabled lots without gaps; 2 and 3: the tables as shown.
    EXPECT_EQ(CellText(book.worksheet(1).range("A7").value()), "K0004");
    EXPECT_EQ(CellText(book.worksheet(1).range("A13").value()), "");
    EXPECT_EQ(CellText(book.worksheet(2).range("A5").value()), calc(0, 1));
    EXPECT_EQ(CellText(book.worksheet(2).range("A13").value()), calc(0, 9));  // the total row
    EXPECT_EQ(CellText(book.worksheet(3).range("A5").value()),
              std::string(Ctl<StringGrid>(form, "gridSpc")->cells().text(0, 1)));
    book.close();
}

TEST_F(ReportWindowTest, NoReportWithoutRequiredFieldsOrACapabilityVerdict)
{
    auto* pnlCpkJudg = Ctl<QLabel>(form, "pnlCpkJudg");
    enter(10);
    Ctl<TEdit>(form, "editUnit")->clear();
    Ctl<QPushButton>(form, "btnExcel")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8(kGuideCaption));
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("必須項目が入力されていません。"));
    EXPECT_TRUE(pnlCpkJudg->text().isEmpty());

    // The chain stops at the specification judgment, with its own message:
    // the reports add nothing and make no file.
    for (QPushButton* b : Ctls<QPushButton>(form, {"btnControlChart", "btnHistogram"})) {
        prompts.shown.clear();
        b->click();
        EXPECT_TRUE(pnlCpkJudg->text().isEmpty());
        for (const auto& s : prompts.shown)
            EXPECT_NE(s.kind, ScriptedPrompts::Shown::Error) << s.text.toStdString();
    }
    EXPECT_TRUE(reports().empty());
}

TEST_F(ReportWindowTest, WithoutTheOfficeTheErrorIsShownAndNoCopyIsLeft)
{
    enter(12);
    TempDir noOffice;
    SetOfficeProgramDir(noOffice.path().string());
    Ctl<QPushButton>(form, "btnControlChart")->click();
    SetOfficeProgramDir("");
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Error);
    EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8(kMsgOfficeNotStarted));
    EXPECT_TRUE(reports().empty());  // the unfilled copy of the template is gone
    EXPECT_FALSE(form->findChild<TSplashForm*>()->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace trevolo
