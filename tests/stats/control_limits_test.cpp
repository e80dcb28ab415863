#include "stats/control_limits.h"

#include <gtest/gtest.h>

namespace trevolo {
namespace {

Lot L(std::vector<std::string> cells, bool enabled = true)
{
    return Lot{"", enabled, std::move(cells)};
}

std::string Joined(const std::array<std::string, kLimitFields>& t)
{
    std::string s;
    for (const std::string& x : t) {
        if (!s.empty())
            s += ' ';
        s += x;
    }
    return s;
}

// Order of the expected texts: Ucl3 Ucl2 Ucl1 Lcl3 Lcl2 Lcl1 Xcl Rcl RsUcl3 RsUcl2 RsUcl1.
TEST(ControlLimits, ThreeSigmaLinesPerChartKind)
{
    struct Case {
        const char* name;
        int chart;
        std::vector<Lot> lots;
        const char* texts;
    };
    const Case cases[] = {
        // 10, 12, 11: m = 11, s = sqrt((1 + 1 + 0) / 2) = 1; moving ranges 0, 2, 1 -> C = 3 / 3 = 1.
        {"X-Rs series",
         ChartXRs,
         {L({"10"}), L({"12"}), L({"11"})},
         "14.0000 13.0000 12.0000 8.0000 9.0000 10.0000 11.0000 1.0000 4.0000 3.0000 2.0000"},
        // A lot without values has no entry: the moving range of 12 is taken against 10.
        {"X-Rs skips an empty lot",
         ChartXRs,
         {L({"10"}), L({" ", ""}), L({"12"}), L({"11"})},
         "14.0000 13.0000 12.0000 8.0000 9.0000 10.0000 11.0000 1.0000 4.0000 3.0000 2.0000"},
        // (1, 3) and (2, 6): m = 3, s = sqrt((4 + 0 + 1 + 9) / 3) = 2.1602469;
        // ranges 2 and 4 -> C = 3.
        {"XbarR lots",
         ChartXbarR,
         {L({"1", "3"}), L({"2", "6"})},
         "9.4807 7.3205 5.1602 -3.4807 -1.3205 0.8398 3.0000 3.0000 9.4807 7.3205 5.1602"},
        // Same lots on the S chart: S = sqrt 2 = 1.4142136 and sqrt 8 = 2.8284271 -> C = 2.1213203.
        {"XbarS lots",
         ChartXbarS,
         {L({"1", "3"}), L({"2", "6"})},
         "9.4807 7.3205 5.1602 -3.4807 -1.3205 0.8398 3.0000 2.1213 8.6021 6.4418 4.2816"},
        // (5) and (1, 3): the single-value lot's S of 0 takes part: C = (0 + sqrt 2) / 2 = 0.7071;
        // all values 5, 1, 3: m = 3, s = 2.
        {"S chart with a one-value lot",
         ChartXbarS,
         {L({"5"}), L({"1", "3"})},
         "9.0000 7.0000 5.0000 -3.0000 -1.0000 1.0000 3.0000 0.7071 6.7071 4.7071 2.7071"},
        // Disabled lots take no part, whatever they hold.
        {"disabled lots ignored",
         ChartXRs,
         {L({"10"}), L({"500", "x"}, false), L({"12"}), L({"11"})},
         "14.0000 13.0000 12.0000 8.0000 9.0000 10.0000 11.0000 1.0000 4.0000 3.0000 2.0000"},
        // All equal: s = 0, every X line is m and the R/S/Rs lines are C = 0.
        {"all values equal",
         ChartXbarR,
         {L({"2.5", "2.5"}), L({"2.5"})},
         "2.5000 2.5000 2.5000 2.5000 2.5000 2.5000 2.5000 0.0000 0.0000 0.0000 0.0000"},
    };
    for (const Case& c : cases) {
        const LotTable t(c.lots);
        const ControlLimitResult r = ComputeLimitTexts(t, c.chart);
        ASSERT_TRUE(r.computed) << c.name;
        EXPECT_EQ(Joined(r.texts), c.texts) << c.name;
        EXPECT_EQ(r.valueCount, CountIncludedValues(t)) << c.name;
    }
}

TEST(ControlLimits, TooFewValuesOrNotANumberComputeNothing)
{
    struct Case {
        const char* name;
        std::vector<Lot> lots;
        int count;
        bool error;
    };
    const Case cases[] = {
        {"no lots", {}, 0, false},
        {"only blanks", {L({" ", "\t"}), L({})}, 0, false},
        {"one included value", {L({"4"}), L({"5", "6"}, false)}, 1, false},
        {"a lone minus sign", {L({"1", "2"}), L({"3", "-"})}, 4, true},
    };
    for (const Case& c : cases) {
        const LotTable t(c.lots);
        const ControlLimitResult r = ComputeLimitTexts(t, ChartXbarR);
        EXPECT_FALSE(r.computed) << c.name;
        EXPECT_EQ(r.valueCount, c.count) << c.name;
        EXPECT_EQ(CountIncludedValues(t), c.count) << c.name;
        EXPECT_EQ(r.error.has_value(), c.error) << c.name;
        for (const std::string& s : r.texts)
            EXPECT_EQ(s, "") << c.name;
    }
    const ControlLimitResult r = ComputeLimitTexts(LotTable({L({"1", "2"}), L({"3", "-"})}), ChartXbarR);
    EXPECT_EQ(r.error->pos, (CellPos{1, 2}));
    EXPECT_EQ(r.error->text, "-");
}

TEST(ControlLimits, ReadsTheWindowTablesFromRowOne)
{
    // Lot grid: label in column 0, enabled flag on column 1; values from row 1.
    CellStore ctrl(2);
    CellStore edit(3);
    const char* values[3][3] = {{"10", "", ""}, {"99", "99", "99"}, {"12", "11", "x"}};
    for (int row = 1; row <= 3; ++row) {
        ctrl.setText(0, row, std::to_string(row));
        ctrl.setFlag(1, row, row != 2);
        for (int col = 0; col < 3; ++col)
            edit.setText(col, row, values[row - 1][col]);
    }
    edit.setText(0, 0, "N1");  // the header is never read
    // Two displayed columns hide the "x" of column 2: values 10, 12, 11 as in the X-Rs example.
    const GridLots lots(ctrl, edit, 3, 2);
    EXPECT_EQ(lots.label(2), "3");
    const ControlLimitResult r = ComputeLimitTexts(lots, ChartXbarR);
    ASSERT_TRUE(r.computed);
    EXPECT_EQ(r.texts[LimitXcl], "11.0000");
    EXPECT_EQ(r.texts[LimitUcl3], "14.0000");
    // Three columns show it.
    const ControlLimitResult bad = ComputeLimitTexts(GridLots(ctrl, edit, 3, 3), ChartXbarR);
    ASSERT_TRUE(bad.error);
    EXPECT_EQ(bad.error->pos, (CellPos{2, 3}));
}

}  // namespace
}  // namespace trevolo

using namespace trevolo;

TEST(ControlLimits, ConvertedOnceGivesTheSameLinesAndTheSameError)
{
    // The batch chain reads the lots through a converted view; the lines and
    // the first failing cell must be exactly those of the texts themselves.
    const std::vector<std::vector<Lot>> tables = {
        {L({"1", "3"}), L({"2", "6"}), L({" ", ""})},
        {L({"10.5", "9.75", "10.25"}), L({"x", "1"}), L({"2"})},
        {L({"-1e3", "0.001"}), L({"7", " 8 "})},
    };
    for (const auto& lots : tables) {
        const LotTable raw(lots);
        const ParsedLots parsed(raw);
        for (int kind : {ChartXbarR, ChartXbarS, ChartXRs}) {
            const ControlLimitResult a = ComputeLimitTexts(raw, kind);
            const ControlLimitResult b = ComputeLimitTexts(parsed, kind);
            EXPECT_EQ(a.computed, b.computed);
            EXPECT_EQ(a.texts, b.texts);
            EXPECT_EQ(a.error.has_value(), b.error.has_value());
            if (a.error && b.error) {
                EXPECT_EQ(a.error->text, b.error->text);
                EXPECT_EQ(a.error->pos, b.error->pos);
            }
        }
    }
}
