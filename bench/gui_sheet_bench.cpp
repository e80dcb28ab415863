// Showing, storing and pasting a full sheet (1000 lots x 100 values) in the
// main window, against parsing the same stored lines alone.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTabBar>
#include <random>

#include "gui_bench.h"
#include "full_sheet.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

Struct_Sheet FullSheet()
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
    const Struct_Sheet s = FullSheet();
    for (auto _ : state) {
        size_t items = 0;
        for (const std::string& line : s.DataList) {
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
    std::string texts[2];
    for (int i = 0; i < 2; ++i)
        for (int r = 1; r <= 1000; ++r)
            for (int c = 0; c < 100; ++c)
                texts[i] += std::to_string((r + c + i) % 10) + ".125" + (c < 99 ? "\t" : "\r\n");
    const QString clip[2] = {QString::fromStdString(texts[0]), QString::fromStdString(texts[1])};
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

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
