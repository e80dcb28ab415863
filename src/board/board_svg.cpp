#include "board/board_svg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "board/board_html.h"

namespace trevolo {

namespace {

constexpr double kWidth = 960;
constexpr double kHeight = 320;
constexpr double kLeft = 70;
constexpr double kRight = 150;  // room for the line names at the right
constexpr double kTop = 34;
constexpr double kBottom = 30;
constexpr double kLabelGap = 17;

struct Scale {
    double lo = 0;
    double hi = 1;
    double y(double v) const { return kTop + (hi - v) / (hi - lo) * (kHeight - kTop - kBottom); }
};

Scale ScaleOf(double lo, double hi)
{
    if (!(lo <= hi))
        return {};
    if (hi - lo < 1e-12) {
        const double pad = std::max(std::fabs(lo) * 0.05, 1.0);
        return {lo - pad, hi + pad};
    }
    const double pad = (hi - lo) * 0.06;
    return {lo - pad, hi + pad};
}

std::string N(double v)
{
    return NumberText(v, 2);
}

const char* LineClass(LevelLine::Kind kind)
{
    switch (kind) {
    case LevelLine::Kind::Centre:
        return "centre";
    case LevelLine::Kind::Control:
        return "control";
    case LevelLine::Kind::Spec:
        return "spec";
    }
    return "control";
}

// The dash of a line kind, so lines differ without colour.
const char* LineDash(LevelLine::Kind kind)
{
    switch (kind) {
    case LevelLine::Kind::Centre:
        return "";
    case LevelLine::Kind::Control:
        return " stroke-dasharray=\"8 4\"";
    case LevelLine::Kind::Spec:
        return " stroke-dasharray=\"12 3 2 3\"";
    }
    return "";
}

std::string SvgStart(const std::string& title, const char* cls)
{
    return "<svg class=\"" + std::string(cls) + "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + N(kWidth) +
           " " + N(kHeight) + "\" role=\"img\" aria-label=\"" + HtmlEscape(title) + "\"><title>" + HtmlEscape(title) +
           "</title><text class=\"ctitle\" x=\"" + N(kLeft) + "\" y=\"22\">" + HtmlEscape(title) + "</text>";
}

void Axis(std::string& out, const Scale& s, int decimals)
{
    const double plotRight = kWidth - kRight;
    out += "<rect class=\"frame\" x=\"" + N(kLeft) + "\" y=\"" + N(kTop) + "\" width=\"" + N(plotRight - kLeft) +
           "\" height=\"" + N(kHeight - kTop - kBottom) + "\" fill=\"none\" stroke=\"#888\"/>";
    for (int i = 0; i <= 4; ++i) {
        const double v = s.lo + (s.hi - s.lo) * i / 4;
        out += "<text class=\"tick\" x=\"" + N(kLeft - 6) + "\" y=\"" + N(s.y(v) + 5) + "\" text-anchor=\"end\">" +
               NumberText(v, decimals + 1) + "</text>";
    }
}

// Whether an alarm's mark ("X②", "Rs①") names a rule of the chart named
// chartName ("X", "R", "S", "Rs"): the chart's name followed by a circled
// number, so "R" does not take the marks of "Rs".
bool MarkOfChart(const std::string& mark, const std::string& chartName)
{
    return !chartName.empty() && mark.size() > chartName.size() && mark.compare(0, chartName.size(), chartName) == 0 &&
           static_cast<unsigned char>(mark[chartName.size()]) >= 0x80;
}

}  // namespace

std::string ControlChartSvg(const ControlChart& chart, int decimals)
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const auto take = [&](double v) {
        if (std::isfinite(v))
            lo = std::min(lo, v), hi = std::max(hi, v);
    };
    for (const ChartPoint& p : chart.points)
        take(p.value);
    for (const LevelLine& l : chart.lines) {
        if (!l.shown)
            continue;
        take(l.value);
        for (double v : l.steps)
            take(v);
    }
    const Scale s = ScaleOf(lo, hi);
    const size_t count = chart.points.size();
    const double plotRight = kWidth - kRight;
    const double step = (plotRight - kLeft) / static_cast<double>(std::max<size_t>(count, 1));
    const auto x = [&](size_t i) { return kLeft + (static_cast<double>(i) + 0.5) * step; };

    const std::string chartName = chart.title.substr(0, chart.title.find("管理図"));
    std::string out = SvgStart(chart.title, "chart");
    out.reserve(400 * count + 4000);
    if (count == 0) {
        out += "<text class=\"empty\" x=\"" + N(kWidth / 2) + "\" y=\"" + N(kHeight / 2) +
               "\" text-anchor=\"middle\">ロットがありません</text></svg>";
        return out;
    }
    Axis(out, s, decimals);

    // The lines: straight, or as steps where the limits in force changed.
    struct Label {
        double y;
        std::string head, tail;
    };
    std::vector<Label> labels;
    for (const LevelLine& l : chart.lines) {
        if (!l.shown)
            continue;
        const std::string attrs = std::string(" class=\"line ") + LineClass(l.kind) + "\" fill=\"none\"" +
                                  LineDash(l.kind) + " data-name=\"" + HtmlEscape(l.name) + "\"";
        double last = l.value;
        if (l.steps.size() == count) {
            std::string d;
            bool open = false;
            for (size_t i = 0; i < count; ++i) {
                const double v = l.steps[i];
                if (!std::isfinite(v)) {
                    open = false;
                    continue;
                }
                d += (open ? "L" : "M") + N(x(i) - step / 2) + " " + N(s.y(v)) + "H" + N(x(i) + step / 2);
                open = true;
                last = v;
            }
            out += "<path" + attrs + " d=\"" + d + "\"/>";
        } else {
            out += "<line" + attrs + " x1=\"" + N(kLeft) + "\" x2=\"" + N(plotRight) + "\" y1=\"" + N(s.y(l.value)) +
                   "\" y2=\"" + N(s.y(l.value)) + "\"/>";
        }
        labels.push_back({s.y(last) + 5,
                          "<text class=\"lname " + std::string(LineClass(l.kind)) + "\" x=\"" + N(plotRight + 6) +
                              "\" y=\"",
                          "\">" + HtmlEscape(l.name) + " " + NumberText(last, decimals + 1) + "</text>"});
    }
    // Names of lines close together are moved apart so each stays readable.
    std::sort(labels.begin(), labels.end(), [](const Label& a, const Label& b) { return a.y < b.y; });
    for (size_t i = 1; i < labels.size(); ++i)
        labels[i].y = std::max(labels[i].y, labels[i - 1].y + kLabelGap);
    for (const Label& l : labels)
        out += l.head + N(l.y) + l.tail;

    // The trace joining the lots.
    std::string trace;
    for (size_t i = 0; i < count; ++i)
        if (std::isfinite(chart.points[i].value))
            trace += (trace.empty() ? "" : " ") + N(x(i)) + "," + N(s.y(chart.points[i].value));
    out += "<polyline class=\"trace\" fill=\"none\" points=\"" + trace + "\"/>";

    const double r = std::clamp(step * 0.35, 2.0, 5.0);
    for (size_t i = 0; i < count; ++i) {
        const ChartPoint& p = chart.points[i];
        if (!std::isfinite(p.value))
            continue;
        const double px = x(i), py = s.y(p.value);
        std::string cls = "pt";
        std::string marks;
        for (const std::string& m : p.marks)
            marks += (marks.empty() ? "" : " ") + m;
        if (!p.marks.empty())
            cls += " marked";
        // The store's alarms of a lot are laid over both charts; each chart
        // shows those of its own rules ("X②" on the X chart).
        const bool alarm = std::any_of(p.alarmMarks.begin(), p.alarmMarks.end(),
                                       [&](const std::string& m) { return MarkOfChart(m, chartName); });
        if (alarm)
            cls += " alarm";
        if (!p.notes.empty())
            cls += " noted";
        out += "<g class=\"" + cls + "\" data-row=\"" + std::to_string(p.lotRow) + "\" data-lot=\"" +
               HtmlEscape(p.label) + "\"";
        if (!marks.empty())
            out += " data-marks=\"" + HtmlEscape(marks) + "\"";
        out += "><title>" + HtmlEscape(PointText(p)) + "</title>";
        if (p.marks.empty()) {
            out += "<circle cx=\"" + N(px) + "\" cy=\"" + N(py) + "\" r=\"" + N(r) + "\"/>";
        } else {
            const double d = r * 1.6;
            out += "<path class=\"markshape\" d=\"M" + N(px) + " " + N(py - d) + "L" + N(px + d) + " " + N(py) + "L" +
                   N(px) + " " + N(py + d) + "L" + N(px - d) + " " + N(py) + "Z\"/>";
        }
        if (alarm) {
            const double top = py - r * 1.6 - 4;
            out += "<path class=\"alarmshape\" d=\"M" + N(px) + " " + N(top) + "L" + N(px + 6) + " " + N(top - 10) +
                   "L" + N(px - 6) + " " + N(top - 10) + "Z\"/>";
        }
        if (!p.notes.empty()) {
            const double base = py + r * 1.6 + 4;
            out += "<path class=\"noteshape\" d=\"M" + N(px) + " " + N(base) + "V" + N(base + 14) + "M" + N(px) + " " +
                   N(base) + "H" + N(px + 9) + "L" + N(px + 6) + " " + N(base + 3) + "L" + N(px + 9) + " " +
                   N(base + 6) + "H" + N(px) + "\"/>";
        }
        out += "</g>";
    }
    out += "</svg>";
    return out;
}

std::string HistogramSvg(const Histogram& h, int decimals)
{
    std::string out = SvgStart("ヒストグラム", "histogram");
    if (h.classes.empty()) {
        out += "<text class=\"empty\" x=\"" + N(kWidth / 2) + "\" y=\"" + N(kHeight / 2) +
               "\" text-anchor=\"middle\">値がありません</text></svg>";
        return out;
    }
    double lo = h.classes.front().from, hi = h.classes.back().to;
    for (const LevelLine& l : h.specLimits)
        if (l.shown && std::isfinite(l.value))
            lo = std::min(lo, l.value), hi = std::max(hi, l.value);
    if (!(hi > lo))
        hi = lo + 1;
    const double pad = (hi - lo) * 0.05;
    lo -= pad, hi += pad;
    const double plotRight = kWidth - kRight;
    const auto x = [&](double v) { return kLeft + (v - lo) / (hi - lo) * (plotRight - kLeft); };
    double top = 1;
    for (const HistogramClass& c : h.classes)
        top = std::max(top, static_cast<double>(c.count));
    for (const auto& [v, y] : h.curve)
        top = std::max(top, y);
    top *= 1.1;
    const double base = kHeight - kBottom;
    const auto y = [&](double v) { return base - v / top * (base - kTop); };

    out += "<line class=\"axis\" x1=\"" + N(kLeft) + "\" x2=\"" + N(plotRight) + "\" y1=\"" + N(base) + "\" y2=\"" +
           N(base) + "\" stroke=\"#888\"/>";
    for (const HistogramClass& c : h.classes) {
        out += "<rect class=\"bar\" x=\"" + N(x(c.from)) + "\" y=\"" + N(y(c.count)) + "\" width=\"" +
               N(std::max(x(c.to) - x(c.from), 0.0)) + "\" height=\"" + N(base - y(c.count)) + "\"><title>" +
               NumberText(c.from, decimals + 1) + " – " + NumberText(c.to, decimals + 1) + ": " +
               std::to_string(c.count) + "</title></rect>";
        out += "<text class=\"count\" x=\"" + N((x(c.from) + x(c.to)) / 2) + "\" y=\"" + N(y(c.count) - 4) +
               "\" text-anchor=\"middle\">" + std::to_string(c.count) + "</text>";
    }
    out += "<text class=\"tick\" x=\"" + N(x(h.classes.front().from)) + "\" y=\"" + N(base + 20) +
           "\" text-anchor=\"middle\">" + NumberText(h.classes.front().from, decimals + 1) + "</text>";
    out += "<text class=\"tick\" x=\"" + N(x(h.classes.back().to)) + "\" y=\"" + N(base + 20) +
           "\" text-anchor=\"middle\">" + NumberText(h.classes.back().to, decimals + 1) + "</text>";
    if (!h.curve.empty()) {
        std::string pts;
        for (const auto& [v, c] : h.curve)
            if (std::isfinite(v) && std::isfinite(c) && v >= lo && v <= hi)
                pts += (pts.empty() ? "" : " ") + N(x(v)) + "," + N(y(c));
        out += "<polyline class=\"curve\" fill=\"none\" points=\"" + pts + "\"/>";
    }
    for (const LevelLine& l : h.specLimits) {
        if (!l.shown || !std::isfinite(l.value))
            continue;
        out += "<line class=\"line spec\" stroke-dasharray=\"12 3 2 3\" x1=\"" + N(x(l.value)) + "\" x2=\"" +
               N(x(l.value)) + "\" y1=\"" + N(kTop) + "\" y2=\"" + N(base) + "\"/>";
        out += "<text class=\"lname spec\" x=\"" + N(x(l.value) + 4) + "\" y=\"" + N(kTop + 16) + "\">" +
               HtmlEscape(l.name) + " " + NumberText(l.value, decimals) + "</text>";
    }
    out += "</svg>";
    return out;
}

}  // namespace trevolo
