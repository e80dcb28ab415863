// Workbook and CSV exchange of a full workbook: 100 sheets x 1000 lots x 10
// values. Baselines in the same run: building the blocks alone and reading
// blocks into records alone (no office), and starting and ending an office.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

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
            Struct_Sheet r;
            r.Product = "製品" + std::to_string(s + 1);
            r.Process = "工程";
            r.Mbc = "装置";
            r.Label = "項目" + std::to_string(s + 1);
            r.Unit = "mm";
            r.SpecKind = "公差規格";
            r.Keta = "3";
            r.Kupper = "10.500";
            r.Klower = "9.500";
            r.Row = kLots;
            r.Col = kN;
            r.HasLists = true;
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
                r.CheckList.push_back(lot % 50 == 0 ? "0" : "1");
                r.DataList.push_back(line);
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
        const auto& check = records[static_cast<size_t>(s)].CheckList;
        v.label = [&lab](int r) { return lab[static_cast<size_t>(r)]; };
        v.enabled = [&check](int r) { return check[static_cast<size_t>(r) - 1] == "1"; };
        v.value = [&val](int c, int r) { return val[static_cast<size_t>(r)][static_cast<size_t>(c)]; };
        return BuildEditBlock(v, records[static_cast<size_t>(s)].Keta);
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

// Baseline: starting and ending one office, as every command does.
void BM_OfficeStartAndEnd(benchmark::State& state)
{
    for (auto _ : state) {
        auto app = SpreadsheetApp::create(OfficeUse::Exchange);
        if (!app)
            state.SkipWithError("no office");
    }
}
BENCHMARK(BM_OfficeStartAndEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

std::string BookPath(int format)
{
    return (BenchDir() / (format == 0 ? "book.xlsx" : "book.xls")).string();
}

// The export command as the window runs it: start, write 100 worksheets,
// save, end. Argument 0: .xlsx, 1: .xls.
void BM_ExportWorkbook(benchmark::State& state)
{
    const Workload& w = Data();
    const std::string path = BookPath(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const ExportResult r = ExportWorkbook(
            w.records, [&w](int s) { return w.block(s); }, path);
        if (!r.saved)
            state.SkipWithError(r.detail.c_str());
    }
}
BENCHMARK(BM_ExportWorkbook)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The import command: start, open, 100 x (header + three block reads), end.
void BM_ImportWorkbook(benchmark::State& state)
{
    const std::string path = BookPath(static_cast<int>(state.range(0)));
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("run the export first");
        return;
    }
    for (auto _ : state) {
        const ImportResult r = ImportWorkbookSheets(true, path);
        if (r.status != ImportResult::Status::Ok || r.sheets.size() != kSheets)
            state.SkipWithError(r.detail.c_str());
    }
}
BENCHMARK(BM_ImportWorkbook)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

#endif

}  // namespace

BENCHMARK_MAIN();
