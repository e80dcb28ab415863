// The SPC judgment of one sheet (1000 lots, both sides, verdicts) from the
// texts of the statistics table and the limit fields, against converting the
// same texts alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/number.h"
#include "spc/rule_engine.h"

namespace {

using namespace trevolo;

SpcInput MakeInput(int lots)
{
    SpcInput in;
    in.xLines = {"10.0000", "10.3000", "10.2000", "10.1000", "9.7000", "9.8000", "9.9000"};
    in.dispersionLines = {"0.2000", "0.5000", "0.4000", "0.3000"};
    unsigned state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 8) & 0xFFFF) / 65536.0;
    };
    for (int i = 1; i <= lots; ++i) {
        in.labels.push_back("K" + std::to_string(10000 + i).substr(1));
        // Means spread over ±3.5σ, ranges over 0..0.6, with a slow drift so
        // that runs and trends occur.
        const double drift = 0.15 * std::sin(i / 40.0);
        in.xValues.push_back(FormatFixed(10.0 + drift + (next() - 0.5) * 0.7, 5));
        in.dispersionValues.push_back(FormatFixed(next() * 0.6, 5));
    }
    return in;
}

const SpcInput& Input()
{
    static const SpcInput in = MakeInput(1000);
    return in;
}

// Baseline: converting every line and lot value text of both sides.
void BM_ParseOnly(benchmark::State& state)
{
    const SpcInput& in = Input();
    for (auto _ : state) {
        SpcLines x = ParseSpcLines(in.xLines);
        SpcLines r = ParseSpcLines(in.dispersionLines);
        std::vector<double> xv = ParseSpcValues(in.xValues);
        std::vector<double> rv = ParseSpcValues(in.dispersionValues);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(xv.data());
        benchmark::DoNotOptimize(rv.data());
    }
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMicrosecond);

// The whole judgment: table, both sides, verdicts.
void BM_JudgeSpc(benchmark::State& state)
{
    const SpcInput& in = Input();
    const RuleOptions options = RuleOptions::Defaults();
    for (auto _ : state) {
        SpcJudgment j = JudgeSpc(in, options);
        benchmark::DoNotOptimize(j.abnormal);
    }
}
BENCHMARK(BM_JudgeSpc)->Unit(benchmark::kMicrosecond);

// The judgment and reading every cell text back, as the window does to fill
// its table.
void BM_JudgeSpcAndReadTexts(benchmark::State& state)
{
    const SpcInput& in = Input();
    const RuleOptions options = RuleOptions::Defaults();
    for (auto _ : state) {
        SpcJudgment j = JudgeSpc(in, options);
        size_t bytes = 0;
        for (int row = 1; row <= j.table.lots(); ++row)
            for (int c = 0; c < kSpcColumns; ++c)
                bytes += j.table.text(row, c).size();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_JudgeSpcAndReadTexts)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
