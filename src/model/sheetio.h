#pragma once
// Moving a sheet between its record and the tables of the view: the parts of
// storing and showing a sheet that do not depend on widgets.
#include <string>
#include <vector>

#include "model/cellstore.h"
#include "model/comtype.h"

namespace trevolo {

// "K" followed by the row number with at least four digits: K0001 … K1000.
std::string DefaultLotLabel(int row);

// The kind text of a list index; an index outside the list names the first kind.
const char* SpecKindText(int index) noexcept;
// The list index of a kind text; any text other than the upper-only and
// lower-only kinds is the two-sided kind.
int SpecKindIndex(std::string_view text) noexcept;

// Initialises a sheet element: empty names and limits, the item name
// "Sheet<position>", the initial values of settings, lots and n as given,
// new empty lists.
void InitSheet(SheetRecord& sheet, int position1Based, const InitialValues& settings, int lots, int n);

// Writes the displayed rows 1..lots of the lot table (flags) and of the
// measurement table (label and the comma text of columns 0..n-1) into the
// sheet's lists, replacing what they held.
void StoreTablesToSheet(const CellStore& ctrl, const CellStore& edit, int lots, int n, SheetRecord& sheet);
// Row r's line of dataList as StoreTablesToSheet writes it.
std::string StoredDataLine(const CellStore& ctrl, const CellStore& edit, int r, int n);

// Fills the tables from the sheet's lists: the lot flags from checkList (a line
// other than "1" clears the flag; rows beyond the list keep theirs), and from
// dataList the lot label of each row into column 0 of the lot, statistics and
// SPC tables and the values into the measurement table (items beyond n are
// dropped). Lines beyond the last data row of the tables are ignored.
void LoadListsToTables(const SheetRecord& sheet, int n, CellStore& ctrl, CellStore& edit, CellStore& calc,
                       CellStore& spc);

// The normalisation pass over the measurement table, row by row from row 1,
// column by column over every column of the table: a blank cell is emptied,
// any other is rewritten as a fixed-point number with the given decimals. The
// first cell that is not a number stops the pass; the cells after it keep
// their texts.
struct NormaliseResult {
    bool ok = true;
    int col = -1;  // the cell that stopped the pass
    int row = -1;
};
NormaliseResult NormaliseValues(CellStore& edit, int decimals);

// The numbers of the measurement cells of rows 1..lots and columns
// 0..cols-1 as the normalisation leaves their texts, row by row, NaN for an
// empty cell: each value is converted while its text is checked, so no later
// step needs to convert it again.
struct NormalisedValues {
    int lots = 0;  // set by the caller
    int cols = 0;
    // Empty when not every cell of the range was normalised (no data lines,
    // or a text that is not a number stopped the pass).
    std::vector<double> values;
};

// LoadListsToTables followed, when the sheet has data lines, by
// NormaliseValues, in one pass; values, when given, receives the numbers.
NormaliseResult LoadAndNormalise(const SheetRecord& sheet, int n, CellStore& ctrl, CellStore& edit, CellStore& calc,
                                 CellStore& spc, int decimals, NormalisedValues* values = nullptr);

// Rewrites one cell text as a fixed-point number with the given decimals.
// False when the text is not a number (the text is left as it was). value,
// when given, receives the number the rewritten text reads as.
bool NormaliseNumberText(std::string& text, int decimals, double* value = nullptr);

}  // namespace trevolo
