#include "app/sheets_controller.h"

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/fields.h"
#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/pages.h"
#include "app/prompts.h"
#include "app/setting_form.h"
#include "app/sheets_form.h"
#include "app/splash.h"
#include "app/stringgrid.h"
#include "exchange/messages.h"
#include "model/sheetio.h"
#include "store/qt_text.h"
#include "store/session_journal.h"

namespace trevolo {

QString SpcPageCaption(int chartKind)
{
    return QStringLiteral("SPC異常判定(X側-%1側)").arg(QString::fromUtf8(SpreadSideName(chartKind)));
}

SheetsController::SheetsController(Workbook& workbook, SheetSession& session, WindowHost& host,
                                   const Controls& controls, QWidget* window)
    : workbook_(workbook),
      session_(session),
      host_(host),
      c_(controls),
      sheetsForm_(new TSheetsForm(window)),
      settingForm_(new TSettingForm(window))
{
    connect(c_.tabCtrl, &QTabBar::currentChanged, this, [this](int index) {
        if (index < 0)
            return;
        JournalBatch batch(host_.journal());
        host_.commitPendingInput();
        tabCtrlChanging();
        workbook_.current = index;
        showAfresh();
    });
    connect(c_.tabCtrl, &QTabBar::tabBarClicked, this, [this](int index) {
        // After the shown sheet's tab was removed no tab is selected, yet the
        // tab strip highlights one; choosing that one shows its sheet.
        if (workbook_.current < 0 && index >= 0 && index == c_.tabCtrl->currentIndex()) {
            JournalBatch batch(host_.journal());
            host_.commitPendingInput();
            workbook_.current = index;
            showAfresh();
        }
    });
    connect(c_.spinTab, &QLineEdit::textChanged, this, [this] { host_.runCommand([&] { spinTabChange(); }); });
    connect(c_.spinRow, &QLineEdit::textChanged, this, [this] { host_.runCommand([&] { spinRowChange(); }); });
    connect(c_.spinCol, &QLineEdit::textChanged, this, [this] { host_.runCommand([&] { spinColChange(); }); });
    connect(c_.btnReset, &QPushButton::clicked, this, [this] {
        host_.commitPendingInput();
        host_.runCommand([&] { btnResetClick(); });
    });
}

int SheetsController::highlightedTab() const
{
    return c_.tabCtrl->currentIndex();
}

int SheetsController::lotCountSetting() const
{
    return c_.spinRow->value();
}

int SheetsController::columnCountSetting() const
{
    return c_.spinCol->value();
}

void SheetsController::selectTabInCode(int index)
{
    const QSignalBlocker block(c_.tabCtrl);
    c_.tabCtrl->setCurrentIndex(index);
    workbook_.current = (index >= 0 && index < c_.tabCtrl->count()) ? index : -1;
}

void SheetsController::showSheet(int index)
{
    selectTabInCode(index);
    showAfresh();
}

void SheetsController::store()
{
    // With no tab selected there is no record of the shown sheet to write.
    const int index = workbook_.current;
    if (!workbook_.contains(index))
        return;
    workbook_.storeShown(session_);
    if (c_.header->label() != ToQString(session_.header().label))
        c_.header->setLabel(ToQString(session_.header().label));
    // The counts are stored as their fields show them, also while a count
    // typed there has not laid the tables out (yet).
    SheetRecord& s = workbook_.sheets[static_cast<size_t>(index)];
    s.lots = std::clamp(c_.spinRow->value(), kMinLots, kMaxLots);
    s.n = std::clamp(c_.spinCol->value(), kMinN, kMaxN);
}

void SheetsController::resetLimitPanel()
{
    session_.resetLimits();
    session_.clearResults();
    c_.limits->showSession();
}

void SheetsController::resetLimitsAndLayOut()
{
    resetLimitPanel();
    layOutTables();
}

void SheetsController::showShownSheet()
{
    const int shown = workbook_.current;
    selectTabInCode(shown);
    if (shown >= 0 && shown < c_.tabCtrl->count())
        c_.tabCtrl->setTabText(shown, ToQString(session_.header().label));
    c_.pageInput->setCurrentIndex(0);
    c_.header->showHeader();
    c_.limits->showSession();
    c_.capability->showThreshold();
    showCounts();
    if (workbook_.contains(shown) && !workbook_.sheets[static_cast<size_t>(shown)].dataList.empty())
        c_.gridEdit->autoColWidth();
}

void SheetsController::workbookChanged(unsigned what, int first, int last)
{
    const int count = workbook_.count();
    if (what & BookCount) {
        const QSignalBlocker block(c_.tabCtrl);
        while (c_.tabCtrl->count() < count)
            c_.tabCtrl->addTab(ToQString(workbook_.sheets[static_cast<size_t>(c_.tabCtrl->count())].label));
        while (c_.tabCtrl->count() > count)
            c_.tabCtrl->removeTab(c_.tabCtrl->count() - 1);
        if (c_.spinTab->value() != count) {
            const QSignalBlocker quiet(c_.spinTab);
            c_.spinTab->setValue(count);
        }
    }
    if (what & BookLabels)
        for (int i = std::max(first, 0); i < (last < 0 ? count : std::min(last, count)); ++i)
            c_.tabCtrl->setTabText(i, ToQString(workbook_.label(i, session_)));
}

void SheetsController::layOutTables()
{
    const int lots = std::clamp(c_.spinRow->value(), kMinLots, kMaxLots);
    const int n = std::clamp(c_.spinCol->value(), kMinN, kMaxN);
    host_.applyOutcome(workbook_.layOut(session_, lots, n, false));
    layOutGrids();
}

void SheetsController::layOutGrids()
{
    const int rows = session_.lots() + 1;
    const int n = session_.columns();

    c_.gridCtrl->setShape(rows, 2);
    c_.gridCtrl->setColWidth(0, 85);
    c_.gridCtrl->setColWidth(1, 60);

    c_.gridEdit->setShape(rows, n);
    for (int col = 0; col < n; ++col)
        c_.gridEdit->setColWidth(col, 85);

    c_.gridCalc->setShape(rows, 10);
    for (int col = 0; col < 10; ++col)
        c_.gridCalc->setColWidth(col, 90);
    c_.gridCalc->setColWidth(0, 85);
    c_.gridCalc->setColWidth(1, 82);
    c_.gridCalc->setColWidth(9, 96);

    c_.gridSpc->setShape(rows, 18);
    for (int col = 0; col < 18; ++col)
        c_.gridSpc->setColWidth(col, 44);
    c_.gridSpc->setColWidth(0, 85);
    c_.gridSpc->setColWidth(17, 96);
    c_.limits->showChartKind(IndexOf(session_.chartKind()));
    c_.pageInput->setTabText(2, SpcPageCaption(IndexOf(session_.chartKind())));

    for (StringGrid* g : {static_cast<StringGrid*>(c_.gridCtrl), c_.gridEdit, c_.gridCalc, c_.gridSpc})
        g->gridModel()->cellsChanged();
}

void SheetsController::tabCtrlChanging()
{
    if (workbook_.current >= 0)
        store();
    if (SessionJournal* journal = host_.journal())
        journal->writeShownNow();
}

void SheetsController::showAfresh()
{
    BusyCursor busy;
    host_.applyOutcome(workbook_.showSheet(workbook_.current, session_));
    focusTabs();
}

void SheetsController::focusTabs()
{
    // The sheet's undo keys work on the tab strip too.
    c_.tabCtrl->setFocus();
}

void SheetsController::showCounts()
{
    {
        const QSignalBlocker row(c_.spinRow);
        const QSignalBlocker col(c_.spinCol);
        c_.spinRow->setValue(session_.lots());
        c_.spinCol->setValue(session_.columns());
    }
    layOutGrids();
}

void SheetsController::spinTabChange()
{
    applySheetCount(false);
}

void SheetsController::applySheetCount(bool all)
{
    const QString t = c_.spinTab->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    const int v = std::clamp(c_.spinTab->value(), 1, 1000);
    if (all || workbook_.count() != v)
        workbook_.resize(v, all, c_.spinRow->value(), c_.spinCol->value(), session_);
}

void SheetsController::spinRowChange()
{
    const QString t = c_.spinRow->text();
    if (t.isEmpty() || t == QLatin1String("0") || c_.spinRow->value() < c_.spinRow->minValue())
        return;
    const int lots = std::clamp(c_.spinRow->value(), kMinLots, kMaxLots);
    const int n = std::clamp(c_.spinCol->value(), kMinN, kMaxN);
    host_.applyOutcome(workbook_.layOut(session_, lots, n, true));
    layOutGrids();
}

void SheetsController::spinColChange()
{
    const QString t = c_.spinCol->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    c_.limits->setChartIndex(ShownChartKind(t == QLatin1String("1") ? 1 : 0, workbook_.settings.chartKind));
    if (c_.spinCol->value() > c_.spinCol->maxValue()) {
        c_.spinCol->setValue(c_.spinCol->maxValue());  // runs this handler again
        return;
    }
    layOutTables();
}

void SheetsController::btnResetClick()
{
    if (!Prompts::current().question(host_.boxParent(), ToQString(kGuideCaption),
                                     QStringLiteral("※全てのシートの内容が消去されます。\n"
                                                    "元に戻す事が出来ませんが、本当に宜しいですか？")))
        return;
    resetWorkbook();
}

void SheetsController::resetWorkbook()
{
    host_.applyOutcome(workbook_.reset(session_));
    c_.header->focusFirst();
}

void SheetsController::menuSettingSheetsClick()
{
    sheetsForm_->spinTab->setValue(c_.spinTab->value());
    // An emptied count confirmed in the dialog changes nothing, as an empty
    // count does here.
    if (sheetsForm_->exec() == QDialog::Accepted && !sheetsForm_->spinTab->text().isEmpty())
        c_.spinTab->setText(sheetsForm_->spinTab->text());
}

bool SheetsController::menuSettingInitClick()
{
    InitialValues& settings = workbook_.settings;
    if (!settingForm_->execFor(settings))
        return false;
    const int chartBefore = c_.limits->chartIndex();

    // Sheets are added with the new initial values but with the lot count
    // and n the view shows now: the sheet count is applied first.
    c_.spinTab->setValue(settings.sheetCount);
    c_.spinRow->setValue(settings.lots);
    c_.spinCol->setValue(settings.n);
    c_.header->showSettings(settings);
    c_.capability->showSettings(settings);
    c_.limits->setChartIndex(settings.chartKind);
    c_.limits->setMethod(settings.limitMethod);

    if (c_.limits->chartIndex() != chartBefore) {
        // Limits, statistics and SPC marks of another chart kind must not
        // stay beside the new one, and the SPC table's titles follow the
        // kind; the lot numbers shown are kept.
        const int lots = c_.gridCtrl->RowCount() - 1;
        std::vector<std::string> labels;
        labels.reserve(static_cast<size_t>(std::max(lots, 0)));
        for (int r = 1; r <= lots; ++r)
            labels.push_back(c_.gridCtrl->cells().text(0, r));
        resetLimitsAndLayOut();
        const auto keptTables = {static_cast<StringGrid*>(c_.gridCtrl), c_.gridCalc, c_.gridSpc};
        for (int r = 1; r <= lots; ++r)
            for (StringGrid* g : keptTables)
                g->cells().setText(0, r, labels[static_cast<size_t>(r - 1)]);
        for (StringGrid* g : keptTables)
            g->gridModel()->cellsChanged();
    }
    return true;
}

}  // namespace trevolo
