#include "entry/clipboard.h"

#include <algorithm>

namespace trevolo {

std::string CopyGridText(const CellStore& cells, const GridShape& shape, GridRect sel)
{
    std::string out;
    if (sel.right < sel.left || sel.bottom < sel.top || sel.right < 0 || sel.bottom < 0 || sel.left >= shape.colCount ||
        sel.top >= shape.rowCount)
        return out;
    const int left = std::max(sel.left, 0);
    const int top = std::max(sel.top, 0);
    const int right = std::min(sel.right, shape.colCount - 1);
    const int bottom = std::min(sel.bottom, shape.rowCount - 1);

    size_t size = 0;
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c)
            size += cells.text(c, r).size() + 1;
    out.reserve(size + static_cast<size_t>(bottom - top + 1));
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c < right; ++c) {
            out += cells.text(c, r);
            out += '\t';
        }
        out += cells.text(right, r);
        out += "\r\n";
    }
    return out;
}

int PasteGridText(CellStore& cells, const GridShape& shape, GridRect sel, std::string_view text,
                  const PastedCell& written)
{
    const int c0 = std::max(sel.left, shape.fixedCols);
    const int r0 = std::max(sel.top, shape.fixedRows);
    int i = 0;
    int j = 0;
    int count = 0;
    std::string pending;
    auto write = [&] {
        const int c = c0 + j;
        const int r = r0 + i;
        if (c < shape.colCount && r < shape.rowCount && cells.contains(c, r)) {
            cells.cell(c, r).swap(pending);
            ++count;
            if (written)
                written(c, r, pending);
        }
        pending.clear();
    };
    size_t b = 0;
    while (b < text.size()) {
        // Characters up to the next TAB, CR or LF belong to the current cell
        // (one pass over the text, not a search per character).
        size_t stop = b;
        while (stop < text.size() && text[stop] != '\t' && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        pending.append(text.substr(b, stop - b));
        if (stop == text.size())
            break;
        b = stop + 1;
        if (text[stop] == '\t') {
            write();
            ++j;
            continue;
        }
        // CR LF, a lone LF or a lone CR: one line break.
        write();
        j = 0;
        ++i;
        if (text[stop] == '\r' && b < text.size() && text[b] == '\n')
            ++b;
    }
    if (!pending.empty())
        write();
    return count;
}

void DeleteGridCells(CellStore& cells, const GridShape& shape, GridRect sel)
{
    const int left = std::max(sel.left, shape.fixedCols);
    const int top = std::max(sel.top, shape.fixedRows);
    const int right = std::min(sel.right, shape.colCount - 1);
    const int bottom = std::min(sel.bottom, shape.rowCount - 1);
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c)
            if (cells.contains(c, r))
                cells.cell(c, r).clear();
}

GridRect AllGridCells(const GridShape& shape)
{
    return {shape.fixedCols, shape.fixedRows, shape.colCount - 1, shape.rowCount - 1};
}

}  // namespace trevolo
