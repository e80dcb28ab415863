// The board's server against clients that break the rules, come by the
// thousand or never finish; its event stream against a changing, lost store.
#include <QProcess>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <chrono>

#include "board/board_events.h"
#include "board/board_server.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

using Clock = std::chrono::steady_clock;

// A raw connection to the board: bytes out, bytes in, as a hostile client
// would have it.
class Client {
public:
    // Connects and sends first, if any.
    explicit Client(int port, std::string_view first = {})
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!first.empty())
            send(first);
    }
    ~Client()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool send(std::string_view bytes)
    {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    void get(const std::string& target, const std::string& headers = "")
    {
        send("GET " + target + " HTTP/1.1\r\nHost: b\r\n" + headers + "\r\n");
    }

    // Reads until done(what arrived) holds, the peer closes or ms pass;
    // false when the peer closed or time ran out first.
    template <typename Done>
    bool readUntil(Done done, int ms)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done(got)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            char buffer[8192];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                return done(got);
            }
            got.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    // Waits for text to arrive at or after from.
    bool waitFor(std::string_view text, int ms, size_t from = 0)
    {
        return readUntil([&](const std::string& g) { return g.find(text, from) != std::string::npos; }, ms);
    }

    // One whole response (headers and, unless head, the Content-Length
    // bytes); its status, 0 when none came.
    int response(bool head = false, int ms = 5000)
    {
        const size_t start = consumed_;
        auto whole = [&](const std::string& g) {
            const size_t end = g.find("\r\n\r\n", start);
            if (end == std::string::npos)
                return false;
            const size_t cl = g.find("Content-Length: ", start);
            const size_t length = head || cl == std::string::npos || cl > end ? 0 : std::stoul(g.substr(cl + 16));
            return g.size() >= end + 4 + length && (consumed_ = end + 4 + length, true);
        };
        if (!readUntil(whole, ms) || got.compare(start, 9, "HTTP/1.1 ") != 0)
            return 0;
        return std::stoi(got.substr(start + 9, 3));
    }

    bool closedWithin(int ms) { return readUntil([](const std::string&) { return false; }, ms), closed; }

    std::string got;
    bool closed = false;

private:
    int fd_ = -1;
    size_t consumed_ = 0;
};

const Specification kSpec{"mm", "両側規格", "1", "14.0", "6.0"};

LimitSet Lines(double c, std::int64_t from)
{
    LimitSet set{"指定管理値", {}, "eng", from, 0, ""};
    for (int i = 0; i < 7; ++i)  // +3σ +2σ +1σ -3σ -2σ -1σ centre, σ 1
        set.values[i] = std::to_string(c + (i < 3 ? 3 - i : i < 6 ? i - 6 : 0));
    return set;
}

StoredLot OneValue(const std::string& id, double x, std::int64_t at)
{
    return StoredLot{id, "", id, true, std::to_string(x), 1, "st", "op", at, at, 0, "", 0};
}

class BoardServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("a1", 10, StationNowMillis())}}));
    }

    void serve(BoardServerOptions options = {})
    {
        options.listen = "127.0.0.1:0";
        server = std::make_unique<BoardServer>(where, options);
        ASSERT_TRUE(server->start(error)) << error;
    }

    int get()
    {
        Client client(server->port());
        client.get("/");
        return client.response();
    }

    QTemporaryDir dir;
    StoreLocation where = FreshStore(Engine::Sqlite, dir);
    std::string error;
    std::unique_ptr<PlantStore> store = PlantStore::open(where, error);
    const Characteristic c{"品", "工程", "装置", "項目"};
    std::unique_ptr<BoardServer> server;
};

// Each request that breaks a bound or a rule is answered with its status
// (or dropped), and the server goes on serving.
TEST_F(BoardServerTest, BrokenRequestsAreAnsweredByStatus)
{
    serve({.maxRequestBytes = 4096, .maxHeaders = 20, .pages = {}});
    std::string manyHeaders = "GET / HTTP/1.1\r\nHost: b\r\n";
    for (int i = 0; i < 30; ++i)
        manyHeaders += "X-" + std::to_string(i) + ": 1\r\n";
    const std::vector<std::pair<std::string, int>> rows = {
        {"GET / HTTP/1.1\r\nHost: b\r\n\r\n", 200}, {"GARBAGE\r\n\r\n", 400}, {"GET / HTTP/9.x\r\n\r\n", 400},
        {"GET nowhere HTTP/1.1\r\nHost: b\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: b\r\nX-Big: " + std::string(5000, 'a') + "\r\n\r\n", 431},
        {"GET /" + std::string(5000, 'a') + " HTTP/1.1\r\n\r\n", 431},
        {"GET / HTTP/1.1\r\nHost: b\r\nX-Big: " + std::string(100000, 'a') + "\r\n\r\n", 431},
        {manyHeaders + "\r\n", 431}, {"GET / HTTP/1.1\r\nHost: b\r\nContent-Length: 100000\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nHost: b\r\nContent-Length: 3\r\n\r\nabc", 405},
        {"DELETE /c/1 HTTP/1.1\r\nHost: b\r\n\r\n", 405}, {"OPTIONS * HTTP/1.1\r\nHost: b\r\n\r\n", 405},
        {"PUT /static/board.js HTTP/1.1\r\nHost: b\r\nContent-Length: 1\r\n\r\nx", 405},
        {"GET / HTTP/1.1\r\nHost: b\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400},
    };
    for (const auto& [request, status] : rows) {
        Client client(server->port(), request);
        EXPECT_EQ(client.response(), status) << request.substr(0, 60);
        if (status == 405) {
            EXPECT_NE(client.got.find("Allow: GET, HEAD"), std::string::npos);
        }
        if (status != 200) {
            EXPECT_TRUE(client.closedWithin(1000)) << request.substr(0, 60);
        }
        EXPECT_NE(client.got.find("Content-Security-Policy: "), std::string::npos);
        EXPECT_EQ(get(), 200) << "after " << request.substr(0, 60);
    }
}

// One connection carries several requests; HEAD has GET's headers and
// length and no body; the event stream's HEAD ends at its headers.
TEST_F(BoardServerTest, KeepAliveAndHead)
{
    serve();
    Client client(server->port());
    client.get("/");
    ASSERT_EQ(client.response(), 200);
    const size_t length = std::stoul(client.got.substr(client.got.find("Content-Length: ") + 16));
    const size_t before = client.got.size();
    client.send("HEAD / HTTP/1.1\r\nHost: b\r\n\r\n");
    ASSERT_EQ(client.response(true), 200);
    EXPECT_NE(client.got.find("Content-Length: " + std::to_string(length), before), std::string::npos);
    client.get("/nowhere", "Connection: close\r\n");
    EXPECT_EQ(client.response(), 404);
    EXPECT_TRUE(client.closedWithin(1000));

    Client events(server->port(), "HEAD /events HTTP/1.1\r\nHost: b\r\n\r\n");
    EXPECT_TRUE(events.closedWithin(2000));
    EXPECT_NE(events.got.find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_EQ(events.got.find("retry:"), std::string::npos);
}

// A client that sends its request a byte at a time is dropped when the
// request time is up; others are served meanwhile.
TEST_F(BoardServerTest, SlowClientIsDropped)
{
    serve({.headerTimeoutMs = 1000, .pages = {}});
    std::vector<std::unique_ptr<Client>> slow;
    for (int i = 0; i < 20; ++i)
        slow.push_back(std::make_unique<Client>(server->port(), "GET / HTTP/1.1\r\n"));
    const auto start = Clock::now();
    bool dropped = false;
    for (int i = 0; i < 30 && !dropped; ++i) {
        for (auto& s : slow)
            s->send("X");
        const auto t = Clock::now();
        EXPECT_EQ(get(), 200);
        EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(500));
        dropped = slow.front()->closedWithin(100);
    }
    EXPECT_TRUE(dropped);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));
}

// A thousand clients at once: each is answered, with the page or with 503
// beyond the connection limit, and the server serves on afterwards.
TEST_F(BoardServerTest, ThousandConnectionsAnsweredOr503)
{
    rlimit limit{};  // room for a thousand clients and their server connections in one process
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    serve({.maxConnections = 200, .pages = {}});
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 1000; ++i)
        clients.push_back(
            std::make_unique<Client>(server->port(), "GET / HTTP/1.1\r\nHost: b\r\nConnection: close\r\n\r\n"));
    std::map<int, int> statuses;
    for (auto& client : clients)
        ++statuses[client->response(false, 10000)];
    EXPECT_EQ(statuses[200] + statuses[503], 1000) << "unanswered: " << statuses[0];
    EXPECT_GT(statuses[200], 0);
    clients.clear();
    EXPECT_EQ(get(), 200);
}

// Every kind of change reaches every open page's stream within a second,
// named with its characteristic; a page that comes back with the number it
// saw last is sent what it missed.
TEST_F(BoardServerTest, EveryChangeReachesEveryPage)
{
    serve();
    std::int64_t id = 0;
    ASSERT_TRUE(store->characteristicId(c, id));
    const std::string open = "GET /events HTTP/1.1\r\nHost: b\r\n\r\n";
    Client first(server->port(), open), second(server->port(), open);
    for (Client* client : {&first, &second})
        ASSERT_TRUE(client->waitFor("retry: 1000\n\n", 2000));
    const std::int64_t t0 = StationNowMillis();
    int n = 0;
    auto lot = [&](double x) {
        return ++n, store->publish(LotBatch{c, kSpec, {OneValue("L" + std::to_string(n), x, t0 + n)}});
    };
    RuleSetting rules = DefaultRuleSetting();
    rules.spread = "Rs";
    std::vector<Alarm> alarms;
    AlarmAnswer answer{0, 0, "工具摩耗", "工具交換", "", "", 0};
    struct Row {
        std::function<bool()> act;
        std::vector<std::string> what;
    };
    const std::vector<Row> rows = {
        {[&] { return lot(10); }, {"lot"}},
        {[&] { return store->addNote("L1", "<script>alert(1)</script>"); }, {"note"}},
        {[&] { return store->publishLimits(c, Lines(10, t0)); }, {"limits"}},
        {[&] { return store->setRuleSetting(c, rules); }, {"limits"}},
        {[&] { return lot(20); }, {"lot", "alarm"}},
        {[&] {
             answer.alarmSeq = store->alarms(id, true, 0, alarms) && !alarms.empty() ? alarms[0].seq : 0;
             return store->answerAlarm(answer);
         },
         {"answer"}},
    };
    for (const Row& row : rows) {
        const size_t from = std::min(first.got.size(), second.got.size());
        ASSERT_TRUE(row.act()) << store->lastError();
        for (const std::string& what : row.what) {
            const std::string event =
                "event: change\ndata: {\"c\":" + std::to_string(id) + ",\"what\":\"" + what + "\"}\n\n";
            EXPECT_TRUE(first.waitFor(event, 1000, from)) << what;
            EXPECT_TRUE(second.waitFor(event, 1000, from)) << what;
        }
    }
    // The second event's number, and what came after it.
    const size_t second_id = second.got.find("id: ", second.got.find("id: ") + 1);
    ASSERT_NE(second_id, std::string::npos);
    const std::string lastSeen = second.got.substr(second_id + 4, second.got.find('\n', second_id) - second_id - 4);
    const std::string missed = second.got.substr(second.got.find("\n\n", second_id) + 2);
    Client back(server->port());
    back.get("/events", "Last-Event-ID: " + lastSeen + "\r\n");
    EXPECT_TRUE(back.waitFor(missed, 2000)) << missed;
}

// The events a page is sent again after reconnecting: exactly those after
// the number it saw, and none when some of them are gone or the number is
// not the board's.
TEST(BoardEventsTest, ReplayAfterLastSeen)
{
    BoardEvents events(3);
    for (int i = 1; i <= 5; ++i)
        events.change({i, "lot"});  // 1..5; 3, 4 and 5 kept
    const std::vector<std::pair<std::string, size_t>> rows = {{"2", 3},  {"3", 2},  {"4", 1}, {"5", 0},
                                                              {"1", 0},  {"0", 0},  {"99", 0}, {"-1", 0},
                                                              {"3x", 0}, {"", 0}, {"18446744073709551616", 0}};
    for (const auto& [header, expected] : rows) {
        const auto id = ParseLastEventId(header);
        const size_t count = id ? events.since(*id).size() : 0;
        EXPECT_EQ(count, expected) << header;
        if (count > 0) {
            EXPECT_NE(events.since(*id).back()->find("\"c\":5,"), std::string::npos);
        }
    }
    EXPECT_NE(events.store(false)->find("id: 6\nevent: store\ndata: {\"up\":false}\n\n"), std::string::npos);
}

// The server's database stopped while pages stream: they are told it is
// away, the pages say so with 503, and when it is back they are told, the
// pages serve again and new lots stream again. The board reads through a
// login of the read-only auditor role.
TEST(BoardStoreAwayTest, DatabaseStoppedMidStreamThenBack)
{
    QTemporaryDir dir;
    const std::string state = (dir.path() + "/server").toStdString();
    auto pg = [&](const char* action) {
        return QProcess::execute(QStringLiteral(TREVOLO_PG_SCRIPT),
                                 {QString::fromLatin1(action), QString::fromStdString(state)});
    };
    ASSERT_EQ(pg("start"), 0);
    const std::shared_ptr<void> stop(nullptr, [&](void*) { pg("stop"); });
    const StoreLocation owner = FreshDatabase(state);
    std::string error;
    auto store = PlantStore::open(owner, error);
    std::vector<std::string> created;
    bool granted = false;
    ASSERT_TRUE(store && store->init() && store->createRoles(created, granted) && granted) << error;
    ASSERT_EQ(Exec(owner, {"CREATE ROLE board_reader LOGIN IN ROLE trevolo_auditor"}), "");
    const Characteristic c{"品", "工程", "装置", "項目"};
    const std::int64_t t0 = StationNowMillis();
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("b1", 10, t0)}}));
    StoreLocation reader = owner;
    reader.user = "board_reader";

    BoardServerOptions options;
    options.listen = "127.0.0.1:0";
    options.pages.queryTimeoutMs = 2000;
    BoardServer server(reader, options);
    ASSERT_TRUE(server.start(error)) << error;
    auto get = [&] {
        Client client(server.port());
        client.get("/");
        return std::pair{client.response(false, 10000), client.got};
    };
    Client events(server.port());
    events.get("/events");
    ASSERT_TRUE(events.waitFor("retry: 1000", 2000));
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("b2", 10, t0 + 1)}}));
    EXPECT_TRUE(events.waitFor("\"what\":\"lot\"", 1000));
    EXPECT_EQ(get().first, 200);

    store.reset();
    ASSERT_EQ(pg("pause"), 0);
    EXPECT_TRUE(events.waitFor("event: store\ndata: {\"up\":false}", 5000));
    const auto [status, page] = get();
    EXPECT_EQ(status, 503);
    EXPECT_NE(page.find("工場データベースに接続できません（再試行中）"), std::string::npos);

    ASSERT_EQ(pg("resume"), 0);
    EXPECT_TRUE(events.waitFor("event: store\ndata: {\"up\":true}", 10000));
    store = PlantStore::open(owner, error);
    ASSERT_TRUE(store) << error;
    const size_t from = events.got.size();
    ASSERT_TRUE(store->publish(LotBatch{c, kSpec, {OneValue("b3", 10, t0 + 2)}}));
    EXPECT_TRUE(events.waitFor("\"what\":\"lot\"", 1000, from));
    EXPECT_EQ(get().first, 200);
}

}  // namespace
}  // namespace trevolo::test
