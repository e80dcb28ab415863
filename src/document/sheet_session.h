#pragma once
// The shown sheet without a window: everything the inspector sees of the
// current sheet (the header texts, the lot labels and switches, the values,
// the eleven control-limit texts with the state of each line, the statistics
// and SPC tables, the three verdicts and the marking flags) and the commands
// on its header and limits. The commands that edit the cells are SheetEdits
// (below) and the judgments JudgmentRunner (judgment_chain.h). The window's
// tables are views of the session's cell stores and its fields write what is
// typed into the session through its setters, so every computation reads the
// session, never a widget.
//
// Each command returns an Outcome: the message boxes to show in order, the
// conversion error that stopped it, the field to focus and what changed, so
// that a view repaints only that.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/kept_values.h"
#include "document/store_overlay.h"
#include "entry/clipboard.h"
#include "entry/tolerance_judgment.h"
#include "model/cellstore.h"
#include "model/comfunction.h"
#include "model/comtype.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "spc/rule_engine.h"
#include "stats/capability.h"
#include "stats/control_limits.h"
#include "stats/lot_table.h"
#include "stats/process_capability.h"

namespace trevolo {

class UndoStack;
struct UndoStep;
struct CellEdit;
struct TextEdit;
struct SpecKindEdit;
struct CountEdit;
struct LimitsEdit;
struct RecordEdit;
class SheetEdits;
class SheetSession;
struct CellChange;

// The nine limit lines the panel shows, with a check box and a name each
// (the two hidden R/S/Rs lines follow the visible ones).
inline constexpr int kVisibleLimitLines = 9;

// The names the lines take while their limits are computed.
inline std::array<std::string, kVisibleLimitLines> AutomaticLineNames()
{
    std::array<std::string, kVisibleLimitLines> names;
    for (int i = 0; i < kVisibleLimitLines; ++i)
        names[static_cast<size_t>(i)] = kThreeSigmaLineNames[static_cast<size_t>(i)];
    return names;
}

// The header fields of the shown sheet, as their fields show them.
struct SheetHeader {
    std::string product;   // the product's name
    std::string process;   // the process's name
    std::string machine;   // the machine's name
    std::string label;     // the item's name, also the sheet's tab label
    std::string unit;      // the unit of measurement
    SpecKind specKind = SpecKind::Tolerance;
    std::string decimals = "3";  // the decimals values are shown with, as typed
    std::string upper;           // the upper specification limit, as typed
    std::string lower;           // the lower specification limit, as typed

    // The limit fields the kind uses are the enabled ones.
    bool upperEnabled() const noexcept { return specKind != SpecKind::LowerOnly; }
    bool lowerEnabled() const noexcept { return specKind != SpecKind::UpperOnly; }
    friend bool operator==(const SheetHeader&, const SheetHeader&) = default;
};

// The four tables of the shown sheet.
enum class SheetTable { Lots, Values, Calc, Spc };

// The text fields of the header, in the order of the panel.
enum class HeaderField { Product, Process, Machine, Label, Unit, Decimals, Upper, Lower };

// A field of the shown sheet the inspector types, one step of the history
// each: a header text, a limit text (index: LimitField) or the name of a
// visible line.
struct TextField {
    enum class Group { Header, Limit, LineName };
    Group group = Group::Header;
    int index = 0;
    static TextField OfHeader(HeaderField f) noexcept { return {Group::Header, static_cast<int>(f)}; }
    friend bool operator==(const TextField&, const TextField&) = default;
};
// The field's caption, as the step of the history is named ("規格上限").
const char* CaptionOf(TextField field) noexcept;

// What the inspector types into the fields of the shown sheet: the header,
// the control-limit texts and the names of the lines.
struct SheetTexts {
    SheetHeader header;
    std::array<std::string, kLimitFields> limits;
    std::array<std::string, kVisibleLimitLines> lineNames;
    friend bool operator==(const SheetTexts&, const SheetTexts&) = default;
};

// How the limits of a sheet are shown: not part of its record, so showing
// the record afresh sets them from the settings.
struct SheetView {
    ChartKind chartKind = ChartKind::XbarR;
    LimitMethod limitMethod = LimitMethod::ThreeSigma;
    std::array<std::string, kLimitFields> limits;
    std::array<bool, kVisibleLimitLines> lineAutomatic{};
    std::array<std::string, kVisibleLimitLines> lineNames;
    friend bool operator==(const SheetView&, const SheetView&) = default;
};

// The Cp/Cpk threshold of the capability page.
struct CapabilityThreshold {
    bool on = true;             // the threshold is applied
    int index = 1;              // the index judged by: 0 "CP", 1 "CPK"
    std::string text = "1.33";  // the threshold as typed
    friend bool operator==(const CapabilityThreshold&, const CapabilityThreshold&) = default;
};

// A message box of a command: the guidance box ("ガイドメッセージ") or the
// warning box ("警告メッセージ"), and its text. The batch chain reports the
// boxes of its commands as they are.
struct SessionMessage {
    enum class Kind { Guide, Warning };
    Kind kind = Kind::Guide;
    std::string text;
    friend bool operator==(const SessionMessage&, const SessionMessage&) = default;
};

// The field a command gives the focus to.
enum class SessionFocus { None, Label, Unit, Upper, Lower };

// What a command changed, so a view repaints only that.
enum SessionChange : unsigned {
    ChangedNothing = 0,
    ChangedValues = 1u << 0,       // measurement table
    ChangedLimits = 1u << 1,       // the eleven limit texts
    ChangedCalc = 1u << 2,         // statistics table (texts or row count)
    ChangedSpc = 1u << 3,          // SPC table (texts or row count)
    ChangedVerdicts = 1u << 4,     // the three verdicts
    ChangedMarking = 1u << 5,      // the red marking of the values or statistics
    ChangedLots = 1u << 6,         // lot labels or switches
    ChangedHeader = 1u << 7,       // a header field or the threshold
    ChangedShape = 1u << 8,        // the lot count, n or the chart kind
    ChangedSheet = 1u << 9,        // another sheet (or the same afresh) is shown
    ChangedLineStates = 1u << 10,  // the limit method and the state and name of each line
    ChangedOverlay = 1u << 11,     // what the plant store adds to the charts (StoreOverlay)
};

// Told of every change of the shown sheet as it happens: views that draw
// the document (the charts) and the crash journal follow it this way.
class SessionListener {
public:
    virtual ~SessionListener() = default;
    // what: SessionChange bits. For a change of one cell of the values or
    // lot tables, its column and row (row 1 = first lot); else -1, -1.
    virtual void sessionChanged(unsigned what, int col, int row) = 0;
};

struct Outcome {
    std::vector<SessionMessage> messages;
    // The text that is not a number and stopped the command ("'<text>' は
    // 浮動小数点数ではありません"); shown after the messages, in the error box.
    std::optional<ConvertError> error;
    SessionFocus focus = SessionFocus::None;
    unsigned changed = ChangedNothing;
    // Where the current cell of the measurement table goes; none: it stays.
    std::optional<GridPos> current;

    // How far a judgment got: each step that finished its work without a
    // stop, and whether the capability step gave a new verdict.
    bool specJudged = false;
    bool calcJudged = false;
    bool calcVerdictSet = false;
    bool spcJudged = false;

    void add(SessionMessage::Kind kind, std::string text) { messages.push_back({kind, std::move(text)}); }
};

// The commands that edit the cells of the shown sheet: typing and
// committing a value, a paste, a cleared block, the lot switches and the
// lot numbers. Each is one step of the sheet's history.
class SheetEdits {
public:
    explicit SheetEdits(SheetSession& session) : s_(session) {}
    SheetEdits(const SheetEdits&) = delete;
    SheetEdits& operator=(const SheetEdits&) = delete;

    // ---- the lot table ----
    // The switches of rows top..bottom each turned over (a click, Space over
    // a selection of the check column).
    Outcome toggleLots(int top, int bottom);
    // Every shown lot switched on: "全て有効".
    Outcome enableAllLots();

    // The lot editor's new numbers (header row first) written into the lot
    // table; every row of the statistics and SPC tables that shows a lot
    // takes that lot's new number, whether the table lists every lot or only
    // those a judgment took (enabled, with a value).
    Outcome renumberLots(const std::vector<std::string>& numbers);

    // ---- the measurement table's cells ----
    // Enter on a measurement cell: a value is rewritten with the sheet's
    // decimals and the current cell moves on (along the row, then to the
    // first cell of the next row, after the last row to the first one); a
    // text that is not a number is emptied and the current cell stays; an
    // empty or blank cell is left as it is and the current cell moves on. A
    // position outside the data cells does nothing.
    Outcome commitValue(int col, int row);
    // The in-place editor wrote text into a measurement cell: it is stored
    // with the minus-sign rule applied (a "-" is only a sign at the front).
    Outcome typeValue(int col, int row, std::string text);
    // Clipboard text written into the measurement table from the selection's
    // top-left cell, the displayed cells only; a text that writes no cell
    // changes nothing.
    Outcome paste(GridRect selection, std::string_view text);
    // Empties the selected measurement cells that are displayed.
    Outcome clearCells(GridRect selection);

private:
    SheetSession& s_;
};

// The header as the specification judgment reads it, and the field a
// missing required one gives the focus to.
SpecHeaderTexts SpecHeaderOf(const SheetHeader& h);
SessionFocus FocusOf(RequiredField f);

// Runs a step of a command; a text that is not a number stops it, and the
// outcome carries that error with whatever the step changed before it.
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

class SheetSession {
public:
    SheetSession();
    // The kept values refer to the session's own tables.
    SheetSession(const SheetSession&) = delete;
    SheetSession& operator=(const SheetSession&) = delete;
    ~SheetSession();

    // ---- the header and the limits ----
    // Each setter writes the new state and tells the listeners. A field the
    // inspector types (a header text, a limit, a line name) is pending while
    // it is typed: it becomes its own step of the history when the field is
    // committed, when another field is typed, and before any other step is
    // recorded or undo or redo runs, so the steps keep the order of the edits.
    const SheetHeader& header() const noexcept { return header_; }
    void setHeaderText(HeaderField field, std::string text);
    // The specification kind: a step of its own.
    void setSpecKind(SpecKind kind);

    const CapabilityThreshold& threshold() const noexcept { return threshold_; }
    void setThreshold(CapabilityThreshold threshold);
    void setThresholdOn(bool on);
    void setThresholdIndex(int index);
    void setThresholdText(std::string text);

    ChartKind chartKind() const noexcept { return chartKind_; }
    void setChartKind(ChartKind kind);

    // The limit texts, in the order of LimitField.
    const std::array<std::string, kLimitFields>& limits() const noexcept { return limits_; }
    const std::string& limit(int field) const { return limits_[static_cast<size_t>(field)]; }
    void setLimit(int field, std::string text);
    // The check box of each visible line: on while the line is computed.
    const std::array<bool, kVisibleLimitLines>& lineAutomatic() const noexcept { return lineAutomatic_; }
    void setLineAutomatic(int line, bool on);
    // The name of each visible line (itemUcl3 ... itemRsUcl3), in the order
    // of the check boxes; the charts label their lines with them.
    const std::array<std::string, kVisibleLimitLines>& lineNames() const noexcept { return lineNames_; }
    void setLineName(int line, std::string name);
    // The histogram's class count as its field shows it (5..10).
    const std::string& histogramClasses() const noexcept { return histogramClasses_; }
    void setHistogramClasses(std::string text);
    // How the control limits are set. The limit commands compute
    // with the coefficient method while it is chosen and with the
    // three-sigma method otherwise.
    LimitMethod limitMethod() const noexcept { return limitMethod_; }
    void setLimitMethod(LimitMethod method);
    bool limitsTyped() const noexcept { return limitMethod_ == LimitMethod::Typed; }

    // How the limits are shown, and that view given back (the listeners are
    // told of the limits and the line states).
    SheetView view() const;
    void setView(const SheetView& view);

    // The verdicts of the specification, capability and SPC judgments.
    Verdict specVerdict() const noexcept { return specVerdict_; }
    Verdict calcVerdict() const noexcept { return calcVerdict_; }
    Verdict spcVerdict() const noexcept { return spcVerdict_; }
    // Set by the judgments, cleared when a sheet is shown: the values and
    // the statistics are then drawn red where they fail.
    bool specMarking() const noexcept { return specMarking_; }
    bool cpkMarking() const noexcept { return cpkMarking_; }
    // The marking and the verdicts set as a judgment leaves them.
    void setMarking(bool spec, bool cpk);
    void setVerdicts(Verdict spec, Verdict calc, Verdict spc);

    // ---- the tables ----
    // Lot labels and switches (columns 0 and 1), values, the statistics
    // (with the total row below row 1000) and the SPC table. Row 0 is each
    // table's header row.
    CellStore& lotCells() { return ctrl_; }
    const CellStore& lotCells() const { return ctrl_; }
    CellStore& valueCells() { return edit_; }
    const CellStore& valueCells() const { return edit_; }
    CellStore& calcCells() { return calc_; }
    const CellStore& calcCells() const { return calc_; }
    CellStore& spcCells() { return spc_; }
    const CellStore& spcCells() const { return spc_; }

    // The shown lots and n (the tables' dimensions), and the row counts of
    // the statistics and SPC tables, header row included.
    int lots() const noexcept { return lots_; }
    int columns() const noexcept { return n_; }
    void setDimensions(int lots, int n) noexcept;
    int calcRowCount() const noexcept { return calcRows_; }
    int spcRowCount() const noexcept { return spcRows_; }
    void setResultRowCounts(int calcRows, int spcRows) noexcept;
    // The displayed shape of the measurement table: n columns, the header
    // row and one row per lot.
    GridShape valueShape() const noexcept { return {n_, lots_ + 1, 0, 1}; }

    // The commands that edit the cells.
    SheetEdits& edits() noexcept { return edits_; }

    // What the plant store adds to the charts of the shown sheet: set by the
    // store's view, never a step of the history; another sheet shown clears it.
    const StoreOverlay& storeOverlay() const noexcept { return overlay_; }
    void setStoreOverlay(StoreOverlay overlay);

    // ---- listeners ----
    // Every command tells the listeners once, at its end, what it changed,
    // in the order they were added.
    void addListener(SessionListener* listener);
    void removeListener(SessionListener* listener);

    // ---- the history ----
    // The undo history of the shown sheet (the workbook keeps one per
    // sheet); null records nothing, as in the batch tool.
    void setHistory(UndoStack* history);
    UndoStack* history() const noexcept { return history_; }
    bool canUndo() const;
    bool canRedo() const;
    // What undo and redo would take back or bring again, for the menu
    // ("元に戻す: " + label): the field being typed first; empty when there
    // is nothing.
    std::string undoLabel() const;
    std::string redoLabel() const;
    // Told whenever canUndo, canRedo or the labels may have changed: a step
    // recorded, undone or redone, another sheet's history taken, a field
    // begun.
    void setHistoryChanged(std::function<void()> changed);
    // Writes back the before (undo) or after (redo) side of the next step
    // of the history on the shown sheet; a pending field is a step of its
    // own first. A step that replaced the whole record is left to the
    // workbook (nothing changes here).
    Outcome undo();
    Outcome redo();
    // The typed texts as they stand.
    SheetTexts texts() const;
    // The field being typed becomes its step (true when it changed
    // anything and there is a history to hold it).
    bool commitPendingText();
    // The field being typed is taken as it stands, without a step: after a
    // command that may not be undone or that shows other texts.
    void dropPendingText();
    // Adds a step to the history, when there is one, after the pending field.
    void record(UndoStep step);

    // ---- the layout ----
    // The lot and measurement tables emptied, before another sheet or a
    // new workbook is laid out in them.
    void clearEntries();
    // The verdicts cleared (each that is set), as a new layout or chart kind
    // leaves them.
    void clearVerdicts(bool spec, bool calc, bool spc);
    // The statistics and SPC tables emptied and the verdicts of the
    // capability and SPC judgments cleared.
    void clearResults();
    // The limit texts emptied and every line in the state of the limit
    // method: computed lines checked and named as the three-sigma method
    // names them, typed lines clear and named for typing.
    void resetLimits();

    // Lays the tables out for lots and n (clamped): the lot labels of the
    // lot, statistics and SPC tables (a lot keeps the label it has; a row
    // with none gets its default, K0001…), the header rows of the four
    // tables (the SPC table's naming the R, S or Rs side of the chart kind)
    // and one result row per lot.
    void layOut(int lots, int n);
    // A new lot count or n typed in the window, as one step of the history:
    // the tables laid out, and with enableAll every lot switched on.
    Outcome changeCount(int lots, int n, bool enableAll);
    // The header as the clear button leaves it: the texts emptied, the
    // label the given tab caption, unit, decimals and kind those of the
    // settings; the verdicts and the red marking go.
    void clearHeader(const std::string& label, const InitialValues& settings);

    // Shows a sheet record on a fresh view: the header, the counts, the lot
    // labels, switches and values (brought to the sheet's decimals). The
    // warning when a value is not a number comes back as a message. values,
    // when given, receives the numbers of the shown values (for runChain).
    Outcome show(const SheetRecord& record, int settingsChart, NormalisedValues* values = nullptr);
    // A record's header as shown: the names, the kind, the decimals as shown
    // and the specification limits brought to them.
    void showHeader(const SheetRecord& record);
    // The record's lists into the tables laid out for it: lot switches,
    // labels and values, the values brought to the shown decimals.
    Outcome loadLists(const SheetRecord& record);
    // Writes what is shown back into a record: header texts, counts, lists.
    void store(SheetRecord& record) const;

    // ---- the limits ----
    // The values the limit computation would read (enabled lots, non-blank
    // cells): with none the window asks nothing and nothing changes.
    int includedValueCount() const;
    // The computation of every line (line < 0) or of one visible line 0..8,
    // after the question was answered, as one step of the history; a No
    // changes nothing.
    Outcome computeLimits(int line, bool answeredYes);
    // The R/S/Rs centre or +3σ line was typed: the hidden lines follow.
    void followHiddenLines();
    // Limits given as typed ones ("指定管理値"): every line typed and named
    // for typing, the texts as given, the hidden R/S/Rs lines following the
    // visible ones (the limits in force of a sheet opened from the store).
    void typeLimits(const std::array<std::string, kLimitFields>& texts);

    // ---- the judgments (run by JudgmentRunner) ----
    // The first required header field that is blank, in the order of the
    // specification judgment's check.
    SessionFocus missingRequiredField() const;

    // The red marking of one measurement cell and one statistics cell as
    // they are painted now.
    bool valueIsMarked(int col, int row) const;
    bool calcIsMarked(int col, int row) const;

    // Tells the listeners what an outcome changed and returns it.
    Outcome finish(Outcome o, int col = -1, int row = -1) const;

private:
    // The judgments write their verdicts, marking and result tables.
    friend class JudgmentRunner;

    // The limits computed over a source of lots (the tables, or their
    // values converted once).
    void computeLimitsFrom(const LotSource& lots, int line, Outcome& o);

    void layOutTables(int lots, int n);
    Outcome loadInto(const SheetRecord& record, NormalisedValues* values = nullptr);
    void notify(unsigned what, int col = -1, int row = -1) const;
    CellStore& table(SheetTable which);
    // The text a field holds, and a field set with its listeners told.
    std::string& textOf(TextField field);
    const std::string& textOf(TextField field) const;
    bool pendingChanged() const { return pending_ && pending_->before != textOf(pending_->field); }
    void writeText(TextField field, std::string text);
    // A typed field: pending until it is committed.
    void typeText(TextField field, std::string text);
    // The hidden R/S/Rs lines follow the R/S/Rs centre and +3σ lines; with
    // none to follow they are emptied.
    void deriveHiddenLines();

    // Writes one side of a step back, one function per kind of step.
    Outcome travel(bool redo);
    void apply(const CellEdit& e, bool after, Outcome& o);
    void apply(const TextEdit& e, bool after, Outcome& o);
    void apply(const SpecKindEdit& e, bool after, Outcome& o);
    void apply(const CountEdit& e, bool after, Outcome& o);
    void apply(const LimitsEdit& e, bool after, Outcome& o);
    void apply(const RecordEdit& e, bool after, Outcome& o);
    void putCell(const CellChange& c, bool after);

    SheetHeader header_;
    CapabilityThreshold threshold_;
    ChartKind chartKind_ = ChartKind::XbarR;
    std::array<std::string, kLimitFields> limits_;
    std::array<bool, kVisibleLimitLines> lineAutomatic_{};
    std::array<std::string, kVisibleLimitLines> lineNames_ = AutomaticLineNames();
    std::string histogramClasses_ = "10";
    LimitMethod limitMethod_ = LimitMethod::ThreeSigma;
    Verdict specVerdict_ = Verdict::None;
    Verdict calcVerdict_ = Verdict::None;
    Verdict spcVerdict_ = Verdict::None;
    bool specMarking_ = false;
    bool cpkMarking_ = false;
    StoreOverlay overlay_;

    void historyChanged() const;

    std::vector<SessionListener*> listeners_;
    UndoStack* history_ = nullptr;
    std::function<void()> historyChanged_;
    // The field being typed and its text before the typing began.
    struct Pending {
        TextField field;
        std::string before;
    };
    std::optional<Pending> pending_;
    CellStore ctrl_;
    CellStore edit_;
    CellStore calc_;
    CellStore spc_;
    // The values converted and the record's lines as of the last command
    // that read them; each lot is taken again when its rows change.
    mutable KeptValues kept_{ctrl_, edit_};
    mutable KeptLines keptLines_{ctrl_, edit_};
    // The kept values brought up to the tables as they stand.
    const KeptValues& keptValues() const;
    int lots_ = kMinLots;
    int n_ = kMinN;
    int calcRows_ = kMinLots + 1;
    int spcRows_ = kMinLots + 1;
    SheetEdits edits_{*this};
};

}  // namespace trevolo
