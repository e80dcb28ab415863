#include "cli_convert.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli_files.h"
#include "cli_judge.h"
#include "exchange/csv.h"
#include "exchange/messages.h"
#include "exchange/record_block.h"

#ifdef TREVOLO_HAVE_OFFICE
#include "exchange/exchange.h"
#include "exchange/office.h"
#endif

namespace trevolo::cli {

namespace {

namespace fs = std::filesystem;

// One line on the error stream, naming the file it concerns.
int Fail(std::ostream& err, const std::string& file, const std::string& message, const std::string& detail = {})
{
    err << "trevolo-cli: " << file << ": " << message;
    if (!detail.empty())
        err << " (" << detail << ")";
    err << "\n";
    return kExitUnusable;
}

}  // namespace

#ifdef TREVOLO_HAVE_OFFICE

namespace {

// Makes sure the output folder exists; false with the reason when it cannot
// be created or is not a folder.
bool PrepareFolder(const std::string& folder, std::string& error)
{
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    if (fs::exists(folder, ec)) {
        error = WriteFailureReason(ENOTDIR);
        return false;
    }
    fs::create_directories(folder, ec);
    if (ec) {
        error = WriteFailureReason(ec.value());
        return false;
    }
    return true;
}

// Writes the sheets as the window's CSV export writes a sheet it has shown:
// each record stored back as shown, so a file holds the sheet's lots with
// their values at the sheet's decimals rather than every one of the 1000
// rows an imported worksheet keeps. Nothing waits between the files: no
// window has to keep up with them.
int WriteCsvFolder(const SheetArray& imported, const std::string& folder, std::ostream& out, std::ostream& err)
{
    std::string error;
    if (!PrepareFolder(folder, error))
        return Fail(err, folder, kMsgCsvSaveFailed, error);
    SheetArray sheets;
    sheets.reserve(imported.size());
    for (const SheetRecord& s : imported)
        sheets.push_back(ShownRecord(s));
    const CommandMessage m = ExportSheetsCsv(fs::path(folder), sheets, std::chrono::milliseconds(0));
    if (m.kind != CommandMessage::Kind::Guide) {
        err << "trevolo-cli: " << m.text << "\n";
        return kExitUnusable;
    }
    out << m.text << "\n";
    return 0;
}

}  // namespace

int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err)
{
    std::string error;
    if (!CheckReadable(options.input, error))
        return Fail(err, options.input, error);

    std::unique_ptr<SpreadsheetApp> app = SpreadsheetApp::create(OfficeUse::Exchange);
    if (!app)
        return Fail(err, options.input, kMsgOfficeNotStarted);

    // A workbook gives every worksheet, as "Excel読込"; any other file is read
    // as CSV into one sheet, as "CSV読込".
    const bool workbook = IsWorkbookName(options.input);
    ImportResult in;
    try {
        in = ImportWorkbookSheets(*app, workbook, fs::absolute(options.input).string());
    } catch (const std::exception& e) {
        in.status = ImportResult::Status::Failed;
        in.message.text = workbook ? kMsgXlsOpenFailedExtension : kMsgCsvOpenFailed;
        in.detail = e.what();
    }
    if (in.status == ImportResult::Status::Ok && in.sheets.empty()) {
        in.status = ImportResult::Status::Failed;
        in.message.text = workbook ? kMsgXlsOpenFailedContent : kMsgCsvOpenFailed;
    }
    if (in.status != ImportResult::Status::Ok)
        return Fail(err, options.input, in.message.text, in.detail);

    if (!IsWorkbookName(options.output)) {
        app.reset();
        return WriteCsvFolder(in.sheets, options.output, out, err);
    }

    // Each sheet's block as the window shows that sheet, as "Excel保存".
    const SheetArray& records = in.sheets;
    const SheetBlockSource blockOf = [&records](int index) {
        return RecordEditBlock(records[static_cast<size_t>(index)]);
    };
    const ExportResult saved = ExportWorkbook(*app, records, blockOf, fs::absolute(options.output).string());
    if (!saved.saved) {
        // The message names the file and the reason on its own lines.
        return Fail(err, options.output, saved.message.text);
    }
    out << options.output << ": " << saved.message.text << "\n";
    return 0;
}

#else

int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err)
{
    (void)out;
    std::string error;
    if (!CheckReadable(options.input, error))
        return Fail(err, options.input, error);
    // Workbooks and the CSV import both go through the spreadsheet engine,
    // which this build lacks.
    return Fail(err, options.input, kMsgOfficeNotStarted);
}

#endif

}  // namespace trevolo::cli
