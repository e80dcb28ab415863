#include "model/comfunction.h"

#include <algorithm>

namespace trevolo {

GridPos NextGridCell(const GridShape& shape, GridPos pos) noexcept
{
    if (pos.col < shape.colCount - 1) {
        ++pos.col;
        return pos;
    }
    pos.col = shape.fixedCols;
    pos.row = pos.row < shape.rowCount - 1 ? pos.row + 1 : shape.fixedRows;
    return pos;
}

void ClearGridRows(CellStore& cells)
{
    cells.clearRows(1);
}

std::vector<int> FitGridColumnWidths(const CellStore& cells, const GridShape& shape,
                                     const std::function<int(std::string_view)>& textWidth)
{
    return ColumnFit().fit(cells, shape, textWidth);
}

}  // namespace trevolo
