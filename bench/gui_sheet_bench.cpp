// Showing, storing and pasting a full sheet (1000 lots x 100 values) in the
// main window, against parsing the same stored lines alone; and the paste,
// its undo and its redo with the desktop's accessibility bridge on.
#include <benchmark/benchmark.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTabBar>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "gui_bench.h"
#include "full_sheet.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

SheetRecord FullSheet()
{
    return bench::FullSheet(1, 7);
}

// The full sheet in the first tab's record; each benchmark shows it.
struct Window : bench::BenchWindow {
    Window() { form.workbook().sheets[0] = FullSheet(); }
};

Window& TheWindow()
{
    return bench::SharedWindow<Window>();
}

void BM_ParseStoredLines(benchmark::State& state)
{
    const SheetRecord s = FullSheet();
    for (auto _ : state) {
        size_t items = 0;
        for (const std::string& line : s.dataList) {
            DataLineParts p = DataLineSplit(line);
            items += CommaTextSplit(p.values).size();
        }
        benchmark::DoNotOptimize(items);
    }
}
BENCHMARK(BM_ParseStoredLines)->Unit(benchmark::kMillisecond);

void BM_ShowSheet(benchmark::State& state)
{
    Window& w = TheWindow();
    for (auto _ : state)
        w.form.showSheet(0);
}
BENCHMARK(BM_ShowSheet)->Unit(benchmark::kMillisecond);

// The same with the window painted again, as the user sees it.
void BM_ShowSheetPainted(benchmark::State& state)
{
    Window& w = TheWindow();
    for (auto _ : state) {
        w.form.showSheet(0);
        w.form.repaint();
    }
}
BENCHMARK(BM_ShowSheetPainted)->Unit(benchmark::kMillisecond);

void BM_StoreSheet(benchmark::State& state)
{
    Window& w = TheWindow();
    w.form.showSheet(0);
    for (auto _ : state)
        w.form.storeShownSheet();
}
BENCHMARK(BM_StoreSheet)->Unit(benchmark::kMillisecond);

// Two clipboard texts of 1000 rows of 100 values that differ in every cell.
std::array<QString, 2> PasteTexts()
{
    std::string texts[2];
    for (int i = 0; i < 2; ++i)
        for (int r = 1; r <= 1000; ++r)
            for (int c = 0; c < 100; ++c)
                texts[i] += std::to_string((r + c + i) % 10) + ".125" + (c < 99 ? "\t" : "\r\n");
    return {QString::fromStdString(texts[0]), QString::fromStdString(texts[1])};
}

// A paste of the whole sheet through the table's menu (Ctrl+V): 1000 rows of
// 100 texts from the clipboard over every value, recorded for undo, then the
// window painted. Two texts take turns so every paste changes every cell.
// Argument 0 repaints the whole window, as the other window benchmarks do;
// 1 paints only what the paste marked for repainting, as the running window
// does at its next frame.
void BM_PasteWholeSheet(benchmark::State& state)
{
    Window& w = TheWindow();
    w.form.showSheet(0);
    auto* grid = Ctl<StringGrid>(w.form, "gridEdit");
    QAction* paste = Ctl<QAction>(w.form, "popMenuPaste");
    const std::array<QString, 2> clip = PasteTexts();
    grid->setFocus(Qt::OtherFocusReason);
    grid->setCurrent({0, 1});
    QApplication::processEvents();
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QGuiApplication::clipboard()->setText(clip[turn]);
        state.ResumeTiming();
        paste->trigger();
        if (state.range(0) == 0)
            w.form.repaint();
        else
            QApplication::processEvents();
        turn = 1 - turn;
    }
    const std::string& first = grid->cells().text(0, 1);
    if (first != "1.125" && first != "2.125")
        state.SkipWithError("the paste did not reach the table");
}
BENCHMARK(BM_PasteWholeSheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The paste, its undo and its redo with the desktop's accessibility bridge
// on, as it is whenever the desktop's accessibility bus is enabled. Qt opens
// the bridge only on a display server, so the steps run in a child process
// of this program under an X server of its own (xvfb-run), a session bus of
// its own (dbus-run-session) and the AT-SPI bus and registry the child
// starts. The child times each step (wall clock, and the program's CPU time
// as the counter cpu_s); this process reports its figures.
constexpr const char* kAccessibleChild = "--accessible-child";
constexpr int kAccessibleRounds = 4;

enum AccessibleStep { StepPaste, StepUndo, StepRedo, StepCount };

struct StepFigure {
    double wall = 0;
    double cpu = 0;
};

struct AccessibleFigures {
    std::string skipped;  // why the steps could not be measured
    std::vector<std::array<StepFigure, StepCount>> rounds;
};

AccessibleFigures RunAccessibleChildProcess()
{
    AccessibleFigures f;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("xvfb-run"),
                {QStringLiteral("-a"), QStringLiteral("dbus-run-session"), QStringLiteral("--"),
                 QCoreApplication::applicationFilePath(), QString::fromLatin1(kAccessibleChild),
                 QString::number(kAccessibleRounds)});
    if (!child.waitForStarted()) {
        f.skipped = "no X server for the accessibility bridge: xvfb-run could not start";
        return f;
    }
    child.waitForFinished(-1);
    std::istringstream out(child.readAllStandardOutput().toStdString());
    for (std::string line; std::getline(out, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "skip") {
            std::getline(words >> std::ws, f.skipped);
            return f;
        }
        if (kind != "round")
            continue;
        std::array<StepFigure, StepCount> round;
        for (StepFigure& s : round)
            words >> s.wall >> s.cpu;
        if (words)
            f.rounds.push_back(round);
    }
    if (f.rounds.empty())
        f.skipped = "the accessible run ended without figures: " +
                    child.readAllStandardError().right(400).toStdString();
    return f;
}

const AccessibleFigures& AccessibleRun()
{
    static const AccessibleFigures figures = RunAccessibleChildProcess();
    return figures;
}

// Argument: 0 paste, 1 undo, 2 redo of the whole sheet.
void BM_WholeSheetAccessible(benchmark::State& state)
{
    const AccessibleFigures& f = AccessibleRun();
    if (!f.skipped.empty()) {
        state.SkipWithError(f.skipped.c_str());
        return;
    }
    size_t i = 0;
    double cpu = 0;
    for (auto _ : state) {
        const StepFigure& s = f.rounds[i++ % f.rounds.size()][static_cast<size_t>(state.range(0))];
        state.SetIterationTime(s.wall);
        cpu += s.cpu;
    }
    state.counters["cpu_s"] = cpu / static_cast<double>(i);
}
BENCHMARK(BM_WholeSheetAccessible)
    ->ArgName("step")
    ->DenseRange(StepPaste, StepRedo)
    ->Iterations(kAccessibleRounds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// An assistive client, as a screen reader is one: it asks the registry for
// the events of objects, focus and windows, and takes every one it is sent.
constexpr const char* kAssistiveClient = R"(
import dbus, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
address = dbus.SessionBus().get_object('org.a11y.Bus', '/org/a11y/bus').GetAddress(dbus_interface='org.a11y.Bus')
bus = dbus.bus.BusConnection(address)
registry = bus.get_object('org.a11y.atspi.Registry', '/org/a11y/atspi/registry')
for kind in ('Object', 'Focus', 'Window'):
    bus.add_signal_receiver(lambda *args: None, dbus_interface='org.a11y.atspi.Event.' + kind)
for event in ('object:', 'focus:', 'window:'):
    registry.RegisterEvent(event, dbus.Array([], signature='s'), '', dbus_interface='org.a11y.atspi.Registry')
GLib.MainLoop().run()
)";

// A helper program of the child's bus, ended with the child.
class Helper {
public:
    explicit Helper(std::vector<std::string> argv)
    {
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0)
            pid_ = -1;
    }
    ~Helper()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    bool started() const { return pid_ > 0; }
    // False once the program has ended (and then it is reaped).
    bool running()
    {
        if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_)
            pid_ = -1;
        return pid_ > 0;
    }

private:
    pid_t pid_ = -1;
};

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int SkipAccessible(const char* why)
{
    std::printf("skip %s\n", why);
    return 0;
}

// The child: the window on the X server with the bridge on; one line of
// figures per round of paste, undo and redo, each step with its repaint.
int RunAccessibleChild(int argc, char** argv)
{
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    Helper launcher({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
    if (!launcher.started())
        return SkipAccessible("the AT-SPI bus could not start (Debian package at-spi2-core)");
    usleep(300 * 1000);
    Helper registry({"/usr/libexec/at-spi2-registryd"});
    if (!registry.started())
        return SkipAccessible("the AT-SPI registry could not start (Debian package at-spi2-core)");
    usleep(300 * 1000);
    // Without a client listening, the bridge drops the events of objects.
    Helper client({"/usr/bin/python3", "-c", kAssistiveClient});
    usleep(1000 * 1000);
    if (!client.running())
        return SkipAccessible("no assistive client (Debian packages python3-dbus, python3-gi)");
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QElapsedTimer wait;
    wait.start();
    while (!QAccessible::isActive() && wait.elapsed() < 10000) {
        QApplication::processEvents();
        usleep(10 * 1000);
    }
    if (!QAccessible::isActive())
        return SkipAccessible("the accessibility bridge did not come on");
    Window w;
    w.form.showSheet(0);
    QApplication::setActiveWindow(&w.form);
    auto* grid = Ctl<StringGrid>(w.form, "gridEdit");
    QAction* const steps[StepCount] = {Ctl<QAction>(w.form, "popMenuPaste"), Ctl<QAction>(w.form, "popMenuUndo"),
                                       Ctl<QAction>(w.form, "popMenuRedo")};
    const std::array<QString, 2> clip = PasteTexts();
    grid->setFocus(Qt::OtherFocusReason);
    grid->setCurrent({0, 1});
    QApplication::processEvents();
    for (int r = 0; r < rounds; ++r) {
        QGuiApplication::clipboard()->setText(clip[r % 2]);
        QApplication::processEvents();
        std::printf("round");
        for (QAction* step : steps) {
            QElapsedTimer wall;
            const double cpu = CpuSeconds();
            wall.start();
            step->trigger();
            QApplication::processEvents();
            std::printf(" %.6f %.6f", static_cast<double>(wall.nsecsElapsed()) * 1e-9, CpuSeconds() - cpu);
        }
        std::printf("\n");
        std::fflush(stdout);
        if (grid->cells().text(0, 1) != (r % 2 ? "2.125" : "1.125"))
            return SkipAccessible("the paste did not reach the table");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], kAccessibleChild) == 0)
        return RunAccessibleChild(argc, argv);
    return bench::RunWindowBenchmarks(argc, argv);
}
