#pragma once
// SPC abnormality judgment: eight run rules applied to one value per lot,
// once on the X side (lot means) and once on the R/S/Rs side (lot ranges,
// standard deviations or moving ranges), against the control lines as they
// stand in the limit fields. The result is the SPC table: per lot row the lot
// label, eight marks per side and the lot's verdict.
//
// Reading order and failure: each side converts all its line texts (in the
// order of the side's fields) and then all its lot value texts before it
// writes anything; the first text that is blank or not a number stops the
// side with ConvertError naming that text. A failing side therefore leaves its
// columns empty, a failing R/S/Rs side leaves the X columns filled and the
// verdict column empty.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/comtype.h"
#include "model/number.h"

namespace trevolo {

// --- Texts of the SPC table and its verdict panel ---------------------------

inline constexpr const char* kSpcMarkNormal = "○";    // rule on, nothing at this lot
inline constexpr const char* kSpcMarkAbnormal = "×";  // rule on, abnormality completed here
inline constexpr const char* kSpcMarkOff = "－";      // rule switched off
inline constexpr const char* kSpcVerdictNormal = "○異常なし";
inline constexpr const char* kSpcVerdictAbnormal = "×異常あり";
inline constexpr const char* kSpcPanelPass = "合格";
inline constexpr const char* kSpcPanelFail = "不合格";

// The guidance message of a lot the S side cannot judge: a lot with a single
// value has no standard deviation. %s is the lot's label.
inline constexpr const char* kMsgSingleValueLot =
    "ロット「%s」の測定値が１つのため、S側の異常判定ができません。"
    "測定値を２つ以上入力するか、このロットを「無効」にしてください…";
std::string SingleValueLotMessage(std::string_view label);

inline constexpr int kSpcColumns = 18;  // label, 8 X rules, 8 R/S/Rs rules, verdict
inline constexpr int kSpcVerdictColumn = 17;
inline constexpr int kSpcRuleCount = 8;

// The marks of rules 1..8, as the SPC table's titles and the charts name them.
inline constexpr std::array<const char*, kSpcRuleCount> kSpcRuleMarks = {"①", "②", "③", "④", "⑤", "⑥", "⑦", "⑧"};

// The title of a rule column of the SPC table: "X①".."X⑧" for columns 1..8,
// the spread side's name and the mark for 9..16 ("R①", "S⑧", "Rs③", after
// the chart kind); empty for any other column.
std::string SpcColumnTitle(int column, int chartKind);

// True when a cell text, trimmed, begins with "×" (rule marks and the
// abnormal verdict): such cells are drawn in red.
bool IsSpcAbnormalText(std::string_view text) noexcept;

// --- Sides and where their values come from ---------------------------------

// The value of each side is its column offset in the SPC table: rule r of a
// side is written to column offset + r.
enum class SpcSide : int { X = 0, Dispersion = 8 };

constexpr int SpcColumnOffset(SpcSide side) noexcept
{
    return static_cast<int>(side);
}

// Columns of the statistics table the lot values are read from.
inline constexpr int kCalcColumnLabel = 0;
inline constexpr int kCalcColumnMean = 4;   // "X"
inline constexpr int kCalcColumnRange = 5;  // "R" (range, or moving range for X-Rs)
inline constexpr int kCalcColumnStdev = 6;  // "STDEV"

// The statistics column of a side: the mean for X; for the other side the
// standard deviation when the chart kind text is "XbarS管理図", otherwise
// the range column.
int SpcValueColumn(SpcSide side, std::string_view chartText) noexcept;

// --- Lines -----------------------------------------------------------------

struct SpcLines {
    double CL = 0;
    double U3 = 0, U2 = 0, U1 = 0;
    double L3 = 0, L2 = 0, L1 = 0;
};

// Texts of the X side's limit fields, as shown.
struct SpcXLineTexts {
    std::string Xcl, Ucl3, Ucl2, Ucl1, Lcl3, Lcl2, Lcl1;  // centre line, +3σ, ..., -1σ
};

// Texts of the R/S/Rs side's limit lines, as shown (its +2σ and +1σ lines
// are not shown; they follow the centre and +3σ lines). Its lower lines are 0.
struct SpcDispersionLineTexts {
    std::string Rcl, RsUcl3, RsUcl2, RsUcl1;
};

// Converts the line texts in the order the side reads them: X side the
// centre line, +3σ, -3σ, +2σ, +1σ, -2σ, -1σ; other side the centre line,
// +3σ, +2σ, +1σ. Throws ConvertError for the
// first text that is blank or not a number.
SpcLines ParseSpcLines(const SpcXLineTexts& texts);
SpcLines ParseSpcLines(const SpcDispersionLineTexts& texts);

// Converts the lot value texts in lot order; throws ConvertError for the
// first one that is blank or not a number.
std::vector<double> ParseSpcValues(std::span<const std::string> texts);

// --- Zones and marks -------------------------------------------------------

// Zone class of a value, tested in this order:
//   1  v > U2 or v < L2   (beyond ±2σ)
//   2  v > U1 or v < L1   (beyond ±1σ)
//   3  otherwise          (within the ±1σ lines, lines included)
std::uint8_t SpcZoneClass(double v, const SpcLines& lines) noexcept;

// Which zone classes count as hits for a zone rule (bit z for class z).
enum SpcZoneHit : unsigned {
    kHitBeyond2Sigma = 1u << 1,                // rule 5
    kHitBeyond1Sigma = (1u << 1) | (1u << 2),  // rules 6 and 8
    kHitWithin1Sigma = 1u << 3,                // rule 7
};

enum class SpcMark : std::uint8_t { Off, Normal, Abnormal };

const char* SpcMarkText(SpcMark mark) noexcept;

// Rules 5 to 8 over fixed, non-overlapping blocks of w lots counted from the
// first lot: within a block, the lot of the k-th hit is marked and the hit
// count starts again; hits never add up across a block boundary. With the
// rule switched off every lot is Off. Writes out[i] for every lot i;
// out.size() must equal zones.size().
void JudgeZoneRule(bool on, std::span<const std::uint8_t> zones, unsigned hit, int k, int w, std::span<SpcMark> out);

// The marks of one side: rule[r - 1][lot index from 0].
struct SpcSideMarks {
    std::array<std::vector<SpcMark>, kSpcRuleCount> rule;
};

// All eight rules over converted lot values. Rules 2 to 4 mark only the lot
// at which a run completes and count again from nothing after a mark;
// rules 5 to 8 as JudgeZoneRule. Never throws for any option values.
SpcSideMarks EvaluateSpcRules(std::span<const double> values, const SpcLines& lines, const RuleOptions& options);

// --- The SPC table ---------------------------------------------------------

// Texts of the SPC table of one judgment: lot rows 1..lots() (the table's own
// row numbers, the header being row 0), columns 0..17. A cell no step has
// written is empty.
class SpcTable {
public:
    SpcTable() = default;
    // One lot row per label, the labels being column 0 of the statistics table.
    explicit SpcTable(std::vector<std::string> labels);

    int lots() const noexcept { return static_cast<int>(labels_.size()); }
    // Text of a cell; row 1..lots(), column 0..17.
    std::string_view text(int row, int column) const;

    bool sideWritten(SpcSide side) const noexcept;

    // Writes the lot labels and the side's eight rule columns.
    void writeSide(SpcSide side, const SpcSideMarks& marks);
    // Writes column 17 of every lot row; true when a lot is abnormal.
    bool writeVerdicts();

private:
    enum Cell : std::uint8_t { Empty, Label, Off, Normal, Abnormal, VerdictNormal, VerdictAbnormal };
    Cell& cell(int row, int column) { return cells_[static_cast<size_t>(row - 1) * kSpcColumns + column]; }
    Cell cell(int row, int column) const { return cells_[static_cast<size_t>(row - 1) * kSpcColumns + column]; }

    std::vector<std::string> labels_;
    std::vector<Cell> cells_;
    bool written_[2] = {false, false};
};

// One side of the judgment: converts the side's lines and then its lot value
// texts (one per lot row of the table), and only then writes the lot labels
// and the side's eight columns. Throws ConvertError for the first text that
// is blank or not a number, leaving the table unchanged; throws
// std::invalid_argument when the number of texts differs from table.lots().
void JudgeSpcSide(SpcTable& table, const SpcXLineTexts& lines, std::span<const std::string> valueTexts,
                  const RuleOptions& options);
void JudgeSpcSide(SpcTable& table, const SpcDispersionLineTexts& lines, std::span<const std::string> valueTexts,
                  const RuleOptions& options);

// Column 17: "×異常あり" for a lot row with a "×" in columns 1 to 16, else
// "○異常なし". Returns true when at least one lot is abnormal.
bool SetSpcVerdicts(SpcTable& table);

// --- The whole judgment ----------------------------------------------------

// What the judgment reads, gathered from the window: the lot rows of the
// statistics table (every row between the header and the total row) and the
// limit fields.
struct SpcInput {
    std::vector<std::string> labels;  // column 0
    SpcXLineTexts xLines;
    std::vector<std::string> xValues;  // column kCalcColumnMean
    SpcDispersionLineTexts dispersionLines;
    std::vector<std::string> dispersionValues;  // column SpcValueColumn(Dispersion, chart)
    // The R/S/Rs side reads the STDEV column ("XbarS管理図"). There the
    // statistics table leaves a lot's STDEV blank only when the lot has a
    // single value.
    bool dispersionIsStdev = false;
};

struct SpcJudgment {
    // The table as far as the judgment got: both sides and the verdicts on
    // success; the X side only when the other side failed; nothing when the
    // X side failed.
    SpcTable table;
    // The conversion error that stopped the judgment, to be reported as the
    // program reports any uncaught conversion error.
    std::optional<ConvertError> error;
    // The guidance message that stopped the judgment before the S side: a
    // lot with a single value (SingleValueLotMessage). The table then holds
    // the X side only and the panel keeps its previous caption.
    std::optional<std::string> stop;
    // Set only when the verdicts were written: true when a lot is abnormal
    // (panel "不合格"), false otherwise (panel "合格"). Unset after a failure:
    // the panel keeps its previous caption.
    std::optional<bool> abnormal;
};

// X side, then the R/S/Rs side, then the verdicts; stops at the first
// conversion error, or before the S side at the first lot without a
// standard deviation. Does not throw ConvertError.
SpcJudgment JudgeSpc(const SpcInput& input, const RuleOptions& options);

}  // namespace trevolo
