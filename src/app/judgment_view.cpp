// The judgments of the main window: the specification judgment with the
// hidden demo fill, the capability table, the SPC chain with its table, and
// the control-limit panel (the three-sigma computation with its question,
// the limit method and the per-line check boxes). The session judges; the
// window shows the tables and verdict panels and draws them.
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <array>
#include <chrono>
#include <string>

#include "app/limit_panel.h"
#include "app/mainform.h"
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

bool TMainForm::CheckRequiredFields()
{
    session_.clearVerdicts(true, false, false);
    Outcome o;
    o.focus = session_.missingRequiredField();
    applyOutcome(o);
    return o.focus == SessionFocus::None;
}

void TMainForm::btnSpecJudgClick()
{
    Outcome o;
    {
        BusyCursor busy;
        PaintPause pause(gridEdit);
        o = JudgmentRunner(session_).specification([this] { SaveGridsToSheet(selectedTab_); });
        if (o.specJudged)
            gridEdit->autoColWidth();
    }
    applyOutcome(o);
    if (!o.specJudged)
        return;
    gridEdit->setCurrent({0, 1});
    gridEdit->setTopRow(1);
    gridEdit->horizontalScrollBar()->setValue(0);
    gridEdit->viewport()->update();
}

void TMainForm::btnRandamClick()
{
    const int lots = session_.lots();
    const int cols = session_.columns();
    const quint64 seed = randamSeed != 0
                             ? randamSeed
                             : static_cast<quint64>(std::chrono::system_clock::now().time_since_epoch().count());
    const std::vector<std::string> values =
        MakeDemoValues(lots, cols, session_.header().keta, session_.header().lower, seed);
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

void TMainForm::btnCpkCalcClick()
{
    Outcome o;
    {
        BusyCursor busy;
        o = JudgmentRunner(session_).capability([this] { SaveGridsToSheet(selectedTab_); });
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
    CellLook look = ResultLook(gridCalc, col, row, focused, isCurrent);
    look.align = (col == 0 || col == CalcVerdict) ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter);
    // The threshold is read as it stands now: changing it changes only the
    // marking, not the verdicts of the last run.
    if (session_.calcIsMarked(col, row))
        look.text = kMarkColor;
    return look;
}

void TMainForm::btnSpcJudgClick()
{
    Outcome o;
    {
        BusyCursor busy;
        o = JudgmentRunner(session_).spc(Options, [this] { SaveGridsToSheet(selectedTab_); });
    }
    showCapability(o);
    if (o.spcJudged)
        gridSpc->setCurrent({1, 1});
}

CellLook TMainForm::gridSpcDrawCell(int col, int row, bool focused, bool isCurrent) const
{
    CellLook look = ResultLook(gridSpc, col, row, focused, isCurrent);
    look.align = Qt::AlignCenter;
    if (IsSpcAbnormalText(gridSpc->cells().text(col, row)))
        look.text = kMarkColor;
    return look;
}

bool TMainForm::ComputeControlLimits(int target)
{
    if (session_.includedValueCount() == 0)
        return true;
    const QString question = target == kAllLimitLines ? QStringLiteral(
                                                            "※自動計算した±３σの値がそれぞれ設定されます。\n"
                                                            "元に戻す事が出来ませんが、本当に宜しいですか？")
                                                      : QStringLiteral(
                                                            "※自動計算した値が個別に設定されます。\n"
                                                            "元に戻す事が出来ませんが、本当に宜しいですか？");
    if (!Prompts::current().question(this, QString::fromUtf8(kGuideCaption), question))
        return false;
    const Outcome o = session_.computeLimits(target, true);
    // Only the lines the computation wrote are written into their fields.
    if (o.changed & ChangedLimits)
        limits_->showLimits(target == kAllLimitLines ? LimitPanel::kEveryField : target);
    if (o.error)
        throw *o.error;
    // Lots that do not suit the coefficient method: its message, and the
    // panel stays as after a declined question.
    for (const SessionMessage& m : o.messages)
        Prompts::current().message(this, QString::fromUtf8(kGuideCaption), QString::fromStdString(m.text));
    return o.messages.empty();
}

void TMainForm::rsLineTyped()
{
    session_.followHiddenLines();
    limits_->showHiddenLines();
}

void TMainForm::cmbLimitChange()
{
    // Both computing methods put every line into the automatic state.
    if (!session_.limitsTyped()) {
        bool computed = false;
        try {
            computed = ComputeControlLimits(kAllLimitLines);
        } catch (...) {
            // A value that is not a number leaves the panel as it was, like
            // a declined question, so the method shown matches the lines.
            limits_->setMethodQuietly(1);
            throw;
        }
        if (!computed) {
            limits_->setMethodQuietly(1);
            return;
        }
        limits_->setLinesCheckedQuietly(true);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            limits_->setLineState(line, true);
        return;
    }
    limits_->setLinesCheckedQuietly(false);
    for (int line = 0; line < kVisibleLimitLines; ++line)
        limits_->setLineState(line, false);
}

void TMainForm::limitCheckClick(int line)
{
    if (line < 0 || line >= kVisibleLimitLines)
        return;
    if (limits_->lineChecked(line)) {
        bool computed = false;
        try {
            computed = ComputeControlLimits(line);
        } catch (...) {
            // Nothing was written: the line stays manual, its box clear.
            limits_->setLineChecked(line, false);
            throw;
        }
        if (computed)
            limits_->setLineState(line, true);
        else
            limits_->setLineChecked(line, false);  // runs this handler again with the box clear
        return;
    }
    limits_->setLineState(line, false);
    limits_->focusLine(line);
}

void TMainForm::btn3StdevClick()
{
    ComputeControlLimits(kAllLimitLines);
}

}  // namespace trevolo
