#pragma once
// The specification judgment of the measured values: the checks that must
// pass before it runs, the cleanup of blank cells, the judgment against the
// limits in force, the paint-time marking of out-of-limit values, and the
// hidden demo fill. The command handler keeps the order of steps, the focus,
// the cursor, the flags and the messages; these functions only compute.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/comtype.h"
#include "stats/lot_table.h"

namespace trevolo {

// The header fields the judgment reads, as texts with the enabled states of
// the two limit fields (which follow the specification kind).
struct SpecHeaderTexts {
    std::string_view label;  // the item name
    std::string_view unit;   // the unit of measure
    std::string_view upper;  // the upper specification limit
    std::string_view lower;  // the lower specification limit
    bool upperEnabled = true;
    bool lowerEnabled = true;
    int kind = SpecTolerance;  // the specification kind (SpecKind)
};

// The first required field that is blank, in the order of the check; the
// window gives that field the focus.
enum class RequiredField { None, Label, Unit, Upper, Lower };
RequiredField FindMissingRequiredField(const SpecHeaderTexts& header) noexcept;

// The limits in force for a kind. Kind 1 judges the upper limit only, kind 2
// the lower only, any other kind both. Bounds are inclusive.
struct SpecLimits {
    int kind = SpecTolerance;
    double upper = 0;
    double lower = 0;

    bool upperInForce() const noexcept { return kind != SpecLowerOnly; }
    bool lowerInForce() const noexcept { return kind != SpecUpperOnly; }
    // True when v lies outside; a value equal to a limit is inside.
    bool outside(double v) const noexcept { return (upperInForce() && v > upper) || (lowerInForce() && v < lower); }
};

// Converts the limits in force (the upper, then the lower); a limit not in
// force is not read. False when a limit in force is not a number.
bool ParseSpecLimits(int kind, std::string_view upper, std::string_view lower, SpecLimits& out) noexcept;

// Why the judgment command stops before judging, in the order it checks.
enum class SpecStop {
    None,             // checks passed: judge
    MissingField,     // "必須項目が入力されていません。"
    LimitNotNumber,   // "入力値が「未入力」または、「異常値」です。…"
    NoControlLimits,  // "管理限界値が設定されていません。"
};

struct SpecPrecheck {
    SpecStop stop = SpecStop::None;
    RequiredField missing = RequiredField::None;  // set with MissingField
    SpecLimits limits;                            // valid with None
};

// The three checks of the command in order: required fields, limits in force,
// and the nine visible control-limit fields (any order; blank fails).
SpecPrecheck PrecheckSpecJudgment(const SpecHeaderTexts& header,
                                  std::span<const std::string_view> controlLimitTexts) noexcept;

// The message box of a stop: text and whether it is the warning box
// ("警告メッセージ") rather than the guidance box ("ガイドメッセージ").
// Empty text for SpecStop::None.
struct SpecStopMessage {
    const char* text = "";
    bool warning = false;
};
SpecStopMessage MessageForStop(SpecStop stop) noexcept;

inline constexpr const char* kMsgRequiredMissing = "必須項目が入力されていません。";
inline constexpr const char* kMsgSpecLimitInvalid =
    "入力値が「未入力」または、「異常値」です。「規格上限／規格下限」の値を確認してください…。（※入力必須項目です）";
inline constexpr const char* kMsgNoControlLimits = "管理限界値が設定されていません。";

// Outcome of judging the measured values of every lot (enabled or not).
struct SpecJudgment {
    // Cells holding only blanks (characters of code 32 or less) but not
    // empty: the command sets each to the empty text before anything else is
    // shown, also when the judgment then stops on a conversion error.
    std::vector<CellPos> blanked;
    int judged = 0;       // values judged, failing ones included
    bool failed = false;  // a value lay outside
    // A value that is not a number stopped the judgment there; the verdict is
    // then None and the command reports the error after the cleanup.
    std::optional<ConvertFailure> error;

    // Pass or Fail when a value was judged and nothing stopped the run, else None.
    Verdict verdict() const noexcept;
};

// Walks rows top to bottom and columns left to right. Within a row, the
// values after the first failing one are not examined: the verdict is already
// decided, and the paint-time marking still shows each of them.
SpecJudgment JudgeSpecification(const LotSource& lots, const SpecLimits& limits);

// Paint-time marking of one measurement cell (row 0 is the header). True when
// the marking flag is set, the cell is a data cell with a non-blank text and
// its value lies outside the limits of the kind; a value or limit in force
// that is not a number gives false.
struct SpecMarking {
    bool flag = false;  // the marking flag of the specification judgment
    int kind = SpecTolerance;
    std::string_view upper;
    std::string_view lower;
};
bool SpecCellIsRed(int row, std::string_view text, const SpecMarking& marking) noexcept;

// The demo fill: a text for every cell of lots x cols, row-major. Each value
// is r / 10^(d+1) + L with r drawn uniformly from 0 .. 10^(d+1) - 1, less 0.5
// when above 0.5, shown with d decimals (d = the decimals text, 0..5; L = the
// lower limit). When L or d cannot be used the result is empty: nothing is
// filled and nothing is reported.
std::vector<std::string> MakeDemoValues(int lots, int cols, std::string_view decimalsText, std::string_view lowerText,
                                        std::uint64_t seed);

}  // namespace trevolo
