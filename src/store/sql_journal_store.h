#pragma once
// The journal store on Qt's SQL module. The program uses SQLite in a file of
// its own (write-ahead log, one transaction per command); the same code runs
// on a server engine given another driver and connection.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <memory>

#include "store/journal_store.h"

namespace trevolo {

class SqlJournalStore final : public JournalStore {
public:
    // Opens (and creates, when missing) the SQLite journal at path. Null
    // with the reason in error when the file cannot be opened or is not a
    // journal; checkWhole runs the engine's consistency check first, for a
    // journal left by an earlier run.
    static std::unique_ptr<SqlJournalStore> openFile(const QString& path, bool checkWhole, std::string* error);

    ~SqlJournalStore() override;
    SqlJournalStore(const SqlJournalStore&) = delete;
    SqlJournalStore& operator=(const SqlJournalStore&) = delete;

    bool begin() override;
    bool commit() override;
    void rollback() override;
    bool putSheet(int index, const std::string& record) override;
    bool putEntry(const JournalEntry& entry) override;
    bool putWorkbook(int sheetCount, int shown) override;
    bool sync() override;
    bool read(JournalContent& content) override;
    std::string lastError() const override { return error_; }

    // Closes the connection; nothing is written after this.
    void close();

private:
    explicit SqlJournalStore(const QString& connection);
    bool prepare(std::string* error);
    bool exec(QSqlQuery& q);
    bool execText(const char* sql);

    QString connection_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> putSheet_, dropEntries_, putEntry_, putWorkbook_, dropSheetsFrom_, dropEntriesFrom_;
    std::string error_;
};

}  // namespace trevolo
