// The specification judgment on the main window: the required fields, the
// limits in force, the control limits, the cleanup of blank cells, the
// verdict panel and the red marking; and the hidden demo fill.
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <array>
#include <chrono>
#include <string>

#include "app/mainform.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "entry/tolerance_judgment.h"
#include "model/number.h"
#include "stats/lot_table.h"

namespace trevolo {

namespace {

// Suspends the painting of a widget for a scope; painting resumes on every
// path out of it.
class PaintPause {
public:
    explicit PaintPause(QWidget* w) : w_(w) { w_->setUpdatesEnabled(false); }
    ~PaintPause() { w_->setUpdatesEnabled(true); }
    PaintPause(const PaintPause&) = delete;
    PaintPause& operator=(const PaintPause&) = delete;

private:
    QWidget* w_;
};

}  // namespace

bool TMainForm::CheckRequiredFields()
{
    pnlSpecJudg->clear();
    const std::string label = editLabel->text().toStdString();
    const std::string unit = editUnit->text().toStdString();
    const std::string upper = editKupper->text().toStdString();
    const std::string lower = editKlower->text().toStdString();
    SpecHeaderTexts header;
    header.label = label;
    header.unit = unit;
    header.upper = upper;
    header.lower = lower;
    header.upperEnabled = editKupper->isEnabled();
    header.lowerEnabled = editKlower->isEnabled();
    header.kind = cmbSpecKind->currentIndex();
    switch (FindMissingRequiredField(header)) {
    case RequiredField::Label:
        editLabel->setFocus();
        return false;
    case RequiredField::Unit:
        editUnit->setFocus();
        return false;
    case RequiredField::Upper:
        editKupper->setFocus();
        return false;
    case RequiredField::Lower:
        editKlower->setFocus();
        return false;
    case RequiredField::None:
        break;
    }
    return true;
}

void TMainForm::btnSpecJudgClick()
{
    Prompts& prompts = Prompts::current();
    auto show = [&](SpecStop stop) {
        const SpecStopMessage m = MessageForStop(stop);
        prompts.message(this, QString::fromUtf8(m.warning ? kWarningCaption : kGuideCaption),
                        QString::fromUtf8(m.text));
    };
    if (!CheckRequiredFields()) {
        show(SpecStop::MissingField);
        return;
    }

    // The limits in force, then the nine visible control-limit fields.
    const std::string upper = editKupper->text().toStdString();
    const std::string lower = editKlower->text().toStdString();
    const int kind = cmbSpecKind->currentIndex();
    SpecLimits limits;
    if (!ParseSpecLimits(kind, upper, lower, limits)) {
        show(SpecStop::LimitNotNumber);
        return;
    }
    for (int line = 0; line < 9; ++line) {
        if (IsBlank(limitField(line)->text().toStdString())) {
            show(SpecStop::NoControlLimits);
            return;
        }
    }

    SpecJudgment judgment;
    {
        BusyCursor busy;
        SaveGridsToSheet(selectedTab_);
        specMarking = 1;
        PaintPause pause(gridEdit);
        const GridLots lots(gridCtrl->cells(), gridEdit->cells(), gridCtrl->RowCount() - 1, gridEdit->ColCount());
        judgment = JudgeSpecification(lots, limits);
        // Cells holding only blanks become truly empty, also when a value
        // that is not a number stops the judgment.
        for (const CellPos& p : judgment.blanked)
            gridEdit->cells().cell(p.col, p.row).clear();
        if (judgment.error) {
            gridEdit->gridModel()->cellsChanged();
            judgment.error->raise();
        }
        gridEdit->autoColWidth();
    }

    const Verdict verdict = judgment.verdict();
    if (verdict != Verdict::None)
        setVerdict(pnlSpecJudg, QString::fromUtf8(VerdictText(verdict)));

    gridEdit->gridModel()->cellsChanged();
    gridEdit->setCurrent({0, 1});
    gridEdit->setTopRow(1);
    gridEdit->horizontalScrollBar()->setValue(0);
    gridEdit->viewport()->update();
}

void TMainForm::btnRandamClick()
{
    const int lots = gridEdit->RowCount() - 1;
    const int cols = gridEdit->ColCount();
    const quint64 seed = randamSeed != 0 ? randamSeed
                                         : static_cast<quint64>(
                                               std::chrono::system_clock::now().time_since_epoch().count());
    const std::vector<std::string> values = MakeDemoValues(lots, cols, spinKeta->text().toStdString(),
                                                           editKlower->text().toStdString(), seed);
    if (values.empty())
        return;
    size_t i = 0;
    for (int row = 1; row <= lots; ++row)
        for (int col = 0; col < cols; ++col)
            gridEdit->cells().setText(col, row, values[i++]);
    gridEdit->gridModel()->cellsChanged();
}

}  // namespace trevolo
