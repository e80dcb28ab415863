// The spreadsheet engine over UNO. Each SpreadsheetApp owns one office
// process with a private profile in a temporary folder and a pipe of its own,
// so it can never talk to an office the user runs, and two commands never
// share one.
#include "exchange/office.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <com/sun/star/awt/Rectangle.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XTopWindow2.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/chart/ChartSymbolType.hpp>
#include <com/sun/star/chart/X3DDisplay.hpp>
#include <com/sun/star/chart/XAxisXSupplier.hpp>
#include <com/sun/star/chart/XAxisYSupplier.hpp>
#include <com/sun/star/chart/XChartDocument.hpp>
#include <com/sun/star/chart/XDiagram.hpp>
#include <com/sun/star/document/XEmbeddedObjectSupplier.hpp>
#include <com/sun/star/drawing/LineStyle.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XCellRangeFormula.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableChart.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/bridge/XBridgeFactory2.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/connection/XConnector.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapeDescriptor.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/CellDeleteMode.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeMovement.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XTableCharts.hpp>
#include <com/sun/star/table/XTableChartsSupplier.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include "exchange/cellref.h"
#include "exchange/csv.h"

extern char** environ;

namespace css = com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace trevolo {

// ---------------------------------------------------------------------------
// Texts, URLs, small helpers

namespace {

constexpr const char* kDefaultProgramDir = "/usr/lib/libreoffice/program";
constexpr const char* kChartClassId = "12dcae26-281f-416f-a234-c3086127382e";
constexpr int kExitRestart = 81;  // the office asks to be started again

rtl::OUString U(std::string_view s)
{
    return rtl::OUString(s.data(), static_cast<sal_Int32>(s.size()), RTL_TEXTENCODING_UTF8);
}

std::string S(const rtl::OUString& u)
{
    rtl::OString o = rtl::OUStringToOString(u, RTL_TEXTENCODING_UTF8);
    return std::string(o.getStr(), static_cast<size_t>(o.getLength()));
}

// A file URL of a local path, every byte outside the unreserved set
// percent-encoded (Japanese names, blanks, "#", "%").
std::string FileUrl(const std::filesystem::path& p)
{
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    const std::string s = (ec ? p : abs).lexically_normal().string();
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : s) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

css::beans::PropertyValue Prop(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

Sequence<css::beans::PropertyValue> Props(std::initializer_list<css::beans::PropertyValue> list)
{
    Sequence<css::beans::PropertyValue> seq(static_cast<sal_Int32>(list.size()));
    sal_Int32 i = 0;
    for (const auto& p : list)
        seq[i++] = p;
    return seq;
}

[[noreturn]] void Fail(std::string_view what, const css::uno::Exception& e)
{
    std::string m(what);
    const std::string detail = S(e.Message);
    if (!detail.empty())
        m += ": " + detail;
    throw OfficeError(m);
}

// Runs f, turning the office's exceptions into OfficeError.
template <class F>
auto Call(std::string_view what, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const css::lang::DisposedException&) {
        // The pipe to the office broke: the office is gone.
        throw OfficeLost();
    } catch (const css::uno::Exception& e) {
        Fail(what, e);
    }
}

std::mutex g_configMutex;
std::string g_programDirOverride;

}  // namespace

std::string OfficeProgramDir()
{
    std::lock_guard<std::mutex> lock(g_configMutex);
    if (!g_programDirOverride.empty())
        return g_programDirOverride;
    if (const char* env = std::getenv("TREVOLO_OFFICE_PROGRAM"); env && *env)
        return env;
    return kDefaultProgramDir;
}

void SetOfficeProgramDir(std::string dir)
{
    std::lock_guard<std::mutex> lock(g_configMutex);
    g_programDirOverride = std::move(dir);
}

bool DisplayAvailable()
{
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// ---------------------------------------------------------------------------
// The office process

namespace {

struct Process {
    pid_t pid = -1;
    bool child = false;  // our own child (waitpid works); else handed to init
};

bool ProcessGone(const Process& p, int* exitStatus)
{
    if (p.pid <= 0)
        return true;
    if (p.child) {
        int status = 0;
        const pid_t r = waitpid(p.pid, &status, WNOHANG);
        if (r == 0)
            return false;
        if (r == p.pid && exitStatus)
            *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;  // ended, or not ours to wait for any more
    }
    if (kill(p.pid, 0) != 0 && errno == ESRCH)
        return true;
    // A zombie waiting for its new parent counts as gone.
    std::ifstream stat("/proc/" + std::to_string(p.pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Waits for the process to end, killing it when it takes longer than the
// grace period.
void EndProcess(const Process& p, std::chrono::milliseconds grace)
{
    if (p.pid <= 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (!ProcessGone(p, nullptr)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(p.pid, SIGKILL);
            if (p.child)
                waitpid(p.pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The environment of the office: ours, with a UTF-8 character type so file
// names with Japanese characters reach it unchanged.
std::vector<std::string> OfficeEnvironment()
{
    auto isUtf8 = [](const char* v) {
        std::string s = v ? v : "";
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s.find("utf-8") != std::string::npos || s.find("utf8") != std::string::npos;
    };
    const char* lcAll = std::getenv("LC_ALL");
    const char* lcCtype = std::getenv("LC_CTYPE");
    const char* lang = std::getenv("LANG");
    const char* effective = (lcAll && *lcAll) ? lcAll : (lcCtype && *lcCtype) ? lcCtype : lang;
    const bool fix = !isUtf8(effective);
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view v(*e);
        if (fix && (v.starts_with("LC_ALL=") || v.starts_with("LC_CTYPE=")))
            continue;
        env.emplace_back(v);
    }
    if (fix)
        env.emplace_back("LC_CTYPE=C.UTF-8");
    return env;
}

enum class SpawnMode {
    DiesWithUs,  // our child, killed by the kernel when this program ends
    OwnSession,  // our child in a session of its own, outliving us
    Detached,    // handed to init in a session of its own, outliving us
};

// Starts the office.
Process Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& logPath,
              SpawnMode mode)
{
    bool detached = mode == SpawnMode::Detached;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> envStrings = OfficeEnvironment();
    std::vector<char*> envp;
    for (const auto& e : envStrings)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    int pidPipe[2] = {-1, -1};
    if (detached && pipe2(pidPipe, O_CLOEXEC) != 0)
        detached = false;
    const pid_t parent = getpid();

    // Between fork and exec only async-signal-safe calls.
    auto execOffice = [&]() {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (devNull >= 0)
            dup2(devNull, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        close_range(3, ~0U, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    };

    Process p;
    const pid_t pid = fork();
    if (pid == 0) {
        if (mode == SpawnMode::DiesWithUs) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(1);
            execOffice();
        }
        if (!detached) {
            setsid();
            execOffice();
        }
        setsid();
        const pid_t office = fork();
        if (office == 0)
            execOffice();
        (void)!write(pidPipe[1], &office, sizeof office);
        _exit(0);
    }
    if (pid > 0) {
        if (detached) {
            close(pidPipe[1]);
            pidPipe[1] = -1;
            pid_t office = -1;
            if (read(pidPipe[0], &office, sizeof office) != static_cast<ssize_t>(sizeof office))
                office = -1;
            waitpid(pid, nullptr, 0);
            p.pid = office;
            p.child = false;
        } else {
            p.pid = pid;
            p.child = true;
        }
    }
    for (int fd : {devNull, log, pidPipe[0], pidPipe[1]})
        if (fd >= 0)
            close(fd);
    return p;
}

// The folder that holds the private profiles of our office instances.
std::filesystem::path ProfilesRoot()
{
    std::error_code ec;
    std::filesystem::path root = std::filesystem::temp_directory_path(ec);
    if (ec)
        root = "/tmp";
    root /= "trevolo-office-" + std::to_string(getuid());
    mkdir(root.c_str(), 0700);
    return root;
}

constexpr const char* kPidFile = "office.pid";

// Removes the profiles whose office has ended: those of instances left open
// for the user, and those a program that died could not remove. A profile
// records its office's process; one without that record is removed only when
// it is old, as it may belong to an office starting right now.
void SweepProfiles(const std::filesystem::path& root)
{
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
        std::error_code e2;
        if (!entry.is_directory(e2) || !entry.path().filename().string().starts_with("profile-"))
            continue;
        std::ifstream f(entry.path() / kPidFile);
        pid_t pid = 0;
        bool gone = false;
        if (f >> pid && pid > 0)
            gone = kill(pid, 0) != 0 && errno == ESRCH;
        else
            gone = now - std::filesystem::last_write_time(entry.path(), e2) > std::chrono::hours(1) && !e2;
        if (gone)
            std::filesystem::remove_all(entry.path(), e2);
    }
}

void RecordProcess(const std::filesystem::path& profile, const Process& p)
{
    std::ofstream(profile / kPidFile, std::ios::trunc) << p.pid;
}

std::string UniquePipeName()
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    std::ostringstream s;
    s << "trevolo-" << getpid() << "-" << counter++ << "-" << std::hex << rd() << rd();
    return s.str();
}

// Where an office listening on a named pipe creates its socket.
std::array<std::filesystem::path, 2> PipeSockets(const std::string& name)
{
    const std::string file = "OSL_PIPE_" + std::to_string(getuid()) + "_" + name;
    return {std::filesystem::path("/tmp") / file, std::filesystem::path("/var/tmp") / file};
}

bool PipeExists(const std::string& name)
{
    std::error_code ec;
    for (const auto& p : PipeSockets(name))
        if (std::filesystem::exists(p, ec))
            return true;
    return false;
}

// The local UNO runtime, bootstrapped once with the office's types.
Reference<css::uno::XComponentContext> LocalContext(const std::string& programDir)
{
    static std::mutex m;
    static Reference<css::uno::XComponentContext>* local = nullptr;  // kept until exit
    std::lock_guard<std::mutex> lock(m);
    if (local)
        return *local;
    rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"), U("vnd.sun.star.pathname:" + programDir + "/fundamentalrc"));
    Reference<css::uno::XComponentContext> ctx = cppu::defaultBootstrap_InitialComponentContext();
    if (!ctx.is())
        return {};
    local = new Reference<css::uno::XComponentContext>(ctx);
    return *local;
}

}  // namespace

// ---------------------------------------------------------------------------
// Session and workbook state

namespace office_detail {

struct Book {
    Reference<css::lang::XComponent> doc;
    bool canShow = false;

    bool open() const noexcept { return doc.is(); }
    // Every shape fetched from the workbook's draw pages, held until it is
    // closed. A shape reference let go is released in the office on its own,
    // and a fetch of the same shape racing that release gets a dead copy of
    // it; shapes that are never let go never race.
    mutable std::vector<Reference<css::drawing::XShape>> pinned;
    void pin(const Reference<css::drawing::XShape>& shape) const
    {
        if (shape.is() && std::find(pinned.begin(), pinned.end(), shape) == pinned.end())
            pinned.push_back(shape);
    }
    Reference<css::sheet::XSpreadsheetDocument> spreadsheet() const
    {
        if (!doc.is())
            throw OfficeError("the workbook is closed");
        return Reference<css::sheet::XSpreadsheetDocument>(doc, UNO_QUERY_THROW);
    }
    Reference<css::container::XIndexAccess> sheets() const
    {
        return Reference<css::container::XIndexAccess>(spreadsheet()->getSheets(), UNO_QUERY_THROW);
    }
    // Fetched afresh for every call: a worksheet held across a deletion can
    // report a cut range.
    Reference<css::sheet::XSpreadsheet> sheet(int index) const
    {
        auto all = sheets();
        if (index < 1 || index > all->getCount())
            throw OfficeError("there is no worksheet " + std::to_string(index));
        return Reference<css::sheet::XSpreadsheet>(all->getByIndex(index - 1), UNO_QUERY_THROW);
    }
    void close() noexcept
    {
        if (!doc.is())
            return;
        Reference<css::lang::XComponent> d = doc;
        doc.clear();
        pinned.clear();
        try {
            Reference<css::util::XModifiable> mod(d, UNO_QUERY);
            if (mod.is())
                mod->setModified(false);
            Reference<css::util::XCloseable> c(d, UNO_QUERY);
            if (c.is())
                c->close(true);
            else
                d->dispose();
        } catch (...) {
            // A veto or a dying office: the workbook is gone for us either way.
        }
    }
};

struct Session {
    OfficeUse use = OfficeUse::Exchange;
    bool canShow = false;
    bool leaveOpen = false;
    int sheetsInNew = 1;
    Process process;
    std::filesystem::path profile;
    std::string pipeName;
    // Our end of the connection to the office; disposing it stops every
    // message to the office at once.
    Reference<css::bridge::XBridge> bridge;
    Reference<css::uno::XComponentContext> context;
    Reference<css::frame::XDesktop2> desktop;
    std::vector<std::weak_ptr<Book>> books;

    std::shared_ptr<Book> adopt(const Reference<css::lang::XComponent>& doc)
    {
        auto b = std::make_shared<Book>();
        b->doc = doc;
        b->canShow = canShow;
        books.erase(std::remove_if(books.begin(), books.end(), [](const auto& w) { return w.expired(); }),
                    books.end());
        books.push_back(b);
        return b;
    }

    void disposeBridge() noexcept
    {
        Reference<css::lang::XComponent> c(bridge, UNO_QUERY);
        bridge.clear();
        if (c.is()) {
            try {
                c->dispose();
            } catch (...) {
                // Already gone with the office.
            }
        }
    }

    // Drops every reference into the office without ending it.
    void detach() noexcept
    {
        for (auto& w : books)
            if (auto b = w.lock()) {
                b->doc.clear();
                b->pinned.clear();
            }
        books.clear();
        desktop.clear();
        context.clear();
    }

    // Closes every workbook without saving and ends the office, killing it
    // when it does not end within the grace period.
    //
    // Letting go of a reference into the office sends it a release message,
    // written by the bridge's own thread some time later. One written after
    // the office has ended goes into a closed pipe; so every reference but
    // the desktop is let go while the office still runs, and the bridge is
    // disposed right after the office is told to end, before the desktop's
    // reference goes (a release through a disposed bridge sends nothing).
    void end(std::chrono::milliseconds grace = std::chrono::seconds(10)) noexcept
    {
        for (auto& w : books)
            if (auto b = w.lock())
                b->close();
        books.clear();
        context.clear();
        Reference<css::frame::XDesktop2> last = std::move(desktop);
        desktop.clear();
        if (last.is()) {
            try {
                last->terminate();
            } catch (...) {
                // DisposedException: the office went away while answering.
            }
        }
        disposeBridge();
        last.clear();
        EndProcess(process, grace);
        process.pid = -1;
        // A killed office leaves its pipe's socket behind.
        if (!pipeName.empty()) {
            std::error_code ec;
            for (const auto& p : PipeSockets(pipeName))
                std::filesystem::remove(p, ec);
            pipeName.clear();
        }
        if (!profile.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(profile, ec);
            profile.clear();
        }
    }
};

}  // namespace office_detail

using office_detail::Book;
using office_detail::Session;

// ---------------------------------------------------------------------------
// Starting and connecting

namespace {

std::shared_ptr<Session> StartSession(OfficeUse use)
{
    const std::string dir = OfficeProgramDir();
    const std::string program = dir + "/soffice.bin";
    if (access(program.c_str(), X_OK) != 0 || access((dir + "/fundamentalrc").c_str(), R_OK) != 0)
        return nullptr;

    auto session = std::make_shared<Session>();
    session->use = use;
    const bool visible = use == OfficeUse::Report && DisplayAvailable();
    session->canShow = visible;

    const std::filesystem::path root = ProfilesRoot();
    SweepProfiles(root);
    std::string templ = (root / "profile-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        return nullptr;
    session->profile = templ;
    const std::string pipeName = UniquePipeName();
    session->pipeName = pipeName;
    const std::vector<std::string> args = {
        "-env:UserInstallation=" + FileUrl(session->profile),
        visible ? "--invisible" : "--headless",
        "--nologo",
        "--norestore",
        "--nolockcheck",
        "--nodefault",
        "--accept=pipe,name=" + pipeName + ";urp;StarOffice.ComponentContext",
    };
    const std::string log = (session->profile / "office.log").string();

    // A fresh profile makes the first start exit with "restart me"; that
    // start is always our own child, the real one detached for a report.
    // An instance that may be left open for the user never carries the
    // signal that ends it with us; without a display nothing is left open.
    const SpawnMode firstMode = visible ? SpawnMode::OwnSession : SpawnMode::DiesWithUs;
    const SpawnMode mode = visible ? SpawnMode::Detached : SpawnMode::DiesWithUs;
    constexpr std::chrono::milliseconds kNoGrace{0};
    session->process = Spawn(program, args, log, firstMode);
    if (session->process.pid <= 0) {
        session->end(kNoGrace);
        return nullptr;
    }

    try {
        // The local runtime is bootstrapped from the office's folder once an
        // office has answered from it (its pipe exists): a folder holding
        // something else must never become the process's type library.
        Reference<css::connection::XConnector> connector;
        Reference<css::bridge::XBridgeFactory2> bridges;
        const rtl::OUString where = U("pipe,name=" + pipeName);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int restarts = 0;
        while (!session->context.is()) {
            if (std::chrono::steady_clock::now() > deadline) {
                session->end(kNoGrace);
                return nullptr;
            }
            int status = -1;
            if (ProcessGone(session->process, &status)) {
                if (status != kExitRestart || ++restarts > 3) {
                    session->process.pid = -1;
                    session->end(kNoGrace);
                    return nullptr;
                }
                session->process = Spawn(program, args, log, mode);
                if (session->process.pid <= 0) {
                    session->end(kNoGrace);
                    return nullptr;
                }
            }
            if (!connector.is()) {
                if (!PipeExists(pipeName)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    continue;
                }
                Reference<css::uno::XComponentContext> local = LocalContext(dir);
                if (!local.is()) {
                    session->end(kNoGrace);
                    return nullptr;
                }
                connector = css::connection::Connector::create(local);
                bridges = css::bridge::BridgeFactory::create(local);
            }
            try {
                // A bridge of our own, not the URL resolver's anonymous one,
                // so that the end of the command can dispose it.
                Reference<css::connection::XConnection> connection = connector->connect(where);
                session->bridge = bridges->createBridge(rtl::OUString(), "urp", connection, nullptr);
                Reference<css::uno::XInterface> x = session->bridge->getInstance("StarOffice.ComponentContext");
                session->context.set(x, UNO_QUERY);
                if (!session->context.is())
                    session->disposeBridge();
            } catch (const css::connection::NoConnectException&) {
                session->disposeBridge();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        session->desktop = css::frame::Desktop::create(session->context);
        // From now on the profile belongs to a running office; before, a
        // sweep by another program must not take it for an ended one.
        RecordProcess(session->profile, session->process);
    } catch (...) {
        // Anything from the bridge or the bootstrap: no office for this command.
        session->end(kNoGrace);
        return nullptr;
    }
    return session;
}

// The import filter the office chose for a loaded document.
std::string FilterOf(const Reference<css::lang::XComponent>& doc)
{
    Reference<css::frame::XModel> model(doc, UNO_QUERY);
    if (!model.is())
        return {};
    const Sequence<css::beans::PropertyValue> args = model->getArgs();
    for (sal_Int32 i = 0; i < args.getLength(); ++i) {
        if (args[i].Name == "FilterName") {
            rtl::OUString name;
            args[i].Value >>= name;
            return S(name);
        }
    }
    return {};
}

// A worksheet's chart shapes in draw-page order.
//
// Right after a shape reference was let go, the draw page may hand out a
// stale copy of it for a moment, with no class, no persist name and no
// name (the release travels to the office on its own); such a shape is
// fetched again until the office gives the live one.
std::vector<Reference<css::drawing::XShape>> ChartShapes(const Book& book,
                                                         const Reference<css::sheet::XSpreadsheet>& sheet)
{
    std::vector<Reference<css::drawing::XShape>> charts;
    Reference<css::drawing::XDrawPageSupplier> dps(sheet, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> page(dps->getDrawPage(), UNO_QUERY_THROW);
    const sal_Int32 n = page->getCount();
    for (sal_Int32 i = 0; i < n; ++i) {
        Reference<css::drawing::XShape> shape;
        rtl::OUString clsid;
        for (int attempt = 0;; ++attempt) {
            shape.set(page->getByIndex(i), UNO_QUERY);
            Reference<css::drawing::XShapeDescriptor> desc(shape, UNO_QUERY);
            if (!desc.is() || desc->getShapeType() != "com.sun.star.drawing.OLE2Shape")
                break;
            Reference<css::beans::XPropertySet> props(shape, UNO_QUERY);
            rtl::OUString persist;
            if (props.is()) {
                props->getPropertyValue("CLSID") >>= clsid;
                props->getPropertyValue("PersistName") >>= persist;
            }
            if (!persist.isEmpty() || attempt >= 100) {
                book.pin(shape);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (clsid.equalsIgnoreAsciiCaseAscii(kChartClassId))
            charts.push_back(shape);
    }
    return charts;
}

Reference<css::drawing::XShape> FindChart(const Book& book, const Reference<css::sheet::XSpreadsheet>& sheet,
                                          std::string_view name,
                                          int order)
{
    const auto charts = ChartShapes(book, sheet);
    const rtl::OUString wanted = U(name);
    for (const auto& c : charts) {
        Reference<css::container::XNamed> named(c, UNO_QUERY);
        if (named.is() && named->getName() == wanted)
            return c;
    }
    if (order >= 1 && order <= static_cast<int>(charts.size()))
        return charts[static_cast<size_t>(order - 1)];
    throw OfficeError("there is no chart \"" + std::string(name) + "\"");
}

css::table::CellRangeAddress Address(int sheet, int firstRow, int firstCol, int lastRow, int lastCol)
{
    css::table::CellRangeAddress a;
    a.Sheet = static_cast<sal_Int16>(sheet - 1);
    a.StartColumn = firstCol - 1;
    a.StartRow = firstRow - 1;
    a.EndColumn = lastCol - 1;
    a.EndRow = lastRow - 1;
    return a;
}

// A1 text of one cell or of a block "A1:B2".
bool ParseArea(std::string_view text, WorksheetPos& a, WorksheetPos& b)
{
    const size_t colon = text.find(':');
    auto first = ParseCellRef(text.substr(0, colon));
    if (!first)
        return false;
    a = b = *first;
    if (colon != std::string_view::npos) {
        auto second = ParseCellRef(text.substr(colon + 1));
        if (!second)
            return false;
        b = *second;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// SpreadsheetApp

SpreadsheetApp::SpreadsheetApp(std::shared_ptr<Session> s) : session_(std::move(s)) {}

std::unique_ptr<SpreadsheetApp> SpreadsheetApp::create(OfficeUse use)
{
    try {
        auto s = StartSession(use);
        if (!s)
            return nullptr;
        return std::unique_ptr<SpreadsheetApp>(new SpreadsheetApp(std::move(s)));
    } catch (...) {
        return nullptr;
    }
}

SpreadsheetApp::~SpreadsheetApp()
{
    if (!session_)
        return;
    if (session_->use == OfficeUse::Report && session_->leaveOpen && session_->process.pid > 0) {
        // The office belongs to the user now; its profile is removed by a
        // later start once the office has ended.
        session_->detach();
        return;
    }
    session_->end();
}

OfficeUse SpreadsheetApp::use() const noexcept
{
    return session_->use;
}

int SpreadsheetApp::processId() const noexcept
{
    return session_->process.pid;
}

bool SpreadsheetApp::canShow() const noexcept
{
    return session_->canShow;
}

void SpreadsheetApp::setSheetsInNewWorkbook(int n)
{
    session_->sheetsInNew = std::clamp(n, 1, 10000);
}

int SpreadsheetApp::sheetsInNewWorkbook() const noexcept
{
    return session_->sheetsInNew;
}

OfficeWorkbook SpreadsheetApp::addWorkbook()
{
    return Call("new workbook", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        Reference<css::lang::XComponent> doc = loader->loadComponentFromURL(
            "private:factory/scalc", "_blank", 0, Props({Prop("Hidden", Any(true))}));
        if (!doc.is())
            throw OfficeError("the spreadsheet application made no workbook");
        auto book = session_->adopt(doc);
        Reference<css::sheet::XSpreadsheets> sheets = book->spreadsheet()->getSheets();
        Reference<css::container::XIndexAccess> index(sheets, UNO_QUERY_THROW);
        const int want = session_->sheetsInNew;
        int count = index->getCount();
        for (int k = 1; count < want; ++k) {
            const rtl::OUString name = U("Sheet" + std::to_string(k));
            if (sheets->hasByName(name))
                continue;
            sheets->insertNewByName(name, static_cast<sal_Int16>(count));
            ++count;
        }
        while (count > want) {
            Reference<css::container::XNamed> last(index->getByIndex(count - 1), UNO_QUERY_THROW);
            sheets->removeByName(last->getName());
            --count;
        }
        return OfficeWorkbook(book);
    });
}

OfficeWorkbook SpreadsheetApp::openWorkbook(const std::string& path, bool readOnly)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw OfficeError("the file \"" + path + "\" does not exist");
    // The office takes an empty file for a new document of its extension.
    if (std::filesystem::file_size(path, ec) == 0 || ec)
        throw OfficeError("the file \"" + path + "\" is empty");
    return Call("open \"" + path + "\"", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        // No macros, no links fetched: the file is data only.
        Reference<css::lang::XComponent> doc = loader->loadComponentFromURL(
            U(FileUrl(path)), "_blank", 0,
            Props({Prop("Hidden", Any(true)), Prop("ReadOnly", Any(readOnly)),
                   Prop("MacroExecutionMode", Any(sal_Int16(0))), Prop("UpdateDocMode", Any(sal_Int16(0)))}));
        if (!doc.is())
            throw OfficeError("the file could not be opened");
        // A file the office reads only through its text import (an empty
        // file, plain text, CSV under another name) is no workbook.
        Reference<css::sheet::XSpreadsheetDocument> ss(doc, UNO_QUERY);
        const std::string filter = ss.is() ? FilterOf(doc) : std::string();
        if (!ss.is() || filter.empty() || filter.starts_with("Text")) {
            Book other;
            other.doc = doc;
            other.close();
            throw OfficeError("the file is not a workbook" + (filter.empty() ? "" : " (" + filter + ")"));
        }
        return OfficeWorkbook(session_->adopt(doc));
    });
}

OfficeWorkbook SpreadsheetApp::openCsv(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw OfficeError("the file \"" + path + "\" cannot be read");
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // The office takes an empty file for a new, empty worksheet.
    if (bytes.empty())
        throw OfficeError("the file \"" + path + "\" is empty");
    const int charset = DetectCsvCharset(bytes);
    return Call("open \"" + path + "\"", [&] {
        if (!session_->desktop.is())
            throw OfficeLost();
        Reference<css::frame::XComponentLoader> loader(session_->desktop, UNO_QUERY_THROW);
        Reference<css::lang::XComponent> doc = loader->loadComponentFromURL(
            U(FileUrl(path)), "_blank", 0,
            Props({Prop("Hidden", Any(true)), Prop("ReadOnly", Any(true)),
                   Prop("FilterName", Any(rtl::OUString("Text - txt - csv (StarCalc)"))),
                   Prop("FilterOptions", Any(U(CsvFilterOptions(charset)))),
                   Prop("MacroExecutionMode", Any(sal_Int16(0)))}));
        if (!doc.is())
            throw OfficeError("the file could not be opened");
        return OfficeWorkbook(session_->adopt(doc));
    });
}

bool SpreadsheetApp::leaveOpenForUser()
{
    if (session_->use != OfficeUse::Report || !session_->canShow)
        return false;
    session_->leaveOpen = true;
    return true;
}

void SpreadsheetApp::quit()
{
    session_->leaveOpen = false;
    session_->end();
}

// ---------------------------------------------------------------------------
// Workbook

namespace {
const std::shared_ptr<Book>& Need(const std::shared_ptr<Book>& b)
{
    if (!b || !b->open())
        throw OfficeError("the workbook is closed");
    return b;
}

// The office marks a workbook it writes with a lock file beside it, naming
// the profile of the instance. An instance of ours killed while saving leaves
// that lock behind, and every later save under the name is refused. Such a
// lock is removed when the profile it names, one of ours, no longer exists,
// or when it was never written whole; any other lock is kept.
void RemoveStaleOwnLock(const std::filesystem::path& file)
{
    std::error_code ec;
    const std::filesystem::path lock = file.parent_path() / (".~lock." + file.filename().string() + "#");
    if (!std::filesystem::is_regular_file(lock, ec))
        return;
    std::string text;
    std::getline(std::ifstream(lock), text);
    // An office writes its lock entry whole, ending in ";". An empty or cut
    // entry is one whose office died while writing it (ours, killed in the
    // middle of a save): no office holds it, and the office refuses every
    // later save under the name while it is there.
    if (text.find(';') == std::string::npos) {
        std::filesystem::remove(lock, ec);
        return;
    }
    const std::filesystem::path root = ProfilesRoot();
    const std::string prefix = FileUrl(root) + "/profile-";
    const size_t at = text.find(prefix);
    if (at == std::string::npos)
        return;
    std::string name = text.substr(at + prefix.size());
    if (!name.empty() && name.back() == ';')
        name.pop_back();
    if (name.empty() || name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") !=
                            std::string::npos)
        return;
    if (std::filesystem::exists(root / ("profile-" + name), ec) || ec)
        return;
    std::filesystem::remove(lock, ec);
}
}  // namespace

int OfficeWorkbook::worksheetCount() const
{
    return Call("worksheet count", [&] { return static_cast<int>(Need(book_)->sheets()->getCount()); });
}

Worksheet OfficeWorkbook::worksheet(int index) const
{
    Call("worksheet", [&] { Need(book_)->sheet(index); });
    return Worksheet(book_, index);
}

void OfficeWorkbook::save()
{
    Call("save", [&] {
        Reference<css::frame::XStorable> st(Need(book_)->doc, UNO_QUERY_THROW);
        if (!st->hasLocation())
            throw OfficeError("the workbook has no file yet");
        st->store();
    });
}

void OfficeWorkbook::saveAs(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    // The office would create a missing folder; a save must not invent one.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(path, ec).parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        throw OfficeError("the folder \"" + folder.string() + "\" does not exist");
    const char* filter = "Calc MS Excel 2007 XML";
    if (ext == ".xls")
        filter = "MS Excel 97";
    else if (ext == ".ods")
        filter = "calc8";
    RemoveStaleOwnLock(std::filesystem::absolute(path, ec));
    Call("save \"" + path + "\"", [&] {
        Reference<css::frame::XStorable> st(Need(book_)->doc, UNO_QUERY_THROW);
        st->storeAsURL(U(FileUrl(path)), Props({Prop("FilterName", Any(rtl::OUString::createFromAscii(filter))),
                                                Prop("Overwrite", Any(true))}));
    });
}

void OfficeWorkbook::close()
{
    if (book_)
        book_->close();
}

bool OfficeWorkbook::isOpen() const noexcept
{
    return book_ && book_->open();
}

bool OfficeWorkbook::show()
{
    if (!Need(book_)->canShow)
        return false;
    return Call("show", [&] {
        Reference<css::frame::XModel> model(book_->doc, UNO_QUERY_THROW);
        Reference<css::frame::XFrame> frame = model->getCurrentController()->getFrame();
        Reference<css::awt::XWindow> window = frame->getContainerWindow();
        window->setVisible(true);
        Reference<css::awt::XTopWindow2> top2(window, UNO_QUERY);
        if (top2.is())
            top2->setIsMaximized(true);
        Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
        if (top.is())
            top->toFront();
        frame->activate();
        return true;
    });
}

// ---------------------------------------------------------------------------
// Worksheet

std::string Worksheet::name() const
{
    return Call("worksheet name", [&] {
        Reference<css::container::XNamed> n(Need(book_)->sheet(index_), UNO_QUERY_THROW);
        return S(n->getName());
    });
}

void Worksheet::setName(std::string_view name)
{
    Call("worksheet name", [&] {
        Reference<css::container::XNamed> n(Need(book_)->sheet(index_), UNO_QUERY_THROW);
        n->setName(U(name));
    });
}

Range Worksheet::range(std::string_view a) const
{
    WorksheetPos p, q;
    if (!ParseArea(a, p, q))
        throw OfficeError("\"" + std::string(a) + "\" is not a cell reference");
    Range r;
    r.book_ = book_;
    r.sheet_ = index_;
    r.firstRow_ = std::min(p.row, q.row);
    r.lastRow_ = std::max(p.row, q.row);
    r.firstCol_ = std::min(p.col, q.col);
    r.lastCol_ = std::max(p.col, q.col);
    return r;
}

Range Worksheet::range(std::string_view a, std::string_view b) const
{
    Range ra = range(a);
    Range rb = range(b);
    ra.firstRow_ = std::min(ra.firstRow_, rb.firstRow_);
    ra.firstCol_ = std::min(ra.firstCol_, rb.firstCol_);
    ra.lastRow_ = std::max(ra.lastRow_, rb.lastRow_);
    ra.lastCol_ = std::max(ra.lastCol_, rb.lastCol_);
    return ra;
}

WorksheetPos Worksheet::usedEnd() const
{
    return Call("used area", [&] {
        Reference<css::sheet::XSheetCellCursor> cursor = Need(book_)->sheet(index_)->createCursor();
        Reference<css::sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
        used->gotoEndOfUsedArea(false);
        Reference<css::sheet::XCellRangeAddressable> where(cursor, UNO_QUERY_THROW);
        const css::table::CellRangeAddress a = where->getRangeAddress();
        return WorksheetPos{a.EndRow + 1, a.EndColumn + 1};
    });
}

void Worksheet::setChartObjectWidth(std::string_view name, double points, int order)
{
    Call("chart width", [&] {
        Reference<css::drawing::XShape> chart = FindChart(*book_, Need(book_)->sheet(index_), name, order);
        css::awt::Size size = chart->getSize();
        size.Width = static_cast<sal_Int32>(std::lround(points * 2540.0 / 72.0));
        chart->setSize(size);
    });
}

double Worksheet::chartObjectWidth(std::string_view name, int order) const
{
    return Call("chart width", [&] {
        Reference<css::drawing::XShape> chart = FindChart(*book_, Need(book_)->sheet(index_), name, order);
        return chart->getSize().Width * 72.0 / 2540.0;
    });
}

int Worksheet::chartObjectCount() const
{
    return Call("charts", [&] { return static_cast<int>(ChartShapes(*book_, Need(book_)->sheet(index_)).size()); });
}

void Worksheet::addChart(std::string_view name, std::string_view first, std::string_view last)
{
    Range data = range(first, last);
    Call("add chart", [&] {
        auto sheet = Need(book_)->sheet(index_);
        Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
        Reference<css::table::XTableCharts> charts = tcs->getCharts();
        const size_t before = ChartShapes(*book_, sheet).size();
        css::awt::Rectangle rect(1000, 1000 + static_cast<sal_Int32>(before) * 8000, 10000, 7000);
        Sequence<css::table::CellRangeAddress> ranges(1);
        ranges[0] = Address(index_, data.firstRow_, data.firstCol_, data.lastRow_, data.lastCol_);
        // The object name inside the document; the name a user sees is the
        // shape's, set below.
        charts->addNewByName(U("trevolo-chart-" + std::to_string(before + 1)), rect, ranges, true, false);
        auto shapes = ChartShapes(*book_, sheet);
        if (shapes.size() <= before)
            throw OfficeError("the chart was not added");
        Reference<css::container::XNamed> named(shapes.back(), UNO_QUERY_THROW);
        named->setName(U(name));
    });
}

namespace {

// 1/100 mm of a length in points.
sal_Int32 Hmm(double points)
{
    return static_cast<sal_Int32>(std::lround(points * 2540.0 / 72.0));
}

// The table chart behind a chart shape: its persist name is the name the
// worksheet's chart collection knows it by.
Reference<css::table::XTableChart> TableChartOf(const Reference<css::sheet::XSpreadsheet>& sheet,
                                                const Reference<css::drawing::XShape>& shape)
{
    Reference<css::beans::XPropertySet> props(shape, UNO_QUERY_THROW);
    rtl::OUString persist;
    props->getPropertyValue("PersistName") >>= persist;
    Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
    Reference<css::table::XTableCharts> charts = tcs->getCharts();
    if (persist.isEmpty() || !charts->hasByName(persist))
        throw OfficeError("the chart has no data table");
    return Reference<css::table::XTableChart>(charts->getByName(persist), UNO_QUERY_THROW);
}

void StyleSeries(const Reference<css::beans::XPropertySet>& props, const ChartSeriesStyle& style, bool line)
{
    if (!props.is())
        return;
    if (style.color >= 0)
        props->setPropertyValue("Color", Any(static_cast<sal_Int32>(style.color)));
    if (!line)
        return;
    // A series of the old chart interface takes no line style until lines
    // are allowed for it.
    props->setPropertyValue("Lines", Any(true));
    if (style.lineWidth > 0)
        props->setPropertyValue("LineWidth", Any(Hmm(style.lineWidth)));
    props->setPropertyValue("LineStyle", Any(css::drawing::LineStyle_SOLID));
    props->setPropertyValue("SymbolType", Any(style.markers ? css::chart::ChartSymbolType::AUTO
                                                            : css::chart::ChartSymbolType::NONE));
}

}  // namespace

void Worksheet::addChart(const ChartSpec& spec)
{
    const int dataSheet = spec.dataSheet > 0 ? spec.dataSheet : index_;
    if (spec.blocks.empty())
        throw OfficeError("a chart needs a block of data");
    Sequence<css::table::CellRangeAddress> ranges(static_cast<sal_Int32>(spec.blocks.size()));
    for (size_t i = 0; i < spec.blocks.size(); ++i) {
        Range r = range(spec.blocks[i]);
        ranges[static_cast<sal_Int32>(i)] = Address(dataSheet, r.firstRow_, r.firstCol_, r.lastRow_, r.lastCol_);
    }
    Call("add chart", [&] {
        auto book = Need(book_);
        book->sheet(dataSheet);  // throws when there is no such worksheet
        auto sheet = book->sheet(index_);
        Reference<css::table::XTableChartsSupplier> tcs(sheet, UNO_QUERY_THROW);
        Reference<css::table::XTableCharts> charts = tcs->getCharts();
        const size_t before = ChartShapes(*book_, sheet).size();
        rtl::OUString object;
        for (size_t k = before + 1;; ++k) {
            object = U("trevolo-chart-" + std::to_string(k));
            if (!charts->hasByName(object))
                break;
        }
        const css::awt::Rectangle rect(Hmm(spec.left), Hmm(spec.top), Hmm(spec.width), Hmm(spec.height));
        charts->addNewByName(object, rect, ranges, true, true);
        Reference<css::table::XTableChart> table(charts->getByName(object), UNO_QUERY_THROW);
        Reference<css::document::XEmbeddedObjectSupplier> eos(table, UNO_QUERY_THROW);
        Reference<css::chart::XChartDocument> doc(eos->getEmbeddedObject(), UNO_QUERY_THROW);
        Reference<css::lang::XMultiServiceFactory> factory(doc, UNO_QUERY_THROW);
        const bool line = spec.type == ChartSpec::Type::Line;
        Reference<css::chart::XDiagram> diagram(
            factory->createInstance(line ? rtl::OUString("com.sun.star.chart.LineDiagram")
                                         : rtl::OUString("com.sun.star.chart.BarDiagram")),
            UNO_QUERY_THROW);
        doc->setDiagram(diagram);

        Reference<css::beans::XPropertySet> docProps(doc, UNO_QUERY_THROW);
        docProps->setPropertyValue("HasMainTitle", Any(!spec.title.empty()));
        if (!spec.title.empty()) {
            Reference<css::beans::XPropertySet> title(doc->getTitle(), UNO_QUERY_THROW);
            title->setPropertyValue("String", Any(U(spec.title)));
        }
        docProps->setPropertyValue("HasLegend", Any(spec.legend));

        Reference<css::beans::XPropertySet> diagramProps(diagram, UNO_QUERY_THROW);
        if (!line)
            diagramProps->setPropertyValue("Vertical", Any(false));  // upright columns
        else
            diagramProps->setPropertyValue("Lines", Any(true));
        diagramProps->setPropertyValue("HasXAxisTitle", Any(!spec.xAxisTitle.empty()));
        diagramProps->setPropertyValue("HasYAxisTitle", Any(!spec.yAxisTitle.empty()));
        // A white plot area, as on a printed chart.
        Reference<css::chart::X3DDisplay> display(diagram, UNO_QUERY);
        if (display.is() && display->getWall().is())
            display->getWall()->setPropertyValue("FillColor", Any(static_cast<sal_Int32>(0xFFFFFF)));
        Reference<css::chart::XAxisXSupplier> xs(diagram, UNO_QUERY_THROW);
        if (!spec.xAxisTitle.empty()) {
            Reference<css::beans::XPropertySet> t(xs->getXAxisTitle(), UNO_QUERY_THROW);
            t->setPropertyValue("String", Any(U(spec.xAxisTitle)));
        }
        if (!spec.yAxisTitle.empty()) {
            Reference<css::chart::XAxisYSupplier> ys(diagram, UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet> t(ys->getYAxisTitle(), UNO_QUERY_THROW);
            t->setPropertyValue("String", Any(U(spec.yAxisTitle)));
        }
        Reference<css::beans::XPropertySet> xAxis = xs->getXAxis();
        if (xAxis.is() && spec.categoryRotation != 0)
            xAxis->setPropertyValue("TextRotation", Any(static_cast<sal_Int32>(spec.categoryRotation * 100)));
        // The gap belongs to the axis the columns stand on, the value axis.
        Reference<css::chart::XAxisYSupplier> ys(diagram, UNO_QUERY);
        if (!line && spec.gapWidth >= 0 && ys.is() && ys->getYAxis().is())
            ys->getYAxis()->setPropertyValue("GapWidth", Any(static_cast<sal_Int32>(spec.gapWidth)));
        for (size_t i = 0; i < spec.series.size(); ++i)
            StyleSeries(diagram->getDataRowProperties(static_cast<sal_Int32>(i)), spec.series[i], line);

        auto shapes = ChartShapes(*book_, sheet);
        if (shapes.size() <= before)
            throw OfficeError("the chart was not added");
        Reference<css::container::XNamed> named(shapes.back(), UNO_QUERY_THROW);
        named->setName(U(spec.name));
    });
}

std::vector<ChartBlock> Worksheet::chartBlocks(std::string_view name, int order) const
{
    return Call("chart data", [&] {
        auto sheet = Need(book_)->sheet(index_);
        Reference<css::table::XTableChart> table = TableChartOf(sheet, FindChart(*book_, sheet, name, order));
        const Sequence<css::table::CellRangeAddress> ranges = table->getRanges();
        std::vector<ChartBlock> out;
        for (sal_Int32 i = 0; i < ranges.getLength(); ++i) {
            const auto& a = ranges[i];
            out.push_back({a.Sheet + 1, RowColToCell(a.StartRow + 1, a.StartColumn + 1) + ":" +
                                            RowColToCell(a.EndRow + 1, a.EndColumn + 1)});
        }
        return out;
    });
}

// ---------------------------------------------------------------------------
// Range

namespace {

Reference<css::table::XCellRange> CellRangeOf(const std::shared_ptr<Book>& book, int sheet, int r0, int c0, int r1,
                                              int c1)
{
    Reference<css::table::XCellRange> all(Need(book)->sheet(sheet), UNO_QUERY_THROW);
    return all->getCellRangeByPosition(c0 - 1, r0 - 1, c1 - 1, r1 - 1);
}

Any ToAny(const CellValue& v)
{
    if (const auto* d = std::get_if<double>(&v))
        return Any(*d);
    return Any(U(std::get<std::string>(v)));
}

CellValue FromAny(const Any& a)
{
    double d = 0;
    if (a >>= d)
        return d;
    rtl::OUString s;
    if (a >>= s)
        return S(s);
    return std::string();
}

}  // namespace

std::string Range::address() const
{
    std::string a = RowColToCell(firstRow_, firstCol_);
    if (firstRow_ != lastRow_ || firstCol_ != lastCol_)
        a += ":" + RowColToCell(lastRow_, lastCol_);
    return a;
}

CellValue Range::value() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        const Sequence<Sequence<Any>> rows = data->getDataArray();
        if (rows.getLength() < 1 || rows[0].getLength() < 1)
            return CellValue(std::string());
        return FromAny(rows[0][0]);
    });
}

CellBlock Range::values() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                   UNO_QUERY_THROW);
        const Sequence<Sequence<Any>> rows = data->getDataArray();
        CellBlock block(rows.getLength(), rows.getLength() > 0 ? rows[0].getLength() : 0);
        for (sal_Int32 r = 0; r < rows.getLength(); ++r) {
            const Sequence<Any>& row = rows[r];
            const Any* cells = row.getConstArray();
            for (sal_Int32 c = 0; c < row.getLength() && c < block.cols; ++c)
                block.at(r, c) = FromAny(cells[c]);
        }
        return block;
    });
}

void Range::setValue(const CellValue& v)
{
    CellBlock block(rows(), cols());
    std::fill(block.cells.begin(), block.cells.end(), v);
    setValues(block);
}

void Range::setValues(const CellBlock& block)
{
    if (block.rows != rows() || block.cols != cols())
        throw OfficeError("a block of " + std::to_string(block.rows) + " x " + std::to_string(block.cols) +
                          " does not fit " + address());
    Call("write " + address(), [&] {
        Reference<css::sheet::XCellRangeData> data(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                   UNO_QUERY_THROW);
        Sequence<Sequence<Any>> rowsSeq(block.rows);
        Sequence<Any>* outRows = rowsSeq.getArray();
        for (int r = 0; r < block.rows; ++r) {
            Sequence<Any> row(block.cols);
            Any* cells = row.getArray();
            for (int c = 0; c < block.cols; ++c)
                cells[c] = ToAny(block.at(r, c));
            outRows[r] = row;
        }
        data->setDataArray(rowsSeq);
    });
}

void Range::setNumberFormatLocal(std::string_view format)
{
    Call("number format of " + address(), [&] {
        Reference<css::util::XNumberFormatsSupplier> sup(Need(book_)->doc, UNO_QUERY_THROW);
        Reference<css::util::XNumberFormats> formats = sup->getNumberFormats();
        const css::lang::Locale japanese("ja", "JP", "");
        const rtl::OUString code = U(format);
        sal_Int32 key = formats->queryKey(code, japanese, false);
        if (key == -1)
            key = formats->addNew(code, japanese);
        Reference<css::beans::XPropertySet> props(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_), UNO_QUERY_THROW);
        props->setPropertyValue("NumberFormat", Any(key));
    });
}

std::string Range::numberFormatLocal() const
{
    return Call("number format of " + address(), [&] {
        Reference<css::beans::XPropertySet> props(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        sal_Int32 key = 0;
        props->getPropertyValue("NumberFormat") >>= key;
        Reference<css::util::XNumberFormatsSupplier> sup(Need(book_)->doc, UNO_QUERY_THROW);
        Reference<css::beans::XPropertySet> fmt = sup->getNumberFormats()->getByKey(key);
        rtl::OUString code;
        fmt->getPropertyValue("FormatString") >>= code;
        return S(code);
    });
}

void Range::setFormulas(const CellBlock& block)
{
    if (block.rows != rows() || block.cols != cols())
        throw OfficeError("a block of " + std::to_string(block.rows) + " x " + std::to_string(block.cols) +
                          " does not fit " + address());
    Call("write " + address(), [&] {
        Reference<css::sheet::XCellRangeFormula> cells(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_), UNO_QUERY_THROW);
        Sequence<Sequence<rtl::OUString>> rowsSeq(block.rows);
        Sequence<rtl::OUString>* outRows = rowsSeq.getArray();
        for (int r = 0; r < block.rows; ++r) {
            Sequence<rtl::OUString> row(block.cols);
            rtl::OUString* out = row.getArray();
            for (int c = 0; c < block.cols; ++c) {
                const CellValue& v = block.at(r, c);
                if (const auto* d = std::get_if<double>(&v)) {
                    char buf[32];
                    const auto res = std::to_chars(buf, buf + sizeof buf, *d);
                    out[c] = U(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
                } else {
                    out[c] = U(std::get<std::string>(v));
                }
            }
            outRows[r] = row;
        }
        cells->setFormulaArray(rowsSeq);
    });
}

std::string Range::formula() const
{
    return Call("read " + address(), [&] {
        Reference<css::sheet::XCellRangeFormula> cells(
            CellRangeOf(book_, sheet_, firstRow_, firstCol_, firstRow_, firstCol_), UNO_QUERY_THROW);
        const Sequence<Sequence<rtl::OUString>> rows = cells->getFormulaArray();
        if (rows.getLength() < 1 || rows[0].getLength() < 1)
            return std::string();
        return S(rows[0][0]);
    });
}

void Range::setColumnWidth(double points)
{
    Call("column width of " + address(), [&] {
        Reference<css::table::XColumnRowRange> cr(CellRangeOf(book_, sheet_, firstRow_, firstCol_, lastRow_, lastCol_),
                                                  UNO_QUERY_THROW);
        Reference<css::beans::XPropertySet> columns(cr->getColumns(), UNO_QUERY_THROW);
        columns->setPropertyValue("Width", Any(Hmm(points)));
    });
}

void Range::deleteShiftUp()
{
    Call("delete " + address(), [&] {
        Reference<css::sheet::XCellRangeMovement> move(Need(book_)->sheet(sheet_), UNO_QUERY_THROW);
        move->removeRange(Address(sheet_, firstRow_, firstCol_, lastRow_, lastCol_), css::sheet::CellDeleteMode_UP);
    });
}

}  // namespace trevolo
