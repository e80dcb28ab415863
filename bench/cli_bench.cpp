// trevolo-cli judge --json on a workbook of 100 full sheets (1000 lots x 100
// values each), given as 100 CSV files in code page 932. The tool runs as
// its own process, judging one sheet at a time (-j 1) and two at once (-j 2);
// its CPU time (user + system) and peak memory are the counters cpu_s and
// peak_MB (targets: under 2 s and under 200 MB; with -j 2, under 1 s of wall
// time and at least 1.8 times as fast as -j 1). The
// baseline reads the same files and converts every value to a double in
// this process.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "exchange/csv.h"
#include "model/number.h"

extern char** environ;

namespace {

using namespace trevolo;
namespace fs = std::filesystem;

constexpr int kFiles = 100;
constexpr int kLots = 1000;
constexpr int kValues = 100;

// The folder of the files, written once per run and removed at the end.
class OfficeWorkbook {
public:
    OfficeWorkbook()
    {
        std::string templ = (fs::temp_directory_path() / "trevolo-cli-bench-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        dir_ = templ;
        std::mt19937 rng(99);
        std::normal_distribution<double> value(10.0, 0.1);
        for (int f = 1; f <= kFiles; ++f) {
            SheetRecord s;
            s.product = "製品";
            s.process = "工程";
            s.machine = "装置";
            s.label = "項目" + std::to_string(f);
            s.unit = "MM";
            s.specKindText = "公差規格";
            s.decimals = "3";
            s.upperSpec = "10.500";
            s.lowerSpec = "9.500";
            s.lots = kLots;
            s.n = kValues;
            s.hasLists = true;
            for (int lot = 1; lot <= kLots; ++lot) {
                std::string line = "K" + std::to_string(lot);
                for (int c = 0; c < kValues; ++c)
                    line += "," + FormatFixed(value(rng), 3);
                s.checkList.push_back("1");
                s.dataList.push_back(std::move(line));
            }
            const fs::path p = dir_ / ("Sheet" + std::to_string(f) + ".csv");
            WriteSheetCsv(p, s);
            files_.push_back(p.string());
        }
    }
    ~OfficeWorkbook()
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::vector<std::string>& files() const { return files_; }

private:
    fs::path dir_;
    std::vector<std::string> files_;
};

const OfficeWorkbook& Files()
{
    static const OfficeWorkbook w;
    return w;
}

fs::path CliPath()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return self.parent_path() / "trevolo-cli";
}

void BM_ReadAndParseBaseline(benchmark::State& state)
{
    const OfficeWorkbook& w = Files();
    for (auto _ : state) {
        double sum = 0;
        for (const std::string& f : w.files()) {
            std::ifstream in(f, std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            const std::string bytes = ss.str();
            // Every field of the lot lines (line 5 on) but the label.
            size_t line = 0;
            size_t b = 0;
            while (b < bytes.size()) {
                size_t e = bytes.find("\r\n", b);
                if (e == std::string::npos)
                    e = bytes.size();
                if (++line >= 5) {
                    size_t p = bytes.find(',', b);
                    while (p != std::string::npos && p < e) {
                        size_t q = bytes.find(',', p + 1);
                        if (q == std::string::npos || q > e)
                            q = e;
                        sum += StrToFloat(std::string_view(bytes).substr(p + 1, q - p - 1));
                        p = q < e ? q : std::string::npos;
                    }
                }
                b = e + 2;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReadAndParseBaseline)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_CliJudgeJson(benchmark::State& state)
{
    const OfficeWorkbook& w = Files();
    const fs::path cli = CliPath();
    if (!fs::exists(cli)) {
        state.SkipWithError("trevolo-cli is not built beside the benchmark");
        return;
    }
    // The sheets judged at once (-j): one, then one per core of this machine.
    std::vector<std::string> args = {cli.string(), "judge", "--json", "-j", std::to_string(state.range(0))};
    args.insert(args.end(), w.files().begin(), w.files().end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    double cpu = 0, peak = 0;
    int runs = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            state.SkipWithError("trevolo-cli could not be started");
            return;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) == 2) {
            state.SkipWithError("trevolo-cli failed");
            return;
        }
        cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        peak = std::max(peak, static_cast<double>(usage.ru_maxrss) / 1024.0);  // ru_maxrss is in KiB
        ++runs;
    }
    state.counters["cpu_s"] = runs ? cpu / runs : 0;
    state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_CliJudgeJson)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
