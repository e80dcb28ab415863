#pragma once
// The main window: the menus, the sheet tabs, the command strip and the
// page control around the panels that show the shown sheet (the header, the
// control limits, and the entry, capability and SPC pages), and the
// commands, which run on the document and show what they changed.
#include <QMainWindow>
#include <vector>

#include "app/chart_page.h"
#include "app/fields.h"
#include "app/plant_store_view.h"
#include "app/settings_store.h"
#include "app/stringgrid.h"
#include "document/sheet_session.h"
#include "document/workbook.h"
#include "model/comtype.h"
#include "store/session_journal.h"

class QAction;
class QMenu;
class QPushButton;
class QTabBar;
class QTabWidget;
class QSettings;

namespace trevolo {

class TSplashForm;
class TSheetsForm;
class TOptionForm;
class TSettingForm;
class TAboutForm;
class TLotEditForm;
class HeaderPanel;
class LimitPanel;
class EntryPage;
class CapabilityPage;
class SpcPage;

class TMainForm : public QMainWindow, public ChartHost, public StoreHost {
    Q_OBJECT
    // The document the window shows: the workbook's records and settings,
    // and the shown sheet.
    Workbook workbook_;
    SheetSession session_;

public:
    // Runs the creation step: reads the settings from the store, lays the
    // window out and prepares the tables. The store is the user's unless a
    // test passes its own.
    explicit TMainForm(QSettings* store = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The document the window shows: the workbook (records, settings, rule
    // options, the histories) and the shown sheet, whose cell stores the
    // tables view and into which the fields write.
    Workbook& workbook() { return workbook_; }
    const Workbook& workbook() const { return workbook_; }
    SheetSession& session() { return session_; }
    const SheetSession& session() const { return session_; }

    // The tab selected by the user, or -1 when none is (after the shown
    // sheet's tab was removed).
    int selectedTab() const override { return selectedTab_; }
    // Shows sheet index afresh, as choosing its tab does, without storing
    // the sheet shown before.
    void showSheet(int index);
    // A save point: what is being typed is taken and the shown sheet is
    // written into its record.
    void storeShownSheet() override;

    // ---- the crash journal (exchange_view.cpp) ----
    // Looks in folder for the journal of a copy that ended abnormally, offers
    // to restore it, and starts this copy's journal there.
    void StartJournal(const QString& folder);
    SessionJournal* journal() const { return journal_.get(); }

    // Folder "Save Files" used by the reports and save dialogs; tests point
    // it at a folder of their own.
    QString saveFilesDir() const override { return saveFilesDir_; }
    void setSaveFilesDir(const QString& dir) { saveFilesDir_ = dir; }

    // The store's boxes belong to the window; the page in front of the
    // shown sheet (0 the entry page, 3 the charts).
    QWidget* promptParent() override { return this; }
    int currentPage() const override;
    void setCurrentPage(int page) override;

    // The hidden demo fill may be reseeded by tests; 0 seeds from the clock.
    quint64 randamSeed = 0;

    // The fourth page: the charts of the shown sheet.
    ChartPage* chartPage = nullptr;
    // The dialogs the window owns.
    TSplashForm* SplashForm;
    TSheetsForm* SheetsForm;
    // Made on first use, so the window's Enter and Esc handling, installed
    // on its own controls at creation, stays out of the dialog.
    TOptionForm* OptionForm = nullptr;
    TSettingForm* SettingForm;
    TAboutForm* AboutForm;
    TLotEditForm* LotEditForm;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // The show step: caption with the version, then the full reset without
    // its question, which builds the workbook and shows the first sheet.
    void FormShow();
    // The close query: writes the window geometry, the rule options and the
    // initial values to the settings store.
    void FormCloseQuery();

    // ---- the workbook's records under their names at the window's edge ----
    SheetArray& Sheets = workbook_.sheets;
    Struct_Settings& Settings = workbook_.settings;
    Struct_Options& Options = workbook_.options;
    TVersion Version;

    // Selects a tab in code; runs neither handler of the tab strip.
    void selectTabInCode(int index);

    // ---- the sheet cycle ----
    // Stores the shown sheet (index is the shown one, else nothing).
    void SaveGridsToSheet(int index);
    // The limits emptied and their lines in the state of the limit method,
    // with no question; the statistics and SPC tables emptied.
    void ResetLimitPanel();
    // A sheet shown afresh by the workbook: its tab, the first page, the
    // fields, the counts and the tables' shapes follow the session.
    void showShownSheet();
    // The tabs and the journal follow a command of the workbook.
    void workbookChanged(unsigned what, int first, int last);
    // Lays the shown sheet out for the counts its fields show.
    void LayoutTables();
    // The four tables shaped as the session is laid out.
    void LayoutGrids();

    // ---- handlers ----
    void tabCtrlChanging();
    void tabCtrlChange();
    void spinTabChange();
    // The sheet count field's count applied: the records cut or extended
    // (every one made afresh when all is set) and the tabs following.
    void applySheetCount(bool all);
    // "全てリセット" after its question: the counts of the initial values and
    // every sheet made afresh, the first one shown.
    void resetWorkbook();
    void spinRowChange();
    void spinColChange();
    void btnResetClick();
    void menuSettingSheetsClick();
    void cmbChartChange();
    void cmbSpecKindChange();
    void btnSpecClearClick();
    void btnAllOnClick();
    void chkCpCpkClick();
    void cmbLimitChange();
    void limitCheckClick(int line);
    void btn3StdevClick();
    void btnSpecJudgClick();
    void btnCpkCalcClick();
    void btnSpcJudgClick();
    void btnLotEditClick();
    void btnRandamClick();
    void btnExcelClick();
    void btnControlChartClick();
    void btnHistogramClick();
    void mainMenuXlsImportClick();
    void mainMenuCsvImportClick();
    void mainMenuXlsSaveClick();
    void mainMenuCsvSaveClick();
    void menuSettingInitClick();
    void menuSettingOptionClick();
    void menuHelpManualClick();
    void menuHelpHomeClick();
    void menuHelpAboutClick();
    void menuExecSpecClick();
    void menuExecOperationClick();
    void menuExecSpcClick();

    // ---- measurement entry (entry_view.cpp) ----
    // Editing mode of gridEdit: off when it gets the focus or is clicked, so
    // the mouse only selects; on at any key-down, so typing opens the editor.
    void gridEditEnter();
    void gridEditKeyDown();
    // A character typed into gridEdit or its in-place editor; text is what
    // the character goes into (the editor's text less its selection; empty
    // when the character opens the editor, as it replaces the cell's text).
    // Enter commits the cell and moves on; other characters pass the numeric
    // key filter. False when the character is discarded.
    bool gridEditKeyPress(QChar key, const QString& text);
    CellLook gridEditDrawCell(int col, int row, bool focused, bool isCurrent) const;
    CellLook gridCtrlDrawCell(int col, int row, bool focused, bool isCurrent) const;

    // ---- control limits (judgment_view.cpp) ----
    // Targets of ComputeControlLimits: every line, or one visible line
    // 0..8 (editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1,
    // editXcl, editRcl, editRsUcl3).
    static constexpr int kAllLimitLines = -1;
    bool ComputeControlLimits(int target);
    // The R/S/Rs centre or +3σ line was typed: the hidden +2σ and +1σ
    // lines follow them (emptied while either is blank or not a number).
    void rsLineTyped();

    // ---- specification judgment (judgment_view.cpp) ----
    bool CheckRequiredFields();

    // ---- statistics and SPC tables (judgment_view.cpp) ----
    CellLook gridCalcDrawCell(int col, int row, bool focused, bool isCurrent) const;
    CellLook gridSpcDrawCell(int col, int row, bool focused, bool isCurrent) const;

    // ---- clipboard commands, undo and redo of gridEdit (entry_view.cpp) ----
    // Each acts only while gridEdit itself has the focus; cut is copy then
    // delete, paste is followed by fitting the column widths.
    void popMenuCutClick();
    void popMenuCopyClick();
    void popMenuPasteClick();
    void popMenuDeleteClick();
    void popMenuAllSelectClick();
    // Undo and redo on the shown sheet: "元に戻す" (Ctrl+Z) and "やり直し"
    // (Ctrl+Y, Ctrl+Shift+Z) in the tables' context menu, and the same keys
    // in every table and field of the window. What is being typed is taken
    // first, as a step of its own.
    void popMenuUndoClick();
    void popMenuRedoClick();

    // Field behaviour shared by every field: focus colours and exit normalisation.
    void Set_OnColor(QWidget* field);
    void Set_OffColor(QWidget* field);

    // Run first at every save point (a tab change, a menu command, a button,
    // closing the window), so nothing still being typed is lost: the open
    // cell editor of gridEdit writes its text into its cell, and the focused
    // field is normalised as leaving it would, on the sheet it was typed
    // into. A text that is not a number is reported as leaving the field
    // reports it, and the save point goes on.
    void CommitPendingInput();

    // Runs a command; a conversion error (or any other error) it does not
    // catch is shown by the general error box and the program goes on.
    template <class F>
    void RunCommand(F&& f);
    void ShowError(const std::exception& e);

    // ---- the crash journal (exchange_view.cpp) ----
    // A normal end: the journal is deleted.
    void EndJournal();
    // Shows a recovered workbook in place of the current one.
    void RestoreWorkbook(RecoveredWorkbook workbook);
    // The records of sheets [first, last) (to the end when last < 0) and the
    // sheet count changed: an import, a reset, a new count.
    void JournalSheets(int first, int last = -1);

    // Ties every field, list and box to the session's state.
    void bindSession();
    // Shows what a session command changed, gives the focus, shows its
    // message boxes, and raises the conversion error that stopped it.
    void applyOutcome(const Outcome& o);
    // The three verdict panels as the session holds them.
    void showVerdicts();
    // The measurement and statistics tables after a capability judgment
    // (run alone or by the SPC judgment).
    void showCapability(const Outcome& o);

    void createMenus();
    void createHeaderBlock();
    void createPages();
    void wireFields();
    void registerField(QWidget* w);
    bool isField(const QWidget* w) const;
    // The two halves of Set_OffColor: the colour of a field left, and its
    // exit normalisation.
    void fieldColourOff(QWidget* field);
    void NormaliseField(QWidget* field);
    bool isTable(const QWidget* w) const;
    // The form sees keys first: Enter and Esc move the focus outside tables.
    bool FormKeyPress(QWidget* watched, QKeyEvent* e);
    void applyFieldAlignment();
    void setupTableDrawing();
    // The in-place editor, editing mode and drawing of the entry tables.
    void setupEntry();
    // The context menu of gridEdit with its shortcuts.
    void setupClipboard();

    // The window's own controls: the menus, the sheet tabs, the command
    // strip and the page control. Every control keeps its object name, by
    // which outside tools and tests find it.
    QMenu* menuFile;
    QAction* mainMenuXlsImport;
    QAction* mainMenuCsvImport;
    QAction* mainMenuXlsSave;
    QAction* mainMenuCsvSave;
    QAction* menuFileExit;
    QMenu* menuSetting;
    QAction* menuSettingSheets;
    QAction* menuSettingInit;
    QAction* menuSettingOption;
    QMenu* menuExec;
    QAction* menuExecSpec;
    QAction* menuExecOperation;
    QAction* menuExecSpc;
    QAction* menuExecChart;
    QAction* menuExecHist;
    QMenu* menuHelp;
    QAction* menuHelpManual;
    QAction* menuHelpHome;
    QAction* menuHelpAbout;
    QTabBar* tabCtrl;
    QWidget* pnlHedCtrl;
    QWidget* pnlCommand;
    TSpinEdit* spinRow;
    TSpinEdit* spinCol;
    TSpinEdit* spinTab;
    QPushButton* btnReset;
    QPushButton* btnExcel;
    QPushButton* btnControlChart;
    QPushButton* btnHistogram;
    QTabWidget* pageInput;
    QMenu* popMenu;
    QAction* popMenuCut;
    QAction* popMenuCopy;
    QAction* popMenuPaste;
    QAction* popMenuDelete;
    QAction* popMenuAllSelect;
    QAction* popMenuUndo;
    QAction* popMenuRedo;

    // The panels, each owning its controls, and the pages.
    HeaderPanel* header_;
    LimitPanel* limits_;
    EntryPage* entryPage_;
    CapabilityPage* capabilityPage_;
    SpcPage* spcPage_;
    // The four tables the window's table commands work on: views over the
    // session's cell stores, laid out on the pages.
    TplStringGrid* gridCtrl;
    StringGrid* gridEdit;
    StringGrid* gridCalc;
    StringGrid* gridSpc;

    // Repaints the tables and verdict panels as the session changes.
    std::unique_ptr<SessionListener> tableViews_;
    std::unique_ptr<WorkbookListener> bookViews_;
    // Publishing to and opening from the plant store, its live view and
    // the outbox count.
    PlantStoreView* plantStore_ = nullptr;
    // Undo (false) or redo (true) on the shown sheet.
    void undoRedo(bool redo);
    // Runs the whole judgment chain; the reports go on only when it leaves
    // a capability verdict.
    bool runJudgmentChain();
    QSettings* store_;
    std::unique_ptr<QSettings> ownStore_;
    int& selectedTab_ = workbook_.current;
    bool shown_ = false;
    std::vector<QWidget*> fields_;
    // Counts the times a sheet was shown afresh. A field entered or typed
    // into under an earlier count now holds another sheet's text (it was
    // normalised at the save point before that sheet was shown), so leaving
    // it does not normalise that text again.
    int viewShown_ = 0;
    int fieldEnteredAt_ = 0;
    QString saveFilesDir_;
    // Routes the measurement table's events to the handlers; removed first
    // when the window goes, so no event of a dying table reaches them.
    QObject* entryEvents_ = nullptr;
    // This copy's journal file (locked while it runs) and the journal.
    std::unique_ptr<JournalFile> journalFile_;
    std::unique_ptr<SessionJournal> journal_;
};

template <class F>
void TMainForm::RunCommand(F&& f)
{
    // What the command changes reaches the journal as one transaction.
    JournalBatch batch(journal_.get());
    try {
        f();
    } catch (const std::exception& e) {
        ShowError(e);
    }
}

}  // namespace trevolo
