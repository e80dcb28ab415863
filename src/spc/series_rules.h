#pragma once
// The run rules on a characteristic's series as the plant store watches it:
// lots of many stations in the server's order, each judged against the
// control lines in force for it, so the lines may step between lots.
//
// Unlike the SPC table of one sheet (fixed blocks from the sheet's first lot,
// runs counted again after a mark), a rule here fires at a lot when the
// pattern that ends at that lot holds: the newest n points of a run, or k of
// the newest w points. That needs only the last points of the series, so
// the store evaluates a bounded window however long the history, and the
// answer does not depend on where a sheet starts. A rule that keeps firing
// on consecutive lots of one side is one alarm: it is found at the lot where
// it starts firing.
#include <cstdint>
#include <span>
#include <vector>

#include "model/comtype.h"
#include "spc/rule_engine.h"

namespace trevolo {

// One lot of the series: its X value (mean) and spread value (range,
// standard deviation or moving range), with the lines of each chart in
// force for it. hasSpread is false where the lot has no spread value (the
// first lot of an Rs chart, a lot of one value on an S chart): the spread
// side's patterns do not reach across it.
struct SeriesPoint {
    double x = 0;
    double spread = 0;
    bool hasSpread = true;
    SpcLines xLines;
    SpcLines spreadLines;
};

// A rule that starts firing at point last (an index into the series); the
// pattern's points are first..last.
struct SeriesSignal {
    int rule = 0;  // 1..8
    SpcSide side = SpcSide::X;
    int first = 0;
    int last = 0;
    bool operator==(const SeriesSignal&) const = default;
};

// How many points before the first point to judge the evaluation must see:
// the longest pattern of the switched-on rules, plus one to tell whether the
// rule was already firing at the point before.
int SeriesReach(const RuleOptions& options) noexcept;

// The signals that start at points from..end of the series, in point order
// and, at one point, X side before spread side and rule order. Points before
// from are history only.
std::vector<SeriesSignal> SeriesSignals(std::span<const SeriesPoint> points, const RuleOptions& options,
                                        int from);

}  // namespace trevolo
