// The SPC page of the main window: the whole judgment chain (specification,
// capability, SPC rules), the SPC table with its verdict panel and drawing,
// and the rule-settings dialog.
#include <QComboBox>
#include <QLabel>
#include <algorithm>

#include "app/mainform.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "model/comfunction.h"
#include "app/option_form.h"
#include "spc/rule_engine.h"

namespace trevolo {

void TMainForm::btnSpcJudgClick()
{
    BusyCursor busy;
    btnCpkCalcClick();
    // A capability verdict left over from an earlier run does not count: the
    // statistics table is only current when the specification judgment has
    // just produced a verdict.
    if (pnlSpecJudg->text().isEmpty() || IsBlank(pnlCpkJudg->text().toStdString()))
        return;

    Grid_ClearRows(gridSpc->cells());
    gridSpc->setShape(gridCalc->RowCount() - 1, kSpcColumns);

    // The lot rows of the statistics table as shown, the total row excluded.
    const CellStore& calc = gridCalc->cells();
    const int lots = std::max(0, gridCalc->RowCount() - 2);
    const int dispersionColumn = SpcValueColumn(SpcSide::Dispersion, cmbChart->currentText().toStdString());
    SpcInput in;
    in.labels.reserve(static_cast<size_t>(lots));
    in.xValues.reserve(static_cast<size_t>(lots));
    in.dispersionValues.reserve(static_cast<size_t>(lots));
    for (int row = 1; row <= lots; ++row) {
        in.labels.push_back(calc.text(kCalcColumnLabel, row));
        in.xValues.push_back(calc.text(kCalcColumnMean, row));
        in.dispersionValues.push_back(calc.text(dispersionColumn, row));
    }
    auto text = [](const TEdit* e) { return e->text().toStdString(); };
    in.xLines = {text(editXcl), text(editUcl3), text(editUcl2), text(editUcl1),
                 text(editLcl3), text(editLcl2), text(editLcl1)};
    in.dispersionLines = {text(editRcl), text(editRsUcl3), text(editRsUcl2), text(editRsUcl1)};
    in.dispersionIsStdev = dispersionColumn == kCalcColumnStdev;

    const SpcJudgment j = JudgeSpc(in, Options);
    CellStore& spc = gridSpc->cells();
    for (int row = 1; row <= j.table.lots(); ++row)
        for (int col = 0; col < kSpcColumns; ++col) {
            const std::string_view t = j.table.text(row, col);
            if (!t.empty())
                spc.setText(col, row, t);
        }
    gridSpc->gridModel()->cellsChanged();
    if (j.error)
        throw *j.error;
    if (j.stop)
        throw GuidanceStop(*j.stop);
    if (j.abnormal)
        setVerdict(pnlSpcJudg, QString::fromUtf8(*j.abnormal ? kSpcPanelFail : kSpcPanelPass));
    gridSpc->setCurrent({1, 1});
}

CellLook TMainForm::gridSpcDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look;
    look.text = Qt::black;
    if (col == 0)
        look.background = gridSpc->palette().color(QPalette::Button);
    else
        look.background = row % 2 == 1 ? gridSpc->palette().color(QPalette::Base) : kEvenRowColor;
    if (focused && isCurrent && col > 0)
        look.background = kCurrentCellColor;
    look.align = Qt::AlignCenter;
    if (IsSpcAbnormalText(gridSpc->cells().text(col, row)))
        look.text = kMarkColor;
    return look;
}

void TMainForm::menuSettingOptionClick()
{
    // What OK stores is used by the next judgment and written to the
    // settings when the program closes.
    if (!OptionForm)
        OptionForm = new TOptionForm(this);
    OptionForm->execFor(Options);
}

}  // namespace trevolo
