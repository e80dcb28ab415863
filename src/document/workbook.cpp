#include "document/workbook.h"

#include <algorithm>
#include <variant>

#include "model/comfunction.h"
#include "model/sheetio.h"

namespace trevolo {

int Workbook::setSheetCount(int n, bool all, int lots, int cols)
{
    const int before = count();
    sheets.resize(static_cast<size_t>(n));
    int first = n;
    for (int i = 0; i < n; ++i) {
        SheetRecord& s = sheets[static_cast<size_t>(i)];
        if (!all && s.hasLists)
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

void Workbook::addListener(WorkbookListener* listener)
{
    listeners_.push_back(listener);
}

void Workbook::removeListener(WorkbookListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Workbook::notify(unsigned what, int first, int last) const
{
    for (WorkbookListener* l : listeners_)
        l->workbookChanged(what, first, last);
}

void Workbook::resize(int n, bool all, int lots, int cols, SheetSession& session)
{
    const int before = count();
    const int first = setSheetCount(n, all, lots, cols);
    if (current < 0)
        session.setHistory(nullptr);
    unsigned what = first < count() ? BookRecords : 0u;
    if (count() != before)
        what |= BookCount;
    if (what)
        notify(what, first, -1);
}

void Workbook::relabel(SheetSession& session)
{
    if (!contains(current))
        return;
    SheetRecord& record = sheets[static_cast<size_t>(current)];
    if (IsBlank(session.header().label))
        session.setHeaderText(HeaderField::Label, record.label);
    notify(BookLabels, current, current + 1);
}

void Workbook::storeShown(SheetSession& session)
{
    if (!contains(current))
        return;
    relabel(session);
    session.store(sheets[static_cast<size_t>(current)]);
}

const std::string& Workbook::label(int index, const SheetSession& session) const
{
    return index == current ? session.header().label : sheets[static_cast<size_t>(index)].label;
}

Outcome Workbook::showSheet(int index, SheetSession& session)
{
    if (!contains(index))
        return {};
    current = index;
    session.setThreshold({settings.cpkCheck, settings.cpkIndex, settings.cpCpk});
    session.setLimitMethod(LimitMethodOfIndex(settings.limitMethod));
    session.resetLimits();
    session.setHistory(history(index));
    return session.show(sheets[static_cast<size_t>(index)], settings.chartKind);
}

Outcome Workbook::reset(SheetSession& session)
{
    resize(settings.sheetCount, true, settings.lots, settings.n, session);
    // The labels are told once the first sheet is shown, so the tab of the
    // sheet shown before the reset takes its new record's label, not the
    // label the session still held.
    Outcome o = showSheet(0, session);
    notify(BookLabels, 0, -1);
    return o;
}

Outcome Workbook::layOut(SheetSession& session, int lots, int n, bool enableAll)
{
    return session.changeCount(lots, n, enableAll);
}

Outcome Workbook::replaceAll(SheetArray records, int shown, int lots, int n, bool fillLabels, SheetSession& session)
{
    if (records.empty())
        return {};
    const int before = count();
    sheets = std::move(records);
    clearHistory();
    for (int i = 0; i < count(); ++i) {
        SheetRecord& s = sheets[static_cast<size_t>(i)];
        if (!s.hasLists)
            InitSheet(s, i + 1, settings, lots, n);
        if (fillLabels && IsBlank(s.label))
            s.label = "Sheet" + std::to_string(i + 1);
    }
    notify(BookRecords | BookLabels | (count() != before ? BookCount : 0u), 0, -1);
    return showSheet(contains(shown) ? shown : 0, session);
}

Outcome Workbook::importSheet(int index, SheetRecord record, SheetSession& session)
{
    if (!contains(index))
        return {};
    replaceSheet(index, std::move(record), &session);
    notify(BookRecords | BookLabels, index, index + 1);
    return showSheet(index, session);
}

Outcome Workbook::followSheet(int index, SheetRecord record, bool keepHistory, SheetSession& session)
{
    if (!contains(index))
        return {};
    sheets[static_cast<size_t>(index)] = std::move(record);
    if (!keepHistory)
        history(index)->clear();
    notify(BookRecords | BookLabels, index, index + 1);
    if (current != index)
        return {};
    SheetView view = session.view();
    session.setHistory(history(index));
    Outcome o = session.show(sheets[static_cast<size_t>(index)], IndexOf(view.chartKind));
    // The chart kind as the record's n leaves it.
    view.chartKind = session.chartKind();
    session.setView(view);
    return o;
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

void Workbook::replaceSheet(int index, SheetRecord record, SheetSession* shown)
{
    if (!contains(index))
        return;
    SheetRecord& target = sheets[static_cast<size_t>(index)];
    RecordEdit e;
    e.record = {target, record};
    if (shown && index == current) {
        // The sheet as it is shown: edits not yet stored, and the limits.
        shown->store(e.record[0]);
        e.viewBefore = shown->view();
    }
    target = std::move(record);
    if (shown && index == current)
        shown->record(std::move(e));
    else
        history(index)->push(std::move(e));
}

Outcome Workbook::apply(const RecordEdit& e, bool after, SheetSession& session)
{
    if (!contains(current))
        return {};
    sheets[static_cast<size_t>(current)] = e.record[after ? 1 : 0];
    notify(BookRecords | BookLabels, current, current + 1);
    // Shown afresh as the import showed it; undone, with the limits as they
    // were shown before it.
    Outcome o = showSheet(current, session);
    if (!after && e.viewBefore)
        session.setView(*e.viewBefore);
    o.changed |= ChangedSheet | ChangedLimits | ChangedLineStates;
    return o;
}

Outcome Workbook::travel(SheetSession& session, bool redo)
{
    UndoStack* h = session.history();
    if (!h)
        return {};
    // The field being typed is its own step first; nothing is left to redo
    // after it.
    if (session.commitPendingText() && redo)
        return {};
    const UndoStep* next = redo ? h->nextRedo() : h->nextUndo();
    const RecordEdit* record = next ? std::get_if<RecordEdit>(&next->edit) : nullptr;
    if (!record)
        return redo ? session.redo() : session.undo();
    if (redo)
        h->redo();
    else
        h->undo();
    return apply(*record, redo, session);
}

Outcome Workbook::undo(SheetSession& session)
{
    return travel(session, false);
}

Outcome Workbook::redo(SheetSession& session)
{
    return travel(session, true);
}

}  // namespace trevolo
