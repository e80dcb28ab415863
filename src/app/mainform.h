#pragma once
// The main window: the menus, the sheet tabs, the command strip and the
// page control around the panels that show the shown sheet (the header, the
// control limits, and the entry, capability and SPC pages), the behaviour
// its fields share, and the wiring to the controllers that own the
// commands: the sheets and counts, entry, the judgments, and exchange.
#include <QMainWindow>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "app/chart_page.h"
#include "app/exchange_controller.h"
#include "app/judgment_controller.h"
#include "app/plant_store_view.h"
#include "app/settings_store.h"
#include "app/stringgrid.h"
#include "app/window_host.h"
#include "document/sheet_session.h"
#include "document/workbook.h"
#include "model/comtype.h"
#include "store/session_journal.h"

class QMenu;
class QAction;
class QSettings;

namespace trevolo {

class CapabilityPage;
class EntryController;
class EntryPage;
class HeaderPanel;
class LimitPanel;
class LimitRevisionController;
class NotesController;
class SheetsController;
class SpcPage;
class StringGrid;
class TAboutForm;
class TOptionForm;
class TplStringGrid;
class TSplashForm;
class TSpinEdit;

class TMainForm : public QMainWindow, private WindowHost, public ChartHost, public StoreHost {
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
    int selectedTab() const override { return workbook_.current; }
    // Shows sheet index afresh, as choosing its tab does, without storing
    // the sheet shown before.
    void showSheet(int index);
    // A save point: what is being typed is taken and the shown sheet is
    // written into its record.
    void storeShownSheet() override;

    // Looks in folder for the journal of a copy that ended abnormally, offers
    // to restore it, and starts this copy's journal there.
    void StartJournal(const QString& folder) { exchange_->StartJournal(folder); }
    SessionJournal* journal() const override { return exchange_ ? exchange_->journal() : nullptr; }

    // Folder "Save Files" used by the reports and save dialogs; tests point
    // it at a folder of their own.
    QString saveFilesDir() const override { return exchange_->saveFilesDir(); }
    void setSaveFilesDir(const QString& dir) { exchange_->setSaveFilesDir(dir); }

    // The store's boxes belong to the window; the page in front of the
    // shown sheet (0 the entry page, 3 the charts).
    QWidget* promptParent() override { return this; }
    int currentPage() const override { return pageInput->currentIndex(); }
    void setCurrentPage(int page) override { pageInput->setCurrentIndex(page); }

    // The hidden demo fill may be reseeded by tests; 0 seeds from the clock.
    void setDemoSeed(quint64 seed) { judgments_->setDemoSeed(seed); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // WindowHost.
    QWidget* boxParent() override { return this; }
    // Run first at every save point (a tab change, a menu command, a button,
    // closing the window), so nothing still being typed is lost: the open
    // cell editor of gridEdit writes its text into its cell, and the focused
    // field is normalised as leaving it would, on the sheet it was typed
    // into. A text that is not a number is reported as leaving the field
    // reports it, and the save point goes on.
    void commitPendingInput() override;
    void runCommand(const std::function<void()>& command) override;
    void applyOutcome(const Outcome& o) override;

    void ShowError(const std::exception& e);
    // The show step: caption with the version, then the full reset without
    // its question, which builds the workbook and shows the first sheet.
    void FormShow();
    // The close query: writes the window geometry, the rule options and the
    // initial values to the settings store.
    void FormCloseQuery();

    void createMenus();
    void createHeaderBlock();
    void createPages();
    void createControllers();
    void wireFields();
    void registerField(QWidget* w);
    bool isField(const QWidget* w) const;
    bool isTable(const QWidget* w) const;
    // Ties the tables, the verdict panels and the tabs to the document.
    void bindSession();
    // Field behaviour shared by every field: focus colours and exit
    // normalisation (Set_OffColor is both).
    void Set_OnColor(QWidget* field);
    void Set_OffColor(QWidget* field);
    void fieldColourOff(QWidget* field);
    void NormaliseField(QWidget* field);
    // The form sees keys first: Enter and Esc move the focus outside tables.
    bool FormKeyPress(QWidget* watched, QKeyEvent* e);
    void menuSettingOptionClick();

    // The window's own controls: the menus, the sheet tabs, the command
    // strip and the page control. Every control keeps its object name, by
    // which outside tools and tests find it.
    QMenu* menuFile = nullptr;
    QMenu* menuSetting = nullptr;
    QAction* menuFileExit = nullptr;
    QWidget* pnlHedCtrl = nullptr;
    QTabWidget* pageInput = nullptr;
    TSpinEdit* spinRow = nullptr;
    TSpinEdit* spinCol = nullptr;
    TSpinEdit* spinTab = nullptr;

    // The panels, each owning its controls, and the pages.
    HeaderPanel* header_ = nullptr;
    LimitPanel* limits_ = nullptr;
    EntryPage* entryPage_ = nullptr;
    CapabilityPage* capabilityPage_ = nullptr;
    SpcPage* spcPage_ = nullptr;
    class ChartPage* chartPage_ = nullptr;
    // The four tables: views over the session's cell stores.
    TplStringGrid* gridCtrl = nullptr;
    StringGrid* gridEdit = nullptr;
    StringGrid* gridCalc = nullptr;
    StringGrid* gridSpc = nullptr;
    TSplashForm* splash_ = nullptr;
    TAboutForm* about_ = nullptr;
    // Made on first use, so the window's Enter and Esc handling, installed
    // on its own controls at creation, stays out of the dialog.
    TOptionForm* options_ = nullptr;

    // The controllers that own the commands.
    std::unique_ptr<SheetsController> sheets_;
    std::unique_ptr<EntryController> entry_;
    std::unique_ptr<JudgmentController> judgments_;
    std::unique_ptr<ExchangeController> exchange_;
    // Repaints the tables and verdict panels as the session changes; the
    // tabs and the journal follow the workbook.
    std::unique_ptr<SessionListener> tableViews_;
    std::unique_ptr<WorkbookListener> bookViews_;
    // Publishing to and opening from the plant store, its live view and
    // the outbox count.
    PlantStoreView* plantStore_ = nullptr;
    // The store's connection for the parts below, on a thread of its own.
    class StoreWorker* storeWorker_ = nullptr;
    // The alarm bar and list of the followed characteristic.
    class AlarmController* alarms_ = nullptr;
    // Notes on the stored lots, and the revision of the stored limits.
    std::unique_ptr<NotesController> notes_;
    std::unique_ptr<LimitRevisionController> revisions_;

    QSettings* store_;
    std::unique_ptr<QSettings> ownStore_;
    ProgramVersion Version;
    bool shown_ = false;
    std::vector<QWidget*> fields_;
    // Counts the times a sheet was shown afresh. A field entered or typed
    // into under an earlier count now holds another sheet's text (it was
    // normalised at the save point before that sheet was shown), so leaving
    // it does not normalise that text again.
    int viewShown_ = 0;
    int fieldEnteredAt_ = 0;
};

}  // namespace trevolo
