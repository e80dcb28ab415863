#include "board/board_server.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "board/board_events.h"
#include "board/board_watch.h"

namespace trevolo {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// A request may carry a small body (it is refused all the same); a larger
// one is answered 413 without being read.
constexpr std::size_t kMaxBodyBytes = 4096;
// A response must be taken by the client in this time.
constexpr auto kWriteTimeout = std::chrono::seconds(10);
// Events an SSE client may fall behind by before it is dropped (it
// connects again and fetches its page afresh).
constexpr std::size_t kMaxBacklog = 256;
// A comment line to every SSE client now and then: proxies keep the
// connection, and a client that went away is found.
constexpr auto kHeartbeat = std::chrono::seconds(15);
// After an accept fails (no file descriptors left), wait this long.
constexpr auto kAcceptRetry = std::chrono::milliseconds(50);
// A refused client has this long to read its 503.
constexpr auto kRefusalLinger = std::chrono::seconds(2);

const char* StatusText(int status)
{
    switch (status) {
    case 400: return "リクエストが正しくありません。\n";
    case 405: return "このサーバーは GET と HEAD だけを受け付けます。\n";
    case 413: return "リクエストが大きすぎます。\n";
    case 431: return "リクエストのヘッダーが大きすぎます。\n";
    case 500: return "ページを作れませんでした。\n";
    case 503: return "混み合っています。しばらくしてから再読み込みしてください。\n";
    default: return "";
    }
}

void AddSecurityHeaders(http::fields& fields)
{
    for (const auto& [name, value] : BoardSecurityHeaders())
        fields.set(name, value);
}

// The plain text answer of a refused request.
std::shared_ptr<http::response<http::string_body>> Refusal(int status, unsigned version)
{
    auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(status), version);
    res->set(http::field::server, "Trevolo");
    res->set(http::field::content_type, "text/plain; charset=utf-8");
    res->set(http::field::cache_control, "no-store");
    AddSecurityHeaders(*res);
    if (status == 405)
        res->set(http::field::allow, "GET, HEAD");
    if (status == 503)
        res->set(http::field::retry_after, "1");
    res->body() = StatusText(status);
    res->keep_alive(false);
    res->prepare_payload();
    return res;
}

// Reads "address:port" ("[v6]:port" for IPv6).
bool ParseListen(const std::string& text, tcp::endpoint& out)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size())
        return false;
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    unsigned port = 0;
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, port);
    if (ec != std::errc() || ptr != last || port > 65535)
        return false;
    boost::system::error_code bad;
    const asio::ip::address address = asio::ip::make_address(host.empty() ? "0.0.0.0" : host, bad);
    if (bad)
        return false;
    out = tcp::endpoint(address, static_cast<unsigned short>(port));
    return true;
}

// The pages, each made by one of a few threads that own a BoardPages (and
// with it a store connection of their thread). A request waits in a
// bounded line; a full line is refused rather than queued without end.
class RenderPool {
public:
    struct Job {
        std::string target;
        std::shared_ptr<std::atomic<bool>> dropped;  // the client was answered already
        std::function<void(BoardResponse)> done;     // called on a pool thread
    };

    void start(int threads, const StoreLocation& where, const BoardOptions& options)
    {
        maxWaiting_ = static_cast<std::size_t>(std::max(threads, 1)) * 32;
        for (int i = 0; i < std::max(threads, 1); ++i)
            threads_.emplace_back([this, where, options, i] { work(where, options, i == 0); });
    }

    bool submit(Job job)
    {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ || waiting_.size() >= maxWaiting_)
                return false;
            waiting_.push_back(std::move(job));
        }
        ready_.notify_one();
        return true;
    }

    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            waiting_.clear();
        }
        ready_.notify_all();
        for (std::thread& t : threads_)
            t.join();
        threads_.clear();
    }

private:
    // warm: the overview is made once before the first request, so the
    // plant's first visitor does not wait for every tile to be judged (the
    // tiles are shared by the threads reading the same store).
    void work(const StoreLocation& where, const BoardOptions& options, bool warm)
    {
        BoardPages pages(where, options);
        if (warm) {
            try {
                pages.get("/");
            } catch (const std::exception&) {
                // The first request makes it again and answers for itself.
            }
        }
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
                if (stopping_)
                    return;
                job = std::move(waiting_.front());
                waiting_.pop_front();
            }
            if (*job.dropped)
                continue;
            BoardResponse response;
            try {
                response = pages.get(job.target);
            } catch (const std::exception&) {
                response = BoardResponse{};
                response.status = 500;
                response.contentType = "text/plain; charset=utf-8";
                response.body = StatusText(500);
            }
            job.done(std::move(response));
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Job> waiting_;
    std::size_t maxWaiting_ = 64;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

class SseSession;

// What the network thread, the pool and the watcher share.
struct Server {
    Server(StoreLocation w, BoardServerOptions o) : where(std::move(w)), options(std::move(o)) {}

    void accept();
    void onAccept(const boost::system::error_code& ec, tcp::socket socket);
    void heartbeatLater();
    void publish(const BoardEvents::Text& text);

    StoreLocation where;
    BoardServerOptions options;
    RenderPool pool;
    BoardEvents events;
    bool storeUp = true;
    std::vector<std::weak_ptr<SseSession>> listeners;
    int live = 0;     // connections served (pages and events)
    int refused = 0;  // connections being told 503
    std::atomic<int> boundPort{0};
    std::unique_ptr<BoardWatch> watch;
    // Declared last: its handlers hold sessions that use the members above,
    // so it goes first.
    asio::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    asio::steady_timer acceptRetry{ioc};
    asio::steady_timer heartbeat{ioc};
    std::thread network;
};

// Counts a served connection for as long as it lives.
class LiveSlot {
public:
    explicit LiveSlot(int& live) : live_(&live) { ++*live_; }
    ~LiveSlot() { --*live_; }
    LiveSlot(const LiveSlot&) = delete;
    LiveSlot& operator=(const LiveSlot&) = delete;

private:
    int* live_;
};

// One open page's event stream: the events are written in order; a client
// that cannot keep up, or goes away, is dropped.
class SseSession : public std::enable_shared_from_this<SseSession> {
public:
    SseSession(beast::tcp_stream stream, std::unique_ptr<LiveSlot> slot)
        : stream_(std::move(stream)), slot_(std::move(slot))
    {
    }

    void start(std::vector<BoardEvents::Text> first)
    {
        for (auto& t : first)
            push(std::move(t));
        // The client sends nothing more; reading finds it gone.
        watchClose();
    }

    void push(BoardEvents::Text text)
    {
        if (closed_)
            return;
        if (queue_.size() >= kMaxBacklog) {
            close();
            return;
        }
        queue_.push_back(std::move(text));
        if (!writing_)
            writeNext();
    }

    bool closed() const { return closed_; }

private:
    void writeNext()
    {
        writing_ = true;
        stream_.expires_after(kWriteTimeout);
        asio::async_write(stream_, asio::buffer(*queue_.front()),
                          [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) {
                              self->writing_ = false;
                              if (ec || self->closed_) {
                                  self->close();
                                  return;
                              }
                              self->queue_.pop_front();
                              if (!self->queue_.empty())
                                  self->writeNext();
                          });
    }

    void watchClose()
    {
        stream_.socket().async_read_some(asio::buffer(sink_),
                                         [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) {
                                             if (ec)
                                                 self->close();
                                             else
                                                 self->watchClose();
                                         });
    }

    void close()
    {
        if (closed_)
            return;
        closed_ = true;
        queue_.clear();
        boost::system::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    std::unique_ptr<LiveSlot> slot_;
    std::deque<BoardEvents::Text> queue_;
    std::array<char, 512> sink_{};
    bool writing_ = false;
    bool closed_ = false;
};

// A client beyond the connection limit: told 503 and let go.
class Refusal503 : public std::enable_shared_from_this<Refusal503> {
public:
    Refusal503(tcp::socket socket, int& count) : stream_(std::move(socket)), count_(&count) { ++*count_; }
    ~Refusal503() { --*count_; }

    void start()
    {
        res_ = Refusal(503, 11);
        stream_.expires_after(kRefusalLinger);
        http::async_write(stream_, *res_, [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) {
            if (ec)
                return;
            // Close gently: what the client sent meanwhile is read away, so
            // the 503 is not lost to a reset.
            boost::system::error_code ignored;
            self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
            self->drain();
        });
    }

private:
    void drain()
    {
        stream_.async_read_some(asio::buffer(sink_), [self = shared_from_this()](const boost::system::error_code& ec,
                                                                                 std::size_t) {
            if (!ec)
                self->drain();
        });
    }

    beast::tcp_stream stream_;
    int* count_;
    std::shared_ptr<http::response<http::string_body>> res_;
    std::array<char, 512> sink_{};
};

// One client connection: requests read one at a time within the bounds,
// each answered by the pages (made on the pool), a refusal, or turned into
// an event stream.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, Server& server)
        : stream_(std::move(socket)),
          server_(server),
          slot_(std::make_unique<LiveSlot>(server.live)),
          buffer_(server.options.maxRequestBytes + kMaxBodyBytes),
          renderTimer_(server.ioc)
    {
    }

    void start() { read(); }

private:
    void read()
    {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.options.maxRequestBytes));
        parser_->body_limit(kMaxBodyBytes);
        // The whole request, however slowly it trickles in, within this time.
        stream_.expires_after(std::chrono::milliseconds(server_.options.headerTimeoutMs));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](const boost::system::error_code& ec, std::size_t) {
                             self->onRead(ec);
                         });
    }

    void onRead(const boost::system::error_code& ec)
    {
        if (ec) {
            if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
                return refuse(431);
            if (ec == http::error::body_limit)
                return refuse(413);
            // A request that is no HTTP; a timeout, a closed or reset
            // connection ends it without a word.
            if (ec.category() == http::make_error_code(http::error::bad_method).category() &&
                ec != http::error::end_of_stream && ec != http::error::partial_message)
                return refuse(400);
            return close();
        }
        stream_.expires_never();
        http::request<http::string_body>& req = parser_->get();
        if (std::distance(req.begin(), req.end()) > server_.options.maxHeaders)
            return refuse(431);
        if (req.method() != http::verb::get && req.method() != http::verb::head)
            return refuse(405);
        const std::string_view target(req.target().data(), req.target().size());
        if (target.empty() || target.front() != '/')
            return refuse(400);
        head_ = req.method() == http::verb::head;
        keepAlive_ = req.keep_alive();
        version_ = req.version();
        if (target == "/events" || target.starts_with("/events?"))
            return openEvents(req);
        render(std::string(target));
    }

    void render(std::string target)
    {
        auto dropped = std::make_shared<std::atomic<bool>>(false);
        dropped_ = dropped;
        asio::io_context& ioc = server_.ioc;
        std::weak_ptr<HttpSession> weak = weak_from_this();
        RenderPool::Job job{std::move(target), dropped, [&ioc, weak, dropped](BoardResponse response) {
                                asio::post(ioc, [weak, dropped, r = std::move(response)]() mutable {
                                    auto self = weak.lock();
                                    if (self && !dropped->exchange(true)) {
                                        self->renderTimer_.cancel();
                                        self->answer(std::move(r));
                                    }
                                });
                            }};
        if (!server_.pool.submit(std::move(job)))
            return refuse(503);
        // A page that takes longer than the store's own bound is given up.
        renderTimer_.expires_after(std::chrono::milliseconds(server_.options.pages.queryTimeoutMs + 2000));
        renderTimer_.async_wait([self = shared_from_this(), dropped](const boost::system::error_code& ec) {
            if (!ec && !dropped->exchange(true))
                self->refuse(503);
        });
    }

    void answer(BoardResponse r)
    {
        auto res = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(r.status), version_);
        res->set(http::field::server, "Trevolo");
        res->set(http::field::content_type, r.contentType);
        AddSecurityHeaders(*res);
        bool cacheSet = false;
        for (const auto& [name, value] : r.headers) {
            res->set(name, value);
            cacheSet = cacheSet || beast::iequals(name, "Cache-Control");
        }
        if (!cacheSet)
            res->set(http::field::cache_control, "no-store");
        res->keep_alive(keepAlive_);
        const std::size_t length = r.body.size();
        if (!head_)
            res->body() = std::move(r.body);
        res->content_length(length);
        write(res, !keepAlive_);
    }

    void refuse(int status)
    {
        auto res = Refusal(status, version_);
        if (head_)
            res->body().clear();
        write(res, true);
    }

    void write(std::shared_ptr<http::response<http::string_body>> res, bool closeAfter)
    {
        stream_.expires_after(kWriteTimeout);
        http::async_write(stream_, *res,
                          [self = shared_from_this(), res, closeAfter](const boost::system::error_code& ec, std::size_t) {
                              if (ec)
                                  return self->close();
                              if (closeAfter)
                                  return self->closeGently();
                              self->read();
                          });
    }

    // Ends the connection after an answer: what the client still sends (the
    // rest of an oversized request) is read away for a moment, so the answer
    // is not lost to a reset.
    void closeGently()
    {
        // No longer served: the slot goes to the next client.
        slot_.reset();
        boost::system::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(kRefusalLinger);
        drain();
    }

    void drain()
    {
        stream_.async_read_some(asio::buffer(sink_), [self = shared_from_this()](const boost::system::error_code& ec,
                                                                                 std::size_t) {
            if (ec)
                return self->close();
            self->drain();
        });
    }

    void openEvents(const http::request<http::string_body>& req)
    {
        std::string header = "HTTP/1.1 200 OK\r\nServer: Trevolo\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
                             "Cache-Control: no-store\r\nX-Accel-Buffering: no\r\nConnection: close\r\n";
        for (const auto& [name, value] : BoardSecurityHeaders())
            header += name + ": " + value + "\r\n";
        header += "\r\n";
        if (head_) {
            auto text = std::make_shared<std::string>(std::move(header));
            stream_.expires_after(kWriteTimeout);
            asio::async_write(stream_, asio::buffer(*text),
                              [self = shared_from_this(), text](const boost::system::error_code&, std::size_t) {
                                  self->close();
                              });
            return;
        }
        // A page that loses the stream tries again after a second.
        header += "retry: 1000\n\n";
        std::vector<BoardEvents::Text> first{std::make_shared<const std::string>(std::move(header))};
        const auto last = req.find("Last-Event-ID");
        if (last != req.end()) {
            if (const auto id = ParseLastEventId(std::string_view(last->value().data(), last->value().size())))
                for (auto& t : server_.events.since(*id))
                    first.push_back(std::move(t));
        }
        if (!server_.storeUp)
            first.push_back(std::make_shared<const std::string>("event: store\ndata: {\"up\":false}\n\n"));
        stream_.expires_never();
        auto session = std::make_shared<SseSession>(std::move(stream_), std::move(slot_));
        server_.listeners.push_back(session);
        session->start(std::move(first));
    }

    void close()
    {
        boost::system::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
        renderTimer_.cancel();
        if (auto d = dropped_.lock())
            d->store(true);
    }

    beast::tcp_stream stream_;
    Server& server_;
    std::unique_ptr<LiveSlot> slot_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    asio::steady_timer renderTimer_;
    std::weak_ptr<std::atomic<bool>> dropped_;
    std::array<char, 512> sink_{};
    bool head_ = false;
    bool keepAlive_ = false;
    unsigned version_ = 11;
};

void Server::accept()
{
    acceptor.async_accept([this](const boost::system::error_code& ec, tcp::socket socket) {
        onAccept(ec, std::move(socket));
    });
}

void Server::onAccept(const boost::system::error_code& ec, tcp::socket socket)
{
    if (ec == asio::error::operation_aborted || !acceptor.is_open())
        return;
    if (ec) {
        // Out of file descriptors, or the like: the connections open now
        // end in time and free them.
        acceptRetry.expires_after(kAcceptRetry);
        acceptRetry.async_wait([this](const boost::system::error_code& e) {
            if (!e)
                accept();
        });
        return;
    }
    if (live >= options.maxConnections) {
        // Telling 503 is bounded too: beyond as many again, the connection
        // is closed at once.
        if (refused < options.maxConnections)
            std::make_shared<Refusal503>(std::move(socket), refused)->start();
    } else {
        std::make_shared<HttpSession>(std::move(socket), *this)->start();
    }
    accept();
}

void Server::publish(const BoardEvents::Text& text)
{
    std::erase_if(listeners, [&](const std::weak_ptr<SseSession>& w) {
        auto s = w.lock();
        if (!s || s->closed())
            return true;
        s->push(text);
        return false;
    });
}

void Server::heartbeatLater()
{
    heartbeat.expires_after(kHeartbeat);
    heartbeat.async_wait([this](const boost::system::error_code& ec) {
        if (ec)
            return;
        static const auto beat = std::make_shared<const std::string>(": \n\n");
        publish(beat);
        heartbeatLater();
    });
}

}  // namespace

struct BoardServer::Impl : Server {
    using Server::Server;
};

BoardServer::BoardServer(StoreLocation where, BoardServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(where), std::move(options)))
{
}

BoardServer::~BoardServer()
{
    stop();
}

bool BoardServer::start(std::string& error)
{
    Impl& s = *impl_;
    if (s.network.joinable())
        return true;
    tcp::endpoint endpoint;
    if (!ParseListen(s.options.listen, endpoint)) {
        error = "待ち受けるアドレスが正しくありません（アドレス:ポート）: " + s.options.listen;
        return false;
    }
    boost::system::error_code ec;
    s.acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        s.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        s.acceptor.bind(endpoint, ec);
    if (!ec)
        s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "アドレス " + s.options.listen + " で待ち受けられません: " + ec.message();
        boost::system::error_code ignored;
        s.acceptor.close(ignored);
        return false;
    }
    s.boundPort = s.acceptor.local_endpoint().port();
    s.pool.start(s.options.threads, s.where, s.options.pages);
    // The watcher's findings reach the open pages on the network thread.
    s.watch = std::make_unique<BoardWatch>(
        s.where,
        [&s](const std::vector<BoardChange>& changes) {
            asio::post(s.ioc, [&s, changes] {
                for (const BoardChange& c : changes)
                    s.publish(s.events.change(c));
            });
        },
        [&s](bool up) {
            asio::post(s.ioc, [&s, up] {
                s.storeUp = up;
                s.publish(s.events.store(up));
            });
        });
    s.accept();
    s.heartbeatLater();
    s.network = std::thread([&s] { s.ioc.run(); });
    s.watch->start();
    return true;
}

int BoardServer::port() const
{
    return impl_->boundPort;
}

void BoardServer::stop()
{
    Impl& s = *impl_;
    if (!s.network.joinable())
        return;
    s.watch->stop();
    asio::post(s.ioc, [&s] {
        boost::system::error_code ignored;
        s.acceptor.close(ignored);
        s.acceptRetry.cancel();
        s.heartbeat.cancel();
    });
    s.ioc.stop();
    s.network.join();
    s.pool.stop();
}

}  // namespace trevolo
