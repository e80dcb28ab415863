#pragma once
// Keeping the statistics and SPC tables in step with lot numbers edited in
// the lot editor. Before a capability judgment those tables list every lot
// in the lot table's rows; after one they list only the lots that took part
// (enabled, with at least one value), packed in lot order, the statistics
// table followed by its total row. Each of their rows is matched to the lot
// it shows so the edited number reaches exactly that row.
#include <string>
#include <vector>

namespace trevolo {

// For each row of a result table (rowLabels[i] is the text of column 0 of
// table row i + 1), the lot (index into lotLabels, from 0) it shows, or -1
// when no lot matches (the total row, an emptied row).
//
// lotLabels are the lot numbers as they stood before the edit, takesPart
// tells which lots a judgment would list now. When the table's first rows
// carry the lot numbers row for row, every lot row maps to its own lot.
// Otherwise the rows are matched in lot order by their number, preferring a
// lot that takes part, so a repeated number still finds the lot it belongs to.
std::vector<int> MatchTableRowsToLots(const std::vector<std::string>& lotLabels, const std::vector<bool>& takesPart,
                                      const std::vector<std::string>& rowLabels);

}  // namespace trevolo
