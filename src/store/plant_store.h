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
#include <QString>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "store/checkpoint.h"
#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

// What a check of the audit chain found. problems name each changed,
// removed or unrecorded row, in the chain's order.
struct AuditReport {
    std::int64_t rowsChecked = 0;
    std::int64_t checkpointsChecked = 0;  // signed checkpoints the chain was held against
    std::int64_t headsChecked = 0;        // heads kept by stations the chain was held against
    std::vector<std::string> problems;
    bool intact() const { return problems.empty(); }
};

// What a check of the audit chain holds it against, besides itself.
struct VerifyOptions {
    // The auditor's public key (hex): only checkpoints it signed count, and
    // a stored checkpoint signed by any other key is named. Empty: each
    // stored checkpoint is checked against the key it carries.
    std::string publicKey;
    // Checkpoints kept outside the store (printed by a checkpoint run).
    std::vector<Checkpoint> checkpoints;
    // Heads of the chain that stations saw after their writes.
    std::vector<ChainHead> stationHeads;
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

    // Creates or migrates the schema and gives the store's roles that exist
    // their rights (PostgreSQL); harmless when the store is up to date.
    // missingRoles receives the roles still to be made by createRoles.
    bool init(int* applied = nullptr, std::vector<std::string>* missingRoles = nullptr);
    // Makes the store's roles the server lacks (PostgreSQL, with CREATEROLE),
    // and gives them their rights when the schema is set up and this login
    // may (granted).
    bool createRoles(std::vector<std::string>& created, bool& granted);
    // False with a reason when the store was not set up by init.
    bool checkSchema();

    // Stores the lots of the batch in one transaction. A lot whose id is
    // already stored is skipped, so sending a batch again adds nothing.
    // The specification is recorded when it differs from the one last
    // recorded. inserted receives how many lots were new.
    bool publish(const LotBatch& batch, int* inserted = nullptr);
    // Stores the lots of every batch in one transaction: all or none.
    bool publish(std::span<const LotBatch> batches, int* inserted = nullptr);
    // The head of the audit chain as the last publish of this connection
    // left it, for the station to keep.
    const ChainHead& head() const { return head_; }
    // The store's own id, made when it was set up (what a station's kept
    // heads are filed under).
    bool storeId(std::string& id);

    // The current (not superseded) lots that station published for a
    // characteristic, in lot order.
    bool stationLots(const Characteristic& characteristic, const std::string& station, std::vector<StoredLot>& out);

    // Records a limit set of a characteristic (the role needs the engineer's
    // rights on PostgreSQL).
    bool publishLimits(const Characteristic& characteristic, const LimitSet& limits);

    // The characteristics that CharacteristicMatches search, with their
    // station and current lot counts and the newest publishing time.
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

    // --- The plant watches: alarms, answers, notes, lists, revisions ------
    //
    // Publishing evaluates the run rules of each characteristic it stores
    // lots for, inside its own transaction and under the writers' lock, on
    // the characteristic's series in the server's arrival order, each lot
    // against the limit set in force for it, with the characteristic's rule
    // settings; every rule that starts firing at a new lot is stored as an
    // alarm, once.

    // The id of a stored characteristic, 0 when it was never stored.
    bool characteristicId(const Characteristic& characteristic, std::int64_t& id);
    // The rule settings in force for a characteristic (stored is false and
    // out holds the defaults when an engineer never stored any).
    bool ruleSetting(const Characteristic& characteristic, RuleSetting& out, bool* stored = nullptr);
    // Stores new rule settings (the engineer's right on PostgreSQL).
    bool setRuleSetting(const Characteristic& characteristic, const RuleSetting& setting);

    // Alarms, oldest first, with their answers. characteristicId 0: every
    // characteristic; onlyOpen: those never answered; afterSeq: only those
    // found after that alarm number (a live view's catch-up).
    bool alarms(std::int64_t characteristicId, bool onlyOpen, std::int64_t afterSeq, std::vector<Alarm>& out);
    // Records an answer to an alarm; the server sets who and when. stored,
    // when given, receives the row as stored.
    bool answerAlarm(const AlarmAnswer& answer, AlarmAnswer* stored = nullptr);

    // Adds a note to a stored lot; the server sets who and when.
    bool addNote(const std::string& lotId, const std::string& text, LotNote* stored = nullptr);
    // The notes of a characteristic's lots, oldest first.
    bool notes(std::int64_t characteristicId, std::vector<LotNote>& out);

    // The lists in force for a product: its own list of each kind, or the
    // plant's where the product has none.
    bool reasonLists(const std::string& product, ReasonList& causes, ReasonList& actions);
    // Stores a new list (the engineer's right on PostgreSQL).
    bool setReasonList(const ReasonList& list);

    // Revises the limits from now on, with the engineer's reason: the set
    // takes effect at the server's time and earlier lots keep the set that
    // was in force for them.
    bool reviseLimits(const Characteristic& characteristic, const LimitSet& limits, const std::string& reason);
    // Whether the role connected may revise limits and keep the lists; when
    // not, why not, in Japanese (the reason the window shows).
    bool mayEngineer(std::string& whyNot);

    // Every current lot of a characteristic in lot order (for an export).
    bool allLots(const Characteristic& characteristic, LotHistory& out);

    // Walks the audit chain and compares every stored row with its hash,
    // and proves that the chain extends every checkpoint (stored, or given
    // in options) and every station's head.
    bool verify(AuditReport& report, const VerifyOptions& options = {});

    // Signs the chain's head with the auditor's private key (a PEM file of
    // an Ed25519 key) and stores the checkpoint; out receives it.
    bool checkpoint(const std::string& keyFile, Checkpoint& out);
    // Every checkpoint stored, oldest first.
    bool checkpoints(std::vector<Checkpoint>& out);

private:
    PlantStore(const StoreLocation& where, QSqlDatabase db);
    bool fail(const std::string& what, const class QSqlQuery& q);
    bool publishBatch(const LotBatch& batch, std::int64_t now, const std::string& role, std::int64_t& cid, int& added);
    // Records the batch's specification when it differs from the one last
    // recorded for the characteristic.
    bool recordSpecification(const LotBatch& batch, std::int64_t cid, std::int64_t now);
    // Inserts lots [start, end) of the batch in one statement; added counts
    // the ones the store did not hold yet.
    // firstNewSeq receives the lowest arrival number of the new lots that
    // correct none (kept when lower, 0 for none yet).
    bool insertLots(const LotBatch& batch, size_t start, size_t end, std::int64_t cid, std::int64_t now,
                    const std::string& role, int& added, std::int64_t& firstNewSeq);
    // The audit rows of the embedded engine, written by the program: kept
    // until writeAudit, at the end of the writing transaction.
    bool appendAudit(const QString& table, const std::string& key, const std::string& rowHash);
    bool writeAudit();
    bool readHead(ChainHead& head);
    bool commit();
    // Starts a writing transaction with the writers' lock; the server's
    // clock and the role connected.
    bool beginWriting(std::int64_t& now, std::string& role);
    bool findCharacteristic(const Characteristic& c, bool create, std::int64_t& id);
    bool readLots(class QSqlQuery& q, std::vector<StoredLot>& out);
    bool inForce(std::int64_t characteristicId, std::int64_t at, LotHistory& out);
    bool lots(const Characteristic& characteristic, int count, LotHistory& out);
    // A row of one of the watch tables (rule settings, notes, lists,
    // revisions and their limit sets) and what it is stored as.
    struct WatchRow;
    struct StoredWatchRow {
        std::int64_t seq = 0;
        std::int64_t receivedAt = 0;
        std::string receivedBy;
    };
    // Inserts the row inside the writing transaction, with the server's
    // time and writer (vouched for by the server on PostgreSQL), and keeps
    // its audit row on the embedded engine.
    bool insertWatchRow(class QSqlQuery& q, const WatchRow& row, std::int64_t now, const std::string& writer,
                        StoredWatchRow& stored);
    // Ends a writing of the watches: the audit rows, the notice to the live
    // views of characteristic cid (0: the lists) and the commit.
    bool finishWatchWrite(class QSqlQuery& q, std::int64_t cid);

    StoreLocation where_;
    StoreDialect dialect_;
    QSqlDatabase db_;
    std::string error_;
    bool writing_ = false;  // inside a transaction of publish or publishLimits
    struct AuditEntry {
        QString table;
        std::string key;
        std::string rowHash;
    };
    std::vector<AuditEntry> pendingAudit_;
    ChainHead head_;
};

// True when search is found in the characteristic's product, process,
// machine or item, full- and half-width forms alike (NFKC) and case ignored;
// an empty search finds every characteristic.
bool CharacteristicMatches(const Characteristic& characteristic, const std::string& search);

// The hash of a row as the audit chain records it: SHA-256 in hex over the
// fields, each preceded by its length.
std::string AuditRowHash(const std::vector<std::string>& fields);
// The chain hash of a row: SHA-256 in hex over the previous chain hash and
// the row's hash.
std::string AuditChainHash(const std::string& previous, const std::string& rowHash);

// The set of a limit history in force at a time (milliseconds since 1970):
// the newest effective not after it, the later written of two alike; null
// when none had taken effect.
const LimitSet* LimitSetInForce(const std::vector<LimitSet>& history, std::int64_t at);

// The rule settings of a characteristic an engineer never set: every rule
// on with the usual run lengths, and the spread chart by the lots' size.
RuleSetting DefaultRuleSetting();

// The milliseconds since 1970 (UTC) of the station's clock.
std::int64_t StationNowMillis();
// A new lot id: a random UUID without braces.
std::string NewLotId();

}  // namespace trevolo
