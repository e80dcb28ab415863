#include "entry/lot_numbers.h"

#include <algorithm>

namespace trevolo {

std::vector<int> MatchTableRowsToLots(const std::vector<std::string>& lotLabels, const std::vector<bool>& takesPart,
                                      const std::vector<std::string>& rowLabels)
{
    const size_t lots = lotLabels.size();
    std::vector<int> lotOfRow(rowLabels.size(), -1);

    // Row for row: the table lists every lot in the lot table's order.
    if (rowLabels.size() >= lots && std::equal(lotLabels.begin(), lotLabels.end(), rowLabels.begin())) {
        for (size_t i = 0; i < lots; ++i)
            lotOfRow[i] = static_cast<int>(i);
        return lotOfRow;
    }

    // Packed rows: a subsequence of the lots in lot order.
    auto part = [&](size_t lot) { return lot < takesPart.size() && takesPart[lot]; };
    size_t next = 0;
    for (size_t i = 0; i < rowLabels.size() && next < lots; ++i) {
        const std::string& label = rowLabels[i];
        if (label.empty())
            continue;
        size_t found = lots;
        size_t anyFound = lots;
        for (size_t k = next; k < lots; ++k) {
            if (lotLabels[k] != label)
                continue;
            if (anyFound == lots)
                anyFound = k;
            if (part(k)) {
                found = k;
                break;
            }
        }
        if (found == lots)
            found = anyFound;
        if (found == lots)
            continue;
        lotOfRow[i] = static_cast<int>(found);
        next = found + 1;
    }
    return lotOfRow;
}

}  // namespace trevolo
