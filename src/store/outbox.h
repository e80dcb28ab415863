#pragma once
// The station's outbox: an SQLite file in the user's data folder that takes
// every published lot first and forwards it to the plant store when the
// store can be reached. A lot leaves the outbox only after the store has
// committed it, and the store ignores an id it already has, so forwarding
// again after a failure or a kill never duplicates a lot.
//
// The outbox also keeps the station's ledger: the id and content of the last
// lot it published under each lot key of a characteristic and scope (the
// sheet the lots come from, named by the caller, so a fresh sheet whose
// labels repeat an earlier one's adds lots instead of correcting them). A lot published
// again unchanged is not sent; a changed one is sent as a correction that
// supersedes the earlier id. The ledger is the station's own, so this works
// while the server is away.
#include <QSqlDatabase>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/lot_ledger.h"
#include "store/checkpoint.h"
#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

class PlantStore;

// What a forward stored: lots new to the store, corrections new to it, and
// lots the store already had (sent before by a run that did not see the
// answer).
struct ForwardCounts {
    std::int64_t added = 0;
    std::int64_t corrected = 0;
    std::int64_t already = 0;
};

class Outbox {
public:
    // Opens (and creates, when missing) the outbox file; null with a reason.
    static std::unique_ptr<Outbox> open(const std::string& path, std::string& error);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    const std::string& lastError() const { return error_; }

    // Queues the lots of a sheet that the station has not published as they
    // are now, in one local transaction, by the ledger rule (PlanLots) over
    // the ledger of the characteristic within scope. queued receives how
    // many lots were queued.
    bool queue(const Characteristic& characteristic, const Specification& specification, const std::string& scope,
               const std::vector<SheetLot>& lots, const Publisher& publisher, int* queued = nullptr);

    // How many lots wait to be forwarded; -1 on an error.
    std::int64_t pending();

    // Forwards the waiting lots to the store, oldest first, a batch of one
    // characteristic and specification at a time. Stops at the first
    // failure (the lots stay queued) with the reason in lastError().
    bool forward(PlantStore& store, std::int64_t* sent = nullptr, ForwardCounts* counts = nullptr);

    // The newest head of the store's audit chain that this station saw after
    // its own writes, filed under the store's id: with it, an auditor can
    // tell that rows were cut from the chain's end behind the station's back.
    bool keptHeads(const std::string& storeId, std::vector<ChainHead>& out);

private:
    explicit Outbox(QSqlDatabase db);
    bool keepHead(const std::string& storeId, const ChainHead& head);
    bool fail(const std::string& what, const class QSqlQuery& q);

    QSqlDatabase db_;
    std::string error_;
};

// Connects to the store, forwards what the outbox holds and disconnects.
// False with the reason (no server, a refused write) in error; the lots not
// forwarded stay queued.
bool ForwardOutbox(Outbox& outbox, const StoreLocation& where, std::int64_t* sent, std::string& error,
                   ForwardCounts* counts = nullptr);

}  // namespace trevolo
