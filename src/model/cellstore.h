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

    int columns() const noexcept { return columns_; }
    int rows() const noexcept { return rows_; }
    // One past the last row ever written: the rows below it are empty.
    int rowsInUse() const noexcept { return rowsInUse_; }
    bool contains(int col, int row) const noexcept { return col >= 0 && col < columns_ && row >= 0 && row < rows_; }

    // Out-of-range cells read as empty and ignore writes.
    const std::string& text(int col, int row) const noexcept;
    void setText(int col, int row, std::string_view text);
    // Direct access for bulk work; the cell must exist.
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

private:
    // Rows from rowsInUse_ on were never written: they are empty and clearing
    // them has nothing to do.
    void touch(int row) noexcept
    {
        if (row >= rowsInUse_)
            rowsInUse_ = row + 1;
    }
    size_t index(int col, int row) const noexcept
    {
        return static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(col);
    }

    int columns_;
    int rows_;
    int rowsInUse_ = 0;
    std::vector<std::string> texts_;
    std::vector<std::uint8_t> flags_;
};

}  // namespace trevolo
