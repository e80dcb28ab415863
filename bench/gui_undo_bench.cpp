// Undoing a paste over the whole of the largest sheet (1000 lots x 100
// values), the window repainted. What the history adds to a cell edit is
// measured with the journal's figures (gui_journal_bench).
#include <benchmark/benchmark.h>

#include <QAction>
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
        session.edits().paste({0, 1, 0, 1}, text);
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
