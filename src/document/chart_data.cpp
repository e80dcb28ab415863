#include "document/chart_data.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "entry/lot_numbers.h"
#include "model/number.h"
#include "stats/capability.h"

namespace trevolo {

namespace {

// The statistics columns each chart reads.
int SpreadColumn(int chartKind) noexcept
{
    return chartKind == ChartXbarS ? CalcStdev : CalcRange;
}

std::string SpreadTitle(int chartKind)
{
    return std::string(SpreadSideName(chartKind)) + "管理図";
}

bool IsMark(std::string_view text) noexcept
{
    return Trim(text) == "×";
}

// The title of an SPC rule column as the SPC table shows it ("X①", "Rs⑧"),
// or as it would while the table has no title row yet.
std::string MarkName(const SheetSession& s, int column)
{
    const std::string& title = s.spcCells().text(column, 0);
    if (!title.empty())
        return title;
    return SpcColumnTitle(column, IndexOf(s.chartKind()));
}

// The lot row (1 = first lot) each statistics row shows, 0 for none: the
// table lists every lot before a capability judgment and only the lots that
// took part after one, so its rows are matched to the lots by their numbers.
std::vector<int> LotRowsOfCalcRows(const SheetSession& s)
{
    const CellStore& lots = s.lotCells();
    const CellStore& values = s.valueCells();
    std::vector<std::string> labels(static_cast<size_t>(s.lots()));
    std::vector<bool> takesPart(labels.size(), false);
    for (int r = 1; r <= s.lots(); ++r) {
        labels[static_cast<size_t>(r - 1)] = lots.text(0, r);
        if (!lots.flag(1, r))
            continue;
        for (int c = 0; c < s.columns() && !takesPart[static_cast<size_t>(r - 1)]; ++c)
            takesPart[static_cast<size_t>(r - 1)] = !IsBlank(values.text(c, r));
    }
    std::vector<std::string> rowLabels;
    for (int r = 1; r < s.calcRowCount(); ++r)
        rowLabels.push_back(s.calcCells().text(CalcLot, r));
    const std::vector<int> lotOf = MatchTableRowsToLots(labels, takesPart, rowLabels);
    std::vector<int> rows(static_cast<size_t>(std::max(1, s.calcRowCount())), 0);
    for (size_t i = 0; i < lotOf.size() && i + 1 < rows.size(); ++i)
        rows[i + 1] = lotOf[i] + 1;
    return rows;
}

// The points of one side: every lot row of the statistics table whose value
// is a number, with the marks of its SPC row. The SPC table keeps its last
// judgment while the statistics are computed again, so a row's marks count
// only while the SPC row still names the same lot.
std::vector<ChartPoint> Points(const SheetSession& s, int valueColumn, int firstRuleColumn)
{
    std::vector<ChartPoint> points;
    const CellStore& calc = s.calcCells();
    const CellStore& spc = s.spcCells();
    const int last = std::min(s.calcRowCount() - 1, calc.rows() - 1);
    points.reserve(static_cast<size_t>(std::max(0, last)));
    const std::vector<int> lotRows = LotRowsOfCalcRows(s);
    for (int row = 1; row <= last; ++row) {
        const std::string& label = calc.text(CalcLot, row);
        if (label.empty() || label == kTotalLabel)
            continue;
        double v = 0;
        if (!TryStrToFloat(calc.text(valueColumn, row), v))
            continue;
        ChartPoint p;
        p.calcRow = row;
        p.lotRow = static_cast<size_t>(row) < lotRows.size() ? lotRows[static_cast<size_t>(row)] : 0;
        p.label = label;
        p.value = v;
        if (row < s.spcRowCount() && spc.text(0, row) == label)
            for (int c = firstRuleColumn; c < firstRuleColumn + 8; ++c)
                if (IsMark(spc.text(c, row)))
                    p.marks.push_back(MarkName(s, c));
        points.push_back(std::move(p));
    }
    return points;
}

LevelLine Line(const SheetSession& s, int field, LevelLine::Kind kind, int box, std::string name)
{
    LevelLine l;
    l.kind = kind;
    l.field = field;
    l.name = std::move(name);
    l.shown = s.lineAutomatic()[static_cast<size_t>(box)] && TryStrToFloat(s.limit(field), l.value);
    return l;
}

LevelLine VisibleLine(const SheetSession& s, int field, LevelLine::Kind kind)
{
    return Line(s, field, kind, field, s.lineNames()[static_cast<size_t>(field)]);
}

std::vector<LevelLine> SpecLines(const SheetSession& s)
{
    std::vector<LevelLine> lines;
    LevelLine upper;
    upper.kind = LevelLine::Kind::Spec;
    upper.name = kUpperSpecName;
    upper.shown = s.header().upperEnabled() && TryStrToFloat(s.header().upper, upper.value);
    lines.push_back(upper);
    LevelLine lower;
    lower.kind = LevelLine::Kind::Spec;
    lower.name = kLowerSpecName;
    lower.shown = s.header().lowerEnabled() && TryStrToFloat(s.header().lower, lower.value);
    lines.push_back(lower);
    return lines;
}

template <class T>
const T* AtLotRow(const std::vector<T>& v, int lotRow)
{
    return lotRow >= 1 && static_cast<size_t>(lotRow) <= v.size() ? &v[static_cast<size_t>(lotRow - 1)] : nullptr;
}

// The store's alarm marks and notes of each point's lot, and the steps of
// every shown line where the limits in force for some lots differ from the
// sheet's: each point then takes its lot's value of the line, or the
// sheet's own where the store gives none (or a text that is no number).
void AddOverlay(const SheetSession& s, ControlChart& c)
{
    const StoreOverlay& o = s.storeOverlay();
    if (o.empty())
        return;
    std::vector<const std::array<std::string, kLimitFields>*> limitsOf(c.points.size(), nullptr);
    bool anyLimits = false;
    for (size_t i = 0; i < c.points.size(); ++i) {
        ChartPoint& p = c.points[i];
        const int lotRow = p.lotRow;
        if (const auto* marks = AtLotRow(o.alarmMarks, lotRow))
            p.alarmMarks = *marks;
        if (const auto* notes = AtLotRow(o.notes, lotRow))
            p.notes = *notes;
        if (const auto* limits = AtLotRow(o.limits, lotRow); limits && limits->has_value()) {
            limitsOf[i] = &**limits;
            anyLimits = true;
        }
    }
    if (!anyLimits)
        return;
    for (LevelLine& l : c.lines) {
        if (!l.shown || l.field < 0)
            continue;
        std::vector<double> steps(c.points.size(), l.value);
        bool differs = false;
        for (size_t i = 0; i < steps.size(); ++i) {
            double v = 0;
            if (limitsOf[i] && TryStrToFloat((*limitsOf[i])[static_cast<size_t>(l.field)], v)) {
                steps[i] = v;
                differs = differs || v != l.value;
            }
        }
        if (differs)
            l.steps = std::move(steps);
    }
}

}  // namespace

int HistogramClassCount(const std::string& text, int fallback) noexcept
{
    int k = 0;
    if (!TryStrToInt(text, k))
        return fallback;
    return std::clamp(k, kMinHistogramClasses, kMaxHistogramClasses);
}

ControlChart BuildXChart(const SheetSession& s)
{
    ControlChart c;
    c.title = "X管理図";
    c.points = Points(s, CalcMean, 1);
    using K = LevelLine::Kind;
    for (int f : {LimitUcl3, LimitUcl2, LimitUcl1})
        c.lines.push_back(VisibleLine(s, f, K::Control));
    c.lines.push_back(VisibleLine(s, LimitXcl, K::Centre));
    for (int f : {LimitLcl1, LimitLcl2, LimitLcl3})
        c.lines.push_back(VisibleLine(s, f, K::Control));
    for (LevelLine& l : SpecLines(s))
        c.lines.push_back(std::move(l));
    AddOverlay(s, c);
    return c;
}

ControlChart BuildSpreadChart(const SheetSession& s)
{
    ControlChart c;
    c.title = SpreadTitle(IndexOf(s.chartKind()));
    c.points = Points(s, SpreadColumn(IndexOf(s.chartKind())), 9);
    using K = LevelLine::Kind;
    c.lines.push_back(VisibleLine(s, LimitRcl, K::Centre));
    c.lines.push_back(VisibleLine(s, LimitRsUcl3, K::Control));
    // The hidden +2σ and +1σ lines have no box of their own: they are
    // computed with the +3σ line and are drawn while it is.
    c.lines.push_back(Line(s, LimitRsUcl2, K::Control, LimitRsUcl3, "＋２σ"));
    c.lines.push_back(Line(s, LimitRsUcl1, K::Control, LimitRsUcl3, "＋１σ"));
    AddOverlay(s, c);
    return c;
}

Histogram BuildHistogram(const SheetSession& s)
{
    Histogram h;
    h.classCount = HistogramClassCount(s.histogramClasses());
    h.specLimits = SpecLines(s);
    const GridLots lots(s.lotCells(), s.valueCells(), s.lots(), s.columns());
    for (int lot = 0; lot < lots.lotCount(); ++lot) {
        if (!lots.enabled(lot))
            continue;
        for (int col = 0; col < lots.columnCount(); ++col) {
            double v = 0;
            if (TryStrToFloat(lots.cell(lot, col), v))
                h.values.push_back(v);
        }
    }
    if (h.values.empty())
        return h;

    const auto [lo, hi] = std::minmax_element(h.values.begin(), h.values.end());
    double from = *lo;
    double to = *hi;
    if (to <= from) {
        // One value throughout: a class one step of the shown decimals wide
        // around it, so the bar has a width.
        int decimals = 3;
        TryStrToInt(s.header().decimals, decimals);
        const double step = std::pow(10.0, -std::clamp(decimals, 0, 5));
        from -= step / 2;
        to += step / 2;
    }
    const int k = h.classCount;
    const double width = (to - from) / k;
    h.classes.resize(static_cast<size_t>(k));
    for (int i = 0; i < k; ++i) {
        h.classes[static_cast<size_t>(i)].from = from + width * i;
        h.classes[static_cast<size_t>(i)].to = i == k - 1 ? to : from + width * (i + 1);
    }
    long double sum = 0;
    for (double v : h.values) {
        sum += v;
        // The last class takes the largest value.
        const int i = std::clamp(static_cast<int>(std::floor((v - from) / width)), 0, k - 1);
        ++h.classes[static_cast<size_t>(i)].count;
    }
    const auto n = static_cast<long double>(h.values.size());
    h.mean = static_cast<double>(sum / n);
    if (h.values.size() >= 2) {
        long double sq = 0;
        for (double v : h.values)
            sq += (v - h.mean) * (v - h.mean);
        h.stdev = static_cast<double>(std::sqrt(sq / (n - 1)));
    }
    if (h.stdev > 0) {
        const double left = std::min(from, h.mean - 3 * h.stdev);
        const double right = std::max(to, h.mean + 3 * h.stdev);
        constexpr int kSteps = 80;
        const double scale = static_cast<double>(n) * width / (h.stdev * std::sqrt(2 * std::numbers::pi));
        h.curve.reserve(kSteps + 1);
        for (int i = 0; i <= kSteps; ++i) {
            const double x = left + (right - left) * i / kSteps;
            const double z = (x - h.mean) / h.stdev;
            h.curve.emplace_back(x, scale * std::exp(-z * z / 2));
        }
    }
    return h;
}

ChartData BuildChartData(const SheetSession& s)
{
    return {BuildXChart(s), BuildSpreadChart(s), BuildHistogram(s)};
}

std::string PointText(const ChartPoint& p)
{
    std::string t = "ロット " + p.label + "  " + FormatFixed(p.value, 4);
    if (!p.marks.empty()) {
        t += " ";
        for (const std::string& m : p.marks)
            t += " " + m;
    }
    if (!p.alarmMarks.empty()) {
        t += "  アラーム";
        for (const std::string& m : p.alarmMarks)
            t += " " + m;
    }
    for (const std::string& n : p.notes)
        t += "\nメモ: " + n;
    return t;
}

}  // namespace trevolo
