// The control-limit panel of the main window: the three-sigma computation
// with its confirmation question, the limit method, the per-line check boxes
// and their automatic and manual states.
#include "app/limit_panel.h"
#include "app/mainform.h"
#include "app/prompts.h"

namespace trevolo {

namespace {

// Sets the interactive flag for a scope and puts the previous value back on
// every path out of it.
class InteractiveScope {
public:
    InteractiveScope(int& flag, int value) : flag_(flag), saved_(flag) { flag_ = value; }
    ~InteractiveScope() { flag_ = saved_; }
    InteractiveScope(const InteractiveScope&) = delete;
    InteractiveScope& operator=(const InteractiveScope&) = delete;

private:
    int& flag_;
    int saved_;
};

}  // namespace

bool TMainForm::ComputeControlLimits(int target)
{
    if (Interactive == 0 || session_.includedValueCount() == 0)
        return true;
    const QString question = target == kAllLimitLines
                                 ? QStringLiteral("※自動計算した±３σの値がそれぞれ設定されます。\n"
                                                  "元に戻す事が出来ませんが、本当に宜しいですか？")
                                 : QStringLiteral("※自動計算した値が個別に設定されます。\n"
                                                  "元に戻す事が出来ませんが、本当に宜しいですか？");
    if (!Prompts::current().question(this, QString::fromUtf8(kGuideCaption), question))
        return false;
    const Outcome o = session_.computeLimits(target, true);
    // Only the lines the computation wrote are written into their fields.
    if (o.changed & ChangedLimits)
        limits_->showLimits(target == kAllLimitLines ? LimitPanel::kEveryField : target);
    if (o.error)
        throw *o.error;
    return true;
}

void TMainForm::rsLineTyped()
{
    session_.followHiddenLines();
    limits_->showHiddenLines();
}

void TMainForm::cmbLimitChange()
{
    if (limits_->method() == 0) {
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
        {
            InteractiveScope quiet(Interactive, 0);
            for (int line = 0; line < kVisibleLimitLines; ++line)
                limits_->setLineChecked(line, true);
        }
        for (int line = 0; line < kVisibleLimitLines; ++line)
            limits_->setLineState(line, true);
        return;
    }
    {
        InteractiveScope quiet(Interactive, 0);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            limits_->setLineChecked(line, false);
    }
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
    if (Interactive == 1)
        limits_->focusLine(line);
}

void TMainForm::btn3StdevClick()
{
    ComputeControlLimits(kAllLimitLines);
}

}  // namespace trevolo
