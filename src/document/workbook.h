#pragma once
// The workbook: the sheet records (one per tab), the sheet shown, and the
// settings new sheets and the judgment chain take. The shown sheet itself
// lives in a SheetSession; storing and showing move it between the two.
#include <memory>
#include <vector>

#include "document/judgment_chain.h"
#include "document/sheet_session.h"
#include "document/undo_stack.h"
#include "model/comtype.h"

namespace trevolo {

class Workbook {
public:
    SheetArray sheets;
    // The initial values and the rule options (the settings store's).
    Struct_Settings settings;
    Struct_Options options;
    // The sheet shown, or -1 when none is (its tab was removed).
    int current = -1;

    int count() const noexcept { return static_cast<int>(sheets.size()); }
    bool contains(int index) const noexcept { return index >= 0 && index < count(); }

    // A new sheet count: the records are cut or extended to count; the new
    // ones, or with all every one, are initialised ("Sheet<n>", the initial
    // values, lots and n as given). A record that already holds its lists
    // keeps them unless all is set. Returns the first record that changed
    // (count when none did).
    int setSheetCount(int count, bool all, int lots, int n);

    // Writes the session into record index; nothing when there is none.
    void store(int index, const SheetSession& session);

    // ---- the undo history, one per sheet ----
    // The history of sheet index (null when there is no such sheet); it
    // lives as long as the sheet, whichever sheet is shown.
    UndoStack* history(int index);
    // Every history emptied: a reset or a whole workbook read in.
    void clearHistory();
    // A sheet replaced by an import into it, as one step of its history.
    // When it is the shown sheet, the step's before side is what the
    // session shows (edits not yet stored included).
    void replaceSheet(int index, Struct_Sheet record, const SheetSession* shown);
    // Undo and redo on the shown sheet: a step that replaced the whole record
    // writes the record back and answers ChangedSheet (the sheet is then to
    // be shown afresh); any other step is the session's.
    Outcome undo(SheetSession& session);
    Outcome redo(SheetSession& session);

private:
    std::vector<std::unique_ptr<UndoStack>> history_;
};

}  // namespace trevolo
