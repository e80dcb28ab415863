#include "document/workbook.h"

#include <algorithm>

#include "model/comfunction.h"
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
    Struct_Sheet& record = sheets[static_cast<size_t>(current)];
    if (IsBlank(session.header.label))
        session.setField(session.header.label, record.Label, ChangedHeader);
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
    return index == current ? session.header.label : sheets[static_cast<size_t>(index)].Label;
}

Outcome Workbook::showSheet(int index, SheetSession& session)
{
    if (!contains(index))
        return {};
    current = index;
    session.threshold = {settings.CpkCheck, settings.CpkIndex, settings.CpCpk};
    session.limitMethod = settings.LimitIndex;
    session.resetLimits();
    session.setHistory(history(index));
    return session.show(sheets[static_cast<size_t>(index)], settings.ChartIndex);
}

Outcome Workbook::reset(SheetSession& session)
{
    resize(settings.Tab, true, settings.Row, settings.Col, session);
    notify(BookLabels, 0, -1);
    return showSheet(0, session);
}

Outcome Workbook::layOut(SheetSession& session, int lots, int n, bool enableAll)
{
    session.layOut(lots, n);
    if (!enableAll)
        return {};
    return session.enableAllLots(false);
}

Outcome Workbook::replaceAll(SheetArray records, int shown, int lots, int n, bool fillLabels, SheetSession& session)
{
    if (records.empty())
        return {};
    const int before = count();
    sheets = std::move(records);
    clearHistory();
    for (int i = 0; i < count(); ++i) {
        Struct_Sheet& s = sheets[static_cast<size_t>(i)];
        if (!s.HasLists)
            InitSheet(s, i + 1, settings, lots, n);
        if (fillLabels && IsBlank(s.Label))
            s.Label = "Sheet" + std::to_string(i + 1);
    }
    notify(BookRecords | BookLabels | (count() != before ? BookCount : 0u), 0, -1);
    return showSheet(contains(shown) ? shown : 0, session);
}

Outcome Workbook::importSheet(int index, Struct_Sheet record, SheetSession& session)
{
    if (!contains(index))
        return {};
    replaceSheet(index, std::move(record), &session);
    notify(BookRecords | BookLabels, index, index + 1);
    return showSheet(index, session);
}

Outcome Workbook::followSheet(int index, Struct_Sheet record, bool keepHistory, SheetSession& session)
{
    if (!contains(index))
        return {};
    sheets[static_cast<size_t>(index)] = std::move(record);
    if (!keepHistory)
        history(index)->clear();
    notify(BookRecords | BookLabels, index, index + 1);
    if (current != index)
        return {};
    const int chartKind = session.chartKind;
    const int method = session.limitMethod;
    const auto limits = session.limits;
    const auto automatic = session.lineAutomatic;
    const auto names = session.lineNames;
    session.setHistory(history(index));
    Outcome o = session.show(sheets[static_cast<size_t>(index)], chartKind);
    session.limits = limits;
    session.lineAutomatic = automatic;
    session.lineNames = names;
    session.rebaseTexts();
    session.setField(session.limitMethod, method, ChangedLimits | ChangedLineStates);
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
        Outcome o = ReplaceRecord(*this, next, false);
        notify(BookRecords | BookLabels, current, current + 1);
        return o;
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
        Outcome o = ReplaceRecord(*this, next, true);
        notify(BookRecords | BookLabels, current, current + 1);
        return o;
    }
    return session.redo();
}

}  // namespace trevolo
