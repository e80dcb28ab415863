#include "stats/lot_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/number.h"

namespace trevolo {

LotTable::LotTable(std::vector<Lot> lots) : lots_(std::move(lots))
{
    for (const Lot& l : lots_)
        columns_ = std::max(columns_, static_cast<int>(l.cells.size()));
}

LotTable::LotTable(std::vector<Lot> lots, int columns) : lots_(std::move(lots)), columns_(columns) {}

std::string_view LotTable::cell(int lot, int col) const
{
    const std::vector<std::string>& cells = lots_[static_cast<size_t>(lot)].cells;
    if (col < 0 || static_cast<size_t>(col) >= cells.size())
        return {};
    return cells[static_cast<size_t>(col)];
}

bool LotSource::number(int lot, int col, double& out) const
{
    return TryStrToFloat(cell(lot, col), out);
}

int LotSource::filledCount(int lot) const
{
    int count = 0;
    const int cols = columnCount();
    for (int c = 0; c < cols; ++c)
        if (!IsBlank(cell(lot, c)))
            ++count;
    return count;
}

std::optional<ConvertFailure> LotSource::readLot(int lot, std::vector<double>& values) const
{
    values.clear();
    const int cols = columnCount();
    for (int c = 0; c < cols; ++c) {
        const std::string_view text = cell(lot, c);
        if (IsBlank(text))
            continue;
        double v = 0;
        if (!number(lot, c, v))
            return ConvertFailure{ConvertFailure::Source::MeasuredValue, {c, lot + 1}, std::string(text)};
        values.push_back(v);
    }
    return std::nullopt;
}

void ConvertedCells::convertLot(const LotSource& texts, int lot)
{
    size_t i = static_cast<size_t>(lot) * static_cast<size_t>(cols_);
    int filled = 0;
    for (int c = 0; c < cols_; ++c, ++i) {
        const std::string_view text = texts.cell(lot, c);
        kinds_[i] = Blank;
        // A text starting with a visible character is not blank; only the
        // others need the full look.
        if (text.empty() || (static_cast<unsigned char>(text.front()) <= 32 && IsBlank(text)))
            continue;
        ++filled;
        kinds_[i] = TryStrToFloatQuick(text, values_[i]) ? Number : NotNumber;
    }
    filled_[static_cast<size_t>(lot)] = filled;
}

bool ConvertedCells::convertedNumber(int lot, int col, double& out) const
{
    if (lot < 0 || col < 0 || col >= cols_ || lot >= lots_)
        return false;
    const size_t i = static_cast<size_t>(lot) * static_cast<size_t>(cols_) + static_cast<size_t>(col);
    if (kinds_[i] != Number)
        return false;
    out = values_[i];
    return true;
}

int ConvertedCells::convertedFilled(int lot) const
{
    return (lot >= 0 && lot < lots_) ? filled_[static_cast<size_t>(lot)] : 0;
}

std::optional<ConvertFailure> ConvertedCells::convertedLot(const LotSource& texts, int lot,
                                                           std::vector<double>& values) const
{
    values.clear();
    if (lot < 0 || lot >= lots_)
        return std::nullopt;
    const size_t first = static_cast<size_t>(lot) * static_cast<size_t>(cols_);
    for (int c = 0; c < cols_; ++c) {
        const size_t i = first + static_cast<size_t>(c);
        if (kinds_[i] == Number)
            values.push_back(values_[i]);
        else if (kinds_[i] == NotNumber)
            return ConvertFailure{ConvertFailure::Source::MeasuredValue, {c, lot + 1}, std::string(texts.cell(lot, c))};
    }
    return std::nullopt;
}

ParsedLots::ParsedLots(const LotSource& source) : source_(source)
{
    lots_ = std::max(source.lotCount(), 0);
    cols_ = std::max(source.columnCount(), 0);
    const size_t size = static_cast<size_t>(lots_) * static_cast<size_t>(cols_);
    values_.assign(size, 0.0);
    kinds_.assign(size, Blank);
    filled_.assign(static_cast<size_t>(lots_), 0);
    for (int lot = 0; lot < lots_; ++lot)
        convertLot(source, lot);
}

ParsedLots::ParsedLots(const LotSource& source, std::vector<double> values) : source_(source)
{
    lots_ = std::max(source.lotCount(), 0);
    cols_ = std::max(source.columnCount(), 0);
    values_ = std::move(values);
    const size_t size = static_cast<size_t>(lots_) * static_cast<size_t>(cols_);
    values_.resize(size, std::numeric_limits<double>::quiet_NaN());
    kinds_.resize(size);
    filled_.assign(static_cast<size_t>(lots_), 0);
    size_t i = 0;
    for (int lot = 0; lot < lots_; ++lot) {
        int filled = 0;
        for (int c = 0; c < cols_; ++c, ++i) {
            const bool number = !std::isnan(values_[i]);
            kinds_[i] = number ? Number : Blank;
            filled += number ? 1 : 0;
        }
        filled_[static_cast<size_t>(lot)] = filled;
    }
}

std::optional<ConvertFailure> ReadLotValues(const LotSource& lots, int lot, std::vector<double>& values)
{
    return lots.readLot(lot, values);
}

std::string ConvertFailure::message() const
{
    return ConvertError(text).what();
}

void ConvertFailure::raise() const
{
    throw ConvertError(text);
}

const char* VerdictText(Verdict v) noexcept
{
    switch (v) {
    case Verdict::Pass:
        return kPassText;
    case Verdict::Fail:
        return kFailText;
    case Verdict::None:
        break;
    }
    return "";
}

}  // namespace trevolo
