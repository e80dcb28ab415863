// The plant board against a private PostgreSQL server that this program
// starts (scripts/pg-test-server.sh), holding 1000 characteristics of 10
// lots each and one of 1000 lots with control limits:
//   - the overview page (target under 100 ms) and the page of the
//     characteristic of 1000 lots with ?lots=1000 (under 100 ms), asked
//     again unchanged and made afresh after a lot arrived, against the
//     baseline of a static file over the same connection;
//   - 200 pages following the live events while 10 lots a second are
//     published to characteristics in turn: every page must see every lot
//     within 1 s at the 99th percentile (p99_ms, max_ms; missed counts the
//     events a page never saw), and the whole process, board and clients,
//     stays under 200 MB (peak_rss_mb).
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "board/board_server.h"
#include "store/plant_store.h"

namespace {

using namespace trevolo;
using Clock = std::chrono::steady_clock;

constexpr int kCharacteristics = 1000;
constexpr int kLotsEach = 10;
constexpr int kBigLots = 1000;
constexpr int kPages = 200;
constexpr int kLotsPerSecond = 10;
constexpr int kSeconds = 10;

const Specification kSpec{"mm", "両側規格", "3", "10.5", "9.5"};

StoredLot Lot(int i, int values)
{
    StoredLot l;
    l.id = NewLotId();
    l.label = "L" + std::to_string(i);
    for (int k = 0; k < values; ++k)
        l.values += (k ? "," : "") + std::to_string(9.9 + 0.2 * ((i * 7 + k * 3) % 11) / 10.0);
    l.valueCount = values;
    l.station = "st" + std::to_string(i % 8);
    l.operatorName = "op";
    l.publishedAt = StationNowMillis();
    l.orderKey = l.publishedAt * 1000 + i;
    return l;
}

Characteristic Nth(int i)
{
    return {"品種" + std::to_string(i / 100), "工程" + std::to_string(i / 10 % 10), "装置", "項目" + std::to_string(i)};
}

// The server, the store and the board, made once for the whole run.
struct Board {
    QTemporaryDir dir;
    std::string state;
    StoreLocation where;
    std::unique_ptr<BoardServer> server;
    std::int64_t bigId = 0;
    bool ok = false;

    Board()
    {
        state = (dir.path() + "/server").toStdString();
        if (QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT), {"start", QString::fromStdString(state)}) != 0)
            return;
        std::ifstream url(state + "/url");
        std::string text;
        std::getline(url, text);
        std::string error;
        if (!StoreLocation::parse(text, where, error))
            return;
        auto store = PlantStore::open(where, error);
        if (!store || !store->init())
            return;
        std::vector<LotBatch> batches;
        for (int c = 1; c < kCharacteristics; ++c) {
            LotBatch b{Nth(c), kSpec, {}};
            for (int i = 0; i < kLotsEach; ++i)
                b.lots.push_back(Lot(i, 5));
            batches.push_back(std::move(b));
        }
        LimitSet limits{"指定管理値", {"10.3", "10.2", "10.1", "9.7", "9.8", "9.9", "10.0", "0.5", "0.6", "0.55", "0.52"},
                        "bench", 0, 0, ""};
        LotBatch big{Nth(0), kSpec, {}};
        for (int i = 0; i < kBigLots; ++i)
            big.lots.push_back(Lot(i, 5));
        if (!store->publishLimits(Nth(0), limits) || !store->publish(batches) || !store->publish(big) ||
            !store->characteristicId(Nth(0), bigId))
            return;
        BoardServerOptions options;
        options.listen = "127.0.0.1:0";
        options.maxConnections = 1024;
        server = std::make_unique<BoardServer>(where, options);
        ok = server->start(error);
    }
    ~Board()
    {
        server.reset();
        QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT), {"stop", QString::fromStdString(state)});
    }
};

std::unique_ptr<Board>& BoardHolder()
{
    static std::unique_ptr<Board> board;
    return board;
}

Board& TheBoard()
{
    if (!BoardHolder())
        BoardHolder() = std::make_unique<Board>();
    return *BoardHolder();
}

// A connection to the board.
int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One GET over a kept connection; its status, the whole body read.
int Get(int fd, const std::string& target, std::string& buffer)
{
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: bench\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return 0;
    buffer.clear();
    size_t need = std::string::npos;
    char chunk[65536];
    while (need == std::string::npos || buffer.size() < need) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return 0;
        buffer.append(chunk, static_cast<size_t>(n));
        const size_t end = buffer.find("\r\n\r\n");
        const size_t cl = buffer.find("Content-Length: ");
        if (need == std::string::npos && end != std::string::npos && cl < end)
            need = end + 4 + std::stoul(buffer.substr(cl + 16));
    }
    return std::stoi(buffer.substr(9, 3));
}

// GETs of target over one kept connection. With changeFirst, a lot is
// published before each (untimed) to characteristic changed(i), so each
// page is made afresh after a change, as while lots arrive; else the page
// made by first, untimed GETs is asked for again.
void GetLoop(benchmark::State& state, const std::string& target, int (*changed)(int) = nullptr)
{
    Board& board = TheBoard();
    if (!board.ok) {
        state.SkipWithError("no board");
        return;
    }
    std::string error;
    auto store = PlantStore::open(board.where, error);
    const int fd = Connect(board.server->port());
    std::string buffer;
    // Each page thread keeps pages of its own: every one of them makes the
    // page once before the timing starts.
    for (int warm = 0; warm < 2 * BoardServerOptions{}.threads; ++warm)
        Get(fd, target, buffer);
    int i = 0;
    for (auto _ : state) {
        if (changed) {
            state.PauseTiming();
            const int c = changed(i);
            if (!store->publish(LotBatch{Nth(c), kSpec, {Lot(5000 + i, 5)}}))
                state.SkipWithError(store->lastError().c_str());
            ++i;
            state.ResumeTiming();
        }
        if (Get(fd, target, buffer) != 200)
            state.SkipWithError(("status of " + target + ": " + buffer.substr(0, 12)).c_str());
    }
    state.counters["bytes"] = static_cast<double>(buffer.size());
    close(fd);
}

std::string BigPage()
{
    return "/c/" + std::to_string(TheBoard().bigId) + "?lots=1000";
}

void BM_Baseline(benchmark::State& state)
{
    GetLoop(state, "/static/board.js");
}
BENCHMARK(BM_Baseline)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Overview(benchmark::State& state)
{
    GetLoop(state, "/");
}
BENCHMARK(BM_Overview)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OverviewAfterALot(benchmark::State& state)
{
    GetLoop(state, "/", [](int i) { return 1 + i % (kCharacteristics - 1); });
}
BENCHMARK(BM_OverviewAfterALot)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CharacteristicPage1000Lots(benchmark::State& state)
{
    GetLoop(state, BigPage());
}
BENCHMARK(BM_CharacteristicPage1000Lots)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CharacteristicPage1000LotsAfterALot(benchmark::State& state)
{
    GetLoop(state, BigPage(), [](int) { return 0; });
}
BENCHMARK(BM_CharacteristicPage1000LotsAfterALot)->UseRealTime()->Unit(benchmark::kMillisecond);

// The peak resident memory of this process, in MB.
double PeakRssMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmHWM:"))
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void BM_LiveFanOut(benchmark::State& state)
{
    Board& board = TheBoard();
    if (!board.ok) {
        state.SkipWithError("no board");
        return;
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    std::string error;
    auto store = PlantStore::open(board.where, error);
    std::vector<std::int64_t> ids(kLotsPerSecond * kSeconds);
    for (size_t i = 0; i < ids.size(); ++i)
        store->characteristicId(Nth(static_cast<int>(i) + 1), ids[i]);
    for (auto _ : state) {
        std::vector<pollfd> pages;
        for (int i = 0; i < kPages; ++i) {
            const int fd = Connect(board.server->port());
            const std::string request = "GET /events HTTP/1.1\r\nHost: bench\r\n\r\n";
            send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            pages.push_back({fd, POLLIN, 0});
        }
        // When each characteristic's lot was stored, and when each page saw it.
        std::mutex mutex;
        std::map<std::int64_t, Clock::time_point> stored;
        std::vector<double> latencies;
        std::vector<std::string> got(kPages);
        std::atomic<bool> done{false};
        std::thread reader([&] {
            char chunk[16384];
            while (!done) {
                if (poll(pages.data(), pages.size(), 100) <= 0)
                    continue;
                const auto now = Clock::now();
                for (size_t p = 0; p < pages.size(); ++p) {
                    if (!(pages[p].revents & POLLIN))
                        continue;
                    const ssize_t n = recv(pages[p].fd, chunk, sizeof chunk, 0);
                    if (n <= 0) {
                        pages[p].fd = -pages[p].fd - 1;
                        continue;
                    }
                    got[p].append(chunk, static_cast<size_t>(n));
                    for (size_t at; (at = got[p].find("\"c\":")) != std::string::npos;) {
                        const std::int64_t c = std::stoll(got[p].substr(at + 4));
                        got[p].erase(0, at + 4);
                        std::lock_guard lock(mutex);
                        if (auto s = stored.find(c); s != stored.end())
                            latencies.push_back(std::chrono::duration<double, std::milli>(now - s->second).count());
                    }
                }
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto start = Clock::now();
        for (size_t i = 0; i < ids.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(1000 / kLotsPerSecond) * i);
            {
                std::lock_guard lock(mutex);
                stored[ids[i]] = Clock::now();
            }
            if (!store->publish(LotBatch{Nth(static_cast<int>(i) + 1), kSpec, {Lot(100 + static_cast<int>(i), 5)}}))
                state.SkipWithError(store->lastError().c_str());
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        done = true;
        reader.join();
        for (const pollfd& p : pages)
            close(p.fd >= 0 ? p.fd : -p.fd - 1);
        std::sort(latencies.begin(), latencies.end());
        const size_t expected = ids.size() * kPages;
        state.counters["p99_ms"] =
            latencies.empty() ? -1 : latencies[std::min(latencies.size() - 1, expected * 99 / 100)];
        state.counters["max_ms"] = latencies.empty() ? -1 : latencies.back();
        state.counters["missed"] = static_cast<double>(expected - std::min(expected, latencies.size()));
    }
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_LiveFanOut)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv)
{
    // Qt's SQL drivers are plugins of a Qt application.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The board's threads end while the application still runs.
    BoardHolder().reset();
    return 0;
}
