// Reading CSV files without the spreadsheet application. The expected cells
// of the parsing cases are what LibreOffice Calc 7.4 shows after opening the
// same bytes with the program's import options (checked against the office
// itself by csv_reader_office_test.cpp).
#include <gtest/gtest.h>

#include "exchange/csv.h"
#include "exchange/csv_reader.h"

namespace trevolo {
namespace {

using Rows = std::vector<CsvRow>;

struct ParseCase {
    const char* name;
    std::string text;
    Rows rows;
};

TEST(CsvReader, CellsAsTheSpreadsheetApplicationReadsThem)
{
    const ParseCase cases[] = {
        {"plain", "a,b,c\r\n1,2\r\n", {{"a", "b", "c"}, {"1", "2"}}},
        {"numbers stay as written", "001,1.500,1e3, 2 \r\n", {{"001", "1.500", "1e3", " 2 "}}},
        {"empty fields and lines", ",a,\r\n\r\n,,\r\n", {{"", "a"}, {}, {"", ""}}},
        {"every line end", "a\rb\nc\r\nd\n\re\r\rf", {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}, {}, {"f"}}},
        {"doubled quotes", "a,\"b\"\"c\",d", {{"a", "b\"c", "d"}}},
        {"quoted comma", "\"1,5\",x", {{"1,5", "x"}}},
        {"empty quoted", "\"\",x\r\n\"\"", {{"", "x"}, {""}}},
        {"blanks before a quote are skipped", "  \"sp\",e", {{"sp", "e"}}},
        {"blanks inside quotes kept", "\" a \",b", {{" a ", "b"}}},
        {"text after the closing quote", "\"a\" ,b", {{"a ", "b"}}},
        {"blanks after a quote at the end", "\"a\"  ", {{"a  "}}},
        {"lone quotes inside a quoted field", "\"a\"b\"c\",d", {{"a\"b\"c", "d"}}},
        {"quote in an unquoted field", "ab\"c,\"\",x", {{"ab\"c", "", "x"}}},
        {"a quote that never closes is a character", "\"x\"y,z", {{"\"x\"y", "z"}}},
        {"unclosed field runs to the comma", "\"a,b\"x,c", {{"\"a", "b\"x", "c"}}},
        {"unclosed with doubled quotes", "\"a\"\"b\"c,d", {{"\"a\"\"b\"c", "d"}}},
        {"unclosed after blanks drops them", " \"ab,c", {{"\"ab", "c"}}},
        {"line break inside quotes", "\"multi\r\nline\",f,\"q\nr\"\r\nz", {{"multi\nline", "f", "q\nr"}, {"z"}}},
        {"CR inside quotes becomes LF", "\"a\rb\",c", {{"a\nb", "c"}}},
        {"several lines and an empty one", "\"a\n\nb\",c\nd", {{"a\n\nb", "c"}, {"d"}}},
        {"second field over two lines", "\"a\",x,\"b\nc\",d\n", {{"a", "x", "b\nc", "d"}}},
        {"never closed: first line only", "\"unclosed,g\r\nh,i\r\n", {{"\"unclosed", "g"}, {"h", "i"}}},
        {"never closed at the end of the file", "\"a\nb", {{"\"a"}, {"b"}}},
        {"a lone quote stops the joining", "\"a\nb\"x\nc\",d\n", {{"\"a"}, {"b\"x"}, {"c\"", "d"}}},
        {"back to the last line where a field closed", "\"a\nb\",\"c\nd\ne\n", {{"a\nb", "\"c"}, {"d"}, {"e"}}},
        {"a new quote left open at the end keeps the lines", "\"\"\"\nbx\",\"", {{"\"\nbx", "\""}}},
        {"closed by a doubled quote only: first line only", "\"a\nb\"\"c\nd\n", {{"\"a"}, {"b\"\"c"}, {"d"}}},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(ParseCsvText(c.text), c.rows) << c.name;
}

TEST(CsvReader, ReadsAtMostTheRowsAsked)
{
    EXPECT_EQ(ParseCsvText("a\nb\nc\n", 2), (Rows{{"a"}, {"b"}}));
    EXPECT_EQ(ParseCsvText(""), Rows{});
}

TEST(CsvReader, DecodesUtf8AndCodePage932)
{
    const std::string utf8 = "品種名称,ﾛｯﾄ№,～";
    EXPECT_EQ(DecodeCsvBytes(utf8), utf8);
    EXPECT_EQ(DecodeCsvBytes("\xEF\xBB\xBF" + utf8), utf8);  // the mark is dropped
    EXPECT_EQ(DecodeCsvBytes(Utf8ToCp932(utf8)), utf8);
    // Bytes the system's code page 932 table lacks read as the application
    // shows them; a broken double-byte character becomes U+FFFD.
    EXPECT_EQ(DecodeCsvBytes("\x80,\xA0,\xFD,\xFE,\xFF"), "\\,\xC2\xA0,©,™,…");
    EXPECT_EQ(DecodeCsvBytes("\x82\xA0\x81\x20x,y\x81"), "あ\xEF\xBF\xBDx,y\xEF\xBF\xBD");
    // ... but not a line end: the line ends there.
    EXPECT_EQ(ParseCsvText(DecodeCsvBytes("a\x81\nb,c\r\nd\x81\r\ne\x81,f")), (Rows{{"a\xEF\xBF\xBD"},
                                                                                    {"b", "c"},
                                                                                    {"d\xEF\xBF\xBD"},
                                                                                    {"e\xEF\xBF\xBD"
                                                                                     "f"}}));
    // NUL characters take no part in a cell.
    EXPECT_EQ(DecodeCsvBytes(std::string("q\0r,s", 5)), "qr,s");
}

std::string Layout(const std::string& body)
{
    return "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
           "製品,\"工程,1\",装置,外径,mm,公差規格,3,10.500,9.500\r\n"
           "\r\n"
           "ﾛｯﾄ№,N1,N2,N3\r\n" +
           body;
}

TEST(CsvReader, SheetOfAnExchangeFile)
{
    const SheetRecord s =
        SheetFromCsvBytes(Utf8ToCp932(Layout("001,1.000,2,\"3\"\r\n"
                                             "002,\"1,5\",,x y\r\n"
                                             "\r\n"
                                             "004,4\r\n")));
    EXPECT_EQ(s.product, "製品");
    EXPECT_EQ(s.process, "工程,1");
    EXPECT_EQ(s.label, "外径");
    EXPECT_EQ(s.specKindText, "公差規格");
    EXPECT_EQ(s.decimals, "3");
    EXPECT_EQ(s.upperSpec, "10.500");  // as written: cells are read as texts
    EXPECT_EQ(s.lowerSpec, "9.500");
    EXPECT_EQ(s.lots, 3);  // labels that are not blank
    EXPECT_EQ(s.n, 3);     // values of the first lot
    ASSERT_EQ(s.dataList.size(), 1000u);
    ASSERT_EQ(s.checkList.size(), 1000u);
    EXPECT_EQ(s.dataList[0].substr(0, 14), "001,1.000,2,3,");
    // A value holding a comma or a blank is quoted so it reads back whole.
    EXPECT_EQ(s.dataList[1].substr(0, 16), "002,\"1,5\",,\"x y\"");
    EXPECT_EQ(s.dataList[2], std::string(101, ','));
    EXPECT_EQ(s.dataList[3].substr(0, 6), "004,4,");
}

TEST(CsvReader, LotsBeyondRow1004AndColumnsBeyondCWAreNotRead)
{
    std::string body;
    for (int lot = 1; lot <= 1005; ++lot) {
        body += "L" + std::to_string(lot);
        for (int c = 1; c <= 102; ++c)
            body += "," + std::to_string(c);
        body += "\r\n";
    }
    const SheetRecord s = SheetFromCsvBytes(Layout(body));
    EXPECT_EQ(s.lots, 1000);
    EXPECT_EQ(s.n, 100);
    ASSERT_EQ(s.dataList.size(), 1000u);
    EXPECT_EQ(s.dataList.back().substr(0, 8), "L1000,1,");
    EXPECT_NE(s.dataList.back().find(",100,"), std::string::npos);
    EXPECT_EQ(s.dataList.back().find(",101,"), std::string::npos);
}

}  // namespace
}  // namespace trevolo
