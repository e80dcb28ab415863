#include "store/outbox.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "store/lot_columns.h"
#include "store/plant_store.h"
#include "store/qt_text.h"

namespace trevolo {

namespace {

// Forwarded per store transaction: a full sheet goes in one.
constexpr int kForwardBatch = 1000;

}  // namespace

Outbox::Outbox(QSqlDatabase db) : db_(std::move(db)) {}

Outbox::~Outbox()
{
    CloseStoreConnection(db_);
}

std::unique_ptr<Outbox> Outbox::open(const std::string& path, std::string& error)
{
    StoreLocation where;
    where.engine = StoreEngine::Sqlite;
    where.path = path;
    QSqlDatabase db = OpenStoreConnection(where, error);
    if (!db.isValid())
        return nullptr;
    QSqlQuery q(db);
    const char* const tables[] = {
        "CREATE TABLE IF NOT EXISTS queue (seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, "
        "product TEXT NOT NULL, process TEXT NOT NULL, machine TEXT NOT NULL, item TEXT NOT NULL, unit TEXT NOT NULL, "
        "kind TEXT NOT NULL, decimals TEXT NOT NULL, upper_limit TEXT NOT NULL, lower_limit TEXT NOT NULL, "
        "supersedes TEXT NOT NULL, label TEXT NOT NULL, enabled INTEGER NOT NULL, vals TEXT NOT NULL, value_count "
        "INTEGER NOT NULL, station TEXT NOT NULL, operator TEXT NOT NULL, order_key INTEGER NOT NULL, published_at "
        "INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS ledger (product TEXT NOT NULL, process TEXT NOT NULL, machine TEXT NOT NULL, "
        "item TEXT NOT NULL, scope TEXT NOT NULL, lot_key TEXT NOT NULL, id TEXT NOT NULL, content TEXT NOT NULL, "
        "order_key INTEGER NOT NULL, PRIMARY KEY (product, process, machine, item, scope, lot_key))",
        "CREATE TABLE IF NOT EXISTS heads (store_id TEXT PRIMARY KEY, audit_seq INTEGER NOT NULL, chain_hash TEXT "
        "NOT NULL, seen_at INTEGER NOT NULL)"};
    for (const char* sql : tables) {
        if (!q.exec(QString::fromLatin1(sql))) {
            error = "送信待ちファイルを準備できません: " + q.lastError().text().toStdString();
            CloseStoreConnection(db);
            return nullptr;
        }
    }
    // The row and the values of a ledger entry came later: an outbox made
    // before has its entries without them (row -1: not found by row).
    bool hasRow = false;
    if (q.exec(QStringLiteral("PRAGMA table_info(ledger)")))
        while (q.next())
            hasRow = hasRow || q.value(1).toString() == QLatin1String("lot_row");
    if (!hasRow && (!q.exec(QStringLiteral("ALTER TABLE ledger ADD COLUMN lot_row INTEGER NOT NULL DEFAULT -1")) ||
                    !q.exec(QStringLiteral("ALTER TABLE ledger ADD COLUMN vals_content TEXT NOT NULL DEFAULT ''")))) {
        error = "送信待ちファイルを準備できません: " + q.lastError().text().toStdString();
        CloseStoreConnection(db);
        return nullptr;
    }
    return std::unique_ptr<Outbox>(new Outbox(std::move(db)));
}

bool Outbox::fail(const std::string& what, const QSqlQuery& q)
{
    error_ = what + ": " + q.lastError().text().trimmed().toStdString();
    QSqlQuery rollback(db_);
    rollback.exec(QStringLiteral("ROLLBACK"));
    return false;
}

bool Outbox::queue(const Characteristic& c, const Specification& spec, const std::string& scope,
                   const std::vector<SheetLot>& lots, const Publisher& publisher, int* queued)
{
    if (queued)
        *queued = 0;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail("送信待ちファイルに書けません", q);

    // What the station published before under each key of this characteristic.
    LotLedger ledger;
    q.prepare(
        QStringLiteral("SELECT lot_key, id, content, order_key, lot_row, vals_content FROM ledger WHERE product = ? "
                       "AND process = ? AND machine = ? AND item = ? AND scope = ?"));
    for (const std::string* f : {&c.product, &c.process, &c.machine, &c.item, &scope})
        q.addBindValue(ToQString(*f));
    if (!q.exec())
        return fail("送信待ちファイルを読めません", q);
    while (q.next())
        ledger[ToStdString(q.value(0))] = {ToStdString(q.value(1)), ToStdString(q.value(2)), q.value(3).toLongLong(), q.value(4).toInt(),
                                 ToStdString(q.value(5))};
    q.finish();

    QSqlQuery put(db_), note(db_), drop(db_);
    put.prepare(QStringLiteral(
        "INSERT INTO queue (id, product, process, machine, item, unit, kind, decimals, upper_limit, lower_limit, "
        "supersedes, label, enabled, vals, value_count, station, operator, order_key, published_at) VALUES (?, ?, ?, "
        "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    note.prepare(
        QStringLiteral("INSERT OR REPLACE INTO ledger (product, process, machine, item, scope, lot_key, id, "
                       "content, order_key, lot_row, vals_content) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    drop.prepare(
        QStringLiteral("DELETE FROM ledger WHERE product = ? AND process = ? AND machine = ? AND item = ? AND "
                       "scope = ? AND lot_key = ?"));
    const std::vector<PlannedLot> planned = PlanLots(c, lots, publisher, StationNowMillis(), ledger);
    for (const PlannedLot& p : planned) {
        const StoredLot& l = p.lot;
        put.addBindValue(ToQString(l.id));
        for (const std::string* f : {&c.product, &c.process, &c.machine, &c.item, &spec.unit, &spec.kind,
                                     &spec.decimals, &spec.upper, &spec.lower, &l.supersedes, &l.label})
            put.addBindValue(ToQString(*f));
        BindLotContent(put, l);
        if (!put.exec())
            return fail("送信待ちファイルに書けません", put);
        for (const std::string* f : std::initializer_list<const std::string*>{
                 &c.product, &c.process, &c.machine, &c.item, &scope, &p.key, &l.id, &p.content})
            note.addBindValue(ToQString(*f));
        note.addBindValue(static_cast<qlonglong>(l.orderKey));
        note.addBindValue(p.row);
        note.addBindValue(ToQString(p.valuesContent));
        if (!note.exec())
            return fail("送信待ちファイルに書けません", note);
        if (!p.replacedKey.empty()) {
            for (const std::string* f : {&c.product, &c.process, &c.machine, &c.item, &scope, &p.replacedKey})
                drop.addBindValue(ToQString(*f));
            if (!drop.exec())
                return fail("送信待ちファイルに書けません", drop);
        }
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail("送信待ちファイルに書けません", q);
    if (queued)
        *queued = static_cast<int>(planned.size());
    return true;
}

std::int64_t Outbox::pending()
{
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM queue")) || !q.next()) {
        error_ = "送信待ちファイルを読めません: " + q.lastError().text().toStdString();
        return -1;
    }
    return q.value(0).toLongLong();
}

bool Outbox::forward(PlantStore& store, std::int64_t* sent, ForwardCounts* counts)
{
    std::int64_t total = 0;
    if (sent)
        *sent = 0;
    if (counts)
        *counts = ForwardCounts{};
    std::string storeId;
    for (;;) {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT seq, product, process, machine, item, unit, kind, decimals, upper_limit, "
                                 "lower_limit, %1 FROM queue ORDER BY seq LIMIT ?")
                      .arg(QLatin1String(kLotColumns)));
        q.addBindValue(kForwardBatch);
        if (!q.exec())
            return fail("送信待ちファイルを読めません", q);
        // The first run of lots of one characteristic and specification.
        LotBatch batch;
        std::int64_t lastSeq = 0;
        while (q.next()) {
            const Characteristic c{ToStdString(q.value(1)), ToStdString(q.value(2)), ToStdString(q.value(3)),
                                   ToStdString(q.value(4))};
            const Specification spec{ToStdString(q.value(5)), ToStdString(q.value(6)), ToStdString(q.value(7)),
                                     ToStdString(q.value(8)), ToStdString(q.value(9))};
            if (batch.lots.empty()) {
                batch.characteristic = c;
                batch.specification = spec;
            } else if (!(c == batch.characteristic) || !(spec == batch.specification)) {
                break;
            }
            batch.lots.push_back(StoredLotAt(q, 10));
            lastSeq = q.value(0).toLongLong();
        }
        q.finish();
        if (batch.lots.empty())
            break;
        // New lots and corrections go in apart, so the store tells how many
        // of each it did not have yet; a correction never precedes its lot.
        LotBatch fresh{batch.characteristic, batch.specification, {}}, corrections = fresh;
        for (StoredLot& l : batch.lots)
            (l.supersedes.empty() ? fresh : corrections).lots.push_back(std::move(l));
        int addedNew = 0, addedCorrections = 0;
        if ((!fresh.lots.empty() && !store.publish(fresh, &addedNew)) ||
            (!corrections.lots.empty() && !store.publish(corrections, &addedCorrections)) ||
            (storeId.empty() && !store.storeId(storeId))) {
            error_ = store.lastError();
            return false;
        }
        const auto forwarded = static_cast<std::int64_t>(fresh.lots.size() + corrections.lots.size());
        if (counts) {
            counts->added += addedNew;
            counts->corrected += addedCorrections;
            counts->already += forwarded - addedNew - addedCorrections;
        }
        if (!keepHead(storeId, store.head()))
            return false;
        // Stored: a kill before this line only makes the next forward send
        // the same ids again, which the store ignores.
        q.prepare(QStringLiteral("DELETE FROM queue WHERE seq <= ?"));
        q.addBindValue(static_cast<qlonglong>(lastSeq));
        if (!q.exec())
            return fail("送信待ちファイルに書けません", q);
        total += forwarded;
        if (sent)
            *sent = total;
    }
    return true;
}

bool Outbox::keepHead(const std::string& storeId, const ChainHead& head)
{
    // Only the newest head counts: a chain that extends it extends every
    // head before it.
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "INSERT INTO heads (store_id, audit_seq, chain_hash, seen_at) VALUES (?, ?, ?, ?) ON CONFLICT (store_id) DO "
        "UPDATE SET audit_seq = excluded.audit_seq, chain_hash = excluded.chain_hash, seen_at = excluded.seen_at "
        "WHERE excluded.audit_seq > heads.audit_seq"));
    q.addBindValue(ToQString(storeId));
    q.addBindValue(static_cast<qlonglong>(head.auditSeq));
    q.addBindValue(ToQString(head.chainHash));
    q.addBindValue(static_cast<qlonglong>(StationNowMillis()));
    if (!q.exec())
        return fail("送信待ちファイルに書けません", q);
    return true;
}

bool Outbox::keptHeads(const std::string& storeId, std::vector<ChainHead>& out)
{
    out.clear();
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT audit_seq, chain_hash FROM heads WHERE store_id = ?"));
    q.addBindValue(ToQString(storeId));
    if (!q.exec())
        return fail("送信待ちファイルを読めません", q);
    while (q.next())
        out.push_back({q.value(0).toLongLong(), ToStdString(q.value(1))});
    return true;
}

bool ForwardOutbox(Outbox& outbox, const StoreLocation& where, std::int64_t* sent, std::string& error,
                   ForwardCounts* counts)
{
    if (sent)
        *sent = 0;
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return false;
    if (!store->checkSchema()) {
        error = store->lastError();
        return false;
    }
    if (!outbox.forward(*store, sent, counts)) {
        error = outbox.lastError();
        return false;
    }
    return true;
}

}  // namespace trevolo
