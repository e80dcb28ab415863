#include "cli_judge.h"

#include <algorithm>
#include <ostream>

#include "cli_files.h"
#include "model/number.h"
#include "spc/rule_engine.h"
#include "stats/typed_limits.h"

namespace trevolo::cli {

namespace {

const char* VerdictOrEmpty(Verdict v)
{
    return VerdictText(v);
}

const char* ShownVerdict(Verdict v)
{
    return v == Verdict::None ? "－" : VerdictText(v);
}

// A number of the capability study, or null where it was not computed.
nlohmann::ordered_json Number(bool computed, double v)
{
    return computed ? nlohmann::ordered_json(v) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json IndexSetJson(const CapabilitySide& side, const CapabilityIndexSet& s)
{
    using json = nlohmann::ordered_json;
    json o;
    o["sigma"] = Number(s.computed, s.sigma);
    o[side.cp] = Number(s.computed, s.cp);
    o[side.cpk] = Number(s.computed, s.cpk);
    o[std::string(side.cp) + "_lower"] = Number(s.computed, s.cpLower);
    o[std::string(side.cpk) + "_lower"] = Number(s.computed, s.cpkLower);
    o["verdict"] = s.computed ? json(s.verdict) : json(nullptr);
    o["note"] = s.computed ? json(nullptr) : json(s.why);
    return o;
}

// "群内: σ 0.00979  Cp 1.703 (95%下限 1.520)  Cpk ... 工程能力あり（95%信頼）"
std::string IndexSetText(const CapabilitySide& side, const CapabilityIndexSet& s)
{
    std::string t = std::string(side.title) + ": ";
    if (!s.computed)
        return t + s.why;
    t += "σ " + FormatFixed(s.sigma, 5) + "  " + side.cpTitle + " " + FormatFixed(s.cp, 3) + " (95%下限 " +
         FormatFixed(s.cpLower, 3) + ")  " + side.cpkTitle + " " + FormatFixed(s.cpk, 3) + " (95%下限 " +
         FormatFixed(s.cpkLower, 3) + ")  " + s.verdict;
    return t;
}

}  // namespace

nlohmann::ordered_json CapabilityJson(const CapabilityStudy& c)
{
    using json = nlohmann::ordered_json;
    json o;
    o["values"] = c.values;
    o["mean"] = Number(c.values > 0 && c.why.empty(), c.mean);
    o["note"] = c.why.empty() ? json(nullptr) : json(c.why);
    o["within"] = IndexSetJson(kWithinSide, c.within);
    o["overall"] = IndexSetJson(kOverallSide, c.overall);
    return o;
}

nlohmann::ordered_json SheetJson(int sheet, const SheetJudgment& j)
{
    using json = nlohmann::ordered_json;
    json s;
    s["sheet"] = sheet;
    s["label"] = j.label;
    s["lots"] = j.lots;
    s["n"] = j.n;
    s["chart"] = kChartNames[static_cast<size_t>(std::clamp(j.chartKind, 0, 2))];
    json messages = json::array();
    for (const SessionMessage& m : j.messages)
        messages.push_back(m.text);
    s["messages"] = std::move(messages);
    s["error"] = j.error ? json(*j.error) : json(nullptr);
    json limits = json::object();
    for (int i = 0; i < kLimitFields; ++i)
        limits[kLimitFieldNames[static_cast<size_t>(i)]] = j.limits[static_cast<size_t>(i)];
    s["limits"] = std::move(limits);

    json marked = json::array();
    for (const CellPos& p : j.marked)
        marked.push_back(json::array({p.row, p.col}));
    s["spec"] = json{{"verdict", VerdictOrEmpty(j.spec)}, {"marked", std::move(marked)}};

    json calcRows = json::array();
    for (const CalcRow& row : j.calcRows)
        calcRows.push_back(json(row));
    s["calc"] = json{{"rows", std::move(calcRows)}, {"verdict", VerdictOrEmpty(j.calc)}};

    json spcRows = json::array();
    for (const SpcRow& row : j.spcRows)
        spcRows.push_back(json(row));
    s["spc"] = json{{"rows", std::move(spcRows)}, {"verdict", VerdictOrEmpty(j.spc)}};
    s["capability"] = CapabilityJson(j.capability);
    return s;
}

void WriteSheetText(std::ostream& out, const std::string& file, int sheet, const SheetJudgment& j)
{
    out << "== " << file << "  シート" << sheet << "  「" << j.label << "」  " << j.lots << "ロット × n=" << j.n << "  "
        << kChartTexts[std::clamp(j.chartKind, 0, 2)] << "\n";
    for (const SessionMessage& m : j.messages) {
        const bool warning = m.kind == SessionMessage::Kind::Warning;
        out << "  [" << (warning ? "警告メッセージ" : "ガイドメッセージ") << "] " << m.text << "\n";
    }
    if (j.error)
        out << "  [エラー] " << *j.error << "\n";
    out << "  規格判定: " << ShownVerdict(j.spec) << "   不良率判定: " << ShownVerdict(j.calc)
        << "   SPC異常判定: " << ShownVerdict(j.spc) << "\n";

    const auto& l = j.limits;
    if (std::any_of(l.begin(), l.end(), [](const std::string& t) { return !t.empty(); })) {
        out << "  管理限界値 X: 平均値 " << l[LimitXcl] << "  ＋３σ " << l[LimitUcl3] << "  ＋２σ " << l[LimitUcl2]
            << "  ＋１σ " << l[LimitUcl1] << "  －１σ " << l[LimitLcl1] << "  －２σ " << l[LimitLcl2] << "  －３σ "
            << l[LimitLcl3] << "\n";
        out << "  管理限界値 " << SpreadSideName(j.chartKind) << ": 平均値 " << l[LimitRcl] << "  ＋３σ "
            << l[LimitRsUcl3] << "  ＋２σ " << l[LimitRsUcl2] << "  ＋１σ " << l[LimitRsUcl1] << "\n";
    }

    auto label = [&](int row) -> std::string {
        const size_t i = static_cast<size_t>(row - 1);
        return i < j.lotLabels.size() ? j.lotLabels[i] : std::string();
    };

    // Values outside the specification, lot by lot.
    if (!j.marked.empty()) {
        out << "  規格外の値:";
        int lastRow = -1;
        for (const CellPos& p : j.marked) {
            if (p.row != lastRow) {
                out << (lastRow < 0 ? " " : "; ") << label(p.row) << " ";
                lastRow = p.row;
            } else {
                out << ",";
            }
            out << "N" << p.col + 1;
        }
        out << "\n";
    }

    // Rows of the statistics table whose index lies below the threshold.
    std::string calcList;
    for (const CalcRow& row : j.calcRows) {
        if (row[CalcVerdict] != kVerdictNg)
            continue;
        if (!calcList.empty())
            calcList += "; ";
        calcList += row[CalcLot] + " (CP " + row[CalcCp] + ", CPK " + row[CalcCpk] + ")";
    }
    if (!calcList.empty())
        out << "  不良率判定 ×: " << calcList << "\n";

    // Lots with an abnormal SPC result and the rules that marked them.
    std::string spcList;
    for (const SpcRow& row : j.spcRows) {
        if (row[kSpcVerdictColumn] != kSpcVerdictAbnormal)
            continue;
        if (!spcList.empty())
            spcList += "; ";
        spcList += row[0] + " (";
        bool first = true;
        for (int c = 1; c <= 16; ++c) {
            if (row[static_cast<size_t>(c)] != kSpcMarkAbnormal)
                continue;
            if (!first)
                spcList += ",";
            spcList += SpcColumnTitle(c, j.chartKind);
            first = false;
        }
        spcList += ")";
    }
    if (!spcList.empty())
        out << "  SPC異常: " << spcList << "\n";

    const CapabilityStudy& c = j.capability;
    if (!c.why.empty()) {
        out << "  工程能力: " << c.why << "\n";
    } else {
        out << "  工程能力 " << IndexSetText(kWithinSide, c.within) << "\n";
        out << "  工程能力 " << IndexSetText(kOverallSide, c.overall) << "\n";
    }
}

int RunJudge(const JudgeOptions& options, std::ostream& out, std::ostream& err)
{
    using json = nlohmann::ordered_json;
    auto dump = [](const json& v) { return v.dump(-1, ' ', false, json::error_handler_t::replace); };

    WorkbookReader workbooks;
    bool unreadable = false;
    int sheets = 0, passed = 0, failed = 0, unfinished = 0;

    if (options.json)
        out << "{\"files\": [";
    bool firstFile = true;
    for (const std::string& file : options.files) {
        LoadedFile loaded = IsWorkbookName(file) ? workbooks.load(file) : LoadCsvFile(file);
        if (loaded.error.empty() && options.sheet > static_cast<int>(loaded.sheets.size())) {
            loaded.error = "ワークシート " + std::to_string(options.sheet) +
                           " がありません（ファイルのワークシートは " + std::to_string(loaded.sheets.size()) +
                           " 枚です）。";
        }
        if (options.json) {
            out << (firstFile ? "\n" : ",\n") << "{\"file\": " << dump(json(file)) << ", \"sheets\": [";
            firstFile = false;
        }
        if (!loaded.error.empty()) {
            unreadable = true;
            err << "trevolo-cli: " << file << ": " << loaded.error << "\n";
            if (options.json)
                out << "], \"error\": " << dump(json(loaded.error)) << "}";
            continue;
        }
        bool firstSheet = true;
        for (size_t i = 0; i < loaded.sheets.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            if (options.sheet != 0 && number != options.sheet)
                continue;
            const SheetJudgment j =
                JudgeSheet(loaded.sheets[i], options.settings, options.limits ? &*options.limits : nullptr);
            // The record is not needed once judged; a large workbook need not
            // stay in memory twice.
            loaded.sheets[i] = Struct_Sheet();
            ++sheets;
            if (j.passed())
                ++passed;
            else if (j.spec == Verdict::Fail || j.calc == Verdict::Fail || j.spc == Verdict::Fail)
                ++failed;
            else
                ++unfinished;
            if (options.json) {
                out << (firstSheet ? "\n" : ",\n") << dump(SheetJson(number, j));
                firstSheet = false;
            } else {
                WriteSheetText(out, file, number, j);
            }
        }
        if (options.json)
            out << "]}";
    }
    if (options.json) {
        out << "\n]}\n";
    } else {
        out << "判定 " << sheets << " シート: 合格 " << passed << ", 不合格 " << failed << ", 判定未完了 "
            << unfinished;
        if (unreadable)
            out << " (読めないファイルあり)";
        out << "\n";
    }
    out.flush();
    if (unreadable)
        return kExitUnusable;
    return passed == sheets ? kExitPassed : kExitFailed;
}

}  // namespace trevolo::cli
