#include "exchange/reports.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "exchange/cellref.h"
#include "exchange/exchange.h"
#include "exchange/messages.h"

namespace trevolo {

namespace {

std::string Row(const char* col, int row)
{
    return col + std::to_string(row);
}

bool Taken(const std::filesystem::path& p)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(p, ec));
}

// Copies a template to a free report name; the copy never replaces a file.
// Throws, in the user's words, when no copy results: a template missing from
// "Form Files" (the program folder is incomplete), or one that cannot be read
// or copied.
std::filesystem::path CopyTemplate(const ReportPlace& place, const std::string& templateName)
{
    const std::filesystem::path from = place.formFiles / templateName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(from, ec))
        throw OfficeError(TemplateMissingMessage(templateName, from.string()));
    if (access(from.c_str(), R_OK) != 0)
        throw OfficeError(TemplateDamagedMessage(templateName, from.string(), std::strerror(errno)));
    const std::filesystem::path to = FreeReportPath(place.saveFiles, ReportCopyName(place.time, templateName), Taken);
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, ec);
    if (ec)
        throw OfficeError(TemplateCopyFailedMessage(templateName, to.string(), ec.value()));
    return to;
}

// Runs the office's part of a report. A failing call of the office ends the
// report with the user's sentence and the office's own words as the detail;
// the office lost and the other errors (a limit value that is not a number)
// already speak the user's words and go on as they are.
template <class F>
void InOffice(const char* message, F&& f)
{
    try {
        f();
    } catch (const OfficeLost&) {
        throw;
    } catch (const OfficeError& e) {
        throw OfficeError(WithDetail(message, "(" + std::string(e.what()) + ")"));
    }
}

// Removes a report copy that was not filled and saved, so no unfinished
// report is left among the finished ones.
class UnsavedCopy {
public:
    explicit UnsavedCopy(std::filesystem::path p) : path_(std::move(p)) {}
    ~UnsavedCopy()
    {
        if (!saved_) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
        }
    }
    UnsavedCopy(const UnsavedCopy&) = delete;
    UnsavedCopy& operator=(const UnsavedCopy&) = delete;
    void saved() { saved_ = true; }

private:
    std::filesystem::path path_;
    bool saved_ = false;
};

// A build without the office ends a report at once, before its values are
// checked or its template is copied, with the message of an office that
// does not start.
void NeedOfficeEngine()
{
    if (!OfficeEngineBuilt())
        throw OfficeError(kMsgOfficeNotStarted);
}

std::unique_ptr<SpreadsheetApp> StartReportOffice()
{
    auto app = SpreadsheetApp::create(OfficeUse::Report);
    if (!app)
        throw OfficeError(kMsgOfficeNotStarted);
    return app;
}

// Hands a finished report to the user: shown and left open where the office
// can show it, else closed (it is saved already).
bool HandOver(SpreadsheetApp& app, OfficeWorkbook& book)
{
    if (app.canShow() && book.show()) {
        app.leaveOpenForUser();
        return true;
    }
    book.close();
    return false;
}

// Fills a copy of a template with write and saves it, in the office given
// or, without one, in a new report office started once the copy exists (a
// missing template ends the report before an office is started).
template <class Write>
ReportResult FillCopy(SpreadsheetApp* shared, const ReportPlace& place, const std::string& templateName, Write&& write)
{
    const std::filesystem::path copy = CopyTemplate(place, templateName);
    UnsavedCopy guard(copy);
    std::unique_ptr<SpreadsheetApp> own;
    if (!shared)
        own = StartReportOffice();
    SpreadsheetApp& app = shared ? *shared : *own;
    OfficeWorkbook book;
    try {
        book = app.openWorkbook(copy.string());
    } catch (const OfficeLost&) {
        throw;
    } catch (const OfficeError& e) {
        // The copy holds the template's bytes: the template is damaged.
        throw OfficeError(TemplateDamagedMessage(templateName, (place.formFiles / templateName).string(), e.what()));
    }
    ReportResult r;
    InOffice(kMsgReportFailed, [&] {
        try {
            write(book);
            book.save();
            guard.saved();
        } catch (...) {
            book.close();
            throw;
        }
        r.path = copy;
        r.shown = HandOver(app, book);
    });
    return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// The steps

void WriteControlChart(OfficeWorkbook& book, const ControlChartData& data)
{
    const std::array<double, 9> values = ChartLineValues(data);
    const int rows = data.lotRows();
    if (static_cast<int>(data.means.size()) != rows || static_cast<int>(data.spreads.size()) != rows)
        throw OfficeError("the chart columns differ in length");
    if (rows > kChartLastTemplateRow - kChartFirstDataRow + 1)
        throw OfficeError("more lots than the chart template holds");

    Worksheet sheet = book.worksheet(1);
    const int last = kChartFirstDataRow + rows - 1;
    if (rows > 0) {
        sheet.range("A2", Row("A", last)).setValues(ChartLabelColumn(data));
        sheet.range("B2", Row("B", last)).setValues(ChartNumberColumn(data.means));
        sheet.range("J2", Row("J", last)).setValues(ChartNumberColumn(data.spreads));
    }
    if (last + 1 <= kChartLastTemplateRow)
        sheet.range(Row("A", last + 1), kChartLastTemplateCell).deleteShiftUp();

    CellBlock x(2, 7);
    for (int i = 0; i < 7; ++i) {
        x.at(0, i) = data.xLines[static_cast<size_t>(i)].name;
        x.at(1, i) = values[static_cast<size_t>(i)];
    }
    sheet.range("C1", "I2").setValues(x);
    CellBlock spread(2, 2);
    for (int i = 0; i < 2; ++i) {
        spread.at(0, i) = data.spreadLines[static_cast<size_t>(i)].name;
        spread.at(1, i) = values[static_cast<size_t>(7 + i)];
    }
    sheet.range("K1", "L2").setValues(spread);

    Worksheet charts = book.worksheet(2);
    const double width = ControlChartWidth(data.lotCountSetting);
    charts.setChartObjectWidth(kChartXName, width, kChartXOrder);
    charts.setChartObjectWidth(kChartSpreadName, width, kChartSpreadOrder);
}

void WriteHistogram(OfficeWorkbook& book, const HistogramData& data)
{
    Worksheet sheet = book.worksheet(1);
    const CellBlock block = HistogramBlock(data);
    if (block.rows > 0 && block.cols > 0) {
        Range target = sheet.range("A1", RowColToCell(block.rows, block.cols));
        target.setValues(block);
        const std::string format = DecimalsFormat(data.decimals);
        if (!format.empty())
            target.setNumberFormatLocal(format);
    }
    book.worksheet(2).range(kHistogramClassCell).setValue(static_cast<double>(HistogramClasses(data.classes)));
}

void WriteJudgmentResult(OfficeWorkbook& book, const SheetRecord& record, const ResultTables& tables)
{
    const GridBlock* blocks[3] = {&tables.edit, &tables.calc, &tables.spc};
    for (int i = 0; i < 3; ++i) {
        Worksheet sheet = book.worksheet(i + 1);
        sheet.setName(tables.names[static_cast<size_t>(i)]);
        WriteGridBlock(sheet, record, *blocks[i]);
    }
}

// ---------------------------------------------------------------------------
// The commands

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

ReportResult MakeControlChartReport(SpreadsheetApp& app, const ControlChartData& data, const ReportPlace& place)
{
    ChartLineValues(data);  // a value that is not a number stops the report before any file is made
    return FillCopy(&app, place, ControlChartTemplate(data.chartKind),
                    [&](OfficeWorkbook& book) { WriteControlChart(book, data); });
}

ReportResult MakeHistogramReport(SpreadsheetApp& app, const HistogramData& data, const ReportPlace& place)
{
    return FillCopy(&app, place, kHistogramTemplate, [&](OfficeWorkbook& book) { WriteHistogram(book, data); });
}

ReportResult MakeJudgmentResult(SpreadsheetApp& app, const SheetRecord& record, const ResultTables& tables,
                                const ReportPlace& place)
{
    ReportResult r;
    InOffice(kMsgResultOutputFailed, [&] {
        app.setSheetsInNewWorkbook(3);
        OfficeWorkbook book = app.addWorkbook();
        try {
            WriteJudgmentResult(book, record, tables);
            if (app.canShow() && book.show()) {
                // The first worksheet is the one in front, as in a new workbook.
                app.leaveOpenForUser();
                r.shown = true;
                return;
            }
            // Nobody can see it: keep it as a file rather than lose it.
            r.path = FreeReportPath(place.saveFiles, ReportCopyName(place.time, kResultFileName), Taken);
            book.saveAs(r.path.string());
        } catch (...) {
            book.close();
            throw;
        }
        book.close();
    });
    return r;
}

ReportResult MakeControlChartReport(const ControlChartData& data, const ReportPlace& place)
{
    NeedOfficeEngine();
    ChartLineValues(data);
    return FillCopy(nullptr, place, ControlChartTemplate(data.chartKind),
                    [&](OfficeWorkbook& book) { WriteControlChart(book, data); });
}

ReportResult MakeHistogramReport(const HistogramData& data, const ReportPlace& place)
{
    NeedOfficeEngine();
    return FillCopy(nullptr, place, kHistogramTemplate, [&](OfficeWorkbook& book) { WriteHistogram(book, data); });
}

ReportResult MakeJudgmentResult(const SheetRecord& record, const ResultTables& tables, const ReportPlace& place)
{
    auto app = StartReportOffice();
    return MakeJudgmentResult(*app, record, tables, place);
}

}  // namespace trevolo
