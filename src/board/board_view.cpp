#include "board/board_view.h"

#include <QDateTime>
#include <algorithm>
#include <map>
#include <optional>

#include "document/judgment_chain.h"
#include "document/sheet_session.h"
#include "document/store_overlay.h"
#include "model/number.h"
#include "spc/rule_engine.h"
#include "store/plant_store.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

// The chart kind of the characteristic's rule settings: S or Rs when named,
// else R (which a sheet of one value a lot shows as Rs).
int ChartIndexOf(const RuleSetting& rules)
{
    return rules.spread == "S" ? ChartXbarS : rules.spread == "Rs" ? ChartXRs : ChartXbarR;
}

StoreOverlay OverlayOf(const CharacteristicView& v, const std::vector<LimitSet>& sets,
                       const std::array<std::string, kLimitFields>& shown)
{
    StoreOverlay o;
    const std::vector<StoredLot>& lots = v.history.lots;
    std::map<std::string, int> rowOf;
    std::map<std::string, std::string> correctedBy;
    for (size_t i = 0; i < lots.size(); ++i) {
        rowOf.emplace(lots[i].id, static_cast<int>(i) + 1);
        if (!lots[i].supersedes.empty())
            correctedBy.emplace(lots[i].supersedes, lots[i].id);
    }
    const auto rowOfLot = [&](std::string id) {
        // A lot corrected since is shown as its correction.
        for (int hops = 0; hops < 100; ++hops) {
            auto next = correctedBy.find(id);
            if (next == correctedBy.end())
                break;
            id = next->second;
        }
        auto found = rowOf.find(id);
        return found == rowOf.end() ? 0 : found->second;
    };
    const auto at = [](auto& rows, int row) -> auto&
    {
        if (rows.size() < static_cast<size_t>(row))
            rows.resize(static_cast<size_t>(row));
        return rows[static_cast<size_t>(row - 1)];
    };
    for (const Alarm& a : v.alarms) {
        if (!a.open())
            continue;
        const std::string mark = AlarmMarkText(a, v.spreadName);
        for (const std::string& id : a.lotIds)
            if (const int row = rowOfLot(id); row > 0) {
                auto& marks = at(o.alarmMarks, row);
                if (std::find(marks.begin(), marks.end(), mark) == marks.end())
                    marks.push_back(mark);
            }
    }
    for (const LotNote& n : v.notes)
        if (const int row = rowOfLot(n.lotId); row > 0)
            at(o.notes, row).push_back(NoteLine(n));
    for (size_t i = 0; i < lots.size(); ++i) {
        const LimitSet* set = LimitSetInForce(sets, lots[i].publishedAt);
        if (set && set->values != shown)
            at(o.limits, static_cast<int>(i) + 1) = set->values;
    }
    return o;
}

}  // namespace

std::string AlarmMarkText(const Alarm& alarm, const std::string& spreadName)
{
    const std::string chart = alarm.side == 0 ? std::string("X") : spreadName;
    if (alarm.rule < 1 || alarm.rule > kSpcRuleCount)
        return chart + '?';
    return chart + kSpcRuleMarks[static_cast<size_t>(alarm.rule - 1)];
}

std::string TimeText(std::int64_t millis)
{
    if (millis <= 0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(millis)
        .toLocalTime()
        .toString(QStringLiteral("yyyy/MM/dd HH:mm"))
        .toStdString();
}

std::string NoteLine(const LotNote& note)
{
    return note.text + "（" + note.writtenBy + ", " + TimeText(note.writtenAt) + "）";
}

bool BuildCharacteristicView(PlantStore& store, const CharacteristicSummary& summary, int lots, bool withStoreMarks,
                             CharacteristicView& out, std::string& error)
{
    out = {};
    out.summary = summary;
    const Characteristic& c = summary.characteristic;
    std::vector<LimitSet> sets;
    bool read = store.newestLots(c, std::clamp(lots, 1, kMaxLots), out.history) && store.ruleSetting(c, out.rules);
    if (read && withStoreMarks)
        read = store.alarms(summary.id, false, 0, out.alarms) && store.notes(summary.id, out.notes) &&
               store.limitHistory(c, sets);
    if (!read) {
        error = store.lastError();
        return false;
    }

    SheetSession session;
    NormalisedValues values;
    const Outcome shown = session.show(SheetFromHistory(c, out.history), ChartIndexOf(out.rules), &values);
    const std::array<std::string, kLimitFields>* typed = out.history.hasLimits ? &out.history.limits.values : nullptr;
    const Outcome judged = JudgmentRunner(session).runChain(typed, out.rules.options, &out.capability, &values);
    for (const Outcome* o : {&shown, &judged})
        for (const SessionMessage& m : o->messages)
            out.messages.push_back(m.text);
    if (judged.error)
        out.messages.push_back(judged.error->what());
    // The limits are drawn as the window draws the limits in force: each
    // line that has a value is on.
    for (int line = 0; line < kVisibleLimitLines; ++line)
        if (!IsBlank(session.limit(line)))
            session.setLineAutomatic(line, true);
    out.limits = session.limits();
    out.decimals = ShownDecimals(session.header().decimals);
    const ChartKind kind = session.chartKind();
    out.spreadName = kind == ChartKind::XbarS ? "S" : kind == ChartKind::XRs ? "Rs" : "R";
    if (withStoreMarks)
        session.setStoreOverlay(OverlayOf(out, sets, out.limits));
    out.charts = BuildChartData(session);
    return true;
}

}  // namespace trevolo
