#pragma once
// The three-sigma control limits of the current sheet: the centre line and
// the ±1σ, ±2σ, ±3σ lines of the X side and the centre line and +1σ, +2σ,
// +3σ lines of the R, S or Rs side, from the values of the enabled lots.
// Every σ is the sample standard deviation of all individual values taken
// part; the R/S/Rs centre is the mean of the lots' ranges, standard
// deviations or moving ranges after the chart kind. The panel asks, reads
// and writes; this file only computes.
#include <array>
#include <optional>
#include <string>

#include "model/comtype.h"
#include "stats/lot_table.h"

namespace trevolo {

// The eleven control-limit lines, in the order they are listed: the X side
// (m and s of all values), then the R/S/Rs side (C its centre line).
enum LimitField : int {
    LimitUcl3 = 0,     // m + 3s
    LimitUcl2 = 1,     // m + 2s
    LimitUcl1 = 2,     // m + s
    LimitLcl3 = 3,     // m − 3s
    LimitLcl2 = 4,     // m − 2s
    LimitLcl1 = 5,     // m − s
    LimitXcl = 6,      // m
    LimitRcl = 7,      // C
    LimitRsUcl3 = 8,   // C + 3s
    LimitRsUcl2 = 9,   // C + 2s (not shown: follows the centre and +3s lines)
    LimitRsUcl1 = 10,  // C + s  (not shown: follows the centre and +3s lines)
    kLimitFields = 11,
};

// The names of the lines the three-sigma method computes, as the panel
// names its nine visible lines (LimitUcl3 .. LimitRsUcl3) while they are
// computed.
inline constexpr std::array<const char*, LimitRsUcl3 + 1> kThreeSigmaLineNames = {
    "＋３σ", "＋２σ", "＋１σ", "－３σ", "－２σ", "－１σ", "平均値", "平均値", "＋３σ"};
// The names of the same lines while their limits are typed.
inline constexpr std::array<const char*, LimitRsUcl3 + 1> kTypedLineNames = {"上限規格値", "上限管理値", "設定管理値",
                                                                             "下限規格値", "下限管理値", "設定管理値",
                                                                             "中央値",     "中央値",     "上限管理値"};

// The ways the control limits are set: computed from the
// standard deviation of all values, typed line by line, or computed from the
// lots' ranges, standard deviations or moving ranges with the control chart
// constants (the coefficient method). New items go at the end, so a stored
// index keeps its meaning.
enum : int { LimitThreeSigma = 0, LimitTyped = 1, LimitCoefficient = 2 };
// The same items as a type, for the shown sheet; settings keep the index.
enum class LimitMethod : int { ThreeSigma = LimitThreeSigma, Typed = LimitTyped, Coefficient = LimitCoefficient };

constexpr LimitMethod LimitMethodOfIndex(int index) noexcept
{
    return index >= 0 && index <= 2 ? static_cast<LimitMethod>(index) : LimitMethod::ThreeSigma;
}
constexpr int IndexOf(LimitMethod method) noexcept
{
    return static_cast<int>(method);
}

// Number of included values: non-blank cells of enabled lots. Reads no number.
int CountIncludedValues(const LotSource& lots);

struct ControlLimitResult {
    int valueCount = 0;  // included values
    // True when the texts hold the eleven lines: at least two included values,
    // every one a number. With fewer values nothing is computed and nothing
    // is reported.
    bool computed = false;
    std::array<std::string, kLimitFields> texts;  // "%.4f"
    // The lines as computed, before they are rounded to texts.
    std::array<double, kLimitFields> values{};
    // The lots do not suit the method (the coefficient method needs lots of
    // one size): the guidance message, and nothing is computed.
    std::optional<std::string> stop;
    // The first included cell that is not a number, found while every value
    // is read and before any line is computed.
    std::optional<ConvertFailure> error;
};

// chartKind is the control chart kind: 1 takes the S series, 2 the moving
// ranges of the lot means (the first lot with values has 0), any other the
// R series. Lots without an included value have no entry in the series.
ControlLimitResult ComputeLimitTexts(const LotSource& lots, int chartKind);

// Writes the texts of the computed values and marks the result computed.
ControlLimitResult FinishLimits(ControlLimitResult& r);

// The limits by a computing method: the coefficient method for
// LimitCoefficient, the three-sigma method for any other (the typed method
// computes with the three-sigma method when asked to).
ControlLimitResult ComputeLimits(const LotSource& lots, int chartKind, int method);

}  // namespace trevolo
