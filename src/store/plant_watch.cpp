// The plant store's watches kept by people: the rule settings of a
// characteristic, notes on lots, the cause and action lists, and limit
// revisions with their reasons. Every write is one transaction under the
// writers' lock that extends the audit chain; on PostgreSQL the server
// vouches for who and when, and the role's rights decide who may write.
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <set>

#include "model/commatext.h"
#include "model/number.h"
#include "spc/rule_options.h"
#include "stats/control_limits.h"
#include "store/alarm_evaluation.h"
#include "store/plant_store.h"
#include "store/qt_text.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

// Live views of the watches listen here; the payload is the characteristic's
// id, 0 for the lists, which belong to no characteristic.
constexpr const char* kWatchChannel = "trevolo_watch";

const char* const kEngineerOnlyRuleSetting = "判定ルールの変更は技術者ロール（trevolo_engineer）のみ行えます。";
const char* const kEngineerOnlyReasonList = "原因・処置リストの変更は技術者ロール（trevolo_engineer）のみ行えます。";
const char* const kEngineerOnlyRevision = "管理限界の改訂は技術者ロール（trevolo_engineer）のみ行えます。";

// The database refused the statement for want of a right.
bool Refused(const QSqlQuery& q)
{
    return q.lastError().nativeErrorCode() == QLatin1String("42501");
}

const char* KindText(ReasonList::Kind kind)
{
    return kind == ReasonList::Kind::Cause ? "cause" : "action";
}

const char* KindName(ReasonList::Kind kind)
{
    return kind == ReasonList::Kind::Cause ? "原因" : "処置";
}

// Who wrote a row on the embedded engine, which has no roles: the login name
// of this process, as lots carry their operator's.
std::string Writer(const std::string& role)
{
    return role.empty() ? CurrentPublisher().operatorName : role;
}

std::string Trimmed(const std::string& text)
{
    return ToStdString(ToQString(text).trimmed());
}

// Tells the live views of the watches, when the transaction commits, which
// characteristic changed.
bool SendWatchNotice(QSqlQuery& q, const StoreDialect& dialect, std::int64_t cid)
{
    if (!dialect.hasNotifications())
        return true;
    q.prepare(QStringLiteral("SELECT pg_notify(?, ?)"));
    q.addBindValue(QString::fromLatin1(kWatchChannel));
    q.addBindValue(QString::number(cid));
    const bool sent = q.exec();
    if (sent)
        q.finish();
    return sent;
}

}  // namespace

struct PlantStore::WatchRow {
    const char* table;
    const char* columns;  // those before received_at and received_by
    std::vector<QVariant> values;
    const char* failText;
    // What a role without the right is told; null: the driver's words.
    const char* refusedText = nullptr;
};

bool PlantStore::insertWatchRow(QSqlQuery& q, const WatchRow& row, std::int64_t now, const std::string& writer,
                                StoredWatchRow& stored)
{
    QStringList marks;
    for (size_t i = 0; i < row.values.size() + 2; ++i)
        marks << QStringLiteral("?");
    q.prepare(QStringLiteral("INSERT INTO %1 (%2, received_at, received_by) VALUES (%3) RETURNING seq, received_at, "
                             "received_by")
                  .arg(QLatin1String(row.table), QLatin1String(row.columns), marks.join(QStringLiteral(", "))));
    // The audit hash is over the stored fields in column order: the number,
    // the values, then the time and the writer.
    std::vector<std::string> fields{std::string()};
    for (const QVariant& v : row.values) {
        q.addBindValue(v);
        fields.push_back(ToStdString(v));
    }
    q.addBindValue(static_cast<qlonglong>(now));
    q.addBindValue(ToQString(writer));
    if (!q.exec() || !q.next()) {
        const bool refused = Refused(q);
        fail(row.failText, q);
        if (refused && row.refusedText)
            error_ = row.refusedText;
        return false;
    }
    stored.seq = q.value(0).toLongLong();
    stored.receivedAt = q.value(1).toLongLong();
    stored.receivedBy = ToStdString(q.value(2));
    q.finish();
    if (!dialect_.serverVouches()) {
        fields.front() = std::to_string(stored.seq);
        fields.push_back(std::to_string(now));
        fields.push_back(writer);
        appendAudit(QString::fromLatin1(row.table), fields.front(), AuditRowHash(fields));
    }
    return true;
}

bool PlantStore::finishWatchWrite(QSqlQuery& q, std::int64_t cid)
{
    if (!writeAudit())
        return false;
    if (!SendWatchNotice(q, dialect_, cid))
        return fail("通知を送れません", q);
    return commit();
}

RuleSetting DefaultRuleSetting()
{
    RuleSetting s;
    s.options = RuleOptions::Defaults();
    return s;
}

bool PlantStore::characteristicId(const Characteristic& characteristic, std::int64_t& id)
{
    id = 0;
    return findCharacteristic(characteristic, false, id);
}

bool PlantStore::ruleSetting(const Characteristic& characteristic, RuleSetting& out, bool* stored)
{
    out = DefaultRuleSetting();
    if (stored)
        *stored = false;
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, false, cid))
        return false;
    if (cid == 0)
        return true;
    QSqlQuery q(db_);
    q.prepare(
        QStringLiteral("SELECT seq, options, spread, received_at, received_by FROM rule_setting WHERE "
                       "characteristic_id = ? ORDER BY seq DESC LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec())
        return fail("判定ルールを読めません", q);
    if (!q.next())
        return true;
    // Settings that cannot be read leave the default switches and lengths,
    // as the evaluation inside publishing reads them.
    ParseRuleOptionsText(ToStdString(q.value(1)), out.options);
    out.seq = q.value(0).toLongLong();
    out.spread = ToStdString(q.value(2));
    out.receivedAt = q.value(3).toLongLong();
    out.setBy = ToStdString(q.value(4));
    if (stored)
        *stored = true;
    return true;
}

bool PlantStore::setRuleSetting(const Characteristic& characteristic, const RuleSetting& setting)
{
    if (ValidateRuleOptions(setting.options)) {
        error_ = kRuleOptionsInvalidMessage;
        return false;
    }
    if (!setting.spread.empty() && setting.spread != "R" && setting.spread != "S" && setting.spread != "Rs") {
        error_ = "ばらつきの管理図「" + setting.spread + "」は使えません。R・S・Rs のどれかを選んでください。";
        return false;
    }
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    const std::string writer = Writer(role);
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, true, cid))
        return false;
    QSqlQuery q(db_);
    StoredWatchRow stored;
    return insertWatchRow(q,
                          {"rule_setting", "characteristic_id, options, spread",
                           {static_cast<qlonglong>(cid), ToQString(RuleOptionsText(setting.options)),
                            ToQString(setting.spread)},
                           "判定ルールを登録できません", kEngineerOnlyRuleSetting},
                          now, writer, stored) &&
           finishWatchWrite(q, cid);
}

bool PlantStore::addNote(const std::string& lotId, const std::string& text, LotNote* stored)
{
    const std::string note = Trimmed(text);
    if (note.empty()) {
        error_ = "メモが空です。書き留めることを入力してください。";
        return false;
    }
    // A lot is never removed once stored, so finding it before the writing
    // starts is as good as finding it inside.
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT characteristic_id FROM lot WHERE id = ?"));
    q.addBindValue(ToQString(lotId));
    if (!q.exec())
        return fail("ロットを読めません", q);
    if (!q.next()) {
        error_ = "ロット「" + lotId + "」はストアにありません。メモを付けられません。";
        return false;
    }
    const std::int64_t cid = q.value(0).toLongLong();
    q.finish();

    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    const std::string writer = Writer(role);
    StoredWatchRow row;
    if (!insertWatchRow(q,
                        {"lot_note", "lot_id, characteristic_id, note",
                         {ToQString(lotId), static_cast<qlonglong>(cid), ToQString(note)},
                         "メモを登録できません"},
                        now, writer, row) ||
        !finishWatchWrite(q, cid))
        return false;
    if (stored)
        *stored = LotNote{row.seq, lotId, cid, note, row.receivedBy, row.receivedAt};
    return true;
}

bool PlantStore::notes(std::int64_t characteristicId, std::vector<LotNote>& out)
{
    out.clear();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT seq, lot_id, characteristic_id, note, received_at, received_by FROM lot_note "
                       "WHERE characteristic_id = ? ORDER BY seq"));
    q.addBindValue(static_cast<qlonglong>(characteristicId));
    if (!q.exec())
        return fail("メモを読めません", q);
    while (q.next()) {
        LotNote n;
        n.seq = q.value(0).toLongLong();
        n.lotId = ToStdString(q.value(1));
        n.characteristicId = q.value(2).toLongLong();
        n.text = ToStdString(q.value(3));
        n.writtenAt = q.value(4).toLongLong();
        n.writtenBy = ToStdString(q.value(5));
        out.push_back(std::move(n));
    }
    return true;
}

bool PlantStore::reasonLists(const std::string& product, ReasonList& causes, ReasonList& actions)
{
    // The product's newest list of a kind, else the plant's newest. An empty
    // list stored for a product hands the product back to the plant's list.
    QSqlQuery q(db_);
    q.prepare(
        QStringLiteral("SELECT entries, received_at, received_by FROM reason_list WHERE kind = ? AND "
                       "product = ? ORDER BY seq DESC LIMIT 1"));
    for (ReasonList* list : {&causes, &actions}) {
        const ReasonList::Kind kind = list == &causes ? ReasonList::Kind::Cause : ReasonList::Kind::Action;
        *list = ReasonList{};
        list->kind = kind;
        for (const std::string& owner : {product, std::string()}) {
            q.addBindValue(QString::fromLatin1(KindText(kind)));
            q.addBindValue(ToQString(owner));
            if (!q.exec())
                return fail("原因・処置リストを読めません", q);
            const bool found = q.next() && !q.value(0).toString().isEmpty();
            if (found) {
                list->product = owner;
                list->entries = CommaTextSplit(ToStdString(q.value(0)));
                list->receivedAt = q.value(1).toLongLong();
                list->setBy = ToStdString(q.value(2));
            }
            q.finish();
            if (found)
                break;
        }
    }
    return true;
}

bool PlantStore::setReasonList(const ReasonList& list)
{
    std::vector<std::string> entries;
    std::set<std::string> seen;
    for (const std::string& e : list.entries) {
        const std::string entry = Trimmed(e);
        if (entry.empty()) {
            error_ = std::string(KindName(list.kind)) +
                     "リストに空の項目があります。項目を入力するか、削除してください。";
            return false;
        }
        if (!seen.insert(entry).second) {
            error_ = std::string(KindName(list.kind)) + "リストに「" + entry + "」が２つあります。";
            return false;
        }
        entries.push_back(entry);
    }
    const std::string text = CommaTextJoin(entries);
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    const std::string writer = Writer(role);
    QSqlQuery q(db_);
    StoredWatchRow stored;
    return insertWatchRow(q,
                          {"reason_list", "kind, product, entries",
                           {QString::fromLatin1(KindText(list.kind)), ToQString(list.product), ToQString(text)},
                           "原因・処置リストを登録できません", kEngineerOnlyReasonList},
                          now, writer, stored) &&
           finishWatchWrite(q, 0);
}

bool PlantStore::reviseLimits(const Characteristic& characteristic, const LimitSet& limits, const std::string& reason)
{
    const std::string why = Trimmed(reason);
    if (why.empty()) {
        error_ = "管理限界を改訂する理由を入力してください。";
        return false;
    }
    // The set must give every lot after it lines to be judged against: a
    // text that is not a number would leave those lots out of the watch.
    for (const std::string& v : limits.values) {
        double number = 0;
        if (!Trim(v).empty() && !TryStrToFloat(v, number)) {
            error_ = "管理限界の値「" + v + "」が数値ではありません。";
            return false;
        }
    }
    if (Trim(limits.values[LimitXcl]).empty()) {
        error_ = "管理限界の中心線がありません。";
        return false;
    }
    // A characteristic is never removed once stored, so finding it before
    // the writing starts is as good as finding it inside.
    std::int64_t cid = 0;
    if (!findCharacteristic(characteristic, false, cid))
        return false;
    if (cid == 0) {
        error_ = "特性「" + characteristic.product + " / " + characteristic.process + " / " + characteristic.machine +
                 " / " + characteristic.item + "」はストアにありません。管理限界を改訂できません。";
        return false;
    }
    std::int64_t now = 0;
    std::string role;
    if (!beginWriting(now, role))
        return false;
    const std::string writer = Writer(role);
    const std::string setBy = limits.setBy.empty() ? writer : limits.setBy;
    QSqlQuery q(db_);
    // The revised set is in force from the server's now: lots published
    // before keep the set that was in force for them.
    const std::string vals = CommaTextJoin(std::vector<std::string>(limits.values.begin(), limits.values.end()));
    StoredWatchRow set, revision;
    return insertWatchRow(q,
                          {"limit_set", "characteristic_id, method, vals, set_by, effective_from",
                           {static_cast<qlonglong>(cid), ToQString(limits.method), ToQString(vals), ToQString(setBy),
                            static_cast<qlonglong>(now)},
                           "管理限界を登録できません", kEngineerOnlyRevision},
                          now, writer, set) &&
           insertWatchRow(q,
                          {"limit_revision", "limit_set_seq, reason",
                           {static_cast<qlonglong>(set.seq), ToQString(why)},
                           "管理限界の改訂を登録できません", kEngineerOnlyRevision},
                          now, writer, revision) &&
           finishWatchWrite(q, cid);
}

bool PlantStore::mayEngineer(std::string& whyNot)
{
    whyNot.clear();
    if (dialect_.engine != StoreEngine::Postgres)
        return true;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT has_table_privilege('limit_set', 'INSERT') AND "
                               "has_table_privilege('limit_revision', 'INSERT')")) ||
        !q.next()) {
        fail("権限を確かめられません", q);
        whyNot = error_;
        return false;
    }
    if (q.value(0).toBool())
        return true;
    whyNot = kEngineerOnlyRevision;
    return false;
}

}  // namespace trevolo
