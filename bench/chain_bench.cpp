// The whole judgment chain of one full sheet (1000 lots x 100 values) as the
// batch tool runs it: reading the CSV file, showing the sheet (values brought
// to the sheet's decimals), the three-sigma limits, the specification,
// capability and SPC judgments. Compare each figure with BM_ParseBaseline,
// converting the same 100,000 texts to doubles alone (target: the chain
// within 5 times the baseline).
#include <benchmark/benchmark.h>

#include <random>

#include "exchange/csv.h"
#include "exchange/csv_reader.h"
#include "model/number.h"
#include "document/judgment_chain.h"

namespace {

using namespace trevolo;

constexpr int kLots = 1000;
constexpr int kValues = 100;

// The texts of the values, as a measuring machine writes them.
const std::vector<std::string>& Values()
{
    static const std::vector<std::string> values = [] {
        std::mt19937 rng(4711);
        std::normal_distribution<double> value(10.0, 0.1);
        std::vector<std::string> v(static_cast<size_t>(kLots) * kValues);
        for (std::string& t : v)
            t = FormatFixed(value(rng), 3);
        return v;
    }();
    return values;
}

// The sheet's CSV file in code page 932.
const std::string& CsvBytes()
{
    static const std::string bytes = [] {
        SheetRecord s;
        s.product = "製品";
        s.process = "工程";
        s.machine = "装置";
        s.label = "外径";
        s.unit = "MM";
        s.specKindText = "公差規格";
        s.decimals = "3";
        s.upperSpec = "10.500";
        s.lowerSpec = "9.500";
        s.lots = kLots;
        s.n = kValues;
        s.hasLists = true;
        const std::vector<std::string>& v = Values();
        for (int lot = 0; lot < kLots; ++lot) {
            std::string line = "K" + std::to_string(lot + 1);
            for (int c = 0; c < kValues; ++c)
                line += "," + v[static_cast<size_t>(lot) * kValues + static_cast<size_t>(c)];
            s.checkList.push_back("1");
            s.dataList.push_back(std::move(line));
        }
        return SheetCsvBytes(s);
    }();
    return bytes;
}

const SheetRecord& Imported()
{
    static const SheetRecord sheet = SheetFromCsvBytes(CsvBytes());
    return sheet;
}

void BM_ParseBaseline(benchmark::State& state)
{
    const std::vector<std::string>& v = Values();
    for (auto _ : state) {
        double sum = 0;
        for (const std::string& t : v)
            sum += StrToFloat(t);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ParseBaseline)->Unit(benchmark::kMillisecond);

// Reading the file into a sheet record, as the window's CSV import gives it.
void BM_ReadCsv(benchmark::State& state)
{
    const std::string& bytes = CsvBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(SheetFromCsvBytes(bytes));
}
BENCHMARK(BM_ReadCsv)->Unit(benchmark::kMillisecond);

// Showing the sheet and the whole judgment chain on the record.
void BM_JudgeSheet(benchmark::State& state)
{
    const SheetRecord& sheet = Imported();
    ChainSettings settings;
    settings.chartIndex = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const SheetJudgment j = JudgeSheet(sheet, settings);
        if (!j.spcReached)
            state.SkipWithError("the chain did not reach the SPC judgment");
        benchmark::DoNotOptimize(j);
    }
}
BENCHMARK(BM_JudgeSheet)->Arg(ChartXbarR)->Arg(ChartXbarS)->Unit(benchmark::kMillisecond);

// Both: what the batch tool does for one file, but writing the report.
void BM_ReadAndJudge(benchmark::State& state)
{
    const std::string& bytes = CsvBytes();
    const ChainSettings settings;
    for (auto _ : state)
        benchmark::DoNotOptimize(JudgeSheet(SheetFromCsvBytes(bytes), settings));
}
BENCHMARK(BM_ReadAndJudge)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
