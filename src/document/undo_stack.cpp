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

std::string_view PackedValueChanges::text(std::size_t i, bool after) const noexcept
{
    const std::uint32_t start = after ? ends_[2 * i] : (i == 0 ? 0 : ends_[2 * i - 1]);
    const std::uint32_t end = ends_[2 * i + (after ? 1 : 0)];
    return std::string_view(texts_).substr(start, end - start);
}

CellChange PackedValueChanges::at(std::size_t i) const
{
    CellChange c;
    c.table = SheetTable::Values;
    c.col = col(i);
    c.row = row(i);
    c.before = text(i, false);
    c.after = text(i, true);
    return c;
}

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

bool UndoStep::empty() const noexcept
{
    return std::visit(Overloaded{
                          [](const CellEdit& e) { return e.cellCount() == 0; },
                          [](const TextEdit& e) { return e.before == e.after; },
                          [](const SpecKindEdit& e) { return e.before == e.after; },
                          [](const CountEdit& e) {
                              return e.lotsBefore == e.lotsAfter && e.nBefore == e.nAfter && e.layout.empty();
                          },
                          [](const LimitsEdit& e) { return e.before == e.after; },
                          [](const RecordEdit&) { return false; },
                      },
                      edit);
}

std::string UndoStep::label() const
{
    return std::visit(Overloaded{
                          [](const CellEdit& e) { return std::string(e.label); },
                          [](const TextEdit& e) { return std::string(CaptionOf(e.field)); },
                          [](const SpecKindEdit&) { return std::string("規格種別"); },
                          [](const CountEdit&) { return std::string(kStepCount); },
                          [](const LimitsEdit&) { return std::string(kStepLimits); },
                          [](const RecordEdit&) { return std::string(kStepImported); },
                      },
                      edit);
}

void UndoStack::push(UndoStep step)
{
    if (step.empty())
        return;
    if (clean_ && *clean_ > done_)
        clean_.reset();
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    CellEdit* joining = std::get_if<CellEdit>(&step.edit);
    CellEdit* last = steps_.empty() ? nullptr : std::get_if<CellEdit>(&steps_.back().edit);
    if (joining && last && joining->joinsLast && joining->joinKey >= 0 && last->joinKey == joining->joinKey) {
        for (CellChange& c : joining->cells) {
            bool joined = false;
            for (CellChange& old : last->cells) {
                if (old.table == c.table && old.col == c.col && old.row == c.row) {
                    old.after = std::move(c.after);
                    old.flagAfter = c.flagAfter;
                    joined = true;
                    break;
                }
            }
            if (!joined)
                last->cells.push_back(std::move(c));
        }
        // Only the one edit that follows joins.
        last->joinKey = -1;
        // The step the clean point stood after now holds more.
        if (clean_ && *clean_ == done_)
            clean_.reset();
        return;
    }
    steps_.push_back(std::move(step));
    while (steps_.size() > kDepth) {
        steps_.pop_front();
        if (clean_)
            clean_ = *clean_ == 0 ? std::nullopt : std::optional<std::size_t>(*clean_ - 1);
    }
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
    // What is shown stays clean when it was.
    clean_ = isClean() ? std::optional<std::size_t>(0) : std::nullopt;
    steps_.clear();
    done_ = 0;
}

void UndoStack::setClean() noexcept
{
    clean_ = done_;
}

}  // namespace trevolo
