#include "document/workbook.h"

#include <algorithm>

#include "model/sheetio.h"

namespace trevolo {

int Workbook::setSheetCount(int n, bool all, int lots, int cols)
{
    const int before = count();
    sheets.resize(static_cast<size_t>(n));
    int first = n;
    for (int i = 0; i < n; ++i) {
        Struct_Sheet& s = sheets[static_cast<size_t>(i)];
        if (!all && s.HasLists)
            continue;
        InitSheet(s, i + 1, settings, lots, cols);
        first = std::min(first, i);
    }
    if (current >= n)
        current = -1;
    return std::min(first, before);
}

void Workbook::store(int index, const SheetSession& session)
{
    if (contains(index))
        session.store(sheets[static_cast<size_t>(index)]);
}

}  // namespace trevolo
