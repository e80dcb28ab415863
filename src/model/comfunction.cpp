#include "model/comfunction.h"

#include <algorithm>

namespace trevolo {

GridPos Grid_NextCell(const GridShape& shape, GridPos pos) noexcept
{
    if (pos.col < shape.colCount - 1) {
        ++pos.col;
        return pos;
    }
    pos.col = shape.fixedCols;
    pos.row = pos.row < shape.rowCount - 1 ? pos.row + 1 : shape.fixedRows;
    return pos;
}

void Grid_ClearRows(CellStore& cells)
{
    cells.clearRows(1);
}

std::vector<int> Grid_AutoColWidth(const CellStore& cells, const GridShape& shape,
                                   const std::function<int(std::string_view)>& textWidth)
{
    const int cols = std::min(shape.colCount, cells.columns());
    const int rows = std::min(shape.rowCount, cells.rows());
    std::vector<int> widths(static_cast<size_t>(std::max(cols, 0)), kAutoColMinWidth);
    // Row by row, the order the cells are stored in.
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const std::string& t = cells.text(c, r);
            if (t.empty())
                continue;
            int& w = widths[static_cast<size_t>(c)];
            w = std::max(w, textWidth(t) + 10);
        }
    }
    return widths;
}

}  // namespace trevolo
