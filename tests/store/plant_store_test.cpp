// The plant store against a real PostgreSQL server (started by CTest) and an
// SQLite file: set-up, round trips, the station's ledger, the append-only
// rule, the audit chain, the outbox across a server stop and the live feed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include "store/live_feed.h"
#include "model/commatext.h"
#include "model/sheetio.h"
#include "store/outbox.h"
#include "store/outbox_forwarder.h"
#include "store/store_commands.h"
#include "store/store_schema.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

const Characteristic kShaft{"シャフト'A", "旋削 \"2\"", "NC-3", "外径"};
const Specification kSpec{"mm", "両側規格", "3", "10.050", "9.950"};

class PlantStoreTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        where = FreshStore(GetParam(), dir);
        std::string error;
        store = PlantStore::open(where, error);
        ASSERT_TRUE(store) << error;
    }
    QTemporaryDir dir;
    StoreLocation where;
    std::unique_ptr<PlantStore> store;
};

TEST_P(PlantStoreTest, InitTwiceIsHarmless)
{
    int applied = -1;
    ASSERT_TRUE(store->init(&applied)) << store->lastError();
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(ReadStoreSchemaVersion(store->database()), StoreSchemaVersion());
    EXPECT_TRUE(store->checkSchema());
}

// Every text comes back as it went in, whatever it holds; a batch sent again
// adds nothing; the list counts stations and lots; the limits in force are
// those that took effect by the newest lot.
TEST_P(PlantStoreTest, PublishAndOpenRoundTrip)
{
    LotBatch batch{kShaft, kSpec, {}};
    const std::vector<std::string> labels = {"'); DROP TABLE lot; --", "ロット\t1", "", "a,\"b\"", "%_"};
    for (size_t i = 0; i < labels.size(); ++i) {
        batch.lots.push_back(MakeLot(i % 2 ? "st1" : "st2", static_cast<int>(i)));
        batch.lots.back().label = labels[i];
    }
    batch.lots[1].enabled = false;
    int inserted = 0;
    ASSERT_TRUE(store->publish(batch, &inserted)) << store->lastError();
    EXPECT_EQ(inserted, 5);
    ASSERT_TRUE(store->publish(batch, &inserted)) << store->lastError();
    EXPECT_EQ(inserted, 0);

    LimitSet old{"三シグマ法", {"10.03", "", "", "9.97"}, "eng", batch.lots[0].publishedAt - 1000};
    LimitSet future{"指定管理値", {"99"}, "eng", batch.lots[0].publishedAt + 3600000};
    ASSERT_TRUE(store->publishLimits(kShaft, old)) << store->lastError();
    ASSERT_TRUE(store->publishLimits(kShaft, future)) << store->lastError();

    LotHistory h;
    ASSERT_TRUE(store->newestLots(kShaft, 3, h)) << store->lastError();
    ASSERT_EQ(h.lots.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const StoredLot& want = batch.lots[i + 2];
        EXPECT_EQ(h.lots[i].id, want.id);
        EXPECT_EQ(h.lots[i].label, want.label);
        EXPECT_EQ(h.lots[i].values, want.values);
        EXPECT_EQ(h.lots[i].station, want.station);
        EXPECT_GT(h.lots[i].receivedAt, 0);
    }
    ASSERT_TRUE(store->allLots(kShaft, h));
    ASSERT_EQ(h.lots.size(), 5u);
    EXPECT_EQ(h.lots[0].label, labels[0]);
    EXPECT_FALSE(h.lots[1].enabled);
    EXPECT_EQ(h.specification, kSpec);
    ASSERT_TRUE(h.hasLimits);
    EXPECT_EQ(h.limits.method, old.method);
    EXPECT_EQ(h.limits.values, old.values);
    std::vector<LimitSet> limits;
    ASSERT_TRUE(store->limitHistory(kShaft, limits));
    ASSERT_EQ(limits.size(), 2u);
    EXPECT_EQ(limits[1].method, future.method);

    std::vector<CharacteristicSummary> list;
    for (const auto& [search, count] :
         std::vector<std::pair<std::string, size_t>>{{"", 1}, {"外径", 1}, {"a", 1}, {"%", 0}, {"'); DROP", 0}}) {
        ASSERT_TRUE(store->characteristics(search, list)) << store->lastError();
        EXPECT_EQ(list.size(), count) << search;
    }
    ASSERT_TRUE(store->characteristics("", list));
    EXPECT_EQ(list[0].characteristic, kShaft);
    EXPECT_EQ(list[0].stations, 2);
    EXPECT_EQ(list[0].lots, 5);
}

// The station's ledger: a sheet published again sends nothing, an edited lot
// goes as a correction that supersedes, repeated labels stay apart.
TEST_P(PlantStoreTest, LedgerSkipsUnchangedAndSupersedes)
{
    std::string error;
    auto outbox = Outbox::open((dir.path() + "/outbox.sqlite").toStdString(), error);
    ASSERT_TRUE(outbox) << error;
    std::vector<SheetLot> sheet = {{"L1", true, "1,2", 2, 0}, {"L1", true, "3,4", 2, 1}, {"", true, "5,6", 2, 2}};
    const Publisher me{"st1", "op"};
    struct Step {
        const char* what;
        int edit;  // row changed before publishing, -1 for none
        int queued;
    };
    for (const Step& step : {Step{"first", -1, 3}, Step{"again", -1, 0}, Step{"edited", 1, 1}, Step{"again", -1, 0}}) {
        if (step.edit >= 0)
            sheet[static_cast<size_t>(step.edit)].values = "3,9";
        int queued = -1;
        ASSERT_TRUE(outbox->queue(kShaft, kSpec, "sheet", sheet, me, &queued)) << outbox->lastError();
        EXPECT_EQ(queued, step.queued) << step.what;
        ASSERT_TRUE(ForwardOutbox(*outbox, where, nullptr, error)) << error;
        EXPECT_EQ(outbox->pending(), 0);
    }
    // Another scope (the sheet published again by a new run of the window)
    // sends the lots it never corrected again: the store keeps each once.
    int queued = -1;
    ASSERT_TRUE(outbox->queue(kShaft, kSpec, "next run", {sheet[0], sheet[2]}, me, &queued)) << outbox->lastError();
    EXPECT_EQ(queued, 2);
    ASSERT_TRUE(ForwardOutbox(*outbox, where, nullptr, error)) << error;
    LotHistory h;
    ASSERT_TRUE(store->allLots(kShaft, h));
    ASSERT_EQ(h.lots.size(), 3u);
    EXPECT_EQ(h.lots[1].values, "3,9");
    EXPECT_FALSE(h.lots[1].supersedes.empty());
    std::vector<StoredLot> all;
    ASSERT_TRUE(store->lotsAfter(h.characteristicId, 0, all));
    EXPECT_EQ(all.size(), 4u);
    // Edited back to its first values: a correction of its own all the same.
    sheet[1].values = "3,4";
    ASSERT_TRUE(outbox->queue(kShaft, kSpec, "sheet", sheet, me, &queued)) << outbox->lastError();
    ASSERT_TRUE(ForwardOutbox(*outbox, where, nullptr, error)) << error;
    ASSERT_TRUE(store->allLots(kShaft, h));
    EXPECT_EQ(h.lots[1].values, "3,4");
    // Relabelled in its row with its values unchanged: the same lot, sent
    // as its correction, never as a copy.
    sheet[2].label = "K3";
    ASSERT_TRUE(outbox->queue(kShaft, kSpec, "sheet", sheet, me, &queued)) << outbox->lastError();
    EXPECT_EQ(queued, 1);
    ASSERT_TRUE(ForwardOutbox(*outbox, where, nullptr, error)) << error;
    ASSERT_TRUE(store->allLots(kShaft, h));
    ASSERT_EQ(h.lots.size(), 3u);
    EXPECT_EQ(h.lots[2].label, "K3");
}

// Stored rows are never changed: not by the owner, not by any role.
TEST_P(PlantStoreTest, StoredRowsCannotBeChanged)
{
    LotBatch batch{kShaft, kSpec, {MakeLot("st1", 1)}};
    ASSERT_TRUE(store->publish(batch));
    ASSERT_TRUE(store->publishLimits(kShaft, LimitSet{"三シグマ法", {"1"}, "eng", 0}));
    const bool pg = GetParam() == Engine::Postgres;
    struct Case {
        const char* role;  // "" for the owner
        const char* sql;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {"", "UPDATE lot SET vals = '0'", false},
        {"", "DELETE FROM lot", false},
        {"", "UPDATE limit_set SET vals = '0'", false},
        {"", "DELETE FROM audit", false},
        {"trevolo_inspector", "UPDATE lot SET vals = '0'", false},
        {"trevolo_inspector", "DELETE FROM lot", false},
        {"trevolo_inspector", "UPDATE limit_set SET vals = '0'", false},
        {"trevolo_inspector", "DELETE FROM limit_set", false},
        {"trevolo_inspector",
         "INSERT INTO limit_set (characteristic_id, method, vals, set_by, effective_from, "
         "received_at, received_by) VALUES (1, 'x', '', 'i', 0, 0, 'i')",
         false},
        {"trevolo_engineer", "DELETE FROM limit_set", false},
        // Audit rows are the server's alone to write.
        {"trevolo_inspector", "INSERT INTO audit (tbl, row_key, row_hash, chain_hash) VALUES ('lot', 'x', 'h', 'c')",
         false},
        {"trevolo_engineer", "INSERT INTO audit (tbl, row_key, row_hash, chain_hash) VALUES ('lot', 'x', 'h', 'c')",
         false},
        // A lot written by hand claims another sender and the year 1970:
        // it is kept, but under the server's word for both.
        {"trevolo_inspector",
         "INSERT INTO lot (seq, id, characteristic_id, label, enabled, vals, value_count, station, operator, "
         "order_key, published_at, received_at, received_by) VALUES (-5, 'forged', 1, 'F', 1, '1', 1, 's', 'o', 1, "
         "1, 0, 'trevolo_engineer')",
         true},
        {"trevolo_auditor", "INSERT INTO characteristic (product, process, machine, item) VALUES ('a','b','c','d')",
         false},
        {"trevolo_inspector", "SELECT COUNT(*) FROM lot", true},
        {"trevolo_auditor", "SELECT COUNT(*) FROM audit", true},
    };
    for (const Case& c : cases) {
        if (*c.role && !pg)
            continue;
        const std::string error = *c.role ? Exec(where, {"SET ROLE " + std::string(c.role), c.sql})
                                          : Exec(where, {c.sql});
        EXPECT_EQ(error.empty(), c.allowed) << c.role << ": " << c.sql << ": " << error;
    }
    if (pg) {
        std::vector<StoredLot> lots;
        ASSERT_TRUE(store->lotsAfter(1, 0, lots));
        ASSERT_EQ(lots.size(), 2u);
        EXPECT_EQ(lots[1].receivedBy, "trevolo_inspector");
        EXPECT_GT(lots[1].seq, lots[0].seq);
        EXPECT_GT(lots[1].receivedAt, lots[0].receivedAt - 60000);
    }
    AuditReport report;
    ASSERT_TRUE(store->verify(report));
    EXPECT_TRUE(report.intact()) << report.problems.front();
}

// A row changed behind the store's back (its guard taken off first) makes
// the check fail, naming the row.
TEST_P(PlantStoreTest, VerifyNamesChangedRow)
{
    LotBatch batch{kShaft, kSpec, {MakeLot("st1", 1), MakeLot("st1", 2), MakeLot("st1", 3)}};
    ASSERT_TRUE(store->publish(batch));
    AuditReport report;
    ASSERT_TRUE(store->verify(report));
    EXPECT_TRUE(report.intact());
    EXPECT_EQ(report.rowsChecked, 5);  // the characteristic, its specification, three lots

    const std::string& victim = batch.lots[1].id;
    const std::string unguard = GetParam() == Engine::Postgres ? "ALTER TABLE lot DISABLE TRIGGER USER"
                                                               : "DROP TRIGGER lot_no_update";
    ASSERT_EQ(Exec(where, {unguard, "UPDATE lot SET vals = '99.9' WHERE id = '" + victim + "'"}), "");
    ASSERT_TRUE(store->verify(report));
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("lot " + victim), std::string::npos) << report.problems[0];
}

// An Ed25519 private key made by the openssl command, as an auditor makes it.
std::string MakeKey(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    EXPECT_EQ(QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out", path}), 0);
    return path.toStdString();
}

// What someone with the database's files or its superuser can do: take the
// guards off, change a lot, and write every hash of the chain anew from its
// entry on.
void RewriteChain(const StoreLocation& where, const std::string& lotId)
{
    std::string error;
    QSqlDatabase db = OpenStoreConnection(where, error);
    ASSERT_TRUE(db.isValid()) << error;
    {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE lot SET vals = '99.9' WHERE id = '%1'").arg(lotId.c_str())));
        ASSERT_TRUE(q.exec(QStringLiteral(
                        "SELECT id, characteristic_id, supersedes, label, enabled, vals, value_count, station, "
                        "operator, order_key, published_at, received_at, received_by FROM lot WHERE id = '%1'")
                               .arg(lotId.c_str())) &&
                    q.next());
        std::vector<std::string> fields;
        for (int i = 0; i < 13; ++i)
            fields.push_back(q.value(i).toString().toStdString());
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE audit SET row_hash = '%1' WHERE row_key = '%2'")
                               .arg(AuditRowHash(fields).c_str(), lotId.c_str())));
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT seq, row_hash FROM audit ORDER BY seq")));
        std::vector<std::pair<QString, std::string>> rows;
        while (q.next())
            rows.emplace_back(q.value(0).toString(), q.value(1).toString().toStdString());
        std::string chain;
        for (const auto& [seq, rowHash] : rows) {
            chain = AuditChainHash(chain, rowHash);
            ASSERT_TRUE(q.exec(QStringLiteral("UPDATE audit SET chain_hash = '%1' WHERE seq = %2").arg(chain.c_str(), seq)));
        }
    }
    CloseStoreConnection(db);
}

// The chain is held against what was kept outside it: a checkpoint signed
// with the auditor's key, and the head a station saw after its writes.
// Without them a cut at the end or a chain written anew goes unseen; with
// either, each is named. A lot taken out of the middle with its audit entry
// is named by its id without them.
TEST_P(PlantStoreTest, VerifyHoldsTheChainToItsAnchors)
{
    const std::string auditorKey = MakeKey(dir, "auditor.pem"), otherKey = MakeKey(dir, "other.pem");
    std::string auditorPublic, error;
    ASSERT_TRUE(ReadPublicKey(auditorKey, auditorPublic, error)) << error;
    enum class Anchor { None, Checkpoint, StationHead, ForeignCheckpoint };
    struct Case {
        const char* tamper;  // "truncate", "rewrite", "middle" or "" for none
        Anchor anchor;
        const char* found;  // in the problems; "" when the check must pass
    };
    const bool pg = GetParam() == Engine::Postgres;
    const std::vector<std::string> unguard =
        pg ? std::vector<std::string>{"ALTER TABLE lot DISABLE TRIGGER USER", "ALTER TABLE audit DISABLE TRIGGER USER"}
           : std::vector<std::string>{"DROP TRIGGER lot_no_update", "DROP TRIGGER lot_no_delete",
                                      "DROP TRIGGER audit_no_update", "DROP TRIGGER audit_no_delete"};
    const std::vector<Case> cases = {
        {"", Anchor::Checkpoint, ""},
        {"truncate", Anchor::None, ""},
        {"truncate", Anchor::Checkpoint, "末尾から削除"},
        {"truncate", Anchor::StationHead, "末尾から削除"},
        {"rewrite", Anchor::None, ""},
        {"rewrite", Anchor::Checkpoint, "書き換えられています"},
        {"rewrite", Anchor::StationHead, "書き換えられています"},
        {"middle", Anchor::None, "が監査記録から削除されています"},
        {"", Anchor::ForeignCheckpoint, "署名を確認できません"},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.tamper) + " " + std::to_string(static_cast<int>(c.anchor));
        const StoreLocation at = FreshStore(GetParam(), dir);
        const std::string outboxPath = dir.filePath(QStringLiteral("ob%1.sqlite").arg(&c - cases.data())).toStdString();
        auto outbox = Outbox::open(outboxPath, error);
        ASSERT_TRUE(outbox) << error;
        ASSERT_TRUE(outbox->queue(kShaft, kSpec, "s", {{"L1", true, "1", 1, 0}, {"L2", true, "2", 1, 1}, {"L3", true, "3", 1, 2}},
                                  {"st1", "op"}));
        ASSERT_TRUE(ForwardOutbox(*outbox, at, nullptr, error)) << error;
        auto s = PlantStore::open(at, error);
        ASSERT_TRUE(s) << error;
        Checkpoint made;
        if (c.anchor == Anchor::Checkpoint || c.anchor == Anchor::ForeignCheckpoint) {
            ASSERT_TRUE(s->checkpoint(c.anchor == Anchor::Checkpoint ? auditorKey : otherKey, made)) << s->lastError();
        }
        LotHistory h;
        ASSERT_TRUE(s->allLots(kShaft, h));
        const std::string tamper = c.tamper, middle = h.lots[1].id;
        // The newest lot or one in the middle taken out with its audit entry.
        if (tamper == "truncate" || tamper == "middle") {
            const std::string victim = tamper == "middle" ? middle : h.lots[2].id;
            ASSERT_EQ(Exec(at, {unguard[0], unguard[1], unguard.back(), "DELETE FROM audit WHERE row_key = '" + victim + "'",
                                "DELETE FROM lot WHERE id = '" + victim + "'"}),
                      "");
        }
        if (tamper == "rewrite") {
            ASSERT_EQ(Exec(at, pg ? unguard : std::vector<std::string>{"DROP TRIGGER lot_no_update", "DROP TRIGGER audit_no_update"}), "");
            RewriteChain(at, middle);
        }
        VerifyOptions options;
        options.publicKey = auditorPublic;
        std::string storeId;
        ASSERT_TRUE(s->storeId(storeId));
        if (c.anchor == Anchor::StationHead) {
            ASSERT_TRUE(outbox->keptHeads(storeId, options.stationHeads));
        }
        AuditReport report;
        ASSERT_TRUE(s->verify(report, options)) << s->lastError();
        std::string all;
        for (const std::string& p : report.problems)
            all += p + "\n";
        if (!*c.found) {
            EXPECT_TRUE(report.intact()) << what << ": " << all;
            continue;
        }
        EXPECT_NE(all.find(c.found), std::string::npos) << what << ": " << all;
        if (tamper == "middle") {
            EXPECT_NE(all.find("lot " + middle), std::string::npos) << all;
        }
    }
}

// A lot published through one connection reaches a live feed within 1 s.
TEST_P(PlantStoreTest, LiveFeedGetsLotWithinOneSecond)
{
    LotBatch batch{kShaft, kSpec, {MakeLot("st1", 1)}};
    ASSERT_TRUE(store->publish(batch));
    LotHistory h;
    ASSERT_TRUE(store->newestLots(kShaft, 1000, h));
    std::vector<StoredLot> got;
    LiveFeed feed(where, h.characteristicId, h.lastSeq,
                  [&](const std::vector<StoredLot>& lots) { got.insert(got.end(), lots.begin(), lots.end()); });
    std::string error;
    ASSERT_TRUE(feed.start(error)) << error;
    QCoreApplication::processEvents();
    const LotBatch next{kShaft, kSpec, {MakeLot("st2", 2)}};
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(store->publish(next));
    while (got.empty() && clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, next.lots[0].id);
    EXPECT_LT(clock.elapsed(), 1000);
    if (GetParam() == Engine::Sqlite)
        return;

    // The feed's connection cut: a lot stored meanwhile arrives after the
    // feed connected again.
    ASSERT_EQ(Exec(where, {"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + where.database +
                           "' AND application_name = 'trevolo' AND pid <> pg_backend_pid()"}),
              "");
    store = PlantStore::open(where, error);
    const LotBatch missed{kShaft, kSpec, {MakeLot("st3", 3)}};
    ASSERT_TRUE(store->publish(missed)) << store->lastError();
    clock.restart();
    while (got.size() < 2 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].id, missed.lots[0].id);
}

// A sheet published and opened again comes back with its header and lots;
// a correction arriving live replaces its lot in place, a new lot joins at
// the end and the oldest leave beyond the limit.
TEST_P(PlantStoreTest, SheetRoundTripAndLiveArrivals)
{
    SheetRecord sheet;
    InitSheet(sheet, 1, InitialValues::Defaults(), 12, 3);
    sheet.product = kShaft.product, sheet.process = kShaft.process, sheet.machine = kShaft.machine;
    sheet.label = kShaft.item, sheet.upperSpec = "10.050", sheet.lowerSpec = "9.950";
    for (int r = 0; r < 12; ++r) {
        const std::vector<std::string> cells = {"10.00" + std::to_string(r % 10), "", "9.99" + std::to_string(r % 10)};
        sheet.dataList.push_back(r == 5 ? "K0006,,," : DataLineJoin(DefaultLotLabel(r + 1), cells.data(), 3));
        sheet.checkList.push_back(r == 3 ? "0" : "1");
    }
    PublishReport report;
    ASSERT_TRUE(PublishSheets({sheet}, {"s1"}, where, (dir.path() + "/ob.sqlite").toStdString(), {"st1", "op"},
                              report));
    EXPECT_TRUE(report.reached) << report.message;
    EXPECT_EQ(report.sent, 11);  // the empty lot stays out

    SheetRecord opened;
    LotHistory h;
    std::string error;
    ASSERT_TRUE(OpenCharacteristic(where, kShaft, opened, h, error)) << error;
    EXPECT_EQ(CharacteristicOf(opened), kShaft);
    EXPECT_EQ(SpecificationOf(opened), SpecificationOf(sheet));
    ASSERT_EQ(opened.lots, 11);
    EXPECT_EQ(opened.n, 3);
    EXPECT_EQ(opened.dataList[0], sheet.dataList[0]);
    EXPECT_EQ(opened.dataList[10], sheet.dataList[11]);
    EXPECT_EQ(opened.checkList[3], "0");

    StoredLot fix = h.lots[2], fresh = h.lots[10];
    fix.id = "fix", fix.supersedes = h.lots[2].id, fix.values = "1,2,3", fix.seq = h.lastSeq + 1;
    fresh.id = "new", fresh.orderKey += 1, fresh.seq = h.lastSeq + 2;
    ApplyArrivals(h, {fix, fresh}, 11);
    ASSERT_EQ(h.lots.size(), 11u);
    EXPECT_EQ(h.lots[1].id, "fix");  // the oldest lot left
    EXPECT_EQ(h.lots[10].id, "new");
    EXPECT_EQ(h.lastSeq, fresh.seq);
}

INSTANTIATE_TEST_SUITE_P(Engines, PlantStoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

// A login given no store role is told which right it lacks; a connection
// cut before a publish is told as lost, with the server's reason, and not
// as a store never set up.
TEST(PlantStoreMessages, TellWhatWentWrong)
{
    const StoreLocation where = FreshDatabase();
    std::string error;
    auto owner = PlantStore::open(where, error);
    ASSERT_TRUE(owner && owner->init()) << error;
    StoreLocation plain = where;
    plain.user = "plain" + std::to_string(getpid());
    ASSERT_EQ(Exec(where, {"CREATE ROLE " + plain.user + " LOGIN"}), "");
    auto stranger = PlantStore::open(plain, error);
    ASSERT_TRUE(stranger) << error;
    EXPECT_FALSE(stranger->checkSchema());
    for (const char* word : {"権限がありません", "schema_version", "SELECT"})
        EXPECT_NE(stranger->lastError().find(word), std::string::npos) << stranger->lastError();

    auto station = PlantStore::open(where, error);
    ASSERT_TRUE(station && station->checkSchema()) << error;
    ASSERT_EQ(Exec(where, {"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + where.database +
                           "' AND pid <> pg_backend_pid()"}),
              "");
    EXPECT_FALSE(station->publish(LotBatch{kShaft, kSpec, {MakeLot("st1", 1)}}));
    EXPECT_NE(station->lastError().find("接続が切れました"), std::string::npos) << station->lastError();
    EXPECT_FALSE(station->checkSchema());
    EXPECT_NE(station->lastError().find("接続が切れました"), std::string::npos) << station->lastError();
    EXPECT_EQ(station->lastError().find("store init"), std::string::npos) << station->lastError();
}

// The server of its own is stopped, 100 lots are published, the server is
// started again: all 100 arrive.
TEST(OutboxTest, LotsWaitForTheServer)
{
    QTemporaryDir dir;
    const std::string state = (dir.path() + "/server").toStdString();
    auto server = [&](const char* action) {
        return QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT),
                                 {QString::fromLatin1(action), QString::fromStdString(state)});
    };
    ASSERT_EQ(server("start"), 0);
    struct Stop {
        std::function<int(const char*)> f;
        ~Stop() { f("stop"); }
    } stop{server};
    const StoreLocation where = FreshDatabase(state);
    std::string error;
    ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    auto outbox = Outbox::open((dir.path() + "/outbox.sqlite").toStdString(), error);
    ASSERT_TRUE(outbox) << error;

    ASSERT_EQ(server("pause"), 0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(outbox->queue(kShaft, kSpec, "", {{"lot" + std::to_string(i), true, "1.5", 1, i}}, {"st1", "op"}));
        EXPECT_FALSE(ForwardOutbox(*outbox, where, nullptr, error));
    }
    EXPECT_NE(error.find("接続できません"), std::string::npos) << error;
    EXPECT_EQ(outbox->pending(), 100);

    // The station's regular forwarding sends them once the server is back.
    std::atomic<std::int64_t> waiting{-2};
    OutboxForwarder forwarder(where, (dir.path() + "/outbox.sqlite").toStdString(), std::chrono::milliseconds(200),
                              [&](std::int64_t n, bool) { waiting = n; });
    ASSERT_EQ(server("resume"), 0);
    QElapsedTimer clock;
    clock.start();
    while (waiting != 0 && clock.elapsed() < 20000)
        QThread::msleep(50);
    EXPECT_EQ(waiting, 0);
    EXPECT_EQ(outbox->pending(), 0);
    auto store = PlantStore::open(where, error);
    LotHistory h;
    ASSERT_TRUE(store->allLots(kShaft, h));
    EXPECT_EQ(h.lots.size(), 100u);
}

// The open dialog's search finds a name typed in either width and case.
TEST_P(PlantStoreTest, SearchMatchesBothWidths)
{
    for (const Characteristic& c : {Characteristic{"シャフト", "旋削", "NC-3", "外径"},
                                    Characteristic{"ギア", "研削", "ＭＣ－１", "歯幅"}})
        ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {MakeLot("st1", 1)}})) << store->lastError();
    const std::pair<const char*, size_t> cases[] = {{"ｼｬﾌﾄ", 1}, {"ＮＣ", 1}, {"ｷﾞｱ", 1}, {"mc-1", 1}, {"", 2}, {"ﾎﾞﾙﾄ", 0}};
    for (const auto& [search, count] : cases) {
        std::vector<CharacteristicSummary> found;
        ASSERT_TRUE(store->characteristics(search, found)) << store->lastError();
        EXPECT_EQ(found.size(), count) << search;
    }
}

// A sheet with lots but an empty name of its characteristic is refused,
// naming just the empty fields, and nothing is queued or stored.
TEST(PlantStorePublish, SheetWithoutCharacteristicIsRefused)
{
    QTemporaryDir dir;
    const StoreLocation where = FreshStore(Engine::Sqlite, dir);
    const std::string outbox = (dir.path() + "/outbox.sqlite").toStdString();
    const std::pair<Characteristic, const char*> cases[] = {
        {{"", "", "", "Sheet1"}, "「品種名称」・「工程名称」・「装置名称」が"}, {{"シャフト", "旋削", " ", "外径"}, "「装置名称」が"}};
    for (const auto& [c, named] : cases) {
        SheetRecord s;
        s.product = c.product, s.process = c.process, s.machine = c.machine, s.label = c.item, s.lots = 10, s.n = 1;
        s.dataList = {"K0001,10.01"};
        PublishReport report;
        EXPECT_FALSE(PublishSheets({s}, {}, where, outbox, {"st1", "op"}, report));
        EXPECT_NE(report.message.find(named), std::string::npos) << report.message;
        EXPECT_EQ(WaitingLots(outbox), 0);
    }
    std::string error;
    std::vector<CharacteristicSummary> found;
    ASSERT_TRUE(ListCharacteristics(where, "", found, error)) << error;
    EXPECT_TRUE(found.empty());
}

}  // namespace
}  // namespace trevolo::test
