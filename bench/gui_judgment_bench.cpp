// The specification judgment, the control-limit computation, the capability
// table and the whole judgment chain run through the main window on a full sheet (1000 lots x
// 100 values), repaint included, against converting the same 100,000 texts
// alone. Compare each figure with
// BM_ParseBaseline of the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <random>

#include "gui_bench.h"
#include "model/number.h"
#include "support/find_control.h"

namespace {

using namespace trevolo;
using trevolo::testing::Ctl;

constexpr int kLots = 1000;
constexpr int kValues = 100;

struct Window : bench::BenchWindow {
    Window()
    {
        auto* gridEdit = Ctl<StringGrid>(form, "gridEdit");
        auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
        Ctl<TSpinEdit>(form, "spinRow")->setValue(kLots);
        Ctl<TSpinEdit>(form, "spinCol")->setValue(kValues);
        std::mt19937 rng(12345);
        std::normal_distribution<double> value(10.0, 0.1);
        for (int row = 1; row <= kLots; ++row) {
            gridCtrl->cells().setFlag(1, row, row % 10 != 0);  // every tenth lot off
            for (int col = 0; col < kValues; ++col)
                gridEdit->cells().setText(col, row, FormatFixed(value(rng), 3));
        }
        gridEdit->gridModel()->cellsChanged();
        // Wide limits: every value of every row is converted and judged.
        Ctl<TEdit>(form, "editKupper")->setText(QStringLiteral("20.000"));
        Ctl<TEdit>(form, "editKlower")->setText(QStringLiteral("0.000"));
        prompts.answers = {true};
        Ctl<QPushButton>(form, "btn3Stdev")->click();
        QApplication::processEvents();
    }
};

Window& TheWindow()
{
    return bench::SharedWindow<Window>();
}

void BM_ParseBaseline(benchmark::State& state)
{
    const CellStore& cells = Ctl<StringGrid>(TheWindow().form, "gridEdit")->cells();
    for (auto _ : state) {
        double sum = 0;
        for (int row = 1; row <= kLots; ++row)
            for (int col = 0; col < kValues; ++col)
                sum += StrToFloat(cells.text(col, row));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ParseBaseline)->Unit(benchmark::kMillisecond);

// btnSpecJudgClick: checks, storing the sheet, cleanup, judgment, column
// fitting, verdict, then the window painted.
void BM_WindowSpecJudgment(benchmark::State& state)
{
    TMainForm& form = TheWindow().form;
    QLabel* verdict = Ctl<QLabel>(form, "pnlSpecJudg");
    QPushButton* button = Ctl<QPushButton>(form, "btnSpecJudg");
    for (auto _ : state) {
        button->click();
        form.repaint();
        benchmark::DoNotOptimize(verdict->text().size());
    }
    if (verdict->text() != QStringLiteral("合格"))
        state.SkipWithError("the judgment did not pass");
}
BENCHMARK(BM_WindowSpecJudgment)->Unit(benchmark::kMillisecond);

// btn3StdevClick answered Yes: counting, reading every value of the enabled
// lots, the eleven lines written, then the window painted.
void BM_WindowControlLimits(benchmark::State& state)
{
    Window& w = TheWindow();
    TEdit* centre = Ctl<TEdit>(w.form, "editXcl");
    QPushButton* button = Ctl<QPushButton>(w.form, "btn3Stdev");
    for (auto _ : state) {
        w.prompts.answers = {true};
        button->click();
        w.form.repaint();
        benchmark::DoNotOptimize(centre->text().size());
    }
    w.prompts.shown.clear();
    if (centre->text().isEmpty())
        state.SkipWithError("no limits were computed");
}
BENCHMARK(BM_WindowControlLimits)->Unit(benchmark::kMillisecond);

// btnCpkCalcClick: the specification judgment, then the capability table
// with its verdicts, then the window painted.
void BM_WindowCapability(benchmark::State& state)
{
    TMainForm& form = TheWindow().form;
    QLabel* verdict = Ctl<QLabel>(form, "pnlCpkJudg");
    QPushButton* button = Ctl<QPushButton>(form, "btnCpkCalc");
    for (auto _ : state) {
        button->click();
        form.repaint();
        benchmark::DoNotOptimize(verdict->text().size());
    }
    if (verdict->text().isEmpty())
        state.SkipWithError("the capability judgment gave no verdict");
}
BENCHMARK(BM_WindowCapability)->Unit(benchmark::kMillisecond);

// btnSpcJudgClick: the specification judgment, the capability table and the
// SPC table with their verdicts, then the window painted.
void BM_WindowSpcChain(benchmark::State& state)
{
    TMainForm& form = TheWindow().form;
    QLabel* verdict = Ctl<QLabel>(form, "pnlSpcJudg");
    QPushButton* button = Ctl<QPushButton>(form, "btnSpcJudg");
    for (auto _ : state) {
        button->click();
        form.repaint();
        benchmark::DoNotOptimize(verdict->text().size());
    }
    if (verdict->text().isEmpty())
        state.SkipWithError("the SPC judgment gave no verdict");
}
BENCHMARK(BM_WindowSpcChain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
