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

// What a command of the workbook changed beyond the shown sheet.
enum WorkbookChange : unsigned {
    BookRecords = 1u << 0,  // the records first..last (last -1: to the end)
    BookCount = 1u << 1,    // the sheet count
    BookLabels = 1u << 2,   // the labels of the records first..last
};

// Told once at the end of every workbook command that changed the records,
// their count or their labels: the tab strip and the crash journal follow
// the workbook this way.
class WorkbookListener {
public:
    virtual ~WorkbookListener() = default;
    virtual void workbookChanged(unsigned what, int first, int last) = 0;
};

class Workbook {
public:
    SheetArray sheets;
    // The initial values and the rule options (the settings store's).
    InitialValues settings;
    RuleOptions options;
    // The sheet shown, or -1 when none is (its tab was removed).
    int current = -1;

    int count() const noexcept { return static_cast<int>(sheets.size()); }
    bool contains(int index) const noexcept { return index >= 0 && index < count(); }

    void addListener(WorkbookListener* listener);
    void removeListener(WorkbookListener* listener);

    // A new sheet count: the records are cut or extended to count; the new
    // ones, or with all every one, are initialised ("Sheet<n>", the initial
    // values, lots and n as given). A record that already holds its lists
    // keeps them unless all is set. Returns the first record that changed
    // (count when none did).
    int setSheetCount(int count, bool all, int lots, int n);

    // Writes the session into record index; nothing when there is none.
    void store(int index, const SheetSession& session);

    // ---- the commands of the window ----
    // Each tells the workbook's listeners what it changed, and the session's
    // commands it runs tell the session's listeners.

    // The sheet count as a command: the records as setSheetCount leaves
    // them. When the shown sheet went, no sheet is shown and nothing typed
    // belongs to a history any more.
    void resize(int count, bool all, int lots, int n, SheetSession& session);
    // The shown sheet's label as its field was left: a blank label takes
    // the record's back, and its tab shows it (the record takes it when the
    // sheet is stored).
    void relabel(SheetSession& session);
    // The shown sheet written into its record, its label as relabel takes it.
    void storeShown(SheetSession& session);
    // The label a tab shows: the shown sheet's as the session holds it, any
    // other sheet's as its record does.
    const std::string& label(int index, const SheetSession& session) const;
    // Shows sheet index afresh in the session: the view as the settings
    // start it (the threshold, the limit method with its lines, the chart
    // kind), then the record, with the sheet's history. Writes nothing back;
    // storeShown first keeps what the shown sheet holds.
    Outcome showSheet(int index, SheetSession& session);
    // "全てリセット": every record made afresh with the settings' count, lots
    // and n, labelled "Sheet<n>", and the first shown.
    Outcome reset(SheetSession& session);
    // Lays the shown sheet out for lots and n (a count typed in the window);
    // enableAll switches every lot on, as a new lot count leaves them.
    Outcome layOut(SheetSession& session, int lots, int n, bool enableAll);
    // A whole workbook read in or restored: its records replace every one,
    // every history starts afresh and sheet shown is shown. A record without
    // its lists is initialised with lots and n; with fillLabels a blank
    // label becomes "Sheet<n>".
    Outcome replaceAll(SheetArray records, int shown, int lots, int n, bool fillLabels, SheetSession& session);
    // A sheet read in over sheet index (a CSV import): one step of its
    // history, then the sheet shown.
    Outcome importSheet(int index, SheetRecord record, SheetSession& session);
    // A sheet that follows another source (the plant store's live lots):
    // the record replaced with no step of the history, so undo never takes
    // back what the source holds. The steps already there stay when
    // keepHistory is set (the rows they name still hold the same lots) and
    // go otherwise. When it is the shown sheet it is shown again with the
    // view as it stands: the chart kind, the limit method, the limits and
    // the state and name of each line.
    Outcome followSheet(int index, SheetRecord record, bool keepHistory, SheetSession& session);

    // ---- the undo history, one per sheet ----
    // The history of sheet index (null when there is no such sheet); it
    // lives as long as the sheet, whichever sheet is shown.
    UndoStack* history(int index);
    // Every history emptied: a reset or a whole workbook read in.
    void clearHistory();
    // A sheet replaced by an import into it, as one step of its history.
    // When it is the shown sheet, the step's before side is what the
    // session shows (edits not yet stored included, and how its limits are
    // shown), recorded after the field being typed.
    void replaceSheet(int index, SheetRecord record, SheetSession* shown);
    // Undo and redo on the shown sheet: a step that replaced the whole record
    // writes the record back and shows it afresh (ChangedSheet), undone with
    // its limits as they were shown; any other step is the session's.
    Outcome undo(SheetSession& session);
    Outcome redo(SheetSession& session);

private:
    void notify(unsigned what, int first, int last) const;
    Outcome travel(SheetSession& session, bool redo);
    Outcome apply(const RecordEdit& e, bool after, SheetSession& session);

    std::vector<WorkbookListener*> listeners_;
    std::vector<std::unique_ptr<UndoStack>> history_;
};

}  // namespace trevolo
