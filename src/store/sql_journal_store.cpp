#include "store/sql_journal_store.h"

#include <QByteArray>
#include <QSqlError>
#include <QVariant>
#include <atomic>

namespace trevolo {

namespace {

std::string Text(const QSqlError& e)
{
    return e.text().toStdString();
}

QByteArray Bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FromBytes(const QVariant& v)
{
    const QByteArray b = v.toByteArray();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace

SqlJournalStore::SqlJournalStore(const QString& connection) : connection_(connection) {}

std::unique_ptr<SqlJournalStore> SqlJournalStore::openFile(const QString& path, bool checkWhole, std::string* error)
{
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("trevolo-journal-%1").arg(++serial);
    std::unique_ptr<SqlJournalStore> s(new SqlJournalStore(name));
    s->db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    s->db_.setDatabaseName(path);
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return nullptr;
    };
    if (!s->db_.isValid())
        return fail("the SQLite driver of the SQL module is missing");
    if (!s->db_.open())
        return fail(Text(s->db_.lastError()));
    if (checkWhole) {
        QSqlQuery q(s->db_);
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
            return fail(Text(q.lastError()));
        if (q.value(0).toString() != QLatin1String("ok"))
            return fail(q.value(0).toString().toStdString());
    }
    // The log beside the file takes each commit with one append, not synced:
    // a commit survives the end of the process at once, and a power loss
    // once the log was synced (sync(), or the engine's own checkpoints).
    if (!s->execText("PRAGMA journal_mode=WAL") || !s->execText("PRAGMA synchronous=NORMAL") ||
        !s->execText("CREATE TABLE IF NOT EXISTS workbook (id INTEGER PRIMARY KEY CHECK (id = 1), "
                     "sheets INTEGER NOT NULL, shown INTEGER NOT NULL)") ||
        !s->execText("CREATE TABLE IF NOT EXISTS sheet (idx INTEGER PRIMARY KEY, record BLOB NOT NULL)") ||
        !s->execText("CREATE TABLE IF NOT EXISTS edit (seq INTEGER PRIMARY KEY, sheet INTEGER NOT NULL, "
                     "kind INTEGER NOT NULL, col INTEGER NOT NULL, row INTEGER NOT NULL, text BLOB NOT NULL)") ||
        !s->execText("CREATE INDEX IF NOT EXISTS edit_sheet ON edit (sheet)"))
        return fail(s->error_);
    if (!s->prepare(error))
        return nullptr;
    return s;
}

SqlJournalStore::~SqlJournalStore()
{
    close();
}

void SqlJournalStore::close()
{
    if (connection_.isEmpty())
        return;
    for (auto* q : {&putSheet_, &dropEntries_, &putEntry_, &putWorkbook_, &dropSheetsFrom_, &dropEntriesFrom_})
        q->reset();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

bool SqlJournalStore::prepare(std::string* error)
{
    auto make = [&](std::unique_ptr<QSqlQuery>& q, const char* sql) {
        q = std::make_unique<QSqlQuery>(db_);
        if (q->prepare(QString::fromLatin1(sql)))
            return true;
        error_ = Text(q->lastError());
        if (error)
            *error = error_;
        return false;
    };
    return make(putSheet_, "INSERT OR REPLACE INTO sheet (idx, record) VALUES (?, ?)") &&
           make(dropEntries_, "DELETE FROM edit WHERE sheet = ?") &&
           make(putEntry_, "INSERT INTO edit (sheet, kind, col, row, text) VALUES (?, ?, ?, ?, ?)") &&
           make(putWorkbook_, "INSERT OR REPLACE INTO workbook (id, sheets, shown) VALUES (1, ?, ?)") &&
           make(dropSheetsFrom_, "DELETE FROM sheet WHERE idx >= ?") &&
           make(dropEntriesFrom_, "DELETE FROM edit WHERE sheet >= ?");
}

bool SqlJournalStore::exec(QSqlQuery& q)
{
    if (q.exec())
        return true;
    error_ = Text(q.lastError());
    return false;
}

bool SqlJournalStore::execText(const char* sql)
{
    QSqlQuery q(db_);
    if (q.exec(QString::fromLatin1(sql)))
        return true;
    error_ = Text(q.lastError());
    return false;
}

bool SqlJournalStore::begin()
{
    if (db_.transaction())
        return true;
    error_ = Text(db_.lastError());
    return false;
}

bool SqlJournalStore::commit()
{
    if (db_.commit())
        return true;
    error_ = Text(db_.lastError());
    return false;
}

void SqlJournalStore::rollback()
{
    db_.rollback();
}

bool SqlJournalStore::putSheet(int index, const std::string& record)
{
    dropEntries_->bindValue(0, index);
    if (!exec(*dropEntries_))
        return false;
    putSheet_->bindValue(0, index);
    putSheet_->bindValue(1, Bytes(record));
    return exec(*putSheet_);
}

bool SqlJournalStore::putEntry(const JournalEntry& e)
{
    putEntry_->bindValue(0, e.sheet);
    putEntry_->bindValue(1, static_cast<int>(e.kind));
    putEntry_->bindValue(2, e.col);
    putEntry_->bindValue(3, e.row);
    putEntry_->bindValue(4, Bytes(e.text));
    return exec(*putEntry_);
}

bool SqlJournalStore::putWorkbook(int sheetCount, int shown)
{
    dropSheetsFrom_->bindValue(0, sheetCount);
    dropEntriesFrom_->bindValue(0, sheetCount);
    putWorkbook_->bindValue(0, sheetCount);
    putWorkbook_->bindValue(1, shown);
    return exec(*dropSheetsFrom_) && exec(*dropEntriesFrom_) && exec(*putWorkbook_);
}

bool SqlJournalStore::sync()
{
    // A checkpoint syncs the log to the disk before it moves the log into the file.
    return execText("PRAGMA wal_checkpoint(PASSIVE)");
}

bool SqlJournalStore::read(JournalContent& c)
{
    c = JournalContent();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT sheets, shown FROM workbook WHERE id = 1"))) {
        error_ = Text(q.lastError());
        return false;
    }
    if (q.next()) {
        c.sheetCount = q.value(0).toInt();
        c.shown = q.value(1).toInt();
    }
    if (!q.exec(QStringLiteral("SELECT idx, record FROM sheet ORDER BY idx"))) {
        error_ = Text(q.lastError());
        return false;
    }
    while (q.next())
        c.sheets.emplace_back(q.value(0).toInt(), FromBytes(q.value(1)));
    if (!q.exec(QStringLiteral("SELECT sheet, kind, col, row, text FROM edit ORDER BY seq"))) {
        error_ = Text(q.lastError());
        return false;
    }
    while (q.next()) {
        JournalEntry e;
        e.sheet = q.value(0).toInt();
        e.kind = static_cast<JournalEdit>(q.value(1).toInt());
        e.col = q.value(2).toInt();
        e.row = q.value(3).toInt();
        e.text = FromBytes(q.value(4));
        c.entries.push_back(std::move(e));
    }
    return true;
}

}  // namespace trevolo
