// Workbook and CSV exchange of a full workbook: 100 sheets x 1000 lots x 10
// values, through .xlsx, .xls and 100 CSV files. Baselines in the same run:
// starting and ending an office, building the blocks alone and reading blocks
// into records alone (no office). Each command runs as the window ran it
// before the office was kept (an office of its own), and as it runs now (in
// the kept office); the split benchmarks time every part of a command in a
// running office: our own cell work, the office's calls by kind, and the
// office's load or store of the file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "exchange/csv.h"
#include "exchange/layout.h"
#include "model/number.h"
#ifdef TREVOLO_HAVE_OFFICE
#include "exchange/exchange.h"
#endif

namespace {

using namespace trevolo;

constexpr int kSheets = 100;
constexpr int kLots = 1000;
constexpr int kN = 10;

// The workbook as records (for CSV) and as the window would show each sheet.
struct Workload {
    SheetArray records;
    std::vector<std::vector<std::string>> labels;               // per sheet, row 0 the title
    std::vector<std::vector<std::vector<std::string>>> values;  // per sheet, per row

    Workload()
    {
        for (int s = 0; s < kSheets; ++s) {
            SheetRecord r;
            r.product = "製品" + std::to_string(s + 1);
            r.process = "工程";
            r.machine = "装置";
            r.label = "項目" + std::to_string(s + 1);
            r.unit = "mm";
            r.specKindText = "公差規格";
            r.decimals = "3";
            r.upperSpec = "10.500";
            r.lowerSpec = "9.500";
            r.lots = kLots;
            r.n = kN;
            r.hasLists = true;
            std::vector<std::string> lab = {kLotColumnTitle};
            std::vector<std::vector<std::string>> val(1);
            for (int c = 0; c < kN; ++c)
                val[0].push_back(MeasurementTitle(c));
            for (int lot = 1; lot <= kLots; ++lot) {
                std::string label = "K" +
                                    std::string(lot < 10     ? "000"
                                                : lot < 100  ? "00"
                                                : lot < 1000 ? "0"
                                                             : "") +
                                    std::to_string(lot);
                std::vector<std::string> row;
                std::string line = label;
                for (int c = 0; c < kN; ++c) {
                    row.push_back(FormatFixed(10.0 + ((lot * 31 + c * 17 + s) % 1000) / 1000.0 - 0.5, 3));
                    line += "," + row.back();
                }
                r.checkList.push_back(lot % 50 == 0 ? "0" : "1");
                r.dataList.push_back(line);
                lab.push_back(label);
                val.push_back(std::move(row));
            }
            records.push_back(std::move(r));
            labels.push_back(std::move(lab));
            values.push_back(std::move(val));
        }
    }

    GridBlock block(int s) const
    {
        EditTableView v;
        v.lots = kLots;
        v.n = kN;
        const auto& lab = labels[static_cast<size_t>(s)];
        const auto& val = values[static_cast<size_t>(s)];
        const auto& check = records[static_cast<size_t>(s)].checkList;
        v.label = [&lab](int r) { return lab[static_cast<size_t>(r)]; };
        v.enabled = [&check](int r) { return check[static_cast<size_t>(r) - 1] == "1"; };
        v.value = [&val](int c, int r) { return val[static_cast<size_t>(r)][static_cast<size_t>(c)]; };
        return BuildEditBlock(v, records[static_cast<size_t>(s)].decimals);
    }
};

const Workload& Data()
{
    static const Workload w;
    return w;
}

// A folder for the files of this run, removed at the end.
struct BenchFolder {
    std::filesystem::path path;
    BenchFolder()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "exchange-bench-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        path = templ;
    }
    ~BenchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

std::filesystem::path BenchDir()
{
    static const BenchFolder folder;
    return folder.path;
}

// Baseline: the blocks of all sheets, built in memory.
void BM_BuildBlocks(benchmark::State& state)
{
    const Workload& w = Data();
    for (auto _ : state)
        for (int s = 0; s < kSheets; ++s)
            benchmark::DoNotOptimize(w.block(s));
}
BENCHMARK(BM_BuildBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the records of all sheets from their reads, in memory.
void BM_RecordsFromReads(benchmark::State& state)
{
    const Workload& w = Data();
    WorksheetReads reads;
    const GridBlock g = w.block(0);
    reads.body = CellBlock(kImportLots, kImportColumns);
    for (int r = 1; r < g.cells.rows; ++r)
        for (int c = 0; c < g.cells.cols; ++c)
            reads.body.at(r - 1, c) = g.cells.at(r, c);
    reads.labels = CellBlock(kImportLots, 1);
    reads.firstLot = CellBlock(1, kImportColumns - 1);
    for (auto _ : state)
        for (int s = 0; s < kSheets; ++s)
            benchmark::DoNotOptimize(SheetFromWorksheet(reads));
}
BENCHMARK(BM_RecordsFromReads)->Unit(benchmark::kMillisecond)->UseRealTime();

// CSV export of every sheet, without the pause between files.
void BM_ExportCsv(benchmark::State& state)
{
    const Workload& w = Data();
    const auto dir = BenchDir() / "csv";
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        const CommandMessage m = ExportSheetsCsv(dir, w.records, std::chrono::milliseconds(0));
        if (m.kind != CommandMessage::Kind::Guide)
            state.SkipWithError(m.text.c_str());
    }
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef TREVOLO_HAVE_OFFICE

// Baseline: starting and ending one office, as every command did.
void BM_OfficeStartAndEnd_Baseline(benchmark::State& state)
{
    for (auto _ : state) {
        auto app = SpreadsheetApp::create(OfficeUse::Exchange);
        if (!app)
            state.SkipWithError("no office");
    }
}
BENCHMARK(BM_OfficeStartAndEnd_Baseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

std::string BookPath(int format)
{
    return (BenchDir() / (format == 0 ? "book.xlsx" : "book.xls")).string();
}

// The office the kept-office benchmarks share, started before they time.
KeptOffice& Kept()
{
    static KeptOffice office;
    return office;
}

// The workbook commands run for .xlsx and .xls, each with an office of its
// own and with the kept one, twice each in wall time.
void BookCommandArgs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"xls", "kept"})
        ->Args({0, 0})
        ->Args({0, 1})
        ->Args({1, 0})
        ->Args({1, 1})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(2);
}

// The export command as the window runs it: write 100 worksheets, save.
// Arguments: 0 .xlsx, 1 .xls; 0 an office of its own (started and ended by
// the command), 1 the kept office.
void BM_ExportWorkbook(benchmark::State& state)
{
    const Workload& w = Data();
    const std::string path = BookPath(static_cast<int>(state.range(0)));
    const bool kept = state.range(1) == 1;
    if (kept && !Kept().use())
        state.SkipWithError("no office");
    const auto blockOf = [&w](int s) { return w.block(s); };
    for (auto _ : state) {
        const ExportResult r = kept ? ExportWorkbook(Kept(), w.records, blockOf, path)
                                    : ExportWorkbook(w.records, blockOf, path);
        if (!r.saved)
            state.SkipWithError(r.detail.c_str());
    }
}
BENCHMARK(BM_ExportWorkbook)->Apply(BookCommandArgs);

// The import command: open, 100 x (used area, header, three block reads),
// close. Arguments as for the export.
void BM_ImportWorkbook(benchmark::State& state)
{
    const std::string path = BookPath(static_cast<int>(state.range(0)));
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("run the export first");
        return;
    }
    const bool kept = state.range(1) == 1;
    if (kept && !Kept().use())
        state.SkipWithError("no office");
    for (auto _ : state) {
        const ImportResult r = kept ? ImportWorkbookSheets(Kept(), true, path) : ImportWorkbookSheets(true, path);
        if (r.status != ImportResult::Status::Ok || r.sheets.size() != kSheets)
            state.SkipWithError(r.detail.c_str());
    }
}
BENCHMARK(BM_ImportWorkbook)->Apply(BookCommandArgs);

// Seconds of wall time spent in one part of a command, summed over its calls
// and reported per iteration.
class Part {
public:
    explicit Part(benchmark::State& state, const char* name) : state_(state), name_(name) {}
    template <class F>
    auto operator()(F&& f)
    {
        const auto start = std::chrono::steady_clock::now();
        struct Add {
            Part& p;
            std::chrono::steady_clock::time_point start;
            ~Add() { p.seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }
        } add{*this, start};
        ++calls_;
        return f();
    }
    ~Part()
    {
        state_.counters[std::string(name_) + "_s"] = benchmark::Counter(seconds_, benchmark::Counter::kAvgIterations);
        state_.counters[std::string(name_) + "_n"] = benchmark::Counter(calls_, benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& state_;
    const char* name_;
    double seconds_ = 0;
    double calls_ = 0;
};

// Where the time of the export goes, in a running office. Argument 0 .xlsx,
// 1 .xls.
void BM_ExportSplit(benchmark::State& state)
{
    const Workload& w = Data();
    const std::string path = (BenchDir() / (state.range(0) == 0 ? "split.xlsx" : "split.xls")).string();
    KeptOffice::Use app = Kept().use();
    if (!app) {
        state.SkipWithError("no office");
        return;
    }
    Part add(state, "new_book"), build(state, "build_blocks"), header(state, "uno_header"), cells(state, "uno_block"),
        formats(state, "uno_formats"), store(state, "office_store"), closing(state, "close");
    for (auto _ : state) {
        app->setSheetsInNewWorkbook(kSheets);
        OfficeWorkbook book = add([&] { return app->addWorkbook(); });
        for (int s = 0; s < kSheets; ++s) {
            const GridBlock block = build([&] { return w.block(s); });
            const Worksheet sheet = book.worksheet(s + 1);
            header([&] { WriteSheetHeader(sheet, w.records[static_cast<size_t>(s)]); });
            cells([&] { sheet.range(kBlockAnchor, block.lastCell()).setValues(block.cells); });
            for (const FormatArea& f : block.formats)
                formats([&] { sheet.range(f.first, f.last).setNumberFormatLocal(f.format); });
        }
        store([&] { book.saveAs(path); });
        closing([&] { book.close(); });
    }
}
BENCHMARK(BM_ExportSplit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Where the time of the import goes, in a running office. Argument 0 .xlsx,
// 1 .xls.
void BM_ImportSplit(benchmark::State& state)
{
    const std::string path = BookPath(static_cast<int>(state.range(0)));
    KeptOffice::Use app = Kept().use();
    if (!app || !std::filesystem::exists(path)) {
        state.SkipWithError("no office or no workbook");
        return;
    }
    Part load(state, "office_load"), reads(state, "uno_reads"), records(state, "records"), closing(state, "close");
    for (auto _ : state) {
        OfficeWorkbook book = load([&] { return app->openWorkbook(path, true); });
        const int count = book.worksheetCount();
        SheetArray sheets;
        for (int s = 1; s <= count; ++s) {
            const WorksheetReads r = reads([&] { return ReadWorksheetCells(book.worksheet(s)); });
            sheets.push_back(records([&] { return SheetFromWorksheet(r); }));
        }
        closing([&] { book.close(); });
        if (sheets.size() != kSheets)
            state.SkipWithError("worksheets missing");
    }
}
BENCHMARK(BM_ImportSplit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The CSV half of the round trip: the 100 files BM_ExportCsv writes, each
// imported by a command of its own. Arguments: 0 an office per command, on
// the first 10 files (each costs an office start); 1 the kept office, all
// 100 files. Counter per_file_s: the time of one command.
void BM_ImportCsvFiles(benchmark::State& state)
{
    const bool kept = state.range(0) == 1;
    const int files = kept ? kSheets : 10;
    const auto dir = BenchDir() / "csv";
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    if (static_cast<int>(paths.size()) < files) {
        state.SkipWithError("run the CSV export first");
        return;
    }
    paths.resize(static_cast<size_t>(files));
    if (kept && !Kept().use())
        state.SkipWithError("no office");
    for (auto _ : state) {
        for (const std::string& p : paths) {
            const ImportResult r = kept ? ImportWorkbookSheets(Kept(), false, p) : ImportWorkbookSheets(false, p);
            if (r.status != ImportResult::Status::Ok || r.sheets.size() != 1)
                state.SkipWithError(r.detail.c_str());
        }
    }
    state.counters["files"] = files;
    state.counters["per_file_s"] = benchmark::Counter(
        static_cast<double>(files), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ImportCsvFiles)
    ->ArgName("kept")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

#endif

}  // namespace

BENCHMARK_MAIN();
