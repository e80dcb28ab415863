#pragma once
// Cell contents as they travel between the program and the spreadsheet
// application: every cell is a number or a text, and an empty cell is the
// empty text. Nothing outside the engine sees the application's own types.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace trevolo {

using CellValue = std::variant<std::string, double>;

inline bool IsNumberCell(const CellValue& v) noexcept
{
    return std::holds_alternative<double>(v);
}

// A cell as text: a text as it is, a number in general format.
std::string CellText(const CellValue& v);

// A number in general format with up to 15 significant digits: "1.5", "100",
// "0.0001", "1E-5", "1.23456789012346E20"; no trailing zeros, no "+" in the
// exponent.
std::string GeneralNumberText(double v);

// A text that reads as a decimal number becomes that number; any other text
// (also the empty one) stays text.
CellValue NumberOrText(std::string_view text);

// A rectangle of cells, row by row; a new block holds empty texts.
struct CellBlock {
    int rows = 0;
    int cols = 0;
    std::vector<CellValue> cells;

    CellBlock() = default;
    CellBlock(int rowCount, int colCount);

    CellValue& at(int row, int col) { return cells[static_cast<size_t>(row) * cols + col]; }
    const CellValue& at(int row, int col) const { return cells[static_cast<size_t>(row) * cols + col]; }
    // Out-of-range cells read as empty.
    const CellValue& get(int row, int col) const noexcept;
};

bool operator==(const CellBlock&, const CellBlock&);

}  // namespace trevolo
