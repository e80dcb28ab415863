// The capability panel of the charts page.
#include "app/capability_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QTimer>

#include "document/capability_study.h"
#include "model/number.h"

namespace trevolo {

namespace {

QString Fixed(double v, int decimals)
{
    return QString::fromStdString(FormatFixed(v, decimals));
}

}  // namespace

CapabilityPanel::CapabilityPanel(SheetSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("工程能力（群内・全体）"), parent), session_(session)
{
    setObjectName(QStringLiteral("grpCapability"));
    setAccessibleName(title());
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblCapSummary"));
    summary_->setWordWrap(true);
    grid->addWidget(summary_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("群内"), this), 1, 1, Qt::AlignRight);
    grid->addWidget(new QLabel(QStringLiteral("全体"), this), 1, 2, Qt::AlignRight);
    for (int r = 0; r < kRows; ++r) {
        rowNames_[r] = new QLabel(this);
        for (int side = 0; side < 2; ++side) {
            auto* l = new QLabel(this);
            l->setObjectName(QStringLiteral("lblCap%1%2").arg(side == 0 ? "Within" : "Overall").arg(r));
            l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            cells_[side][r] = l;
        }
        if (r == VerdictRow)
            break;
        grid->addWidget(rowNames_[r], r + 2, 0);
        for (int side = 0; side < 2; ++side)
            grid->addWidget(cells_[side][r], r + 2, side + 1);
    }
    // A verdict ("工程能力あり（95%信頼）") or a reason is wider than a column
    // of figures: each side's stands on a row of its own across both
    // columns, and wraps where even that is too narrow.
    overallVerdictName_ = new QLabel(this);
    QLabel* names[2] = {rowNames_[VerdictRow], overallVerdictName_};
    for (int side = 0; side < 2; ++side) {
        QLabel* l = cells_[side][VerdictRow];
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setWordWrap(true);
        // The verdicts read on one line; only a longer reason wraps.
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString::fromUtf8(kCapableText)) + 2);
        grid->addWidget(names[side], VerdictRow + 2 + side, 0, Qt::AlignTop);
        grid->addWidget(l, VerdictRow + 2 + side, 1, 1, 2);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(VerdictRow + 4, 1);
}

void CapabilityPanel::refresh()
{
    const CapabilityStudy study = StudySessionCapability(session_);
    // A one-sided kind gives the index of its side, as the statistics table.
    const int kind = IndexOf(session_.header().specKind);
    const QString index = kind == SpecUpperOnly   ? QStringLiteral("CPU")
                          : kind == SpecLowerOnly ? QStringLiteral("CPL")
                                                  : QString();
    const QString names[kRows] = {
        QStringLiteral("σ"),         index.isEmpty() ? QStringLiteral("Cp ／ Pp") : index,
        QStringLiteral("　95%下限"), index.isEmpty() ? QStringLiteral("Cpk ／ Ppk") : index,
        QStringLiteral("　95%下限"), QStringLiteral("判定（群内）"),
    };
    for (int r = 0; r < kRows; ++r)
        rowNames_[r]->setText(names[r]);
    overallVerdictName_->setText(QStringLiteral("判定（全体）"));
    if (!study.why.empty())
        summary_->setText(QString::fromStdString(study.why));
    else
        summary_->setText(QStringLiteral("N = %1　平均 %2").arg(study.values).arg(Fixed(study.mean, 5)));
    const CapabilityIndexSet* sides[2] = {&study.within, &study.overall};
    for (int side = 0; side < 2; ++side) {
        const CapabilityIndexSet& s = *sides[side];
        const bool on = s.computed;
        cells_[side][SigmaRow]->setText(on ? QString::number(s.sigma, 'g', 4) : QStringLiteral("－"));
        cells_[side][CpRow]->setText(on ? Fixed(s.cp, 3) : QStringLiteral("－"));
        cells_[side][CpLowerRow]->setText(on ? Fixed(s.cpLower, 3) : QStringLiteral("－"));
        cells_[side][CpkRow]->setText(on ? Fixed(s.cpk, 3) : QStringLiteral("－"));
        cells_[side][CpkLowerRow]->setText(on ? Fixed(s.cpkLower, 3) : QStringLiteral("－"));
        // The reason stands where the verdict would; nothing when the whole
        // study has its reason above.
        const std::string& words = on ? s.verdict : study.why.empty() ? s.why : std::string("－");
        cells_[side][VerdictRow]->setText(QString::fromStdString(words));
    }
}

QString CapabilityPanel::cell(int side, Row row) const
{
    return cells_[side == 0 ? 0 : 1][row]->text();
}

QString CapabilityPanel::summary() const
{
    return summary_->text();
}

}  // namespace trevolo
