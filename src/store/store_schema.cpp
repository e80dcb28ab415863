#include "store/store_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace trevolo {

namespace {

// Tables whose rows are kept as written: no role, the owner included, may
// update or delete them.
const char* const kAppendOnlyTables[] = {"characteristic", "spec_set", "lot", "limit_set", "audit"};

// Migration 1: the tables, their indexes, the append-only rule and, on
// PostgreSQL, the roles.
QStringList FirstMigration(const StoreDialect& d)
{
    const QString key = QString::fromLatin1(d.serialKey());
    QStringList s;
    s << QStringLiteral(
             "CREATE TABLE characteristic (id %1, product TEXT NOT NULL, process TEXT NOT NULL, "
             "machine TEXT NOT NULL, item TEXT NOT NULL, UNIQUE (product, process, machine, item))")
             .arg(key);
    s << QStringLiteral(
             "CREATE TABLE spec_set (seq %1, characteristic_id BIGINT NOT NULL REFERENCES characteristic "
             "(id), unit TEXT NOT NULL, kind TEXT NOT NULL, decimals TEXT NOT NULL, upper_limit TEXT NOT "
             "NULL, lower_limit TEXT NOT NULL, effective_from BIGINT NOT NULL, set_by TEXT NOT NULL, "
             "received_at BIGINT NOT NULL)")
             .arg(key);
    // A lot's values are the comma text of its value texts, as typed:
    // one row per subgroup, written whole or not at all.
    s << QStringLiteral(
             "CREATE TABLE lot (seq %1, id TEXT NOT NULL UNIQUE, characteristic_id BIGINT NOT NULL "
             "REFERENCES characteristic (id), supersedes TEXT, label TEXT NOT NULL, enabled INTEGER NOT "
             "NULL, vals TEXT NOT NULL, value_count INTEGER NOT NULL, station TEXT NOT NULL, operator "
             "TEXT NOT NULL, order_key BIGINT NOT NULL, published_at BIGINT NOT NULL, received_at BIGINT "
             "NOT NULL, received_by TEXT NOT NULL)")
             .arg(key);
    s << QStringLiteral("CREATE INDEX lot_newest ON lot (characteristic_id, order_key, seq)");
    s << QStringLiteral("CREATE INDEX lot_arrival ON lot (characteristic_id, seq)");
    s << QStringLiteral("CREATE INDEX lot_supersedes ON lot (supersedes)");
    s << QStringLiteral(
             "CREATE TABLE limit_set (seq %1, characteristic_id BIGINT NOT NULL REFERENCES characteristic "
             "(id), method TEXT NOT NULL, vals TEXT NOT NULL, set_by TEXT NOT NULL, effective_from BIGINT "
             "NOT NULL, received_at BIGINT NOT NULL, received_by TEXT NOT NULL)")
             .arg(key);
    s << QStringLiteral("CREATE INDEX limit_set_in_force ON limit_set (characteristic_id, effective_from)");
    s << QStringLiteral("CREATE INDEX spec_set_in_force ON spec_set (characteristic_id, effective_from)");
    // The audit chain: each row's hash and the hash of the chain up to it.
    s << QStringLiteral(
             "CREATE TABLE audit (seq %1, tbl TEXT NOT NULL, row_key TEXT NOT NULL, row_hash TEXT NOT "
             "NULL, chain_hash TEXT NOT NULL)")
             .arg(key);
    if (d.engine == StoreEngine::Postgres) {
        s << QStringLiteral(
            "CREATE OR REPLACE FUNCTION trevolo_refuse_change() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "RAISE EXCEPTION 'stored rows of % are never changed or deleted', TG_TABLE_NAME USING ERRCODE = "
            "'insufficient_privilege'; END $$");
    }
    for (const char* t : kAppendOnlyTables)
        s << d.appendOnly(QString::fromLatin1(t));
    if (d.hasRoles()) {
        // Roles belong to the whole server: another database of it may have
        // made them already.
        for (const char* role : {"trevolo_inspector", "trevolo_engineer", "trevolo_auditor"}) {
            s << QStringLiteral(
                     "DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object OR "
                     "unique_violation THEN NULL; END $$")
                     .arg(QLatin1String(role));
        }
        s << QStringLiteral(
            "REVOKE ALL ON characteristic, spec_set, lot, limit_set, audit, schema_version FROM PUBLIC");
        s << QStringLiteral(
            "GRANT SELECT ON characteristic, spec_set, lot, limit_set, audit, schema_version TO "
            "trevolo_inspector, trevolo_engineer, trevolo_auditor");
        s << QStringLiteral(
            "GRANT INSERT ON characteristic, spec_set, lot, audit TO trevolo_inspector, "
            "trevolo_engineer");
        s << QStringLiteral("GRANT INSERT ON limit_set TO trevolo_engineer");
        s << QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO trevolo_inspector, trevolo_engineer");
    }
    return s;
}

std::vector<QStringList> Migrations(const StoreDialect& d)
{
    return {FirstMigration(d)};
}

}  // namespace

int StoreSchemaVersion()
{
    return static_cast<int>(Migrations(StoreDialect{StoreEngine::Sqlite}).size());
}

int ReadStoreSchemaVersion(QSqlDatabase& db)
{
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) || !q.next())
        return -1;
    return q.value(0).toInt();
}

bool InitStoreSchema(QSqlDatabase& db, const StoreDialect& dialect, int& applied, std::string& error)
{
    applied = 0;
    const std::vector<QStringList> migrations = Migrations(dialect);
    QSqlQuery q(db);
    auto run = [&](const QString& sql) {
        if (q.exec(sql))
            return true;
        error = "データベースの準備に失敗しました: " + q.lastError().text().trimmed().toStdString();
        return false;
    };
    for (size_t step = 0; step < migrations.size(); ++step) {
        const int version = static_cast<int>(step) + 1;
        if (!run(QString::fromLatin1(dialect.beginWrite())))
            return false;
        auto fail = [&] {
            q.exec(QStringLiteral("ROLLBACK"));
            return false;
        };
        // One setter-up at a time: a second one waits and then finds the
        // migration done.
        if (dialect.engine == StoreEngine::Postgres && !run(QStringLiteral("SELECT pg_advisory_xact_lock(7351001)")))
            return fail();
        if (!run(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, "
                                "applied_at BIGINT NOT NULL)")))
            return fail();
        if (!run(QStringLiteral("SELECT COUNT(*) FROM schema_version WHERE version = %1").arg(version)) || !q.next())
            return fail();
        if (q.value(0).toInt() > 0) {
            if (!run(QStringLiteral("COMMIT")))
                return fail();
            continue;
        }
        for (const QString& sql : migrations[step])
            if (!run(sql))
                return fail();
        if (!run(QStringLiteral("INSERT INTO schema_version (version, applied_at) VALUES (%1, %2)")
                     .arg(version)
                     .arg(QLatin1String(dialect.nowMillis()))) ||
            !run(QStringLiteral("COMMIT")))
            return fail();
        ++applied;
    }
    return true;
}

}  // namespace trevolo
