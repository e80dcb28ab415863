#pragma once
// The capability study of a sheet beside the per-lot table: σ within the
// lots (R̄/d₂, s̄/c₄ or MR̄/1.128 after the chart kind) and σ overall (the
// sample standard deviation of all values), Cp/Cpk from the first and Pp/Ppk
// from the second, each with its lower confidence bound and a verdict
// against the threshold of the capability page. A study that cannot be
// computed says why in words; no number of it is ever infinite or NaN.
#include <optional>
#include <string>
#include <string_view>

#include "model/comtype.h"
#include "stats/lot_table.h"

namespace trevolo {

inline constexpr const char* kCapableText = "工程能力あり（95%信頼）";
inline constexpr const char* kIncapableText = "工程能力不足";

struct CapabilityStudyInput {
    int chartKind = ChartXbarR;    // the control chart kind (ChartKind)
    int specKind = SpecTolerance;  // the specification kind (SpecKind)
    std::string_view upper;        // the upper specification limit, as typed
    std::string_view lower;        // the lower specification limit, as typed
    bool thresholdOn = true;       // whether the capability threshold is judged
    int thresholdIndex = 1;        // the index judged: 0 Cp (Pp), 1 Cpk (Ppk)
    std::string_view threshold;    // the capability threshold, as typed
    // One-sided confidence of the lower bounds.
    double confidence = 0.95;
};

// The indices from one σ. For a one-sided kind both indices are the index of
// that side (CPU or CPL), as in the statistics table.
struct CapabilityIndexSet {
    // False: why says in words what is missing.
    bool computed = false;
    std::string why;
    double sigma = 0;
    double cp = 0;   // Cp or Pp
    double cpk = 0;  // Cpk or Ppk
    double cpLower = 0;
    double cpkLower = 0;
    // Degrees of freedom of σ in the bounds: N − 1 for σ overall, the
    // effective ones of the estimator for σ within.
    double dof = 0;
    // "工程能力あり（95%信頼）", "工程能力不足", "データ不足（あと約 M 個）",
    // "－" without the threshold judgment, or the reason there is none.
    std::string verdict;
};

struct CapabilityStudy {
    int values = 0;
    double mean = 0;
    // Set when nothing can be computed: the reason in words.
    std::string why;
    CapabilityIndexSet within;   // Cp, Cpk
    CapabilityIndexSet overall;  // Pp, Ppk
};

CapabilityStudy StudyCapability(const LotSource& lots, const CapabilityStudyInput& in);

// Lower confidence bound of Cp from σ with ν degrees of freedom:
// Cp·√(χ²(1−confidence; ν)/ν), the χ² quantile from Boost.Math (ν need not be
// whole). ν = N − 1 for the sample standard deviation of N values.
double CpLowerBound(double cp, double dof, double confidence);
// Bissell's lower bound of Cpk (or of a one-sided index) from N values and σ
// with ν degrees of freedom: Cpk − z·√(1/(9N) + Cpk²/(2ν)), z the normal
// quantile of the confidence (1.645 for 95 %). The first term is the
// uncertainty of the mean, from all N values; the second that of σ.
double CpkLowerBound(double cpk, double values, double dof, double confidence);

}  // namespace trevolo
