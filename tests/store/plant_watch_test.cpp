// Rule settings, notes, cause and action lists and limit revisions in the
// plant store, on PostgreSQL and SQLite: who and when are the store's word,
// wrong input stores nothing, a product's list beats the plant's, a revision
// leaves earlier lots their limits, and only an engineer's login may keep
// lists, rule settings and limits.
#include <gtest/gtest.h>

#include <functional>

#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

const Characteristic kShaft{"シャフト", "旋削", "NC-3", "外径"};
const Specification kSpec{"mm", "両側規格", "3", "10.050", "9.950"};
using Kind = ReasonList::Kind;

ReasonList List(Kind kind, const std::string& product, std::vector<std::string> entries)
{
    ReasonList l;
    l.kind = kind;
    l.product = product;
    l.entries = std::move(entries);
    return l;
}

LimitSet Limits(const std::string& method, const std::string& centre)
{
    LimitSet s;
    s.method = method;
    s.values[0] = centre;
    return s;
}

std::int64_t AuditRows(PlantStore& store)
{
    QSqlQuery q(store.database());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM audit")) && q.next() ? q.value(0).toLongLong() : -1;
}

class PlantWatchTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        where = FreshStore(GetParam(), dir);
        std::string error;
        store = PlantStore::open(where, error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->publishLimits(kShaft, Limits("三シグマ法", "10"))) << store->lastError();
        ASSERT_TRUE(store->publish(batch)) << store->lastError();
    }
    QTemporaryDir dir;
    StoreLocation where;
    std::unique_ptr<PlantStore> store;
    LotBatch batch{kShaft, kSpec, {MakeLot("st1", 1), MakeLot("st1", 2)}};
};

TEST_P(PlantWatchTest, WritesCarryTheStoresWordAndBadInputStoresNothing)
{
    const std::int64_t before = StationNowMillis() - 1000;
    RuleSetting rules = DefaultRuleSetting();
    rules.options.setCheck(4, false);
    rules.options.sameSideRun = 7;
    rules.spread = "S";
    rules.setBy = "偽名";
    rules.receivedAt = 1;
    ASSERT_TRUE(store->setRuleSetting(kShaft, rules)) << store->lastError();
    LotNote note;
    ASSERT_TRUE(store->addNote(batch.lots[0].id, " 工具交換 ", &note)) << store->lastError();
    ASSERT_TRUE(store->setReasonList({Kind::Cause, "", {"刃具摩耗", "材料, \"ロット\""}, "偽名", 1}));

    RuleSetting back;
    bool stored = false;
    ASSERT_TRUE(store->ruleSetting(kShaft, back, &stored));
    EXPECT_TRUE(stored);
    EXPECT_EQ(back.options, rules.options);
    EXPECT_EQ(back.spread, "S");
    std::vector<LotNote> notes;
    ASSERT_TRUE(store->notes(note.characteristicId, notes));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].text, "工具交換");
    EXPECT_EQ(notes[0].lotId, batch.lots[0].id);
    ReasonList causes, actions;
    ASSERT_TRUE(store->reasonLists("ギア", causes, actions));
    EXPECT_EQ(causes.entries, (std::vector<std::string>{"刃具摩耗", "材料, \"ロット\""}));
    const std::string writer = GetParam() == Engine::Postgres ? where.user : CurrentPublisher().operatorName;
    for (const auto& [by, at] : {std::pair{back.setBy, back.receivedAt}, std::pair{notes[0].writtenBy, notes[0].writtenAt},
                                 std::pair{note.writtenBy, note.writtenAt}, std::pair{causes.setBy, causes.receivedAt}}) {
        EXPECT_EQ(by, writer);
        EXPECT_GE(at, before);
        EXPECT_LE(at, StationNowMillis() + 1000);
    }

    RuleSetting shortRun = rules;
    shortRun.options.sameSideRun = 3;
    RuleSetting badChart = rules;
    badChart.spread = "X";
    const LimitSet limits = Limits("指定管理値", "10.01");
    const std::vector<std::tuple<const char*, std::function<bool()>, const char*>> bad = {
        {"note on a lot never stored", [&] { return store->addNote("no-such-lot", "x"); }, "ストアにありません"},
        {"blank note", [&] { return store->addNote(batch.lots[0].id, "　 \t"); }, "メモが空です"},
        {"empty entry", [&] { return store->setReasonList(List(Kind::Cause, "", {"a", " "})); }, "空の項目"},
        {"entry twice", [&] { return store->setReasonList(List(Kind::Action, "", {"a", "a "})); }, "「a」が２つ"},
        {"run length not offered", [&] { return store->setRuleSetting(kShaft, shortRun); }, "設定値が異常"},
        {"unknown spread chart", [&] { return store->setRuleSetting(kShaft, badChart); }, "R・S・Rs"},
        {"revision without reason", [&] { return store->reviseLimits(kShaft, limits, " "); }, "理由を入力"},
        {"revision of an unknown characteristic",
         [&] { return store->reviseLimits({"x", "y", "z", "w"}, limits, "r"); }, "ストアにありません"},
    };
    const std::int64_t rows = AuditRows(*store);
    for (const auto& [what, act, says] : bad) {
        EXPECT_FALSE(act()) << what;
        EXPECT_NE(store->lastError().find(says), std::string::npos) << what << ": " << store->lastError();
    }
    EXPECT_EQ(AuditRows(*store), rows);
    AuditReport report;
    ASSERT_TRUE(store->verify(report)) << store->lastError();
    EXPECT_TRUE(report.intact()) << report.problems.front();
}

// A product's own list wins over the plant's, however new the plant's; an
// empty list hands the product back to the plant's.
TEST_P(PlantWatchTest, ProductListBeatsPlantList)
{
    for (const ReasonList& list : {List(Kind::Cause, "", {"P1"}), List(Kind::Cause, "シャフト", {"S1"}),
                                   List(Kind::Action, "", {"A1"}), List(Kind::Cause, "ギア", {"G1"}),
                                   List(Kind::Cause, "", {"P2"}), List(Kind::Cause, "ギア", {})})
        ASSERT_TRUE(store->setReasonList(list)) << store->lastError();
    for (const auto& [product, cause, from] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"シャフト", "S1", "シャフト"}, {"ギア", "P2", ""}, {"", "P2", ""}}) {
        ReasonList causes, actions;
        ASSERT_TRUE(store->reasonLists(product, causes, actions)) << store->lastError();
        EXPECT_EQ(causes.entries, std::vector<std::string>{cause}) << product;
        EXPECT_EQ(causes.product, from) << product;
        EXPECT_EQ(actions.entries, std::vector<std::string>{"A1"}) << product;
    }
}

// Lots published before a revision keep the set in force for them; the
// history shows both sets, the revised one with its reason.
TEST_P(PlantWatchTest, RevisionKeepsEarlierLimitsForEarlierLots)
{
    ASSERT_TRUE(store->reviseLimits(kShaft, Limits("指定管理値", "10.01"), "工程改善"))
        << store->lastError();
    std::vector<LimitSet> history;
    ASSERT_TRUE(store->limitHistory(kShaft, history));
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].reason, "");
    EXPECT_EQ(history[1].reason, "工程改善");
    EXPECT_GE(history[1].effectiveFrom, batch.lots.back().publishedAt);
    LotHistory h;
    ASSERT_TRUE(store->newestLots(kShaft, 2, h));
    EXPECT_EQ(h.limits.values[0], "10");
    ASSERT_TRUE(store->publish(LotBatch{kShaft, kSpec, {MakeLot("st2", 3)}})) << store->lastError();
    ASSERT_TRUE(store->newestLots(kShaft, 1, h));
    EXPECT_EQ(h.limits.values[0], "10.01");
    AuditReport report;
    ASSERT_TRUE(store->verify(report)) << store->lastError();
    EXPECT_TRUE(report.intact()) << report.problems.front();
}

// The database decides who keeps the lists, the rule settings and the
// limits: an inspector's login is refused with a clear message and stores
// nothing, but may add notes, which carry its name.
TEST_P(PlantWatchTest, OnlyAnEngineerKeepsListsRulesAndLimits)
{
    if (GetParam() != Engine::Postgres)
        GTEST_SKIP() << "the embedded engine has no roles";
    for (const std::string role : {"trevolo_inspector", "trevolo_engineer"}) {
        StoreLocation login = where;
        login.user = role.substr(8) + std::to_string(getpid());
        ASSERT_EQ(Exec(where, {"CREATE ROLE " + login.user + " LOGIN IN ROLE " + role}), "");
        std::string why;
        auto as = PlantStore::open(login, why);
        ASSERT_TRUE(as) << why;
        const bool engineer = role == "trevolo_engineer";
        EXPECT_EQ(as->mayEngineer(why), engineer);
        EXPECT_EQ(why, engineer ? "" : "管理限界の改訂は技術者ロール（trevolo_engineer）のみ行えます。");
        const std::int64_t rows = AuditRows(*store);
        const std::vector<std::pair<std::function<bool()>, const char*>> writes = {
            {[&] { return as->setReasonList(List(Kind::Cause, "", {"刃具摩耗"})); }, "原因・処置リストの変更は技術者"},
            {[&] { return as->setRuleSetting(kShaft, DefaultRuleSetting()); }, "判定ルールの変更は技術者"},
            {[&] { return as->reviseLimits(kShaft, Limits("指定管理値", "9"), "r"); }, "管理限界の改訂は技術者"},
        };
        for (const auto& [act, refusal] : writes) {
            EXPECT_EQ(act(), engineer) << login.user << ": " << as->lastError();
            if (!engineer) {
                EXPECT_NE(as->lastError().find(refusal), std::string::npos) << as->lastError();
            }
        }
        EXPECT_EQ(AuditRows(*store) == rows, !engineer);
        LotNote note;
        ASSERT_TRUE(as->addNote(batch.lots[1].id, "測定器交換", &note)) << as->lastError();
        EXPECT_EQ(note.writtenBy, login.user);
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, PlantWatchTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace trevolo::test
