#include "store/live_feed.h"

#include <QSqlDriver>
#include <QVariant>

#include "store/plant_store.h"

namespace trevolo {

namespace {

constexpr char kChannel[] = "trevolo_lots";
// The regular check: the embedded engine has no notices, so it is the feed
// itself there; on a server it finds a lost connection and catches up.
constexpr int kPollSqliteMs = 500;
constexpr int kPollServerMs = 3000;

}  // namespace

LiveFeed::LiveFeed(const StoreLocation& where, std::int64_t characteristicId, std::int64_t lastSeq, Handler onLots)
    : where_(where), characteristicId_(characteristicId), lastSeq_(lastSeq), onLots_(std::move(onLots))
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
    if (store_ && where_.engine == StoreEngine::Postgres)
        store_->database().driver()->unsubscribeFromNotification(QString::fromLatin1(kChannel));
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
        if (!driver->subscribeToNotification(QString::fromLatin1(kChannel))) {
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
    if (name == QLatin1String(kChannel) && payload.toString().toLongLong() == characteristicId_)
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
    if (lots.empty())
        return;
    lastSeq_ = lots.back().seq;
    onLots_(lots);
}

}  // namespace trevolo
