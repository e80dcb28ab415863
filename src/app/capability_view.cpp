// The capability page of the main window: the session judges; the window
// shows the statistics table with its verdict panel and draws it.
#include <QScrollBar>

#include "app/mainform.h"
#include "app/splash.h"

namespace trevolo {

void TMainForm::btnCpkCalcClick()
{
    Outcome o;
    {
        BusyCursor busy;
        o = session_.judgeCapability([this] { SaveGridsToSheet(selectedTab_); });
    }
    showCapability(o);
}

void TMainForm::showCapability(const Outcome& o)
{
    if (o.specJudged) {
        gridEdit->autoColWidth();
        gridEdit->setCurrent({0, 1});
        gridEdit->setTopRow(1);
        gridEdit->horizontalScrollBar()->setValue(0);
    }
    if (o.calcVerdictSet)
        gridCalc->autoColWidth();
    applyOutcome(o);
    if (o.calcJudged)
        gridCalc->setCurrent({1, 1});
}

CellLook TMainForm::gridCalcDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look;
    look.text = Qt::black;
    if (col == 0)
        look.background = gridCalc->palette().color(QPalette::Button);
    else
        look.background = row % 2 == 1 ? gridCalc->palette().color(QPalette::Base) : kEvenRowColor;
    if (focused && isCurrent && col > 0)
        look.background = kCurrentCellColor;
    look.align = (col == 0 || col == CalcVerdict) ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter);
    // The threshold is read as it stands now: changing it changes only the
    // marking, not the verdicts of the last run.
    if (session_.calcIsMarked(col, row))
        look.text = kMarkColor;
    return look;
}

}  // namespace trevolo
