// The SPC rule engine: the eight rules one at a time over hand-made series,
// the zones at their lines, the reading order of the texts and what a failing
// side leaves in the table.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "spc/rule_engine.h"

namespace trevolo {
namespace {

// X lines at whole sigmas around 0: CL 0, ±1, ±2, ±3.
SpcLines UnitLines()
{
    SpcLines l;
    l.CL = 0;
    l.U1 = 1, l.U2 = 2, l.U3 = 3;
    l.L1 = -1, l.L2 = -2, l.L3 = -3;
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

// Marks of one rule as a string: '.' normal, 'x' abnormal, '-' off.
std::string MarksOf(const SpcSideMarks& m, int rule)
{
    std::string s;
    for (SpcMark mk : m.rule[static_cast<size_t>(rule - 1)])
        s += mk == SpcMark::Abnormal ? 'x' : mk == SpcMark::Normal ? '.' : '-';
    return s;
}

std::vector<double> Repeat(double v, int n)
{
    return std::vector<double>(static_cast<size_t>(n), v);
}

std::vector<double> Concat(std::initializer_list<std::vector<double>> parts)
{
    std::vector<double> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<double> Ramp(double from, double step, int n)
{
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(from + step * i);
    return v;
}

std::vector<double> Alternate(double a, double b, int n)
{
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i % 2 == 0 ? a : b);
    return v;
}

struct RuleCase {
    const char* name;
    int rule;
    std::function<void(RuleOptions&)> tune;
    std::vector<double> values;
    std::string expected;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

class RuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleTest, MarksOnlyTheCompletingLot)
{
    const RuleCase& c = GetParam();
    const SpcSideMarks m = EvaluateSpcRules(c.values, UnitLines(), OnlyRule(c.rule, c.tune));
    EXPECT_EQ(MarksOf(m, c.rule), c.expected);
    // Every other rule is off on every lot.
    for (int r = 1; r <= 8; ++r) {
        if (r != c.rule) {
            EXPECT_EQ(MarksOf(m, r), std::string(c.values.size(), '-')) << "rule " << r;
        }
    }
}

auto N = [](std::int32_t RuleOptions::*field, int v) { return [field, v](RuleOptions& o) { o.*field = v; }; };
auto WK = [](std::int32_t RuleOptions::*w, int wv, std::int32_t RuleOptions::*k, int kv) {
    return [=](RuleOptions& o) {
        o.*w = wv;
        o.*k = kv;
    };
};

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleTest,
    ::testing::Values(
        // Rule 1: a value on a 3σ line is not beyond it.
        RuleCase{"r1_on_and_beyond_lines", 1, {}, {3, -3, 3.0001, -3.0001, 0}, "..xx."},

        // Rule 2, N = 9: the ninth lot on one side completes the run.
        RuleCase{"r2_exactly_nine_above", 2, {}, Repeat(0.5, 9), "........x"},
        RuleCase{"r2_exactly_nine_below", 2, {}, Repeat(-0.5, 9), "........x"},
        RuleCase{"r2_eight_is_not_enough", 2, {}, Repeat(0.5, 8), "........"},
        // A value exactly on the centre line ends the run.
        RuleCase{
            "r2_broken_by_centre_value", 2, {}, Concat({Repeat(0.5, 8), {0.0}, Repeat(0.5, 8)}), std::string(17, '.')},
        RuleCase{
            "r2_broken_by_other_side", 2, {}, Concat({Repeat(0.5, 8), {-0.5}, Repeat(0.5, 8)}), std::string(17, '.')},
        // After a mark the run counts from nothing: lots 9 and 18 of 20.
        RuleCase{"r2_restart_after_mark", 2, {}, Repeat(0.5, 20), "........x........x.."},
        RuleCase{"r2_n7", 2, N(&RuleOptions::sameSideRun, 7), Repeat(-0.1, 8), "......x."},

        // Rule 3, N = 6: the sixth rise is at lot 7.
        RuleCase{"r3_sixth_rise_at_lot_7", 3, {}, Ramp(0.1, 0.1, 7), "......x"},
        RuleCase{"r3_sixth_fall_at_lot_7", 3, {}, Ramp(0.7, -0.1, 7), "......x"},
        RuleCase{"r3_broken_by_equal_value", 3, {}, {0.1, 0.2, 0.3, 0.4, 0.4, 0.5, 0.6, 0.7, 0.8}, "........."},
        RuleCase{"r3_restart_after_mark", 3, {}, Ramp(-0.6, 0.1, 13), "......x.....x"},
        // The first lot makes no move, even with the shortest run.
        RuleCase{"r3_first_lot_never_marked", 3, N(&RuleOptions::trendRun, 4), Ramp(0.0, 0.1, 5), "....x"},

        // Rule 4 counts alternating moves.
        RuleCase{"r4_fourth_move", 4, N(&RuleOptions::alternatingRun, 4), Alternate(0.0, 0.5, 5), "....x"},
        RuleCase{"r4_default_fourteenth_move", 4, {}, Alternate(0.0, 0.5, 15), "..............x"},
        // A move in the same direction sets the count to 0; the alternation
        // that follows counts from 1 at its next move.
        RuleCase{"r4_same_direction_restarts",
                 4,
                 N(&RuleOptions::alternatingRun, 4),
                 {0.0, 0.5, 0.0, 0.5, 0.8, 0.2, 0.9, 0.1, 0.9},
                 "........x"},
        RuleCase{"r4_equal_value_restarts",
                 4,
                 N(&RuleOptions::alternatingRun, 4),
                 {0.0, 0.5, 0.0, 0.5, 0.5, 0.0, 0.5, 0.0, 0.5},
                 "........x"},
        RuleCase{"r4_restart_after_mark", 4, N(&RuleOptions::alternatingRun, 4), Alternate(0.0, 0.5, 9), "....x...x"},

        // Rule 5, W = 3, K = 2, in fixed blocks 1-3, 4-6, ...
        RuleCase{"r5_hits_1_2", 5, {}, {2.5, 2.5, 0, 0, 0, 0}, ".x...."},
        RuleCase{"r5_hits_1_3_either_side", 5, {}, {2.5, 0, -2.5, 0, 0, 0}, "..x..."},
        RuleCase{"r5_hits_3_4_two_blocks", 5, {}, {0, 0, 2.5, 2.5, 0, 0}, "......"},
        RuleCase{"r5_on_2sigma_line_no_hit", 5, {}, {2, -2, 2, 2.0001, -2.0001, 0}, "....x."},
        // Within one block the hit count starts again after a mark.
        RuleCase{"r5_two_marks_in_one_block",
                 5,
                 WK(&RuleOptions::beyond2SigmaBlock, 7, &RuleOptions::beyond2SigmaHits, 2),
                 {2.5, 2.5, 2.5, 2.5, 0, 0, 0},
                 ".x.x..."},

        // Rule 6, W = 5, K = 4: beyond ±1σ, either side.
        RuleCase{"r6_four_of_five", 6, {}, {1.5, 2.5, -1.5, 1.5, 0}, "...x."},
        RuleCase{"r6_on_1sigma_line_no_hit", 6, {}, {1, -1, 1, -1, 1}, "....."},
        RuleCase{"r6_across_block_boundary", 6, {}, {0, 0, 1.5, 1.5, 1.5, 1.5, 0, 0, 0, 0}, ".........."},

        // Rule 7, W = K = 15: within ±1σ, lines included.
        RuleCase{"r7_fifteen_in_block", 7, {}, Repeat(1.0, 15), "..............x"},
        RuleCase{"r7_straddling_blocks", 7, {}, Concat({{2.5}, Repeat(0.0, 15)}), std::string(16, '.')},
        RuleCase{"r7_second_block", 7, {}, Concat({{2.5}, Repeat(0.0, 29)}), std::string(29, '.') + "x"},

        // Rule 8, W = K = 8: beyond ±1σ on alternating sides still counts.
        RuleCase{"r8_eight_beyond", 8, {}, Alternate(1.5, -2.5, 8), ".......x"},
        RuleCase{"r8_one_inside", 8, {}, Concat({Alternate(1.5, -2.5, 7), {0.5}}), "........"}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST(SpcZoneClass, LinesBelongToTheInnerZone)
{
    const SpcLines l = UnitLines();
    struct {
        double v;
        int zone;
    } cases[] = {{0, 3}, {1, 3}, {-1, 3}, {1.0001, 2}, {-1.5, 2}, {2, 2}, {-2, 2}, {2.0001, 1}, {-2.0001, 1}, {3.5, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(SpcZoneClass(c.v, l), c.zone) << c.v;
}

// --- The table, through the texts of the fields and the statistics table ----

SpcXLineTexts XTexts()
{
    return {"10.0000", "10.3000", "10.2000", "10.1000", "9.7000", "9.8000", "9.9000"};
}

SpcDispersionLineTexts RTexts()
{
    return {"0.2000", "0.5000", "0.4000", "0.3000"};
}

std::vector<std::string> Labels(int n)
{
    std::vector<std::string> v;
    for (int i = 1; i <= n; ++i)
        v.push_back("K" + std::to_string(10000 + i).substr(1));  // K0001 ...
    return v;
}

SpcInput Input(std::vector<std::string> x, std::vector<std::string> r)
{
    SpcInput in;
    in.labels = Labels(static_cast<int>(x.size()));
    in.xLines = XTexts();
    in.xValues = std::move(x);
    in.dispersionLines = RTexts();
    in.dispersionValues = std::move(r);
    return in;
}

std::string Row(const SpcTable& t, int row)
{
    std::string s;
    for (int c = 0; c < kSpcColumns; ++c) {
        if (c)
            s += '|';
        s += t.text(row, c);
    }
    return s;
}

TEST(JudgeSpc, WritesLabelsMarksAndVerdicts)
{
    // Lot 2 is beyond the upper 3σ line of the X side, lot 3 beyond the upper
    // line of the R side; lot 1 is clean.
    SpcJudgment j = JudgeSpc(Input({"10.00000", "10.40000", "10.05000"}, {"0.10000", "0.20000", "0.60000"}),
                             RuleOptions::Defaults());
    ASSERT_FALSE(j.error);
    ASSERT_TRUE(j.abnormal);
    EXPECT_TRUE(*j.abnormal);
    EXPECT_EQ(Row(j.table, 1), "K0001|○|○|○|○|○|○|○|○|○|○|○|○|○|○|○|○|○異常なし");
    EXPECT_EQ(Row(j.table, 2), "K0002|×|○|○|○|○|○|○|○|○|○|○|○|○|○|○|○|×異常あり");
    EXPECT_EQ(Row(j.table, 3), "K0003|○|○|○|○|○|○|○|○|×|○|○|○|○|○|○|○|×異常あり");
}

TEST(JudgeSpc, AllRulesOff)
{
    RuleOptions o = RuleOptions::Defaults();
    for (int r = 1; r <= 8; ++r)
        o.setCheck(r, false);
    SpcJudgment j = JudgeSpc(Input({"11.00000", "9.00000"}, {"0.90000", "0.00000"}), o);
    ASSERT_TRUE(j.abnormal);
    EXPECT_FALSE(*j.abnormal);
    EXPECT_EQ(Row(j.table, 1), "K0001|－|－|－|－|－|－|－|－|－|－|－|－|－|－|－|－|○異常なし");
    EXPECT_EQ(Row(j.table, 2), "K0002|－|－|－|－|－|－|－|－|－|－|－|－|－|－|－|－|○異常なし");
}

TEST(JudgeSpc, DispersionSideHasLowerLinesAtZero)
{
    const SpcLines l = ParseSpcLines(RTexts());
    EXPECT_EQ(l.L3, 0.0);
    EXPECT_EQ(l.L2, 0.0);
    EXPECT_EQ(l.L1, 0.0);
    // A range of 0 lies on every lower line: not beyond 3σ and within ±1σ,
    // so fifteen of them complete rule 7 and nothing else fires.
    const SpcSideMarks m = EvaluateSpcRules(Repeat(0.0, 15), l, OnlyRule(1));
    EXPECT_EQ(MarksOf(m, 1), std::string(15, '.'));
    const SpcSideMarks m7 = EvaluateSpcRules(Repeat(0.0, 15), l, OnlyRule(7));
    EXPECT_EQ(MarksOf(m7, 7), "..............x");
}

TEST(JudgeSpc, ThousandLotsInFixedBlocks)
{
    // 1000 lots on the centre line: rule 7 marks every fifteenth lot, the
    // last ten lots form an incomplete block.
    std::vector<std::string> x(1000, "10.00000"), r(1000, "0.20000");
    RuleOptions o = OnlyRule(7);
    SpcJudgment j = JudgeSpc(Input(x, r), o);
    ASSERT_FALSE(j.error);
    ASSERT_EQ(j.table.lots(), 1000);
    EXPECT_EQ(j.table.text(1000, 0), "K1000");
    int marks = 0;
    for (int row = 1; row <= 1000; ++row) {
        const bool expected = row % 15 == 0;
        EXPECT_EQ(j.table.text(row, 7), expected ? "×" : "○") << row;
        marks += expected;
    }
    EXPECT_EQ(marks, 66);
    EXPECT_EQ(j.table.text(1000, 17), "○異常なし");
}

struct FailureCase {
    const char* name;
    std::function<void(SpcInput&)> spoil;
    std::string offending;  // the text the message names
    bool xWritten;          // X columns and labels filled
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class SpcFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SpcFailureTest, StopsAtTheFirstBadTextInReadingOrder)
{
    const FailureCase& c = GetParam();
    SpcInput in = Input({"10.00000", "10.10000", "9.90000"}, {"0.10000", "0.20000", "0.30000"});
    c.spoil(in);
    SpcJudgment j = JudgeSpc(in, RuleOptions::Defaults());
    ASSERT_TRUE(j.error);
    EXPECT_EQ(j.error->text(), c.offending);
    EXPECT_EQ(std::string(j.error->what()), "'" + c.offending + "' は浮動小数点数ではありません");
    EXPECT_FALSE(j.abnormal);  // the panel keeps its caption
    EXPECT_EQ(j.table.sideWritten(SpcSide::X), c.xWritten);
    EXPECT_FALSE(j.table.sideWritten(SpcSide::Dispersion));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(j.table.text(row, 0).empty(), !c.xWritten);
        for (int col = 1; col <= 8; ++col)
            EXPECT_EQ(j.table.text(row, col).empty(), !c.xWritten);
        for (int col = 9; col <= 17; ++col)
            EXPECT_TRUE(j.table.text(row, col).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SpcFailureTest,
    ::testing::Values(FailureCase{"blank_centre_line", [](SpcInput& in) { in.xLines.Xcl = ""; }, "", false},
                      FailureCase{"lone_minus", [](SpcInput& in) { in.xLines.Lcl1 = "-"; }, "-", false},
                      // editUcl3 is read before editLcl3, editLcl3 before editUcl2.
                      FailureCase{"order_ucl3_before_lcl3",
                                  [](SpcInput& in) {
                                      in.xLines.Lcl3 = "b";
                                      in.xLines.Ucl3 = "a";
                                  },
                                  "a", false},
                      FailureCase{"order_lcl3_before_ucl2",
                                  [](SpcInput& in) {
                                      in.xLines.Ucl2 = "c";
                                      in.xLines.Lcl3 = "b";
                                  },
                                  "b", false},
                      // All lines are read before any lot value.
                      FailureCase{"lines_before_values",
                                  [](SpcInput& in) {
                                      in.xValues[0] = "v";
                                      in.xLines.Lcl1 = "1.2-";
                                  },
                                  "1.2-", false},
                      FailureCase{"bad_lot_value", [](SpcInput& in) { in.xValues[1] = " "; }, " ", false},
                      // The hidden fields are blank when no computation filled them.
                      FailureCase{"blank_hidden_line", [](SpcInput& in) { in.dispersionLines.RsUcl2 = ""; }, "", true},
                      // A blank lot value of the range column.
                      FailureCase{"blank_range", [](SpcInput& in) { in.dispersionValues[2] = ""; }, "", true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(JudgeSpc, ALotWithoutStandardDeviationStopsTheSSideNamingIt)
{
    // On the S side a blank STDEV is a lot with a single value: the X side
    // is judged, then the judgment stops at that lot with its own message,
    // before the S side's lines are read (the hidden one here is blank).
    SpcInput in = Input({"10.00000", "10.10000", "9.90000"}, {"0.10000", "", ""});
    in.dispersionIsStdev = true;
    in.dispersionLines.RsUcl2 = "";
    const SpcJudgment j = JudgeSpc(in, RuleOptions::Defaults());
    EXPECT_FALSE(j.error);
    ASSERT_TRUE(j.stop);
    EXPECT_EQ(*j.stop,
              "ロット「K0002」の測定値が１つのため、S側の異常判定ができません。"
              "測定値を２つ以上入力するか、このロットを「無効」にしてください…");
    EXPECT_FALSE(j.abnormal);
    EXPECT_TRUE(j.table.sideWritten(SpcSide::X));
    EXPECT_FALSE(j.table.sideWritten(SpcSide::Dispersion));
    EXPECT_EQ(j.table.text(2, kSpcVerdictColumn), "");

    // A STDEV of 0 (equal values) is judged like any other.
    in.dispersionValues = {"0.10000", "0.00000", "0.00000"};
    in.dispersionLines.RsUcl2 = "0.25000";
    const SpcJudgment ok = JudgeSpc(in, RuleOptions::Defaults());
    EXPECT_FALSE(ok.error);
    EXPECT_FALSE(ok.stop);
    EXPECT_TRUE(ok.abnormal.has_value());
}

TEST(SpcTexts, ValueColumnsTitlesAndRedCells)
{
    EXPECT_EQ(SpcValueColumn(SpcSide::X, "XbarS管理図"), 4);
    EXPECT_EQ(SpcValueColumn(SpcSide::Dispersion, "XbarS管理図"), 6);
    EXPECT_EQ(SpcValueColumn(SpcSide::Dispersion, "XbarR管理図"), 5);
    EXPECT_EQ(SpcValueColumn(SpcSide::Dispersion, "X-Rs管理図"), 5);
    EXPECT_EQ(SpcValueColumn(SpcSide::Dispersion, ""), 5);

    EXPECT_EQ(SpcColumnTitle(1, ChartXbarS), "X①");
    EXPECT_EQ(SpcColumnTitle(9, ChartXbarR), "R①");
    EXPECT_EQ(SpcColumnTitle(16, ChartXRs), "Rs⑧");
    EXPECT_EQ(SpcColumnTitle(17, ChartXbarS), "");

    EXPECT_TRUE(IsSpcAbnormalText("×"));
    EXPECT_TRUE(IsSpcAbnormalText(" ×異常あり"));
    EXPECT_FALSE(IsSpcAbnormalText("○異常なし"));
    EXPECT_FALSE(IsSpcAbnormalText("－"));
    EXPECT_FALSE(IsSpcAbnormalText(""));
}

}  // namespace
}  // namespace trevolo
