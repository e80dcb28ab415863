#pragma once
// One characteristic as the board shows it: its newest lots opened as a
// sheet and judged as the window judges a sheet it opens from the store
// (the limits in force typed, or computed by the three-sigma method when
// none were ever set; the rule settings of the characteristic), with what
// the store adds to the charts (open alarms' marks, notes, the limits in
// force for each lot), so the chart data is the window's own.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "document/chart_data.h"
#include "stats/control_limits.h"
#include "stats/process_capability.h"
#include "store/store_records.h"

namespace trevolo {

class PlantStore;

struct CharacteristicView {
    CharacteristicSummary summary;
    LotHistory history;
    RuleSetting rules;
    std::string spreadName;  // "R", "S" or "Rs", as the second chart is titled
    int decimals = 3;
    std::array<std::string, kLimitFields> limits;  // the limits the sheet shows
    ChartData charts;
    CapabilityStudy capability;
    std::vector<Alarm> alarms;  // every alarm of the characteristic, oldest first
    std::vector<LotNote> notes;
    // A judgment that stopped at a message or a text that is no number.
    std::vector<std::string> messages;
};

// Reads and judges the newest lots (at most a sheet's 1000). withStoreMarks:
// read the alarms, notes and limit history too and lay them over the
// charts (the overview needs only the capability). False with the store's
// reason in error when a read failed.
bool BuildCharacteristicView(PlantStore& store, const CharacteristicSummary& summary, int lots, bool withStoreMarks,
                             CharacteristicView& out, std::string& error);

// The mark of an alarm as the charts title the rule marks ("X②", "Rs①").
std::string AlarmMarkText(const Alarm& alarm, const std::string& spreadName);
// A note as the charts show it: "text（who, yyyy/MM/dd HH:mm）".
std::string NoteLine(const LotNote& note);
// "yyyy/MM/dd HH:mm" in local time; empty for 0.
std::string TimeText(std::int64_t millis);

}  // namespace trevolo
