// The coefficient method, its constants and the capability study with its
// confidence bounds.
#include <gtest/gtest.h>

#include <cmath>

#include "model/comtype.h"
#include "stats/coefficient_limits.h"
#include "stats/process_capability.h"
#include "stats/spc_constants.h"

namespace trevolo {
namespace {

Lot L(const char* label, std::vector<std::string> cells)
{
    return Lot{label, true, std::move(cells)};
}

// The factors as printed in Montgomery, Introduction to Statistical Quality
// Control, Appendix VI (three decimals; c₄ four). D₄(2) is printed 3.267 there
// (from d₃ = 0.8525) and 3.268 in books that derive it from d₃ = 0.853 as we do.
TEST(SpcConstants, AgreeWithThePrintedTable)
{
    struct Row {
        int n;
        double a2, d4, c4, a3, b4;
    };
    const Row table[] = {
        {2, 1.880, 3.268, 0.7979, 2.659, 3.267},
        {5, 0.577, 2.114, 0.9400, 1.427, 2.089},
        {10, 0.308, 1.777, 0.9727, 0.975, 1.716},
        {25, 0.153, 1.541, 0.9896, 0.606, 1.435},
    };
    for (const Row& r : table) {
        EXPECT_NEAR(ConstA2(r.n), r.a2, 0.001) << r.n;
        EXPECT_NEAR(ConstD4(r.n), r.d4, 0.001) << r.n;
        EXPECT_NEAR(ConstC4(r.n), r.c4, 0.00005) << r.n;
        EXPECT_NEAR(ConstA3(r.n), r.a3, 0.0005) << r.n;
        EXPECT_NEAR(ConstB4(r.n), r.b4, 0.0005) << r.n;
    }
    EXPECT_NEAR(ConstE2(), 2.6596, 0.00005);
    // The range table ends at 25.
    EXPECT_EQ(ConstD2(1), 0.0);
    EXPECT_EQ(ConstD2(26), 0.0);
    EXPECT_NEAR(ConstD2(25), 3.931, 1e-12);
}

// Hand-worked sheets. XbarR and XbarS: lots (1, 3) and (2, 6), X̿ = 3.
//   R̄ = (2 + 4)/2 = 3, A₂(2) = 3/(1.128·√2) = 1.88060: 3 ± 5.64181;
//   D₄(2) = 1 + 3·0.853/1.128 = 3.26862: R UCL 9.80585, hidden +2σ 3 + (2/3)·6.80585.
//   s̄ = (√2 + √8)/2 = 2.12132, A₃(2) = 2.65868: 3 ± 5.63991; B₄(2) = 3.26653: 6.92936,
//   hidden +1σ 2.12132 + (1/3)·4.80804.
// X-Rs: 10, 12, 11: X̄ = 11, MR̄ = (2 + 1)/2 = 1.5; E₂ = 2.65957: 11 ± 3.98936, the
//   −2σ line 11 − (2/3)·3.98936; Rs UCL 3.26862·1.5 = 4.90293.
TEST(CoefficientLimits, HandWorkedSheets)
{
    struct Check {
        int field;
        double value;
    };
    struct Case {
        int chart;
        std::vector<Lot> lots;
        std::vector<Check> checks;
    };
    const std::vector<Lot> twoLots = {L("1", {"1", "3"}), L("2", {"2", "6"})};
    const Case cases[] = {
        {ChartXbarR,
         twoLots,
         {{LimitUcl3, 8.64181},
          {LimitLcl3, -2.64181},
          {LimitXcl, 3},
          {LimitRcl, 3},
          {LimitRsUcl3, 9.80585},
          {LimitRsUcl2, 7.53723}}},
        {ChartXbarS,
         twoLots,
         {{LimitUcl3, 8.63991},
          {LimitLcl3, -2.63991},
          {LimitRcl, 2.12132},
          {LimitRsUcl3, 6.92936},
          {LimitRsUcl1, 3.72400}}},
        {ChartXRs,
         {L("1", {"10"}), L("2", {"12"}), L("3", {"11"})},
         {{LimitUcl3, 14.98936}, {LimitLcl2, 8.34043}, {LimitXcl, 11}, {LimitRcl, 1.5}, {LimitRsUcl3, 4.90293}}},
    };
    for (const Case& c : cases) {
        const ControlLimitResult r = ComputeLimits(LotTable(c.lots), c.chart, LimitCoefficient);
        ASSERT_TRUE(r.computed) << c.chart;
        for (const Check& k : c.checks)
            EXPECT_NEAR(r.values[static_cast<size_t>(k.field)], k.value, 0.000005) << c.chart << " field " << k.field;
    }
}

// Lots that do not suit the method stop with a message naming the first lot
// that differs (or the chart to use); nothing is computed.
TEST(CoefficientLimits, StopsOnLotsOfTheWrongSize)
{
    struct Case {
        int chart;
        std::vector<Lot> lots;
        const char* message;
    };
    const std::vector<std::string> big(26, "1.5");
    const Case cases[] = {
        {ChartXbarR,
         {L("L1", {"1", "2"}), L("L2", {"3", "4"}), L("L3", {"5", "6", "7"}), L("L4", {"1"})},
         "係数法はすべてのロットのデータ数が同じときに使えます。ロット「L3」のデータ数は 3 個で、最初のロットの 2 "
         "個と異なります。３シグマ法を使うか、ロットのデータ数を揃えてください。"},
        {ChartXRs,
         {L("1", {"1"}), L("2", {"2", "3"})},
         "X-Rs管理図の係数法は各ロットのデータ数が1個のときに使えます。ロット「2」のデータ数は 2 "
         "個です。３シグマ法を使うか、ロットのデータ数を揃えてください。"},
        {ChartXbarR,
         {L("1", big), L("2", big)},
         "XbarR管理図の係数法はロットのデータ数が2～25個のときに使えます（このシートは 26 "
         "個）。XbarS管理図を使ってください。"},
        {ChartXbarS,
         {L("1", {"1"}), L("2", {"2"})},
         "XbarS管理図の係数法はロットのデータ数が2個以上のときに使えます（このシートは1個）。X-Rs管理図を使って"
         "ください。"},
    };
    for (const Case& c : cases) {
        const ControlLimitResult r = ComputeLimits(LotTable(c.lots), c.chart, LimitCoefficient);
        EXPECT_FALSE(r.computed);
        ASSERT_TRUE(r.stop.has_value());
        EXPECT_EQ(*r.stop, c.message);
    }
    // 26 values per lot suit the S chart.
    EXPECT_TRUE(ComputeLimits(LotTable({L("1", big), L("2", big)}), ChartXbarS, LimitCoefficient).computed);
}

// The bounds against the interval the qcc vignette prints for the piston
// rings (N = 125, Cp 1.703 [1.491, ...], Cpk 1.663 [1.448, ...] at 97.5 %,
// with ν = N − 1), the 95 % bound of the verdicts (z = 1.645, χ²(0.05; 124) =
// 99.28), and the bounds with the ν of σ within, worked with mpmath.
TEST(ProcessCapability, BoundsAgreeWithThePublishedInterval)
{
    EXPECT_NEAR(CpLowerBound(1.70328, 124, 0.975), 1.491, 0.0005);
    EXPECT_NEAR(CpkLowerBound(1.66322, 125, 124, 0.975), 1.448, 0.0005);
    EXPECT_NEAR(CpLowerBound(1.0, 124, 0.95), std::sqrt(99.28 / 124), 0.0005);
    EXPECT_NEAR(CpkLowerBound(1.0, 101, 100, 0.95), 1.0 - 1.645 * std::sqrt(1.0 / 909 + 1.0 / 200), 0.0001);
    // ν of ten lots; two single values are one lot of two to s̄/c₄ and MR̄.
    EXPECT_NEAR(WithinDegreesOfFreedom(ChartXbarR, 10, 2), 8.743597, 0.000001);
    EXPECT_NEAR(WithinDegreesOfFreedom(ChartXbarR, 10, 5), 36.237810, 0.000001);
    EXPECT_NEAR(WithinDegreesOfFreedom(ChartXbarR, 10, 10), 74.574542, 0.000001);
    EXPECT_NEAR(WithinDegreesOfFreedom(ChartXbarS, 10, 5), 37.945340, 0.000001);
    EXPECT_NEAR(WithinDegreesOfFreedom(ChartXRs, 2, 1), 0.875969, 0.000001);
    // The piston rings with ν = 90.59 of R̄/d₂ rather than 124.
    const double rings = WithinDegreesOfFreedom(ChartXbarR, 25, 5);
    EXPECT_NEAR(CpLowerBound(1.70328, rings, 0.95), 1.493, 0.0005);
    EXPECT_NEAR(CpkLowerBound(1.66322, 125, rings, 0.95), 1.454, 0.0005);
    // X-Rs against 9..11: MR̄/1.128 = 0.21671, Cp 1.53818, Cpk 1.46127.
    CapabilityStudyInput in;
    in.chartKind = ChartXRs, in.upper = "11", in.lower = "9";
    const CapabilityStudy xrs = StudyCapability(
        LotTable({L("", {"10.0"}), L("", {"10.2"}), L("", {"9.9"}), L("", {"10.1"}), L("", {"10.3"}), L("", {"9.8"}),
                  L("", {"10.0"}), L("", {"10.1"}), L("", {"9.9"}), L("", {"10.2"})}), in);
    EXPECT_NEAR(xrs.within.dof, 5.638812, 0.000001);
    EXPECT_NEAR(xrs.within.cpLower, 0.780816, 0.000001);
    EXPECT_NEAR(xrs.within.cpkLower, 0.724841, 0.000001);
    EXPECT_EQ(xrs.overall.dof, 9);
}

// The verdicts and the words where nothing can be computed. Lots of two
// values around 10 with the spread d: σ within = R̄/d₂ = 2d/1.128.
TEST(ProcessCapability, VerdictsAndWords)
{
    auto lots = [](int count, double d) {
        std::vector<Lot> v;
        for (int i = 0; i < count; ++i)
            v.push_back(L("", {std::to_string(10 - d), std::to_string(10 + d)}));
        return LotTable(v);
    };
    CapabilityStudyInput in;
    in.upper = "11";
    in.lower = "9";
    in.threshold = "1.33";

    // d = 0.1: σ within 0.177, Cpk 1.88; 100 values bound it above 1.33.
    EXPECT_EQ(StudyCapability(lots(50, 0.1), in).within.verdict, kCapableText);
    // d = 0.3: Cpk 0.627.
    EXPECT_EQ(StudyCapability(lots(50, 0.3), in).within.verdict, kIncapableText);
    // d = 0.12, 10 values: Cpk 1.567 but its bound 0.68 (ν 4.37); 66 more
    // lots of two (ν 62.1) raise it to 1.3309, 65 only to 1.3292.
    EXPECT_EQ(StudyCapability(lots(5, 0.12), in).within.verdict, "データ不足（あと約 132 個）");

    EXPECT_EQ(StudyCapability(lots(5, 0), in).overall.why, "ばらつきが0のため計算できません");
    EXPECT_EQ(StudyCapability(LotTable({L("", {"10"})}), in).why, "データが2個未満のため計算できません");
    in.lower = "";
    EXPECT_EQ(StudyCapability(lots(5, 0.1), in).why, "規格値が入力されていないため計算できません");
    // An upper limit alone needs no lower one; unequal lots leave only σ overall.
    in.specKind = SpecUpperOnly;
    const CapabilityStudy uneven = StudyCapability(LotTable({L("1", {"10", "10.2"}), L("2", {"9.9"})}), in);
    EXPECT_TRUE(uneven.overall.computed);
    EXPECT_EQ(uneven.within.why, "ロット「2」のデータ数が他と異なるため計算できません");
}

}  // namespace
}  // namespace trevolo
