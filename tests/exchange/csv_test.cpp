// CSV files of the exchange layout, byte for byte, and the code page 932
// conversions behind them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "exchange/csv.h"
#include "exchange/layout.h"
#include "office_support.h"

namespace trevolo {
namespace {

SheetRecord ExampleSheet()
{
    SheetRecord s;
    s.product = "製品A";
    s.process = "工程,1";     // a comma: quoted on line 2
    s.machine = "装置\"X\"";  // double quotes: quoted and doubled
    s.label = "項目 1";       // a blank alone needs no quotes in CSV
    s.unit = "mm";
    s.specKindText = "公差規格";
    s.decimals = "3";
    s.upperSpec = "10.500";
    s.lowerSpec = "9.500";
    s.lots = 4;
    s.n = 3;
    s.hasLists = true;
    s.checkList = {"1", "0", "1", "1"};
    s.dataList = {
        "K0001,1.000,2.000,3.000",
        "K0002,4.000,5.000,6.000",  // disabled: left out
        "K0003,1.000,,3.000",
        "K\"4,\"a b\",2.000,",  // a label with a quote
    };
    return s;
}

TEST(Csv, TextOfASheet)
{
    const std::string expected =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
        "製品A,\"工程,1\",\"装置\"\"X\"\"\",項目 1,mm,公差規格,3,10.500,9.500\r\n"
        "\r\n"
        "ﾛｯﾄ№,N1,N2,N3\r\n"
        "K0001,1.000,2.000,3.000\r\n"
        "K0003,1.000,,3.000\r\n"
        "\"K\"\"4\",\"a b\",2.000,\r\n";
    EXPECT_EQ(SheetCsvText(ExampleSheet()), expected);
}

TEST(Csv, BytesAreCodePage932WithCrLfAndNoByteOrderMark)
{
    const std::string bytes = SheetCsvBytes(ExampleSheet());
    // 品種名称 in code page 932, then the comma of the next label.
    EXPECT_EQ(bytes.substr(0, 9), "\x95\x69\x8E\xED\x96\xBC\x8F\xCC,");
    // Line 4: half-width ﾛｯﾄ and the numero sign of the NEC row.
    const size_t line4 = bytes.find("\r\n\r\n") + 4;
    EXPECT_EQ(bytes.substr(line4, 16), "\xDB\xAF\xC4\x87\x82,N1,N2,N3\r\n");
    // Every line ends with CR LF, and nothing else ends one.
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lf;
            if (i > 0 && bytes[i - 1] == '\r')
                ++crlf;
        }
    }
    EXPECT_EQ(lf, 7u);
    EXPECT_EQ(crlf, lf);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    // Back to UTF-8 it is the text.
    EXPECT_EQ(Cp932ToUtf8(bytes), SheetCsvText(ExampleSheet()));
}

TEST(Csv, ASheetNeverShownGivesOnlyTheFourHeadLines)
{
    SheetRecord s;
    s.label = "Sheet2";
    s.specKindText = "公差規格";
    s.decimals = "3";
    s.lots = 100;
    s.n = 2;
    EXPECT_EQ(SheetCsvText(s),
              "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
              ",,,Sheet2,,公差規格,3,,\r\n"
              "\r\n"
              "ﾛｯﾄ№,N1,N2\r\n");
}

TEST(Csv, DataLinesBecomeCsvLines)
{
    const struct {
        const char* line;
        const char* csv;
    } cases[] = {
        {"K0001,1.000,2.000", "K0001,1.000,2.000"},
        {"K0001", "K0001"},
        {"K0001,\"\"", "K0001,\"\""},                              // one empty value
        {"K0001,\"1,5\",\"a\"\"b\"", "K0001,\"1,5\",\"a\"\"b\""},  // comma text is already CSV
        {"\"L,1\",2", "\"L,1\",2"},                                // a label stored quoted stays so
        {"L\"1,2", "\"L\"\"1\",2"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DataLineToCsv(c.line), c.csv) << c.line;
}

TEST(Csv, CharactersTheCodePageLacksBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Utf8ToCp932("a\xFF"
                          "b"),
              "a?b");
    EXPECT_EQ(Utf8ToCp932("\xE6\x97"), "?");  // cut short at the end
    // The wave dash of other systems is the code page's tilde.
    EXPECT_EQ(Utf8ToCp932("〜"), "\x81\x60");
    EXPECT_EQ(Utf8ToCp932("①㈱髙"), "\x87\x40\x87\x8A\xFB\xFC");
    EXPECT_EQ(Cp932ToUtf8("\x81"), std::nullopt);
}

TEST(Csv, EncodingOfAFileToRead)
{
    const struct {
        std::string bytes;
        int charset;
    } cases[] = {
        {"", kCharsetUtf8},
        {"K0001,1.5\r\n", kCharsetUtf8},
        {"\xEF\xBB\xBF"
         "K0001\r\n",
         kCharsetUtf8},
        {"製品,ロット", kCharsetUtf8},
        {Utf8ToCp932("製品,ロット"), kCharsetMs932},
        {"\xEF\xBB\xBF\x95\x69", kCharsetUtf8},  // a byte-order mark decides
        {"\xC0\xAF", kCharsetMs932},             // overlong
        {"\xED\xA0\x80", kCharsetMs932},         // surrogate
        {"\xF4\x90\x80\x80", kCharsetMs932},     // beyond U+10FFFF
        {"\xE3\x81", kCharsetMs932},             // cut short
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectCsvCharset(c.bytes), c.charset) << c.bytes;
    const std::string options = CsvFilterOptions(kCharsetMs932);
    EXPECT_TRUE(options.starts_with("44,34,60,1,1/2/2/2/3/2/")) << options;
    EXPECT_TRUE(options.ends_with("/101/2,1041")) << options;
}

TEST(Csv, FilesAreOverwrittenAndErrorsNameTheFile)
{
    testing::TempDir dir;
    for (int i = 1; i <= 8; ++i)
        testing::WriteFile(CsvFilePath(dir.path(), i).string(), "old");
    SheetArray sheets(5, ExampleSheet());
    sheets[4].product = "製品E";
    const CommandMessage m = ExportSheetsCsv(dir.path(), sheets, std::chrono::milliseconds(0));
    EXPECT_EQ(m, (CommandMessage{CommandMessage::Kind::Guide, dir.path().string() + " に保存されました。"}));
    EXPECT_EQ(CsvFilePath(dir.path(), 3).filename(), "Sheet3.csv");
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(testing::ReadFile(CsvFilePath(dir.path(), i).string()), SheetCsvBytes(sheets[i - 1])) << i;
    for (int i = 6; i <= 8; ++i)
        EXPECT_EQ(testing::ReadFile(CsvFilePath(dir.path(), i).string()), "old") << i;

    // A missing folder: the first file fails, with its name in the message.
    const auto missing = dir.path() / "gone";
    const CommandMessage failed = ExportSheetsCsv(missing, sheets, std::chrono::milliseconds(0));
    EXPECT_EQ(failed.kind, CommandMessage::Kind::Error);
    EXPECT_NE(failed.text.find("Sheet1.csv"), std::string::npos) << failed.text;
    // A folder in the place of the file.
    std::filesystem::create_directories(dir.path() / "Sheet9.csv");
    EXPECT_THROW(WriteSheetCsv(dir.path() / "Sheet9.csv", sheets[0]), FileWriteError);
}

}  // namespace
}  // namespace trevolo
