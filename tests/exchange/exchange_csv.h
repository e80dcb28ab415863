#pragma once
// Files of the exchange layout written by the tests, and the spreadsheet
// engine a suite of them shares.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/office.h"

namespace trevolo::testing {

// A CSV file of the exchange layout (UTF-8, CR LF): the nine header texts
// and one line per lot.
inline std::string ExchangeCsv(const std::vector<std::string>& header, const std::vector<std::string>& lots, int n)
{
    std::string s = "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n";
    for (size_t i = 0; i < header.size(); ++i)
        s += (i ? "," : "") + header[i];
    s += "\r\n\r\nﾛｯﾄ№";
    for (int c = 1; c <= n; ++c)
        s += ",N" + std::to_string(c);
    s += "\r\n";
    for (const std::string& l : lots)
        s += l + "\r\n";
    return s;
}

// A suite that reads and writes through one spreadsheet engine, started
// before its first test and ended after its last.
class SharedOfficeSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app_ = SpreadsheetApp::create(OfficeUse::Exchange).release(); }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    inline static SpreadsheetApp* app_ = nullptr;
};

}  // namespace trevolo::testing
