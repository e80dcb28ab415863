// What the undo history costs in the window: a confirmed cell edit with and
// without the sheet's history (no journal either way), and undoing a paste
// over the whole of the largest sheet (1000 lots x 100 values), the window
// repainted.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <string>

#include "full_sheet.h"
#include "gui_bench.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

struct Window : bench::BenchWindow {
    Window() { showSheet(bench::FullSheet(1, 7)); }
};

void EditCells(benchmark::State& state, bool undoable)
{
    Window& w = bench::SharedWindow<Window>();
    SheetSession& session = w.form.session();
    UndoStack* history = session.history();
    if (!undoable)
        session.setHistory(nullptr);
    StringGrid* grid = Ctl<StringGrid>(w.form, "gridEdit");
    int i = 0;
    for (auto _ : state) {
        const int col = i % 100, row = 1 + (i / 100) % 1000;
        grid->setCellText(col, row, QString::number(10 + (i % 997) / 1000.0, 'f', 3));
        ++i;
    }
    session.setHistory(history);
}

void BM_CellEditWithoutHistory(benchmark::State& state)
{
    EditCells(state, false);
}
BENCHMARK(BM_CellEditWithoutHistory)->Unit(benchmark::kMicrosecond);

void BM_CellEditUndoable(benchmark::State& state)
{
    EditCells(state, true);
}
BENCHMARK(BM_CellEditUndoable)->Unit(benchmark::kMicrosecond);

// A paste of new texts over every value of the sheet, then undo through the
// table's menu and the window repainted; only the undo is timed.
void BM_UndoPasteOfTheLargestSheet(benchmark::State& state)
{
    Window& w = bench::SharedWindow<Window>();
    SheetSession& session = w.form.session();
    QAction* undo = Ctl<QAction>(w.form, "popMenuUndo");
    std::string text;
    for (int r = 1; r <= 1000; ++r)
        for (int c = 0; c < 100; ++c)
            text += std::to_string(r % 10) + ".5" + (c < 99 ? "\t" : "\r\n");
    for (auto _ : state) {
        state.PauseTiming();
        session.paste({0, 1, 0, 1}, text);
        w.form.repaint();
        state.ResumeTiming();
        undo->trigger();
        w.form.repaint();
    }
}
BENCHMARK(BM_UndoPasteOfTheLargestSheet)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
