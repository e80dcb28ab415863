#pragma once
// The sheet tabs and the counts: choosing a sheet by its tab, the hidden
// sheet count with its dialog, the lot count and n with the tables' shapes,
// "全てリセット", and the initial values dialog.
#include <QObject>
#include <QString>

#include "app/window_host.h"
#include "document/sheet_session.h"
#include "document/workbook.h"

class QPushButton;
class QTabBar;
class QTabWidget;

namespace trevolo {

class CapabilityPage;
class HeaderPanel;
class LimitPanel;
class StringGrid;
class TplStringGrid;
class TSettingForm;
class TSheetsForm;
class TSpinEdit;

// The caption of the SPC page, naming the spread side of the chart kind.
QString SpcPageCaption(int chartKind);

class SheetsController final : public QObject, public ShownSheet {
public:
    // The controls of the window this controller works on.
    struct Controls {
        QTabBar* tabCtrl;
        TSpinEdit* spinTab;
        TSpinEdit* spinRow;
        TSpinEdit* spinCol;
        QPushButton* btnReset;
        HeaderPanel* header;
        LimitPanel* limits;
        CapabilityPage* capability;
        QTabWidget* pageInput;
        TplStringGrid* gridCtrl;
        StringGrid* gridEdit;
        StringGrid* gridCalc;
        StringGrid* gridSpc;
    };

    SheetsController(Workbook& workbook, SheetSession& session, WindowHost& host, const Controls& controls,
                     QWidget* window);

    // ShownSheet.
    int shownIndex() const override { return workbook_.current; }
    int highlightedTab() const override;
    void store() override;
    void showAfresh() override;
    void resetLimitsAndLayOut() override;
    void showCounts() override;
    void focusTabs() override;
    int lotCountSetting() const override;
    int columnCountSetting() const override;

    // Shows sheet index afresh, as choosing its tab does, without storing
    // the sheet shown before.
    void showSheet(int index);
    // A sheet shown afresh by the workbook: its tab, the first page, the
    // fields, the counts and the tables' shapes follow the session.
    void showShownSheet();
    // The tabs follow a command of the workbook.
    void workbookChanged(unsigned what, int first, int last);
    // "全てリセット" after its question, or without it at the start.
    void btnResetClick();
    void resetWorkbook();
    void menuSettingSheetsClick();
    // The initial values dialog; true when its values were taken (the
    // limit method then applies as chosen there).
    bool menuSettingInitClick();

private:
    void selectTabInCode(int index);
    void tabCtrlChanging();
    void spinTabChange();
    void spinRowChange();
    void spinColChange();
    // The sheet count field's count applied: the records cut or extended
    // (every one made afresh when all is set) and the tabs following.
    void applySheetCount(bool all);
    void resetLimitPanel();
    // Lays the shown sheet out for the counts its fields show.
    void layOutTables();
    // The four tables shaped as the session is laid out.
    void layOutGrids();

    Workbook& workbook_;
    SheetSession& session_;
    WindowHost& host_;
    Controls c_;
    TSheetsForm* sheetsForm_;
    TSettingForm* settingForm_;
};

}  // namespace trevolo
