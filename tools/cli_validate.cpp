#include "cli_validate.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_judge.h"
#include "model/number.h"
#include "stats/coefficient_limits.h"
#include "stats/process_capability.h"

namespace trevolo::cli {

namespace {

using json = nlohmann::json;

// One printed line of the table.
struct Row {
    std::string dataset;
    std::string figure;
    std::string published;
    std::string ours;
    std::string agreement;
    bool agrees = false;
};

// Width of a text on a terminal: none for a combining mark (the bar of X̄),
// two columns for the Japanese and full-width characters, one for the rest.
size_t Columns(const std::string& t)
{
    size_t w = 0;
    for (size_t i = 0; i < t.size();) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t code = len == 1 ? c : c & (0x3F >> (len - 1));
        for (size_t k = 1; k < len && i + k < t.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(t[i + k]) & 0x3F);
        if (code >= 0x300 && code < 0x370)
            w += 0;
        else if ((code >= 0x3000 && code < 0xA000) || (code >= 0xFF00 && code < 0xFF61))
            w += 2;
        else
            w += 1;
        i += len;
    }
    return w;
}

std::string Pad(const std::string& t, size_t width)
{
    const size_t w = Columns(t);
    return w >= width ? t + " " : t + std::string(width - w, ' ');
}

int ChartOf(const std::string& name)
{
    for (size_t i = 0; i < kChartNames.size(); ++i)
        if (name == kChartNames[i])
            return static_cast<int>(i);
    throw std::runtime_error("chart \"" + name + "\" is not xbar-r, xbar-s or x-rs");
}

// Digits after the decimal point of a printed figure.
int DecimalsOf(const std::string& printed)
{
    const size_t dot = printed.find('.');
    return dot == std::string::npos ? 0 : static_cast<int>(printed.size() - dot - 1);
}

// Our value of a named figure, computed as the window computes it.
class Figures {
public:
    Figures(const LotTable& lots, const json& check)
    {
        const int chart = ChartOf(check.at("chart").get<std::string>());
        const ControlLimitResult limits = ComputeCoefficientLimits(lots, chart);
        if (limits.error)
            throw std::runtime_error(limits.error->message());
        if (limits.stop)
            throw std::runtime_error(*limits.stop);
        if (limits.computed) {
            const std::pair<const char*, int> lines[] = {{"x.cl", LimitXcl},
                                                         {"x.ucl", LimitUcl3},
                                                         {"x.lcl", LimitLcl3},
                                                         {"spread.cl", LimitRcl},
                                                         {"spread.ucl", LimitRsUcl3}};
            for (const auto& [name, field] : lines)
                values_[name] = limits.values[static_cast<size_t>(field)];
        }
        CapabilityStudyInput in;
        in.chartKind = chart;
        std::string upper;
        std::string lower;
        if (check.contains("limits")) {
            const json& given = check["limits"];
            upper = given.value("upper", "");
            lower = given.value("lower", "");
            in.specKind = upper.empty() ? SpecLowerOnly : lower.empty() ? SpecUpperOnly : SpecTolerance;
        }
        in.upper = upper;
        in.lower = lower;
        in.thresholdOn = false;
        in.confidence = check.value("confidence", 0.95);
        const SubgroupSummary summary = SummariseSubgroups(lots, chart);
        values_["mean"] = static_cast<double>(summary.mean);
        values_["sigma.overall"] = static_cast<double>(summary.overallStdev);
        if (!summary.stop)
            values_["sigma.within"] = static_cast<double>(WithinSigma(summary, chart));
        if (check.contains("limits")) {
            CapabilityStudy study = StudyCapability(lots, in);
            // A source that takes N − 1 degrees of freedom for σ within too
            // (qcc): its bounds from the same formulas with that ν.
            if (check.value("dof", "") == "n-1" && study.within.computed) {
                CapabilityIndexSet& w = study.within;
                const double n = study.values;
                w.cpLower = in.specKind == SpecTolerance ? CpLowerBound(w.cp, n - 1, in.confidence)
                                                         : CpkLowerBound(w.cp, n, n - 1, in.confidence);
                w.cpkLower = CpkLowerBound(w.cpk, n, n - 1, in.confidence);
            }
            add(study.within, "cp", "cpk");
            add(study.overall, "pp", "ppk");
        }
    }

    std::optional<double> get(const std::string& name) const
    {
        const auto it = values_.find(name);
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }

private:
    void add(const CapabilityIndexSet& s, const std::string& cp, const std::string& cpk)
    {
        if (!s.computed)
            return;
        values_[cp] = s.cp;
        values_[cpk] = s.cpk;
        values_[cp + ".lower"] = s.cpLower;
        values_[cpk + ".lower"] = s.cpkLower;
    }

    std::map<std::string, double> values_;
};

void RunDataset(const std::filesystem::path& file, std::vector<Row>& rows)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot be opened");
    const json pack = json::parse(in);
    std::vector<Lot> lots;
    for (const json& lot : pack.at("lots")) {
        Lot l;
        l.label = std::to_string(lots.size() + 1);
        for (const json& v : lot)
            l.cells.push_back(v.get<std::string>());
        lots.push_back(std::move(l));
    }
    const LotTable table(std::move(lots));
    for (const json& check : pack.at("checks")) {
        const Figures ours(table, check);
        const std::string name = check.at("name").get<std::string>();
        for (const json& f : check.at("figures")) {
            Row r;
            r.dataset = name;
            r.figure = f.at("label").get<std::string>();
            r.published = f.at("published").get<std::string>();
            const int decimals = DecimalsOf(r.published);
            // Half a unit of the last printed digit, and what the source's own
            // rounding of a constant adds where it differs from ours.
            const double tolerance = 0.5 * std::pow(10.0, -decimals) + f.value("convention", 0.0);
            const std::optional<double> value = ours.get(f.at("figure").get<std::string>());
            double published = 0;
            if (!TryStrToFloat(r.published, published))
                throw std::runtime_error("published figure \"" + r.published + "\" is not a number");
            if (!value) {
                r.ours = "－";
                r.agreement = "×  計算できません";
            } else {
                r.ours = FormatFixed(*value, decimals + 2);
                r.agrees = std::fabs(*value - published) <= tolerance * (1 + 1e-9);
                r.agreement = (r.agrees ? "○  ±" : "×  ±") + FormatFixed(tolerance, decimals + 1);
            }
            rows.push_back(std::move(r));
        }
    }
}

}  // namespace

int RunValidate(const std::string& folder, std::ostream& out, std::ostream& err)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().extension() == ".json")
            files.push_back(entry.path());
    if (ec || files.empty()) {
        err << "trevolo-cli: validate: " << folder << ": 検証データが見つかりません。\n";
        return kExitUnusable;
    }
    std::sort(files.begin(), files.end());
    std::vector<Row> rows;
    for (const auto& file : files) {
        try {
            RunDataset(file, rows);
        } catch (const std::exception& e) {
            err << "trevolo-cli: validate: " << file.filename().string() << ": " << e.what() << "\n";
            return kExitUnusable;
        }
    }
    const Row header{"データセット", "項目", "公表値", "計算値", "一致（公表の桁）", false};
    size_t widths[4] = {};
    for (const Row* r : {&header}) {
        widths[0] = Columns(r->dataset);
        widths[1] = Columns(r->figure);
        widths[2] = Columns(r->published);
        widths[3] = Columns(r->ours);
    }
    for (const Row& r : rows) {
        widths[0] = std::max(widths[0], Columns(r.dataset));
        widths[1] = std::max(widths[1], Columns(r.figure));
        widths[2] = std::max(widths[2], Columns(r.published));
        widths[3] = std::max(widths[3], Columns(r.ours));
    }
    auto line = [&](const Row& r) {
        out << Pad(r.dataset, widths[0] + 2) << Pad(r.figure, widths[1] + 2) << Pad(r.published, widths[2] + 2)
            << Pad(r.ours, widths[3] + 2) << r.agreement << "\n";
    };
    line(header);
    int agreeing = 0;
    for (const Row& r : rows) {
        line(r);
        agreeing += r.agrees ? 1 : 0;
    }
    const int total = static_cast<int>(rows.size());
    out << "\n"
        << total << " 項目中 " << agreeing << " 項目が公表値と一致"
        << (agreeing == total ? "しました。" : "しました。一致しない項目があります。") << "\n";
    return agreeing == total ? kExitPassed : kExitFailed;
}

}  // namespace trevolo::cli
