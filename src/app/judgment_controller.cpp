// The judgments of the main window (see judgment_controller.h).
#include "app/judgment_controller.h"

#include <QComboBox>
#include <QTabWidget>
#include <QLabel>
#include <QScrollBar>
#include <array>
#include <chrono>
#include <string>

#include "app/limit_panel.h"
#include "app/fields.h"
#include "app/header_panel.h"
#include "app/pages.h"
#include "app/panel_parts.h"
#include "store/qt_text.h"
#include "app/option_form.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "entry/tolerance_judgment.h"

namespace trevolo {

namespace {

// Suspends the painting of a widget for a scope; painting resumes on every
// path out of it.
// The look the statistics and SPC tables share: black text, the lot column
// in the button colour, alternate rows light green and the current row
// yellow while the table has the focus.
CellLook ResultLook(const StringGrid* grid, int col, int row, bool focused, bool isCurrent)
{
    CellLook look;
    look.text = Qt::black;
    if (col == 0)
        look.background = grid->palette().color(QPalette::Button);
    else
        look.background = row % 2 == 1 ? grid->palette().color(QPalette::Base) : kEvenRowColor;
    if (focused && isCurrent && col > 0)
        look.background = kCurrentCellColor;
    return look;
}

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

JudgmentController::JudgmentController(Workbook& workbook, SheetSession& session, WindowHost& host,
                                       ShownSheet& shown, const Controls& controls)
    : workbook_(workbook), session_(session), host_(host), shown_(shown), c_(controls)
{
    // Statistics and SPC tables: alternate light green rows, the current row
    // yellow, red marks.
    c_.gridCalc->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridCalcDrawCell(col, row, focused, isCurrent);
    };
    c_.gridSpc->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridSpcDrawCell(col, row, focused, isCurrent);
    };
    connectControls();
}

void JudgmentController::connectControls()
{
    // A button is a save point first; a choice or a tick runs as it is.
    auto command = [this](void (JudgmentController::*handler)()) {
        return [this, handler] {
            host_.commitPendingInput();
            host_.runCommand([&] { (this->*handler)(); });
        };
    };
    auto choice = [this](std::function<void()> handler) {
        return [this, handler] { host_.runCommand(handler); };
    };
    connect(c_.header, &HeaderPanel::clearClicked, this, command(&JudgmentController::btnSpecClearClick));
    connect(c_.limits, &LimitPanel::computeClicked, this, command(&JudgmentController::btn3StdevClick));
    connect(c_.entryPage, &EntryPage::specJudgClicked, this, command(&JudgmentController::btnSpecJudgClick));
    connect(c_.entryPage, &EntryPage::randomClicked, this, command(&JudgmentController::btnRandomClick));
    connect(c_.entryPage, &EntryPage::allOnClicked, this,
            [this] { host_.commitPendingInput(), host_.runCommand([this] { session_.edits().enableAllLots(); }); });
    connect(c_.capabilityPage, &CapabilityPage::cpkCalcClicked, this, command(&JudgmentController::btnCpkCalcClick));
    connect(c_.spcPage, &SpcPage::spcJudgClicked, this, command(&JudgmentController::btnSpcJudgClick));

    connect(c_.limits, &LimitPanel::chartChosen, this, choice([this] { cmbChartChange(); }));
    connect(c_.header, &HeaderPanel::specKindChosen, this, choice([this] { c_.header->applySpecKind(); }));
    connect(c_.capabilityPage, &CapabilityPage::thresholdKindChosen, this,
            choice([this] { c_.header->applySpecKind(); }));
    connect(c_.limits, &LimitPanel::methodChosen, this, choice([this] { cmbLimitChange(); }));
    connect(c_.capabilityPage, &CapabilityPage::thresholdToggled, this,
            choice([this] { c_.capabilityPage->applyThreshold(); }));
    connect(c_.limits, &LimitPanel::lineToggled, this,
            [this](int line) { host_.runCommand([&] { limitCheckClick(line); }); });
    connect(c_.limits, &LimitPanel::rsLineTyped, this, [this] { rsLineTyped(); });
}

void JudgmentController::showVerdicts()
{
    c_.entryPage->showVerdict(VerdictText(session_.specVerdict()));
    c_.capabilityPage->showVerdict(VerdictText(session_.calcVerdict()));
    const Verdict spc = session_.spcVerdict();
    c_.spcPage->showVerdict(spc == Verdict::None ? "" : spc == Verdict::Fail ? kSpcPanelFail : kSpcPanelPass);
}

bool JudgmentController::judgeAll()
{
    btnSpcJudgClick();
    return session_.specVerdict() != Verdict::None && session_.calcVerdict() != Verdict::None;
}

void JudgmentController::menuExecSpecClick()
{
    btnSpecJudgClick();
    c_.pageInput->setCurrentIndex(0);
}

void JudgmentController::menuExecOperationClick()
{
    btnCpkCalcClick();
    c_.pageInput->setCurrentIndex(1);
}

void JudgmentController::menuExecSpcClick()
{
    btnSpcJudgClick();
    c_.pageInput->setCurrentIndex(2);
}

void JudgmentController::cmbChartChange()
{
    if (c_.spinCol->text() == QLatin1String("1"))
        c_.limits->setChartIndex(ChartXRs);
    if (c_.limits->chartIndex() == ChartXRs)
        c_.spinCol->setText(QStringLiteral("1"));
    shown_.resetLimitsAndLayOut();
    if (shown_.shownIndex() >= 0)
        shown_.store();
}

void JudgmentController::btnSpecClearClick()
{
    // With no tab selected the label stays as it is.
    const int shown = shown_.shownIndex();
    session_.clearHeader(workbook_.contains(shown) ? workbook_.sheets[static_cast<size_t>(shown)].label
                                                   : session_.header().label,
                         workbook_.settings);
    c_.header->showCleared(workbook_.settings.decimals);
    c_.gridEdit->viewport()->update();
    c_.gridCalc->viewport()->update();
}

bool JudgmentController::requiredFieldsFilled()
{
    session_.clearVerdicts(true, false, false);
    Outcome o;
    o.focus = session_.missingRequiredField();
    host_.applyOutcome(o);
    return o.focus == SessionFocus::None;
}

void JudgmentController::btnSpecJudgClick()
{
    Outcome o;
    {
        BusyCursor busy;
        PaintPause pause(c_.gridEdit);
        o = JudgmentRunner(session_).specification([this] { shown_.store(); });
        if (o.specJudged)
            c_.gridEdit->autoColWidth();
    }
    host_.applyOutcome(o);
    if (!o.specJudged)
        return;
    c_.gridEdit->setCurrent({0, 1});
    c_.gridEdit->setTopRow(1);
    c_.gridEdit->horizontalScrollBar()->setValue(0);
    c_.gridEdit->viewport()->update();
}

void JudgmentController::btnRandomClick()
{
    const int lots = session_.lots();
    const int cols = session_.columns();
    const quint64 seed = demoSeed_ != 0
                             ? demoSeed_
                             : static_cast<quint64>(std::chrono::system_clock::now().time_since_epoch().count());
    const std::vector<std::string> values =
        MakeDemoValues(lots, cols, session_.header().decimals, session_.header().lower, seed);
    if (values.empty())
        return;
    // Written as one paste over the whole table, so it is one step of the
    // history.
    std::string text;
    size_t i = 0;
    for (int row = 1; row <= lots; ++row) {
        for (int col = 0; col < cols; ++col) {
            text += values[i++];
            text += col + 1 < cols ? '\t' : '\n';
        }
    }
    session_.edits().paste({0, 1, 0, 1}, text);
}

void JudgmentController::btnCpkCalcClick()
{
    Outcome o;
    {
        BusyCursor busy;
        o = JudgmentRunner(session_).capability([this] { shown_.store(); });
    }
    showCapability(o);
}

void JudgmentController::showCapability(const Outcome& o)
{
    if (o.specJudged) {
        c_.gridEdit->autoColWidth();
        c_.gridEdit->setCurrent({0, 1});
        c_.gridEdit->setTopRow(1);
        c_.gridEdit->horizontalScrollBar()->setValue(0);
    }
    if (o.calcVerdictSet)
        c_.gridCalc->autoColWidth();
    host_.applyOutcome(o);
    if (o.calcJudged)
        c_.gridCalc->setCurrent({1, 1});
}

CellLook JudgmentController::gridCalcDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look = ResultLook(c_.gridCalc, col, row, focused, isCurrent);
    look.align = (col == 0 || col == CalcVerdict) ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter);
    // The threshold is read as it stands now: changing it changes only the
    // marking, not the verdicts of the last run.
    if (session_.calcIsMarked(col, row))
        look.text = kMarkColor;
    return look;
}

void JudgmentController::btnSpcJudgClick()
{
    Outcome o;
    {
        BusyCursor busy;
        o = JudgmentRunner(session_).spc(workbook_.options, [this] { shown_.store(); });
    }
    showCapability(o);
    if (o.spcJudged)
        c_.gridSpc->setCurrent({1, 1});
}

CellLook JudgmentController::gridSpcDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look = ResultLook(c_.gridSpc, col, row, focused, isCurrent);
    look.align = Qt::AlignCenter;
    if (IsSpcAbnormalText(c_.gridSpc->cells().text(col, row)))
        look.text = kMarkColor;
    return look;
}

bool JudgmentController::computeControlLimits(int target)
{
    if (session_.includedValueCount() == 0)
        return true;
    const QString question = target == kAllLimitLines ? QStringLiteral(
                                                            "※自動計算した±３σの値がそれぞれ設定されます。\n"
                                                            "元に戻す事が出来ませんが、本当に宜しいですか？")
                                                      : QStringLiteral(
                                                            "※自動計算した値が個別に設定されます。\n"
                                                            "元に戻す事が出来ませんが、本当に宜しいですか？");
    if (!Prompts::current().question(host_.boxParent(), ToQString(kGuideCaption), question))
        return false;
    const Outcome o = session_.computeLimits(target, true);
    // Only the lines the computation wrote are written into their fields.
    if (o.changed & ChangedLimits)
        c_.limits->showLimits(target == kAllLimitLines ? kEveryLimitField : target);
    if (o.error)
        throw *o.error;
    // Lots that do not suit the coefficient method: its message, and the
    // panel stays as after a declined question.
    for (const SessionMessage& m : o.messages)
        Prompts::current().message(host_.boxParent(), ToQString(kGuideCaption), ToQString(m.text));
    return o.messages.empty();
}

void JudgmentController::rsLineTyped()
{
    session_.followHiddenLines();
    c_.limits->showHiddenLines();
}

void JudgmentController::cmbLimitChange()
{
    // Both computing methods put every line into the automatic state.
    if (!session_.limitsTyped()) {
        bool computed = false;
        try {
            computed = computeControlLimits(kAllLimitLines);
        } catch (...) {
            // A value that is not a number leaves the panel as it was, like
            // a declined question, so the method shown matches the lines.
            c_.limits->setMethod(1, true);
            throw;
        }
        if (!computed) {
            c_.limits->setMethod(1, true);
            return;
        }
        c_.limits->setLinesCheckedQuietly(true);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            c_.limits->setLineState(line, true);
        return;
    }
    c_.limits->setLinesCheckedQuietly(false);
    for (int line = 0; line < kVisibleLimitLines; ++line)
        c_.limits->setLineState(line, false);
}

void JudgmentController::limitCheckClick(int line)
{
    if (line < 0 || line >= kVisibleLimitLines)
        return;
    if (c_.limits->lineChecked(line)) {
        bool computed = false;
        try {
            computed = computeControlLimits(line);
        } catch (...) {
            // Nothing was written: the line stays manual, its box clear.
            c_.limits->setLineChecked(line, false);
            throw;
        }
        if (computed)
            c_.limits->setLineState(line, true);
        else
            c_.limits->setLineChecked(line, false);  // runs this handler again with the box clear
        return;
    }
    c_.limits->setLineState(line, false);
    c_.limits->focusLine(line);
}

void JudgmentController::btn3StdevClick()
{
    computeControlLimits(kAllLimitLines);
}

}  // namespace trevolo
