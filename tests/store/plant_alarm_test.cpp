// The alarms the run rules find where the lots meet: each lot against the
// limits in force for it, each alarm once whichever station completes it,
// written only by the publishing transaction, answered under the server's
// word, and held by the audit chain.
#include <QProcess>
#include <QThread>
#include <csignal>
#include <set>
#include <gtest/gtest.h>
#include <tuple>

#include "store/alarm_evaluation.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

const Specification kSpec{"mm", "両側規格", "1", "14.0", "6.0"};

// X lines of centre c and one sigma 1; the spread chart's lines are left
// blank, so only the X chart is judged.
LimitSet Lines(double c, std::int64_t from)
{
    LimitSet s;
    s.method = "指定管理値";
    const double x[] = {c + 3, c + 2, c + 1, c - 3, c - 2, c - 1, c};
    for (int i = 0; i < 7; ++i)
        s.values[i] = std::to_string(x[i]);
    s.setBy = "eng";
    s.effectiveFrom = from;
    return s;
}

StoredLot OneValue(const std::string& id, double x, std::int64_t at)
{
    StoredLot l;
    l.id = l.label = id;
    l.values = std::to_string(x);
    l.valueCount = 1;
    l.station = "st";
    l.operatorName = "op";
    l.publishedAt = at;
    l.orderKey = at;
    return l;
}

std::vector<Alarm> AlarmsOf(PlantStore& store, const Characteristic& c)
{
    std::vector<Alarm> all, out;
    EXPECT_TRUE(store.alarms(0, false, 0, all)) << store.lastError();
    for (Alarm& a : all)
        if (a.characteristic == c)
            out.push_back(std::move(a));
    return out;
}

std::vector<double> Repeat(std::vector<double> cycle, size_t n)
{
    std::vector<double> out;
    while (out.size() < n)
        out.push_back(cycle[out.size() % cycle.size()]);
    return out;
}

class PlantAlarmTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override
    {
        where = FreshStore(GetParam(), dir);
        std::string error;
        store = PlantStore::open(where, error);
        ASSERT_TRUE(store) << error;
    }
    QTemporaryDir dir;
    StoreLocation where;
    std::unique_ptr<PlantStore> store;
};

// One row per rule: lots published one at a time raise the rule's alarm at
// the lot completing its pattern. The same lots with the limits revised
// halfway (the later lots shifted with the lines) raise the same alarms,
// each judged against the set in force for its last lot.
TEST_P(PlantAlarmTest, RulesFireAgainstTheLimitsInForce)
{
    struct Row {
        int rule;
        std::vector<double> x;
        std::vector<std::tuple<int, size_t, size_t>> alarms;  // rule, last lot, lots
    };
    const std::vector<Row> rows = {
        {1, {13.5}, {{1, 0, 1}}},
        {2, Repeat({10.5}, 9), {{2, 8, 9}}},
        {3, {9.4, 9.6, 9.8, 10.0, 10.2, 10.4, 10.6}, {{3, 6, 7}}},
        {4, Repeat({9.5, 11.5}, 15), {{4, 14, 15}}},
        {5, {12.5, 12.5}, {{5, 1, 2}}},
        {6, Repeat({11.5}, 4), {{6, 3, 4}}},
        {7, Repeat({10.5, 10.5, 9.5, 9.5}, 15), {{7, 14, 15}}},
        // Eight beyond one sigma hold four of five on the way.
        {8, Repeat({11.5, 8.5}, 8), {{6, 3, 4}, {8, 7, 8}}},
    };
    const std::int64_t t0 = StationNowMillis() - 3600000;
    for (const Row& row : rows) {
        for (bool revised : {false, true}) {
            SCOPED_TRACE("rule " + std::to_string(row.rule) + (revised ? " revised" : ""));
            const Characteristic c{"rules", std::to_string(row.rule), revised ? "revised" : "one", "x"};
            const size_t half = row.x.size() / 2;
            ASSERT_TRUE(store->publishLimits(c, Lines(10, 0))) << store->lastError();
            if (revised) {
                ASSERT_TRUE(store->publishLimits(c, Lines(110, t0 + static_cast<std::int64_t>(half) * 1000 - 500)));
            }
            std::vector<LimitSet> sets;
            ASSERT_TRUE(store->limitHistory(c, sets));
            std::vector<std::string> ids;
            for (size_t i = 0; i < row.x.size(); ++i) {
                const double x = row.x[i] + (revised && i >= half ? 100 : 0);
                ids.push_back(NewLotId());
                ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue(ids[i], x, t0 + static_cast<std::int64_t>(i) * 1000)}}))
                    << store->lastError();
            }
            const std::vector<Alarm> found = AlarmsOf(*store, c);
            ASSERT_EQ(found.size(), row.alarms.size());
            for (size_t k = 0; k < found.size(); ++k) {
                const auto [rule, last, count] = row.alarms[k];
                EXPECT_EQ(found[k].rule, rule);
                EXPECT_EQ(found[k].side, 0);
                EXPECT_EQ(found[k].lotIds, std::vector<std::string>(ids.begin() + (last + 1 - count),
                                                                    ids.begin() + last + 1));
                EXPECT_EQ(found[k].lastLabel, ids[last]);
                EXPECT_EQ(found[k].limitSetSeq, sets[revised && last >= half ? 1 : 0].seq);
            }
        }
    }
}

// A lot that is off, a lot without limits in force and a correction start no
// alarm; the alarm list reads the open ones and the answers, and the answer
// carries the store's time; an unknown alarm is refused. The audit chain
// holds the alarms and answers and names a changed alarm.
TEST_P(PlantAlarmTest, AnswersAndTheAuditChain)
{
    const Characteristic c{"answers", "p", "m", "x"};
    const std::int64_t t0 = StationNowMillis() - 60000;
    ASSERT_TRUE(store->publishLimits(c, Lines(10, t0)));
    StoredLot off = OneValue("off", 13.5, t0 + 1);
    off.enabled = false;
    StoredLot early = OneValue("early", 13.5, t0 - 1);
    StoredLot first = OneValue("first", 10.0, t0 + 2);
    StoredLot fix = OneValue("fix", 13.5, t0 + 3);
    fix.supersedes = "first";
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {off, early, first}}));
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {fix}}));
    EXPECT_TRUE(AlarmsOf(*store, c).empty());
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec,
                                        {OneValue("m1", 10.0, t0 + 4), OneValue("m2", 10.0, t0 + 5),
                                         OneValue("m3", 10.0, t0 + 6), OneValue("high", 14.0, t0 + 7)}}));
    std::vector<Alarm> found = AlarmsOf(*store, c);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].lotIds, std::vector<std::string>{"high"});

    AlarmAnswer answer{0, found[0].seq, "工具摩耗", "工具交換", "刃先欠け", "forged", 1};
    AlarmAnswer stored;
    ASSERT_TRUE(store->answerAlarm(answer, &stored)) << store->lastError();
    EXPECT_GT(stored.answeredAt, t0);
    if (GetParam() == Engine::Postgres) {
        EXPECT_EQ(stored.answeredBy, where.user);
    }
    answer.alarmSeq = 999;
    EXPECT_FALSE(store->answerAlarm(answer));
    EXPECT_NE(store->lastError().find("アラーム 999"), std::string::npos) << store->lastError();

    std::vector<Alarm> open, all;
    ASSERT_TRUE(store->alarms(found[0].characteristicId, true, 0, open));
    ASSERT_TRUE(store->alarms(found[0].characteristicId, false, 0, all));
    EXPECT_TRUE(open.empty());
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].answers.size(), 1u);
    EXPECT_EQ(all[0].answers[0].comment, "刃先欠け");
    EXPECT_EQ(all[0].answers[0].answeredAt, stored.answeredAt);

    AuditReport report;
    ASSERT_TRUE(store->verify(report));
    EXPECT_TRUE(report.intact()) << report.problems.front();
    EXPECT_EQ(report.rowsChecked, 13);  // characteristic, limits, specification, 8 lots, alarm, answer
    const std::string unguard = GetParam() == Engine::Postgres ? "ALTER TABLE alarm DISABLE TRIGGER USER"
                                                               : "DROP TRIGGER alarm_no_update";
    ASSERT_EQ(Exec(where, {unguard, "UPDATE alarm SET rule = 2"}), "");
    ASSERT_TRUE(store->verify(report));
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("alarm " + std::to_string(found[0].seq)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Engines, PlantAlarmTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

// No role writes alarms itself: an inspector may record one only at a lot
// its own transaction stored, and the finder is its login.
TEST(PlantAlarmRights, OnlyThePublishingTransactionRecordsAlarms)
{
    QTemporaryDir dir;
    const StoreLocation where = FreshStore(Engine::Postgres, dir);
    StoreLocation inspector = where;
    inspector.user = "insp" + std::to_string(getpid());
    ASSERT_EQ(Exec(where, {"CREATE ROLE " + inspector.user + " LOGIN IN ROLE trevolo_inspector"}), "");
    std::string error;
    auto store = PlantStore::open(inspector, error);
    ASSERT_TRUE(store) << error;
    const Characteristic c{"rights", "p", "m", "x"};
    auto owner = PlantStore::open(where, error);
    ASSERT_TRUE(owner && owner->publishLimits(c, Lines(10, 0))) << error;
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("old", 13.5, 1000)}})) << store->lastError();
    const std::vector<Alarm> found = AlarmsOf(*store, c);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].foundBy, inspector.user);
    const std::string cid = std::to_string(found[0].characteristicId);
    const std::string set = std::to_string(found[0].limitSetSeq);
    const std::string newLot = "INSERT INTO lot (id, characteristic_id, label, enabled, vals, value_count, station, "
                               "operator, order_key, published_at, received_at, received_by) VALUES ('new', " +
                               cid + ", 'n', 1, '20', 1, 's', 'o', 1, 1, 0, '')";
    auto record = [&](const std::string& lot, const std::string& onCid) {
        return "SELECT trevolo_record_alarm(" + onCid + ", 2, 0, '" + lot + "', '" + lot + "', " + set + ")";
    };
    const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
        {{"INSERT INTO alarm (characteristic_id, rule, side, lot_ids, last_lot, limit_set_seq, received_at, "
          "received_by) VALUES (" + cid + ", 2, 0, 'old', 'old', " + set + ", 0, 'x')"},
         false},
        {{record("old", cid)}, false},
        {{"BEGIN", newLot, record("new", "0"), "COMMIT"}, false},
        {{"BEGIN", newLot, record("new", cid), "COMMIT"}, true},
    };
    for (const auto& [statements, allowed] : cases)
        EXPECT_EQ(Exec(inspector, statements).empty(), allowed) << statements.back();

    AlarmAnswer stored;
    ASSERT_TRUE(store->answerAlarm({0, found[0].seq, "その他: 材料", "再測定", "", "trevolo_engineer", 1}, &stored));
    EXPECT_EQ(stored.answeredBy, inspector.user);
    EXPECT_GT(stored.answeredAt, StationNowMillis() - 60000);
}

// Stations publish interleaved lots of one characteristic at once, the
// second time while their connections are cut and one station is killed and
// started again: the alarms stored are those of one process publishing the
// same lots in the server's order, each once.
TEST(PlantAlarmStations, EachAlarmOnceWhicheverStationCompletesIt)
{
    constexpr int kStations = 4;
    constexpr int kLots = 60;
    const Characteristic c{"watch", "press", "P1", "height"};
    for (bool faults : {false, true}) {
        SCOPED_TRACE(faults ? "with faults" : "undisturbed");
        QTemporaryDir dir;
        const StoreLocation where = FreshStore(Engine::Postgres, dir);
        std::string error;
        auto admin = PlantStore::open(where, error);
        ASSERT_TRUE(admin && admin->publishLimits(c, Lines(10, 0))) << error;
        admin.reset();  // the cuts below would take its connection too
        std::vector<std::unique_ptr<QProcess>> stations(kStations);
        auto launch = [&](int s) {
            stations[s] = std::make_unique<QProcess>();
            stations[s]->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            stations[s]->start(QStringLiteral(TREVOLO_STATION),
                               {QString::fromStdString(where.text()), dir.filePath(QStringLiteral("unused")),
                                QStringLiteral("st%1").arg(s), QString::number(kLots), QStringLiteral("watch")});
            ASSERT_TRUE(stations[s]->waitForStarted());
        };
        for (int s = 0; s < kStations; ++s)
            launch(s);
        bool killed = false;
        for (int cut = 0; faults && cut < 6; ++cut) {
            QThread::msleep(60);
            ASSERT_EQ(Exec(where, {"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                                   where.database + "' AND pid <> pg_backend_pid()"}),
                      "");
            if (cut == 1 && stations[1]->state() == QProcess::Running) {
                ::kill(static_cast<pid_t>(stations[1]->processId()), SIGKILL);
                stations[1]->waitForFinished();
                launch(1);
                killed = true;
            }
        }
        EXPECT_EQ(killed, faults);
        for (auto& s : stations) {
            ASSERT_TRUE(s->waitForFinished(180000));
            EXPECT_EQ(s->exitCode(), 0);
        }

        admin = PlantStore::open(where, error);
        ASSERT_TRUE(admin) << error;
        std::vector<CharacteristicSummary> list;
        ASSERT_TRUE(admin->characteristics("watch", list) && list.size() == 1) << admin->lastError();
        std::vector<StoredLot> lots;
        ASSERT_TRUE(admin->lotsAfter(list[0].id, 0, lots));
        ASSERT_EQ(lots.size(), static_cast<size_t>(kStations * kLots));
        const StoreLocation again = FreshStore(Engine::Postgres, dir);
        auto replay = PlantStore::open(again, error);
        ASSERT_TRUE(replay && replay->publishLimits(c, Lines(10, 0))) << error;
        for (const StoredLot& l : lots)
            ASSERT_TRUE(replay->publish(LotBatch{c, kSpec, {l}})) << replay->lastError();

        auto summary = [](const std::vector<Alarm>& alarms) {
            std::vector<std::tuple<int, int, std::vector<std::string>>> out;
            for (const Alarm& a : alarms)
                out.emplace_back(a.rule, a.side, a.lotIds);
            return out;
        };
        const std::vector<Alarm> stored = AlarmsOf(*admin, c);
        EXPECT_EQ(summary(stored), summary(AlarmsOf(*replay, c)));
        // And those of the whole series judged at once.
        std::vector<SeriesLot> series;
        for (const StoredLot& l : lots)
            series.push_back({l.id, false, true, l.values, l.publishedAt});
        std::vector<LimitSet> sets;
        ASSERT_TRUE(admin->limitHistory(c, sets));
        std::vector<std::vector<std::string>> whole, found;
        for (const FoundAlarm& a : EvaluateSeries(series, 0, sets, RuleSetting{RuleOptions::Defaults(), "", "", 0, 0}))
            whole.push_back(a.lotIds);
        for (const Alarm& a : stored)
            found.push_back(a.lotIds);
        EXPECT_EQ(found, whole);
        std::set<int> rules;
        for (const Alarm& a : stored)
            rules.insert(a.rule);
        EXPECT_GE(rules.size(), 4u);
        AuditReport report;
        ASSERT_TRUE(admin->verify(report));
        EXPECT_TRUE(report.intact()) << report.problems.front();
    }
}

}  // namespace
}  // namespace trevolo::test
