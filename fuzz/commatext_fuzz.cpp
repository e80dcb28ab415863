// Stored data lines and comma text come from files of other programs; the
// reader must take anything without crashing, and what the writer makes of
// the items it read must read back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/cellstore.h"
#include "model/commatext.h"
#include "model/comtype.h"
#include "model/sheetio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> items = trevolo::CommaTextSplit(text);

    // Writing the items and reading them back gives the same items (an
    // all-empty row of several items loses nothing but trailing empties).
    if (!items.empty()) {
        std::vector<std::string> cells;
        for (auto& i : items) {
            // A NUL ends the text on reading, so it cannot round-trip.
            if (i.find('\0') != std::string::npos)
                return 0;
            cells.push_back(i);
        }
        std::vector<std::string> back = trevolo::CommaTextSplit(trevolo::CommaTextJoin(cells));
        back.resize(cells.size());
        if (back != cells)
            __builtin_trap();
    }

    // A whole stored sheet made of the input's lines loads without harm.
    trevolo::SheetRecord sheet;
    size_t b = 0;
    while (b <= text.size() && sheet.dataList.size() < 1100) {
        size_t e = text.find('\n', b);
        if (e == std::string_view::npos)
            e = text.size();
        sheet.dataList.emplace_back(text.substr(b, e - b));
        sheet.checkList.emplace_back(text.substr(b, std::min<size_t>(e - b, 2)));
        b = e + 1;
    }
    static trevolo::CellStore ctrl(2), edit(100), calc(10), spc(18);
    trevolo::LoadListsToTables(sheet, 100, ctrl, edit, calc, spc);
    trevolo::NormaliseValues(edit, static_cast<int>(size % 6));
    return 0;
}
