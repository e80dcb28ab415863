// The largest workbook the program takes, 100 sheets of 1000 lots by 100
// values, through the real main window (offscreen) and a real headless
// LibreOffice: imported from a workbook, every sheet shown and judged,
// exported to a workbook and to CSV files through the File menu, and both
// exports imported again. Every header text, lot label and value must come
// back unchanged, and the program must stay under 1 GB. The time and memory
// of each phase are printed on lines starting with "workload:".
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <cmath>
#include <filesystem>
#include <random>

#include "app/mainform.h"
#include "app/prompts.h"
#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/layout.h"
#include "exchange/messages.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "office_support.h"
#include "workload_support.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

#if defined(__SANITIZE_ADDRESS__)
#define TREVOLO_WORKLOAD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREVOLO_WORKLOAD_ASAN 1
#endif
#endif

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace trevolo {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WorkloadFigures;

constexpr int kSheets = 100;
constexpr int kLots = 1000;
constexpr int kValues = 100;
constexpr std::uint32_t kSeed = 20240611;
// 1 GB.
constexpr long kMemoryLimitKiB = 1'000'000'000L / 1024;

// ---- the original workbook ----

// Header texts, some with blanks, a comma or double quotes; all of them
// exist in code page 932, the encoding of the CSV files.
const char* const kProducts[] = {"精密シャフト",      "ギヤボックス筐体", "燃料噴射ノズル", "ベアリング外輪",
                                 "樹脂カバー \"黒\"", "端子台 A型",       "製品A, 改訂版"};
const char* const kProcesses[] = {"旋削工程", "研削工程", "組立工程", "射出成形", "熱処理後検査", "最終検査 (出荷前)"};
const char* const kMachines[] = {"ＮＣ旋盤１号機", "円筒研削盤 No.2", "三次元測定機", "", "ﾊｲﾄｹﾞｰｼﾞ"};
const char* const kItems[] = {"外径", "内径Φ", "全長", "面粗さＲａ", "硬度", "締付トルク", "溝幅"};
const char* const kUnits[] = {"mm", "μm", "ｍｍ", "℃", "HRC", "N・m"};

// Where the values of a sheet lie.
struct Spread {
    double centre;
    double sigma;
};
const Spread kSpreads[] = {{25.4, 0.02}, {0.0, 1.5},  {150.0, 2.0},   {1200.0, 15.0},
                           {-5.0, 0.3},  {3.5, 0.05}, {12345.0, 40.0}};

// A value exact at d decimals: its text is what the window shows.
std::string Fixed(double v, int d)
{
    const double scale = std::pow(10.0, d);
    const long long k = std::llround(v * scale);
    return FormatFixed(static_cast<double>(k) / scale, d);
}

std::string LotLabel(int lot)
{
    if (lot % 50 == 0)
        return "第" + std::to_string(lot / 50) + "ロット";
    if (lot % 13 == 0)
        return "ﾛｯﾄ " + std::to_string(lot);  // a blank inside
    if (lot % 7 == 0)
        return "ロット" + DefaultLotLabel(lot).substr(1);
    if (lot % 17 == 0)
        return "00" + std::to_string(lot);  // looks like a number, stays text
    return DefaultLotLabel(lot);
}

// The sheets as the window stores them: header texts, 1000 enabled lots,
// each a label and 100 values at the sheet's decimals (a few empty, a few
// far outside the sheet's limits). Seeded, so every run makes the same.
SheetArray MakeOriginal()
{
    std::mt19937 rng(kSeed);
    std::uniform_int_distribution<int> permille(0, 999);
    SheetArray sheets(kSheets);
    for (int i = 0; i < kSheets; ++i) {
        SheetRecord& s = sheets[static_cast<size_t>(i)];
        const int decimals = i % 6;
        const int kind = (i / 6) % 3;
        const Spread spread = kSpreads[i % std::size(kSpreads)];
        s.product = kProducts[i % std::size(kProducts)];
        s.process = kProcesses[i % std::size(kProcesses)];
        s.machine = kMachines[i % std::size(kMachines)];
        s.label = std::string(kItems[i % std::size(kItems)]) + "（" + std::to_string(i + 1) + "）";
        s.unit = kUnits[i % std::size(kUnits)];
        s.specKindText = kSpecKindTexts[kind];
        s.decimals = std::to_string(decimals);
        if (kind != SpecLowerOnly)
            s.upperSpec = Fixed(spread.centre + 4 * spread.sigma, decimals);
        if (kind != SpecUpperOnly)
            s.lowerSpec = Fixed(spread.centre - 4 * spread.sigma, decimals);
        s.lots = kLots;
        s.n = kValues;
        s.hasLists = true;
        s.checkList.assign(kLots, "1");
        s.dataList.reserve(kLots);
        std::normal_distribution<double> value(spread.centre, spread.sigma);
        std::vector<std::string> row(kValues);
        for (int lot = 1; lot <= kLots; ++lot) {
            for (std::string& v : row) {
                const int p = permille(rng);
                if (lot > 1 && p == 0)
                    v.clear();  // the first lot is full: it gives n on import
                else if (p <= 2)
                    v = Fixed(spread.centre + (p == 1 ? 9 : -9) * spread.sigma, decimals);
                else
                    v = Fixed(value(rng), decimals);
            }
            s.dataList.push_back(DataLineJoin(LotLabel(lot), row.data(), row.size()));
        }
    }
    return sheets;
}

// A stored line split into its label and values.
struct LotLine {
    std::string label;
    std::vector<std::string> values;
};

LotLine SplitLine(const std::string& line)
{
    DataLineParts parts = DataLineSplit(line);
    return {std::move(parts.label), CommaTextSplit(parts.values)};
}

// The measurement table of a sheet as the window writes it: every lot
// enabled, the values as stored.
GridBlock EditBlockOf(const SheetRecord& s)
{
    std::vector<LotLine> lots;
    lots.reserve(s.dataList.size());
    for (const std::string& line : s.dataList)
        lots.push_back(SplitLine(line));
    EditTableView view;
    view.lots = static_cast<int>(lots.size());
    view.n = s.n;
    view.label = [&](int r) { return r == 0 ? std::string(kLotColumnTitle) : lots[static_cast<size_t>(r) - 1].label; };
    view.enabled = [](int) { return true; };
    view.value = [&](int c, int r) {
        if (r == 0)
            return MeasurementTitle(c);
        const auto& v = lots[static_cast<size_t>(r) - 1].values;
        return static_cast<size_t>(c) < v.size() ? v[static_cast<size_t>(c)] : std::string();
    };
    return BuildEditBlock(view, s.decimals);
}

// ---- comparing with the original ----

// What a record is compared as: straight from an import (numbers in the
// general format of the spreadsheet, 1000 lines of 101 cells), or as the
// window stored it after showing the sheet (values with the sheet's
// decimals), which must equal the original text for text.
enum class Form { Imported, Stored };

struct Differences {
    long count = 0;
    std::string first;
    void add(const std::string& where)
    {
        if (count++ == 0)
            first = where;
    }
};

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

void CompareSheet(const SheetRecord& got, const SheetRecord& want, int index, Form form, Differences& d)
{
    const std::string at = "sheet " + std::to_string(index + 1) + " " + Quoted(want.label);
    const int decimals = std::stoi(want.decimals);
    // An imported number is shown with the sheet's decimals.
    auto shown = [&](std::string text) {
        if (form == Form::Imported && !IsBlank(text))
            NormaliseNumberText(text, decimals);
        return text;
    };
    auto field = [&](const char* name, const std::string& g, const std::string& w) {
        if (g != w)
            d.add(at + ", " + name + ": expected " + Quoted(w) + ", got " + Quoted(g));
    };
    field("品種名称", got.product, want.product);
    field("工程名称", got.process, want.process);
    field("装置名称", got.machine, want.machine);
    field("項目名称", got.label, want.label);
    field("測定単位", got.unit, want.unit);
    field("規格種別", got.specKindText, want.specKindText);
    field("小数点桁", got.decimals, want.decimals);
    field("規格上限", shown(got.upperSpec), want.upperSpec);
    field("規格下限", shown(got.lowerSpec), want.lowerSpec);
    field("lot count", std::to_string(got.lots), std::to_string(want.lots));
    field("n", std::to_string(got.n), std::to_string(want.n));
    if (got.checkList != want.checkList)
        d.add(at + ": the lot switches differ (" + std::to_string(got.checkList.size()) + " lines)");
    if (got.dataList.size() != want.dataList.size()) {
        d.add(at + ": " + std::to_string(got.dataList.size()) + " lot lines, expected " +
              std::to_string(want.dataList.size()));
        return;
    }
    for (size_t r = 0; r < want.dataList.size(); ++r) {
        const LotLine w = SplitLine(want.dataList[r]);
        const LotLine g = SplitLine(got.dataList[r]);
        const std::string lot = at + ", lot " + std::to_string(r + 1) + " " + Quoted(w.label);
        if (g.label != w.label)
            d.add(lot + ": label " + Quoted(g.label));
        const size_t cells = std::max<size_t>(kValues, g.values.size());
        for (size_t c = 0; c < cells; ++c) {
            const std::string gv = c < g.values.size() ? shown(g.values[c]) : std::string();
            const std::string wv = c < w.values.size() ? w.values[c] : std::string();
            if (gv != wv)
                d.add(lot + ", N" + std::to_string(c + 1) + ": expected " + Quoted(wv) + ", got " + Quoted(gv));
        }
    }
}

::testing::AssertionResult SameAsOriginal(const SheetArray& got, const SheetArray& want, Form form)
{
    Differences d;
    if (got.size() != want.size())
        d.add(std::to_string(got.size()) + " sheets, expected " + std::to_string(want.size()));
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        CompareSheet(got[i], want[i], static_cast<int>(i), form, d);
    if (d.count == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << d.count << " difference(s); the first: " << d.first;
}

// ---- the window ----

class WorkloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<QSettings>(ToQString(dir.file("trevolo.conf")), QSettings::IniFormat);
        guard = std::make_unique<ScopedPrompts>(prompts);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::processEvents();
        prompts.shown.clear();
    }
    void TearDown() override
    {
        form.reset();
        guard.reset();
    }

    // Every box shown since the last look, as "caption|text", then forgotten.
    QStringList takeBoxes()
    {
        QStringList boxes;
        for (const auto& s : prompts.shown)
            if (s.kind == ScriptedPrompts::Shown::Message || s.kind == ScriptedPrompts::Shown::Error)
                boxes << s.caption + QLatin1Char('|') + s.text;
        prompts.shown.clear();
        return boxes;
    }
    static QString guide(const QString& text) { return QString::fromUtf8(kGuideCaption) + '|' + text; }

    // The user clicks tab i.
    void selectTab(int i)
    {
        Ctl<QTabBar>(form, "tabCtrl")->setCurrentIndex(i);
        QApplication::processEvents();
    }

    // Shows every sheet from the second to the last and then the first
    // again, so each is stored from the window once. False (with a failure)
    // at the first sheet that does not show cleanly.
    bool switchThroughAll()
    {
        for (int k = 1; k <= kSheets; ++k) {
            const int i = k % kSheets;
            selectTab(i);
            const QStringList boxes = takeBoxes();
            if (!boxes.isEmpty() || form->selectedTab() != i) {
                ADD_FAILURE() << "showing sheet " << i + 1 << ": " << boxes.join(" / ").toStdString();
                return false;
            }
        }
        return true;
    }

    void importWorkbook(const std::string& path)
    {
        prompts.files.push_back(ToQString(path));
        Ctl<QAction>(form, "mainMenuXlsImport")->trigger();
    }

    // The confirmed reset: every sheet emptied, the initial sheet count.
    void resetAll()
    {
        prompts.answers.push_back(true);
        Ctl<QPushButton>(form, "btnReset")->click();
        prompts.shown.clear();
        ASSERT_EQ(form->workbook().sheets.size(), static_cast<size_t>(form->workbook().settings.sheetCount));
        for (const SheetRecord& s : form->workbook().sheets)
            ASSERT_TRUE(s.dataList.empty());
    }

    TempDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    std::unique_ptr<ScopedPrompts> guard;
    std::unique_ptr<TMainForm> form;
};

// About the heap a record array takes: the texts longer than fit inside
// a string, and the lists.
double RecordsMb(const SheetArray& sheets)
{
    double bytes = static_cast<double>(sheets.capacity() * sizeof(SheetRecord));
    auto text = [](const std::string& s) { return s.capacity() > 15 ? static_cast<double>(s.capacity() + 1) : 0.0; };
    for (const SheetRecord& s : sheets) {
        bytes += static_cast<double>((s.checkList.capacity() + s.dataList.capacity()) * sizeof(std::string));
        for (const std::string& t : s.dataList)
            bytes += text(t);
        for (const std::string& t : s.checkList)
            bytes += text(t);
    }
    return bytes / 1e6;
}

double FileMb(const fs::path& p)
{
    std::error_code ec;
    const auto size = fs::file_size(p, ec);
    return ec ? 0.0 : static_cast<double>(size) / 1e6;
}

std::string Mb(double mb)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MB", mb);
    return buf;
}

// Registered as "workload.…", so "ctest -R workload" finds it.
using workload = WorkloadTest;

TEST_F(workload, HundredFullSheetsThroughImportJudgmentExportAndBack)
{
    WorkloadFigures figures(std::to_string(kSheets) + " sheets x " + std::to_string(kLots) + " lots x " +
                            std::to_string(kValues) + " values");
    TMainForm& f = *form;
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    auto* gridSpc = Ctl<StringGrid>(f, "gridSpc");
    const fs::path original = dir.path() / "元データ 100シート.xlsx";
    const fs::path exported = dir.path() / "出力 100シート.xlsx";
    const fs::path csvFolder = dir.path() / "CSV 出力";
    fs::create_directories(csvFolder);

    // 1. The original: the records, written by the program's own export
    //    routine into a workbook of 100 worksheets.
    SheetArray want;
    {
        WorkloadFigures::Phase phase(figures, "make original .xlsx");
        const auto t0 = std::chrono::steady_clock::now();
        want = MakeOriginal();
        const double recordSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const ExportResult made = ExportWorkbook(
            want, [&](int i) { return EditBlockOf(want[static_cast<size_t>(i)]); }, original.string());
        ASSERT_TRUE(made.saved) << made.detail;
        char note[96];
        std::snprintf(note, sizeof note, "(records %.1f s; file %s)", recordSeconds, Mb(FileMb(original)).c_str());
        phase.note(note);
        phase.done();
    }
    for (const SheetRecord& s : want)
        for (const std::string& t : HeaderTexts(s))
            ASSERT_EQ(Cp932ToUtf8(Utf8ToCp932(t)), t) << "a header text outside code page 932";

    // 2. Import through the File menu.
    {
        WorkloadFigures::Phase phase(figures, "import .xlsx");
        importWorkbook(original.string());
        phase.done();
    }
    ASSERT_EQ(takeBoxes(), QStringList());
    ASSERT_EQ(tabCtrl->count(), kSheets);
    EXPECT_EQ(tabCtrl->tabText(kSheets - 1), ToQString(want.back().label));
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Imported)) << "after the import";

    // 3. Every sheet shown as the user clicks through the tabs.
    {
        WorkloadFigures::Phase phase(figures, "switch all sheets");
        ASSERT_TRUE(switchThroughAll());
        phase.done();
    }
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Stored)) << "after showing every sheet";

    // 4. Every sheet judged: the control limits from the values (confirmed),
    //    then the SPC judgment, which runs the tolerance and capability
    //    judgments first. The statistics table holds a row for every lot and
    //    the total row after them; the SPC table a row for every lot.
    Differences tables;
    {
        WorkloadFigures::Phase phase(figures, "judge all sheets");
        for (int i = 0; i < kSheets; ++i) {
            SCOPED_TRACE("sheet " + std::to_string(i + 1));
            if (f.selectedTab() != i)
                selectTab(i);
            prompts.answers.push_back(true);
            Ctl<QPushButton>(f, "btn3Stdev")->click();
            Ctl<QPushButton>(f, "btnSpcJudg")->click();
            QApplication::processEvents();
            phase.pause();
            ASSERT_EQ(takeBoxes(), QStringList());
            ASSERT_TRUE(prompts.answers.empty()) << "the limits were not computed";
            ASSERT_FALSE(Ctl<QLabel>(f, "pnlSpecJudg")->text().isEmpty());
            ASSERT_FALSE(Ctl<QLabel>(f, "pnlCpkJudg")->text().isEmpty());
            ASSERT_FALSE(Ctl<QLabel>(f, "pnlSpcJudg")->text().isEmpty());
            const SheetRecord& s = want[static_cast<size_t>(i)];
            long values = 0;
            for (const std::string& line : s.dataList)
                for (const std::string& v : SplitLine(line).values)
                    values += v.empty() ? 0 : 1;
            const std::string lastLabel = SplitLine(s.dataList.back()).label;
            const CellStore& calc = gridCalc->cells();
            const CellStore& spc = gridSpc->cells();
            std::string wrong;
            auto check = [&wrong](const std::string& what, const std::string& got, const std::string& expected) {
                if (got != expected)
                    wrong += "; " + what + " " + Quoted(got) + ", expected " + Quoted(expected);
            };
            check("statistics rows", std::to_string(gridCalc->RowCount()), std::to_string(kLots + 2));
            check("statistics row " + std::to_string(kLots), calc.text(0, kLots), lastLabel);
            check("statistics row " + std::to_string(kLots + 1), calc.text(0, kLots + 1), "＊トータル");
            check("total n", calc.text(1, kLots + 1), std::to_string(values));
            check("SPC rows", std::to_string(gridSpc->RowCount()), std::to_string(kLots + 1));
            check("SPC row " + std::to_string(kLots), spc.text(0, kLots), lastLabel);
            if (!wrong.empty())
                tables.add("sheet " + std::to_string(i + 1) + wrong);
            phase.resume();
        }
        phase.done();
    }
    EXPECT_EQ(tables.count, 0) << tables.count << " sheet(s) judged into wrong tables; the first: " << tables.first;
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Stored)) << "after judging every sheet";

    // 5. Export to a workbook and 6. to CSV files, through the File menu.
    {
        WorkloadFigures::Phase phase(figures, "export .xlsx");
        prompts.files.push_back(ToQString(exported.string()));
        Ctl<QAction>(f, "mainMenuXlsSave")->trigger();
        phase.note("(file " + Mb(FileMb(exported)) + ")");
        phase.done();
    }
    ASSERT_EQ(takeBoxes(), QStringList({guide(QString::fromUtf8(kMsgXlsSaved))}));
    {
        WorkloadFigures::Phase phase(figures, "export CSV");
        prompts.files.push_back(ToQString(csvFolder.string()));
        Ctl<QAction>(f, "mainMenuCsvSave")->trigger();
        double mb = 0;
        for (int i = 1; i <= kSheets; ++i)
            mb += FileMb(CsvFilePath(csvFolder, i));
        phase.note("(" + std::to_string(kSheets) + " files, " + Mb(mb) + "; with a pause of 100 ms after each)");
        phase.done();
    }
    ASSERT_EQ(takeBoxes(), QStringList({guide(ToQString(csvFolder.string()) + QString::fromUtf8(kMsgCsvSavedSuffix))}));
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Stored)) << "after the exports";

    // 7. The exported workbook imported into an emptied window.
    ASSERT_NO_FATAL_FAILURE(resetAll());
    {
        WorkloadFigures::Phase phase(figures, "re-import .xlsx");
        importWorkbook(exported.string());
        phase.done();
    }
    ASSERT_EQ(takeBoxes(), QStringList());
    ASSERT_EQ(tabCtrl->count(), kSheets);
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Imported)) << "after re-importing the workbook";
    {
        WorkloadFigures::Phase phase(figures, "switch all (after .xlsx)");
        ASSERT_TRUE(switchThroughAll());
        phase.done();
    }
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Stored)) << "after showing the re-imported workbook";

    // 8. The CSV files imported one by one, each into its own sheet of an
    //    emptied window of 100 sheets.
    ASSERT_NO_FATAL_FAILURE(resetAll());
    Ctl<TSpinEdit>(f, "spinTab")->setValue(kSheets);
    ASSERT_EQ(tabCtrl->count(), kSheets);
    {
        WorkloadFigures::Phase phase(figures, "re-import CSV (" + std::to_string(kSheets) + " files)");
        Differences raw;
        for (int i = 0; i < kSheets; ++i) {
            phase.pause();
            if (f.selectedTab() != i)
                selectTab(i);
            phase.resume();
            prompts.files.push_back(ToQString(CsvFilePath(csvFolder, i + 1).string()));
            Ctl<QAction>(f, "mainMenuCsvImport")->trigger();
            phase.pause();
            const QStringList boxes = takeBoxes();
            ASSERT_EQ(boxes, QStringList()) << "sheet " << i + 1;
            // The record as imported, before the window stores it again.
            CompareSheet(f.workbook().sheets[static_cast<size_t>(i)], want[static_cast<size_t>(i)], i, Form::Imported,
                         raw);
            phase.resume();
        }
        phase.done();
        EXPECT_EQ(raw.count, 0) << "after re-importing the CSV files: the first difference: " << raw.first;
    }
    {
        WorkloadFigures::Phase phase(figures, "switch all (after CSV)");
        ASSERT_TRUE(switchThroughAll());
        phase.done();
    }
    EXPECT_TRUE(SameAsOriginal(f.workbook().sheets, want, Form::Stored)) << "after showing the sheets read from CSV";
    // The window keeps one office for its commands and ends it with itself.
    EXPECT_LE(testing::OfficeChildPids().size(), 1u) << "more than one office is running";
    form.reset();
    EXPECT_TRUE(testing::OfficeChildPids().empty()) << "an office is still running";

    // The program's peak over the whole run; an instrumented build needs
    // several times the memory and only reports it.
    const long peak = figures.overallPeakKiB();
    figures.addLine("peak memory of the program: " + Mb(peak * 1024.0 / 1e6) + " (limit " +
                    Mb(kMemoryLimitKiB * 1024.0 / 1e6) + "), the test's own copy of the original records (" +
                    Mb(RecordsMb(want)) + ") included");
    figures.addLine("peak memory of an office process: " + Mb(figures.officePeakKiB() * 1024.0 / 1e6));
#ifdef TREVOLO_WORKLOAD_ASAN
    figures.addLine("built with AddressSanitizer: the memory limit is not checked");
#else
    EXPECT_LT(peak, kMemoryLimitKiB) << "peak memory of the program in KiB";
#endif
}

}  // namespace
}  // namespace trevolo
