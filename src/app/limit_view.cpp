// The control-limit panel of the main window: the three-sigma computation
// with its confirmation question, the limit method, the per-line check boxes
// and their automatic and manual states.
#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>

#include "app/mainform.h"
#include "app/prompts.h"

namespace trevolo {

namespace {

constexpr int kVisibleLines = 9;

// Line names of the automatic and the manual state, in line order.
const char* const kAutoNames[kVisibleLines] = {"＋３σ", "＋２σ", "＋１σ", "－３σ", "－２σ",
                                               "－１σ", "平均値", "平均値", "＋３σ"};
const char* const kManualNames[kVisibleLines] = {"上限規格値", "上限管理値", "設定管理値", "下限規格値", "下限管理値",
                                                 "設定管理値", "中央値",     "中央値",     "上限管理値"};

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

QCheckBox* TMainForm::limitBox(int line) const
{
    QCheckBox* const boxes[kVisibleLines] = {cbUcl3, cbUcl2, cbUcl1, cbLcl3, cbLcl2, cbLcl1, cbXcl, cbRcl, cbRsUcl3};
    return boxes[line];
}

TEdit* TMainForm::limitField(int line) const
{
    TEdit* const fields[kLimitFields] = {editUcl3, editUcl2, editUcl1, editLcl3, editLcl2,  editLcl1,
                                         editXcl,  editRcl,  editRsUcl3, editRsUcl2, editRsUcl1};
    return fields[line];
}

TEdit* TMainForm::limitName(int line) const
{
    TEdit* const names[kVisibleLines] = {itemUcl3, itemUcl2, itemUcl1, itemLcl3, itemLcl2,
                                         itemLcl1, itemXcl,  itemRcl,  itemRsUcl3};
    return names[line];
}

void TMainForm::setLimitLineState(int line, bool automatic)
{
    const QColor colour = automatic ? palette().color(QPalette::Button) : kFieldNormalColor;
    for (TEdit* e : {limitField(line), limitName(line)}) {
        e->setReadOnly(automatic);
        e->setFieldColor(colour);
        e->setFocusPolicy(automatic ? Qt::ClickFocus : Qt::StrongFocus);
    }
    limitName(line)->setText(QString::fromUtf8(automatic ? kAutoNames[line] : kManualNames[line]));
}

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
    if (o.changed & ChangedLimits) {
        for (int f = 0; f < kLimitFields; ++f) {
            const bool hidden = f == LimitRsUcl2 || f == LimitRsUcl1;
            if (target == kAllLimitLines || f == target || hidden)
                SetWholeText(limitField(f), QString::fromStdString(session_.limits[static_cast<size_t>(f)]));
        }
    }
    if (o.error)
        throw *o.error;
    return true;
}

void TMainForm::rsLineTyped()
{
    session_.followHiddenLines();
    for (int f : {LimitRsUcl2, LimitRsUcl1})
        SetWholeText(limitField(f), QString::fromStdString(session_.limits[static_cast<size_t>(f)]));
}

void TMainForm::cmbLimitChange()
{
    if (cmbLimit->currentIndex() == 0) {
        bool computed = false;
        try {
            computed = ComputeControlLimits(kAllLimitLines);
        } catch (...) {
            // A value that is not a number leaves the panel as it was, like
            // a declined question, so the method shown matches the lines.
            const QSignalBlocker block(cmbLimit);
            cmbLimit->setCurrentIndex(1);
            throw;
        }
        if (!computed) {
            const QSignalBlocker block(cmbLimit);
            cmbLimit->setCurrentIndex(1);
            return;
        }
        {
            InteractiveScope quiet(Interactive, 0);
            for (int line = 0; line < kVisibleLines; ++line)
                limitBox(line)->setChecked(true);
        }
        for (int line = 0; line < kVisibleLines; ++line)
            setLimitLineState(line, true);
        return;
    }
    {
        InteractiveScope quiet(Interactive, 0);
        for (int line = 0; line < kVisibleLines; ++line)
            limitBox(line)->setChecked(false);
    }
    for (int line = 0; line < kVisibleLines; ++line)
        setLimitLineState(line, false);
}

void TMainForm::limitCheckClick(int line)
{
    if (line < 0 || line >= kVisibleLines)
        return;
    QCheckBox* box = limitBox(line);
    if (box->isChecked()) {
        bool computed = false;
        try {
            computed = ComputeControlLimits(line);
        } catch (...) {
            // Nothing was written: the line stays manual, its box clear.
            box->setChecked(false);
            throw;
        }
        if (computed)
            setLimitLineState(line, true);
        else
            box->setChecked(false);  // runs this handler again with the box clear
        return;
    }
    setLimitLineState(line, false);
    if (Interactive == 1)
        limitField(line)->setFocus();
}

void TMainForm::btn3StdevClick()
{
    ComputeControlLimits(kAllLimitLines);
}

}  // namespace trevolo
