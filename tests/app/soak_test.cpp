// A long seeded run of the main window as a user drives it: values typed
// through the in-place editor, blocks pasted, copied, cut and deleted through
// the clipboard commands, lots switched on and off, header fields edited, the
// control limits set, the lot count, n and the sheet count changed, sheets
// switched and the three judgments run, in a random order drawn from a fixed
// seed. After each step the window is checked against what the step must have
// done: at every save point the stored sheet record against the view, after
// every sheet switch the shown sheet against its record, and after every
// judgment the verdicts, tables and red marks against the judgment
// computations run on the same values. The resident set size must not grow by
// more than a tenth between the end of the warm-up and the end of the run.
//
// A failure names the seed and the step; the run up to it is replayed with
//   TREVOLO_SOAK_SEED=<seed> TREVOLO_SOAK_STEPS=<step> app_soak_test
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QPixmapCache>
#include <QTimer>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/sheets_form.h"
#include "app_fixture.h"
#include "entry/tolerance_judgment.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "document/judgment_chain.h"
#include "spc/rule_engine.h"
#include "stats/capability.h"
#include "stats/control_limits.h"
#include "stats/lot_table.h"
#include "stats/typed_limits.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;
using trevolo::testing::LimitBoxCtl;
using trevolo::testing::LimitFieldCtl;
using trevolo::testing::LimitNameCtl;
using trevolo::testing::Ctls;

// AddressSanitizer keeps freed memory in quarantine, so the resident set grows
// by design there; the memory bound is only asserted without it.
#if defined(__SANITIZE_ADDRESS__)
#define TREVOLO_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREVOLO_SOAK_ASAN 1
#endif
#endif

namespace trevolo {
namespace {

using testing::MainFormTest;

// The run keeps every sheet within these bounds, so a fixed region of the
// tables holds everything it ever writes, hidden cells included.
constexpr int kSoakMaxLots = 60;
constexpr int kSoakMaxN = 10;
constexpr int kSoakMinSheets = 3;
constexpr int kSoakMaxSheets = 5;
constexpr int kVisibleLines = 9;

const char* const kAutoLineNames[kVisibleLines] = {"＋３σ", "＋２σ",  "＋１σ",  "－３σ", "－２σ",
                                                   "－１σ", "平均値", "平均値", "＋３σ"};
const char* const kManualLineNames[kVisibleLines] = {"上限規格値", "上限管理値", "設定管理値",
                                                     "下限規格値", "下限管理値", "設定管理値",
                                                     "中央値",     "中央値",     "上限管理値"};
const char* const kAskAllLimits =
    "※自動計算した±３σの値がそれぞれ設定されます。\n元に戻す事が出来ませんが、本当に宜しいですか？";

const QColor kRedText(255, 0, 0);
const QColor kLimeText(0, 255, 0);

// The resident set size. The style's pixmap cache is emptied first: every
// focus change gives a field a new palette, and the cache keeps a picture of
// the field's buttons for each palette up to its fixed limit of several
// megabytes, which a run of this length fills only towards its end. The
// memory freed is then given back to the system, so what is measured is
// what the program keeps.
long ResidentKiB()
{
    QPixmapCache::clear();
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The bytes the allocator has handed out and not taken back (not counted
// under AddressSanitizer, which has an allocator of its own).
size_t HeapInUseKiB()
{
    return mallinfo2().uordblks / 1024;
}

// Cell texts of the measurement table, rows 1..kSoakMaxLots by columns
// 0..kSoakMaxN-1: [row - 1][col].
using Region = std::vector<std::array<std::string, kSoakMaxN>>;

// What the window shows, read from its widgets and tables.
struct ViewState {
    std::string product, process, machine, label, unit, kindText, decimals, upper, lower;
    int kind = 0;
    bool upperEnabled = true;
    bool lowerEnabled = true;
    int lots = 0;  // lot rows of the lot table
    int n = 0;     // measurement columns
    int editLots = 0;
    int spinLots = 0;
    int spinN = 0;
    std::vector<std::string> labels;  // [row - 1], hidden rows included
    std::vector<bool> flags;
    Region values;
    std::array<std::string, kLimitFields> limits;
    std::array<std::string, kVisibleLines> lineNames;
    int chart = 0;
    int limitMethod = 0;
    bool cpkOn = true;
    int cpkIndex = 1;
    std::string cpk;
    std::string pnlSpec, pnlCpk, pnlSpc;
    int calcRows = 1;
    int spcRows = 1;
    std::vector<CalcRow> calc;  // displayed rows 1..calcRows-1
    std::vector<SpcRow> spc;    // displayed rows 1..spcRows-1
    int specMarking = 0;
    int cpkMarking = 0;
    int selected = -1;
    std::vector<std::string> tabs;
};

ViewState Capture(const TMainForm& f)
{
    auto* cmbSpecKind = Ctl<QComboBox>(f, "cmbSpecKind");
    auto* editKupper = Ctl<TEdit>(f, "editKupper");
    auto* editKlower = Ctl<TEdit>(f, "editKlower");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    auto* gridSpc = Ctl<StringGrid>(f, "gridSpc");
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    ViewState v;
    v.product = ToStdString(Ctl<TEdit>(f, "editProduct")->text());
    v.process = ToStdString(Ctl<TEdit>(f, "editProcess")->text());
    v.machine = ToStdString(Ctl<TEdit>(f, "editMbc")->text());
    v.label = ToStdString(Ctl<TEdit>(f, "editLabel")->text());
    v.unit = ToStdString(Ctl<TEdit>(f, "editUnit")->text());
    v.kind = cmbSpecKind->currentIndex();
    v.kindText = ToStdString(cmbSpecKind->currentText());
    v.decimals = ToStdString(Ctl<TSpinEdit>(f, "spinKeta")->text());
    v.upper = ToStdString(editKupper->text());
    v.lower = ToStdString(editKlower->text());
    v.upperEnabled = editKupper->isEnabled();
    v.lowerEnabled = editKlower->isEnabled();
    v.lots = gridCtrl->RowCount() - 1;
    v.n = gridEdit->ColCount();
    v.editLots = gridEdit->RowCount() - 1;
    v.spinLots = Ctl<TSpinEdit>(f, "spinRow")->value();
    v.spinN = Ctl<TSpinEdit>(f, "spinCol")->value();
    const CellStore& ctrl = gridCtrl->cells();
    const CellStore& edit = gridEdit->cells();
    v.labels.resize(kSoakMaxLots);
    v.flags.resize(kSoakMaxLots);
    v.values.resize(kSoakMaxLots);
    for (int r = 1; r <= kSoakMaxLots; ++r) {
        v.labels[r - 1] = ctrl.text(0, r);
        v.flags[r - 1] = ctrl.flag(1, r);
        for (int c = 0; c < kSoakMaxN; ++c)
            v.values[r - 1][c] = edit.text(c, r);
    }
    for (int i = 0; i < kLimitFields; ++i)
        v.limits[i] = ToStdString(LimitFieldCtl(f, i)->text());
    for (int i = 0; i < kVisibleLines; ++i)
        v.lineNames[i] = ToStdString(LimitNameCtl(f, i)->text());
    v.chart = Ctl<QComboBox>(f, "cmbChart")->currentIndex();
    v.limitMethod = Ctl<QComboBox>(f, "cmbLimit")->currentIndex();
    v.cpkOn = Ctl<QCheckBox>(f, "chkCpCpk")->isChecked();
    v.cpkIndex = Ctl<QComboBox>(f, "cmbCpCpk")->currentIndex();
    v.cpk = ToStdString(Ctl<TEdit>(f, "editCpCpk")->text());
    v.pnlSpec = ToStdString(Ctl<QLabel>(f, "pnlSpecJudg")->text());
    v.pnlCpk = ToStdString(Ctl<QLabel>(f, "pnlCpkJudg")->text());
    v.pnlSpc = ToStdString(Ctl<QLabel>(f, "pnlSpcJudg")->text());
    v.calcRows = gridCalc->RowCount();
    for (int r = 1; r < v.calcRows; ++r) {
        CalcRow row;
        for (int c = 0; c < kCalcColumns; ++c)
            row[c] = gridCalc->cells().text(c, r);
        v.calc.push_back(row);
    }
    v.spcRows = gridSpc->RowCount();
    for (int r = 1; r < v.spcRows; ++r) {
        SpcRow row;
        for (int c = 0; c < kSpcColumns; ++c)
            row[c] = gridSpc->cells().text(c, r);
        v.spc.push_back(row);
    }
    v.specMarking = f.session().specMarking();
    v.cpkMarking = f.session().cpkMarking();
    v.selected = f.selectedTab();
    for (int i = 0; i < tabCtrl->count(); ++i)
        v.tabs.push_back(ToStdString(tabCtrl->tabText(i)));
    return v;
}

// The shown lots of a view with the given cell texts, as the judgment
// computations read them.
LotTable MakeLots(const ViewState& v, const Region& values)
{
    std::vector<Lot> lots;
    lots.reserve(static_cast<size_t>(v.lots));
    for (int r = 1; r <= v.lots; ++r) {
        Lot lot;
        lot.label = v.labels[r - 1];
        lot.enabled = v.flags[r - 1];
        for (int c = 0; c < v.n; ++c)
            lot.cells.push_back(values[r - 1][c]);
        lots.push_back(std::move(lot));
    }
    return LotTable(std::move(lots), v.n);
}

int Decimals(const std::string& decimals)
{
    int k = 0;
    return TryStrToInt(decimals, k) ? std::clamp(k, 0, 5) : 0;
}

// A specification limit as its field shows it after a sheet is loaded.
std::string LoadedLimit(const std::string& t, int k)
{
    if (IsBlank(t))
        return {};
    double v = 0;
    return TryStrToFloat(t, v) ? FormatFixed(v, k) : t;
}

// The first difference between a stored record and the view it was stored
// from, or "" when the record holds exactly what the view shows.
std::string RecordDiff(const SheetRecord& rec, const ViewState& v)
{
    std::ostringstream d;
    auto text = [&](const char* name, const std::string& stored, const std::string& shown) {
        if (stored != shown && d.tellp() == 0)
            d << name << ": stored '" << stored << "', shown '" << shown << "'";
    };
    text("Product", rec.product, v.product);
    text("Process", rec.process, v.process);
    text("Mbc", rec.machine, v.machine);
    text("Label", rec.label, v.label);
    text("Unit", rec.unit, v.unit);
    text("SpecKind", rec.specKindText, v.kindText);
    text("Keta", rec.decimals, v.decimals);
    text("Kupper", rec.upperSpec, v.upper);
    text("Klower", rec.lowerSpec, v.lower);
    if (d.tellp() != 0)
        return d.str();
    if (rec.lots != v.lots || rec.n != v.n || !rec.hasLists)
        return "counts: stored " + std::to_string(rec.lots) + " x " + std::to_string(rec.n) + ", shown " +
               std::to_string(v.lots) + " x " + std::to_string(v.n);
    if (rec.checkList.size() != static_cast<size_t>(v.lots) || rec.dataList.size() != static_cast<size_t>(v.lots))
        return "list sizes " + std::to_string(rec.checkList.size()) + "/" + std::to_string(rec.dataList.size()) +
               " for " + std::to_string(v.lots) + " lots";
    for (int r = 1; r <= v.lots; ++r) {
        const std::string flag = v.flags[r - 1] ? "1" : "0";
        if (rec.checkList[r - 1] != flag)
            return "lot " + std::to_string(r) + " flag: stored '" + rec.checkList[r - 1] + "', shown " + flag;
        const DataLineParts parts = DataLineSplit(rec.dataList[r - 1]);
        if (parts.label != v.labels[r - 1])
            return "lot " + std::to_string(r) + " label: stored '" + parts.label + "', shown '" + v.labels[r - 1] + "'";
        const std::vector<std::string> items = CommaTextSplit(parts.values);
        if (items.size() > static_cast<size_t>(v.n))
            return "lot " + std::to_string(r) + ": " + std::to_string(items.size()) + " values stored for n " +
                   std::to_string(v.n) + " in '" + rec.dataList[r - 1] + "'";
        for (int c = 0; c < v.n; ++c) {
            const std::string stored = static_cast<size_t>(c) < items.size() ? items[c] : std::string();
            if (stored != v.values[r - 1][c])
                return "value (" + std::to_string(c) + "," + std::to_string(r) + "): stored '" + stored + "', shown '" +
                       v.values[r - 1][c] + "' in line '" + rec.dataList[r - 1] + "'";
        }
    }
    return {};
}

// The first difference between a freshly shown sheet and its record, or "".
// warned tells whether showing it must have warned about a value that is not
// a number.
std::string LoadedDiff(const SheetRecord& rec, const ViewState& v, const InitialValues& set, bool& warned)
{
    std::ostringstream d;
    auto text = [&](const char* name, const std::string& want, const std::string& shown) {
        if (want != shown && d.tellp() == 0)
            d << name << ": want '" << want << "', shown '" << shown << "'";
    };
    const int lots = std::clamp(static_cast<int>(rec.lots), kMinLots, kMaxLots);
    const int n = std::clamp(static_cast<int>(rec.n), kMinN, kMaxN);
    int k = 3;
    if (!IsBlank(rec.decimals) && !TryStrToInt(rec.decimals, k))
        k = 3;
    k = std::clamp(k, 0, 5);
    const int kind = SpecKindIndex(rec.specKindText);
    text("product", rec.product, v.product);
    text("process", rec.process, v.process);
    text("mbc", rec.machine, v.machine);
    text("label", rec.label, v.label);
    text("unit", rec.unit, v.unit);
    text("kind", kSpecKindTexts[kind], v.kindText);
    text("keta", std::to_string(k), v.decimals);
    text("upper", LoadedLimit(rec.upperSpec, k), v.upper);
    text("lower", LoadedLimit(rec.lowerSpec, k), v.lower);
    if (v.selected >= 0 && static_cast<size_t>(v.selected) < v.tabs.size())
        text("tab", rec.label, v.tabs[v.selected]);
    for (int i = 0; i < kLimitFields; ++i)
        text("limit field", "", v.limits[i]);
    for (int i = 0; i < kVisibleLines; ++i)
        text("line name", set.limitMethod == 0 ? kAutoLineNames[i] : kManualLineNames[i], v.lineNames[i]);
    text("spec panel", "", v.pnlSpec);
    text("capability panel", "", v.pnlCpk);
    text("SPC panel", "", v.pnlSpc);
    text("threshold", set.cpCpk, v.cpk);
    if (d.tellp() != 0)
        return d.str();
    if (v.upperEnabled != (kind != SpecLowerOnly) || v.lowerEnabled != (kind != SpecUpperOnly))
        return "limit fields enabled wrongly for kind " + std::to_string(kind);
    if (v.lots != lots || v.editLots != lots || v.n != n || v.spinLots != lots || v.spinN != n)
        return "counts " + std::to_string(v.lots) + " x " + std::to_string(v.n) + ", want " + std::to_string(lots) +
               " x " + std::to_string(n);
    const int chart = n == 1 ? ChartXRs : set.chartKind;
    if (v.chart != chart || v.limitMethod != set.limitMethod || v.cpkOn != set.cpkCheck || v.cpkIndex != set.cpkIndex)
        return "selections not reset to the initial values";
    if (v.specMarking != 0 || v.cpkMarking != 0)
        return "marking flags still set";

    // The record's lists, then the normalisation pass that stops at the
    // first value that is not a number.
    Region want(kSoakMaxLots);
    std::vector<std::string> labels(kSoakMaxLots);
    for (int r = 1; r <= kSoakMaxLots; ++r) {
        if (static_cast<size_t>(r) <= rec.dataList.size()) {
            const DataLineParts parts = DataLineSplit(rec.dataList[r - 1]);
            labels[r - 1] = parts.label;
            const std::vector<std::string> items = CommaTextSplit(parts.values);
            for (int c = 0; c < n && static_cast<size_t>(c) < items.size(); ++c)
                want[r - 1][c] = items[c];
        } else if (r <= lots) {
            labels[r - 1] = DefaultLotLabel(r);
        }
    }
    warned = false;
    for (int r = 1; r <= lots && !warned; ++r) {
        for (int c = 0; c < n; ++c) {
            std::string& t = want[r - 1][c];
            if (t.empty())
                continue;
            if (IsBlank(t)) {
                t.clear();
                continue;
            }
            double value = 0;
            if (!TryStrToFloat(t, value)) {
                warned = true;
                break;
            }
            t = FormatFixed(value, k);
        }
    }
    for (int r = 1; r <= kSoakMaxLots; ++r) {
        // Hidden lot labels are written again whenever rows are shown.
        if (r <= lots && v.labels[r - 1] != labels[r - 1])
            return "lot " + std::to_string(r) + " label '" + v.labels[r - 1] + "', want '" + labels[r - 1] + "'";
        if (r <= lots) {
            const bool flag = static_cast<size_t>(r) <= rec.checkList.size() ? rec.checkList[r - 1] == "1" : true;
            if (v.flags[r - 1] != flag)
                return "lot " + std::to_string(r) + " flag";
        }
        for (int c = 0; c < kSoakMaxN; ++c)
            if (v.values[r - 1][c] != want[r - 1][c])
                return "value (" + std::to_string(c) + "," + std::to_string(r) + ") '" + v.values[r - 1][c] +
                       "', want '" + want[r - 1][c] + "'";
    }
    // Statistics and SPC tables: one row per lot, only the lot labels.
    if (v.calcRows != lots + 1 || v.spcRows != lots + 1)
        return "statistics/SPC rows " + std::to_string(v.calcRows) + "/" + std::to_string(v.spcRows);
    for (int r = 1; r <= lots; ++r) {
        if (v.calc[r - 1][0] != labels[r - 1] || v.spc[r - 1][0] != labels[r - 1])
            return "statistics/SPC label of lot " + std::to_string(r);
        for (int c = 1; c < kCalcColumns; ++c)
            if (!v.calc[r - 1][c].empty())
                return "statistics cell left over: '" + v.calc[r - 1][c] + "'";
        for (int c = 1; c < kSpcColumns; ++c)
            if (!v.spc[r - 1][c].empty())
                return "SPC cell left over: '" + v.spc[r - 1][c] + "'";
    }
    return {};
}

// True when every stored value and limit is already as showing the sheet
// writes it, so that showing the record again changes nothing.
bool ShownAsStored(const SheetRecord& rec)
{
    const int k = ShownDecimals(rec.decimals);
    if (ShownSpecLimit(rec.upperSpec, k) != rec.upperSpec || ShownSpecLimit(rec.lowerSpec, k) != rec.lowerSpec)
        return false;
    for (const std::string& line : rec.dataList) {
        for (const std::string& item : CommaTextSplit(DataLineSplit(line).values)) {
            double v = 0;
            if (!item.empty() && (!TryStrToFloat(item, v) || FormatFixed(v, k) != item))
                return false;
        }
    }
    return true;
}

// What a judgment command leaves in the window, from the view before it ran
// and the judgment computations.
struct ChainOutcome {
    std::vector<std::string> messages;
    std::string pnlSpec, pnlCpk, pnlSpc;
    bool specStored = false;  // the checks passed: the view was stored
    bool cpkStored = false;   // the capability judgment ran: stored again after the cleanup
    bool fresh = false;       // every panel the command reaches got a verdict from this run
    int specMarking = 0;
    int cpkMarking = 0;
    Region values;
    int calcRows = 1;
    std::vector<CalcRow> calc;
    int spcRows = 1;
    std::vector<SpcRow> spc;
};

Verdict VerdictOfText(const std::string& text)
{
    return text == kPassText ? Verdict::Pass : text == kFailText ? Verdict::Fail : Verdict::None;
}

// stage 0: the specification judgment; 1: the capability judgment (which runs
// the specification judgment first); 2: the SPC judgment (which runs the
// capability judgment first). The session's own command runs on a session
// holding what the view showed before it, so the window is checked against
// the document's chain.
ChainOutcome ModelChain(const ViewState& v, int stage, const RuleOptions& options)
{
    SheetSession s;
    s.setDimensions(v.lots, v.n);
    s.setResultRowCounts(v.calcRows, v.spcRows);
    const std::pair<HeaderField, const std::string*> texts[] = {
        {HeaderField::Product, &v.product}, {HeaderField::Process, &v.process}, {HeaderField::Machine, &v.machine},
        {HeaderField::Label, &v.label},     {HeaderField::Unit, &v.unit},       {HeaderField::Decimals, &v.decimals},
        {HeaderField::Upper, &v.upper},     {HeaderField::Lower, &v.lower}};
    for (const auto& [field, text] : texts)
        s.setHeaderText(field, *text);
    s.setSpecKind(SpecKindOfIndex(v.kind));
    s.setThreshold({v.cpkOn, v.cpkIndex, v.cpk});
    s.setChartKind(ChartKindOfIndex(v.chart));
    for (int f = 0; f < kLimitFields; ++f)
        s.setLimit(f, v.limits[static_cast<size_t>(f)]);
    s.setVerdicts(VerdictOfText(v.pnlSpec), VerdictOfText(v.pnlCpk), VerdictOfText(v.pnlSpc));
    s.setMarking(v.specMarking != 0, v.cpkMarking != 0);
    // The whole region, hidden cells included: the command leaves those as
    // they are.
    for (int r = 1; r <= kSoakMaxLots; ++r) {
        s.lotCells().setText(0, r, v.labels[r - 1]);
        s.lotCells().setFlag(1, r, v.flags[r - 1]);
        for (int c = 0; c < kSoakMaxN; ++c)
            s.valueCells().setText(c, r, v.values[r - 1][c]);
    }
    for (int r = 1; r < v.calcRows; ++r)
        for (int c = 0; c < kCalcColumns; ++c)
            s.calcCells().setText(c, r, v.calc[r - 1][c]);
    for (int r = 1; r < v.spcRows; ++r)
        for (int c = 0; c < kSpcColumns; ++c)
            s.spcCells().setText(c, r, v.spc[r - 1][c]);

    // The window stores the shown sheet each time a judgment starts its work.
    int stores = 0;
    const auto start = [&stores] { ++stores; };
    JudgmentRunner run(s);
    const Outcome out = stage == 0   ? run.specification(start)
                        : stage == 1 ? run.capability(start)
                                     : run.spc(options, start);

    ChainOutcome o;
    for (const SessionMessage& m : out.messages)
        o.messages.push_back(m.text);
    if (out.error)
        o.messages.push_back(out.error->what());
    o.pnlSpec = VerdictText(s.specVerdict());
    o.pnlCpk = VerdictText(s.calcVerdict());
    o.pnlSpc = VerdictText(s.spcVerdict());
    o.specStored = stores >= 1;
    o.cpkStored = stores >= 2;
    o.fresh = stage == 0 ? s.specVerdict() != Verdict::None
              : stage == 1 ? out.calcVerdictSet
                           : out.calcVerdictSet && out.spcJudged;
    o.specMarking = s.specMarking() ? 1 : 0;
    o.cpkMarking = s.cpkMarking() ? 1 : 0;
    o.values.resize(kSoakMaxLots);
    for (int r = 1; r <= kSoakMaxLots; ++r)
        for (int c = 0; c < kSoakMaxN; ++c)
            o.values[r - 1][c] = s.valueCells().text(c, r);
    o.calcRows = s.calcRowCount();
    for (int r = 1; r < o.calcRows; ++r) {
        CalcRow row;
        for (int c = 0; c < kCalcColumns; ++c)
            row[c] = s.calcCells().text(c, r);
        o.calc.push_back(row);
    }
    o.spcRows = s.spcRowCount();
    for (int r = 1; r < o.spcRows; ++r) {
        SpcRow row;
        for (int c = 0; c < kSpcColumns; ++c)
            row[c] = s.spcCells().text(c, r);
        o.spc.push_back(row);
    }
    return o;
}

struct Profile {
    double centre = 10;
    double sigma = 0.1;
};

// Notes each time a control-limit field is left for another control of the
// window while it holds a text that is not a number: leaving it reports that
// text in the general error box. The note keeps how many boxes had been shown
// before, so the report can be found among the others.
class LimitFieldExits : public QObject {
public:
    LimitFieldExits(const ScriptedPrompts& prompts) : prompts_(prompts) {}

    struct Exit {
        size_t at;
        std::string message;
    };
    std::vector<Exit> exits;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            const std::string t = ToStdString(static_cast<QLineEdit*>(watched)->text());
            double v = 0;
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !IsBlank(t) &&
                !TryStrToFloat(t, v))
                exits.push_back({prompts_.shown.size(), "'" + t + "' は浮動小数点数ではありません"});
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const ScriptedPrompts& prompts_;
};

class SoakTest : public MainFormTest {
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        // Modest sheets: four of 30 lots by 5 values to start with.
        settings->setValue(QStringLiteral("Settings/Tab"), QStringLiteral("4"));
        settings->setValue(QStringLiteral("Settings/Row"), QStringLiteral("30"));
        settings->setValue(QStringLiteral("Settings/Col"), QStringLiteral("5"));
        if (const char* s = std::getenv("TREVOLO_SOAK_SEED"))
            seed = static_cast<std::uint32_t>(std::strtoul(s, nullptr, 10));
        if (const char* s = std::getenv("TREVOLO_SOAK_STEPS"))
            steps = std::max(1L, std::strtol(s, nullptr, 10));
        rng.seed(seed);
    }

    // ---- randomness ----
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    bool Chance(double p) { return Real(0, 1) < p; }
    template <class T>
    const T& Pick(const std::vector<T>& v)
    {
        return v[static_cast<size_t>(Uniform(0, static_cast<int>(v.size()) - 1))];
    }

    Profile& profile()
    {
        const size_t i = static_cast<size_t>(std::max(0, form->selectedTab()));
        while (profiles.size() <= i)
            profiles.push_back({Real(1, 100), Real(0.01, 2)});
        return profiles[i];
    }

    // A plausible measured value of the shown sheet, with the given decimals.
    std::string Number(int decimals, double spread = 1)
    {
        const Profile& p = profile();
        double z = std::normal_distribution<double>(0, 1)(rng);
        if (Chance(0.03))
            z *= 4;
        return FormatFixed(p.centre + p.sigma * spread * z, decimals);
    }

    int ShownDecimalsNow() { return Decimals(ToStdString(Ctl<TSpinEdit>(form, "spinKeta")->text())); }

    // A cell text for a pasted block: mostly numbers with the sheet's decimals
    // or others, now and then blank, empty or not a number at all.
    std::string CellText(bool odd)
    {
        static const std::vector<std::string> kOdd = {"abc", "1.2.3", "1,5",  "x\"y", "１２", "N/A", "--1",
                                                      ".",   "1e3",   "+3",   " 7",   "7 ",   "1 2", "inf",
                                                      "nan", "－",    "0x10", "1e",   "1e-3", "-0"};
        if (odd)
            return Pick(kOdd);
        const double p = Real(0, 1);
        if (p < 0.02)
            return "";
        if (p < 0.04)
            return " ";
        return Number(Chance(0.7) ? ShownDecimalsNow() : Uniform(0, 5));
    }

    // Keys typed for one measured value: the value with the odd stray key,
    // or now and then a sign or point alone.
    std::string ValueKeys(double spread = 1)
    {
        static const std::vector<std::string> kShort = {"-", ".", "-.", "x", ""};
        if (Chance(0.03))
            return Pick(kShort);
        std::string t = Number(Chance(0.7) ? ShownDecimalsNow() : Uniform(0, 5), spread);
        if (Chance(0.1)) {
            static const std::string kNoise = "ax-. ";
            t.insert(static_cast<size_t>(Uniform(0, static_cast<int>(t.size()))), 1,
                     kNoise[static_cast<size_t>(Uniform(0, static_cast<int>(kNoise.size()) - 1))]);
        }
        return t;
    }

    // ---- driving the window ----

    // Returns to the event loop: pending events, then the deferred deletions
    // (closed in-place editors) the loop would carry out.
    static void Settle()
    {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int KeyOf(QChar ch)
    {
        const ushort u = ch.unicode();
        if (u >= '0' && u <= '9')
            return Qt::Key_0 + (u - '0');
        if (u >= 'a' && u <= 'z')
            return Qt::Key_A + (u - 'a');
        if (u >= 'A' && u <= 'Z')
            return Qt::Key_A + (u - 'A');
        switch (u) {
        case '.':
            return Qt::Key_Period;
        case '-':
            return Qt::Key_Minus;
        case ' ':
            return Qt::Key_Space;
        default:
            return 0;
        }
    }

    // One key press delivered to the widget with the focus, as typing does.
    static void Key(int key, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* w = QApplication::focusWidget();
        ASSERT_NE(w, nullptr) << "no widget has the focus";
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(w, &e);
        QApplication::processEvents();
    }
    static void Type(const QString& text)
    {
        for (QChar ch : text)
            Key(KeyOf(ch), QString(ch));
    }
    static void Enter() { Key(Qt::Key_Return, QStringLiteral("\r")); }

    // Selects a number field's text and types keys over it with Enter. The
    // field keeps what its filter and length let through; when no key passes,
    // the text stays as it was and `want` is left alone. True when a key
    // passed (the field was edited).
    static bool TypeNumber(TEdit* field, const std::string& keys, std::string& want)
    {
        field->setFocus(Qt::TabFocusReason);
        field->selectAll();
        Settle();
        std::string t;
        bool any = false;
        for (char ch : keys) {
            if (!NumericKey(QChar(ch), ToQString(t)) || static_cast<int>(t.size()) >= field->maxLength())
                continue;
            any = true;
            t += ch;
        }
        Type(ToQString(keys));
        Enter();
        if (any)
            want = t;
        return any;
    }

    void ShowEntryPage()
    {
        auto* pageInput = Ctl<QTabWidget>(form, "pageInput");
        if (pageInput->currentIndex() != 0) {
            pageInput->setCurrentIndex(0);
            Settle();
        }
    }

    // Checks the boxes shown since the last check and forgets them: the
    // reports of limit fields left with a text that is not a number where
    // they were left, and the step's own boxes in order around them.
    void ExpectMessages(const std::vector<std::string>& want)
    {
        std::vector<std::string> rest;
        size_t k = 0;
        counts["message boxes"] += static_cast<int>(prompts.shown.size());
        counts["limit fields left with a text that is not a number"] += static_cast<int>(limitExits.exits.size());
        for (size_t i = 0; i < prompts.shown.size(); ++i) {
            const std::string text = ToStdString(prompts.shown[i].text);
            if (k < limitExits.exits.size() && limitExits.exits[k].at == i) {
                EXPECT_EQ(text, limitExits.exits[k].message) << "box shown on leaving a limit field";
                ++k;
                continue;
            }
            rest.push_back(text);
        }
        EXPECT_EQ(k, limitExits.exits.size()) << "a limit field left with a text that is not a number, not reported";
        EXPECT_EQ(rest, want);
        prompts.shown.clear();
        prompts.answers.clear();
        limitExits.exits.clear();
    }

    // A save point (a tab change, a menu command) first normalises the field
    // with the focus as leaving it would: a control-limit field holding a
    // text that is not a number reports it there, before anything else.
    void NoteSavePoint()
    {
        const QWidget* focus = QApplication::focusWidget();
        for (int i = 0; i < kLimitFields; ++i) {
            if (focus != LimitFieldCtl(form, i))
                continue;
            const std::string t = ToStdString(LimitFieldCtl(form, i)->text());
            double v = 0;
            if (!IsBlank(t) && !TryStrToFloat(t, v))
                limitExits.exits.push_back({prompts.shown.size(), "'" + t + "' は浮動小数点数ではありません"});
        }
    }

    // Every record but the one stored by this step is as it was; then the
    // records become the known ones.
    void SettleRecords(int stored)
    {
        EXPECT_EQ(form->workbook().sheets.size(), static_cast<size_t>(Ctl<QTabBar>(form, "tabCtrl")->count()));
        EXPECT_EQ(form->workbook().sheets.size(), known.size());
        for (size_t i = 0; i < std::min(form->workbook().sheets.size(), known.size()); ++i)
            if (static_cast<int>(i) != stored) {
                EXPECT_TRUE(form->workbook().sheets[i] == known[i]) << "record of sheet " << i << " changed";
            }
        known = form->workbook().sheets;
    }

    void ExpectRegion(const ViewState& v, const Region& want)
    {
        for (int r = 1; r <= kSoakMaxLots; ++r)
            for (int c = 0; c < kSoakMaxN; ++c)
                if (v.values[r - 1][c] != want[r - 1][c]) {
                    ADD_FAILURE() << "cell (" << c << "," << r << ") shows '" << v.values[r - 1][c] << "', want '"
                                  << want[r - 1][c] << "'";
                    return;
                }
    }

    // Selects a block of a table with the table focused, the current cell at
    // its top-left corner.
    static void SelectBlock(StringGrid* g, int left, int top, int right, int bottom)
    {
        g->setFocus(Qt::OtherFocusReason);
        g->setCurrent({left, top});
        GridModel* m = g->gridModel();
        g->selectionModel()->select(QItemSelection(m->index(top - 1, left), m->index(bottom - 1, right)),
                                    QItemSelectionModel::ClearAndSelect);
        Settle();
    }

    // ---- steps ----

    // Values typed into consecutive cells through the in-place editor, each
    // ended with Enter (now and then abandoned with Esc).
    void StepType()
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        StringGrid* g = Ctl<StringGrid>(form, "gridEdit");
        action = "type";
        int col = Uniform(0, before.n - 1);
        int row = Uniform(1, before.lots);
        if (Chance(0.3)) {
            // Now and then the user goes to a cell that is not a number.
            for (int r = 1; r <= before.lots; ++r)
                for (int c = 0; c < before.n; ++c) {
                    double v = 0;
                    const std::string& t = before.values[r - 1][c];
                    if (!IsBlank(t) && !TryStrToFloat(t, v)) {
                        col = c;
                        row = r;
                    }
                }
        }
        const QModelIndex index = g->gridModel()->index(row - 1, col);
        g->scrollTo(index);
        const QPoint centre = g->visualRect(index).center();
        if (Chance(0.5) && g->viewport()->rect().contains(centre)) {
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, centre);
        } else {
            g->setFocus(Qt::OtherFocusReason);
            g->setCurrent({col, row});
        }
        Settle();
        ASSERT_EQ(QApplication::focusWidget(), g)
            << (QApplication::focusWidget() ? ToStdString(QApplication::focusWidget()->objectName()) : std::string("none"));
        ASSERT_EQ(g->current(), (GridPos{col, row}));

        Region want = before.values;
        GridPos pos{col, row};
        const int k = Decimals(before.decimals);
        const int count = Uniform(1, 4);
        std::ostringstream what;
        what << "type at (" << col << "," << row << "):";
        for (int i = 0; i < count; ++i) {
            const std::string keys = ValueKeys();
            const bool escape = Chance(0.05);
            what << " '" << keys << "'" << (escape ? "+Esc" : "");
            action = what.str();
            // The editor's text: the first accepted key opens it in place of
            // the cell's text; "." and "-" once each, a "-" only in front.
            bool opened = false;
            std::string typed;
            for (char ch : keys) {
                const bool accepted = (ch >= '0' && ch <= '9') || (ch == '.' && typed.find('.') == std::string::npos) ||
                                      (ch == '-' && typed.find('-') == std::string::npos);
                if (!accepted)
                    continue;
                opened = true;
                if (ch == '-' && !typed.empty())
                    continue;
                typed += ch;
            }
            Type(ToQString(keys));
            if (opened && escape) {
                Key(Qt::Key_Escape, QString(QChar(27)));
            } else {
                Enter();
                std::string& cell = want[pos.row - 1][pos.col];
                if (opened)
                    cell = typed;
                double v = 0;
                if (IsBlank(cell)) {
                    pos = NextCell(pos, before);
                } else if (TryStrToFloat(cell, v)) {
                    cell = FormatFixed(v, k);
                    pos = NextCell(pos, before);
                } else {
                    cell.clear();
                }
            }
            Settle();
            ASSERT_EQ(g->current(), pos) << action;
            ASSERT_EQ(QApplication::focusWidget(), g) << action;
        }
        const ViewState after = Capture(*form);
        ExpectRegion(after, want);
        EXPECT_EQ(after.flags, before.flags);
        ExpectMessages({});
        SettleRecords(-1);
    }

    static GridPos NextCell(GridPos p, const ViewState& v)
    {
        if (p.col + 1 < v.n)
            return {p.col + 1, p.row};
        return {0, p.row < v.lots ? p.row + 1 : 1};
    }

    // A block of texts pasted through the clipboard command, or the whole
    // table at once.
    void StepPaste(bool whole = false)
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        int c0 = Uniform(0, before.n - 1);
        int r0 = Uniform(1, before.lots);
        int h = Uniform(1, 6);
        int w = Uniform(1, std::min(before.n, 5) + 1);
        if (whole) {
            c0 = 0;
            r0 = 1;
            h = before.lots;
            w = before.n;
        }
        const bool odd = !whole && Chance(0.04);
        const int oddCell = Uniform(0, h * w - 1);
        // Lines end in CR LF as the tables copy them, or in LF alone as most
        // other programs put them on the clipboard: a row ends either way.
        const char* const lineEnd = Chance(0.3) ? "\n" : "\r\n";
        std::vector<std::vector<std::string>> block(static_cast<size_t>(h));
        std::string text;
        for (int i = 0; i < h; ++i) {
            for (int j = 0; j < w; ++j) {
                block[i].push_back(CellText(odd && i * w + j == oddCell));
                text += block[i].back();
                text += j + 1 < w ? "\t" : lineEnd;
            }
        }
        const bool key = Chance(0.5);
        action = "paste " + std::to_string(w) + "x" + std::to_string(h) + " at (" + std::to_string(c0) + "," +
                 std::to_string(r0) + ") by " + (key ? "Ctrl+V" : "menu") + ": '" + text.substr(0, 120) + "'";
        SelectBlock(Ctl<StringGrid>(form, "gridEdit"), c0, r0, Uniform(c0, before.n - 1), Uniform(r0, before.lots));
        QGuiApplication::clipboard()->setText(ToQString(text));
        if (key)
            Key(Qt::Key_V, QString(), Qt::ControlModifier);
        else
            Ctl<QAction>(form, "popMenuPaste")->trigger();
        Settle();
        Region want = before.values;
        for (int i = 0; i < h; ++i)
            for (int j = 0; j < w; ++j)
                if (c0 + j < before.n && r0 + i <= before.lots)
                    want[r0 + i - 1][c0 + j] = block[i][j];
        const ViewState after = Capture(*form);
        ExpectRegion(after, want);
        ExpectMessages({});
        SettleRecords(-1);
    }

    // Copy, cut or delete of a selected block.
    void StepClip()
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        const int left = Uniform(0, before.n - 1);
        const int top = Uniform(1, before.lots);
        const int right = Uniform(left, std::min(before.n - 1, left + 4));
        const int bottom = Uniform(top, std::min(before.lots, top + 5));
        const int op = Uniform(0, 2);  // copy, cut, delete
        const bool key = Chance(0.5);
        static const char* const kOps[] = {"copy", "cut", "delete"};
        action = std::string(kOps[op]) + (key ? " by key" : " by menu") + " of (" + std::to_string(left) + "," +
                 std::to_string(top) + ")-(" + std::to_string(right) + "," + std::to_string(bottom) + ")";
        SelectBlock(Ctl<StringGrid>(form, "gridEdit"), left, top, right, bottom);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        if (key) {
            if (op == 2)
                Key(Qt::Key_Delete);
            else
                Key(op == 0 ? Qt::Key_C : Qt::Key_X, QString(), Qt::ControlModifier);
        } else {
            Ctl<QAction>(form, op == 0 ? "popMenuCopy" : op == 1 ? "popMenuCut" : "popMenuDelete")->trigger();
        }
        Settle();
        Region want = before.values;
        std::string copied;
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c) {
                copied += before.values[r - 1][c];
                copied += c < right ? "\t" : "\r\n";
                if (op != 0)
                    want[r - 1][c].clear();
            }
        EXPECT_EQ(ToStdString(QGuiApplication::clipboard()->text()), op == 2 ? std::string("before") : copied);
        ExpectRegion(Capture(*form), want);
        ExpectMessages({});
        SettleRecords(-1);
    }

    // Lots switched on or off: a click on a check cell, Space over a
    // selection, or "全て有効".
    void StepToggle()
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        TplStringGrid* g = Ctl<TplStringGrid>(form, "gridCtrl");
        std::vector<bool> want = before.flags;
        const double how = Real(0, 1);
        const int row = Uniform(1, before.lots);
        const QModelIndex index = g->gridModel()->index(row - 1, 1);
        g->scrollTo(index);
        const QPoint centre = g->visualRect(index).center();
        if (how < 0.5 && g->viewport()->rect().contains(centre)) {
            action = "click the check of lot " + std::to_string(row);
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, centre);
            want[row - 1] = !want[row - 1];
        } else if (how < 0.92) {
            const int bottom = Uniform(row, std::min(before.lots, row + 8));
            const int left = Chance(0.85) ? 1 : 0;
            const QPoint from = g->visualRect(g->gridModel()->index(row - 1, 0)).center();
            const QPoint to = g->visualRect(g->gridModel()->index(bottom - 1, 0)).center();
            const bool drag = left == 0 && Chance(0.7) && g->viewport()->rect().contains(from) &&
                              g->viewport()->rect().contains(to);
            action = "Space over lots " + std::to_string(row) + ".." + std::to_string(bottom) +
                     (drag ? " dragged over their numbers" : " from column " + std::to_string(left));
            if (drag) {
                // A drag over the lot numbers selects the checks beside them.
                g->setFocus(Qt::OtherFocusReason);
                QTest::mousePress(g->viewport(), Qt::LeftButton, {}, from);
                QTest::mouseMove(g->viewport(), to);
                QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, to);
                Settle();
            } else {
                // Set in code, a selection can start in the lot numbers; it
                // flips nothing.
                SelectBlock(g, left, row, 1, bottom);
            }
            Key(Qt::Key_Space, QStringLiteral(" "));
            if (left == 1 || drag)
                for (int r = row; r <= bottom; ++r)
                    want[r - 1] = !want[r - 1];
        } else {
            action = "all lots on";
            QTest::mouseClick(Ctl<QPushButton>(form, "btnAllOn"), Qt::LeftButton);
            for (int r = 1; r <= before.lots; ++r)
                want[r - 1] = true;
        }
        Settle();
        const ViewState after = Capture(*form);
        for (int r = 1; r <= before.lots; ++r)
            EXPECT_EQ(after.flags[r - 1], want[r - 1]) << "lot " << r;
        ExpectRegion(after, before.values);
        ExpectMessages({});
        SettleRecords(-1);
    }

    // "管理限界値設定" with the question answered; its lines against the
    // three-sigma computation on the same values.
    void StepThreeSigma(bool yes)
    {
        const ViewState before = Capture(*form);
        action = std::string("control limits, answered ") + (yes ? "Yes" : "No");
        prompts.answers = {yes};
        QTest::mouseClick(Ctl<QPushButton>(form, "btn3Stdev"), Qt::LeftButton);
        Settle();
        const LotTable lots = MakeLots(before, before.values);
        std::array<std::string, kLimitFields> want = before.limits;
        std::vector<std::string> messages;
        if (CountIncludedValues(lots) > 0) {
            messages.push_back(kAskAllLimits);
            if (yes && CountIncludedValues(lots) > 1) {
                const ControlLimitResult r = ComputeLimitTexts(lots, before.chart);
                if (r.error)
                    messages.push_back(r.error->message());
                else if (r.computed)
                    want = r.texts;
            }
        }
        const ViewState after = Capture(*form);
        EXPECT_EQ(after.limits, want);
        ExpectMessages(messages);
        SettleRecords(-1);
    }

    // The limit method switched with the keyboard, or a line typed by hand
    // while the method is "指定管理値".
    void StepManualLimits()
    {
        const ViewState before = Capture(*form);
        std::array<std::string, kLimitFields> want = before.limits;
        std::vector<std::string> messages;
        int method = before.limitMethod;
        if (before.limitMethod == 1 && Chance(0.7)) {
            const int line = Uniform(0, kVisibleLines - 1);
            TEdit* field = LimitFieldCtl(form, line);
            const std::string keys = ValueKeys(3);
            action = "type '" + keys + "' into limit line " + std::to_string(line);
            std::string& w = want[static_cast<size_t>(line)];
            const bool typed = TypeNumber(field, keys, w);
            // Leaving the field writes a number with four decimals; a text
            // that is not a number stays and is reported.
            double v = 0;
            if (!IsBlank(w) && TryStrToFloat(w, v))
                w = FormatFixed(v, 4);
            // The hidden R/S/Rs lines follow a typed centre or +3σ line, and
            // are emptied while either is blank or not a number.
            if (typed && (line == LimitRcl || line == LimitRsUcl3)) {
                if (!HiddenRsLines(want[LimitRcl], want[LimitRsUcl3], want[LimitRsUcl2], want[LimitRsUcl1])) {
                    want[LimitRsUcl2].clear();
                    want[LimitRsUcl1].clear();
                }
            }
        } else {
            const bool yes = Chance(0.7);
            action = std::string("limit method ") + (before.limitMethod == 0 ? "to typed lines" : "to three sigma") +
                     ", answered " + (yes ? "Yes" : "No");
            prompts.answers = {yes};
            Ctl<QComboBox>(form, "cmbLimit")->setFocus(Qt::TabFocusReason);
            Key(before.limitMethod == 0 ? Qt::Key_Down : Qt::Key_Up);
            method = before.limitMethod == 0 ? 1 : 0;
            if (method == 0) {
                const LotTable lots = MakeLots(before, before.values);
                const int count = CountIncludedValues(lots);
                if (count > 0) {
                    messages.push_back(kAskAllLimits);
                    if (!yes) {
                        method = 1;
                    } else if (count > 1) {
                        const ControlLimitResult r = ComputeLimitTexts(lots, before.chart);
                        if (r.error) {
                            messages.push_back(r.error->message());
                            method = 1;
                        } else if (r.computed) {
                            want = r.texts;
                        }
                    }
                }
            }
        }
        Settle();
        const ViewState after = Capture(*form);
        EXPECT_EQ(after.limitMethod, method);
        EXPECT_EQ(after.limits, want);
        for (int i = 0; i < kVisibleLines; ++i)
            EXPECT_EQ(after.lineNames[i], method == 0 ? kAutoLineNames[i] : kManualLineNames[i]) << i;
        ExpectMessages(messages);
        SettleRecords(-1);
    }

    // One of the three judgment buttons (or its menu command), checked
    // against the judgment computations on the values the view held.
    void StepJudge()
    {
        bool blank = false;
        for (int i = 0; i < kVisibleLines; ++i)
            blank = blank || IsBlank(ToStdString(LimitFieldCtl(form, i)->text()));
        if (blank && Chance(0.85)) {
            StepThreeSigma(true);
            if (HasFailure())
                return;
        }
        const int stage = Uniform(0, 5) < 3 ? 2 : Uniform(0, 1);
        const bool menu = Chance(0.3);
        static const char* const kStages[] = {"specification", "capability", "SPC"};
        action = std::string(kStages[stage]) + " judgment by " + (menu ? "menu" : "button");
        const ViewState before = Capture(*form);
        const int sheet = before.selected;
        if (menu) {
            NoteSavePoint();
            Ctl<QAction>(form, stage == 0   ? "menuExecSpec"
                               : stage == 1 ? "menuExecOperation"
                                            : "menuExecSpc")
                ->trigger();
        } else {
            Ctl<QTabWidget>(form, "pageInput")->setCurrentIndex(stage);
            Settle();
            QTest::mouseClick(Ctl<QPushButton>(form, stage == 0   ? "btnSpecJudg"
                                                     : stage == 1 ? "btnCpkCalc"
                                                                  : "btnSpcJudg"),
                              Qt::LeftButton);
        }
        Settle();
        const ViewState after = Capture(*form);
        const ChainOutcome o = ModelChain(before, stage, form->workbook().options);
        ++counts[!o.specStored ? "judgments stopped by the checks"
                 : o.fresh     ? "judgments with fresh verdicts"
                               : "judgments stopped later"];
        if (o.fresh) {
            const std::string& verdict = stage == 0 ? o.pnlSpec : stage == 1 ? o.pnlCpk : o.pnlSpc;
            ++counts[std::string(kStages[stage]) + (verdict == kFailText ? " judgments failed" : " judgments passed")];
        }
        ExpectMessages(o.messages);
        EXPECT_EQ(after.pnlSpec, o.pnlSpec);
        EXPECT_EQ(after.pnlCpk, o.pnlCpk);
        EXPECT_EQ(after.pnlSpc, o.pnlSpc);
        for (QLabel* panel : Ctls<QLabel>(form, {"pnlSpecJudg", "pnlCpkJudg", "pnlSpcJudg"}))
            if (!panel->text().isEmpty()) {
                EXPECT_EQ(panel->palette().color(QPalette::WindowText),
                          panel->text() == QString::fromUtf8(kFailText) ? kRedText : kLimeText);
            }
        EXPECT_EQ(after.specMarking, o.specMarking);
        EXPECT_EQ(after.cpkMarking, o.cpkMarking);
        ExpectRegion(after, o.values);
        EXPECT_EQ(after.calcRows, o.calcRows);
        EXPECT_EQ(after.calc, o.calc);
        EXPECT_EQ(after.spcRows, o.spcRows);
        EXPECT_EQ(after.spc, o.spc);
        ExpectMarks(after);

        // The save points: before the judgment of the values and again
        // after the cleanup of blank cells when the capability judgment runs.
        if (sheet >= 0 && static_cast<size_t>(sheet) < form->workbook().sheets.size()) {
            const SheetRecord& rec = form->workbook().sheets[static_cast<size_t>(sheet)];
            if (o.cpkStored)
                EXPECT_EQ(RecordDiff(rec, after), "") << "stored after the capability judgment";
            else if (o.specStored)
                EXPECT_EQ(RecordDiff(rec, before), "") << "stored by the specification judgment";
            else
                EXPECT_TRUE(rec == known[static_cast<size_t>(sheet)]) << "stored without passing the checks";
            if (o.fresh && stage == 2 && o.messages.empty())
                CrossCheckWholeChain(rec, after);
        }
        SettleRecords(sheet);
    }

    // The red marks of the three tables as painted now.
    void ExpectMarks(const ViewState& v)
    {
        SpecLimits limits;
        const bool limitsOk = ParseSpecLimits(v.kind, v.upper, v.lower, limits);
        for (int r = 1; r <= v.lots; ++r)
            for (int c = 0; c < v.n; ++c) {
                const std::string& t = v.values[r - 1][c];
                double x = 0;
                const bool red = v.specMarking != 0 && limitsOk && !IsBlank(t) && TryStrToFloat(t, x) &&
                                 limits.outside(x);
                ASSERT_EQ(Ctl<StringGrid>(form, "gridEdit")->drawCell(c, r, false, false).text == kRedText, red)
                    << "measurement cell (" << c << "," << r << ") '" << t << "'";
            }
        double threshold = 0;
        const bool thresholdOk = TryStrToFloat(v.cpk, threshold);
        for (int r = 1; r < v.calcRows; ++r)
            for (int c = 1; c < kCalcColumns; ++c) {
                const std::string& t = v.calc[r - 1][c];
                double x = 0;
                const bool below = v.cpkMarking != 0 && v.cpkOn && c == (v.cpkIndex == 0 ? CalcCp : CalcCpk) &&
                                   thresholdOk && TryStrToFloat(t, x) && x < threshold;
                const bool red = t.starts_with("×") || below;
                ASSERT_EQ(Ctl<StringGrid>(form, "gridCalc")->drawCell(c, r, false, false).text == kRedText, red)
                    << "statistics cell (" << c << "," << r << ") '" << t << "'";
            }
        for (int r = 1; r < v.spcRows; ++r)
            for (int c = 1; c < kSpcColumns; ++c) {
                const std::string& t = v.spc[r - 1][c];
                ASSERT_EQ(Ctl<StringGrid>(form, "gridSpc")->drawCell(c, r, false, false).text == kRedText,
                          t.starts_with("×"))
                    << "SPC cell (" << c << "," << r << ") '" << t << "'";
            }
    }

    // The whole chain run on the stored record, with the limit lines the
    // window used, gives what the window shows, as long as showing the record
    // again would give the same view: values as stored, and the chart kind a
    // shown sheet starts with.
    void CrossCheckWholeChain(const SheetRecord& rec, const ViewState& v)
    {
        if (!ShownAsStored(rec) || v.chart != ShownChartKind(v.n, form->workbook().settings.chartKind))
            return;
        ++counts["whole-chain cross-checks"];
        const SheetJudgment j =
            JudgeSheet(rec, ChainSettings::From(form->workbook().settings, form->workbook().options), &v.limits);
        EXPECT_FALSE(j.error.has_value()) << *j.error;
        EXPECT_TRUE(j.messages.empty());
        EXPECT_EQ(VerdictText(j.spec), v.pnlSpec);
        EXPECT_EQ(VerdictText(j.calc), v.pnlCpk);
        EXPECT_EQ(VerdictText(j.spc), v.pnlSpc);
        EXPECT_EQ(j.calcRows, v.calc);
        EXPECT_EQ(j.spcRows, v.spc);
        std::vector<CellPos> marked;
        for (int r = 1; r <= v.lots; ++r)
            for (int c = 0; c < v.n; ++c)
                if (Ctl<StringGrid>(form, "gridEdit")->drawCell(c, r, false, false).text == kRedText)
                    marked.push_back({c, r});
        EXPECT_TRUE(j.marked == marked) << j.marked.size() << " marked by the chain, " << marked.size()
                                        << " in the window";
    }

    // A header field typed (and left with Enter) or the kind chosen with the
    // keyboard.
    void StepHeader(int forced = -1)
    {
        auto* spinKeta = Ctl<TSpinEdit>(form, "spinKeta");
        const ViewState before = Capture(*form);
        // A required field left blank is mostly the next one filled.
        int which = forced;
        if (which < 0 && before.unit.empty() && Chance(0.7))
            which = 4;
        else if (which < 0 && before.upperEnabled && before.upper.empty() && Chance(0.7))
            which = 7;
        else if (which < 0 && before.lowerEnabled && before.lower.empty() && Chance(0.7))
            which = 8;
        else if (which < 0)
            which = Uniform(0, 8);
        ViewState want = before;
        std::vector<std::string> messages;
        if (which <= 4) {
            const std::vector<TEdit*> fields =
                Ctls<TEdit>(form, {"editProduct", "editProcess", "editMbc", "editLabel", "editUnit"});
            std::string ViewState::*const members[] = {&ViewState::product, &ViewState::process, &ViewState::machine,
                                                       &ViewState::label, &ViewState::unit};
            TEdit* field = fields[which];
            static const QString kChars = QStringLiteral("ABCxyz0123-_ 品種工程外径#,/?[");
            QString keys;
            const int length = which == 4 && Chance(0.15) ? 0 : Uniform(0, 12);
            for (int i = 0; i < length; ++i)
                keys += kChars.at(Uniform(0, static_cast<int>(kChars.size()) - 1));
            const bool erase = length == 0 || Chance(0.2);
            action = "type '" + ToStdString(keys) + "' into " + ToStdString(field->objectName()) + (erase ? " after Backspace" : "");
            field->setFocus(Qt::TabFocusReason);
            field->selectAll();
            Settle();
            QString t = erase ? QString() : field->text();
            bool replaced = erase;
            for (QChar ch : keys) {
                if (!NameKey(ch, t))
                    continue;
                if (!replaced) {
                    t.clear();
                    replaced = true;
                }
                if (t.size() < field->maxLength())
                    t += ch;
            }
            if (erase)
                Key(Qt::Key_Backspace);
            Type(keys);
            Enter();
            std::string& w = want.*members[which];
            w = ToStdString(t);
            if (which == 3 && IsBlank(w))
                w = before.tabs[static_cast<size_t>(before.selected)];
            if (which == 3)
                want.tabs[static_cast<size_t>(before.selected)] = w;
        } else if (which == 5) {
            const bool down = Chance(0.5);
            const int presses = Uniform(1, 2);
            action = "kind " + std::string(down ? "down" : "up") + " x" + std::to_string(presses);
            Ctl<QComboBox>(form, "cmbSpecKind")->setFocus(Qt::TabFocusReason);
            Settle();
            for (int i = 0; i < presses; ++i) {
                Key(down ? Qt::Key_Down : Qt::Key_Up);
                const int next = std::clamp(want.kind + (down ? 1 : -1), 0, 2);
                if (next == want.kind)
                    continue;
                want.kind = next;
                want.kindText = kSpecKindTexts[next];
                want.upperEnabled = next != SpecLowerOnly;
                want.lowerEnabled = next != SpecUpperOnly;
                if (!want.upperEnabled)
                    want.upper.clear();
                if (!want.lowerEnabled)
                    want.lower.clear();
            }
        } else if (which == 6) {
            QString keys;
            for (int i = Uniform(1, 2); i > 0; --i)
                keys += QChar('0' + Uniform(0, Chance(0.8) ? 5 : 9));
            const bool erase = Chance(0.05);
            action = "decimals '" + ToStdString(keys) + "'" + (erase ? " after Backspace" : "");
            spinKeta->setFocus(Qt::TabFocusReason);
            spinKeta->selectAll();
            Settle();
            QString t = erase ? QString() : spinKeta->text();
            bool replaced = erase;
            for (QChar ch : keys) {
                if (ch > QLatin1Char('5'))
                    continue;
                if (!replaced) {
                    t.clear();
                    replaced = true;
                }
                if (t.isEmpty())
                    t += ch;
            }
            if (t.isEmpty())
                t = QStringLiteral("0");
            if (erase)
                Key(Qt::Key_Backspace);
            Type(keys);
            Enter();
            want.decimals = ToStdString(t);
            const int k = Decimals(want.decimals);
            for (std::string* limit : {&want.upper, &want.lower})
                if (!IsBlank(*limit))
                    *limit = FormatFixed(StrToFloat(*limit), k);
        } else {
            const bool upper = which == 7;
            TEdit* field = Ctl<TEdit>(form, upper ? "editKupper" : "editKlower");
            if (!field->isEnabled()) {
                action = "nothing (limit field disabled)";
                return;
            }
            const Profile& p = profile();
            const double at = p.centre + (upper ? 1 : -1) * p.sigma * Real(2.5, 6);
            std::string keys = FormatFixed(at, Uniform(0, 5));
            if (Chance(0.05))
                keys = Chance(0.5) ? "-" : "1-2";
            action = "type '" + keys + "' into " + ToStdString(field->objectName());
            std::string& w = upper ? want.upper : want.lower;
            TypeNumber(field, keys, w);
            double v = 0;
            if (!IsBlank(w))
                w = TryStrToFloat(w, v) ? FormatFixed(v, Decimals(before.decimals)) : std::string();
        }
        Settle();
        const ViewState after = Capture(*form);
        EXPECT_EQ(after.product, want.product);
        EXPECT_EQ(after.process, want.process);
        EXPECT_EQ(after.machine, want.machine);
        EXPECT_EQ(after.label, want.label);
        EXPECT_EQ(after.unit, want.unit);
        EXPECT_EQ(after.kind, want.kind);
        EXPECT_EQ(after.kindText, want.kindText);
        EXPECT_EQ(after.decimals, want.decimals);
        EXPECT_EQ(after.upper, want.upper);
        EXPECT_EQ(after.lower, want.lower);
        EXPECT_EQ(after.upperEnabled, want.upperEnabled);
        EXPECT_EQ(after.lowerEnabled, want.lowerEnabled);
        EXPECT_EQ(after.tabs, want.tabs);
        ExpectRegion(after, before.values);
        ExpectMessages(messages);
        SettleRecords(-1);
    }

    // The lot count or n typed into its field and left with Enter; each
    // change of the text lays the tables out again.
    void StepResize(bool rows, std::optional<std::string> given = std::nullopt)
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        static const std::vector<std::string> kOddRows = {"5", "045", "0", "9"};
        static const std::vector<std::string> kOddCols = {"05", "0", "1"};
        std::string keys = given  ? *given
                           : rows ? (Chance(0.15) ? Pick(kOddRows) : std::to_string(Uniform(kMinLots, kSoakMaxLots)))
                                  : (Chance(0.15) ? Pick(kOddCols) : std::to_string(Uniform(1, kSoakMaxN)));
        TSpinEdit* spin = Ctl<TSpinEdit>(form, rows ? "spinRow" : "spinCol");
        action = std::string(rows ? "lot count" : "n") + " '" + keys + "'";
        spin->setFocus(Qt::TabFocusReason);
        spin->selectAll();
        Settle();

        int lots = before.lots;
        int n = before.n;
        int chart = before.chart;
        std::vector<bool> flags = before.flags;
        QString text = spin->text();
        auto changed = [&](const QString& t) {
            if (t.isEmpty() || t == QLatin1String("0"))
                return;
            int v = 0;
            if (!TryStrToInt(ToStdString(t), v))
                v = rows ? kMinLots : kMinN;
            if (rows) {
                if (v < kMinLots)
                    return;
                lots = std::clamp(v, kMinLots, kMaxLots);
                for (int r = 1; r <= std::min(lots, kSoakMaxLots); ++r)
                    flags[r - 1] = true;
            } else {
                chart = t == QLatin1String("1") ? ChartXRs : form->workbook().settings.chartKind;
                n = std::clamp(v, kMinN, kMaxN);
            }
        };
        bool replaced = false;
        for (char ch : keys) {
            if (ch < '0' || ch > '9' || (replaced && text.size() >= spin->maxLength()))
                continue;
            const QString next = replaced ? text + QChar(ch) : QString(QChar(ch));
            replaced = true;
            // Typing over the selection changes the text, also to the same text.
            text = next;
            changed(text);
        }
        Type(ToQString(keys));
        Enter();
        // Leaving clamps into the range.
        int v = 0;
        if (text.isEmpty() || text == QLatin1String("0") || !TryStrToInt(ToStdString(text), v) || v < (rows ? kMinLots : kMinN)) {
            const QString clamped = QString::number(rows ? kMinLots : kMinN);
            if (clamped != text) {
                text = clamped;
                changed(text);
            }
        }
        Settle();
        const ViewState after = Capture(*form);
        EXPECT_EQ(ToStdString(spin->text()), ToStdString(text));
        EXPECT_EQ(after.lots, lots);
        EXPECT_EQ(after.editLots, lots);
        EXPECT_EQ(after.n, n);
        EXPECT_EQ(after.chart, chart);
        for (int r = 1; r <= lots; ++r)
            EXPECT_EQ(after.flags[r - 1], flags[r - 1]) << "lot " << r;
        // Lowering a count hides cells without erasing them.
        ExpectRegion(after, before.values);
        ASSERT_LE(after.lots, kSoakMaxLots);
        ASSERT_LE(after.n, kSoakMaxN);
        ExpectMessages({});
        SettleRecords(-1);
    }

    // The chart kind chosen with the keyboard: each item passed on the way
    // empties the limit panel, the statistics and SPC tables and their
    // panels, and stores the sheet; "X-Rs管理図" goes with n = 1.
    void StepChart()
    {
        ShowEntryPage();
        const ViewState before = Capture(*form);
        const bool down = Chance(0.5);
        const int presses = Uniform(1, 2);
        action = "chart kind " + std::string(down ? "down" : "up") + " x" + std::to_string(presses);
        Ctl<QComboBox>(form, "cmbChart")->setFocus(Qt::TabFocusReason);
        Settle();
        int chart = before.chart;
        int n = before.n;
        bool changed = false;
        for (int i = 0; i < presses; ++i) {
            Key(down ? Qt::Key_Down : Qt::Key_Up);
            const int next = std::clamp(chart + (down ? 1 : -1), 0, 2);
            if (next == chart)
                continue;
            changed = true;
            chart = ToStdString(Ctl<TSpinEdit>(form, "spinCol")->text()) == "1" || n == 1 ? ChartXRs : next;
            if (chart == ChartXRs)
                n = 1;
        }
        Settle();
        const ViewState after = Capture(*form);
        EXPECT_EQ(after.chart, chart);
        EXPECT_EQ(after.n, n);
        ExpectRegion(after, before.values);
        if (changed) {
            for (int i = 0; i < kLimitFields; ++i)
                EXPECT_EQ(after.limits[i], "") << "limit field " << i;
            EXPECT_EQ(after.pnlSpec, before.pnlSpec);
            EXPECT_EQ(after.pnlCpk, "");
            EXPECT_EQ(after.pnlSpc, "");
            EXPECT_EQ(after.calcRows, before.lots + 1);
            EXPECT_EQ(after.spcRows, before.lots + 1);
            for (int r = 1; r < after.calcRows; ++r) {
                for (int c = 1; c < kCalcColumns; ++c)
                    EXPECT_EQ(after.calc[r - 1][c], "") << "statistics (" << c << "," << r << ")";
                for (int c = 1; c < kSpcColumns; ++c)
                    EXPECT_EQ(after.spc[r - 1][c], "") << "SPC (" << c << "," << r << ")";
            }
            if (before.selected >= 0) {
                EXPECT_EQ(RecordDiff(form->workbook().sheets[static_cast<size_t>(before.selected)], after), "")
                    << "stored by the chart change";
            }
        } else {
            EXPECT_EQ(after.limits, before.limits);
        }
        ExpectMessages({});
        SettleRecords(changed ? before.selected : -1);
    }

    // Another sheet chosen on the tab strip: the shown one is stored, the
    // chosen one shown from its record.
    void StepSwitch(int to = -1)
    {
        auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
        const ViewState before = Capture(*form);
        const int count = tabCtrl->count();
        const int from = before.selected;
        while (to < 0 || (to == from && count > 1))
            to = Uniform(0, count - 1);
        const bool click = from < 0 || Chance(0.7);
        action = "switch from sheet " + std::to_string(from) + " to " + std::to_string(to) +
                 (click ? " by click" : " in code");
        NoteSavePoint();
        if (click)
            QTest::mouseClick(tabCtrl, Qt::LeftButton, {}, tabCtrl->tabRect(to).center());
        else
            tabCtrl->setCurrentIndex(to);
        Settle();
        ASSERT_EQ(form->selectedTab(), to);
        if (from >= 0) {
            EXPECT_EQ(RecordDiff(form->workbook().sheets[static_cast<size_t>(from)], before), "")
                << "stored when leaving";
        }
        const ViewState after = Capture(*form);
        bool warned = false;
        EXPECT_EQ(
            LoadedDiff(form->workbook().sheets[static_cast<size_t>(to)], after, form->workbook().settings, warned), "");
        ExpectMessages(warned ? std::vector<std::string>{kMsgBadLoadedValue} : std::vector<std::string>{});
        ++counts[warned ? "sheets shown with a value that is not a number" : "sheets shown"];
        SettleRecords(from);
        for (int i = 0; i < tabCtrl->count(); ++i)
            EXPECT_EQ(ToStdString(tabCtrl->tabText(i)), form->workbook().sheets[static_cast<size_t>(i)].label)
                << "tab " << i;
        mustSwitch = false;
    }

    // The sheet count changed in its dialog.
    void StepSheetCount()
    {
        const ViewState before = Capture(*form);
        const int count = Ctl<QTabBar>(form, "tabCtrl")->count();
        const int v = Uniform(kSoakMinSheets, kSoakMaxSheets);
        const bool cancel = Chance(0.1);
        action = "sheet count " + std::to_string(v) + (cancel ? " cancelled" : "");
        QTimer::singleShot(0, form.get(), [this, v, cancel] {
            form->findChild<TSheetsForm*>()->spinTab->setText(QString::number(v));
            press(form->findChild<TSheetsForm*>()->spinTab, cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        NoteSavePoint();
        Ctl<QAction>(form, "menuSettingSheets")->trigger();
        // The desktop gives the main window back the activation when the
        // dialog closes; the offscreen platform leaves that to the test.
        QApplication::setActiveWindow(form.get());
        Settle();
        SheetArray want = known;
        std::vector<std::string> tabs = before.tabs;
        if (!cancel && v != count) {
            want.resize(static_cast<size_t>(v));
            tabs.resize(static_cast<size_t>(v));
            for (int i = count; i < v; ++i) {
                SheetRecord& s = want[static_cast<size_t>(i)];
                s.label = "Sheet" + std::to_string(i + 1);
                s.unit = form->workbook().settings.unit;
                s.specKindText = kSpecKindTexts[form->workbook().settings.specKind];
                s.decimals = std::to_string(form->workbook().settings.decimals);
                s.lots = before.spinLots;
                s.n = before.spinN;
                s.hasLists = true;
                tabs[static_cast<size_t>(i)] = s.label;
            }
        }
        ASSERT_EQ(form->workbook().sheets.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i)
            EXPECT_TRUE(form->workbook().sheets[i] == want[i]) << "record of sheet " << i;
        EXPECT_EQ(Capture(*form).tabs, tabs);
        const int selected = before.selected < static_cast<int>(want.size()) ? before.selected : -1;
        EXPECT_EQ(form->selectedTab(), selected);
        ExpectMessages({});
        known = form->workbook().sheets;
        // With the shown sheet's tab gone the user picks another one next.
        mustSwitch = form->selectedTab() < 0;
    }

    // Counts, decimals, limits and values for a sheet, as a user sets it up.
    void SetUpSheet(int index)
    {
        if (form->selectedTab() != index)
            StepSwitch(index);
        profile() = {Real(1, 100), Real(0.01, 2)};
        StepResize(true, std::to_string(Uniform(kMinLots, kSoakMaxLots)));
        StepResize(false, std::to_string(Uniform(1, kSoakMaxN)));
        for (int which : {0, 6, 7, 8})
            StepHeader(which);
        StepPaste(true);
    }

    std::uint32_t seed = 20240611u;
    long steps = 10000;
    std::mt19937 rng;
    int step = 0;
    std::string action;
    SheetArray known;
    std::vector<Profile> profiles;
    bool mustSwitch = false;
    LimitFieldExits limitExits{prompts};
    std::map<std::string, int> counts;
};

TEST_F(SoakTest, TenThousandStepsKeepTheViewTheRecordsAndTheJudgmentsInStep)
{
    std::printf("[ soak     ] seed %u, %ld steps\n", seed, steps);
    open();
    auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
    for (int i = 0; i < kLimitFields; ++i)
        LimitFieldCtl(form, i)->installEventFilter(&limitExits);
    known = form->workbook().sheets;
    ASSERT_EQ(tabCtrl->count(), 4);
    QElapsedTimer clock;
    clock.start();

    enum Kind { Type, Paste, Clip, Toggle, Judge, Limits, Manual, Header, Chart, Switch, Resize, Sheets };
    const std::vector<std::pair<Kind, int>> weights = {{Type, 26},  {Paste, 12}, {Clip, 4},   {Toggle, 9},
                                                       {Judge, 20}, {Limits, 3}, {Manual, 2}, {Header, 9},
                                                       {Chart, 2},  {Switch, 9}, {Resize, 4}, {Sheets, 1}};
    int total = 0;
    for (const auto& w : weights)
        total += w.second;

    const long warmUp = std::min(1000L, steps / 10);
    long rssWarm = 0;
    auto report = [&](const char* where) {
        ADD_FAILURE() << "soak failed at " << where << " " << step << " (seed " << seed << "): " << action
                      << "\nreplay: TREVOLO_SOAK_SEED=" << seed << " TREVOLO_SOAK_STEPS=" << step;
    };

    // Every sheet set up with values and limits that let the judgments run.
    for (int i = 0; i < tabCtrl->count(); ++i) {
        step = i;
        SetUpSheet(i);
        if (HasFailure())
            return report("set-up of sheet");
    }

    for (step = 1; step <= steps; ++step) {
        Kind kind = Switch;
        if (!mustSwitch) {
            int r = Uniform(1, total);
            for (const auto& w : weights) {
                if ((r -= w.second) <= 0) {
                    kind = w.first;
                    break;
                }
            }
        }
        switch (kind) {
        case Type:
            StepType();
            break;
        case Paste:
            StepPaste();
            break;
        case Clip:
            StepClip();
            break;
        case Toggle:
            StepToggle();
            break;
        case Judge:
            StepJudge();
            break;
        case Limits:
            StepThreeSigma(Chance(0.8));
            break;
        case Manual:
            StepManualLimits();
            break;
        case Header:
            StepHeader();
            break;
        case Chart:
            StepChart();
            break;
        case Switch:
            StepSwitch();
            break;
        case Resize:
            StepResize(Chance(0.6));
            break;
        case Sheets:
            StepSheetCount();
            break;
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor left on";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a dialog left open";
        if (HasFailure())
            return report("step");
        if (step == warmUp)
            rssWarm = ResidentKiB();
        if (step % 1000 == 0)
            std::printf("[ soak     ] step %d: resident %ld KiB, heap in use %zu KiB, %lld objects under the window\n",
                        step, ResidentKiB(), HeapInUseKiB(),
                        static_cast<long long>(form->findChildren<QObject*>().size()));
    }
    const long rssEnd = ResidentKiB();
    std::printf("[ soak     ] %ld steps in %.1f s; resident %ld KiB after step %ld, %ld KiB at the end\n", steps,
                clock.elapsed() / 1000.0, rssWarm, warmUp, rssEnd);
    for (const auto& [what, count] : counts)
        std::printf("[ soak     ]   %6d %s\n", count, what.c_str());
#ifndef TREVOLO_SOAK_ASAN
    if (steps >= 5000) {
        EXPECT_LE(rssEnd, rssWarm + rssWarm / 10) << "resident set grew by more than a tenth after the warm-up";
    }
#endif
}

// Found by the run above. The SPC judgment goes on from the capability
// judgment only when that judgment has just run: when the specification
// checks stop the chain, the statistics table and the capability verdict are
// those of an earlier run, and judging that table again would show an SPC
// verdict for values that were never judged.
TEST_F(SoakTest, AChainStoppedByTheSpecificationChecksLeavesTheSpcTableAsItWas)
{
    open();
    auto* btnSpcJudg = Ctl<QPushButton>(form, "btnSpcJudg");
    for (int r = 1; r <= 10; ++r) {
        const char* const lot[3] = {r == 3 ? "10.2" : "10.0", r == 3 ? "10.3" : "10.1", r == 3 ? "10.1" : "9.9"};
        for (int c = 0; c < 3; ++c)
            Ctl<StringGrid>(form, "gridEdit")->setCellText(c, r, QString::fromUtf8(lot[c]));
    }
    Ctl<TEdit>(form, "editKupper")->setText(QStringLiteral("11.000"));
    Ctl<TEdit>(form, "editKlower")->setText(QStringLiteral("9.000"));
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
    // Lot 3 lies beyond the upper three-sigma line.
    Ctl<TEdit>(form, "editUcl3")->setText(QStringLiteral("10.0500"));
    btnSpcJudg->click();
    prompts.shown.clear();
    const ViewState judged = Capture(*form);
    ASSERT_EQ(judged.pnlSpec, kPassText);
    ASSERT_FALSE(judged.pnlCpk.empty());
    ASSERT_EQ(judged.pnlSpc, kSpcPanelFail);
    ASSERT_EQ(judged.spc[2][1], kSpcMarkAbnormal);

    // Every rule switched off and the unit left blank: the next run stops at
    // the required fields.
    for (int rule = 1; rule <= 8; ++rule)
        form->workbook().options.setCheck(rule, false);
    Ctl<TEdit>(form, "editUnit")->clear();
    btnSpcJudg->click();
    ASSERT_EQ(prompts.texts(), QStringList{QString::fromUtf8(kMsgRequiredMissing)});
    const ViewState after = Capture(*form);
    EXPECT_EQ(after.pnlSpec, "");
    EXPECT_EQ(after.pnlCpk, judged.pnlCpk);
    EXPECT_EQ(after.pnlSpc, kSpcPanelFail);
    EXPECT_EQ(after.spcRows, judged.spcRows);
    EXPECT_EQ(after.spc, judged.spc);
}

// Found by the run above when values of twelve digits were pasted. The
// control-limit fields take at most ten or fifteen typed characters; the
// lines the three-sigma computation writes into them must still be shown
// whole, not cut to a number ten times smaller.
TEST_F(SoakTest, ComputedLimitLinesAreShownWhole)
{
    open();
    const char* const lot[3] = {"12345678901.5", "12345678902.5", "12345678900.5"};
    for (int r = 1; r <= 10; ++r)
        for (int c = 0; c < 3; ++c)
            Ctl<StringGrid>(form, "gridEdit")->setCellText(c, r, QString::fromUtf8(lot[c]));
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
    const ViewState v = Capture(*form);
    const ControlLimitResult r = ComputeLimitTexts(MakeLots(v, v.values), v.chart);
    ASSERT_TRUE(r.computed);
    ASSERT_EQ(r.texts[LimitXcl], "12345678901.5000");
    EXPECT_EQ(v.limits, r.texts);
}

}  // namespace
}  // namespace trevolo
