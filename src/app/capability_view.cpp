// The capability page of the main window: the per-lot statistics table with
// Cp and Cpk, its verdicts against the threshold, the verdict panel and the
// drawing of the table.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include "app/mainform.h"
#include "app/splash.h"
#include "model/comfunction.h"
#include "stats/capability.h"
#include "stats/lot_table.h"

namespace trevolo {

void TMainForm::btnCpkCalcClick()
{
    BusyCursor busy;
    btnSpecJudgClick();
    if (pnlSpecJudg->text().isEmpty())
        return;

    SaveGridsToSheet(selectedTab_);
    cpkMarking = 1;
    CellStore& cells = gridCalc->cells();
    Grid_ClearRows(cells);

    const std::string upper = editKupper->text().toStdString();
    const std::string lower = editKlower->text().toStdString();
    const std::string threshold = editCpCpk->text().toStdString();
    CapabilityInput in;
    in.chartKind = cmbChart->currentIndex();
    in.specKind = cmbSpecKind->currentIndex();
    in.upper = upper;
    in.lower = lower;
    in.thresholdOn = chkCpCpk->isChecked();
    in.thresholdIndex = cmbCpCpk->currentIndex();
    in.threshold = threshold;
    const GridLots lots(gridCtrl->cells(), gridEdit->cells(), gridCtrl->RowCount() - 1, gridEdit->ColCount());
    const CapabilityResult r = ComputeCapability(lots, in);

    for (size_t i = 0; i < r.rows.size(); ++i)
        for (int c = 0; c < kCalcColumns; ++c)
            cells.setText(c, static_cast<int>(i) + 1, r.rows[i][static_cast<size_t>(c)]);
    if (r.tableRows > 0)
        gridCalc->setShape(r.tableRows, kCalcColumns);
    gridCalc->gridModel()->cellsChanged();
    if (r.error)
        r.error->raise();
    if (r.panel != Verdict::None) {
        setVerdict(pnlCpkJudg, QString::fromUtf8(VerdictText(r.panel)));
        gridCalc->autoColWidth();
    }
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
    const std::string threshold = editCpCpk->text().toStdString();
    const CalcMarking marking{cpkMarking != 0, chkCpCpk->isChecked(), cmbCpCpk->currentIndex(), threshold};
    if (CalcCellIsRed(col, row, gridCalc->cells().text(col, row), marking))
        look.text = kMarkColor;
    return look;
}

}  // namespace trevolo
