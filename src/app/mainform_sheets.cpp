// The main window's sheet cycle: storing and showing sheets, the tabs, the
// sheet count and the table dimensions.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/mainform.h"
#include "app/pages.h"
#include "app/prompts.h"
#include "app/sheets_form.h"
#include "app/splash.h"
#include "app/version.h"
#include "document/judgment_chain.h"
#include "model/comfunction.h"
#include "model/number.h"
#include "model/sheetio.h"

namespace trevolo {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string S(const QString& s)
{
    return s.toStdString();
}

// Sets a spin field and makes sure its change handler runs once, also when
// the text stays the same.
template <class Handler>
void SetSpinAndRun(TSpinEdit* spin, int value, Handler&& handler)
{
    const QString before = spin->text();
    spin->setValue(value);
    if (spin->text() == before)
        handler();
}

}  // namespace

void TMainForm::FormShow()
{
    Interactive = 0;
    {
        struct CloseSplash {
            TSplashForm* s;
            ~CloseSplash() { s->close(); }
        } closeSplash{SplashForm};
        SplashForm->showText(QStringLiteral("アプリケーションを起動中です。"));
        ReadVersionInfo(Version);
        setWindowTitle(QStringLiteral("Trevolo  [for Version ") + Q(Version.VersionText) + QStringLiteral("]"));
        btnResetNoAsk = 1;
        struct ClearFlag {
            int& f;
            ~ClearFlag() { f = 0; }
        } clearFlag{btnResetNoAsk};
        RunCommand([&] { btnResetClick(); });
    }
    Interactive = 1;
}

void TMainForm::selectTabInCode(int index)
{
    const QSignalBlocker block(tabCtrl);
    tabCtrl->setCurrentIndex(index);
    selectedTab_ = (index >= 0 && index < tabCtrl->count()) ? index : -1;
}

void TMainForm::showSheet(int index)
{
    selectTabInCode(index);
    tabCtrlChange();
}

void TMainForm::storeShownSheet()
{
    CommitPendingInput();
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
}

void TMainForm::SaveGridsToSheet(int index)
{
    // With no tab selected there is no record of the shown sheet to write.
    if (index < 0 || index >= static_cast<int>(Sheets.size()))
        return;
    if (selectedTab_ >= 0 && tabCtrl->tabText(selectedTab_) != header_->label()) {
        if (IsBlank(S(header_->label())))
            header_->setLabel(tabCtrl->tabText(selectedTab_));
        tabCtrl->setTabText(selectedTab_, header_->label());
    }
    workbook_.store(index, session_);
    // The counts are stored as their fields show them, also while a count
    // typed there has not laid the tables out (yet).
    Struct_Sheet& s = Sheets[static_cast<size_t>(index)];
    s.Row = std::clamp(spinRow->value(), kMinLots, kMaxLots);
    s.Col = std::clamp(spinCol->value(), kMinN, kMaxN);
}

void TMainForm::ResetSheetView()
{
    ++viewShown_;
    capabilityPage_->showSettings(Settings);
    limits_->setChartIndex(Settings.ChartIndex);
    limits_->setMethod(Settings.LimitIndex);
    pageInput->setCurrentIndex(0);
    btnSpecClearClick();
    Interactive = 0;
    ResetLimitPanel();
    Interactive = 1;
    session_.clearEntries();
    LayoutTables();
    session_.enableAllLots(false);
}

void TMainForm::ResetLimitPanel()
{
    limits_->reset();
    session_.clearResults();
    cmbLimitChange();
}

void TMainForm::LoadSheetToGrids()
{
    if (selectedTab_ < 0 || selectedTab_ >= static_cast<int>(Sheets.size()))
        return;
    const Struct_Sheet& s = Sheets[static_cast<size_t>(selectedTab_)];
    tabCtrl->setTabText(selectedTab_, Q(s.Label));
    session_.showHeader(s);
    header_->showHeader();
    SetSpinAndRun(spinRow, s.Row, [this] { spinRowChange(); });
    SetSpinAndRun(spinCol, s.Col, [this] { spinColChange(); });

    session_.setHistory(workbook_.history(selectedTab_));
    const Outcome loaded = session_.loadLists(s);
    if (!s.DataList.empty())
        gridEdit->autoColWidth();
    for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridEdit, gridCalc, gridSpc})
        g->gridModel()->cellsChanged();
    applyOutcome(loaded);
}

void TMainForm::LayoutTables()
{
    const int lots = std::clamp(spinRow->value(), kMinLots, kMaxLots);
    const int n = std::clamp(spinCol->value(), kMinN, kMaxN);
    const int rows = lots + 1;
    session_.layOut(lots, n);

    gridCtrl->setShape(rows, 2);
    gridCtrl->setColWidth(0, 85);
    gridCtrl->setColWidth(1, 60);

    gridEdit->setShape(rows, n);
    for (int c = 0; c < n; ++c)
        gridEdit->setColWidth(c, 85);

    gridCalc->setShape(rows, 10);
    for (int c = 0; c < 10; ++c)
        gridCalc->setColWidth(c, 90);
    gridCalc->setColWidth(0, 85);
    gridCalc->setColWidth(1, 82);
    gridCalc->setColWidth(9, 96);

    gridSpc->setShape(rows, 18);
    for (int c = 0; c < 18; ++c)
        gridSpc->setColWidth(c, 44);
    gridSpc->setColWidth(0, 85);
    gridSpc->setColWidth(17, 96);
    limits_->showChartKind(session_.chartKind);
    switch (session_.chartKind) {
    case ChartXbarS:
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-S側)"));
        break;
    case ChartXRs:
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-Rs側)"));
        break;
    default:
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-R側)"));
        break;
    }

    for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridEdit, gridCalc, gridSpc})
        g->gridModel()->cellsChanged();
}

void TMainForm::tabCtrlChanging()
{
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
    if (journal_)
        journal_->writeShownNow();
}

void TMainForm::tabCtrlChange()
{
    BusyCursor busy;
    ResetSheetView();
    LoadSheetToGrids();
    tabCtrl->setFocus();
}

void TMainForm::spinTabChange()
{
    const QString t = spinTab->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    const int v = std::clamp(spinTab->value(), 1, 1000);
    if (spinTabBulk == 1 || tabCtrl->count() != v)
        JournalSheets(workbook_.setSheetCount(v, spinTabBulk == 1, spinRow->value(), spinCol->value()));
    const QSignalBlocker block(tabCtrl);
    while (tabCtrl->count() < v)
        tabCtrl->addTab(QStringLiteral("Sheet") + QString::number(tabCtrl->count() + 1));
    while (tabCtrl->count() > v) {
        const int last = tabCtrl->count() - 1;
        if (last == selectedTab_)
            selectedTab_ = -1;
        tabCtrl->removeTab(last);
    }
    // Nothing typed now belongs to a sheet's history while no sheet is shown.
    if (selectedTab_ < 0)
        session_.setHistory(nullptr);
}

void TMainForm::showSheetCount(int count)
{
    SetSpinAndRun(spinTab, count, [this] { spinTabChange(); });
}

void TMainForm::spinRowChange()
{
    const QString t = spinRow->text();
    if (t.isEmpty() || t == QLatin1String("0") || spinRow->value() < spinRow->minValue())
        return;
    LayoutTables();
    session_.enableAllLots(false);
}

void TMainForm::spinColChange()
{
    const QString t = spinCol->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    limits_->setChartIndex(t == QLatin1String("1") ? ChartXRs : Settings.ChartIndex);
    if (spinCol->value() > spinCol->maxValue()) {
        spinCol->setValue(spinCol->maxValue());  // runs this handler again
        return;
    }
    LayoutTables();
}

void TMainForm::btnResetClick()
{
    if (btnResetNoAsk != 1 &&
        !Prompts::current().question(this, QString::fromUtf8(kGuideCaption),
                                     QStringLiteral("※全てのシートの内容が消去されます。\n"
                                                    "元に戻す事が出来ませんが、本当に宜しいですか？")))
        return;
    spinTab->setValue(Settings.Tab);
    spinRow->setValue(Settings.Row);
    spinCol->setValue(Settings.Col);
    spinTabBulk = 1;
    struct ClearBulk {
        int& f;
        ~ClearBulk() { f = 0; }
    } clearBulk{spinTabBulk};
    spinTabChange();
    spinTabBulk = 0;
    selectTabInCode(0);
    tabCtrlChange();
    for (int i = 0; i < tabCtrl->count(); ++i)
        tabCtrl->setTabText(i, QStringLiteral("Sheet") + QString::number(i + 1));
    header_->focusFirst();
}

void TMainForm::menuSettingSheetsClick()
{
    SheetsForm->spinTab->setValue(spinTab->value());
    // An emptied count confirmed in the dialog changes nothing, as an empty
    // count does here.
    if (SheetsForm->exec() == QDialog::Accepted && !SheetsForm->spinTab->text().isEmpty())
        spinTab->setText(SheetsForm->spinTab->text());
}

void TMainForm::cmbChartChange()
{
    if (spinCol->text() == QLatin1String("1"))
        limits_->setChartIndex(ChartXRs);
    if (limits_->chartIndex() == ChartXRs)
        spinCol->setText(QStringLiteral("1"));
    Interactive = 0;
    ResetLimitPanel();
    Interactive = 1;
    LayoutTables();
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
}

void TMainForm::cmbSpecKindChange()
{
    header_->applySpecKind();
}

void TMainForm::btnSpecClearClick()
{
    // With no tab selected the label stays as it is.
    session_.clearHeader(selectedTab_ >= 0 ? S(tabCtrl->tabText(selectedTab_)) : session_.header.label, Settings);
    header_->showCleared(Settings.Keta);
    gridEdit->viewport()->update();
    gridCalc->viewport()->update();
}

void TMainForm::btnAllOnClick()
{
    session_.enableAllLots();
}

void TMainForm::chkCpCpkClick()
{
    capabilityPage_->applyThreshold();
}

void TMainForm::menuExecSpecClick()
{
    btnSpecJudgClick();
    pageInput->setCurrentIndex(0);
}

void TMainForm::menuExecOperationClick()
{
    btnCpkCalcClick();
    pageInput->setCurrentIndex(1);
}

void TMainForm::menuExecSpcClick()
{
    btnSpcJudgClick();
    pageInput->setCurrentIndex(2);
}

}  // namespace trevolo
