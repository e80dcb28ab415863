#pragma once
// The board's one watcher of the whole plant store: it finds what was
// stored since it last looked (lots, alarms, answers, notes, limit sets and
// their revisions, rule settings, the cause and action lists) and names
// the characteristic of each, for every open page at once. On PostgreSQL
// the server's notices wake it at once and a check every second finds a
// lost connection; the embedded engine has no notices and is checked every
// half second. When the store goes away the watcher says so, connects again
// on its own and, once back, tells everything stored meanwhile.
//
// It runs on a thread of its own with a Qt event loop (the notices arrive
// through it); the handlers are called on that thread.
#include <array>
#include <condition_variable>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "board/board_events.h"
#include "store/store_engine.h"

class QEventLoop;
class QObject;

namespace trevolo {

class PlantStore;

class BoardWatch {
public:
    using ChangeHandler = std::function<void(const std::vector<BoardChange>&)>;
    // Told false when the store's connection is lost or cannot be made,
    // true when it is back (never twice the same in a row).
    using StoreHandler = std::function<void(bool up)>;

    BoardWatch(StoreLocation where, ChangeHandler onChanges, StoreHandler onStore);
    ~BoardWatch();
    BoardWatch(const BoardWatch&) = delete;
    BoardWatch& operator=(const BoardWatch&) = delete;

    // Starts the watcher's thread and returns once it has looked at the
    // store for the first time (or failed to reach it).
    void start();
    void stop();

    // How often the store is checked without a notice.
    int checkIntervalMs() const;

private:
    // The tables watched, in the order of the marks.
    static constexpr std::size_t kTables = 8;
    using Marks = std::array<std::int64_t, kTables>;

    void run();
    bool connect();
    void check();
    void lost();

    StoreLocation where_;
    ChangeHandler onChanges_;
    StoreHandler onStore_;
    std::thread thread_;
    std::mutex loopMutex_;
    QEventLoop* loop_ = nullptr;
    QObject* context_ = nullptr;  // the watcher thread's receiver of notices and timers
    bool stopping_ = false;
    bool looked_ = false;  // the first connection was tried
    std::condition_variable firstLook_;
    // Owned by the watcher's thread.
    std::unique_ptr<PlantStore> store_;
    std::optional<Marks> marks_;
    std::optional<bool> up_;
    bool checkQueued_ = false;
};

}  // namespace trevolo
