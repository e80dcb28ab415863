#pragma once
// The station's regular forwarding: a thread of its own that sends what
// waits in the outbox to the store every interval (and at once when poked
// after a publish), so lots published while the server was away arrive by
// themselves once it is back. The listener hears, on that thread, how many
// lots still wait after each attempt ("未送信 N ロット").
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "store/store_engine.h"

namespace trevolo {

class OutboxForwarder {
public:
    // waiting: lots left in the outbox (-1 when it cannot be read); reached:
    // the store took everything that waited.
    using Listener = std::function<void(std::int64_t waiting, bool reached)>;

    OutboxForwarder(const StoreLocation& where, std::string outboxPath, std::chrono::milliseconds interval,
                    Listener listener);
    // Stops the thread; an attempt under way ends first.
    ~OutboxForwarder();
    OutboxForwarder(const OutboxForwarder&) = delete;
    OutboxForwarder& operator=(const OutboxForwarder&) = delete;

    // Forward now rather than at the next interval.
    void poke();
    // Another store (the settings changed); used from the next attempt.
    void setLocation(const StoreLocation& where);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    StoreLocation where_;
    const std::string outboxPath_;
    const std::chrono::milliseconds interval_;
    Listener listener_;
    bool poked_ = true;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace trevolo
