#include "stats/control_limits.h"

#include <cmath>
#include <vector>

#include "model/number.h"
#include "stats/capability.h"
#include "stats/coefficient_limits.h"

namespace trevolo {

int CountIncludedValues(const LotSource& lots)
{
    int count = 0;
    const int lotCount = lots.lotCount();
    for (int lot = 0; lot < lotCount; ++lot) {
        if (!lots.enabled(lot))
            continue;
        count += lots.filledCount(lot);
    }
    return count;
}

ControlLimitResult ComputeLimitTexts(const LotSource& lots, int chartKind)
{
    ControlLimitResult r;
    const int lotCount = lots.lotCount();
    const int cols = lots.columnCount();

    std::vector<double> values;
    values.reserve(static_cast<size_t>(cols > 0 ? cols : 0));
    PooledStats pooled;

    // The R/S/Rs series is summed as it is built; only its mean is needed.
    long double seriesSum = 0;
    int entries = 0;
    long double prevMean = 0;

    for (int lot = 0; lot < lotCount; ++lot) {
        if (!lots.enabled(lot))
            continue;
        if (auto failure = ReadLotValues(lots, lot, values)) {
            r.error = std::move(failure);
            r.valueCount = CountIncludedValues(lots);
            return r;
        }
        if (values.empty())
            continue;
        const ValueStats st = ComputeStats(values);
        pooled.add(st);
        switch (chartKind) {
        case ChartXbarS:
            if (st.n >= 2 && st.max - st.min != 0)
                seriesSum += st.stdev;
            break;
        case ChartXRs:
            if (entries > 0)
                seriesSum += std::fabs(st.mean - prevMean);
            break;
        default:
            seriesSum += static_cast<long double>(st.max) - st.min;
            break;
        }
        prevMean = st.mean;
        ++entries;
    }

    const ValueStats st = pooled.result();
    r.valueCount = st.n;
    if (st.n < 2)
        return r;

    const long double m = st.mean;
    const long double s = st.stdev;
    const long double c = seriesSum / entries;
    const long double line[kLimitFields] = {
        m + 3 * s, m + 2 * s, m + s, m - 3 * s, m - 2 * s, m - s, m, c, c + 3 * s, c + 2 * s, c + s,
    };
    for (int i = 0; i < kLimitFields; ++i)
        r.values[static_cast<size_t>(i)] = static_cast<double>(line[i]);
    return FinishLimits(r);
}

ControlLimitResult FinishLimits(ControlLimitResult& r)
{
    for (int i = 0; i < kLimitFields; ++i)
        AppendFixed(r.texts[static_cast<size_t>(i)], r.values[static_cast<size_t>(i)], 4);
    r.computed = true;
    return r;
}

ControlLimitResult ComputeLimits(const LotSource& lots, int chartKind, int method)
{
    if (method == LimitCoefficient)
        return ComputeCoefficientLimits(lots, chartKind);
    return ComputeLimitTexts(lots, chartKind);
}

}  // namespace trevolo
