#pragma once
// The measurement table of the current sheet as the judgment computations
// read it: one row per lot with the lot grid's label and enabled flag beside
// the texts of the displayed measurement columns. The window adapts its cell
// store to LotSource without copying; tests and the batch tool use LotTable.
//
// Positions are the grids' own addresses: column and row from 0, row 0 the
// header, so lot i (from 0) stands in row i + 1.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cellstore.h"

namespace trevolo {

struct ConvertFailure;

class LotSource {
public:
    virtual ~LotSource() = default;
    // Number of lots (data rows of the measurement table).
    virtual int lotCount() const = 0;
    // Number of displayed measurement columns (n).
    virtual int columnCount() const = 0;
    // Lot number text of the lot grid, column 0.
    virtual std::string_view label(int lot) const = 0;
    // The lot enabled flag ("有効").
    virtual bool enabled(int lot) const = 0;
    // Text of a measurement cell; lot 0 .. lotCount()-1, col 0 .. columnCount()-1.
    virtual std::string_view cell(int lot, int col) const = 0;
    // The number of a non-blank cell; false when its text is not a number.
    virtual bool number(int lot, int col, double& out) const;
    // The number of non-blank cells of one lot.
    virtual int filledCount(int lot) const;
    // What ReadLotValues does (below); a source holding converted values
    // reads them without going through the texts again.
    virtual std::optional<ConvertFailure> readLot(int lot, std::vector<double>& values) const;
};

struct Lot {
    std::string label;
    bool enabled = true;
    std::vector<std::string> cells;
};

// A self-contained table. Lots shorter than the column count read as empty
// cells beyond their end.
class LotTable final : public LotSource {
public:
    LotTable() = default;
    // The column count is the longest lot's cell count.
    explicit LotTable(std::vector<Lot> lots);
    LotTable(std::vector<Lot> lots, int columns);

    int lotCount() const override { return static_cast<int>(lots_.size()); }
    int columnCount() const override { return columns_; }
    std::string_view label(int lot) const override { return lots_[static_cast<size_t>(lot)].label; }
    bool enabled(int lot) const override { return lots_[static_cast<size_t>(lot)].enabled; }
    std::string_view cell(int lot, int col) const override;

    std::vector<Lot>& lots() { return lots_; }
    const std::vector<Lot>& lots() const { return lots_; }

private:
    std::vector<Lot> lots_;
    int columns_ = 0;
};

// The window's own tables as a LotSource, without copying: lot labels from
// column 0 and the enabled flags from the check column (column 1) of the lot
// grid, values from columns 0 .. cols-1 of the measurement grid, for the
// data rows 1 .. lots.
class GridLots final : public LotSource {
public:
    GridLots(const CellStore& lotGrid, const CellStore& valueGrid, int lots, int cols) noexcept
        : ctrl_(lotGrid), edit_(valueGrid), lots_(lots), cols_(cols)
    {
    }

    int lotCount() const override { return lots_; }
    int columnCount() const override { return cols_; }
    std::string_view label(int lot) const override { return ctrl_.text(0, lot + 1); }
    bool enabled(int lot) const override { return ctrl_.flag(1, lot + 1); }
    std::string_view cell(int lot, int col) const override { return edit_.text(col, lot + 1); }

private:
    const CellStore& ctrl_;
    const CellStore& edit_;
    int lots_;
    int cols_;
};

// A grid position: column and row from 0, row 0 the header.
struct CellPos {
    int col = 0;
    int row = 0;
    friend bool operator==(const CellPos&, const CellPos&) = default;
};

// A text that had to be a number and was not. The computations stop there and
// return what they produced up to that point together with this record; the
// command then shows the program's general error for it (raise()).
struct ConvertFailure {
    enum class Source {
        MeasuredValue,  // a cell of the measurement table; pos is its position there
        SpecLimit,      // the upper or lower specification limit; pos unused
        Threshold,      // the capability threshold; pos.row is the statistics row being judged
    };
    Source source = Source::MeasuredValue;
    CellPos pos;
    std::string text;  // the offending text as it stood

    // "'<text>' は浮動小数点数ではありません"
    std::string message() const;
    // Throws ConvertError for the text, for the command's general error guard.
    [[noreturn]] void raise() const;
};

// Every cell of a table of lots converted: the number of each cell, which
// cells are blank or not numbers, and how many are filled per lot. ParsedLots
// converts a source once; the window keeps such a table across its commands
// and converts again only the lots that changed.
class ConvertedCells {
protected:
    enum Kind : unsigned char { Blank, Number, NotNumber };

    // Converts the cells of one lot, read from texts, in place.
    void convertLot(const LotSource& texts, int lot);
    bool convertedNumber(int lot, int col, double& out) const;
    int convertedFilled(int lot) const;
    // The numbers of a lot, or the first of its texts (read from texts) that
    // is not a number.
    std::optional<ConvertFailure> convertedLot(const LotSource& texts, int lot, std::vector<double>& values) const;

    int lots_ = 0;
    int cols_ = 0;
    std::vector<double> values_;
    std::vector<Kind> kinds_;
    std::vector<int> filled_;  // non-blank cells per lot
};

// Another source with every cell converted once, for a run of several
// computations over the same values (limits, specification, capability).
// Texts, labels and flags are read from the source as they are.
class ParsedLots final : public LotSource, private ConvertedCells {
public:
    explicit ParsedLots(const LotSource& source);
    // The same from values converted already: values holds the number of
    // every cell of the source, lot by lot, NaN where the cell is blank
    // (lotCount() x columnCount() of them); the caller vouches that each
    // text reads as its value.
    ParsedLots(const LotSource& source, std::vector<double> values);
    int lotCount() const override { return source_.lotCount(); }
    int columnCount() const override { return cols_; }
    std::string_view label(int lot) const override { return source_.label(lot); }
    bool enabled(int lot) const override { return source_.enabled(lot); }
    std::string_view cell(int lot, int col) const override { return source_.cell(lot, col); }
    bool number(int lot, int col, double& out) const override { return convertedNumber(lot, col, out); }
    int filledCount(int lot) const override { return convertedFilled(lot); }
    std::optional<ConvertFailure> readLot(int lot, std::vector<double>& values) const override
    {
        return convertedLot(source_, lot, values);
    }

private:
    const LotSource& source_;
};

// Reads the non-blank cells of one lot, left to right, into values (cleared
// first). A cell that is not a number ends the reading: its failure is
// returned and values holds what was read before it.
std::optional<ConvertFailure> ReadLotValues(const LotSource& lots, int lot, std::vector<double>& values);

// An overall verdict panel's outcome. None leaves the panel without a verdict
// (or, where a command says so, as it was).
enum class Verdict { None, Pass, Fail };

inline constexpr const char* kPassText = "合格";
inline constexpr const char* kFailText = "不合格";

// "合格", "不合格" or "" for None.
const char* VerdictText(Verdict v) noexcept;

}  // namespace trevolo
