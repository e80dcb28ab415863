#include "exchange/exchange.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "exchange/cellref.h"

namespace trevolo {

namespace {

// Closes a workbook on every path out of a command.
struct BookCloser {
    OfficeWorkbook& book;
    ~BookCloser() { book.close(); }
};

CommandMessage Warning(std::string text)
{
    return {CommandMessage::Kind::Warning, std::move(text)};
}

// Why a file could not be saved, in the user's terms where the file system
// tells; the office's own text otherwise.
std::string SaveFailureReason(const std::string& path, const std::string& officeText)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path file(path);
    fs::path folder = file.parent_path();
    if (folder.empty())
        folder = ".";
    if (!fs::is_directory(folder, ec))
        return "保存先のフォルダがありません。";
    if (access(folder.c_str(), W_OK) != 0)
        return "保存先のフォルダに書き込む権限がありません。";
    if (fs::exists(file, ec) && access(file.c_str(), W_OK) != 0)
        return "ファイルが読み取り専用です。";
    if (fs::is_directory(file, ec))
        return "同じ名前のフォルダがあります。";
    return "(" + officeText + ")";
}

}  // namespace

// ---- steps ----

namespace {

// Reads the block between two corners, cut to the worksheet's used area:
// cells beyond it are empty, so the block read is the same, only smaller.
CellBlock ReadUsed(const Worksheet& sheet, const WorksheetPos& used, const char* first, const char* last)
{
    const WorksheetPos a = *ParseCellRef(first);
    const WorksheetPos b = *ParseCellRef(last);
    const int lastRow = std::min(b.row, used.row);
    const int lastCol = std::min(b.col, used.col);
    if (lastRow < a.row || lastCol < a.col)
        return CellBlock();
    return sheet.range(first, RowColToCell(lastRow, lastCol)).values();
}

}  // namespace

SheetRecord ReadWorksheet(const Worksheet& sheet)
{
    return SheetFromWorksheet(ReadWorksheetCells(sheet));
}

WorksheetReads ReadWorksheetCells(const Worksheet& sheet)
{
    WorksheetReads reads;
    const WorksheetPos used = sheet.usedEnd();
    const CellBlock header = ReadUsed(sheet, used, kHeaderFirst, kHeaderLast);
    for (int i = 0; i < kHeaderFields; ++i)
        reads.header[i] = header.get(0, i);
    reads.body = ReadUsed(sheet, used, kBodyFirst, kBodyLast);
    // The labels (column A) and the first lot (row 5 from column B) lie in
    // the body and are cut to the same used area: taken from it, not read
    // again, as every read is a round trip to the office.
    const CellBlock& body = reads.body;
    if (body.rows > 0 && body.cols > 0) {
        reads.labels = CellBlock(body.rows, 1);
        for (int r = 0; r < body.rows; ++r)
            reads.labels.at(r, 0) = body.at(r, 0);
    }
    if (body.rows > 0 && body.cols > 1) {
        reads.firstLot = CellBlock(1, body.cols - 1);
        for (int c = 1; c < body.cols; ++c)
            reads.firstLot.at(0, c - 1) = body.at(0, c);
    }
    return reads;
}

void WriteSheetHeader(const Worksheet& sheet, const SheetRecord& record)
{
    CellBlock rows(2, kHeaderFields);
    const auto values = HeaderRowValues(record);
    for (int i = 0; i < kHeaderFields; ++i) {
        rows.at(0, i) = std::string(kHeaderLabels[i]);
        rows.at(1, i) = values[i];
    }
    sheet.range("A1", "I2").setValues(rows);
    const std::string format = DecimalsFormat(record.decimals);
    if (!format.empty())
        sheet.range("H2", "I2").setNumberFormatLocal(format);
}

void WriteGridBlock(const Worksheet& sheet, const SheetRecord& record, const GridBlock& block)
{
    WriteSheetHeader(sheet, record);
    const std::string last = block.lastCell();
    if (last.empty())
        return;
    Range area = sheet.range(kBlockAnchor, last);
    area.setValues(block.cells);
    for (const FormatArea& f : block.formats)
        sheet.range(f.first, f.last).setNumberFormatLocal(f.format);
}

// ---- import ----

ImportResult ImportWorkbookSheets(SpreadsheetApp& app, bool whole, const std::string& path)
{
    ImportResult r;
    const char* failText = whole ? kMsgXlsOpenFailedExtension : kMsgCsvOpenFailed;
    try {
        OfficeWorkbook book = whole ? app.openWorkbook(path, true) : app.openCsv(path);
        BookCloser closer{book};
        r.count = book.worksheetCount();
        if (r.count <= 0) {
            r.status = ImportResult::Status::Failed;
            r.message = Warning(whole ? kMsgXlsOpenFailedContent : kMsgCsvOpenFailed);
            return r;
        }
        if (whole && r.count > kMaxSheets) {
            r.status = ImportResult::Status::TooManySheets;
            r.message = Warning(kMsgTooManySheets);
            return r;
        }
        const int toRead = whole ? r.count : 1;
        SheetArray sheets;
        sheets.reserve(static_cast<size_t>(toRead));
        for (int k = 1; k <= toRead; ++k)
            sheets.push_back(ReadWorksheet(book.worksheet(k)));
        r.sheets = std::move(sheets);
        r.status = ImportResult::Status::Ok;
    } catch (const OfficeLost& e) {
        r.status = ImportResult::Status::Failed;
        r.sheets.clear();
        r.message = Warning(kMsgOfficeLost);
        r.detail = e.what();
    } catch (const std::exception& e) {
        r.status = ImportResult::Status::Failed;
        r.sheets.clear();
        r.message = Warning(failText);
        r.detail = e.what();
    }
    return r;
}

WorkbookRows ReadWorkbookRows(SpreadsheetApp& app, const std::string& path, std::int64_t maxCells)
{
    WorkbookRows r;
    try {
        OfficeWorkbook book = app.openWorkbook(path, true);
        BookCloser closer{book};
        const int count = book.worksheetCount();
        if (count <= 0) {
            r.error = kMsgXlsOpenFailedContent;
            return r;
        }
        for (int k = 1; k <= count; ++k) {
            const Worksheet sheet = book.worksheet(k);
            const WorksheetPos used = sheet.usedEnd();
            const std::int64_t cells = static_cast<std::int64_t>(used.row) * used.col;
            if (cells > maxCells) {
                r.error = "シート" + std::to_string(k) + " の使用範囲が " + std::to_string(used.row) + " 行 × " +
                          std::to_string(used.col) + " 列 (" + std::to_string(cells) + " セル) あり、一度に読める " +
                          std::to_string(maxCells) + " セルを超えています。";
                r.sheets.clear();
                return r;
            }
            const CellBlock block = sheet.range("A1", RowColToCell(used.row, used.col)).values();
            std::vector<CsvRow> rows(static_cast<size_t>(block.rows));
            for (int row = 0; row < block.rows; ++row) {
                rows[static_cast<size_t>(row)].reserve(static_cast<size_t>(block.cols));
                for (int col = 0; col < block.cols; ++col)
                    rows[static_cast<size_t>(row)].push_back(CellText(block.at(row, col)));
            }
            r.sheets.push_back(std::move(rows));
        }
        r.ok = true;
    } catch (const OfficeLost& e) {
        r.sheets.clear();
        r.error = std::string(kMsgOfficeLost) + " (" + e.what() + ")";
    } catch (const std::exception& e) {
        r.sheets.clear();
        r.error = std::string(kMsgXlsOpenFailedExtension) + " (" + e.what() + ")";
    }
    return r;
}

namespace {

ImportResult NoApplicationForImport()
{
    ImportResult r;
    r.status = ImportResult::Status::NoApplication;
    r.count = 0;
    r.message = Warning(kMsgOfficeNotStarted);
    return r;
}

ExportResult NoApplicationForExport()
{
    ExportResult r;
    r.message = Warning(kMsgOfficeNotStarted);
    return r;
}

}  // namespace

ImportResult ImportWorkbookSheets(bool whole, const std::string& path)
{
    std::unique_ptr<SpreadsheetApp> app = SpreadsheetApp::create(OfficeUse::Exchange);
    return app ? ImportWorkbookSheets(*app, whole, path) : NoApplicationForImport();
}

ImportResult ImportWorkbookSheets(KeptOffice& office, bool whole, const std::string& path)
{
    KeptOffice::Use app = office.use();
    return app ? ImportWorkbookSheets(*app, whole, path) : NoApplicationForImport();
}

// ---- export ----

ExportResult ExportWorkbook(SpreadsheetApp& app, const SheetArray& records, const SheetBlockSource& blockOf,
                            const std::string& path)
{
    ExportResult r;
    OfficeWorkbook book;
    try {
        app.setSheetsInNewWorkbook(static_cast<int>(records.size()));
        book = app.addWorkbook();
        BookCloser closer{book};
        for (size_t i = 0; i < records.size(); ++i) {
            const GridBlock block = blockOf ? blockOf(static_cast<int>(i)) : GridBlock{};
            WriteGridBlock(book.worksheet(static_cast<int>(i) + 1), records[i], block);
        }
        try {
            book.saveAs(path);
        } catch (const std::exception& e) {
            r.detail = e.what();
            r.message =
                Warning(std::string(kMsgXlsSaveFailed) + "\n" + path + "\n" + SaveFailureReason(path, r.detail));
            return r;
        }
        r.saved = true;
        r.message = {CommandMessage::Kind::Guide, kMsgXlsSaved};
    } catch (const OfficeLost& e) {
        r.detail = e.what();
        r.message = Warning(kMsgOfficeLost);
    } catch (const OfficeError& e) {
        // A failing call of the office while writing: the general error box,
        // nothing saved; the office's own words follow as the detail.
        r.detail = e.what();
        r.message = {CommandMessage::Kind::Error, WithDetail(kMsgXlsSaveFailed, path + "\n(" + r.detail + ")")};
    } catch (const std::exception& e) {
        // An error of the sheets given (a value that is not a number): the
        // general error box with its own message.
        r.detail = e.what();
        r.message = {CommandMessage::Kind::Error, ErrorBoxText(e.what())};
    }
    return r;
}

ExportResult ExportWorkbook(const SheetArray& records, const SheetBlockSource& blockOf, const std::string& path)
{
    std::unique_ptr<SpreadsheetApp> app = SpreadsheetApp::create(OfficeUse::Exchange);
    return app ? ExportWorkbook(*app, records, blockOf, path) : NoApplicationForExport();
}

ExportResult ExportWorkbook(KeptOffice& office, const SheetArray& records, const SheetBlockSource& blockOf,
                            const std::string& path)
{
    KeptOffice::Use app = office.use();
    return app ? ExportWorkbook(*app, records, blockOf, path) : NoApplicationForExport();
}

}  // namespace trevolo
