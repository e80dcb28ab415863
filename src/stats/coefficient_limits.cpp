#include "stats/coefficient_limits.h"

#include <cmath>
#include <numbers>
#include <vector>

#include "model/comtype.h"
#include "stats/capability.h"
#include "stats/spc_constants.h"

namespace trevolo {

SubgroupSummary SummariseSubgroups(const LotSource& lots, int chartKind)
{
    SubgroupSummary s;
    std::vector<double> values;
    PooledStats pooled;
    long double rangeSum = 0;
    long double stdevSum = 0;
    long double movingSum = 0;
    long double prevMean = 0;
    const int lotCount = lots.lotCount();
    for (int lot = 0; lot < lotCount; ++lot) {
        if (!lots.enabled(lot))
            continue;
        if (auto failure = ReadLotValues(lots, lot, values)) {
            s.error = std::move(failure);
            return s;
        }
        if (values.empty())
            continue;
        const ValueStats st = ComputeStats(values);
        const int size = st.n;
        if (s.lots == 0)
            s.n = size;
        // The first lot that differs is named; its size and the first lot's
        // size go into the message.
        if (!s.stop) {
            if (chartKind == ChartXRs && size != 1)
                s.stop = SubgroupStop{SubgroupStop::Kind::NotSingleValues, std::string(lots.label(lot)), size, s.n};
            else if (chartKind != ChartXRs && size != s.n)
                s.stop = SubgroupStop{SubgroupStop::Kind::UnequalSizes, std::string(lots.label(lot)), size, s.n};
        }
        pooled.add(st);
        rangeSum += static_cast<long double>(st.max) - st.min;
        stdevSum += st.stdev;
        if (s.lots > 0)
            movingSum += std::fabs(st.mean - prevMean);
        prevMean = st.mean;
        ++s.lots;
    }
    const ValueStats all = pooled.result();
    s.values = all.n;
    s.mean = all.mean;
    s.overallStdev = all.stdev;
    if (s.lots == 0)
        return s;
    s.meanRange = rangeSum / s.lots;
    s.meanStdev = stdevSum / s.lots;
    if (s.lots > 1)
        s.meanMovingRange = movingSum / (s.lots - 1);
    if (!s.stop && chartKind != ChartXRs && s.n == 1)
        s.stop = SubgroupStop{SubgroupStop::Kind::SizeOne, {}, 1, 1};
    else if (!s.stop && chartKind == ChartXbarR && s.n > kMaxRangeN)
        s.stop = SubgroupStop{SubgroupStop::Kind::RangeTooLarge, {}, s.n, s.n};
    return s;
}

std::string SubgroupStopMessage(const SubgroupStop& stop, int chartKind)
{
    const std::string size = std::to_string(stop.size);
    switch (stop.kind) {
    case SubgroupStop::Kind::UnequalSizes:
        return "係数法はすべてのロットのデータ数が同じときに使えます。ロット「" + stop.lot + "」のデータ数は " + size +
               " 個で、最初のロットの " + std::to_string(stop.firstSize) +
               " 個と異なります。３シグマ法を使うか、ロットのデータ数を揃えてください。";
    case SubgroupStop::Kind::NotSingleValues:
        return "X-Rs管理図の係数法は各ロットのデータ数が1個のときに使えます。ロット「" + stop.lot + "」のデータ数は " +
               size + " 個です。３シグマ法を使うか、ロットのデータ数を揃えてください。";
    case SubgroupStop::Kind::SizeOne:
        return std::string(kChartTexts[chartKind == ChartXbarS ? ChartXbarS : ChartXbarR]) +
               "の係数法はロットのデータ数が2個以上のときに使えます（このシートは1個）。X-Rs管理図を使ってください。";
    case SubgroupStop::Kind::RangeTooLarge:
        break;
    }
    return "XbarR管理図の係数法はロットのデータ数が2～25個のときに使えます（このシートは " + size +
           " 個）。XbarS管理図を使ってください。";
}

std::string SubgroupStopShort(const SubgroupStop& stop)
{
    switch (stop.kind) {
    case SubgroupStop::Kind::UnequalSizes:
        return "ロット「" + stop.lot + "」のデータ数が他と異なるため計算できません";
    case SubgroupStop::Kind::NotSingleValues:
        return "ロット「" + stop.lot + "」のデータ数が1個でないため計算できません";
    case SubgroupStop::Kind::SizeOne:
        return "ロットのデータ数が1個のため計算できません（X-Rs管理図で計算できます）";
    case SubgroupStop::Kind::RangeTooLarge:
        break;
    }
    return "ロットのデータ数が25個を超えるため計算できません（XbarS管理図で計算できます）";
}

long double WithinSigma(const SubgroupSummary& s, int chartKind) noexcept
{
    if (s.stop || s.lots == 0)
        return 0;
    switch (chartKind) {
    case ChartXbarS:
        return s.meanStdev / ConstC4(s.n);
    case ChartXRs:
        return s.lots > 1 ? s.meanMovingRange / ConstD2(2) : 0;
    default:
        return s.meanRange / ConstD2(s.n);
    }
}

// A bias-corrected estimate of σ with coefficient of variation CV is taken
// as carrying ν = 1/(2·CV²) degrees of freedom, the ν at which χ_ν/√ν has
// that relative variance (Patnaik, P. B. (1950), "The use of mean range as an
// estimator of variance in statistical tests", Biometrika 37, 78–87; Wheeler,
// D. J., Advanced Topics in Statistical Process Control, SPC Press, 1995,
// where this is called the effective degrees of freedom).
double WithinDegreesOfFreedom(int chartKind, double lots, int n) noexcept
{
    if (chartKind == ChartXRs) {
        // MR̄ of m values averages k = m − 1 moving ranges |Xᵢ − Xᵢ₋₁|. With
        // D = Xᵢ − Xᵢ₋₁ ~ N(0, 2σ²): E|D| = 2σ/√π and Var|D| = (2 − 4/π)σ²;
        // neighbouring differences correlate with ρ = −½, and the absolute
        // moment of a normal pair, E|UV| = (2/π)(√(1 − ρ²) + ρ·arcsin ρ) for
        // unit variances (Kamat, A. R. (1953), Biometrika 40, 20–34), gives
        // Cov(|Dᵢ|, |Dᵢ₊₁|) = (2√3/π + 1/3 − 4/π)σ². So
        //   ν = 2k² / (k(2π − 4) + 2(k − 1)(2√3 + π/3 − 4)),
        // 0.876 for two values (as s̄/c₄ of one lot of two) and about
        // 0.61·(m − 1) for many: MR̄/d₂ is the less efficient estimate, as
        // Cryer, J. D. and Ryan, T. P. (1990), "The estimation of sigma for an
        // X chart: MR̄/d₂ or S/c₄?", Journal of Quality Technology 22, 187–192,
        // discuss.
        const double k = lots - 1;
        if (!(k >= 1))
            return 0;
        const double pi = std::numbers::pi;
        return 2 * k * k / (k * (2 * pi - 4) + 2 * (k - 1) * (2 * std::numbers::sqrt3 + pi / 3 - 4));
    }
    if (!(lots >= 1))
        return 0;
    if (chartKind == ChartXbarS) {
        // CV(s/c₄) = √(1 − c₄²)/c₄ for one lot, 1/√m of it for s̄ of m lots:
        // ν = m·c₄²/(2(1 − c₄²)).
        const double c4 = ConstC4(n);
        return c4 > 0 ? lots * c4 * c4 / (2 * (1 - c4 * c4)) : 0;
    }
    // CV(R/d₂) = d₃/d₂ for one lot: ν = m·d₂²/(2·d₃²) (Patnaik 1950), close
    // to the familiar 0.9·m·(n − 1) for small n (3.62·m against 3.6·m for
    // n = 5) and below it for large n.
    const double d2 = ConstD2(n);
    const double d3 = ConstD3(n);
    return d3 > 0 ? lots * d2 * d2 / (2 * d3 * d3) : 0;
}

ControlLimitResult ComputeCoefficientLimits(const LotSource& lots, int chartKind)
{
    ControlLimitResult r;
    const SubgroupSummary s = SummariseSubgroups(lots, chartKind);
    r.valueCount = s.error ? CountIncludedValues(lots) : s.values;
    if (s.error) {
        r.error = s.error;
        return r;
    }
    if (s.values < 2)
        return r;
    if (s.stop) {
        r.stop = SubgroupStopMessage(*s.stop, chartKind);
        return r;
    }
    // The distance from each centre line to its 3σ line.
    long double centre = s.mean;
    long double xReach = 0;
    long double spreadCentre = 0;
    long double spreadUpper = 0;
    switch (chartKind) {
    case ChartXbarS:
        xReach = ConstA3(s.n) * s.meanStdev;
        spreadCentre = s.meanStdev;
        spreadUpper = ConstB4(s.n) * s.meanStdev;
        break;
    case ChartXRs:
        xReach = ConstE2() * s.meanMovingRange;
        spreadCentre = s.meanMovingRange;
        spreadUpper = ConstD4(2) * s.meanMovingRange;
        break;
    default:
        xReach = ConstA2(s.n) * s.meanRange;
        spreadCentre = s.meanRange;
        spreadUpper = ConstD4(s.n) * s.meanRange;
        break;
    }
    const long double spreadReach = spreadUpper - spreadCentre;
    const long double line[kLimitFields] = {
        centre + xReach,
        centre + xReach * 2 / 3,
        centre + xReach / 3,
        centre - xReach,
        centre - xReach * 2 / 3,
        centre - xReach / 3,
        centre,
        spreadCentre,
        spreadUpper,
        spreadCentre + spreadReach * 2 / 3,
        spreadCentre + spreadReach / 3,
    };
    for (int i = 0; i < kLimitFields; ++i)
        r.values[static_cast<size_t>(i)] = static_cast<double>(line[i]);
    return FinishLimits(r);
}

}  // namespace trevolo
