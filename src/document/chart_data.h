#pragma once
// What the charts of the shown sheet draw, taken from the session alone:
// the X chart and the R, S or Rs chart (one point per lot row of the
// statistics table, the control lines with their names and on/off state,
// the specification limits, the SPC rule marks of each point) and the
// histogram of the enabled values with its normal curve. No widget is read,
// so a view only has to draw what this returns.
#include <string>
#include <vector>

#include "document/sheet_session.h"

namespace trevolo {

// The class count of the histogram: its range and default.
inline constexpr int kMinHistogramClasses = 5;
inline constexpr int kMaxHistogramClasses = 10;
inline constexpr int kDefaultHistogramClasses = 10;

// The names of the specification limits as the charts label them.
inline constexpr const char* kUpperSpecName = "上限規格";
inline constexpr const char* kLowerSpecName = "下限規格";

// One lot of a control chart.
struct ChartPoint {
    int calcRow = 0;    // the lot's row of the statistics and SPC tables
    int lotRow = 0;     // its row of the lot table (1 = first lot), 0 if none matches
    std::string label;  // its lot number
    double value = 0;   // mean (X chart) or range, deviation, moving range
    // The rules that marked this point, as the SPC table titles them
    // ("X②", "Rs①"), in rule order; empty when none did.
    std::vector<std::string> marks;
    // From the plant store (StoreOverlay): the marks of its alarms at this
    // lot, as marks are titled, and the lot's notes, newest last.
    std::vector<std::string> alarmMarks;
    std::vector<std::string> notes;
};

// A horizontal line of a chart.
struct LevelLine {
    enum class Kind { Centre, Control, Spec };
    Kind kind = Kind::Control;
    int field = -1;    // its LimitField, or -1 for a specification limit
    std::string name;  // the line-name field's text (or the spec limit's name)
    double value = 0;
    // Drawn: the line's check box is on and its field holds a number (the
    // specification limits: the kind uses them and the field is a number).
    bool shown = false;
    // The line's value at each point, where the limits in force for some
    // lots differ from the sheet's (a revision of the plant store): one per
    // point, so the line is drawn as steps. Empty: one value for every lot.
    std::vector<double> steps;
};

struct ControlChart {
    // "X管理図", "R管理図", "S管理図" or "Rs管理図".
    std::string title;
    std::vector<ChartPoint> points;
    std::vector<LevelLine> lines;
};

struct HistogramClass {
    double from = 0;
    double to = 0;
    int count = 0;
};

struct Histogram {
    int classCount = kDefaultHistogramClasses;
    std::vector<double> values;  // the enabled values that are numbers
    std::vector<HistogramClass> classes;
    double mean = 0;
    double stdev = 0;  // sample standard deviation (n − 1); 0 below 2 values
    // The normal curve of mean and stdev, scaled to the class counts
    // (count per class width); empty while stdev is 0.
    std::vector<std::pair<double, double>> curve;
    std::vector<LevelLine> specLimits;
};

struct ChartData {
    ControlChart x;
    ControlChart spread;
    Histogram histogram;
};

// The text the session holds for the class count, brought into 5..10; a
// blank or foreign text gives the fallback (the charts' default; the
// histogram report reads such a text as the least count, as the field does).
int HistogramClassCount(const std::string& text, int fallback = kDefaultHistogramClasses) noexcept;

ControlChart BuildXChart(const SheetSession& s);
ControlChart BuildSpreadChart(const SheetSession& s);
Histogram BuildHistogram(const SheetSession& s);
ChartData BuildChartData(const SheetSession& s);

// The point's text for its tooltip and the accessible table: the lot, the
// value at four decimals and the marks, "ロット 12  10.0234  X② X③"; the
// store's alarms follow ("  アラーム X②") and each note on a line of its
// own ("メモ: 工具交換（…）").
std::string PointText(const ChartPoint& p);

}  // namespace trevolo
