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

extern char** environ;

namespace trevolo {
namespace {

using testing::TempDir;

// A program found on the search path, or an empty text.
std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// A virtual X display for the duration of a test.
class VirtualDisplay {
public:
    VirtualDisplay()
    {
        int fds[2];
        const std::string xvfb = FindProgram("Xvfb");
        if (xvfb.empty() || pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            dup2(fds[1], 3);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(xvfb.c_str(), "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buf[32] = {};
        ssize_t n = 0, got = 0;
        while (got < static_cast<ssize_t>(sizeof buf) - 1 && (n = read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) {
            got += n;
            if (buf[got - 1] == '\n')
                break;
        }
        close(fds[0]);
        if (got > 0)
            display_ = ":" + std::string(buf, static_cast<size_t>(got - (buf[got - 1] == '\n' ? 1 : 0)));
    }
    ~VirtualDisplay()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ok() const { return !display_.empty(); }
    const std::string& name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Sets DISPLAY for one test and restores it afterwards.
class DisplayEnv {
public:
    explicit DisplayEnv(const std::string& display)
    {
        if (const char* d = std::getenv("DISPLAY"))
            old_ = d;
        setenv("DISPLAY", display.c_str(), 1);
    }
    ~DisplayEnv()
    {
        if (old_.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", old_.c_str(), 1);
    }

private:
    std::string old_;
};

// Ends a process this test started, if it still runs.
void EndOffice(int pid)
{
    if (pid > 0 && testing::ProcessAlive(pid)) {
        kill(pid, SIGKILL);
        testing::WaitGone(pid, 5000);
    }
}

// The titles of the windows shown on a display (xwininfo, when installed).
std::string ShownWindows(const std::string& display)
{
    const std::string xwininfo = FindProgram("xwininfo");
    if (xwininfo.empty())
        return "?";
    std::string out;
    const std::string cmd = "DISPLAY=" + display + " " + xwininfo + " -root -tree 2>/dev/null";
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[1024];
        while (fgets(line, sizeof line, p))
            out += line;
        pclose(p);
    }
    return out;
}

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
    Workbook book = app->addWorkbook();
    book.worksheet(1).range("A1").setValue(std::string("判定結果"));
    EXPECT_TRUE(book.show());
    const std::string windows = ShownWindows(display.name());
    if (windows != "?") {
        EXPECT_NE(windows.find("LibreOffice"), std::string::npos) << windows;
    }
    EXPECT_TRUE(app->leaveOpenForUser());
    app.reset();

    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(testing::ProcessAlive(pid));
    // The workbook is still there for the user.
    if (windows != "?") {
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
        Workbook book = app->addWorkbook();
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
    Workbook book = app->addWorkbook();
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
