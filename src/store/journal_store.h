#pragma once
// Where the crash journal keeps what it is told: a small store of the latest
// record of each sheet, the edits made to a sheet since its record was
// written, and the sheet count with the shown sheet. The journal speaks only
// to this interface, so another engine (a database server through the same
// SQL module) can take the place of the embedded one.
#include <string>
#include <utility>
#include <vector>

namespace trevolo {

// What one edit changed on the shown sheet since its record was written.
enum class JournalEdit : int {
    Value = 0,      // a measurement cell: col 0.., row 1..; text is the cell's text
    LotLabel = 1,   // the label of lot row; text is the label
    LotSwitch = 2,  // the switch of lot row; text "1" on, "0" off
    Header = 3,     // the header texts of the sheet (EncodeHeader)
};

struct JournalEntry {
    int sheet = 0;
    JournalEdit kind = JournalEdit::Value;
    int col = 0;
    int row = 0;
    std::string text;
    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

// Everything a store holds, as read back after an abnormal end.
struct JournalContent {
    int sheetCount = -1;  // -1: no workbook was ever written
    int shown = -1;
    std::vector<std::pair<int, std::string>> sheets;  // index, encoded record
    std::vector<JournalEntry> entries;                // in the order written
};

class JournalStore {
public:
    virtual ~JournalStore() = default;

    // One transaction: everything written between them lands together or
    // not at all. Writes outside a transaction land one by one.
    virtual bool begin() = 0;
    virtual bool commit() = 0;
    virtual void rollback() = 0;

    // The latest record of a sheet; the edits written for it before are
    // dropped, as the record holds them.
    virtual bool putSheet(int index, const std::string& record) = 0;
    virtual bool putEntry(const JournalEntry& entry) = 0;
    // The sheet count and the shown sheet; records and edits of sheets at or
    // beyond the count are dropped.
    virtual bool putWorkbook(int sheetCount, int shown) = 0;

    // Makes what was committed so far survive a power loss (a commit alone
    // survives the end of the process).
    virtual bool sync() = 0;

    // Reads everything back; false when the store cannot be read whole.
    virtual bool read(JournalContent& content) = 0;

    // The engine's text of the last failure.
    virtual std::string lastError() const = 0;
};

}  // namespace trevolo
