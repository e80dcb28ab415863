#include "exchange/cellref.h"

namespace trevolo {

std::optional<WorksheetPos> ParseCellRef(std::string_view ref)
{
    size_t i = 0;
    const size_t n = ref.size();
    if (i < n && ref[i] == '$')
        ++i;
    long col = 0;
    size_t letters = 0;
    while (i < n) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        col = col * 26 + (c - 'A' + 1);
        ++i;
        if (++letters > 3)
            return std::nullopt;
    }
    if (letters == 0 || col > kMaxWorksheetCols)
        return std::nullopt;
    if (i < n && ref[i] == '$')
        ++i;
    long row = 0;
    size_t digits = 0;
    while (i < n && ref[i] >= '0' && ref[i] <= '9') {
        row = row * 10 + (ref[i] - '0');
        ++i;
        if (++digits > 7)
            return std::nullopt;
    }
    if (digits == 0 || i != n || row < 1 || row > kMaxWorksheetRows)
        return std::nullopt;
    return WorksheetPos{static_cast<int>(row), static_cast<int>(col)};
}

std::string ColumnLetters(int col)
{
    if (col < 1 || col > kMaxWorksheetCols)
        return {};
    std::string s;
    while (col > 0) {
        const int r = (col - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + r));
        col = (col - 1) / 26;
    }
    return s;
}

std::pair<int, int> CellToRowCol(std::string_view ref)
{
    if (auto p = ParseCellRef(ref))
        return {p->row, p->col};
    return {1, 1};
}

std::string RowColToCell(int row, int col)
{
    if (row < 1 || row > kMaxWorksheetRows || col < 1 || col > kMaxWorksheetCols)
        return {};
    return "$" + ColumnLetters(col) + "$" + std::to_string(row);
}

}  // namespace trevolo
