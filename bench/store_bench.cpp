// The plant store against a private PostgreSQL server that this program
// starts (scripts/pg-test-server.sh) and an SQLite file: publishing a full
// sheet (1000 lots x 100 values, target under 1 s) and opening the newest
// 1000 lots of a characteristic that holds 100,000 (target under 200 ms),
// checking the audit chain of that store (under 3 s) and making and
// checking a signed checkpoint of it (under 1 s). Every characteristic has
// control limits, so each publishing also runs the rules on the series.
// One lot published to the characteristic holding 100,000 lots: under 50 ms.
// The figures are wall-clock times: the work is the server's as much as
// ours. BM_Baseline is one round trip to the store.
#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "full_sheet.h"
#include "store/plant_store.h"
#include "store/store_commands.h"

namespace {

using namespace trevolo;

constexpr int kStoredLots = 100000;

// The server and the SQLite file, made once for the whole run.
struct Stores {
    QTemporaryDir dir;
    std::string state;
    StoreLocation pg, sqlite;
    std::string key;  // the auditor's Ed25519 key
    bool ok = false;

    Stores()
    {
        state = (dir.path() + "/server").toStdString();
        // A server that syncs every commit, as a plant's does.
        qputenv("TREVOLO_PG_DURABLE", "1");
        if (QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT), {"start", QString::fromStdString(state)}) != 0)
            return;
        QFile url(QString::fromStdString(state + "/url"));
        url.open(QIODevice::ReadOnly);
        std::string error;
        StoreLocation::parse(url.readAll().trimmed().toStdString(), pg, error);
        sqlite.engine = StoreEngine::Sqlite;
        sqlite.path = (dir.path() + "/plant.sqlite").toStdString();
        key = (dir.path() + "/auditor.pem").toStdString();
        ok = QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out",
                                                           QString::fromStdString(key)}) == 0 &&
             prepare(pg) && prepare(sqlite);
    }
    ~Stores() { QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT), {"stop", QString::fromStdString(state)}); }

    // The schema, and a characteristic with kStoredLots lots of 100 values
    // made by the engine itself, then a full sheet published on top.
    static bool prepare(const StoreLocation& where)
    {
        std::string error;
        auto store = PlantStore::open(where, error);
        if (!store || !store->init())
            return false;
        const SheetRecord sheet = bench::FullSheet(1, 7);
        LotBatch seed{{"bench", "open", "M1", "history"}, SpecificationOf(sheet), {}};
        if (!store->publish(seed))
            return false;
        // Lines of means and ranges of 100 values spread evenly over 9..11.
        LimitSet limits{"指定管理値",
                        {"10.173", "10.115", "10.058", "9.827", "9.885", "9.942", "10.0", "1.95", "2.01", "1.99",
                         "1.97"},
                        "bench", 0, 0, ""};
        for (const char* item : {"history", "full", "one"})
            if (!store->publishLimits({"bench", item == std::string("history") ? "open" : "publish", "M1", item},
                                      limits))
                return false;
        std::string values = SheetLotsOf(sheet)[0].values;
        QSqlQuery q(store->database());
        q.prepare(
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO lot (id, "
                "characteristic_id, label, enabled, vals, value_count, station, operator, order_key, published_at, "
                "received_at, received_by) SELECT 'bulk-' || CAST(i AS TEXT), 1, 'K' || CAST(i AS TEXT), 1, ?, 100, "
                "'st' || CAST(i % 200 AS TEXT), 'op', i, i, i, 'op' FROM n")
                .arg(kStoredLots - 1000));
        q.addBindValue(QString::fromStdString(values));
        // A bulk load is followed by fresh statistics, as the server's own
        // autovacuum gives them within a minute.
        if (!q.exec() || !q.exec(QStringLiteral("ANALYZE")))
            return false;
        return publishSheet(*store, {"bench", "open", "M1", "history"}, sheet);
    }

    static bool publishSheet(PlantStore& store, const Characteristic& c, const SheetRecord& sheet)
    {
        LotBatch batch{c, SpecificationOf(sheet), {}};
        const std::int64_t now = StationNowMillis();
        for (const SheetLot& l : SheetLotsOf(sheet)) {
            StoredLot lot;
            lot.id = NewLotId();
            lot.label = l.label;
            lot.enabled = l.enabled;
            lot.values = l.values;
            lot.valueCount = l.valueCount;
            lot.station = "bench";
            lot.operatorName = "op";
            lot.publishedAt = now;
            lot.orderKey = now * 1000 + l.row;
            batch.lots.push_back(std::move(lot));
        }
        return store.publish(batch);
    }
};

std::unique_ptr<Stores>& StoresHolder()
{
    static std::unique_ptr<Stores> stores;
    return stores;
}

Stores& TheStores()
{
    if (!StoresHolder())
        StoresHolder() = std::make_unique<Stores>();
    return *StoresHolder();
}

const StoreLocation& Where(const benchmark::State& state)
{
    return state.range(0) ? TheStores().pg : TheStores().sqlite;
}

// A connection to the store of the run's argument (1: PostgreSQL, 0:
// SQLite), or null with the benchmark skipped.
std::unique_ptr<PlantStore> OpenStore(benchmark::State& state)
{
    std::string error;
    auto store = TheStores().ok ? PlantStore::open(Where(state), error) : nullptr;
    if (!store)
        state.SkipWithError("no store");
    return store;
}

void BM_Baseline(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    for (auto _ : state) {
        QSqlQuery q(store->database());
        q.exec(QStringLiteral("SELECT 1"));
        benchmark::DoNotOptimize(q.next());
    }
}
BENCHMARK(BM_Baseline)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// One full sheet of new lots in one transaction, with its audit rows.
void BM_PublishFullSheet(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    const SheetRecord sheet = bench::FullSheet(1, 11);
    for (auto _ : state) {
        if (!Stores::publishSheet(*store, {"bench", "publish", "M1", "full"}, sheet))
            state.SkipWithError(store->lastError().c_str());
    }
}
BENCHMARK(BM_PublishFullSheet)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// One lot of 100 values in a transaction of its own: what each of a plant's
// stations sends once a minute.
void BM_PublishOneLot(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    SheetRecord sheet = bench::FullSheet(1, 13);
    sheet.lots = 1;
    for (auto _ : state) {
        if (!Stores::publishSheet(*store, {"bench", "publish", "M1", "one"}, sheet))
            state.SkipWithError(store->lastError().c_str());
    }
}
BENCHMARK(BM_PublishOneLot)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// One lot of 100 values added to the characteristic holding 100,000: the
// rules read back only the lots they can reach.
void BM_PublishOneLotTo100k(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    SheetRecord sheet = bench::FullSheet(1, 17);
    sheet.lots = 1;
    for (auto _ : state) {
        if (!Stores::publishSheet(*store, {"bench", "open", "M1", "history"}, sheet))
            state.SkipWithError(store->lastError().c_str());
    }
}
BENCHMARK(BM_PublishOneLotTo100k)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// The window's path: the sheet through the station's ledger and outbox, then
// forwarded (each round a changed sheet, so every lot goes as a correction).
void BM_PublishSheetThroughOutbox(benchmark::State& state)
{
    if (!TheStores().ok) {
        state.SkipWithError("no store");
        return;
    }
    const std::string outbox = (TheStores().dir.path() + "/outbox.sqlite").toStdString();
    unsigned seed = 100;
    for (auto _ : state) {
        state.PauseTiming();
        SheetArray sheets = {bench::FullSheet(1, ++seed)};
        // A sheet is published under its header's names.
        sheets[0].product = "bench";
        sheets[0].process = "outbox";
        sheets[0].machine = "M1";
        state.ResumeTiming();
        PublishReport report;
        if (!PublishSheets(sheets, {"bench"}, Where(state), outbox, {"bench", "op"}, report) || !report.reached)
            state.SkipWithError(report.message.c_str());
    }
}
BENCHMARK(BM_PublishSheetThroughOutbox)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// The newest 1000 lots of a characteristic holding 100,000, with the
// specification and limits in force, as the open dialog loads them.
void BM_OpenNewest1000Of100k(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    for (auto _ : state) {
        LotHistory h;
        if (!store->newestLots({"bench", "open", "M1", "history"}, 1000, h) || h.lots.size() != 1000)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(h.lots.data());
    }
}
BENCHMARK(BM_OpenNewest1000Of100k)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

// The whole audit chain of the store holding 100,000 lots, held against a
// checkpoint. PostgreSQL only: there the bulk-loaded lots joined the chain
// through the server's own trigger, as published lots do.
void BM_Verify100k(benchmark::State& state)
{
    auto store = OpenStore(state);
    Checkpoint c;
    if (!store)
        return;
    if (!store->checkpoint(TheStores().key, c)) {
        state.SkipWithError(store->lastError().c_str());
        return;
    }
    for (auto _ : state) {
        AuditReport report;
        if (!store->verify(report) || !report.intact() || report.rowsChecked < kStoredLots)
            state.SkipWithError("verify failed");
    }
}
BENCHMARK(BM_Verify100k)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// A checkpoint of the chain's head signed, stored, read back and its
// signature checked.
void BM_CheckpointMakeAndCheck(benchmark::State& state)
{
    auto store = OpenStore(state);
    if (!store)
        return;
    for (auto _ : state) {
        Checkpoint made;
        std::vector<Checkpoint> stored;
        if (!store->checkpoint(TheStores().key, made) || !store->checkpoints(stored) ||
            !CheckpointSignedBy(stored.back(), made.publicKey))
            state.SkipWithError(store->lastError().c_str());
    }
}
BENCHMARK(BM_CheckpointMakeAndCheck)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!TheStores().ok)
        std::fprintf(stderr, "store_bench: the stores could not be prepared\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StoresHolder().reset();  // the server is stopped while Qt still runs
    return 0;
}
