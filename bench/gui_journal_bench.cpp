// What the crash journal and the undo history add: a confirmed cell edit in
// the window with and without the journal, and without the history, and writing the largest workbook (100 sheets x 1000
// lots x 100 values, as an import leaves it) against building that workbook
// in memory, which an import does as well.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <random>

#include "gui_bench.h"
#include "full_sheet.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "store/sql_journal_store.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

SheetArray LargestWorkbook()
{
    SheetArray sheets;
    for (int i = 0; i < kMaxSheets; ++i)
        sheets.push_back(bench::FullSheet(i + 1, static_cast<unsigned>(i)));
    return sheets;
}

struct Window : bench::BenchWindow {
    explicit Window(bool journaled)
    {
        showSheet(bench::FullSheet(1, 7));
        if (journaled)
            form.StartJournal(dir.filePath("journal"));
    }
};

// One confirmed cell: the text written and the window told, as the cell
// editor does on Enter; undoable (the sheet's history keeps it) unless told.
void EditCells(benchmark::State& state, bool journaled, bool undoable = true)
{
    Window w(journaled);
    if (!undoable)
        w.form.session().setHistory(nullptr);
    StringGrid* grid = Ctl<StringGrid>(w.form, "gridEdit");
    int i = 0;
    for (auto _ : state) {
        const int col = i % 100, row = 1 + (i / 100) % 1000;
        grid->setCellText(col, row, QString::number(10 + (i % 997) / 1000.0, 'f', 3));
        ++i;
    }
}

void BM_CellEditBaseline(benchmark::State& state)
{
    EditCells(state, false);
}
BENCHMARK(BM_CellEditBaseline)->Unit(benchmark::kMicrosecond);

// The same without the sheet's history: what an undoable edit adds.
void BM_CellEditWithoutHistory(benchmark::State& state)
{
    EditCells(state, false, false);
}
BENCHMARK(BM_CellEditWithoutHistory)->Unit(benchmark::kMicrosecond);

void BM_CellEditJournaled(benchmark::State& state)
{
    EditCells(state, true);
}
BENCHMARK(BM_CellEditJournaled)->Unit(benchmark::kMicrosecond);

// The part of an import that lies in the program, the workbook's records
// built from their texts (the office's own reading comes on top).
void BM_LargestWorkbookBuilt(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LargestWorkbook());
}
BENCHMARK(BM_LargestWorkbookBuilt)->Unit(benchmark::kMillisecond)->Iterations(2);

// The journal's part of that import: every record into a fresh journal, one
// transaction.
void BM_LargestWorkbookJournaled(benchmark::State& state)
{
    const SheetArray sheets = LargestWorkbook();
    SheetSession session;
    for (auto _ : state) {
        QTemporaryDir dir;
        auto store = SqlJournalStore::openFile(dir.filePath("b.journal"), false, nullptr);
        SessionJournal journal(std::move(store), session);
        journal.shownSheet = [] { return -1; };
        journal.writeSheets(sheets, 0);
    }
}
BENCHMARK(BM_LargestWorkbookJournaled)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWindowBenchmarks(argc, argv);
}
