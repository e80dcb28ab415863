#pragma once
// What the reports write into their workbooks, as plain data: the control
// chart and histogram templates and their cells, the names of the report
// copies, and the worksheets of the judgment result output. The office is
// driven by reports.h; everything here is pure and tested without it.
#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cellvalue.h"
#include "exchange/layout.h"

namespace trevolo {

// ---- templates and report copies ----

inline constexpr const char* kFormFilesFolder = "Form Files";
inline constexpr const char* kHistogramTemplate = "Histogram.xls";

// The template of a chart kind (cmbChart index): 0 "XbarR.xls", 1
// "XbarS.xls", 2 "X-Rs.xls". Any other index takes the XbarR template.
std::string ControlChartTemplate(int chartKind);

// The four template files, in the order the generator writes them.
std::array<std::string, 4> TemplateFileNames();

// The copy name of a report made at a local time: "YYYYMMDD_HHNNSS_" then
// the template's name, 20240315_142530_XbarR.xls.
std::string ReportCopyName(const std::tm& local, std::string_view templateName);

// The file a report is copied to in a folder. When that name is taken (two
// reports of one kind within one second), a counter goes before the
// extension, "…_XbarR(2).xls", "…_XbarR(3).xls", so the first report stays
// as it was. taken tells whether a file name is in use.
std::filesystem::path FreeReportPath(const std::filesystem::path& folder, const std::string& name,
                                     const std::function<bool(const std::filesystem::path&)>& taken);

// ---- the control chart ----

// The data sheet of the control chart templates: lot rows from 2 to 1002 of
// columns A to L; row 1 names the lines, row 2 holds their values.
inline constexpr int kChartFirstDataRow = 2;
inline constexpr int kChartLastTemplateRow = 1002;
inline constexpr const char* kChartLastTemplateCell = "L1002";
// The two charts on worksheet 2 and their order there (the legacy format
// keeps no object names, so a chart is found by its order when its name is
// gone).
inline constexpr const char* kChartXName = "グラフ 1";
inline constexpr const char* kChartSpreadName = "グラフ 5";
inline constexpr int kChartXOrder = 1;
inline constexpr int kChartSpreadOrder = 2;

// The width of both charts in points: 1280 below 100 lots (the sheet's lot
// count setting), otherwise the lot count x 12.8.
double ControlChartWidth(int lotCountSetting);

// The statistics columns that go into columns A and B: the lot labels and
// the lot means.
inline constexpr int kChartLabelColumn = 0;
inline constexpr int kChartMeanColumn = 4;
// The statistics column that goes into column J for a chart kind: 5 (range,
// or moving range for X-Rs) or 6 (standard deviation, XbarS).
int ChartSpreadColumn(int chartKind);

// A control line: the name in its line name field and the text of its
// limit field.
struct ChartLine {
    std::string name;
    std::string value;
};

// What the control chart report writes, taken from the statistics table and
// the limit panel.
struct ControlChartData {
    int chartKind = 0;
    // The sheet's lot count setting (spinRow), which sets the chart width.
    int lotCountSetting = 0;
    // One element per lot row of the statistics table (rows 1 .. L - 2): the
    // lot labels, the means and the column of the chart kind, as shown.
    std::vector<std::string> labels;
    std::vector<std::string> means;
    std::vector<std::string> spreads;
    // X side in row order C..I: +3σ, +2σ, +1σ, centre line, −1σ, −2σ, −3σ.
    std::array<ChartLine, 7> xLines;
    // R, S or Rs side in K and L: the centre line and the +3σ line.
    std::array<ChartLine, 2> spreadLines;

    int lotRows() const { return static_cast<int>(labels.size()); }
};

// Converts the nine limit values; a text that is not a number throws
// ConvertError ("'%s' は浮動小数点数ではありません"). C2..I2 then K2, L2.
std::array<double, 9> ChartLineValues(const ControlChartData& data);

// The three data columns as written from row 2: labels as text, the means
// and the chart kind's column as numbers where their text reads as one.
CellBlock ChartLabelColumn(const ControlChartData& data);
CellBlock ChartNumberColumn(const std::vector<std::string>& texts);

// ---- the histogram ----

inline constexpr const char* kHistogramClassCell = "B19";
inline constexpr int kMinClasses = 5;
inline constexpr int kMaxClasses = 10;

// The measurement table for the histogram: every lot row with its enabled
// flag and its n values as shown.
struct HistogramData {
    int lots = 0;                                        // lot rows of the measurement table (R)
    int n = 0;                                           // its columns
    std::function<bool(int lot)> enabled;                // lot from 0
    std::function<std::string(int lot, int col)> value;  // as shown
    std::string decimals;  // the sheet's decimals, as typed
    int classes = 10;                                    // spinBetWeen
};

// The R x n block from A1: the values of the enabled lots in lot order
// without gaps, numbers where their text reads as one, empty rows after the
// last enabled lot so the cells they cover are cleared.
CellBlock HistogramBlock(const HistogramData& data);

// The class count written to B19, kept within 5 .. 10.
int HistogramClasses(int classes);

// ---- the judgment result output ----

// The output kept where no window can show it: "YYYYMMDD_HHNNSS_Result.xls".
inline constexpr const char* kResultFileName = "Result.xls";

}  // namespace trevolo
