#pragma once
// What the shown sheet's commands keep of its tables between runs, so that a
// command over the largest sheet (1000 lots x 100 values) does not go through
// every text again when only a few cells changed: the values converted, and
// the lines of the sheet's record. Each lot is taken again only when the row
// stamps of the lot and value tables say a cell of it may have changed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cellstore.h"
#include "model/comtype.h"
#include "stats/lot_table.h"

namespace trevolo {

// The values of the tables converted, as ParsedLots converts them; labels,
// switches and texts are read from the tables as they stand.
class KeptValues final : public LotSource, private ConvertedCells {
public:
    KeptValues(const CellStore& lotGrid, const CellStore& valueGrid) noexcept : ctrl_(lotGrid), edit_(valueGrid) {}

    // Brings the kept values up to the tables for lots and n: the lots whose
    // value row changed since they were converted are converted again.
    void refresh(int lots, int cols);

    int lotCount() const override { return lots_; }
    int columnCount() const override { return cols_; }
    std::string_view label(int lot) const override { return ctrl_.text(0, lot + 1); }
    bool enabled(int lot) const override { return ctrl_.flag(1, lot + 1); }
    std::string_view cell(int lot, int col) const override { return edit_.text(col, lot + 1); }
    bool number(int lot, int col, double& out) const override { return convertedNumber(lot, col, out); }
    int filledCount(int lot) const override { return convertedFilled(lot); }
    std::optional<ConvertFailure> readLot(int lot, std::vector<double>& values) const override
    {
        return convertedLot(*this, lot, values);
    }

private:
    const CellStore& ctrl_;
    const CellStore& edit_;
    std::vector<std::uint64_t> stamps_;  // the value row's stamp per lot when converted; 0: never
};

// The check and data lines of a record, as StoreTablesToSheet writes them,
// each joined again only when its lot's row changed.
class KeptLines {
public:
    KeptLines(const CellStore& lotGrid, const CellStore& valueGrid) noexcept : ctrl_(lotGrid), edit_(valueGrid) {}

    // Writes the lists of lots and n into the record.
    void store(int lots, int cols, SheetRecord& sheet);

private:
    const CellStore& ctrl_;
    const CellStore& edit_;
    int cols_ = -1;
    // Per lot: the stamps of its lot and value rows when joined, and its line.
    std::vector<std::uint64_t> lotStamps_;
    std::vector<std::uint64_t> valueStamps_;
    std::vector<std::string> lines_;
};

}  // namespace trevolo
