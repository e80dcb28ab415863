#pragma once
// The cells of one table: a text and a flag for every cell of rows 0 to 1000
// and every column the table can show, whatever the displayed counts.
// Reducing a displayed count hides cells without erasing them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trevolo {

inline constexpr int kStoreRows = 1001;  // header row 0 and data rows 1..1000

class CellStore {
public:
    explicit CellStore(int columns, int rows = kStoreRows);
    // A copy has stamps of its own (see rowStamp).
    CellStore(const CellStore& other);
    CellStore& operator=(const CellStore& other);

    int columns() const noexcept { return columns_; }
    int rows() const noexcept { return rows_; }
    // One past the last row ever written: the rows below it are empty.
    int rowsInUse() const noexcept { return rowsInUse_; }
    bool contains(int col, int row) const noexcept { return col >= 0 && col < columns_ && row >= 0 && row < rows_; }

    // Out-of-range cells read as empty and ignore writes.
    const std::string& text(int col, int row) const noexcept;
    void setText(int col, int row, std::string_view text);
    // Direct access for bulk work; the cell must exist. Handing a cell out
    // for writing counts as a change of its row.
    std::string& cell(int col, int row) noexcept
    {
        touch(row);
        return texts_[index(col, row)];
    }
    const std::string& cell(int col, int row) const noexcept { return texts_[index(col, row)]; }

    bool flag(int col, int row) const noexcept;
    void setFlag(int col, int row, bool on);

    // Empties the texts and clears the flags of every cell of one row, or of
    // every row from `first` on.
    void clearRow(int row);
    void clearRows(int first);

    // A number that changes whenever a cell of the row may have changed: a
    // text or flag written, a cell handed out for writing, the row cleared,
    // the store assigned. A copy of what a row holds (its values converted,
    // its stored line) stays valid while the stamp it was taken at does.
    // Stamps are never 0, and no two stores hand out the same one.
    std::uint64_t rowStamp(int row) const noexcept
    {
        return (row >= 0 && row < rows_) ? stamps_[static_cast<size_t>(row)] : 0;
    }

private:
    // A write to the row: it gets a new stamp, and it is in use from now on.
    // Rows from rowsInUse_ on were never written: they are empty and clearing
    // them has nothing to do.
    void touch(int row) noexcept
    {
        stamps_[static_cast<size_t>(row)] = ++clock_;
        if (row >= rowsInUse_)
            rowsInUse_ = row + 1;
    }
    // Every row stamped anew, from a range of stamps no other store uses.
    void restamp();

    size_t index(int col, int row) const noexcept
    {
        return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(col);
    }

    int columns_;
    int rows_;
    int rowsInUse_ = 0;
    std::vector<std::string> texts_;
    std::vector<std::uint8_t> flags_;
    std::vector<std::uint64_t> stamps_;
    std::uint64_t clock_ = 0;
};

}  // namespace trevolo
