#pragma once
// What the plant store watches, from the command line: the alarms the run
// rules raised with their answers, and the notes on lots, listed readably
// or as JSON, and written beside an export of the lots.
#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "store/plant_store.h"

namespace trevolo::cli {

// A time of the store (milliseconds since 1970, UTC) as ISO 8601 in UTC
// with milliseconds.
std::string IsoTime(std::int64_t ms);

// A rule's caption as the rule settings dialog shows it, with the run
// lengths of options in place of the dialog's lists and without the mark:
// "9点が中心値に対して同じ側にある".
std::string RuleCaptionText(int rule, const RuleOptions& options);

// The name of the second chart a characteristic's alarms of side 1 were
// found on: the rule setting's spread, or by the lots' size when it names
// none ("Rs" for lots of one value, else "R").
std::string SpreadChartOf(const RuleSetting& setting, std::int32_t valueCount);

// What a characteristic's alarms and notes are told with: its rule
// settings, and every lot it stored (superseded ones too) by id.
struct WatchContext {
    Characteristic characteristic;
    RuleSetting rules;
    std::map<std::string, StoredLot> lots;
};
bool ReadWatchContext(PlantStore& store, std::int64_t characteristicId, const Characteristic& characteristic,
                      WatchContext& out);

// An alarm's title as the SPC table heads its column: the chart's name and
// the rule's mark ("X①", "R③", "Rs⑧").
std::string AlarmTitle(const Alarm& alarm, const WatchContext& context);

// The JSON of the store's texts, exactly as stored: a characteristic's
// names, an alarm with its answers, a note.
nlohmann::ordered_json CharacteristicJson(const Characteristic& characteristic);
nlohmann::ordered_json AlarmJson(const Alarm& alarm, const WatchContext& context);
nlohmann::ordered_json NoteJson(const LotNote& note, const WatchContext& context);

// The readable lines of an alarm with its answers, and of a note.
void WriteAlarmText(std::ostream& out, const Alarm& alarm, const WatchContext& context);
void WriteNoteText(std::ostream& out, const LotNote& note, const WatchContext& context);

// Writes the notes and the alarms with their answers of a characteristic as
// CSV files (UTF-8) in the lots export's form: the characteristic, then a
// row of column titles, then a row per note, and a row per answer of each
// alarm (one row with empty answer fields for an alarm never answered).
bool WriteNotesCsv(const std::string& path, const std::vector<LotNote>& notes, const WatchContext& context);
bool WriteAlarmsCsv(const std::string& path, const std::vector<Alarm>& alarms, const WatchContext& context);

// A characteristic's rule settings as JSON: "rules" holds the eight
// switches and the nine run lengths under their names ("beyondLimits":
// true, "sameSideRun": 9, ...), "spread" the second chart ("R", "S", "Rs",
// or "" for by the lots' size); stored tells whether an engineer stored
// them (else they are the defaults), with who and when.
nlohmann::ordered_json RuleSettingJson(const Characteristic& characteristic, const RuleSetting& setting,
                                       bool stored);
// Reads "rules" and "spread" of such an object into setting; a name or
// value left out keeps what setting holds, other keys of the object are
// ignored (so a listing can be edited and given back). False with the
// reason, in Japanese, for a text that is no such object, an unknown rule
// name or a value of the wrong type.
bool ReadRuleSettingJson(const std::string& text, RuleSetting& setting, std::string& error);
// The readable lines of the rule settings: each rule as the dialog words
// it, on or off, and the second chart.
void WriteRuleSettingText(std::ostream& out, const RuleSetting& setting, bool stored);

// The files written beside an export OUT: NAME_notes.csv and
// NAME_alarms.csv, NAME being OUT without its extension.
std::string BesideExport(const std::string& out, const std::string& suffix);

}  // namespace trevolo::cli
