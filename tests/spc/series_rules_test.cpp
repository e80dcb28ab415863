// The run rules on a stored series, as the plant store evaluates them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "spc/series_rules.h"

namespace trevolo {

void PrintTo(const SeriesSignal& s, std::ostream* os)
{
    *os << "rule " << s.rule << (s.side == SpcSide::X ? " X " : " spread ") << s.first << ".." << s.last;
}

namespace {

// Lines one unit apart around cl; without lower lines they are 0, as the
// spread chart's are.
SpcLines Lines(double cl, bool lower)
{
    return {cl, cl + 3, cl + 2, cl + 1, lower ? cl - 3 : 0, lower ? cl - 2 : 0, lower ? cl - 1 : 0};
}

// Only the rule switched on; alternations shortened from the usual 14 to 4.
RuleOptions OnlyRule(int rule)
{
    RuleOptions o = RuleOptions::Defaults();
    for (int r = 1; r <= 8; ++r)
        o.setCheck(r, r == rule);
    o.alternatingRun = 4;
    return o;
}

constexpr double kNone = NAN;  // a lot without a spread value

// Points of the X values (spread 2 where not given) and spread values (X 10
// where not given; kNone: none), X lines around 10, moved by xShift from
// point shiftAt on; spread lines around 2.
std::vector<SeriesPoint> Series(const std::vector<double>& x, const std::vector<double>& spread = {}, int shiftAt = -1,
                                double xShift = 0)
{
    std::vector<SeriesPoint> points;
    for (size_t i = 0; i < std::max(x.size(), spread.size()); ++i) {
        const double v = i < spread.size() ? spread[i] : 2;
        const bool shifted = shiftAt >= 0 && static_cast<int>(i) >= shiftAt;
        points.push_back({i < x.size() ? x[i] : 10, std::isnan(v) ? 0 : v, !std::isnan(v),
                          Lines(10 + (shifted ? xShift : 0), true), Lines(2, false)});
    }
    return points;
}

constexpr SpcSide X = SpcSide::X;
constexpr SpcSide S = SpcSide::Dispersion;

// Expects the signals of a hand-made series.
void Expect(const char* name, const std::vector<SeriesPoint>& points, const RuleOptions& options, int from,
            const std::vector<SeriesSignal>& signals)
{
    EXPECT_EQ(SeriesSignals(points, options, from), signals) << name;
}

TEST(SeriesRules, EachRuleFiresOncePerEpisodeAgainstEachPointsOwnLines)
{
    std::vector<double> sides(10, 10.5);  // ten above, one on the centre line, nine below
    sides.push_back(10);
    sides.insert(sides.end(), 9, 9.5);
    std::vector<double> gap(9, 2.5);
    gap[4] = kNone;
    Expect("1 beyond either 3σ line, a run of them one episode; the spread has no lower line",
           Series({10, 13.5, 14, 10, 6.5}, {2, 5.5, 2, 2, 0}), OnlyRule(1), 0,
           {{1, X, 1, 1}, {1, S, 1, 1}, {1, X, 4, 4}});
    Expect("1 lines step: 12.5 beyond the lower set only", Series({12.5, 12.5, 12.5}, {}, 1, -1.0), OnlyRule(1), 0,
           {{1, X, 1, 1}});
    Expect("2 nine above, the centre line, nine below", Series(sides), OnlyRule(2), 0, {{2, X, 0, 8}, {2, X, 11, 19}});
    Expect("2 each point against its own centre line", Series(std::vector<double>(9, 10.5), {}, 4, 1.0), OnlyRule(2), 0,
           {});
    Expect("2 spread: a lot without spread breaks the run", Series({}, gap), OnlyRule(2), 0, {});
    Expect("3 six rises are seven points; falls after a flat move",
           Series({10, 10.1, 10.2, 10.3, 10.4, 10.5, 10.6, 10.7, 10.7, 10.6, 10.5, 10.4, 10.3, 10.2, 10.1}),
           OnlyRule(3), 0, {{3, X, 0, 6}, {3, X, 8, 14}});
    Expect("4 a repeated direction, then four alternating moves", Series({10, 10.5, 11, 10.5, 11, 10.5}), OnlyRule(4),
           0, {{4, X, 1, 5}});
    Expect("5 two of three beyond 2σ, either side, sliding", Series({10, 12.5, 10, 7.5, 10, 10, 12.5}), OnlyRule(5), 0,
           {{5, X, 1, 3}});
    Expect("6 four of five beyond 1σ", Series({11.5, 8.5, 10, 11.5, 11.5, 10}), OnlyRule(6), 0, {{6, X, 0, 4}});
    Expect("7 fifteen within 1σ, lines included", Series(std::vector<double>(15, 11)), OnlyRule(7), 0,
           {{7, X, 0, 14}, {7, S, 0, 14}});
    Expect("8 eight beyond 1σ, either side; the line is within",
           Series({11, 11.5, 8.5, 11.5, 8.5, 11.5, 8.5, 11.5, 8.5}), OnlyRule(8), 0, {{8, X, 1, 8}});
    Expect("from: an episode begun before it is not new", Series({14, 14, 10, 14}), OnlyRule(1), 1, {{1, X, 3, 3}});
}

// The store evaluates only the newest SeriesReach points before the new lots:
// that window must give the signals the whole history gives.
TEST(SeriesRules, ReachDecidesAsTheWholeHistory)
{
    EXPECT_EQ(SeriesReach(RuleOptions::Defaults()), 16);  // rule 7's fifteen points, and one before
    std::vector<SeriesPoint> all;                         // drifting noise, stepping lines, the odd lot without spread
    for (std::uint32_t i = 0, seed = 1; i < 400; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double r = static_cast<double>(seed >> 8) / (1u << 24);
        const double x = 10 + (i / 40 % 3 == 1 ? 1.2 : 0) + (r - 0.5) * (i % 50 < 25 ? 4 : 1.2);
        all.push_back(Series({x}, {i % 37 ? 1 + 3 * r : kNone}, static_cast<int>(i / 60 % 2) - 1, 0.5)[0]);
    }
    for (const RuleOptions& options : {RuleOptions::Defaults(), OnlyRule(5)}) {
        const int reach = SeriesReach(options);
        const std::vector<SeriesSignal> whole = SeriesSignals(all, options, 0);
        for (int from = reach; from < 400; from += 7) {
            std::vector<SeriesSignal> windowed = SeriesSignals(std::span(all).subspan(from - reach), options, reach);
            for (SeriesSignal& s : windowed)
                s.first += from - reach, s.last += from - reach;
            const auto first = std::find_if(whole.begin(), whole.end(), [&](auto& s) { return s.last >= from; });
            ASSERT_EQ(windowed, std::vector<SeriesSignal>(first, whole.end())) << "from " << from;
        }
    }
}

}  // namespace
}  // namespace trevolo
