#pragma once
// Where a plant store lives and how each engine speaks: the one place that
// knows the differences between SQLite and PostgreSQL. Everything else in
// the store is one code path through Qt SQL.
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <string>

namespace trevolo {

enum class StoreEngine { Sqlite, Postgres };

// A store given as a PostgreSQL URL
//   postgresql://user@host:port/database?sslmode=require
// or as an SQLite file, "sqlite:PATH" or a plain path. A password is never
// part of it: libpq takes it from ~/.pgpass or PGPASSWORD.
struct StoreLocation {
    StoreEngine engine = StoreEngine::Sqlite;
    std::string path;  // SQLite
    std::string host = "localhost";
    int port = 5432;
    std::string database;
    std::string user;
    std::string sslmode;

    // Reads text; false with a Japanese reason in error when it is no store
    // address (or carries a password).
    static bool parse(const std::string& text, StoreLocation& out, std::string& error);
    // The address again, without a password.
    std::string text() const;
};

// The SQL that differs between the engines.
struct StoreDialect {
    StoreEngine engine;

    // An integer key the engine numbers by itself.
    const char* serialKey() const;
    // The server clock in milliseconds since 1970 (UTC).
    const char* nowMillis() const;
    // Who is connected: the database role, or nothing on the embedded engine.
    const char* sessionUser() const;
    // Starts a transaction that writes, taking the writers' lock at once so
    // the audit chain grows one writer at a time.
    const char* beginWrite() const;
    // The statements that make table refuse UPDATE and DELETE for every
    // role, its owner included.
    QStringList appendOnly(const QString& table) const;
    bool hasRoles() const { return engine == StoreEngine::Postgres; }
    // The server itself sets who sent a row and when, and writes the audit
    // chain in a trigger; on the embedded engine the program does both.
    bool serverVouches() const { return engine == StoreEngine::Postgres; }
    bool hasNotifications() const { return engine == StoreEngine::Postgres; }
};

// A message's line that starts with this mark holds the server's or the
// driver's own words; the window shows such lines apart, as the details of
// its box, and a terminal shows them as they are.
inline constexpr const char* kDetailsMark = "詳細: ";

// Opens a connection of the calling thread under a fresh name (Qt SQL
// connections belong to the thread that made them). Invalid with the reason
// in error when the driver is missing or the server does not answer.
QSqlDatabase OpenStoreConnection(const StoreLocation& where, std::string& error);
// Why a connection to where could not be made, in Japanese: the server or
// file, the likely cause told by the driver's reason (refused, no such
// host, timed out, password, ...), and the reason itself on a details line.
std::string ConnectionFailureText(const StoreLocation& where, const QString& reason);

// The reason of a failed statement, in Japanese: a lost connection is told
// as one, with the server's reason on a details line; a refused right names the right and the
// table; anything else is the server's own text.
std::string StoreErrorText(const QSqlError& error, const QString& statement = QString());
// What to say of a connection the driver has closed after losing it.
std::string LostConnectionText(const QSqlDatabase& db);
// True when the error means the connection to the server is gone.
bool IsConnectionLost(const QSqlError& error);

// Closes and forgets a connection made by OpenStoreConnection.
void CloseStoreConnection(QSqlDatabase& db);

}  // namespace trevolo
