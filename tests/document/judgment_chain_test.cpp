// The judgment chain of one imported sheet: where it stops, which messages
// it shows in which order, and what the tables hold afterwards; and the
// session's commands one at a time, as the window runs them.
#include <gtest/gtest.h>

#include "document/judgment_chain.h"
#include "document/sheet_session.h"
#include "entry/tolerance_judgment.h"
#include "exchange/csv_reader.h"

namespace trevolo {
namespace {

struct Header {
    std::string label = "外径";
    std::string unit = "MM";
    std::string kind = "公差規格";
    std::string decimals = "1";
    std::string upper = "20";
    std::string lower = "0";
};

// An imported sheet: the header and one line per lot ("label,v1,v2,...").
SheetRecord Imported(const Header& h, const std::vector<std::string>& lots)
{
    std::string csv =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\n"
        "P,Q,M," +
        h.label + "," + h.unit + "," + h.kind + "," + h.decimals + "," + h.upper + "," + h.lower + "\n\nﾛｯﾄ№,N1,N2\n";
    for (const std::string& l : lots)
        csv += l + "\n";
    return SheetFromCsvBytes(csv);
}

// Ten lots of two values, 9 and 11 in turn: every lot mean is 10.
std::vector<std::string> EvenLots()
{
    std::vector<std::string> lots;
    for (int i = 1; i <= 10; ++i)
        lots.push_back("L" + std::to_string(i) + (i % 2 ? ",9,11" : ",11,9"));
    return lots;
}

const SessionMessage kMissing{SessionMessage::Kind::Guide, kMsgRequiredMissing};
const SessionMessage kBadLimit{SessionMessage::Kind::Warning, kMsgSpecLimitInvalid};
const SessionMessage kNoLimits{SessionMessage::Kind::Guide, kMsgNoControlLimits};
const SessionMessage kBadValue{SessionMessage::Kind::Warning, kMsgBadLoadedValue};

struct StopCase {
    const char* name;
    Header header;
    std::vector<std::string> lots;
    std::vector<SessionMessage> messages;
    const char* error;  // nullptr: none
    bool specReached;
};

TEST(JudgmentChain, StopsWhereTheWindowStops)
{
    auto header = [](auto change) {
        Header h;
        change(h);
        return h;
    };
    const StopCase cases[] = {
        {"item name blank", header([](Header& h) { h.label = " "; }), EvenLots(), {kMissing}, nullptr, false},
        {"unit blank", header([](Header& h) { h.unit = ""; }), EvenLots(), {kMissing}, nullptr, false},
        {"upper limit blank", header([](Header& h) { h.upper = ""; }), EvenLots(), {kMissing}, nullptr, false},
        {"lower limit blank for upper only",
         header([](Header& h) {
             h.kind = "上限規格";
             h.lower = "";
         }),
         EvenLots(),
         {},
         nullptr,
         true},
        {"upper limit blank for lower only",
         header([](Header& h) {
             h.kind = "下限規格";
             h.upper = "";
         }),
         EvenLots(),
         {},
         nullptr,
         true},
        {"limit not a number", header([](Header& h) { h.upper = "1O"; }), EvenLots(), {kBadLimit}, nullptr, false},
        {"a single value gives no control limits", Header{}, {"L1,10"}, {kNoLimits}, nullptr, false},
        {"no value at all", Header{}, {"L1", "L2"}, {kNoLimits}, nullptr, false},
        {"a value that is not a number",
         Header{},
         {"L1,9,11", "L2,abc,10", "L3,10,10"},
         {kBadValue},
         "'abc' は浮動小数点数ではありません",
         false},
    };
    for (const StopCase& c : cases) {
        const SheetJudgment j = JudgeSheet(Imported(c.header, c.lots), ChainSettings{});
        EXPECT_EQ(j.messages, c.messages) << c.name;
        EXPECT_EQ(j.error.has_value(), c.error != nullptr) << c.name;
        if (c.error && j.error) {
            EXPECT_EQ(*j.error, c.error) << c.name;
        }
        EXPECT_EQ(j.specReached, c.specReached) << c.name;
        if (!c.specReached) {
            EXPECT_EQ(j.spec, Verdict::None) << c.name;
            EXPECT_TRUE(j.calcRows.empty()) << c.name;
            EXPECT_TRUE(j.spcRows.empty()) << c.name;
            EXPECT_TRUE(j.marked.empty()) << c.name;
        }
        EXPECT_EQ(j.passed(), c.messages.empty() && !c.error) << c.name;
    }
}

TEST(JudgmentChain, EvenLotsPassEverything)
{
    // All values 9 or 11, ten of each: m = 10, s = sqrt(20 / 19) = 1.0259784;
    // every lot: s = sqrt(2), Cp = Cpk = 10 / (3 sqrt 2) = 2.357.
    const SheetJudgment j = JudgeSheet(Imported(Header{}, EvenLots()), ChainSettings{});
    EXPECT_TRUE(j.messages.empty());
    EXPECT_FALSE(j.error);
    EXPECT_TRUE(j.passed());
    EXPECT_EQ(j.limits[LimitXcl], "10.0000");
    EXPECT_EQ(j.limits[LimitUcl3], "13.0779");
    EXPECT_EQ(j.limits[LimitLcl1], "8.9740");
    EXPECT_EQ(j.limits[LimitRcl], "2.0000");
    EXPECT_EQ(j.limits[LimitRsUcl1], "3.0260");
    ASSERT_EQ(j.calcRows.size(), 11u);
    EXPECT_EQ(j.calcRows[0], (CalcRow{"L1", "2", "11.00000", "9.00000", "10.00000", "2.00000", "1.41421", "2.357",
                                      "2.357", "○異常なし"}));
    EXPECT_EQ(j.calcRows[10], (CalcRow{"＊トータル", "20", "11.00000", "9.00000", "10.00000", "2.00000", "1.02598",
                                       "3.249", "3.249", "○異常なし"}));
    ASSERT_EQ(j.spcRows.size(), 10u);
    EXPECT_EQ(j.spcRows[9][0], "L10");
    EXPECT_EQ(j.spcRows[9][kSpcVerdictColumn], "○異常なし");
    EXPECT_EQ(j.lotLabels[0], "L1");
}

TEST(JudgmentChain, OutOfLimitValuesAreMarkedAndTheVerdictFails)
{
    Header h;
    h.upper = "10.5";
    const SheetJudgment j = JudgeSheet(Imported(h, EvenLots()), ChainSettings{});
    EXPECT_EQ(j.spec, Verdict::Fail);
    // Every 11 is marked, also where the judgment had already decided its row.
    ASSERT_EQ(j.marked.size(), 10u);
    EXPECT_EQ(j.marked[0], (CellPos{1, 1}));
    EXPECT_EQ(j.marked[1], (CellPos{0, 2}));
    EXPECT_EQ(j.marked[9], (CellPos{0, 10}));
    // The chain goes on: the capability judgment runs after any verdict.
    EXPECT_TRUE(j.calcReached);
    EXPECT_TRUE(j.spcReached);
    EXPECT_FALSE(j.passed());
}

TEST(JudgmentChain, ValueInAHiddenRowWarnsButTheChainRuns)
{
    // A lot line without a label counts as a lot row but not in the lot
    // count, so the last labelled lot (holding "x") falls beyond the ten
    // rows shown: the load warns and the judgment never sees it.
    std::vector<std::string> lots = EvenLots();
    lots.insert(lots.begin() + 2, ",10,10");
    lots.back() = "L10,x,10";
    const SheetJudgment j = JudgeSheet(Imported(Header{}, lots), ChainSettings{});
    EXPECT_EQ(j.messages, std::vector<SessionMessage>{kBadValue});
    EXPECT_FALSE(j.error);
    EXPECT_EQ(j.lots, 10);
    EXPECT_EQ(j.spec, Verdict::Pass);
    EXPECT_EQ(j.lotLabels[2], "");
    ASSERT_FALSE(j.calcRows.empty());
    EXPECT_EQ(j.calcRows[2][CalcLot], "");
}

TEST(JudgmentChain, TypedLimitsWithoutTheHiddenLinesStopOnTheDispersionSide)
{
    // The eleven fields as given, the hidden two blank (typing the R/S/Rs
    // lines in the window, or leaving them out of --limits, fills them).
    std::array<std::string, kLimitFields> typed;
    const char* visible[9] = {"13.0000", "12.0000", "11.0000", "7.0000", "8.0000",
                              "9.0000",  "10.0000", "2.0000",  "5.0000"};
    for (int i = 0; i < 9; ++i)
        typed[static_cast<size_t>(i)] = visible[i];
    const SheetJudgment j = JudgeSheet(Imported(Header{}, EvenLots()), ChainSettings{}, &typed);
    EXPECT_EQ(j.limits, typed);
    ASSERT_TRUE(j.error);
    EXPECT_EQ(*j.error, "'' は浮動小数点数ではありません");
    EXPECT_EQ(j.calc, Verdict::Pass);
    EXPECT_EQ(j.spc, Verdict::None);
    ASSERT_EQ(j.spcRows.size(), 10u);
    EXPECT_EQ(j.spcRows[0][1], "○");  // the X side was judged
    EXPECT_EQ(j.spcRows[0][9], "");   // the R side was not
    EXPECT_EQ(j.spcRows[0][kSpcVerdictColumn], "");
}

TEST(JudgmentChain, SChartJudgesEqualValuesAndNamesALotWithASingleValue)
{
    ChainSettings s;
    s.chartIndex = ChartXbarS;
    // Lot L3 holds two equal values: its S is 0 and the chain judges it.
    std::vector<std::string> lots = EvenLots();
    lots[2] = "L3,10,10";
    SheetJudgment j = JudgeSheet(Imported(Header{}, lots), s);
    EXPECT_FALSE(j.error);
    EXPECT_TRUE(j.messages.empty());
    ASSERT_EQ(j.calcRows.size(), 11u);
    EXPECT_EQ(j.calcRows[2],
              (CalcRow{"L3", "2", "10.00000", "10.00000", "10.00000", "0.00000", "0.00000", "", "", ""}));
    EXPECT_EQ(j.spc, Verdict::Pass);
    EXPECT_EQ(j.spcRows[2][kSpcVerdictColumn], "○異常なし");

    // Lot L4 holds a single value: the SPC judgment stops naming it.
    lots[3] = "L4,10";
    j = JudgeSheet(Imported(Header{}, lots), s);
    EXPECT_FALSE(j.error);
    const std::vector<SessionMessage> stop = {{SessionMessage::Kind::Guide, SingleValueLotMessage("L4")}};
    EXPECT_EQ(j.messages, stop);
    EXPECT_EQ(j.calc, Verdict::Pass);
    EXPECT_EQ(j.spc, Verdict::None);
    ASSERT_EQ(j.spcRows.size(), 10u);
    EXPECT_EQ(j.spcRows[3][1], "○");  // the X side was judged
    EXPECT_EQ(j.spcRows[3][9], "");   // the S side was not
    EXPECT_FALSE(j.passed());
}

TEST(JudgmentChain, SettingsOfTheShownSheet)
{
    ChainSettings s;
    s.chartIndex = ChartXbarS;
    s.cpkCheck = false;
    // One value per lot: the chart becomes X-Rs whatever the settings say.
    SheetJudgment j = JudgeSheet(Imported(Header{}, {"A,10", "B,12", "C,11"}), s);
    EXPECT_EQ(j.chartKind, ChartXRs);
    EXPECT_EQ(j.n, 1);
    EXPECT_EQ(j.lots, 10);
    ASSERT_EQ(j.calcRows.size(), 4u);
    EXPECT_EQ(j.calcRows[1][CalcRange], "2.00000");  // moving range
    for (const CalcRow& r : j.calcRows)
        EXPECT_EQ(r[CalcVerdict], "－");
    EXPECT_EQ(j.calc, Verdict::Pass);

    // A threshold that is not a number stops at the first row with an index.
    s.cpkCheck = true;
    s.chartIndex = ChartXbarR;
    s.cpCpk = "x";
    j = JudgeSheet(Imported(Header{}, EvenLots()), s);
    ASSERT_TRUE(j.error);
    EXPECT_EQ(*j.error, "'x' は浮動小数点数ではありません");
    EXPECT_EQ(j.calc, Verdict::None);
    EXPECT_FALSE(j.spcReached);
    // The statistics are shown; the verdicts stop at the first row.
    ASSERT_EQ(j.calcRows.size(), 11u);
    EXPECT_EQ(j.calcRows[0][CalcLot], "L1");
    EXPECT_EQ(j.calcRows[0][CalcCpk], "2.357");
    EXPECT_EQ(j.calcRows[0][CalcVerdict], "");
    EXPECT_EQ(j.calcRows[10][CalcLot], "＊トータル");
}

// The coefficient method in the chain: 9 and 11 in every lot give X̿ = 10 and
// R̄ = 2, so X̄ ± A₂(2)·2 = 10 ± 3.7612 and the R UCL 3.26862·2. A lot of one
// value stops it before anything is written, and the specification
// judgment then finds no limits.
TEST(JudgmentChain, CoefficientMethodSetsTheLimitsOrWritesNothing)
{
    ChainSettings s;
    s.limitMethod = LimitCoefficient;
    SheetJudgment j = JudgeSheet(Imported(Header{}, EvenLots()), s);
    EXPECT_TRUE(j.messages.empty());
    EXPECT_EQ(j.limits[LimitUcl3], "13.7612");
    EXPECT_EQ(j.limits[LimitLcl1], "8.7463");
    EXPECT_EQ(j.limits[LimitRsUcl3], "6.5372");
    EXPECT_TRUE(j.passed());

    std::vector<std::string> lots = EvenLots();
    lots[3] = "L4,10";
    j = JudgeSheet(Imported(Header{}, lots), s);
    ASSERT_EQ(j.messages.size(), 2u);
    EXPECT_NE(j.messages[0].text.find("ロット「L4」のデータ数は 1 個で"), std::string::npos) << j.messages[0].text;
    EXPECT_EQ(j.messages[1], kNoLimits);
    for (const std::string& t : j.limits)
        EXPECT_EQ(t, "");
}

// ---- the session's commands one at a time ----

TEST(SheetSession, ShownSheetIsStoredBackAsItIsShown)
{
    Header h;
    h.kind = "上限規格";
    h.decimals = "2";
    h.lower = "1";  // not used by the kind: kept, greyed out
    SheetSession session;
    const Outcome shown = session.show(Imported(h, {"A,1.234,2", "B,3,4.5"}), ChartXbarS);
    EXPECT_TRUE(shown.messages.empty());
    EXPECT_EQ(session.header().upper, "20.00");
    EXPECT_EQ(session.header().lower, "1.00");
    EXPECT_EQ(session.chartKind(), ChartKind::XbarS);
    EXPECT_EQ(session.valueCells().text(0, 1), "1.23");

    SheetRecord stored;
    session.store(stored);
    EXPECT_EQ(stored.specKindText, "上限規格");
    EXPECT_EQ(stored.decimals, "2");
    EXPECT_EQ(stored.lowerSpec, "1.00");
    EXPECT_EQ(stored.lots, 10);
    EXPECT_EQ(stored.n, 2);
    ASSERT_EQ(stored.dataList.size(), 10u);
    EXPECT_EQ(stored.dataList[0], "A,1.23,2.00");
}

TEST(SheetSession, JudgmentsStopAtTheirChecksAndReportHowFarTheyGot)
{
    SheetSession session;
    session.show(Imported(Header{}, EvenLots()), ChartXbarR);
    int started = 0;
    const WorkStart start = [&started] { ++started; };

    // No control limits yet: guidance, no work started, nothing marked.
    Outcome o = JudgmentRunner(session).spc(RuleOptions::Defaults(), start);
    EXPECT_EQ(o.messages, (std::vector<SessionMessage>{{SessionMessage::Kind::Guide, kMsgNoControlLimits}}));
    EXPECT_EQ(started, 0);
    EXPECT_FALSE(o.specJudged);
    EXPECT_FALSE(session.specMarking());

    // A declined question changes nothing; a Yes computes every line.
    EXPECT_EQ(session.computeLimits(-1, false).changed, ChangedNothing);
    EXPECT_TRUE(session.limit(LimitXcl).empty());
    o = session.computeLimits(-1, true);
    EXPECT_NE(o.changed & ChangedLimits, 0u);
    EXPECT_EQ(session.limit(LimitXcl), "10.0000");

    // The whole chain: each step starts its work (the window stores the
    // sheet there) and finishes.
    o = JudgmentRunner(session).spc(RuleOptions::Defaults(), start);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_FALSE(o.error);
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(o.specJudged && o.calcJudged && o.calcVerdictSet && o.spcJudged);
    EXPECT_EQ(session.specVerdict(), Verdict::Pass);
    EXPECT_EQ(session.spcVerdict(), Verdict::Pass);
    EXPECT_EQ(session.spcRowCount(), session.calcRowCount() - 1);

    // A required field emptied: the focus goes to it, the verdict goes, and
    // the capability verdict of the last run stays without carrying the
    // SPC judgment on.
    session.setHeaderText(HeaderField::Unit, "");
    session.setVerdicts(session.specVerdict(), session.calcVerdict(), Verdict::None);
    o = JudgmentRunner(session).spc(RuleOptions::Defaults(), start);
    EXPECT_EQ(o.focus, SessionFocus::Unit);
    EXPECT_EQ(session.specVerdict(), Verdict::None);
    EXPECT_EQ(session.calcVerdict(), Verdict::Pass);
    EXPECT_EQ(session.spcVerdict(), Verdict::None);
    EXPECT_EQ(started, 2);

    // A value that is not a number stops the specification judgment with
    // the error, after the work started.
    session.setHeaderText(HeaderField::Unit, "MM");
    session.valueCells().setText(1, 4, "1x");
    o = JudgmentRunner(session).capability(start);
    ASSERT_TRUE(o.error);
    EXPECT_STREQ(o.error->what(), "'1x' は浮動小数点数ではありません");
    EXPECT_FALSE(o.specJudged);
    EXPECT_EQ(started, 3);
}

TEST(SheetSession, MeasurementCellsAreCommittedTypedPastedAndCleared)
{
    SheetSession session;
    session.show(Imported(Header{}, EvenLots()), ChartXbarR);  // 10 lots x 2, one decimal
    CellStore& cells = session.valueCells();

    struct EnterCase {
        const char* name;
        const char* decimals;
        GridPos at;
        const char* text;
        const char* after;
        std::optional<GridPos> next;
        bool changed;
    };
    const EnterCase cases[] = {
        {"rounds to the decimals", "2", {0, 3}, "12.3456", "12.35", GridPos{1, 3}, true},
        {"already formatted", "1", {0, 3}, "9.0", "9.0", GridPos{1, 3}, false},
        {"end of a row goes to the next row", "1", {1, 3}, "-4", "-4.0", GridPos{0, 4}, true},
        {"last cell goes to the first data row", "0", {1, 10}, "2.5", "2", GridPos{0, 1}, true},
        {"blank cell just moves", "1", {0, 3}, "  ", "  ", GridPos{1, 3}, false},
        {"not a number is emptied and stays", "1", {0, 3}, "1x", "", std::nullopt, true},
        {"a lone minus is emptied and stays", "1", {0, 3}, "-", "", std::nullopt, true},
        // Decimals the field reads as no decimals.
        {"empty decimals", "", {0, 3}, "7.6", "8", GridPos{1, 3}, true},
        {"decimals not a number", "+", {0, 3}, "7.6", "8", GridPos{1, 3}, true},
    };
    for (const EnterCase& c : cases) {
        SCOPED_TRACE(c.name);
        session.setHeaderText(HeaderField::Decimals, c.decimals);
        cells.setText(c.at.col, c.at.row, c.text);
        const Outcome o = session.edits().commitValue(c.at.col, c.at.row);
        EXPECT_EQ(cells.text(c.at.col, c.at.row), c.after);
        EXPECT_EQ(o.current, c.next);
        EXPECT_EQ(o.changed, c.changed ? ChangedValues : ChangedNothing);
    }
    // The header row is no value cell.
    EXPECT_FALSE(session.edits().commitValue(0, 0).current);

    // The editor's text keeps a minus sign only at the front.
    EXPECT_EQ(session.edits().typeValue(0, 2, "12-3").changed, ChangedValues);
    EXPECT_EQ(cells.text(0, 2), "123");
    EXPECT_EQ(session.edits().typeValue(0, 2, "-12").changed, ChangedValues);
    EXPECT_EQ(cells.text(0, 2), "-12");
    EXPECT_EQ(session.edits().typeValue(0, 2, "-12").changed, ChangedNothing);

    // Pasting and clearing stay inside the displayed cells.
    EXPECT_EQ(session.edits().paste({1, 10, 1, 10}, "5\t6\r\n7\r\n").changed, ChangedValues);
    EXPECT_EQ(cells.text(1, 10), "5");
    EXPECT_EQ(cells.text(2, 10), "");
    EXPECT_EQ(cells.text(1, 11), "");
    session.edits().clearCells({0, 9, 5, 20});
    EXPECT_EQ(cells.text(1, 10), "");
    EXPECT_EQ(cells.text(0, 9), "");
    EXPECT_EQ(cells.text(0, 8), "11.0");
}

}  // namespace
}  // namespace trevolo
