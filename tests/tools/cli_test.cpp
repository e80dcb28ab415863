// The built trevolo-cli on small CSV files written here. The expected texts
// are hand computations on two lots (1, 3) and (2, 6): all values 1, 3, 2, 6
// give m = 3 and s = sqrt(14 / 3) = 2.1602469, so the X lines are 3 ± k s
// (9.4807, 7.3205, 5.1602 and -3.4807, -1.3205, 0.8398); the lots have
// R = 2 and 4 (mean 3) and s = sqrt 2 and sqrt 8 (mean 2.1213203).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_support.h"
#include "exchange/csv.h"
#include "exchange/messages.h"

namespace trevolo {
namespace {

using json = nlohmann::json;
using testing::CliRun;
using testing::CliTempDir;
using testing::ExchangeCsv;
using testing::RunCli;

const std::vector<std::string> kTwoLots = {"L1,1,3", "L2,2,6"};

std::vector<std::string> Header(const std::string& kind, const std::string& upper, const std::string& lower,
                                const std::string& decimals = "3")
{
    return {"P", "Q", "M", "外径", "MM", kind, decimals, upper, lower};
}

json Limits(const std::vector<std::string>& texts)
{
    static const char* names[] = {"editUcl3", "editUcl2", "editUcl1",   "editLcl3",   "editLcl2",  "editLcl1",
                                  "editXcl",  "editRcl",  "editRsUcl3", "editRsUcl2", "editRsUcl1"};
    json l = json::object();
    for (size_t i = 0; i < 11; ++i)
        l[names[i]] = i < texts.size() ? texts[i] : "";
    return l;
}

const std::vector<std::string> kXbarRLimits = {"9.4807", "7.3205", "5.1602", "-3.4807", "-1.3205", "0.8398",
                                               "3.0000", "3.0000", "9.4807", "7.3205",  "5.1602"};

// An SPC row: the label, the sixteen marks, the verdict.
json SpcRow(const std::string& label, const std::string& marks)
{
    json row = json::array({label});
    bool abnormal = false;
    for (char m : marks) {
        row.push_back(m == 'x' ? "×" : "○");
        abnormal = abnormal || m == 'x';
    }
    row.push_back(abnormal ? "×異常あり" : "○異常なし");
    return row;
}

const std::string kAllNormal(16, 'o');

json CalcRowsTwoLots(const std::string& cp1, const std::string& cpk1, const std::string& v1, const std::string& cp2,
                     const std::string& cpk2, const std::string& v2, const std::string& cpT, const std::string& cpkT,
                     const std::string& vT)
{
    return json::array({
        {"L1", "2", "3.00000", "1.00000", "2.00000", "2.00000", "1.41421", cp1, cpk1, v1},
        {"L2", "2", "6.00000", "2.00000", "4.00000", "4.00000", "2.82843", cp2, cpk2, v2},
        {"＊トータル", "4", "6.00000", "1.00000", "3.00000", "3.00000", "2.16025", cpT, cpkT, vT},
    });
}

const char* const kNg = "×異常あり";
const char* const kOk = "○異常なし";

struct Golden {
    const char* name;
    std::string bytes;
    std::vector<std::string> options;
    json expected;  // the sheet object
    int status;
};

json Sheet(const std::string& chart, int n, json limits, json spec, json calc, json spc, json messages = json::array(),
           json error = nullptr)
{
    return json{{"sheet", 1},     {"label", "外径"},      {"lots", 10},     {"n", n},
                {"chart", chart}, {"messages", messages}, {"error", error}, {"limits", limits},
                {"spec", spec},   {"calc", calc},         {"spc", spc}};
}

std::vector<Golden> GoldenCases()
{
    const json twoLotsSpc = {{"rows", {SpcRow("L1", kAllNormal), SpcRow("L2", kAllNormal)}}, {"verdict", "合格"}};
    const json specPass = {{"verdict", "合格"}, {"marked", json::array()}};
    // Two-sided 0..10: lot 1 Cp 10 / (6 sqrt 2) = 1.179, Cpk (2 - 0) / (3 sqrt 2) = 0.471;
    // lot 2 Cp 0.589, Cpk 4 / (3 sqrt 8) = 0.471; total Cp 0.772, Cpk 3 / 3s = 0.463.
    const json twoSidedCalc = {
        {"rows", CalcRowsTwoLots("1.179", "0.471", kNg, "0.589", "0.471", kNg, "0.772", "0.463", kNg)},
        {"verdict", "不合格"}};
    std::vector<Golden> g;

    g.push_back({"XbarR, fewer than ten lots, UTF-8 with a byte-order mark",
                 "\xEF\xBB\xBF" + ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2),
                 {},
                 Sheet("xbar-r", 2, Limits(kXbarRLimits), specPass, twoSidedCalc, twoLotsSpc),
                 1});

    // S side: C = 2.1213203; C + 3s = 8.6021, C + 2s = 6.4418, C + s = 4.2816.
    std::vector<std::string> sLimits = kXbarRLimits;
    sLimits[7] = "2.1213";
    sLimits[8] = "8.6021";
    sLimits[9] = "6.4418";
    sLimits[10] = "4.2816";
    g.push_back({"XbarS",
                 ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2),
                 {"--chart", "xbar-s"},
                 Sheet("xbar-s", 2, Limits(sLimits), specPass, twoSidedCalc, twoLotsSpc),
                 1});

    // One value per lot, 10, 12, 11: m = 11, s = 1, moving ranges 0, 2, 1
    // (mean 1); total Cp 20 / 6 = 3.333, Cpk (11 - 0) / 3 vs (20 - 11) / 3 = 3.000.
    g.push_back({"X-Rs forced by n = 1, code page 932",
                 Utf8ToCp932(ExchangeCsv(Header("公差規格", "20", "0", "0"), {"K1,10", "K2,12", "K3,11"}, 1)),
                 {"--chart", "xbar-s"},
                 Sheet("x-rs", 1,
                       Limits({"14.0000", "13.0000", "12.0000", "8.0000", "9.0000", "10.0000", "11.0000", "1.0000",
                               "4.0000", "3.0000", "2.0000"}),
                       specPass,
                       {{"rows",
                         {{"K1", "1", "10.00000", "10.00000", "10.00000", "0.00000", "", "", "", ""},
                          {"K2", "1", "12.00000", "12.00000", "12.00000", "2.00000", "", "", "", ""},
                          {"K3", "1", "11.00000", "11.00000", "11.00000", "1.00000", "", "", "", ""},
                          {"＊トータル", "3", "12.00000", "10.00000", "11.00000", "1.00000", "1.00000", "3.333",
                           "3.000", kOk}}},
                        {"verdict", "合格"}},
                       {{"rows", {SpcRow("K1", kAllNormal), SpcRow("K2", kAllNormal), SpcRow("K3", kAllNormal)}},
                        {"verdict", "合格"}}),
                 0});

    // Upper limit only: Cp = Cpk = (10 - m) / 3s: 8 / 4.2426 = 1.886,
    // 6 / 8.4853 = 0.707, total 7 / 6.4807 = 1.080.
    g.push_back({"upper limit only",
                 ExchangeCsv(Header("上限規格", "10", ""), kTwoLots, 2),
                 {},
                 Sheet("xbar-r", 2, Limits(kXbarRLimits), specPass,
                       {{"rows", CalcRowsTwoLots("1.886", "1.886", kOk, "0.707", "0.707", kNg, "1.080", "1.080", kNg)},
                        {"verdict", "不合格"}},
                       twoLotsSpc),
                 1});

    // Lower limit only: (m - 0) / 3s: 2 / 4.2426 = 0.471, 4 / 8.4853 = 0.471, 3 / 6.4807 = 0.463.
    g.push_back({"lower limit only",
                 ExchangeCsv(Header("下限規格", "", "0"), kTwoLots, 2),
                 {},
                 Sheet("xbar-r", 2, Limits(kXbarRLimits), specPass,
                       {{"rows", CalcRowsTwoLots("0.471", "0.471", kNg, "0.471", "0.471", kNg, "0.463", "0.463", kNg)},
                        {"verdict", "不合格"}},
                       twoLotsSpc),
                 1});

    // Upper limit 5: the 6 of lot 2 (row 2, column 1) is out. Lot 2 Cpk
    // (5 - 4) / (3 sqrt 8) = 0.118; total Cp 5 / 12.9615 = 0.386, Cpk 2 / 6.4807 = 0.309.
    g.push_back({"a value out of the specification",
                 ExchangeCsv(Header("公差規格", "5", "0"), kTwoLots, 2),
                 {},
                 Sheet("xbar-r", 2, Limits(kXbarRLimits), {{"verdict", "不合格"}, {"marked", {{2, 1}}}},
                       {{"rows", CalcRowsTwoLots("0.589", "0.471", kNg, "0.295", "0.118", kNg, "0.386", "0.309", kNg)},
                        {"verdict", "不合格"}},
                       twoLotsSpc),
                 1});

    // The load warns, and the three-sigma computation stops on the text.
    g.push_back({"a value that is not a number",
                 ExchangeCsv(Header("公差規格", "10", "0"), {"L1,1,3", "L2,abc,6"}, 2),
                 {},
                 Sheet("xbar-r", 2, Limits({}), {{"verdict", ""}, {"marked", json::array()}},
                       {{"rows", json::array()}, {"verdict", ""}}, {{"rows", json::array()}, {"verdict", ""}},
                       {"不適切な測定値が見つかりました。ファイルの内容を確認してください…"},
                       "'abc' は浮動小数点数ではありません"),
                 1});
    return g;
}

TEST(Cli, JsonOfEachKindOfSheet)
{
    CliTempDir dir;
    for (const Golden& c : GoldenCases()) {
        const std::string file = dir.write("sheet.csv", c.bytes);
        std::vector<std::string> args = {"judge", "--json"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(file);
        const CliRun r = RunCli(args, dir);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
        json out;
        ASSERT_NO_THROW(out = json::parse(r.out)) << c.name << "\n" << r.out;
        ASSERT_EQ(out["files"].size(), 1u) << c.name;
        EXPECT_EQ(out["files"][0]["file"], file) << c.name;
        ASSERT_EQ(out["files"][0]["sheets"].size(), 1u) << c.name;
        // The capability study has its own check below.
        json sheet = out["files"][0]["sheets"][0];
        sheet.erase("capability");
        EXPECT_EQ(sheet, c.expected) << c.name << "\n got: " << sheet.dump() << "\nwant: " << c.expected.dump();
        EXPECT_TRUE(r.err.empty()) << c.name << ": " << r.err;
    }
}

TEST(Cli, KeysInTheirDocumentedOrder)
{
    CliTempDir dir;
    const std::string file = dir.write("a.csv", ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2));
    const CliRun r = RunCli({"judge", "--json", file}, dir);
    const auto out = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& [k, v] : out["files"][0]["sheets"][0].items())
        keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"sheet", "label", "lots", "n", "chart", "messages", "error", "limits",
                                              "spec", "calc", "spc", "capability"}));
    std::vector<std::string> limitKeys;
    for (const auto& [k, v] : out["files"][0]["sheets"][0]["limits"].items())
        limitKeys.push_back(k);
    EXPECT_EQ(limitKeys.front(), "editUcl3");
    EXPECT_EQ(limitKeys.back(), "editRsUcl1");
}

TEST(Cli, TypedLimits)
{
    CliTempDir dir;
    const std::string limits = dir.write("limits.json", R"({"editXcl": "3", "editUcl3": "3.5", "editUcl2": "3.3",
        "editUcl1": "3.1", "editLcl3": "2.5", "editLcl2": "2.7", "editLcl1": "2.9", "editRcl": "3",
        "editRsUcl3": "10", "editRsUcl2": "8", "editRsUcl1": "6"})");
    const std::string file = dir.write("a.csv", ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2));
    const CliRun r = RunCli({"judge", "--json", "--limits", limits, file}, dir);
    EXPECT_EQ(r.status, 1);
    const json sheet = json::parse(r.out)["files"][0]["sheets"][0];
    EXPECT_EQ(sheet["limits"], Limits({"3.5000", "3.3000", "3.1000", "2.5000", "2.7000", "2.9000", "3.0000", "3.0000",
                                       "10.0000", "8.0000", "6.0000"}));
    // Means 2 and 4 lie beyond the ±3σ lines (rule 1) and both beyond the
    // ±2σ lines, the second of two in a block of three (rule 5).
    EXPECT_EQ(sheet["spc"]["rows"],
              json::array({SpcRow("L1", "x" + std::string(15, 'o')), SpcRow("L2", "xoooxooo" + std::string(8, 'o'))}));
    EXPECT_EQ(sheet["spc"]["verdict"], "不合格");

    const CliRun text = RunCli({"judge", "--limits", limits, file}, dir);
    EXPECT_NE(text.out.find("SPC異常: L1 (X①); L2 (X①,X⑤)"), std::string::npos) << text.out;

    // Without the hidden R-side lines they follow the typed ones: 3 + 2(10 − 3)/3
    // and 3 + (10 − 3)/3, and the R side is judged.
    const std::string visible = dir.write("visible.json", R"({"editXcl": "3", "editUcl3": "3.5", "editUcl2": "3.3",
        "editUcl1": "3.1", "editLcl3": "2.5", "editLcl2": "2.7", "editLcl1": "2.9", "editRcl": "3",
        "editRsUcl3": "10"})");
    const json derived = json::parse(RunCli({"judge", "--json", "--limits", visible, file}, dir).out);
    const json& sheet2 = derived["files"][0]["sheets"][0];
    EXPECT_EQ(sheet2["error"], nullptr);
    EXPECT_EQ(sheet2["limits"]["editRsUcl2"], "7.6667");
    EXPECT_EQ(sheet2["limits"]["editRsUcl1"], "5.3333");
    EXPECT_EQ(sheet2["spc"]["verdict"], "不合格");
}

// Lots (1, 3) and (2, 6) against 0..10 by the coefficient method: X̿ 3 +
// A₂(2)·R̄ = 3 + 1.88060·3; σ within R̄/d₂ = 3/1.128, so Cp = 10/(6σ) = 0.627 and
// Cpk = 3/(3σ) = 0.376; σ overall 2.16025 gives Pp 0.772; ν 2·d₂²/(2d₃²), N − 1.
TEST(Cli, CoefficientMethodAndCapability)
{
    CliTempDir dir;
    const std::string file = dir.write("a.csv", ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2));
    const CliRun r = RunCli({"judge", "--json", "--limit-method", "coefficient", file}, dir);
    const json sheet = json::parse(r.out)["files"][0]["sheets"][0];
    EXPECT_EQ(sheet["limits"]["editUcl3"], "8.6418");
    const json& c = sheet["capability"];
    EXPECT_EQ(c["values"], 4);
    EXPECT_NEAR(c["within"]["cp"].get<double>(), 0.6267, 0.0001);
    EXPECT_NEAR(c["within"]["cpk"].get<double>(), 0.3760, 0.0001);
    EXPECT_EQ(c["within"]["verdict"], "工程能力不足");
    EXPECT_NEAR(c["overall"]["pp"].get<double>(), 0.7715, 0.0001);
    EXPECT_EQ(c["overall"]["note"], nullptr);
    EXPECT_NEAR(c["within"]["dof"].get<double>(), 1.7487, 0.0001);
    EXPECT_EQ(c["overall"]["dof"], 3.0);

    EXPECT_EQ(RunCli({"judge", "--limit-method", "median", file}, dir).status, 2);
}

TEST(Cli, ReadableReport)
{
    CliTempDir dir;
    const std::string file = dir.write("a.csv", ExchangeCsv(Header("公差規格", "5", "0"), kTwoLots, 2));
    const CliRun r = RunCli({"judge", file}, dir);
    EXPECT_EQ(r.status, 1);
    for (const char* line : {
             "シート1  「外径」  10ロット × n=2  XbarR管理図\n",
             "  規格判定: 不合格   不良率判定: 不合格   SPC異常判定: 合格\n",
             "  管理限界値 X: 平均値 3.0000  ＋３σ 9.4807  ＋２σ 7.3205  ＋１σ 5.1602  －１σ 0.8398  －２σ -1.3205  "
             "－３σ -3.4807\n",
             "  管理限界値 R: 平均値 3.0000  ＋３σ 9.4807  ＋２σ 7.3205  ＋１σ 5.1602\n",
             "  規格外の値: L2 N2\n",
             "  不良率判定 ×: L1 (CP 0.589, CPK 0.471); L2 (CP 0.295, CPK 0.118); ＊トータル (CP 0.386, CPK 0.309)\n",
             "判定 1 シート: 合格 0, 不合格 1, 判定未完了 0\n",
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
}

TEST(Cli, ExitStatusOverSeveralFiles)
{
    CliTempDir dir;
    const std::string pass =
        dir.write("pass.csv", ExchangeCsv(Header("公差規格", "20", "0", "0"), {"K1,10", "K2,12", "K3,11"}, 1));
    const std::string fail = dir.write("fail.csv", ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2));
    const std::string stopped = dir.write("stopped.csv", ExchangeCsv(Header("公差規格", "10", "0"), {"L1,1"}, 1));
    const std::string missing = dir.file("missing.csv");

    EXPECT_EQ(RunCli({"judge", pass}, dir).status, 0);
    EXPECT_EQ(RunCli({"judge", pass, pass}, dir).status, 0);
    EXPECT_EQ(RunCli({"judge", pass, fail}, dir).status, 1);
    // A single value gives no control limits: the judgment stops at its message.
    const CliRun s = RunCli({"judge", pass, stopped}, dir);
    EXPECT_EQ(s.status, 1);
    EXPECT_NE(s.out.find("[ガイドメッセージ] 管理限界値が設定されていません。"), std::string::npos) << s.out;
    EXPECT_NE(s.out.find("判定 2 シート: 合格 1, 不合格 0, 判定未完了 1"), std::string::npos) << s.out;

    // An unreadable file gives 2 and its reason; the others are judged.
    const CliRun m = RunCli({"judge", "--json", pass, missing, fail}, dir);
    EXPECT_EQ(m.status, 2);
    EXPECT_NE(m.err.find("trevolo-cli: " + missing + ": ファイルがありません。"), std::string::npos) << m.err;
    const json out = json::parse(m.out);
    ASSERT_EQ(out["files"].size(), 3u);
    EXPECT_EQ(out["files"][1]["sheets"], json::array());
    EXPECT_EQ(out["files"][1]["error"], "ファイルがありません。");
    EXPECT_EQ(out["files"][2]["sheets"][0]["calc"]["verdict"], "不合格");
}

TEST(Cli, UnusableInputGivesStatus2AndAMessage)
{
    CliTempDir dir;
    const std::string good = dir.write("good.csv", ExchangeCsv(Header("公差規格", "10", "0"), kTwoLots, 2));
    const std::string empty = dir.write("empty.csv", "");
    const std::string badLimits = dir.write("bad.json", R"({"editUcl3": "x"})");
    std::filesystem::create_directories(dir.file("folder.csv"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"judge", empty}, "empty.csv: ファイルが空です。"},
        {{"judge", dir.file("folder.csv")}, "folder.csv: ファイルではなくフォルダです。"},
        {{"judge", "--sheet", "2", good},
         "good.csv: ワークシート 2 がありません（ファイルのワークシートは 1 枚です）。"},
        {{"judge", "--chart", "xbar", good}, "--chart"},
        {{"judge", "--threshold", "1,33", good}, "--threshold: '1,33' は浮動小数点数ではありません"},
        {{"judge", "--threshold", "1.0", "--no-threshold", good}, "excludes"},
        {{"judge", "--rules", "2:12", good},
         "--rules: SPC異常判定ルールの指定が正しくありません。(rule 2: \"12\" is not one of 7, 8, 9, 10, 11)"},
        {{"judge", "--rules", "5:3/4", good}, "rule 5: the block length 3 is smaller than the hit count 4"},
        {{"judge", "--limits", dir.file("none.json"), good}, "none.json: ファイルがありません。"},
        {{"judge", "--limits", badLimits, good}, "editUcl3: \"x\" is not a number"},
        {{"judge"}, "FILE is required"},
        {{}, "A subcommand is required"},
    };
    for (const Case& c : cases) {
        const CliRun r = RunCli(c.args, dir);
        const std::string what = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(r.status, 2) << what << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << what;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << what << " gave: " << r.err;
        // The user reads a sentence of the program first; the option
        // reader's or the parser's own words may follow.
        EXPECT_TRUE(HasJapanese(r.err.substr(0, r.err.find('\n')))) << what << " gave: " << r.err;
    }
    const CliRun help = RunCli({"judge", "--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--limits"), std::string::npos);
}

// Judging sheets side by side changes nothing of the report: the sample
// files and generated ones of every kind, unreadable and stopped ones among
// them, give the same bytes and status with one thread as with several.
TEST(Cli, ParallelJudgmentWritesTheSameReport)
{
    CliTempDir dir;
    std::vector<std::string> args = {"judge", "--json"};
    for (const char* sample : {"01_stable_XbarR.csv", "02_drift_XbarR.csv", "03_out_of_tolerance_XbarR.csv",
                               "04_upper_limit_XbarR.csv", "05_individuals_X-Rs.csv"})
        args.push_back(std::string(TREVOLO_SAMPLE_DIR "/") + sample);
    const char* kinds[] = {"公差規格", "上限規格", "下限規格"};
    for (int f = 0; f < 24; ++f) {
        const int n = 1 + f % 5;
        std::vector<std::string> lots;
        for (int lot = 1; lot <= 10 + 7 * f; ++lot) {
            std::string line = "L" + std::to_string(lot);
            for (int c = 0; c < n; ++c)
                line += "," + std::to_string(9.0 + ((lot * 7 + c * 3 + f) % 11) / 5.0);
            lots.push_back(line);
        }
        const std::string kind = kinds[f % 3];
        args.push_back(
            dir.write("g" + std::to_string(f) + ".csv",
                      ExchangeCsv(Header(kind, kind == "下限規格" ? "" : "11", kind == "上限規格" ? "" : "9"),
                                  f == 5 ? std::vector<std::string>{"L1,1"} : lots, n)));
        if (f % 11 == 0)
            args.push_back(dir.file("missing" + std::to_string(f) + ".csv"));
    }
    for (const bool json : {true, false}) {
        std::vector<std::string> base = args;
        if (!json)
            base.erase(base.begin() + 1);
        std::vector<std::string> one = base, two = base;
        one.insert(one.begin() + 1, {"-j", "1"});
        two.insert(two.begin() + 1, {"-j", "3"});
        const CliRun a = RunCli(one, dir);
        const CliRun b = RunCli(two, dir);
        EXPECT_EQ(a.status, 2);
        EXPECT_EQ(b.status, a.status);
        EXPECT_EQ(b.out, a.out);
        EXPECT_EQ(b.err, a.err);
        EXPECT_LT(a.err.find("missing0.csv"), a.err.find("missing22.csv"));
        EXPECT_GT(a.out.size(), 10000u);
    }
}

}  // namespace
}  // namespace trevolo
