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
#include <utility>
#include <vector>

#include "store/store_records.h"

namespace trevolo {

// One lot row of a sheet as it is published.
struct SheetLot {
    SheetLot() = default;
    SheetLot(std::string label, bool enabled, std::string values, std::int32_t valueCount, std::int32_t row)
        : label(std::move(label)), enabled(enabled), values(std::move(values)), valueCount(valueCount), row(row)
    {
    }

    std::string label;
    bool enabled = true;
    std::string values;  // comma text of the value texts
    std::int32_t valueCount = 0;
    std::int32_t row = 0;  // the lot's row in its sheet, from 0
    // A lot shown from the store: the stored lot it is, and its content and
    // this lot's as SameLotContent gives them (values at the sheet's
    // decimals), so that a lot shown and not edited is not sent again and an
    // edit of it corrects that stored lot.
    std::string storedId;
    std::int64_t storedOrderKey = 0;
    std::string storedContent;
    std::string shownContent;
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
    std::int32_t row = -1;       // the sheet row it was published from, -1 unknown
    std::string valuesContent;  // LotValuesOf the lot
};
using LotLedger = std::map<std::string, LedgerEntry>;  // by lot key

// A lot to publish with its key and content, as the ledger notes it.
struct PlannedLot {
    std::string key;
    std::string content;
    StoredLot lot;
    std::string replacedKey;  // a key the lot was known by and is no longer (a relabelled lot)
    std::int32_t row = -1;
    std::string valuesContent;
};

// What of a lot tells a change: its label, its switch and its values.
std::string LotContentOf(const std::string& label, bool enabled, const std::string& values);
// What of a lot stays when only its label changes: its switch and values.
std::string LotValuesOf(bool enabled, const std::string& values);

// The reference a sheet row keeps to the stored lot it shows (its id, place
// and content), and back.
std::string EncodeStoredRef(const std::string& id, std::int64_t orderKey, const std::string& content);
bool DecodeStoredRef(const std::string& text, std::string& id, std::int64_t& orderKey, std::string& content);

// The lots of a sheet that the ledger does not hold as they are now, in
// sheet order: a new key as a new lot placed by now and its row, a changed
// one as a correction of the id it had, in that lot's place. The ledger is
// updated with every lot returned, so a second sheet of the same
// characteristic corrects what the first one published.
//
// A lot whose label changed while its switch and values did not, in the row
// its ledger entry was published from, is the same lot: it is sent as a
// correction under its new label, not as a lot of its own. A lot shown from
// the store (storedId) is known by that id instead of its key: unchanged it
// is not sent, changed it corrects that lot (or the correction this ledger
// last sent of it).
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
