#include "document/sheet_session.h"

#include <algorithm>
#include <span>
#include <utility>
#include <variant>

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

// The text fields in the order the history names them.
constexpr const char* kHeaderCaptions[] = {"品種名称", "工程名称", "装置名称", "項目名称",
                                           "測定単位", "小数桁数", "規格上限", "規格下限"};
constexpr const char* kLimitCaptions[kLimitFields] = {
    "X-管理限界上限値３", "X-管理限界上限値２", "X-管理限界上限値１", "X-管理限界下限値３",
    "X-管理限界下限値２", "X-管理限界下限値１", "X-平均値",           "R-平均値",
    "R-管理限界上限値",   "R-管理限界上限値２", "R-管理限界上限値１"};

// What a change of a field repaints.
unsigned ChangeOf(TextField f)
{
    if (f.group != TextField::Group::Header)
        return ChangedLimits;
    const auto h = static_cast<HeaderField>(f.index);
    return h == HeaderField::Upper || h == HeaderField::Lower ? ChangedHeader | ChangedMarking : ChangedHeader;
}

}  // namespace

SpecHeaderTexts SpecHeaderOf(const SheetHeader& h)
{
    SpecHeaderTexts t;
    t.label = h.label;
    t.unit = h.unit;
    t.upper = h.upper;
    t.lower = h.lower;
    t.upperEnabled = h.upperEnabled();
    t.lowerEnabled = h.lowerEnabled();
    t.kind = IndexOf(h.specKind);
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

const char* CaptionOf(TextField field) noexcept
{
    switch (field.group) {
    case TextField::Group::Header:
        return kHeaderCaptions[std::clamp(field.index, 0, 7)];
    case TextField::Group::Limit:
        return kLimitCaptions[std::clamp(field.index, 0, kLimitFields - 1)];
    case TextField::Group::LineName:
        break;
    }
    return "項目名";
}

SheetSession::SheetSession() : ctrl_(2), edit_(kMaxN), calc_(kCalcColumns, kCalcStoreRows), spc_(kSpcColumns)
{
    lineAutomatic_.fill(true);
}

SheetSession::~SheetSession() = default;

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

std::string& SheetSession::textOf(TextField field)
{
    return const_cast<std::string&>(std::as_const(*this).textOf(field));
}

const std::string& SheetSession::textOf(TextField field) const
{
    const auto i = static_cast<size_t>(field.index);
    switch (field.group) {
    case TextField::Group::Limit:
        return limits_[i];
    case TextField::Group::LineName:
        return lineNames_[i];
    case TextField::Group::Header:
        break;
    }
    switch (static_cast<HeaderField>(field.index)) {
    case HeaderField::Product:
        return header_.product;
    case HeaderField::Process:
        return header_.process;
    case HeaderField::Machine:
        return header_.machine;
    case HeaderField::Label:
        return header_.label;
    case HeaderField::Unit:
        return header_.unit;
    case HeaderField::Decimals:
        return header_.decimals;
    case HeaderField::Upper:
        return header_.upper;
    case HeaderField::Lower:
        break;
    }
    return header_.lower;
}

void SheetSession::writeText(TextField field, std::string text)
{
    textOf(field) = std::move(text);
    notify(ChangeOf(field));
}

void SheetSession::typeText(TextField field, std::string text)
{
    if (pending_ && !(pending_->field == field))
        commitPendingText();
    const bool begun = !pending_;
    if (begun)
        pending_ = Pending{field, textOf(field)};
    writeText(field, std::move(text));
    if (begun)
        historyChanged();
}

bool SheetSession::commitPendingText()
{
    if (!pending_)
        return false;
    TextEdit e{pending_->field, std::move(pending_->before), textOf(pending_->field)};
    pending_.reset();
    if (e.before == e.after || !history_)
        return false;
    history_->push(std::move(e));
    historyChanged();
    return true;
}

void SheetSession::dropPendingText()
{
    pending_.reset();
}

void SheetSession::setHeaderText(HeaderField field, std::string text)
{
    typeText(TextField::OfHeader(field), std::move(text));
}

void SheetSession::setSpecKind(SpecKind kind)
{
    if (kind == header_.specKind) {
        notify(ChangedHeader | ChangedMarking);
        return;
    }
    record(SpecKindEdit{header_.specKind, kind});
    header_.specKind = kind;
    notify(ChangedHeader | ChangedMarking);
}

void SheetSession::setThreshold(CapabilityThreshold threshold)
{
    threshold_ = std::move(threshold);
    notify(ChangedHeader | ChangedMarking);
}

void SheetSession::setThresholdOn(bool on)
{
    threshold_.on = on;
    notify(ChangedHeader | ChangedMarking);
}

void SheetSession::setThresholdIndex(int index)
{
    threshold_.index = index;
    notify(ChangedHeader | ChangedMarking);
}

void SheetSession::setThresholdText(std::string text)
{
    threshold_.text = std::move(text);
    notify(ChangedHeader | ChangedMarking);
}

void SheetSession::setChartKind(ChartKind kind)
{
    chartKind_ = kind;
    notify(ChangedShape);
}

void SheetSession::setLimit(int field, std::string text)
{
    if (field >= 0 && field < kLimitFields)
        typeText({TextField::Group::Limit, field}, std::move(text));
}

void SheetSession::setLineAutomatic(int line, bool on)
{
    if (line < 0 || line >= kVisibleLimitLines)
        return;
    lineAutomatic_[static_cast<size_t>(line)] = on;
    notify(ChangedLimits);
}

void SheetSession::setLineName(int line, std::string name)
{
    if (line >= 0 && line < kVisibleLimitLines)
        typeText({TextField::Group::LineName, line}, std::move(name));
}

void SheetSession::setHistogramClasses(std::string text)
{
    histogramClasses_ = std::move(text);
    notify(ChangedHeader);
}

void SheetSession::setLimitMethod(LimitMethod method)
{
    limitMethod_ = method;
    notify(ChangedLimits);
}

void SheetSession::setMarking(bool spec, bool cpk)
{
    specMarking_ = spec;
    cpkMarking_ = cpk;
    notify(ChangedMarking);
}

void SheetSession::setVerdicts(Verdict spec, Verdict calc, Verdict spc)
{
    specVerdict_ = spec;
    calcVerdict_ = calc;
    spcVerdict_ = spc;
    notify(ChangedVerdicts);
}

SheetView SheetSession::view() const
{
    return {chartKind_, limitMethod_, limits_, lineAutomatic_, lineNames_};
}

void SheetSession::setView(const SheetView& v)
{
    dropPendingText();
    chartKind_ = v.chartKind;
    limitMethod_ = v.limitMethod;
    limits_ = v.limits;
    lineAutomatic_ = v.lineAutomatic;
    lineNames_ = v.lineNames;
    notify(ChangedLimits | ChangedLineStates);
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
    dropPendingText();
    historyChanged();
}

void SheetSession::setHistoryChanged(std::function<void()> changed)
{
    historyChanged_ = std::move(changed);
}

void SheetSession::historyChanged() const
{
    if (historyChanged_)
        historyChanged_();
}

std::string SheetSession::undoLabel() const
{
    if (history_ && pendingChanged())
        return CaptionOf(pending_->field);
    return history_ ? history_->undoLabel() : std::string();
}

std::string SheetSession::redoLabel() const
{
    return canRedo() ? history_->redoLabel() : std::string();
}

bool SheetSession::canUndo() const
{
    return history_ && (history_->canUndo() || pendingChanged());
}

bool SheetSession::canRedo() const
{
    return history_ && history_->canRedo() && !pendingChanged();
}

void SheetSession::record(UndoStep step)
{
    commitPendingText();
    if (!history_)
        return;
    history_->push(std::move(step));
    historyChanged();
}

SheetTexts SheetSession::texts() const
{
    return {header_, limits_, lineNames_};
}

void SheetSession::putCell(const CellChange& c, bool after)
{
    CellStore& t = table(c.table);
    if (c.table == SheetTable::Lots && c.col == 1)
        t.setFlag(1, c.row, after ? c.flagAfter : c.flagBefore);
    else
        t.setText(c.col, c.row, after ? c.after : c.before);
}

void SheetSession::apply(const CellEdit& e, bool after, Outcome& o)
{
    unsigned what = e.values.empty() ? ChangedNothing : ChangedValues;
    for (const CellChange& c : e.cells)
        what |= c.table == SheetTable::Lots     ? ChangedLots
                : c.table == SheetTable::Values ? ChangedValues
                : c.table == SheetTable::Calc   ? ChangedCalc
                                                : ChangedSpc;
    o.changed |= what;
    if (after) {
        for (const CellChange& c : e.cells)
            putCell(c, true);
        for (size_t i = 0; i < e.values.size(); ++i)
            edit_.setText(e.values.col(i), e.values.row(i), e.values.text(i, true));
    } else {
        for (size_t i = e.values.size(); i-- > 0;)
            edit_.setText(e.values.col(i), e.values.row(i), e.values.text(i, false));
        for (auto c = e.cells.rbegin(); c != e.cells.rend(); ++c)
            putCell(*c, false);
    }
    // The value cell the step changed first becomes current, so the
    // inspector sees what came back.
    for (const CellChange& c : e.cells)
        if (c.table == SheetTable::Values) {
            o.current = GridPos{c.col, c.row};
            return;
        }
    if (!e.values.empty())
        o.current = GridPos{e.values.col(0), e.values.row(0)};
}

void SheetSession::apply(const TextEdit& e, bool after, Outcome& o)
{
    textOf(e.field) = after ? e.after : e.before;
    o.changed |= ChangeOf(e.field);
    if (e.field.group == TextField::Group::Limit && (e.field.index == LimitRcl || e.field.index == LimitRsUcl3))
        deriveHiddenLines();
}

void SheetSession::apply(const SpecKindEdit& e, bool after, Outcome& o)
{
    header_.specKind = after ? e.after : e.before;
    o.changed |= ChangedHeader | ChangedMarking;
}

void SheetSession::apply(const CountEdit& e, bool after, Outcome& o)
{
    if (!after) {
        // The rows and columns hidden come back as they were.
        for (const CellChange& c : e.hiddenLots)
            putCell(c, false);
        for (size_t i = 0; i < e.hiddenValues.size(); ++i)
            edit_.setText(e.hiddenValues.col(i), e.hiddenValues.row(i), e.hiddenValues.text(i, false));
        for (auto c = e.layout.rbegin(); c != e.layout.rend(); ++c)
            putCell(*c, false);
        layOutTables(e.lotsBefore, e.nBefore);
    } else {
        layOutTables(e.lotsAfter, e.nAfter);
        for (const CellChange& c : e.layout)
            putCell(c, true);
    }
    o.changed |= ChangedShape | ChangedLots | ChangedValues | ChangedCalc | ChangedSpc;
}

void SheetSession::apply(const LimitsEdit& e, bool after, Outcome& o)
{
    limits_ = after ? e.after : e.before;
    o.changed |= ChangedLimits;
}

void SheetSession::apply(const RecordEdit&, bool, Outcome&)
{
    // The whole record is the workbook's to write back.
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
    // The field being typed is a step of its own: undo takes it back, and
    // nothing is left to redo after it.
    if (commitPendingText() && redo)
        return {};
    const UndoStep* next = redo ? history_->nextRedo() : history_->nextUndo();
    if (!next || std::holds_alternative<RecordEdit>(next->edit))
        return {};
    if (redo)
        history_->redo();
    else
        history_->undo();
    historyChanged();
    Outcome o;
    std::visit([&](const auto& e) { apply(e, redo, o); }, next->edit);
    // One cell is told as that cell, so the journal writes it as one.
    const CellEdit* cells = std::get_if<CellEdit>(&next->edit);
    if (cells && cells->cellCount() == 1) {
        const CellChange only = cells->cells.empty() ? cells->values.at(0) : cells->cells[0];
        return finish(std::move(o), only.col, only.row);
    }
    return finish(std::move(o));
}

void SheetSession::clearEntries()
{
    ClearGridRows(ctrl_);
    ClearGridRows(edit_);
    notify(ChangedLots | ChangedValues);
}

void SheetSession::clearVerdicts(bool spec, bool calc, bool spc)
{
    if (spec)
        specVerdict_ = Verdict::None;
    if (calc)
        calcVerdict_ = Verdict::None;
    if (spc)
        spcVerdict_ = Verdict::None;
    notify(ChangedVerdicts);
}

void SheetSession::clearResults()
{
    ClearGridRows(calc_);
    ClearGridRows(spc_);
    calcVerdict_ = spcVerdict_ = Verdict::None;
    notify(ChangedCalc | ChangedSpc | ChangedVerdicts);
}

void SheetSession::resetLimits()
{
    dropPendingText();
    for (std::string& t : limits_)
        t.clear();
    const bool automatic = !limitsTyped();
    lineAutomatic_.fill(automatic);
    for (int i = 0; i < kVisibleLimitLines; ++i)
        lineNames_[static_cast<size_t>(i)] =
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

Outcome SheetSession::changeCount(int lots, int n, bool enableAll)
{
    CountEdit e;
    e.lotsBefore = lots_;
    e.nBefore = n_;
    const int newLots = std::clamp(lots, kMinLots, kMaxLots);
    const int newN = std::clamp(n, kMinN, kMaxN);
    if (history_) {
        // The rows and columns the new counts hide, as they stand.
        for (int r = newLots + 1; r <= lots_; ++r) {
            e.hiddenLots.push_back({SheetTable::Lots, 0, r, ctrl_.text(0, r), ctrl_.text(0, r)});
            e.hiddenLots.push_back({SheetTable::Lots, 1, r, {}, {}, ctrl_.flag(1, r), ctrl_.flag(1, r)});
        }
        for (int r = 1; r <= lots_; ++r)
            for (int c = 0; c < n_; ++c)
                if ((r > newLots || c >= newN) && !edit_.text(c, r).empty())
                    e.hiddenValues.add(c, r, edit_.text(c, r), edit_.text(c, r));
        // The labels the layout gives to rows without one.
        for (int r = 1; r <= newLots; ++r)
            if (IsBlank(ctrl_.text(0, r)))
                e.layout.push_back({SheetTable::Lots, 0, r, ctrl_.text(0, r), DefaultLotLabel(r)});
    }
    layOutTables(newLots, newN);
    if (enableAll)
        for (int r = 1; r <= lots_; ++r)
            if (!ctrl_.flag(1, r)) {
                ctrl_.setFlag(1, r, true);
                e.layout.push_back({SheetTable::Lots, 1, r, {}, {}, false, true});
            }
    e.lotsAfter = lots_;
    e.nAfter = n_;
    // The same counts laid out again (after a new chart kind) are no step,
    // unless lots were switched on.
    const bool switched =
        std::any_of(e.layout.begin(), e.layout.end(), [](const CellChange& c) { return c.col == 1; });
    if (e.lotsBefore != e.lotsAfter || e.nBefore != e.nAfter || switched)
        record(std::move(e));
    Outcome o;
    o.changed = ChangedShape | ChangedLots | ChangedCalc | ChangedSpc;
    return finish(std::move(o));
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
        spc_.setText(c, 0, SpcColumnTitle(c, IndexOf(chartKind_)));
    spc_.setText(kSpcVerdictColumn, 0, "判定結果");
}

void SheetSession::clearHeader(const std::string& label, const InitialValues& settings)
{
    dropPendingText();
    specMarking_ = false;
    cpkMarking_ = false;
    header_.product.clear();
    header_.process.clear();
    header_.machine.clear();
    header_.label = label;
    header_.unit = settings.unit;
    header_.decimals = std::to_string(settings.decimals);
    header_.upper.clear();
    header_.lower.clear();
    header_.specKind = SpecKindOfIndex(std::clamp(settings.specKind, 0, 2));
    specVerdict_ = calcVerdict_ = spcVerdict_ = Verdict::None;
    notify(ChangedHeader | ChangedVerdicts | ChangedMarking);
}

Outcome SheetSession::show(const SheetRecord& s, int settingsChart, NormalisedValues* values)
{
    Outcome o;
    o.changed = ChangedValues | ChangedLimits | ChangedCalc | ChangedSpc | ChangedVerdicts | ChangedMarking;
    dropPendingText();
    specMarking_ = false;
    cpkMarking_ = false;
    specVerdict_ = calcVerdict_ = spcVerdict_ = Verdict::None;
    for (std::string& t : limits_)
        t.clear();

    showHeader(s);
    chartKind_ = ChartKindOfIndex(ShownChartKind(ShownColumns(s.n), settingsChart));

    // The tables laid out for the counts, every lot enabled, then the
    // record's lists.
    ClearGridRows(ctrl_);
    ClearGridRows(edit_);
    ClearGridRows(calc_);
    ClearGridRows(spc_);
    layOutTables(s.lots, s.n);
    for (int r = 1; r <= lots_; ++r)
        ctrl_.setFlag(1, r, true);
    Outcome loaded = loadInto(s, values);
    o.messages = std::move(loaded.messages);
    o.changed |= ChangedSheet | ChangedLots | ChangedHeader | ChangedShape;
    return finish(std::move(o));
}

void SheetSession::showHeader(const SheetRecord& s)
{
    dropPendingText();
    header_.product = s.product;
    header_.process = s.process;
    header_.machine = s.machine;
    header_.label = s.label;
    header_.unit = s.unit;
    header_.specKind = SpecKindOfIndex(SpecKindIndex(s.specKindText));
    const int decimals = ShownDecimals(s.decimals);
    header_.decimals = std::to_string(decimals);
    // A limit the kind does not use is kept as it is shown (greyed out):
    // the judgments do not read it, and storing the sheet keeps it.
    header_.upper = ShownSpecLimit(s.upperSpec, decimals);
    header_.lower = ShownSpecLimit(s.lowerSpec, decimals);
}

Outcome SheetSession::loadLists(const SheetRecord& s)
{
    Outcome o = loadInto(s);
    // The lot labels go into the lot, statistics and SPC tables.
    o.changed |= ChangedSheet | ChangedLots | ChangedCalc | ChangedSpc;
    dropPendingText();
    return finish(std::move(o));
}

Outcome SheetSession::loadInto(const SheetRecord& s, NormalisedValues* values)
{
    Outcome o;
    o.changed = ChangedValues;
    if (values) {
        values->lots = lots_;
        values->cols = n_;
    }
    if (!LoadAndNormalise(s, n_, ctrl_, edit_, calc_, spc_, ShownDecimals(header_.decimals), values).ok)
        o.add(SessionMessage::Kind::Warning, kMsgBadLoadedValue);
    return o;
}

void SheetSession::store(SheetRecord& s) const
{
    s.product = header_.product;
    s.process = header_.process;
    s.machine = header_.machine;
    s.label = header_.label;
    s.unit = header_.unit;
    s.specKindText = kSpecKindTexts[IndexOf(header_.specKind)];
    s.decimals = header_.decimals;
    s.upperSpec = header_.upper;
    s.lowerSpec = header_.lower;
    s.lots = lots_;
    s.n = n_;
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
    // What was typed before is its own step first; the computed texts are
    // one step.
    commitPendingText();
    LimitsEdit e;
    e.before = limits_;
    Outcome o = Guarded([&](Outcome& o) { computeLimitsFrom(keptValues(), line, o); });
    if ((o.changed & ChangedLimits) && limits_ != e.before) {
        e.after = limits_;
        record(std::move(e));
    }
    return finish(std::move(o));
}

void SheetSession::computeLimitsFrom(const LotSource& lots, int line, Outcome& o)
{
    if (CountIncludedValues(lots) <= 1)
        return;
    const ControlLimitResult r = ComputeLimits(lots, IndexOf(chartKind_), IndexOf(limitMethod_));
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
        limits_ = r.texts;
        return;
    }
    limits_[static_cast<size_t>(line)] = r.texts[static_cast<size_t>(line)];
    // The hidden R/S/Rs lines are always brought up to date, and they go
    // with the R/S/Rs lines the panel shows, typed ones included.
    HiddenRsLinesAfterOneLine(limits_[LimitRcl], limits_[LimitRsUcl3], r.texts, limits_[LimitRsUcl2],
                              limits_[LimitRsUcl1]);
}

void SheetSession::deriveHiddenLines()
{
    if (!HiddenRsLines(limits_[LimitRcl], limits_[LimitRsUcl3], limits_[LimitRsUcl2], limits_[LimitRsUcl1])) {
        // No lines to go with: lines of earlier limits must not stay behind.
        limits_[LimitRsUcl2].clear();
        limits_[LimitRsUcl1].clear();
    }
}

void SheetSession::followHiddenLines()
{
    deriveHiddenLines();
    notify(ChangedLimits);
}

void SheetSession::typeLimits(const std::array<std::string, kLimitFields>& texts)
{
    dropPendingText();
    limitMethod_ = LimitMethod::Typed;
    lineAutomatic_.fill(false);
    for (int i = 0; i < kVisibleLimitLines; ++i)
        lineNames_[static_cast<size_t>(i)] = kTypedLineNames[static_cast<size_t>(i)];
    limits_ = texts;
    deriveHiddenLines();
    notify(ChangedLimits | ChangedLineStates);
}

SessionFocus SheetSession::missingRequiredField() const
{
    return FocusOf(FindMissingRequiredField(SpecHeaderOf(header_)));
}

bool SheetSession::valueIsMarked(int col, int row) const
{
    if (!specMarking_)
        return false;
    const SpecMarking marking{true, IndexOf(header_.specKind), header_.upper, header_.lower};
    return SpecCellIsRed(row, edit_.text(col, row), marking);
}

bool SheetSession::calcIsMarked(int col, int row) const
{
    const CalcMarking marking{cpkMarking_, threshold_.on, threshold_.index, threshold_.text};
    return CalcCellIsRed(col, row, calc_.text(col, row), marking);
}

void SheetSession::setStoreOverlay(StoreOverlay overlay)
{
    if (overlay == overlay_)
        return;
    overlay_ = std::move(overlay);
    notify(ChangedOverlay);
}

}  // namespace trevolo
