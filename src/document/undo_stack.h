#pragma once
// The undo history of one sheet. Every edit of the inspector's data on the
// shown sheet is one step that holds what it changed, before and after, so
// undoing writes the before side back and redoing the after side:
//   - CellEdit: typed, pasted or cleared cells, lot switches, lot numbers;
//   - TextEdit: one committed field (a header text, a limit, a line name);
//   - SpecKindEdit: the specification kind chosen;
//   - CountEdit: a new lot count or n, with the rows it hid;
//   - LimitsEdit: control limits computed;
//   - RecordEdit: the whole sheet replaced by an import.
// Each kind is written back by one function of its own (the session's for
// the shown sheet, the workbook's for a whole record), and names itself for
// the menu ("元に戻す: 貼り付け").
//
// A step holds only the cells it changed, so a typed cell costs one entry
// and undoing a paste over the largest sheet writes back just that block.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "document/sheet_session.h"
#include "model/comtype.h"

namespace trevolo {

// One cell before and after an edit: its text, and its flag (the switch of
// a lot in the lot table's column 1).
struct CellChange {
    SheetTable table = SheetTable::Values;
    int col = 0;
    int row = 0;
    std::string before;
    std::string after;
    bool flagBefore = false;
    bool flagAfter = false;
};

// Changes of the measurement table's cells, packed: a paste or a cleared
// block over the largest sheet changes 100,000 cells, and a CellChange each
// would take 88 bytes; here a cell takes its place, two text ends and its
// texts' bytes, about a quarter of that, and the list is written without
// constructing a string per cell.
class PackedValueChanges {
public:
    void reserve(std::size_t cells, std::size_t textBytes);
    void add(int col, int row, std::string_view before, std::string_view after);
    std::size_t size() const noexcept { return places_.size(); }
    bool empty() const noexcept { return places_.empty(); }
    // The i-th change, as a change of the measurement table.
    CellChange at(std::size_t i) const;
    // The place and the before or after text of the i-th change, without a copy.
    int col(std::size_t i) const noexcept { return static_cast<int>(places_[i] >> 16); }
    int row(std::size_t i) const noexcept { return static_cast<int>(places_[i] & 0xffff); }
    std::string_view text(std::size_t i, bool after) const noexcept;

private:
    std::vector<std::uint32_t> places_;  // col << 16 | row
    std::vector<std::uint32_t> ends_;    // per cell: end of its before text, end of its after text
    std::string texts_;                  // each cell's before text, then its after text
};

// The step labels of the menu.
inline constexpr const char* kStepTyped = "入力";
inline constexpr const char* kStepPasted = "貼り付け";
inline constexpr const char* kStepCleared = "削除";
inline constexpr const char* kStepToggled = "ﾁｪｯｸ切替";
inline constexpr const char* kStepAllEnabled = "全て有効";
inline constexpr const char* kStepRenumbered = "ﾛｯﾄ№編集";
inline constexpr const char* kStepImported = "取込";
inline constexpr const char* kStepCount = "ﾛｯﾄ数変更";
inline constexpr const char* kStepLimits = "管理限界計算";

// Cells of the lot, measurement, statistics and SPC tables.
struct CellEdit {
    const char* label = kStepTyped;
    // The cells, in the order they were changed; the packed value cells
    // were changed after them, in their order.
    std::vector<CellChange> cells;
    PackedValueChanges values;
    // The value typed into a measurement cell and its rewriting by Enter
    // with the sheet's decimals are one step: the typing sets the cell's key
    // (-1 for none) and the commit, marked joinsLast, is folded into the
    // last step when that step has its key.
    long joinKey = -1;
    bool joinsLast = false;

    std::size_t cellCount() const noexcept { return cells.size() + values.size(); }
    // Every changed cell, in the order they were changed or in reverse.
    template <class F>
    void forEachCell(bool inOrder, F&& f) const
    {
        if (inOrder) {
            for (const CellChange& c : cells)
                f(c);
            for (std::size_t i = 0; i < values.size(); ++i)
                f(values.at(i));
        } else {
            for (std::size_t i = values.size(); i-- > 0;)
                f(values.at(i));
            for (auto c = cells.rbegin(); c != cells.rend(); ++c)
                f(*c);
        }
    }
};

// One typed field, committed.
struct TextEdit {
    TextField field;
    std::string before;
    std::string after;
};

struct SpecKindEdit {
    SpecKind before = SpecKind::Tolerance;
    SpecKind after = SpecKind::Tolerance;
};

// A new lot count or n. The rows and columns it hid keep their texts in the
// tables; hidden holds them too, so they come back even after the sheet was
// shown afresh in between. layout: the cells the new layout changed (lot
// labels given to new rows, every lot switched on).
struct CountEdit {
    int lotsBefore = kMinLots;
    int nBefore = kMinN;
    int lotsAfter = kMinLots;
    int nAfter = kMinN;
    std::vector<CellChange> layout;
    std::vector<CellChange> hiddenLots;
    PackedValueChanges hiddenValues;
};

// The control limits computed over the texts they replaced.
struct LimitsEdit {
    std::array<std::string, kLimitFields> before;
    std::array<std::string, kLimitFields> after;
};

// A sheet record replaced by an import. When it was the shown sheet, view
// is how its limits were shown, which showing the record afresh would lose.
struct RecordEdit {
    std::array<SheetRecord, 2> record;
    std::optional<SheetView> viewBefore;
};

struct UndoStep {
    std::variant<CellEdit, TextEdit, SpecKindEdit, CountEdit, LimitsEdit, RecordEdit> edit;

    UndoStep() = default;
    template <class Edit>
    UndoStep(Edit e) : edit(std::move(e))
    {
    }

    // Nothing to undo: no cell, or a field left as it was.
    bool empty() const noexcept;
    // The label of the menu item: the command's, or the field's caption.
    std::string label() const;
};

class UndoStack {
public:
    // The steps kept; the oldest go beyond it.
    static constexpr std::size_t kDepth = 100;

    // A new step: the steps undone before it go. A step that joins the
    // last one done (same key) is folded into it: its cells take the new
    // step's after side.
    void push(UndoStep step);

    bool canUndo() const noexcept { return done_ > 0; }
    bool canRedo() const noexcept { return done_ < steps_.size(); }
    // The step undo or redo would apply next; null when there is none.
    const UndoStep* nextUndo() const noexcept { return canUndo() ? &steps_[done_ - 1] : nullptr; }
    const UndoStep* nextRedo() const noexcept { return canRedo() ? &steps_[done_] : nullptr; }
    // The labels of those steps; empty when there is none.
    std::string undoLabel() const { return canUndo() ? nextUndo()->label() : std::string(); }
    std::string redoLabel() const { return canRedo() ? nextRedo()->label() : std::string(); }
    // Moves past that step and returns it; null when there is none.
    const UndoStep* undo() noexcept;
    const UndoStep* redo() noexcept;

    void clear() noexcept;
    std::size_t size() const noexcept { return steps_.size(); }
    std::size_t doneCount() const noexcept { return done_; }

    // The point the sheet was last saved at: "changed since saved" is being
    // anywhere else. A new stack is clean; a step pushed after undoing past
    // the clean point, or folded into the step at it, leaves it unreachable.
    void setClean() noexcept;
    bool isClean() const noexcept { return clean_ && *clean_ == done_; }

private:
    std::deque<UndoStep> steps_;
    std::size_t done_ = 0;
    std::optional<std::size_t> clean_ = 0;
};

}  // namespace trevolo
