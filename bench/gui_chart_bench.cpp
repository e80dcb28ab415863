// The charts page with 1000 lots: redrawing both control charts and the
// histogram after a judgment, and switching to the page after a change.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <random>

#include "app/chart_page.h"
#include "gui_bench.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

// 1000 lots of 10 values with a slow drift, so the rules mark many points.
SheetRecord DriftingSheet()
{
    SheetRecord s;
    InitSheet(s, 1, InitialValues::Defaults(), 1000, 10);
    s.label = "外径";
    s.unit = "MM";
    s.upperSpec = "11.000";
    s.lowerSpec = "9.000";
    std::mt19937 rng(11);
    std::normal_distribution<double> d(0.0, 0.2);
    std::vector<std::string> cells(10);
    for (int r = 1; r <= 1000; ++r) {
        for (auto& c : cells)
            c = FormatFixed(10.0 + 0.3 * std::sin(r / 40.0) + d(rng), 3);
        s.dataList.push_back(DataLineJoin(DefaultLotLabel(r), cells.data(), cells.size()));
        s.checkList.push_back("1");
    }
    return s;
}

struct Window : bench::BenchWindow {
    Window()
    {
        form.resize(1280, 900);
        showSheet(DriftingSheet());
        prompts.answers = {true};
        Ctl<QPushButton>(form, "btn3Stdev")->click();
        Ctl<QPushButton>(form, "btnSpcJudg")->click();
        QApplication::processEvents();
    }
};

Window& TheWindow()
{
    return bench::SharedWindow<Window>();
}

// After a judgment: the chart data built again and all three charts drawn.
void BM_RedrawChartsAfterJudgment(benchmark::State& state)
{
    Window& w = TheWindow();
    Ctl<QTabWidget>(w.form, "pageInput")->setCurrentWidget(w.form.findChild<ChartPage*>());
    QApplication::processEvents();
    for (auto _ : state) {
        w.form.findChild<ChartPage*>()->refresh();
        w.form.findChild<ChartPage*>()->repaint();
    }
    state.counters["points"] = static_cast<double>(w.form.findChild<ChartPage*>()->data().x.points.size());
}
BENCHMARK(BM_RedrawChartsAfterJudgment)->Unit(benchmark::kMillisecond);

// From the SPC table to the charts page after a change was left waiting.
void BM_SwitchToChartPage(benchmark::State& state)
{
    Window& w = TheWindow();
    for (auto _ : state) {
        state.PauseTiming();
        Ctl<QTabWidget>(w.form, "pageInput")->setCurrentIndex(2);
        QApplication::processEvents();
        SheetSession& s = w.form.session();
        s.setHistogramClasses(s.histogramClasses());
        state.ResumeTiming();
        Ctl<QTabWidget>(w.form, "pageInput")->setCurrentWidget(w.form.findChild<ChartPage*>());
        w.form.repaint();
    }
}
BENCHMARK(BM_SwitchToChartPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
