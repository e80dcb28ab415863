// The board's pages over a real store: hostile texts, chart marks against the
// judgment, tile states, unknown pages, and a store lost and found again.
#include <QDir>
#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <regex>

#include "../store/store_test_support.h"
#include "board/board_html.h"
#include "board/board_pages.h"
#include "document/judgment_chain.h"
#include "model/number.h"
#include "store/store_commands.h"

namespace trevolo::test {
namespace {

const Specification kSpec{"mm", "両側規格", "2", "16.0", "4.0"};
constexpr const char* kAway = "工場データベースに接続できません（再試行中）";

// X lines around 10 with σ 1, R lines around 1.
LimitSet Lines(std::int64_t from)
{
    LimitSet set{"指定管理値", {}, "eng", from, 0, ""};
    const double x[] = {13, 12, 11, 7, 8, 9, 10, 1, 2.5, 2, 1.5};
    for (size_t i = 0; i < std::size(x); ++i)
        set.values[i] = std::to_string(x[i]);
    return set;
}

// A lot of five values around mean with range spread, published at.
StoredLot Lot(const std::string& label, double mean, double spread, std::int64_t at)
{
    std::string values;
    for (int k = 0; k < 5; ++k)
        values += (k ? "," : "") + FormatFixed(mean + spread * (k - 2) / 4, 2);
    return StoredLot{NewLotId(), "", label, true, values, 5, "st", "op", at, at, 0, "", 0};
}

AlarmAnswer Answer(std::int64_t alarm, std::string cause = "工具摩耗", std::string action = "交換",
                   std::string comment = "")
{
    return AlarmAnswer{0, alarm, std::move(cause), std::move(action), std::move(comment), "", 0};
}

// Where part starts in text, each time.
std::vector<size_t> Finds(const std::string& text, const std::string& part)
{
    std::vector<size_t> out;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        out.push_back(at);
    return out;
}

size_t Count(const std::string& text, const std::string& part) { return Finds(text, part).size(); }

// The labels of the points of a chart's SVG whose class has word.
std::vector<std::string> PointLabels(const std::string& svg, const std::string& word = "")
{
    static const std::regex pt(R"re(<g class="pt([^"]*)" data-row="\d+" data-lot="([^"]*)")re");
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), pt); it != std::sregex_iterator(); ++it)
        if (word.empty() || (" " + (*it)[1].str() + " ").find(" " + word + " ") != std::string::npos)
            out.push_back((*it)[2]);
    return out;
}

// The control charts of a characteristic page, X first.
std::vector<std::string> Charts(const std::string& page)
{
    std::vector<std::string> out;
    for (size_t at : Finds(page, "<svg class=\"chart\""))
        out.push_back(page.substr(at, page.find("</svg>", at) - at));
    return out;
}

TEST(BoardEscape, HostileTextsStayText)
{
    struct Row {
        std::string text, html, json;
    };
    const std::vector<Row> rows = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
         R"("\u003cscript\u003ealert(1)\u003c/script\u003e")"},
        {R"("><img src=x onerror=alert(1)>)", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;",
         R"("\"\u003e\u003cimg src=x onerror=alert(1)\u003e")"},
        {"'</svg>&", "&#39;&lt;/svg&gt;&amp;", R"("'\u003c/svg\u003e\u0026")"},
        {"{{7*7}}", "{{7*7}}", R"("{{7*7}}")"},
        {"\xE2\x80\xAEtxt.exe", "[U+202E]txt.exe", R"("[U+202E]txt.exe")"},
        {"a\xE2\x81\xA6" "b", "a[U+2066]b", R"("a[U+2066]b")"},
        {"\xFF<\xC0\xBC", "\xEF\xBF\xBD&lt;\xEF\xBF\xBD\xEF\xBF\xBD",
         "\"\xEF\xBF\xBD\\u003c\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {std::string("a\0b\x1b", 4) + "\n\\", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\n\\",
         "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\\n\\\\\""},
        {"\xE2\x80\xA8 工具交換", "\xE2\x80\xA8 工具交換", R"("\u2028 工具交換")"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(HtmlEscape(r.text), r.html);
        EXPECT_EQ(JsonString(r.text), r.json);
    }
}

class BoardPagesTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override { ASSERT_TRUE(store) << error; }
    bool publish(const Characteristic& c, std::vector<StoredLot> lots) { return store->publish({c, kSpec, lots}); }

    QTemporaryDir dir;
    StoreLocation where = FreshStore(GetParam(), dir);
    std::string error;
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    std::int64_t now = StationNowMillis();

    std::int64_t idOf(const Characteristic& c)
    {
        std::int64_t id = 0;
        EXPECT_TRUE(store->characteristicId(c, id)) << store->lastError();
        return id;
    }
    std::vector<Alarm> alarmsOf(std::int64_t id)
    {
        std::vector<Alarm> out;
        EXPECT_TRUE(store->alarms(id, false, 0, out)) << store->lastError();
        return out;
    }
};

// Every store text a page shows, hostile in every field, on each page: no
// element, attribute or script of its own gets into the page.
TEST_P(BoardPagesTest, HostileTextsShowAsTextOnEveryPage)
{
    const std::string evil = "\"><img src=x onerror=alert(1)></svg><script>alert(2)</script>{{x}}\xE2\x80\xAE";
    const Characteristic c{"P" + evil, "Q" + evil, "M" + evil, "I" + evil};
    ASSERT_TRUE(store->publishLimits(c, Lines(now - 60000)));
    StoredLot lot = Lot("L" + evil, 14, 1, now - 1000);
    lot.station = "S" + evil;
    ASSERT_TRUE(publish(c, {Lot("ok", 10, 1, now - 2000), lot})) << store->lastError();
    ASSERT_TRUE(store->addNote(lot.id, "N" + evil)) << store->lastError();
    const std::int64_t id = idOf(c);
    const std::vector<Alarm> alarms = alarmsOf(id);
    ASSERT_FALSE(alarms.empty());
    ASSERT_TRUE(store->answerAlarm(Answer(alarms.front().seq, "C" + evil, "A" + evil, "K" + evil)));

    BoardPages pages(where, {});
    for (const std::string& target :
         std::vector<std::string>{"/", "/?q=%22%3E%3Cimg", "/c/" + std::to_string(id), "/alarms"}) {
        SCOPED_TRACE(target);
        const BoardResponse r = pages.get(target);
        ASSERT_EQ(r.status, 200) << r.body;
        EXPECT_EQ(Count(r.body, "<script"), 1u);  // the board's own, from /static
        EXPECT_EQ(Count(r.body, "<img"), 0u);
        EXPECT_EQ(Count(r.body, "\xE2\x80\xAE"), 0u);
        EXPECT_EQ(Count(r.body, "<svg"), Count(r.body, "</svg>"));
        EXPECT_EQ(Count(r.body, "onerror"), Count(r.body, "&quot;&gt;&lt;img src=x onerror"));
    }
    const std::string page = pages.get("/c/" + std::to_string(id)).body;
    for (const char* field : {"M", "I", "L", "N", "C", "A", "K"})
        EXPECT_NE(page.find(field + HtmlEscape(evil)), std::string::npos) << field;
    EXPECT_NE(pages.get("/").body.find("S" + HtmlEscape(evil)), std::string::npos);
}

// One point a lot on both charts, as many as asked; the points marked are
// those the SPC judgment marks for the same lots against the same limits,
// on each chart.
TEST_P(BoardPagesTest, ChartPointsAndMarksAreTheJudgments)
{
    const Characteristic c{"p", "q", "m", "marks"};
    ASSERT_TRUE(store->publishLimits(c, Lines(now - 600000)));
    LotBatch batch{c, kSpec, {}};
    for (int i = 0; i < 40; ++i)  // a run above the centre, one lot beyond, one wide
        batch.lots.push_back(Lot("lot" + std::to_string(i), i == 30 ? 13.6 : i >= 20 ? 10.6 : 9.8 + (i % 3) * 0.2,
                                 i == 12 ? 4 : 1, now - 100000 + i));
    ASSERT_TRUE(store->publish(batch)) << store->lastError();
    const std::int64_t id = idOf(c);
    BoardPages pages(where, {});

    for (int asked : {0, 25, 40, 5000}) {
        SCOPED_TRACE(asked);
        const int lots = asked == 0 ? 40 : std::min(asked, 40);
        const BoardResponse r =
            pages.get("/c/" + std::to_string(id) + (asked ? "?lots=" + std::to_string(asked) : std::string()));
        ASSERT_EQ(r.status, 200);
        const std::vector<std::string> charts = Charts(r.body);
        ASSERT_EQ(charts.size(), 2u);

        LotHistory history;
        ASSERT_TRUE(store->newestLots(c, lots, history));
        const SheetJudgment j = JudgeSheet(SheetFromHistory(c, history), {}, &history.limits.values);
        ASSERT_TRUE(j.spcReached);
        std::vector<std::string> all, markedX, markedSpread;
        for (const SpcRow& row : j.spcRows) {
            if (row[0].empty() || std::find(j.lotLabels.begin(), j.lotLabels.end(), row[0]) == j.lotLabels.end())
                continue;
            all.push_back(row[0]);
            const auto marked = [&](int from) {
                return std::any_of(row.begin() + from, row.begin() + from + 8,
                                   [](const std::string& t) { return t.find("×") != std::string::npos; });
            };
            if (marked(1))
                markedX.push_back(row[0]);
            if (marked(9))
                markedSpread.push_back(row[0]);
        }
        EXPECT_EQ(static_cast<int>(all.size()), lots);
        EXPECT_EQ(PointLabels(charts[0]), all);
        EXPECT_EQ(PointLabels(charts[1]), all);
        EXPECT_FALSE(markedX.empty());
        EXPECT_EQ(PointLabels(charts[0], "marked"), markedX);
        EXPECT_EQ(PointLabels(charts[1], "marked"), markedSpread);
    }
}

// The word of each tile: unanswered alarms first, then a characteristic
// quiet for longer than the quiet time, then one whose alarms were answered
// lately, else in control.
TEST_P(BoardPagesTest, TilesSayTheirState)
{
    struct Row {
        std::string item;
        std::int64_t age;  // of the newest lot, ms
        int alarms;        // lots beyond the limits
        bool answer;
        std::string word;
    };
    const std::vector<Row> rows = {
        {"calm", 1000, 0, false, "● 管理状態"},
        {"alarm", 1000, 2, false, "▲ 未対応アラーム 2 件"},
        {"quiet alarm", 3 * 86400000LL, 1, false, "▲ 未対応アラーム 1 件"},
        {"answered", 1000, 1, true, "✔ 対応済み"},
        {"quiet", 2 * 86400000LL, 0, false, "― データなし"},
        {"quiet answered", 2 * 86400000LL, 1, true, "― データなし"},
        {"never", -1, 0, false, "― データなし"},  // limits set, no lot yet
    };
    for (const Row& row : rows) {
        const Characteristic c{"p", "q", "m", row.item};
        const std::int64_t at = now - row.age;
        ASSERT_TRUE(store->publishLimits(c, Lines(at - 100000)));
        if (row.age < 0)
            continue;
        LotBatch batch{c, kSpec, {Lot("a", 10, 1, at - 10)}};
        for (int k = 0; k < row.alarms; ++k)  // beyond the limits, each followed by two at the centre
            for (int j = 0; j < 3; ++j)
                batch.lots.push_back(Lot("b" + std::to_string(k * 3 + j), j ? 10 : 14, 1, at - 9 + 3 * k + j));
        batch.lots.push_back(Lot("z", 10, 1, at));
        ASSERT_TRUE(store->publish(batch)) << store->lastError();
        if (row.answer) {
            for (const Alarm& a : alarmsOf(idOf(c)))
                ASSERT_TRUE(store->answerAlarm(Answer(a.seq)));
        }
    }
    BoardPages pages(where, {});
    const std::string body = pages.get("/").body;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item);
        const size_t tile = body.find("data-c=\"" + std::to_string(idOf({"p", "q", "m", row.item})) + "\"");
        ASSERT_NE(tile, std::string::npos);
        const std::string text = body.substr(tile, body.find("</li>", tile) - tile);
        EXPECT_NE(text.find("<div class=\"state\">" + row.word + "</div>"), std::string::npos) << text;
    }
    EXPECT_EQ(pages.get("/c/" + std::to_string(idOf({"p", "q", "m", "never"}))).status, 200);
    // The filter keeps the tiles whose names hold the text.
    EXPECT_EQ(Count(pages.get("/?q=QUIET").body, "<li class=\"tile"), 3u);
}

// A page made once is served again only while the store holds nothing new
// for it: each kind of change shows on the next request of the page.
TEST_P(BoardPagesTest, PagesFollowEveryChange)
{
    const Characteristic c{"p", "q", "m", "follow"};
    ASSERT_TRUE(store->publishLimits(c, Lines(now - 600000)));
    ASSERT_TRUE(publish(c, {Lot("a", 10, 1, now - 5000)}));
    const std::string page = "/c/" + std::to_string(idOf(c));
    StoredLot beyond = Lot("beyond", 14, 1, now - 4000);
    const std::vector<std::pair<std::string, std::function<bool()>>> changes = {
        {page, [&] { return publish(c, {Lot("b", 10, 1, now - 4500)}); }},
        {"/", [&] { return publish(c, {beyond}); }},
        {"/alarms", [&] { return publish(c, {Lot("again", 14, 1, now - 3000)}); }},
        {"/", [&] { return store->answerAlarm(Answer(alarmsOf(idOf(c)).front().seq)); }},
        {page, [&] { return store->addNote(beyond.id, "工具交換"); }},
        {"/", [&] { return publish({"p", "q", "m", "new"}, {Lot("n", 10, 1, now)}); }},
    };
    BoardPages pages(where, {});
    for (const auto& [target, change] : changes) {
        SCOPED_TRACE(target);
        const std::string before = pages.get(target).body;
        EXPECT_TRUE(pages.get(target).body == before);
        ASSERT_TRUE(change()) << store->lastError();
        const BoardResponse after = pages.get(target);
        EXPECT_EQ(after.status, 200);
        EXPECT_TRUE(after.body != before) << "the page made before the change was served again";
    }
    // A revision holds from its own time on: the lots before keep their
    // lines, so the X chart draws its lines as steps once a lot follows it.
    LimitSet wider = Lines(0);
    wider.values[LimitUcl3] = "15";
    ASSERT_TRUE(store->reviseLimits(c, wider, "見直し")) << store->lastError();
    EXPECT_EQ(Count(Charts(pages.get(page).body)[0], "<path class=\"line"), 0u);
    ASSERT_TRUE(publish(c, {Lot("after", 10, 1, StationNowMillis() + 1000)}));
    const std::string x = Charts(pages.get(page).body)[0];
    EXPECT_EQ(Count(x, "<path class=\"line control\""), 1u);
    EXPECT_NE(x.find("＋３σ 15</text>"), std::string::npos);
}

// Unknown pages and foreign lot counts; the board's own assets.
TEST_P(BoardPagesTest, UnknownTargetsAndAssets)
{
    const Characteristic c{"p", "q", "m", "x"};
    ASSERT_TRUE(publish(c, {Lot("a", 10, 1, now)}));
    const std::string known = "/c/" + std::to_string(idOf(c));
    const std::vector<std::pair<std::string, int>> rows = {
        {"/nothing", 404},          {"/c/", 404},           {"/c/abc", 404},          {"/c/0", 404},
        {"/c/999999", 404},         {known + "x", 404},     {"/static/other.js", 404}, {"/alarms/x", 404},
        {known + "?lots=abc", 400}, {known + "?lots=-3", 400}, {known + "?lots=0", 400}, {known + "?lots=3", 200},
        {"/static/board.js", 200},  {"/static/board.css", 200}, {"/?q=%zz%", 200},     {"/alarms", 200},
    };
    BoardPages pages(where, {});
    for (const auto& [target, status] : rows)
        EXPECT_EQ(pages.get(target).status, status) << target;
    EXPECT_EQ(pages.get("/static/board.js").contentType, "text/javascript; charset=utf-8");
}

INSTANTIATE_TEST_SUITE_P(Engines, BoardPagesTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

// A store that cannot be reached: 503 with the banner on every page; once
// it is back (the file made, the connection the server dropped), the next
// request shows the page again.
TEST(BoardStoreAway, AnsweredBy503AndRecovered)
{
    QTemporaryDir dir;
    std::string error;
    StoreLocation file;
    file.path = (dir.path() + QStringLiteral("/later/plant.sqlite")).toStdString();
    BoardPages onFile(file, {});
    for (const char* target : {"/", "/alarms", "/c/1"}) {
        const BoardResponse r = onFile.get(target);
        EXPECT_EQ(r.status, 503) << target;
        EXPECT_NE(r.body.find(std::string("class=\"banner\" role=\"alert\">") + kAway), std::string::npos);
    }
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("later")));
    auto made = PlantStore::open(file, error);
    ASSERT_TRUE(made && made->init()) << error;
    made.reset();
    EXPECT_EQ(onFile.get("/").status, 200);

    const StoreLocation server = FreshStore(Engine::Postgres, dir);
    BoardPages onServer(server, {});
    ASSERT_EQ(onServer.get("/").status, 200);
    StoreLocation admin = server;
    admin.database = "postgres";
    ASSERT_EQ(Exec(admin, {"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" +
                           server.database + "' AND pid <> pg_backend_pid()"}),
              "");
    // The database is up; only the page's connection was cut (as a restart
    // of the database cuts it): the page connects again and is served.
    const BoardResponse lost = onServer.get("/alarms");
    EXPECT_EQ(lost.status, 200);
    EXPECT_EQ(lost.body.find(std::string("role=\"alert\">") + kAway), std::string::npos);
    EXPECT_EQ(onServer.get("/alarms").status, 200);

    // A store that holds a query too long: the query is cancelled, the page
    // says so at once, and the store is read again when it answers.
    BoardOptions quick;
    quick.queryTimeoutMs = 300;
    BoardPages impatient(server, quick);
    QSqlDatabase locker = OpenStoreConnection(server, error);
    ASSERT_TRUE(locker.isValid()) << error;
    {
        QSqlQuery q(locker);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN")) &&
                    q.exec(QStringLiteral("LOCK TABLE lot IN ACCESS EXCLUSIVE MODE")));
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(impatient.get("/").status, 503);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
        ASSERT_TRUE(q.exec(QStringLiteral("ROLLBACK")));
    }
    CloseStoreConnection(locker);
    EXPECT_EQ(impatient.get("/").status, 200);
}

}  // namespace
}  // namespace trevolo::test
