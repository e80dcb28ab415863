#pragma once
// The plant board's HTTP server (Boost.Beast on Boost.Asio): GET and HEAD
// of the pages of BoardPages, and Server-Sent Events at /events telling
// every open page what changed in the store. Bounded in every way a client
// can push it: request size, header count and time, slow clients, the
// number of live connections; each bound is answered by a status, never by
// a crash.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "board/board_pages.h"
#include "store/store_engine.h"

namespace trevolo {

struct BoardServerOptions {
    std::string listen = "127.0.0.1:8080";  // address:port; port 0 picks a free one
    int threads = 2;                         // each with its own BoardPages
    std::size_t maxRequestBytes = 16 * 1024;     // request line and headers
    int maxHeaders = 64;
    int headerTimeoutMs = 10000;             // the whole request must arrive in this time
    int maxConnections = 512;                // beyond: 503
    BoardOptions pages;
};

class BoardServer {
public:
    BoardServer(StoreLocation where, BoardServerOptions options);
    ~BoardServer();
    BoardServer(const BoardServer&) = delete;
    BoardServer& operator=(const BoardServer&) = delete;

    // Binds and starts serving on threads of its own; false with a reason
    // in Japanese when the address cannot be bound.
    bool start(std::string& error);
    // The port bound (useful with port 0).
    int port() const;
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace trevolo
