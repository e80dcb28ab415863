#pragma once
// The commands that move the workbook in and out and keep it: import of a
// workbook or of one CSV file, export of every sheet to a workbook or to
// CSV files, the three reports in the spreadsheet application, and the
// crash journal (restoring a workbook left by a copy that ended abnormally).
// The reading, writing and the office live in the exchange core; here are
// the dialogs, the busy frame and the messages.
#include <QObject>
#include <QString>
#include <memory>

#include "app/window_host.h"
#include "document/sheet_session.h"
#include "document/workbook.h"
#include "store/session_journal.h"

class QTabWidget;

namespace trevolo {

class StringGrid;
class TSplashForm;

class ExchangeController final : public QObject {
public:
    struct Controls {
        TSplashForm* splash;
        QTabWidget* pageInput;
        StringGrid* gridCalc;
        StringGrid* gridSpc;
    };

    ExchangeController(Workbook& workbook, SheetSession& session, WindowHost& host, ShownSheet& shown,
                       JudgmentChain& judgments, const Controls& controls, QWidget* window);
    ~ExchangeController() override;

    void mainMenuXlsImportClick();
    void mainMenuCsvImportClick();
    void mainMenuXlsSaveClick();
    void mainMenuCsvSaveClick();
    void btnExcelClick();
    void btnControlChartClick();
    void btnHistogramClick();

    // Folder "Save Files" used by the reports and save dialogs.
    QString saveFilesDir() const { return saveFilesDir_; }
    void setSaveFilesDir(const QString& dir) { saveFilesDir_ = dir; }

    // Looks in folder for the journal of a copy that ended abnormally, offers
    // to restore it, and starts this copy's journal there.
    void StartJournal(const QString& folder);
    // A normal end: the journal is deleted.
    void EndJournal();
    SessionJournal* journal() const { return journal_.get(); }
    // The records of sheets [first, last) (to the end when last < 0) and the
    // sheet count changed: an import, a reset, a new count.
    void JournalSheets(int first, int last = -1);

private:
    // Shows a recovered workbook in place of the current one.
    void RestoreWorkbook(RecoveredWorkbook workbook);
    // Opens the journal's store in this copy's journal file; false (with
    // the reason told) when it cannot be written.
    bool openJournal(const QString& folder);

    Workbook& workbook_;
    SheetSession& session_;
    WindowHost& host_;
    ShownSheet& shown_;
    JudgmentChain& judgments_;
    Controls c_;
    QWidget* window_;
    QString saveFilesDir_;
    // This copy's journal file (locked while it runs) and the journal.
    std::unique_ptr<JournalFile> journalFile_;
    std::unique_ptr<SessionJournal> journal_;
};

}  // namespace trevolo
