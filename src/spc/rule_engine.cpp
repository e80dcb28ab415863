#include "spc/rule_engine.h"

#include <stdexcept>
#include <utility>

namespace trevolo {

bool IsSpcAbnormalText(std::string_view text) noexcept
{
    return Trim(text).starts_with(kSpcMarkAbnormal);
}

std::string SpcColumnTitle(int column, int chartKind)
{
    if (column >= 1 && column <= kSpcRuleCount)
        return std::string("X") + kSpcRuleMarks[static_cast<size_t>(column - 1)];
    if (column > kSpcRuleCount && column <= 2 * kSpcRuleCount)
        return std::string(SpreadSideName(chartKind)) + kSpcRuleMarks[static_cast<size_t>(column - kSpcRuleCount - 1)];
    return {};
}

std::string SingleValueLotMessage(std::string_view label)
{
    const std::string_view format = kMsgSingleValueLot;
    const size_t at = format.find("%s");
    std::string text(format.substr(0, at));
    text += label;
    text += format.substr(at + 2);
    return text;
}

int SpcValueColumn(SpcSide side, std::string_view chartText) noexcept
{
    if (side == SpcSide::X)
        return kCalcColumnMean;
    return chartText == kChartTexts[ChartXbarS] ? kCalcColumnStdev : kCalcColumnRange;
}

SpcLines ParseSpcLines(const SpcXLineTexts& t)
{
    SpcLines l;
    l.CL = StrToFloat(t.Xcl);
    l.U3 = StrToFloat(t.Ucl3);
    l.L3 = StrToFloat(t.Lcl3);
    l.U2 = StrToFloat(t.Ucl2);
    l.U1 = StrToFloat(t.Ucl1);
    l.L2 = StrToFloat(t.Lcl2);
    l.L1 = StrToFloat(t.Lcl1);
    return l;
}

SpcLines ParseSpcLines(const SpcDispersionLineTexts& t)
{
    SpcLines l;
    l.CL = StrToFloat(t.Rcl);
    l.U3 = StrToFloat(t.RsUcl3);
    l.U2 = StrToFloat(t.RsUcl2);
    l.U1 = StrToFloat(t.RsUcl1);
    l.L3 = l.L2 = l.L1 = 0;
    return l;
}

std::vector<double> ParseSpcValues(std::span<const std::string> texts)
{
    std::vector<double> values;
    values.reserve(texts.size());
    for (const std::string& t : texts)
        values.push_back(StrToFloat(t));
    return values;
}

std::uint8_t SpcZoneClass(double v, const SpcLines& l) noexcept
{
    if (v > l.U2 || v < l.L2)
        return 1;
    if (v > l.U1 || v < l.L1)
        return 2;
    return 3;
}

const char* SpcMarkText(SpcMark mark) noexcept
{
    switch (mark) {
    case SpcMark::Normal:
        return kSpcMarkNormal;
    case SpcMark::Abnormal:
        return kSpcMarkAbnormal;
    case SpcMark::Off:
        break;
    }
    return kSpcMarkOff;
}

void JudgeZoneRule(bool on, std::span<const std::uint8_t> zones, unsigned hit, int k, int w, std::span<SpcMark> out)
{
    if (out.size() != zones.size())
        throw std::invalid_argument("JudgeZoneRule: one mark per lot");
    int position = 0;
    int hits = 0;
    bool pending = false;
    for (size_t i = 0; i < zones.size(); ++i) {
        ++position;
        if (hit & (1u << zones[i]))
            ++hits;
        if (hits == k) {
            hits = 0;
            pending = true;
        }
        // End of a block: nothing carries over into the next one, but a mark
        // completed at this very lot is still written below.
        if (position == w) {
            position = 0;
            hits = 0;
        }
        if (!on) {
            out[i] = SpcMark::Off;
        } else if (pending) {
            out[i] = SpcMark::Abnormal;
            pending = false;
        } else {
            out[i] = SpcMark::Normal;
        }
    }
}

namespace {

// How a lot's value moved from the previous lot's; the first lot makes no
// move.
enum class Move { None, Up, Down, Flat };

Move MoveFrom(double previous, double v, bool first) noexcept
{
    if (first)
        return Move::None;
    if (v > previous)
        return Move::Up;
    if (v < previous)
        return Move::Down;
    return Move::Flat;
}

// Rule 1: beyond the 3σ lines.
SpcMark JudgeBeyondLimits(double v, const SpcLines& l, const RuleOptions& o) noexcept
{
    if (!o.beyondLimits)
        return SpcMark::Off;
    return (v > l.U3 || v < l.L3) ? SpcMark::Abnormal : SpcMark::Normal;
}

// Rule 2: runs above and below the centre line. A value on the centre line
// ends both runs; a completed run starts over.
class SameSideRun {
public:
    SpcMark next(double v, const SpcLines& l, const RuleOptions& o) noexcept
    {
        if (v > l.CL) {
            below_ = 0;
            ++above_;
        } else if (v < l.CL) {
            above_ = 0;
            ++below_;
        } else {
            above_ = below_ = 0;
        }
        if (!o.sameSide)
            return SpcMark::Off;
        if (above_ < o.sameSideRun && below_ < o.sameSideRun)
            return SpcMark::Normal;
        above_ = below_ = 0;
        return SpcMark::Abnormal;
    }

private:
    int above_ = 0;
    int below_ = 0;
};

// Rule 3: consecutive rises and falls; a flat move ends both, a completed
// run starts over.
class TrendRun {
public:
    SpcMark next(Move move, const RuleOptions& o) noexcept
    {
        if (move == Move::Up) {
            falls_ = 0;
            ++rises_;
        } else if (move == Move::Down) {
            rises_ = 0;
            ++falls_;
        } else if (move == Move::Flat) {
            rises_ = falls_ = 0;
        }
        if (!o.trend)
            return SpcMark::Off;
        if (rises_ < o.trendRun && falls_ < o.trendRun)
            return SpcMark::Normal;
        rises_ = falls_ = 0;
        return SpcMark::Abnormal;
    }

private:
    int rises_ = 0;
    int falls_ = 0;
};

// Rule 4: alternating moves. Two moves the same way or a flat move end the
// alternation; a completed one starts over, forgetting the last direction.
class AlternationRun {
public:
    SpcMark next(Move move, const RuleOptions& o) noexcept
    {
        if (move == Move::Up)
            turn(lastUp_, lastDown_);
        else if (move == Move::Down)
            turn(lastDown_, lastUp_);
        else if (move == Move::Flat)
            reset();
        if (!o.alternating)
            return SpcMark::Off;
        if (alternations_ < o.alternatingRun)
            return SpcMark::Normal;
        reset();
        return SpcMark::Abnormal;
    }

private:
    // A move in the direction `same`, away from `other`.
    void turn(bool& same, bool& other) noexcept
    {
        other = false;
        if (same) {
            alternations_ = 0;
        } else {
            same = true;
            ++alternations_;
        }
    }

    void reset() noexcept
    {
        lastUp_ = lastDown_ = false;
        alternations_ = 0;
    }

    int alternations_ = 0;
    bool lastUp_ = false;
    bool lastDown_ = false;
};

}  // namespace

SpcSideMarks EvaluateSpcRules(std::span<const double> values, const SpcLines& l, const RuleOptions& o)
{
    const size_t n = values.size();
    SpcSideMarks m;
    for (auto& column : m.rule)
        column.resize(n);

    std::vector<std::uint8_t> zones(n);
    for (size_t i = 0; i < n; ++i)
        zones[i] = SpcZoneClass(values[i], l);

    SameSideRun sameSide;
    TrendRun trend;
    AlternationRun alternation;
    double previous = 0;
    for (size_t i = 0; i < n; ++i) {
        const double v = values[i];
        const Move move = MoveFrom(previous, v, i == 0);
        m.rule[0][i] = JudgeBeyondLimits(v, l, o);
        m.rule[1][i] = sameSide.next(v, l, o);
        m.rule[2][i] = trend.next(move, o);
        m.rule[3][i] = alternation.next(move, o);
        previous = v;
    }

    JudgeZoneRule(o.beyond2Sigma, zones, kHitBeyond2Sigma, o.beyond2SigmaHits, o.beyond2SigmaBlock, m.rule[4]);
    JudgeZoneRule(o.beyond1Sigma, zones, kHitBeyond1Sigma, o.beyond1SigmaHits, o.beyond1SigmaBlock, m.rule[5]);
    JudgeZoneRule(o.within1Sigma, zones, kHitWithin1Sigma, o.within1SigmaRun, o.within1SigmaRun, m.rule[6]);
    JudgeZoneRule(o.outside1Sigma, zones, kHitBeyond1Sigma, o.outside1SigmaRun, o.outside1SigmaRun, m.rule[7]);
    return m;
}

// --- SpcTable --------------------------------------------------------------

SpcTable::SpcTable(std::vector<std::string> labels)
    : labels_(std::move(labels)), cells_(labels_.size() * kSpcColumns, Empty)
{
}

std::string_view SpcTable::text(int row, int column) const
{
    if (row < 1 || row > lots() || column < 0 || column >= kSpcColumns)
        throw std::out_of_range("SpcTable::text");
    switch (cell(row, column)) {
    case Empty:
        return {};
    case Label:
        return labels_[static_cast<size_t>(row - 1)];
    case Off:
        return kSpcMarkOff;
    case Normal:
        return kSpcMarkNormal;
    case Abnormal:
        return kSpcMarkAbnormal;
    case VerdictNormal:
        return kSpcVerdictNormal;
    case VerdictAbnormal:
        return kSpcVerdictAbnormal;
    }
    return {};
}

bool SpcTable::sideWritten(SpcSide side) const noexcept
{
    return written_[side == SpcSide::X ? 0 : 1];
}

void SpcTable::writeSide(SpcSide side, const SpcSideMarks& marks)
{
    for (const auto& column : marks.rule)
        if (column.size() != labels_.size())
            throw std::invalid_argument("SpcTable::writeSide: one mark per lot");
    const int offset = SpcColumnOffset(side);
    for (int row = 1; row <= lots(); ++row) {
        cell(row, 0) = Label;
        for (int r = 0; r < kSpcRuleCount; ++r) {
            const SpcMark mk = marks.rule[static_cast<size_t>(r)][static_cast<size_t>(row - 1)];
            cell(row, offset + r + 1) = mk == SpcMark::Abnormal ? Abnormal : mk == SpcMark::Normal ? Normal : Off;
        }
    }
    written_[side == SpcSide::X ? 0 : 1] = true;
}

bool SpcTable::writeVerdicts()
{
    bool any = false;
    for (int row = 1; row <= lots(); ++row) {
        bool abnormal = false;
        for (int c = 1; c <= 2 * kSpcRuleCount && !abnormal; ++c)
            abnormal = cell(row, c) == Abnormal;
        cell(row, kSpcVerdictColumn) = abnormal ? VerdictAbnormal : VerdictNormal;
        any = any || abnormal;
    }
    return any;
}

// --- Steps of the judgment -------------------------------------------------

namespace {

template <class LineTexts>
void JudgeSide(SpcTable& table, SpcSide side, const LineTexts& lineTexts, std::span<const std::string> valueTexts,
               const RuleOptions& options)
{
    if (static_cast<int>(valueTexts.size()) != table.lots())
        throw std::invalid_argument("JudgeSpcSide: one value per lot row");
    // Everything is converted before the first cell is written.
    const SpcLines lines = ParseSpcLines(lineTexts);
    const std::vector<double> values = ParseSpcValues(valueTexts);
    table.writeSide(side, EvaluateSpcRules(values, lines, options));
}

}  // namespace

void JudgeSpcSide(SpcTable& table, const SpcXLineTexts& lines, std::span<const std::string> valueTexts,
                  const RuleOptions& options)
{
    JudgeSide(table, SpcSide::X, lines, valueTexts, options);
}

void JudgeSpcSide(SpcTable& table, const SpcDispersionLineTexts& lines, std::span<const std::string> valueTexts,
                  const RuleOptions& options)
{
    JudgeSide(table, SpcSide::Dispersion, lines, valueTexts, options);
}

bool SetSpcVerdicts(SpcTable& table)
{
    return table.writeVerdicts();
}

SpcJudgment JudgeSpc(const SpcInput& input, const RuleOptions& options)
{
    SpcJudgment j;
    j.table = SpcTable(input.labels);
    try {
        JudgeSpcSide(j.table, input.xLines, input.xValues, options);
        if (input.dispersionIsStdev) {
            // A lot with a single value has no S to judge: say which lot,
            // rather than failing on its empty cell.
            for (size_t i = 0; i < input.dispersionValues.size(); ++i) {
                if (IsBlank(input.dispersionValues[i])) {
                    j.stop = SingleValueLotMessage(i < input.labels.size() ? input.labels[i] : std::string());
                    return j;
                }
            }
        }
        JudgeSpcSide(j.table, input.dispersionLines, input.dispersionValues, options);
        j.abnormal = SetSpcVerdicts(j.table);
    } catch (const ConvertError& e) {
        j.error = e;
    }
    return j;
}

}  // namespace trevolo
