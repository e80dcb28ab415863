#include "document/workbook.h"

#include <algorithm>

#include "model/sheetio.h"

namespace trevolo {

int Workbook::setSheetCount(int n, bool all, int lots, int cols)
{
    const int before = count();
    sheets.resize(static_cast<size_t>(n));
    int first = n;
    for (int i = 0; i < n; ++i) {
        Struct_Sheet& s = sheets[static_cast<size_t>(i)];
        if (!all && s.HasLists)
            continue;
        InitSheet(s, i + 1, settings, lots, cols);
        first = std::min(first, i);
        if (static_cast<size_t>(i) < history_.size() && history_[static_cast<size_t>(i)])
            history_[static_cast<size_t>(i)]->clear();
    }
    // The histories of sheets beyond the count are emptied, not destroyed:
    // the session may still point at the one of a sheet that went.
    for (size_t i = sheets.size(); i < history_.size(); ++i)
        if (history_[i])
            history_[i]->clear();
    if (current >= n)
        current = -1;
    return std::min(first, before);
}

void Workbook::store(int index, const SheetSession& session)
{
    if (contains(index))
        session.store(sheets[static_cast<size_t>(index)]);
}

UndoStack* Workbook::history(int index)
{
    if (!contains(index))
        return nullptr;
    if (history_.size() < sheets.size())
        history_.resize(sheets.size());
    auto& h = history_[static_cast<size_t>(index)];
    if (!h)
        h = std::make_unique<UndoStack>();
    return h.get();
}

void Workbook::clearHistory()
{
    for (auto& h : history_)
        if (h)
            h->clear();
}

void Workbook::replaceSheet(int index, Struct_Sheet record, const SheetSession* shown)
{
    if (!contains(index))
        return;
    Struct_Sheet& target = sheets[static_cast<size_t>(index)];
    UndoStep step;
    step.record = std::array<Struct_Sheet, 2>{target, record};
    if (shown && index == current)
        shown->store((*step.record)[0]);
    target = std::move(record);
    history(index)->push(std::move(step));
}

namespace {

// The whole record of the next step written back, when the step is one.
Outcome ReplaceRecord(Workbook& book, const UndoStep* step, bool after)
{
    Outcome o;
    if (!step || !step->record || !book.contains(book.current))
        return o;
    book.sheets[static_cast<size_t>(book.current)] = (*step->record)[after ? 1 : 0];
    o.changed = ChangedSheet;
    return o;
}

}  // namespace

Outcome Workbook::undo(SheetSession& session)
{
    UndoStack* h = session.history();
    if (!h)
        return {};
    session.commitTexts();
    if (const UndoStep* next = h->nextUndo(); next && next->record) {
        h->undo();
        return ReplaceRecord(*this, next, false);
    }
    return session.undo();
}

Outcome Workbook::redo(SheetSession& session)
{
    UndoStack* h = session.history();
    if (!h || session.commitTexts())
        return {};
    if (const UndoStep* next = h->nextRedo(); next && next->record) {
        h->redo();
        return ReplaceRecord(*this, next, true);
    }
    return session.redo();
}

}  // namespace trevolo
