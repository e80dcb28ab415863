// The run rules on a stored series: each rule on each chart over hand-made
// series, lines that step between lots, one signal per firing episode, the
// start point, and that a window of SeriesReach points decides as the whole
// history does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
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

RuleOptions OnlyRule(int rule, const std::function<void(RuleOptions&)>& tune = {})
{
    RuleOptions o = RuleOptions::Defaults();
    for (int r = 1; r <= 8; ++r)
        o.setCheck(r, r == rule);
    if (tune)
        tune(o);
    return o;
}

constexpr double kNone = NAN;  // a lot without a spread value

// Points of the X values (spread 2 where not given) and spread values (X 10
// where not given; kNone: none), X lines around 10, moved by xShift from
// point shiftAt on; spread lines around 2.
std::vector<SeriesPoint> Series(const std::vector<double>& x, const std::vector<double>& spread = {},
                                int shiftAt = -1, double xShift = 0)
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

struct Row {
    const char* name;
    std::vector<SeriesPoint> points;
    RuleOptions options;
    int from;
    std::vector<SeriesSignal> expected;
};

TEST(SeriesRules, EachRuleFiresOncePerEpisodeAgainstEachPointsOwnLines)
{
    std::vector<double> sides(10, 10.5);  // ten above, one on the centre line, nine below
    sides.push_back(10);
    sides.insert(sides.end(), 9, 9.5);
    std::vector<double> gap(9, 2.5);
    gap[4] = kNone;
    std::vector<double> alternating{10};
    for (int m = 0; m < 14; ++m)
        alternating.push_back(alternating.back() + (m % 2 ? -0.5 : 0.5));
    const auto shortRun = [](RuleOptions& o) { o.alternatingRun = 4; };
    const std::vector<Row> rows = {
        {"1 beyond either 3σ line, a run of them one episode", Series({10, 13.5, 14, 10, 6.5}), OnlyRule(1), 0,
         {{1, X, 1, 1}, {1, X, 4, 4}}},
        {"1 on the 3σ line is within", Series({13, 7}), OnlyRule(1), 0, {}},
        {"1 spread: no lower line", Series({}, {2, 5.5, 2, 0}), OnlyRule(1), 0, {{1, S, 1, 1}}},
        {"1 lines step: 12.5 beyond the lower set only", Series({12.5, 12.5, 12.5}, {}, 1, -1.0), OnlyRule(1), 0,
         {{1, X, 1, 1}}},
        {"2 nine above, the centre line, nine below", Series(sides), OnlyRule(2), 0, {{2, X, 0, 8}, {2, X, 11, 19}}},
        {"2 each point against its own centre line", Series(std::vector<double>(9, 10.5), {}, 4, 1.0), OnlyRule(2), 0,
         {}},
        {"2 spread nine above", Series({}, std::vector<double>(9, 2.5)), OnlyRule(2), 0, {{2, S, 0, 8}}},
        {"2 spread: a lot without spread breaks the run", Series({}, gap), OnlyRule(2), 0, {}},
        {"3 six rises are seven points; falls after a flat move",
         Series({10, 10.1, 10.2, 10.3, 10.4, 10.5, 10.6, 10.7, 10.7, 10.6, 10.5, 10.4, 10.3, 10.2, 10.1}), OnlyRule(3),
         0, {{3, X, 0, 6}, {3, X, 8, 14}}},
        {"3 six rising points are five moves", Series({10, 10.1, 10.2, 10.3, 10.4, 10.5}), OnlyRule(3), 0, {}},
        {"3 spread: no trend across a lot without spread", Series({}, {4, 3.8, 3.6, kNone, 3.4, 3.2, 3, 2.8, 2.6}),
         OnlyRule(3), 0, {}},
        {"4 fourteen alternating moves", Series(alternating), OnlyRule(4), 0, {{4, X, 0, 14}}},
        {"4 thirteen moves", Series({alternating.begin(), alternating.end() - 1}), OnlyRule(4), 0, {}},
        {"4 a repeated direction, then four alternations", Series({10, 10.5, 11, 10.5, 11, 10.5}),
         OnlyRule(4, shortRun), 0, {{4, X, 1, 5}}},
        {"5 two of three beyond 2σ, either side", Series({12.5, 10, 7.5, 10, 10, 12.5}), OnlyRule(5), 0,
         {{5, X, 0, 2}}},
        {"5 sliding, not fixed blocks", Series({10, 12.5, 10, 12.5, 10, 10, 12.5}), OnlyRule(5), 0, {{5, X, 1, 3}}},
        {"5 spread beyond its 2σ line", Series({}, {4.5, 2, 4.5}), OnlyRule(5), 0, {{5, S, 0, 2}}},
        {"6 four of five beyond 1σ", Series({11.5, 8.5, 10, 11.5, 11.5, 10}), OnlyRule(6), 0, {{6, X, 0, 4}}},
        {"6 three of five", Series({11.5, 8.5, 10, 10, 11.5}), OnlyRule(6), 0, {}},
        {"7 fifteen within 1σ, lines included", Series(std::vector<double>(15, 11)), OnlyRule(7), 0,
         {{7, X, 0, 14}, {7, S, 0, 14}}},
        {"7 fourteen", Series(std::vector<double>(14, 10)), OnlyRule(7), 0, {}},
        {"8 eight beyond 1σ, either side", Series({11.5, 8.5, 11.5, 8.5, 11.5, 8.5, 11.5, 8.5}), OnlyRule(8), 0,
         {{8, X, 0, 7}}},
        {"8 the 1σ line is within", Series({11.5, 8.5, 11.5, 8.5, 11, 8.5, 11.5, 8.5}), OnlyRule(8), 0, {}},
        {"8 spread", Series({}, std::vector<double>(8, 3.5)), OnlyRule(8), 0, {{8, S, 0, 7}}},
        {"from: an episode begun before it is not new", Series({14, 14, 10, 14}), OnlyRule(1), 1, {{1, X, 3, 3}}},
        {"switched off", Series({14, 6, 14}, {6, 6, 6}), OnlyRule(0), 0, {}},
        {"X before spread, rules in order", Series({10, 14}, {2, 6}), RuleOptions::Defaults(), 0,
         {{1, X, 1, 1}, {1, S, 1, 1}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SeriesSignals(row.points, row.options, row.from), row.expected) << row.name;
}

// The store evaluates only the newest SeriesReach points before the new lots:
// that window must give the signals the whole history gives.
TEST(SeriesRules, ReachDecidesAsTheWholeHistory)
{
    RuleOptions tight = RuleOptions::Defaults();
    tight.setCheck(4, false);
    tight.setCheck(7, false);
    const RuleOptions some = OnlyRule(5);
    EXPECT_EQ(SeriesReach(RuleOptions::Defaults()), 16);  // rule 7's fifteen, one more
    EXPECT_EQ(SeriesReach(tight), 10);                     // rule 2's nine
    EXPECT_EQ(SeriesReach(some), 4);
    EXPECT_EQ(SeriesReach(OnlyRule(0)), 0);

    // Drifting noise, stepping lines and the odd lot without spread.
    std::uint32_t seed = 12345;
    std::vector<SeriesPoint> all;
    for (int i = 0; i < 400; ++i) {
        double r[2];
        for (double& v : r)
            v = static_cast<double>((seed = seed * 1664525u + 1013904223u) >> 8) / (1u << 24);
        const double x = 10 + ((i / 40) % 3 == 1 ? 1.2 : 0) + (r[0] - 0.5) * (i % 50 < 25 ? 4 : 1.2);
        all.push_back(Series({x}, {i % 37 ? 2 + (r[1] - 0.4) * 3 : kNone}, (i / 60) % 2 - 1, 0.5)[0]);
    }
    for (const RuleOptions& options : {RuleOptions::Defaults(), tight, some}) {
        const int reach = SeriesReach(options);
        const std::vector<SeriesSignal> whole = SeriesSignals(all, options, 0);
        EXPECT_GE(whole.size(), 5u);
        for (int from = reach; from < static_cast<int>(all.size()); from += 7) {
            std::vector<SeriesSignal> expected;
            for (const SeriesSignal& s : whole)
                if (s.last >= from)
                    expected.push_back(s);
            const int start = from - reach;
            std::vector<SeriesSignal> windowed =
                SeriesSignals(std::span(all).subspan(static_cast<size_t>(start)), options, reach);
            for (SeriesSignal& s : windowed)
                s.first += start, s.last += start;
            ASSERT_EQ(windowed, expected) << "from " << from;
        }
    }
}

}  // namespace
}  // namespace trevolo
