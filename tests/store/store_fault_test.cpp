// Eight stations publish 500 lots each at once while their server
// connections are cut at seeded random moments and some stations are killed
// and started again: after the outboxes drain, every lot is stored exactly
// once, whole, and the audit chain holds. TREVOLO_FAULT_SEED replays a run.
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <cstdio>
#include <random>

#include "store_test_support.h"

namespace trevolo::test {
namespace {

constexpr int kStations = 8;
constexpr int kLots = 500;

TEST(StoreFaultTest, EveryLotStoredExactlyOnce)
{
    const unsigned seed = qEnvironmentVariableIsSet("TREVOLO_FAULT_SEED")
                              ? static_cast<unsigned>(qEnvironmentVariableIntValue("TREVOLO_FAULT_SEED"))
                              : 24u;
    std::mt19937 random(seed);
    QTemporaryDir dir;
    const StoreLocation where = FreshStore(Engine::Postgres, dir);
    std::string error;
    auto admin = PlantStore::open(where, error);
    ASSERT_TRUE(admin) << error;

    std::vector<std::unique_ptr<QProcess>> stations(kStations);
    auto launch = [&](int s) {
        stations[s] = std::make_unique<QProcess>();
        stations[s]->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        stations[s]->start(QStringLiteral(TREVOLO_STATION), {QString::fromStdString(where.text()),
                                                             dir.path() + QStringLiteral("/outbox%1.sqlite").arg(s),
                                                             QStringLiteral("st%1").arg(s), QString::number(kLots)});
        ASSERT_TRUE(stations[s]->waitForStarted());
    };
    for (int s = 0; s < kStations; ++s)
        launch(s);

    // A budget of cuts and kills at random moments, then the stations drain.
    int cuts = 0, kills = 0, cutConnections = 0;
    const auto running = [&] {
        return std::count_if(stations.begin(), stations.end(),
                             [](const auto& p) { return p->state() != QProcess::NotRunning; });
    };
    QElapsedTimer clock;
    clock.start();
    while (running() > 0 && (cuts < 30 || kills < 4) && clock.elapsed() < 240000) {
        QThread::msleep(std::uniform_int_distribution<int>(20, 300)(random));
        const int action = std::uniform_int_distribution<int>(0, 9)(random);
        if (action < 7 && cuts < 30) {
            QSqlQuery q(admin->database());
            q.prepare(
                QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = ? AND "
                               "application_name = 'trevolo' AND pid <> pg_backend_pid()"));
            q.addBindValue(QString::fromStdString(where.database));
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
            while (q.next())
                cutConnections += q.value(0).toBool() ? 1 : 0;
            ++cuts;
        } else if (action >= 7 && kills < 4) {
            const int s = std::uniform_int_distribution<int>(0, kStations - 1)(random);
            if (stations[s]->state() == QProcess::Running) {
                ::kill(static_cast<pid_t>(stations[s]->processId()), SIGKILL);
                stations[s]->waitForFinished();
                launch(s);
                ++kills;
            }
        }
    }
    for (int s = 0; s < kStations; ++s) {
        ASSERT_TRUE(stations[s]->waitForFinished(180000)) << "station " << s;
        EXPECT_EQ(stations[s]->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(stations[s]->exitCode(), 0) << "station " << s;
    }
    std::printf("seed %u: %d connections cut, %d stations killed\n", seed, cutConnections, kills);
    EXPECT_GT(cutConnections, 0);
    EXPECT_GT(kills, 0);

    QSqlQuery q(admin->database());
    ASSERT_TRUE(
        q.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT label), MIN(value_count), MAX(value_count), "
                              "COUNT(supersedes), MIN(LENGTH(vals)) FROM lot")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), kStations * kLots) << "seed " << seed;
    EXPECT_EQ(q.value(1).toInt(), kStations * kLots);
    EXPECT_EQ(q.value(2).toInt(), 100);
    EXPECT_EQ(q.value(3).toInt(), 100);
    EXPECT_EQ(q.value(4).toInt(), 0);
    EXPECT_EQ(q.value(5).toInt(), 100 * 5 + 99);  // "1.xyz" a value, commas between
    AuditReport report;
    ASSERT_TRUE(admin->verify(report)) << admin->lastError();
    EXPECT_TRUE(report.intact()) << report.problems.front();
    EXPECT_EQ(report.rowsChecked, kStations * kLots + 2);
}

}  // namespace
}  // namespace trevolo::test
