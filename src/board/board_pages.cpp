#include "board/board_pages.h"

#include <QSqlQuery>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

#include "board/board_assets.h"
#include "board/board_html.h"
#include "board/board_svg.h"
#include "board/board_view.h"
#include "model/number.h"
#include "store/plant_store.h"

namespace trevolo {

namespace {

constexpr const char* kStoreAwayText = "工場データベースに接続できません（再試行中）";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A query value as the form sent it: %XX decoded, '+' a space.
std::string Unescape(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The value of name in a query ("a=1&b=2"), or nothing.
std::optional<std::string> QueryValue(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const size_t eq = pair.find('=');
        if (Unescape(pair.substr(0, eq)) == name)
            return eq == std::string_view::npos ? std::string() : Unescape(pair.substr(eq + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

// A whole positive number, nothing else.
std::optional<std::int64_t> WholeNumber(std::string_view text)
{
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < 1)
        return std::nullopt;
    return v;
}

std::string CharacteristicName(const Characteristic& c)
{
    return HtmlEscape(c.product) + " ／ " + HtmlEscape(c.process) + " ／ " + HtmlEscape(c.machine) + " ／ " +
           HtmlEscape(c.item);
}

// A capability index as the statistics table shows it: two places.
std::string Index(double v)
{
    return std::isfinite(v) ? FormatFixed(v, 2) : "－";
}

enum class PageKind { Overview, Characteristic, Alarms };

// The page around main: the style sheet and script of the board only, the
// banner hidden (the script shows it when the store is lost), and without
// script a refresh of its own.
std::string Page(PageKind kind, std::int64_t characteristicId, const std::string& title, const std::string& main,
                 bool storeAway = false)
{
    std::string out =
        "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        title +
        "</title><link rel=\"stylesheet\" href=\"/static/board.css\">"
        "<script src=\"/static/board.js\" defer></script>"
        "<noscript><meta http-equiv=\"refresh\" content=\"" +
        std::string(storeAway ? "10" : "30") +
        "\"></noscript>"
        "</head><body data-page=\"";
    out += kind == PageKind::Overview ? "overview" : kind == PageKind::Alarms ? "alarms" : "characteristic";
    out += "\"";
    if (kind == PageKind::Characteristic)
        out += " data-c=\"" + std::to_string(characteristicId) + "\"";
    out += "><header><h1>" + title +
           "</h1><nav><a href=\"/\">一覧</a> ・ <a href=\"/alarms\">未対応アラーム</a></nav></header>"
           "<div id=\"banner\" class=\"banner\" role=\"alert\"" +
           std::string(storeAway ? "" : " hidden") + ">" + kStoreAwayText + "</div>";
    out += main;
    out += "</body></html>";
    return out;
}

BoardResponse Html(int status, std::string body)
{
    BoardResponse r;
    r.status = status;
    r.body = std::move(body);
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
}

BoardResponse NotFound()
{
    return Html(404, Page(PageKind::Overview, 0, "見つかりません",
                          "<main id=\"main\"><p>指定されたページはありません。<a href=\"/\">一覧へ</a></p></main>"));
}

BoardResponse BadRequest()
{
    return Html(400, Page(PageKind::Overview, 0, "不正な指定",
                          "<main id=\"main\"><p>ページの指定が正しくありません。<a href=\"/\">一覧へ</a></p></main>"));
}

// The capability line of a tile or a page: Cpk with its 95 % lower bound
// and the verdict against the threshold.
std::string CapabilityText(const CapabilityStudy& study)
{
    if (!study.why.empty())
        return "Cpk －（" + HtmlEscape(study.why) + "）";
    const CapabilityIndexSet& w = study.within;
    if (!w.computed)
        return "Cpk －（" + HtmlEscape(w.why) + "）";
    return "Cpk " + Index(w.cpk) + "（95%下限 " + Index(w.cpkLower) + "）<span class=\"verdict\">" +
           HtmlEscape(w.verdict) + "</span>";
}

// What a tile says of a characteristic, in words and a shape.
struct TileState {
    const char* cls;
    std::string word;
};

// The newest arrival number of each table a page shows, and the newest
// characteristic: while they stay, every page made from the store stays.
struct StoreMark {
    std::array<std::int64_t, 9> seq{};
    bool operator==(const StoreMark&) const = default;
};

bool ReadMark(QSqlDatabase& db, StoreMark& out)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral(
            "SELECT (SELECT COALESCE(MAX(seq), 0) FROM lot), (SELECT COALESCE(MAX(seq), 0) FROM alarm), "
            "(SELECT COALESCE(MAX(seq), 0) FROM alarm_answer), (SELECT COALESCE(MAX(seq), 0) FROM lot_note), "
            "(SELECT COALESCE(MAX(seq), 0) FROM limit_set), (SELECT COALESCE(MAX(seq), 0) FROM limit_revision), "
            "(SELECT COALESCE(MAX(seq), 0) FROM rule_setting), (SELECT COALESCE(MAX(seq), 0) FROM reason_list), "
            "(SELECT COALESCE(MAX(id), 0) FROM characteristic)")) ||
        !q.next())
        return false;
    for (size_t i = 0; i < out.seq.size(); ++i)
        out.seq[i] = q.value(static_cast<int>(i)).toLongLong();
    return true;
}

// One characteristic's counts as the characteristic list gives them.
bool ReadSummary(QSqlDatabase& db, CharacteristicSummary& s)
{
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("SELECT COUNT(DISTINCT l.station), COUNT(l.seq), COALESCE(MAX(l.published_at), 0) "
                       "FROM lot l WHERE l.characteristic_id = ? "
                       "AND NOT EXISTS (SELECT 1 FROM lot n WHERE n.supersedes = l.id)"));
    q.addBindValue(static_cast<qlonglong>(s.id));
    if (!q.exec() || !q.next())
        return false;
    s.stations = q.value(0).toLongLong();
    s.lots = q.value(1).toLongLong();
    s.lastPublishedAt = q.value(2).toLongLong();
    return true;
}

// The characteristics with an alarm answered at or after since.
bool ReadAnsweredSince(QSqlDatabase& db, std::int64_t since, std::set<std::int64_t>& out)
{
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("SELECT DISTINCT a.characteristic_id FROM alarm_answer x "
                       "JOIN alarm a ON a.seq = x.alarm_seq WHERE x.received_at >= ?"));
    q.addBindValue(static_cast<qlonglong>(since));
    if (!q.exec())
        return false;
    while (q.next())
        out.insert(q.value(0).toLongLong());
    return true;
}

}  // namespace

// Each tile's capability and newest station, read again when its lots
// change. Shared by the pages of every server thread reading the same store,
// so a characteristic is judged once for all of them.
struct SharedTiles {
    struct Tile {
        std::int64_t lots = -1;
        std::int64_t lastPublishedAt = -1;
        std::string station;
        CapabilityStudy capability;
    };
    std::mutex lock;
    std::map<std::int64_t, Tile> tiles;

    static std::shared_ptr<SharedTiles> of(const StoreLocation& where)
    {
        static std::mutex all;
        static std::map<std::string, std::weak_ptr<SharedTiles>> stores;
        const std::lock_guard guard(all);
        std::weak_ptr<SharedTiles>& kept = stores[where.text()];
        auto tiles = kept.lock();
        if (!tiles)
            kept = tiles = std::make_shared<SharedTiles>();
        return tiles;
    }
};

// What the pages keep between requests. Every open page asks again after
// each change of the store, so a page is made once per change and served
// from here to the others; the characteristics' summaries follow the new
// lots one characteristic at a time instead of counting every lot again.
struct BoardPages::Cache {
    StoreMark mark;  // as read for the request being answered
    // The summaries, as of lot arrival number summarySeq and newest
    // characteristic summaryCharacteristic.
    std::vector<CharacteristicSummary> summaries;
    bool haveSummaries = false;
    std::int64_t summarySeq = 0;
    std::int64_t summaryCharacteristic = 0;
    std::shared_ptr<SharedTiles> tiles;
    // Pages made, by target, with the mark and minute they were made at
    // (the overview's words depend on the time too).
    struct Made {
        StoreMark mark;
        std::int64_t minute = 0;
        BoardResponse response;
    };
    std::map<std::string, Made> pages;
    static constexpr size_t kMaxPages = 32;
};

BoardPages::BoardPages(StoreLocation where, BoardOptions options)
    : where_(std::move(where)), options_(options), cache_(std::make_unique<Cache>())
{
    cache_->tiles = SharedTiles::of(where_);
}

BoardPages::~BoardPages() = default;

PlantStore* BoardPages::store()
{
    if (store_)
        return store_.get();
    std::string error;
    store_ = PlantStore::open(where_, error);
    if (store_ && store_->engine() == StoreEngine::Postgres && options_.queryTimeoutMs > 0) {
        // A query the server takes longer for is cancelled by it, so a
        // stuck store answers with the banner instead of holding the page.
        QSqlQuery q(store_->database());
        if (!q.exec(QStringLiteral("SET statement_timeout = %1").arg(options_.queryTimeoutMs)))
            store_.reset();
    }
    return store_.get();
}

BoardResponse BoardPages::storeAway()
{
    store_.reset();
    BoardResponse r =
        Html(503, Page(PageKind::Overview, 0, "工場ボード",
                       "<main id=\"main\"><p class=\"banner\">" + std::string(kStoreAwayText) + "</p></main>", true));
    r.headers.emplace_back("Retry-After", "5");
    return r;
}

BoardResponse BoardPages::get(std::string_view target)
{
    // A connection kept from an earlier request fails its first query once
    // the database dropped it (a restart, a fail-over); that alone says
    // nothing of the store now, so a new connection is tried before the page
    // says the store is away. A query the server cancelled for taking too
    // long is not asked again.
    const bool kept = store_ != nullptr;
    const auto start = std::chrono::steady_clock::now();
    BoardResponse r = answer(target);
    if (r.status == 503 && kept &&
        std::chrono::steady_clock::now() - start < std::chrono::milliseconds(options_.queryTimeoutMs) / 2)
        r = answer(target);
    return r;
}

BoardResponse BoardPages::answer(std::string_view target)
{
    const size_t mark = target.find('?');
    const std::string_view path = target.substr(0, mark);
    const std::string_view query = mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
    if (path == "/static/board.js" || path == "/static/board.css") {
        BoardResponse r;
        const bool script = path == "/static/board.js";
        r.contentType = script ? "text/javascript; charset=utf-8" : "text/css; charset=utf-8";
        r.body = std::string(script ? BoardScript() : BoardStyle());
        r.headers.emplace_back("Cache-Control", "max-age=300");
        return r;
    }
    if (path != "/" && path != "/alarms" && !path.starts_with("/c/"))
        return NotFound();

    PlantStore* s = store();
    if (!s || !ReadMark(s->database(), cache_->mark))
        return storeAway();
    const std::int64_t minute = StationNowMillis() / 60000;
    const std::string key(target);
    if (auto made = cache_->pages.find(key);
        made != cache_->pages.end() && made->second.mark == cache_->mark && made->second.minute == minute)
        return made->second.response;
    BoardResponse r = page(path, query);
    if (r.status == 200) {
        if (cache_->pages.size() >= Cache::kMaxPages)
            cache_->pages.clear();
        cache_->pages[key] = {cache_->mark, minute, r};
    }
    return r;
}

BoardResponse BoardPages::page(std::string_view path, std::string_view query)
{
    if (path == "/")
        return overview(query);
    if (path == "/alarms")
        return openAlarms();
    const auto id = WholeNumber(path.substr(3));
    if (!id)
        return NotFound();
    return characteristic(*id, query);
}

bool BoardPages::refreshSummaries()
{
    Cache& c = *cache_;
    const std::int64_t lotSeq = c.mark.seq[0], newestCharacteristic = c.mark.seq[8];
    if (c.haveSummaries && lotSeq == c.summarySeq && newestCharacteristic == c.summaryCharacteristic)
        return true;
    PlantStore& s = *store_;
    if (!c.haveSummaries || newestCharacteristic != c.summaryCharacteristic) {
        c.haveSummaries = s.characteristics("", c.summaries);
        c.summarySeq = lotSeq;
        c.summaryCharacteristic = newestCharacteristic;
        return c.haveSummaries;
    }
    // Only the characteristics that received lots are counted again.
    QSqlQuery q(s.database());
    q.prepare(QStringLiteral("SELECT DISTINCT characteristic_id FROM lot WHERE seq > ? AND seq <= ?"));
    q.addBindValue(static_cast<qlonglong>(c.summarySeq));
    q.addBindValue(static_cast<qlonglong>(lotSeq));
    if (!q.exec())
        return c.haveSummaries = false;
    std::vector<std::int64_t> changed;
    while (q.next())
        changed.push_back(q.value(0).toLongLong());
    for (std::int64_t id : changed) {
        auto it = std::find_if(c.summaries.begin(), c.summaries.end(), [&](const auto& x) { return x.id == id; });
        if (it == c.summaries.end() || !ReadSummary(s.database(), *it))
            return c.haveSummaries = false;
    }
    c.summarySeq = lotSeq;
    return true;
}

BoardResponse BoardPages::overview(std::string_view query)
{
    const std::string search = QueryValue(query, "q").value_or("");
    PlantStore* s = store_.get();
    const std::int64_t quietSince = StationNowMillis() - options_.quietMinutes * 60 * 1000;
    // Only the open alarms and the characteristics answered within the
    // quiet time are read: the plant's whole history of alarms is not.
    std::vector<Alarm> alarms;
    std::set<std::int64_t> answeredLately;
    if (!refreshSummaries() || !s->alarms(0, true, 0, alarms) ||
        !ReadAnsweredSince(s->database(), quietSince, answeredLately))
        return storeAway();
    std::vector<CharacteristicSummary> list;
    for (const CharacteristicSummary& c : cache_->summaries)
        if (CharacteristicMatches(c.characteristic, search))
            list.push_back(c);
    std::map<std::int64_t, int> open;
    for (const Alarm& a : alarms)
        ++open[a.characteristicId];
    std::sort(list.begin(), list.end(), [](const CharacteristicSummary& a, const CharacteristicSummary& b) {
        const Characteristic &x = a.characteristic, &y = b.characteristic;
        return std::tie(x.product, x.process, x.machine, x.item, a.id) <
               std::tie(y.product, y.process, y.machine, y.item, b.id);
    });

    std::string main =
        "<main id=\"main\"><form class=\"filter\" method=\"get\" action=\"/\" role=\"search\">"
        "<label>絞り込み <input type=\"search\" name=\"q\" value=\"" +
        HtmlEscape(search) + "\"></label> <button type=\"submit\">表示</button></form>";
    if (list.empty())
        main += "<p>該当する項目はありません。</p>";
    const Characteristic* group = nullptr;
    for (const CharacteristicSummary& c : list) {
        SharedTiles::Tile e;
        {
            const std::lock_guard guard(cache_->tiles->lock);
            e = cache_->tiles->tiles[c.id];
        }
        if (e.lots != c.lots || e.lastPublishedAt != c.lastPublishedAt) {
            // Judged outside the lock: another thread may judge the same
            // lots meanwhile, and either result is the same.
            CharacteristicView v;
            std::string error;
            if (!BuildCharacteristicView(*s, c, options_.defaultLots, false, v, error))
                return storeAway();
            e.lots = c.lots;
            e.lastPublishedAt = c.lastPublishedAt;
            e.station = v.history.lots.empty() ? std::string() : v.history.lots.back().station;
            e.capability = v.capability;
            const std::lock_guard guard(cache_->tiles->lock);
            cache_->tiles->tiles[c.id] = e;
        }
        if (!group || group->product != c.characteristic.product || group->process != c.characteristic.process) {
            if (group)
                main += "</ul></section>";
            group = &c.characteristic;
            main += "<section class=\"group\"><h2>" + HtmlEscape(group->product) + " ／ " + HtmlEscape(group->process) +
                    "</h2><ul class=\"tiles\">";
        }
        TileState state{"ok", "● 管理状態"};
        if (const auto n = open.find(c.id); n != open.end())
            state = {"alarm", "▲ 未対応アラーム " + std::to_string(n->second) + " 件"};
        else if (c.lots == 0 || c.lastPublishedAt < quietSince)
            state = {"quiet", "― データなし"};
        else if (answeredLately.count(c.id))
            state = {"answered", "✔ 対応済み"};
        main += "<li class=\"tile " + std::string(state.cls) + "\" data-c=\"" + std::to_string(c.id) +
                "\"><a href=\"/c/" + std::to_string(c.id) + "\"><div class=\"name\">" +
                HtmlEscape(c.characteristic.item) + "</div><div class=\"meta\">" +
                HtmlEscape(c.characteristic.machine) + "</div><div class=\"state\">" + state.word +
                "</div><div class=\"meta\">最新 " + (c.lastPublishedAt > 0 ? TimeText(c.lastPublishedAt) : "－") +
                (e.station.empty() ? "" : "（" + HtmlEscape(e.station) + "）") + " ・ ステーション " +
                std::to_string(c.stations) + "</div><div class=\"cap\">" + CapabilityText(e.capability) +
                "</div></a></li>";
    }
    if (group)
        main += "</ul></section>";
    main += "</main>";
    return Html(200, Page(PageKind::Overview, 0, "工場ボード", main));
}

BoardResponse BoardPages::characteristic(std::int64_t id, std::string_view query)
{
    int lots = options_.defaultLots;
    if (const auto asked = QueryValue(query, "lots")) {
        const auto n = WholeNumber(*asked);
        if (!n)
            return BadRequest();
        lots = static_cast<int>(std::min<std::int64_t>(*n, options_.maxLots));
    }
    PlantStore* s = store_.get();
    if (!refreshSummaries())
        return storeAway();
    const std::vector<CharacteristicSummary>& list = cache_->summaries;
    const auto found = std::find_if(list.begin(), list.end(), [&](const auto& c) { return c.id == id; });
    if (found == list.end())
        return NotFound();
    CharacteristicView v;
    std::string error;
    if (!BuildCharacteristicView(*s, *found, lots, true, v, error))
        return storeAway();

    const Characteristic& c = found->characteristic;
    std::string main = "<main id=\"main\" data-c=\"" + std::to_string(id) + "\"><h2>" + CharacteristicName(c) +
                       "</h2><p class=\"meta\">ロット " + std::to_string(v.history.lots.size()) + " 件（最新 " +
                       std::to_string(lots) + " 件まで） ・ ステーション " + std::to_string(found->stations) +
                       " ・ 最新 " + TimeText(found->lastPublishedAt) + "</p>";
    for (const std::string& m : v.messages)
        main += "<p class=\"muted\">" + HtmlEscape(m) + "</p>";
    main += "<section class=\"charts\">" + ControlChartSvg(v.charts.x, v.decimals) +
            ControlChartSvg(v.charts.spread, v.decimals) + HistogramSvg(v.charts.histogram, v.decimals) + "</section>";

    const CapabilityStudy& cap = v.capability;
    main += "<h2>工程能力</h2>";
    if (!cap.why.empty()) {
        main += "<p>" + HtmlEscape(cap.why) + "</p>";
    } else {
        main +=
            "<table class=\"capability\"><tr><th></th><th>σ</th><th>指数</th><th>95%下限</th><th>偏り込み</th>"
            "<th>95%下限</th><th>判定</th></tr>";
        const auto row = [&](const char* name, const char* cp, const char* cpk, const CapabilityIndexSet& x) {
            main += "<tr><th>" + std::string(name) + "</th>";
            if (!x.computed) {
                main += "<td colspan=\"6\">" + HtmlEscape(x.why) + "</td></tr>";
                return;
            }
            main += "<td>" + NumberText(x.sigma, v.decimals + 2) + "</td><td>" + cp + " " + Index(x.cp) + "</td><td>" +
                    Index(x.cpLower) + "</td><td>" + cpk + " " + Index(x.cpk) + "</td><td>" + Index(x.cpkLower) +
                    "</td><td class=\"verdict\">" + HtmlEscape(x.verdict) + "</td></tr>";
        };
        row("群内", "Cp", "Cpk", cap.within);
        row("全体", "Pp", "Ppk", cap.overall);
        main += "</table>";
    }

    main += "<h2>アラーム</h2>";
    if (v.alarms.empty()) {
        main += "<p>アラームはありません。</p>";
    } else {
        main +=
            "<table class=\"alarms\"><tr><th>発生</th><th>ルール</th><th>ロット</th><th>状態</th><th>原因</th>"
            "<th>処置</th><th>コメント</th><th>対応者</th></tr>";
        for (auto a = v.alarms.rbegin(); a != v.alarms.rend(); ++a) {
            main += std::string("<tr class=\"") + (a->open() ? "open" : "answered") + "\"><td>" + TimeText(a->foundAt) +
                    "</td><td>" + HtmlEscape(AlarmMarkText(*a, v.spreadName)) + "</td><td>" + HtmlEscape(a->lastLabel) +
                    "</td>";
            if (a->open()) {
                main += "<td>▲ 未対応</td><td colspan=\"4\"></td></tr>";
                continue;
            }
            const AlarmAnswer& ans = a->answers.back();
            main += "<td>✔ 対応済み</td><td>" + HtmlEscape(ans.cause) + "</td><td>" + HtmlEscape(ans.action) +
                    "</td><td>" + HtmlEscape(ans.comment) + "</td><td>" + HtmlEscape(ans.answeredBy) + " " +
                    TimeText(ans.answeredAt) + "</td></tr>";
        }
        main += "</table>";
    }

    main += "<h2>メモ</h2>";
    std::map<std::string, const StoredLot*> lotOf;
    for (const StoredLot& l : v.history.lots)
        lotOf.emplace(l.id, &l);
    if (v.notes.empty()) {
        main += "<p>メモはありません。</p>";
    } else {
        main += "<table class=\"notes\"><tr><th>ロット</th><th>メモ</th><th>記入者</th><th>日時</th></tr>";
        for (auto n = v.notes.rbegin(); n != v.notes.rend(); ++n) {
            const auto lot = lotOf.find(n->lotId);
            main += "<tr><td>" + (lot == lotOf.end() ? std::string("－") : HtmlEscape(lot->second->label)) +
                    "</td><td>" + HtmlEscape(n->text) + "</td><td>" + HtmlEscape(n->writtenBy) + "</td><td>" +
                    TimeText(n->writtenAt) + "</td></tr>";
        }
        main += "</table>";
    }
    main += "</main>";
    return Html(200, Page(PageKind::Characteristic, id, HtmlEscape(c.item) + " － 工場ボード", main));
}

BoardResponse BoardPages::openAlarms()
{
    PlantStore* s = store_.get();
    std::vector<Alarm> alarms;
    if (!s->alarms(0, true, 0, alarms))
        return storeAway();
    // The second chart's name of each characteristic, from its rule settings.
    std::map<std::int64_t, std::string> spreadOf;
    std::string main = "<main id=\"main\"><p>未対応アラーム " + std::to_string(alarms.size()) + " 件（古い順）</p>";
    if (!alarms.empty())
        main +=
            "<table class=\"alarms\"><tr><th>発生</th><th>品種 ／ 工程 ／ 装置 ／ 項目</th><th>ルール</th>"
            "<th>ロット</th></tr>";
    for (const Alarm& a : alarms) {
        auto spread = spreadOf.find(a.characteristicId);
        if (spread == spreadOf.end()) {
            // Without a spread named, lots of one value show the moving range.
            RuleSetting rules;
            LotHistory newest;
            if (!s->ruleSetting(a.characteristic, rules) ||
                (rules.spread.empty() && !s->newestLots(a.characteristic, 1, newest)))
                return storeAway();
            std::string name = rules.spread;
            if (name.empty())
                name = !newest.lots.empty() && newest.lots.back().valueCount == 1 ? "Rs" : "R";
            spread = spreadOf.emplace(a.characteristicId, std::move(name)).first;
        }
        main += "<tr class=\"open\"><td>" + TimeText(a.foundAt) + "</td><td><a href=\"/c/" +
                std::to_string(a.characteristicId) + "\">" + CharacteristicName(a.characteristic) + "</a></td><td>▲ " +
                HtmlEscape(AlarmMarkText(a, spread->second)) + "</td><td>" + HtmlEscape(a.lastLabel) + "</td></tr>";
    }
    if (!alarms.empty())
        main += "</table>";
    main += "</main>";
    return Html(200, Page(PageKind::Alarms, 0, "未対応アラーム － 工場ボード", main));
}

std::vector<std::pair<std::string, std::string>> BoardSecurityHeaders()
{
    return {
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
         "form-action 'self'; base-uri 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cross-Origin-Resource-Policy", "same-origin"},
    };
}

}  // namespace trevolo
