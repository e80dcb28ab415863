#pragma once
// Table routines shared by the main window, the judgments and the dialogs.
// They work on a table's cells and shape; the window applies the results
// (current cell, column widths) to its widgets.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
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
GridPos NextGridCell(const GridShape& shape, GridPos pos) noexcept;

// Empties every cell of the data rows 1 to 1000, fixed column included, texts
// and flags, whatever the displayed row count.
void ClearGridRows(CellStore& cells);

// Column widths fitted to the contents: every column at least 85 pixels, and
// wider where its widest displayed text (header included) plus 10 needs it.
// textWidth measures one text in the table's font.
inline constexpr int kAutoColMinWidth = 85;
std::vector<int> FitGridColumnWidths(const CellStore& cells, const GridShape& shape,
                                     const std::function<int(std::string_view)>& textWidth);

// The same fit kept from one call to the next for one table: the widths of
// each row are kept with the row's stamp, so a fit measures only the rows
// changed since the last one (a judgment rewrites the statistics table, not
// the 100,000 values).
class ColumnFit {
public:
    template <class Measure>
    std::vector<int> fit(const CellStore& cells, const GridShape& shape, const Measure& textWidth);
    // Every row is measured again at the next fit (the font changed).
    void forget() noexcept { cols_ = -1; }

private:
    int cols_ = -1;
    std::vector<std::uint64_t> stamps_;  // per row, the stamp its widths were measured at
    std::vector<int> widths_;            // per cell, text width plus 10, 0 for an empty cell
};

template <class Measure>
std::vector<int> ColumnFit::fit(const CellStore& cells, const GridShape& shape, const Measure& textWidth)
{
    const int cols = std::max(std::min(shape.colCount, cells.columns()), 0);
    const int rows = std::max(std::min(shape.rowCount, cells.rows()), 0);
    if (cols != cols_) {
        cols_ = cols;
        stamps_.assign(stamps_.size(), 0);
    }
    const size_t width = static_cast<size_t>(cols);
    stamps_.resize(static_cast<size_t>(rows), 0);
    widths_.resize(static_cast<size_t>(rows) * width);
    std::vector<int> widest(width, kAutoColMinWidth);
    // Row by row, the order the cells are stored in.
    for (int r = 0; r < rows; ++r) {
        int* kept = widths_.data() + static_cast<size_t>(r) * width;
        const std::uint64_t stamp = cells.rowStamp(r);
        if (stamps_[static_cast<size_t>(r)] != stamp) {
            stamps_[static_cast<size_t>(r)] = stamp;
            for (int c = 0; c < cols; ++c) {
                const std::string& t = cells.cell(c, r);
                kept[c] = t.empty() ? 0 : textWidth(std::string_view(t)) + 10;
            }
        }
        for (size_t c = 0; c < width; ++c)
            widest[c] = std::max(widest[c], kept[c]);
    }
    return widest;
}

}  // namespace trevolo
