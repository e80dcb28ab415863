#pragma once
// The plant store: every station's lots of every characteristic in one
// database, PostgreSQL for a plant or an SQLite file for one PC, through one
// code path of Qt SQL. Stored rows are only ever added: a correction is a
// new lot that supersedes the old one, and every added row extends the
// audit chain.
//
// A PlantStore is one connection and belongs to the thread that opened it
// (Qt SQL connections are per thread): a worker thread opens its own.
#include <QSqlDatabase>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

// What a check of the audit chain found. problems name each changed,
// removed or unrecorded row, in the chain's order.
struct AuditReport {
    std::int64_t rowsChecked = 0;
    std::vector<std::string> problems;
    bool intact() const { return problems.empty(); }
};

class PlantStore {
public:
    // Connects in the calling thread. Null with a Japanese reason in error
    // when the driver is missing or the store cannot be reached.
    static std::unique_ptr<PlantStore> open(const StoreLocation& where, std::string& error);
    ~PlantStore();
    PlantStore(const PlantStore&) = delete;
    PlantStore& operator=(const PlantStore&) = delete;

    StoreEngine engine() const { return dialect_.engine; }
    const StoreLocation& location() const { return where_; }
    QSqlDatabase& database() { return db_; }
    // The reason of the last failure, in Japanese.
    const std::string& lastError() const { return error_; }

    // Creates or migrates the schema (and the roles on PostgreSQL);
    // harmless when the store is up to date.
    bool init(int* applied = nullptr);
    // False with a reason when the store was not set up by init.
    bool checkSchema();

    // Stores the lots of the batch in one transaction. A lot whose id is
    // already stored is skipped, so sending a batch again adds nothing.
    // The specification is recorded when it differs from the one last
    // recorded. inserted receives how many lots were new.
    bool publish(const LotBatch& batch, int* inserted = nullptr);

    // Records a limit set of a characteristic (the role needs the engineer's
    // rights on PostgreSQL).
    bool publishLimits(const Characteristic& characteristic, const LimitSet& limits);

    // The characteristics whose product, process, machine or item contains
    // search (all of them for an empty search), with their station and
    // current lot counts and the newest publishing time.
    bool characteristics(const std::string& search, std::vector<CharacteristicSummary>& out);

    // The newest count current lots of a characteristic, oldest first, with
    // the specification and the limit set in force at the newest of them.
    // A characteristic never stored gives an empty history.
    bool newestLots(const Characteristic& characteristic, int count, LotHistory& out);

    // Every lot of the characteristic that arrived after arrival number
    // afterSeq, in arrival order (corrections included): the catch-up of a
    // live view.
    bool lotsAfter(std::int64_t characteristicId, std::int64_t afterSeq, std::vector<StoredLot>& out);

    // Every limit set of a characteristic, oldest effective first: with the
    // lots' publishing times it tells which limits were in force for each.
    bool limitHistory(const Characteristic& characteristic, std::vector<LimitSet>& out);

    // Every current lot of a characteristic in lot order (for an export).
    bool allLots(const Characteristic& characteristic, LotHistory& out);

    // Walks the audit chain and compares every stored row with its hash.
    bool verify(AuditReport& report);

private:
    PlantStore(const StoreLocation& where, QSqlDatabase db);
    bool fail(const std::string& what, const class QSqlQuery& q);
    // Starts a writing transaction with the writers' lock; the server's
    // clock and the role connected.
    bool beginWriting(std::int64_t& now, std::string& role);
    bool findCharacteristic(const Characteristic& c, bool create, std::int64_t& id);
    bool readLots(class QSqlQuery& q, std::vector<StoredLot>& out);
    bool inForce(std::int64_t characteristicId, std::int64_t at, LotHistory& out);
    bool lots(const Characteristic& characteristic, int count, LotHistory& out);

    StoreLocation where_;
    StoreDialect dialect_;
    QSqlDatabase db_;
    std::string error_;
    bool writing_ = false;  // inside a transaction of publish or publishLimits
};

// The hash of a row as the audit chain records it: SHA-256 in hex over the
// fields, each preceded by its length.
std::string AuditRowHash(const std::vector<std::string>& fields);
// The chain hash of a row: SHA-256 in hex over the previous chain hash and
// the row's hash.
std::string AuditChainHash(const std::string& previous, const std::string& rowHash);

// The milliseconds since 1970 (UTC) of the station's clock.
std::int64_t StationNowMillis();
// A new lot id: a random UUID without braces.
std::string NewLotId();

}  // namespace trevolo
