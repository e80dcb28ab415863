// Rule settings, notes, cause and action lists and limit revisions in the
// plant store, on PostgreSQL and SQLite.
#include <gtest/gtest.h>

#include <functional>

#include "stats/control_limits.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

const Characteristic kShaft{"シャフト", "旋削", "NC-3", "外径"};
using Kind = ReasonList::Kind;
using Entries = std::vector<std::string>;

LimitSet Limits(const std::string& centre)
{
    LimitSet s;
    s.method = "指定管理値", s.values[LimitXcl] = centre;
    return s;
}

class PlantWatchTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        where = FreshStore(GetParam(), dir);
        std::string error;
        store = PlantStore::open(where, error);
        ASSERT_TRUE(store && store->publishLimits(kShaft, Limits("10")) && store->publish(batch)) << error;
    }
    std::int64_t auditRows()
    {
        QSqlQuery q(store->database());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM audit")) && q.next() ? q.value(0).toLongLong() : -1;
    }
    QTemporaryDir dir;
    StoreLocation where;
    std::unique_ptr<PlantStore> store;
    LotBatch batch{kShaft, {}, {MakeLot("st1", 1), MakeLot("st1", 2)}};
};

// Only an engineer's login may keep lists, rule settings and limits: the
// database refuses an inspector's with a clear message and nothing is
// stored. Notes and lists carry the store's time and writer, whatever the
// client claims. A revision leaves earlier lots the limits they had.
TEST_P(PlantWatchTest, TheDatabaseDecidesWhoWritesAndVouchesForWhoAndWhen)
{
    const bool pg = GetParam() == Engine::Postgres;
    for (const std::string role : {"trevolo_engineer", "trevolo_inspector"}) {
        StoreLocation login = where;
        if (pg) {
            login.user = role.substr(8) + std::to_string(getpid());
            ASSERT_EQ(Exec(where, {"CREATE ROLE " + login.user + " LOGIN IN ROLE " + role}), "");
        } else if (role != "trevolo_engineer") {
            continue;  // the embedded engine has no roles
        }
        std::string why;
        auto as = PlantStore::open(login, why);
        ASSERT_TRUE(as) << why;
        const bool engineer = role == "trevolo_engineer";
        EXPECT_EQ(as->mayEngineer(why), engineer);
        EXPECT_EQ(why, engineer ? "" : "管理限界の改訂は技術者ロール（trevolo_engineer）のみ行えます。");
        const ReasonList forged{Kind::Cause, "", {"刃具摩耗"}, "偽名", 1};  // claims a writer and a time
        const std::vector<std::pair<std::function<bool()>, const char*>> writes = {
            {[&] { return as->setReasonList(forged); }, "原因・処置リストの変更は"},
            {[&] { return as->setRuleSetting(kShaft, DefaultRuleSetting()); }, "判定ルールの変更は"},
            {[&] { return as->reviseLimits(kShaft, Limits("9"), "工程改善"); }, "管理限界の改訂は"},
            {[&] { return as->addNote(batch.lots[1].id, " 測定器交換 "); }, nullptr},
        };
        const std::int64_t before = StationNowMillis() - 1000;
        for (const auto& [write, refusal] : writes) {
            const std::int64_t rows = auditRows();
            EXPECT_EQ(write(), engineer || !refusal) << role << ": " << as->lastError();
            if (!engineer && refusal) {
                EXPECT_NE(as->lastError().find(refusal), std::string::npos) << as->lastError();
                EXPECT_EQ(auditRows(), rows);
            }
        }
        ReasonList causes, actions;
        std::vector<LotNote> notes;
        std::int64_t cid = 0;
        ASSERT_TRUE(as->reasonLists("", causes, actions) && as->characteristicId(kShaft, cid) && as->notes(cid, notes));
        const std::string writer = pg ? login.user : CurrentPublisher().operatorName;
        EXPECT_EQ(notes.back().text + " " + notes.back().writtenBy, "測定器交換 " + writer);
        EXPECT_GE(notes.back().writtenAt, before);
        if (engineer) {
            EXPECT_EQ(causes.setBy, writer);
            EXPECT_GE(causes.receivedAt, before);
        }
    }
    std::vector<LimitSet> history;
    LotHistory earlier, later;
    ASSERT_TRUE(store->limitHistory(kShaft, history) && store->newestLots(kShaft, 2, earlier));
    ASSERT_TRUE(store->publish(LotBatch{kShaft, {}, {MakeLot("st2", 3)}}) && store->newestLots(kShaft, 1, later));
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].reason + "|" + history[1].reason, "|工程改善");
    EXPECT_EQ(earlier.limits.values[LimitXcl] + "|" + later.limits.values[LimitXcl], "10|9");
    AuditReport report;
    ASSERT_TRUE(store->verify(report)) << store->lastError();
    EXPECT_TRUE(report.intact()) << report.problems.front();
}

TEST_P(PlantWatchTest, WrongInputStoresNothing)
{
    const std::vector<std::tuple<std::function<bool()>, const char*>> bad = {
        {[&] { return store->addNote("no-such-lot", "x"); }, "ストアにありません"},
        {[&] { return store->addNote(batch.lots[0].id, "　 \t"); }, "メモが空です"},
        {[&] {
             return store->setReasonList({Kind::Action, "", {" "}, "", 0});
         },
         "空の項目"},
        {[&] { return store->reviseLimits(kShaft, Limits("9"), " "); }, "理由を入力"},
        {[&] { return store->reviseLimits(kShaft, Limits("9,5"), "r"); }, "数値ではありません"},
    };
    const std::int64_t rows = auditRows();
    for (const auto& [act, says] : bad) {
        EXPECT_FALSE(act()) << says;
        EXPECT_NE(store->lastError().find(says), std::string::npos) << store->lastError();
    }
    EXPECT_EQ(auditRows(), rows);
}

// A product's own list wins over the plant's, however new the plant's; an
// empty list hands the product back to the plant's.
TEST_P(PlantWatchTest, ProductListBeatsPlantList)
{
    const auto set = [&](Kind kind, const std::string& product, const Entries& entries) {
        return store->setReasonList({kind, product, entries, "", 0});
    };
    ASSERT_TRUE(set(Kind::Cause, "", {"P1"}) && set(Kind::Cause, "シャフト", {"S1", "a,\"b\""}) &&
                set(Kind::Action, "", {"A1"}) && set(Kind::Cause, "ギア", {"G1"}) && set(Kind::Cause, "", {"P2"}) &&
                set(Kind::Cause, "ギア", {}))
        << store->lastError();
    for (const auto& [product, entries, from] : std::vector<std::tuple<std::string, Entries, std::string>>{
             {"シャフト", {"S1", "a,\"b\""}, "シャフト"}, {"ギア", {"P2"}, ""}, {"", {"P2"}, ""}}) {
        ReasonList causes, actions;
        ASSERT_TRUE(store->reasonLists(product, causes, actions)) << store->lastError();
        EXPECT_EQ(causes.entries, entries) << product;
        EXPECT_EQ(causes.product, from) << product;
        EXPECT_EQ(actions.entries, Entries{"A1"}) << product;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, PlantWatchTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace trevolo::test
