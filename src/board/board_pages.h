#pragma once
// The plant board's pages: every characteristic's state, one
// characteristic's charts and the plant's unanswered alarms, rendered from
// the plant store as HTML with SVG charts drawn from the same chart data
// the window draws. Read-only; every text from the store is escaped for the
// place it goes (HTML text, attribute, SVG, JSON inside a script).
//
// A BoardPages holds one store connection and belongs to the thread that
// made it (Qt SQL connections are per thread): each server thread has its
// own.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/store_engine.h"

namespace trevolo {

class PlantStore;

struct BoardOptions {
    // A characteristic whose newest lot is older than this shows "データなし".
    std::int64_t quietMinutes = 24 * 60;
    // Lots a characteristic page draws by default, and at most (?lots=N).
    int defaultLots = 100;
    int maxLots = 1000;
    // Each store query is cancelled after this long (the page then says the
    // store cannot be reached).
    int queryTimeoutMs = 5000;
};

struct BoardResponse {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    // Headers besides the security headers every response carries.
    std::vector<std::pair<std::string, std::string>> headers;
};

class BoardPages {
public:
    BoardPages(StoreLocation where, BoardOptions options);
    ~BoardPages();
    BoardPages(const BoardPages&) = delete;
    BoardPages& operator=(const BoardPages&) = delete;

    // The answer to a GET of target (path and query as the request line
    // has them): "/", "/c/ID", "/c/ID?lots=N", "/alarms", "/static/...";
    // 404 for anything else. When the store cannot be reached the page says
    // "工場データベースに接続できません（再試行中）" with status 503 and
    // connects again on the next request. A connection the database dropped
    // since the last request (a restart, a fail-over) is made again at once,
    // so the first page after the database is back is no 503.
    BoardResponse get(std::string_view target);

private:
    struct Cache;
    BoardResponse answer(std::string_view target);
    BoardResponse page(std::string_view path, std::string_view query);
    BoardResponse overview(std::string_view query);
    BoardResponse characteristic(std::int64_t id, std::string_view query);
    BoardResponse openAlarms();
    // Brings the characteristics' summaries up to the store's newest lots.
    bool refreshSummaries();
    // The store connection, opened again when it was lost; null when it
    // cannot be reached.
    PlantStore* store();
    // The page telling that the store cannot be reached (503); the
    // connection is dropped so the next request connects again.
    BoardResponse storeAway();

    StoreLocation where_;
    BoardOptions options_;
    std::unique_ptr<PlantStore> store_;
    std::unique_ptr<Cache> cache_;
};

// The headers every response of the board carries: a strict
// Content-Security-Policy (no inline script, nothing from elsewhere),
// nosniff, no framing, no referrer.
std::vector<std::pair<std::string, std::string>> BoardSecurityHeaders();

}  // namespace trevolo
