#pragma once
// The SPC rule options as the rule-settings dialog offers them: the captions
// of the eight rules, the nine lists of run lengths and counts with their
// allowed items, the check the dialog runs before storing, and the usual
// values restored by "初期値に戻す".
#include <array>
#include <cstdint>
#include <optional>

#include "model/comtype.h"

namespace trevolo {

inline constexpr const char* kOptionFormCaption = "異常判定ルール設定";
inline constexpr const char* kRuleGroupCaption = "SPC判定ルール（管理限界値任意設定が自動反映）";
inline constexpr const char* kRuleOptionsInvalidMessage = "設定値が異常です。見直してください…";

// Captions of rules 1 to 8 (index rule - 1). Each run of ASCII spaces marks
// where a list sits: the first run holds the first list of the row, the
// second run (rules 5 and 6) the second list.
inline constexpr const char* kRuleCaptions[8] = {
    "①1点が管理限界線(3シグマ)を超えている",    "②      点が中心値に対して同じ側にある",
    "③      点が増加、または減少している",      "④      点が交互に増減している",
    "⑤連続する      点中、     点が > 2シグマ", "⑥連続する      点中、     点が > 1シグマ",
    "⑦連続する      点が <= 1シグマ",           "⑧連続する      点が > 1シグマ",
};

// The nine lists, in the order of their rows (and of the dialog's lists).
enum RuleList : int {
    ListSameSideRun = 0,    // rule 2: run length on one side of the centre line
    ListTrendRun,           // rule 3: consecutive rises or falls
    ListAlternatingRun,     // rule 4: alternating moves
    ListBeyond2SigmaBlock,  // rule 5: block length
    ListBeyond2SigmaHits,   // rule 5: hits beyond ±2σ in a block
    ListBeyond1SigmaBlock,  // rule 6: block length
    ListBeyond1SigmaHits,   // rule 6: hits beyond ±1σ in a block
    ListWithin1SigmaRun,    // rule 7: block length = hits within ±1σ
    ListOutside1SigmaRun,   // rule 8: block length = hits beyond ±1σ
};
inline constexpr int kRuleListCount = 9;

struct RuleListInfo {
    int rule;                  // the rule whose row holds the list, 2..8
    int slot;                  // 0: the first list of the row, 1: the second
    const char* control;       // name of the dialog's list
    std::array<int, 5> items;  // the values offered, ascending
};

inline constexpr std::array<RuleListInfo, kRuleListCount> kRuleLists = {{
    {2, 0, "cmbOption2", {7, 8, 9, 10, 11}},
    {3, 0, "cmbOption3", {4, 5, 6, 7, 8}},
    {4, 0, "cmbOption4", {12, 13, 14, 15, 16}},
    {5, 0, "cmbOption5_1", {3, 4, 5, 6, 7}},
    {5, 1, "cmbOption5_2", {2, 3, 4, 5, 6}},
    {6, 0, "cmbOption6_1", {5, 6, 7, 8, 9}},
    {6, 1, "cmbOption6_2", {4, 5, 6, 7, 8}},
    {7, 0, "cmbOption7", {13, 14, 15, 16, 17}},
    {8, 0, "cmbOption8", {6, 7, 8, 9, 10}},
}};

// The field of RuleOptions that a list edits.
std::int32_t& RuleListValue(RuleOptions& options, int list);
std::int32_t RuleListValue(const RuleOptions& options, int list);

// Position of value among the list's items, or -1 when it is not one of them
// (possible only for a value edited by hand in the stored settings).
int RuleListItemIndex(int list, int value) noexcept;

// The usual value of a list (RuleOptions::Defaults()).
int RuleListDefault(int list);

// The check made before the options are stored. Returns the list the user
// must correct, or nothing when the options may be stored:
//   - first, a list whose value is not one of its items (a list left without
//     a selection), in list order;
//   - then rule 5: a block length smaller than its hit count -> ListBeyond2SigmaBlock;
//   - then rule 6 likewise -> ListBeyond1SigmaBlock.
// A block length equal to the hit count is accepted. The message to show is
// kRuleOptionsInvalidMessage in every case.
std::optional<int> ValidateRuleOptions(const RuleOptions& options);

// The options with the nine run lengths and counts at their usual values;
// the rule switches are kept as they are.
RuleOptions WithDefaultRuleValues(const RuleOptions& options);

}  // namespace trevolo
