// Clipboard text comes from any other program. Pasting it must never write
// outside the displayed data cells, and a well-formed block (every row ending
// in CR LF, rows of equal width, fitting the table) must copy back exactly as
// it was pasted.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entry/clipboard.h"
#include "model/cellstore.h"
#include "model/comfunction.h"

namespace {

// The input's first bytes choose the table shape and the selection; the rest
// is the clipboard text.
struct Setup {
    trevolo::GridShape shape;
    trevolo::GridRect sel;
    std::string_view text;
};

Setup Read(std::string_view in)
{
    auto take = [&in](int mod, int bias) {
        int v = 0;
        if (!in.empty()) {
            v = static_cast<unsigned char>(in.front());
            in.remove_prefix(1);
        }
        return v % mod - bias;
    };
    Setup s;
    s.shape.colCount = take(12, 0);
    s.shape.rowCount = take(14, 0);
    s.shape.fixedCols = take(3, 0);
    s.shape.fixedRows = take(3, 0);
    s.sel.left = take(14, 2);
    s.sel.top = take(16, 2);
    s.sel.right = s.sel.left + take(6, 1);
    s.sel.bottom = s.sel.top + take(6, 1);
    s.text = in;
    return s;
}

// The cells of clipboard text as rows; CR LF, a lone CR and a lone LF each
// end a row. A last row without a line end counts as well.
std::vector<std::vector<std::string>> Rows(std::string_view text)
{
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\t')
            rows.back().emplace_back();
        else if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            rows.emplace_back(1);
        } else
            rows.back().back() += ch;
    }
    if (rows.back().size() == 1 && rows.back()[0].empty())
        rows.pop_back();
    return rows;
}

constexpr int kCols = 10;
constexpr int kRows = 12;

trevolo::CellStore Filled()
{
    trevolo::CellStore cells(kCols, kRows);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            cells.setText(c, r, "o" + std::to_string(c) + "_" + std::to_string(r));
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Setup s = Read(std::string_view(reinterpret_cast<const char*>(data), size));
    const trevolo::CellStore before = Filled();

    // Any text: only displayed data cells change, and no more cells are
    // written than the text has.
    trevolo::CellStore cells = before;
    const int written = trevolo::PasteGridText(cells, s.shape, s.sel, s.text);
    const size_t pieces =
        std::count_if(s.text.begin(), s.text.end(), [](char ch) { return ch == '\t' || ch == '\r' || ch == '\n'; }) + 1;
    if (written < 0 || static_cast<size_t>(written) > pieces)
        __builtin_trap();
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            const bool data = c >= s.shape.fixedCols && c < s.shape.colCount && r >= s.shape.fixedRows &&
                              r < s.shape.rowCount;
            if (!data && cells.text(c, r) != before.text(c, r))
                __builtin_trap();
        }
    (void)trevolo::CopyGridText(cells, s.shape, s.sel);

    // The block as a well-formed text: rows padded to equal width and cut to
    // what fits from the start cell, every row ending in CR LF.
    const int c0 = std::max(s.sel.left, s.shape.fixedCols);
    const int r0 = std::max(s.sel.top, s.shape.fixedRows);
    const int fitCols = std::min(s.shape.colCount, kCols) - c0;
    const int fitRows = std::min(s.shape.rowCount, kRows) - r0;
    std::vector<std::vector<std::string>> rows = Rows(s.text);
    size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.size());
    if (fitCols <= 0 || fitRows <= 0 || rows.empty())
        return 0;
    rows.resize(std::min<size_t>(rows.size(), fitRows));
    width = std::min<size_t>(width, fitCols);
    std::string block;
    for (auto& row : rows) {
        row.resize(width);
        for (size_t c = 0; c < width; ++c) {
            if (c > 0)
                block += '\t';
            block += row[c];
        }
        block += "\r\n";
    }
    trevolo::CellStore again = before;
    const int n = trevolo::PasteGridText(again, s.shape, s.sel, block);
    if (static_cast<size_t>(n) != rows.size() * width)
        __builtin_trap();
    const trevolo::GridRect pasted{c0, r0, c0 + static_cast<int>(width) - 1, r0 + static_cast<int>(rows.size()) - 1};
    if (trevolo::CopyGridText(again, s.shape, pasted) != block)
        __builtin_trap();
    return 0;
}
