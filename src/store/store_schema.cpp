#include "store/store_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <algorithm>
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
    return s;
}

// The hash of a row's fields as the audit chain records it (AuditRowHash):
// SHA-256 in hex over each field's UTF-8 bytes, each preceded by its length
// in bytes and a colon; a missing value counts as an empty text.
const char* const kHashFields =
    "CREATE OR REPLACE FUNCTION trevolo_hash_fields(VARIADIC f TEXT[]) RETURNS TEXT LANGUAGE sql IMMUTABLE AS $$ "
    "SELECT encode(sha256(convert_to(COALESCE(string_agg(octet_length(COALESCE(x, '')) || ':' || COALESCE(x, ''), "
    "'' ORDER BY i), ''), 'UTF8')), 'hex') FROM unnest(f) WITH ORDINALITY AS t(x, i) $$";

// Who sent a row and when are the server's word, whatever the client wrote.
const char* const kVouch =
    "CREATE OR REPLACE FUNCTION trevolo_vouch() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "NEW.received_at := CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT); "
    "NEW.received_by := CAST(current_user AS TEXT); RETURN NEW; END $$";
const char* const kVouchTime =
    "CREATE OR REPLACE FUNCTION trevolo_vouch_time() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "NEW.received_at := CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT); RETURN NEW; END $$";

// Every stored row extends the audit chain, written by the schema owner's
// function so no client role needs (or has) the right to write audit rows.
// The fields hashed are those verify reads back, in the same order.
const char* const kAudit =
    "CREATE OR REPLACE FUNCTION trevolo_audit() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
    "SET search_path FROM CURRENT AS $$ DECLARE k TEXT; h TEXT; previous TEXT; previous_row TEXT; BEGIN "
    // Writers take turns, so each extends the chain from its end.
    "PERFORM pg_advisory_xact_lock(7351002); "
    "IF TG_TABLE_NAME = 'lot' THEN k := NEW.id; h := trevolo_hash_fields(NEW.id, NEW.characteristic_id::TEXT, "
    "NEW.supersedes, NEW.label, NEW.enabled::TEXT, NEW.vals, NEW.value_count::TEXT, NEW.station, NEW.operator, "
    "NEW.order_key::TEXT, NEW.published_at::TEXT, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'characteristic' THEN k := NEW.id::TEXT; h := trevolo_hash_fields(NEW.id::TEXT, "
    "NEW.product, NEW.process, NEW.machine, NEW.item); "
    "ELSIF TG_TABLE_NAME = 'spec_set' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.characteristic_id::TEXT, NEW.unit, NEW.kind, NEW.decimals, NEW.upper_limit, NEW.lower_limit, "
    "NEW.effective_from::TEXT, NEW.set_by, NEW.received_at::TEXT); "
    "ELSE k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, NEW.characteristic_id::TEXT, NEW.method, "
    "NEW.vals, NEW.set_by, NEW.effective_from::TEXT, NEW.received_at::TEXT, NEW.received_by); END IF; "
    "SELECT chain_hash, tbl || ' ' || row_key INTO previous, previous_row FROM audit ORDER BY seq DESC LIMIT 1; "
    "INSERT INTO audit (tbl, row_key, row_hash, chain_hash, previous_row) VALUES (TG_TABLE_NAME, k, h, "
    "encode(sha256(convert_to(COALESCE(previous, '') || h, 'UTF8')), 'hex'), previous_row); "
    "RETURN NULL; END $$";

// Migration 2: the server vouches for sender, time and audit rows; each
// audit row names the row before it, so a row removed with its audit entry
// is named; signed checkpoints of the chain; the store's own id, which
// stations keep beside the newest chain head they saw.
QStringList SecondMigration(const StoreDialect& d)
{
    const QString key = QString::fromLatin1(d.serialKey());
    QStringList s;
    s << QStringLiteral("ALTER TABLE audit ADD COLUMN previous_row TEXT");
    s << QStringLiteral(
             "CREATE TABLE checkpoint (seq %1, audit_rows BIGINT NOT NULL, audit_seq BIGINT NOT NULL, chain_hash "
             "TEXT NOT NULL, made_at BIGINT NOT NULL, public_key TEXT NOT NULL, signature TEXT NOT NULL, made_by "
             "TEXT NOT NULL)")
             .arg(key);
    s << d.appendOnly(QStringLiteral("checkpoint"));
    s << QStringLiteral("CREATE TABLE store_info (name TEXT PRIMARY KEY, value TEXT NOT NULL)");
    s << d.appendOnly(QStringLiteral("store_info"));
    s << QStringLiteral("INSERT INTO store_info (name, value) VALUES ('store_id', '%1')")
             .arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (d.serverVouches()) {
        s << QString::fromLatin1(kHashFields) << QString::fromLatin1(kVouch) << QString::fromLatin1(kVouchTime)
          << QString::fromLatin1(kAudit);
        for (const char* t : {"lot", "limit_set"})
            s << QStringLiteral("CREATE TRIGGER %1_vouch BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                                "trevolo_vouch()")
                     .arg(QLatin1String(t));
        s << QStringLiteral(
            "CREATE TRIGGER spec_set_vouch BEFORE INSERT ON spec_set FOR EACH ROW EXECUTE FUNCTION "
            "trevolo_vouch_time()");
        for (const char* t : {"characteristic", "spec_set", "limit_set", "lot"})
            s << QStringLiteral("CREATE TRIGGER %1_audit AFTER INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                                "trevolo_audit()")
                     .arg(QLatin1String(t));
    }
    return s;
}

std::vector<QStringList> Migrations(const StoreDialect& d)
{
    return {FirstMigration(d), SecondMigration(d)};
}

const char* const kRoles[] = {"trevolo_inspector", "trevolo_engineer", "trevolo_auditor"};

// The rights of each role, granted again on every set-up (granting twice
// changes nothing). Writing audit rows is the server's alone: a store made
// before the server wrote them loses the clients' right here.
QStringList Grants(const std::vector<std::string>& roles)
{
    auto has = [&](const char* r) { return std::find(roles.begin(), roles.end(), r) != roles.end(); };
    auto list = [&](std::initializer_list<const char*> wanted) {
        QStringList names;
        for (const char* r : wanted)
            if (has(r))
                names << QLatin1String(r);
        return names.join(QStringLiteral(", "));
    };
    QStringList s;
    s << QStringLiteral(
        "REVOKE ALL ON characteristic, spec_set, lot, limit_set, audit, schema_version, checkpoint, store_info "
        "FROM PUBLIC");
    const QString all = list({"trevolo_inspector", "trevolo_engineer", "trevolo_auditor"});
    const QString writers = list({"trevolo_inspector", "trevolo_engineer"});
    if (!all.isEmpty())
        s << QStringLiteral(
                 "GRANT SELECT ON characteristic, spec_set, lot, limit_set, audit, schema_version, checkpoint, "
                 "store_info TO %1")
                 .arg(all);
    if (!writers.isEmpty()) {
        s << QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON audit FROM %1").arg(writers);
        s << QStringLiteral("GRANT INSERT ON characteristic, spec_set, lot TO %1").arg(writers);
        s << QStringLiteral(
                 "GRANT USAGE ON SEQUENCE characteristic_id_seq, spec_set_seq_seq, lot_seq_seq, limit_set_seq_seq "
                 "TO %1")
                 .arg(writers);
        s << QStringLiteral("REVOKE USAGE ON SEQUENCE audit_seq_seq FROM %1").arg(writers);
    }
    if (has("trevolo_engineer"))
        s << QStringLiteral("GRANT INSERT ON limit_set TO trevolo_engineer");
    if (has("trevolo_auditor"))
        s << QStringLiteral("GRANT INSERT ON checkpoint TO trevolo_auditor")
          << QStringLiteral("GRANT USAGE ON SEQUENCE checkpoint_seq_seq TO trevolo_auditor");
    return s;
}

// The store's roles that exist on the server (roles belong to the whole
// server: another database of it may have made them).
bool ExistingRoles(QSqlDatabase& db, std::vector<std::string>& out, std::string& error)
{
    out.clear();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT rolname FROM pg_roles WHERE rolname IN ('trevolo_inspector', "
                               "'trevolo_engineer', 'trevolo_auditor')"))) {
        error = "ロールを読めません: " + StoreErrorText(q.lastError(), q.lastQuery());
        return false;
    }
    while (q.next())
        out.push_back(q.value(0).toString().toStdString());
    return true;
}

}  // namespace

int StoreSchemaVersion()
{
    return static_cast<int>(Migrations(StoreDialect{StoreEngine::Sqlite}).size());
}

int ReadStoreSchemaVersion(QSqlDatabase& db, std::string* error)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")) && q.next())
        return q.value(0).toInt();
    // A store never set up has no such table (42P01 on PostgreSQL); any
    // other failure (a lost connection, a missing right) is no answer.
    const QSqlError e = q.lastError();
    if (!db.isOpen()) {
        if (error)
            *error = LostConnectionText(db);
        return -1;
    }
    if (e.nativeErrorCode() == QLatin1String("42P01") || e.text().contains(QLatin1String("no such table")))
        return 0;
    if (error)
        *error = StoreErrorText(e, q.lastQuery());
    return -1;
}

bool InitStoreSchema(QSqlDatabase& db, const StoreDialect& dialect, int& applied,
                     std::vector<std::string>& missingRoles, std::string& error)
{
    applied = 0;
    missingRoles.clear();
    const std::vector<QStringList> migrations = Migrations(dialect);
    QSqlQuery q(db);
    auto run = [&](const QString& sql) {
        if (q.exec(sql))
            return true;
        error = "データベースの準備に失敗しました: " + StoreErrorText(q.lastError(), sql);
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
    if (!dialect.hasRoles())
        return true;
    std::vector<std::string> roles;
    if (!ExistingRoles(db, roles, error))
        return false;
    for (const char* r : kRoles)
        if (std::find(roles.begin(), roles.end(), r) == roles.end())
            missingRoles.push_back(r);
    for (const QString& sql : Grants(roles))
        if (!run(sql))
            return false;
    return true;
}

bool CreateStoreRoles(QSqlDatabase& db, std::vector<std::string>& created, bool& granted, std::string& error)
{
    created.clear();
    granted = false;
    std::vector<std::string> roles;
    if (!ExistingRoles(db, roles, error))
        return false;
    QSqlQuery q(db);
    for (const char* r : kRoles) {
        if (std::find(roles.begin(), roles.end(), r) != roles.end())
            continue;
        if (!q.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(QLatin1String(r)))) {
            // A role made meanwhile by another set-up is as good as ours.
            if (q.lastError().nativeErrorCode() == QLatin1String("42710") ||
                q.lastError().nativeErrorCode() == QLatin1String("23505"))
                continue;
            if (q.lastError().nativeErrorCode() == QLatin1String("42501"))
                error = "ロール " + std::string(r) +
                        " を作成できません: このログインには CREATEROLE 権限がありません。スーパーユーザーか "
                        "CREATEROLE 権限のあるログインで実行してください。";
            else
                error = "ロール " + std::string(r) + " を作成できません: " + StoreErrorText(q.lastError());
            return false;
        }
        created.push_back(r);
        roles.push_back(r);
    }
    // The rights on a store already set up, when this login may give them
    // (the schema's owner or a superuser); otherwise the owner's next
    // store init gives them.
    if (ReadStoreSchemaVersion(db) != StoreSchemaVersion())
        return true;
    if (!q.exec(QStringLiteral("SELECT pg_has_role(current_user, (SELECT tableowner FROM pg_tables WHERE "
                               "tablename = 'lot' AND schemaname = current_schema()), 'USAGE') OR (SELECT "
                               "rolsuper FROM pg_roles WHERE rolname = current_user)")) ||
        !q.next() || !q.value(0).toBool())
        return true;
    for (const QString& sql : Grants(roles)) {
        if (!q.exec(sql)) {
            error = "ロールに権限を付与できません: " + StoreErrorText(q.lastError(), sql);
            return false;
        }
    }
    granted = true;
    return true;
}

}  // namespace trevolo
