#pragma once
// trevolo-cli board: the plant board served over HTTP until the process is
// told to end (SIGINT or SIGTERM).
#include <cstdint>
#include <iosfwd>
#include <string>

namespace trevolo::cli {

struct BoardCommandOptions {
    std::string db;                      // the store, as the store commands take it
    std::string listen = "127.0.0.1:8080";
    std::int64_t quietMinutes = 24 * 60;  // "データなし" after this long without a lot
    int threads = 2;                      // page makers, each with its own store connection
    int maxConnections = 512;
};

// Serves until SIGINT or SIGTERM; 0 then, 2 when the store address is
// wrong or the address cannot be bound (the reason on err, in Japanese).
int RunBoard(const BoardCommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trevolo::cli
