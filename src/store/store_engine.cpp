#include "store/store_engine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>

namespace trevolo {

bool StoreLocation::parse(const std::string& text, StoreLocation& out, std::string& error)
{
    out = StoreLocation{};
    const QString t = QString::fromStdString(text).trimmed();
    if (t.isEmpty()) {
        error = "データベースの指定が空です。";
        return false;
    }
    if (t.startsWith(QLatin1String("postgresql://")) || t.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(t, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()) {
            error = "データベースのURLが正しくありません: " + text;
            return false;
        }
        if (!url.password().isEmpty()) {
            error = "パスワードはURLに書けません。~/.pgpass か環境変数 PGPASSWORD で指定してください。";
            return false;
        }
        out.engine = StoreEngine::Postgres;
        out.host = url.host().toStdString();
        out.port = url.port(5432);
        out.user = url.userName().toStdString();
        out.database = url.path().mid(1).toStdString();
        if (out.database.empty())
            out.database = out.user.empty() ? "postgres" : out.user;
        const QUrlQuery query(url);
        for (const auto& [key, value] : query.queryItems()) {
            if (key == QLatin1String("sslmode")) {
                static const QStringList modes = {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};
                if (!modes.contains(value)) {
                    error = "sslmode の値が正しくありません: " + value.toStdString();
                    return false;
                }
                out.sslmode = value.toStdString();
            } else {
                error = "データベースのURLに使えない指定があります: " + key.toStdString();
                return false;
            }
        }
        return true;
    }
    if (t.contains(QLatin1String("://"))) {
        error = "データベースのURLが正しくありません (postgresql:// または sqlite: で始めてください): " + text;
        return false;
    }
    out.engine = StoreEngine::Sqlite;
    out.path = (t.startsWith(QLatin1String("sqlite:")) ? t.mid(7) : t).toStdString();
    if (out.path.empty()) {
        error = "SQLiteのファイル名がありません。";
        return false;
    }
    return true;
}

std::string StoreLocation::text() const
{
    if (engine == StoreEngine::Sqlite)
        return "sqlite:" + path;
    std::string s = "postgresql://";
    if (!user.empty())
        s += user + "@";
    s += host + ":" + std::to_string(port) + "/" + database;
    if (!sslmode.empty())
        s += "?sslmode=" + sslmode;
    return s;
}

const char* StoreDialect::serialKey() const
{
    return engine == StoreEngine::Postgres ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY AUTOINCREMENT";
}

const char* StoreDialect::nowMillis() const
{
    return engine == StoreEngine::Postgres ? "CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)"
                                           : "CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER)";
}

const char* StoreDialect::sessionUser() const
{
    return engine == StoreEngine::Postgres ? "CAST(session_user AS TEXT)" : "''";
}

const char* StoreDialect::beginWrite() const
{
    return engine == StoreEngine::Postgres ? "BEGIN" : "BEGIN IMMEDIATE";
}

QStringList StoreDialect::appendOnly(const QString& table) const
{
    if (engine == StoreEngine::Postgres) {
        return {QStringLiteral("CREATE TRIGGER %1_append_only BEFORE UPDATE OR DELETE ON %1 "
                               "FOR EACH ROW EXECUTE FUNCTION trevolo_refuse_change()")
                    .arg(table),
                QStringLiteral("CREATE TRIGGER %1_no_truncate BEFORE TRUNCATE ON %1 "
                               "FOR EACH STATEMENT EXECUTE FUNCTION trevolo_refuse_change()")
                    .arg(table)};
    }
    return {QStringLiteral("CREATE TRIGGER %1_no_update BEFORE UPDATE ON %1 "
                           "BEGIN SELECT RAISE(ABORT, 'stored rows of %1 are never changed'); END")
                .arg(table),
            QStringLiteral("CREATE TRIGGER %1_no_delete BEFORE DELETE ON %1 "
                           "BEGIN SELECT RAISE(ABORT, 'stored rows of %1 are never deleted'); END")
                .arg(table)};
}

QSqlDatabase OpenStoreConnection(const StoreLocation& where, std::string& error)
{
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("trevolo-plant-%1").arg(++serial);
    const bool pg = where.engine == StoreEngine::Postgres;
    QSqlDatabase db = QSqlDatabase::addDatabase(pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
    if (!db.isValid()) {
        error = pg ? "PostgreSQLのドライバがありません (libqt6sql6-psql を入れてください)。"
                   : "SQLiteのドライバがありません (libqt6sql6-sqlite を入れてください)。";
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return QSqlDatabase();
    }
    if (pg) {
        db.setHostName(QString::fromStdString(where.host));
        db.setPort(where.port);
        db.setDatabaseName(QString::fromStdString(where.database));
        if (!where.user.empty())
            db.setUserName(QString::fromStdString(where.user));
        QString options = QStringLiteral("connect_timeout=5;application_name=trevolo");
        if (!where.sslmode.empty())
            options += QStringLiteral(";sslmode=") + QString::fromStdString(where.sslmode);
        db.setConnectOptions(options);
    } else {
        db.setDatabaseName(QString::fromStdString(where.path));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    }
    if (!db.open()) {
        error = (pg ? "データベースサーバに接続できません: " : "データベースファイルを開けません: ") + where.text() +
                " (" + db.lastError().text().trimmed().toStdString() + ")";
        CloseStoreConnection(db);
        return QSqlDatabase();
    }
    if (pg) {
        // The server's notices ("already exists, skipping") are not for the user.
        QSqlQuery q(db);
        q.exec(QStringLiteral("SET client_min_messages TO warning"));
    } else {
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    return db;
}

void CloseStoreConnection(QSqlDatabase& db)
{
    const QString name = db.connectionName();
    if (name.isEmpty())
        return;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

}  // namespace trevolo
