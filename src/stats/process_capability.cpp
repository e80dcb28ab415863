#include "stats/process_capability.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <functional>

#include "model/number.h"
#include "stats/capability.h"
#include "stats/coefficient_limits.h"

namespace trevolo {

namespace {

constexpr const char* kTooFewValues = "データが2個未満のため計算できません";
constexpr const char* kNoSpread = "ばらつきが0のため計算できません";
constexpr const char* kLimitBlank = "規格値が入力されていないため計算できません";
constexpr const char* kLimitNotNumber = "規格値が数値ではないため計算できません";
constexpr const char* kThresholdNotNumber = "しきい値が数値ではないため判定できません";
constexpr const char* kNotFinite = "計算できません";

// The bound of an index estimate as a function of the number of values.
using BoundOf = std::function<double(long values)>;

// How a σ's degrees of freedom grow with the values: σ overall by single
// values, σ within by whole lots of the sheet's size.
struct Growth {
    int step = 1;
    std::function<double(long values)> dof;
};

// The verdict of one index against the threshold: its bound reaches it, the
// estimate itself is below it, or more values would make the bound reach it
// at the present estimate (the fewest such in steps of `step` values, found
// by doubling and halving).
std::string VerdictFor(double estimate, int values, int step, double threshold, const BoundOf& bound)
{
    if (bound(values) >= threshold)
        return kCapableText;
    if (estimate < threshold)
        return kIncapableText;
    // The bound grows with the number of values towards the estimate; an
    // estimate just at the threshold never gets there.
    constexpr long kMostSteps = 100'000'000;
    auto valuesAt = [&](long steps) { return values + steps * step; };
    long low = 0;
    long high = 1;
    while (bound(valuesAt(high)) < threshold) {
        if (high >= kMostSteps)
            return "データ不足（推定値がしきい値と同じため、必要な個数を見積もれません）";
        low = high;
        high = std::min(high * 2, kMostSteps);
    }
    while (high - low > 1) {
        const long mid = low + (high - low) / 2;
        if (bound(valuesAt(mid)) >= threshold)
            high = mid;
        else
            low = mid;
    }
    return "データ不足（あと約 " + std::to_string(high * step) + " 個）";
}

bool Finite(const CapabilityIndexSet& s)
{
    return std::isfinite(s.sigma) && std::isfinite(s.cp) && std::isfinite(s.cpk) && std::isfinite(s.cpLower) &&
           std::isfinite(s.cpkLower);
}

CapabilityIndexSet IndicesFor(long double sigma, long double mean, int values, const Growth& growth, double upper,
                              double lower, const CapabilityStudyInput& in)
{
    CapabilityIndexSet s;
    if (!(sigma > 0)) {
        s.why = kNoSpread;
        return s;
    }
    const CapabilityIndices ix = ComputeIndices(in.specKind, upper, lower, mean, sigma);
    s.sigma = static_cast<double>(sigma);
    s.cp = ix.cp;
    s.cpk = ix.cpk;
    s.dof = growth.dof(values);
    // A one-sided index depends on the mean as Cpk does: Bissell's bound.
    const bool twoSided = in.specKind == SpecTolerance;
    const double confidence = in.confidence;
    const BoundOf cpBound = [cp = s.cp, twoSided, confidence, &growth](long n) {
        const double dof = growth.dof(n);
        return twoSided ? CpLowerBound(cp, dof, confidence) : CpkLowerBound(cp, double(n), dof, confidence);
    };
    const BoundOf cpkBound = [cpk = s.cpk, confidence, &growth](long n) {
        return CpkLowerBound(cpk, double(n), growth.dof(n), confidence);
    };
    s.cpLower = cpBound(values);
    s.cpkLower = cpkBound(values);
    if (!Finite(s) || !(s.dof > 0)) {
        s = {};
        s.why = kNotFinite;
        return s;
    }
    s.computed = true;
    if (!in.thresholdOn) {
        s.verdict = "－";
        return s;
    }
    double threshold = 0;
    if (!TryStrToFloat(in.threshold, threshold) || !std::isfinite(threshold)) {
        s.verdict = kThresholdNotNumber;
        return s;
    }
    const bool judgeCp = in.thresholdIndex == 0;
    s.verdict = VerdictFor(judgeCp ? s.cp : s.cpk, values, growth.step, threshold, judgeCp ? cpBound : cpkBound);
    return s;
}

}  // namespace

double CpLowerBound(double cp, double dof, double confidence)
{
    const boost::math::chi_squared chi(dof);
    return cp * std::sqrt(boost::math::quantile(chi, 1.0 - confidence) / dof);
}

// Bissell, A. F. (1990), "How reliable is your capability index?", Applied
// Statistics 39, 331–340. With σ from subgroups the second term takes the
// estimator's degrees of freedom in place of N − 1.
double CpkLowerBound(double cpk, double values, double dof, double confidence)
{
    const double z = boost::math::quantile(boost::math::normal(), confidence);
    return cpk - z * std::sqrt(1.0 / (9.0 * values) + cpk * cpk / (2.0 * dof));
}

CapabilityStudy StudyCapability(const LotSource& lots, const CapabilityStudyInput& in)
{
    CapabilityStudy study;
    const SubgroupSummary s = SummariseSubgroups(lots, in.chartKind);
    if (s.error) {
        study.why = s.error->message();
        return study;
    }
    study.values = s.values;
    study.mean = static_cast<double>(s.mean);
    if (s.values < 2) {
        study.why = kTooFewValues;
        return study;
    }
    double upper = 0;
    double lower = 0;
    const std::pair<std::string_view, double*> limits[] = {{in.specKind != SpecLowerOnly ? in.upper : "0", &upper},
                                                           {in.specKind != SpecUpperOnly ? in.lower : "0", &lower}};
    for (const auto& [text, value] : limits) {
        if (IsBlank(text)) {
            study.why = kLimitBlank;
            return study;
        }
        if (!TryStrToFloat(text, *value) || !std::isfinite(*value)) {
            study.why = kLimitNotNumber;
            return study;
        }
    }
    if (s.stop) {
        study.within.why = SubgroupStopShort(*s.stop);
    } else {
        // More values come as more lots of the same size.
        const int chart = in.chartKind;
        const int size = chart == ChartXRs ? 1 : s.n;
        const Growth within{size,
                            [chart, size](long n) { return WithinDegreesOfFreedom(chart, double(n) / size, size); }};
        study.within = IndicesFor(WithinSigma(s, chart), s.mean, s.values, within, upper, lower, in);
    }
    const Growth overall{1, [](long n) { return double(n - 1); }};
    study.overall = IndicesFor(s.overallStdev, s.mean, s.values, overall, upper, lower, in);
    return study;
}

}  // namespace trevolo
