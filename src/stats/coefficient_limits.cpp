#include "stats/coefficient_limits.h"

#include <cmath>
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
