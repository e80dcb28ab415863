#include "spc/judgment_chain.h"

#include <algorithm>
#include <optional>
#include <span>

#include "entry/tolerance_judgment.h"
#include "model/number.h"
#include "model/sheetio.h"

namespace trevolo {

int ShownDecimals(std::string_view keta) noexcept
{
    int k = 3;
    if (IsBlank(keta) || !TryStrToInt(keta, k))
        return 3;
    return std::clamp(k, 0, 5);
}

std::string ShownSpecLimit(std::string_view text, int decimals)
{
    if (IsBlank(text))
        return {};
    double v = 0;
    if (!TryStrToFloat(text, v))
        return std::string(text);
    return FormatFixed(v, decimals);
}

int ShownLots(int row) noexcept
{
    return std::clamp(row, kMinLots, kMaxLots);
}

int ShownColumns(int col) noexcept
{
    return std::clamp(col, kMinN, kMaxN);
}

int ShownChartKind(int n, int settingsChart) noexcept
{
    return n == 1 ? ChartXRs : settingsChart;
}

SpcInput GatherSpcInput(std::span<const CalcRow> lotRows, int chartKind,
                        const std::array<std::string, kLimitFields>& limits)
{
    const int chart = (chartKind >= 0 && chartKind < 3) ? chartKind : ChartXbarR;
    const size_t valueColumn = static_cast<size_t>(SpcValueColumn(SpcSide::Dispersion, kChartTexts[chart]));
    SpcInput in;
    in.labels.reserve(lotRows.size());
    in.xValues.reserve(lotRows.size());
    in.dispersionValues.reserve(lotRows.size());
    for (const CalcRow& row : lotRows) {
        in.labels.push_back(row[kCalcColumnLabel]);
        in.xValues.push_back(row[kCalcColumnMean]);
        in.dispersionValues.push_back(row[valueColumn]);
    }
    in.xLines = {limits[LimitXcl],  limits[LimitUcl3], limits[LimitUcl2], limits[LimitUcl1],
                 limits[LimitLcl3], limits[LimitLcl2], limits[LimitLcl1]};
    in.dispersionLines = {limits[LimitRcl], limits[LimitRsUcl3], limits[LimitRsUcl2], limits[LimitRsUcl1]};
    in.dispersionIsStdev = valueColumn == static_cast<size_t>(kCalcColumnStdev);
    return in;
}

ChainSettings ChainSettings::From(const Struct_Settings& settings, const Struct_Options& options)
{
    ChainSettings c;
    c.chartIndex = settings.ChartIndex;
    c.cpkCheck = settings.CpkCheck;
    c.cpkIndex = settings.CpkIndex;
    c.cpCpk = settings.CpCpk;
    c.options = options;
    return c;
}

namespace {

// The view of one shown sheet: its header fields, the lot and measurement
// tables, and the panels the commands fill.
class SheetView {
public:
    SheetView(const ChainSettings& settings, SheetJudgment& out) : settings_(settings), out_(out) {}

    // ResetSheetView followed by LoadSheetToGrids.
    void show(const Struct_Sheet& s)
    {
        out_.label = s.Label;
        unit_ = s.Unit;
        out_.specKind = SpecKindIndex(s.SpecKind);
        out_.decimals = ShownDecimals(s.Keta);
        upper_ = ShownSpecLimit(s.Kupper, out_.decimals);
        lower_ = ShownSpecLimit(s.Klower, out_.decimals);
        out_.lots = ShownLots(s.Row);
        out_.n = ShownColumns(s.Col);
        out_.chartKind = ShownChartKind(out_.n, settings_.chartIndex);

        // The tables laid out for the counts, every lot enabled, then the
        // record's lists.
        for (int r = 1; r <= out_.lots; ++r) {
            ctrl_.setText(0, r, DefaultLotLabel(r));
            ctrl_.setFlag(1, r, true);
        }
        LoadListsToTables(s, out_.n, ctrl_, edit_, calc_, spc_);
        if (!s.DataList.empty() && !NormaliseValues(edit_, out_.decimals).ok)
            out_.messages.push_back({kMsgBadLoadedValue, true});
        out_.lotLabels.reserve(static_cast<size_t>(out_.lots));
        for (int r = 1; r <= out_.lots; ++r)
            out_.lotLabels.push_back(ctrl_.text(0, r));
    }

    // The shown lots with every value converted once: the limits, the
    // specification and the capability read the same values, and only blank
    // cells change between them (they are emptied, and skipped by all three).
    const LotSource& lots()
    {
        if (!parsed_) {
            grid_.emplace(ctrl_, edit_, out_.lots, out_.n);
            parsed_.emplace(*grid_);
        }
        return *parsed_;
    }
    std::optional<GridLots> grid_;
    std::optional<ParsedLots> parsed_;

    // btn3StdevClick with the question answered Yes.
    void computeLimits()
    {
        const LotSource& source = lots();
        const int count = CountIncludedValues(source);
        if (count <= 1)
            return;
        const ControlLimitResult r = ComputeLimitTexts(source, out_.chartKind);
        if (r.error)
            r.error->raise();
        if (r.computed)
            out_.limits = r.texts;
    }

    // btnSpecJudgClick: the checks, then the judgment of every value.
    void judgeSpecification()
    {
        out_.spec = Verdict::None;
        SpecHeaderTexts header;
        header.label = out_.label;
        header.unit = unit_;
        header.upper = upper_;
        header.lower = lower_;
        header.kind = out_.specKind;
        header.upperEnabled = out_.specKind != SpecLowerOnly;
        header.lowerEnabled = out_.specKind != SpecUpperOnly;
        std::array<std::string_view, 9> visible;
        for (int i = 0; i < 9; ++i)
            visible[static_cast<size_t>(i)] = out_.limits[static_cast<size_t>(i)];
        const SpecPrecheck check = PrecheckSpecJudgment(header, visible);
        if (check.stop != SpecStop::None) {
            const SpecStopMessage m = MessageForStop(check.stop);
            out_.messages.push_back({m.text, m.warning});
            return;
        }
        specMarking_ = true;
        out_.specReached = true;
        const SpecJudgment j = JudgeSpecification(lots(), check.limits);
        for (const CellPos& p : j.blanked)
            edit_.cell(p.col, p.row).clear();
        if (j.error)
            j.error->raise();
        out_.spec = j.verdict();
    }

    // btnCpkCalcClick: runs the specification judgment first.
    void judgeCapability()
    {
        judgeSpecification();
        if (out_.spec == Verdict::None)
            return;
        out_.calcReached = true;
        CapabilityInput in;
        in.chartKind = out_.chartKind;
        in.specKind = out_.specKind;
        in.upper = upper_;
        in.lower = lower_;
        in.thresholdOn = settings_.cpkCheck;
        in.thresholdIndex = settings_.cpkIndex;
        in.threshold = settings_.cpCpk;
        CapabilityResult r = ComputeCapability(lots(), in);
        // The table keeps its displayed row count (one row per lot) unless
        // the run sets a new one; rows beyond those written were emptied.
        calcTableRows_ = r.tableRows > 0 ? r.tableRows : out_.lots + 1;
        out_.calcRows = std::move(r.rows);
        out_.calcRows.resize(static_cast<size_t>(calcTableRows_ - 1));
        if (r.error)
            r.error->raise();
        out_.calc = r.panel;
    }

    // btnSpcJudgClick: runs the capability judgment first.
    void judgeSpc()
    {
        judgeCapability();
        if (out_.calc == Verdict::None)
            return;
        out_.spcReached = true;
        // One SPC row per lot row of the statistics table.
        const size_t lotRows = static_cast<size_t>(std::max(0, calcTableRows_ - 2));
        const SpcJudgment j =
            JudgeSpc(GatherSpcInput(std::span<const CalcRow>(out_.calcRows.data(), lotRows), out_.chartKind,
                                    out_.limits),
                     settings_.options);
        out_.spcRows.assign(lotRows, SpcRow{});
        for (int row = 1; row <= j.table.lots(); ++row)
            for (int col = 0; col < kSpcColumns; ++col)
                out_.spcRows[static_cast<size_t>(row - 1)][static_cast<size_t>(col)] = j.table.text(row, col);
        if (j.error)
            throw *j.error;
        if (j.stop) {
            out_.messages.push_back({*j.stop, false});
            return;
        }
        if (j.abnormal)
            out_.spc = *j.abnormal ? Verdict::Fail : Verdict::Pass;
    }

    // The red marking of the measurement table as it is painted
    // (SpecCellIsRed of every cell, the limits converted once).
    void collectMarking()
    {
        // With "合格" every value was judged inside the limits: nothing is red.
        if (!specMarking_ || out_.spec == Verdict::Pass)
            return;
        SpecLimits limits;
        if (!ParseSpecLimits(out_.specKind, upper_, lower_, limits))
            return;
        for (int row = 1; row <= out_.lots; ++row) {
            for (int col = 0; col < out_.n; ++col) {
                const std::string& text = edit_.text(col, row);
                double v = 0;
                if (!IsBlank(text) && TryStrToFloat(text, v) && limits.outside(v))
                    out_.marked.push_back({col, row});
            }
        }
    }

private:
    const ChainSettings& settings_;
    SheetJudgment& out_;
    std::string unit_;
    std::string upper_;
    std::string lower_;
    CellStore ctrl_{2};
    CellStore edit_{kMaxN};
    // The lot labels a load writes into the statistics and SPC tables are
    // emptied by the commands before they fill those tables, and the chain
    // reports the tables as the commands leave them: they need no cells.
    CellStore calc_{0, 0};
    CellStore spc_{0, 0};
    int calcTableRows_ = 0;
    bool specMarking_ = false;
};

}  // namespace

SheetJudgment JudgeSheet(const Struct_Sheet& sheet, const ChainSettings& settings,
                         const std::array<std::string, kLimitFields>* typedLimits)
{
    SheetJudgment out;
    SheetView view(settings, out);
    view.show(sheet);
    try {
        if (typedLimits)
            out.limits = *typedLimits;
        else
            view.computeLimits();
        view.judgeSpc();
    } catch (const ConvertError& e) {
        out.error = e.what();
    }
    view.collectMarking();
    return out;
}

}  // namespace trevolo
