#include "stats/capability.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/number.h"

namespace trevolo {

namespace {

void SetFixed(std::string& cell, double v, int decimals)
{
    cell.clear();
    AppendFixed(cell, v, decimals);
}

void SetInt(std::string& cell, int v)
{
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    cell.assign(buf, end);
}

// The limits the indices need, converted once on first use like the
// command's own conversion; only the limits in force for the kind are read.
class LazyLimits {
public:
    LazyLimits(const CapabilityInput& in) : in_(in) {}

    // False with the failure filled in when a limit in force is not a number.
    bool get(double& upper, double& lower, std::optional<ConvertFailure>& error)
    {
        if (!ready_) {
            const bool needUpper = in_.specKind != SpecLowerOnly;
            const bool needLower = in_.specKind != SpecUpperOnly;
            if (needUpper && !TryStrToFloat(in_.upper, upper_)) {
                error = ConvertFailure{ConvertFailure::Source::SpecLimit, {}, std::string(in_.upper)};
                return false;
            }
            if (needLower && !TryStrToFloat(in_.lower, lower_)) {
                error = ConvertFailure{ConvertFailure::Source::SpecLimit, {}, std::string(in_.lower)};
                return false;
            }
            ready_ = true;
        }
        upper = upper_;
        lower = lower_;
        return true;
    }

private:
    const CapabilityInput& in_;
    bool ready_ = false;
    double upper_ = 0;
    double lower_ = 0;
};

// Columns STDEV, CP and CPK of a row.
bool FillIndices(CalcRow& row, const ValueStats& st, const CapabilityInput& in, LazyLimits& limits,
                 std::optional<ConvertFailure>& error)
{
    double upper = 0;
    double lower = 0;
    if (!limits.get(upper, lower, error))
        return false;
    SetFixed(row[CalcStdev], static_cast<double>(st.stdev), 5);
    const CapabilityIndices ix = ComputeIndices(in.specKind, upper, lower, st.mean, st.stdev);
    SetFixed(row[CalcCp], ix.cp, 3);
    SetFixed(row[CalcCpk], ix.cpk, 3);
    return true;
}

// Columns N to R of a row.
void FillBasics(CalcRow& row, const ValueStats& st)
{
    SetInt(row[CalcN], st.n);
    SetFixed(row[CalcMax], st.max, 5);
    SetFixed(row[CalcMin], st.min, 5);
    SetFixed(row[CalcMean], static_cast<double>(st.mean), 5);
}

double TextValue(const std::string& formatted)
{
    // Our own "%.5f" texts always convert.
    double v = 0;
    TryStrToFloat(formatted, v);
    return v;
}

}  // namespace

ValueStats ComputeStats(std::span<const double> values) noexcept
{
    ValueStats st;
    st.n = static_cast<int>(values.size());
    if (values.empty())
        return st;
    // Two partial sums halve the dependency chain of the long double adds.
    long double sum0 = 0;
    long double sum1 = 0;
    double mx = values[0];
    double mn = values[0];
    const size_t n = values.size();
    size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const double a = values[i];
        const double b = values[i + 1];
        sum0 += a;
        sum1 += b;
        mx = std::max(mx, std::max(a, b));
        mn = std::min(mn, std::min(a, b));
    }
    if (i < n) {
        sum0 += values[i];
        mx = std::max(mx, values[i]);
        mn = std::min(mn, values[i]);
    }
    st.max = mx;
    st.min = mn;
    st.sum = sum0 + sum1;
    st.mean = st.sum / st.n;
    if (st.n > 1 && mx != mn) {
        long double ss0 = 0;
        long double ss1 = 0;
        for (i = 0; i + 1 < n; i += 2) {
            const long double d0 = values[i] - st.mean;
            const long double d1 = values[i + 1] - st.mean;
            ss0 += d0 * d0;
            ss1 += d1 * d1;
        }
        if (i < n) {
            const long double d = values[i] - st.mean;
            ss0 += d * d;
        }
        st.ss = ss0 + ss1;
        st.stdev = std::sqrt(st.ss / (st.n - 1));
    }
    return st;
}

void PooledStats::add(const ValueStats& part)
{
    if (part.n == 0)
        return;
    if (total_.n == 0) {
        total_.max = part.max;
        total_.min = part.min;
    } else {
        total_.max = std::max(total_.max, part.max);
        total_.min = std::min(total_.min, part.min);
    }
    total_.n += part.n;
    total_.sum += part.sum;
    parts_.push_back({part.n, part.mean, part.ss});
}

ValueStats PooledStats::result() const noexcept
{
    ValueStats st = total_;
    if (st.n == 0)
        return st;
    st.mean = st.sum / st.n;
    if (st.n > 1 && st.max != st.min) {
        long double ss = 0;
        for (const Part& p : parts_) {
            const long double d = p.mean - st.mean;
            ss += p.ss + p.n * d * d;
        }
        st.ss = ss;
        st.stdev = std::sqrt(ss / (st.n - 1));
    }
    return st;
}

CapabilityIndices ComputeIndices(int specKind, double upper, double lower, long double mean, long double stdev) noexcept
{
    CapabilityIndices ix;
    const long double u = upper;
    const long double l = lower;
    switch (specKind) {
    case SpecUpperOnly:
        ix.cp = ix.cpk = static_cast<double>((u - mean) / (3 * stdev));
        break;
    case SpecLowerOnly:
        ix.cp = ix.cpk = static_cast<double>((mean - l) / (3 * stdev));
        break;
    default: {
        ix.cp = static_cast<double>((u - l) / (6 * stdev));
        const double cpu = static_cast<double>((u - mean) / (3 * stdev));
        const double cpl = static_cast<double>((mean - l) / (3 * stdev));
        ix.cpk = cpu <= cpl ? cpu : cpl;
        break;
    }
    }
    return ix;
}

namespace {

// Column R of a lot row: the lot's range, or on the X-Rs chart the moving
// range from the previous lot row (0 for the first).
void FillLotRange(CapabilityResult& r, CalcRow& row, const ValueStats& st, bool movingRange)
{
    if (!movingRange) {
        SetFixed(row[CalcRange], st.max - st.min, 5);
    } else if (r.lotRows == 0) {
        SetFixed(row[CalcRange], 0.0, 5);
    } else {
        // The moving range of the table is the difference of the means as
        // shown, so it agrees with what the reader sees in column X.
        const std::string& prev = r.rows[r.rows.size() - 2][CalcMean];
        SetFixed(row[CalcRange], std::fabs(TextValue(row[CalcMean]) - TextValue(prev)), 5);
    }
}

// Appends the row of one lot's values; false with r.error set when a spec
// limit in force is not a number.
bool AddLotRow(CapabilityResult& r, const ValueStats& st, std::string_view label, const CapabilityInput& in,
               LazyLimits& limits)
{
    const bool movingRange = in.chartKind == ChartXRs;
    CalcRow& row = r.rows.emplace_back();
    row[CalcLot] = label;
    FillBasics(row, st);
    FillLotRange(r, row, st, movingRange);
    ++r.lotRows;
    if (st.n > 1 && !movingRange && st.max - st.min != 0) {
        if (!FillIndices(row, st, in, limits, r.error))
            return false;
    } else if (st.n > 1 && in.chartKind == ChartXbarS) {
        // Equal values: s is 0, and the S side judges the lot at 0. No
        // index can be taken from a spread of 0.
        SetFixed(row[CalcStdev], 0.0, 5);
    }
    return true;
}

// Appends the lot rows of the enabled lots; false when a measured value or
// a spec limit stopped the run (r.error says which).
bool AddLotRows(CapabilityResult& r, const LotSource& lots, const CapabilityInput& in, LazyLimits& limits,
                PooledStats& pooled)
{
    const int lotCount = lots.lotCount();
    const int cols = lots.columnCount();
    std::vector<double> values;
    values.reserve(static_cast<size_t>(cols > 0 ? cols : 0));
    r.rows.reserve(static_cast<size_t>(lotCount > 0 ? lotCount : 0) + 1);

    for (int lot = 0; lot < lotCount; ++lot) {
        if (!lots.enabled(lot))
            continue;
        if (auto failure = ReadLotValues(lots, lot, values)) {
            r.error = std::move(failure);
            return false;
        }
        if (values.empty())
            continue;
        const ValueStats st = ComputeStats(values);
        pooled.add(st);
        if (!AddLotRow(r, st, lots.label(lot), in, limits))
            return false;
    }
    return true;
}

// Appends the total row over all lot rows; false when the run ends here
// (too few values for statistics, or a spec limit that is not a number).
bool AddTotalRow(CapabilityResult& r, const PooledStats& pooled, const CapabilityInput& in, LazyLimits& limits)
{
    r.tableRows = r.lotRows + 2;
    CalcRow& total = r.rows.emplace_back();
    total[CalcLot] = kTotalLabel;
    const ValueStats st = pooled.result();
    if (st.n <= 1)
        return false;

    // The average range is taken over the texts of the lot rows, the first
    // lot's moving range of 0 included.
    long double rangeSum = 0;
    for (int i = 0; i < r.lotRows; ++i)
        rangeSum += TextValue(r.rows[static_cast<size_t>(i)][CalcRange]);
    FillBasics(total, st);
    SetFixed(total[CalcRange], static_cast<double>(rangeSum / r.lotRows), 5);
    r.totalComputed = true;
    if (st.max != st.min)
        return FillIndices(total, st, in, limits, r.error);
    return true;
}

// Writes the verdict column of every row, the total row included, and the
// panel's verdict; stops with r.error set at the first index to judge when
// the threshold is not a number.
void JudgeRows(CapabilityResult& r, const CapabilityInput& in)
{
    bool failed = false;
    bool haveThreshold = false;
    double threshold = 0;
    const int judgedCol = in.thresholdIndex == 0 ? CalcCp : CalcCpk;
    for (size_t i = 0; i < r.rows.size(); ++i) {
        CalcRow& row = r.rows[i];
        if (!in.thresholdOn) {
            row[CalcVerdict] = kVerdictOff;
            continue;
        }
        const std::string& index = row[static_cast<size_t>(judgedCol)];
        if (index.empty())
            continue;
        if (!haveThreshold) {
            if (!TryStrToFloat(in.threshold, threshold)) {
                r.error = ConvertFailure{ConvertFailure::Source::Threshold,
                                         {CalcVerdict, static_cast<int>(i) + 1},
                                         std::string(in.threshold)};
                return;
            }
            haveThreshold = true;
        }
        if (threshold <= TextValue(index)) {
            row[CalcVerdict] = kVerdictOk;
        } else {
            row[CalcVerdict] = kVerdictNg;
            failed = true;
        }
    }
    r.panel = failed ? Verdict::Fail : Verdict::Pass;
}

}  // namespace

CapabilityResult ComputeCapability(const LotSource& lots, const CapabilityInput& in)
{
    CapabilityResult r;
    LazyLimits limits(in);
    PooledStats pooled;
    if (!AddLotRows(r, lots, in, limits, pooled) || r.lotRows == 0)
        return r;
    if (!AddTotalRow(r, pooled, in, limits))
        return r;
    JudgeRows(r, in);
    return r;
}

bool CalcCellIsRed(int col, int row, std::string_view text, const CalcMarking& m) noexcept
{
    static constexpr std::string_view kCross = "×";
    if (text.substr(0, kCross.size()) == kCross)
        return true;
    if (!m.flag || !m.thresholdOn || row <= 0 || col <= 0)
        return false;
    const int judgedCol = m.thresholdIndex == 0 ? CalcCp : CalcCpk;
    if (col != judgedCol || IsBlank(text))
        return false;
    double v = 0;
    double threshold = 0;
    if (!TryStrToFloat(text, v) || !TryStrToFloat(m.threshold, threshold))
        return false;
    return v < threshold;
}

}  // namespace trevolo
