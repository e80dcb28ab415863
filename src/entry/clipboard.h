#pragma once
// Blocks of table cells as clipboard text, and the selection commands of the
// tables, on a table's cells and displayed shape. The window only moves the
// text to and from the system clipboard and applies selections to its views.
//
// Text format: a cell's text unchanged; one TAB between the cells of a row;
// every row, the last one included, ends with CR LF. On reading, TAB ends a
// cell; CR LF, a lone LF (what most programs of this desktop put on the
// clipboard) and a lone CR each end a cell and the row; every other character
// belongs to the current cell (no trimming, no conversion).
#include <functional>
#include <string>
#include <string_view>

#include "model/cellstore.h"
#include "model/comfunction.h"

namespace trevolo {

// A rectangle of cells, inclusive, in grid terms (row 0 is the header row).
struct GridRect {
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;
    friend bool operator==(const GridRect&, const GridRect&) = default;
};

// The text of the selected cells. An empty or inverted selection, or one
// lying wholly outside the displayed table, gives an empty text; otherwise
// the selection is clamped to the displayed cells.
std::string CopyGridText(const CellStore& cells, const GridShape& shape, GridRect sel);

// Writes clipboard text into the table from the selection's top-left cell.
// Cells falling outside the displayed table are dropped; cells inside are
// overwritten, with empty texts too. A start left of or above the data cells
// (no current cell) starts at the first data cell, so the header row and the
// fixed columns never receive pasted text. Returns the number of cells written.
// written, when given, is called after each cell is written, with the text
// the cell held before (the callee may take it).
using PastedCell = std::function<void(int col, int row, std::string& before)>;
int PasteGridText(CellStore& cells, const GridShape& shape, GridRect sel, std::string_view text,
                  const PastedCell& written = {});

// Empties every selected cell that lies in the displayed data cells.
void DeleteGridCells(CellStore& cells, const GridShape& shape, GridRect sel);

// The selection covering every data cell (first non-fixed column and row to
// the last ones); the current cell moves to its bottom-right corner. An
// empty table gives an empty rectangle (left > right).
GridRect AllGridCells(const GridShape& shape);

}  // namespace trevolo
