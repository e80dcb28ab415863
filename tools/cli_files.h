#pragma once
// Reading the files of a batch run into sheet records, as the window's
// imports read them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exchange/csv_reader.h"
#include "model/comtype.h"
#include "stats/control_limits.h"

namespace trevolo::cli {

// The sheets of one file in worksheet order, or why it could not be read.
struct LoadedFile {
    std::vector<SheetRecord> sheets;
    std::string error;  // empty when the file was read
};

// True when the file can be opened for reading; otherwise false with the
// reason in error.
bool CheckReadable(const std::string& path, std::string& error);

// Reads a whole file into bytes; false with the reason in error.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Reads a file of typed control limits (the JSON of ParseTypedLimits) into
// the eleven field texts; false with a message naming the option and the
// file.
bool LoadTypedLimits(const std::string& path, std::array<std::string, kLimitFields>& limits, std::string& error);

// Reads a CSV file of the exchange layout as the window's CSV import does.
LoadedFile LoadCsvFile(const std::string& path);

// The sheets of one file read whole, for the plant store: the rows of each
// sheet with their cells as texts, or why the file could not be read.
struct LoadedRows {
    std::vector<std::vector<CsvRow>> sheets;
    std::string error;
};

// Reads every row of a CSV file (decoded and parsed as the CSV import does,
// but not cut to a sheet's block).
LoadedRows LoadCsvRows(const std::string& path);

// True for the names of workbooks (.xls, .xlsx, .ods, in any case), which
// are read through the spreadsheet engine; any other file is read as CSV.
bool IsWorkbookName(const std::string& path);

// Reads workbooks through the spreadsheet engine, started at the first
// workbook and shared by the files of the run. Without the engine in the
// build, every workbook is refused with a message saying so.
class WorkbookReader {
public:
    WorkbookReader();
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader&) = delete;
    WorkbookReader& operator=(const WorkbookReader&) = delete;

    LoadedFile load(const std::string& path);
    // Every worksheet's used area; a worksheet of more than maxCells cells
    // is refused with its size.
    LoadedRows loadRows(const std::string& path, std::int64_t maxCells);

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace trevolo::cli
