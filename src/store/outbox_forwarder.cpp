#include "store/outbox_forwarder.h"

#include "store/store_commands.h"

namespace trevolo {

OutboxForwarder::OutboxForwarder(const StoreLocation& where, std::string outboxPath, std::chrono::milliseconds interval,
                                 Listener listener)
    : where_(where), outboxPath_(std::move(outboxPath)), interval_(interval), listener_(std::move(listener))
{
    thread_ = std::thread([this] { run(); });
}

OutboxForwarder::~OutboxForwarder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void OutboxForwarder::poke()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        poked_ = true;
    }
    wake_.notify_all();
}

void OutboxForwarder::setLocation(const StoreLocation& where)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        where_ = where;
        poked_ = true;
    }
    wake_.notify_all();
}

void OutboxForwarder::run()
{
    for (;;) {
        StoreLocation where;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait_for(lock, interval_, [this] { return poked_ || stopping_; });
            if (stopping_)
                return;
            poked_ = false;
            where = where_;
        }
        // Nothing waits: no connection is made.
        const std::int64_t before = WaitingLots(outboxPath_);
        if (before == 0) {
            if (listener_)
                listener_(0, true);
            continue;
        }
        const PublishReport report = ForwardWaiting(where, outboxPath_);
        if (listener_)
            listener_(report.waiting, report.reached);
    }
}

}  // namespace trevolo
