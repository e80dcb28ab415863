// The specification judgment on the main window: the session judges, the
// window shows the cleaned table from its first cell; and the hidden demo
// fill.
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
        o = session_.judgeSpecification([this] { SaveGridsToSheet(selectedTab_); });
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
    const quint64 seed = randamSeed != 0 ? randamSeed
                                         : static_cast<quint64>(
                                               std::chrono::system_clock::now().time_since_epoch().count());
    const std::vector<std::string> values = MakeDemoValues(lots, cols, session_.header.keta, session_.header.lower, seed);
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
    session_.paste({0, 1, 0, 1}, text);
}

}  // namespace trevolo
