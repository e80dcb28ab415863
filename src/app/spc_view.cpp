// The SPC page of the main window: the whole judgment chain (specification,
// capability, SPC rules), the SPC table with its verdict panel and drawing,
// and the rule-settings dialog.
#include "app/mainform.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "app/option_form.h"

namespace trevolo {

void TMainForm::btnSpcJudgClick()
{
    Outcome o;
    {
        BusyCursor busy;
        session_.options = Options;
        o = session_.judgeSpc([this] { SaveGridsToSheet(selectedTab_); });
    }
    showCapability(o);
    if (o.spcJudged)
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
