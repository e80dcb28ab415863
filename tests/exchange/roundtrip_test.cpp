// Workbook and CSV exchange through a real, headless LibreOffice: export,
// import again, and compare every header text, label and value.
#include <gtest/gtest.h>

#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "model/number.h"
#include "office_support.h"

namespace trevolo {
namespace {

using testing::TempDir;

// A sheet as the window shows it after loading: header texts in the record,
// and the lot table with labels, enabled flags and values formatted with the
// sheet's decimals.
struct ShownSheet {
    SheetRecord record;
    std::vector<std::string> labels;  // row 0 the title
    std::vector<bool> enabled;
    std::vector<std::vector<std::string>> values;  // row 0 the titles

    GridBlock block() const
    {
        EditTableView v;
        v.lots = static_cast<int>(labels.size()) - 1;
        v.n = record.n;
        v.label = [this](int r) { return labels[static_cast<size_t>(r)]; };
        v.enabled = [this](int r) { return bool(enabled[static_cast<size_t>(r)]); };
        v.value = [this](int c, int r) { return values[static_cast<size_t>(r)][static_cast<size_t>(c)]; };
        return BuildEditBlock(v, record.decimals);
    }
};

ShownSheet MakeSheet(int index, int lots, int n, int decimals, std::vector<int> disabled = {})
{
    ShownSheet s;
    SheetRecord& r = s.record;
    r.product = "製品" + std::to_string(index) + " (試作)";
    r.process = "工程" + std::to_string(index);
    r.machine = index == 2 ? "" : "装置A-" + std::to_string(index);
    r.label = "項目" + std::to_string(index);
    r.unit = "mm";
    r.specKindText = kSpecKindTexts[index % 3];
    r.decimals = std::to_string(decimals);
    r.upperSpec = FormatFixed(10.5 + index, decimals);
    r.lowerSpec = index == 1 ? "" : FormatFixed(-1.25, decimals);
    r.lots = lots;
    r.n = n;
    s.labels.push_back(kLotColumnTitle);
    s.enabled.push_back(true);
    s.values.emplace_back();
    for (int c = 0; c < n; ++c)
        s.values[0].push_back(MeasurementTitle(c));
    for (int lot = 1; lot <= lots; ++lot) {
        s.labels.push_back(lot % 4 == 0 ? "ロット" + std::to_string(lot)
                                        : "K" + std::string(lot < 10 ? "000" : "00") + std::to_string(lot));
        s.enabled.push_back(std::find(disabled.begin(), disabled.end(), lot) == disabled.end());
        std::vector<std::string> row;
        for (int c = 0; c < n; ++c) {
            // A few empty cells, negative values and values needing all decimals.
            if (lot > 2 && (lot + c) % 11 == 0)
                row.emplace_back();
            else
                row.push_back(FormatFixed((lot * 7 + c * 13) % 97 / 7.0 - 3.0, decimals));
        }
        s.values.push_back(row);
    }
    return s;
}

// The value a stored line gives once loaded: blank stays empty, a number is
// shown with the sheet's decimals.
std::string Shown(std::string_view text, int decimals)
{
    if (IsBlank(text))
        return "";
    std::string t = FormatFixed(StrToFloat(text), decimals);
    // A negative value that rounds to zero ("-0.0") is a zero once written.
    if (t.starts_with("-") && t.find_first_not_of("-0.") == std::string::npos)
        t.erase(0, 1);
    return t;
}

// Splits an imported line (every cell followed by a comma, none quoted here).
std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cur;
    for (char ch : line) {
        if (ch == ',') {
            cells.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    return cells;
}

// Compares an imported record with the sheet that was written: header texts
// (limits as shown with the decimals), the enabled lots packed in order, n.
void ExpectImported(const SheetRecord& got, const ShownSheet& sent)
{
    const int decimals = std::stoi(sent.record.decimals);
    EXPECT_EQ(got.product, sent.record.product);
    EXPECT_EQ(got.process, sent.record.process);
    EXPECT_EQ(got.machine, sent.record.machine);
    EXPECT_EQ(got.label, sent.record.label);
    EXPECT_EQ(got.unit, sent.record.unit);
    EXPECT_EQ(got.specKindText, sent.record.specKindText);
    EXPECT_EQ(got.decimals, sent.record.decimals);
    EXPECT_EQ(Shown(got.upperSpec, decimals), sent.record.upperSpec);
    EXPECT_EQ(Shown(got.lowerSpec, decimals), sent.record.lowerSpec);
    int enabledLots = 0;
    for (size_t r = 1; r < sent.labels.size(); ++r)
        enabledLots += sent.enabled[r] ? 1 : 0;
    EXPECT_EQ(got.lots, enabledLots);
    ASSERT_EQ(got.dataList.size(), 1000u);
    ASSERT_EQ(got.checkList, std::vector<std::string>(1000, "1"));
    size_t line = 0;
    for (size_t r = 1; r < sent.labels.size(); ++r) {
        if (!sent.enabled[r])
            continue;
        const auto cells = Cells(got.dataList[line]);
        ASSERT_EQ(cells.size(), 101u) << got.dataList[line];
        EXPECT_EQ(cells[0], sent.labels[r]) << "lot " << r;
        for (int c = 0; c < sent.record.n; ++c)
            EXPECT_EQ(Shown(cells[static_cast<size_t>(c) + 1], decimals),
                      Shown(sent.values[r][static_cast<size_t>(c)], decimals))
                << "lot " << r << " value " << c;
        ++line;
    }
    // The rows of the disabled lots were cleared.
    for (; line < 1000; ++line)
        EXPECT_EQ(got.dataList[line], std::string(101, ',')) << line;
}

class RoundTripTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app_ = SpreadsheetApp::create(OfficeUse::Exchange).release();
        ASSERT_NE(app_, nullptr) << "LibreOffice did not start";
    }
    static void TearDownTestSuite()
    {
        delete app_;
        app_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(app_, nullptr); }

    // Writes a workbook of one worksheet per block, as the cells are given.
    void WriteBook(const std::string& path, int sheets, const std::function<void(Worksheet&, int)>& fill)
    {
        app_->setSheetsInNewWorkbook(sheets);
        OfficeWorkbook book = app_->addWorkbook();
        for (int i = 1; i <= sheets; ++i) {
            Worksheet ws = book.worksheet(i);
            fill(ws, i);
        }
        book.saveAs(path);
        book.close();
    }

    static SpreadsheetApp* app_;
    TempDir dir_;
};

SpreadsheetApp* RoundTripTest::app_ = nullptr;

TEST_F(RoundTripTest, ThreeSheetWorkbookToXlsAndXlsxAndBack)
{
    const std::vector<ShownSheet> shown = {
        MakeSheet(1, 12, 5, 3, {2, 7}),
        MakeSheet(2, 10, 1, 0),
        MakeSheet(3, 25, 12, 5, {25}),
    };
    SheetArray records;
    for (const auto& s : shown)
        records.push_back(s.record);
    for (const char* name : {"三枚 のブック.xls", "三枚 のブック.xlsx"}) {
        SCOPED_TRACE(name);
        const std::string path = dir_.file(name);
        std::vector<int> loaded;
        const ExportResult out = ExportWorkbook(
            *app_, records,
            [&](int i) {
                loaded.push_back(i);
                return shown[static_cast<size_t>(i)].block();
            },
            path);
        ASSERT_TRUE(out.saved) << out.detail;
        EXPECT_EQ(out.message, (CommandMessage{CommandMessage::Kind::Guide, kMsgXlsSaved}));
        EXPECT_EQ(loaded, (std::vector<int>{0, 1, 2}));

        // The file as a user sees it: labels, titles, names and formats.
        OfficeWorkbook book = app_->openWorkbook(path, true);
        ASSERT_EQ(book.worksheetCount(), 3);
        for (int i = 1; i <= 3; ++i) {
            Worksheet ws = book.worksheet(i);
            EXPECT_EQ(ws.name(), "Sheet" + std::to_string(i));
            const CellBlock head = ws.range("A1", "I1").values();
            for (int c = 0; c < kHeaderFields; ++c)
                EXPECT_EQ(head.at(0, c), CellValue(std::string(kHeaderLabels[c])));
            EXPECT_EQ(ws.range("A4").value(), CellValue(std::string(kLotColumnTitle)));
            EXPECT_EQ(ws.range("B4").value(), CellValue(std::string("N1")));
            const std::string format = DecimalsFormat(shown[static_cast<size_t>(i) - 1].record.decimals);
            EXPECT_EQ(ws.range("H2").numberFormatLocal(), format);
            EXPECT_EQ(ws.range("B5").numberFormatLocal(), format);
            EXPECT_TRUE(IsNumberCell(ws.range("B5").value()));
        }
        book.close();

        const ImportResult in = ImportWorkbookSheets(*app_, true, path);
        ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
        EXPECT_EQ(in.count, 3);
        EXPECT_EQ(in.message.kind, CommandMessage::Kind::None);
        ASSERT_EQ(in.sheets.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE("sheet " + std::to_string(i + 1));
            ExpectImported(in.sheets[i], shown[i]);
            EXPECT_EQ(in.sheets[i].n, shown[i].record.n);
        }
    }
}

TEST_F(RoundTripTest, CsvExportImportsAgain)
{
    ShownSheet sent = MakeSheet(3, 30, 8, 2, {1, 30});
    // The record as the view stores it: comma text of the shown values.
    SheetRecord& r = sent.record;
    r.hasLists = true;
    for (size_t lot = 1; lot < sent.labels.size(); ++lot) {
        r.checkList.push_back(sent.enabled[lot] ? "1" : "0");
        std::string line = sent.labels[lot];
        for (const auto& v : sent.values[lot])
            line += "," + v;
        r.dataList.push_back(line);
    }
    r.process = "工程, \"第2\"";  // quoted on line 2, read back whole
    const std::string path = dir_.file("Sheet1.csv");
    WriteSheetCsv(path, r);
    const ImportResult in = ImportWorkbookSheets(*app_, false, path);
    ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
    EXPECT_EQ(in.count, 1);
    ASSERT_EQ(in.sheets.size(), 1u);
    // Read as text: the shown texts come back exactly.
    EXPECT_EQ(in.sheets[0].upperSpec, r.upperSpec);
    ExpectImported(in.sheets[0], sent);
    // The first lot is disabled: n counts the values of the first lot written.
    EXPECT_EQ(in.sheets[0].n, 8);
}

TEST_F(RoundTripTest, CsvInCodePage932WithJapaneseLabels)
{
    const std::string text =
        "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
        "製品Ａ,組立工程,ＮＣ旋盤１,外径～,ｍｍ,公差規格,2,25.05,24.95\r\n"
        "\r\n"
        "ﾛｯﾄ№,N1,N2,N3\r\n"
        "ロット①,25.01,24.99,25.00\r\n"
        "ロット②,25.02,,24.98\r\n"
        "第３ﾛｯﾄ,\"25,03\",25.00,001\r\n";
    const std::string bytes = Utf8ToCp932(text);
    ASSERT_EQ(Cp932ToUtf8(bytes), text);
    // The same file in UTF-8 with and without a byte-order mark reads the same.
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"sjis.csv", bytes},
        {"utf8.csv", text},
        {"bom.csv", "\xEF\xBB\xBF" + text},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        testing::WriteFile(dir_.file(f.name), f.bytes);
        const ImportResult in = ImportWorkbookSheets(*app_, false, dir_.file(f.name));
        ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
        ASSERT_EQ(in.sheets.size(), 1u);
        const SheetRecord& s = in.sheets[0];
        EXPECT_EQ(s.product, "製品Ａ");
        EXPECT_EQ(s.machine, "ＮＣ旋盤１");
        EXPECT_EQ(s.label, "外径～");
        EXPECT_EQ(s.unit, "ｍｍ");
        EXPECT_EQ(s.upperSpec, "25.05");
        EXPECT_EQ(s.lots, 3);
        EXPECT_EQ(s.n, 3);
        const std::string tail(97, ',');
        EXPECT_EQ(s.dataList[0], "ロット①,25.01,24.99,25.00," + tail);
        EXPECT_EQ(s.dataList[1], "ロット②,25.02,,24.98," + tail);
        // A field with a comma is quoted in the stored line; "001" stays text.
        EXPECT_EQ(s.dataList[2], "第３ﾛｯﾄ,\"25,03\",25.00,001," + tail);
    }
}

TEST_F(RoundTripTest, HundredWorksheetsImportAndHundredAndOneAreRefused)
{
    for (int count : {100, 101}) {
        SCOPED_TRACE(count);
        const std::string path = dir_.file("many" + std::to_string(count) + ".xlsx");
        WriteBook(path, count, [](Worksheet& ws, int i) {
            CellBlock b(5, 2);
            b.at(1, 0) = "製品" + std::to_string(i);
            b.at(4, 0) = std::string("K0001");
            b.at(4, 1) = double(i);
            ws.range("A1", "B5").setValues(b);
        });
        const ImportResult in = ImportWorkbookSheets(*app_, true, path);
        EXPECT_EQ(in.count, count);
        if (count == 100) {
            ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
            ASSERT_EQ(in.sheets.size(), 100u);
            EXPECT_EQ(in.sheets[99].product, "製品100");
            EXPECT_EQ(in.sheets[99].dataList[0], "K0001,100," + std::string(99, ','));
        } else {
            EXPECT_EQ(in.status, ImportResult::Status::TooManySheets);
            EXPECT_TRUE(in.sheets.empty());
            EXPECT_EQ(in.message, (CommandMessage{CommandMessage::Kind::Warning, kMsgTooManySheets}));
        }
    }
}

TEST_F(RoundTripTest, FewLotsMissingValuesAndOddCells)
{
    const std::string path = dir_.file("odd.xlsx");
    WriteBook(path, 1, [](Worksheet& ws, int) {
        CellBlock b(4, 6);
        // Three lots; the first lacks its second value; texts with a comma,
        // blanks and quotes; a label that looks like a number.
        const std::vector<std::vector<CellValue>> rows = {
            {std::string("ロット 1"), 1.5, std::string(""), 3.25, std::string(""), std::string("")},
            {std::string("0012"), 2.0, std::string("1,5"), std::string(" 7 "), std::string("a\"b"), 4.0},
            {std::string("L3"), 3.0, 3.0, 3.0, 3.0, 3.0},
            {std::string(""), std::string(""), std::string(""), std::string(""), std::string(""), std::string("")},
        };
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 6; ++c)
                b.at(r, c) = rows[r][c];
        ws.range("A5", "F8").setValues(b);
        ws.range("A2", "C2").setValues([] {
            CellBlock h(1, 3);
            h.at(0, 0) = std::string("  左右に空白  ");
            h.at(0, 1) = 123456789.0;
            h.at(0, 2) = 0.1;
            return h;
        }());
        // A value in a 10,000-character cell and beyond column CW is ignored.
        ws.range("CX5").setValue(9.0);
        ws.range("A9").setValue(std::string(10000, 'x'));
    });
    const ImportResult in = ImportWorkbookSheets(*app_, true, path);
    ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
    const SheetRecord& s = in.sheets[0];
    EXPECT_EQ(s.product, "  左右に空白  ");
    EXPECT_EQ(s.process, "123456789");
    EXPECT_EQ(s.machine, "0.1");
    EXPECT_EQ(s.lots, 4);  // the long label counts
    EXPECT_EQ(s.n, 2);     // B5 and D5
    const std::string tail95(95, ',');
    EXPECT_EQ(s.dataList[0], "\"ロット 1\",1.5,,3.25,,," + tail95);
    EXPECT_EQ(s.dataList[1], "0012,2,\"1,5\",7,\"a\"\"b\",4," + tail95);
    EXPECT_EQ(s.dataList[2], "L3,3,3,3,3,3," + tail95);
    EXPECT_EQ(s.dataList[4], std::string(10000, 'x') + std::string(101, ','));
}

TEST_F(RoundTripTest, FilesThatAreNoWorkbookFailWithTheirMessage)
{
    testing::WriteFile(dir_.file("empty.xlsx"), "");
    testing::WriteFile(dir_.file("text.xls"), "\x01\x02 not a workbook \xFF\xFE");
    testing::WriteFile(dir_.file("csv.xlsx"), "品種名称,工程名称\r\nA,B\r\n");
    // The office would read these as an empty workbook or through its text
    // import; none of them is a workbook.
    for (const char* name : {"empty.xlsx", "text.xls", "csv.xlsx", "missing.xlsx"}) {
        SCOPED_TRACE(name);
        const ImportResult in = ImportWorkbookSheets(*app_, true, dir_.file(name));
        EXPECT_EQ(in.status, ImportResult::Status::Failed);
        EXPECT_TRUE(in.sheets.empty());
        EXPECT_EQ(in.message, (CommandMessage{CommandMessage::Kind::Warning, kMsgXlsOpenFailedExtension}));
    }
    testing::WriteFile(dir_.file("empty.csv"), "");
    for (const char* name : {"missing.csv", "empty.csv"}) {
        const ImportResult csv = ImportWorkbookSheets(*app_, false, dir_.file(name));
        EXPECT_EQ(csv.status, ImportResult::Status::Failed) << name;
        EXPECT_TRUE(csv.sheets.empty());
        EXPECT_EQ(csv.message, (CommandMessage{CommandMessage::Kind::Warning, kMsgCsvOpenFailed}));
    }
}

TEST_F(RoundTripTest, AFailedSaveSaysSoAndWhy)
{
    const ShownSheet s = MakeSheet(1, 10, 2, 1);
    const std::string path = dir_.file("no folder/book.xlsx");
    const ExportResult out = ExportWorkbook(
        *app_, {s.record}, [&](int) { return s.block(); }, path);
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.message.kind, CommandMessage::Kind::Warning);
    EXPECT_EQ(out.message.text, std::string(kMsgXlsSaveFailed) + "\n" + path + "\n" + "保存先のフォルダがありません。");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("no folder")));

    // An error while the window gives a sheet: the general error box.
    const ExportResult broken = ExportWorkbook(
        *app_, {s.record}, [](int) -> GridBlock { throw ConvertError("x"); }, dir_.file("b.xlsx"));
    EXPECT_FALSE(broken.saved);
    EXPECT_EQ(broken.message.kind, CommandMessage::Kind::Error);
    EXPECT_EQ(broken.message.text, "'x' は浮動小数点数ではありません");
    EXPECT_FALSE(std::filesystem::exists(dir_.file("b.xlsx")));
}

// The commands as the window calls them: each starts and ends its own office.
TEST(ExchangeCommands, EachCommandRunsItsOwnOfficeAndEndsIt)
{
    TempDir dir;
    const ShownSheet s = MakeSheet(2, 10, 3, 2);
    const std::string path = dir.file("一冊.xlsx");
    const ExportResult out = ExportWorkbook(
        {s.record}, [&](int) { return s.block(); }, path);
    ASSERT_TRUE(out.saved) << out.detail;
    const ImportResult in = ImportWorkbookSheets(true, path);
    ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
    ExpectImported(in.sheets[0], s);
    // Nothing of the office is left beside the file.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string(), "一冊.xlsx");
}

TEST(ExchangeCommands, JapaneseFileNamesAlsoUnderTheCLocale)
{
    const char* old = std::getenv("LC_ALL");
    const std::string saved = old ? old : "";
    setenv("LC_ALL", "C", 1);
    TempDir dir;
    const ShownSheet s = MakeSheet(1, 10, 2, 1);
    const std::string path = dir.file("測定 データ#1.xls");
    const ExportResult out = ExportWorkbook(
        {s.record}, [&](int) { return s.block(); }, path);
    const ImportResult in = ImportWorkbookSheets(true, path);
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
    ASSERT_TRUE(out.saved) << out.detail;
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_EQ(in.status, ImportResult::Status::Ok) << in.detail;
    ExpectImported(in.sheets[0], s);
}

TEST(ExchangeCommands, AMissingOfficeEndsWithAClearMessage)
{
    TempDir dir;
    const std::string usual = OfficeProgramDir();
    SetOfficeProgramDir(dir.file("no office"));
    const ShownSheet s = MakeSheet(1, 10, 1, 0);
    const ExportResult out = ExportWorkbook(
        {s.record}, [&](int) { return s.block(); }, dir.file("a.xlsx"));
    const ImportResult xls = ImportWorkbookSheets(true, dir.file("a.xlsx"));
    const ImportResult csv = ImportWorkbookSheets(false, dir.file("a.csv"));
    SetOfficeProgramDir(usual);

    const CommandMessage expected{CommandMessage::Kind::Warning, kMsgOfficeNotStarted};
    EXPECT_FALSE(out.saved);
    EXPECT_EQ(out.message, expected);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.xlsx")));
    for (const ImportResult* in : {&xls, &csv}) {
        EXPECT_EQ(in->status, ImportResult::Status::NoApplication);
        EXPECT_EQ(in->count, 0);
        EXPECT_TRUE(in->sheets.empty());
        EXPECT_EQ(in->message, expected);
    }
}

}  // namespace
}  // namespace trevolo
