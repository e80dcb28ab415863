#include "document/workbook.h"

#include "model/sheetio.h"

namespace trevolo {

void Workbook::setSheetCount(int n, bool all, int lots, int cols)
{
    sheets.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        Struct_Sheet& s = sheets[static_cast<size_t>(i)];
        if (!all && s.HasLists)
            continue;
        InitSheet(s, i + 1, settings, lots, cols);
    }
    if (current >= n)
        current = -1;
}

void Workbook::store(int index, const SheetSession& session)
{
    if (contains(index))
        session.store(sheets[static_cast<size_t>(index)]);
}

}  // namespace trevolo
