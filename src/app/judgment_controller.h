#pragma once
// The judgments: the specification judgment with the hidden demo fill, the
// capability table, the SPC chain with its table, the verdict panels, and
// the control-limit panel (the three-sigma computation with its question,
// the chart kind, the limit method and the per-line check boxes). The
// session judges; this shows the tables and verdict panels and draws them.
#include <QObject>

#include "app/stringgrid.h"
#include "app/window_host.h"
#include "document/sheet_session.h"
#include "document/workbook.h"

class QTabWidget;

namespace trevolo {

class CapabilityPage;
class EntryPage;
class HeaderPanel;
class LimitPanel;
class SpcPage;
class TSpinEdit;

class JudgmentController final : public QObject, public JudgmentChain {
public:
    struct Controls {
        HeaderPanel* header;
        LimitPanel* limits;
        EntryPage* entryPage;
        CapabilityPage* capabilityPage;
        SpcPage* spcPage;
        QTabWidget* pageInput;
        TSpinEdit* spinCol;
        StringGrid* gridEdit;
        StringGrid* gridCalc;
        StringGrid* gridSpc;
    };

    JudgmentController(Workbook& workbook, SheetSession& session, WindowHost& host, ShownSheet& shown,
                       const Controls& controls);

    // JudgmentChain.
    bool requiredFieldsFilled() override;
    bool judgeAll() override;

    // The menu's judgments: the button's, then its page shown.
    void menuExecSpecClick();
    void menuExecOperationClick();
    void menuExecSpcClick();
    // The limit method as chosen (also after the initial values dialog).
    void cmbLimitChange();
    // The three verdict panels as the session holds them.
    void showVerdicts();
    // The hidden demo fill may be reseeded by tests; 0 seeds from the clock.
    void setDemoSeed(quint64 seed) { demoSeed_ = seed; }

private:
    void connectControls();
    void btnSpecJudgClick();
    void btnCpkCalcClick();
    void btnSpcJudgClick();
    void btnRandomClick();
    void btn3StdevClick();
    void btnSpecClearClick();
    void cmbChartChange();
    void limitCheckClick(int line);
    // The R/S/Rs centre or +3σ line was typed: the hidden +2σ and +1σ
    // lines follow them (emptied while either is blank or not a number).
    void rsLineTyped();
    // Targets of computeControlLimits: every line, or one visible line
    // 0..8 (editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1,
    // editXcl, editRcl, editRsUcl3).
    static constexpr int kAllLimitLines = -1;
    bool computeControlLimits(int target);
    // The measurement and statistics tables after a capability judgment
    // (run alone or by the SPC judgment).
    void showCapability(const Outcome& o);
    CellLook gridCalcDrawCell(int col, int row, bool focused, bool isCurrent) const;
    CellLook gridSpcDrawCell(int col, int row, bool focused, bool isCurrent) const;

    Workbook& workbook_;
    SheetSession& session_;
    WindowHost& host_;
    ShownSheet& shown_;
    Controls c_;
    quint64 demoSeed_ = 0;
};

}  // namespace trevolo
