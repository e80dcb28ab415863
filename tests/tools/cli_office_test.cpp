// The batch tool with the spreadsheet engine: workbooks judged sheet by
// sheet, and conversions between CSV files and workbooks.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli_support.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/office.h"

namespace trevolo {
namespace {

using json = nlohmann::json;
using testing::CliRun;
using testing::CliTempDir;
using testing::ExchangeCsv;
using testing::RunCli;

using OfficeTest = testing::SharedOfficeSuite;

// A worksheet of the exchange layout with numbers where a workbook has them.
void WriteLayout(const Worksheet& ws, const std::vector<std::string>& header, double upper, double lower,
                 const std::vector<std::vector<CellValue>>& lots)
{
    static const char* const labels[9] = {"品種名称", "工程名称", "装置名称", "項目名称", "測定単位",
                                          "規格種別", "小数点桁", "規格上限", "規格下限"};
    CellBlock head(2, 9);
    for (int c = 0; c < 9; ++c) {
        head.at(0, c) = std::string(labels[c]);
        head.at(1, c) = header[static_cast<size_t>(c)];
    }
    head.at(1, 6) = 3.0;
    head.at(1, 7) = upper;
    head.at(1, 8) = lower;
    ws.range("A1", "I2").setValues(head);
    CellBlock body(static_cast<int>(lots.size()), 3);
    for (size_t r = 0; r < lots.size(); ++r)
        for (size_t c = 0; c < lots[r].size(); ++c)
            body.at(static_cast<int>(r), static_cast<int>(c)) = lots[r][c];
    ws.range("A5", "C" + std::to_string(4 + lots.size())).setValues(body);
}

TEST_F(OfficeTest, WorkbookSheetsAreJudgedLikeTheirCsvFiles)
{
    ASSERT_NE(app_, nullptr) << "the office did not start";
    CliTempDir dir;
    const std::vector<std::string> header = {"P", "Q", "M", "外径", "MM", "公差規格", "", "", ""};
    app_->setSheetsInNewWorkbook(2);
    OfficeWorkbook book = app_->addWorkbook();
    WriteLayout(book.worksheet(1), header, 10, 0, {{std::string("L1"), 1.0, 3.0}, {std::string("L2"), 2.0, 6.0}});
    WriteLayout(book.worksheet(2), header, 20, 0,
                {{std::string("K1"), 10.0}, {std::string("K2"), 12.0}, {std::string("K3"), 11.0}});
    const std::string xlsx = dir.file("book.xlsx");
    const std::string ods = dir.file("book.ods");
    book.saveAs(xlsx);
    book.saveAs(ods);
    book.close();

    const std::string csv1 = dir.write("s1.csv", ExchangeCsv({"P", "Q", "M", "外径", "MM", "公差規格", "3", "10", "0"},
                                                             {"L1,1,3", "L2,2,6"}, 2));
    const std::string csv2 = dir.write("s2.csv", ExchangeCsv({"P", "Q", "M", "外径", "MM", "公差規格", "3", "20", "0"},
                                                             {"K1,10", "K2,12", "K3,11"}, 1));
    const json fromCsv1 = json::parse(RunCli({"judge", "--json", csv1}, dir).out)["files"][0]["sheets"][0];
    json fromCsv2 = json::parse(RunCli({"judge", "--json", csv2}, dir).out)["files"][0]["sheets"][0];
    fromCsv2["sheet"] = 2;

    for (const std::string& file : {xlsx, ods}) {
        const CliRun r = RunCli({"judge", "--json", file}, dir);
        EXPECT_EQ(r.status, 1) << file << "\n" << r.err;
        const json out = json::parse(r.out);
        ASSERT_EQ(out["files"][0]["sheets"].size(), 2u) << file;
        EXPECT_EQ(out["files"][0]["sheets"][0], fromCsv1) << file;
        EXPECT_EQ(out["files"][0]["sheets"][1], fromCsv2) << file;

        const CliRun second = RunCli({"judge", "--json", "--sheet", "2", file}, dir);
        EXPECT_EQ(second.status, 0) << file << "\n" << second.err;
        const json only = json::parse(second.out)["files"][0]["sheets"];
        ASSERT_EQ(only.size(), 1u);
        EXPECT_EQ(only[0], fromCsv2);
    }

    // A file that is no workbook: status 2 and the import's message.
    const std::string fake = dir.write("fake.xlsx", "not a workbook");
    const CliRun bad = RunCli({"judge", fake}, dir);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("fake.xlsx: Excelブックのオープンに失敗しました。"), std::string::npos) << bad.err;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST(Convert, CsvThroughEachWorkbookKindComesBackAsTheWindowShowsIt)
{
    CliTempDir dir;
    // Twelve lots, one value off the sheet's decimals, a blank value and a
    // label holding a comma. The window shows "10.5" as "10.500" and stores
    // it so; everything else comes back byte for byte, in code page 932.
    const std::vector<std::string> header = {"製品Ａ",   "\"工程,1\"", "ＮＣ旋盤", "外径～", "ｍｍ",
                                             "公差規格", "3",          "10.500",   "9.500"};
    auto lots = [](const std::string& odd) {
        std::vector<std::string> l = {"ロット①,10.000," + odd, "\"L,2\",9.990,"};
        for (int i = 3; i <= 12; ++i)
            l.push_back("K" + std::to_string(1000 + i) + ",10.00" + std::to_string(i % 10) + ",9.998");
        return l;
    };
    const std::string input = dir.write("in.csv", Utf8ToCp932(ExchangeCsv(header, lots("10.5"), 2)));
    const std::string expected = Utf8ToCp932(ExchangeCsv(header, lots("10.500"), 2));

    const CliRun direct = RunCli({"convert", input, dir.file("direct")}, dir);
    ASSERT_EQ(direct.status, 0) << direct.err;
    EXPECT_EQ(direct.out, dir.file("direct") + " に保存されました。\n");
    EXPECT_EQ(ReadBytes(dir.file("direct/Sheet1.csv")), expected);

    for (const char* name : {"book.xlsx", "book.xls", "book.ods"}) {
        SCOPED_TRACE(name);
        const std::string book = dir.file(name);
        const CliRun save = RunCli({"convert", input, book}, dir);
        ASSERT_EQ(save.status, 0) << save.err;
        EXPECT_EQ(save.out, book + ": 正常にExcelブックへの保存が完了しました。\n");
        const std::string folder = dir.file(std::string(name) + ".csv/new");
        const CliRun back = RunCli({"convert", book, folder}, dir);
        ASSERT_EQ(back.status, 0) << back.err;
        EXPECT_EQ(ReadBytes(folder + "/Sheet1.csv"), expected);
        EXPECT_FALSE(std::filesystem::exists(folder + "/Sheet2.csv"));
    }
}

TEST(Convert, UnusableInputOrOutputEndsWithStatusTwoAndWritesNothing)
{
    CliTempDir dir;
    const std::string csv =
        dir.write("in.csv", ExchangeCsv({"P", "Q", "M", "外径", "mm", "公差規格", "3", "1", "0"}, {"L1,0.5"}, 1));
    const std::string notBook = dir.write("fake.xlsx", "not a workbook");
    const std::string aFile = dir.write("plain.txt", "x");
    std::filesystem::create_directory(dir.file("folder.csv"));
    const struct {
        std::string in, out, message, written;
    } cases[] = {
        {dir.file("missing.csv"), dir.file("o1.xlsx"), "missing.csv: ファイルがありません。", "o1.xlsx"},
        {dir.file("folder.csv"), dir.file("o2"), "folder.csv: ファイルではなくフォルダです。", "o2"},
        {notBook, dir.file("o3"), std::string("fake.xlsx: ") + kMsgXlsOpenFailedExtension, "o3"},
        {csv, dir.file("none/o4.xlsx"), std::string("o4.xlsx: ") + kMsgXlsSaveFailed, "none"},
        {csv, aFile + "/o5", std::string(kMsgCsvSaveFailed) + " (保存先のフォルダが正しくありません。)",
         "plain.txt/o5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in + " -> " + c.out);
        const CliRun r = RunCli({"convert", c.in, c.out}, dir);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file(c.written)));
    }
}

}  // namespace
}  // namespace trevolo
