#pragma once
// Workbook import and export through the spreadsheet engine. The command
// functions run in an office given, in the kept office of a program that runs
// one command after another, or in an instance of their own that they end
// before they return. They never throw: they return the outcome and the
// message the window shows.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exchange/csv_reader.h"
#include "exchange/kept_office.h"
#include "exchange/layout.h"
#include "exchange/messages.h"
#include "exchange/office.h"
#include "model/comtype.h"

namespace trevolo {

// ---- the steps, on a worksheet of an open workbook (these throw OfficeError) ----

// Reads one worksheet of the exchange layout into a new sheet record: the
// header row and the body, each read in one call and cut to the worksheet's
// used area (the cells beyond it are empty); the labels and the first lot
// of WorksheetReads are taken from the body.
SheetRecord ReadWorksheet(const Worksheet& sheet);
// The office's part of it: the header row and the three blocks.
WorksheetReads ReadWorksheetCells(const Worksheet& sheet);

// Rows 1 and 2 of the layout: the labels and the header texts of the sheet
// record, then the decimals format on H2:I2.
void WriteSheetHeader(const Worksheet& sheet, const SheetRecord& record);

// The header, then the table block from A4 in one call, then its formats.
void WriteGridBlock(const Worksheet& sheet, const SheetRecord& record, const GridBlock& block);

// ---- import ----

struct ImportResult {
    enum class Status {
        Ok,             // sheets holds the new records
        NoApplication,  // the office could not be started
        TooManySheets,  // more than 100 worksheets; nothing read
        Failed,         // the file could not be opened or read
    };
    Status status = Status::Failed;
    // Worksheets in the file; 0 when the office could not be started.
    int count = 0;
    // The new records: one per worksheet for a workbook, one for a CSV file.
    // The sheets in the program are replaced only from a successful result.
    SheetArray sheets;
    // The message to show; none on success.
    CommandMessage message;
    // What failed, for diagnosis (not shown).
    std::string detail;
};

// Reads a workbook (whole = true: every worksheet) or a CSV file (only its
// first worksheet, for the current sheet) in a new office instance, which is
// ended before returning.
ImportResult ImportWorkbookSheets(bool whole, const std::string& path);
// The same in an office already running: the file is opened, read and
// closed; the office stays.
ImportResult ImportWorkbookSheets(SpreadsheetApp& app, bool whole, const std::string& path);
// The same in the kept office, started or replaced as needed.
ImportResult ImportWorkbookSheets(KeptOffice& office, bool whole, const std::string& path);

// Every worksheet of a workbook with every cell of its used area as a text
// (a number in general format), not cut to a sheet's block: what the plant
// store reads. A worksheet whose used area holds more than maxCells cells is
// not read; the error then names it with its size.
struct WorkbookRows {
    bool ok = false;
    std::vector<std::vector<CsvRow>> sheets;
    std::string error;  // in Japanese, when not ok
};
WorkbookRows ReadWorkbookRows(SpreadsheetApp& app, const std::string& path, std::int64_t maxCells);

// ---- export ----

struct ExportResult {
    bool saved = false;
    CommandMessage message;
    std::string detail;
};

// The block of sheet i (from 0) as the window shows it, the window having
// loaded that sheet (BuildEditBlock of its tables).
using SheetBlockSource = std::function<GridBlock(int index)>;

// Writes every sheet into one worksheet of a new workbook (worksheet i + 1
// for sheet i: header of records[i], then blockOf(i)) and saves it under the
// path, in a new office instance that is ended before returning. A failed
// save says that the file could not be saved and why.
ExportResult ExportWorkbook(const SheetArray& records, const SheetBlockSource& blockOf, const std::string& path);
// The same in an office already running; the new workbook is closed.
ExportResult ExportWorkbook(SpreadsheetApp& app, const SheetArray& records, const SheetBlockSource& blockOf,
                            const std::string& path);
// The same in the kept office, started or replaced as needed.
ExportResult ExportWorkbook(KeptOffice& office, const SheetArray& records, const SheetBlockSource& blockOf,
                            const std::string& path);

}  // namespace trevolo
