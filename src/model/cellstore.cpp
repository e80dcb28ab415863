#include "model/cellstore.h"

namespace trevolo {

namespace {
const std::string kEmpty;
}

CellStore::CellStore(int columns, int rows)
    : columns_(columns < 0 ? 0 : columns),
      rows_(rows < 0 ? 0 : rows),
      texts_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_)),
      flags_(texts_.size(), 0)
{
}

const std::string& CellStore::text(int col, int row) const noexcept
{
    return contains(col, row) ? texts_[index(col, row)] : kEmpty;
}

void CellStore::setText(int col, int row, std::string_view text)
{
    if (contains(col, row))
        cell(col, row).assign(text);
}

bool CellStore::flag(int col, int row) const noexcept
{
    return contains(col, row) && flags_[index(col, row)] != 0;
}

void CellStore::setFlag(int col, int row, bool on)
{
    if (contains(col, row)) {
        touch(row);
        flags_[index(col, row)] = on ? 1 : 0;
    }
}

void CellStore::clearRow(int row)
{
    if (row < 0 || row >= rowsInUse_)
        return;
    for (int c = 0; c < columns_; ++c) {
        texts_[index(c, row)].clear();
        flags_[index(c, row)] = 0;
    }
}

void CellStore::clearRows(int first)
{
    first = first < 0 ? 0 : first;
    for (int r = first; r < rowsInUse_; ++r)
        clearRow(r);
    if (first < rowsInUse_)
        rowsInUse_ = first;
}

}  // namespace trevolo
