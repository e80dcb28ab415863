#pragma once
// The live view of one characteristic: lots that any station stores for it
// are handed over as they arrive. On PostgreSQL the server's notice (which
// names only the characteristic) wakes the feed at once; a regular check
// catches up with a query what a lost connection missed, and on the
// embedded engine it is the only way in. Runs in the thread that made it,
// which needs an event loop; a window keeps it on a worker thread of its own
// (a QThread), since connecting again to a server that is away waits up to
// the connection timeout, and hands the lots over to its own thread.
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
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

    LiveFeed(const StoreLocation& where, std::int64_t characteristicId, std::int64_t lastSeq, Handler onLots);
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
    void onNotice(const QString& name, const QVariant& payload);

    StoreLocation where_;
    std::int64_t characteristicId_;
    std::int64_t lastSeq_;
    Handler onLots_;
    std::unique_ptr<PlantStore> store_;
    QTimer timer_;
    bool reconnecting_ = false;
};

}  // namespace trevolo
