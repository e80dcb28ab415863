#pragma once
// What the plant store's tests share: the private server that CTest starts
// (scripts/pg-test-server.sh, its state folder given at build time), a fresh
// database on it or a fresh SQLite file, and lots to publish.
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <unistd.h>

#include "store/plant_store.h"

namespace trevolo::test {

enum class Engine { Sqlite, Postgres };

inline void PrintTo(Engine e, std::ostream* os)
{
    *os << (e == Engine::Sqlite ? "SQLite" : "PostgreSQL");
}

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
}

// The superuser address of the server whose state folder is state.
inline std::string ServerUrl(const std::string& state = TREVOLO_PG_STATE)
{
    QFile f(QString::fromStdString(state + "/url"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().trimmed().toStdString();
}

// Runs statements in order on a connection of their own; the first error
// text, empty when all worked.
inline std::string Exec(const StoreLocation& where, const std::vector<std::string>& statements)
{
    std::string error;
    QSqlDatabase db = OpenStoreConnection(where, error);
    if (!db.isValid())
        return error;
    {
        QSqlQuery q(db);
        for (const std::string& sql : statements) {
            if (!q.exec(QString::fromStdString(sql))) {
                error = q.lastError().text().toStdString();
                break;
            }
        }
    }
    CloseStoreConnection(db);
    return error;
}

// A new, empty database on the server of state.
inline StoreLocation FreshDatabase(const std::string& state = TREVOLO_PG_STATE)
{
    static std::atomic<int> serial{0};
    StoreLocation where;
    std::string error;
    EXPECT_TRUE(StoreLocation::parse(ServerUrl(state), where, error)) << "no test server: " << error;
    where.database = "t" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    StoreLocation admin = where;
    admin.database = "postgres";
    EXPECT_EQ(Exec(admin, {"CREATE DATABASE " + where.database}), "");
    return where;
}

// A new store of the engine, set up; SQLite files live in dir.
inline StoreLocation FreshStore(Engine engine, const QTemporaryDir& dir)
{
    static std::atomic<int> serial{0};
    StoreLocation where;
    if (engine == Engine::Postgres) {
        where = FreshDatabase();
    } else {
        where.engine = StoreEngine::Sqlite;
        where.path = (dir.path() + QStringLiteral("/plant%1.sqlite").arg(++serial)).toStdString();
    }
    std::string error;
    auto store = PlantStore::open(where, error);
    EXPECT_TRUE(store) << error;
    if (store) {
        EXPECT_TRUE(store->init()) << store->lastError();
        // The roles belong to the server; the superuser of the tests makes
        // any that are missing and gives them their rights.
        std::vector<std::string> created;
        bool granted = false;
        if (engine == Engine::Postgres) {
            EXPECT_TRUE(store->createRoles(created, granted) && granted) << store->lastError();
        }
    }
    return where;
}

// Lot i of a station: n values that tell the lot apart.
inline StoredLot MakeLot(const std::string& station, int i, int n = 5)
{
    StoredLot l;
    l.id = NewLotId();
    l.label = station + "-" + std::to_string(i);
    for (int k = 0; k < n; ++k)
        l.values += (k ? "," : "") + std::to_string(10 + i % 7) + "." + std::to_string(100 + k);
    l.valueCount = n;
    l.station = station;
    l.operatorName = "tester";
    l.publishedAt = StationNowMillis();
    l.orderKey = l.publishedAt * 1000 + i;
    return l;
}

}  // namespace trevolo::test
