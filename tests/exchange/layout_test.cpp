// The exchange layout without an office: references, number texts, reading a
// worksheet into a sheet record and the blocks written for a sheet.
#include <gtest/gtest.h>

#include <algorithm>

#include "exchange/cellref.h"
#include "exchange/cellvalue.h"
#include "exchange/layout.h"
#include "exchange/record_block.h"

namespace trevolo {
namespace {

TEST(CellRef, ConvertsBetweenA1AndRowColumn)
{
    const struct {
        const char* ref;
        int row, col;
        const char* absolute;  // RowColToCell(row, col)
    } cases[] = {
        {"A4", 4, 1, "$A$4"},
        {"$K$24", 24, 11, "$K$24"},
        {"k24", 24, 11, "$K$24"},
        {"Z1", 1, 26, "$Z$1"},
        {"AA1", 1, 27, "$AA$1"},
        {"CW1004", 1004, 101, "$CW$1004"},
        {"XFD1048576", 1048576, 16384, "$XFD$1048576"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CellToRowCol(c.ref), std::make_pair(c.row, c.col)) << c.ref;
        EXPECT_EQ(RowColToCell(c.row, c.col), c.absolute) << c.ref;
    }
    // Anything else gives (1, 1) one way and an empty text the other.
    for (const char* bad : {"", "A", "4", "A0", "R4C1", "A 4", " A4", "A4:B5", "XFE1", "A1048577", "ÄA1", "AAAA1"})
        EXPECT_EQ(CellToRowCol(bad), std::make_pair(1, 1)) << bad;
    for (auto [row, col] : {std::pair{0, 1}, {1, 0}, {1048577, 1}, {1, 16385}, {-5, -5}})
        EXPECT_EQ(RowColToCell(row, col), "") << row << "," << col;
}

TEST(CellValue, NumbersReadAsTextInGeneralFormat)
{
    const struct {
        double v;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {1.5, "1.5"},
        {-2.25, "-2.25"},
        {100, "100"},
        {0.1 + 0.2, "0.3"},  // 15 significant digits hide the binary tail
        {1.0 / 3, "0.333333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {-0.000012345, "-1.2345E-5"},
        {123456789012345, "123456789012345"},
        {1e15, "1E15"},
        {1.23456789012346e20, "1.23456789012346E20"},
        {10.500, "10.5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeneralNumberText(c.v), c.text) << c.v;
    EXPECT_EQ(CellText(CellValue(std::string(" a "))), " a ");
    EXPECT_EQ(CellText(CellValue(2.0)), "2");
}

TEST(CellValue, OnlyDecimalTextsBecomeNumbers)
{
    EXPECT_EQ(NumberOrText("1.500"), CellValue(1.5));
    EXPECT_EQ(NumberOrText(" -3 "), CellValue(-3.0));
    EXPECT_EQ(NumberOrText("1e3"), CellValue(1000.0));
    for (const char* text : {"", "abc", "1,5", "0x10", "inf", "1.2.3", "１２"})
        EXPECT_EQ(NumberOrText(text), CellValue(std::string(text))) << text;
}

TEST(Layout, DecimalsFormatFollowsKeta)
{
    const struct {
        const char* decimals;
        const char* format;
    } cases[] = {{"0", "0_ "},      {"1", "0.0_ "}, {"3", "0.000_ "}, {"5", "0.00000_ "},
                 {" 2 ", "0.00_ "}, {"", ""},       {"x", ""},        {"-1", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(DecimalsFormat(c.decimals), c.format) << c.decimals;
}

// A worksheet as the office reads it: the header row and the three blocks.
struct FakeWorksheet {
    std::array<CellValue, kHeaderFields> header{};
    CellBlock body{kImportLots, kImportColumns};

    void set(int row, int col, CellValue v) { body.at(row - 5, col - 1) = std::move(v); }
    WorksheetReads reads() const
    {
        WorksheetReads r;
        r.header = header;
        r.labels = CellBlock(kImportLots, 1);
        r.firstLot = CellBlock(1, kImportColumns - 1);
        for (int i = 0; i < kImportLots; ++i)
            r.labels.at(i, 0) = body.at(i, 0);
        for (int c = 1; c < kImportColumns; ++c)
            r.firstLot.at(0, c - 1) = body.at(0, c);
        r.body = body;
        return r;
    }
};

std::string EmptyTail(int cells)
{
    return std::string(static_cast<size_t>(cells), ',');
}

TEST(Layout, ImportedHeaderTextsAreNotTrimmedAndNumbersBecomeText)
{
    FakeWorksheet ws;
    ws.header = {std::string(" 製品A "),
                 std::string("工程"),
                 std::string(""),
                 std::string("項目1"),
                 std::string("mm"),
                 std::string("公差規格"),
                 3.0,
                 10.5,
                 -0.25};
    const SheetRecord s = SheetFromWorksheet(ws.reads());
    EXPECT_EQ(s.product, " 製品A ");
    EXPECT_EQ(s.process, "工程");
    EXPECT_EQ(s.machine, "");
    EXPECT_EQ(s.label, "項目1");
    EXPECT_EQ(s.unit, "mm");
    EXPECT_EQ(s.specKindText, "公差規格");
    EXPECT_EQ(s.decimals, "3");
    EXPECT_EQ(s.upperSpec, "10.5");
    EXPECT_EQ(s.lowerSpec, "-0.25");
    EXPECT_TRUE(s.hasLists);
}

TEST(Layout, ImportedCountsAndLines)
{
    struct Case {
        const char* name;
        std::function<void(FakeWorksheet&)> fill;
        int row, col;
        std::vector<std::pair<int, std::string>> lines;  // dataList line index and text
    };
    const std::vector<Case> cases = {
        {"empty worksheet", [](FakeWorksheet&) {}, 0, 0, {{0, EmptyTail(101)}, {999, EmptyTail(101)}}},
        {"fewer than 10 lots",
         [](FakeWorksheet& w) {
             for (int r = 0; r < 3; ++r) {
                 w.set(5 + r, 1, "K000" + std::to_string(r + 1));
                 w.set(5 + r, 2, 1.0 + r);
                 w.set(5 + r, 3, std::string("2.500"));
             }
         },
         3,
         2,
         {{0, "K0001,1,2.500," + EmptyTail(98)}, {2, "K0003,3,2.500," + EmptyTail(98)}, {3, EmptyTail(101)}}},
        {"first lot with missing values gives a smaller n",
         [](FakeWorksheet& w) {
             w.set(5, 1, std::string("L1"));
             w.set(5, 2, 1.0);
             w.set(5, 4, 3.0);  // C5 empty: n counts the two values
             w.set(6, 1, std::string("L2"));
             for (int c = 2; c <= 6; ++c)
                 w.set(6, c, double(c));
         },
         2,
         2,
         {{0, "L1,1,,3," + EmptyTail(97)}, {1, "L2,2,3,4,5,6," + EmptyTail(95)}}},
        {"a first lot without values gives n 0",
         [](FakeWorksheet& w) {
             w.set(5, 1, std::string("L1"));
             w.set(6, 1, std::string("L2"));
             w.set(6, 2, 7.0);
         },
         2,
         0,
         {{1, "L2,7," + EmptyTail(99)}}},
        {"gaps in the labels: counted labels, lines row by row",
         [](FakeWorksheet& w) {
             w.set(5, 1, std::string("A"));
             w.set(6, 1, std::string("  "));  // blank label
             w.set(6, 2, 1.0);
             w.set(7, 1, std::string("C"));
         },
         2,
         0,
         {{0, "A," + EmptyTail(100)}, {1, ",1," + EmptyTail(99)}, {2, "C," + EmptyTail(100)}}},
        {"cells are trimmed; a comma, a quote or an inner blank is quoted",
         [](FakeWorksheet& w) {
             w.set(5, 1, std::string(" Lot 1 "));
             w.set(5, 2, std::string(" 1.5 "));
             w.set(5, 3, std::string("1,5"));
             w.set(5, 4, std::string("a\"b"));
             w.set(5, 5, std::string("x\ty"));
         },
         1,
         4,
         {{0, "\"Lot 1\",1.5,\"1,5\",\"a\"\"b\",\"x\ty\"," + EmptyTail(96)}}},
        {"the last of 1000 lots and the last of 100 values are read",
         [](FakeWorksheet& w) {
             w.set(1004, 1, std::string("K1000"));
             w.set(1004, 101, 9.0);
             w.set(5, 101, 1.0);
         },
         1,
         1,
         {{999, "K1000," + EmptyTail(99) + "9,"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWorksheet w;
        c.fill(w);
        const SheetRecord s = SheetFromWorksheet(w.reads());
        EXPECT_EQ(s.lots, c.row);
        EXPECT_EQ(s.n, c.col);
        ASSERT_EQ(s.checkList.size(), 1000u);
        EXPECT_EQ(std::count(s.checkList.begin(), s.checkList.end(), "1"), 1000);
        ASSERT_EQ(s.dataList.size(), 1000u);
        for (const auto& [index, text] : c.lines)
            EXPECT_EQ(s.dataList[static_cast<size_t>(index)], text) << "line " << index;
    }
}

TEST(Layout, SmallerBlocksCountAsEmptyWhereTheyEnd)
{
    WorksheetReads r;
    r.labels = CellBlock(2, 1);
    r.labels.at(0, 0) = std::string("K1");
    r.body = CellBlock(1, 2);
    r.body.at(0, 0) = std::string("K1");
    r.body.at(0, 1) = 5.0;
    const SheetRecord s = SheetFromWorksheet(r);
    EXPECT_EQ(s.lots, 1);
    EXPECT_EQ(s.n, 0);
    ASSERT_EQ(s.dataList.size(), 1000u);
    EXPECT_EQ(s.dataList[0], "K1,5," + EmptyTail(99));
}

EditTableView MakeView(const std::vector<std::string>& labels, const std::vector<bool>& enabled,
                       const std::vector<std::vector<std::string>>& values)
{
    EditTableView v;
    v.lots = static_cast<int>(labels.size()) - 1;
    v.n = static_cast<int>(values[0].size());
    v.label = [labels](int r) { return labels[static_cast<size_t>(r)]; };
    v.enabled = [enabled](int r) { return enabled[static_cast<size_t>(r)]; };
    v.value = [values](int c, int r) { return values[static_cast<size_t>(r)][static_cast<size_t>(c)]; };
    return v;
}

TEST(Layout, EditBlockPacksEnabledLotsAndClearsTheRest)
{
    const auto view = MakeView({kLotColumnTitle, "K0001", "K0002", "K0003", "K0004"}, {true, true, false, true, false},
                               {{"N1", "N2"}, {"1.000", "2.000"}, {"9.000", "9.000"}, {"3.000", ""}, {"8", "8"}});
    const GridBlock g = BuildEditBlock(view, "3");
    ASSERT_EQ(g.cells.rows, 5);
    ASSERT_EQ(g.cells.cols, 3);
    EXPECT_EQ(g.lastCell(), "$C$8");
    using V = CellValue;
    const std::vector<std::vector<V>> expected = {
        {V(std::string(kLotColumnTitle)), V(std::string("N1")), V(std::string("N2"))},
        {V(std::string("K0001")), V(1.0), V(2.0)},
        {V(std::string("K0003")), V(3.0), V(std::string())},
        {V(std::string()), V(std::string()), V(std::string())},
        {V(std::string()), V(std::string()), V(std::string())},
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(g.cells.at(r, c), expected[r][c]) << r << "," << c;
    EXPECT_EQ(g.formats, (std::vector<FormatArea>{{"B5", "$C$8", "0.000_ "}}));
}

TEST(Layout, EditBlockKeepsLabelsAndNonNumbersAsText)
{
    const auto view = MakeView({kLotColumnTitle, "001", "1/2"}, {true, true, true}, {{"N1"}, {"1e2"}, {"abc"}});
    const GridBlock g = BuildEditBlock(view, "");
    EXPECT_EQ(g.cells.at(1, 0), CellValue(std::string("001")));
    EXPECT_EQ(g.cells.at(2, 0), CellValue(std::string("1/2")));
    EXPECT_EQ(g.cells.at(1, 1), CellValue(100.0));
    EXPECT_EQ(g.cells.at(2, 1), CellValue(std::string("abc")));
    // No decimals, no format.
    EXPECT_TRUE(g.formats.empty());
}

// A record shown as the window shows it: the lots clamped to at least ten,
// a disabled lot left out of the block, the values brought to the sheet's
// decimals up to the first value that is not a number, after which the
// values keep their texts.
TEST(Layout, RecordShownAsTheWindowShowsIt)
{
    SheetRecord r;
    r.specKindText = "その他";
    r.decimals = "1";
    r.upperSpec = "10";
    r.lowerSpec = "abc";
    r.lots = 3;
    r.n = 2;
    r.hasLists = true;
    r.checkList = {"1", "0"};
    r.dataList = {"A,1,2.26", "B,3,4", "C,x,5.55", "\"D,4\",7,8"};

    const GridBlock g = RecordEditBlock(r);
    ASSERT_EQ(g.cells.rows, 11);
    ASSERT_EQ(g.cells.cols, 3);
    using V = CellValue;
    const V e{std::string()};
    const std::vector<std::vector<V>> head = {
        {V(std::string(kLotColumnTitle)), V(std::string("N1")), V(std::string("N2"))},
        {V(std::string("A")), V(1.0), V(2.3)},
        {V(std::string("C")), V(std::string("x")), V(5.55)},
        {V(std::string("D,4")), V(7.0), V(8.0)},
        {V(std::string("K0005")), e, e},
    };
    for (int row = 0; row < 5; ++row)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(g.cells.at(row, c), head[static_cast<size_t>(row)][static_cast<size_t>(c)]) << row << "," << c;
    EXPECT_EQ(g.cells.at(9, 0), V(std::string("K0010")));
    EXPECT_EQ(g.cells.at(10, 0), e);
    EXPECT_EQ(g.formats, (std::vector<FormatArea>{{"B5", "$C$14", "0.0_ "}}));

    const SheetRecord s = ShownRecord(r);
    EXPECT_EQ(s.specKindText, kSpecKindTexts[0]);
    EXPECT_EQ(s.decimals, "1");
    EXPECT_EQ(s.upperSpec, "10.0");
    EXPECT_EQ(s.lowerSpec, "abc");
    EXPECT_EQ(s.lots, 10);
    EXPECT_EQ(s.n, 2);
    ASSERT_EQ(s.dataList.size(), 10u);
    EXPECT_EQ(s.checkList, (std::vector<std::string>{"1", "0", "1", "1", "1", "1", "1", "1", "1", "1"}));
    EXPECT_EQ(s.dataList[0], "A,1.0,2.3");
    EXPECT_EQ(s.dataList[1], "B,3.0,4.0");
    EXPECT_EQ(s.dataList[2], "C,x,5.55");
    EXPECT_EQ(s.dataList[3], "\"D,4\",7,8");
    EXPECT_EQ(s.dataList[9], "K0010,,");
}

TEST(Layout, StatisticsAndSpcBlocks)
{
    TableView calc;
    calc.rows = 3;
    calc.cols = 10;
    calc.cell = [](int c, int r) -> std::string {
        if (r == 0)
            return "T" + std::to_string(c);
        if (c == 0)
            return "K000" + std::to_string(r);
        if (c == 9)
            return "○";
        return std::to_string(c) + ".50000";
    };
    const GridBlock g = BuildCalcBlock(calc);
    EXPECT_EQ(g.cells.at(0, 3), CellValue(std::string("T3")));
    EXPECT_EQ(g.cells.at(1, 0), CellValue(std::string("K0001")));
    EXPECT_EQ(g.cells.at(1, 1), CellValue(1.5));
    EXPECT_EQ(g.cells.at(2, 8), CellValue(8.5));
    EXPECT_EQ(g.cells.at(2, 9), CellValue(std::string("○")));
    EXPECT_EQ(g.lastCell(), "$J$6");
    EXPECT_EQ(g.formats, (std::vector<FormatArea>{{"C5", "G6", "0.00000_ "}, {"H5", "I6", "0.000_ "}}));

    TableView spc;
    spc.rows = 2;
    spc.cols = 18;
    spc.cell = [](int c, int r) { return r == 0 ? std::string("H") : c == 0 ? std::string("K0001") : "1"; };
    const GridBlock s = BuildSpcBlock(spc);
    EXPECT_EQ(s.cells.at(1, 5), CellValue(std::string("1")));  // marks stay text
    EXPECT_TRUE(s.formats.empty());
    EXPECT_EQ(s.lastCell(), "$R$5");
}

TEST(Layout, HeaderRowWritesTheLimitsAsNumbers)
{
    SheetRecord s;
    s.product = "0123";
    s.decimals = "3";
    s.upperSpec = "10.500";
    s.lowerSpec = "";
    const auto row = HeaderRowValues(s);
    EXPECT_EQ(row[0], CellValue(std::string("0123")));
    EXPECT_EQ(row[6], CellValue(std::string("3")));
    EXPECT_EQ(row[7], CellValue(10.5));
    EXPECT_EQ(row[8], CellValue(std::string()));
}

}  // namespace
}  // namespace trevolo
