// make-templates: builds the report templates "XbarR.xls", "XbarS.xls",
// "X-Rs.xls" and "Histogram.xls" in LibreOffice Calc, so they can be
// rebuilt and restyled from here.
//
//   make-templates <folder>                 the four templates
//   make-templates --samples <templates> <folder> [lots]
//                                           example reports of demo lots (30
//                                           unless given), to look at the charts
//
// Control chart templates: worksheet 1 "データ" holds the lots in rows 2 to
// 1002 of columns A to L (A lot label, B mean or value, C..I the seven X
// lines, J range / deviation / moving range, K and L its centre and upper
// line). Row 1 names every column, row 2 takes the line values, and rows 3
// to 1002 repeat row 2 by formulas so each line is drawn flat. Worksheet 2
// "管理図" holds "グラフ 1" (the X side) and "グラフ 5" (the R, S or Rs
// side), line charts of those columns with the lot labels as categories.
//
// Histogram template: worksheet 1 "データ" takes up to 1000 x 100 values
// from A1; worksheet 2 "ヒストグラム" computes the count, mean, standard
// deviation, maximum, minimum and range, and from the class count in B19
// the class width, the class limits and the frequencies, drawn as columns.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchange/cellref.h"
#include "exchange/office.h"
#include "exchange/report_layout.h"
#include "exchange/reports.h"
#include "model/broken_pipe.h"
#include "model/comtype.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "stats/capability.h"
#include "stats/control_limits.h"
#include "stats/lot_table.h"

namespace trevolo {
namespace {

constexpr const char* kDataSheet = "データ";
constexpr int kLastRow = kChartLastTemplateRow;

// Colours of the lines (0xRRGGBB).
constexpr int kBlue = 0x1F4E9A;
constexpr int kRed = 0xD0021B;
constexpr int kOrange = 0xF08C00;
constexpr int kOlive = 0x9AA800;
constexpr int kGreen = 0x2E9E3E;

std::string R(const char* col, int row)
{
    return col + std::to_string(row);
}

// Column of a chart kind's spread (J) and its title.
struct KindText {
    const char* file;
    const char* title;   // the chart kind
    const char* xTitle;  // column B and the X side
    const char* spread;  // column J and the spread side
};

KindText KindTexts(int kind)
{
    switch (kind) {
    case ChartXbarS:
        return {"XbarS.xls", "XbarS管理図", "Xbar", SpreadSideName(kind)};
    case ChartXRs:
        return {"X-Rs.xls", "X-Rs管理図", "X", SpreadSideName(kind)};
    default:
        return {"XbarR.xls", "XbarR管理図", "Xbar", SpreadSideName(kind)};
    }
}

// Saves under a temporary name first, so an interrupted run leaves no
// half-written template behind.
void SaveAs(OfficeWorkbook& book, const std::filesystem::path& path)
{
    std::filesystem::path tmp = path;
    tmp.replace_filename(path.stem().string() + ".part" + path.extension().string());
    book.saveAs(tmp.string());
    std::filesystem::rename(tmp, path);
}

void BuildControlChart(SpreadsheetApp& app, int kind, const std::filesystem::path& path)
{
    const KindText k = KindTexts(kind);
    app.setSheetsInNewWorkbook(2);
    OfficeWorkbook book = app.addWorkbook();
    Worksheet data = book.worksheet(1);
    data.setName(kDataSheet);
    Worksheet charts = book.worksheet(2);
    charts.setName("管理図");

    // Row 1: the names. C..I and K..L are replaced by the report with the
    // line names of the window; these are the names of the automatic lines.
    CellBlock head(1, 12);
    const char* names[12] = {"ﾛｯﾄ№",  k.xTitle, "＋３σ", "＋２σ",  "＋１σ",  "平均値",
                             "－１σ", "－２σ",  "－３σ", k.spread, "平均値", "＋３σ"};
    for (int c = 0; c < 12; ++c)
        head.at(0, c) = std::string(names[c]);
    data.range("A1", "L1").setValues(head);

    // Rows 3..1002 repeat the line values of row 2.
    const int rows = kLastRow - 2;
    CellBlock xLines(rows, 7);
    CellBlock spreadLines(rows, 2);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 7; ++c)
            xLines.at(r, c) = "=" + ColumnLetters(3 + c) + "$2";
        for (int c = 0; c < 2; ++c)
            spreadLines.at(r, c) = "=" + ColumnLetters(11 + c) + "$2";
    }
    data.range("C3", R("I", kLastRow)).setFormulas(xLines);
    data.range("K3", R("L", kLastRow)).setFormulas(spreadLines);
    data.range("B2", R("L", kLastRow)).setNumberFormatLocal("0.0000_ ");
    data.range("A1", "L1").setColumnWidth(60);

    const std::string title = k.title;
    ChartSpec x;
    x.type = ChartSpec::Type::Line;
    x.name = kChartXName;
    x.dataSheet = 1;
    x.blocks = {"A1:" + R("I", kLastRow)};
    x.title = title + "　X側";
    x.xAxisTitle = "ﾛｯﾄ№";
    x.yAxisTitle = k.xTitle;
    x.left = 10;
    x.top = 10;
    x.width = 1280;
    x.height = 300;
    x.categoryRotation = 90;
    x.series = {
        {kBlue, 1.5, true},      // the lot means
        {kRed, 1.25, false},     // +3σ
        {kOrange, 0.75, false},  // +2σ
        {kOlive, 0.75, false},   // +1σ
        {kGreen, 1.25, false},   // centre line
        {kOlive, 0.75, false},   // −1σ
        {kOrange, 0.75, false},  // −2σ
        {kRed, 1.25, false},     // −3σ
    };
    charts.addChart(x);

    ChartSpec s = x;
    s.name = kChartSpreadName;
    s.blocks = {"A1:" + R("A", kLastRow), "J1:" + R("L", kLastRow)};
    s.title = title + "　" + k.spread + "側";
    s.yAxisTitle = k.spread;
    s.top = 320;
    s.height = 240;
    s.series = {
        {kBlue, 1.5, true},     // R, S or Rs of each lot
        {kGreen, 1.25, false},  // centre line
        {kRed, 1.25, false},    // +3σ
    };
    charts.addChart(s);

    SaveAs(book, path);
    book.close();
}

// Column A: captions; column B: the figures of all values in the data
// sheet (all), the class count and the class width.
CellBlock HistogramFigures(const std::string& all)
{
    CellBlock top(20, 2);
    auto put = [&](int row, const std::string& caption, const std::string& formula) {
        top.at(row - 1, 0) = caption;
        top.at(row - 1, 1) = formula;
    };
    put(1, "ヒストグラム", "");
    put(3, "データ数", "=COUNT(" + all + ")");
    put(4, "平均値", "=IF(B3>0;AVERAGE(" + all + ");\"\")");
    put(5, "標準偏差", "=IF(B3>1;STDEV(" + all + ");\"\")");
    put(6, "最大値", "=IF(B3>0;MAX(" + all + ");\"\")");
    put(7, "最小値", "=IF(B3>0;MIN(" + all + ");\"\")");
    put(8, "範囲", "=IF(B3>0;B6-B7;\"\")");
    // The class count (5 to 10) is written to B19 by the report.
    put(19, "データ区間数", "10");
    // The class width divides the range into the classes; a range of 0 puts
    // every value into the first class of width 1.
    put(20, "区間幅", "=IF(B3>0;IF(B8>0;B8/B19;1);\"\")");
    return top;
}

// Rows 23..32: one class each; classes beyond the count stay empty. The
// first class starts at the minimum, every class takes its lower limit and
// not its upper one, and the last class ends at the maximum and takes it,
// so every value is counted once.
CellBlock HistogramClasses(const std::string& all)
{
    CellBlock classes(11, 4);
    const char* heads[4] = {"区間", "下限", "上限", "度数"};
    for (int c = 0; c < 4; ++c)
        classes.at(0, c) = std::string(heads[c]);
    const std::string fmt = "IF($B$21=0;\"0\";\"0.\"&REPT(\"0\";$B$21))";
    for (int k = 1; k <= kMaxClasses; ++k) {
        const int row = 22 + k;
        const std::string ks = std::to_string(k);
        const std::string lo = R("B", row), hi = R("C", row);
        classes.at(k, 0) = "=IF(" + lo + "=\"\";\"\";TEXT(" + lo + ";" + fmt + ")&\"～\"&TEXT(" + hi + ";" + fmt + "))";
        classes.at(k, 1) = "=IF(AND($B$3>0;" + ks + "<=$B$19);$B$7+(" + ks + "-1)*$B$20;\"\")";
        classes.at(k, 2) = "=IF(" + lo + "=\"\";\"\";IF(" + ks + "=$B$19;$B$6;$B$7+" + ks + "*$B$20))";
        classes.at(k, 3) = "=IF(" + lo + "=\"\";\"\";SUMPRODUCT(ISNUMBER(" + all + ")*(" + all + ">=" + lo + ")*((" +
                           all + "<" + hi + ")+(" + all + "=" + hi + ")*(" + ks + "=$B$19))))";
    }
    return classes;
}

// The column chart of the class frequencies. The office takes a column of
// texts for labels, so the chart is drawn while the classes hold counts:
// from a few values, cleared afterwards.
void AddHistogramChart(OfficeWorkbook& book, Worksheet& h)
{
    Range seed = book.worksheet(1).range("A1", "A3");
    CellBlock seedValues(3, 1);
    for (int r = 0; r < 3; ++r)
        seedValues.at(r, 0) = 1.0 + r;
    seed.setValues(seedValues);

    ChartSpec c;
    c.type = ChartSpec::Type::Column;
    c.name = "グラフ 1";
    c.blocks = {"A22:A32", "D22:D32"};
    c.title = "ヒストグラム";
    c.xAxisTitle = "区間";
    c.yAxisTitle = "度数";
    c.left = 330;
    c.top = 10;
    c.width = 520;
    c.height = 330;
    c.gapWidth = 8;
    c.legend = false;
    c.categoryRotation = 45;
    c.series = {{kBlue, 0, false}};
    h.addChart(c);
    seed.setValues(CellBlock(3, 1));
}

void BuildHistogram(SpreadsheetApp& app, const std::filesystem::path& path)
{
    app.setSheetsInNewWorkbook(2);
    OfficeWorkbook book = app.addWorkbook();
    book.worksheet(1).setName(kDataSheet);
    Worksheet h = book.worksheet(2);
    h.setName("ヒストグラム");

    const std::string all = "$'" + std::string(kDataSheet) + "'.$A$1:$CV$1000";
    h.range("A1", "B20").setFormulas(HistogramFigures(all));

    // Decimals of the class limits: two significant digits of the width.
    CellBlock digits(1, 2);
    digits.at(0, 0) = std::string("表示桁数");
    digits.at(0, 1) = std::string("=IF(B3>0;MIN(5;MAX(0;2-INT(LOG10(B20))));0)");
    h.range("A21", "B21").setFormulas(digits);

    h.range("A22", "D32").setFormulas(HistogramClasses(all));
    h.range("A1", "A1").setColumnWidth(110);
    h.range("B1", "D1").setColumnWidth(70);

    AddHistogramChart(book, h);

    SaveAs(book, path);
    book.close();
}

int MakeTemplates(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    if (!app) {
        std::fprintf(stderr, "make-templates: LibreOffice Calc could not be started\n");
        return 2;
    }
    for (int kind : {ChartXbarR, ChartXbarS, ChartXRs})
        BuildControlChart(*app, kind, folder / KindTexts(kind).file);
    BuildHistogram(*app, folder / kHistogramTemplate);
    return 0;
}

// ---- example reports ----

// Demo lots around 10 with a small shift in the last quarter, as a process
// may run; three decimals.
LotTable DemoLots(int lots, int n)
{
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    std::vector<Lot> all;
    for (int i = 0; i < lots; ++i) {
        Lot lot;
        lot.label = DefaultLotLabel(i + 1);
        const double shift = (i > lots * 3 / 4) ? 0.04 : 0.0;
        for (int j = 0; j < n; ++j)
            lot.cells.push_back(FormatFixed(10.0 + shift + noise(gen), 3));
        all.push_back(std::move(lot));
    }
    return LotTable(std::move(all), n);
}

// Example reports made the way the window makes them: the statistics table
// and the three-sigma lines of the demo lots, from the program's own
// computations.
int MakeSamples(const std::filesystem::path& templates, const std::filesystem::path& folder, int lots)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    if (!app) {
        std::fprintf(stderr, "make-templates: LibreOffice Calc could not be started\n");
        return 2;
    }
    const ReportPlace place{templates, folder, LocalTimeNow()};
    const int n = 5;
    const LotTable demo = DemoLots(lots, n);
    const char* names[7] = {"＋３σ", "＋２σ", "＋１σ", "平均値", "－１σ", "－２σ", "－３σ"};
    const LimitField xFields[7] = {LimitUcl3, LimitUcl2, LimitUcl1, LimitXcl, LimitLcl1, LimitLcl2, LimitLcl3};
    for (int kind : {ChartXbarR, ChartXbarS, ChartXRs}) {
        // The X-Rs chart takes one value per lot.
        const LotTable table(demo.lots(), kind == ChartXRs ? 1 : n);
        CapabilityInput in;
        in.chartKind = kind;
        in.upper = "10.300";
        in.lower = "9.700";
        in.thresholdOn = false;
        const CapabilityResult stats = ComputeCapability(table, in);
        const ControlLimitResult limits = ComputeLimitTexts(table, kind);
        if (stats.error || !limits.computed)
            throw std::runtime_error("the demo lots could not be judged");
        ControlChartData d;
        d.chartKind = kind;
        d.lotCountSetting = lots;
        for (int r = 0; r < stats.lotRows; ++r) {
            const CalcRow& row = stats.rows[static_cast<size_t>(r)];
            d.labels.push_back(row[kChartLabelColumn]);
            d.means.push_back(row[kChartMeanColumn]);
            d.spreads.push_back(row[static_cast<size_t>(ChartSpreadColumn(kind))]);
        }
        for (size_t i = 0; i < 7; ++i)
            d.xLines[i] = {names[i], limits.texts[static_cast<size_t>(xFields[i])]};
        d.spreadLines = {ChartLine{"平均値", limits.texts[LimitRcl]}, ChartLine{"＋３σ", limits.texts[LimitRsUcl3]}};
        std::printf("%s\n", MakeControlChartReport(*app, d, place).path.string().c_str());
    }
    HistogramData h;
    h.lots = lots;
    h.n = n;
    h.enabled = [](int) { return true; };
    h.value = [&](int lot, int col) { return std::string(demo.cell(lot, col)); };
    h.decimals = "3";
    h.classes = 10;
    std::printf("%s\n", MakeHistogramReport(*app, h, place).path.string().c_str());
    return 0;
}

}  // namespace
}  // namespace trevolo

int main(int argc, char** argv)
{
    trevolo::IgnoreBrokenPipe();
    try {
        if (argc == 2 && std::string(argv[1]).rfind("--", 0) != 0)
            return trevolo::MakeTemplates(argv[1]);
        if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--samples") {
            const int lots = argc == 5 ? std::atoi(argv[4]) : 30;
            if (lots >= 2 && lots <= trevolo::kMaxLots)
                return trevolo::MakeSamples(argv[2], argv[3], lots);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-templates: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: make-templates <folder>\n"
                 "       make-templates --samples <templates folder> <folder> [lots, 2 to 1000]\n");
    return 64;
}
