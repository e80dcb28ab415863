// The CSV reader against the spreadsheet application's own CSV import of the
// same bytes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "exchange/csv.h"
#include "exchange/csv_reader.h"
#include "exchange/exchange.h"
#include "exchange/office.h"
#include "exchange_csv.h"
#include "office_support.h"

namespace trevolo {
namespace {

using json = nlohmann::json;
using testing::ExchangeCsv;
using testing::TempDir;
using testing::WriteFile;

using OfficeTest = testing::SharedOfficeSuite;

const std::string kLabels = "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n";

// Exchange files whose cells hold what CSV readers disagree on.
std::vector<std::string> TrickyFiles()
{
    std::vector<std::string> files = {
        ExchangeCsv({"製品", "\"工程,1\"", " 装置 ", "外径", "mm", "公差規格", "3", "10.500", "9.500"},
                    {"001,1.000,\"2,5\",x y", "\"L\"\"2\",\" 3 \",,4", " \"q\" ,5,\"6\"7,8", "L4,\"a\r\nb\",9,",
                     ",1,2,3", "L6,\"open,1,2"},
                    3),
        "\xEF\xBB\xBF" + ExchangeCsv({"P", "Q", "M", "項目", "MM", "上限規格", "2", "5", ""},
                                     {"K1,1,2", "K2,\"3\nx\",\"4\"", "K3,\"\"\"q\"\"\",5"}, 2),
        Utf8ToCp932(ExchangeCsv({"製品Ａ", "工程", "装置", "外径～", "ｍｍ", "下限規格", "1", "", "0"},
                                {"ﾛｯﾄ1,1.5,2.5", "ﾛｯﾄ2,３,4"}, 2)),
        kLabels + "A,B\r\rC\r\n\n\"x\ny\",1\nL1,1\nL2,\"2\n",
        kLabels + "a,\"b\nc\",\"d\n\n\"\"\ne\",f\r\n\r\n\r\nL1,\"1\"\"\",2",
    };
    // Random texts of the characters that matter, in the lot rows.
    std::mt19937 rng(20240611);
    const char* pieces[] = {"a", "1", ",", "\"", "\"", " ", "\n", "\r\n", "\r", "\"\"", ",\"", "\","};
    std::uniform_int_distribution<int> pick(0, 11), length(1, 24);
    for (int i = 0; i < 40; ++i) {
        std::string body;
        for (int k = length(rng); k > 0; --k)
            body += pieces[pick(rng)];
        files.push_back(kLabels + "P,Q,M,L,U,公差規格,3,1,0\r\n\r\nﾛｯﾄ№,N1\r\nK1," + body + "\r\nK9,9\r\n");
    }
    return files;
}

TEST_F(OfficeTest, CsvReaderReadsWhatTheOfficeImports)
{
    ASSERT_NE(app_, nullptr) << "the office did not start";
    TempDir dir;
    int i = 0;
    for (const std::string& bytes : TrickyFiles()) {
        const std::string path = dir.file("t" + std::to_string(i++) + ".csv");
        WriteFile(path, bytes);
        const ImportResult r = ImportWorkbookSheets(*app_, false, path);
        ASSERT_EQ(r.status, ImportResult::Status::Ok) << path << ": " << r.detail;
        ASSERT_EQ(r.sheets.size(), 1u);
        EXPECT_GT(r.sheets[0].lots, 0) << path;
        const SheetRecord mine = SheetFromCsvBytes(bytes);
        EXPECT_EQ(mine, r.sheets[0]) << json(bytes).dump();
        if (!(mine == r.sheets[0])) {
            for (size_t l = 0; l < mine.dataList.size() && l < r.sheets[0].dataList.size(); ++l)
                if (mine.dataList[l] != r.sheets[0].dataList[l])
                    ADD_FAILURE() << "line " << l << ": mine " << json(mine.dataList[l]).dump() << " office "
                                  << json(r.sheets[0].dataList[l]).dump();
        }
    }
}

}  // namespace
}  // namespace trevolo
