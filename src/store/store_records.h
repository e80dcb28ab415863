#pragma once
// The records of the plant store: characteristics, their specifications, the
// lots stored as subgroups and the control-limit sets. Plain values, so they
// cross threads and processes (the outbox keeps them as they are).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/comtype.h"
#include "stats/typed_limits.h"

namespace trevolo {

// What one sheet header names: 品種・工程・装置・項目.
struct Characteristic {
    std::string product;
    std::string process;
    std::string machine;
    std::string item;
    bool operator==(const Characteristic&) const = default;
};

// The specification a sheet carried when its lots were published.
struct Specification {
    std::string unit;
    std::string kind;      // the kind's display text
    std::string decimals;  // "0".."5"
    std::string upper;     // as shown, or empty
    std::string lower;
    bool operator==(const Specification&) const = default;
};

// One lot (subgroup). id is made on the station (a UUID) and is the lot's
// identity everywhere: the server keeps the first row of an id and ignores
// any retry of it.
struct StoredLot {
    std::string id;
    std::string supersedes;  // the id of the lot this one corrects, or empty
    std::string label;       // the lot label as typed
    bool enabled = true;     // the lot's switch
    std::string values;      // the comma text of the value texts, as in a sheet line
    std::int32_t valueCount = 0;
    std::string station;
    std::string operatorName;      // the login name on the station
    std::int64_t orderKey = 0;     // place among the characteristic's lots; a correction keeps its lot's
    std::int64_t publishedAt = 0;  // station clock, milliseconds since 1970 (UTC)
    // Filled by the server.
    std::int64_t receivedAt = 0;  // server clock, milliseconds since 1970 (UTC)
    std::string receivedBy;       // the database role (or the login name on the embedded engine)
    std::int64_t seq = 0;         // the server's arrival order
};

// Lots of one characteristic, with the specification they were taken under.
struct LotBatch {
    Characteristic characteristic;
    Specification specification;
    std::vector<StoredLot> lots;
};

// A set of control limits: "三シグマ法" or "指定管理値" with the eleven
// limit fields, who set them, and from when they are in force.
struct LimitSet {
    std::string method;
    std::array<std::string, kLimitFields> values;
    std::string setBy;
    std::int64_t effectiveFrom = 0;  // milliseconds since 1970 (UTC)
    std::int64_t seq = 0;            // filled on read
    // The engineer's reason of a revision ("理由"); empty for a set sent with
    // lots. Filled on read.
    std::string reason{};
};

// One line of the characteristic list.
struct CharacteristicSummary {
    Characteristic characteristic;
    std::int64_t id = 0;
    std::int64_t stations = 0;
    std::int64_t lots = 0;             // current lots (not superseded)
    std::int64_t lastPublishedAt = 0;  // newest lot's publishing time, 0 when none
};

// A characteristic's newest current lots (oldest first) with the
// specification and the limit set in force at the newest of them.
struct LotHistory {
    std::int64_t characteristicId = 0;
    Specification specification;
    bool hasSpecification = false;
    LimitSet limits;
    bool hasLimits = false;
    std::vector<StoredLot> lots;
    std::int64_t lastSeq = 0;  // the highest arrival number seen, for a catch-up
};

// The run rules of a characteristic as an engineer keeps them in the store:
// the switches and run lengths, and what the second chart's value of a lot
// is. A characteristic without stored settings has DefaultRuleSetting().
struct RuleSetting {
    RuleOptions options;
    // "R", "S" or "Rs"; empty: "Rs" for lots of one value, else "R".
    std::string spread;
    std::string setBy;            // filled on read: the role that stored them
    std::int64_t receivedAt = 0;  // filled on read: server clock
    std::int64_t seq = 0;         // filled on read
};

// An answer to an alarm: a cause from the characteristic's cause list (or
// "その他" with its text), an action from the action list, a comment. The
// server sets who and when.
struct AlarmAnswer {
    std::int64_t seq = 0;
    std::int64_t alarmSeq = 0;
    std::string cause;
    std::string action;
    std::string comment;
    std::string answeredBy;       // the database role (the login name on the embedded engine)
    std::int64_t answeredAt = 0;  // server clock, milliseconds since 1970 (UTC)
};

// A rule that fired on a characteristic's series: found once, where the
// lots met, by the publishing that stored the lot completing the pattern.
struct Alarm {
    std::int64_t seq = 0;  // the alarm's number
    std::int64_t characteristicId = 0;
    Characteristic characteristic;  // filled on read
    int rule = 0;                   // 1..8, as "SPC異常判定" numbers them
    int side = 0;                   // 0: the X chart, 1: the R, S or Rs chart
    // The lots of the pattern, oldest first; the last one completed it.
    std::vector<std::string> lotIds;
    std::string lastLabel;           // filled on read: the completing lot's label
    std::int64_t limitSetSeq = 0;    // the limit set the completing lot was judged against
    std::int64_t foundAt = 0;        // server clock
    std::string foundBy;             // the role whose publishing found it
    std::vector<AlarmAnswer> answers;  // filled on read, oldest first; the newest is the one shown
    bool open() const { return answers.empty(); }
};

// A note on a stored lot ("工具交換"). Notes are added, never changed.
struct LotNote {
    std::int64_t seq = 0;
    std::string lotId;
    std::int64_t characteristicId = 0;
    std::string text;
    std::string writtenBy;       // server's word
    std::int64_t writtenAt = 0;  // server clock
};

// The cause or action list of a product, or of the whole plant when product
// is empty. A new list replaces the old one for what follows; the old rows
// stay.
struct ReasonList {
    enum class Kind { Cause, Action };
    Kind kind = Kind::Cause;
    std::string product;
    std::vector<std::string> entries;
    std::string setBy;            // filled on read
    std::int64_t receivedAt = 0;  // filled on read
};

}  // namespace trevolo
