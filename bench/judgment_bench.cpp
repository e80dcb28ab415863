// The judgment computations on a full sheet (1000 lots x 100 values) against
// converting the same 100,000 texts alone. Compare each figure with
// BM_ParseBaseline of the same run.
#include <benchmark/benchmark.h>

#include <random>

#include "entry/tolerance_judgment.h"
#include "model/number.h"
#include "stats/capability.h"
#include "stats/control_limits.h"

namespace {

using namespace trevolo;

constexpr int kLots = 1000;
constexpr int kValues = 100;

const LotTable& Sheet()
{
    static const LotTable table = [] {
        std::mt19937 rng(12345);
        std::normal_distribution<double> value(10.0, 0.1);
        std::vector<Lot> lots(kLots);
        for (int i = 0; i < kLots; ++i) {
            lots[static_cast<size_t>(i)].label = std::to_string(i + 1);
            lots[static_cast<size_t>(i)].enabled = i % 10 != 9;  // every tenth lot off
            auto& cells = lots[static_cast<size_t>(i)].cells;
            cells.resize(kValues);
            for (std::string& c : cells)
                c = FormatFixed(value(rng), 3);
        }
        return LotTable(std::move(lots), kValues);
    }();
    return table;
}

void BM_ParseBaseline(benchmark::State& state)
{
    const LotTable& t = Sheet();
    for (auto _ : state) {
        double sum = 0;
        for (const Lot& lot : t.lots())
            for (const std::string& c : lot.cells)
                sum += StrToFloat(c);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ParseBaseline)->Unit(benchmark::kMillisecond);

void BM_SpecJudgment(benchmark::State& state)
{
    const LotTable& t = Sheet();
    SpecLimits limits;
    // Wide limits: every value of every row is converted and judged.
    ParseSpecLimits(SpecTolerance, "20", "0", limits);
    for (auto _ : state) {
        SpecJudgment j = JudgeSpecification(t, limits);
        benchmark::DoNotOptimize(j.judged);
    }
}
BENCHMARK(BM_SpecJudgment)->Unit(benchmark::kMillisecond);

// The same judgment read through the adapter of the window's cell stores.
void BM_SpecJudgmentCellStore(benchmark::State& state)
{
    const LotTable& t = Sheet();
    CellStore ctrl(2);
    CellStore edit(kValues);
    for (int i = 0; i < kLots; ++i) {
        ctrl.setText(0, i + 1, t.label(i));
        ctrl.setFlag(1, i + 1, t.enabled(i));
        for (int c = 0; c < kValues; ++c)
            edit.setText(c, i + 1, t.cell(i, c));
    }
    const GridLots lots(ctrl, edit, kLots, kValues);
    SpecLimits limits;
    ParseSpecLimits(SpecTolerance, "20", "0", limits);
    for (auto _ : state) {
        SpecJudgment j = JudgeSpecification(lots, limits);
        benchmark::DoNotOptimize(j.judged);
    }
}
BENCHMARK(BM_SpecJudgmentCellStore)->Unit(benchmark::kMillisecond);

CapabilityInput Input(int chart)
{
    CapabilityInput in;
    in.chartKind = chart;
    in.specKind = SpecTolerance;
    in.upper = "10.5";
    in.lower = "9.5";
    in.threshold = "1.33";
    return in;
}

void BM_Capability(benchmark::State& state)
{
    const LotTable& t = Sheet();
    const CapabilityInput in = Input(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CapabilityResult r = ComputeCapability(t, in);
        benchmark::DoNotOptimize(r.rows.data());
    }
}
BENCHMARK(BM_Capability)->Arg(ChartXbarR)->Arg(ChartXRs)->Unit(benchmark::kMillisecond);

void BM_ControlLimits(benchmark::State& state)
{
    const LotTable& t = Sheet();
    for (auto _ : state) {
        // The panel counts first, then computes.
        benchmark::DoNotOptimize(CountIncludedValues(t));
        ControlLimitResult r = ComputeLimitTexts(t, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(r.texts.data());
    }
}
BENCHMARK(BM_ControlLimits)->Arg(ChartXbarR)->Arg(ChartXbarS)->Unit(benchmark::kMillisecond);

// What the SPC command costs before its rules: limits computed once, then the
// specification judgment and the capability table.
void BM_LimitsSpecCapability(benchmark::State& state)
{
    const LotTable& t = Sheet();
    SpecLimits limits;
    ParseSpecLimits(SpecTolerance, "20", "0", limits);
    const CapabilityInput in = Input(ChartXbarR);
    for (auto _ : state) {
        ControlLimitResult l = ComputeLimitTexts(t, ChartXbarR);
        SpecJudgment j = JudgeSpecification(t, limits);
        CapabilityResult c = ComputeCapability(t, in);
        benchmark::DoNotOptimize(l.texts.data());
        benchmark::DoNotOptimize(j.judged);
        benchmark::DoNotOptimize(c.rows.data());
    }
}
BENCHMARK(BM_LimitsSpecCapability)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
