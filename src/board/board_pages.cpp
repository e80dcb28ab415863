#include "board/board_pages.h"

#include <string>

#include "store/plant_store.h"

// The smallest pages the server can stand on: the overview lists the
// characteristics by name and the store's absence is told. The full pages
// replace this file.

namespace trevolo {

namespace {

std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

BoardResponse Page(int status, const std::string& main)
{
    BoardResponse r;
    r.status = status;
    r.body = "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>Trevolo</title>"
             "<script src=\"/static/board.js\" defer></script></head><body><main>" +
             main + "</main></body></html>";
    return r;
}

}  // namespace

BoardPages::BoardPages(StoreLocation where, BoardOptions options) : where_(std::move(where)), options_(options) {}

BoardPages::~BoardPages() = default;

BoardResponse BoardPages::get(std::string_view target)
{
    if (target == "/static/board.js") {
        BoardResponse r;
        r.contentType = "text/javascript; charset=utf-8";
        r.body = "new EventSource('/events').addEventListener('change', () => location.reload());\n";
        return r;
    }
    if (target != "/" && !target.starts_with("/?"))
        return Page(404, "<p>ページがありません</p>");
    // A connection lost since the last request is made again at once.
    std::vector<CharacteristicSummary> list;
    bool read = false;
    for (int attempt = 0; attempt < 2 && !read; ++attempt) {
        std::string error;
        if (!store_)
            store_ = PlantStore::open(where_, error);
        read = store_ && store_->characteristics("", list);
        if (!read)
            store_.reset();
    }
    if (!read)
        return Page(503, "<p>工場データベースに接続できません（再試行中）</p>");
    std::string main = "<ul>";
    for (const CharacteristicSummary& c : list)
        main += "<li>" + Escaped(c.characteristic.product + " " + c.characteristic.process + " " +
                                 c.characteristic.machine + " " + c.characteristic.item) +
                "</li>";
    return Page(200, main + "</ul>");
}

std::vector<std::pair<std::string, std::string>> BoardSecurityHeaders()
{
    return {{"Content-Security-Policy",
             "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
             "base-uri 'none'; form-action 'self'; frame-ancestors 'none'"},
            {"X-Content-Type-Options", "nosniff"},
            {"X-Frame-Options", "DENY"},
            {"Referrer-Policy", "no-referrer"}};
}

}  // namespace trevolo
