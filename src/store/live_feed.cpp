#include "store/live_feed.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include "store/plant_store.h"

namespace trevolo {

namespace {

constexpr char kChannel[] = "trevolo_lots";
// Alarms, answers, notes, revisions and rule settings name their
// characteristic; a cause or action list names none ("0").
constexpr char kWatchChannel[] = "trevolo_watch";
// The regular check: the embedded engine has no notices, so it is the feed
// itself there; on a server it finds a lost connection and catches up.
constexpr int kPollSqliteMs = 500;
constexpr int kPollServerMs = 3000;

}  // namespace

LiveFeed::LiveFeed(const StoreLocation& where, std::int64_t characteristicId, std::int64_t lastSeq, Handler onLots,
                   WatchHandler onWatch)
    : where_(where),
      characteristicId_(characteristicId),
      lastSeq_(lastSeq),
      onLots_(std::move(onLots)),
      onWatch_(std::move(onWatch))
{
    timer_.setInterval(where.engine == StoreEngine::Postgres ? kPollServerMs : kPollSqliteMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (!store_) {
            std::string ignored;
            connect(ignored);
            return;
        }
        catchUp();
    });
}

LiveFeed::~LiveFeed()
{
    stop();
}

bool LiveFeed::start(std::string& error)
{
    timer_.start();
    return connect(error);
}

void LiveFeed::stop()
{
    timer_.stop();
    if (store_ && where_.engine == StoreEngine::Postgres) {
        store_->database().driver()->unsubscribeFromNotification(QString::fromLatin1(kChannel));
        store_->database().driver()->unsubscribeFromNotification(QString::fromLatin1(kWatchChannel));
    }
    store_.reset();
}

bool LiveFeed::connect(std::string& error)
{
    store_ = PlantStore::open(where_, error);
    if (!store_)
        return false;
    if (where_.engine == StoreEngine::Postgres) {
        QSqlDriver* driver = store_->database().driver();
        QObject::connect(driver, &QSqlDriver::notification, &timer_,
                         [this](const QString& name, QSqlDriver::NotificationSource, const QVariant& payload) {
                             onNotice(name, payload);
                         });
        if (!driver->subscribeToNotification(QString::fromLatin1(kChannel)) ||
            !driver->subscribeToNotification(QString::fromLatin1(kWatchChannel))) {
            error = "データベースの通知を受けられません。";
            store_.reset();
            return false;
        }
    }
    // Whatever arrived while the feed was away.
    catchUp();
    return store_ != nullptr;
}

void LiveFeed::onNotice(const QString& name, const QVariant& payload)
{
    const std::int64_t about = payload.toString().toLongLong();
    if (name == QLatin1String(kChannel) && about == characteristicId_)
        catchUp();
    else if (name == QLatin1String(kWatchChannel) && (about == characteristicId_ || about == 0))
        catchUp();
}

void LiveFeed::catchUp()
{
    std::vector<StoredLot> lots;
    if (!store_->lotsAfter(characteristicId_, lastSeq_, lots)) {
        // The connection is gone: connect again at once (which catches up),
        // or else at the next tick.
        store_.reset();
        if (!reconnecting_) {
            reconnecting_ = true;
            std::string ignored;
            connect(ignored);
            reconnecting_ = false;
        }
        return;
    }
    if (!lots.empty()) {
        lastSeq_ = lots.back().seq;
        onLots_(lots);
    }
    if (store_)
        checkWatch();
}

void LiveFeed::checkWatch()
{
    if (!onWatch_)
        return;
    const QString c = QString::number(characteristicId_);
    QSqlQuery q(store_->database());
    // A store set up before the watch tables existed has none to look at:
    // the query fails and nothing is told (a lost connection is the lots'
    // query's to find).
    if (!q.exec(QStringLiteral("SELECT (SELECT COALESCE(MAX(seq), 0) FROM alarm WHERE characteristic_id = %1), "
                               "(SELECT COALESCE(MAX(a.seq), 0) FROM alarm_answer a JOIN alarm l ON l.seq = "
                               "a.alarm_seq WHERE l.characteristic_id = %1), "
                               "(SELECT COALESCE(MAX(seq), 0) FROM lot_note WHERE characteristic_id = %1), "
                               "(SELECT COALESCE(MAX(seq), 0) FROM limit_set WHERE characteristic_id = %1), "
                               "(SELECT COALESCE(MAX(seq), 0) FROM rule_setting WHERE characteristic_id = %1), "
                               "(SELECT COALESCE(MAX(seq), 0) FROM reason_list)")
                    .arg(c)) ||
        !q.next())
        return;
    std::array<std::int64_t, 6> mark{};
    for (size_t i = 0; i < mark.size(); ++i)
        mark[i] = q.value(static_cast<int>(i)).toLongLong();
    const bool changed = !watchMark_ || *watchMark_ != mark;
    watchMark_ = mark;
    if (changed)
        onWatch_();
}

}  // namespace trevolo
