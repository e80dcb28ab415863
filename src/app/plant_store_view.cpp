// The plant store in the window: publishing, opening, the live view and the
// outbox count.
#include "app/plant_store_view.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <QFile>
#include <algorithm>
#include <set>
#include <thread>
#include <tuple>

#include "app/mainform.h"
#include "app/prompts.h"
#include "model/comfunction.h"
#include "model/commatext.h"
#include "model/number.h"
#include "document/judgment_chain.h"
#include "store/live_feed.h"
#include "store/lot_ledger.h"
#include "store/outbox_forwarder.h"
#include "store/plant_store.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

QString U(const std::string& s)
{
    return QString::fromStdString(s);
}

// The settings of the server (no password: that comes from ~/.pgpass or is
// typed by the user of the database tools).
constexpr const char* kGroup = "PlantStore";

QString ShownTime(std::int64_t millis)
{
    if (millis <= 0)
        return QString();
    return QDateTime::fromMSecsSinceEpoch(millis).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// The sheet the store's lots make (next) with what the inspector has on the
// shown one (current) and has not published: a stored lot edited keeps the
// edit, and lots typed on rows of their own follow the store's. keepHistory
// is cleared when a row of current that holds a lot shows another lot in
// the result, so steps of the history would name the wrong lot.
Struct_Sheet FollowedSheet(const Struct_Sheet& current, Struct_Sheet next, const LotHistory& history,
                           bool& keepHistory)
{
    std::map<std::string, size_t> rowOf;
    std::multimap<std::string, size_t> rowsOfContent;
    for (size_t r = 0; r < next.StoreRefs.size(); ++r) {
        std::string id, content;
        std::int64_t order = 0;
        if (DecodeStoredRef(next.StoreRefs[r], id, order, content)) {
            rowOf[id] = r;
            rowsOfContent.emplace(content, r);
        }
    }
    // A row whose lot was corrected since is the correction's row.
    for (const StoredLot& lot : history.lots)
        if (auto at = rowOf.find(lot.id); at != rowOf.end() && !lot.supersedes.empty())
            rowOf.try_emplace(lot.supersedes, at->second);
    std::set<size_t> claimed;
    std::vector<std::pair<size_t, size_t>> kept;  // current row, row in next
    std::vector<size_t> typed;
    for (const SheetLot& lot : SheetLotsOf(current)) {
        const auto r = static_cast<size_t>(lot.row);
        if (lot.storedId.empty()) {
            typed.push_back(r);
            continue;
        }
        auto at = rowOf.find(lot.storedId);
        if (at == rowOf.end()) {
            keepHistory = false;  // corrected elsewhere or gone: the store's stands
            continue;
        }
        const bool corrected = next.StoreRefs[at->second].rfind(lot.storedId + ' ', 0) != 0;
        if (lot.shownContent != lot.storedContent && !corrected) {
            next.DataList[at->second] = current.DataList[r];
            next.CheckList[at->second] = current.CheckList[r];
        }
        kept.emplace_back(r, at->second);
        claimed.insert(at->second);
    }
    const int decimals = ShownDecimals(current.Keta);
    for (auto t = typed.begin(); t != typed.end();) {
        // A lot typed here that the store now holds (this station published
        // it) is the store's row from now on.
        const DataLineParts parts = DataLineSplit(current.DataList[*t]);
        const bool enabled = *t >= current.CheckList.size() || current.CheckList[*t] != "0";
        auto [first, last] = rowsOfContent.equal_range(SameLotContent(parts.label, enabled, parts.values, decimals));
        auto found = std::find_if(first, last, [&](const auto& e) { return !claimed.count(e.second); });
        if (found == last) {
            ++t;
            continue;
        }
        claimed.insert(found->second);
        kept.emplace_back(*t, found->second);
        t = typed.erase(t);
    }
    for (size_t r : typed) {
        if (next.DataList.size() >= static_cast<size_t>(kMaxLots))
            break;
        kept.emplace_back(r, next.DataList.size());
        next.DataList.push_back(current.DataList[r]);
        next.CheckList.push_back(r < current.CheckList.size() ? current.CheckList[r] : "1");
        next.StoreRefs.emplace_back();
    }
    next.Row = std::clamp(std::max(next.Row, static_cast<int>(next.DataList.size())), kMinLots, kMaxLots);
    for (const auto& [from, to] : kept)
        keepHistory = keepHistory && from == to;
    return next;
}

std::string KeyOf(const Characteristic& c)
{
    return c.product + '\x1f' + c.process + '\x1f' + c.machine + '\x1f' + c.item;
}

// The embedded store is made on first use; a server's is made by
// "trevolo-cli store init".
bool PrepareStore(const StoreLocation& where, std::string& error)
{
    if (where.engine != StoreEngine::Sqlite)
        return true;
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    if (!store)
        return false;
    if (!store->init()) {
        error = store->lastError();
        return false;
    }
    return true;
}

// "工場データベースから開く": the characteristics of the store, searched by a
// text in any of their four names.
class OpenDialog : public QDialog {
public:
    OpenDialog(const StoreLocation& where, QWidget* parent) : QDialog(parent), where_(where)
    {
        setObjectName(QStringLiteral("TStoreOpenForm"));
        setWindowTitle(QStringLiteral("工場データベースから開く"));
        auto* v = new QVBoxLayout(this);
        search_ = new QLineEdit(this);
        search_->setObjectName(QStringLiteral("editSearch"));
        search_->setPlaceholderText(QStringLiteral("品種・工程・装置・項目で検索"));
        search_->setAccessibleName(QStringLiteral("検索"));
        table_ = new QTableWidget(0, 7, this);
        table_->setObjectName(QStringLiteral("gridCharacteristics"));
        table_->setHorizontalHeaderLabels({QStringLiteral("品種名称"), QStringLiteral("工程名称"),
                                           QStringLiteral("装置名称"), QStringLiteral("項目名称"),
                                           QStringLiteral("ステーション数"), QStringLiteral("ロット数"),
                                           QStringLiteral("最終送信日時")});
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table_->horizontalHeader()->setStretchLastSection(true);
        table_->verticalHeader()->hide();
        auto* buttons = new QDialogButtonBox(this);
        open_ = buttons->addButton(QStringLiteral("開く"), QDialogButtonBox::AcceptRole);
        open_->setObjectName(QStringLiteral("btnOpen"));
        buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
        v->addWidget(search_);
        v->addWidget(table_);
        v->addWidget(buttons);
        resize(760, 420);
        connect(search_, &QLineEdit::textChanged, this, &OpenDialog::filter);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
        connect(table_, &QTableWidget::itemSelectionChanged, this,
                [this] { open_->setEnabled(!table_->selectedItems().isEmpty()); });
    }

    // Reads the characteristics of the store once and lists those the search
    // finds; false with the reason when the store cannot be read.
    bool list()
    {
        if (!ListCharacteristics(where_, std::string(), all_, error_))
            return false;
        filter(search_->text());
        return true;
    }

    // Lists the characteristics read that the search finds: typing filters
    // what was read, with no round trip to the store per key.
    void filter(const QString& search)
    {
        std::vector<CharacteristicSummary> found;
        for (const CharacteristicSummary& c : all_)
            if (CharacteristicMatches(c.characteristic, search.toStdString()))
                found.push_back(c);
        shown_ = found;
        table_->setRowCount(static_cast<int>(found.size()));
        for (int r = 0; r < static_cast<int>(found.size()); ++r) {
            const CharacteristicSummary& f = found[static_cast<size_t>(r)];
            const QString cells[] = {U(f.characteristic.product), U(f.characteristic.process),
                                     U(f.characteristic.machine), U(f.characteristic.item),
                                     QString::number(f.stations), QString::number(f.lots),
                                     ShownTime(f.lastPublishedAt)};
            for (int c = 0; c < 7; ++c)
                table_->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        if (!found.empty())
            table_->selectRow(0);
        open_->setEnabled(!found.empty());
    }

    const std::string& error() const { return error_; }
    std::optional<Characteristic> chosen() const
    {
        const int r = table_->currentRow();
        if (r < 0 || r >= static_cast<int>(shown_.size()))
            return std::nullopt;
        return shown_[static_cast<size_t>(r)].characteristic;
    }

private:
    StoreLocation where_;
    QLineEdit* search_;
    QTableWidget* table_;
    QPushButton* open_;
    std::vector<CharacteristicSummary> all_;
    std::vector<CharacteristicSummary> shown_;
    std::string error_;
};

// "工場データベース設定": the server, or none for the file on this PC.
class SettingsDialog : public QDialog {
public:
    SettingsDialog(QSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings)
    {
        setObjectName(QStringLiteral("TStoreSettingForm"));
        setWindowTitle(QStringLiteral("工場データベース設定"));
        auto* form = new QFormLayout(this);
        host_ = new QLineEdit(this);
        host_->setObjectName(QStringLiteral("editHost"));
        host_->setPlaceholderText(QStringLiteral("空欄: このPCのデータベース"));
        port_ = new QSpinBox(this);
        port_->setObjectName(QStringLiteral("spinPort"));
        port_->setRange(1, 65535);
        database_ = new QLineEdit(this);
        database_->setObjectName(QStringLiteral("editDatabase"));
        user_ = new QLineEdit(this);
        user_->setObjectName(QStringLiteral("editUser"));
        ssl_ = new QComboBox(this);
        ssl_->setObjectName(QStringLiteral("cmbSslMode"));
        ssl_->addItems({QStringLiteral("prefer"), QStringLiteral("require"), QStringLiteral("verify-ca"),
                        QStringLiteral("verify-full"), QStringLiteral("disable")});
        form->addRow(QStringLiteral("サーバー"), host_);
        form->addRow(QStringLiteral("ポート"), port_);
        form->addRow(QStringLiteral("データベース"), database_);
        form->addRow(QStringLiteral("ユーザー"), user_);
        form->addRow(QStringLiteral("SSL"), ssl_);
        auto* note = new QLabel(QStringLiteral("パスワードは保存されません。~/.pgpass に設定してください。"), this);
        form->addRow(note);
        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("ＯＫ"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
        form->addRow(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::store);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        settings_.beginGroup(QLatin1String(kGroup));
        host_->setText(settings_.value(QStringLiteral("Host")).toString());
        port_->setValue(settings_.value(QStringLiteral("Port"), 5432).toInt());
        database_->setText(settings_.value(QStringLiteral("Database"), QStringLiteral("trevolo")).toString());
        user_->setText(settings_.value(QStringLiteral("User")).toString());
        ssl_->setCurrentText(settings_.value(QStringLiteral("SslMode"), QStringLiteral("prefer")).toString());
        settings_.endGroup();
    }

private:
    void store()
    {
        const QString host = host_->text().trimmed();
        if (!host.isEmpty() && (database_->text().trimmed().isEmpty() || user_->text().trimmed().isEmpty())) {
            Prompts::current().message(this, QString::fromUtf8(kGuideCaption),
                                       QStringLiteral("データベースとユーザーを入力してください。"));
            return;
        }
        settings_.beginGroup(QLatin1String(kGroup));
        settings_.setValue(QStringLiteral("Host"), host);
        settings_.setValue(QStringLiteral("Port"), port_->value());
        settings_.setValue(QStringLiteral("Database"), database_->text().trimmed());
        settings_.setValue(QStringLiteral("User"), user_->text().trimmed());
        settings_.setValue(QStringLiteral("SslMode"), ssl_->currentText());
        settings_.endGroup();
        accept();
    }

    QSettings& settings_;
    QLineEdit* host_;
    QSpinBox* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QComboBox* ssl_;
};

// Runs work on a thread of its own while the window waits with a progress
// bar; the window repaints meanwhile and takes no input.
template <class Work>
void RunWithProgress(QWidget* parent, const QString& text, int total, Work&& work)
{
    QProgressDialog progress(text, QString(), 0, std::max(total, 1), parent);
    progress.setObjectName(QStringLiteral("dlgStoreProgress"));
    progress.setWindowTitle(QStringLiteral("工場データベース"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    QEventLoop loop;
    auto step = [&progress](int done) {
        QMetaObject::invokeMethod(
            &progress, [&progress, done] { progress.setValue(done); }, Qt::QueuedConnection);
    };
    std::thread worker([&] {
        work(step);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

}  // namespace

PlantStoreView::PlantStoreView(TMainForm* form, QSettings* settings, QMenu* fileMenu, QAction* fileBefore,
                               QMenu* settingMenu)
    : QObject(form), form_(form), settings_(settings), outboxPath_(DefaultOutboxPath())
{
    setObjectName(QStringLiteral("plantStore"));
    auto* publishMenu = new QMenu(QStringLiteral("工場データベースへ送信(&P)"), fileMenu);
    publishMenu->setObjectName(QStringLiteral("menuStorePublish"));
    QAction* shown = publishMenu->addAction(QStringLiteral("表示中のシート(&S)"));
    shown->setObjectName(QStringLiteral("menuStorePublishShown"));
    QAction* all = publishMenu->addAction(QStringLiteral("全てのシート(&A)"));
    all->setObjectName(QStringLiteral("menuStorePublishAll"));
    QAction* open = new QAction(QStringLiteral("工場データベースから開く(&O)"), fileMenu);
    open->setObjectName(QStringLiteral("menuStoreOpen"));
    fileMenu->insertMenu(fileBefore, publishMenu);
    fileMenu->insertAction(fileBefore, open);
    fileMenu->insertSeparator(fileBefore);
    QAction* setting = settingMenu->addAction(QStringLiteral("工場データベース設定(&D)"));
    setting->setObjectName(QStringLiteral("menuStoreSetting"));
    connect(shown, &QAction::triggered, this, [this] { publish(false); });
    connect(all, &QAction::triggered, this, [this] { publish(true); });
    connect(open, &QAction::triggered, this, &PlantStoreView::openClicked);
    connect(setting, &QAction::triggered, this, &PlantStoreView::settingsClicked);

    pending_ = new QLabel(form->statusBar());
    pending_->setObjectName(QStringLiteral("lblPending"));
    form->statusBar()->addPermanentWidget(pending_);
    form->statusBar()->hide();
    form->workbook().addListener(this);
    // Lots left waiting by an earlier run go on by themselves.
    if (QFile::exists(U(outboxPath_)))
        startForwarder();
}

PlantStoreView::~PlantStoreView()
{
    form_->workbook().removeListener(this);
    stopFeed();
    forwarder_.reset();
}

StoreLocation PlantStoreView::location() const
{
    settings_->beginGroup(QLatin1String(kGroup));
    const QString host = settings_->value(QStringLiteral("Host")).toString().trimmed();
    StoreLocation where;
    if (host.isEmpty()) {
        settings_->endGroup();
        return DefaultStoreLocation();
    }
    where.engine = StoreEngine::Postgres;
    where.host = host.toStdString();
    where.port = settings_->value(QStringLiteral("Port"), 5432).toInt();
    where.database = settings_->value(QStringLiteral("Database"), QStringLiteral("trevolo")).toString().toStdString();
    where.user = settings_->value(QStringLiteral("User")).toString().toStdString();
    where.sslmode = settings_->value(QStringLiteral("SslMode"), QStringLiteral("prefer")).toString().toStdString();
    settings_->endGroup();
    return where;
}

void PlantStoreView::setOutboxPath(std::string path)
{
    outboxPath_ = std::move(path);
    if (forwarder_)
        startForwarder();
}

void PlantStoreView::workbookChanged(unsigned what, int first, int last)
{
    if (!(what & BookRecords))
        return;
    // A sheet made afresh or read in publishes under a scope of its own, and
    // a live view of it ends.
    scopes_.erase(scopes_.lower_bound(first), last < 0 ? scopes_.end() : scopes_.lower_bound(last));
    if (live_ && live_->sheet >= first && (last < 0 || live_->sheet < last) && !applying_)
        stopFeed();
}

std::string PlantStoreView::scopeOf(int sheet)
{
    std::string& scope = scopes_[sheet];
    if (scope.empty())
        scope = NewLotId();
    return scope;
}

void PlantStoreView::publish(bool all)
{
    form_->storeShownSheet();
    const Workbook& book = form_->workbook();
    std::vector<int> indices;
    if (all) {
        for (int i = 0; i < book.count(); ++i)
            indices.push_back(i);
    } else if (book.contains(form_->selectedTab())) {
        indices.push_back(form_->selectedTab());
    }
    SheetArray sheets;
    std::vector<std::string> scopes;
    for (int i : indices) {
        // Rows shown from the store carry the stored lot they show: the
        // ledger sends an edit of one as its correction and skips the rest.
        Struct_Sheet s = book.sheets[static_cast<size_t>(i)];
        sheets.push_back(std::move(s));
        scopes.push_back(scopeOf(i));
    }
    if (sheets.empty()) {
        Prompts::current().message(form_, QString::fromUtf8(kGuideCaption),
                                   QStringLiteral("送信するシートがありません。"));
        return;
    }

    // The limits of the shown sheet go with it as a limit set when they
    // are set and differ from those sent before.
    const SheetSession& session = form_->session();
    std::optional<LimitSet> limits;
    std::string limitKey;
    const bool shownIncluded = std::find(indices.begin(), indices.end(), form_->selectedTab()) != indices.end();
    if (shownIncluded &&
        std::any_of(session.limits().begin(), session.limits().end(), [](const std::string& t) { return !IsBlank(t); })) {
        LimitSet set;
        set.method = kLimitTexts[IndexOf(session.limitMethod())];
        set.values = session.limits();
        set.effectiveFrom = StationNowMillis();
        const Struct_Sheet& shown = book.sheets[static_cast<size_t>(form_->selectedTab())];
        limitKey = KeyOf(CharacteristicOf(shown));
        std::string text = set.method;
        for (const std::string& v : set.values)
            text += '\x1f' + v;
        if (limitsSent_[limitKey] != text) {
            limits = set;
            limitsSent_[limitKey] = text;
        } else {
            limitKey.clear();
        }
    }

    const StoreLocation where = location();
    Publisher publisher = CurrentPublisher();
    if (limits)
        limits->setBy = publisher.operatorName;
    const Struct_Sheet shownRecord = shownIncluded ? book.sheets[static_cast<size_t>(form_->selectedTab())]
                                                   : Struct_Sheet();
    PublishReport report;
    bool written = false;
    std::string limitError;
    RunWithProgress(
        form_, QStringLiteral("工場データベースへ送信しています。"), static_cast<int>(sheets.size()), [&](auto step) {
            std::string error;
            PrepareStore(where, error);
            written = PublishSheets(sheets, scopes, where, outboxPath_, publisher, report,
                                    [&](int done, int) { step(done); });
            if (written && report.reached && limits && !PublishLimitSet(where, shownRecord, *limits, limitError))
                limitsSent_.erase(limitKey);
        });
    if (limits && !report.reached)
        limitsSent_.erase(limitKey);
    showWaiting(report.waiting);
    if (!forwarder_)
        startForwarder();
    QString text = U(report.message);
    if (!limitError.empty())
        text += QStringLiteral("\n管理限界値は送信できませんでした。") + U(limitError);
    if (written && report.reached && limitError.empty())
        Prompts::current().inform(form_, QString::fromUtf8(kGuideCaption), text);
    else
        Prompts::current().message(form_, QString::fromUtf8(written && report.reached ? kGuideCaption : kWarningCaption),
                                   text);
    // A server that wants a password gets it now; the lots waiting go on
    // with it.
    if (!report.reached && askPassword(report.message) && forwarder_)
        forwarder_->poke();
}

bool PlantStoreView::askPassword(const std::string& error)
{
    const QString reason = QString::fromStdString(error);
    if (location().engine != StoreEngine::Postgres ||
        !(reason.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
          reason.contains(QStringLiteral("パスワード"))))
        return false;
    bool ok = false;
    const QString password =
        QInputDialog::getText(form_, QStringLiteral("工場データベース"),
                              QStringLiteral("%1 のパスワードを入力してください。").arg(U(location().user)),
                              QLineEdit::Password, QString(), &ok);
    if (!ok || password.isEmpty())
        return false;
    // Kept for this run only: the connections of every thread read it, and
    // it is never written anywhere.
    qputenv("PGPASSWORD", password.toUtf8());
    return true;
}

void PlantStoreView::openClicked()
{
    const StoreLocation where = location();
    std::string error;
    if (!PrepareStore(where, error)) {
        Prompts::current().message(form_, QString::fromUtf8(kWarningCaption), U(error));
        return;
    }
    OpenDialog dialog(where, form_);
    if (!dialog.list() && !(askPassword(dialog.error()) && dialog.list())) {
        Prompts::current().message(form_, QString::fromUtf8(kWarningCaption), U(dialog.error()));
        return;
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (const std::optional<Characteristic> c = dialog.chosen())
        open(*c);
}

bool PlantStoreView::open(const Characteristic& characteristic)
{
    const int index = form_->selectedTab();
    if (!form_->workbook().contains(index)) {
        Prompts::current().message(form_, QString::fromUtf8(kGuideCaption),
                                   QStringLiteral("開くシートのタブを選択してください。"));
        return false;
    }
    Struct_Sheet sheet;
    LotHistory history;
    std::string error;
    if (!OpenCharacteristic(location(), characteristic, sheet, history, error)) {
        Prompts::current().message(form_, QString::fromUtf8(kWarningCaption), U(error));
        return false;
    }
    form_->storeShownSheet();
    stopFeed();
    live_ = Live{index, characteristic, history};
    showHistory(index, history, history.hasLimits ? &history.limits : nullptr);
    startFeed();
    return true;
}

void PlantStoreView::showHistory(int index, const LotHistory& history, const LimitSet* limits)
{
    applying_ = true;
    const Outcome o =
        form_->workbook().importSheet(index, SheetFromHistory(live_->characteristic, history), form_->session());
    applying_ = false;
    if (limits) {
        // The limits in force are drawn: each line that has a value is
        // checked, as an inspector typing them would check it.
        SheetSession& session = form_->session();
        session.typeLimits(limits->values);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            if (!IsBlank(session.limit(line)))
                session.setLineAutomatic(line, true);
        session.setView(session.view());
    }
    for (const SessionMessage& m : o.messages)
        Prompts::current().message(
            form_, QString::fromUtf8(m.kind == SessionMessage::Kind::Warning ? kWarningCaption : kGuideCaption),
            U(m.text));
}

void PlantStoreView::arrived(const std::vector<StoredLot>& lots)
{
    if (!live_ || lots.empty())
        return;
    ApplyArrivals(live_->history, lots);
    if (form_->selectedTab() != live_->sheet)
        return;
    // The sheet follows the store without a step of the history: lots the
    // inspector edited and has not published stay as edited, lots typed on
    // new rows stay after the store's, and the view (limits, lines, page)
    // stays. The judgments already made are made again, so the charts keep
    // their points, lines and marks.
    form_->storeShownSheet();
    const int index = live_->sheet;
    const Struct_Sheet current = form_->workbook().sheets[static_cast<size_t>(index)];
    bool keepHistory = true;
    Struct_Sheet next = FollowedSheet(current, SheetFromHistory(live_->characteristic, live_->history, current.Row),
                                      live_->history, keepHistory);
    SheetSession& session = form_->session();
    const Verdict spc = session.spcVerdict(), calc = session.calcVerdict(), spec = session.specVerdict();
    auto* pages = form_->findChild<QTabWidget*>(QStringLiteral("pageInput"));
    const int page = pages ? pages->currentIndex() : -1;
    applying_ = true;
    form_->workbook().followSheet(index, std::move(next), keepHistory, session);
    applying_ = false;
    if (spc != Verdict::None)
        JudgmentRunner(session).spc(form_->workbook().options);
    else if (calc != Verdict::None)
        JudgmentRunner(session).capability();
    else if (spec != Verdict::None)
        JudgmentRunner(session).specification();
    if (pages && page >= 0)
        pages->setCurrentIndex(page);
}

void PlantStoreView::startFeed()
{
    if (!live_)
        return;
    feedThread_ = new QThread(this);
    feedThread_->setObjectName(QStringLiteral("liveFeed"));
    feedHost_ = new QObject;
    feedHost_->moveToThread(feedThread_);
    feedThread_->start();
    const StoreLocation where = location();
    const std::int64_t id = live_->history.characteristicId;
    const std::int64_t seq = live_->history.lastSeq;
    QMetaObject::invokeMethod(feedHost_, [this, where, id, seq] {
        feed_ = std::make_unique<LiveFeed>(where, id, seq, [this](const std::vector<StoredLot>& lots) {
            QMetaObject::invokeMethod(
                this, [this, lots] { arrived(lots); }, Qt::QueuedConnection);
        });
        std::string error;
        feed_->start(error);
    });
}

void PlantStoreView::stopFeed()
{
    if (feedThread_) {
        // The feed ends in its own thread, then the thread.
        QMetaObject::invokeMethod(
            feedHost_, [this] { feed_.reset(); }, Qt::BlockingQueuedConnection);
        feedThread_->quit();
        feedThread_->wait();
        delete feedHost_;
        delete feedThread_;
        feedThread_ = nullptr;
        feedHost_ = nullptr;
    }
    live_.reset();
}

void PlantStoreView::startForwarder()
{
    forwarder_.reset();
    forwarder_ = std::make_unique<OutboxForwarder>(
        location(), outboxPath_, std::chrono::seconds(30), [this](std::int64_t waiting, bool) {
            QMetaObject::invokeMethod(
                this, [this, waiting] { showWaiting(waiting); }, Qt::QueuedConnection);
        });
}

void PlantStoreView::showWaiting(long long waiting)
{
    // The status bar shows only while lots wait.
    pending_->setText(U(PendingLotsText(std::max(waiting, 0LL))));
    form_->statusBar()->setVisible(waiting > 0);
}

void PlantStoreView::settingsClicked()
{
    SettingsDialog dialog(*settings_, form_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    stopFeed();
    if (forwarder_)
        forwarder_->setLocation(location());
}

}  // namespace trevolo
