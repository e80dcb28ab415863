// The plant store in the window: publishing, opening, the live view and the
// outbox count.
#include "app/plant_store_view.h"

#include <QDialog>
#include <QEventLoop>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QThread>
#include <QFile>
#include <algorithm>
#include <set>
#include <thread>
#include <tuple>

#include "app/plant_store_dialogs.h"
#include "app/prompts.h"
#include "model/comfunction.h"
#include "model/commatext.h"
#include "model/number.h"
#include "document/judgment_chain.h"
#include "store/live_feed.h"
#include "store/lot_ledger.h"
#include "store/outbox_forwarder.h"
#include "store/plant_store.h"
#include "store/qt_text.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

// The sheet the store's lots make (next) with what the inspector has on the
// shown one (current) and has not published: a stored lot edited keeps the
// edit, and lots typed on rows of their own follow the store's. keepHistory
// is cleared when a row of current that holds a lot shows another lot in
// the result, so steps of the history would name the wrong lot.
SheetRecord FollowedSheet(const SheetRecord& current, SheetRecord next, const LotHistory& history, bool& keepHistory)
{
    std::map<std::string, size_t> rowOf;
    std::multimap<std::string, size_t> rowsOfContent;
    for (size_t r = 0; r < next.storeRefs.size(); ++r) {
        std::string id, content;
        std::int64_t order = 0;
        if (DecodeStoredRef(next.storeRefs[r], id, order, content)) {
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
        const bool corrected = next.storeRefs[at->second].rfind(lot.storedId + ' ', 0) != 0;
        if (lot.shownContent != lot.storedContent && !corrected) {
            next.dataList[at->second] = current.dataList[r];
            next.checkList[at->second] = current.checkList[r];
        }
        kept.emplace_back(r, at->second);
        claimed.insert(at->second);
    }
    const int decimals = ShownDecimals(current.decimals);
    for (auto t = typed.begin(); t != typed.end();) {
        // A lot typed here that the store now holds (this station published
        // it) is the store's row from now on.
        const DataLineParts parts = DataLineSplit(current.dataList[*t]);
        const bool enabled = *t >= current.checkList.size() || current.checkList[*t] != "0";
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
        if (next.dataList.size() >= static_cast<size_t>(kMaxLots))
            break;
        kept.emplace_back(r, next.dataList.size());
        next.dataList.push_back(current.dataList[r]);
        next.checkList.push_back(r < current.checkList.size() ? current.checkList[r] : "1");
        next.storeRefs.emplace_back();
    }
    next.lots = std::clamp(std::max(next.lots, static_cast<int>(next.dataList.size())), kMinLots, kMaxLots);
    for (const auto& [from, to] : kept)
        keepHistory = keepHistory && from == to;
    return next;
}

std::string KeyOf(const Characteristic& c)
{
    return c.product + '\x1f' + c.process + '\x1f' + c.machine + '\x1f' + c.item;
}

// The stored lot ids of a published sheet's rows (from 0): the current lots
// the station holds of its characteristic, matched to the rows by what they
// show (empty for a row none matches).
std::vector<std::string> PublishedRowIds(PlantStore& store, const SheetRecord& sheet, const std::string& station)
{
    std::vector<StoredLot> stored;
    if (!store.stationLots(CharacteristicOf(sheet), station, stored))
        return {};
    const int decimals = ShownDecimals(sheet.decimals);
    std::multimap<std::string, std::string> idsOfContent;
    for (const StoredLot& lot : stored)
        idsOfContent.emplace(SameLotContent(lot.label, lot.enabled, lot.values, decimals), lot.id);
    std::vector<std::string> ids(sheet.dataList.size());
    for (const SheetLot& lot : SheetLotsOf(sheet)) {
        auto at = idsOfContent.find(SameLotContent(lot.label, lot.enabled, lot.values, decimals));
        if (at == idsOfContent.end() || static_cast<size_t>(lot.row) >= ids.size())
            continue;
        ids[static_cast<size_t>(lot.row)] = at->second;
        idsOfContent.erase(at);
    }
    return ids;
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

PlantStoreView::PlantStoreView(Workbook& book, SheetSession& session, StoreHost& host, QSettings* settings,
                               WindowParts parts, QObject* parent)
    : QObject(parent),
      book_(book),
      session_(session),
      host_(host),
      settings_(settings),
      statusBar_(parts.statusBar),
      outboxPath_(DefaultOutboxPath())
{
    setObjectName(QStringLiteral("plantStore"));
    QMenu* fileMenu = parts.fileMenu;
    QAction* fileBefore = parts.fileBefore;
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
    QAction* setting = parts.settingMenu->addAction(QStringLiteral("工場データベース設定(&D)"));
    setting->setObjectName(QStringLiteral("menuStoreSetting"));
    connect(shown, &QAction::triggered, this, [this] { publish(false); });
    connect(all, &QAction::triggered, this, [this] { publish(true); });
    connect(open, &QAction::triggered, this, &PlantStoreView::openClicked);
    connect(setting, &QAction::triggered, this, &PlantStoreView::settingsClicked);

    pending_ = new QLabel(statusBar_);
    pending_->setObjectName(QStringLiteral("lblPending"));
    statusBar_->addPermanentWidget(pending_);
    statusBar_->hide();
    book_.addListener(this);
    session_.addListener(this);
    // Lots left waiting by an earlier run go on by themselves.
    if (QFile::exists(ToQString(outboxPath_)))
        startForwarder();
}

PlantStoreView::~PlantStoreView()
{
    book_.removeListener(this);
    session_.removeListener(this);
    stopWatchFeed(true);
    stopFeed();
    if (feedThread_) {
        feedThread_->quit();
        feedThread_->wait();
        delete feedHost_;
        delete feedThread_;
    }
    forwarder_.reset();
}

StoreLocation PlantStoreView::location() const
{
    return ReadStoreLocation(*settings_);
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
    if (!applying_)
        publishedIds_.erase(publishedIds_.lower_bound(first),
                            last < 0 ? publishedIds_.end() : publishedIds_.lower_bound(last));
    if (live_ && live_->sheet >= first && (last < 0 || live_->sheet < last) && !applying_)
        stopFeed();
    if (!applying_)
        follow();
}

std::string PlantStoreView::scopeOf(int sheet)
{
    std::string& scope = scopes_[sheet];
    if (scope.empty())
        scope = NewLotId();
    return scope;
}

std::vector<int> PlantStoreView::sheetsToPublish(bool all) const
{
    std::vector<int> indices;
    if (all) {
        for (int i = 0; i < book_.count(); ++i)
            indices.push_back(i);
    } else if (book_.contains(host_.selectedTab())) {
        indices.push_back(host_.selectedTab());
    }
    return indices;
}

std::optional<LimitSet> PlantStoreView::limitsToSend(std::string& key)
{
    if (std::none_of(session_.limits().begin(), session_.limits().end(), [](const std::string& t) { return !IsBlank(t); }))
        return std::nullopt;
    LimitSet set;
    set.method = kLimitTexts[IndexOf(session_.limitMethod())];
    set.values = session_.limits();
    set.effectiveFrom = StationNowMillis();
    std::string text = set.method;
    for (const std::string& v : set.values)
        text += '\x1f' + v;
    const std::string characteristic = KeyOf(CharacteristicOf(book_.sheets[static_cast<size_t>(host_.selectedTab())]));
    std::string& sent = limitsSent_[characteristic];
    if (sent == text)
        return std::nullopt;
    sent = text;
    key = characteristic;
    return set;
}

void PlantStoreView::publish(bool all)
{
    host_.storeShownSheet();
    const std::vector<int> indices = sheetsToPublish(all);
    if (indices.empty()) {
        tell(kGuideCaption, QStringLiteral("送信するシートがありません。"));
        return;
    }
    SheetArray sheets;
    std::vector<std::string> scopes;
    for (int i : indices) {
        // Rows shown from the store carry the stored lot they show: the
        // ledger sends an edit of one as its correction and skips the rest.
        sheets.push_back(book_.sheets[static_cast<size_t>(i)]);
        scopes.push_back(scopeOf(i));
    }

    // The limits of the shown sheet go with it as a limit set when they
    // are set and differ from those sent before.
    const int shownTab = host_.selectedTab();
    const bool shownIncluded = std::find(indices.begin(), indices.end(), shownTab) != indices.end();
    std::string limitKey;
    std::optional<LimitSet> limits = shownIncluded ? limitsToSend(limitKey) : std::nullopt;
    const StoreLocation where = location();
    const Publisher publisher = CurrentPublisher();
    if (limits)
        limits->setBy = publisher.operatorName;
    const SheetRecord shownRecord = shownIncluded ? book_.sheets[static_cast<size_t>(shownTab)] : SheetRecord();
    PublishReport report;
    bool written = false;
    bool limitsStored = false;
    std::string limitError;
    std::vector<std::vector<std::string>> rowIds;
    RunWithProgress(host_.promptParent(), QStringLiteral("工場データベースへ送信しています。"),
                    static_cast<int>(sheets.size()), [&](auto step) {
                        std::string error;
                        PrepareStore(where, error);
                        written = PublishSheets(sheets, scopes, where, outboxPath_, publisher, report,
                                                [&](int done, int) { step(done); });
                        if (written && report.reached && limits)
                            limitsStored = PublishLimitSet(where, shownRecord, *limits, limitError);
                        // Which stored lot each row is now, for the window's
                        // plant parts (alarms and notes name stored lots).
                        std::unique_ptr<PlantStore> store =
                            written && report.reached ? PlantStore::open(where, error) : nullptr;
                        for (size_t i = 0; store && i < sheets.size(); ++i)
                            rowIds.push_back(PublishedRowIds(*store, sheets[i], publisher.station));
                    });
    for (size_t i = 0; i < rowIds.size(); ++i)
        if (std::any_of(rowIds[i].begin(), rowIds[i].end(), [](const std::string& id) { return !id.empty(); }))
            publishedIds_[indices[i]] = std::move(rowIds[i]);
    follow();
    // A limit set that did not reach the store is sent with the next sheet.
    if (limits && !limitsStored)
        limitsSent_.erase(limitKey);
    showWaiting(report.waiting);
    if (!forwarder_)
        startForwarder();
    tellPublished(report, written, limitError);
    // A server that wants a password gets it now; the lots waiting go on
    // with it.
    if (!report.reached && askPassword(report.message) && forwarder_)
        forwarder_->poke();
}

void PlantStoreView::tellPublished(const PublishReport& report, bool written, const std::string& limitError)
{
    QString text = ToQString(report.message);
    if (!limitError.empty())
        text += QStringLiteral("\n管理限界値は送信できませんでした。") + ToQString(limitError);
    if (written && report.reached && limitError.empty())
        Prompts::current().inform(host_.promptParent(), QString::fromUtf8(kGuideCaption), text);
    else
        tell(written && report.reached ? kGuideCaption : kWarningCaption, text);
}

void PlantStoreView::tell(const char* caption, const QString& text)
{
    Prompts::current().message(host_.promptParent(), QString::fromUtf8(caption), text);
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
        QInputDialog::getText(host_.promptParent(), QStringLiteral("工場データベース"),
                              QStringLiteral("%1 のパスワードを入力してください。").arg(ToQString(location().user)),
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
        tell(kWarningCaption, ToQString(error));
        return;
    }
    StoreOpenDialog dialog(where, host_.promptParent());
    if (!dialog.list() && !(askPassword(dialog.error()) && dialog.list())) {
        tell(kWarningCaption, ToQString(dialog.error()));
        return;
    }
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (const std::optional<Characteristic> c = dialog.chosen())
        open(*c);
}

bool PlantStoreView::open(const Characteristic& characteristic)
{
    const int index = host_.selectedTab();
    if (!book_.contains(index)) {
        tell(kGuideCaption, QStringLiteral("開くシートのタブを選択してください。"));
        return false;
    }
    SheetRecord sheet;
    LotHistory history;
    std::string error;
    if (!OpenCharacteristic(location(), characteristic, sheet, history, error)) {
        tell(kWarningCaption, ToQString(error));
        return false;
    }
    host_.storeShownSheet();
    stopFeed();
    live_ = Live{index, characteristic, history};
    publishedIds_.erase(index);
    showHistory(index, history, history.hasLimits ? &history.limits : nullptr);
    startFeed();
    follow();
    return true;
}

void PlantStoreView::showHistory(int index, const LotHistory& history, const LimitSet* limits)
{
    applying_ = true;
    const Outcome o = book_.importSheet(index, SheetFromHistory(live_->characteristic, history), session_);
    applying_ = false;
    if (limits) {
        // The limits in force are drawn: each line that has a value is
        // checked, as an inspector typing them would check it.
        SheetSession& session = session_;
        session.typeLimits(limits->values);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            if (!IsBlank(session.limit(line)))
                session.setLineAutomatic(line, true);
        session.setView(session.view());
    }
    for (const SessionMessage& m : o.messages)
        tell(m.kind == SessionMessage::Kind::Warning ? kWarningCaption : kGuideCaption, ToQString(m.text));
}

void PlantStoreView::arrived(const std::vector<StoredLot>& lots)
{
    if (!live_ || lots.empty())
        return;
    ApplyArrivals(live_->history, lots);
    if (host_.selectedTab() != live_->sheet)
        return;
    announce();
    // The sheet follows the store without a step of the history: lots the
    // inspector edited and has not published stay as edited, lots typed on
    // new rows stay after the store's, and the view (limits, lines, page)
    // stays. The judgments already made are made again, so the charts keep
    // their points, lines and marks.
    host_.storeShownSheet();
    const int index = live_->sheet;
    const SheetRecord current = book_.sheets[static_cast<size_t>(index)];
    bool keepHistory = true;
    SheetRecord next = FollowedSheet(current, SheetFromHistory(live_->characteristic, live_->history, current.lots),
                                     live_->history, keepHistory);
    SheetSession& session = session_;
    const Verdict spc = session.spcVerdict(), calc = session.calcVerdict(), spec = session.specVerdict();
    const int page = host_.currentPage();
    applying_ = true;
    book_.followSheet(index, std::move(next), keepHistory, session);
    applying_ = false;
    if (spc != Verdict::None)
        JudgmentRunner(session).spc(book_.options);
    else if (calc != Verdict::None)
        JudgmentRunner(session).capability();
    else if (spec != Verdict::None)
        JudgmentRunner(session).specification();
    if (page >= 0)
        host_.setCurrentPage(page);
}

void PlantStoreView::onFeedThread(std::function<void()> work, bool wait)
{
    if (!feedThread_) {
        feedThread_ = new QThread(this);
        feedThread_->setObjectName(QStringLiteral("liveFeed"));
        feedHost_ = new QObject;
        feedHost_->moveToThread(feedThread_);
        feedThread_->start();
    }
    QMetaObject::invokeMethod(feedHost_, std::move(work),
                              wait ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void PlantStoreView::startFeed()
{
    if (!live_)
        return;
    const StoreLocation where = location();
    const std::int64_t id = live_->history.characteristicId;
    const std::int64_t seq = live_->history.lastSeq;
    const int sheet = live_->sheet;
    onFeedThread([this, where, id, seq, sheet] {
        feed_ = std::make_unique<LiveFeed>(
            where, id, seq,
            [this](const std::vector<StoredLot>& lots) {
                QMetaObject::invokeMethod(
                    this, [this, lots] { arrived(lots); }, Qt::QueuedConnection);
            },
            [this, sheet] {
                QMetaObject::invokeMethod(
                    this,
                    [this, sheet] {
                        if (live_ && live_->sheet == sheet && host_.selectedTab() == sheet)
                            announce();
                    },
                    Qt::QueuedConnection);
            });
        std::string error;
        feed_->start(error);
    });
}

void PlantStoreView::stopFeed()
{
    // The feed ends in its own thread.
    if (feedThread_)
        onFeedThread([this] { feed_.reset(); }, true);
    live_.reset();
}

void PlantStoreView::stopWatchFeed(bool wait)
{
    // Queued, the window need not wait for a feed busy connecting to a
    // server that is away: the next feed starts after this one ended.
    if (feedThread_)
        onFeedThread([this] { watchFeed_.reset(); }, wait);
    watched_.reset();
}

void PlantStoreView::follow()
{
    const int shown = host_.selectedTab();
    std::optional<Characteristic> wanted;
    if (!(live_ && live_->sheet == shown) && publishedIds_.count(shown))
        wanted = storedCharacteristic();
    if (wanted != watched_) {
        stopWatchFeed();
        if (wanted) {
            watched_ = wanted;
            const StoreLocation where = location();
            const Characteristic c = *wanted;
            onFeedThread([this, where, c] {
                // The feed follows a characteristic by its id: one never
                // stored yet has nothing to follow.
                std::string error;
                LotHistory h;
                std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
                if (!store || !store->newestLots(c, 1, h) || h.characteristicId == 0) {
                    // Tried again when the window next follows the sheet.
                    QMetaObject::invokeMethod(
                        this,
                        [this, c] {
                            if (watched_ == c)
                                watched_.reset();
                        },
                        Qt::QueuedConnection);
                    return;
                }
                store.reset();
                auto tell = [this] { QMetaObject::invokeMethod(this, [this] { announce(); }, Qt::QueuedConnection); };
                watchFeed_ = std::make_unique<LiveFeed>(
                    where, h.characteristicId, h.lastSeq, [tell](const std::vector<StoredLot>&) { tell(); }, tell);
                watchFeed_->start(error);
            });
        }
    }
    announce();
}

void PlantStoreView::announce()
{
    if (announcing_)
        return;
    announcing_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            announcing_ = false;
            emit storeChanged();
        },
        Qt::QueuedConnection);
}

std::optional<Characteristic> PlantStoreView::storedCharacteristic() const
{
    const int shown = host_.selectedTab();
    if (live_ && live_->sheet == shown)
        return live_->characteristic;
    if (!book_.contains(shown))
        return std::nullopt;
    const SheetRecord& record = book_.sheets[static_cast<size_t>(shown)];
    const bool stored = publishedIds_.count(shown) ||
                        std::any_of(record.storeRefs.begin(), record.storeRefs.end(),
                                    [](const std::string& ref) { return !ref.empty(); });
    if (!stored)
        return std::nullopt;
    return CharacteristicOf(record);
}

std::string PlantStoreView::storedLotId(int row) const
{
    const int shown = host_.selectedTab();
    if (!book_.contains(shown) || row < 1)
        return {};
    const auto r = static_cast<size_t>(row - 1);
    const SheetRecord& record = book_.sheets[static_cast<size_t>(shown)];
    if (r < record.storeRefs.size() && !record.storeRefs[r].empty()) {
        std::string id, content;
        std::int64_t order = 0;
        if (DecodeStoredRef(record.storeRefs[r], id, order, content))
            return id;
    }
    if (auto at = publishedIds_.find(shown); at != publishedIds_.end() && r < at->second.size())
        return at->second[r];
    return {};
}

int PlantStoreView::rowOfStoredLot(const std::string& id) const
{
    const int shown = host_.selectedTab();
    if (id.empty() || !book_.contains(shown))
        return 0;
    const SheetRecord& record = book_.sheets[static_cast<size_t>(shown)];
    const size_t rows = std::max(record.storeRefs.size(),
                                 publishedIds_.count(shown) ? publishedIds_.at(shown).size() : size_t{0});
    for (size_t r = 0; r < rows; ++r)
        if (storedLotId(static_cast<int>(r) + 1) == id)
            return static_cast<int>(r) + 1;
    return 0;
}

void PlantStoreView::sessionChanged(unsigned what, int, int)
{
    // Another sheet shown (which also clears the charts' store overlay).
    if (what & ChangedSheet)
        follow();
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
    pending_->setText(ToQString(PendingLotsText(std::max(waiting, 0LL))));
    statusBar_->setVisible(waiting > 0);
}

void PlantStoreView::settingsClicked()
{
    StoreSettingsDialog dialog(*settings_, host_.promptParent());
    if (dialog.exec() != QDialog::Accepted)
        return;
    stopFeed();
    stopWatchFeed();
    follow();
    if (forwarder_)
        forwarder_->setLocation(location());
}

}  // namespace trevolo
