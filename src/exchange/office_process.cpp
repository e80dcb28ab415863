// The office process: start, watch, end, and the clean-up of what earlier
// instances left behind.
#include "exchange/office_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "exchange/office.h"

extern char** environ;

namespace trevolo {

// ---------------------------------------------------------------------------
// Where the office is, and whether it can show windows

namespace {

constexpr const char* kDefaultProgramDir = "/usr/lib/libreoffice/program";

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

namespace office_detail {

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

// ---------------------------------------------------------------------------
// Starting and ending a process

namespace {

constexpr int kExitRestart = 81;  // the office asks to be started again

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

}  // namespace

// ---------------------------------------------------------------------------
// One office

bool OfficeProcess::start(const std::string& programDir, bool visible)
{
    program_ = programDir + "/soffice.bin";
    if (access(program_.c_str(), X_OK) != 0 || access((programDir + "/fundamentalrc").c_str(), R_OK) != 0)
        return false;
    visible_ = visible;
    restarts_ = 0;

    const std::filesystem::path root = ProfilesRoot();
    SweepProfiles(root);
    std::string templ = (root / "profile-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        return false;
    profile_ = templ;
    pipeName_ = UniquePipeName();
    args_ = {
        "-env:UserInstallation=" + FileUrl(profile_),
        visible ? "--invisible" : "--headless",
        "--nologo",
        "--norestore",
        "--nolockcheck",
        "--nodefault",
        "--accept=pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext",
    };
    log_ = (profile_ / "office.log").string();

    // A fresh profile makes the first start exit with "restart me"; that
    // start is always our own child, the real one detached for a report.
    // An instance that may be left open for the user never carries the
    // signal that ends it with us; without a display nothing is left open.
    process_ = Spawn(program_, args_, log_, visible ? SpawnMode::OwnSession : SpawnMode::DiesWithUs);
    if (process_.pid <= 0) {
        end(std::chrono::milliseconds(0));
        return false;
    }
    return true;
}

bool OfficeProcess::alive()
{
    int status = -1;
    if (!ProcessGone(process_, &status))
        return true;
    if (status != kExitRestart || ++restarts_ > 3) {
        process_.pid = -1;
        return false;
    }
    process_ = Spawn(program_, args_, log_, visible_ ? SpawnMode::Detached : SpawnMode::DiesWithUs);
    return process_.pid > 0;
}

bool OfficeProcess::listening() const
{
    return PipeExists(pipeName_);
}

void OfficeProcess::record() const
{
    RecordProcess(profile_, process_);
}

void OfficeProcess::end(std::chrono::milliseconds grace) noexcept
{
    EndProcess(process_, grace);
    process_.pid = -1;
    // A killed office leaves its pipe's socket behind.
    if (!pipeName_.empty()) {
        std::error_code ec;
        for (const auto& p : PipeSockets(pipeName_))
            std::filesystem::remove(p, ec);
        pipeName_.clear();
    }
    if (!profile_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(profile_, ec);
        profile_.clear();
    }
}

// ---------------------------------------------------------------------------
// Locks of saves cut short

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
    if (name.empty() ||
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
        return;
    if (std::filesystem::exists(root / ("profile-" + name), ec) || ec)
        return;
    std::filesystem::remove(lock, ec);
}

}  // namespace office_detail

}  // namespace trevolo
