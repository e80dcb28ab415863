#include "app/store_worker.h"

#include <QThread>
#include <QTimer>
#include <utility>

#include "store/plant_store.h"

namespace trevolo {

StoreConnection::StoreConnection() = default;
StoreConnection::~StoreConnection() = default;

PlantStore* StoreConnection::open(const StoreLocation& where, std::string& error)
{
    const std::string text = where.text();
    if (store_ && store_->location().text() != text)
        drop();
    if (store_)
        return store_.get();
    // Jobs queued behind an attempt that failed would each wait out the
    // connection timeout again: they take its answer.
    if (!failure_.empty() && failedWhere_ == text && postedAt_ <= failedAt_) {
        error = failure_;
        return nullptr;
    }
    store_ = PlantStore::open(where, error);
    if (store_) {
        failure_.clear();
    } else {
        failedWhere_ = text;
        failedAt_ = Clock::now();
        failure_ = error.empty() ? std::string("工場データベースに接続できません。") : error;
        error = failure_;
    }
    return store_.get();
}

void StoreConnection::drop()
{
    store_.reset();
}

std::string StoreConnection::fail()
{
    std::string error = store_ ? store_->lastError() : std::string();
    drop();
    return error;
}

StoreWorker::StoreWorker(QObject* parent) : QObject(parent), connection_(std::make_unique<StoreConnection>())
{
    setObjectName(QStringLiteral("storeWorker"));
    thread_ = new QThread(this);
    thread_->setObjectName(QStringLiteral("plantStore"));
    host_ = new QObject;
    host_->moveToThread(thread_);
    thread_->start();
}

StoreWorker::~StoreWorker()
{
    // The jobs still queued are skipped; the connection ends on its own
    // thread after the one running, then the thread.
    stopping_ = true;
    QMetaObject::invokeMethod(
        host_, [this] { connection_->drop(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete host_;
}

void StoreWorker::run(std::function<void(StoreConnection&)> job)
{
    QMetaObject::invokeMethod(host_, [this, job = std::move(job), posted = StoreConnection::Clock::now()] {
        if (stopping_)
            return;
        connection_->postedAt_ = posted;
        job(*connection_);
    });
}

void DeferredRefresh::schedule(bool read)
{
    readPending_ = readPending_ || read;
    if (scheduled_)
        return;
    scheduled_ = true;
    QTimer::singleShot(0, owner_, [this] {
        scheduled_ = false;
        if (std::exchange(readPending_, false))
            read_();
        else
            place_();
    });
}

}  // namespace trevolo
