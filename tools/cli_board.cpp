#include "cli_board.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <ostream>
#include <sys/resource.h>

#include "board/board_server.h"

namespace trevolo::cli {

namespace {

// Every connection is a file descriptor: take as many as the system lets
// this process have, so the connection limit, not the descriptors, is what
// refuses clients.
void RaiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int RunBoard(const BoardCommandOptions& o, std::ostream& out, std::ostream& err)
{
    // The signals that end the board are taken by sigwait below; blocked
    // before any thread starts, so every thread inherits the mask.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    // Qt's SQL drivers are plugins of a Qt application.
    static int argc = 1;
    static char name[] = "trevolo-cli";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);

    StoreLocation where;
    std::string error;
    if (!StoreLocation::parse(o.db, where, error)) {
        err << "trevolo-cli: --db: " << error << "\n";
        return 2;
    }
    if (where.engine == StoreEngine::Sqlite && !QFileInfo::exists(QString::fromStdString(where.path))) {
        err << "trevolo-cli: --db: データベースファイルがありません: " << where.path << "\n";
        return 2;
    }
    RaiseDescriptorLimit();
    BoardServerOptions options;
    options.listen = o.listen;
    options.threads = o.threads;
    options.maxConnections = o.maxConnections;
    options.pages.quietMinutes = o.quietMinutes;
    // A store that is away at the start is no reason to stop: the pages say
    // so and the board connects as soon as it is back.
    BoardServer server(where, options);
    if (!server.start(error)) {
        err << "trevolo-cli: " << error << "\n";
        return 2;
    }
    const std::size_t colon = o.listen.rfind(':');
    out << "工場ボードを http://" << o.listen.substr(0, colon) << ":" << server.port() << "/ で公開しています。"
        << std::endl;
    int signal = 0;
    sigwait(&endSignals, &signal);
    server.stop();
    return 0;
}

}  // namespace trevolo::cli
