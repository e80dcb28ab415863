#include "document/judgment_chain.h"

#include <algorithm>
#include <optional>

#include "document/capability_study.h"
#include "document/sheet_session.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "entry/tolerance_judgment.h"

namespace trevolo {

int ShownDecimals(std::string_view decimals) noexcept
{
    int k = 3;
    if (IsBlank(decimals) || !TryStrToInt(decimals, k))
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

SpcInput GatherSpcInput(int lotRows, const CalcTextAt& calcText, int chartKind,
                        const std::array<std::string, kLimitFields>& limits)
{
    const int chart = (chartKind >= 0 && chartKind < 3) ? chartKind : ChartXbarR;
    const int valueColumn = SpcValueColumn(SpcSide::Dispersion, kChartTexts[chart]);
    const size_t count = static_cast<size_t>(std::max(0, lotRows));
    SpcInput in;
    in.labels.reserve(count);
    in.xValues.reserve(count);
    in.dispersionValues.reserve(count);
    for (int row = 1; row <= lotRows; ++row) {
        in.labels.emplace_back(calcText(row, kCalcColumnLabel));
        in.xValues.emplace_back(calcText(row, kCalcColumnMean));
        in.dispersionValues.emplace_back(calcText(row, valueColumn));
    }
    in.xLines = {limits[LimitXcl],  limits[LimitUcl3], limits[LimitUcl2], limits[LimitUcl1],
                 limits[LimitLcl3], limits[LimitLcl2], limits[LimitLcl1]};
    in.dispersionLines = {limits[LimitRcl], limits[LimitRsUcl3], limits[LimitRsUcl2], limits[LimitRsUcl1]};
    in.dispersionIsStdev = valueColumn == kCalcColumnStdev;
    return in;
}

ChainSettings ChainSettings::From(const InitialValues& settings, const RuleOptions& options)
{
    ChainSettings c;
    c.chartIndex = settings.chartKind;
    c.cpkCheck = settings.cpkCheck;
    c.cpkIndex = settings.cpkIndex;
    c.cpCpk = settings.cpCpk;
    // The window computes by the coefficient method only while it is chosen.
    c.limitMethod = settings.limitMethod == LimitCoefficient ? LimitCoefficient : LimitThreeSigma;
    c.options = options;
    return c;
}

namespace {

// The rows 1 .. rowCount - 1 of a result table (its header row left out).
template <int Columns>
std::vector<std::array<std::string, Columns>> TableRows(const CellStore& cells, int rowCount)
{
    std::vector<std::array<std::string, Columns>> rows(static_cast<size_t>(std::max(0, rowCount - 1)));
    for (size_t i = 0; i < rows.size(); ++i)
        for (int c = 0; c < Columns; ++c)
            rows[i][static_cast<size_t>(c)] = cells.text(c, static_cast<int>(i) + 1);
    return rows;
}

}  // namespace

namespace {

void AddStop(Outcome& o, SpecStop stop)
{
    const SpecStopMessage m = MessageForStop(stop);
    o.add(m.warning ? SessionMessage::Kind::Warning : SessionMessage::Kind::Guide, m.text);
}

}  // namespace

Outcome JudgmentRunner::specification(const WorkStart& start)
{
    return s_.finish(Guarded([&](Outcome& o) { specificationFrom(s_.keptValues(), start, o); }));
}

// The judgments read the values kept converted: only the lots changed since
// the last command are converted again, and the capability and SPC
// judgments, which read every value twice (the specification judgment, then
// the capability table), convert none twice.
Outcome JudgmentRunner::capability(const WorkStart& start)
{
    return s_.finish(Guarded([&](Outcome& o) { capabilityFrom(s_.keptValues(), start, o); }));
}

Outcome JudgmentRunner::spc(const RuleOptions& options, const WorkStart& start)
{
    return s_.finish(Guarded([&](Outcome& o) { spcFrom(s_.keptValues(), options, start, o); }));
}

void JudgmentRunner::specificationFrom(const LotSource& lots, const WorkStart& start, Outcome& o)
{
    // The verdict of an earlier run goes as the checks begin.
    s_.specVerdict_ = Verdict::None;
    o.changed |= ChangedVerdicts;
    std::array<std::string_view, kVisibleLimitLines> visible;
    for (int i = 0; i < kVisibleLimitLines; ++i)
        visible[static_cast<size_t>(i)] = s_.limits_[static_cast<size_t>(i)];
    const SpecPrecheck check = PrecheckSpecJudgment(SpecHeaderOf(s_.header_), visible);
    if (check.stop != SpecStop::None) {
        o.focus = FocusOf(check.missing);
        AddStop(o, check.stop);
        return;
    }
    if (start)
        start();
    s_.specMarking_ = true;
    o.changed |= ChangedValues | ChangedMarking;
    const SpecJudgment j = JudgeSpecification(lots, check.limits);
    // Cells holding only blanks become truly empty, also when a value that
    // is not a number stops the judgment.
    for (const CellPos& p : j.blanked)
        s_.edit_.cell(p.col, p.row).clear();
    if (j.error)
        j.error->raise();
    s_.specVerdict_ = j.verdict();
    o.specJudged = true;
}

void JudgmentRunner::capabilityFrom(const LotSource& lots, const WorkStart& start, Outcome& o)
{
    specificationFrom(lots, start, o);
    if (s_.specVerdict_ == Verdict::None)
        return;
    if (start)
        start();
    s_.cpkMarking_ = true;
    o.changed |= ChangedCalc | ChangedMarking;
    ClearGridRows(s_.calc_);

    CapabilityInput in;
    in.chartKind = IndexOf(s_.chartKind_);
    in.specKind = IndexOf(s_.header_.specKind);
    in.upper = s_.header_.upper;
    in.lower = s_.header_.lower;
    in.thresholdOn = s_.threshold_.on;
    in.thresholdIndex = s_.threshold_.index;
    in.threshold = s_.threshold_.text;
    const CapabilityResult r = ComputeCapability(lots, in);
    for (size_t i = 0; i < r.rows.size(); ++i)
        for (int c = 0; c < kCalcColumns; ++c)
            s_.calc_.setText(c, static_cast<int>(i) + 1, r.rows[i][static_cast<size_t>(c)]);
    // The table keeps its row count (one row per lot) unless the run sets a
    // new one.
    if (r.tableRows > 0)
        s_.calcRows_ = r.tableRows;
    if (r.error)
        r.error->raise();
    // No verdict leaves the one shown before.
    if (r.panel != Verdict::None)
        s_.calcVerdict_ = r.panel;
    o.calcVerdictSet = r.panel != Verdict::None;
    o.calcJudged = true;
}

void JudgmentRunner::spcFrom(const LotSource& lots, const RuleOptions& options, const WorkStart& start, Outcome& o)
{
    capabilityFrom(lots, start, o);
    // A capability verdict left over from an earlier run does not count: the
    // statistics table is only current when the specification judgment has
    // just produced a verdict.
    if (s_.specVerdict_ == Verdict::None || s_.calcVerdict_ == Verdict::None)
        return;

    o.changed |= ChangedSpc | ChangedVerdicts;
    ClearGridRows(s_.spc_);
    // One SPC row per lot row of the statistics table, its total row left out.
    s_.spcRows_ = s_.calcRows_ - 1;
    const SpcJudgment j =
        JudgeSpc(GatherSpcInput(
                     std::max(0, s_.calcRows_ - 2),
                     [this](int row, int col) { return std::string_view(s_.calc_.text(col, row)); }, IndexOf(s_.chartKind_),
                     s_.limits_),
                 options);
    for (int row = 1; row <= j.table.lots(); ++row)
        for (int col = 0; col < kSpcColumns; ++col) {
            const std::string_view t = j.table.text(row, col);
            if (!t.empty())
                s_.spc_.setText(col, row, t);
        }
    if (j.error)
        throw *j.error;
    if (j.stop) {
        o.add(SessionMessage::Kind::Guide, *j.stop);
        return;
    }
    if (j.abnormal)
        s_.spcVerdict_ = *j.abnormal ? Verdict::Fail : Verdict::Pass;
    o.spcJudged = true;
}

Outcome JudgmentRunner::runChain(const std::array<std::string, kLimitFields>* typedLimits, const RuleOptions& options,
                                 CapabilityStudy* study, NormalisedValues* shown)
{
    // Every value converted once: the limits, the specification and the
    // capability read the same values, and only blank cells change between
    // them (they are emptied, and skipped by all three). The values showing
    // the sheet converted are taken when they cover the shown table.
    const GridLots grid(s_.ctrl_, s_.edit_, s_.lots_, s_.n_);
    const bool converted = shown && shown->lots == s_.lots_ && shown->cols == s_.n_ && !shown->values.empty();
    const ParsedLots parsed = converted ? ParsedLots(grid, std::move(shown->values)) : ParsedLots(grid);
    Outcome chained = s_.finish(Guarded([&](Outcome& o) {
        if (typedLimits)
            s_.limits_ = *typedLimits;
        else
            s_.computeLimitsFrom(parsed, -1, o);
        spcFrom(parsed, options, {}, o);
    }));
    if (study)
        *study = StudySessionCapability(s_, &parsed);
    return chained;
}

SheetJudgment JudgeSheet(const SheetRecord& sheet, const ChainSettings& settings,
                         const std::array<std::string, kLimitFields>* typedLimits)
{
    SheetSession session;
    session.setThreshold({settings.cpkCheck, settings.cpkIndex, settings.cpCpk});
    session.setLimitMethod(LimitMethodOfIndex(settings.limitMethod));

    SheetJudgment out;
    NormalisedValues values;
    const Outcome shown = session.show(sheet, settings.chartIndex, &values);
    const Outcome judged = JudgmentRunner(session).runChain(typedLimits, settings.options, &out.capability, &values);
    for (const Outcome* o : {&shown, &judged})
        out.messages.insert(out.messages.end(), o->messages.begin(), o->messages.end());
    if (judged.error)
        out.error = judged.error->what();

    out.label = session.header().label;
    out.lots = session.lots();
    out.n = session.columns();
    out.chartKind = IndexOf(session.chartKind());
    out.specKind = IndexOf(session.header().specKind);
    out.decimals = ShownDecimals(session.header().decimals);
    out.limits = session.limits();

    // A command got as far as its own work when it changed its table.
    out.specReached = session.specMarking();
    out.calcReached = session.cpkMarking();
    out.spcReached = (judged.changed & ChangedSpc) != 0;
    out.spec = session.specVerdict();
    out.calc = session.calcVerdict();
    out.spc = session.spcVerdict();

    const CellStore& ctrl = session.lotCells();
    out.lotLabels.reserve(static_cast<size_t>(out.lots));
    for (int r = 1; r <= out.lots; ++r)
        out.lotLabels.push_back(ctrl.text(0, r));
    // With "合格" every value was judged inside the limits: nothing is red.
    if (out.spec != Verdict::Pass)
        for (int row = 1; row <= out.lots; ++row)
            for (int col = 0; col < out.n; ++col)
                if (session.valueIsMarked(col, row))
                    out.marked.push_back({col, row});
    if (out.calcReached)
        out.calcRows = TableRows<kCalcColumns>(session.calcCells(), session.calcRowCount());
    if (out.spcReached)
        out.spcRows = TableRows<kSpcColumns>(session.spcCells(), session.spcRowCount());
    return out;
}

}  // namespace trevolo
