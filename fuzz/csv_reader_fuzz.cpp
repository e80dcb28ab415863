// CSV files come from measuring machines and other programs. The reader must
// take any bytes; the cells it reads, written back fully quoted, must read
// back the same; and the sheet it makes must go through the whole judgment
// chain without harm.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/csv_reader.h"
#include "document/judgment_chain.h"

namespace {

std::string Quoted(const std::vector<trevolo::CsvRow>& rows)
{
    std::string out;
    for (const trevolo::CsvRow& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += ',';
            out += '"';
            for (char ch : row[c]) {
                if (ch == '"')
                    out += '"';
                out += ch;
            }
            out += '"';
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = trevolo::DecodeCsvBytes(bytes);
    const std::vector<trevolo::CsvRow> rows = trevolo::ParseCsvText(text, 2000);
    if (trevolo::ParseCsvText(Quoted(rows)) != rows)
        __builtin_trap();

    const trevolo::SheetRecord sheet = trevolo::SheetFromCsvBytes(bytes);
    if (sheet.lots < 0 || sheet.lots > 1000 || sheet.n < 0 || sheet.n > 100 || sheet.dataList.size() != 1000)
        __builtin_trap();
    trevolo::ChainSettings settings;
    settings.chartIndex = static_cast<int>(size % 3);
    const trevolo::SheetJudgment j = trevolo::JudgeSheet(sheet, settings);
    // A command runs only after the one before it got through.
    if ((j.spcReached && !j.calcReached) || (j.calcReached && !j.specReached))
        __builtin_trap();
    if ((j.spc != trevolo::Verdict::None && !j.spcReached) || (j.calc != trevolo::Verdict::None && !j.calcReached))
        __builtin_trap();
    for (const trevolo::CellPos& p : j.marked)
        if (p.row < 1 || p.row > j.lots || p.col < 0 || p.col >= j.n)
            __builtin_trap();
    return 0;
}
