#pragma once
// The batch judgment: every sheet of every file judged as the window would
// show it, written as a readable report or as one JSON object.
#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/comtype.h"
#include "document/judgment_chain.h"
#include "stats/control_limits.h"

namespace trevolo::cli {

// Exit statuses.
inline constexpr int kExitPassed = 0;    // every sheet judged, every verdict "合格"
inline constexpr int kExitFailed = 1;    // a verdict "不合格", or a sheet stopped by a message or an error
inline constexpr int kExitUnusable = 2;  // a file could not be read, or the options are wrong

struct JudgeOptions {
    ChainSettings settings;
    // Typed limits; none for the computation of settings.limitMethod.
    std::optional<std::array<std::string, kLimitFields>> limits;
    int sheet = 0;  // only this worksheet (from 1); 0 for all
    // Sheets judged at once, each by a thread of its own; 0 for one per core.
    // The report is the same whatever the count.
    int jobs = 0;
    bool json = false;
    std::vector<std::string> files;
};

// The command-line names of the chart kinds, in the order of the kinds.
inline constexpr std::array<const char*, 3> kChartNames = {"xbar-r", "xbar-s", "x-rs"};

// The two sides of the capability study as the report names them.
struct CapabilitySide {
    const char* title;
    const char* cp;  // JSON keys
    const char* cpk;
    const char* cpTitle;
    const char* cpkTitle;
};
inline constexpr CapabilitySide kWithinSide = {"群内", "cp", "cpk", "Cp", "Cpk"};
inline constexpr CapabilitySide kOverallSide = {"全体", "pp", "ppk", "Pp", "Ppk"};

// The capability study of a sheet: values, mean, and for σ within and σ
// overall the indices with their lower bounds and verdict; numbers that
// could not be computed are null with a note saying why.
nlohmann::ordered_json CapabilityJson(const CapabilityStudy& c);

// One sheet in the JSON of the run.
nlohmann::ordered_json SheetJson(int sheet, const SheetJudgment& j);

// One sheet in the readable report.
void WriteSheetText(std::ostream& out, const std::string& file, int sheet, const SheetJudgment& j);

// Judges every file and writes the report to out and the reasons of files
// that could not be read to err; returns the exit status.
int RunJudge(const JudgeOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trevolo::cli
