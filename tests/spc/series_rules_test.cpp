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

// X lines at whole sigmas around 10; spread lines 2 (centre), 3, 4, 5.
SpcLines XLines(double shift = 0)
{
    SpcLines l;
    l.CL = 10 + shift;
    l.U1 = 11 + shift, l.U2 = 12 + shift, l.U3 = 13 + shift;
    l.L1 = 9 + shift, l.L2 = 8 + shift, l.L3 = 7 + shift;
    return l;
}

SpcLines SpreadLines()
{
    SpcLines l;
    l.CL = 2;
    l.U1 = 3, l.U2 = 4, l.U3 = 5;
    return l;
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

// Points with the given X values (spread 2) or the given spread values (X 10,
// NaN for no spread value); the X lines shift by xShift from point shiftAt on.
std::vector<SeriesPoint> Series(const std::vector<double>& x, const std::vector<double>& spread = {},
                                int shiftAt = -1, double xShift = 0)
{
    std::vector<SeriesPoint> points;
    const size_t n = std::max(x.size(), spread.size());
    for (size_t i = 0; i < n; ++i) {
        SeriesPoint p;
        p.x = i < x.size() ? x[i] : 10;
        p.spread = i < spread.size() ? spread[i] : 2;
        p.hasSpread = !std::isnan(p.spread);
        if (!p.hasSpread)
            p.spread = 0;
        p.xLines = XLines(shiftAt >= 0 && static_cast<int>(i) >= shiftAt ? xShift : 0);
        p.spreadLines = SpreadLines();
        points.push_back(p);
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
    const std::vector<double> nine(9, 10.5);
    std::vector<double> aboveThenBelow(10, 10.5);
    aboveThenBelow.push_back(10);  // on the centre line: on neither side
    aboveThenBelow.insert(aboveThenBelow.end(), 9, 9.5);
    std::vector<double> spreadRun(9, 2.5);
    spreadRun[4] = kNone;
    const auto alternation = [](int moves, double start) {
        std::vector<double> v{start};
        for (int m = 0; m < moves; ++m)
            v.push_back(v.back() + (m % 2 == 0 ? 0.5 : -0.5));
        return v;
    };
    const std::vector<double> within(15, 10.2);
    std::vector<double> outside{11.5, 8.5, 11.5, 8.5, 11.5, 8.5, 11.5, 8.5};

    const std::vector<Row> rows = {
        {"1 X beyond either 3σ line, a run of them is one episode",
         Series({10, 13.5, 14, 10, 6.5}), OnlyRule(1), 0, {{1, X, 1, 1}, {1, X, 4, 4}}},
        {"1 X on the 3σ line is within", Series({13, 7}), OnlyRule(1), 0, {}},
        {"1 spread beyond its 3σ line, no lower line", Series({}, {2, 5.5, 2, 0}), OnlyRule(1), 0, {{1, S, 1, 1}}},
        {"1 X lines step: 12.5 is beyond the lower set only", Series({12.5, 12.5, 12.5, 12.5}, {}, 2, -1.0),
         OnlyRule(1), 0, {{1, X, 2, 2}}},
        {"2 X nine above, still above, the centre, nine below", Series(aboveThenBelow), OnlyRule(2), 0,
         {{2, X, 0, 8}, {2, X, 11, 19}}},
        {"2 X eight are not a run of nine", Series(std::vector<double>(8, 10.5)), OnlyRule(2), 0, {}},
        {"2 X each point against its own centre line", Series(nine, {}, 4, 1.0), OnlyRule(2), 0, {}},
        {"2 spread nine above", Series({}, std::vector<double>(9, 2.5)), OnlyRule(2), 0, {{2, S, 0, 8}}},
        {"2 spread a lot without spread breaks the run", Series({}, spreadRun), OnlyRule(2), 0, {}},
        {"3 X six rises take seven points, then falls after a flat move",
         Series({10, 10.1, 10.2, 10.3, 10.4, 10.5, 10.6, 10.7, 10.7, 10.6, 10.5, 10.4, 10.3, 10.2, 10.1}),
         OnlyRule(3), 0, {{3, X, 0, 6}, {3, X, 8, 14}}},
        {"3 X six rising points make five moves", Series({10, 10.1, 10.2, 10.3, 10.4, 10.5}), OnlyRule(3), 0, {}},
        {"3 spread falls across a lot without spread", Series({}, {4, 3.8, 3.6, kNone, 3.4, 3.2, 3, 2.8, 2.6, 2.4}),
         OnlyRule(3), 0, {}},
        {"4 X fourteen alternating moves", Series(alternation(14, 10)), OnlyRule(4), 0, {{4, X, 0, 14}}},
        {"4 X thirteen are not enough", Series(alternation(13, 10)), OnlyRule(4), 0, {}},
        {"4 X a repeated direction, then four alternations",
         Series({10, 10.5, 11, 10.5, 11, 10.5}), OnlyRule(4, [](RuleOptions& o) { o.alternatingRun = 4; }), 0,
         {{4, X, 1, 5}}},
        {"5 X two of three beyond 2σ, on either side", Series({12.5, 10, 7.5, 10, 10, 12.5}), OnlyRule(5), 0,
         {{5, X, 0, 2}}},
        {"5 X two hits four points apart", Series({12.5, 10, 10, 12.5}), OnlyRule(5), 0, {}},
        {"5 X the window slides: hits at 1 and 3, not in one fixed block", Series({10, 12.5, 10, 12.5}), OnlyRule(5),
         0, {{5, X, 1, 3}}},
        {"5 spread beyond its 2σ line", Series({}, {4.5, 2, 4.5}), OnlyRule(5), 0, {{5, S, 0, 2}}},
        {"6 X four of five beyond 1σ", Series({11.5, 8.5, 10, 11.5, 11.5, 10}), OnlyRule(6), 0, {{6, X, 0, 4}}},
        {"6 X three of five", Series({11.5, 8.5, 10, 10, 11.5}), OnlyRule(6), 0, {}},
        {"7 both fifteen within 1σ, lines included", Series(within), OnlyRule(7), 0, {{7, X, 0, 14}, {7, S, 0, 14}}},
        {"7 X fourteen within", Series(std::vector<double>(14, 11)), OnlyRule(7), 0, {}},
        {"8 X eight beyond 1σ, either side", Series(outside), OnlyRule(8), 0, {{8, X, 0, 7}}},
        {"8 X the 1σ line is within", Series({11.5, 8.5, 11.5, 8.5, 11, 8.5, 11.5, 8.5}), OnlyRule(8), 0, {}},
        {"8 spread eight above 1σ", Series({}, std::vector<double>(8, 3.5)), OnlyRule(8), 0, {{8, S, 0, 7}}},
        {"from: an episode begun before it is not signalled again", Series({14, 14, 10, 14}), OnlyRule(1), 1,
         {{1, X, 3, 3}}},
        {"from past the end", Series({14, 14}), OnlyRule(1), 5, {}},
        {"switched off rules never fire", Series({14, 6, 14}, {6, 6, 6}), OnlyRule(0), 0, {}},
        {"at one point X before spread, rules in order", Series({10, 14}, {2, 6}),
         RuleOptions::Defaults(), 0, {{1, X, 1, 1}, {1, S, 1, 1}}},
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

    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / static_cast<double>(1u << 24);
    };
    std::vector<SeriesPoint> all;
    for (int i = 0; i < 400; ++i) {
        // Drifting values, stepping lines and the odd lot without spread, so
        // every rule fires somewhere.
        const double drift = (i / 40) % 3 == 1 ? 1.2 : 0;
        std::vector<SeriesPoint> one =
            Series({10 + drift + (next() - 0.5) * 4 * (i % 50 < 25 ? 1 : 0.3)},
                   {i % 37 == 0 ? kNone : 2 + (next() - 0.4) * 3}, (i / 60) % 2 == 1 ? 0 : -1, 0.5);
        all.push_back(one[0]);
    }
    for (const RuleOptions& options : {RuleOptions::Defaults(), tight, some}) {
        const int reach = SeriesReach(options);
        const std::vector<SeriesSignal> whole = SeriesSignals(all, options, 0);
        EXPECT_GE(whole.size(), 7u);
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
