#include "model/cellstore.h"

#include <atomic>

namespace trevolo {

namespace {
const std::string kEmpty;

// Each store takes its stamps from a range of its own: 2^32 ranges of 2^32
// stamps, so a copy of a row kept for one store never matches another's.
std::atomic<std::uint64_t> nextRange{1};
}  // namespace

CellStore::CellStore(int columns, int rows)
    : columns_(columns < 0 ? 0 : columns),
      rows_(rows < 0 ? 0 : rows),
      texts_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_)),
      flags_(texts_.size(), 0),
      stamps_(static_cast<size_t>(rows_))
{
    restamp();
}

CellStore::CellStore(const CellStore& other)
    : columns_(other.columns_),
      rows_(other.rows_),
      rowsInUse_(other.rowsInUse_),
      texts_(other.texts_),
      flags_(other.flags_),
      stamps_(other.stamps_)
{
    restamp();
}

CellStore& CellStore::operator=(const CellStore& other)
{
    if (this != &other) {
        columns_ = other.columns_;
        rows_ = other.rows_;
        rowsInUse_ = other.rowsInUse_;
        texts_ = other.texts_;
        flags_ = other.flags_;
        stamps_.resize(static_cast<size_t>(rows_));
        restamp();
    }
    return *this;
}

void CellStore::restamp()
{
    clock_ = nextRange.fetch_add(1, std::memory_order_relaxed) << 32;
    ++clock_;
    for (std::uint64_t& s : stamps_)
        s = clock_;
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
    touch(row);
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
