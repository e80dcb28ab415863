#include "store/plant_store.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "model/commatext.h"
#include "store/alarm_evaluation.h"
#include "store/lot_columns.h"
#include "store/qt_text.h"
#include "store/store_schema.h"

namespace trevolo {

namespace {

// Lots per INSERT statement: 13 parameters each stays far below both
// engines' limit on parameters, and one statement per 100 lots keeps the
// round trips of a full sheet to ten.
constexpr int kLotsPerStatement = 100;
constexpr int kAuditPerStatement = 200;

// A stored lot's columns: its arrival order, the lot's own columns, and
// what the store noted on its arrival.
const QString kStoredLotColumns =
    QStringLiteral("seq, %1, received_at, received_by").arg(QLatin1String(kLotColumns));

std::vector<std::string> LotFields(const StoredLot& l, std::int64_t characteristicId)
{
    return {l.id,
            std::to_string(characteristicId),
            l.supersedes,
            l.label,
            l.enabled ? "1" : "0",
            l.values,
            std::to_string(l.valueCount),
            l.station,
            l.operatorName,
            std::to_string(l.orderKey),
            std::to_string(l.publishedAt),
            std::to_string(l.receivedAt),
            l.receivedBy};
}

std::string JoinLimits(const LimitSet& s)
{
    return CommaTextJoin(std::vector<std::string>(s.values.begin(), s.values.end()));
}

// "VALUES (?, ?), (?, ?)" for rows rows of width columns.
QString Placeholders(int rows, int width)
{
    QString row = QStringLiteral("(");
    for (int c = 0; c < width; ++c)
        row += c ? QStringLiteral(", ?") : QStringLiteral("?");
    row += QLatin1Char(')');
    QString all;
    all.reserve(rows * (row.size() + 2));
    for (int r = 0; r < rows; ++r) {
        if (r)
            all += QStringLiteral(", ");
        all += row;
    }
    return all;
}

}  // namespace

std::string AuditRowHash(const std::vector<std::string>& fields)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const std::string& f : fields) {
        const QByteArray len = QByteArray::number(static_cast<qulonglong>(f.size())) + ':';
        h.addData(len);
        h.addData(QByteArrayView(f.data(), static_cast<qsizetype>(f.size())));
    }
    return h.result().toHex().toStdString();
}

std::string AuditChainHash(const std::string& previous, const std::string& rowHash)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArrayView(previous.data(), static_cast<qsizetype>(previous.size())));
    h.addData(QByteArrayView(rowHash.data(), static_cast<qsizetype>(rowHash.size())));
    return h.result().toHex().toStdString();
}

std::int64_t StationNowMillis()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::string NewLotId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

PlantStore::PlantStore(const StoreLocation& where, QSqlDatabase db)
    : where_(where), dialect_{where.engine}, db_(std::move(db))
{
}

PlantStore::~PlantStore()
{
    CloseStoreConnection(db_);
}

std::unique_ptr<PlantStore> PlantStore::open(const StoreLocation& where, std::string& error)
{
    QSqlDatabase db = OpenStoreConnection(where, error);
    if (!db.isValid())
        return nullptr;
    return std::unique_ptr<PlantStore>(new PlantStore(where, std::move(db)));
}

bool PlantStore::fail(const std::string& what, const QSqlQuery& q)
{
    error_ = what + ": " + (db_.isOpen() ? StoreErrorText(q.lastError(), q.lastQuery()) : LostConnectionText(db_));
    if (writing_) {
        writing_ = false;
        QSqlQuery rollback(db_);
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
    return false;
}

bool PlantStore::init(int* applied, std::vector<std::string>* missingRoles)
{
    int n = 0;
    std::vector<std::string> missing;
    const bool ok = InitStoreSchema(db_, dialect_, n, missing, error_);
    if (applied)
        *applied = n;
    if (missingRoles)
        *missingRoles = missing;
    return ok;
}

bool PlantStore::checkSchema()
{
    std::string why;
    const int version = ReadStoreSchemaVersion(db_, &why);
    if (version == StoreSchemaVersion())
        return true;
    if (version < 0)
        error_ = (db_.isOpen() ? "データベースを読めません: " : "") + why;
    else if (version < StoreSchemaVersion())
        error_ = "データベースが準備されていません。先に trevolo-cli store init を実行してください。";
    else
        error_ = "データベースがこのプログラムより新しい版です。";
    return false;
}

bool PlantStore::appendAudit(const QString& table, const std::string& key, const std::string& rowHash)
{
    pendingAudit_.push_back({table, key, rowHash});
    return true;
}

bool PlantStore::writeAudit()
{
    // The server writes its own audit rows; on the embedded engine the
    // chain grows here by the rows just added, in their order, each naming
    // the row before it.
    if (pendingAudit_.empty())
        return true;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT chain_hash, tbl, row_key FROM audit ORDER BY seq DESC LIMIT 1")))
        return fail("監査記録を読めません", q);
    std::string chain, previousRow;
    if (q.next()) {
        chain = ToStdString(q.value(0));
        previousRow = ToStdString(q.value(1)) + " " + ToStdString(q.value(2));
    }
    q.finish();
    for (size_t start = 0; start < pendingAudit_.size(); start += kAuditPerStatement) {
        const size_t end = std::min(pendingAudit_.size(), start + kAuditPerStatement);
        q.prepare(QStringLiteral("INSERT INTO audit (tbl, row_key, row_hash, chain_hash, previous_row) VALUES %1")
                      .arg(Placeholders(static_cast<int>(end - start), 5)));
        for (size_t i = start; i < end; ++i) {
            const AuditEntry& e = pendingAudit_[i];
            chain = AuditChainHash(chain, e.rowHash);
            q.addBindValue(e.table);
            q.addBindValue(ToQString(e.key));
            q.addBindValue(ToQString(e.rowHash));
            q.addBindValue(ToQString(chain));
            q.addBindValue(previousRow.empty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(ToQString(previousRow)));
            previousRow = e.table.toStdString() + " " + e.key;
        }
        if (!q.exec())
            return fail("監査記録を書けません", q);
    }
    pendingAudit_.clear();
    return true;
}

bool PlantStore::readHead(ChainHead& head)
{
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT seq, chain_hash FROM audit ORDER BY seq DESC LIMIT 1")))
        return fail("監査記録を読めません", q);
    head = ChainHead{};
    if (q.next()) {
        head.auditSeq = q.value(0).toLongLong();
        head.chainHash = ToStdString(q.value(1));
    }
    return true;
}

bool PlantStore::commit()
{
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("COMMIT")))
        return fail("データベースに書き込めません", q);
    writing_ = false;
    return true;
}

bool PlantStore::findCharacteristic(const Characteristic& c, bool create, std::int64_t& id)
{
    QSqlQuery q(db_);
    if (create) {
        q.prepare(
            QStringLiteral("INSERT INTO characteristic (product, process, machine, item) VALUES (?, ?, ?, ?) "
                           "ON CONFLICT DO NOTHING RETURNING id"));
        for (const std::string* f : {&c.product, &c.process, &c.machine, &c.item})
            q.addBindValue(ToQString(*f));
        if (!q.exec())
            return fail("特性を登録できません", q);
        if (q.next()) {
            id = q.value(0).toLongLong();
            q.finish();
            // A new characteristic joins the audit chain like any stored row.
            if (!dialect_.serverVouches())
                appendAudit(QStringLiteral("characteristic"), std::to_string(id),
                            AuditRowHash({std::to_string(id), c.product, c.process, c.machine, c.item}));
            return true;
        }
    }
    q.prepare(
        QStringLiteral("SELECT id FROM characteristic WHERE product = ? AND process = ? AND machine = ? AND item = ?"));
    for (const std::string* f : {&c.product, &c.process, &c.machine, &c.item})
        q.addBindValue(ToQString(*f));
    if (!q.exec())
        return fail("特性を読めません", q);
    id = q.next() ? q.value(0).toLongLong() : 0;
    return true;
}

bool PlantStore::beginWriting(std::int64_t& now, std::string& role)
{
    pendingAudit_.clear();
    QSqlQuery q(db_);
    if (!q.exec(QString::fromLatin1(dialect_.beginWrite())))
        return fail("データベースに書き込めません", q);
    writing_ = true;
    // Writers take turns, so each one extends the audit chain from its end.
    if (dialect_.engine == StoreEngine::Postgres && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7351002)")))
        return fail("データベースに書き込めません", q);
    if (!q.exec(QStringLiteral("SELECT %1, %2")
                    .arg(QLatin1String(dialect_.nowMillis()), QLatin1String(dialect_.sessionUser()))) ||
        !q.next())
        return fail("サーバの時刻を読めません", q);
    now = q.value(0).toLongLong();
    role = ToStdString(q.value(1));
    return true;
}

bool PlantStore::publish(const LotBatch& batch, int* inserted)
{
    return publish(std::span<const LotBatch>(&batch, 1), inserted);
}

bool PlantStore::publish(std::span<const LotBatch> batches, int* inserted)
{
    if (inserted)
        *inserted = 0;
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    int added = 0;
    std::vector<std::int64_t> touched;
    for (const LotBatch& batch : batches) {
        std::int64_t cid = 0;
        int n = 0;
        if (!publishBatch(batch, now, role, cid, n))
            return false;
        added += n;
        if (n > 0)
            touched.push_back(cid);
    }
    if (!writeAudit())
        return false;
    // Listeners learn which characteristic has new lots; they read the lots
    // themselves. The notice is sent when the transaction commits.
    QSqlQuery q(db_);
    if (dialect_.hasNotifications()) {
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        for (std::int64_t cid : touched) {
            q.prepare(QStringLiteral("SELECT pg_notify('trevolo_lots', ?)"));
            q.addBindValue(QString::number(cid));
            if (!q.exec())
                return fail("通知を送れません", q);
            q.finish();
        }
    }
    // The head of the chain this writer leaves, for the station to keep.
    ChainHead head;
    if (!readHead(head) || !commit())
        return false;
    head_ = head;
    if (inserted)
        *inserted = added;
    return true;
}

bool PlantStore::publishBatch(const LotBatch& batch, std::int64_t now, const std::string& role, std::int64_t& cid,
                              int& added)
{
    added = 0;
    if (!findCharacteristic(batch.characteristic, true, cid))
        return false;
    if (!recordSpecification(batch, cid, now))
        return false;
    // The lots, many to a statement.
    std::int64_t firstNewSeq = 0;
    for (size_t start = 0; start < batch.lots.size(); start += kLotsPerStatement) {
        const size_t end = std::min(batch.lots.size(), start + kLotsPerStatement);
        if (!insertLots(batch, start, end, cid, now, role, added, firstNewSeq))
            return false;
    }
    if (firstNewSeq == 0)
        return true;
    // The run rules on the series with the new lots, under the writers'
    // lock: whichever station completes a pattern finds it, once.
    std::vector<RecordedAlarm> alarms;
    if (!RecordSeriesAlarms(db_, dialect_, cid, firstNewSeq, now, alarms, error_)) {
        writing_ = false;
        QSqlQuery rollback(db_);
        rollback.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!dialect_.serverVouches())
        for (const RecordedAlarm& a : alarms)
            appendAudit(QStringLiteral("alarm"), std::to_string(a.seq), AuditRowHash(a.auditFields));
    return true;
}

bool PlantStore::recordSpecification(const LotBatch& batch, std::int64_t cid, std::int64_t now)
{
    // The specification is recorded only when it is not the one last
    // recorded.
    const Specification& spec = batch.specification;
    QSqlQuery q(db_);
    q.prepare(
        QStringLiteral("SELECT unit, kind, decimals, upper_limit, lower_limit FROM spec_set WHERE "
                       "characteristic_id = ? ORDER BY effective_from DESC, seq DESC LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec())
        return fail("規格を読めません", q);
    const bool sameSpec = q.next() && ToStdString(q.value(0)) == spec.unit && ToStdString(q.value(1)) == spec.kind &&
                          ToStdString(q.value(2)) == spec.decimals && ToStdString(q.value(3)) == spec.upper && ToStdString(q.value(4)) == spec.lower;
    q.finish();
    if (sameSpec || batch.lots.empty())
        return true;

    // In force from the batch's earliest lot, set by its first lot's operator.
    std::int64_t from = batch.lots.front().publishedAt;
    for (const StoredLot& l : batch.lots)
        from = std::min(from, l.publishedAt);
    const std::string setBy = batch.lots.front().operatorName;
    q.prepare(
        QStringLiteral("INSERT INTO spec_set (characteristic_id, unit, kind, decimals, upper_limit, "
                       "lower_limit, effective_from, set_by, received_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
                       "RETURNING seq"));
    q.addBindValue(static_cast<qlonglong>(cid));
    for (const std::string* f : {&spec.unit, &spec.kind, &spec.decimals, &spec.upper, &spec.lower})
        q.addBindValue(ToQString(*f));
    q.addBindValue(static_cast<qlonglong>(from));
    q.addBindValue(ToQString(setBy));
    q.addBindValue(static_cast<qlonglong>(now));
    if (!q.exec() || !q.next())
        return fail("規格を登録できません", q);
    const std::int64_t seq = q.value(0).toLongLong();
    q.finish();
    if (!dialect_.serverVouches())
        appendAudit(QStringLiteral("spec_set"), std::to_string(seq),
                    AuditRowHash({std::to_string(seq), std::to_string(cid), spec.unit, spec.kind, spec.decimals,
                                  spec.upper, spec.lower, std::to_string(from), setBy, std::to_string(now)}));
    return true;
}

bool PlantStore::insertLots(const LotBatch& batch, size_t start, size_t end, std::int64_t cid, std::int64_t now,
                            const std::string& role, int& added, std::int64_t& firstNewSeq)
{
    // The store keeps the first row of an id. On a server the sender and
    // the time written here are replaced by the server's own.
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("INSERT INTO lot (id, characteristic_id, supersedes, label, enabled, vals, "
                             "value_count, station, operator, order_key, published_at, received_at, received_by) "
                             "VALUES %1 ON CONFLICT (id) DO NOTHING RETURNING id, seq, supersedes")
                  .arg(Placeholders(static_cast<int>(end - start), 13)));
    for (size_t i = start; i < end; ++i) {
        const StoredLot& l = batch.lots[i];
        q.addBindValue(ToQString(l.id));
        q.addBindValue(static_cast<qlonglong>(cid));
        q.addBindValue(l.supersedes.empty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(ToQString(l.supersedes)));
        q.addBindValue(ToQString(l.label));
        BindLotContent(q, l);
        q.addBindValue(static_cast<qlonglong>(now));
        q.addBindValue(ToQString(role.empty() ? l.operatorName : role));
    }
    if (!q.exec())
        return fail("ロットを登録できません", q);
    std::unordered_map<std::string, bool> fresh;
    while (q.next()) {
        fresh.emplace(ToStdString(q.value(0)), true);
        // The series gets a new place with each new lot that corrects none.
        const std::int64_t seq = q.value(1).toLongLong();
        if ((q.value(2).isNull() || q.value(2).toString().isEmpty()) && (firstNewSeq == 0 || seq < firstNewSeq))
            firstNewSeq = seq;
    }
    q.finish();
    // The rows this statement added count, and the program records them in
    // the audit chain where the server does not.
    for (size_t i = start; i < end; ++i) {
        if (!fresh.count(batch.lots[i].id))
            continue;
        ++added;
        if (!dialect_.serverVouches()) {
            StoredLot l = batch.lots[i];
            l.receivedAt = now;
            l.receivedBy = role.empty() ? l.operatorName : role;
            appendAudit(QStringLiteral("lot"), l.id, AuditRowHash(LotFields(l, cid)));
        }
    }
    return true;
}

bool PlantStore::publishLimits(const Characteristic& characteristic, const LimitSet& limits)
{
    QSqlQuery q(db_);
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    if (role.empty())
        role = limits.setBy;
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, true, cid))
        return false;
    const std::string vals = JoinLimits(limits);
    q.prepare(
        QStringLiteral("INSERT INTO limit_set (characteristic_id, method, vals, set_by, effective_from, "
                       "received_at, received_by) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING seq"));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(ToQString(limits.method));
    q.addBindValue(ToQString(vals));
    q.addBindValue(ToQString(limits.setBy));
    q.addBindValue(static_cast<qlonglong>(limits.effectiveFrom));
    q.addBindValue(static_cast<qlonglong>(now));
    q.addBindValue(ToQString(role));
    if (!q.exec() || !q.next())
        return fail("管理限界を登録できません", q);
    const std::int64_t seq = q.value(0).toLongLong();
    q.finish();
    if (!dialect_.serverVouches())
        appendAudit(QStringLiteral("limit_set"), std::to_string(seq),
                    AuditRowHash({std::to_string(seq), std::to_string(cid), limits.method, vals, limits.setBy,
                                  std::to_string(limits.effectiveFrom), std::to_string(now), role}));
    return writeAudit() && commit();
}

bool PlantStore::stationLots(const Characteristic& characteristic, const std::string& station,
                             std::vector<StoredLot>& out)
{
    out.clear();
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, false, cid))
        return false;
    if (cid == 0)
        return true;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM lot l WHERE characteristic_id = ? AND station = ? AND NOT EXISTS "
                             "(SELECT 1 FROM lot n WHERE n.supersedes = l.id) ORDER BY order_key, seq")
                  .arg(kStoredLotColumns));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(ToQString(station));
    if (!q.exec())
        return fail("ロットを読めません", q);
    return readLots(q, out);
}

namespace {

// A name as the open dialog's search compares it: full- and half-width forms
// alike (NFKC, so "ｼｬﾌﾄ" is "シャフト" and "ＮＣ－３" is "NC-3"), and case
// ignored.
QString SearchForm(const QString& text)
{
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

}  // namespace

bool CharacteristicMatches(const Characteristic& c, const std::string& search)
{
    const QString wanted = SearchForm(ToQString(search));
    if (wanted.isEmpty())
        return true;
    for (const std::string* name : {&c.product, &c.process, &c.machine, &c.item})
        if (SearchForm(ToQString(*name)).contains(wanted))
            return true;
    return false;
}

bool PlantStore::characteristics(const std::string& search, std::vector<CharacteristicSummary>& out)
{
    out.clear();
    QSqlQuery q(db_);
    // Neither engine compares the width forms alike (SQLite has no
    // normalisation at all), so the search is made here, on the names read;
    // a plant has hundreds of characteristics, not millions.
    const QString sql = QStringLiteral(
        "SELECT c.id, c.product, c.process, c.machine, c.item, COUNT(DISTINCT l.station), COUNT(l.seq), "
        "COALESCE(MAX(l.published_at), 0) FROM characteristic c LEFT JOIN lot l ON l.characteristic_id = c.id "
        "AND NOT EXISTS (SELECT 1 FROM lot n WHERE n.supersedes = l.id) "
        "GROUP BY c.id, c.product, c.process, c.machine, c.item ORDER BY c.product, c.process, "
        "c.machine, c.item");
    if (!q.exec(sql))
        return fail("特性の一覧を読めません", q);
    while (q.next()) {
        CharacteristicSummary s;
        s.characteristic = {ToStdString(q.value(1)), ToStdString(q.value(2)), ToStdString(q.value(3)), ToStdString(q.value(4))};
        if (!CharacteristicMatches(s.characteristic, search))
            continue;
        s.id = q.value(0).toLongLong();
        s.stations = q.value(5).toLongLong();
        s.lots = q.value(6).toLongLong();
        s.lastPublishedAt = q.value(7).toLongLong();
        out.push_back(std::move(s));
    }
    return true;
}

bool PlantStore::readLots(QSqlQuery& q, std::vector<StoredLot>& out)
{
    while (q.next()) {
        StoredLot l = StoredLotAt(q, 1);
        l.seq = q.value(0).toLongLong();
        l.receivedAt = q.value(1 + kLotColumnCount).toLongLong();
        l.receivedBy = ToStdString(q.value(2 + kLotColumnCount));
        out.push_back(std::move(l));
    }
    return true;
}

bool PlantStore::inForce(std::int64_t cid, std::int64_t at, LotHistory& out)
{
    QSqlQuery q(db_);
    // The newest set taking effect by the time given, or else the oldest.
    q.prepare(
        QStringLiteral("SELECT unit, kind, decimals, upper_limit, lower_limit FROM spec_set WHERE "
                       "characteristic_id = ? ORDER BY CASE WHEN effective_from <= ? THEN 0 ELSE 1 END, "
                       "CASE WHEN effective_from <= ? THEN -effective_from ELSE effective_from END, seq DESC "
                       "LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(static_cast<qlonglong>(at));
    q.addBindValue(static_cast<qlonglong>(at));
    if (!q.exec())
        return fail("規格を読めません", q);
    out.hasSpecification = q.next();
    if (out.hasSpecification)
        out.specification = {ToStdString(q.value(0)), ToStdString(q.value(1)), ToStdString(q.value(2)), ToStdString(q.value(3)), ToStdString(q.value(4))};
    q.finish();
    q.prepare(
        QStringLiteral("SELECT seq, method, vals, set_by, effective_from FROM limit_set WHERE "
                       "characteristic_id = ? AND effective_from <= ? ORDER BY effective_from DESC, seq DESC "
                       "LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(static_cast<qlonglong>(at));
    if (!q.exec())
        return fail("管理限界を読めません", q);
    out.hasLimits = q.next();
    if (out.hasLimits) {
        out.limits.seq = q.value(0).toLongLong();
        out.limits.method = ToStdString(q.value(1));
        const std::vector<std::string> v = CommaTextSplit(ToStdString(q.value(2)));
        for (size_t i = 0; i < out.limits.values.size(); ++i)
            out.limits.values[i] = i < v.size() ? v[i] : std::string();
        out.limits.setBy = ToStdString(q.value(3));
        out.limits.effectiveFrom = q.value(4).toLongLong();
    }
    return true;
}

bool PlantStore::lots(const Characteristic& characteristic, int count, LotHistory& out)
{
    out = LotHistory{};
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, false, cid))
        return false;
    if (cid == 0)
        return true;
    out.characteristicId = cid;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    QString sql = QStringLiteral(
                      "SELECT %1 FROM lot l WHERE characteristic_id = ? AND NOT EXISTS (SELECT 1 FROM lot "
                      "n WHERE n.supersedes = l.id) ORDER BY order_key DESC, seq DESC")
                      .arg(kStoredLotColumns);
    if (count > 0)
        sql += QStringLiteral(" LIMIT ?");
    q.prepare(sql);
    q.addBindValue(static_cast<qlonglong>(cid));
    if (count > 0)
        q.addBindValue(count);
    if (!q.exec())
        return fail("ロットを読めません", q);
    readLots(q, out.lots);
    std::reverse(out.lots.begin(), out.lots.end());
    q.finish();
    q.prepare(QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM lot WHERE characteristic_id = ?"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec() || !q.next())
        return fail("ロットを読めません", q);
    out.lastSeq = q.value(0).toLongLong();
    q.finish();
    std::int64_t at = 0;
    for (const StoredLot& l : out.lots)
        at = std::max(at, l.publishedAt);
    return inForce(cid, out.lots.empty() ? StationNowMillis() : at, out);
}

bool PlantStore::newestLots(const Characteristic& characteristic, int count, LotHistory& out)
{
    return lots(characteristic, std::max(count, 1), out);
}

bool PlantStore::allLots(const Characteristic& characteristic, LotHistory& out)
{
    return lots(characteristic, 0, out);
}

bool PlantStore::limitHistory(const Characteristic& characteristic, std::vector<LimitSet>& out)
{
    out.clear();
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, false, cid))
        return false;
    QSqlQuery q(db_);
    q.prepare(
        QStringLiteral("SELECT s.seq, s.method, s.vals, s.set_by, s.effective_from, COALESCE(r.reason, '') FROM "
                       "limit_set s LEFT JOIN limit_revision r ON r.limit_set_seq = s.seq WHERE "
                       "s.characteristic_id = ? ORDER BY s.effective_from, s.seq"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec())
        return fail("管理限界を読めません", q);
    while (q.next()) {
        LimitSet s;
        s.seq = q.value(0).toLongLong();
        s.method = ToStdString(q.value(1));
        const std::vector<std::string> v = CommaTextSplit(ToStdString(q.value(2)));
        for (size_t i = 0; i < s.values.size() && i < v.size(); ++i)
            s.values[i] = v[i];
        s.setBy = ToStdString(q.value(3));
        s.effectiveFrom = q.value(4).toLongLong();
        s.reason = ToStdString(q.value(5));
        out.push_back(std::move(s));
    }
    return true;
}

bool PlantStore::lotsAfter(std::int64_t characteristicId, std::int64_t afterSeq, std::vector<StoredLot>& out)
{
    out.clear();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM lot WHERE characteristic_id = ? AND seq > ? ORDER BY seq")
                  .arg(kStoredLotColumns));
    q.addBindValue(static_cast<qlonglong>(characteristicId));
    q.addBindValue(static_cast<qlonglong>(afterSeq));
    if (!q.exec())
        return fail("ロットを読めません", q);
    return readLots(q, out);
}

namespace {

std::string TimeText(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

// What a head kept outside the chain promises: the row of its number holds
// its chain hash (and, for a checkpoint, is the rows-th row of the chain).
struct Promise {
    ChainHead head;
    std::int64_t rows = -1;  // -1: not known (a station's head)
    std::string name;        // "検査点 (…)" or "ステーションの記録 (…)"
};

// Promises by the audit row number they name.
using Promises = std::multimap<std::int64_t, Promise>;

// The checkpoints, each first proved to be signed (by the auditor's key,
// when given), and the stations' heads, as promises.
Promises CollectPromises(const std::vector<Checkpoint>& all, const VerifyOptions& options, AuditReport& report)
{
    Promises promises;
    std::set<std::string> seen;  // a checkpoint kept both inside and outside counts once
    for (const Checkpoint& c : all) {
        if (!seen.insert(c.signature + c.publicKey).second)
            continue;
        const std::string name = "検査点 (" + TimeText(c.madeAt) + ", 監査記録 " + std::to_string(c.auditRows) + " 件)";
        const std::string& key = options.publicKey.empty() ? c.publicKey : options.publicKey;
        if (!CheckpointSignedBy(c, key)) {
            report.problems.push_back(name + " の署名を確認できません" +
                                      (options.publicKey.empty() ? std::string("。") : std::string(" (監査者の鍵で署名されていません)。")));
            continue;
        }
        ++report.checkpointsChecked;
        promises.emplace(c.head.auditSeq, Promise{c.head, c.auditRows, name});
    }
    for (const ChainHead& h : options.stationHeads) {
        ++report.headsChecked;
        promises.emplace(h.auditSeq, Promise{h, -1, "ステーションが見た監査記録 " + std::to_string(h.auditSeq)});
    }
    return promises;
}

// A table the audit chain records, with the columns its row hash covers.
struct AuditSource {
    const char* table;
    const char* key;
    const char* columns;
    int count;
};

constexpr AuditSource kAuditSources[] = {
    {"characteristic", "id", "id, product, process, machine, item", 5},
    {"spec_set", "seq",
     "seq, characteristic_id, unit, kind, decimals, upper_limit, lower_limit, effective_from, set_by, received_at",
     10},
    {"limit_set", "seq", "seq, characteristic_id, method, vals, set_by, effective_from, received_at, received_by",
     8},
    {"lot", "id",
     "id, characteristic_id, supersedes, label, enabled, vals, value_count, station, operator, order_key, "
     "published_at, received_at, received_by",
     13},
    {"rule_setting", "seq", "seq, characteristic_id, options, spread, received_at, received_by", 6},
    {"alarm", "seq",
     "seq, characteristic_id, rule, side, lot_ids, last_lot, limit_set_seq, received_at, received_by", 9},
    {"alarm_answer", "seq", "seq, alarm_seq, cause, action, comment, received_at, received_by", 7},
    {"lot_note", "seq", "seq, lot_id, characteristic_id, note, received_at, received_by", 6},
    {"reason_list", "seq", "seq, kind, product, entries, received_at, received_by", 6},
    {"limit_revision", "seq", "seq, limit_set_seq, reason, received_at, received_by", 5},
};

// The audit entry's own columns come first, then each source's columns.
constexpr int kFirstSourceColumn = 6;

// The audit chain in order, each entry beside the row it names as that row
// reads now.
QString AuditChainQuery()
{
    QString select = QStringLiteral("SELECT a.seq, a.tbl, a.row_key, a.row_hash, a.chain_hash, a.previous_row");
    QString from = QStringLiteral(" FROM audit a");
    for (const AuditSource& src : kAuditSources) {
        for (const QString& column : QString::fromLatin1(src.columns).split(QStringLiteral(", ")))
            select += QStringLiteral(", t_%1.%2").arg(QLatin1String(src.table), column);
        from += QStringLiteral(" LEFT JOIN %1 t_%1 ON a.tbl = '%1' AND CAST(t_%1.%2 AS TEXT) = a.row_key")
                    .arg(QLatin1String(src.table), QLatin1String(src.key));
    }
    return select + from + QStringLiteral(" ORDER BY a.seq");
}

// The walk along the audit chain, one entry at a time.
struct ChainWalk {
    std::string chain;         // the chain hash of the entry before
    std::string previousName;  // the row the entry before names
    std::int64_t lastSeq = 0;
    std::vector<std::string> lostRows;  // rows named by the entry after a gap
};

// The row an audit entry names, as it reads now: missing or changed since
// the entry was written.
void CheckNamedRow(const QSqlQuery& q, const std::string& table, const std::string& name,
                   const std::string& rowHash, AuditReport& report)
{
    int column = kFirstSourceColumn;
    for (const AuditSource& src : kAuditSources) {
        if (table == src.table) {
            if (q.value(column).isNull()) {
                report.problems.push_back(name + " がありません (削除されています)。");
            } else {
                std::vector<std::string> fields;
                for (int i = 0; i < src.count; ++i)
                    fields.push_back(ToStdString(q.value(column + i)));
                if (AuditRowHash(fields) != rowHash)
                    report.problems.push_back(name + " が変更されています。");
            }
        }
        column += src.count;
    }
}

// One audit entry: its link to the chain, the promises made of it, and the
// row it names.
void CheckAuditEntry(const QSqlQuery& q, ChainWalk& walk, Promises& promises, AuditReport& report)
{
    const std::int64_t seqNumber = q.value(0).toLongLong();
    const std::string seq = ToStdString(q.value(0));
    const std::string table = ToStdString(q.value(1));
    const std::string key = ToStdString(q.value(2));
    const std::string rowHash = ToStdString(q.value(3));
    const std::string stored = ToStdString(q.value(4));
    const std::string before = ToStdString(q.value(5));
    const std::string name = table + " " + key;
    ++report.rowsChecked;
    walk.lastSeq = seqNumber;
    if (AuditChainHash(walk.chain, rowHash) != stored) {
        // Each entry names the row before it: when that is not the row
        // found before it, the row it names was taken out of the chain.
        if (!before.empty() && before != walk.previousName) {
            walk.lostRows.push_back(before);
            report.problems.push_back(before + " が監査記録から削除されています (監査記録 " + seq + " の前)。");
        } else {
            report.problems.push_back("監査記録 " + seq + " (" + name + ") で連鎖が途切れています。");
        }
    }
    walk.chain = stored;
    walk.previousName = name;
    for (auto [it, end] = promises.equal_range(seqNumber); it != end; it = promises.erase(it)) {
        if (it->second.head.chainHash != stored || (it->second.rows >= 0 && it->second.rows != report.rowsChecked))
            report.problems.push_back("監査記録 " + seq + " が " + it->second.name +
                                      " の後に書き換えられています (連鎖が一致しません)。");
    }
    CheckNamedRow(q, table, name, rowHash, report);
}

// Heads the chain never reached: rows removed from its end, or the row of
// the head taken out.
void ReportUnreachedHeads(const Promises& promises, std::int64_t lastSeq, AuditReport& report)
{
    for (const auto& [seqNumber, p] : promises) {
        if (seqNumber > lastSeq)
            report.problems.push_back("監査記録が末尾から削除されています: " + p.name + " は監査記録 " +
                                      std::to_string(seqNumber) + " までありましたが、今は " +
                                      std::to_string(lastSeq) + " までしかありません。");
        else
            report.problems.push_back("監査記録 " + std::to_string(seqNumber) + " (" + p.name + " の先頭) がありません。");
    }
}

// Rows that no audit entry names: added behind the store's back. Rows the
// chain lost are reported already. False when a table cannot be read.
bool ReportUnauditedRows(QSqlQuery& q, const std::vector<std::string>& lostRows, AuditReport& report)
{
    for (const AuditSource& src : kAuditSources) {
        if (!q.exec(QStringLiteral("SELECT %2 FROM %1 t WHERE NOT EXISTS (SELECT 1 FROM audit a WHERE a.tbl = '%1' "
                                   "AND a.row_key = CAST(t.%2 AS TEXT)) ORDER BY %2")
                        .arg(QLatin1String(src.table), QLatin1String(src.key))))
            return false;
        while (q.next()) {
            const std::string name = std::string(src.table) + " " + ToStdString(q.value(0));
            if (std::find(lostRows.begin(), lostRows.end(), name) == lostRows.end())
                report.problems.push_back(name + " は監査記録にありません。");
        }
    }
    return true;
}

}  // namespace

bool PlantStore::verify(AuditReport& report, const VerifyOptions& options)
{
    report = AuditReport{};
    // The checkpoints: those stored and those given.
    std::vector<Checkpoint> all;
    if (!checkpoints(all))
        return false;
    all.insert(all.end(), options.checkpoints.begin(), options.checkpoints.end());
    Promises promises = CollectPromises(all, options, report);

    // The chain is streamed: the check holds one row at a time whatever the
    // store's size.
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(AuditChainQuery()))
        return fail("監査記録を読めません", q);
    ChainWalk walk;
    while (q.next())
        CheckAuditEntry(q, walk, promises, report);
    ReportUnreachedHeads(promises, walk.lastSeq, report);
    if (!ReportUnauditedRows(q, walk.lostRows, report))
        return fail("監査記録を読めません", q);
    return true;
}

bool PlantStore::checkpoint(const std::string& keyFile, Checkpoint& out)
{
    out = Checkpoint{};
    std::int64_t now = 0;
    std::string role;
    // Taken between writers, so the head is one a writer left.
    if (!beginWriting(now, role))
        return false;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT COUNT(*), COALESCE(MAX(seq), 0) FROM audit")) || !q.next())
        return fail("監査記録を読めません", q);
    out.auditRows = q.value(0).toLongLong();
    q.finish();
    if (out.auditRows == 0) {
        error_ = "監査記録がまだありません。検査点は最初のロットが登録されてから作れます。";
        q.exec(QStringLiteral("ROLLBACK"));
        writing_ = false;
        return false;
    }
    if (!readHead(out.head))
        return false;
    out.madeAt = now;
    std::string why;
    if (!SignCheckpoint(out, keyFile, why)) {
        error_ = why;
        q.exec(QStringLiteral("ROLLBACK"));
        writing_ = false;
        return false;
    }
    out.madeBy = role;
    q.prepare(QStringLiteral("INSERT INTO checkpoint (audit_rows, audit_seq, chain_hash, made_at, public_key, "
                             "signature, made_by) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(static_cast<qlonglong>(out.auditRows));
    q.addBindValue(static_cast<qlonglong>(out.head.auditSeq));
    q.addBindValue(ToQString(out.head.chainHash));
    q.addBindValue(static_cast<qlonglong>(out.madeAt));
    q.addBindValue(ToQString(out.publicKey));
    q.addBindValue(ToQString(out.signature));
    q.addBindValue(ToQString(out.madeBy));
    if (!q.exec())
        return fail("検査点を登録できません", q);
    return commit();
}

bool PlantStore::checkpoints(std::vector<Checkpoint>& out)
{
    out.clear();
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT audit_rows, audit_seq, chain_hash, made_at, public_key, signature, made_by "
                               "FROM checkpoint ORDER BY seq")))
        return fail("検査点を読めません", q);
    while (q.next()) {
        Checkpoint c;
        c.auditRows = q.value(0).toLongLong();
        c.head.auditSeq = q.value(1).toLongLong();
        c.head.chainHash = ToStdString(q.value(2));
        c.madeAt = q.value(3).toLongLong();
        c.publicKey = ToStdString(q.value(4));
        c.signature = ToStdString(q.value(5));
        c.madeBy = ToStdString(q.value(6));
        out.push_back(std::move(c));
    }
    return true;
}

bool PlantStore::storeId(std::string& id)
{
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT value FROM store_info WHERE name = 'store_id'")))
        return fail("データベースの識別子を読めません", q);
    id = q.next() ? ToStdString(q.value(0)) : std::string();
    return true;
}

bool PlantStore::createRoles(std::vector<std::string>& created, bool& granted)
{
    created.clear();
    granted = false;
    if (!dialect_.hasRoles()) {
        error_ = "SQLite のデータベースにはロールがありません (ロールは PostgreSQL のものです)。";
        return false;
    }
    return CreateStoreRoles(db_, created, granted, error_);
}

bool PlantStore::alarms(std::int64_t characteristicId, bool onlyOpen, std::int64_t afterSeq, std::vector<Alarm>& out)
{
    out.clear();
    QString where = QStringLiteral("a.seq > ?");
    if (characteristicId != 0)
        where += QStringLiteral(" AND a.characteristic_id = ?");
    if (onlyOpen)
        where += QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM alarm_answer x WHERE x.alarm_seq = a.seq)");
    auto bind = [&](QSqlQuery& q) {
        q.addBindValue(static_cast<qlonglong>(afterSeq));
        if (characteristicId != 0)
            q.addBindValue(static_cast<qlonglong>(characteristicId));
    };
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT a.seq, a.characteristic_id, c.product, c.process, c.machine, c.item, a.rule, "
                             "a.side, a.lot_ids, l.label, a.limit_set_seq, a.received_at, a.received_by FROM alarm a "
                             "JOIN characteristic c ON c.id = a.characteristic_id JOIN lot l ON l.id = a.last_lot "
                             "WHERE %1 ORDER BY a.seq")
                  .arg(where));
    bind(q);
    if (!q.exec())
        return fail("アラームを読めません", q);
    std::unordered_map<std::int64_t, size_t> index;
    while (q.next()) {
        Alarm a;
        a.seq = q.value(0).toLongLong();
        a.characteristicId = q.value(1).toLongLong();
        a.characteristic = {ToStdString(q.value(2)), ToStdString(q.value(3)), ToStdString(q.value(4)),
                            ToStdString(q.value(5))};
        a.rule = q.value(6).toInt();
        a.side = q.value(7).toInt();
        for (const QString& id : q.value(8).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            a.lotIds.push_back(id.toStdString());
        a.lastLabel = ToStdString(q.value(9));
        a.limitSetSeq = q.value(10).toLongLong();
        a.foundAt = q.value(11).toLongLong();
        a.foundBy = ToStdString(q.value(12));
        index.emplace(a.seq, out.size());
        out.push_back(std::move(a));
    }
    q.finish();
    if (out.empty())
        return true;
    q.prepare(QStringLiteral("SELECT x.seq, x.alarm_seq, x.cause, x.action, x.comment, x.received_by, x.received_at "
                             "FROM alarm_answer x JOIN alarm a ON a.seq = x.alarm_seq WHERE %1 ORDER BY x.seq")
                  .arg(where));
    bind(q);
    if (!q.exec())
        return fail("アラームの対応を読めません", q);
    while (q.next()) {
        AlarmAnswer answer;
        answer.seq = q.value(0).toLongLong();
        answer.alarmSeq = q.value(1).toLongLong();
        answer.cause = ToStdString(q.value(2));
        answer.action = ToStdString(q.value(3));
        answer.comment = ToStdString(q.value(4));
        answer.answeredBy = ToStdString(q.value(5));
        answer.answeredAt = q.value(6).toLongLong();
        const auto it = index.find(answer.alarmSeq);
        if (it != index.end())
            out[it->second].answers.push_back(std::move(answer));
    }
    return true;
}

bool PlantStore::answerAlarm(const AlarmAnswer& answer, AlarmAnswer* stored)
{
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT seq FROM alarm WHERE seq = ?"));
    q.addBindValue(static_cast<qlonglong>(answer.alarmSeq));
    if (!q.exec())
        return fail("アラームを読めません", q);
    if (!q.next()) {
        q.finish();
        q.exec(QStringLiteral("ROLLBACK"));
        writing_ = false;
        error_ = "アラーム " + std::to_string(answer.alarmSeq) + " は登録されていません。";
        return false;
    }
    q.finish();
    // On a server the answerer and the time are the server's word; on the
    // embedded engine they are the transaction's.
    AlarmAnswer row = answer;
    row.answeredAt = now;
    if (!role.empty())
        row.answeredBy = role;
    q.prepare(QStringLiteral("INSERT INTO alarm_answer (alarm_seq, cause, action, comment, received_at, received_by) "
                             "VALUES (?, ?, ?, ?, ?, ?) RETURNING seq, received_at, received_by"));
    q.addBindValue(static_cast<qlonglong>(row.alarmSeq));
    q.addBindValue(ToQString(row.cause));
    q.addBindValue(ToQString(row.action));
    q.addBindValue(ToQString(row.comment));
    q.addBindValue(static_cast<qlonglong>(row.answeredAt));
    q.addBindValue(ToQString(row.answeredBy));
    if (!q.exec() || !q.next())
        return fail("アラームの対応を登録できません", q);
    row.seq = q.value(0).toLongLong();
    row.answeredAt = q.value(1).toLongLong();
    row.answeredBy = ToStdString(q.value(2));
    q.finish();
    if (!dialect_.serverVouches())
        appendAudit(QStringLiteral("alarm_answer"), std::to_string(row.seq),
                    AuditRowHash({std::to_string(row.seq), std::to_string(row.alarmSeq), row.cause, row.action,
                                  row.comment, std::to_string(row.answeredAt), row.answeredBy}));
    if (!writeAudit() || !commit())
        return false;
    if (stored)
        *stored = row;
    return true;
}

const LimitSet* LimitSetInForce(const std::vector<LimitSet>& history, std::int64_t at)
{
    const LimitSet* found = nullptr;
    for (const LimitSet& s : history)
        if (s.effectiveFrom <= at && (!found || s.effectiveFrom >= found->effectiveFrom))
            found = &s;
    return found;
}

}  // namespace trevolo
