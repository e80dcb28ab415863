// Showing and storing a full sheet (1000 lots x 100 values) in the main
// window, against parsing the same stored lines alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTabBar>
#include <random>

#include "gui_bench.h"
#include "full_sheet.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"

using namespace trevolo;

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

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
