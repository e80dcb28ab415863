// Reading a file of the exchange layout whole and strictly: what the export
// writes is taken back lot for lot, and a file that leaves the layout is
// refused at the row and column where it does.
#include <gtest/gtest.h>

#include "exchange/csv.h"
#include "exchange/layout_reader.h"

namespace trevolo {
namespace {

constexpr const char* kHead =
    "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
    "製品A,工程1,装置X,外径,mm,公差規格,3,10.500,9.500\r\n"
    "\r\n"
    "ﾛｯﾄ№,N1,N2,N3\r\n";

TEST(LayoutReader, TakesTheExportBackWholeAndRefusesWhatLeavesTheLayout)
{
    // What the export writes comes back as it was written.
    SheetRecord sheet0;
    sheet0.product = "製品,B";  // quoted in the file
    sheet0.specKindText = "上限規格";
    sheet0.decimals = "2";
    sheet0.n = 2;
    sheet0.hasLists = true;
    sheet0.dataList = {"L1,1.50,2.00", "L2,,3.25"};
    sheet0.checkList = {"1", "1"};
    LayoutSheet sheet;
    LayoutFault fault;
    ASSERT_TRUE(ReadLayoutRows(ParseCsvText(DecodeCsvBytes(SheetCsvBytes(sheet0))), sheet, fault)) << fault.reason;
    EXPECT_EQ(sheet.header[0], "製品,B");
    ASSERT_EQ(sheet.lots.size(), 2u);
    EXPECT_EQ(sheet.lots[1].line, 6);
    EXPECT_EQ(sheet.lots[1].values, (std::vector<std::string>{"", "3.25"}));

    struct Case {
        std::string text;
        int line, column;
        const char* says;
    };
    const std::string head = kHead;
    const std::vector<Case> cases = {
        {"", 1, 0, "空"},
        {"品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数桁数,上限規格,下限規格\r\n", 1, 0, "見出し行"},
        {head.substr(0, head.find("\r\n") + 2), 2, 0, "見出しの値"},
        {"品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
         "a,b,c,d,mm,公差,3,1,0\r\n",
         2, 6, "規格種別"},
        {"品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
         "a,b,c,d,mm,公差規格,6,1,0\r\n",
         2, 7, "小数点桁"},
        {"品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
         "a,b,c,d,mm,公差規格,3,1,x\r\n",
         2, 9, "'x' は浮動小数点数ではありません"},
        {"品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
         "a,b,c,d,mm,公差規格,3,1,0,9\r\n",
         2, 10, "9個"},
        {head.substr(0, head.find("\r\n\r\n") + 2) + "x\r\n", 3, 1, "空の行"},
        {head.substr(0, head.find("ﾛｯﾄ")) + "Lot,N1\r\n", 4, 0, "ロットの見出し行"},
        {head.substr(0, head.find("ﾛｯﾄ")) + "ﾛｯﾄ№,N1,N3\r\n", 4, 3, "番号順"},
        {head + "K1,1,2,3\r\nK2,1,2.5.1,3\r\nK3,1,2,3\r\n", 6, 3, "'2.5.1' は浮動小数点数ではありません"},
        {head + "K1,1,2,3,4\r\n", 5, 5, "N1〜N3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        EXPECT_FALSE(ReadLayoutRows(ParseCsvText(DecodeCsvBytes(c.text)), sheet, fault));
        EXPECT_EQ(fault.line, c.line);
        EXPECT_EQ(fault.column, c.column);
        EXPECT_NE(fault.reason.find(c.says), std::string::npos) << fault.reason;
    }

    // Blank padding, empty values and blank rows are not faults.
    ASSERT_TRUE(ReadLayoutRows(ParseCsvText(head + "K1,1,,3,,,\r\n,,,\r\n,2\r\n"), sheet, fault)) << fault.reason;
    ASSERT_EQ(sheet.lots.size(), 2u);
    EXPECT_EQ(sheet.lots[1].line, 7);
}

}  // namespace
}  // namespace trevolo
