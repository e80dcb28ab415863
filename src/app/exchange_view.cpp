// The File-menu commands of the main window that move the workbook in and
// out: import of a workbook or of one CSV file, export of every sheet to a
// workbook or to CSV files. The reading, writing and the office instance
// live in the exchange core; here are the dialogs, the busy frame, the sheet
// cycle and the messages.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTabBar>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/layout.h"
#include "exchange/messages.h"
#include "exchange/record_block.h"

namespace trevolo {

namespace {

constexpr const char* kOpenTitle = "ファイルを開く";
constexpr const char* kXlsSaveTitle = "Excelブックに名前を付けて保存";
constexpr const char* kCsvFolderTitle = "保存先フォルダの指定";
constexpr const char* kXlsFilter = "Excelブック (*.xls;*.xlsx)|*.xls;*.xlsx";
constexpr const char* kCsvFilter = "CSVファイル (カンマ区切り) (*.csv)|*.csv";

QString U(const char* text)
{
    return QString::fromUtf8(text);
}

// A filter written as "description|patterns" in the form the file dialogs
// take: "description (pattern pattern)". A description that already names
// its patterns in parentheses at its end has them replaced.
QString DialogFilter(const char* filter)
{
    const QString f = U(filter);
    const qsizetype bar = f.indexOf(QLatin1Char('|'));
    QString desc = bar < 0 ? f : f.left(bar);
    QString patterns = bar < 0 ? QString() : f.mid(bar + 1);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (desc.endsWith(QLatin1Char(')'))) {
        const qsizetype open = desc.lastIndexOf(QLatin1Char('('));
        if (open > 0)
            desc = desc.left(open).trimmed();
    }
    return desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

// After the busy frame is closed, the window handles what piled up while the
// command worked. Declared before the frame, so it runs after it ends.
struct ProcessPendingOnExit {
    ~ProcessPendingOnExit() { QApplication::processEvents(); }
};

void Show(QWidget* parent, const CommandMessage& m)
{
    const QString text = QString::fromStdString(m.text);
    switch (m.kind) {
    case CommandMessage::Kind::None:
        break;
    case CommandMessage::Kind::Guide:
        Prompts::current().message(parent, U(kGuideCaption), text);
        break;
    case CommandMessage::Kind::Warning:
        Prompts::current().message(parent, U(kWarningCaption), text);
        break;
    case CommandMessage::Kind::Error:
        Prompts::current().error(parent, QString::fromStdString(ErrorBoxText(m.text)));
        break;
    }
}

CommandMessage Warning(const char* text)
{
    return {CommandMessage::Kind::Warning, text};
}

// A name chosen without an extension gets the workbook's default one, so the
// file is found again by the import's filter.
QString WithWorkbookSuffix(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".xlsx") : path;
}

// The workbook calls of the engine. A build without the office ends them as
// if the office could not be started; the CSV export needs no office.
ImportResult ImportSheets(bool whole, const std::string& path)
{
    return ImportWorkbookSheets(whole, path);
}

ExportResult ExportSheets(const SheetArray& records, const SheetBlockSource& blockOf, const std::string& path)
{
    return ExportWorkbook(records, blockOf, path);
}

}  // namespace

void TMainForm::mainMenuXlsImportClick()
{
    const QString path =
        Prompts::current().openFile(this, U(kOpenTitle), SampleFilesDir(), DialogFilter(kXlsFilter));
    if (path.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(SplashForm, U(kBusyXlsImport));
        try {
            ImportResult r = ImportSheets(true, path.toStdString());
            if (r.status != ImportResult::Status::Ok) {
                // Nothing was read into the program: every sheet and tab
                // stays as it was.
                message = r.message;
            } else {
                const int count = r.count;
                Sheets = std::move(r.sheets);
                workbook_.clearHistory();
                JournalSheets(0);
                // The tabs follow the count; the imported records, which all
                // carry their lists, stay as they are.
                showSheetCount(count);
                selectTabInCode(0);
                tabCtrlChange();
                for (int i = 0; i < tabCtrl->count() && i < static_cast<int>(Sheets.size()); ++i) {
                    const QString label = QString::fromStdString(Sheets[static_cast<size_t>(i)].Label);
                    if (tabCtrl->tabText(i) != label)
                        tabCtrl->setTabText(i, label);
                }
            }
        } catch (const std::exception&) {
            message = Warning(kMsgXlsOpenFailedExtension);
        }
    }
    Show(this, message);
}

void TMainForm::mainMenuCsvImportClick()
{
    const QString path =
        Prompts::current().openFile(this, U(kOpenTitle), SampleFilesDir(), DialogFilter(kCsvFilter));
    if (path.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(SplashForm, U(kBusyCsvImport));
        try {
            ImportResult r = ImportSheets(false, path.toStdString());
            // The current sheet is the selected tab; when the shown sheet's
            // tab was removed, the tab the strip highlights.
            const int target = selectedTab() >= 0 ? selectedTab() : tabCtrl->currentIndex();
            if (r.status != ImportResult::Status::Ok) {
                message = r.message;
            } else if (r.sheets.empty() || target < 0 || target >= static_cast<int>(Sheets.size())) {
                message = Warning(kMsgCsvOpenFailed);
            } else {
                // One step of the sheet's history: undoing it brings back
                // the sheet as it was shown.
                workbook_.replaceSheet(target, std::move(r.sheets.front()), &session_);
                JournalSheets(target, target + 1);
                selectTabInCode(target);
                tabCtrlChange();
            }
        } catch (const std::exception&) {
            message = Warning(kMsgCsvOpenFailed);
        }
    }
    Show(this, message);
}

void TMainForm::mainMenuXlsSaveClick()
{
    QString path = Prompts::current().saveFile(this, U(kXlsSaveTitle), saveFilesDir(), DialogFilter(kXlsFilter));
    if (path.isEmpty())
        return;
    path = WithWorkbookSuffix(path);
    ExportResult result;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(SplashForm, U(kBusyXlsSave));
        SaveGridsToSheet(selectedTab());
        // Each sheet is written as it shows once loaded, built from its
        // record alone: no sheet is shown for it, and the shown one stays.
        const SheetArray records = workbook_.recordsWith(session_);
        const auto blockOf = [this, &records](int index) {
            SplashForm->showProgress(index + 1, static_cast<int>(records.size()));
            return RecordEditBlock(records[static_cast<size_t>(index)]);
        };
        result = ExportSheets(records, blockOf, path.toStdString());
    }
    Show(this, result.message);
}

void TMainForm::mainMenuCsvSaveClick()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder = Prompts::current().folder(this, U(kCsvFolderTitle), desktop);
    if (folder.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(SplashForm, U(kBusyCsvSave));
        SaveGridsToSheet(selectedTab());
        message = ExportSheetsCsv(QDir::toNativeSeparators(folder).toStdString(), workbook_.recordsWith(session_));
    }
    Show(this, message);
}

}  // namespace trevolo
