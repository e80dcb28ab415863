#include "cli_watch.h"

#include <QDateTime>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

#include "model/commatext.h"
#include "model/number.h"
#include "spc/rule_engine.h"
#include "spc/rule_options.h"

namespace trevolo::cli {

using json = nlohmann::ordered_json;

std::string IsoTime(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toStdString();
}

std::string RuleCaptionText(int rule, const RuleOptions& options)
{
    if (rule < 1 || rule > kSpcRuleCount)
        return {};
    const std::string caption = kRuleCaptions[rule - 1];
    const std::string mark = kSpcRuleMarks[static_cast<size_t>(rule - 1)];
    // Each run of two spaces or more is where a list sits (as the dialog
    // splits its captions): the first run the row's first list, the second
    // run its second. A single space is the caption's own.
    std::vector<std::int32_t> values;
    for (int list = 0; list < kRuleListCount; ++list)
        if (kRuleLists[static_cast<size_t>(list)].rule == rule)
            values.push_back(RuleListValue(options, list));
    std::string text;
    size_t slot = 0;
    for (size_t i = caption.compare(0, mark.size(), mark) == 0 ? mark.size() : 0; i < caption.size();) {
        size_t end = i;
        while (end < caption.size() && caption[end] == ' ')
            ++end;
        if (end - i >= 2 && slot < values.size())
            text += std::to_string(values[slot++]);
        else if (end > i)
            text.append(end - i, ' ');
        else
            text += caption[end++];
        i = end;
    }
    return text;
}

std::string SpreadChartOf(const RuleSetting& setting, std::int32_t valueCount)
{
    if (!setting.spread.empty())
        return setting.spread;
    return valueCount == 1 ? "Rs" : "R";
}

bool ReadWatchContext(PlantStore& store, std::int64_t characteristicId, const Characteristic& characteristic,
                      WatchContext& out)
{
    out.characteristic = characteristic;
    out.lots.clear();
    std::vector<StoredLot> lots;
    if (!store.ruleSetting(characteristic, out.rules) || !store.lotsAfter(characteristicId, 0, lots))
        return false;
    for (StoredLot& l : lots)
        out.lots[l.id] = std::move(l);
    return true;
}

namespace {

const StoredLot* LotOf(const WatchContext& context, const std::string& id)
{
    auto it = context.lots.find(id);
    return it == context.lots.end() ? nullptr : &it->second;
}

std::string LotLabelOf(const WatchContext& context, const std::string& id)
{
    const StoredLot* lot = LotOf(context, id);
    return lot ? lot->label : std::string();
}

std::string LastLotId(const Alarm& alarm)
{
    return alarm.lotIds.empty() ? std::string() : alarm.lotIds.back();
}

// The second chart of an alarm: by the values of its completing lot when
// the rule settings name none, as the rules were evaluated.
std::string SpreadChartOfAlarm(const Alarm& alarm, const WatchContext& context)
{
    std::int32_t values = 0;
    if (const StoredLot* last = LotOf(context, LastLotId(alarm)))
        for (const std::string& v : CommaTextSplit(last->values))
            values += IsBlank(v) ? 0 : 1;
    return SpreadChartOf(context.rules, values);
}

// A text of several lines, its later lines indented under the first.
std::string Indented(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n')
            out += "      ";
    }
    return out;
}

// The characteristic's head of an exported file: the titles of its four
// names, the names, then the titles of the rows that follow.
void WriteCsvHead(std::ostream& f, const Characteristic& c, const std::vector<std::string>& titles)
{
    f << CommaTextJoin({"品種名称", "工程名称", "装置名称", "項目名称"}) << "\n"
      << CommaTextJoin({c.product, c.process, c.machine, c.item}) << "\n"
      << CommaTextJoin(titles) << "\n";
}

std::string JoinIds(const std::vector<std::string>& ids)
{
    std::string s;
    for (const std::string& id : ids)
        s += (s.empty() ? "" : " ") + id;
    return s;
}

}  // namespace

json CharacteristicJson(const Characteristic& c)
{
    return {{"product", c.product}, {"process", c.process}, {"machine", c.machine}, {"item", c.item}};
}

std::string AlarmTitle(const Alarm& alarm, const WatchContext& context)
{
    if (alarm.rule < 1 || alarm.rule > kSpcRuleCount)
        return "?";
    const std::string chart = alarm.side == 0 ? "X" : SpreadChartOfAlarm(alarm, context);
    return chart + kSpcRuleMarks[static_cast<size_t>(alarm.rule - 1)];
}

json AlarmJson(const Alarm& alarm, const WatchContext& context)
{
    json answers = json::array();
    for (const AlarmAnswer& a : alarm.answers)
        answers.push_back({{"seq", a.seq},
                           {"cause", a.cause},
                           {"action", a.action},
                           {"comment", a.comment},
                           {"answeredBy", a.answeredBy},
                           {"answeredAt", IsoTime(a.answeredAt)}});
    return {{"seq", alarm.seq},
            {"characteristic", CharacteristicJson(context.characteristic)},
            {"rule", alarm.rule},
            {"chart", alarm.side == 0 ? "X" : SpreadChartOfAlarm(alarm, context)},
            {"title", AlarmTitle(alarm, context)},
            {"caption", RuleCaptionText(alarm.rule, context.rules.options)},
            {"lot", alarm.lastLabel},
            {"lotId", LastLotId(alarm)},
            {"lotIds", alarm.lotIds},
            {"limitSetSeq", alarm.limitSetSeq},
            {"foundAt", IsoTime(alarm.foundAt)},
            {"foundBy", alarm.foundBy},
            {"open", alarm.open()},
            {"answers", std::move(answers)}};
}

json NoteJson(const LotNote& note, const WatchContext& context)
{
    return {{"seq", note.seq},
            {"lot", LotLabelOf(context, note.lotId)},
            {"lotId", note.lotId},
            {"note", note.text},
            {"writtenBy", note.writtenBy},
            {"writtenAt", IsoTime(note.writtenAt)}};
}

void WriteAlarmText(std::ostream& out, const Alarm& alarm, const WatchContext& context)
{
    const Characteristic& c = context.characteristic;
    out << "アラーム " << alarm.seq << "  " << CommaTextJoin({c.product, c.process, c.machine, c.item}) << "  "
        << AlarmTitle(alarm, context) << " " << RuleCaptionText(alarm.rule, context.rules.options) << "  ロット「"
        << alarm.lastLabel << "」  " << IsoTime(alarm.foundAt) << "  "
        << (alarm.open() ? "未対応" : "対応済み") << "\n";
    for (const AlarmAnswer& a : alarm.answers)
        out << "    対応 " << IsoTime(a.answeredAt) << " " << a.answeredBy << "  原因: " << Indented(a.cause)
            << "  処置: " << Indented(a.action) << (a.comment.empty() ? "" : "  コメント: ") << Indented(a.comment)
            << "\n";
}

void WriteNoteText(std::ostream& out, const LotNote& note, const WatchContext& context)
{
    out << IsoTime(note.writtenAt) << "  " << note.writtenBy << "  ロット「" << LotLabelOf(context, note.lotId)
        << "」  " << Indented(note.text) << "\n";
}

bool WriteNotesCsv(const std::string& path, const std::vector<LotNote>& notes, const WatchContext& context)
{
    std::ofstream f(path, std::ios::binary);
    if (!f)
        return false;
    WriteCsvHead(f, context.characteristic, {"メモ番号", "ロットID", "ロット名", "メモ", "記入者", "記入時刻"});
    for (const LotNote& n : notes)
        f << CommaTextJoin({std::to_string(n.seq), n.lotId, LotLabelOf(context, n.lotId), n.text, n.writtenBy,
                            IsoTime(n.writtenAt)})
          << "\n";
    f.close();
    return static_cast<bool>(f);
}

bool WriteAlarmsCsv(const std::string& path, const std::vector<Alarm>& alarms, const WatchContext& context)
{
    std::ofstream f(path, std::ios::binary);
    if (!f)
        return false;
    WriteCsvHead(f, context.characteristic,
                 {"アラーム番号", "判定", "ルール", "ロットID", "ロット名", "対象ロット", "管理限界番号", "検出時刻",
                  "検出者", "対応番号", "原因", "処置", "コメント", "対応者", "対応時刻"});
    for (const Alarm& a : alarms) {
        const std::vector<std::string> found = {std::to_string(a.seq),
                                                AlarmTitle(a, context),
                                                RuleCaptionText(a.rule, context.rules.options),
                                                LastLotId(a),
                                                a.lastLabel,
                                                JoinIds(a.lotIds),
                                                std::to_string(a.limitSetSeq),
                                                IsoTime(a.foundAt),
                                                a.foundBy};
        std::vector<std::vector<std::string>> answers;
        for (const AlarmAnswer& x : a.answers)
            answers.push_back(
                {std::to_string(x.seq), x.cause, x.action, x.comment, x.answeredBy, IsoTime(x.answeredAt)});
        if (answers.empty())
            answers.emplace_back(6);
        for (const std::vector<std::string>& answer : answers) {
            std::vector<std::string> row = found;
            row.insert(row.end(), answer.begin(), answer.end());
            f << CommaTextJoin(row) << "\n";
        }
    }
    f.close();
    return static_cast<bool>(f);
}

std::string BesideExport(const std::string& out, const std::string& suffix)
{
    const std::filesystem::path p(out);
    const std::string ext = p.has_extension() ? p.extension().string() : std::string(".csv");
    return (p.parent_path() / (p.stem().string() + "_" + suffix + ext)).string();
}

namespace {

// The names of the rule switches in rule order, and of the run lengths in
// the order of the dialog's lists.
constexpr std::array<const char*, kSpcRuleCount> kSwitchNames = {
    "beyondLimits", "sameSide", "trend", "alternating", "beyond2Sigma", "beyond1Sigma", "within1Sigma",
    "outside1Sigma"};
constexpr std::array<const char*, kRuleListCount> kRunNames = {
    "sameSideRun",       "trendRun",         "alternatingRun",  "beyond2SigmaBlock", "beyond2SigmaHits",
    "beyond1SigmaBlock", "beyond1SigmaHits", "within1SigmaRun", "outside1SigmaRun"};

}  // namespace

json RuleSettingJson(const Characteristic& characteristic, const RuleSetting& setting, bool stored)
{
    json rules = json::object();
    for (int rule = 1; rule <= kSpcRuleCount; ++rule)
        rules[kSwitchNames[static_cast<size_t>(rule - 1)]] = setting.options.check(rule);
    for (int list = 0; list < kRuleListCount; ++list)
        rules[kRunNames[static_cast<size_t>(list)]] = RuleListValue(setting.options, list);
    json j = {{"characteristic", CharacteristicJson(characteristic)}, {"stored", stored}};
    if (stored)
        j.update(json{{"setBy", setting.setBy}, {"receivedAt", IsoTime(setting.receivedAt)}});
    j["rules"] = std::move(rules);
    j["spread"] = setting.spread;
    return j;
}

bool ReadRuleSettingJson(const std::string& text, RuleSetting& setting, std::string& error)
{
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
        error = "判定ルールの JSON として読めません。";
        return false;
    }
    RuleSetting read = setting;
    if (j.contains("rules")) {
        if (!j["rules"].is_object()) {
            error = "\"rules\" はオブジェクトでなければなりません。";
            return false;
        }
        for (const auto& [name, value] : j["rules"].items()) {
            const auto isName = [&](const char* n) { return name == n; };
            const auto sw = std::find_if(kSwitchNames.begin(), kSwitchNames.end(), isName);
            const auto run = std::find_if(kRunNames.begin(), kRunNames.end(), isName);
            if (sw != kSwitchNames.end() && value.is_boolean()) {
                read.options.setCheck(static_cast<int>(sw - kSwitchNames.begin()) + 1, value.get<bool>());
            } else if (run != kRunNames.end() && value.is_number_integer()) {
                RuleListValue(read.options, static_cast<int>(run - kRunNames.begin())) = value.get<std::int32_t>();
            } else {
                error = sw == kSwitchNames.end() && run == kRunNames.end()
                            ? "判定ルール「" + name + "」はありません。"
                            : "判定ルール「" + name + "」の値は" + (run == kRunNames.end() ? "true か false" : "整数") +
                                  "で指定してください。";
                return false;
            }
        }
    }
    if (j.contains("spread")) {
        if (!j["spread"].is_string()) {
            error = "\"spread\" は \"R\"・\"S\"・\"Rs\" か空の文字列で指定してください。";
            return false;
        }
        read.spread = j["spread"].get<std::string>();
    }
    // The store refuses what the rule dialog would: say which value.
    if (const std::optional<int> list = ValidateRuleOptions(read.options)) {
        const RuleListInfo& info = kRuleLists[static_cast<size_t>(*list)];
        error = "判定ルール「" + std::string(kRunNames[static_cast<size_t>(*list)]) + "」の値 " +
                std::to_string(RuleListValue(read.options, *list)) + " は使えません (";
        for (size_t i = 0; i < info.items.size(); ++i)
            error += (i ? "、" : "") + std::to_string(info.items[i]);
        error += " のどれか";
        if (*list == ListBeyond2SigmaBlock || *list == ListBeyond1SigmaBlock)
            error += std::string("で、") + kRunNames[static_cast<size_t>(*list) + 1] + " 以上";
        error += ")。";
        return false;
    }
    setting = std::move(read);
    return true;
}

void WriteRuleSettingText(std::ostream& out, const RuleSetting& setting, bool stored)
{
    if (stored)
        out << "判定ルール (" << setting.setBy << " が " << IsoTime(setting.receivedAt) << " に登録)\n";
    else
        out << "判定ルール (既定値: 技術者が登録するまでこの設定で判定します)\n";
    for (int rule = 1; rule <= kSpcRuleCount; ++rule)
        out << "  " << kSpcRuleMarks[static_cast<size_t>(rule - 1)] << RuleCaptionText(rule, setting.options) << "  "
            << (setting.options.check(rule) ? "有効" : "無効") << "\n";
    out << "  ばらつきの管理図: "
        << (setting.spread.empty() ? std::string("ロットの測定値が1つなら Rs、ほかは R") : setting.spread) << "\n";
}

}  // namespace trevolo::cli
