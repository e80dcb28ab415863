#pragma once
// The coefficient method of the control limits, as JIS Z 9020-2 and the
// textbooks compute them: the lots are subgroups of one size n, and the
// limits come from the mean range (X̄-R), the mean standard deviation (X̄-S)
// or the mean moving range of single values (X-Rs) with the control chart
// constants. The ±1σ and ±2σ lines lie at one and two thirds of the way from
// the centre line to the 3σ line on each side, so the run rules' zones keep
// their meaning; the hidden R/S/Rs lines likewise.
//
// The same summary of the lots gives the within-lot standard deviation of
// the capability study.
#include <optional>
#include <string>

#include "stats/control_limits.h"
#include "stats/lot_table.h"

namespace trevolo {

// Why the lots do not suit a computation from their size.
struct SubgroupStop {
    enum class Kind {
        UnequalSizes,     // a lot differs in size from the first lot
        NotSingleValues,  // X-Rs: a lot holds more than one value
        SizeOne,          // X̄-R or X̄-S with one value per lot
        RangeTooLarge,    // X̄-R with more than 25 values per lot
    };
    Kind kind = Kind::UnequalSizes;
    std::string lot;    // the label of the first lot that differs
    int size = 0;       // its number of values (the common size for SizeOne, RangeTooLarge)
    int firstSize = 0;  // the first lot's number of values
};

// The enabled lots with values, seen as subgroups.
struct SubgroupSummary {
    int lots = 0;                     // lots with at least one value
    int n = 0;                        // values per lot (the first lot's size)
    int values = 0;                   // all values
    long double mean = 0;             // mean of all values (X̿ for lots of one size)
    long double overallStdev = 0;     // sample standard deviation of all values
    long double meanRange = 0;        // R̄
    long double meanStdev = 0;        // s̄
    long double meanMovingRange = 0;  // MR̄: lots − 1 moving ranges of the lot means
    std::optional<SubgroupStop> stop;
    // A value that is not a number ended the reading.
    std::optional<ConvertFailure> error;
};

// Reads the enabled lots once. The stop is set when the lots do not suit the
// chart kind's constants: unequal sizes (every lot one value for X-Rs), and
// on the X̄-R chart a size outside 2..25, on the X̄-S chart a size of one.
SubgroupSummary SummariseSubgroups(const LotSource& lots, int chartKind);

// The guidance message of a stop for the limit commands: it names the first
// lot that differs and says to use the three-sigma method or make the lots
// equal, or names the chart kind that suits the size.
std::string SubgroupStopMessage(const SubgroupStop& stop, int chartKind);
// The same reason in a few words, for the capability panel.
std::string SubgroupStopShort(const SubgroupStop& stop);

// The within-lot standard deviation after the chart kind: R̄/d₂ (X̄-R),
// s̄/c₄ (X̄-S), MR̄/d₂(2) = MR̄/1.128 (X-Rs). 0 when the summary has a stop.
long double WithinSigma(const SubgroupSummary& s, int chartKind) noexcept;

// The effective degrees of freedom of σ within from `lots` lots of n values
// (X-Rs: `lots` single values), that is of R̄/d₂, s̄/c₄ or MR̄/1.128: the ν
// whose χ-based estimate has the same relative variance, ν = 1/(2·CV²).
// Fewer than they would be from all values at once, since the estimators use
// only the spread inside the lots (or between neighbours). 0 when the lots
// do not give an estimate (fewer than two values, or n outside the chart's
// range).
double WithinDegreesOfFreedom(int chartKind, double lots, int n) noexcept;

// The eleven lines by the coefficient method:
//   X̄-R:  X̿ ± A₂R̄;  R side  R̄, D₄R̄
//   X̄-S:  X̿ ± A₃s̄;  S side  s̄, B₄s̄
//   X-Rs: X̄ ± E₂·MR̄; Rs side MR̄, D₄(2)·MR̄
// With fewer than two values nothing is computed (as the three-sigma
// method); lots that do not suit the method give the stop message.
ControlLimitResult ComputeCoefficientLimits(const LotSource& lots, int chartKind);

}  // namespace trevolo
