#pragma once
// The plant store as the window's parts read and write it: one connection
// on a thread of its own, so that a server answering slowly, or not at all,
// never holds up the window. Jobs run one after the other in the order they
// were posted; each one's result is handed back on the window's thread.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "store/store_engine.h"

class QThread;

namespace trevolo {

class PlantStore;

// The worker's connection to the store; used on the worker's thread only
// (a Qt SQL connection belongs to the thread that made it).
class StoreConnection {
public:
    StoreConnection();
    ~StoreConnection();
    StoreConnection(const StoreConnection&) = delete;
    StoreConnection& operator=(const StoreConnection&) = delete;

    // The store at where: connected on first use, again after drop() and
    // when the location changed. Null with the reason in error when it
    // cannot be. A job posted before an attempt to connect failed is told
    // that failure instead of waiting for the server once more.
    PlantStore* open(const StoreLocation& where, std::string& error);
    // Ends the connection after a failed call (it may have been lost): the
    // next job connects again.
    void drop();
    // The store's last error, and drop(): what a job returns when a call
    // failed.
    std::string fail();

private:
    friend class StoreWorker;
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<PlantStore> store_;
    // The last attempt to connect that failed: where, when, why.
    std::string failedWhere_;
    Clock::time_point failedAt_;
    std::string failure_;
    // When the job running now was posted.
    Clock::time_point postedAt_;
};

class StoreWorker : public QObject {
    Q_OBJECT
public:
    explicit StoreWorker(QObject* parent = nullptr);
    // Waits for the job running, skips those still queued and closes the
    // connection on its thread.
    ~StoreWorker() override;

    // Runs job on the worker's thread, then done with its result on the
    // window's thread, unless context was destroyed meanwhile. The job must
    // not touch context or anything of the window: it gets what it needs by
    // value.
    template <class Result>
    void post(QObject* context, std::function<Result(StoreConnection&)> job, std::function<void(Result)> done)
    {
        QPointer<QObject> guard(context);
        run([this, guard, job = std::move(job), done = std::move(done)](StoreConnection& c) {
            auto result = std::make_shared<Result>(job(c));
            QMetaObject::invokeMethod(
                this,
                [guard, done, result] {
                    if (guard)
                        done(std::move(*result));
                },
                Qt::QueuedConnection);
        });
    }

private:
    void run(std::function<void(StoreConnection&)> job);

    QThread* thread_ = nullptr;
    QObject* host_ = nullptr;  // lives on thread_: the jobs' receiver
    std::unique_ptr<StoreConnection> connection_;
    std::atomic<bool> stopping_{false};
};

// Acts once after the many changes that showing a sheet tells of: a
// reading of the store when any of them asked for one, else placing what
// was read on the sheet's rows again.
class DeferredRefresh {
public:
    DeferredRefresh(QObject* owner, std::function<void()> read, std::function<void()> place)
        : owner_(owner), read_(std::move(read)), place_(std::move(place))
    {
    }
    void schedule(bool read);

private:
    QObject* owner_;
    std::function<void()> read_;
    std::function<void()> place_;
    bool scheduled_ = false;
    bool readPending_ = false;
};

}  // namespace trevolo
