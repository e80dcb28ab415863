#pragma once
// The crash journal: every confirmed change of the workbook is written to a
// store before the command that made it returns, so that after an abnormal
// end (a crash, a kill, a power loss) the next start can bring the workbook
// back. A normal end deletes the journal; the workbook itself is still kept
// only by exporting it.
//
// The shown sheet is followed through the session's listener: one cell, a
// lot label or switch is one small edit row; a change of a whole table or of
// the table dimensions writes the shown sheet's record afresh. The window
// tells the journal of the workbook-level changes (the sheet count, an
// import, a reset) and which sheet is shown. Everything written while a
// command runs (between beginBatch and endBatch) is one transaction.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/sheet_session.h"
#include "model/comtype.h"
#include "store/journal_store.h"

class QLockFile;

namespace trevolo {

// A sheet record as the journal keeps it, and back; nullopt when the text is
// not a whole record.
std::string EncodeSheet(const SheetRecord& sheet);
std::optional<SheetRecord> DecodeSheet(const std::string& text);
// The header texts of the shown sheet, and how they are put into a record.
std::string EncodeHeader(const SheetHeader& header);
bool ApplyHeader(const std::string& text, SheetRecord& sheet);

// The workbook as it stood at the last change the journal holds.
struct RecoveredWorkbook {
    SheetArray sheets;  // a sheet never written has no lists (hasLists false)
    int shown = -1;
    bool empty() const { return sheets.empty(); }
};
// Puts the latest record of each sheet and the edits written after it
// together; nullopt when a record cannot be read.
std::optional<RecoveredWorkbook> ComposeWorkbook(const JournalContent& content);

class SessionJournal final : public SessionListener {
public:
    // Follows session from now on; the store is the journal's own.
    SessionJournal(std::unique_ptr<JournalStore> store, SheetSession& session);
    ~SessionJournal() override;
    SessionJournal(const SessionJournal&) = delete;
    SessionJournal& operator=(const SessionJournal&) = delete;

    // The index of the shown sheet (-1 for none) and the sheet count, asked
    // when they are written.
    std::function<int()> shownSheet;
    std::function<int()> sheetCount;
    // Told once when the store fails; the journal writes nothing after that.
    std::function<void(const std::string&)> onFailure;

    void sessionChanged(unsigned what, int col, int row) override;

    // A command runs: what it changes is written as one transaction when the
    // outermost batch ends. Outside a batch each change is written at once.
    void beginBatch();
    void endBatch();

    // The shown sheet's record, when a change of a whole table is still to
    // be written: before another sheet is shown.
    void writeShownNow();

    // The records of sheets [first, last) (last < 0: to the end) and the
    // sheet count: after an import, a reset or a change of the count.
    void writeSheets(const SheetArray& sheets, int first, int last = -1);
    // The whole workbook (after a restore or when the journal starts).
    void writeWorkbook(const SheetArray& sheets);

    // Syncs the store when something was written since the last sync: run
    // while the program waits, so a power loss loses only the last moments.
    void syncIfWritten();

    bool failed() const { return failed_; }
    JournalStore& store() { return *store_; }

private:
    void writeEntry(JournalEntry e);
    void writeShownRecord();
    bool ensureTransaction();
    void fail();

    std::unique_ptr<JournalStore> store_;
    SheetSession& session_;
    int depth_ = 0;
    bool inTransaction_ = false;
    bool shownPending_ = false;  // the shown sheet's record is written at the batch's end
    bool failed_ = false;
    bool written_ = false;  // since the last sync
    int current_ = -1;      // the sheet whose record was written last as the shown one
    int lots_ = 0;          // and its dimensions then
    int n_ = 0;
};

// Marks a command on a journal that may be absent.
class JournalBatch {
public:
    explicit JournalBatch(SessionJournal* j) : j_(j)
    {
        if (j_)
            j_->beginBatch();
    }
    ~JournalBatch()
    {
        if (j_)
            j_->endBatch();
    }
    JournalBatch(const JournalBatch&) = delete;
    JournalBatch& operator=(const JournalBatch&) = delete;

private:
    SessionJournal* j_;
};

// The journals of the user's data folder: one per running copy, named after
// the copy and locked while it runs, so a copy never takes another running
// copy's journal and the next start finds the journal of a copy that ended
// abnormally.
class JournalFile {
public:
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // A new journal of this copy in folder (created when missing); null when
    // the folder cannot be written.
    static std::unique_ptr<JournalFile> create(const QString& folder);
    // The journals left by copies that no longer run, newest first, each now
    // locked for this copy.
    static std::vector<std::unique_ptr<JournalFile>> claimLeft(const QString& folder);

    const QString& path() const { return path_; }

    // Reads a journal left behind; the reason in error when it cannot be read.
    std::optional<RecoveredWorkbook> recover(std::string* error) const;
    // Deletes the journal (with the engine's files beside it) and its lock.
    void remove();
    // Renames the journal and the engine's files beside it so that no start
    // takes it again; returns the new path of the journal (empty on failure).
    QString setAside();
    // Gives up the lock and leaves the files as they are, as an abnormal end
    // does (tests).
    void abandon();

private:
    JournalFile(QString path, std::unique_ptr<QLockFile> lock);
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace trevolo
