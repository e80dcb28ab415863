// What the reports write, without an office: template and copy names, the
// chart width, the chart columns and the histogram block.
#include <gtest/gtest.h>

#include <set>

#include "exchange/report_layout.h"
#include "model/comtype.h"
#include "model/number.h"

namespace trevolo {
namespace {

std::tm At(int y, int mo, int d, int h, int mi, int s)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

TEST(ReportNames, CopiesAreNamedAfterTheirTime)
{
    const struct {
        std::tm time;
        const char* name;
        const char* copy;
    } cases[] = {
        {At(2024, 3, 15, 14, 25, 30), "XbarR.xls", "20240315_142530_XbarR.xls"},
        {At(2024, 1, 2, 3, 4, 5), "Histogram.xls", "20240102_030405_Histogram.xls"},
        {At(1999, 12, 31, 23, 59, 59), "X-Rs.xls", "19991231_235959_X-Rs.xls"},
        {At(2030, 10, 1, 0, 0, 0), "Result.xls", "20301001_000000_Result.xls"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportCopyName(c.time, c.name), c.copy);
}

TEST(ReportNames, ATakenNameGetsACounterBeforeItsExtension)
{
    const std::filesystem::path dir = "Save Files";
    const struct {
        std::set<std::string> taken;
        const char* name;
        const char* chosen;
    } cases[] = {
        {{}, "20240315_142530_XbarR.xls", "20240315_142530_XbarR.xls"},
        {{"20240315_142530_XbarR.xls"}, "20240315_142530_XbarR.xls", "20240315_142530_XbarR(2).xls"},
        {{"20240315_142530_XbarR.xls", "20240315_142530_XbarR(2).xls"},
         "20240315_142530_XbarR.xls",
         "20240315_142530_XbarR(3).xls"},
        // Another kind in the same second is a name of its own.
        {{"20240315_142530_XbarR.xls"}, "20240315_142530_XbarS.xls", "20240315_142530_XbarS.xls"},
        {{"20240315_142530_X-Rs.xls"}, "20240315_142530_X-Rs.xls", "20240315_142530_X-Rs(2).xls"},
    };
    for (const auto& c : cases) {
        auto taken = [&](const std::filesystem::path& p) {
            EXPECT_EQ(p.parent_path(), dir);
            return c.taken.count(p.filename().string()) > 0;
        };
        EXPECT_EQ(FreeReportPath(dir, c.name, taken), dir / c.chosen) << c.name;
    }
}

TEST(ControlChartLayout, WidthFollowsTheLotCountSetting)
{
    const struct {
        int lots;
        double width;
    } cases[] = {{10, 1280}, {20, 1280}, {99, 1280}, {100, 1280}, {101, 1292.8}, {250, 3200}, {1000, 12800}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ControlChartWidth(c.lots), c.width) << c.lots;
}

TEST(ControlChartLayout, ColumnsAndLineValues)
{
    ControlChartData d;
    d.labels = {"K0001", "007", "K0003"};
    d.means = {"10.00000", "9.98000", ""};
    const CellBlock labels = ChartLabelColumn(d);
    ASSERT_EQ(labels.rows, 3);
    EXPECT_EQ(labels.at(1, 0), CellValue(std::string("007")));  // a label stays text
    const CellBlock means = ChartNumberColumn(d.means);
    EXPECT_EQ(means.at(0, 0), CellValue(10.0));
    EXPECT_EQ(means.at(1, 0), CellValue(9.98));
    EXPECT_EQ(means.at(2, 0), CellValue(std::string()));

    for (size_t i = 0; i < 7; ++i)
        d.xLines[i] = {"x", std::to_string(10 + i)};
    d.spreadLines = {ChartLine{"平均値", "0.5"}, ChartLine{"＋３σ", "1.25"}};
    const std::array<double, 9> v = ChartLineValues(d);
    EXPECT_EQ(v[0], 10);
    EXPECT_EQ(v[6], 16);
    EXPECT_EQ(v[7], 0.5);
    EXPECT_EQ(v[8], 1.25);

    // An empty or non-numeric limit field stops with the conversion message.
    for (const char* bad : {"", "abc", "1.2.3"}) {
        ControlChartData e = d;
        e.spreadLines[1].value = bad;
        try {
            ChartLineValues(e);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const ConvertError& err) {
            EXPECT_EQ(std::string(err.what()), "'" + std::string(bad) + "' は浮動小数点数ではありません");
        }
    }
}

TEST(HistogramLayout, EnabledLotsArePackedFromTheFirstRow)
{
    // 30 lot rows of 3 values; lots 2 and 5 (1-based) disabled; lot 4 has an
    // empty cell in the middle.
    HistogramData d;
    d.lots = 30;
    d.n = 3;
    d.enabled = [](int lot) { return lot != 1 && lot != 4; };
    d.value = [](int lot, int col) {
        if (lot == 3 && col == 1)
            return std::string();
        return std::to_string(lot + 1) + "." + std::to_string(col);
    };
    const CellBlock b = HistogramBlock(d);
    ASSERT_EQ(b.rows, 30);
    ASSERT_EQ(b.cols, 3);
    const int expectLots[] = {1, 3, 4, 6, 7};
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(b.at(r, 0), CellValue(expectLots[r] + 0.0)) << r;
    EXPECT_EQ(b.at(2, 1), CellValue(std::string()));  // lot 4's empty cell stays empty
    EXPECT_EQ(b.at(2, 2), CellValue(4.2));
    EXPECT_EQ(b.at(27, 2), CellValue(30.2));  // the last lot in row 28
    for (int r : {28, 29})
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(b.at(r, c), CellValue(std::string())) << r << "," << c;

    // Nothing enabled: a block of empty cells, which clears the area.
    d.enabled = [](int) { return false; };
    const CellBlock none = HistogramBlock(d);
    EXPECT_EQ(none, CellBlock(30, 3));

    const struct {
        int in, out;
    } classes[] = {{0, 5}, {4, 5}, {5, 5}, {7, 7}, {10, 10}, {11, 10}};
    for (const auto& c : classes)
        EXPECT_EQ(HistogramClasses(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace trevolo
