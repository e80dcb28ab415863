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

// Who sent a row, when it arrived and its place in the arrival order are
// the server's word, whatever the client wrote.
const char* const kVouch =
    "CREATE OR REPLACE FUNCTION trevolo_vouch() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "NEW.seq := nextval(pg_get_serial_sequence(quote_ident(TG_TABLE_SCHEMA) || '.' || TG_TABLE_NAME, 'seq')); "
    "NEW.received_at := CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT); "
    "NEW.received_by := CAST(current_user AS TEXT); RETURN NEW; END $$";
const char* const kVouchTime =
    "CREATE OR REPLACE FUNCTION trevolo_vouch_time() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "NEW.seq := nextval(pg_get_serial_sequence(quote_ident(TG_TABLE_SCHEMA) || '.' || TG_TABLE_NAME, 'seq')); "
    "NEW.received_at := CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT); RETURN NEW; END $$";

// Every stored row extends the audit chain, written by the schema owner's
// function so no client role needs (or has) the right to write audit rows.
// The fields hashed are those verify reads back, in the same order. The
// function is made of a head, one branch per table and a tail, so a later
// migration can add tables and keep the hashes of the earlier ones.
const char* const kAuditHead =
    "CREATE OR REPLACE FUNCTION trevolo_audit() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
    "SET search_path FROM CURRENT AS $$ DECLARE k TEXT; h TEXT; previous TEXT; previous_row TEXT; BEGIN "
    // Writers take turns, so each extends the chain from its end.
    "PERFORM pg_advisory_xact_lock(7351002); ";
// The tables of the lots, but for the limit sets (the first migration's
// last branch).
const char* const kAuditLotTables =
    "IF TG_TABLE_NAME = 'lot' THEN k := NEW.id; h := trevolo_hash_fields(NEW.id, NEW.characteristic_id::TEXT, "
    "NEW.supersedes, NEW.label, NEW.enabled::TEXT, NEW.vals, NEW.value_count::TEXT, NEW.station, NEW.operator, "
    "NEW.order_key::TEXT, NEW.published_at::TEXT, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'characteristic' THEN k := NEW.id::TEXT; h := trevolo_hash_fields(NEW.id::TEXT, "
    "NEW.product, NEW.process, NEW.machine, NEW.item); "
    "ELSIF TG_TABLE_NAME = 'spec_set' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.characteristic_id::TEXT, NEW.unit, NEW.kind, NEW.decimals, NEW.upper_limit, NEW.lower_limit, "
    "NEW.effective_from::TEXT, NEW.set_by, NEW.received_at::TEXT); ";
const char* const kAuditLimitSet =
    "k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, NEW.characteristic_id::TEXT, NEW.method, "
    "NEW.vals, NEW.set_by, NEW.effective_from::TEXT, NEW.received_at::TEXT, NEW.received_by); ";
const char* const kAuditTail =
    "SELECT chain_hash, tbl || ' ' || row_key INTO previous, previous_row FROM audit ORDER BY seq DESC LIMIT 1; "
    "INSERT INTO audit (tbl, row_key, row_hash, chain_hash, previous_row) VALUES (TG_TABLE_NAME, k, h, "
    "encode(sha256(convert_to(COALESCE(previous, '') || h, 'UTF8')), 'hex'), previous_row); "
    "RETURN NULL; END $$";

// The audit function with the branches after those of the lot tables.
QString AuditFunction(const QString& lastBranches)
{
    return QString::fromLatin1(kAuditHead) + QString::fromLatin1(kAuditLotTables) + lastBranches +
           QString::fromLatin1(kAuditTail);
}

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
          << AuditFunction(QStringLiteral("ELSE ") + QString::fromLatin1(kAuditLimitSet) + QStringLiteral("END IF; "));
        for (const char* t : {"lot", "limit_set"})
            s << QStringLiteral(
                     "CREATE TRIGGER %1_vouch BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                     "trevolo_vouch()")
                     .arg(QLatin1String(t));
        s << QStringLiteral(
            "CREATE TRIGGER spec_set_vouch BEFORE INSERT ON spec_set FOR EACH ROW EXECUTE FUNCTION "
            "trevolo_vouch_time()");
        for (const char* t : {"characteristic", "spec_set", "limit_set", "lot"})
            s << QStringLiteral(
                     "CREATE TRIGGER %1_audit AFTER INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                     "trevolo_audit()")
                     .arg(QLatin1String(t));
    }
    return s;
}

// The audit trigger's branches of migration 3: the same hashes for the
// tables of the lots as before (stored chains stay intact), and the plant
// watches' tables.
const char* const kAuditWatchBranches =
    "ELSIF TG_TABLE_NAME = 'rule_setting' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.characteristic_id::TEXT, NEW.options, NEW.spread, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'alarm' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.characteristic_id::TEXT, NEW.rule::TEXT, NEW.side::TEXT, NEW.lot_ids, NEW.last_lot, "
    "NEW.limit_set_seq::TEXT, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'alarm_answer' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.alarm_seq::TEXT, NEW.cause, NEW.action, NEW.comment, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'lot_note' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.lot_id, NEW.characteristic_id::TEXT, NEW.note, NEW.received_at::TEXT, NEW.received_by); "
    "ELSIF TG_TABLE_NAME = 'reason_list' THEN k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, "
    "NEW.kind, NEW.product, NEW.entries, NEW.received_at::TEXT, NEW.received_by); "
    "ELSE k := NEW.seq::TEXT; h := trevolo_hash_fields(NEW.seq::TEXT, NEW.limit_set_seq::TEXT, NEW.reason, "
    "NEW.received_at::TEXT, NEW.received_by); END IF; ";

// Alarms are found by the publishing transaction and written only here, as
// the schema's owner: a client may record an alarm only at a lot of the
// characteristic that its own transaction has just stored. The finder is the
// role the server vouched for on that lot. Returns the alarm's number, or
// NULL when the alarm was stored already.
const char* const kRecordAlarm =
    "CREATE OR REPLACE FUNCTION trevolo_record_alarm(p_characteristic_id BIGINT, p_rule INTEGER, p_side INTEGER, "
    "p_lot_ids TEXT, p_last_lot TEXT, p_limit_set_seq BIGINT) RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER "
    "SET search_path FROM CURRENT AS $$ DECLARE finder TEXT; stored BIGINT; BEGIN "
    "SELECT received_by INTO finder FROM lot WHERE id = p_last_lot AND characteristic_id = p_characteristic_id "
    "AND xmin::TEXT::BIGINT = pg_current_xact_id()::TEXT::BIGINT % 4294967296; "
    "IF NOT FOUND THEN RAISE EXCEPTION 'alarms are recorded only at a lot stored by the same transaction' "
    "USING ERRCODE = 'insufficient_privilege'; END IF; "
    "INSERT INTO alarm (characteristic_id, rule, side, lot_ids, last_lot, limit_set_seq, received_at, "
    "received_by) VALUES (p_characteristic_id, p_rule, p_side, p_lot_ids, p_last_lot, p_limit_set_seq, 0, finder) "
    "ON CONFLICT (characteristic_id, rule, side, last_lot) DO NOTHING RETURNING seq INTO stored; "
    "RETURN stored; END $$";

// Live views of the watches learn which characteristic changed (0: the
// lists, which belong to no characteristic) when the writing commits.
const char* const kWatchNotify =
    "CREATE OR REPLACE FUNCTION trevolo_watch_notify() RETURNS trigger LANGUAGE plpgsql AS $$ DECLARE c TEXT; "
    "BEGIN IF TG_TABLE_NAME = 'alarm_answer' THEN SELECT characteristic_id::TEXT INTO c FROM alarm WHERE seq = "
    "NEW.alarm_seq; ELSIF TG_TABLE_NAME = 'limit_revision' THEN SELECT characteristic_id::TEXT INTO c FROM "
    "limit_set WHERE seq = NEW.limit_set_seq; ELSIF TG_TABLE_NAME = 'reason_list' THEN c := '0'; "
    "ELSE c := NEW.characteristic_id::TEXT; END IF; PERFORM pg_notify('trevolo_watch', c); RETURN NULL; END $$";

const char* const kWatchTables[] = {"rule_setting", "alarm",       "alarm_answer",
                                    "lot_note",     "reason_list", "limit_revision"};

// Migration 3: the plant watches. Rule settings, the alarms the run rules
// found, their answers, notes on lots, cause and action lists, and the
// reasons of limit revisions; append-only and audited like the lots.
QStringList ThirdMigration(const StoreDialect& d)
{
    const QString key = QString::fromLatin1(d.serialKey());
    const QString vouched = QStringLiteral("received_at BIGINT NOT NULL, received_by TEXT NOT NULL");
    QStringList s;
    s << QStringLiteral(
             "CREATE TABLE rule_setting (seq %1, characteristic_id BIGINT NOT NULL REFERENCES characteristic (id), "
             "options TEXT NOT NULL, spread TEXT NOT NULL, %2)")
             .arg(key, vouched);
    s << QStringLiteral("CREATE INDEX rule_setting_newest ON rule_setting (characteristic_id, seq)");
    // lot_ids: the pattern's lot ids, oldest first, separated by one space.
    s << QStringLiteral(
             "CREATE TABLE alarm (seq %1, characteristic_id BIGINT NOT NULL REFERENCES characteristic (id), rule "
             "INTEGER NOT NULL, side INTEGER NOT NULL, lot_ids TEXT NOT NULL, last_lot TEXT NOT NULL REFERENCES lot "
             "(id), limit_set_seq BIGINT NOT NULL, %2, UNIQUE (characteristic_id, rule, side, last_lot))")
             .arg(key, vouched);
    s << QStringLiteral(
             "CREATE TABLE alarm_answer (seq %1, alarm_seq BIGINT NOT NULL REFERENCES alarm (seq), cause TEXT NOT "
             "NULL, action TEXT NOT NULL, comment TEXT NOT NULL, %2)")
             .arg(key, vouched);
    s << QStringLiteral("CREATE INDEX alarm_answer_of ON alarm_answer (alarm_seq, seq)");
    s << QStringLiteral(
             "CREATE TABLE lot_note (seq %1, lot_id TEXT NOT NULL REFERENCES lot (id), characteristic_id BIGINT NOT "
             "NULL REFERENCES characteristic (id), note TEXT NOT NULL, %2)")
             .arg(key, vouched);
    s << QStringLiteral("CREATE INDEX lot_note_of ON lot_note (characteristic_id, seq)");
    s << QStringLiteral("CREATE INDEX lot_note_lot ON lot_note (lot_id)");
    // kind: 'cause' or 'action'; product '' is the plant's list; entries
    // are comma text.
    s << QStringLiteral(
             "CREATE TABLE reason_list (seq %1, kind TEXT NOT NULL, product TEXT NOT NULL, entries TEXT NOT NULL, "
             "%2)")
             .arg(key, vouched);
    s << QStringLiteral("CREATE INDEX reason_list_newest ON reason_list (kind, product, seq)");
    s << QStringLiteral(
             "CREATE TABLE limit_revision (seq %1, limit_set_seq BIGINT NOT NULL UNIQUE REFERENCES limit_set (seq), "
             "reason TEXT NOT NULL, %2)")
             .arg(key, vouched);
    // The series of a characteristic is read backwards from its newest
    // lots: the first lots of each correction chain, in arrival order.
    s << QStringLiteral("CREATE INDEX lot_series ON lot (characteristic_id, seq) WHERE supersedes IS NULL");
    for (const char* t : kWatchTables)
        s << d.appendOnly(QString::fromLatin1(t));
    if (d.serverVouches()) {
        s << AuditFunction(QStringLiteral("ELSIF TG_TABLE_NAME = 'limit_set' THEN ") +
                           QString::fromLatin1(kAuditLimitSet) + QString::fromLatin1(kAuditWatchBranches))
          << QString::fromLatin1(kRecordAlarm) << QString::fromLatin1(kWatchNotify);
        for (const char* t : kWatchTables) {
            const QString table = QString::fromLatin1(t);
            // The alarm's finder is set by trevolo_record_alarm: inside it
            // current_user is the schema's owner.
            s << QStringLiteral("CREATE TRIGGER %1_vouch BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION %2()")
                     .arg(table, table == QLatin1String("alarm") ? QStringLiteral("trevolo_vouch_time")
                                                                 : QStringLiteral("trevolo_vouch"));
            s << QStringLiteral(
                     "CREATE TRIGGER %1_audit AFTER INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                     "trevolo_audit()")
                     .arg(table);
            s << QStringLiteral(
                     "CREATE TRIGGER %1_notify AFTER INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION "
                     "trevolo_watch_notify()")
                     .arg(table);
        }
    }
    return s;
}

std::vector<QStringList> Migrations(const StoreDialect& d)
{
    return {FirstMigration(d), SecondMigration(d), ThirdMigration(d)};
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
    const QString watches = QStringLiteral("rule_setting, alarm, alarm_answer, lot_note, reason_list, limit_revision");
    s << QStringLiteral(
             "REVOKE ALL ON characteristic, spec_set, lot, limit_set, audit, schema_version, checkpoint, store_info, "
             "%1 FROM PUBLIC")
             .arg(watches);
    // Alarms are written only by the publishing transaction, through the
    // owner's function.
    const QString recordAlarm =
        QStringLiteral("FUNCTION trevolo_record_alarm(BIGINT, INTEGER, INTEGER, TEXT, TEXT, BIGINT)");
    s << QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC").arg(recordAlarm);
    const QString all = list({"trevolo_inspector", "trevolo_engineer", "trevolo_auditor"});
    const QString writers = list({"trevolo_inspector", "trevolo_engineer"});
    if (!all.isEmpty())
        s << QStringLiteral(
                 "GRANT SELECT ON characteristic, spec_set, lot, limit_set, audit, schema_version, checkpoint, "
                 "store_info, %2 TO %1")
                 .arg(all, watches);
    if (!writers.isEmpty()) {
        s << QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON audit FROM %1").arg(writers);
        s << QStringLiteral("GRANT INSERT ON characteristic, spec_set, lot TO %1").arg(writers);
        s << QStringLiteral(
                 "GRANT USAGE ON SEQUENCE characteristic_id_seq, spec_set_seq_seq, lot_seq_seq, limit_set_seq_seq "
                 "TO %1")
                 .arg(writers);
        s << QStringLiteral("REVOKE USAGE ON SEQUENCE audit_seq_seq FROM %1").arg(writers);
        s << QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON alarm FROM %1").arg(writers);
        s << QStringLiteral("GRANT INSERT ON alarm_answer, lot_note TO %1").arg(writers);
        s << QStringLiteral("GRANT USAGE ON SEQUENCE alarm_answer_seq_seq, lot_note_seq_seq TO %1").arg(writers);
        s << QStringLiteral("GRANT EXECUTE ON %1 TO %2").arg(recordAlarm, writers);
    }
    if (has("trevolo_engineer")) {
        s << QStringLiteral("GRANT INSERT ON limit_set, rule_setting, reason_list, limit_revision TO trevolo_engineer");
        s << QStringLiteral(
            "GRANT USAGE ON SEQUENCE rule_setting_seq_seq, reason_list_seq_seq, limit_revision_seq_seq TO "
            "trevolo_engineer");
    }
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
