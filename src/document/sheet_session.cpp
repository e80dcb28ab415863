#include "document/sheet_session.h"

#include <algorithm>
#include <span>
#include <tuple>

#include "document/capability_study.h"
#include "document/judgment_chain.h"
#include "document/undo_stack.h"
#include "entry/lot_numbers.h"
#include "entry/value_entry.h"
#include "entry/tolerance_judgment.h"
#include "model/comfunction.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "stats/typed_limits.h"

namespace trevolo {

namespace {

// The statistics table keeps its total row below the last lot row 1000.
constexpr int kCalcStoreRows = kStoreRows + 1;

SpecHeaderTexts SpecHeaderOf(const SheetHeader& h)
{
    SpecHeaderTexts t;
    t.label = h.label;
    t.unit = h.unit;
    t.upper = h.upper;
    t.lower = h.lower;
    t.upperEnabled = h.upperEnabled();
    t.lowerEnabled = h.lowerEnabled();
    t.kind = h.specKind;
    return t;
}

SessionFocus FocusOf(RequiredField f)
{
    switch (f) {
    case RequiredField::Label:
        return SessionFocus::Label;
    case RequiredField::Unit:
        return SessionFocus::Unit;
    case RequiredField::Upper:
        return SessionFocus::Upper;
    case RequiredField::Lower:
        return SessionFocus::Lower;
    case RequiredField::None:
        break;
    }
    return SessionFocus::None;
}

// Runs a step; a text that is not a number stops it, and the outcome
// carries that error with whatever the step changed before it.
template <class Step>
Outcome Guarded(Step&& step)
{
    Outcome o;
    try {
        step(o);
    } catch (const ConvertError& e) {
        o.error = e;
    }
    return o;
}

// A value written with the sheet's decimals. A decimals text that is not a
// digit is read as the decimals field reads it: a whole number as it is (a
// negative one giving no decimals), anything else as no decimals.
std::string WithDecimals(double value, const std::string& decimals)
{
    std::string out;
    if (FormatFixedText(value, decimals, out))
        return out;
    int d = 0;
    if (!TryStrToInt(decimals, d))
        d = 0;
    return FormatFixed(value, d);
}

// The key a typed measurement cell and its commit share.
long CellKey(int col, int row)
{
    return static_cast<long>(col) * kStoreRows + row;
}

// The cells a clipboard text writes at most: one per tab or line break, and
// one for text after the last of them.
size_t PastedCellCount(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\t' || ch == '\n' || (ch == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++count;
    }
    return count + 1;
}

// The texts of a block of the measurement table, row by row.
std::vector<std::string> TextsOf(const CellStore& cells, GridRect r)
{
    std::vector<std::string> out;
    if (r.right >= r.left && r.bottom >= r.top)
        out.reserve(static_cast<size_t>(r.right - r.left + 1) * static_cast<size_t>(r.bottom - r.top + 1));
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col)
            out.push_back(cells.text(col, row));
    return out;
}

// The cells of a block that differ from the texts they had before.
UndoStep ChangedCells(const CellStore& cells, GridRect r, const std::vector<std::string>& before)
{
    UndoStep step;
    size_t bytes = 0;
    for (const std::string& t : before)
        bytes += t.size();
    step.values.reserve(before.size(), bytes);
    size_t i = 0;
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col, ++i) {
            const std::string& now = cells.text(col, row);
            if (now != before[i])
                step.values.add(col, row, before[i], now);
        }
    return step;
}

void AddStop(Outcome& o, SpecStop stop)
{
    const SpecStopMessage m = MessageForStop(stop);
    o.add(m.warning ? SessionMessage::Kind::Warning : SessionMessage::Kind::Guide, m.text);
}

}  // namespace

SheetSession::SheetSession() : ctrl_(2), edit_(kMaxN), calc_(kCalcColumns, kCalcStoreRows), spc_(kSpcColumns)
{
    lineAutomatic.fill(true);
}

void SheetSession::addListener(SessionListener* listener)
{
    listeners_.push_back(listener);
}

void SheetSession::removeListener(SessionListener* listener)
{
    std::erase(listeners_, listener);
}

Outcome SheetSession::finish(Outcome o, int col, int row) const
{
    if (o.changed != ChangedNothing)
        notify(o.changed, col, row);
    return o;
}

void SheetSession::notify(unsigned what, int col, int row) const
{
    // A listener may remove itself while it is told.
    const std::vector<SessionListener*> listeners = listeners_;
    for (SessionListener* l : listeners)
        l->sessionChanged(what, col, row);
}

void SheetSession::setField(std::string& field, std::string text, unsigned what)
{
    field = std::move(text);
    notify(what);
}

void SheetSession::setField(int& field, int value, unsigned what)
{
    field = value;
    notify(what);
}

void SheetSession::setField(bool& field, bool value, unsigned what)
{
    field = value;
    notify(what);
}

CellStore& SheetSession::table(SheetTable which)
{
    switch (which) {
    case SheetTable::Lots:
        return ctrl_;
    case SheetTable::Values:
        return edit_;
    case SheetTable::Calc:
        return calc_;
    case SheetTable::Spc:
        break;
    }
    return spc_;
}

void SheetSession::setHistory(UndoStack* history)
{
    history_ = history;
    textBase_ = texts();
}

bool SheetSession::canUndo() const
{
    return history_ && (history_->canUndo() || !(texts() == textBase_));
}

bool SheetSession::canRedo() const
{
    return history_ && history_->canRedo() && texts() == textBase_;
}

void SheetSession::record(UndoStep step)
{
    if (history_)
        history_->push(std::move(step));
}

SheetTexts SheetSession::texts() const
{
    return {header, limits, lineNames};
}

bool SheetSession::commitTexts()
{
    SheetTexts now = texts();
    if (now == textBase_)
        return false;
    UndoStep step;
    step.texts = std::array<SheetTexts, 2>{textBase_, now};
    textBase_ = std::move(now);
    record(std::move(step));
    return history_ != nullptr;
}

void SheetSession::rebaseTexts()
{
    textBase_ = texts();
}

Outcome SheetSession::apply(const UndoStep& step, bool after)
{
    Outcome o;
    o.changed = step.changes();
    auto put = [this, after](const CellChange& c) {
        CellStore& t = table(c.table);
        if (c.table == SheetTable::Lots && c.col == 1)
            t.setFlag(1, c.row, after ? c.flagAfter : c.flagBefore);
        else
            t.setText(c.col, c.row, after ? c.after : c.before);
    };
    step.forEachCell(after, put);
    if (step.texts) {
        const SheetTexts& t = (*step.texts)[after ? 1 : 0];
        header = t.header;
        limits = t.limits;
        lineNames = t.lineNames;
        textBase_ = t;
    }
    // The value cell the step changed first becomes current, so the
    // inspector sees what came back.
    for (const CellChange& c : step.cells)
        if (c.table == SheetTable::Values) {
            o.current = GridPos{c.col, c.row};
            return o;
        }
    if (!step.values.empty()) {
        const CellChange first = step.values.at(0);
        o.current = GridPos{first.col, first.row};
    }
    return o;
}

Outcome SheetSession::undo()
{
    return travel(false);
}

Outcome SheetSession::redo()
{
    return travel(true);
}

Outcome SheetSession::travel(bool redo)
{
    if (!history_)
        return {};
    // Texts typed since the last step are a step of their own: undo takes
    // them back, and nothing is left to redo after them.
    if (commitTexts() && redo)
        return {};
    const UndoStep* next = redo ? history_->nextRedo() : history_->nextUndo();
    if (!next || next->record)
        return {};
    if (redo)
        history_->redo();
    else
        history_->undo();
    // One cell is told as that cell, so the journal writes it as one.
    const bool one = next->cellCount() == 1 && !next->texts;
    const CellChange only = !one ? CellChange() : next->cells.empty() ? next->values.at(0) : next->cells[0];
    return finish(apply(*next, redo), one ? only.col : -1, one ? only.row : -1);
}

Outcome SheetSession::toggleLots(int top, int bottom)
{
    UndoStep step;
    for (int r = std::max(top, 1); r <= std::min(bottom, lots_); ++r) {
        const bool was = ctrl_.flag(1, r);
        ctrl_.setFlag(1, r, !was);
        step.cells.push_back({SheetTable::Lots, 1, r, {}, {}, was, !was});
    }
    if (step.cells.empty())
        return {};
    const bool one = step.cells.size() == 1;
    const int row = step.cells.front().row;
    record(std::move(step));
    Outcome o;
    o.changed = ChangedLots;
    return finish(std::move(o), one ? 1 : -1, one ? row : -1);
}

Outcome SheetSession::enableAllLots(bool undoable)
{
    UndoStep step;
    for (int r = 1; r <= lots_; ++r) {
        if (ctrl_.flag(1, r))
            continue;
        ctrl_.setFlag(1, r, true);
        step.cells.push_back({SheetTable::Lots, 1, r, {}, {}, false, true});
    }
    if (undoable)
        record(std::move(step));
    Outcome o;
    o.changed = ChangedLots;
    return finish(std::move(o));
}

void SheetSession::clearEntries()
{
    Grid_ClearRows(ctrl_);
    Grid_ClearRows(edit_);
    notify(ChangedLots | ChangedValues);
}

void SheetSession::clearVerdicts(bool spec, bool calc, bool spc)
{
    if (spec)
        specVerdict = Verdict::None;
    if (calc)
        calcVerdict = Verdict::None;
    if (spc)
        spcVerdict = Verdict::None;
    notify(ChangedVerdicts);
}

void SheetSession::clearResults()
{
    Grid_ClearRows(calc_);
    Grid_ClearRows(spc_);
    calcVerdict = spcVerdict = Verdict::None;
    notify(ChangedCalc | ChangedSpc | ChangedVerdicts);
}

void SheetSession::resetLimits()
{
    for (std::string& t : limits)
        t.clear();
    const bool automatic = !limitsTyped();
    lineAutomatic.fill(automatic);
    for (int i = 0; i < kVisibleLimitLines; ++i)
        lineNames[static_cast<size_t>(i)] =
            (automatic ? kThreeSigmaLineNames : kTypedLineNames)[static_cast<size_t>(i)];
    notify(ChangedLimits);
}

void SheetSession::setDimensions(int lots, int n) noexcept
{
    lots_ = std::clamp(lots, kMinLots, kMaxLots);
    n_ = std::clamp(n, kMinN, kMaxN);
}

void SheetSession::setResultRowCounts(int calcRows, int spcRows) noexcept
{
    calcRows_ = calcRows;
    spcRows_ = spcRows;
}

void SheetSession::layOut(int lots, int n)
{
    layOutTables(lots, n);
    notify(ChangedShape | ChangedLots | ChangedCalc | ChangedSpc);
}

void SheetSession::layOutTables(int lots, int n)
{
    setDimensions(lots, n);
    calcRows_ = spcRows_ = lots_ + 1;
    // A label typed, imported or opened stays with its lot; only a row
    // without one gets the default. A row of the statistics or SPC table
    // without a label shows that of the lot table's row.
    for (int r = 1; r <= lots_; ++r) {
        if (IsBlank(ctrl_.text(0, r)))
            ctrl_.setText(0, r, DefaultLotLabel(r));
        for (CellStore* c : {&calc_, &spc_})
            if (IsBlank(c->text(0, r)))
                c->setText(0, r, ctrl_.text(0, r));
    }
    ctrl_.setText(0, 0, "ﾛｯﾄ№");
    ctrl_.setText(1, 0, "ﾁｪｯｸ");
    for (int c = 0; c < n_; ++c)
        edit_.setText(c, 0, "N" + std::to_string(c + 1));
    static const char* const calcHeaders[kCalcColumns] = {"ﾛｯﾄ№", "N数",   "MAX", "MIN", "X",
                                                          "R",    "STDEV", "CP",  "CPK", "判定結果"};
    for (int c = 0; c < kCalcColumns; ++c)
        calc_.setText(c, 0, calcHeaders[c]);
    spc_.setText(0, 0, "ﾛｯﾄ№");
    for (int c = 1; c <= 2 * kSpcRuleCount; ++c)
        spc_.setText(c, 0, SpcColumnTitle(c, chartKind));
    spc_.setText(kSpcVerdictColumn, 0, "判定結果");
}

void SheetSession::clearHeader(const std::string& label, const Struct_Settings& settings)
{
    specMarking = false;
    cpkMarking = false;
    header.product.clear();
    header.process.clear();
    header.mbc.clear();
    header.label = label;
    header.unit = settings.Unit;
    header.keta = std::to_string(settings.Keta);
    header.upper.clear();
    header.lower.clear();
    header.specKind = std::clamp(settings.SpecIndex, 0, 2);
    specVerdict = calcVerdict = spcVerdict = Verdict::None;
    notify(ChangedHeader | ChangedVerdicts | ChangedMarking);
}

Outcome SheetSession::show(const Struct_Sheet& s, int settingsChart, NormalisedValues* values)
{
    Outcome o;
    o.changed = ChangedValues | ChangedLimits | ChangedCalc | ChangedSpc | ChangedVerdicts | ChangedMarking;
    specMarking = false;
    cpkMarking = false;
    specVerdict = calcVerdict = spcVerdict = Verdict::None;
    for (std::string& t : limits)
        t.clear();

    showHeader(s);
    chartKind = ShownChartKind(ShownColumns(s.Col), settingsChart);

    // The tables laid out for the counts, every lot enabled, then the
    // record's lists.
    Grid_ClearRows(ctrl_);
    Grid_ClearRows(edit_);
    Grid_ClearRows(calc_);
    Grid_ClearRows(spc_);
    layOutTables(s.Row, s.Col);
    for (int r = 1; r <= lots_; ++r)
        ctrl_.setFlag(1, r, true);
    Outcome loaded = loadInto(s, values);
    o.messages = std::move(loaded.messages);
    o.changed |= ChangedSheet | ChangedLots | ChangedHeader | ChangedShape;
    rebaseTexts();
    return finish(std::move(o));
}

void SheetSession::showHeader(const Struct_Sheet& s)
{
    header.product = s.Product;
    header.process = s.Process;
    header.mbc = s.Mbc;
    header.label = s.Label;
    header.unit = s.Unit;
    header.specKind = SpecKindIndex(s.SpecKind);
    const int decimals = ShownDecimals(s.Keta);
    header.keta = std::to_string(decimals);
    // A limit the kind does not use is kept as it is shown (greyed out):
    // the judgments do not read it, and storing the sheet keeps it.
    header.upper = ShownSpecLimit(s.Kupper, decimals);
    header.lower = ShownSpecLimit(s.Klower, decimals);
}

Outcome SheetSession::loadLists(const Struct_Sheet& s)
{
    Outcome o = loadInto(s);
    // The lot labels go into the lot, statistics and SPC tables.
    o.changed |= ChangedSheet | ChangedLots | ChangedCalc | ChangedSpc;
    rebaseTexts();
    return finish(std::move(o));
}

Outcome SheetSession::loadInto(const Struct_Sheet& s, NormalisedValues* values)
{
    Outcome o;
    o.changed = ChangedValues;
    if (values) {
        values->lots = lots_;
        values->cols = n_;
    }
    if (!LoadAndNormalise(s, n_, ctrl_, edit_, calc_, spc_, ShownDecimals(header.keta), values).ok)
        o.add(SessionMessage::Kind::Warning, kMsgBadLoadedValue);
    return o;
}

void SheetSession::store(Struct_Sheet& s) const
{
    s.Product = header.product;
    s.Process = header.process;
    s.Mbc = header.mbc;
    s.Label = header.label;
    s.Unit = header.unit;
    s.SpecKind = kSpecKindTexts[std::clamp(header.specKind, 0, 2)];
    s.Keta = header.keta;
    s.Kupper = header.upper;
    s.Klower = header.lower;
    s.Row = lots_;
    s.Col = n_;
    keptLines_.store(lots_, n_, s);
}

const KeptValues& SheetSession::keptValues() const
{
    kept_.refresh(lots_, n_);
    return kept_;
}

int SheetSession::includedValueCount() const
{
    return CountIncludedValues(keptValues());
}

Outcome SheetSession::computeLimits(int line, bool answeredYes)
{
    // A No changes nothing.
    if (!answeredYes)
        return {};
    // The computation cannot be undone, so the sheet's history ends with
    // it. What was typed before becomes its step first, so no later undo
    // of typed texts can bring back the limits from before the computation.
    commitTexts();
    Outcome o = Guarded([&](Outcome& o) { computeLimitsFrom(keptValues(), line, o); });
    if (o.changed & ChangedLimits) {
        if (history_)
            history_->clear();
        rebaseTexts();
    }
    return finish(std::move(o));
}

void SheetSession::computeLimitsFrom(const LotSource& lots, int line, Outcome& o)
{
    if (CountIncludedValues(lots) <= 1)
        return;
    const ControlLimitResult r = ComputeLimits(lots, chartKind, limitMethod);
    if (r.error)
        r.error->raise();
    // Lots that do not suit the coefficient method: the message, nothing written.
    if (r.stop) {
        o.add(SessionMessage::Kind::Guide, *r.stop);
        return;
    }
    if (!r.computed)
        return;
    o.changed |= ChangedLimits;
    if (line < 0 || line >= kLimitFields) {
        limits = r.texts;
        return;
    }
    limits[static_cast<size_t>(line)] = r.texts[static_cast<size_t>(line)];
    // The hidden R/S/Rs lines are always brought up to date, and they go
    // with the R/S/Rs lines the panel shows, typed ones included.
    HiddenRsLinesAfterOneLine(limits[LimitRcl], limits[LimitRsUcl3], r.texts, limits[LimitRsUcl2], limits[LimitRsUcl1]);
}

void SheetSession::followHiddenLines()
{
    if (!HiddenRsLines(limits[LimitRcl], limits[LimitRsUcl3], limits[LimitRsUcl2], limits[LimitRsUcl1])) {
        // No lines to go with: lines of earlier limits must not stay behind.
        limits[LimitRsUcl2].clear();
        limits[LimitRsUcl1].clear();
    }
    notify(ChangedLimits);
}

void SheetSession::typeLimits(const std::array<std::string, kLimitFields>& texts)
{
    limitMethod = kLimitMethodTyped;
    lineAutomatic.fill(false);
    for (int i = 0; i < kVisibleLimitLines; ++i)
        lineNames[static_cast<size_t>(i)] = kTypedLineNames[static_cast<size_t>(i)];
    limits = texts;
    if (!HiddenRsLines(limits[LimitRcl], limits[LimitRsUcl3], limits[LimitRsUcl2], limits[LimitRsUcl1])) {
        limits[LimitRsUcl2].clear();
        limits[LimitRsUcl1].clear();
    }
    rebaseTexts();
    notify(ChangedLimits | ChangedLineStates);
}

SessionFocus SheetSession::missingRequiredField() const
{
    return FocusOf(FindMissingRequiredField(SpecHeaderOf(header)));
}

Outcome SheetSession::judgeSpecification(const WorkStart& start)
{
    return finish(Guarded([&](Outcome& o) { judgeSpecificationFrom(keptValues(), start, o); }));
}

// The judgments read the values kept converted: only the lots changed since
// the last command are converted again, and the capability and SPC
// judgments, which read every value twice (the specification judgment, then
// the capability table), convert none twice.
Outcome SheetSession::judgeCapability(const WorkStart& start)
{
    return finish(Guarded([&](Outcome& o) { judgeCapabilityFrom(keptValues(), start, o); }));
}

Outcome SheetSession::judgeSpc(const Struct_Options& options, const WorkStart& start)
{
    return finish(Guarded([&](Outcome& o) { judgeSpcFrom(keptValues(), options, start, o); }));
}

void SheetSession::judgeSpecificationFrom(const LotSource& lots, const WorkStart& start, Outcome& o)
{
    // The verdict of an earlier run goes as the checks begin.
    specVerdict = Verdict::None;
    o.changed |= ChangedVerdicts;
    std::array<std::string_view, kVisibleLimitLines> visible;
    for (int i = 0; i < kVisibleLimitLines; ++i)
        visible[static_cast<size_t>(i)] = limits[static_cast<size_t>(i)];
    const SpecPrecheck check = PrecheckSpecJudgment(SpecHeaderOf(header), visible);
    if (check.stop != SpecStop::None) {
        o.focus = FocusOf(check.missing);
        AddStop(o, check.stop);
        return;
    }
    if (start)
        start();
    specMarking = true;
    o.changed |= ChangedValues | ChangedMarking;
    const SpecJudgment j = JudgeSpecification(lots, check.limits);
    // Cells holding only blanks become truly empty, also when a value that
    // is not a number stops the judgment.
    for (const CellPos& p : j.blanked)
        edit_.cell(p.col, p.row).clear();
    if (j.error)
        j.error->raise();
    specVerdict = j.verdict();
    o.specJudged = true;
}

void SheetSession::judgeCapabilityFrom(const LotSource& lots, const WorkStart& start, Outcome& o)
{
    judgeSpecificationFrom(lots, start, o);
    if (specVerdict == Verdict::None)
        return;
    if (start)
        start();
    cpkMarking = true;
    o.changed |= ChangedCalc | ChangedMarking;
    Grid_ClearRows(calc_);

    CapabilityInput in;
    in.chartKind = chartKind;
    in.specKind = header.specKind;
    in.upper = header.upper;
    in.lower = header.lower;
    in.thresholdOn = threshold.on;
    in.thresholdIndex = threshold.index;
    in.threshold = threshold.text;
    const CapabilityResult r = ComputeCapability(lots, in);
    for (size_t i = 0; i < r.rows.size(); ++i)
        for (int c = 0; c < kCalcColumns; ++c)
            calc_.setText(c, static_cast<int>(i) + 1, r.rows[i][static_cast<size_t>(c)]);
    // The table keeps its row count (one row per lot) unless the run sets a
    // new one.
    if (r.tableRows > 0)
        calcRows_ = r.tableRows;
    if (r.error)
        r.error->raise();
    // No verdict leaves the one shown before.
    if (r.panel != Verdict::None)
        calcVerdict = r.panel;
    o.calcVerdictSet = r.panel != Verdict::None;
    o.calcJudged = true;
}

void SheetSession::judgeSpcFrom(const LotSource& lots, const Struct_Options& options, const WorkStart& start,
                                Outcome& o)
{
    judgeCapabilityFrom(lots, start, o);
    // A capability verdict left over from an earlier run does not count: the
    // statistics table is only current when the specification judgment has
    // just produced a verdict.
    if (specVerdict == Verdict::None || calcVerdict == Verdict::None)
        return;

    o.changed |= ChangedSpc | ChangedVerdicts;
    Grid_ClearRows(spc_);
    // One SPC row per lot row of the statistics table, its total row left out.
    spcRows_ = calcRows_ - 1;
    const SpcJudgment j =
        JudgeSpc(GatherSpcInput(
                     std::max(0, calcRows_ - 2),
                     [this](int row, int col) { return std::string_view(calc_.text(col, row)); }, chartKind, limits),
                 options);
    for (int row = 1; row <= j.table.lots(); ++row)
        for (int col = 0; col < kSpcColumns; ++col) {
            const std::string_view t = j.table.text(row, col);
            if (!t.empty())
                spc_.setText(col, row, t);
        }
    if (j.error)
        throw *j.error;
    if (j.stop) {
        o.add(SessionMessage::Kind::Guide, *j.stop);
        return;
    }
    if (j.abnormal)
        spcVerdict = *j.abnormal ? Verdict::Fail : Verdict::Pass;
    o.spcJudged = true;
}

Outcome SheetSession::renumberLots(const std::vector<std::string>& numbers)
{
    UndoStep step;
    auto setLabel = [&step](SheetTable which, CellStore& t, int row, const std::string& text) {
        if (t.text(0, row) == text)
            return;
        step.cells.push_back({which, 0, row, t.text(0, row), text});
        t.setText(0, row, text);
    };
    // The lots as they stand before the new numbers are written, and which
    // of them a judgment lists.
    std::vector<std::string> before(static_cast<size_t>(lots_));
    std::vector<bool> takesPart(before.size(), false);
    for (int r = 1; r <= lots_; ++r) {
        before[static_cast<size_t>(r - 1)] = ctrl_.text(0, r);
        if (!ctrl_.flag(1, r))
            continue;
        for (int c = 0; c < n_; ++c) {
            if (!IsBlank(edit_.text(c, r))) {
                takesPart[static_cast<size_t>(r - 1)] = true;
                break;
            }
        }
    }
    for (size_t r = 0; r < numbers.size() && r <= static_cast<size_t>(lots_); ++r)
        setLabel(SheetTable::Lots, ctrl_, static_cast<int>(r), numbers[r]);

    const std::tuple<SheetTable, CellStore*, int> tables[] = {{SheetTable::Calc, &calc_, calcRows_},
                                                              {SheetTable::Spc, &spc_, spcRows_}};
    for (const auto& [which, table, rowCount] : tables) {
        std::vector<std::string> rowLabels;
        for (int r = 1; r < rowCount; ++r)
            rowLabels.push_back(table->text(0, r));
        const std::vector<int> lotOfRow = MatchTableRowsToLots(before, takesPart, rowLabels);
        for (size_t i = 0; i < lotOfRow.size(); ++i)
            if (lotOfRow[i] >= 0)
                setLabel(which, *table, static_cast<int>(i) + 1, ctrl_.text(0, lotOfRow[i] + 1));
    }
    record(std::move(step));
    Outcome o;
    o.changed = ChangedLots | ChangedCalc | ChangedSpc;
    return finish(std::move(o));
}

Outcome SheetSession::commitValue(int col, int row)
{
    Outcome o;
    if (col < 0 || col >= n_ || row < 1 || row > lots_)
        return o;
    std::string& cell = edit_.cell(col, row);
    if (!IsBlank(cell)) {
        double v = 0;
        std::string written;
        const bool number = TryStrToFloat(cell, v);
        if (number)
            written = WithDecimals(v, header.keta);
        if (written != cell) {
            UndoStep step;
            step.cells.push_back({SheetTable::Values, col, row, cell, written});
            step.joinKey = CellKey(col, row);
            step.joinsLast = true;
            record(std::move(step));
            cell.swap(written);
            o.changed = ChangedValues;
        }
        if (!number)
            return finish(std::move(o), col, row);
    }
    o.current = Grid_NextCell(valueShape(), {col, row});
    return finish(std::move(o), col, row);
}

Outcome SheetSession::typeValue(int col, int row, std::string text)
{
    Outcome o;
    if (!edit_.contains(col, row))
        return o;
    RemoveMisplacedMinus(text);
    std::string& cell = edit_.cell(col, row);
    if (text != cell) {
        UndoStep step;
        step.cells.push_back({SheetTable::Values, col, row, cell, text});
        step.joinKey = CellKey(col, row);
        record(std::move(step));
        cell.swap(text);
        o.changed = ChangedValues;
    }
    return finish(std::move(o), col, row);
}

Outcome SheetSession::paste(GridRect selection, std::string_view text)
{
    Outcome o;
    // The cells the paste changes, in the order it writes them, taken as it
    // writes: no copy of the block's texts before and after.
    UndoStep step;
    PastedCell note;
    if (history_) {
        // A paste over a whole sheet changes up to 100,000 cells: the list
        // is sized once for the cells the text spans and about twice its
        // bytes (the texts before and after).
        step.values.reserve(std::min(PastedCellCount(text), static_cast<size_t>(lots_) * static_cast<size_t>(n_)),
                            2 * text.size());
        note = [&](int col, int row, std::string& before) {
            const std::string& now = edit_.text(col, row);
            if (now != before)
                step.values.add(col, row, before, now);
        };
    }
    if (Grid_PasteText(edit_, valueShape(), selection, text, note) > 0)
        o.changed = ChangedValues;
    if (history_ && o.changed)
        record(std::move(step));
    return finish(std::move(o));
}

Outcome SheetSession::clearCells(GridRect selection)
{
    const GridShape shape = valueShape();
    const GridRect block{std::max(selection.left, shape.fixedCols), std::max(selection.top, shape.fixedRows),
                         std::min(selection.right, shape.colCount - 1), std::min(selection.bottom, shape.rowCount - 1)};
    std::vector<std::string> before;
    if (history_)
        before = TextsOf(edit_, block);
    Grid_DeleteCells(edit_, shape, selection);
    if (history_)
        record(ChangedCells(edit_, block, before));
    Outcome o;
    o.changed = ChangedValues;
    return finish(std::move(o));
}

bool SheetSession::valueIsMarked(int col, int row) const
{
    if (!specMarking)
        return false;
    const SpecMarking marking{true, header.specKind, header.upper, header.lower};
    return SpecCellIsRed(row, edit_.text(col, row), marking);
}

bool SheetSession::calcIsMarked(int col, int row) const
{
    const CalcMarking marking{cpkMarking, threshold.on, threshold.index, threshold.text};
    return CalcCellIsRed(col, row, calc_.text(col, row), marking);
}

Outcome SheetSession::runChain(const std::array<std::string, kLimitFields>* typedLimits, const Struct_Options& options,
                               CapabilityStudy* study, NormalisedValues* shown)
{
    // Every value converted once: the limits, the specification and the
    // capability read the same values, and only blank cells change between
    // them (they are emptied, and skipped by all three). The values showing
    // the sheet converted are taken when they cover the shown table.
    const GridLots grid(ctrl_, edit_, lots_, n_);
    const bool converted = shown && shown->lots == lots_ && shown->cols == n_ && !shown->values.empty();
    const ParsedLots parsed = converted ? ParsedLots(grid, std::move(shown->values)) : ParsedLots(grid);
    Outcome chained = finish(Guarded([&](Outcome& o) {
        if (typedLimits)
            limits = *typedLimits;
        else
            computeLimitsFrom(parsed, -1, o);
        judgeSpcFrom(parsed, options, {}, o);
    }));
    if (study)
        *study = StudySessionCapability(*this, &parsed);
    return chained;
}

}  // namespace trevolo
