#include "stats/capability.h"

#include <gtest/gtest.h>

#include "model/number.h"

namespace trevolo {
namespace {

Lot L(std::string label, std::vector<std::string> cells, bool enabled = true)
{
    return Lot{std::move(label), enabled, std::move(cells)};
}

CapabilityInput Input(int specKind, std::string_view upper, std::string_view lower, int chart = ChartXbarR)
{
    CapabilityInput in;
    in.chartKind = chart;
    in.specKind = specKind;
    in.upper = upper;
    in.lower = lower;
    in.threshold = "1.33";
    return in;
}

// Columns 1..9 of a row joined with "|" for compact expectations.
std::string Cols(const CalcRow& r)
{
    std::string s;
    for (int c = CalcN; c < kCalcColumns; ++c) {
        if (c > CalcN)
            s += '|';
        s += r[static_cast<size_t>(c)];
    }
    return s;
}

// 9.8, 10.0, 10.2: mean 10, deviations ±0.2, s = sqrt((0.04 + 0 + 0.04) / 2) = 0.2.
// Two-sided U 10.5 L 9.5: Cp = 1 / 1.2 = 0.833, CPU = CPL = 0.5 / 0.6 = 0.833.
// Asymmetric U 10.8 L 9.5: Cp = 1.3 / 1.2 = 1.083, CPU = 0.8 / 0.6 = 1.333,
// CPL = 0.833; one-sided indices use one side only.
TEST(Capability, IndicesPerSpecificationKind)
{
    struct Case {
        int kind;
        const char* upper;
        const char* lower;
        const char* row;
    };
    const Case cases[] = {
        {SpecTolerance, "10.5", "9.5", "3|10.20000|9.80000|10.00000|0.40000|0.20000|0.833|0.833|×異常あり"},
        {SpecUpperOnly, "10.5", "", "3|10.20000|9.80000|10.00000|0.40000|0.20000|0.833|0.833|×異常あり"},
        {SpecTolerance, "10.8", "9.5", "3|10.20000|9.80000|10.00000|0.40000|0.20000|1.083|0.833|×異常あり"},
        {SpecUpperOnly, "10.8", "", "3|10.20000|9.80000|10.00000|0.40000|0.20000|1.333|1.333|○異常なし"},
        {SpecLowerOnly, "", "9.2", "3|10.20000|9.80000|10.00000|0.40000|0.20000|1.333|1.333|○異常なし"},
        // A process centred outside its limit shows a negative index as it is.
        {SpecUpperOnly, "9.7", "", "3|10.20000|9.80000|10.00000|0.40000|0.20000|-0.500|-0.500|×異常あり"},
    };
    for (const Case& c : cases) {
        const CapabilityResult r =
            ComputeCapability(LotTable({L("1", {"9.8", "10.0", "10.2"})}), Input(c.kind, c.upper, c.lower));
        ASSERT_EQ(r.rows.size(), 2u);
        EXPECT_EQ(Cols(r.rows[0]), c.row) << c.upper << " " << c.lower;
        EXPECT_EQ(r.rows[0][CalcLot], "1");
        EXPECT_EQ(r.rows[1][CalcLot], "＊トータル");
        EXPECT_EQ(Cols(r.rows[1]), c.row);  // the only lot is the total
        EXPECT_EQ(r.tableRows, 3);
        EXPECT_FALSE(r.error);
    }
}

TEST(Capability, VerdictComparesTheRoundedTexts)
{
    // (U - 10) / 0.6 with U 10.79794 is 1.32990, shown 1.330: equal to 1.33, passes.
    // With U 10.7976 it is 1.32933, shown 1.329: fails and is marked red.
    struct Case {
        const char* upper;
        bool on;
        int index;
        const char* cp;
        const char* verdict;
        Verdict panel;
    };
    const Case cases[] = {
        {"10.79794", true, 1, "1.330", "○異常なし", Verdict::Pass},
        {"10.7976", true, 1, "1.329", "×異常あり", Verdict::Fail},
        {"10.7976", true, 0, "1.329", "×異常あり", Verdict::Fail},
        {"10.7976", false, 1, "1.329", "－", Verdict::Pass},
    };
    for (const Case& c : cases) {
        CapabilityInput in = Input(SpecUpperOnly, c.upper, "");
        in.thresholdOn = c.on;
        in.thresholdIndex = c.index;
        const CapabilityResult r = ComputeCapability(LotTable({L("1", {"9.8", "10.0", "10.2"})}), in);
        EXPECT_EQ(r.rows[0][CalcCp], c.cp);
        EXPECT_EQ(r.rows[0][CalcVerdict], c.verdict);
        EXPECT_EQ(r.rows[1][CalcVerdict], c.verdict);
        EXPECT_EQ(r.panel, c.panel);
        const CalcMarking m{true, c.on, c.index, "1.33"};
        const bool redIndex = c.on && std::string_view(c.cp) == "1.329";
        EXPECT_EQ(CalcCellIsRed(c.index == 0 ? CalcCp : CalcCpk, 1, c.cp, m), redIndex) << c.upper;
        EXPECT_EQ(CalcCellIsRed(CalcVerdict, 1, c.verdict, m), c.verdict[0] == "×"[0]);
    }
    // Paint-time: the other index column, the header row and an unreadable
    // threshold are never marked.
    const CalcMarking on{true, true, 1, "1.33"};
    EXPECT_FALSE(CalcCellIsRed(CalcCp, 3, "0.500", on));
    EXPECT_FALSE(CalcCellIsRed(CalcCpk, 0, "0.500", on));
    EXPECT_FALSE(CalcCellIsRed(CalcCpk, 3, "0.500", {true, true, 1, "abc"}));
}

TEST(Capability, LotRowsPackedAndMovingRangesFromShownMeans)
{
    // Means 1.000004 and 1.000016 are shown 1.00000 and 1.00002; the moving
    // range is taken from the shown texts: 0.00002, not round(0.000012) = 0.00001.
    // The average range divides by both lot rows: (0 + 0.00002) / 2 = 0.00001.
    // A disabled lot (even holding letters) and an empty lot leave no row.
    const LotTable t({L("1", {"1.000004"}), L("2", {"zz"}, false), L("3", {"", " "}), L("4", {"1.000016"})});
    const CapabilityResult r = ComputeCapability(t, Input(SpecTolerance, "2", "0", ChartXRs));
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.lotRows, 2);
    EXPECT_EQ(r.tableRows, 4);
    EXPECT_EQ(r.rows[0][CalcLot], "1");
    EXPECT_EQ(r.rows[1][CalcLot], "4");
    EXPECT_EQ(Cols(r.rows[0]), "1|1.00000|1.00000|1.00000|0.00000||||");
    EXPECT_EQ(Cols(r.rows[1]), "1|1.00002|1.00002|1.00002|0.00002||||");
    // The total's s of (1.000004, 1.000016) is 0.000012 / sqrt 2 = 0.0000085.
    EXPECT_EQ(r.rows[2][CalcRange], "0.00001");
    EXPECT_EQ(r.rows[2][CalcStdev], "0.00001");
    EXPECT_TRUE(r.totalComputed);
    EXPECT_EQ(r.panel, Verdict::Pass);
    // Lot rows of the X-Rs chart have no index, so no verdict.
    EXPECT_EQ(r.rows[0][CalcVerdict], "");
    EXPECT_EQ(r.rows[2][CalcVerdict], "○異常なし");
}

TEST(Capability, DegenerateTables)
{
    // One value: the lot row only, R 0, total keeps only its label, the
    // panel is left alone.
    const CapabilityResult one = ComputeCapability(LotTable({L("7", {"", "5.5"})}), Input(0, "10", "0"));
    ASSERT_EQ(one.rows.size(), 2u);
    EXPECT_EQ(Cols(one.rows[0]), "1|5.50000|5.50000|5.50000|0.00000||||");
    EXPECT_EQ(Cols(one.rows[1]), "||||||||");
    EXPECT_EQ(one.rows[1][CalcLot], "＊トータル");
    EXPECT_FALSE(one.totalComputed);
    EXPECT_EQ(one.panel, Verdict::None);

    // All values equal: no STDEV, CP, CPK anywhere, no verdict, panel passes.
    const std::vector<std::string> same = {"10.000", "10.000", "10.000"};
    const CapabilityResult eq =
        ComputeCapability(LotTable({L("1", same), L("2", same), L("3", same)}), Input(0, "10.5", "9.5"));
    ASSERT_EQ(eq.rows.size(), 4u);
    for (const CalcRow& row : eq.rows) {
        EXPECT_EQ(row[CalcStdev], "");
        EXPECT_EQ(row[CalcCpk], "");
        EXPECT_EQ(row[CalcVerdict], "");
    }
    EXPECT_EQ(eq.rows[3][CalcN], "9");
    EXPECT_EQ(eq.panel, Verdict::Pass);

    // On the S chart a lot of equal values has s = 0 and shows it, still
    // without indices; a lot with a single value has no s.
    const CapabilityResult s =
        ComputeCapability(LotTable({L("1", {"10.0", "10.0"}), L("2", {"10.1"}), L("3", {"9.9", "10.1"})}),
                          Input(SpecTolerance, "10.5", "9.5", ChartXbarS));
    ASSERT_EQ(s.rows.size(), 4u);
    EXPECT_EQ(Cols(s.rows[0]), "2|10.00000|10.00000|10.00000|0.00000|0.00000|||");
    EXPECT_EQ(Cols(s.rows[1]), "1|10.10000|10.10000|10.10000|0.00000||||");
    EXPECT_EQ(s.rows[2][CalcStdev], "0.14142");
    EXPECT_EQ(s.rows[2][CalcVerdict], "×異常あり");

    // No lot with values: nothing written, the row count stays.
    const CapabilityResult none = ComputeCapability(LotTable({L("1", {"5"}, false), L("2", {})}), Input(0, "1", "0"));
    EXPECT_TRUE(none.rows.empty());
    EXPECT_EQ(none.tableRows, 0);
    EXPECT_EQ(none.panel, Verdict::None);
}

TEST(Capability, NumbersFarFromZeroKeepTheirSpread)
{
    // 1e15, 1e15, 1e15 + 0.125 (each exact in binary): deviations from the
    // mean -1/24, -1/24, 1/12; s = sqrt((2/576 + 1/144) / 2) = 0.0721688.
    // Summing squares of 1e15 first would lose the spread entirely.
    const CapabilityResult r =
        ComputeCapability(LotTable({L("1", {"1000000000000000", "1000000000000000", "1000000000000000.125"})}),
                          Input(SpecTolerance, "1000000000000001", "999999999999999"));
    EXPECT_EQ(r.rows[0][CalcStdev], "0.07217");
    // Cp = 2 / (6 * 0.0721688) = 4.619
    EXPECT_EQ(r.rows[0][CalcCp], "4.619");
}

TEST(Capability, ConversionErrorsStopWhereTheyAre)
{
    // A measured value: the lots before it are written, no total, no row count.
    const CapabilityResult v =
        ComputeCapability(LotTable({L("1", {"1", "2"}), L("2", {"3", "."})}), Input(0, "10", "0"));
    ASSERT_TRUE(v.error);
    EXPECT_EQ(v.error->source, ConvertFailure::Source::MeasuredValue);
    EXPECT_EQ(v.error->pos, (CellPos{1, 2}));
    EXPECT_EQ(v.rows.size(), 1u);
    EXPECT_EQ(v.tableRows, 0);

    // The threshold: found at the first row with an index (row 2 here, the
    // first lot having one value); the table is complete, no verdicts, the
    // panel stays.
    CapabilityInput in = Input(0, "10", "0");
    in.threshold = "";
    const CapabilityResult t = ComputeCapability(LotTable({L("1", {"4"}), L("2", {"3", "5"})}), in);
    ASSERT_TRUE(t.error);
    EXPECT_EQ(t.error->source, ConvertFailure::Source::Threshold);
    EXPECT_EQ(t.error->pos.row, 2);
    EXPECT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.tableRows, 4);
    EXPECT_EQ(t.rows[2][CalcN], "3");
    EXPECT_EQ(t.rows[1][CalcVerdict], "");
    EXPECT_EQ(t.panel, Verdict::None);
}

TEST(Capability, ThousandLotsTotalInRow1001)
{
    std::vector<Lot> lots;
    for (int i = 0; i < 1000; ++i)
        lots.push_back(L(std::to_string(i + 1), {"9.8", "10.0", "10.2"}));
    const CapabilityResult r = ComputeCapability(LotTable(std::move(lots)), Input(0, "10.5", "9.5"));
    ASSERT_EQ(r.rows.size(), 1001u);
    EXPECT_EQ(r.tableRows, 1002);
    EXPECT_EQ(r.rows[999][CalcLot], "1000");
    EXPECT_EQ(r.rows[1000][CalcLot], "＊トータル");
    EXPECT_EQ(r.rows[1000][CalcN], "3000");
    // Total: 1000 copies of each value, s = sqrt(80 / 2999) = 0.16333.
    EXPECT_EQ(r.rows[1000][CalcStdev], "0.16333");
    EXPECT_EQ(r.rows[1000][CalcRange], "0.40000");
}

}  // namespace
}  // namespace trevolo
