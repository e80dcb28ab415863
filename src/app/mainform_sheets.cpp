// The main window's sheet cycle: storing and showing sheets, the tabs, the
// sheet count and the table dimensions.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/mainform.h"
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

void TMainForm::SaveGridsToSheet(int index)
{
    // With no tab selected there is no record of the shown sheet to write.
    if (index < 0 || index >= static_cast<int>(Sheets.size()))
        return;
    if (selectedTab_ >= 0 && tabCtrl->tabText(selectedTab_) != editLabel->text()) {
        if (IsBlank(S(editLabel->text())))
            editLabel->setText(tabCtrl->tabText(selectedTab_));
        tabCtrl->setTabText(selectedTab_, editLabel->text());
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
    chkCpCpk->setChecked(Settings.CpkCheck);
    cmbCpCpk->setCurrentIndex(Settings.CpkIndex);
    editCpCpk->setText(Q(Settings.CpCpk));
    cmbChart->setCurrentIndex(Settings.ChartIndex);
    cmbLimit->setCurrentIndex(Settings.LimitIndex);
    pageInput->setCurrentIndex(0);
    btnSpecClearClick();
    Interactive = 0;
    ResetLimitPanel();
    Interactive = 1;
    Grid_ClearRows(gridCtrl->cells());
    Grid_ClearRows(gridEdit->cells());
    LayoutTables();
    btnAllOnClick();
}

void TMainForm::ResetLimitPanel()
{
    for (TEdit* e : {editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1, editXcl, editRcl, editRsUcl3,
                     editRsUcl2, editRsUcl1})
        e->clear();
    itemUcl3->setText(QStringLiteral("＋３σ"));
    itemUcl2->setText(QStringLiteral("＋２σ"));
    itemUcl1->setText(QStringLiteral("＋１σ"));
    itemLcl3->setText(QStringLiteral("－３σ"));
    itemLcl2->setText(QStringLiteral("－２σ"));
    itemLcl1->setText(QStringLiteral("－１σ"));
    itemXcl->setText(QStringLiteral("平均値"));
    itemRcl->setText(QStringLiteral("平均値"));
    itemRsUcl3->setText(QStringLiteral("＋３σ"));
    for (QCheckBox* b : {cbUcl3, cbUcl2, cbUcl1, cbLcl3, cbLcl2, cbLcl1, cbXcl, cbRsUcl3, cbRcl})
        b->setChecked(true);
    Grid_ClearRows(gridCalc->cells());
    Grid_ClearRows(gridSpc->cells());
    gridCalc->gridModel()->cellsChanged();
    gridSpc->gridModel()->cellsChanged();
    cmbLimitChange();
    clearVerdicts(false, true, true);
}

void TMainForm::LoadSheetToGrids()
{
    if (selectedTab_ < 0 || selectedTab_ >= static_cast<int>(Sheets.size()))
        return;
    const Struct_Sheet& s = Sheets[static_cast<size_t>(selectedTab_)];
    tabCtrl->setTabText(selectedTab_, Q(s.Label));
    SetWholeText(editProduct, Q(s.Product));
    SetWholeText(editProcess, Q(s.Process));
    SetWholeText(editMbc, Q(s.Mbc));
    SetWholeText(editLabel, Q(s.Label));
    SetWholeText(editUnit, Q(s.Unit));
    cmbSpecKind->setCurrentIndex(SpecKindIndex(s.SpecKind));
    cmbSpecKindChange();
    spinKeta->setValue(ShownDecimals(s.Keta));
    const int k = spinKeta->value();
    SetWholeText(editKupper, Q(ShownSpecLimit(s.Kupper, k)));
    SetWholeText(editKlower, Q(ShownSpecLimit(s.Klower, k)));
    SetSpinAndRun(spinRow, s.Row, [this] { spinRowChange(); });
    SetSpinAndRun(spinCol, s.Col, [this] { spinColChange(); });

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
    switch (session_.chartKind) {
    case ChartXbarS:
        editRsUcl3->setToolTip(QStringLiteral("「S-管理限界上限値」を入力してください。"));
        editRcl->setToolTip(QStringLiteral("「S-平均値」を入力してください。"));
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-S側)"));
        break;
    case ChartXRs:
        editRsUcl3->setToolTip(QStringLiteral("「Rs-管理限界上限値」を入力してください。"));
        editRcl->setToolTip(QStringLiteral("「Rs-平均値」を入力してください。"));
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-Rs側)"));
        break;
    default:
        editRsUcl3->setToolTip(QStringLiteral("「R-管理限界上限値」を入力してください。"));
        editRcl->setToolTip(QStringLiteral("「R-平均値」を入力してください。"));
        pageInput->setTabText(2, QStringLiteral("SPC異常判定(X側-R側)"));
        break;
    }
    editRsUcl3->setAccessibleName(editRsUcl3->toolTip());
    editRcl->setAccessibleName(editRcl->toolTip());

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
    session_.notify(ChangedSheet);
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
}

void TMainForm::spinRowChange()
{
    const QString t = spinRow->text();
    if (t.isEmpty() || t == QLatin1String("0") || spinRow->value() < spinRow->minValue())
        return;
    LayoutTables();
    btnAllOnClick();
}

void TMainForm::spinColChange()
{
    const QString t = spinCol->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    cmbChart->setCurrentIndex(t == QLatin1String("1") ? ChartXRs : Settings.ChartIndex);
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
    editProduct->setFocus();
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
        cmbChart->setCurrentIndex(ChartXRs);
    if (cmbChart->currentIndex() == ChartXRs)
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
    const int kind = cmbSpecKind->currentIndex();
    auto apply = [this](TEdit* e, bool enabled) {
        e->setEnabled(enabled);
        e->setFieldColor(enabled ? palette().color(QPalette::Base) : palette().color(QPalette::Button));
        if (!enabled)
            e->clear();
    };
    apply(editKupper, kind != SpecLowerOnly);
    apply(editKlower, kind != SpecUpperOnly);
}

void TMainForm::btnSpecClearClick()
{
    // With no tab selected the label stays as it is.
    session_.clearHeader(selectedTab_ >= 0 ? S(tabCtrl->tabText(selectedTab_)) : session_.header.label, Settings);
    const SheetHeader& h = session_.header;
    for (auto [field, text] : {std::pair{editProduct, &h.product}, {editProcess, &h.process}, {editMbc, &h.mbc},
                               {editLabel, &h.label}, {editUnit, &h.unit}, {editKupper, &h.upper},
                               {editKlower, &h.lower}})
        field->setText(Q(*text));
    spinKeta->setValue(Settings.Keta);
    cmbSpecKind->setCurrentIndex(h.specKind);
    cmbSpecKindChange();
    showVerdicts();
    gridEdit->viewport()->update();
    gridCalc->viewport()->update();
}

void TMainForm::btnAllOnClick()
{
    for (int r = 1; r < gridCtrl->RowCount(); ++r)
        gridCtrl->cells().setFlag(1, r, true);
    gridCtrl->gridModel()->cellsChanged();
}

void TMainForm::chkCpCpkClick()
{
    const bool on = chkCpCpk->isChecked();
    cmbCpCpk->setEnabled(on);
    editCpCpk->setEnabled(on);
    const QColor face = palette().color(QPalette::Button);
    editCpCpk->setFieldColor(on ? kFieldNormalColor : face);
    // The list greys out with the threshold; switched on it looks as a list
    // left by the focus does.
    QPalette p;
    if (!on) {
        p.setColor(QPalette::Base, face);
        p.setColor(QPalette::Button, face);
    }
    cmbCpCpk->setPalette(p);
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
