#include "document/undo_stack.h"

namespace trevolo {

void PackedValueChanges::reserve(std::size_t cells, std::size_t textBytes)
{
    places_.reserve(cells);
    ends_.reserve(2 * cells);
    texts_.reserve(textBytes);
}

void PackedValueChanges::add(int col, int row, std::string_view before, std::string_view after)
{
    places_.push_back(static_cast<std::uint32_t>(col) << 16 | static_cast<std::uint32_t>(row));
    texts_.append(before);
    ends_.push_back(static_cast<std::uint32_t>(texts_.size()));
    texts_.append(after);
    ends_.push_back(static_cast<std::uint32_t>(texts_.size()));
}

CellChange PackedValueChanges::at(std::size_t i) const
{
    const std::uint32_t start = i == 0 ? 0 : ends_[2 * i - 1];
    const std::uint32_t middle = ends_[2 * i];
    const std::uint32_t end = ends_[2 * i + 1];
    CellChange c;
    c.table = SheetTable::Values;
    c.col = static_cast<int>(places_[i] >> 16);
    c.row = static_cast<int>(places_[i] & 0xffff);
    c.before.assign(texts_, start, middle - start);
    c.after.assign(texts_, middle, end - middle);
    return c;
}

unsigned UndoStep::changes() const noexcept
{
    if (record)
        return ChangedSheet;
    unsigned what = values.empty() ? ChangedNothing : ChangedValues;
    for (const CellChange& c : cells) {
        switch (c.table) {
        case SheetTable::Lots:
            what |= ChangedLots;
            break;
        case SheetTable::Values:
            what |= ChangedValues;
            break;
        case SheetTable::Calc:
            what |= ChangedCalc;
            break;
        case SheetTable::Spc:
            what |= ChangedSpc;
            break;
        }
    }
    if (texts) {
        const SheetTexts& a = (*texts)[0];
        const SheetTexts& b = (*texts)[1];
        if (!(a.header == b.header))
            what |= ChangedHeader;
        if (a.limits != b.limits || a.lineNames != b.lineNames)
            what |= ChangedLimits;
    }
    return what;
}

void UndoStack::push(UndoStep step)
{
    if (step.empty())
        return;
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    if (step.joinsLast && step.joinKey >= 0 && !steps_.empty() && steps_.back().joinKey == step.joinKey) {
        UndoStep& last = steps_.back();
        for (CellChange& c : step.cells) {
            bool joined = false;
            for (CellChange& old : last.cells) {
                if (old.table == c.table && old.col == c.col && old.row == c.row) {
                    old.after = std::move(c.after);
                    old.flagAfter = c.flagAfter;
                    joined = true;
                    break;
                }
            }
            if (!joined)
                last.cells.push_back(std::move(c));
        }
        // Only the one edit that follows joins.
        last.joinKey = -1;
        return;
    }
    steps_.push_back(std::move(step));
    while (steps_.size() > kDepth)
        steps_.pop_front();
    done_ = steps_.size();
}

const UndoStep* UndoStack::undo() noexcept
{
    if (!canUndo())
        return nullptr;
    return &steps_[--done_];
}

const UndoStep* UndoStack::redo() noexcept
{
    if (!canRedo())
        return nullptr;
    return &steps_[done_++];
}

void UndoStack::clear() noexcept
{
    steps_.clear();
    done_ = 0;
}

}  // namespace trevolo
