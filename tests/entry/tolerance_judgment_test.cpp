#include "entry/tolerance_judgment.h"

#include <gtest/gtest.h>

#include <array>

#include "model/number.h"

namespace trevolo {
namespace {

Lot L(std::vector<std::string> cells, bool enabled = true)
{
    return Lot{"", enabled, std::move(cells)};
}

SpecHeaderTexts Header(std::string_view label, std::string_view unit, std::string_view upper, std::string_view lower,
                       int kind = SpecTolerance)
{
    SpecHeaderTexts h;
    h.label = label;
    h.unit = unit;
    h.upper = upper;
    h.lower = lower;
    h.kind = kind;
    h.upperEnabled = kind != SpecLowerOnly;
    h.lowerEnabled = kind != SpecUpperOnly;
    return h;
}

const std::array<std::string_view, 9> kFilledLimits = {"1", "1", "1", "1", "1", "1", "1", "1", "1"};

TEST(SpecPrecheck, StopsAtTheFirstFailingCheckInOrder)
{
    std::array<std::string_view, 9> oneBlank = kFilledLimits;
    oneBlank[8] = " ";  // editRsUcl3 left blank
    struct Case {
        const char* name;
        SpecHeaderTexts header;
        std::span<const std::string_view> limits;
        SpecStop stop;
        RequiredField missing;
    };
    const Case cases[] = {
        {"all filled", Header("a", "mm", "10", "9"), kFilledLimits, SpecStop::None, RequiredField::None},
        {"label blanks before unit", Header("  ", "", "", ""), kFilledLimits, SpecStop::MissingField,
         RequiredField::Label},
        {"unit", Header("a", "\t", "10", "9"), kFilledLimits, SpecStop::MissingField, RequiredField::Unit},
        {"upper", Header("a", "mm", "", "9"), kFilledLimits, SpecStop::MissingField, RequiredField::Upper},
        {"lower", Header("a", "mm", "10", " "), kFilledLimits, SpecStop::MissingField, RequiredField::Lower},
        // A disabled limit field is not required, nor is it converted.
        {"upper only, lower empty", Header("a", "mm", "10", "", SpecUpperOnly), kFilledLimits, SpecStop::None,
         RequiredField::None},
        {"upper not a number", Header("a", "mm", "1-0", "9"), kFilledLimits, SpecStop::LimitNotNumber,
         RequiredField::None},
        {"limit value before control limits", Header("a", "mm", "x", "9"), oneBlank, SpecStop::LimitNotNumber,
         RequiredField::None},
        {"one control limit blank", Header("a", "mm", "10", "9"), oneBlank, SpecStop::NoControlLimits,
         RequiredField::None},
    };
    for (const Case& c : cases) {
        const SpecPrecheck p = PrecheckSpecJudgment(c.header, c.limits);
        EXPECT_EQ(p.stop, c.stop) << c.name;
        EXPECT_EQ(p.missing, c.missing) << c.name;
    }
    EXPECT_TRUE(MessageForStop(SpecStop::LimitNotNumber).warning);
    EXPECT_STREQ(MessageForStop(SpecStop::NoControlLimits).text, "管理限界値が設定されていません。");
}

TEST(SpecJudgment, VerdictAtTheLimitsPerKind)
{
    struct Case {
        const char* name;
        int kind;
        std::vector<Lot> lots;
        Verdict verdict;
        int judged;
    };
    // Limits upper 10.0 and lower 9.0 wherever a limit is in force.
    const Case cases[] = {
        {"both limits hit exactly", SpecTolerance, {L({"9.0", "10.0", "9.5"})}, Verdict::Pass, 3},
        {"just above", SpecTolerance, {L({"9.0", "10.0"}), L({"9.5", "10.01"})}, Verdict::Fail, 4},
        {"just below", SpecTolerance, {L({"8.999"})}, Verdict::Fail, 1},
        {"upper only: nothing is too small", SpecUpperOnly, {L({"-1000", "10.000"})}, Verdict::Pass, 2},
        {"upper only: above", SpecUpperOnly, {L({"10.001"})}, Verdict::Fail, 1},
        {"lower only: nothing is too large", SpecLowerOnly, {L({"1e6", "9"})}, Verdict::Pass, 2},
        {"lower only: below", SpecLowerOnly, {L({"8.99"})}, Verdict::Fail, 1},
        {"no values", SpecTolerance, {L({"", " "}), L({})}, Verdict::None, 0},
        // The enabled flags do not matter here.
        {"disabled lot judged", SpecTolerance, {L({"9.5"}), L({"11"}, false)}, Verdict::Fail, 2},
        // After a row's first failing value the rest of the row is not read;
        // the next row is judged again.
        {"row decided at first failure", SpecTolerance, {L({"11", "abc", "9"}), L({"9", "9.1"})}, Verdict::Fail, 3},
    };
    for (const Case& c : cases) {
        SpecLimits limits;
        ASSERT_TRUE(ParseSpecLimits(c.kind, "10.0", c.kind == SpecUpperOnly ? "" : "9.0", limits)) << c.name;
        const SpecJudgment j = JudgeSpecification(LotTable(c.lots), limits);
        EXPECT_EQ(j.verdict(), c.verdict) << c.name;
        EXPECT_EQ(j.judged, c.judged) << c.name;
        EXPECT_FALSE(j.error) << c.name;
    }
}

TEST(SpecJudgment, BlankCellsAreListedEvenWhenAValueStopsTheRun)
{
    SpecLimits limits;
    ASSERT_TRUE(ParseSpecLimits(SpecTolerance, "10", "9", limits));
    const LotTable t({L({"9.5", "   ", ""}), L({"-", "\t"}), L({" ", "9.2"})});
    const SpecJudgment j = JudgeSpecification(t, limits);
    const std::vector<CellPos> blanked = {{1, 1}, {1, 2}, {0, 3}};
    EXPECT_EQ(j.blanked, blanked);
    ASSERT_TRUE(j.error);
    EXPECT_EQ(j.error->pos, (CellPos{0, 2}));
    EXPECT_EQ(j.error->text, "-");
    EXPECT_EQ(j.error->message(), "'-' は浮動小数点数ではありません");
    EXPECT_EQ(j.verdict(), Verdict::None);
    EXPECT_THROW(j.error->raise(), ConvertError);
}

TEST(SpecJudgment, PaintMarkFollowsFlagKindAndTexts)
{
    struct Case {
        const char* text;
        int row;
        SpecMarking m;
        bool red;
    };
    const SpecMarking on{true, SpecTolerance, "10.000", "9.000"};
    const Case cases[] = {
        {"10.000", 1, on, false},
        {"9.000", 1, on, false},
        {"10.001", 1, on, true},
        {"8.999", 5, on, true},
        {"10.001", 0, on, false},                                 // header row
        {"10.001", 1, {false, SpecTolerance, "10", "9"}, false},  // flag clear
        {"   ", 1, on, false},
        {"abc", 1, on, false},
        {"10.001", 1, {true, SpecTolerance, "10", "x"}, false},  // a limit in force unreadable
        {"8", 1, {true, SpecUpperOnly, "10", ""}, false},
        {"11", 1, {true, SpecUpperOnly, "10", ""}, true},
        {"11", 1, {true, SpecLowerOnly, "", "9"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpecCellIsRed(c.row, c.text, c.m), c.red) << c.text << " row " << c.row;
}

TEST(SpecDemo, ValuesAroundTheLowerLimitOneDecimalFiner)
{
    // Lower 9.000 at 3 decimals: r / 10^4 + 9 lies in [9, 10), less 0.5 -> [8.5, 9.5).
    const std::vector<std::string> v = MakeDemoValues(50, 20, "3", "9.000", 42);
    ASSERT_EQ(v.size(), 1000u);
    for (const std::string& s : v) {
        ASSERT_EQ(s.size(), 5u) << s;  // d.ddd
        const double x = StrToFloat(s);
        EXPECT_GE(x, 8.5);
        EXPECT_LE(x, 9.5);
    }
    EXPECT_EQ(MakeDemoValues(50, 20, "3", "9.000", 42), v);
    EXPECT_TRUE(MakeDemoValues(10, 10, "3", "", 1).empty());
    EXPECT_TRUE(MakeDemoValues(10, 10, "3", "abc", 1).empty());
}

}  // namespace
}  // namespace trevolo
