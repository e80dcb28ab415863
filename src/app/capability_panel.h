#pragma once
// The capability panel of the charts page, beside the histogram: σ within
// and σ overall of the shown sheet's enabled values with Cp/Cpk and Pp/Ppk,
// their 95 % lower bounds and the verdict against the threshold of the
// capability page. It listens to the session and computes again once after
// a burst of changes while it is visible (and when it is shown again);
// where nothing can be computed it says why in words.
#include <QGroupBox>

#include "document/sheet_session.h"

class QLabel;

namespace trevolo {

class CapabilityPanel : public QGroupBox {
    Q_OBJECT
public:
    CapabilityPanel(SheetSession& session, QWidget* parent);

    // Computes and shows the study now; the charts page does it whenever it
    // draws the same values afresh.
    void refresh();

    // The rows of the two columns, top to bottom.
    enum Row { SigmaRow, CpRow, CpLowerRow, CpkRow, CpkLowerRow, VerdictRow, kRows };
    // The text shown in a row of the within (column 0) or overall (1) side;
    // the verdicts stand on two rows of their own below the figures.
    QString cell(int side, Row row) const;
    // The line above the columns: the number of values and the mean, or why
    // nothing was computed.
    QString summary() const;

private:
    SheetSession& session_;
    QLabel* summary_;
    QLabel* rowNames_[kRows];
    QLabel* cells_[2][kRows];
    QLabel* overallVerdictName_;
};

}  // namespace trevolo
