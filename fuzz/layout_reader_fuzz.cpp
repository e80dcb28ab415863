// Files pushed into the plant store come from anywhere. The strict reader of
// the exchange layout must take any bytes: a file it accepts has every lot
// under the titled columns, below the header rows; a file it refuses is
// refused at a row of the file with a reason.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/layout_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = trevolo::DecodeCsvBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<trevolo::CsvRow> rows = trevolo::ParseCsvText(text, 3000);
    trevolo::LayoutSheet sheet;
    trevolo::LayoutFault fault;
    if (trevolo::ReadLayoutRows(rows, sheet, fault)) {
        if (sheet.n < 1)
            __builtin_trap();
        for (const trevolo::LayoutLot& lot : sheet.lots)
            if (lot.line < 5 || lot.line > static_cast<int>(rows.size()) || static_cast<int>(lot.values.size()) > sheet.n)
                __builtin_trap();
    } else if (fault.line < 1 || fault.reason.empty()) {
        __builtin_trap();
    }
    return 0;
}
