#include "stats/lot_table.h"

#include <algorithm>

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

ParsedLots::ParsedLots(const LotSource& source) : source_(source), cols_(std::max(source.columnCount(), 0))
{
    const size_t size = static_cast<size_t>(std::max(source.lotCount(), 0)) * static_cast<size_t>(cols_);
    values_.assign(size, 0.0);
    isNumber_.assign(size, 0);
    size_t i = 0;
    for (int lot = 0; lot < source.lotCount(); ++lot)
        for (int c = 0; c < cols_; ++c, ++i)
            isNumber_[i] = TryStrToFloat(source.cell(lot, c), values_[i]) ? 1 : 0;
}

bool ParsedLots::number(int lot, int col, double& out) const
{
    if (lot < 0 || col < 0 || col >= cols_ || lot >= source_.lotCount())
        return false;
    const size_t i = static_cast<size_t>(lot) * static_cast<size_t>(cols_) + static_cast<size_t>(col);
    if (!isNumber_[i])
        return false;
    out = values_[i];
    return true;
}

std::optional<ConvertFailure> ReadLotValues(const LotSource& lots, int lot, std::vector<double>& values)
{
    values.clear();
    const int cols = lots.columnCount();
    for (int c = 0; c < cols; ++c) {
        const std::string_view text = lots.cell(lot, c);
        if (IsBlank(text))
            continue;
        double v = 0;
        if (!lots.number(lot, c, v))
            return ConvertFailure{ConvertFailure::Source::MeasuredValue, {c, lot + 1}, std::string(text)};
        values.push_back(v);
    }
    return std::nullopt;
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
