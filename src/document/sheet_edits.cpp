#include <algorithm>
#include <tuple>

#include "document/sheet_session.h"
#include "document/undo_stack.h"
#include "entry/lot_numbers.h"
#include "entry/value_entry.h"
#include "model/comfunction.h"
#include "model/number.h"

namespace trevolo {

namespace {

// A value written with the sheet's decimals. A decimals text that is not a
// digit is read as the decimals field reads it: a whole number as it is (a
// negative one giving no decimals), anything else as no decimals.
std::string WithDecimals(double value, const std::string& decimals)
{
    std::string out;
    if (FormatFixedText(value, decimals, out))
        return out;
    int d = 0;
    if (!TryStrToInt(decimals, d))
        d = 0;
    return FormatFixed(value, d);
}

// The key a typed measurement cell and its commit share.
long CellKey(int col, int row)
{
    return static_cast<long>(col) * kStoreRows + row;
}

// The cells a clipboard text writes at most: one per tab or line break, and
// one for text after the last of them.
size_t PastedCellCount(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\t' || ch == '\n' || (ch == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++count;
    }
    return count + 1;
}

// The texts of a block of the measurement table, row by row.
std::vector<std::string> TextsOf(const CellStore& cells, GridRect r)
{
    std::vector<std::string> out;
    if (r.right >= r.left && r.bottom >= r.top)
        out.reserve(static_cast<size_t>(r.right - r.left + 1) * static_cast<size_t>(r.bottom - r.top + 1));
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col)
            out.push_back(cells.text(col, row));
    return out;
}

// The cells of a block that differ from the texts they had before.
CellEdit ChangedCells(const CellStore& cells, GridRect r, const std::vector<std::string>& before)
{
    CellEdit step;
    size_t bytes = 0;
    for (const std::string& t : before)
        bytes += t.size();
    step.values.reserve(before.size(), bytes);
    size_t i = 0;
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col, ++i) {
            const std::string& now = cells.text(col, row);
            if (now != before[i])
                step.values.add(col, row, before[i], now);
        }
    return step;
}

}  // namespace

Outcome SheetEdits::toggleLots(int top, int bottom)
{
    CellStore& ctrl = s_.lotCells();
    CellEdit step;
    step.label = kStepToggled;
    for (int r = std::max(top, 1); r <= std::min(bottom, s_.lots()); ++r) {
        const bool was = ctrl.flag(1, r);
        ctrl.setFlag(1, r, !was);
        step.cells.push_back({SheetTable::Lots, 1, r, {}, {}, was, !was});
    }
    if (step.cells.empty())
        return {};
    const bool one = step.cells.size() == 1;
    const int row = step.cells.front().row;
    s_.record(std::move(step));
    Outcome o;
    o.changed = ChangedLots;
    return s_.finish(std::move(o), one ? 1 : -1, one ? row : -1);
}

Outcome SheetEdits::enableAllLots()
{
    CellStore& ctrl = s_.lotCells();
    CellEdit step;
    step.label = kStepAllEnabled;
    for (int r = 1; r <= s_.lots(); ++r) {
        if (ctrl.flag(1, r))
            continue;
        ctrl.setFlag(1, r, true);
        step.cells.push_back({SheetTable::Lots, 1, r, {}, {}, false, true});
    }
    if (!step.cells.empty())
        s_.record(std::move(step));
    Outcome o;
    o.changed = ChangedLots;
    return s_.finish(std::move(o));
}

Outcome SheetEdits::renumberLots(const std::vector<std::string>& numbers)
{
    CellStore& ctrl_ = s_.lotCells();
    const CellStore& edit_ = s_.valueCells();
    const int lots_ = s_.lots();
    const int n_ = s_.columns();
    CellEdit step;
    step.label = kStepRenumbered;
    auto setLabel = [&step](SheetTable which, CellStore& t, int row, const std::string& text) {
        if (t.text(0, row) == text)
            return;
        step.cells.push_back({which, 0, row, t.text(0, row), text});
        t.setText(0, row, text);
    };
    // The lots as they stand before the new numbers are written, and which
    // of them a judgment lists.
    std::vector<std::string> before(static_cast<size_t>(lots_));
    std::vector<bool> takesPart(before.size(), false);
    for (int r = 1; r <= lots_; ++r) {
        before[static_cast<size_t>(r - 1)] = ctrl_.text(0, r);
        if (!ctrl_.flag(1, r))
            continue;
        for (int c = 0; c < n_; ++c) {
            if (!IsBlank(edit_.text(c, r))) {
                takesPart[static_cast<size_t>(r - 1)] = true;
                break;
            }
        }
    }
    for (size_t r = 0; r < numbers.size() && r <= static_cast<size_t>(lots_); ++r)
        setLabel(SheetTable::Lots, ctrl_, static_cast<int>(r), numbers[r]);

    const std::tuple<SheetTable, CellStore*, int> tables[] = {
        {SheetTable::Calc, &s_.calcCells(), s_.calcRowCount()}, {SheetTable::Spc, &s_.spcCells(), s_.spcRowCount()}};
    for (const auto& [which, table, rowCount] : tables) {
        std::vector<std::string> rowLabels;
        for (int r = 1; r < rowCount; ++r)
            rowLabels.push_back(table->text(0, r));
        const std::vector<int> lotOfRow = MatchTableRowsToLots(before, takesPart, rowLabels);
        for (size_t i = 0; i < lotOfRow.size(); ++i)
            if (lotOfRow[i] >= 0)
                setLabel(which, *table, static_cast<int>(i) + 1, ctrl_.text(0, lotOfRow[i] + 1));
    }
    s_.record(std::move(step));
    Outcome o;
    o.changed = ChangedLots | ChangedCalc | ChangedSpc;
    return s_.finish(std::move(o));
}

Outcome SheetEdits::commitValue(int col, int row)
{
    Outcome o;
    if (col < 0 || col >= s_.columns() || row < 1 || row > s_.lots())
        return o;
    std::string& cell = s_.valueCells().cell(col, row);
    if (!IsBlank(cell)) {
        double v = 0;
        std::string written;
        const bool number = TryStrToFloat(cell, v);
        if (number)
            written = WithDecimals(v, s_.header().decimals);
        if (written != cell) {
            CellEdit step;
            step.cells.push_back({SheetTable::Values, col, row, cell, written});
            step.joinKey = CellKey(col, row);
            step.joinsLast = true;
            s_.record(std::move(step));
            cell.swap(written);
            o.changed = ChangedValues;
        }
        if (!number)
            return s_.finish(std::move(o), col, row);
    }
    o.current = NextGridCell(s_.valueShape(), {col, row});
    return s_.finish(std::move(o), col, row);
}

Outcome SheetEdits::typeValue(int col, int row, std::string text)
{
    Outcome o;
    CellStore& edit = s_.valueCells();
    if (!edit.contains(col, row))
        return o;
    RemoveMisplacedMinus(text);
    if (text != edit.text(col, row)) {
        CellEdit step;
        step.cells.push_back({SheetTable::Values, col, row, edit.text(col, row), text});
        step.joinKey = CellKey(col, row);
        // The step first: it commits a field being typed, whose listeners
        // may repaint the table.
        s_.record(std::move(step));
        edit.cell(col, row).swap(text);
        o.changed = ChangedValues;
    }
    return s_.finish(std::move(o), col, row);
}

Outcome SheetEdits::paste(GridRect selection, std::string_view text)
{
    Outcome o;
    // The cells the paste changes, in the order it writes them, taken as it
    // writes: no copy of the block's texts before and after.
    CellStore& edit_ = s_.valueCells();
    const bool recorded = s_.history() != nullptr;
    CellEdit step;
    step.label = kStepPasted;
    PastedCell note;
    if (recorded) {
        // A paste over a whole sheet changes up to 100,000 cells: the list
        // is sized once for the cells the text spans and about twice its
        // bytes (the texts before and after).
        step.values.reserve(
            std::min(PastedCellCount(text), static_cast<size_t>(s_.lots()) * static_cast<size_t>(s_.columns())),
            2 * text.size());
        note = [&](int col, int row, std::string& before) {
            const std::string& now = edit_.text(col, row);
            if (now != before)
                step.values.add(col, row, before, now);
        };
    }
    if (PasteGridText(edit_, s_.valueShape(), selection, text, note) > 0)
        o.changed = ChangedValues;
    if (recorded && o.changed)
        s_.record(std::move(step));
    return s_.finish(std::move(o));
}

Outcome SheetEdits::clearCells(GridRect selection)
{
    CellStore& edit_ = s_.valueCells();
    const bool recorded = s_.history() != nullptr;
    const GridShape shape = s_.valueShape();
    const GridRect block{std::max(selection.left, shape.fixedCols), std::max(selection.top, shape.fixedRows),
                         std::min(selection.right, shape.colCount - 1), std::min(selection.bottom, shape.rowCount - 1)};
    std::vector<std::string> before;
    if (recorded)
        before = TextsOf(edit_, block);
    DeleteGridCells(edit_, shape, selection);
    if (recorded) {
        CellEdit step = ChangedCells(edit_, block, before);
        step.label = kStepCleared;
        s_.record(std::move(step));
    }
    Outcome o;
    o.changed = ChangedValues;
    return s_.finish(std::move(o));
}

}  // namespace trevolo
