#pragma once
// Converting a workbook or a CSV file into a workbook or a folder of CSV
// files, through the same import and export the window's File menu uses.
#include <iosfwd>
#include <string>

namespace trevolo::cli {

struct ConvertOptions {
    // A workbook (.xls, .xlsx, .ods: every worksheet) or a CSV file of the
    // exchange layout (one sheet).
    std::string input;
    // A workbook name (.xls, .xlsx, .ods) for one workbook; anything else is
    // a folder, created when missing, for one CSV file per sheet.
    std::string output;
};

// Converts the file, writing the window's closing message to out, or the
// reason it failed to err; returns 0 on success and 2 otherwise.
int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trevolo::cli
