#pragma once
// The ledger rule of a publishing station, one rule for the window's publish
// (its ledger kept in the outbox) and for the command line's push (its
// ledger read back from the store).
//
// A lot is known by its characteristic, its station and its key: its label,
// with its occurrence number when a sheet repeats the label, or its row when
// it has no label. A lot published again unchanged is not sent; a changed
// one is sent as a correction that supersedes the id the station stored
// under that key and keeps that lot's place. Lot ids are made from what the
// lot is, so a retry or a second run never stores a lot twice.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "store/store_records.h"

namespace trevolo {

// One lot row of a sheet as it is published.
struct SheetLot {
    std::string label;
    bool enabled = true;
    std::string values;  // comma text of the value texts
    std::int32_t valueCount = 0;
    std::int32_t row = 0;  // the lot's row in its sheet, from 0
};

// Who publishes: the station's name and the operator's login name.
struct Publisher {
    std::string station;
    std::string operatorName;
};

// What the station last published under a lot key.
struct LedgerEntry {
    std::string id;
    std::string content;  // LotContentOf the lot
    std::int64_t orderKey = 0;
};
using LotLedger = std::map<std::string, LedgerEntry>;  // by lot key

// A lot to publish with its key and content, as the ledger notes it.
struct PlannedLot {
    std::string key;
    std::string content;
    StoredLot lot;
};

// What of a lot tells a change: its label, its switch and its values.
std::string LotContentOf(const std::string& label, bool enabled, const std::string& values);

// The lots of a sheet that the ledger does not hold as they are now, in
// sheet order: a new key as a new lot placed by now and its row, a changed
// one as a correction of the id it had, in that lot's place. The ledger is
// updated with every lot returned, so a second sheet of the same
// characteristic corrects what the first one published.
std::vector<PlannedLot> PlanLots(const Characteristic& characteristic, const std::vector<SheetLot>& lots,
                                 const Publisher& publisher, std::int64_t now, LotLedger& ledger);

// The ledger that a station's current stored lots of a characteristic make
// (in lot order, as the store returns them). Each lot's key is the one its
// id was made from; a lot stored under another rule takes the key its label's
// occurrence (or, without a label, the row its order key holds) gives it.
// rows is the number of rows of the sheet about to be published: a lot
// without a label may stand on any of them.
LotLedger LedgerOfStoredLots(const Characteristic& characteristic, const std::string& station,
                             const std::vector<StoredLot>& current, std::int32_t rows);

}  // namespace trevolo
