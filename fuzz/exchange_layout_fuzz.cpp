// A worksheet handed over for import can hold anything in its cells. The
// sheet record made from it must keep every cell of a row apart (a stored
// line read back gives the same cells), and loading that record into the
// tables and normalising the values must do no harm.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cellvalue.h"
#include "exchange/layout.h"
#include "model/cellstore.h"
#include "model/commatext.h"
#include "model/comtype.h"
#include "model/number.h"
#include "model/sheetio.h"

namespace {

// A cell of the input: "\x01" followed by eight bytes is that double; any
// other text is a text cell.
trevolo::CellValue Cell(std::string_view t)
{
    if (t.size() == 9 && t[0] == '\x01') {
        double d;
        std::memcpy(&d, t.data() + 1, sizeof d);
        return d;
    }
    return std::string(t);
}

std::vector<std::string_view> Split(std::string_view s, char sep)
{
    std::vector<std::string_view> out;
    size_t b = 0;
    for (;;) {
        const size_t e = s.find(sep, b);
        out.push_back(s.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b));
        if (e == std::string_view::npos)
            return out;
        b = e + 1;
    }
}

// What a stored line must give back for a cell: the trimmed text, or the
// number in general format.
std::string Expected(const trevolo::CellValue& v)
{
    if (const auto* t = std::get_if<std::string>(&v))
        return std::string(trevolo::Trim(*t));
    return trevolo::GeneralNumberText(std::get<double>(v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Lines: the nine header cells, then the rows from row 5 with TAB
    // between cells; all three blocks come from those rows, as they come from
    // the one worksheet.
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = Split(in, '\n');
    trevolo::WorksheetReads reads;
    for (int i = 0; i < trevolo::kHeaderFields && i < static_cast<int>(lines.size()); ++i)
        reads.header[i] = Cell(lines[i]);
    const int bodyRows = std::clamp(static_cast<int>(lines.size()) - trevolo::kHeaderFields, 0, trevolo::kImportLots);
    reads.body = trevolo::CellBlock(bodyRows, trevolo::kImportColumns);
    reads.labels = trevolo::CellBlock(bodyRows, 1);
    reads.firstLot = trevolo::CellBlock(bodyRows > 0 ? 1 : 0, trevolo::kImportColumns - 1);
    for (int r = 0; r < bodyRows; ++r) {
        const std::vector<std::string_view> cells = Split(lines[trevolo::kHeaderFields + r], '\t');
        for (int c = 0; c < trevolo::kImportColumns && c < static_cast<int>(cells.size()); ++c)
            reads.body.at(r, c) = Cell(cells[c]);
        reads.labels.at(r, 0) = reads.body.at(r, 0);
        if (r == 0)
            for (int c = 1; c < trevolo::kImportColumns; ++c)
                reads.firstLot.at(0, c - 1) = reads.body.at(0, c);
    }

    const trevolo::SheetRecord sheet = trevolo::SheetFromWorksheet(reads);
    if (sheet.lots < 0 || sheet.lots > bodyRows || sheet.n < 0 || sheet.n > trevolo::kImportColumns - 1 ||
        sheet.dataList.size() != static_cast<size_t>(trevolo::kImportLots) ||
        sheet.checkList.size() != static_cast<size_t>(trevolo::kImportLots))
        __builtin_trap();
    for (int r = 0; r < bodyRows; ++r) {
        std::vector<std::string> expected(trevolo::kImportColumns);
        bool hasNul = false;
        for (int c = 0; c < trevolo::kImportColumns; ++c) {
            expected[c] = Expected(reads.body.get(r, c));
            hasNul = hasNul || expected[c].find('\0') != std::string::npos;
        }
        // A NUL ends a stored line on reading, so such a row cannot come back.
        if (hasNul)
            continue;
        std::vector<std::string> back = trevolo::CommaTextSplit(sheet.dataList[r]);
        if (back.size() > expected.size())
            __builtin_trap();
        back.resize(expected.size());
        if (back != expected)
            __builtin_trap();
    }

    static trevolo::CellStore ctrl(2), edit(100), calc(10), spc(18);
    trevolo::LoadListsToTables(sheet, std::clamp(sheet.n, 1, 100), ctrl, edit, calc, spc);
    int decimals = 0;
    if (!trevolo::TryStrToInt(sheet.decimals, decimals) || decimals < 0 || decimals > 9)
        decimals = static_cast<int>(size % 6);
    trevolo::NormaliseValues(edit, decimals);
    return 0;
}
