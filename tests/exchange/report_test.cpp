// The reports against a real, headless LibreOffice and the templates of this
// build: each report is made, then its saved copy is opened and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <thread>

#include "exchange/cellref.h"
#include "exchange/reports.h"
#include "model/number.h"
#include "office_support.h"
#include "report_support.h"

namespace trevolo {
namespace {

using testing::TempDir;

const std::filesystem::path kFormFiles = TREVOLO_TEST_FORM_FILES;

std::string Text(const CellValue& v)
{
    return CellText(v);
}

double Number(const CellValue& v)
{
    const auto* d = std::get_if<double>(&v);
    return d ? *d : std::nan("");
}

// A control chart of `lots` lot rows: labels K0001.., means 10 + small
// steps, spreads 0.1 + small steps, and the automatic line names.
ControlChartData ChartData(int kind, int lots, int lotSetting)
{
    ControlChartData d;
    d.chartKind = kind;
    d.lotCountSetting = lotSetting;
    for (int i = 0; i < lots; ++i) {
        char label[16];
        std::snprintf(label, sizeof label, "K%04d", i + 1);
        d.labels.push_back(label);
        d.means.push_back(FormatFixed(10.0 + 0.001 * (i % 17), 5));
        d.spreads.push_back(FormatFixed(0.1 + 0.002 * (i % 11), 5));
    }
    const char* names[7] = {"＋３σ", "＋２σ", "＋１σ", "平均値", "－１σ", "－２σ", "－３σ"};
    for (int i = 0; i < 7; ++i)
        d.xLines[static_cast<size_t>(i)] = {names[i], FormatFixed(10.008 + 0.01 * (3 - i), 4)};
    d.spreadLines = {ChartLine{"平均値", "0.1100"}, ChartLine{"＋３σ", "0.2300"}};
    return d;
}

class ReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A headless instance: every report is saved and closed, none shown.
        app_ = SpreadsheetApp::create(OfficeUse::Exchange).release();
        ASSERT_NE(app_, nullptr) << "LibreOffice did not start";
    }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(app_, nullptr);
        for (const std::string& t : TemplateFileNames())
            ASSERT_TRUE(std::filesystem::exists(kFormFiles / t)) << "template missing: " << t;
        place_.formFiles = kFormFiles;
        place_.saveFiles = dir_.path();
        place_.time = LocalTimeNow();
    }
    std::vector<std::string> saved() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static SpreadsheetApp* app_;
    TempDir dir_;
    ReportPlace place_;
};

SpreadsheetApp* ReportTest::app_ = nullptr;

TEST_F(ReportTest, TemplatesHoldTheDataAreaTheLineFormulasAndTheCharts)
{
    const struct {
        const char* file;
        const char* x;
        const char* spread;
    } cases[] = {{"XbarR.xls", "Xbar", "R"}, {"XbarS.xls", "Xbar", "S"}, {"X-Rs.xls", "X", "Rs"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        OfficeWorkbook book = app_->openWorkbook((kFormFiles / c.file).string(), true);
        ASSERT_EQ(book.worksheetCount(), 2);
        Worksheet data = book.worksheet(1);
        const CellBlock head = data.range("A1", "L1").values();
        const char* names[12] = {"ﾛｯﾄ№",  c.x,     "＋３σ", "＋２σ",  "＋１σ",  "平均値",
                                 "－１σ", "－２σ", "－３σ", c.spread, "平均値", "＋３σ"};
        for (int col = 0; col < 12; ++col)
            EXPECT_EQ(Text(head.at(0, col)), names[col]) << col;
        // The lines repeat row 2 down to row 1002; the lot columns are empty.
        EXPECT_EQ(data.range("C3").formula(), "=C$2");
        EXPECT_EQ(data.range("I1002").formula(), "=I$2");
        EXPECT_EQ(data.range("K500").formula(), "=K$2");
        EXPECT_EQ(data.range("L1002").formula(), "=L$2");
        EXPECT_EQ(data.range("A2", "B1002").values(), CellBlock(1001, 2));
        EXPECT_EQ(data.range("J2", "J1002").values(), CellBlock(1001, 1));
        EXPECT_EQ(data.usedEnd(), (WorksheetPos{1002, 12}));

        // The X side draws A..I, the spread side A and J..L, rows 1 to 1002.
        Worksheet charts = book.worksheet(2);
        ASSERT_EQ(charts.chartObjectCount(), 2);
        const std::vector<ChartBlock> x = charts.chartBlocks(kChartXName, kChartXOrder);
        ASSERT_EQ(x.size(), 1u);
        EXPECT_EQ(x[0], (ChartBlock{1, "$A$1:$I$1002"}));
        std::vector<std::string> spread;
        for (const ChartBlock& b : charts.chartBlocks(kChartSpreadName, kChartSpreadOrder)) {
            EXPECT_EQ(b.sheet, 1);
            spread.push_back(b.address);
        }
        EXPECT_EQ(spread, (std::vector<std::string>{"$A$2:$A$1002", "$J$1:$L$1002"}));
        book.close();
    }

    OfficeWorkbook hist = app_->openWorkbook((kFormFiles / kHistogramTemplate).string(), true);
    ASSERT_EQ(hist.worksheetCount(), 2);
    EXPECT_EQ(hist.worksheet(1).range("A1", "CV1000").values(), CellBlock(1000, 100));
    EXPECT_EQ(Number(hist.worksheet(2).range(kHistogramClassCell).value()), 10);
    EXPECT_EQ(Number(hist.worksheet(2).range("B3").value()), 0);  // the count of no values
    EXPECT_EQ(hist.worksheet(2).chartObjectCount(), 1);
    hist.close();
}

// Reads back a saved control chart and checks it against what was written.
void ExpectControlChart(SpreadsheetApp& app, const std::filesystem::path& path, const ControlChartData& d)
{
    SCOPED_TRACE(path.filename().string());
    OfficeWorkbook book = app.openWorkbook(path.string(), true);
    ASSERT_EQ(book.worksheetCount(), 2);
    Worksheet data = book.worksheet(1);
    const int lots = d.lotRows();
    const int last = lots + 1;

    // Rows 1 and 2 of the lines: names as text, values as numbers.
    const CellBlock head = data.range("A1", "L2").values();
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Text(head.at(0, 2 + i)), d.xLines[static_cast<size_t>(i)].name) << i;
        EXPECT_DOUBLE_EQ(Number(head.at(1, 2 + i)), StrToFloat(d.xLines[static_cast<size_t>(i)].value)) << i;
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Text(head.at(0, 10 + i)), d.spreadLines[static_cast<size_t>(i)].name);
        EXPECT_DOUBLE_EQ(Number(head.at(1, 10 + i)), StrToFloat(d.spreadLines[static_cast<size_t>(i)].value));
    }

    // The lots from row 2, and every line repeated flat down to the last lot.
    const CellBlock body = data.range("A2", "L" + std::to_string(last)).values();
    for (int r = 0; r < lots; ++r) {
        EXPECT_EQ(Text(body.at(r, 0)), d.labels[static_cast<size_t>(r)]) << r;
        EXPECT_DOUBLE_EQ(Number(body.at(r, 1)), StrToFloat(d.means[static_cast<size_t>(r)])) << r;
        EXPECT_DOUBLE_EQ(Number(body.at(r, 9)), StrToFloat(d.spreads[static_cast<size_t>(r)])) << r;
        for (int c : {2, 5, 8, 10, 11})
            ASSERT_DOUBLE_EQ(Number(body.at(r, c)), Number(head.at(1, c))) << r << "," << c;
    }
    // The template's rows below the last lot are gone.
    EXPECT_EQ(data.usedEnd().row, last);
    EXPECT_EQ(data.range("A" + std::to_string(last + 1), "L" + std::to_string(last + 1)).values(), CellBlock(1, 12));

    // Both charts at the width of the lot count setting, drawing only the
    // lots. The legacy format keeps a chart's extent in column units, which
    // costs it up to a thousandth of its width.
    Worksheet charts = book.worksheet(2);
    ASSERT_EQ(charts.chartObjectCount(), 2);
    const double width = ControlChartWidth(d.lotCountSetting);
    EXPECT_NEAR(charts.chartObjectWidth(kChartXName, kChartXOrder), width, width * 1e-3);
    EXPECT_NEAR(charts.chartObjectWidth(kChartSpreadName, kChartSpreadOrder), width, width * 1e-3);
    const std::string end = "$" + std::to_string(last);
    for (int order : {kChartXOrder, kChartSpreadOrder}) {
        for (const ChartBlock& b : charts.chartBlocks("", order)) {
            EXPECT_EQ(b.sheet, 1);
            EXPECT_TRUE(b.address.ends_with(end)) << b.address;
        }
    }
    book.close();
}

TEST_F(ReportTest, ControlChartOfTwentyLotsForEachChartKind)
{
    const struct {
        int kind;
        const char* file;
        const char* spreadTitle;
    } cases[] = {
        {ChartXbarR, "XbarR.xls", "R"},
        {ChartXbarS, "XbarS.xls", "S"},
        {ChartXRs, "X-Rs.xls", "Rs"},
    };
    for (const auto& c : cases) {
        ControlChartData d = ChartData(c.kind, 20, 20);
        d.xLines[0].name = "上方管理限界（手入力値）";  // a name the user edited
        const ReportResult r = MakeControlChartReport(*app_, d, place_);
        EXPECT_FALSE(r.shown);
        EXPECT_EQ(r.path.filename().string(), ReportCopyName(place_.time, c.file));
        ExpectControlChart(*app_, r.path, d);
        OfficeWorkbook book = app_->openWorkbook(r.path.string(), true);
        EXPECT_EQ(Text(book.worksheet(1).range("J1").value()), c.spreadTitle);
        book.close();
    }
    EXPECT_EQ(saved().size(), 3u);
}

TEST_F(ReportTest, ControlChartOfAThousandLots)
{
    const ControlChartData d = ChartData(ChartXbarR, 1000, 1000);
    const ReportResult r = MakeControlChartReport(*app_, d, place_);
    ExpectControlChart(*app_, r.path, d);

    // In the workbook itself the width is exact.
    const std::string copy = dir_.file("copy.xls");
    std::filesystem::copy_file(kFormFiles / "XbarS.xls", copy);
    OfficeWorkbook book = app_->openWorkbook(copy);
    WriteControlChart(book, ChartData(ChartXbarS, 1000, 1000));
    EXPECT_NEAR(book.worksheet(2).chartObjectWidth("", 1), 12800, 0.1);
    EXPECT_NEAR(book.worksheet(2).chartObjectWidth("", 2), 12800, 0.1);
    // Only row 1002 of the template went: the last lot is in row 1001.
    EXPECT_EQ(Text(book.worksheet(1).range("A1001").value()), "K1000");
    EXPECT_EQ(book.worksheet(1).usedEnd().row, 1001);
    book.close();
}

TEST_F(ReportTest, TwoReportsInOneSecondKeepBothCopies)
{
    ControlChartData first = ChartData(ChartXbarR, 12, 12);
    ControlChartData second = ChartData(ChartXbarR, 15, 15);
    second.labels[0] = "2nd";
    const ReportResult a = MakeControlChartReport(*app_, first, place_);
    const ReportResult b = MakeControlChartReport(*app_, second, place_);
    const std::string name = ReportCopyName(place_.time, "XbarR.xls");
    EXPECT_EQ(a.path.filename().string(), name);
    EXPECT_EQ(b.path.filename().string(), name.substr(0, name.size() - 4) + "(2).xls");
    ExpectControlChart(*app_, a.path, first);
    ExpectControlChart(*app_, b.path, second);
}

TEST_F(ReportTest, AMissingTemplateOrABadLimitStopsTheReportAndLeavesNoFile)
{
    TempDir empty;
    ReportPlace nowhere = place_;
    nowhere.formFiles = empty.path();
    EXPECT_THROW(MakeControlChartReport(*app_, ChartData(ChartXbarR, 20, 20), nowhere), OfficeError);
    HistogramData h;
    h.lots = 10;
    h.n = 1;
    h.enabled = [](int) { return true; };
    h.value = [](int, int) { return std::string("1.0"); };
    EXPECT_THROW(MakeHistogramReport(*app_, h, nowhere), OfficeError);
    // The command as the window runs it: no office is started for it.
    EXPECT_THROW(MakeControlChartReport(ChartData(ChartXRs, 20, 20), nowhere), OfficeError);

    ControlChartData bad = ChartData(ChartXbarR, 20, 20);
    bad.xLines[3].value = "";
    EXPECT_THROW(MakeControlChartReport(*app_, bad, place_), ConvertError);
    EXPECT_TRUE(saved().empty());

    // The office goes on working after the failures.
    const ReportResult r = MakeControlChartReport(*app_, ChartData(ChartXbarR, 20, 20), place_);
    EXPECT_TRUE(std::filesystem::exists(r.path));
}

// 30 lot rows of n values; lots 2 and 5 (1-based) disabled, one empty cell in
// lot 3. Values are 9.5 + lot/100 + col/1000 with three decimals.
HistogramData HistogramOf(int lots, int n, int classes)
{
    HistogramData h;
    h.lots = lots;
    h.n = n;
    h.enabled = [](int lot) { return lot != 1 && lot != 4; };
    h.value = [](int lot, int col) {
        if (lot == 2 && col == 0)
            return std::string();
        return FormatFixed(9.5 + lot / 100.0 + col / 1000.0, 3);
    };
    h.decimals = "3";
    h.classes = classes;
    return h;
}

void ExpectHistogram(SpreadsheetApp& app, const std::filesystem::path& path, const HistogramData& h)
{
    SCOPED_TRACE(path.filename().string());
    OfficeWorkbook book = app.openWorkbook(path.string(), true);
    Worksheet data = book.worksheet(1);
    const CellBlock written = HistogramBlock(h);
    const CellBlock block = data.range("A1", RowColToCell(h.lots, h.n)).values();
    EXPECT_EQ(block, written);
    EXPECT_EQ(data.usedEnd(), (WorksheetPos{h.lots - 2, h.n}));  // the two disabled lots leave two empty rows
    EXPECT_EQ(data.range("A1").numberFormatLocal(), "0.000_ ");

    // The class sheet: the class count, the figures and the frequencies.
    std::vector<double> values;
    for (const CellValue& v : written.cells)
        if (IsNumberCell(v))
            values.push_back(std::get<double>(v));
    const double n = static_cast<double>(values.size());
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    double ss = 0;
    for (double v : values)
        ss += (v - mean) * (v - mean);
    Worksheet classes = book.worksheet(2);
    EXPECT_EQ(Number(classes.range(kHistogramClassCell).value()), HistogramClasses(h.classes));
    const CellBlock figures = classes.range("B3", "B8").values();
    EXPECT_EQ(Number(figures.at(0, 0)), n);
    EXPECT_NEAR(Number(figures.at(1, 0)), mean, 1e-9);
    EXPECT_NEAR(Number(figures.at(2, 0)), std::sqrt(ss / (n - 1)), 1e-9);
    EXPECT_DOUBLE_EQ(Number(figures.at(3, 0)), *std::max_element(values.begin(), values.end()));
    EXPECT_DOUBLE_EQ(Number(figures.at(4, 0)), *std::min_element(values.begin(), values.end()));

    const CellBlock table = classes.range("A23", "D32").values();
    double counted = 0;
    for (int k = 0; k < kMaxClasses; ++k) {
        if (k < HistogramClasses(h.classes)) {
            EXPECT_FALSE(Text(table.at(k, 0)).empty()) << k;
            counted += Number(table.at(k, 3));
        } else {
            EXPECT_EQ(Text(table.at(k, 3)), "") << k;  // classes beyond the count stay empty
        }
    }
    EXPECT_EQ(counted, n);  // every value in exactly one class
    ASSERT_EQ(classes.chartObjectCount(), 1);
    book.close();
}

TEST_F(ReportTest, HistogramOfThirtyLotsWithDisabledLots)
{
    for (int classes : {5, 7, 10}) {
        const HistogramData h = HistogramOf(30, 5, classes);
        const ReportResult r = MakeHistogramReport(*app_, h, place_);
        ExpectHistogram(*app_, r.path, h);
    }
    // Three reports of one second: the later ones are counted.
    const std::string first = ReportCopyName(place_.time, "Histogram.xls");
    const std::string stem = first.substr(0, first.size() - 4);
    const std::vector<std::string> expect = {stem + "(2).xls", stem + "(3).xls", first};
    EXPECT_EQ(saved(), expect);
}

TEST_F(ReportTest, HistogramOfAThousandLotsOfAHundredValues)
{
    const HistogramData h = HistogramOf(1000, 100, 8);
    const ReportResult r = MakeHistogramReport(*app_, h, place_);
    ExpectHistogram(*app_, r.path, h);
}

// ---- judgment result output ----

ResultTables ResultOf(const std::string& decimals)
{
    // 10 lots of 2 values; lots 3 and 7 disabled.
    EditTableView edit;
    edit.lots = 10;
    edit.n = 2;
    edit.label = [](int row) { return row == 0 ? std::string("ﾛｯﾄ№") : "L" + std::to_string(row); };
    edit.enabled = [](int row) { return row != 3 && row != 7; };
    edit.value = [](int col, int row) {
        return row == 0 ? "N" + std::to_string(col + 1) : FormatFixed(row + col / 10.0, 3);
    };
    TableView calc;
    calc.rows = 10;  // title, 8 lots, total
    calc.cols = 10;
    calc.cell = [](int col, int row) -> std::string {
        const char* titles[10] = {"ﾛｯﾄ№", "N数", "MAX", "MIN", "X", "R", "STDEV", "CP", "CPK", "判定"};
        if (row == 0)
            return titles[col];
        if (col == 0)
            return row == 9 ? "＊トータル" : "L" + std::to_string(row);
        if (col == 9)
            return "○異常なし";
        return col == 1 ? "2" : FormatFixed(row + col / 100.0, col >= 7 ? 3 : 5);
    };
    TableView spc;
    spc.rows = 9;
    spc.cols = 3;
    spc.cell = [](int col, int row) -> std::string { return row == 0 ? "R" + std::to_string(col) : "○"; };
    ResultTables t;
    t.names = {"測定値入力＆規格判定", "CP-CPK不良率判定", "SPC異常判定(X側-Rs側)"};
    t.edit = BuildEditBlock(edit, decimals);
    t.calc = BuildCalcBlock(calc);
    t.spc = BuildSpcBlock(spc);
    return t;
}

TEST_F(ReportTest, JudgmentResultHasTheThreeTablesOnNamedWorksheets)
{
    SheetRecord record;
    record.product = "品種A";
    record.label = "外径";
    record.unit = "mm";
    record.specKindText = "公差規格";
    record.decimals = "3";
    record.upperSpec = "10.5";
    record.lowerSpec = "9.5";
    const ResultTables t = ResultOf(record.decimals);
    const ReportResult r = MakeJudgmentResult(*app_, record, t, place_);
    EXPECT_FALSE(r.shown);
    ASSERT_FALSE(r.path.empty()) << "an output nobody can see is kept as a file";
    EXPECT_EQ(r.path.filename().string(), ReportCopyName(place_.time, kResultFileName));
    OfficeWorkbook book = app_->openWorkbook(r.path.string(), true);
    ASSERT_EQ(book.worksheetCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(book.worksheet(i + 1).name(), t.names[static_cast<size_t>(i)]);

    // Header rows on every worksheet.
    for (int i = 1; i <= 3; ++i) {
        const CellBlock head = book.worksheet(i).range("A1", "I2").values();
        EXPECT_EQ(Text(head.at(0, 0)), "品種名称");
        EXPECT_EQ(Text(head.at(1, 0)), "品種A");
        EXPECT_EQ(Text(head.at(1, 3)), "外径");
        EXPECT_EQ(Number(head.at(1, 7)), 10.5);
    }
    // Worksheet 1: the enabled lots from row 5 without gaps.
    Worksheet edit = book.worksheet(1);
    const CellBlock lots = edit.range("A4", "C14").values();
    const char* labels[] = {"ﾛｯﾄ№", "L1", "L2", "L4", "L5", "L6", "L8", "L9", "L10"};
    for (int r = 0; r < 9; ++r)
        EXPECT_EQ(Text(lots.at(r, 0)), labels[r]) << r;
    EXPECT_EQ(Number(lots.at(3, 2)), 4.1);
    EXPECT_EQ(Text(lots.at(9, 0)), "");
    EXPECT_EQ(edit.range("B5").numberFormatLocal(), "0.000_ ");
    // Worksheet 2: every row as shown, with its formats.
    Worksheet calc = book.worksheet(2);
    EXPECT_EQ(calc.range("A4", "J13").values(), t.calc.cells);
    EXPECT_EQ(calc.range("C5").numberFormatLocal(), "0.00000_ ");
    EXPECT_EQ(calc.range("I13").numberFormatLocal(), "0.000_ ");
    // Worksheet 3: the SPC marks as text.
    EXPECT_EQ(book.worksheet(3).range("A4", "C12").values(), t.spc.cells);
    book.close();
}

// ---- the whole command in its own office ----

TEST(ReportCommand, OnADisplayTheReportIsShownAndLeftOpen)
{
    testing::VirtualDisplay display;
    if (!display.ok())
        GTEST_SKIP() << "no virtual display: Xvfb is not installed or did not start";
    testing::DisplayEnv env(display.name());
    TempDir dir;
    ReportPlace place{kFormFiles, dir.path(), LocalTimeNow()};
    auto app = SpreadsheetApp::create(OfficeUse::Report);
    if (!app && !display.usable())
        GTEST_SKIP() << "the virtual display " << display.name() << " went away while the office started";
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(app->canShow());
    const int pid = app->processId();
    const ReportResult r = MakeControlChartReport(*app, ChartData(ChartXbarR, 20, 20), place);
    EXPECT_TRUE(r.shown);
    app.reset();  // release: the office stays for the user
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(testing::ProcessAlive(pid));
    const std::string windows = testing::ShownWindows(display.name());
    if (!windows.empty()) {
        EXPECT_NE(windows.find(r.path.filename().string()), std::string::npos) << windows;
    }
    testing::EndOffice(pid);
    // The copy on disk is the finished report.
    auto reader = SpreadsheetApp::create(OfficeUse::Exchange);
    ASSERT_NE(reader, nullptr);
    ExpectControlChart(*reader, r.path, ChartData(ChartXbarR, 20, 20));
}

}  // namespace
}  // namespace trevolo
