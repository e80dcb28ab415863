#pragma once
// The window as a listener of the document: the tables and verdict panels
// repaint what the session's commands changed, and the tabs and the journal
// follow the workbook's commands.
#include <functional>

#include "app/stringgrid.h"
#include "document/sheet_session.h"
#include "document/workbook.h"

namespace trevolo {


// The window as a listener of the shown sheet: the tables repaint what the
// session's commands changed (one cell, or the table as a whole), and the
// verdict panels show the verdicts as they stand.
class TableViews final : public SessionListener {
public:
    TableViews(SheetSession& session, StringGrid* lots, StringGrid* values, StringGrid* calc, StringGrid* spc,
               std::function<void()> verdicts, std::function<void()> sheet, std::function<void()> lines)
        : session_(session),
          lots_(lots),
          values_(values),
          calc_(calc),
          spc_(spc),
          verdicts_(std::move(verdicts)),
          sheet_(std::move(sheet)),
          lines_(std::move(lines))
    {
    }

    void sessionChanged(unsigned what, int col, int row) override
    {
        // A sheet shown afresh: the fields, counts and table shapes first.
        if (what & ChangedSheet)
            sheet_();
        else if (what & ChangedLineStates)
            lines_();
        const bool oneCell = col >= 0 && row >= 1;
        if (what & ChangedValues) {
            if (oneCell && !(what & ChangedMarking))
                values_->gridModel()->cellChanged(col, row);
            else
                values_->gridModel()->cellsChanged();
        } else if (what & ChangedMarking) {
            values_->viewport()->update();
        }
        if (what & ChangedLots) {
            if (oneCell)
                lots_->gridModel()->cellChanged(col, row);
            else
                lots_->gridModel()->cellsChanged();
        }
        if (what & ChangedCalc) {
            calc_->setShape(session_.calcRowCount(), kCalcColumns);
            calc_->gridModel()->cellsChanged();
        } else if (what & (ChangedMarking | ChangedHeader)) {
            calc_->viewport()->update();
        }
        if (what & ChangedSpc) {
            spc_->setShape(session_.spcRowCount(), kSpcColumns);
            spc_->gridModel()->cellsChanged();
        }
        if (what & ChangedVerdicts)
            verdicts_();
    }

private:
    SheetSession& session_;
    StringGrid* lots_;
    StringGrid* values_;
    StringGrid* calc_;
    StringGrid* spc_;
    std::function<void()> verdicts_;
    std::function<void()> sheet_;
    std::function<void()> lines_;
};

// The window as a listener of the workbook: the tabs and the crash journal.
class BookViews final : public WorkbookListener {
public:
    explicit BookViews(std::function<void(unsigned, int, int)> changed) : changed_(std::move(changed)) {}
    void workbookChanged(unsigned what, int first, int last) override { changed_(what, first, last); }

private:
    std::function<void(unsigned, int, int)> changed_;
};

}  // namespace trevolo
