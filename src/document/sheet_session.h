#pragma once
// The shown sheet without a window: everything the inspector sees of the
// current sheet (the header texts, the lot labels and switches, the values,
// the eleven control-limit texts with the state of each line, the statistics
// and SPC tables, the three verdicts and the marking flags) and the commands
// that work on it. The window's tables are views of the session's cell
// stores and its fields write what is typed into the session, so every
// computation reads the session, never a widget.
//
// Each command returns an Outcome: the message boxes to show in order, the
// conversion error that stopped it, the field to focus and what changed, so
// that a view repaints only that. The judgment commands run in a chain as the
// window's buttons do: the SPC judgment runs the capability judgment, which
// runs the specification judgment.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/kept_values.h"
#include "entry/clipboard.h"
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
    std::string product;           // editProduct
    std::string process;           // editProcess
    std::string mbc;               // editMbc
    std::string label;             // editLabel
    std::string unit;              // editUnit
    int specKind = SpecTolerance;  // cmbSpecKind
    std::string keta = "3";        // spinKeta
    std::string upper;             // editKupper
    std::string lower;             // editKlower

    // The limit fields the kind uses are the enabled ones.
    bool upperEnabled() const noexcept { return specKind != SpecLowerOnly; }
    bool lowerEnabled() const noexcept { return specKind != SpecUpperOnly; }
    friend bool operator==(const SheetHeader&, const SheetHeader&) = default;
};

// The four tables of the shown sheet.
enum class SheetTable { Lots, Values, Calc, Spc };

// What the inspector types into the fields of the shown sheet: the header,
// the control-limit texts and the names of the lines.
struct SheetTexts {
    SheetHeader header;
    std::array<std::string, kLimitFields> limits;
    std::array<std::string, kVisibleLimitLines> lineNames;
    friend bool operator==(const SheetTexts&, const SheetTexts&) = default;
};

// The Cp/Cpk threshold of the capability page.
struct CapabilityThreshold {
    bool on = true;             // chkCpCpk
    int index = 1;              // cmbCpCpk: 0 "CP", 1 "CPK"
    std::string text = "1.33";  // editCpCpk
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

class SheetSession {
public:
    SheetSession();
    // The kept values refer to the session's own tables.
    SheetSession(const SheetSession&) = delete;
    SheetSession& operator=(const SheetSession&) = delete;

    // ---- state ----
    SheetHeader header;
    CapabilityThreshold threshold;
    int chartKind = ChartXbarR;  // cmbChart
    // The limit texts, in the order of LimitField.
    std::array<std::string, kLimitFields> limits;
    // The check box of each visible line: on while the line is computed.
    std::array<bool, kVisibleLimitLines> lineAutomatic{};
    // The name of each visible line (itemUcl3 ... itemRsUcl3), in the order
    // of the check boxes; the charts label their lines with them.
    std::array<std::string, kVisibleLimitLines> lineNames = AutomaticLineNames();
    // The histogram's class count as its field shows it (spinBetWeen, 5..10).
    std::string histogramClasses = "10";
    // How the control limits are set (cmbLimit, LimitMethod): 0 computed by
    // the three-sigma method, 1 typed line by line, 2 computed by the
    // coefficient method. The limit commands compute with the coefficient
    // method while 2 is chosen and with the three-sigma method otherwise.
    int limitMethod = 0;
    bool limitsTyped() const noexcept { return limitMethod == kLimitMethodTyped; }
    static constexpr int kLimitMethodTyped = 1;

    Verdict specVerdict = Verdict::None;  // pnlSpecJudg
    Verdict calcVerdict = Verdict::None;  // pnlCpkJudg
    Verdict spcVerdict = Verdict::None;   // pnlSpcJudg
    // Set by the judgments, cleared when a sheet is shown: the values and
    // the statistics are then drawn red where they fail.
    bool specMarking = false;
    bool cpkMarking = false;

    // The tables: lot labels and switches (columns 0 and 1), values, the
    // statistics (with the total row below row 1000) and the SPC table.
    // Row 0 is each table's header row.
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

    // ---- listeners ----
    // Every command tells the listeners once, at its end, what it changed,
    // in the order they were added.
    void addListener(SessionListener* listener);
    void removeListener(SessionListener* listener);

    // ---- the fields ----
    // A field of the shown sheet (a header text, a limit text, a line name,
    // the threshold, a list or box) shows a new state: it is written into
    // the session and the listeners are told.
    void setField(std::string& field, std::string text, unsigned what);
    void setField(int& field, int value, unsigned what);
    void setField(bool& field, bool value, unsigned what);

    // ---- the history ----
    // The undo history of the shown sheet (the workbook keeps one per
    // sheet); null records nothing, as in the batch tool.
    void setHistory(UndoStack* history);
    UndoStack* history() const noexcept { return history_; }
    bool canUndo() const;
    bool canRedo() const;
    // Writes back the before (undo) or after (redo) side of the next step
    // of the history on the shown sheet. Texts typed since the last step
    // are a step of their own first. A step that replaced the whole record
    // is left to the workbook (nothing changes here).
    Outcome undo();
    Outcome redo();
    // The typed texts as they stand, and the point the next step of the
    // fields starts from: commitTexts makes a step of what was typed since
    // (true when there was any); rebaseTexts takes the texts as they stand
    // without a step, after a command that may not be undone or that shows
    // other texts.
    SheetTexts texts() const;
    bool commitTexts();
    void rebaseTexts();

    // ---- the lot table ----
    // The switches of rows top..bottom each turned over (a click, Space over
    // a selection of the check column).
    Outcome toggleLots(int top, int bottom);
    // Every shown lot switched on: "全て有効" (a step of the history), or
    // as a new layout leaves the lots (undoable false: no step).
    Outcome enableAllLots(bool undoable = true);
    // The lot and measurement tables emptied, before another sheet or a
    // new workbook is laid out in them.
    void clearEntries();

    // ---- the commands ----

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
    // The header as the clear button leaves it: the texts emptied, the
    // label the given tab caption, unit, decimals and kind those of the
    // settings; the verdicts and the red marking go.
    void clearHeader(const std::string& label, const Struct_Settings& settings);

    // Shows a sheet record on a fresh view: the header, the counts, the lot
    // labels, switches and values (brought to the sheet's decimals). The
    // warning when a value is not a number comes back as a message. values,
    // when given, receives the numbers of the shown values (for runChain).
    Outcome show(const Struct_Sheet& record, int settingsChart, NormalisedValues* values = nullptr);
    // A record's header as shown: the names, the kind, the decimals as shown
    // and the specification limits brought to them.
    void showHeader(const Struct_Sheet& record);
    // The record's lists into the tables laid out for it: lot switches,
    // labels and values, the values brought to the shown decimals.
    Outcome loadLists(const Struct_Sheet& record);
    // Writes what is shown back into a record: header texts, counts, lists.
    void store(Struct_Sheet& record) const;

    // The values the limit computation would read (enabled lots, non-blank
    // cells): with none the window asks nothing and nothing changes.
    int includedValueCount() const;
    // The three-sigma computation of every line (line < 0) or of one visible
    // line 0..8, after the question was answered; a No changes nothing.
    Outcome computeLimits(int line, bool answeredYes);
    // The R/S/Rs centre or +3σ line was typed: the hidden lines follow.
    void followHiddenLines();
    // Limits given as typed ones ("指定管理値"): every line typed and named
    // for typing, the texts as given, the hidden R/S/Rs lines following the
    // visible ones (the limits in force of a sheet opened from the store).
    void typeLimits(const std::array<std::string, kLimitFields>& texts);

    // The first required header field that is blank, in the order of the
    // specification judgment's check.
    SessionFocus missingRequiredField() const;

    // The point at which a judgment starts its work, past its checks: the
    // window stores the shown sheet there.
    using WorkStart = std::function<void()>;

    Outcome judgeSpecification(const WorkStart& start = {});
    Outcome judgeCapability(const WorkStart& start = {});
    // The SPC judgment reads the rule options, which the workbook keeps.
    Outcome judgeSpc(const Struct_Options& options, const WorkStart& start = {});

    // The lot editor's new numbers (header row first) written into the lot
    // table; every row of the statistics and SPC tables that shows a lot
    // takes that lot's new number, whether the table lists every lot or only
    // those a judgment took (enabled, with a value).
    Outcome renumberLots(const std::vector<std::string>& numbers);

    // ---- the measurement table's cells ----

    // The displayed shape of the measurement table: n columns, the header
    // row and one row per lot.
    GridShape valueShape() const noexcept { return {n_, lots_ + 1, 0, 1}; }
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

    // The red marking of one measurement cell and one statistics cell as
    // they are painted now.
    bool valueIsMarked(int col, int row) const;
    bool calcIsMarked(int col, int row) const;

    // The whole chain of a shown sheet as the batch tool runs it: the limits
    // computed (answered Yes) or typed, then the SPC judgment, every value
    // converted once for all steps.
    // The capability study of the same converted values goes into study when
    // one is given. shown: the values show() gave, the tables unchanged
    // since; they are taken over instead of converting the texts again.
    Outcome runChain(const std::array<std::string, kLimitFields>* typedLimits, const Struct_Options& options,
                     CapabilityStudy* study = nullptr, NormalisedValues* shown = nullptr);

private:
    // The steps, over a source of lots (the tables, or their values
    // converted once).
    void computeLimitsFrom(const LotSource& lots, int line, Outcome& o);
    void judgeSpecificationFrom(const LotSource& lots, const WorkStart& start, Outcome& o);
    void judgeCapabilityFrom(const LotSource& lots, const WorkStart& start, Outcome& o);
    void judgeSpcFrom(const LotSource& lots, const Struct_Options& options, const WorkStart& start, Outcome& o);

    void layOutTables(int lots, int n);
    Outcome loadInto(const Struct_Sheet& record, NormalisedValues* values = nullptr);
    // Tells the listeners what an outcome changed and returns it.
    Outcome finish(Outcome o, int col = -1, int row = -1) const;
    void notify(unsigned what, int col = -1, int row = -1) const;
    CellStore& table(SheetTable which);
    // Adds a step to the history, when there is one.
    void record(UndoStep step);
    // Writes one side of a step back; the outcome says what changed.
    Outcome apply(const UndoStep& step, bool after);
    Outcome travel(bool redo);

    std::vector<SessionListener*> listeners_;
    UndoStack* history_ = nullptr;
    SheetTexts textBase_;
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
};

}  // namespace trevolo
