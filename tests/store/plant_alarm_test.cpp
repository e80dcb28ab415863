// The alarms the run rules find where the lots meet: each lot against its
// limits in force, each alarm once whichever station completes it.
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <tuple>

#include "store/alarm_evaluation.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

const Specification kSpec{"mm", "両側規格", "1", "14.0", "6.0"};

// X lines of centre c and one sigma s; spread lines of centre r and one
// sigma r / 10, or blank ones (no spread judged) when r is 0.
LimitSet Lines(double c, std::int64_t from, double s = 1, double r = 0)
{
    LimitSet set{"指定管理値", {}, "eng", from, 0, ""};
    const double x[] = {c + 3 * s, c + 2 * s, c + s, c - 3 * s, c - 2 * s, c - s, c, r, r * 1.3, r * 1.2, r * 1.1};
    for (size_t i = 0; i < std::size(x); ++i)
        set.values[i] = r == 0 && i >= 7 ? "" : std::to_string(x[i]);
    return set;
}

StoredLot OneValue(const std::string& id, double x, std::int64_t at)
{
    return StoredLot{id, "", id, true, std::to_string(x), 1, "st", "op", at, at, 0, "", 0};
}

std::vector<Alarm> AlarmsOf(PlantStore& store, const Characteristic& c)
{
    std::vector<Alarm> all;
    EXPECT_TRUE(store.alarms(0, false, 0, all)) << store.lastError();
    std::erase_if(all, [&](const Alarm& a) { return !(a.characteristic == c); });
    return all;
}

class PlantAlarmTest : public ::testing::TestWithParam<Engine> {
protected:
    QTemporaryDir dir;
    StoreLocation where = FreshStore(GetParam(), dir);
    std::string error;
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
};

// One row per rule, lots published one at a time. The same lots with the
// limits revised halfway (the later lots shifted with the lines) raise the
// same alarms, each judged against the set in force for its last lot.
TEST_P(PlantAlarmTest, RulesFireAgainstTheLimitsInForce)
{
    ASSERT_TRUE(store) << error;
    struct Row {
        std::vector<double> cycle;  // the lots' values, repeated up to n lots
        size_t n;
        std::vector<std::tuple<int, size_t, size_t>> alarms;  // rule, last lot, lots
    };
    const std::vector<Row> rows = {
        {{13.5}, 1, {{1, 0, 1}}},
        {{10.5}, 9, {{2, 8, 9}}},
        {{9.4, 9.6, 9.8, 10.0, 10.2, 10.4, 10.6}, 7, {{3, 6, 7}}},
        {{9.5, 11.5}, 15, {{4, 14, 15}}},
        {{12.5}, 2, {{5, 1, 2}}},
        {{11.5}, 4, {{6, 3, 4}}},
        {{10.5, 10.5, 9.5, 9.5}, 15, {{7, 14, 15}}},
        {{11.5, 8.5}, 8, {{6, 3, 4}, {8, 7, 8}}},  // four of five on the way
    };
    const std::int64_t t0 = StationNowMillis() - 3600000;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (bool revised : {false, true}) {
            SCOPED_TRACE("row " + std::to_string(r) + (revised ? " revised" : ""));
            const Row& row = rows[r];
            const Characteristic c{"rules", std::to_string(r), revised ? "revised" : "one", "x"};
            const size_t half = row.n / 2;
            const std::int64_t revision = t0 + static_cast<std::int64_t>(half) * 1000 - 500;
            ASSERT_TRUE(store->publishLimits(c, Lines(10, 0)) &&
                        (!revised || store->publishLimits(c, Lines(110, revision))));
            std::vector<LimitSet> sets;
            ASSERT_TRUE(store->limitHistory(c, sets));
            std::vector<std::string> ids;
            for (size_t i = 0; i < row.n; ++i) {
                ids.push_back(NewLotId());
                const double x = row.cycle[i % row.cycle.size()] + (revised && i >= half ? 100 : 0);
                ASSERT_TRUE(store->publish(LotBatch{
                    c, kSpec, {OneValue(ids[i], x, t0 + static_cast<std::int64_t>(i) * 1000)}}))
                    << store->lastError();
            }
            const std::vector<Alarm> found = AlarmsOf(*store, c);
            ASSERT_EQ(found.size(), row.alarms.size());
            for (size_t k = 0; k < found.size(); ++k) {
                const auto [rule, last, count] = row.alarms[k];
                EXPECT_EQ(std::tuple(found[k].rule, found[k].side, found[k].lastLabel), std::tuple(rule, 0, ids[last]));
                EXPECT_EQ(found[k].lotIds,
                          std::vector<std::string>(ids.begin() + (last + 1 - count), ids.begin() + last + 1));
                EXPECT_EQ(found[k].limitSetSeq, sets[revised && last >= half ? 1 : 0].seq);
            }
        }
    }
}

// A lot switched off, one before any limits and a correction start no
// alarm. Answers carry the store's time, an unknown alarm is refused, and
// the audit chain holds alarms and answers and names a changed alarm.
TEST_P(PlantAlarmTest, AnswersAndTheAuditChain)
{
    ASSERT_TRUE(store) << error;
    const Characteristic c{"answers", "p", "m", "x"};
    const std::int64_t t0 = StationNowMillis() - 60000;
    ASSERT_TRUE(store->publishLimits(c, Lines(10, t0)));
    StoredLot off = OneValue("off", 13.5, t0 + 1), fix = OneValue("fix", 13.5, t0 + 3);
    off.enabled = false;
    fix.supersedes = "first";
    ASSERT_TRUE(store->publish(LotBatch{
        c, kSpec, {off, OneValue("early", 13.5, t0 - 1), OneValue("first", 10, t0 + 2)}}));
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {fix}}));
    EXPECT_TRUE(AlarmsOf(*store, c).empty());
    ASSERT_TRUE(store->publish(LotBatch{c,
                                        kSpec,
                                        {OneValue("m1", 10.0, t0 + 4), OneValue("m2", 10.0, t0 + 5),
                                         OneValue("m3", 10.0, t0 + 6), OneValue("high", 14.0, t0 + 7)}}));
    const std::vector<Alarm> found = AlarmsOf(*store, c);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].lotIds, std::vector<std::string>{"high"});

    AlarmAnswer answer{0, found[0].seq, "工具摩耗", "工具交換", "刃先欠け", "forged", 1}, stored;
    ASSERT_TRUE(store->answerAlarm(answer, &stored)) << store->lastError();
    EXPECT_GT(stored.answeredAt, t0);
    EXPECT_EQ(stored.answeredBy, GetParam() == Engine::Postgres ? where.user : "forged");
    answer.alarmSeq = 999;
    EXPECT_FALSE(store->answerAlarm(answer));
    EXPECT_NE(store->lastError().find("アラーム 999"), std::string::npos) << store->lastError();
    std::vector<Alarm> open, all;
    ASSERT_TRUE(store->alarms(found[0].characteristicId, true, 0, open) &&
                store->alarms(found[0].characteristicId, false, 0, all));
    EXPECT_TRUE(open.empty());
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].answers.size(), 1u);
    EXPECT_EQ(std::tuple(all[0].answers[0].comment, all[0].answers[0].answeredAt),
              std::tuple(answer.comment, stored.answeredAt));

    AuditReport report;
    ASSERT_TRUE(store->verify(report));
    EXPECT_TRUE(report.intact()) << report.problems.front();
    EXPECT_EQ(report.rowsChecked, 13);  // characteristic, limits, specification, 8 lots, alarm, answer
    ASSERT_EQ(Exec(where, {GetParam() == Engine::Postgres ? "ALTER TABLE alarm DISABLE TRIGGER USER"
                                                          : "DROP TRIGGER alarm_no_update",
                           "UPDATE alarm SET rule = 2"}),
              "");
    ASSERT_TRUE(store->verify(report));
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find("alarm " + std::to_string(found[0].seq)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Engines, PlantAlarmTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

// No role writes alarms itself: an inspector may record one only at a lot of
// the characteristic its own transaction stored, and the finder is its login.
TEST(PlantAlarmRights, OnlyThePublishingTransactionRecordsAlarms)
{
    QTemporaryDir dir;
    const StoreLocation where = FreshStore(Engine::Postgres, dir);
    StoreLocation inspector = where;
    inspector.user = "insp" + std::to_string(getpid());
    ASSERT_EQ(Exec(where, {"CREATE ROLE " + inspector.user + " LOGIN IN ROLE trevolo_inspector"}), "");
    std::string error;
    auto owner = PlantStore::open(where, error);
    auto store = PlantStore::open(inspector, error);
    const Characteristic c{"rights", "p", "m", "x"};
    ASSERT_TRUE(owner && store && owner->publishLimits(c, Lines(10, 0))) << error;
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("old", 13.5, 1000)}})) << store->lastError();
    const std::vector<Alarm> found = AlarmsOf(*store, c);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].foundBy, inspector.user);
    const std::string cid = std::to_string(found[0].characteristicId), set = std::to_string(found[0].limitSetSeq);
    const std::string newLot =
        "INSERT INTO lot (id, characteristic_id, label, enabled, vals, value_count, station, operator, "
        "order_key, published_at, received_at, received_by) VALUES ('new', " +
        cid + ", 'n', 1, '20', 1, 's', 'o', 1, 1, 0, '')";
    auto record = [&](const std::string& lot, const std::string& onCid) {
        return "SELECT trevolo_record_alarm(" + onCid + ", 2, 0, '" + lot + "', '" + lot + "', " + set + ")";
    };
    const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
        {{"INSERT INTO alarm (characteristic_id, rule, side, lot_ids, last_lot, limit_set_seq, received_at, received_by) "
          "VALUES (" +
          cid + ", 2, 0, 'old', 'old', " + set + ", 0, 'x')"},
         false},
        {{record("old", cid)}, false},
        {{"BEGIN", newLot, record("new", "0"), "COMMIT"}, false},
        {{"BEGIN", newLot, record("new", cid), "COMMIT"}, true},
    };
    for (const auto& [statements, allowed] : cases)
        EXPECT_EQ(Exec(inspector, statements).empty(), allowed) << statements.back();
}

// Stations publish sheets at once, the second time with connections cut and
// one station killed and restarted: the alarms stored are those of the whole
// series judged at once in the server's order (not through the store's window).
TEST(PlantAlarmStations, EachAlarmOnceWhicheverStationCompletesIt)
{
    constexpr int kStations = 4, kLots = 150;
    // A station's lot means rise by 0.007 from 1.15, its ranges are 0.099.
    const Characteristic c{"fault", "press", "P1", "height"};
    for (bool faults : {false, true}) {
        SCOPED_TRACE(faults ? "with faults" : "undisturbed");
        QTemporaryDir dir;
        const StoreLocation where = FreshStore(Engine::Postgres, dir);
        std::string error;
        auto admin = PlantStore::open(where, error);
        ASSERT_TRUE(admin && admin->publishLimits(c, Lines(1.25, 0, 0.05, 0.099))) << error;
        admin.reset();  // the cuts below would take its connection too
        std::vector<std::unique_ptr<QProcess>> stations(kStations);
        auto launch = [&](int s) {
            stations[s] = std::make_unique<QProcess>();
            stations[s]->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            stations[s]->start(QStringLiteral(TREVOLO_STATION),
                               {QString::fromStdString(where.text()), dir.filePath(QStringLiteral("outbox%1").arg(s)),
                                QStringLiteral("st%1").arg(s), QString::number(kLots)});
            ASSERT_TRUE(stations[s]->waitForStarted());
        };
        for (int s = 0; s < kStations; ++s)
            launch(s);
        for (int cut = 0; faults && cut < 6; ++cut) {
            QThread::msleep(60);
            ASSERT_EQ(Exec(where, {"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                                   where.database + "' AND pid <> pg_backend_pid()"}),
                      "");
            if (cut == 1) {
                ASSERT_EQ(stations[1]->state(), QProcess::Running);
                ::kill(static_cast<pid_t>(stations[1]->processId()), SIGKILL);
                stations[1]->waitForFinished();
                launch(1);
            }
        }
        for (auto& s : stations)
            EXPECT_TRUE(s->waitForFinished(180000) && s->exitCode() == 0);

        admin = PlantStore::open(where, error);
        std::vector<CharacteristicSummary> list;
        std::vector<StoredLot> lots;
        std::vector<LimitSet> sets;
        ASSERT_TRUE(admin && admin->characteristics("fault", list) && list.size() == 1) << error;
        ASSERT_TRUE(admin->lotsAfter(list[0].id, 0, lots) && admin->limitHistory(c, sets));
        ASSERT_EQ(lots.size(), static_cast<size_t>(kStations * kLots));
        std::vector<SeriesLot> series;
        for (const StoredLot& l : lots)
            series.push_back({l.id, false, true, l.values, l.publishedAt});
        std::vector<std::pair<int, std::vector<std::string>>> stored, whole;
        for (const Alarm& a : AlarmsOf(*admin, c))
            stored.emplace_back(a.rule * 2 + a.side, a.lotIds);
        for (const FoundAlarm& a : EvaluateSeries(series, 0, sets, RuleSetting{RuleOptions::Defaults(), "", "", 0, 0}))
            whole.emplace_back(a.rule * 2 + a.side, a.lotIds);
        EXPECT_EQ(stored, whole);
        EXPECT_GE(stored.size(), 50u);
        AuditReport report;
        ASSERT_TRUE(admin->verify(report));
        EXPECT_TRUE(report.intact()) << report.problems.front();
    }
}

}  // namespace
}  // namespace trevolo::test
