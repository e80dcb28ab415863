#pragma once
// The undo history of one sheet. Every edit of the inspector's data on the
// shown sheet (a cell, a paste, a cleared block, the lot switches, the lot
// numbers, a header field, a typed limit or line name, a sheet replaced by
// an import) is one step that holds what it changed, before and after, so
// undoing writes the before side back and redoing the after side.
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

private:
    std::vector<std::uint32_t> places_;  // col << 16 | row
    std::vector<std::uint32_t> ends_;    // per cell: end of its before text, end of its after text
    std::string texts_;                  // each cell's before text, then its after text
};

struct UndoStep {
    // The cells, in the order they were changed; the packed value cells
    // were changed after them, in their order.
    std::vector<CellChange> cells;
    PackedValueChanges values;
    // The typed texts before and after.
    std::optional<std::array<SheetTexts, 2>> texts;
    // The whole sheet record before and after (an import into the sheet).
    std::optional<std::array<Struct_Sheet, 2>> record;
    // The value typed into a measurement cell and its rewriting by Enter
    // with the sheet's decimals are one step: the typing sets the cell's key
    // (-1 for none) and the commit, marked joinsLast, is folded into the
    // last step when that step has its key.
    long joinKey = -1;
    bool joinsLast = false;

    bool empty() const noexcept { return cells.empty() && values.empty() && !texts && !record; }
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
    // What undoing or redoing the step changes, as SessionChange bits.
    unsigned changes() const noexcept;
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
    // Moves past that step and returns it; null when there is none.
    const UndoStep* undo() noexcept;
    const UndoStep* redo() noexcept;

    void clear() noexcept;
    std::size_t size() const noexcept { return steps_.size(); }
    std::size_t doneCount() const noexcept { return done_; }

private:
    std::deque<UndoStep> steps_;
    std::size_t done_ = 0;
};

}  // namespace trevolo
