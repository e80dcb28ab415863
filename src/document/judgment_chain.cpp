#include "document/judgment_chain.h"

#include <algorithm>
#include <optional>

#include "document/capability_study.h"
#include "document/sheet_session.h"
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

ChainSettings ChainSettings::From(const Struct_Settings& settings, const Struct_Options& options)
{
    ChainSettings c;
    c.chartIndex = settings.ChartIndex;
    c.cpkCheck = settings.CpkCheck;
    c.cpkIndex = settings.CpkIndex;
    c.cpCpk = settings.CpCpk;
    // The window computes by the coefficient method only while it is chosen.
    c.limitMethod = settings.LimitIndex == LimitCoefficient ? LimitCoefficient : LimitThreeSigma;
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

SheetJudgment JudgeSheet(const Struct_Sheet& sheet, const ChainSettings& settings,
                         const std::array<std::string, kLimitFields>* typedLimits)
{
    SheetSession session;
    session.setThreshold({settings.cpkCheck, settings.cpkIndex, settings.cpCpk});
    session.setLimitMethod(LimitMethodOfIndex(settings.limitMethod));

    SheetJudgment out;
    NormalisedValues values;
    const Outcome shown = session.show(sheet, settings.chartIndex, &values);
    const Outcome judged = session.runChain(typedLimits, settings.options, &out.capability, &values);
    for (const Outcome* o : {&shown, &judged})
        out.messages.insert(out.messages.end(), o->messages.begin(), o->messages.end());
    if (judged.error)
        out.error = judged.error->what();

    out.label = session.header().label;
    out.lots = session.lots();
    out.n = session.columns();
    out.chartKind = IndexOf(session.chartKind());
    out.specKind = IndexOf(session.header().specKind);
    out.decimals = ShownDecimals(session.header().keta);
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
