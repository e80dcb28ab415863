// The exchange, report and journal commands (see exchange_controller.h).
#include "app/exchange_controller.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "app/stringgrid.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "document/chart_data.h"
#include "entry/tolerance_judgment.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/layout.h"
#include "exchange/messages.h"
#include "exchange/record_block.h"
#include "exchange/report_layout.h"
#include "exchange/reports.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "store/qt_text.h"
#include "store/sql_journal_store.h"

namespace trevolo {

namespace {

constexpr const char* kOpenTitle = "ファイルを開く";
constexpr const char* kXlsSaveTitle = "Excelブックに名前を付けて保存";
constexpr const char* kCsvFolderTitle = "保存先フォルダの指定";
constexpr const char* kXlsFilter = "Excelブック (*.xls;*.xlsx)|*.xls;*.xlsx";
constexpr const char* kCsvFilter = "CSVファイル (カンマ区切り) (*.csv)|*.csv";

// A filter written as "description|patterns" in the form the file dialogs
// take: "description (pattern pattern)". A description that already names
// its patterns in parentheses at its end has them replaced.
QString DialogFilter(const char* filter)
{
    const QString f = ToQString(filter);
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
    const QString text = ToQString(m.text);
    switch (m.kind) {
    case CommandMessage::Kind::None:
        break;
    case CommandMessage::Kind::Guide:
        Prompts::current().message(parent, ToQString(kGuideCaption), text);
        break;
    case CommandMessage::Kind::Warning:
        Prompts::current().message(parent, ToQString(kWarningCaption), text);
        break;
    case CommandMessage::Kind::Error:
        Prompts::current().error(parent, ToQString(ErrorBoxText(m.text)));
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

// The office the window's imports and exports share: started by the first,
// kept for the next, and ended with the window (or after an idle time).
KeptOffice& WindowOffice(QObject* window)
{
    static const char* kHooked = "trevoloKeptOfficeHooked";
    if (!window->property(kHooked).toBool()) {
        window->setProperty(kHooked, true);
        QObject::connect(window, &QObject::destroyed, [] { SharedExchangeOffice().end(); });
    }
    return SharedExchangeOffice();
}

// The workbook calls of the engine. A build without the office ends them as
// if the office could not be started; the CSV export needs no office.
ImportResult ImportSheets(QObject* window, bool whole, const std::string& path)
{
    return ImportWorkbookSheets(WindowOffice(window), whole, path);
}

ExportResult ExportSheets(QObject* window, const SheetArray& records, const SheetBlockSource& blockOf,
                          const std::string& path)
{
    return ExportWorkbook(WindowOffice(window), records, blockOf, path);
}

}  // namespace

ExchangeController::ExchangeController(Workbook& workbook, SheetSession& session, WindowHost& host, ShownSheet& shown,
                                       JudgmentChain& judgments, const Controls& controls, QWidget* window)
    : workbook_(workbook),
      session_(session),
      host_(host),
      shown_(shown),
      judgments_(judgments),
      c_(controls),
      window_(window),
      saveFilesDir_(EnsureSaveFilesDir())
{
}

// The journal file stays when the window goes without being closed: the
// next start offers what it holds.
ExchangeController::~ExchangeController() = default;

void ExchangeController::mainMenuXlsImportClick()
{
    const QString path = Prompts::current().openFile(window_, ToQString(kOpenTitle), SampleFilesDir(), DialogFilter(kXlsFilter));
    if (path.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(c_.splash, ToQString(kBusyXlsImport));
        try {
            ImportResult r = ImportSheets(window_, true, ToStdString(path));
            if (r.status != ImportResult::Status::Ok) {
                // Nothing was read into the program: every sheet and tab
                // stays as it was.
                message = r.message;
            } else {
                // The imported records all carry their lists and labels;
                // the tabs follow them and the first sheet is shown.
                host_.applyOutcome(workbook_.replaceAll(std::move(r.sheets), 0, shown_.lotCountSetting(), shown_.columnCountSetting(), false,
                                                  session_));
            }
        } catch (const std::exception&) {
            message = Warning(kMsgXlsOpenFailedExtension);
        }
    }
    Show(window_, message);
}

void ExchangeController::mainMenuCsvImportClick()
{
    const QString path = Prompts::current().openFile(window_, ToQString(kOpenTitle), SampleFilesDir(), DialogFilter(kCsvFilter));
    if (path.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(c_.splash, ToQString(kBusyCsvImport));
        try {
            ImportResult r = ImportSheets(window_, false, ToStdString(path));
            // The current sheet is the selected tab; when the shown sheet's
            // tab was removed, the tab the strip highlights.
            const int target = shown_.shownIndex() >= 0 ? shown_.shownIndex() : shown_.highlightedTab();
            if (r.status != ImportResult::Status::Ok) {
                message = r.message;
            } else if (r.sheets.empty() || target < 0 || target >= static_cast<int>(workbook_.sheets.size())) {
                message = Warning(kMsgCsvOpenFailed);
            } else {
                // One step of the sheet's history: undoing it brings back
                // the sheet as it was shown.
                host_.applyOutcome(workbook_.importSheet(target, std::move(r.sheets.front()), session_));
            }
        } catch (const std::exception&) {
            message = Warning(kMsgCsvOpenFailed);
        }
    }
    Show(window_, message);
}

void ExchangeController::mainMenuXlsSaveClick()
{
    QString path = Prompts::current().saveFile(window_, ToQString(kXlsSaveTitle), saveFilesDir(), DialogFilter(kXlsFilter));
    if (path.isEmpty())
        return;
    path = WithWorkbookSuffix(path);
    ExportResult result;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(c_.splash, ToQString(kBusyXlsSave));
        shown_.store();
        // Each sheet is written as it shows once loaded, built from its
        // record alone: no sheet is shown for it, and the shown one stays.
        const SheetArray& records = workbook_.sheets;
        const auto blockOf = [this, &records](int index) {
            c_.splash->showProgress(index + 1, static_cast<int>(records.size()));
            return RecordEditBlock(records[static_cast<size_t>(index)]);
        };
        result = ExportSheets(window_, records, blockOf, ToStdString(path));
    }
    Show(window_, result.message);
}

void ExchangeController::mainMenuCsvSaveClick()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString folder = Prompts::current().folder(window_, ToQString(kCsvFolderTitle), desktop);
    if (folder.isEmpty())
        return;
    CommandMessage message;
    {
        ProcessPendingOnExit pending;
        BusyFrame busy(c_.splash, ToQString(kBusyCsvSave));
        shown_.store();
        message = ExportSheetsCsv(ToStdString(QDir::toNativeSeparators(folder)), workbook_.sheets);
    }
    Show(window_, message);
}

namespace {

constexpr const char* kBusyReport = "Excelに統計データを展開しています。";

// The rows of a table other than the measurement table, as shown.
TableView ShownTable(const StringGrid& grid)
{
    const CellStore& cells = grid.cells();
    TableView t;
    t.rows = grid.RowCount();
    t.cols = grid.ColCount();
    t.cell = [&cells](int col, int row) { return std::string(cells.text(col, row)); };
    return t;
}

ReportPlace Place(const QString& saveFiles)
{
    ReportPlace p;
    p.formFiles = ToStdString(FormFilesDir());
    p.saveFiles = ToStdString(saveFiles);
    p.time = LocalTimeNow();
    return p;
}

}  // namespace

void ExchangeController::btnExcelClick()
{
    if (!judgments_.requiredFieldsFilled()) {
        Prompts::current().message(window_, ToQString(kGuideCaption), ToQString(kMsgRequiredMissing));
        return;
    }
    if (!judgments_.judgeAll())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(c_.splash, ToQString(kBusyXlsSave));

    // The header rows come from the sheet's record, which the judgment has
    // just stored; with no tab selected, from the fields as they stand.
    SheetRecord record;
    const int tab = shown_.shownIndex();
    if (tab >= 0 && tab < static_cast<int>(workbook_.sheets.size())) {
        record = workbook_.sheets[static_cast<size_t>(tab)];
    } else {
        session_.store(record);
    }

    const CellStore& ctrl = session_.lotCells();
    const CellStore& edit = session_.valueCells();
    EditTableView view;
    view.lots = session_.lots();
    view.n = session_.columns();
    view.label = [&ctrl](int row) { return std::string(ctrl.text(0, row)); };
    view.enabled = [&ctrl](int row) { return ctrl.flag(1, row); };
    view.value = [&edit](int col, int row) { return std::string(edit.text(col, row)); };

    ResultTables tables;
    for (int i = 0; i < 3 && i < c_.pageInput->count(); ++i)
        tables.names[static_cast<size_t>(i)] = ToStdString(c_.pageInput->tabText(i));
    tables.edit = BuildEditBlock(view, record.decimals);
    tables.calc = BuildCalcBlock(ShownTable(*c_.gridCalc));
    tables.spc = BuildSpcBlock(ShownTable(*c_.gridSpc));
    MakeJudgmentResult(record, tables, Place(saveFilesDir_));
}

void ExchangeController::btnControlChartClick()
{
    if (!judgments_.judgeAll())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(c_.splash, ToQString(kBusyReport));

    ControlChartData data;
    data.chartKind = IndexOf(session_.chartKind());
    data.lotCountSetting = shown_.lotCountSetting();
    // The statistics table: title row, one row per lot that took part, the
    // total row last.
    const CellStore& calc = session_.calcCells();
    const int spread = ChartSpreadColumn(data.chartKind);
    for (int row = 1; row <= session_.calcRowCount() - 2; ++row) {
        data.labels.emplace_back(calc.text(kChartLabelColumn, row));
        data.means.emplace_back(calc.text(kChartMeanColumn, row));
        data.spreads.emplace_back(calc.text(spread, row));
    }
    // The X lines from the top down, then the R/S/Rs centre and +3σ lines,
    // each with its name.
    const int lines[9] = {LimitUcl3, LimitUcl2, LimitUcl1, LimitXcl,   LimitLcl1,
                          LimitLcl2, LimitLcl3, LimitRcl,  LimitRsUcl3};
    auto line = [this](int l) {
        return ChartLine{session_.lineNames()[static_cast<size_t>(l)], session_.limit(l)};
    };
    for (size_t i = 0; i < 7; ++i)
        data.xLines[i] = line(lines[i]);
    for (size_t i = 0; i < 2; ++i)
        data.spreadLines[i] = line(lines[7 + i]);

    MakeControlChartReport(data, Place(saveFilesDir_));
}

void ExchangeController::btnHistogramClick()
{
    if (!judgments_.judgeAll())
        return;
    ProcessPendingOnExit pending;
    BusyFrame busy(c_.splash, ToQString(kBusyReport));

    const CellStore& ctrl = session_.lotCells();
    const CellStore& edit = session_.valueCells();
    HistogramData data;
    data.lots = session_.lots();
    data.n = session_.columns();
    data.enabled = [&ctrl](int lot) { return ctrl.flag(1, lot + 1); };
    data.value = [&edit](int lot, int col) { return std::string(edit.text(col, lot + 1)); };
    data.decimals = session_.header().decimals;
    data.classes = HistogramClassCount(session_.histogramClasses(), kMinHistogramClasses);

    MakeHistogramReport(data, Place(saveFilesDir_));
}

namespace {

const QString kRestoreQuestion = QStringLiteral("前回は正常に終了しませんでした。作業内容を復元しますか？");

}  // namespace

void ExchangeController::StartJournal(const QString& folder)
{
    EndJournal();
    const QString warning = ToQString(kWarningCaption);

    // A journal left behind: the newest is offered; one that cannot be read
    // is kept under another name and the program starts afresh.
    std::unique_ptr<JournalFile> restored;
    for (std::unique_ptr<JournalFile>& left : JournalFile::claimLeft(folder)) {
        std::string why;
        std::optional<RecoveredWorkbook> w = left->recover(&why);
        if (!w) {
            const QString aside = left->setAside();
            Prompts::current().message(
                window_, warning,
                QStringLiteral("前回の作業内容の記録を読み込めませんでした。新しい状態で開始します。\n"
                               "記録は次の名前で残してあります。\n") +
                    QDir::toNativeSeparators(aside.isEmpty() ? left->path() : aside));
            continue;
        }
        if (w->empty()) {
            left->remove();
            continue;
        }
        if (Prompts::current().question(window_, warning, kRestoreQuestion)) {
            RestoreWorkbook(std::move(*w));
            restored = std::move(left);
        } else {
            left->remove();
        }
        // One journal is offered per start; an older one stays for the next.
        break;
    }

    if (!openJournal(folder))
        return;
    // The restored workbook is in this copy's journal now.
    if (restored && !journal_->failed())
        restored->remove();
}

bool ExchangeController::openJournal(const QString& folder)
{
    const QString warning = ToQString(kWarningCaption);
    journalFile_ = JournalFile::create(folder);
    std::string why = "the folder cannot be written";
    std::unique_ptr<SqlJournalStore> store;
    if (journalFile_)
        store = SqlJournalStore::openFile(journalFile_->path(), false, &why);
    if (!store) {
        if (journalFile_)
            journalFile_->remove();
        journalFile_.reset();
        Prompts::current().message(window_, warning,
                                   QStringLiteral("作業内容の記録を開始できませんでした。異常終了した時は"
                                                  "作業内容を復元できません。\n") +
                                       ToQString(why));
        return false;
    }
    journal_ = std::make_unique<SessionJournal>(std::move(store), session_);
    journal_->shownSheet = [this] { return workbook_.current; };
    journal_->sheetCount = [this] { return static_cast<int>(workbook_.sheets.size()); };
    journal_->onFailure = [this](const std::string& reason) {
        // Told in the middle of a command: the box waits for its end.
        QTimer::singleShot(0, window_, [this, reason] {
            Prompts::current().message(window_, ToQString(kWarningCaption),
                                       QStringLiteral("作業内容を記録できなくなりました。異常終了した時は"
                                                      "作業内容を復元できません。\n") +
                                           ToQString(reason));
        });
    };
    journal_->writeWorkbook(workbook_.sheets);
    // What was written reaches the disk within two seconds, between commands.
    auto* sync = findChild<QTimer*>(QStringLiteral("journalSync"));
    if (!sync) {
        sync = new QTimer(this);
        sync->setObjectName(QStringLiteral("journalSync"));
        connect(sync, &QTimer::timeout, this, [this] {
            if (journal_)
                journal_->syncIfWritten();
        });
    }
    sync->start(2000);
    return true;
}

void ExchangeController::EndJournal()
{
    journal_.reset();
    if (journalFile_)
        journalFile_->remove();
    journalFile_.reset();
}

void ExchangeController::RestoreWorkbook(RecoveredWorkbook w)
{
    if (w.sheets.empty())
        return;
    JournalBatch batch(journal_.get());
    // A record the journal holds without its lists is made afresh, and a
    // blank label takes its tab's caption, as storing a sheet does.
    host_.runCommand([&] {
        host_.applyOutcome(workbook_.replaceAll(std::move(w.sheets), w.shown, shown_.lotCountSetting(), shown_.columnCountSetting(), true,
                                          session_));
    });
}

void ExchangeController::JournalSheets(int first, int last)
{
    if (journal_)
        journal_->writeSheets(workbook_.sheets, first, last);
}

}  // namespace trevolo
