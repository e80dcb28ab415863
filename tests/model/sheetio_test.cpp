#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "model/comfunction.h"
#include "model/number.h"
#include "model/sheetio.h"

using namespace trevolo;

namespace {

struct Tables {
    CellStore ctrl{2}, edit{100}, calc{10}, spc{18};
};

SheetRecord SheetWith(std::vector<std::string> checks, std::vector<std::string> data, int lots = 10, int n = 3)
{
    SheetRecord s;
    InitSheet(s, 1, InitialValues::Defaults(), lots, n);
    s.checkList = std::move(checks);
    s.dataList = std::move(data);
    return s;
}

}  // namespace

TEST(SheetIo, StoresDisplayedRowsOnly)
{
    Tables t;
    for (int r = 1; r <= 12; ++r) {
        t.ctrl.setText(0, r, DefaultLotLabel(r));
        t.ctrl.setFlag(1, r, r != 2);
        for (int c = 0; c < 5; ++c)
            t.edit.setText(c, r, std::to_string(r * 10 + c));
    }
    t.edit.setText(1, 1, "");
    SheetRecord s;
    StoreTablesToSheet(t.ctrl, t.edit, 10, 3, s);
    ASSERT_EQ(s.checkList.size(), 10u);
    ASSERT_EQ(s.dataList.size(), 10u);
    EXPECT_EQ(s.checkList[0], "1");
    EXPECT_EQ(s.checkList[1], "0");
    EXPECT_EQ(s.dataList[0], "K0001,10,,12");
    EXPECT_EQ(s.dataList[9], "K0010,100,101,102");
    EXPECT_TRUE(s.hasLists);
}

TEST(SheetIo, LoadsFlagsLabelsAndValues)
{
    Tables t;
    for (int r = 1; r <= 1000; ++r)
        t.ctrl.setFlag(1, r, true);
    SheetRecord s = SheetWith({"1", "0", "x", ""}, {"A1,1,2,3,4,5", "\"B,2\",\"a b\"", "C3", "D4,\"\""});
    LoadListsToTables(s, 3, t.ctrl, t.edit, t.calc, t.spc);
    // Lines other than "1" load as disabled; rows beyond the list stay enabled.
    EXPECT_TRUE(t.ctrl.flag(1, 1));
    EXPECT_FALSE(t.ctrl.flag(1, 2));
    EXPECT_FALSE(t.ctrl.flag(1, 3));
    EXPECT_FALSE(t.ctrl.flag(1, 4));
    EXPECT_TRUE(t.ctrl.flag(1, 5));
    // Labels reach the lot, statistics and SPC tables.
    EXPECT_EQ(t.ctrl.text(0, 2), "B,2");
    EXPECT_EQ(t.calc.text(0, 2), "B,2");
    EXPECT_EQ(t.spc.text(0, 3), "C3");
    // Surplus values are dropped; quoted values read whole.
    EXPECT_EQ(t.edit.text(2, 1), "3");
    EXPECT_EQ(t.edit.text(3, 1), "");
    EXPECT_EQ(t.edit.text(0, 2), "a b");
    EXPECT_EQ(t.edit.text(0, 4), "");
}

TEST(SheetIo, LinesBeyondTheTableAreIgnored)
{
    Tables t;
    std::vector<std::string> data(1200, "L,1");
    std::vector<std::string> checks(1200, "0");
    SheetRecord s = SheetWith(checks, data);
    LoadListsToTables(s, 1, t.ctrl, t.edit, t.calc, t.spc);
    EXPECT_EQ(t.edit.text(0, 1000), "1");
    EXPECT_FALSE(t.ctrl.flag(1, 1000));
}

TEST(SheetIo, StoreThenLoadGivesTheSameTable)
{
    Tables a;
    const char* values[] = {"1.000", "", "-2.500", "a,b", "x\"y", " ", "日本"};
    for (int r = 1; r <= 20; ++r) {
        a.ctrl.setText(0, r, r == 5 ? "Lot 5,x" : DefaultLotLabel(r));
        a.ctrl.setFlag(1, r, r % 3 != 0);
        for (int c = 0; c < 7; ++c)
            a.edit.setText(c, r, values[(r + c) % 7]);
    }
    SheetRecord s;
    StoreTablesToSheet(a.ctrl, a.edit, 20, 7, s);
    Tables b;
    LoadListsToTables(s, 7, b.ctrl, b.edit, b.calc, b.spc);
    for (int r = 1; r <= 20; ++r) {
        EXPECT_EQ(b.ctrl.text(0, r), a.ctrl.text(0, r));
        EXPECT_EQ(b.ctrl.flag(1, r), a.ctrl.flag(1, r));
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(b.edit.text(c, r), a.edit.text(c, r)) << r << "," << c;
    }
}

TEST(SheetIo, NormalisationFormatsAndStopsAtTheFirstBadCell)
{
    CellStore edit(100);
    edit.setText(0, 1, "1.5");
    edit.setText(1, 1, "  ");
    edit.setText(2, 1, "2.000");
    edit.setText(99, 1, "-0.0004");
    edit.setText(0, 2, "abc");
    edit.setText(1, 2, "7");
    NormaliseResult r = NormaliseValues(edit, 3);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.col, 0);
    EXPECT_EQ(r.row, 2);
    EXPECT_EQ(edit.text(0, 1), "1.500");
    EXPECT_EQ(edit.text(1, 1), "");
    EXPECT_EQ(edit.text(2, 1), "2.000");
    EXPECT_EQ(edit.text(99, 1), "-0.000");
    EXPECT_EQ(edit.text(0, 2), "abc");
    EXPECT_EQ(edit.text(1, 2), "7");  // not visited

    edit.setText(0, 2, "3");
    EXPECT_TRUE(NormaliseValues(edit, 0).ok);
    EXPECT_EQ(edit.text(0, 1), "2");  // 1.500 at no decimals
    EXPECT_EQ(edit.text(1, 2), "7");
}

TEST(SheetIo, CanonicalTextsAreKeptAndOthersRewritten)
{
    struct Case {
        const char* in;
        int d;
        const char* out;
    } cases[] = {
        {"10.000", 3, "10.000"},
        {"010.000", 3, "10.000"},
        {"10.0000", 3, "10.000"},
        {"1e1", 2, "10.00"},
        {"-0.5", 0, "-0"},
        {"12.3456", 2, "12.35"},
        {"9999999999999999", 0, "10000000000000000"},
    };
    for (const auto& c : cases) {
        std::string t = c.in;
        EXPECT_TRUE(NormaliseNumberText(t, c.d));
        EXPECT_EQ(t, c.out) << c.in;
    }
}

// The numbers kept while loading are those of the texts as they are left,
// NaN for empty cells, and none at all when a bad text stops the pass.
TEST(SheetIo, LoadingKeepsTheNumbersOfTheNormalisedTexts)
{
    for (const auto& data : {std::vector<std::string>{"A,1.5, ,-0.0004,9", "B,,1e1,0010.000", "C,+7,9999999999999999"},
                             std::vector<std::string>{"A,1,2", "B,x,3"}, std::vector<std::string>{}}) {
        Tables t;
        NormalisedValues values{4, 3};
        LoadAndNormalise(SheetWith({}, data, 4, 3), 3, t.ctrl, t.edit, t.calc, t.spc, 3, &values);
        ASSERT_EQ(values.values.size(), data.size() == 3 ? 12u : 0u);
        for (size_t i = 0; i < values.values.size(); ++i) {
            const std::string& text = t.edit.text(static_cast<int>(i % 3), static_cast<int>(i / 3) + 1);
            double expected = std::nan("");
            EXPECT_TRUE(text.empty() || TryStrToFloat(text, expected)) << text;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(values.values[i]), std::bit_cast<std::uint64_t>(expected)) << i;
        }
    }
}

TEST(SheetIo, InitialisedSheetTakesTheInitialValues)
{
    InitialValues st = InitialValues::Defaults();
    st.unit = "μm";
    st.specKind = 2;
    st.decimals = 1;
    SheetRecord s;
    s.dataList = {"old"};
    InitSheet(s, 4, st, 50, 5);
    EXPECT_EQ(s.label, "Sheet4");
    EXPECT_EQ(s.unit, "μm");
    EXPECT_EQ(s.specKindText, "下限規格");
    EXPECT_EQ(s.decimals, "1");
    EXPECT_EQ(s.lots, 50);
    EXPECT_EQ(s.n, 5);
    EXPECT_TRUE(s.hasLists);
    EXPECT_TRUE(s.dataList.empty());
    EXPECT_EQ(SpecKindIndex("何か"), 0);
    EXPECT_STREQ(SpecKindText(7), "公差規格");
    EXPECT_EQ(DefaultLotLabel(1000), "K1000");
    EXPECT_EQ(DefaultLotLabel(7), "K0007");
}

TEST(GridRoutines, NextCellWrapsRowsAndTheTable)
{
    GridShape edit{3, 11, 0, 1};  // n = 3, 10 lots
    struct Case {
        GridPos from, to;
    } cases[] = {
        {{0, 1}, {1, 1}},
        {{2, 1}, {0, 2}},
        {{2, 10}, {0, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NextGridCell(edit, c.from), c.to);
    GridShape lot{2, 11, 1, 1};  // a fixed first column
    EXPECT_EQ(NextGridCell(lot, GridPos{1, 4}), (GridPos{1, 5}));
}

TEST(GridRoutines, ClearRowsEmptiesEveryDataRowAndFlag)
{
    CellStore c(2);
    c.setText(0, 0, "ﾛｯﾄ№");
    c.setText(0, 1000, "K1000");
    c.setFlag(1, 500, true);
    ClearGridRows(c);
    EXPECT_EQ(c.text(0, 0), "ﾛｯﾄ№");
    EXPECT_EQ(c.text(0, 1000), "");
    EXPECT_FALSE(c.flag(1, 500));
}

TEST(GridRoutines, AutoColWidthFitsTheWidestDisplayedText)
{
    CellStore c(3);
    c.setText(0, 0, "N1");
    c.setText(0, 1, std::string(20, 'x'));
    c.setText(1, 1, "short");
    c.setText(2, 50, std::string(30, 'y'));  // beyond the displayed rows
    auto width = [](std::string_view t) { return static_cast<int>(t.size()) * 7; };
    std::vector<int> w = FitGridColumnWidths(c, GridShape{3, 11, 0, 1}, width);
    EXPECT_EQ(w, (std::vector<int>{150, 85, 85}));

    // A kept fit gives the same widths, measuring again only the rows
    // written since, and all of them after forget().
    ColumnFit fit;
    int measured = 0;
    auto counted = [&](std::string_view t) { return ++measured, width(t); };
    EXPECT_EQ(fit.fit(c, GridShape{3, 11, 0, 1}, counted), w);
    EXPECT_EQ(measured, 3);
    c.setText(1, 1, std::string(25, 'z'));
    EXPECT_EQ(fit.fit(c, GridShape{3, 11, 0, 1}, counted), (std::vector<int>{150, 185, 85}));
    EXPECT_EQ(measured, 5);
    fit.forget();
    EXPECT_EQ(fit.fit(c, GridShape{3, 11, 0, 1}, counted), (std::vector<int>{150, 185, 85}));
    EXPECT_EQ(measured, 8);
}
