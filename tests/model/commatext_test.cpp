#include <gtest/gtest.h>

#include "model/commatext.h"

using namespace trevolo;
using V = std::vector<std::string>;

TEST(CommaText, WritesCellsQuotingOnlyWhereNeeded)
{
    struct Case {
        V cells;
        const char* line;
    } cases[] = {
        {{"1.000", "", "2.500"}, "1.000,,2.500"},
        {{""}, "\"\""},
        {{"", ""}, ","},
        {{"a b"}, "\"a b\""},
        {{"x,y", "1"}, "\"x,y\",1"},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"日本語", "ｱ"}, "日本語,ｱ"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommaTextJoin(c.cells), c.line);
}

TEST(CommaText, ReadsItemsBack)
{
    struct Case {
        std::string_view line;
        V items;
    } cases[] = {
        {"1.000,,2.500", {"1.000", "", "2.500"}},
        {"\"\"", {""}},
        {"", {}},
        {"a,", {"a"}},  // a comma at the very end gives no item
        {",a", {"", "a"}},
        {"  a ,  b", {"a", "b"}},  // blanks around items are skipped
        {"a b", {"a", "b"}},       // an unquoted blank ends an item
        {"\"a b\",c", {"a b", "c"}},
        {"\"x,y\",1", {"x,y", "1"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"unclosed,a", {"unclosed,a"}},  // an unbalanced quote runs to the end
        {"\"a\"b,c", {"a", "b", "c"}},
        {",,,", {"", "", ""}},
        // Items longer than eight characters, and every kind of end inside
        // and across the first eight.
        {"12345678,123456789,1", {"12345678", "123456789", "1"}},
        {"abcdefg\x01h,\x7f\x80\xff!,ab\x20"
         "cdefghij",
         {"abcdefg", "h", "\x7f\x80\xff!", "ab", "cdefghij"}},
        {std::string_view("abcdefghijk\0lmn,o", 18), {"abcdefghijk"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommaTextSplit(c.line), c.items) << c.line;
}

TEST(CommaText, RoundTripsAnyCells)
{
    const V rows[] = {
        {"1", "2", "3"},
        {"", "x", ""},
        {"a,b", "\"", " lead", "trail ", ""},
        {"\x01\x02", "改行\r\nあり"},
    };
    for (const auto& cells : rows) {
        V back = CommaTextSplit(CommaTextJoin(cells));
        back.resize(cells.size());  // trailing empty cells have no item
        EXPECT_EQ(back, cells);
    }
}

TEST(DataLine, LabelsWithSeparatorsAreQuotedAndReadWhole)
{
    struct Case {
        const char* label;
        V cells;
        const char* line;
    } cases[] = {
        {"K0001", {"1.000", "", "2.500"}, "K0001,1.000,,2.500"},
        {"K0001", {""}, "K0001,\"\""},
        {"Lot,7", {"1"}, "\"Lot,7\",1"},
        {"Lot 7", {"1"}, "\"Lot 7\",1"},
        {"", {"1"}, ",1"},
    };
    for (const auto& c : cases) {
        std::string line = DataLineJoin(c.label, c.cells.data(), c.cells.size());
        EXPECT_EQ(line, c.line);
        DataLineParts p = DataLineSplit(line);
        EXPECT_EQ(p.label, c.label);
        V back = CommaTextSplit(p.values);
        back.resize(c.cells.size());
        EXPECT_EQ(back, c.cells);
    }
}

TEST(DataLine, OlderLinesAndOddLines)
{
    DataLineParts p = DataLineSplit("K0001");
    EXPECT_EQ(p.label, "K0001");
    EXPECT_TRUE(p.values.empty());
    p = DataLineSplit("\"unclosed");
    EXPECT_EQ(p.label, "unclosed");
    EXPECT_TRUE(p.values.empty());
    p = DataLineSplit("A1,2,3");
    EXPECT_EQ(p.label, "A1");
    EXPECT_EQ(p.values, "2,3");
}
