#pragma once
// The reports in the spreadsheet application: the control chart and the
// histogram, each a filled copy of its template saved in "Save Files", and
// the judgment result output, a new workbook of the three tables. Where the
// office can show windows the result is left open, maximised and in front
// for the user; without a display the report is still written and saved and
// nothing is shown.
//
// The Write… steps work on an open workbook; the Make… commands do the
// whole report. Both throw: OfficeError for the office and its files,
// ConvertError for a limit value that is not a number. The errors of the
// Make… commands are shown to the user as they are: a Japanese sentence,
// then the technical detail on the lines after it.
#include <array>
#include <ctime>
#include <filesystem>
#include <string>

#include "exchange/layout.h"
#include "exchange/office.h"
#include "exchange/report_layout.h"
#include "model/comtype.h"

namespace trevolo {

// ---- the steps, on an open workbook ----

// The control chart's data sheet (worksheet 1): lot labels, means and the
// chart kind's column from row 2, one block write each; the template's rows
// below the last lot removed in columns A to L; the line names in C1:I1 and
// K1:L1 and their values in C2:I2 and K2:L2; then both charts of worksheet
// 2 set to the width of the lot count setting.
void WriteControlChart(OfficeWorkbook& book, const ControlChartData& data);

// The histogram's values (worksheet 1, one block from A1 with the decimals
// format) and the class count in B19 of worksheet 2.
void WriteHistogram(OfficeWorkbook& book, const HistogramData& data);

// The three tables of the judgment result output: worksheet i gets the name
// names[i] and the header of the sheet record with the table block from A4.
struct ResultTables {
    std::array<std::string, 3> names;
    GridBlock edit;
    GridBlock calc;
    GridBlock spc;
};
void WriteJudgmentResult(OfficeWorkbook& book, const SheetRecord& record, const ResultTables& tables);

// ---- the commands ----

// Where a report's files live and the time it is made at.
struct ReportPlace {
    std::filesystem::path formFiles;  // the templates
    std::filesystem::path saveFiles;  // the report copies
    std::tm time{};                   // local time of the report
};

// The local time now.
std::tm LocalTimeNow();

struct ReportResult {
    // The saved copy, or for the result output the saved workbook; empty
    // when the output was only shown.
    std::filesystem::path path;
    // Left open, shown and in front for the user.
    bool shown = false;
};

// The control chart: the template of the chart kind is copied to a free
// name in saveFiles (never over an earlier report), filled, saved, and
// shown when possible. A template missing from formFiles (its message says
// to install the program again), a damaged template, a copy that cannot be
// made, an office that does not start and every failing call throw
// OfficeError; a limit value that is not a number throws ConvertError
// before anything is copied. A copy that was not saved is removed again.
ReportResult MakeControlChartReport(const ControlChartData& data, const ReportPlace& place);
// The histogram, in the same way.
ReportResult MakeHistogramReport(const HistogramData& data, const ReportPlace& place);
// The judgment result output: a new workbook of three worksheets, left open
// unsaved for the user; where it cannot be shown it is saved in saveFiles as
// "YYYYMMDD_HHNNSS_Result.xls" instead, so the output is not lost.
ReportResult MakeJudgmentResult(const SheetRecord& record, const ResultTables& tables, const ReportPlace& place);

// The same in an office already running (tests, the batch tool). A report
// that cannot be shown is closed after it is saved; the office stays.
ReportResult MakeControlChartReport(SpreadsheetApp& app, const ControlChartData& data, const ReportPlace& place);
ReportResult MakeHistogramReport(SpreadsheetApp& app, const HistogramData& data, const ReportPlace& place);
ReportResult MakeJudgmentResult(SpreadsheetApp& app, const SheetRecord& record, const ResultTables& tables,
                                const ReportPlace& place);

}  // namespace trevolo
