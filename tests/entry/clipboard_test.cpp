// The clipboard text of the tables and the lot matching of the result
// tables, on plain cell stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/clipboard.h"
#include "entry/lot_numbers.h"

namespace trevolo {
namespace {

// A measurement table of `lots` data rows and n columns, no fixed column.
GridShape Shape(int n, int lots)
{
    return {n, lots + 1, 0, 1};
}

// Fills data rows from row 1 with the given rows of texts; headers N1.. .
CellStore Table(int n, const std::vector<std::vector<std::string>>& rows)
{
    CellStore cells(n);
    for (int c = 0; c < n; ++c)
        cells.setText(c, 0, "N" + std::to_string(c + 1));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            cells.setText(static_cast<int>(c), static_cast<int>(r) + 1, rows[r][c]);
    return cells;
}

// The displayed data rows as rows of texts.
std::vector<std::vector<std::string>> Rows(const CellStore& cells, const GridShape& s)
{
    std::vector<std::vector<std::string>> out;
    for (int r = 1; r < s.rowCount; ++r) {
        auto& row = out.emplace_back();
        for (int c = 0; c < s.colCount; ++c)
            row.push_back(cells.text(c, r));
    }
    return out;
}

struct CopyCase {
    const char* name;
    GridRect sel;
    const char* text;
};

TEST(GridCopyText, SelectionBecomesTabAndCrLfText)
{
    // 3 columns x 3 lots.
    const CellStore cells = Table(3, {{"1", "2", "x"}, {"3", "4", ""}, {"a b", "\"q\"", "ロット"}});
    const GridShape shape = Shape(3, 3);
    const CopyCase cases[] = {
        {"two by two", {0, 1, 1, 2}, "1\t2\r\n3\t4\r\n"},
        {"one cell", {2, 3, 2, 3}, "ロット\r\n"},
        {"empty cell stays an empty field", {1, 2, 2, 2}, "4\t\r\n"},
        {"texts verbatim", {0, 3, 1, 3}, "a b\t\"q\"\r\n"},
        {"right and bottom clamped to the table", {1, 2, 9, 9}, "4\t\r\n\"q\"\tロット\r\n"},
        {"inverted columns", {2, 1, 1, 1}, ""},
        {"inverted rows", {0, 3, 0, 2}, ""},
        {"no selection", {-1, -1, -1, -1}, ""},
        {"left beyond the last column", {3, 1, 4, 1}, ""},
        {"top beyond the last row", {0, 4, 0, 5}, ""},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CopyGridText(cells, shape, c.sel), c.text);
    }
}

struct PasteCase {
    const char* name;
    GridRect sel;
    const char* text;
    int written;
    std::vector<std::vector<std::string>> after;
};

TEST(GridPasteText, TextFillsCellsFromTheTopLeftOfTheSelection)
{
    // 4 columns x 3 lots, every cell "o" before the paste.
    const std::vector<std::vector<std::string>> full(3, std::vector<std::string>(4, "o"));
    const PasteCase cases[] = {
        {"two rows of three two columns before the right edge drop the third values",
         {2, 1, 2, 1},
         "1\t2\t3\r\n4\t5\t6\r\n",
         4,
         {{"o", "o", "1", "2"}, {"o", "o", "4", "5"}, {"o", "o", "o", "o"}}},
        {"a value without a line break goes to the start cell",
         {1, 2, 3, 3},
         "12.5",
         1,
         {{"o", "o", "o", "o"}, {"o", "12.5", "o", "o"}, {"o", "o", "o", "o"}}},
        {"LF alone ends a row, as most programs put lines on the clipboard",
         {0, 1, 0, 1},
         "1\t2\n3\t4\n",
         4,
         {{"1", "2", "o", "o"}, {"3", "4", "o", "o"}, {"o", "o", "o", "o"}}},
        {"LF alone without a final break",
         {1, 2, 1, 2},
         "1\t2\n3",
         3,
         {{"o", "o", "o", "o"}, {"o", "1", "2", "o"}, {"o", "3", "o", "o"}}},
        {"CR LF is one break, not two",
         {0, 1, 0, 1},
         "1\r\n2\r\n3\r\n",
         3,
         {{"1", "o", "o", "o"}, {"2", "o", "o", "o"}, {"3", "o", "o", "o"}}},
        {"a lone CR ends a row as well",
         {0, 1, 0, 1},
         "1\t2\r3\t4\r",
         4,
         {{"1", "2", "o", "o"}, {"3", "4", "o", "o"}, {"o", "o", "o", "o"}}},
        {"an empty line empties the start cell of its row, whatever the break",
         {0, 1, 0, 1},
         "1\n\r\n2\r\r\n",
         3,
         {{"1", "o", "o", "o"}, {"", "o", "o", "o"}, {"2", "o", "o", "o"}}},
        {"empty texts between TABs overwrite",
         {0, 1, 0, 1},
         "\t\t7\r\n",
         3,
         {{"", "", "7", "o"}, {"o", "o", "o", "o"}, {"o", "o", "o", "o"}}},
        {"rows below the last lot are dropped",
         {3, 3, 3, 3},
         "1\r\n2\r\n3\r\n",
         1,
         {{"o", "o", "o", "o"}, {"o", "o", "o", "o"}, {"o", "o", "o", "1"}}},
        {"a final TAB leaves no pending text",
         {0, 2, 0, 2},
         "5\t",
         1,
         {{"o", "o", "o", "o"}, {"5", "o", "o", "o"}, {"o", "o", "o", "o"}}},
        {"cell texts are taken verbatim",
         {0, 1, 0, 1},
         " a \t\"b\",c\r\n",
         2,
         {{" a ", "\"b\",c", "o", "o"}, {"o", "o", "o", "o"}, {"o", "o", "o", "o"}}},
        {"no current cell starts at the first data cell, never the header",
         {-1, -1, -1, -1},
         "9",
         1,
         {{"9", "o", "o", "o"}, {"o", "o", "o", "o"}, {"o", "o", "o", "o"}}},
        {"an empty text writes nothing", {0, 1, 0, 1}, "", 0, full},
    };
    for (const PasteCase& c : cases) {
        SCOPED_TRACE(c.name);
        CellStore cells = Table(4, full);
        const GridShape shape = Shape(4, 3);
        EXPECT_EQ(PasteGridText(cells, shape, c.sel, c.text), c.written);
        EXPECT_EQ(Rows(cells, shape), c.after);
        EXPECT_EQ(cells.text(0, 0), "N1");
        // Hidden cells (beyond the displayed columns and lots) stay as they were.
        EXPECT_EQ(cells.text(4, 1), "");
        EXPECT_EQ(cells.text(0, 4), "");
    }
}

TEST(GridPasteText, CopiedBlockPastesBackUnchanged)
{
    const CellStore from = Table(3, {{"1.000", "", "-2.5"}, {"a\"b", "ﾛｯﾄ", " "}});
    const std::string text = CopyGridText(from, Shape(3, 2), {0, 1, 2, 2});
    CellStore to = Table(3, {});
    EXPECT_EQ(PasteGridText(to, Shape(3, 5), {0, 3, 0, 3}, text), 6);
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(to.text(c, r + 2), from.text(c, r)) << c << "," << r;
}

TEST(GridSelectAll, DeleteEmptiesEveryDataCellAndCopyLeavesTheHeaderOut)
{
    CellStore cells = Table(2, {{"1", "2"}, {"3", "4"}, {"5", "6"}});
    cells.setText(0, 4, "hidden");  // lot 4 is not displayed
    const GridShape shape = Shape(2, 3);
    const GridRect all = AllGridCells(shape);
    EXPECT_EQ(all, (GridRect{0, 1, 1, 3}));
    EXPECT_EQ(CopyGridText(cells, shape, all), "1\t2\r\n3\t4\r\n5\t6\r\n");

    DeleteGridCells(cells, shape, all);
    EXPECT_EQ(Rows(cells, shape), (std::vector<std::vector<std::string>>(3, {"", ""})));
    EXPECT_EQ(cells.text(0, 0), "N1");
    EXPECT_EQ(cells.text(1, 0), "N2");
    EXPECT_EQ(cells.text(0, 4), "hidden");

    // With a fixed column (the lot table) select-all starts right of it.
    EXPECT_EQ(AllGridCells({2, 11, 1, 1}), (GridRect{1, 1, 1, 10}));
}

struct MatchCase {
    const char* name;
    std::vector<std::string> lots;
    std::vector<bool> takesPart;
    std::vector<std::string> rows;
    std::vector<int> expected;
};

TEST(MatchTableRowsToLots, EachResultRowFindsTheLotItShows)
{
    const MatchCase cases[] = {
        {"every lot listed row for row, total row after them",
         {"K1", "K2", "K3"},
         {true, true, true},
         {"K1", "K2", "K3", "＊トータル"},
         {0, 1, 2, -1}},
        {"before a judgment every lot is listed, enabled or not",
         {"K1", "K2", "K3"},
         {true, false, true},
         {"K1", "K2", "K3"},
         {0, 1, 2}},
        {"packed rows skip the lots that took no part",
         {"K1", "K2", "K3", "K4"},
         {false, true, false, true},
         {"K2", "K4", "＊トータル"},
         {1, 3, -1}},
        {"a repeated number goes to the lot that took part",
         {"A", "A", "B"},
         {false, true, true},
         {"A", "B", "＊トータル"},
         {1, 2, -1}},
        {"emptied rows after a failed judgment match nothing", {"K1", "K2"}, {true, true}, {"", "", ""}, {-1, -1, -1}},
        {"a row whose number no longer exists is left alone",
         {"K1", "K2", "K3"},
         {true, true, true},
         {"K1", "X", "K3"},
         {0, -1, 2}},
        {"no lots", {}, {}, {"K1"}, {-1}},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MatchTableRowsToLots(c.lots, c.takesPart, c.rows), c.expected);
    }
}

}  // namespace
}  // namespace trevolo
