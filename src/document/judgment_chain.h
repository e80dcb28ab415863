#pragma once
// The judgment chain of one sheet as the batch tool runs it: the sheet is
// shown in a session of its own (its values brought to the sheet's
// decimals), the control limits are computed by the three-sigma method with
// the question answered Yes (or typed), and then the SPC judgment runs, which
// runs the capability judgment, which runs the specification judgment. These
// are the session's commands, the same the window's buttons run, so the
// chain stops where the window stops: at a message box, or at a text that is
// not a number (which the window reports in its general error box).
//
// The small helpers below are the steps of showing a sheet and of gathering
// the SPC judgment's input; the session and the window share them.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/sheet_session.h"
#include "model/cellstore.h"
#include "model/comtype.h"
#include "spc/rule_engine.h"
#include "stats/capability.h"
#include "stats/control_limits.h"
#include "stats/lot_table.h"
#include "stats/process_capability.h"

namespace trevolo {

// ---- showing a sheet ----

// The decimals a sheet is shown with: its decimals when that is a whole number
// (clamped to 0..5), 3 when it is blank or not a whole number.
int ShownDecimals(std::string_view decimals) noexcept;

// A specification limit as its field shows it: empty when blank, the number
// with the sheet's decimals, or the text as it is when it is not a number
// (the judgment names it when it runs).
std::string ShownSpecLimit(std::string_view text, int decimals);

// The lot count and n of the tables: the record's counts clamped to 10..1000
// and 1..100.
int ShownLots(int row) noexcept;
int ShownColumns(int col) noexcept;

// The warning shown when a loaded value is not a number.
inline constexpr const char* kMsgBadLoadedValue = "不適切な測定値が見つかりました。ファイルの内容を確認してください…";

// ---- the SPC judgment's input ----

// The text of a statistics table cell, lot row from 1.
using CalcTextAt = std::function<std::string_view(int row, int column)>;

// The lot rows 1..lotRows of the statistics table (the rows between the
// header and the total row) and the eleven limit fields, as the SPC judgment
// reads them.
SpcInput GatherSpcInput(int lotRows, const CalcTextAt& calcText, int chartKind,
                        const std::array<std::string, kLimitFields>& limits);

// ---- the judgments of a shown sheet ----

// The point at which a judgment starts its work, past its checks: the
// window stores the shown sheet there.
using WorkStart = std::function<void()>;

// The judgment commands of the shown sheet, as the window's buttons run
// them: the SPC judgment runs the capability judgment, which runs the
// specification judgment. Each stops at a message box or at a text that is
// not a number, and tells the session's listeners what it changed.
class JudgmentRunner {
public:
    explicit JudgmentRunner(SheetSession& session) : s_(session) {}

    Outcome specification(const WorkStart& start = {});
    Outcome capability(const WorkStart& start = {});
    // The SPC judgment reads the rule options, which the workbook keeps.
    Outcome spc(const RuleOptions& options, const WorkStart& start = {});

    // The whole chain of a shown sheet as the batch tool runs it: the limits
    // computed (answered Yes) or typed, then the SPC judgment, every value
    // converted once for all steps.
    // The capability study of the same converted values goes into study when
    // one is given. shown: the values show() gave, the tables unchanged
    // since; they are taken over instead of converting the texts again.
    Outcome runChain(const std::array<std::string, kLimitFields>* typedLimits, const RuleOptions& options,
                     CapabilityStudy* study = nullptr, NormalisedValues* shown = nullptr);

private:
    // The steps, over a source of lots (the tables, or their values
    // converted once).
    void specificationFrom(const LotSource& lots, const WorkStart& start, Outcome& o);
    void capabilityFrom(const LotSource& lots, const WorkStart& start, Outcome& o);
    void spcFrom(const LotSource& lots, const RuleOptions& options, const WorkStart& start, Outcome& o);

    SheetSession& s_;
};

// ---- the whole chain ----

// What a shown sheet takes from the settings, and the rule options.
struct ChainSettings {
    int chartIndex = ChartXbarR;        // the initial chart kind of the settings
    bool cpkCheck = true;               // whether the capability threshold is judged
    int cpkIndex = 1;                   // the index judged: 0 "CP", 1 "CPK"
    std::string cpCpk = "1.33";         // the capability threshold
    int limitMethod = LimitThreeSigma;  // how the limits are set (LimitMethod)
    RuleOptions options = RuleOptions::Defaults();

    static ChainSettings From(const InitialValues& settings, const RuleOptions& options);
};

using SpcRow = std::array<std::string, kSpcColumns>;

// What the window shows after the chain: the header and counts of the shown
// sheet, every message box in order, the conversion error that stopped the
// chain, the limit fields, the three verdict panels and the texts of the
// statistics and SPC tables.
struct SheetJudgment {
    std::string label;  // the item name
    int lots = 0;       // lot rows of the tables
    int n = 0;          // measurement columns
    int chartKind = ChartXbarR;
    int specKind = SpecTolerance;
    int decimals = 3;

    std::vector<SessionMessage> messages;
    // "'<text>' は浮動小数点数ではありません" when a text that is not a number
    // stopped the chain.
    std::optional<std::string> error;

    std::array<std::string, kLimitFields> limits;

    // Which commands got as far as their own work (past the checks of the
    // one before): the specification judgment judged, the capability
    // judgment filled its table, the SPC judgment filled its table.
    bool specReached = false;
    bool calcReached = false;
    bool spcReached = false;

    Verdict spec = Verdict::None;  // the specification verdict
    Verdict calc = Verdict::None;  // the capability verdict
    Verdict spc = Verdict::None;   // the SPC verdict

    // The lot labels of the lot rows 1..lots.
    std::vector<std::string> lotLabels;
    // Measurement cells drawn red (grid positions: column from 0, lot row
    // from 1), row by row.
    std::vector<CellPos> marked;
    // The statistics table from row 1 to its last displayed row, and the SPC
    // table likewise; empty when the command did not get that far.
    std::vector<CalcRow> calcRows;
    std::vector<SpcRow> spcRows;
    // σ within and overall with the capability indices and their bounds, of
    // the sheet's values as shown.
    CapabilityStudy capability;

    // Judged to the end with every verdict "合格".
    bool passed() const noexcept
    {
        return !error && spec == Verdict::Pass && calc == Verdict::Pass && spc == Verdict::Pass;
    }
};

// Shows the sheet, sets the limits (typedLimits: the texts typed into the
// eleven fields; none: the computation of the settings' method answered
// Yes) and runs the SPC judgment.
SheetJudgment JudgeSheet(const SheetRecord& sheet, const ChainSettings& settings,
                         const std::array<std::string, kLimitFields>* typedLimits = nullptr);

}  // namespace trevolo
