#pragma once
// The shared records of the program: one sheet of the workbook, the initial
// values, the SPC rule options and the program's version.
#include <cstdint>
#include <string>
#include <vector>

namespace trevolo {

// Texts of the specification kinds, item order of the kind list.
inline constexpr const char* kSpecKindTexts[3] = {"公差規格", "上限規格", "下限規格"};
// Texts of the chart kinds, item order of the chart list.
inline constexpr const char* kChartTexts[3] = {"XbarR管理図", "XbarS管理図", "X-Rs管理図"};
// Texts of the control-limit methods; the stored index is the item's.
inline constexpr const char* kLimitTexts[3] = {"３シグマ法", "指定管理値", "係数法（JIS Z 9020-2）"};
// Texts of the Cp/Cpk choice.
inline constexpr const char* kCpCpkTexts[2] = {"CP", "CPK"};

// The item indices of the kind lists, as records and settings keep them.
enum : int { SpecTolerance = 0, SpecUpperOnly = 1, SpecLowerOnly = 2 };
enum : int { ChartXbarR = 0, ChartXbarS = 1, ChartXRs = 2 };

// The specification kind and the chart kind of a shown sheet. Records and
// settings keep the item index; these convert at that boundary, an index
// out of range taking the first item.
enum class SpecKind : int { Tolerance = SpecTolerance, UpperOnly = SpecUpperOnly, LowerOnly = SpecLowerOnly };
enum class ChartKind : int { XbarR = ChartXbarR, XbarS = ChartXbarS, XRs = ChartXRs };

constexpr SpecKind SpecKindOfIndex(int index) noexcept
{
    return index >= 0 && index <= 2 ? static_cast<SpecKind>(index) : SpecKind::Tolerance;
}
constexpr ChartKind ChartKindOfIndex(int index) noexcept
{
    return index >= 0 && index <= 2 ? static_cast<ChartKind>(index) : ChartKind::XbarR;
}
constexpr int IndexOf(SpecKind kind) noexcept
{
    return static_cast<int>(kind);
}
constexpr int IndexOf(ChartKind kind) noexcept
{
    return static_cast<int>(kind);
}

// The name of a chart kind's second side, the spread of the lots: "S"
// (standard deviations) for XbarS, "Rs" (moving ranges) for X-Rs, "R"
// (ranges) for XbarR and any other value. The tables, charts, captions and
// reports name that side after it ("Rs管理図", "S①", "SPC異常判定(X側-R側)").
constexpr const char* SpreadSideName(int chartKind) noexcept
{
    switch (chartKind) {
    case ChartXbarS:
        return "S";
    case ChartXRs:
        return "Rs";
    default:
        return "R";
    }
}

// The chart kind a sheet of n values per lot is judged on: a sheet of one
// value per lot has no range or deviation within a lot, so n = 1 takes the
// X-Rs chart whatever kind is chosen; any other n takes the chosen kind.
constexpr int ShownChartKind(int n, int chosenChart) noexcept
{
    return n == 1 ? ChartXRs : chosenChart;
}

// Range of the lot count and of n per lot.
inline constexpr int kMinLots = 10;
inline constexpr int kMaxLots = 1000;
inline constexpr int kMinN = 1;
inline constexpr int kMaxN = 100;
inline constexpr int kMaxSheets = 100;

// One element of the workbook: what a sheet stores. The statistics, limits
// and verdicts are not stored; the judgment commands produce them again.
struct SheetRecord {
    std::string product;       // 品種名称
    std::string process;       // 工程名称
    std::string machine;       // 装置名称
    std::string label;         // 項目名称, also the tab caption
    std::string unit;          // 測定単位
    std::string specKindText;  // the kind's display text
    std::string decimals;      // decimals as text "0".."5"
    std::string upperSpec;     // upper specification limit as shown, or empty
    std::string lowerSpec;     // lower specification limit as shown, or empty
    std::int32_t lots = 0;     // number of lots
    std::int32_t n = 0;        // values per lot (n)
    // A sheet whose lists exist is initialised; a newly appended element has
    // none until the next sheet-count change initialises it.
    bool hasLists = false;
    std::vector<std::string> checkList;  // one line per lot: "1" enabled, "0" not
    std::vector<std::string> dataList;   // one line per lot: label, comma text of values
    // One entry per lot row for a sheet opened from the plant store: the
    // stored lot the row shows (its id, place and content, as the store
    // module writes them), empty for a row that did not come from the store.
    // Kept with the sheet in the crash journal; no exchange file carries it.
    std::vector<std::string> storeRefs;
};

using SheetArray = std::vector<SheetRecord>;

// The initial values for new sheets and for the per-view selections.
struct InitialValues {
    std::int32_t sheetCount = 0;
    std::int32_t lots = 0;
    std::int32_t n = 0;
    std::string unit;
    std::int32_t specKind = 0;
    std::int32_t decimals = 0;
    bool cpkCheck = false;
    std::int32_t cpkIndex = 0;
    std::string cpCpk;
    std::int32_t chartKind = 0;
    std::int32_t limitMethod = 0;

    // The values of a first start.
    static InitialValues Defaults();
};

// The SPC rule options: rule N on or off, and the run lengths and counts.
struct RuleOptions {
    bool beyondLimits = false, sameSide = false, trend = false, alternating = false;
    bool beyond2Sigma = false, beyond1Sigma = false, within1Sigma = false, outside1Sigma = false;
    std::int32_t sameSideRun = 0;
    std::int32_t trendRun = 0;
    std::int32_t alternatingRun = 0;
    std::int32_t beyond2SigmaBlock = 0;
    std::int32_t beyond2SigmaHits = 0;
    std::int32_t beyond1SigmaBlock = 0;
    std::int32_t beyond1SigmaHits = 0;
    std::int32_t within1SigmaRun = 0;
    std::int32_t outside1SigmaRun = 0;

    // The values of a first start (every rule on, the usual run lengths).
    static RuleOptions Defaults();

    bool check(int rule) const;        // rule 1..8
    void setCheck(int rule, bool on);  // rule 1..8
};

struct ProgramVersion {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t release = 0;
    std::int32_t build = 0;
    std::string versionText;
};

bool operator==(const InitialValues&, const InitialValues&);
bool operator==(const RuleOptions&, const RuleOptions&);
bool operator==(const SheetRecord&, const SheetRecord&);

}  // namespace trevolo
