#pragma once
// The live view of one characteristic: lots that any station stores for it
// are handed over as they arrive, and a change of what the plant keeps
// beside them (alarms, answers, notes, limit sets, rule settings, the cause
// and action lists) is told. On PostgreSQL the server's notices (which name
// only the characteristic) wake the feed at once; a regular check
// catches up with a query what a lost connection missed, and on the
// embedded engine it is the only way in. Runs in the thread that made it,
// which needs an event loop; a window keeps it on a worker thread of its own
// (a QThread), since connecting again to a server that is away waits up to
// the connection timeout, and hands the lots over to its own thread.
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

class PlantStore;

class LiveFeed {
public:
    // onLots receives the lots that arrived after lastSeq, in arrival order
    // (a lot with supersedes replaces the lot of that id).
    using Handler = std::function<void(const std::vector<StoredLot>&)>;
    // onWatch is told when an alarm, an answer, a note, a limit set or a
    // rule setting of the characteristic, or a cause or action list, was
    // stored since the feed last looked, and once when it first looked (what
    // was stored before the feed connected is not missed).
    using WatchHandler = std::function<void()>;

    LiveFeed(const StoreLocation& where, std::int64_t characteristicId, std::int64_t lastSeq, Handler onLots,
             WatchHandler onWatch = {});
    ~LiveFeed();
    LiveFeed(const LiveFeed&) = delete;
    LiveFeed& operator=(const LiveFeed&) = delete;

    // Connects and subscribes; false with a reason when the store cannot be
    // reached (the feed keeps trying on its own).
    bool start(std::string& error);
    void stop();
    bool connected() const { return store_ != nullptr; }
    std::int64_t lastSeq() const { return lastSeq_; }

private:
    bool connect(std::string& error);
    void catchUp();
    // Compares the newest arrival numbers of the watch tables with those
    // seen last and tells onWatch when one grew.
    void checkWatch();
    void onNotice(const QString& name, const QVariant& payload);

    StoreLocation where_;
    std::int64_t characteristicId_;
    std::int64_t lastSeq_;
    Handler onLots_;
    WatchHandler onWatch_;
    // The newest arrival numbers of the watch tables as last seen.
    std::optional<std::array<std::int64_t, 6>> watchMark_;
    std::unique_ptr<PlantStore> store_;
    QTimer timer_;
    bool reconnecting_ = false;
};

}  // namespace trevolo
