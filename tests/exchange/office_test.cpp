// Every call of the spreadsheet engine against a real, headless LibreOffice:
// written, then read back.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "exchange/kept_office.h"
#include "exchange/office.h"
#include "office_support.h"

namespace trevolo {
namespace {

using testing::TempDir;

class OfficeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app_ = SpreadsheetApp::create(OfficeUse::Exchange).release();
        ASSERT_NE(app_, nullptr) << "LibreOffice did not start";
    }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(app_, nullptr); }

    static SpreadsheetApp* app_;
    TempDir dir_;
};

SpreadsheetApp* OfficeTest::app_ = nullptr;

TEST_F(OfficeTest, NewWorkbookHasTheRequestedWorksheetsAndTheirNames)
{
    for (int n : {1, 3, 7}) {
        app_->setSheetsInNewWorkbook(n);
        OfficeWorkbook book = app_->addWorkbook();
        EXPECT_EQ(book.worksheetCount(), n);
        for (int i = 1; i <= n; ++i)
            EXPECT_EQ(book.worksheet(i).name(), "Sheet" + std::to_string(i));
        book.worksheet(n).setName("測定値 シート");
        EXPECT_EQ(book.worksheet(n).name(), "測定値 シート");
        EXPECT_THROW(book.worksheet(n + 1), OfficeError);
        EXPECT_THROW(book.worksheet(0), OfficeError);
        book.close();
        EXPECT_FALSE(book.isOpen());
        EXPECT_THROW(book.worksheetCount(), OfficeError);
    }
}

TEST_F(OfficeTest, SingleCellValuesReadBackAsWritten)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    Worksheet ws = book.worksheet(1);
    const struct {
        const char* cell;
        CellValue value;
    } cases[] = {
        {"A1", 1.5},
        {"B2", -0.001},
        {"C3", 12345678.125},
        {"D4", std::string("007")},  // text stays text
        {"E5", std::string("ロット№1")},
        {"F6", std::string("a, \"b\"")},
        {"$G$7", std::string("")},
        {"xfd1", std::string("last column")},
    };
    for (const auto& c : cases) {
        ws.range(c.cell).setValue(c.value);
        EXPECT_EQ(ws.range(c.cell).value(), c.value) << c.cell;
    }
    // Writing an empty text clears a cell.
    ws.range("A1").setValue(std::string());
    EXPECT_EQ(ws.range("A1").value(), CellValue(std::string()));
    book.close();
}

TEST_F(OfficeTest, BlocksAreWrittenAndReadInOneCall)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    Worksheet ws = book.worksheet(1);
    CellBlock block(1000, 11);
    for (int r = 0; r < block.rows; ++r) {
        block.at(r, 0) = "K" + std::to_string(r + 1);
        for (int c = 1; c < block.cols; ++c)
            block.at(r, c) = (r + c) % 7 == 0 ? CellValue(std::string()) : CellValue(r * 0.5 + c);
    }
    Range area = ws.range("A5", "K1004");
    EXPECT_EQ(area.rows(), 1000);
    EXPECT_EQ(area.cols(), 11);
    area.setValues(block);
    EXPECT_EQ(ws.range("A5:K1004").values(), block);

    // A larger read gives empty texts beyond what was written.
    CellBlock wider = ws.range("A5", "L6").values();
    ASSERT_EQ(wider.rows, 2);
    ASSERT_EQ(wider.cols, 12);
    EXPECT_EQ(wider.at(0, 0), CellValue(std::string("K1")));
    EXPECT_EQ(wider.at(1, 11), CellValue(std::string()));

    // One value into every cell of a range.
    ws.range("M1", "N2").setValue(2.0);
    CellBlock filled = ws.range("M1", "N2").values();
    for (const auto& v : filled.cells)
        EXPECT_EQ(v, CellValue(2.0));

    // The used area ends at the last cell ever written.
    EXPECT_EQ(ws.usedEnd(), (WorksheetPos{1004, 14}));
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook empty = app_->addWorkbook();
    EXPECT_EQ(empty.worksheet(1).usedEnd(), (WorksheetPos{1, 1}));
    empty.close();

    // A block must fit its range.
    EXPECT_THROW(ws.range("A1", "B2").setValues(CellBlock(3, 2)), OfficeError);
    book.close();
}

TEST_F(OfficeTest, RangesAcceptCornersInAnyOrderAndRefuseBadReferences)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    Worksheet ws = book.worksheet(1);
    const struct {
        const char* a;
        const char* b;
        const char* address;
    } cases[] = {
        {"A4", "$K$24", "$A$4:$K$24"},           {"C3", "A1", "$A$1:$C$3"}, {"B5", nullptr, "$B$5"},
        {"A5:CW1004", nullptr, "$A$5:$CW$1004"}, {"h2", "i2", "$H$2:$I$2"},
    };
    for (const auto& c : cases) {
        Range r = c.b ? ws.range(c.a, c.b) : ws.range(c.a);
        EXPECT_EQ(r.address(), c.address) << c.a;
    }
    for (const char* bad : {"", "A", "5", "A0", "R1C1", "A1:", "A 1", "XFE1"})
        EXPECT_THROW(ws.range(bad), OfficeError) << bad;
    book.close();
}

TEST_F(OfficeTest, NumberFormatsInLocalSyntax)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    Worksheet ws = book.worksheet(1);
    for (const char* format : {"0_ ", "0.000_ ", "0.00000_ ", "0.000"}) {
        Range r = ws.range("B5", "C6");
        r.setValue(1.25);
        r.setNumberFormatLocal(format);
        EXPECT_EQ(ws.range("C6").numberFormatLocal(), format);
    }
    book.close();
}

TEST_F(OfficeTest, DeleteShiftsTheCellsBelowUp)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    Worksheet ws = book.worksheet(1);
    CellBlock column(6, 2);
    for (int r = 0; r < 6; ++r) {
        column.at(r, 0) = double(r + 1);
        column.at(r, 1) = "x" + std::to_string(r + 1);
    }
    ws.range("A1", "B6").setValues(column);
    ws.range("A2", "A3").deleteShiftUp();
    CellBlock after = ws.range("A1", "B6").values();
    const double expectA[] = {1, 4, 5, 6};
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(after.at(r, 0), CellValue(expectA[r])) << r;
    EXPECT_EQ(after.at(4, 0), CellValue(std::string()));
    // Column B is untouched.
    EXPECT_EQ(after.at(1, 1), CellValue(std::string("x2")));
    book.close();
}

TEST_F(OfficeTest, SaveAsEachFormatAndOpenAgain)
{
    for (const char* name : {"book.xls", "book.xlsx", "book.ods", "名前 付き #1.xlsx"}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.file(name);
        app_->setSheetsInNewWorkbook(2);
        OfficeWorkbook book = app_->addWorkbook();
        book.worksheet(2).setName("第二");
        CellBlock b(2, 2);
        b.at(0, 0) = std::string("品種名称");
        b.at(0, 1) = 10.5;
        b.at(1, 0) = std::string("007");
        b.at(1, 1) = std::string();
        book.worksheet(2).range("A1", "B2").setValues(b);
        book.worksheet(2).range("B1").setNumberFormatLocal("0.000_ ");
        book.saveAs(path);
        // Save writes to the file the workbook now belongs to.
        book.worksheet(1).range("C3").setValue(3.0);
        book.save();
        book.close();
        // Closing the workbook removes the office's lock file beside it.
        for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
            EXPECT_FALSE(e.path().filename().string().starts_with(".~lock")) << e.path();

        OfficeWorkbook again = app_->openWorkbook(path, true);
        ASSERT_EQ(again.worksheetCount(), 2);
        EXPECT_EQ(again.worksheet(2).name(), "第二");
        EXPECT_EQ(again.worksheet(2).range("A1", "B2").values(), b);
        // OpenDocument has no padding to a character's width; it keeps a blank.
        const bool ods = std::string(name).ends_with(".ods");
        EXPECT_EQ(again.worksheet(2).range("B1").numberFormatLocal(), ods ? "0.000\" \"" : "0.000_ ");
        EXPECT_EQ(again.worksheet(1).range("C3").value(), CellValue(3.0));
        again.close();
    }
}

TEST_F(OfficeTest, SaveWithoutAFileAndSaveIntoAMissingFolderFail)
{
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    EXPECT_THROW(book.save(), OfficeError);
    EXPECT_THROW(book.saveAs(dir_.file("no such folder/book.xlsx")), OfficeError);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("no such folder")));
    book.close();
}

TEST_F(OfficeTest, OpeningWhatIsNoWorkbookFails)
{
    EXPECT_THROW(app_->openWorkbook(dir_.file("missing.xlsx")), OfficeError);
    EXPECT_THROW(app_->openWorkbook(dir_.path().string()), OfficeError);
    // A document the office opens in its word processor is no workbook.
    testing::WriteFile(dir_.file("letter.rtf"), "{\\rtf1\\ansi Hello}");
    EXPECT_THROW(app_->openWorkbook(dir_.file("letter.rtf")), OfficeError);
}

TEST_F(OfficeTest, ChartsAreFoundByNameOrByTheirOrderWhereTheNameIsGone)
{
    constexpr double kWidth = 1280;
    for (const char* name : {"charts.xlsx", "charts.xls"}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.file(name);
        app_->setSheetsInNewWorkbook(2);
        OfficeWorkbook book = app_->addWorkbook();
        Worksheet data = book.worksheet(2);
        CellBlock values(10, 2);
        for (int r = 0; r < 10; ++r) {
            values.at(r, 0) = double(r);
            values.at(r, 1) = double(r * r);
        }
        data.range("A1", "B10").setValues(values);
        data.addChart("グラフ 1", "A1", "A10");
        data.addChart("グラフ 5", "B1", "B10");
        ASSERT_EQ(data.chartObjectCount(), 2);
        data.setChartObjectWidth("グラフ 5", 400, 2);
        EXPECT_NEAR(data.chartObjectWidth("グラフ 5"), 400, 0.1);
        EXPECT_THROW(data.setChartObjectWidth("グラフ 9", 400), OfficeError);
        book.saveAs(path);
        book.close();

        OfficeWorkbook again = app_->openWorkbook(path);
        Worksheet sheet = again.worksheet(2);
        ASSERT_EQ(sheet.chartObjectCount(), 2);
        sheet.setChartObjectWidth("グラフ 1", kWidth, 1);
        sheet.setChartObjectWidth("グラフ 5", kWidth, 2);
        EXPECT_NEAR(sheet.chartObjectWidth("グラフ 1", 1), kWidth, 0.1);
        EXPECT_NEAR(sheet.chartObjectWidth("グラフ 5", 2), kWidth, 0.1);
        if (std::string(name).ends_with(".xlsx")) {
            // The names survive: a wrong order does not matter.
            sheet.setChartObjectWidth("グラフ 5", 600, 1);
            EXPECT_NEAR(sheet.chartObjectWidth("", 2), 600, 0.1);
            EXPECT_NEAR(sheet.chartObjectWidth("", 1), kWidth, 0.1);
        } else {
            // The legacy format keeps no names: without an order there is no chart.
            EXPECT_THROW(sheet.chartObjectWidth("グラフ 5"), OfficeError);
        }
        again.close();
    }
}

TEST_F(OfficeTest, AHeadlessInstanceShowsNothing)
{
    EXPECT_FALSE(app_->canShow());
    EXPECT_FALSE(app_->leaveOpenForUser());
    app_->setSheetsInNewWorkbook(1);
    OfficeWorkbook book = app_->addWorkbook();
    EXPECT_FALSE(book.show());
    book.close();
}

// Separate instances: release and quit end the office, also with unsaved work.
TEST(OfficeLifetime, ReleaseAndQuitEndTheOffice)
{
    for (bool viaQuit : {false, true}) {
        auto app = SpreadsheetApp::create(OfficeUse::Exchange);
        ASSERT_NE(app, nullptr);
        const int pid = app->processId();
        EXPECT_TRUE(testing::ProcessAlive(pid));
        OfficeWorkbook book = app->addWorkbook();
        book.worksheet(1).range("A1").setValue(1.0);  // modified, never saved
        if (viaQuit) {
            app->quit();
            EXPECT_TRUE(testing::WaitGone(pid, 15000));
            EXPECT_THROW(book.worksheetCount(), OfficeError);
        }
        app.reset();
        EXPECT_TRUE(testing::WaitGone(pid, 15000));
    }
}

// The kept office: the next command reuses it; one killed or hung between
// commands is replaced; it ends after its idle time, when it holds too much
// memory and when ended.
TEST(OfficeLifetime, AKeptOfficeServesTheNextCommandOrIsReplaced)
{
    const struct {
        const char* between;
        int signal;
        bool reused;
    } cases[] = {{"nothing", 0, true}, {"killed", SIGKILL, false}, {"hung", SIGSTOP, false}};
    KeptOffice office(std::chrono::minutes(10), std::chrono::seconds(2));
    auto command = [&office] {
        KeptOffice::Use app = office.use();
        EXPECT_TRUE(app);
        if (!app)
            return 0;
        EXPECT_EQ(app->addWorkbook().worksheetCount(), 1);
        return app->processId();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.between);
        const int first = command();
        ASSERT_GT(first, 0);
        if (c.signal != 0) {
            ASSERT_EQ(kill(first, c.signal), 0);
        }
        const int second = command();
        EXPECT_EQ(second == first, c.reused);
        EXPECT_EQ(office.processId(), second);
        if (!c.reused) {
            EXPECT_TRUE(testing::WaitGone(first, 5000));
        }
    }

    // Ended after its idle time, or at once when it holds more memory than
    // the limit.
    for (const auto& [idleTime, memoryLimitKiB] : {std::pair(std::chrono::milliseconds(300), 1024L * 1024),
                                                   std::pair(std::chrono::milliseconds(600000), 1024L)}) {
        KeptOffice ending(idleTime, std::chrono::seconds(10), memoryLimitKiB);
        int pid = 0;
        {
            KeptOffice::Use app = ending.use();
            ASSERT_TRUE(app);
            pid = app->processId();
        }
        EXPECT_TRUE(testing::WaitGone(pid, 15000)) << memoryLimitKiB;
        EXPECT_EQ(ending.processId(), 0);
    }

    const int last = office.processId();
    office.end();
    EXPECT_TRUE(testing::WaitGone(last, 15000));
}

TEST(OfficeLifetime, TwoInstancesNeverShareAnOffice)
{
    auto a = SpreadsheetApp::create();
    auto b = SpreadsheetApp::create();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->processId(), b->processId());
    OfficeWorkbook wa = a->addWorkbook();
    wa.worksheet(1).setName("only in a");
    b.reset();
    EXPECT_EQ(wa.worksheet(1).name(), "only in a");
}

TEST(OfficeLifetime, AMissingOfficeGivesNoApplication)
{
    TempDir dir;
    const std::string usual = OfficeProgramDir();
    // A folder without an office, and one whose office exits at once.
    const std::string fake = dir.file("fake");
    std::filesystem::create_directories(fake);
    testing::WriteFile(fake + "/soffice.bin", "#!/bin/sh\nexit 1\n");
    std::filesystem::permissions(fake + "/soffice.bin", std::filesystem::perms::owner_all);
    testing::WriteFile(fake + "/fundamentalrc", "[Bootstrap]\n");
    for (const std::string& where : {dir.file("no office here"), fake}) {
        SetOfficeProgramDir(where);
        EXPECT_EQ(OfficeProgramDir(), where);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SpreadsheetApp::create(), nullptr) << where;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
    SetOfficeProgramDir("");
    EXPECT_EQ(OfficeProgramDir(), usual);
    // The refusals left nothing behind that spoils the real office.
    auto real = SpreadsheetApp::create();
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(real->addWorkbook().worksheetCount(), 1);
}

}  // namespace
}  // namespace trevolo
