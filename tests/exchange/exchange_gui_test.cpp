// The four File-menu commands driven through the real main window, offscreen,
// against a real headless LibreOffice: workbook export and import, CSV export
// and import, failures, a missing office and cancelled dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <cmath>
#include <filesystem>
#include <functional>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "exchange/csv.h"
#include "exchange/messages.h"
#include "exchange/office.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "office_support.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

// Readable texts in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace trevolo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// What a sheet is given through the window.
struct SheetInput {
    std::string product, process, machine, label, unit;
    int specKind = 0;  // index of the kind box
    int decimals = 3;
    std::string upper, lower;
    int lots = 10;
    int n = 1;
    std::vector<int> disabled;

    bool enabled(int lot) const { return std::find(disabled.begin(), disabled.end(), lot) == disabled.end(); }
    // A few labels with a blank, a comma or Japanese text; the default ones otherwise.
    std::string lotLabel(int lot) const
    {
        switch (lot % 5) {
        case 2:
            return "ロット " + std::to_string(lot);
        case 3:
            return "L," + std::to_string(lot);
        default:
            return DefaultLotLabel(lot);
        }
    }
    // Values exact at the sheet's decimals, some negative, some empty (never
    // in the first lot, which decides n on import).
    std::string value(int lot, int col) const
    {
        if (lot > 2 && (lot + col) % 11 == 0)
            return "";
        const int k = (lot * 7 + col * 13) % 97 - 40;
        return FormatFixed(k / std::pow(10.0, decimals), decimals);
    }
};

class ExchangeWindowTest : public ::testing::Test {
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
        SetOfficeProgramDir("");
        form.reset();
        guard.reset();
    }

    void selectTab(int i)
    {
        Ctl<QTabBar>(form, "tabCtrl")->setCurrentIndex(i);
        QApplication::processEvents();
    }

    // Types a sheet into the window on tab i.
    void enter(int i, const SheetInput& in)
    {
        TMainForm& f = *form;
        auto* editKupper = Ctl<TEdit>(f, "editKupper");
        auto* editKlower = Ctl<TEdit>(f, "editKlower");
        auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
        selectTab(i);
        Ctl<TSpinEdit>(f, "spinRow")->setValue(in.lots);
        Ctl<TSpinEdit>(f, "spinCol")->setValue(in.n);
        Ctl<TEdit>(f, "editProduct")->setText(ToQString(in.product));
        Ctl<TEdit>(f, "editProcess")->setText(ToQString(in.process));
        Ctl<TEdit>(f, "editMbc")->setText(ToQString(in.machine));
        Ctl<TEdit>(f, "editLabel")->setText(ToQString(in.label));
        Ctl<TEdit>(f, "editUnit")->setText(ToQString(in.unit));
        Ctl<QComboBox>(f, "cmbSpecKind")->setCurrentIndex(in.specKind);
        emit Ctl<QComboBox>(f, "cmbSpecKind")->activated(Ctl<QComboBox>(f, "cmbSpecKind")->currentIndex());
        Ctl<TSpinEdit>(f, "spinKeta")->setValue(in.decimals);
        if (editKupper->isEnabled())
            editKupper->setText(ToQString(in.upper));
        if (editKlower->isEnabled())
            editKlower->setText(ToQString(in.lower));
        auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
        for (int lot = 1; lot <= in.lots; ++lot) {
            gridCtrl->setCellText(0, lot, ToQString(in.lotLabel(lot)));
            gridCtrl->setFlag(lot, in.enabled(lot));
            for (int c = 0; c < in.n; ++c)
                gridEdit->setCellText(c, lot, ToQString(in.value(lot, c)));
        }
    }

    // The shown sheet is the imported form of what was typed: the header
    // texts, and the enabled lots packed in order, all enabled.
    void expectShown(const SheetInput& in)
    {
        TMainForm& f = *form;
        auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
        EXPECT_EQ(Ctl<TEdit>(f, "editProduct")->text(), ToQString(in.product));
        EXPECT_EQ(Ctl<TEdit>(f, "editProcess")->text(), ToQString(in.process));
        EXPECT_EQ(Ctl<TEdit>(f, "editMbc")->text(), ToQString(in.machine));
        EXPECT_EQ(Ctl<TEdit>(f, "editLabel")->text(), ToQString(in.label));
        EXPECT_EQ(Ctl<TEdit>(f, "editUnit")->text(), ToQString(in.unit));
        EXPECT_EQ(Ctl<QComboBox>(f, "cmbSpecKind")->currentIndex(), in.specKind);
        EXPECT_EQ(Ctl<TSpinEdit>(f, "spinKeta")->text(), QString::number(in.decimals));
        EXPECT_EQ(Ctl<TEdit>(f, "editKupper")->text(), in.specKind == 2 ? QString() : ToQString(in.upper));
        EXPECT_EQ(Ctl<TEdit>(f, "editKlower")->text(), in.specKind == 1 ? QString() : ToQString(in.lower));
        int enabled = 0;
        for (int lot = 1; lot <= in.lots; ++lot)
            enabled += in.enabled(lot) ? 1 : 0;
        EXPECT_EQ(Ctl<TSpinEdit>(f, "spinRow")->value(), enabled);
        EXPECT_EQ(Ctl<TSpinEdit>(f, "spinCol")->value(), in.n);
        auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
        int row = 0;
        for (int lot = 1; lot <= in.lots; ++lot) {
            if (!in.enabled(lot))
                continue;
            ++row;
            EXPECT_EQ(gridCtrl->cells().text(0, row), in.lotLabel(lot)) << "lot " << lot;
            EXPECT_TRUE(gridCtrl->flag(row)) << "lot " << lot;
            for (int c = 0; c < in.n; ++c)
                EXPECT_EQ(gridEdit->cells().text(c, row), in.value(lot, c)) << "lot " << lot << " value " << c;
        }
    }

    QStringList tabTexts() const
    {
        auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
        QStringList t;
        for (int i = 0; i < tabCtrl->count(); ++i)
            t << tabCtrl->tabText(i);
        return t;
    }

    // Everything a command must leave alone when it fails.
    struct Snapshot {
        std::vector<std::tuple<std::string, std::string, std::string, std::string, int, int, std::vector<std::string>,
                               std::vector<std::string>>>
            sheets;
        QStringList tabs;
        int selected;
        QString product;
        std::string firstValue;
        std::string calcCell;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const
    {
        Snapshot s;
        for (const SheetRecord& r : form->workbook().sheets)
            s.sheets.emplace_back(r.product, r.label, r.decimals, r.upperSpec, r.lots, r.n, r.checkList, r.dataList);
        s.tabs = tabTexts();
        s.selected = form->selectedTab();
        s.product = Ctl<TEdit>(form, "editProduct")->text();
        s.firstValue = Ctl<StringGrid>(form, "gridEdit")->cells().text(0, 1);
        s.calcCell = Ctl<StringGrid>(form, "gridCalc")->cells().text(4, 1);
        return s;
    }

    // The last box shown, as "caption|text" (an error box has no caption).
    QString lastBox() const
    {
        for (auto it = prompts.shown.rbegin(); it != prompts.shown.rend(); ++it)
            if (it->kind == ScriptedPrompts::Shown::Message || it->kind == ScriptedPrompts::Shown::Error)
                return it->caption + QLatin1Char('|') + it->text;
        return {};
    }
    int boxes() const { return static_cast<int>(prompts.texts().size()); }

    static QString warning(const char* text)
    {
        return QString::fromUtf8(kWarningCaption) + '|' + QString::fromUtf8(text);
    }
    static QString guide(const QString& text) { return QString::fromUtf8(kGuideCaption) + '|' + text; }

    void expectBusyFrameEnded(const char* text)
    {
        EXPECT_EQ(form->findChild<TSplashForm*>()->text(), QString::fromUtf8(text));
        EXPECT_FALSE(form->findChild<TSplashForm*>()->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    TempDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    std::unique_ptr<ScopedPrompts> guard;
    std::unique_ptr<TMainForm> form;
};

const std::vector<SheetInput> kThreeSheets = {
    {"製品1 (試作), 改", "工程\"A\"", "装置A-1", "外径", "mm", 0, 3, "10.500", "-1.250", 12, 5, {2, 7}},
    {"製品2", "工程2", "", "長さ", "μm", 1, 0, "12", "", 10, 1, {}},
    {"製品3", " 先頭に空白", "装置C", "項目 3", "ｍｍ", 2, 5, "", "-1.25000", 25, 12, {25}},
};

TEST_F(ExchangeWindowTest, WorkbookExportAndImportRoundTripThroughTheMenu)
{
    // A name typed without an extension gets the workbook's default one.
    const struct {
        const char* typed;
        const char* written;
    } files[] = {{"三枚 のブック.xls", "三枚 のブック.xls"}, {"三枚 のブック", "三枚 のブック.xlsx"}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.typed);
        TMainForm& f = *form;
        prompts.answers = {true};
        Ctl<QPushButton>(f, "btnReset")->click();
        for (int i = 0; i < 3; ++i)
            enter(i, kThreeSheets[static_cast<size_t>(i)]);
        // Sheet 2 is shown, with a typed change not yet stored and a result
        // that only a fresh load would empty.
        selectTab(1);
        Ctl<TEdit>(f, "editMbc")->setText("装置B");
        Ctl<StringGrid>(f, "gridCalc")->setCellText(4, 1, "1.00000");
        prompts.shown.clear();

        prompts.files.push_back(ToQString(dir.file(file.typed)));
        const std::string path = dir.file(file.written);
        Ctl<QAction>(f, "mainMenuXlsSave")->trigger();
        ASSERT_EQ(lastBox(), guide(QString::fromUtf8(kMsgXlsSaved)));
        EXPECT_EQ(boxes(), 1);
        EXPECT_EQ(prompts.shown.front().kind, ScriptedPrompts::Shown::SaveFile);
        EXPECT_EQ(prompts.shown.front().caption, "Excelブックに名前を付けて保存");
        EXPECT_EQ(prompts.shown.front().text, f.saveFilesDir() + "|Excelブック (*.xls *.xlsx)");
        expectBusyFrameEnded(kBusyXlsSave);
        ASSERT_TRUE(std::filesystem::exists(path));
        // No sheet was shown for the export: the shown one stays as it was.
        EXPECT_EQ(f.selectedTab(), 1);
        EXPECT_EQ(Ctl<QTabBar>(f, "tabCtrl")->currentIndex(), 1);
        EXPECT_EQ(Ctl<TEdit>(f, "editMbc")->text(), "装置B");
        EXPECT_EQ(Ctl<StringGrid>(f, "gridCalc")->cells().text(4, 1), "1.00000");

        // Five sheets before the import: the surplus ones go.
        Ctl<TSpinEdit>(f, "spinTab")->setValue(5);
        selectTab(4);
        Ctl<TEdit>(f, "editProduct")->setText("消える");
        prompts.shown.clear();
        prompts.files.push_back(ToQString(path));
        Ctl<QAction>(f, "mainMenuXlsImport")->trigger();
        EXPECT_EQ(boxes(), 0) << prompts.texts().join('\n').toStdString();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].caption, "ファイルを開く");
        EXPECT_EQ(prompts.shown[0].text, SampleFilesDir() + "|Excelブック (*.xls *.xlsx)");
        expectBusyFrameEnded(kBusyXlsImport);
        EXPECT_EQ(tabTexts(), QStringList({"外径", "長さ", "項目 3"}));
        ASSERT_EQ(f.workbook().sheets.size(), 3u);
        EXPECT_EQ(f.selectedTab(), 0);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("sheet " + std::to_string(i + 1));
            selectTab(i);
            SheetInput expected = kThreeSheets[static_cast<size_t>(i)];
            if (i == 1)
                expected.machine = "装置B";
            expectShown(expected);
        }
    }
}

TEST_F(ExchangeWindowTest, CsvExportWritesEveryFileByteForByte)
{
    TMainForm& f = *form;
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    SheetInput in{"製品A, 改", "工程\"1\"", "", "外径", "mm", 0, 1, "10.5", "9.5", 10, 2, {2}};
    enter(0, in);
    // Lot 3 lacks its first value.
    Ctl<StringGrid>(f, "gridEdit")->setCellText(0, 3, "");
    // A fourth sheet, never shown since it was added.
    Ctl<TSpinEdit>(f, "spinTab")->setValue(4);
    gridCalc->setCellText(4, 1, "1.00000");

    const std::filesystem::path folder = dir.path() / "出力 先";
    std::filesystem::create_directories(folder);
    WriteFile((folder / "Sheet1.csv").string(), "old");
    WriteFile((folder / "Sheet9.csv").string(), "earlier export");
    prompts.files.push_back(ToQString(folder.string()));
    Ctl<QAction>(f, "mainMenuCsvSave")->trigger();

    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Folder);
    EXPECT_EQ(prompts.shown[0].caption, "保存先フォルダの指定");
    EXPECT_EQ(lastBox(), guide(ToQString(folder.string()) + " に保存されました。"));
    expectBusyFrameEnded(kBusyCsvSave);

    // Sheet 1 as stored from the window: lot 2 disabled and left out, header
    // fields with a comma or a quote quoted, labels with a blank or a comma
    // quoted as comma text.
    const std::string sheet1 =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
        "\"製品A, 改\",\"工程\"\"1\"\"\",,外径,mm,公差規格,1,10.5,9.5\r\n"
        "\r\n"
        "ﾛｯﾄ№,N1,N2\r\n"
        "K0001,-3.3,-2.0\r\n"
        "\"L,3\",,-0.6\r\n"
        "K0004,-1.2,0.1\r\n"
        "K0005,-0.5,0.8\r\n"
        "K0006,0.2,1.5\r\n"
        "\"ロット 7\",0.9,2.2\r\n"
        "\"L,8\",1.6,2.9\r\n"
        "K0009,2.3,3.6\r\n"
        "K0010,3.0,\r\n";
    EXPECT_EQ(ReadFile((folder / "Sheet1.csv").string()), Utf8ToCp932(sheet1));
    EXPECT_EQ(Cp932ToUtf8(ReadFile((folder / "Sheet1.csv").string())), sheet1);
    // The untouched sheets 2 and 3 (stored when the count changed) and the
    // sheet never shown: the head lines of their initial values.
    const std::string head = "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n";
    EXPECT_EQ(Cp932ToUtf8(ReadFile((folder / "Sheet4.csv").string())),
              head + ",,,Sheet4,MM,公差規格,3,,\r\n\r\nﾛｯﾄ№,N1,N2\r\n");
    for (int i = 2; i <= 3; ++i)
        EXPECT_TRUE(std::filesystem::exists(folder / ("Sheet" + std::to_string(i) + ".csv")));
    EXPECT_EQ(ReadFile((folder / "Sheet9.csv").string()), "earlier export");
    // Nothing is reloaded.
    EXPECT_EQ(gridCalc->cells().text(4, 1), "1.00000");
    EXPECT_EQ(f.selectedTab(), 0);
}

TEST_F(ExchangeWindowTest, CsvImportInCodePage932ReplacesOnlyTheCurrentSheet)
{
    TMainForm& f = *form;
    enter(0, {"残る", "", "", "一枚目", "mm", 0, 2, "1.00", "0.00", 10, 1, {}});
    enter(2, {"残る3", "", "", "三枚目", "mm", 0, 2, "1.00", "0.00", 10, 1, {}});
    selectTab(1);
    const Snapshot before = snapshot();

    const std::string text =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
        "製品Ａ,組立工程,ＮＣ旋盤１,外径～,ｍｍ,上限規格,2,25.05,\r\n"
        "\r\n"
        "ﾛｯﾄ№,N1,N2,N3\r\n"
        "ロット①,25.01,24.99,25.00\r\n"
        "ロット②,25.02,,24.98\r\n"
        "\"第３ ﾛｯﾄ\",25.03,25.00,25\r\n";
    const std::string path = dir.file("日本語 ラベル.csv");
    WriteFile(path, Utf8ToCp932(text));
    prompts.files.push_back(ToQString(path));
    Ctl<QAction>(f, "mainMenuCsvImport")->trigger();

    EXPECT_EQ(boxes(), 0) << prompts.texts().join('\n').toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "ファイルを開く");
    EXPECT_EQ(prompts.shown[0].text, SampleFilesDir() + "|CSVファイル (カンマ区切り) (*.csv)");
    expectBusyFrameEnded(kBusyCsvImport);

    EXPECT_EQ(f.selectedTab(), 1);
    EXPECT_EQ(tabTexts(), QStringList({"一枚目", "外径～", "三枚目"}));
    EXPECT_EQ(Ctl<TEdit>(f, "editProduct")->text(), "製品Ａ");
    EXPECT_EQ(Ctl<TEdit>(f, "editProcess")->text(), "組立工程");
    EXPECT_EQ(Ctl<TEdit>(f, "editMbc")->text(), "ＮＣ旋盤１");
    EXPECT_EQ(Ctl<TEdit>(f, "editUnit")->text(), "ｍｍ");
    EXPECT_EQ(Ctl<QComboBox>(f, "cmbSpecKind")->currentText(), "上限規格");
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinKeta")->text(), "2");
    EXPECT_EQ(Ctl<TEdit>(f, "editKupper")->text(), "25.05");
    // Three lots shown in the minimum of ten rows; n = 3.
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinRow")->value(), 10);
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinCol")->value(), 3);
    const std::vector<std::vector<std::string>> rows = {
        {"ロット①", "25.01", "24.99", "25.00"},
        {"ロット②", "25.02", "", "24.98"},
        {"第３ ﾛｯﾄ", "25.03", "25.00", "25.00"},
    };
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(gridCtrl->cells().text(0, r + 1), rows[r][0]);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(gridEdit->cells().text(c, r + 1), rows[r][static_cast<size_t>(c) + 1]) << r << "," << c;
    }
    // The other sheets and the sheet count stay.
    const Snapshot after = snapshot();
    ASSERT_EQ(after.sheets.size(), 3u);
    EXPECT_EQ(after.sheets[0], before.sheets[0]);
    EXPECT_EQ(after.sheets[2], before.sheets[2]);
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinTab")->value(), 3);
}

// A workbook of 101 worksheets, written with the engine.
void WriteManySheets(const std::string& path, int count)
{
    auto app = SpreadsheetApp::create(OfficeUse::Exchange);
    ASSERT_TRUE(app) << "LibreOffice did not start";
    app->setSheetsInNewWorkbook(count);
    OfficeWorkbook book = app->addWorkbook();
    book.worksheet(1).range("A2").setValue(std::string("製品"));
    book.saveAs(path);
    book.close();
}

TEST_F(ExchangeWindowTest, FailedCommandsLeaveSheetsAndTabsAsTheyWere)
{
    TMainForm& f = *form;
    auto* gridCalc = Ctl<StringGrid>(f, "gridCalc");
    auto* mainMenuXlsImport = Ctl<QAction>(f, "mainMenuXlsImport");
    auto* mainMenuCsvImport = Ctl<QAction>(f, "mainMenuCsvImport");
    auto* mainMenuXlsSave = Ctl<QAction>(f, "mainMenuXlsSave");
    enter(0, {"製品", "", "", "残る", "mm", 0, 3, "1.000", "0.000", 10, 2, {3}});
    selectTab(1);
    selectTab(0);
    gridCalc->setCellText(4, 1, "1.00000");

    WriteFile(dir.file("not a workbook.xls"), "\x01\x02 not a workbook \xFF\xFE");
    WriteFile(dir.file("empty.csv"), "");
    WriteManySheets(dir.file("101.xlsx"), 101);
    const std::string noFolder = dir.file("no folder/book.xlsx");

    const struct {
        const char* name;
        QAction* action;
        std::string file;
        QString box;
    } cases[] = {
        {"not a workbook", mainMenuXlsImport, dir.file("not a workbook.xls"), warning(kMsgXlsOpenFailedExtension)},
        {"missing workbook", mainMenuXlsImport, dir.file("missing.xlsx"), warning(kMsgXlsOpenFailedExtension)},
        {"101 worksheets", mainMenuXlsImport, dir.file("101.xlsx"), warning(kMsgTooManySheets)},
        {"empty csv", mainMenuCsvImport, dir.file("empty.csv"), warning(kMsgCsvOpenFailed)},
        {"missing csv", mainMenuCsvImport, dir.file("missing.csv"), warning(kMsgCsvOpenFailed)},
        {"save into a missing folder", mainMenuXlsSave, noFolder,
         QString::fromUtf8(kWarningCaption) + "|" + QString::fromUtf8(kMsgXlsSaveFailed) + "\n" + ToQString(noFolder) +
             "\n保存先のフォルダがありません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = snapshot();
        prompts.shown.clear();
        prompts.files.push_back(ToQString(c.file));
        c.action->trigger();
        EXPECT_EQ(lastBox(), c.box);
        EXPECT_EQ(boxes(), 1);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(f.findChild<TSplashForm*>()->isVisible());
        EXPECT_TRUE(snapshot() == before);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("no folder")));

    // A CSV export into a folder that does not exist: the error on the
    // general error box.
    prompts.shown.clear();
    prompts.files.push_back(ToQString(dir.file("no folder")));
    Ctl<QAction>(f, "mainMenuCsvSave")->trigger();
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().kind, ScriptedPrompts::Shown::Error);
    EXPECT_TRUE(prompts.shown.back().text.contains("Sheet1.csv")) << prompts.shown.back().text.toStdString();
}

TEST_F(ExchangeWindowTest, WithoutTheOfficeTheCommandsSaySoAndChangeNothing)
{
    TMainForm& f = *form;
    enter(0, {"製品", "", "", "残る", "mm", 0, 3, "1.000", "0.000", 10, 2, {}});
    selectTab(1);
    selectTab(0);
    Ctl<StringGrid>(f, "gridCalc")->setCellText(4, 1, "1.00000");
    SetOfficeProgramDir(dir.file("no office"));

    WriteFile(dir.file("some.csv"), "品種名称\r\n");
    const struct {
        const char* name;
        QAction* action;
        std::string file;
    } cases[] = {
        {"workbook import", Ctl<QAction>(f, "mainMenuXlsImport"), dir.file("some.xlsx")},
        {"csv import", Ctl<QAction>(f, "mainMenuCsvImport"), dir.file("some.csv")},
        {"workbook export", Ctl<QAction>(f, "mainMenuXlsSave"), dir.file("out.xlsx")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Snapshot before = snapshot();
        prompts.shown.clear();
        prompts.files.push_back(ToQString(c.file));
        c.action->trigger();
        EXPECT_EQ(lastBox(), warning(kMsgOfficeNotStarted));
        EXPECT_EQ(boxes(), 1);
        EXPECT_TRUE(snapshot() == before);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.xlsx")));
}

TEST_F(ExchangeWindowTest, CancelInEveryDialogChangesNothing)
{
    TMainForm& f = *form;
    enter(0, {"製品", "", "", "残る", "mm", 0, 3, "1.000", "0.000", 10, 2, {}});
    Ctl<StringGrid>(f, "gridCalc")->setCellText(4, 1, "1.00000");
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const struct {
        QAction* action;
        ScriptedPrompts::Shown::Kind kind;
        QString title;
        QString text;
    } cases[] = {
        {Ctl<QAction>(f, "mainMenuXlsImport"), ScriptedPrompts::Shown::OpenFile, "ファイルを開く",
         SampleFilesDir() + "|Excelブック (*.xls *.xlsx)"},
        {Ctl<QAction>(f, "mainMenuCsvImport"), ScriptedPrompts::Shown::OpenFile, "ファイルを開く",
         SampleFilesDir() + "|CSVファイル (カンマ区切り) (*.csv)"},
        {Ctl<QAction>(f, "mainMenuXlsSave"), ScriptedPrompts::Shown::SaveFile, "Excelブックに名前を付けて保存",
         f.saveFilesDir() + "|Excelブック (*.xls *.xlsx)"},
        {Ctl<QAction>(f, "mainMenuCsvSave"), ScriptedPrompts::Shown::Folder, "保存先フォルダの指定", desktop},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        const Snapshot before = snapshot();
        f.findChild<TSplashForm*>()->lblTitle->clear();
        prompts.shown.clear();
        c.action->trigger();
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, c.kind);
        EXPECT_EQ(prompts.shown[0].caption, c.title);
        EXPECT_EQ(prompts.shown[0].text, c.text);
        EXPECT_TRUE(snapshot() == before);
        // Cancel ends the command before the busy frame.
        EXPECT_EQ(f.findChild<TSplashForm*>()->text(), "");
    }
}

}  // namespace
}  // namespace trevolo
