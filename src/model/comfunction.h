#pragma once
// Table routines shared by the main window, the judgments and the dialogs.
// They work on a table's cells and shape; the window applies the results
// (current cell, column widths) to its widgets.
#include <functional>
#include <string_view>
#include <vector>

#include "model/cellstore.h"

namespace trevolo {

// The displayed shape of a table: counts include the header row and the
// fixed columns.
struct GridShape {
    int colCount = 0;
    int rowCount = 0;
    int fixedCols = 0;
    int fixedRows = 1;
};

struct GridPos {
    int col = 0;
    int row = 0;
    friend bool operator==(const GridPos&, const GridPos&) = default;
};

// The cell after pos: one column right; from the last column to the first
// non-fixed column of the next row, or of the first non-fixed row when pos is
// on the last row.
GridPos Grid_NextCell(const GridShape& shape, GridPos pos) noexcept;

// Empties every cell of the data rows 1 to 1000, fixed column included, texts
// and flags, whatever the displayed row count.
void Grid_ClearRows(CellStore& cells);

// Column widths fitted to the contents: every column at least 85 pixels, and
// wider where its widest displayed text (header included) plus 10 needs it.
// textWidth measures one text in the table's font.
inline constexpr int kAutoColMinWidth = 85;
std::vector<int> Grid_AutoColWidth(const CellStore& cells, const GridShape& shape,
                                   const std::function<int(std::string_view)>& textWidth);

}  // namespace trevolo
