#include "store/alarm_evaluation.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "model/commatext.h"
#include "model/number.h"
#include "spc/rule_options.h"
#include "spc/series_rules.h"
#include "store/plant_store.h"
#include "store/qt_text.h"
#include "stats/typed_limits.h"

namespace trevolo {

std::string RuleOptionsText(const RuleOptions& options)
{
    std::string text;
    for (int rule = 1; rule <= kSpcRuleCount; ++rule)
        text += std::string(rule > 1 ? "," : "") + (options.check(rule) ? "1" : "0");
    for (int list = 0; list < kRuleListCount; ++list)
        text += "," + std::to_string(RuleListValue(options, list));
    return text;
}

bool ParseRuleOptionsText(const std::string& text, RuleOptions& out)
{
    const std::vector<std::string> parts = CommaTextSplit(text);
    if (parts.size() != static_cast<size_t>(kSpcRuleCount + kRuleListCount))
        return false;
    RuleOptions o = RuleOptions::Defaults();
    for (int rule = 1; rule <= kSpcRuleCount; ++rule) {
        const std::string& p = parts[rule - 1];
        if (p != "0" && p != "1")
            return false;
        o.setCheck(rule, p == "1");
    }
    for (int list = 0; list < kRuleListCount; ++list) {
        int n = 0;
        if (!TryStrToInt(parts[kSpcRuleCount + list], n) || n < 1)
            return false;
        RuleListValue(o, list) = n;
    }
    out = o;
    return true;
}

std::vector<std::string> AlarmAuditFields(std::int64_t seq, std::int64_t cid, int rule, int side,
                                          const std::string& lotIds, const std::string& lastLot,
                                          std::int64_t limitSetSeq, std::int64_t receivedAt,
                                          const std::string& receivedBy)
{
    return {std::to_string(seq),
            std::to_string(cid),
            std::to_string(rule),
            std::to_string(side),
            lotIds,
            lastLot,
            std::to_string(limitSetSeq),
            std::to_string(receivedAt),
            receivedBy};
}

namespace {

// A limit set with its lines read: a set whose X lines are not numbers
// judges nothing; one whose spread lines are not judges only the X chart.
struct ParsedLimits {
    std::int64_t seq = 0;
    std::int64_t effectiveFrom = 0;
    std::optional<SpcLines> x;
    std::optional<SpcLines> spread;
};

std::vector<ParsedLimits> ParseLimits(std::span<const LimitSet> limits)
{
    std::vector<ParsedLimits> out;
    for (const LimitSet& s : limits) {
        ParsedLimits p{s.seq, s.effectiveFrom, std::nullopt, std::nullopt};
        const auto& v = s.values;
        try {
            p.x = ParseSpcLines(SpcXLineTexts{v[LimitXcl], v[LimitUcl3], v[LimitUcl2], v[LimitUcl1], v[LimitLcl3],
                                              v[LimitLcl2], v[LimitLcl1]});
        } catch (const ConvertError&) {
        }
        try {
            p.spread =
                ParseSpcLines(SpcDispersionLineTexts{v[LimitRcl], v[LimitRsUcl3], v[LimitRsUcl2], v[LimitRsUcl1]});
        } catch (const ConvertError&) {
        }
        out.push_back(p);
    }
    // The set in force at a time is the one taking effect last by then; of
    // two taking effect at once, the later stored.
    std::sort(out.begin(), out.end(), [](const ParsedLimits& a, const ParsedLimits& b) {
        return a.effectiveFrom != b.effectiveFrom ? a.effectiveFrom < b.effectiveFrom : a.seq < b.seq;
    });
    return out;
}

const ParsedLimits* InForceAt(const std::vector<ParsedLimits>& sets, std::int64_t at)
{
    auto it = std::upper_bound(sets.begin(), sets.end(), at,
                               [](std::int64_t t, const ParsedLimits& s) { return t < s.effectiveFrom; });
    return it == sets.begin() ? nullptr : &*(it - 1);
}

// The numeric values of a lot's comma text; blanks and other texts are left
// out.
std::vector<double> NumericValues(const std::string& text)
{
    std::vector<double> out;
    for (const std::string& part : CommaTextSplit(text)) {
        double v = 0;
        if (!IsBlank(part) && TryStrToFloat(Trim(part), v) && std::isfinite(v))
            out.push_back(v);
    }
    return out;
}

// The points of the series: the lots that are judged, each with the index
// of its lot and the limit set it was judged against.
struct SeriesPoints {
    std::vector<SeriesPoint> points;
    std::vector<size_t> lotOf;
    std::vector<std::int64_t> limitSeqOf;
};

SeriesPoints BuildPoints(std::span<const SeriesLot> lots, const std::vector<ParsedLimits>& sets,
                         const std::string& spread)
{
    SeriesPoints out;
    for (size_t i = 0; i < lots.size(); ++i) {
        const SeriesLot& lot = lots[i];
        if (!lot.enabled)
            continue;
        const std::vector<double> values = NumericValues(lot.values);
        const ParsedLimits* limits = InForceAt(sets, lot.publishedAt);
        if (values.empty() || !limits || !limits->x)
            continue;
        SeriesPoint p;
        double sum = 0;
        for (double v : values)
            sum += v;
        p.x = sum / static_cast<double>(values.size());
        p.xLines = *limits->x;
        const std::string kind = !spread.empty() ? spread : values.size() == 1 ? "Rs" : "R";
        if (kind == "Rs") {
            p.hasSpread = !out.points.empty();
            p.spread = p.hasSpread ? std::fabs(p.x - out.points.back().x) : 0;
        } else if (kind == "S") {
            p.hasSpread = values.size() >= 2;
            double squares = 0;
            for (double v : values)
                squares += (v - p.x) * (v - p.x);
            p.spread = p.hasSpread ? std::sqrt(squares / static_cast<double>(values.size() - 1)) : 0;
        } else {
            const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
            p.spread = *hi - *lo;
        }
        if (limits->spread)
            p.spreadLines = *limits->spread;
        else
            p.hasSpread = false;
        out.points.push_back(p);
        out.lotOf.push_back(i);
        out.limitSeqOf.push_back(limits->seq);
    }
    return out;
}

}  // namespace

std::vector<FoundAlarm> EvaluateSeries(std::span<const SeriesLot> lots, size_t firstNew,
                                       std::span<const LimitSet> limits, const RuleSetting& setting)
{
    const SeriesPoints series = BuildPoints(lots, ParseLimits(limits), setting.spread);
    const auto from = std::find_if(series.lotOf.begin(), series.lotOf.end(), [&](size_t i) { return i >= firstNew; });
    if (from == series.lotOf.end())
        return {};
    std::vector<FoundAlarm> found;
    for (const SeriesSignal& s :
         SeriesSignals(series.points, setting.options, static_cast<int>(from - series.lotOf.begin()))) {
        const SeriesLot& last = lots[series.lotOf[s.last]];
        if (series.lotOf[s.last] < firstNew || last.correction)
            continue;
        FoundAlarm a;
        a.rule = s.rule;
        a.side = s.side == SpcSide::X ? 0 : 1;
        for (int p = s.first; p <= s.last; ++p)
            a.lotIds.push_back(lots[series.lotOf[p]].id);
        a.limitSetSeq = series.limitSeqOf[s.last];
        found.push_back(std::move(a));
    }
    return found;
}

namespace {

bool Failed(const QSqlQuery& q, const char* what, std::string& error)
{
    error = std::string(what) + ": " + StoreErrorText(q.lastError(), q.lastQuery());
    return false;
}

// The rule settings an engineer stored last for the characteristic, or the
// defaults.
bool ReadRuleSetting(QSqlQuery& q, std::int64_t cid, RuleSetting& out, std::string& error)
{
    out = DefaultRuleSetting();
    q.prepare(
        QStringLiteral("SELECT options, spread FROM rule_setting WHERE characteristic_id = ? ORDER BY seq DESC "
                       "LIMIT 1"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec())
        return Failed(q, "判定ルールを読めません", error);
    if (q.next()) {
        // Settings that cannot be read leave the defaults: the lots are
        // still watched.
        ParseRuleOptionsText(ToStdString(q.value(0)), out.options);
        out.spread = ToStdString(q.value(1));
    }
    q.finish();
    return true;
}

bool ReadLimitSets(QSqlQuery& q, std::int64_t cid, std::vector<LimitSet>& out, std::string& error)
{
    out.clear();
    q.prepare(QStringLiteral("SELECT seq, vals, effective_from FROM limit_set WHERE characteristic_id = ?"));
    q.addBindValue(static_cast<qlonglong>(cid));
    if (!q.exec())
        return Failed(q, "管理限界を読めません", error);
    while (q.next()) {
        LimitSet s;
        s.seq = q.value(0).toLongLong();
        const std::vector<std::string> v = CommaTextSplit(ToStdString(q.value(1)));
        for (size_t i = 0; i < s.values.size() && i < v.size(); ++i)
            s.values[i] = v[i];
        s.effectiveFrom = q.value(2).toLongLong();
        out.push_back(std::move(s));
    }
    q.finish();
    return true;
}

// A place of the series as read: its first lot's arrival number and the
// lot there now, with who sent it.
struct WindowLot {
    std::int64_t place = 0;
    SeriesLot lot;
    std::string receivedBy;
};

// The current lot of every place from arrival number fromSeq on. A
// correction arrives after the lot it corrects, so reading the arrivals in
// order and putting each correction in the place of the lot it names
// follows every chain (one index range, which both engines plan well; a
// recursive query over the corrections was planned as a scan of every lot).
bool ReadWindow(QSqlQuery& q, std::int64_t cid, std::int64_t fromSeq, std::vector<WindowLot>& out, std::string& error)
{
    out.clear();
    q.prepare(
        QStringLiteral("SELECT seq, id, supersedes, enabled, vals, published_at, received_by FROM lot WHERE "
                       "characteristic_id = ? AND seq >= ? ORDER BY seq"));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(static_cast<qlonglong>(fromSeq));
    if (!q.exec())
        return Failed(q, "ロットを読めません", error);
    std::unordered_map<std::string, size_t> placeOf;
    while (q.next()) {
        const std::string supersedes = ToStdString(q.value(2));
        size_t place = out.size();
        if (!supersedes.empty()) {
            // A correction of a lot before the window has no place in it.
            const auto it = placeOf.find(supersedes);
            if (it == placeOf.end())
                continue;
            place = it->second;
        } else {
            out.emplace_back();
            out.back().place = q.value(0).toLongLong();
        }
        WindowLot& w = out[place];
        w.lot.id = ToStdString(q.value(1));
        w.lot.correction = !supersedes.empty();
        w.lot.enabled = q.value(3).toInt() != 0;
        w.lot.values = ToStdString(q.value(4));
        w.lot.publishedAt = q.value(5).toLongLong();
        w.receivedBy = ToStdString(q.value(6));
        placeOf[w.lot.id] = place;
    }
    q.finish();
    return true;
}

// The arrival number from which the series must be read so that at least
// need places come before firstNewSeq (0: from the start). rows places are
// looked at.
bool WindowStart(QSqlQuery& q, std::int64_t cid, std::int64_t firstNewSeq, int rows, std::int64_t& fromSeq, bool& whole,
                 std::string& error)
{
    q.prepare(
        QStringLiteral("SELECT seq FROM lot WHERE characteristic_id = ? AND supersedes IS NULL AND seq < ? "
                       "ORDER BY seq DESC LIMIT ?"));
    q.addBindValue(static_cast<qlonglong>(cid));
    q.addBindValue(static_cast<qlonglong>(firstNewSeq));
    q.addBindValue(rows);
    if (!q.exec())
        return Failed(q, "ロットを読めません", error);
    int n = 0;
    fromSeq = firstNewSeq;
    while (q.next()) {
        fromSeq = q.value(0).toLongLong();
        ++n;
    }
    q.finish();
    whole = n < rows;
    if (whole)
        fromSeq = 0;
    return true;
}

}  // namespace

bool RecordSeriesAlarms(QSqlDatabase& db, const StoreDialect& dialect, std::int64_t cid, std::int64_t firstNewSeq,
                        std::int64_t now, std::vector<RecordedAlarm>& recorded, std::string& error)
{
    recorded.clear();
    QSqlQuery q(db);
    RuleSetting setting;
    std::vector<LimitSet> limits;
    if (!ReadRuleSetting(q, cid, setting, error) || !ReadLimitSets(q, cid, limits, error))
        return false;
    if (limits.empty())
        return true;
    // The rules look back SeriesReach points, and one more gives the first
    // of them its moving range. Places that are no points (switched off,
    // without limits) widen the window until enough points are in it.
    const int need = SeriesReach(setting.options) + 1;
    std::vector<WindowLot> window;
    std::vector<SeriesLot> lots;
    size_t firstNew = 0;
    for (int rows = need + 8;; rows *= 4) {
        std::int64_t fromSeq = 0;
        bool whole = false;
        if (!WindowStart(q, cid, firstNewSeq, rows, fromSeq, whole, error) ||
            !ReadWindow(q, cid, fromSeq, window, error))
            return false;
        lots.clear();
        firstNew = window.size();
        for (const WindowLot& w : window) {
            if (w.place >= firstNewSeq && firstNew == window.size())
                firstNew = lots.size();
            lots.push_back(w.lot);
        }
        if (whole)
            break;
        const SeriesPoints history =
            BuildPoints(std::span<const SeriesLot>(lots).first(firstNew), ParseLimits(limits), setting.spread);
        if (static_cast<int>(history.points.size()) >= need)
            break;
    }
    for (const FoundAlarm& a : EvaluateSeries(lots, firstNew, limits, setting)) {
        std::string ids;
        for (const std::string& id : a.lotIds)
            ids += (ids.empty() ? "" : " ") + id;
        const std::string& last = a.lotIds.back();
        if (dialect.serverVouches()) {
            q.prepare(QStringLiteral("SELECT trevolo_record_alarm(?, ?, ?, ?, ?, ?)"));
        } else {
            q.prepare(QStringLiteral(
                "INSERT INTO alarm (characteristic_id, rule, side, lot_ids, last_lot, limit_set_seq, received_at, "
                "received_by) VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING RETURNING seq"));
        }
        q.addBindValue(static_cast<qlonglong>(cid));
        q.addBindValue(a.rule);
        q.addBindValue(a.side);
        q.addBindValue(ToQString(ids));
        q.addBindValue(ToQString(last));
        q.addBindValue(static_cast<qlonglong>(a.limitSetSeq));
        std::string finder;
        if (!dialect.serverVouches()) {
            for (const WindowLot& w : window)
                if (w.lot.id == last)
                    finder = w.receivedBy;
            q.addBindValue(static_cast<qlonglong>(now));
            q.addBindValue(ToQString(finder));
        }
        if (!q.exec())
            return Failed(q, "アラームを登録できません", error);
        if (q.next() && !q.value(0).isNull()) {
            const std::int64_t seq = q.value(0).toLongLong();
            recorded.push_back({seq,
                                AlarmAuditFields(seq, cid, a.rule, a.side, ids, last, a.limitSetSeq, now, finder)});
        }
        q.finish();
    }
    return true;
}

}  // namespace trevolo
