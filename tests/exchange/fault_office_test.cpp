// The office process killed in the middle of a workbook import and of a
// workbook export driven through the main window, offscreen: the sheets and
// tabs stay as they were, a message is shown, nothing is reported as saved
// and no office is left running. Then every other error on the way in and out
// of the office, the reports and the CSV files, each of which must reach the
// user as a Japanese sentence of the program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QProgressBar>
#include <QLineEdit>
#include <QSettings>
#include <QTabBar>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <thread>

#include "app/mainform.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/messages.h"
#include "exchange/office.h"
#include "exchange/reports.h"
#include "office_support.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace trevolo {
namespace {

namespace fs = std::filesystem;
using testing::ProcessAlive;
using testing::ReadFile;
using testing::TempDir;
using testing::WaitGone;
using testing::WriteFile;

// The office processes this program started and that still run.
std::vector<int> OfficeChildren()
{
    std::vector<int> pids;
    const std::string self = std::to_string(getpid());
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = testing::ReadProcFile((e.path() / "stat").string());
        const size_t open = stat.find('(');
        const size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size())
            continue;
        const std::string comm = stat.substr(open + 1, close - open - 1);
        const char state = stat[close + 2];
        const std::string rest = stat.substr(close + 4);
        const std::string ppid = rest.substr(0, rest.find(' '));
        if (ppid == self && comm.rfind("soffice", 0) == 0 && state != 'Z')
            pids.push_back(std::stoi(name));
    }
    return pids;
}

// True when the process has a file of the folder open.
bool HasOpenIn(int pid, const fs::path& folder)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code lec;
        if (fs::read_symlink(e.path(), lec).parent_path() == folder)
            return true;
    }
    return false;
}

// True when the process has the file open.
bool HasOpen(int pid, const fs::path& file)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        std::error_code lec;
        if (fs::read_symlink(e.path(), lec) == file)
            return true;
    }
    return false;
}

// True when a thread of this program is inside a send on a socket: the
// bridge's writer pushing a block into the office's pipe.
bool SendingToAPipe()
{
    std::error_code ec;
    for (const auto& t : fs::directory_iterator("/proc/self/task", ec)) {
        // A thread may end between the listing and the read.
        char buf[256] = {};
        const int fd = open((t.path() / "syscall").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t n = read(fd, buf, sizeof buf - 1);
        close(fd);
        const std::string call(buf, n > 0 ? static_cast<size_t>(n) : 0);
        if (call.empty() || call.rfind("running", 0) == 0)
            continue;
        const long nr = std::strtol(call.c_str(), nullptr, 10);
        if (nr != SYS_sendto && nr != SYS_sendmsg && nr != SYS_write)
            continue;
        const long target = std::strtol(call.c_str() + call.find(' '), nullptr, 16);
        std::error_code lec;
        if (fs::read_symlink("/proc/self/fd/" + std::to_string(target), lec).string().rfind("socket:", 0) == 0)
            return true;
    }
    return false;
}

class OfficeKillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<QSettings>(ToQString(dir.file("trevolo.conf")), QSettings::IniFormat);
        guard = std::make_unique<ScopedPrompts>(prompts);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::processEvents();
        prompts.shown.clear();
        ASSERT_TRUE(OfficeChildren().empty());
    }
    void TearDown() override
    {
        form.reset();
        guard.reset();
    }

    void selectTab(int i)
    {
        Ctl<QTabBar>(form, "tabCtrl")->setCurrentIndex(i);
        QApplication::processEvents();
    }

    // A few sheets with header texts and values typed into the window.
    void fill(int sheets)
    {
        TMainForm& f = *form;
        auto* editProduct = Ctl<TEdit>(f, "editProduct");
        auto* editLabel = Ctl<TEdit>(f, "editLabel");
        auto* spinCol = Ctl<TSpinEdit>(f, "spinCol");
        auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
        Ctl<TSpinEdit>(f, "spinTab")->setValue(sheets);
        for (int i = 0; i < sheets; ++i) {
            selectTab(i);
            editProduct->setText(ToQString("製品" + std::to_string(i + 1)));
            editLabel->setText(ToQString("項目" + std::to_string(i + 1)));
            spinCol->setValue(3);
            for (int lot = 1; lot <= 10; ++lot)
                for (int c = 0; c < 3; ++c)
                    gridEdit->setCellText(c, lot, QString::number(lot * 10 + c + i) + ".000");
        }
        selectTab(1);
        selectTab(0);
    }

    struct Snapshot {
        std::vector<std::tuple<std::string, std::string, int, int, std::vector<std::string>>> sheets;
        QStringList tabs;
        int selected = -1;
        QString product;
        std::string firstValue;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const
    {
        auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
        Snapshot s;
        for (const SheetRecord& r : form->workbook().sheets)
            s.sheets.emplace_back(r.product, r.label, r.lots, r.n, r.dataList);
        for (int i = 0; i < tabCtrl->count(); ++i)
            s.tabs << tabCtrl->tabText(i);
        s.selected = form->selectedTab();
        s.product = Ctl<TEdit>(form, "editProduct")->text();
        s.firstValue = Ctl<StringGrid>(form, "gridEdit")->cells().text(0, 1);
        return s;
    }

    std::vector<ScriptedPrompts::Shown> boxes() const
    {
        std::vector<ScriptedPrompts::Shown> b;
        for (const auto& s : prompts.shown)
            if (s.kind == ScriptedPrompts::Shown::Message || s.kind == ScriptedPrompts::Shown::Error)
                b.push_back(s);
        return b;
    }

    void expectNoOfficeLeft(int killed)
    {
        EXPECT_TRUE(WaitGone(killed, 5000));
        EXPECT_TRUE(OfficeChildren().empty());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(form->findChild<TSplashForm*>()->isVisible());
    }

    TempDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    std::unique_ptr<ScopedPrompts> guard;
    std::unique_ptr<TMainForm> form;
};

TEST_F(OfficeKillTest, KilledDuringAnImportLeavesSheetsAndTabsAsTheyWere)
{
    // A workbook of many sheets, written through the window.
    fill(60);
    const fs::path book = dir.path() / "大きい.xlsx";
    prompts.files.push_back(ToQString(book.string()));
    Ctl<QAction>(form, "mainMenuXlsSave")->trigger();
    ASSERT_EQ(boxes().size(), 1u);
    ASSERT_EQ(boxes().back().text, QString::fromUtf8(kMsgXlsSaved));
    ASSERT_EQ(OfficeChildren().size(), 1u);  // kept for the next command

    // A different state to be kept.
    TMainForm& f = *form;
    auto* mainMenuXlsImport = Ctl<QAction>(f, "mainMenuXlsImport");
    Ctl<TSpinEdit>(f, "spinTab")->setValue(3);
    selectTab(2);
    Ctl<TEdit>(f, "editProduct")->setText("残る");
    selectTab(1);
    const Snapshot before = snapshot();
    prompts.shown.clear();

    // The office is killed once it has the workbook open.
    std::atomic<bool> done{false};
    std::atomic<int> killed{0};
    std::thread killer([&] {
        while (!done) {
            for (int pid : OfficeChildren())
                if (HasOpen(pid, book)) {
                    kill(pid, SIGKILL);
                    killed = pid;
                    return;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    prompts.files.push_back(ToQString(book.string()));
    mainMenuXlsImport->trigger();
    done = true;
    killer.join();

    ASSERT_NE(killed.load(), 0) << "the import ended before the office was seen with the workbook open";
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QString::fromUtf8(kWarningCaption));
    EXPECT_EQ(shown[0].text, QString::fromUtf8(kMsgOfficeLost));
    EXPECT_TRUE(snapshot() == before);
    expectNoOfficeLeft(killed);

    // The next import works again.
    prompts.shown.clear();
    prompts.files.push_back(ToQString(book.string()));
    mainMenuXlsImport->trigger();
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(Ctl<QTabBar>(f, "tabCtrl")->count(), 60);
    EXPECT_EQ(OfficeChildren().size(), 1u);
    // The window's kept office ends with the window.
    form.reset();
    EXPECT_TRUE(OfficeChildren().empty());
}

TEST_F(OfficeKillTest, KilledDuringAnExportReportsNothingAsSaved)
{
    fill(4);
    const fs::path fresh = dir.path() / "新規.xlsx";
    const fs::path existing = dir.path() / "前回.xlsx";
    WriteFile(existing.string(), "the workbook saved before");

    for (const fs::path& target : {fresh, existing}) {
        SCOPED_TRACE(target.filename().string());
        TMainForm& f = *form;
        selectTab(2);
        const Snapshot before = snapshot();
        const std::string old = fs::exists(target) ? ReadFile(target.string()) : std::string();
        prompts.shown.clear();

        // The export builds every sheet's block in turn; when the second is
        // built the office is killed.
        int killed = 0;
        auto c = QObject::connect(f.findChild<TSplashForm*>()->barProgress, &QProgressBar::valueChanged, [&](int done) {
            if (done != 2 || killed != 0)
                return;
            const auto pids = OfficeChildren();
            ASSERT_EQ(pids.size(), 1u);
            killed = pids[0];
            kill(killed, SIGKILL);
            EXPECT_TRUE(WaitGone(killed, 5000));
        });
        prompts.files.push_back(ToQString(target.string()));
        Ctl<QAction>(f, "mainMenuXlsSave")->trigger();
        QObject::disconnect(c);

        ASSERT_NE(killed, 0);
        const auto shown = boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, QString::fromUtf8(kWarningCaption));
        EXPECT_EQ(shown[0].text, QString::fromUtf8(kMsgOfficeLost));
        // No file written; one saved before stays as it was.
        EXPECT_EQ(fs::exists(target), !old.empty());
        if (!old.empty()) {
            EXPECT_EQ(ReadFile(target.string()), old);
        }
        // Back on the sheet that was shown; the sheets unchanged.
        EXPECT_TRUE(snapshot() == before);
        expectNoOfficeLeft(killed);
    }
}

// Killed while it writes the workbook file: whatever it left is not
// reported as saved; the message names the file.
TEST_F(OfficeKillTest, KilledWhileWritingTheFileReportsTheSaveAsFailed)
{
    fill(30);
    const fs::path folder = dir.path() / "出力";
    fs::create_directories(folder);
    const fs::path target = folder / "書きかけ.xlsx";
    TMainForm& f = *form;
    auto* mainMenuXlsSave = Ctl<QAction>(f, "mainMenuXlsSave");
    const Snapshot before = snapshot();

    std::atomic<bool> done{false};
    std::atomic<int> killed{0};
    std::thread killer([&] {
        while (!done) {
            for (int pid : OfficeChildren())
                if (HasOpenIn(pid, folder)) {
                    kill(pid, SIGKILL);
                    killed = pid;
                    return;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    prompts.files.push_back(ToQString(target.string()));
    mainMenuXlsSave->trigger();
    done = true;
    killer.join();

    ASSERT_NE(killed.load(), 0) << "the office was never seen writing into the folder";
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QString::fromUtf8(kWarningCaption));
    EXPECT_TRUE(shown[0].text.startsWith(QString::fromUtf8(kMsgXlsSaveFailed))) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains(ToQString(target.string()))) << shown[0].text.toStdString();
    EXPECT_TRUE(snapshot() == before);
    expectNoOfficeLeft(killed);

    // The office's lock on the name, left by the killed instance, does not
    // refuse the next save under the same name, nor does a lock cut off while
    // it was written (the office killed in the middle of it); a lock of
    // anyone else does.
    const fs::path lock = folder / ".~lock.書きかけ.xlsx#";
    const fs::path cut = dir.path() / "途中.xlsx";
    const fs::path cutLock = dir.path() / ".~lock.途中.xlsx#";
    WriteFile(cutLock.string(), ",trevolo,host,07.12.2026 10:00,file:///tmp/trevolo-off");
    const fs::path other = dir.path() / "他人.xlsx";
    const fs::path otherLock = dir.path() / ".~lock.他人.xlsx#";
    WriteFile(otherLock.string(), ",someone,host,07.12.2026 10:00,file:///home/someone/.config/libreoffice/4;");
    for (const fs::path& again : {target, cut, other}) {
        SCOPED_TRACE(again.filename().string());
        prompts.shown.clear();
        prompts.files.push_back(ToQString(again.string()));
        mainMenuXlsSave->trigger();
        ASSERT_EQ(boxes().size(), 1u);
        if (again != other) {
            EXPECT_EQ(boxes()[0].text, QString::fromUtf8(kMsgXlsSaved));
            EXPECT_FALSE(fs::exists(again == cut ? cutLock : lock));
        } else {
            EXPECT_NE(boxes()[0].text, QString::fromUtf8(kMsgXlsSaved));
            EXPECT_TRUE(fs::exists(otherLock));
        }
        EXPECT_EQ(OfficeChildren().size(), 1u);
    }
}

// Killed while a large block is on its way: the write into the closed pipe
// becomes the command's error; the program lives on with its sheets.
TEST_F(OfficeKillTest, KilledWhileABlockIsWrittenLeavesTheProgramAndItsSheets)
{
    // Two sheets of 1000 lots x 100 values: two blocks, each far larger
    // than the pipe holds.
    fill(3);
    TMainForm& f = *form;
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    for (int sheet : {1, 2}) {
        selectTab(sheet);
        Ctl<TSpinEdit>(f, "spinRow")->setValue(1000);
        Ctl<TSpinEdit>(f, "spinCol")->setValue(100);
        for (int lot = 1; lot <= 1000; ++lot)
            for (int c = 0; c < 100; ++c)
                gridEdit->setCellText(c, lot, QString::number(lot + c * 0.001, 'f', 3));
    }
    selectTab(0);
    const Snapshot before = snapshot();
    const fs::path target = dir.path() / "大きい.xlsx";

    // The office is held stopped all but a millisecond at a time, so a
    // block starts its way while it is stopped; a send still stuck at the
    // end of a stop is such a block, and the office is killed under it.
    // The office runs freely until the export builds the second sheet's
    // block.
    std::atomic<bool> done{false};
    std::atomic<bool> writing{false};
    std::atomic<int> killed{0};
    auto c = QObject::connect(f.findChild<TSplashForm*>()->barProgress, &QProgressBar::valueChanged, [&](int sheets) {
        if (sheets == 2)
            writing = true;
    });
    std::thread killer([&] {
        int office = 0;
        while (!done) {
            if (!writing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (office == 0 || !ProcessAlive(office)) {
                const auto pids = OfficeChildren();
                office = pids.size() == 1 ? pids[0] : 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            kill(office, SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            if (SendingToAPipe()) {
                kill(office, SIGKILL);
                killed = office;
                return;
            }
            kill(office, SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    prompts.files.push_back(ToQString(target.string()));
    Ctl<QAction>(f, "mainMenuXlsSave")->trigger();
    done = true;
    killer.join();
    QObject::disconnect(c);

    ASSERT_NE(killed.load(), 0) << "the export ended before a block was seen on its way";
    const auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QString::fromUtf8(kWarningCaption));
    EXPECT_EQ(shown[0].text, QString::fromUtf8(kMsgOfficeLost));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(snapshot() == before);
    expectNoOfficeLeft(killed);
}

// A folder this process cannot write: one of the test's own without write
// permission, or, where permissions do not stop this user (root), /sys.
// Empty when there is none.
fs::path ReadOnlyFolder(const fs::path& under)
{
    const fs::path own = under / "読み取り専用";
    fs::create_directories(own);
    fs::permissions(own, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    for (const fs::path& candidate : {own, fs::path("/sys")}) {
        const fs::path probe = candidate / "probe.csv";
        if (std::FILE* f = std::fopen(probe.c_str(), "wb")) {
            std::fclose(f);
            std::error_code ec;
            fs::remove(probe, ec);
            continue;
        }
        return candidate;
    }
    return {};
}

ControlChartData SmallChart(int kind)
{
    ControlChartData d;
    d.chartKind = kind;
    d.lotCountSetting = 12;
    for (int i = 1; i <= 12; ++i) {
        d.labels.push_back("K" + std::to_string(i));
        d.means.push_back("10.00" + std::to_string(i % 10));
        d.spreads.push_back("0.1" + std::to_string(i % 10));
    }
    for (size_t i = 0; i < 7; ++i)
        d.xLines[i] = {"線" + std::to_string(i), std::to_string(10.03 - 0.01 * static_cast<double>(i))};
    d.spreadLines = {ChartLine{"平均値", "0.11"}, ChartLine{"＋３σ", "0.23"}};
    return d;
}

using FaultMessageTest = OfficeKillTest;

// The errors of the reports (a template missing from "Form Files", a damaged
// one, one of the wrong shape, a copy or an output that cannot be written),
// of the workbook import (a missing file, a file that is no workbook), of the
// workbook export (a failing call, a missing folder) and of the CSV export (a
// read-only folder through the window, a full disk): the first line of every
// text shown is a Japanese sentence; details may follow below it.
TEST_F(FaultMessageTest, EveryErrorShownStartsWithAJapaneseSentence)
{
    std::vector<std::pair<std::string, std::string>> shown;  // what happened, the text the user sees
    auto errorOf = [](auto&& command) -> std::string {
        try {
            command();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no error)";
    };
    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    ASSERT_NE(app, nullptr);

    // The reports, with the templates an incomplete or damaged program
    // folder holds.
    const fs::path forms = dir.path() / "Form Files";
    const fs::path saves = dir.path() / "Save Files";
    fs::create_directories(forms);
    fs::create_directories(saves);
    WriteFile((forms / "Histogram.xls").string(), "not a workbook");
    app->setSheetsInNewWorkbook(1);
    OfficeWorkbook oneSheet = app->addWorkbook();
    oneSheet.saveAs((forms / "XbarS.xls").string());
    oneSheet.close();
    ReportPlace place{forms, saves, LocalTimeNow()};

    const std::string missing = errorOf([&] { MakeControlChartReport(SmallChart(ChartXbarR), place); });
    EXPECT_NE(missing.find("「XbarR.xls」"), std::string::npos) << missing;
    EXPECT_NE(missing.find("インストールし直してください"), std::string::npos) << missing;
    EXPECT_NE(missing.find((forms / "XbarR.xls").string()), std::string::npos) << missing;
    shown.emplace_back("template missing", missing);
    HistogramData histogram;
    histogram.lots = 10;
    histogram.n = 1;
    histogram.enabled = [](int) { return true; };
    histogram.value = [](int, int) { return std::string("1.0"); };
    histogram.decimals = "1";
    histogram.classes = 5;
    shown.emplace_back("template damaged", errorOf([&] { MakeHistogramReport(*app, histogram, place); }));
    shown.emplace_back("template without a chart sheet",
                       errorOf([&] { MakeControlChartReport(*app, SmallChart(ChartXbarS), place); }));
    EXPECT_TRUE(fs::is_empty(saves));  // no unfinished copy left behind
    ReportPlace noFolder = place;
    noFolder.saveFiles = dir.path() / "消えたフォルダ";
    ResultTables tables;
    tables.names = {"一", "二", "三"};
    shown.emplace_back("result output into a missing folder",
                       errorOf([&] { MakeJudgmentResult(*app, SheetRecord(), tables, noFolder); }));
    const fs::path readOnly = ReadOnlyFolder(dir.path());
    if (!readOnly.empty()) {
        WriteFile((forms / "X-Rs.xls").string(), "template bytes");
        ReportPlace locked = place;
        locked.saveFiles = readOnly;
        shown.emplace_back("template copied into a read-only folder",
                           errorOf([&] { MakeControlChartReport(*app, SmallChart(ChartXRs), locked); }));
    }

    // The imports: the office cannot open the file.
    WriteFile(dir.file("letter.xls"), "\x01\x02 plain bytes \xFF\xFE");
    WriteFile(dir.file("empty.csv"), "");
    for (const auto& [whole, name] : {std::pair(true, "no such file.xlsx"), std::pair(true, "letter.xls"),
                                      std::pair(false, "no such file.csv"), std::pair(false, "empty.csv")})
        shown.emplace_back(std::string("import of ") + name,
                           ImportWorkbookSheets(*app, whole, dir.file(name)).message.text);

    // The workbook export: a call the office refuses, a folder that is gone.
    GridBlock refused;
    refused.cells = CellBlock(1, 1);
    refused.formats = {{"B5", "not a cell", "0.0"}};
    const ExportResult failed = ExportWorkbook(
        *app, {SheetRecord()}, [&](int) { return refused; }, dir.file("book.xlsx"));
    EXPECT_EQ(failed.message.kind, CommandMessage::Kind::Error);
    shown.emplace_back("a failing call of the export", failed.message.text);
    shown.emplace_back(
        "export into a missing folder",
        ExportWorkbook(*app, {SheetRecord()}, {}, (noFolder.saveFiles / "book.xlsx").string()).message.text);
    const int office = app->processId();
    app.reset();
    EXPECT_TRUE(WaitGone(office, 10000));

    // The CSV export through the window into a folder it cannot write, and a
    // disk that is full.
    if (!readOnly.empty()) {
        prompts.files.push_back(ToQString(readOnly.string()));
        Ctl<QAction>(form, "mainMenuCsvSave")->trigger();
        const auto box = boxes();
        ASSERT_EQ(box.size(), 1u);
        EXPECT_EQ(box[0].kind, ScriptedPrompts::Shown::Error);
        shown.emplace_back("CSV export into a read-only folder", box[0].text.toStdString());
    }
    if (fs::exists("/dev/full"))
        shown.emplace_back("CSV file on a full disk",
                           errorOf([&] { WriteSheetCsv("/dev/full", form->workbook().sheets.front()); }));

    // The general error box with an error of a library.
    shown.emplace_back("a library's error", ErrorBoxText(std::bad_alloc().what()));

    EXPECT_FALSE(HasJapanese("open \"/tmp/a.xls\": the file is not a workbook (Text - txt - csv)"));
    for (const auto& [what, text] : shown) {
        EXPECT_NE(text, "(no error)") << what;
        EXPECT_TRUE(HasJapanese(text.substr(0, text.find('\n')))) << what << ":\n" << text;
    }
}

}  // namespace
}  // namespace trevolo
