// What the charts draw, taken from a session after the judgment chain: the
// points and lines of each chart kind, the specification limits of each
// specification kind, the lines switched off, the rule marks and the
// histogram's classes.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "document/chart_data.h"
#include "document/judgment_chain.h"
#include "exchange/csv_reader.h"

namespace trevolo {
namespace {

struct Sheet {
    int chart = ChartXbarR;
    std::string kind = "公差規格";
    std::string upper = "20";
    std::string lower = "0";
    std::vector<std::string> lots;  // "label,v1,v2,..."
};

// The sheet shown as the window shows it (every line in the automatic
// state) and judged through the whole chain.
std::unique_ptr<SheetSession> Judged(const Sheet& sh, bool judge = true)
{
    std::string csv =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\n"
        "P,Q,M,外径,MM," +
        sh.kind + ",1," + sh.upper + "," + sh.lower + "\n\nﾛｯﾄ№,N1,N2\n";
    for (const std::string& l : sh.lots)
        csv += l + "\n";
    auto s = std::make_unique<SheetSession>();
    s->show(SheetFromCsvBytes(csv), sh.chart);
    for (int line = 0; line < kVisibleLimitLines; ++line)
        s->setLineAutomatic(line, true);
    if (judge) {
        const Outcome o = JudgmentRunner(*s).runChain(nullptr, RuleOptions::Defaults());
        EXPECT_FALSE(o.error.has_value());
    }
    return s;
}

// Lots i = 1..count of two values i and i + 2, or of the single value i.
std::vector<std::string> Rising(int count, bool single)
{
    std::vector<std::string> lots;
    for (int i = 1; i <= count; ++i)
        lots.push_back("L" + std::to_string(i) + "," + std::to_string(i) + (single ? "" : "," + std::to_string(i + 2)));
    return lots;
}

const LevelLine* Find(const std::vector<LevelLine>& lines, const std::string& name)
{
    for (const LevelLine& l : lines)
        if (l.name == name)
            return &l;
    return nullptr;
}

TEST(ChartData, PointsAndLinesOfEachChartKind)
{
    struct Case {
        int chart;
        bool single;
        const char* spreadTitle;
        double firstSpread, secondSpread;
    };
    const Case cases[] = {
        {ChartXbarR, false, "R管理図", 2.0, 2.0},
        {ChartXbarS, false, "S管理図", 1.41421, 1.41421},
        {ChartXRs, true, "Rs管理図", 0.0, 1.0},
    };
    for (const Case& c : cases) {
        auto s = Judged({c.chart, "公差規格", "20", "0", Rising(10, c.single)});
        const ChartData d = BuildChartData(*s);
        SCOPED_TRACE(c.spreadTitle);
        EXPECT_EQ(d.x.title, "X管理図");
        EXPECT_EQ(d.spread.title, c.spreadTitle);
        ASSERT_EQ(d.x.points.size(), 10u);
        ASSERT_EQ(d.spread.points.size(), 10u);
        EXPECT_EQ(d.x.points[0].label, "L1");
        EXPECT_EQ(d.x.points[0].calcRow, 1);
        EXPECT_DOUBLE_EQ(d.x.points[9].value, c.single ? 10.0 : 11.0);
        EXPECT_NEAR(d.spread.points[0].value, c.firstSpread, 1e-9);
        EXPECT_NEAR(d.spread.points[1].value, c.secondSpread, 1e-9);
        EXPECT_TRUE(d.x.points[0].marks.empty());

        // The X chart: seven control lines in drawing order, then the limits.
        ASSERT_EQ(d.x.lines.size(), 9u);
        const char* names[] = {"＋３σ", "＋２σ", "＋１σ",        "平均値",      "－１σ",
                               "－２σ", "－３σ", kUpperSpecName, kLowerSpecName};
        for (size_t i = 0; i < 9; ++i) {
            EXPECT_EQ(d.x.lines[i].name, names[i]);
            EXPECT_TRUE(d.x.lines[i].shown) << names[i];
        }
        EXPECT_EQ(d.x.lines[3].kind, LevelLine::Kind::Centre);
        EXPECT_DOUBLE_EQ(d.x.lines[0].value, StrToFloat(s->limit(LimitUcl3)));
        EXPECT_DOUBLE_EQ(d.x.lines[7].value, 20.0);
        // The R/S/Rs chart: centre, +3σ and the two hidden lines.
        ASSERT_EQ(d.spread.lines.size(), 4u);
        EXPECT_DOUBLE_EQ(d.spread.lines[0].value, StrToFloat(s->limit(LimitRcl)));
        EXPECT_EQ(d.spread.lines[2].field, LimitRsUcl2);
        EXPECT_DOUBLE_EQ(d.spread.lines[3].value, StrToFloat(s->limit(LimitRsUcl1)));
        for (const LevelLine& l : d.spread.lines)
            EXPECT_TRUE(l.shown);
    }

    // Before any judgment the statistics table is empty: no points.
    auto fresh = Judged({ChartXbarR, "公差規格", "20", "0", Rising(10, false)}, false);
    const ChartData d = BuildChartData(*fresh);
    EXPECT_TRUE(d.x.points.empty());
    EXPECT_FALSE(d.x.lines[0].shown);  // no limit computed yet
}

TEST(ChartData, SpecificationLimitsFollowTheKind)
{
    struct Case {
        const char* kind;
        const char* upper;
        const char* lower;
        bool upperShown, lowerShown;
    };
    const Case cases[] = {
        {"公差規格", "20", "0", true, true},
        {"上限規格", "20", "", true, false},
        {"下限規格", "", "0", false, true},
        // A limit the kind does not use stays hidden even when it holds a number.
        {"上限規格", "20", "0", true, false},
    };
    for (const Case& c : cases) {
        auto s = Judged({ChartXbarR, c.kind, c.upper, c.lower, Rising(10, false)});
        const ChartData d = BuildChartData(*s);
        SCOPED_TRACE(std::string(c.kind) + " " + c.upper + "/" + c.lower);
        for (const auto* lines : {&d.x.lines, &d.histogram.specLimits}) {
            ASSERT_NE(Find(*lines, kUpperSpecName), nullptr);
            EXPECT_EQ(Find(*lines, kUpperSpecName)->shown, c.upperShown);
            EXPECT_EQ(Find(*lines, kLowerSpecName)->shown, c.lowerShown);
            EXPECT_EQ(Find(*lines, kUpperSpecName)->kind, LevelLine::Kind::Spec);
        }
        EXPECT_EQ(d.x.points.size(), 10u);
    }
}

TEST(ChartData, LinesSwitchedOffRenamedOrBlank)
{
    auto s = Judged({ChartXbarR, "公差規格", "20", "0", Rising(10, false)});
    s->setLineAutomatic(LimitUcl2, false);
    s->setLineAutomatic(LimitRsUcl3, false);
    s->setLineName(LimitXcl, "中心線");
    s->setLimit(LimitLcl3, "");
    s->setLimit(LimitLcl2, "abc");
    const ChartData d = BuildChartData(*s);
    EXPECT_FALSE(Find(d.x.lines, "＋２σ")->shown);
    EXPECT_TRUE(Find(d.x.lines, "＋３σ")->shown);
    ASSERT_NE(Find(d.x.lines, "中心線"), nullptr);
    EXPECT_TRUE(Find(d.x.lines, "中心線")->shown);
    EXPECT_EQ(Find(d.x.lines, "平均値"), nullptr);
    EXPECT_FALSE(Find(d.x.lines, "－３σ")->shown);
    EXPECT_FALSE(Find(d.x.lines, "－２σ")->shown);
    // The hidden +2σ and +1σ lines go with the +3σ line; the centre stays.
    EXPECT_TRUE(d.spread.lines[0].shown);
    for (size_t i = 1; i < 4; ++i)
        EXPECT_FALSE(d.spread.lines[i].shown) << i;
}

TEST(ChartData, RuleMarksOfTheLastJudgment)
{
    // Ten lots with mean 9, then ten with mean 11: rule ② marks lots 9 and
    // 19 on the X chart, rule ⑦ lot 15 on both (fifteen lots within ±1σ).
    std::vector<std::string> lots;
    for (int i = 1; i <= 20; ++i)
        lots.push_back("L" + std::to_string(i) + (i <= 10 ? ",8,10" : ",10,12"));
    auto s = Judged({ChartXbarR, "公差規格", "20", "0", lots});
    ControlChart x = BuildXChart(*s);
    const ControlChart r = BuildSpreadChart(*s);
    ASSERT_EQ(x.points.size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
        std::vector<std::string> want;
        if (i == 8 || i == 18)
            want = {"X②"};
        if (i == 14)
            want = {"X⑦"};
        EXPECT_EQ(x.points[i].marks, want) << "lot " << i + 1;
        EXPECT_EQ(r.points[i].marks, i == 14 ? std::vector<std::string>{"R⑦"} : std::vector<std::string>{})
            << "lot " << i + 1;
    }
    EXPECT_EQ(PointText(x.points[8]), "ロット L9  9.0000  X②");
    EXPECT_EQ(PointText(x.points[0]), "ロット L1  9.0000");

    // A mark of an SPC row that no longer names the lot is not the lot's.
    s->spcCells().setText(0, 9, "L99");
    x = BuildXChart(*s);
    EXPECT_TRUE(x.points[8].marks.empty());
}

TEST(ChartData, StoreOverlayFollowsTheLotsOfThePoints)
{
    // Lot 3 has no value, so the judged statistics table skips it: the
    // overlay, kept by lot row, must reach the point of lot 4 at index 2.
    std::vector<std::string> lots = Rising(6, false);
    lots[2] = "L3,,";
    std::array<std::string, kLimitFields> older{};
    older[LimitUcl3] = "30";
    older[LimitXcl] = "5";
    older[LimitRsUcl3] = "abc";  // no number: the sheet's own value stays
    struct Case {
        const char* what;
        StoreOverlay overlay;
        std::vector<std::string> notesAt2, marksAt2;
        bool ucl3Steps, spreadSteps;
    };
    const Case cases[] = {
        {"nothing", {}, {}, {}, false, false},
        {"notes and marks",
         {{{}, {}, {}, {"X②"}}, {{}, {}, {"L3 は抜け"}, {"工具交換", "再測定"}}, {}},
         {"工具交換", "再測定"},
         {"X②"},
         false,
         false},
        {"older limits for lots 1 and 4", {{}, {}, {older, std::nullopt, std::nullopt, older}}, {}, {}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto s = Judged({ChartXbarR, "公差規格", "20", "0", lots});
        const double ucl3 = StrToFloat(s->limit(LimitUcl3));
        s->setStoreOverlay(c.overlay);
        const ChartData d = BuildChartData(*s);
        ASSERT_EQ(d.x.points.size(), 5u);
        EXPECT_EQ(d.x.points[2].label, "L4");
        EXPECT_EQ(d.x.points[2].lotRow, 4);
        EXPECT_EQ(d.x.points[2].notes, c.notesAt2);
        EXPECT_EQ(d.x.points[2].alarmMarks, c.marksAt2);
        EXPECT_EQ(d.spread.points[2].notes, c.notesAt2);
        // The point's tooltip names the store's alarms and notes.
        const bool told = PointText(d.x.points[2]).ends_with("  アラーム X②\nメモ: 工具交換\nメモ: 再測定");
        EXPECT_EQ(told, !c.marksAt2.empty());
        for (size_t i : {0u, 1u, 3u, 4u})
            EXPECT_TRUE(d.x.points[i].notes.empty() && d.x.points[i].alarmMarks.empty()) << i;

        const LevelLine& u = *Find(d.x.lines, "＋３σ");
        EXPECT_DOUBLE_EQ(u.value, ucl3);
        if (c.ucl3Steps) {
            EXPECT_EQ(u.steps, (std::vector<double>{30, ucl3, 30, ucl3, ucl3}));
            EXPECT_EQ(Find(d.x.lines, "平均値")->steps.size(), 5u);
            // Lines the older set leaves blank and the specification
            // limits keep one value.
            EXPECT_TRUE(Find(d.x.lines, "－３σ")->steps.empty());
            EXPECT_TRUE(Find(d.x.lines, kUpperSpecName)->steps.empty());
        } else {
            for (const LevelLine& l : d.x.lines)
                EXPECT_TRUE(l.steps.empty()) << l.name;
        }
        for (const LevelLine& l : d.spread.lines)
            EXPECT_EQ(!l.steps.empty(), c.spreadSteps) << l.name;
    }
}

TEST(ChartData, HistogramOfTheEnabledValues)
{
    auto s = Judged({ChartXbarR, "公差規格", "20", "0", Rising(10, false)}, false);
    s->lotCells().setFlag(1, 2, false);  // lot 2 (2 and 4) left out
    s->valueCells().setText(1, 3, "x");  // not a number: skipped
    const int n = 20 - 2 - 1;
    for (auto [text, classes] : {std::pair{"10", 10}, {"5", 5}, {"7", 7}, {"3", 5}, {"12", 10}, {"", 10}}) {
        s->setHistogramClasses(text);
        const Histogram h = BuildHistogram(*s);
        SCOPED_TRACE(text);
        EXPECT_EQ(h.classCount, classes);
        ASSERT_EQ(h.classes.size(), static_cast<size_t>(classes));
        ASSERT_EQ(h.values.size(), static_cast<size_t>(n));
        const int total = std::accumulate(h.classes.begin(), h.classes.end(), 0,
                                          [](int a, const HistogramClass& c) { return a + c.count; });
        EXPECT_EQ(total, n);
        EXPECT_DOUBLE_EQ(h.classes.front().from, 1.0);
        EXPECT_DOUBLE_EQ(h.classes.back().to, 12.0);
        EXPECT_GT(h.classes.back().count, 0);  // the largest value is counted
    }
    const Histogram h = BuildHistogram(*s);
    const double sum = std::accumulate(h.values.begin(), h.values.end(), 0.0);
    EXPECT_NEAR(h.mean, sum / n, 1e-12);
    EXPECT_GT(h.stdev, 0);
    // The curve's peak is at the mean, scaled to counts per class.
    ASSERT_FALSE(h.curve.empty());
    const double width = (12.0 - 1.0) / 10;
    const double peak = n * width / (h.stdev * std::sqrt(2 * 3.141592653589793));
    double top = 0;
    for (auto [x, y] : h.curve)
        top = std::max(top, y);
    EXPECT_NEAR(top, peak, peak * 0.01);

    // One value throughout: one class one step of the decimals wide, no curve.
    auto same = Judged({ChartXbarR, "公差規格", "20", "0", {"L1,5,5", "L2,5"}}, false);
    const Histogram one = BuildHistogram(*same);
    EXPECT_EQ(one.values.size(), 3u);
    EXPECT_NEAR(one.classes.back().to - one.classes.front().from, 0.1, 1e-12);
    EXPECT_TRUE(one.curve.empty());
    EXPECT_EQ(one.stdev, 0);
}

}  // namespace
}  // namespace trevolo
