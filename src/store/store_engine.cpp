#include "store/store_engine.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>
#include <initializer_list>

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
        error = ConnectionFailureText(where, db.lastError().text());
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

namespace {

std::string DetailsLine(const QString& reason)
{
    const QString words = reason.simplified();
    return words.isEmpty() ? std::string() : "\n" + std::string(kDetailsMark) + words.toStdString();
}

}  // namespace

std::string ConnectionFailureText(const StoreLocation& where, const QString& reason)
{
    if (where.engine == StoreEngine::Sqlite)
        return "データベースファイル " + where.path + " を開けません。ファイルの場所と書き込みの権限を確認してください。" +
               DetailsLine(reason);
    const std::string server = where.host + ":" + std::to_string(where.port);
    const QString r = reason.toLower();
    auto has = [&r](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&r](const char* w) { return r.contains(QLatin1String(w)); });
    };
    std::string cause;
    // libpq's words (and the resolver's and the kernel's behind them).
    if (has({"connection refused"}))
        cause = "接続を拒否されました。サーバーが起動しているか、ポート番号 " + std::to_string(where.port) +
                " が正しいかを確認してください。";
    else if (has({"could not translate host name", "name or service not known", "temporary failure in name resolution",
                  "nodename nor servname", "no address associated"}))
        cause = "サーバー名 " + where.host + " が見つかりません。サーバー名とネットワークの設定を確認してください。";
    else if (has({"timeout expired", "timed out", "no route to host", "network is unreachable"}))
        cause = "サーバーが時間内に応答しません。サーバーの電源とネットワークの状態を確認してください。";
    else if (has({"password authentication failed", "no password supplied", "password", "authentication failed"}))
        cause = "ユーザー " + where.user + " のパスワードが違うか、入力されていません。";
    else if (has({"no pg_hba.conf entry"}))
        cause = "サーバーがこのPCからの接続を許可していません。サーバーの管理者に pg_hba.conf の設定を依頼してください。";
    else if (has({"does not exist"}))
        cause = "データベース " + where.database + " またはユーザー " + where.user +
                " がサーバーにありません。工場データベース設定を確認してください。";
    else if (has({"ssl"}))
        cause = "SSLの設定がサーバーと合いません。工場データベース設定のSSLを確認してください。";
    return "データベースサーバ " + server + " (データベース " + where.database + ") に接続できません。" + cause +
           DetailsLine(reason);
}

bool IsConnectionLost(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    const QString text = error.text();
    // Class 08 (connection exception) and 57P (the server ended the
    // session), or libpq's own words when it noticed the socket closed.
    return error.type() == QSqlError::ConnectionError || code.startsWith(QLatin1String("08")) ||
           code.startsWith(QLatin1String("57P")) || text.contains(QLatin1String("server closed the connection")) ||
           text.contains(QLatin1String("no connection to the server")) ||
           text.contains(QLatin1String("could not send data to server")) ||
           text.contains(QLatin1String("could not receive data from server"));
}

std::string LostConnectionText(const QSqlDatabase& db)
{
    return "データベースサーバとの接続が切れました。" + DetailsLine(db.lastError().text());
}

std::string StoreErrorText(const QSqlError& error, const QString& statement)
{
    // The server's own words when it gave any; the driver's otherwise.
    const QString words = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    const std::string text = words.simplified().toStdString();
    if (IsConnectionLost(error))
        return "データベースサーバとの接続が切れました。" + DetailsLine(words);
    // 42501: insufficient_privilege. The server names the object; the
    // statement tells which right was wanted.
    if (error.nativeErrorCode() == QLatin1String("42501")) {
        static const QRegularExpression kObject(QStringLiteral("permission denied for (\\w+) (\\S+)"));
        const QRegularExpressionMatch m = kObject.match(error.text());
        QString right = statement.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
        if (right.isEmpty() || right == QLatin1String("WITH"))
            right = QStringLiteral("SELECT");
        if (m.hasMatch()) {
            const QString kind = m.captured(1) == QLatin1String("table")      ? QStringLiteral("テーブル")
                                 : m.captured(1) == QLatin1String("sequence") ? QStringLiteral("シーケンス")
                                 : m.captured(1) == QLatin1String("function") ? QStringLiteral("関数")
                                 : m.captured(1) == QLatin1String("schema")   ? QStringLiteral("スキーマ")
                                                                              : m.captured(1);
            return "権限がありません: このログインには" + kind.toStdString() + " " + m.captured(2).toStdString() +
                   " の " + right.toStdString() +
                   " 権限がありません。ロール trevolo_inspector・trevolo_engineer・trevolo_auditor のどれかを付与して"
                   "ください (" +
                   text + ")";
        }
        return "権限がありません: " + text;
    }
    return text;
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
