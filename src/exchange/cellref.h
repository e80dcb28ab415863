#pragma once
// Cell references in A1 notation ("B5", "$K$24"): the column letters, then
// the row number; rows and columns counted from 1.
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace trevolo {

// The largest worksheet the exchange formats can hold (XFD1048576).
inline constexpr int kMaxWorksheetRows = 1048576;
inline constexpr int kMaxWorksheetCols = 16384;

struct WorksheetPos {
    int row = 1;
    int col = 1;
    friend bool operator==(const WorksheetPos&, const WorksheetPos&) = default;
};

// Reads one A1 reference: letters A..XFD (either case) then a row 1..1048576,
// each optionally behind "$". Nothing else is accepted, not even blanks.
std::optional<WorksheetPos> ParseCellRef(std::string_view ref);

// Column letters of a column number: 1 "A", 26 "Z", 27 "AA", 101 "CW";
// empty outside 1..16384.
std::string ColumnLetters(int col);

// (row, column) of an A1 reference; (1, 1) when the text is not one.
std::pair<int, int> CellToRowCol(std::string_view ref);

// The absolute A1 reference of a row and column: (24, 11) gives "$K$24";
// empty when either lies outside the worksheet.
std::string RowColToCell(int row, int col);

}  // namespace trevolo
