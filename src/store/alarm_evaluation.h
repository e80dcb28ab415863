#pragma once
// The run rules where the lots meet: inside the publishing transaction, the
// series of a characteristic that got new lots is read back as far as the
// rules can reach, each lot judged against the limit set in force for it,
// and every rule that starts firing at a new lot is recorded as an alarm.
#include <QSqlDatabase>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

// One place of a characteristic's series: the current lot there (a
// correction stands at the place of the lot it corrects).
struct SeriesLot {
    std::string id;
    bool correction = false;  // the lot supersedes another
    bool enabled = true;
    std::string values;  // comma text of the value texts
    std::int64_t publishedAt = 0;
};

// An alarm the rules found, not yet stored.
struct FoundAlarm {
    int rule = 0;                     // 1..8
    int side = 0;                     // 0: X, 1: the spread chart
    std::vector<std::string> lotIds;  // the pattern's lots, oldest first
    std::int64_t limitSetSeq = 0;     // the set the last lot was judged against
    bool operator==(const FoundAlarm&) const = default;
};

// The rule settings text of the store: the eight switches (0/1), then the
// nine run lengths in the order of the rule lists.
std::string RuleOptionsText(const RuleOptions& options);
// False when text is not such a text; out is then unchanged.
bool ParseRuleOptionsText(const std::string& text, RuleOptions& out);

// The alarms that start at lots [firstNew, end) of the series; the lots
// before are history. limits are the characteristic's limit sets (any
// order). Lots switched off, lots without numeric values and lots without a
// limit set in force are no points of the series; a correction starts no
// alarm.
std::vector<FoundAlarm> EvaluateSeries(std::span<const SeriesLot> lots, size_t firstNew,
                                       std::span<const LimitSet> limits, const RuleSetting& setting);

// A stored alarm row with the fields its audit entry hashes.
struct RecordedAlarm {
    std::int64_t seq = 0;
    std::vector<std::string> auditFields;
};

// Inside a writing transaction: evaluates the series of characteristic cid,
// whose new lots begin at arrival number firstNewSeq, and records the
// alarms found (on PostgreSQL through trevolo_record_alarm; on the embedded
// engine directly, now being the transaction's time). recorded receives the
// rows stored now (an alarm stored before is skipped). False with a reason
// in error.
bool RecordSeriesAlarms(QSqlDatabase& db, const StoreDialect& dialect, std::int64_t cid, std::int64_t firstNewSeq,
                        std::int64_t now, std::vector<RecordedAlarm>& recorded, std::string& error);

// The audit fields of an alarm row, in the order the chain hashes them.
std::vector<std::string> AlarmAuditFields(std::int64_t seq, std::int64_t cid, int rule, int side,
                                          const std::string& lotIds, const std::string& lastLot,
                                          std::int64_t limitSetSeq, std::int64_t receivedAt,
                                          const std::string& receivedBy);

}  // namespace trevolo
