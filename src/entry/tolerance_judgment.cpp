#include "entry/tolerance_judgment.h"

#include <random>

#include "model/number.h"

namespace trevolo {

RequiredField FindMissingRequiredField(const SpecHeaderTexts& h) noexcept
{
    if (IsBlank(h.label))
        return RequiredField::Label;
    if (IsBlank(h.unit))
        return RequiredField::Unit;
    if (h.upperEnabled && IsBlank(h.upper))
        return RequiredField::Upper;
    if (h.lowerEnabled && IsBlank(h.lower))
        return RequiredField::Lower;
    return RequiredField::None;
}

bool ParseSpecLimits(int kind, std::string_view upper, std::string_view lower, SpecLimits& out) noexcept
{
    SpecLimits l;
    l.kind = kind;
    if (l.upperInForce() && !TryStrToFloat(upper, l.upper))
        return false;
    if (l.lowerInForce() && !TryStrToFloat(lower, l.lower))
        return false;
    out = l;
    return true;
}

SpecPrecheck PrecheckSpecJudgment(const SpecHeaderTexts& header,
                                  std::span<const std::string_view> controlLimitTexts) noexcept
{
    SpecPrecheck r;
    r.missing = FindMissingRequiredField(header);
    if (r.missing != RequiredField::None) {
        r.stop = SpecStop::MissingField;
        return r;
    }
    if (!ParseSpecLimits(header.kind, header.upper, header.lower, r.limits)) {
        r.stop = SpecStop::LimitNotNumber;
        return r;
    }
    for (std::string_view t : controlLimitTexts) {
        if (IsBlank(t)) {
            r.stop = SpecStop::NoControlLimits;
            return r;
        }
    }
    return r;
}

SpecStopMessage MessageForStop(SpecStop stop) noexcept
{
    switch (stop) {
    case SpecStop::MissingField:
        return {kMsgRequiredMissing, false};
    case SpecStop::LimitNotNumber:
        return {kMsgSpecLimitInvalid, true};
    case SpecStop::NoControlLimits:
        return {kMsgNoControlLimits, false};
    case SpecStop::None:
        break;
    }
    return {};
}

Verdict SpecJudgment::verdict() const noexcept
{
    if (error || judged == 0)
        return Verdict::None;
    return failed ? Verdict::Fail : Verdict::Pass;
}

SpecJudgment JudgeSpecification(const LotSource& lots, const SpecLimits& limits)
{
    SpecJudgment r;
    const int rows = lots.lotCount();
    const int cols = lots.columnCount();
    for (int lot = 0; lot < rows; ++lot) {
        // The row is decided at its first failing value; a conversion error
        // ends the judging altogether. Blank cells are still collected so the
        // cleanup covers the whole table either way.
        bool judging = !r.error;
        for (int c = 0; c < cols; ++c) {
            // A number is never blank, so the text is only looked at for
            // the cells that are not numbers.
            double v = 0;
            if (lots.number(lot, c, v)) {
                if (!judging)
                    continue;
                ++r.judged;
                if (limits.outside(v)) {
                    r.failed = true;
                    judging = false;
                }
                continue;
            }
            const std::string_view text = lots.cell(lot, c);
            if (IsBlank(text)) {
                if (!text.empty())
                    r.blanked.push_back({c, lot + 1});
                continue;
            }
            if (judging) {
                r.error = ConvertFailure{ConvertFailure::Source::MeasuredValue, {c, lot + 1}, std::string(text)};
                judging = false;
            }
        }
    }
    return r;
}

bool SpecCellIsRed(int row, std::string_view text, const SpecMarking& m) noexcept
{
    if (!m.flag || row <= 0 || IsBlank(text))
        return false;
    SpecLimits limits;
    double v = 0;
    if (!TryStrToFloat(text, v) || !ParseSpecLimits(m.kind, m.upper, m.lower, limits))
        return false;
    return limits.outside(v);
}

std::vector<std::string> MakeDemoValues(int lots, int cols, std::string_view decimalsText, std::string_view lowerText,
                                        std::uint64_t seed)
{
    std::vector<std::string> out;
    int d = 0;
    double lower = 0;
    if (lots <= 0 || cols <= 0 || !TryStrToInt(decimalsText, d) || d < 0 || d > 5 || !TryStrToFloat(lowerText, lower))
        return out;
    int m = 10;
    for (int i = 0; i < d; ++i)
        m *= 10;
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> draw(0, m - 1);
    out.resize(static_cast<size_t>(lots) * static_cast<size_t>(cols));
    for (std::string& s : out) {
        double v = static_cast<double>(draw(rng)) / m + lower;
        if (v > 0.5)
            v -= 0.5;
        AppendFixed(s, v, d);
    }
    return out;
}

}  // namespace trevolo
