#pragma once
// Sheets and the plant store: publishing sheet records and opening a
// characteristic's history as a sheet record. Each function opens its own
// connections, so it can run on a worker thread (Qt SQL connections belong
// to the thread that made them); none touches a window.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/comtype.h"
#include "store/outbox.h"
#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

// The characteristic a sheet header names (品種・工程・装置・項目).
Characteristic CharacteristicOf(const SheetRecord& sheet);
// The specification of a sheet header.
Specification SpecificationOf(const SheetRecord& sheet);
// The lots of a sheet that hold at least one value, with their rows and,
// for rows shown from the store, the stored lot they show.
std::vector<SheetLot> SheetLotsOf(const SheetRecord& sheet);
// The values of a lot as a sheet shows them: numbers brought to the sheet's
// decimals, empty cells at the end left out.
std::string SameValues(std::string_view values, int decimals);
// A lot's content as a sheet shows it, for telling a shown lot unchanged.
std::string SameLotContent(const std::string& label, bool enabled, std::string_view values, int decimals);

// A sheet record of a history: the header of the characteristic and its
// specification, the lots as rows (at least minLots rows, as many values a
// row as the widest lot, at most 1000 by 100), each row with the stored lot
// it shows.
SheetRecord SheetFromHistory(const Characteristic& characteristic, const LotHistory& history, int minLots = 10);

// The embedded store and the outbox in the user's data folder
// (plant.sqlite, outbox.sqlite), used when no server is set.
StoreLocation DefaultStoreLocation();
std::string DefaultOutboxPath();
// This station (its host name) and the login name.
Publisher CurrentPublisher();
// "未送信 N ロット".
std::string PendingLotsText(std::int64_t lots);

struct PublishReport {
    int queued = 0;            // lots new or changed, put into the outbox
    std::int64_t sent = 0;     // lots forwarded to the store by this call
    std::int64_t added = 0;      // of those, stored as new lots
    std::int64_t corrected = 0;  // stored as corrections
    std::int64_t already = 0;    // lots the store had already (unchanged on the sheet, or sent before)
    std::int64_t waiting = 0;  // lots left in the outbox
    bool reached = false;      // the store took everything waiting
    std::string message;       // what to tell the inspector, in Japanese
};

// Why the sheets cannot be published, in Japanese, or empty when they can:
// a sheet with lots must name its characteristic in all of 品種・工程・装置・
// 項目, and the text names the sheet and the fields left empty.
std::string MissingCharacteristicText(const SheetArray& sheets);

// Publishes sheets: the new and changed lots of each sheet go into the
// outbox (one sheet at a time; scopes[i], when given, names sheet i for the
// station's ledger, by default its characteristic) and the outbox is then
// forwarded to the store. Sheets with lots but no whole characteristic are
// refused before anything is queued (MissingCharacteristicText). A store
// that cannot be reached leaves the lots waiting; the call still succeeds
// and the report says how many wait.
// progress(done, total) is called after each sheet. False when the sheets
// were refused or the outbox itself cannot be written.
bool PublishSheets(const SheetArray& sheets, const std::vector<std::string>& scopes, const StoreLocation& where,
                   const std::string& outboxPath, const Publisher& publisher, PublishReport& report,
                   const std::function<void(int, int)>& progress = {});

// Forwards what waits in the outbox (the regular retry of a station).
PublishReport ForwardWaiting(const StoreLocation& where, const std::string& outboxPath);
// How many lots wait in the outbox (0 when there is none yet, -1 when it
// cannot be read), for "未送信 N ロット".
std::int64_t WaitingLots(const std::string& outboxPath);

// Records the control limits of a sheet's characteristic: method
// "三シグマ法" or "指定管理値", the eleven limit fields, who set them and
// from when they are in force. Needs the engineer's role on a server.
bool PublishLimitSet(const StoreLocation& where, const SheetRecord& sheet, const LimitSet& limits, std::string& error);

// The characteristics of the store for the open dialog.
bool ListCharacteristics(const StoreLocation& where, const std::string& search, std::vector<CharacteristicSummary>& out,
                         std::string& error);

// The newest lots of a characteristic (up to a sheet's 1000) as a sheet
// record, with the history they came from (the limits in force now and its
// last arrival number, for a live feed).
bool OpenCharacteristic(const StoreLocation& where, const Characteristic& characteristic, SheetRecord& sheet,
                        LotHistory& history, std::string& error);

// Applies lots that arrived live to a history: a correction replaces the lot
// it supersedes in place, a new lot is added at its place; the oldest lots
// are dropped beyond maxLots.
void ApplyArrivals(LotHistory& history, const std::vector<StoredLot>& arrived, size_t maxLots = 1000);

}  // namespace trevolo
