// The main window's side of the crash journal: finding the journal of a copy
// that ended abnormally and offering to restore it at start, starting this
// copy's journal, the workbook-level changes, and deleting the journal at a
// normal end.
#include <QDir>
#include <QTabBar>
#include <QTimer>

#include "app/mainform.h"
#include "app/prompts.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "store/sql_journal_store.h"

namespace trevolo {

namespace {

const QString kRestoreQuestion = QStringLiteral("前回は正常に終了しませんでした。作業内容を復元しますか？");

}  // namespace

void TMainForm::StartJournal(const QString& folder)
{
    EndJournal();
    const QString warning = QString::fromUtf8(kWarningCaption);

    // A journal left behind: the newest is offered; one that cannot be read
    // is kept under another name and the program starts afresh.
    std::unique_ptr<JournalFile> restored;
    for (std::unique_ptr<JournalFile>& left : JournalFile::claimLeft(folder)) {
        std::string why;
        std::optional<RecoveredWorkbook> w = left->recover(&why);
        if (!w) {
            const QString aside = left->setAside();
            Prompts::current().message(
                this, warning,
                QStringLiteral("前回の作業内容の記録を読み込めませんでした。新しい状態で開始します。\n"
                               "記録は次の名前で残してあります。\n") +
                    QDir::toNativeSeparators(aside.isEmpty() ? left->path() : aside));
            continue;
        }
        if (w->empty()) {
            left->remove();
            continue;
        }
        if (Prompts::current().question(this, warning, kRestoreQuestion)) {
            RestoreWorkbook(std::move(*w));
            restored = std::move(left);
        } else {
            left->remove();
        }
        // One journal is offered per start; an older one stays for the next.
        break;
    }

    journalFile_ = JournalFile::create(folder);
    std::string why = "the folder cannot be written";
    std::unique_ptr<SqlJournalStore> store;
    if (journalFile_)
        store = SqlJournalStore::openFile(journalFile_->path(), false, &why);
    if (!store) {
        if (journalFile_)
            journalFile_->remove();
        journalFile_.reset();
        Prompts::current().message(this, warning,
                                   QStringLiteral("作業内容の記録を開始できませんでした。異常終了した時は"
                                                  "作業内容を復元できません。\n") +
                                       QString::fromStdString(why));
        return;
    }
    journal_ = std::make_unique<SessionJournal>(std::move(store), session_);
    journal_->shownSheet = [this] { return selectedTab_; };
    journal_->sheetCount = [this] { return static_cast<int>(Sheets.size()); };
    journal_->onFailure = [this](const std::string& reason) {
        // Told in the middle of a command: the box waits for its end.
        QTimer::singleShot(0, this, [this, reason] {
            Prompts::current().message(this, QString::fromUtf8(kWarningCaption),
                                       QStringLiteral("作業内容を記録できなくなりました。異常終了した時は"
                                                      "作業内容を復元できません。\n") +
                                           QString::fromStdString(reason));
        });
    };
    journal_->writeWorkbook(Sheets);
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
    // The restored workbook is in this copy's journal now.
    if (restored && !journal_->failed())
        restored->remove();
}

void TMainForm::EndJournal()
{
    journal_.reset();
    if (journalFile_)
        journalFile_->remove();
    journalFile_.reset();
}

void TMainForm::RestoreWorkbook(RecoveredWorkbook w)
{
    if (w.sheets.empty())
        return;
    JournalBatch batch(journal_.get());
    const int count = static_cast<int>(w.sheets.size());
    const int shown = w.shown >= 0 && w.shown < count ? w.shown : 0;
    Sheets = std::move(w.sheets);
    workbook_.clearHistory();
    for (int i = 0; i < count; ++i) {
        Struct_Sheet& s = Sheets[static_cast<size_t>(i)];
        if (!s.HasLists)
            InitSheet(s, i + 1, Settings, spinRow->value(), spinCol->value());
    }
    JournalSheets(0);
    // The tabs follow the count; the records, which all carry their lists,
    // stay as they are.
    RunCommand([&] { showSheetCount(count); });
    // A label left blank takes the tab's caption, as storing a sheet does.
    for (int i = 0; i < tabCtrl->count() && i < count; ++i) {
        Struct_Sheet& s = Sheets[static_cast<size_t>(i)];
        if (IsBlank(s.Label))
            s.Label = tabCtrl->tabText(i).toStdString();
        tabCtrl->setTabText(i, QString::fromStdString(s.Label));
    }
    selectTabInCode(shown);
    RunCommand([&] { tabCtrlChange(); });
}

void TMainForm::JournalSheets(int first, int last)
{
    if (journal_)
        journal_->writeSheets(Sheets, first, last);
}

}  // namespace trevolo
