// How office instances end: an exchange instance ends with its command and
// with this program; a report instance is shown on a display and left open
// for the user, also after this program ends, unless its command failed.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <thread>

#include "exchange/office.h"
#include "office_support.h"
#include "report_support.h"

extern char** environ;

namespace trevolo {
namespace {

using testing::TempDir;

using testing::DisplayEnv;
using testing::EndOffice;
using testing::ShownWindows;
using testing::VirtualDisplay;

TEST(ReportOffice, IsShownAndLeftOpenForTheUser)
{
    VirtualDisplay display;
    if (!display.ok())
        GTEST_SKIP() << "no virtual display (Xvfb) available";
    DisplayEnv env(display.name());
    ASSERT_TRUE(DisplayAvailable());

    auto app = SpreadsheetApp::create(OfficeUse::Report);
    ASSERT_NE(app, nullptr);
    const int pid = app->processId();
    EXPECT_TRUE(app->canShow());
    OfficeWorkbook book = app->addWorkbook();
    book.worksheet(1).range("A1").setValue(std::string("判定結果"));
    EXPECT_TRUE(book.show());
    const std::string windows = ShownWindows(display.name());
    if (!windows.empty()) {
        EXPECT_NE(windows.find("LibreOffice"), std::string::npos) << windows;
    }
    EXPECT_TRUE(app->leaveOpenForUser());
    app.reset();

    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(testing::ProcessAlive(pid));
    // The workbook is still there for the user.
    if (!windows.empty()) {
        EXPECT_NE(ShownWindows(display.name()).find("LibreOffice"), std::string::npos);
    }
    EndOffice(pid);
}

TEST(ReportOffice, AFailedReportDoesNotOutliveItsCommand)
{
    VirtualDisplay display;
    if (!display.ok())
        GTEST_SKIP() << "no virtual display (Xvfb) available";
    DisplayEnv env(display.name());
    int pid = -1;
    try {
        auto app = SpreadsheetApp::create(OfficeUse::Report);
        ASSERT_NE(app, nullptr);
        pid = app->processId();
        OfficeWorkbook book = app->addWorkbook();
        book.worksheet(1).range("A1").setValue(1.0);
        book.worksheet(5);  // throws: the command fails before handing over
        app->leaveOpenForUser();
    } catch (const OfficeError&) {
    }
    EXPECT_TRUE(testing::WaitGone(pid, 15000));
    EndOffice(pid);
}

TEST(ReportOffice, WithoutADisplayNothingIsLeftOpen)
{
    DisplayEnv env("");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    auto app = SpreadsheetApp::create(OfficeUse::Report);
    ASSERT_NE(app, nullptr);
    const int pid = app->processId();
    EXPECT_FALSE(app->canShow());
    EXPECT_FALSE(app->leaveOpenForUser());
    app.reset();
    EXPECT_TRUE(testing::WaitGone(pid, 15000));
}

// ---- what happens when this program ends ----
//
// The test runs this test program again as a helper that starts an office,
// records its process and ends; the helper runs only when asked to.

constexpr const char* kHelperEnv = "TREVOLO_OFFICE_HELPER";
constexpr const char* kHelperOut = "TREVOLO_OFFICE_HELPER_OUT";

TEST(OfficeHelper, StartsAnOfficeAndEnds)
{
    const char* mode = std::getenv(kHelperEnv);
    const char* out = std::getenv(kHelperOut);
    if (!mode || !out)
        GTEST_SKIP() << "runs only as a helper of the tests below";
    const bool report = std::string(mode) == "report";
    auto app = SpreadsheetApp::create(report ? OfficeUse::Report : OfficeUse::Exchange);
    if (!app)
        _exit(2);
    OfficeWorkbook book = app->addWorkbook();
    book.worksheet(1).range("A1").setValue(1.0);
    testing::WriteFile(out, std::to_string(app->processId()));
    if (report) {
        book.show();
        app->leaveOpenForUser();
        app.reset();
        _exit(0);
    }
    // An exchange command that never ends: the program dies in the middle.
    _exit(0);
}

int RunHelper(const std::string& mode, const std::string& out)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::string> envs;
    for (char** e = environ; *e; ++e)
        envs.emplace_back(*e);
    envs.push_back(std::string(kHelperEnv) + "=" + mode);
    envs.push_back(std::string(kHelperOut) + "=" + out);
    std::vector<char*> envp;
    for (auto& e : envs)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=OfficeHelper.StartsAnOfficeAndEnds";
    char* argv[] = {const_cast<char*>(self.c_str()), filter.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string text = testing::ReadFile(out);
    return text.empty() ? -1 : std::stoi(text);
}

TEST(OfficeLifetime, AnExchangeOfficeEndsWithItsProgram)
{
    TempDir dir;
    const int office = RunHelper("exchange", dir.file("pid"));
    ASSERT_GT(office, 0);
    EXPECT_TRUE(testing::WaitGone(office, 15000));
    EndOffice(office);
}

TEST(OfficeLifetime, AReportLeftOpenOutlivesItsProgram)
{
    VirtualDisplay display;
    if (!display.ok())
        GTEST_SKIP() << "no virtual display (Xvfb) available";
    DisplayEnv env(display.name());
    TempDir dir;
    const int office = RunHelper("report", dir.file("pid"));
    ASSERT_GT(office, 0);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(testing::ProcessAlive(office));
    EndOffice(office);
}

}  // namespace
}  // namespace trevolo
