#include "spc/series_rules.h"

#include <algorithm>

namespace trevolo {

namespace {

// One chart of the series: the X values or the spread values, each with the
// lines in force for its lot.
class SideView {
public:
    SideView(std::span<const SeriesPoint> points, SpcSide side) : points_(points), side_(side) {}

    SpcSide side() const noexcept { return side_; }
    bool has(int i) const noexcept { return side_ == SpcSide::X || points_[static_cast<size_t>(i)].hasSpread; }
    double value(int i) const noexcept
    {
        const SeriesPoint& p = points_[static_cast<size_t>(i)];
        return side_ == SpcSide::X ? p.x : p.spread;
    }
    const SpcLines& lines(int i) const noexcept
    {
        const SeriesPoint& p = points_[static_cast<size_t>(i)];
        return side_ == SpcSide::X ? p.xLines : p.spreadLines;
    }

    // How many points ending at i a pattern may use, at most limit: back to
    // the series' first point or to the point after one without a value.
    int reach(int i, int limit) const noexcept
    {
        int count = 0;
        while (count < limit && i - count >= 0 && has(i - count))
            ++count;
        return count;
    }

private:
    std::span<const SeriesPoint> points_;
    SpcSide side_;
};

// Run lengths below one are not offered by the settings dialog; a stored
// value edited by hand is read as the shortest run.
int AtLeastOne(std::int32_t n) noexcept
{
    return std::max<std::int32_t>(n, 1);
}

// The index of the first point of the pattern of a rule that fires at i, or
// -1 when it does not fire there.
constexpr int kNoFire = -1;

// Rule 1: the point beyond its own 3σ lines.
int BeyondLimits(const SideView& s, int i)
{
    const double v = s.value(i);
    const SpcLines& l = s.lines(i);
    return (v > l.U3 || v < l.L3) ? i : kNoFire;
}

// Rule 2: the newest n points all above, or all below, their own centre line;
// a point on its centre line is on neither side.
int SameSide(const SideView& s, int i, int n)
{
    if (s.reach(i, n) < n)
        return kNoFire;
    bool above = true;
    bool below = true;
    for (int j = i - n + 1; j <= i; ++j) {
        const double v = s.value(j);
        const double cl = s.lines(j).CL;
        above = above && v > cl;
        below = below && v < cl;
    }
    return (above || below) ? i - n + 1 : kNoFire;
}

// Rule 3: the newest n moves all rises or all falls (n + 1 points). An equal
// value is no move either way.
int Trend(const SideView& s, int i, int n)
{
    if (s.reach(i, n + 1) < n + 1)
        return kNoFire;
    bool rising = true;
    bool falling = true;
    for (int j = i - n + 1; j <= i; ++j) {
        rising = rising && s.value(j) > s.value(j - 1);
        falling = falling && s.value(j) < s.value(j - 1);
    }
    return (rising || falling) ? i - n : kNoFire;
}

// Rule 4: the newest n moves each turning against the one before (n + 1
// points); an equal value ends the alternation.
int Alternating(const SideView& s, int i, int n)
{
    if (s.reach(i, n + 1) < n + 1)
        return kNoFire;
    int previous = 0;  // +1 rise, -1 fall
    for (int j = i - n + 1; j <= i; ++j) {
        const double a = s.value(j - 1);
        const double b = s.value(j);
        const int move = b > a ? 1 : b < a ? -1 : 0;
        if (move == 0 || move == previous)
            return kNoFire;
        previous = move;
    }
    return i - n;
}

// Rules 5 to 8: at least k of the newest w points in a hit zone (hit as in
// SpcZoneHit), each point's zone against its own lines. Near the start of
// the series, or after a point without a value, the window holds the points
// there are, as a sheet's first block counts hits before it is complete. The
// pattern starts at the oldest of the newest k hits.
int ZoneHits(const SideView& s, int i, unsigned hit, int k, int w)
{
    const int points = s.reach(i, w);
    int hits = 0;
    for (int j = i; j > i - points; --j) {
        if (hit & (1u << SpcZoneClass(s.value(j), s.lines(j)))) {
            if (++hits == k)
                return j;
        }
    }
    return kNoFire;
}

// Where the pattern of rule (1..8) that fires at i starts, or kNoFire; also
// kNoFire for a rule switched off and for a point without a value.
int Fires(const SideView& s, int rule, int i, const RuleOptions& o)
{
    if (i < 0 || !s.has(i) || !o.check(rule))
        return kNoFire;
    switch (rule) {
    case 1:
        return BeyondLimits(s, i);
    case 2:
        return SameSide(s, i, AtLeastOne(o.sameSideRun));
    case 3:
        return Trend(s, i, AtLeastOne(o.trendRun));
    case 4:
        return Alternating(s, i, AtLeastOne(o.alternatingRun));
    case 5:
        return ZoneHits(s, i, kHitBeyond2Sigma, AtLeastOne(o.beyond2SigmaHits), o.beyond2SigmaBlock);
    case 6:
        return ZoneHits(s, i, kHitBeyond1Sigma, AtLeastOne(o.beyond1SigmaHits), o.beyond1SigmaBlock);
    case 7:
        return ZoneHits(s, i, kHitWithin1Sigma, AtLeastOne(o.within1SigmaRun), o.within1SigmaRun);
    case 8:
        return ZoneHits(s, i, kHitBeyond1Sigma, AtLeastOne(o.outside1SigmaRun), o.outside1SigmaRun);
    default:
        return kNoFire;
    }
}

// The number of points the pattern of a rule spans.
int PatternLength(int rule, const RuleOptions& o)
{
    switch (rule) {
    case 1:
        return 1;
    case 2:
        return AtLeastOne(o.sameSideRun);
    case 3:
        return AtLeastOne(o.trendRun) + 1;
    case 4:
        return AtLeastOne(o.alternatingRun) + 1;
    case 5:
        return std::max(AtLeastOne(o.beyond2SigmaBlock), AtLeastOne(o.beyond2SigmaHits));
    case 6:
        return std::max(AtLeastOne(o.beyond1SigmaBlock), AtLeastOne(o.beyond1SigmaHits));
    case 7:
        return AtLeastOne(o.within1SigmaRun);
    case 8:
        return AtLeastOne(o.outside1SigmaRun);
    default:
        return 0;
    }
}

}  // namespace

int SeriesReach(const RuleOptions& options) noexcept
{
    int longest = 0;
    for (int rule = 1; rule <= kSpcRuleCount; ++rule)
        if (options.check(rule))
            longest = std::max(longest, PatternLength(rule, options));
    return longest == 0 ? 0 : longest + 1;
}

std::vector<SeriesSignal> SeriesSignals(std::span<const SeriesPoint> points, const RuleOptions& options, int from)
{
    std::vector<SeriesSignal> signals;
    const SideView sides[] = {SideView(points, SpcSide::X), SideView(points, SpcSide::Dispersion)};
    for (int i = std::max(from, 0); i < static_cast<int>(points.size()); ++i) {
        for (const SideView& s : sides) {
            for (int rule = 1; rule <= kSpcRuleCount; ++rule) {
                const int first = Fires(s, rule, i, options);
                // A rule still firing from the point before is the same alarm.
                if (first == kNoFire || Fires(s, rule, i - 1, options) != kNoFire)
                    continue;
                signals.push_back({rule, s.side(), first, i});
            }
        }
    }
    return signals;
}

}  // namespace trevolo
