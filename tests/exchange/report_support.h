#pragma once
// A virtual X display for the tests that show a report, and the display
// settings of one test.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "office_support.h"

namespace trevolo::testing {

// A program found on the search path, or an empty text.
inline std::string FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// Xvfb on a free display number for the lifetime of the object.
class VirtualDisplay {
public:
    VirtualDisplay()
    {
        const std::string xvfb = FindProgram("Xvfb");
        int fds[2];
        if (xvfb.empty() || pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            dup2(fds[1], 3);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            // -noreset: a server resets when its last client leaves, and a
            // client connecting during the reset is turned away.
            execl(xvfb.c_str(), "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                  "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buf[32] = {};
        ssize_t n = 0, got = 0;
        while (got < static_cast<ssize_t>(sizeof buf) - 1 && (n = read(fds[0], buf + got, sizeof buf - 1 - got)) > 0) {
            got += n;
            if (buf[got - 1] == '\n')
                break;
        }
        close(fds[0]);
        if (got > 0)
            display_ = ":" + std::string(buf, static_cast<size_t>(got - (buf[got - 1] == '\n' ? 1 : 0)));
        // The server names its display before it takes connections: a
        // program started at once may find no display there.
        for (int waited = 0; !display_.empty() && !usable() && waited < 5000; waited += 50)
            usleep(50 * 1000);
    }
    ~VirtualDisplay()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool ok() const { return !display_.empty() && usable(); }
    const std::string& name() const { return display_; }

    // True when the display takes connections (its socket answers); another
    // program ending an X server of the same number takes it away.
    bool usable() const
    {
        if (display_.size() < 2)
            return false;
        const std::string path = "/tmp/.X11-unix/X" + display_.substr(1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        return ok;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Sets the display of one test (an empty name: none at all) and restores the
// environment afterwards.
class DisplayEnv {
public:
    explicit DisplayEnv(const std::string& display)
    {
        save("DISPLAY", display_);
        save("WAYLAND_DISPLAY", wayland_);
        unsetenv("WAYLAND_DISPLAY");
        if (display.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", display.c_str(), 1);
    }
    ~DisplayEnv()
    {
        restore("DISPLAY", display_);
        restore("WAYLAND_DISPLAY", wayland_);
    }
    DisplayEnv(const DisplayEnv&) = delete;
    DisplayEnv& operator=(const DisplayEnv&) = delete;

private:
    struct Saved {
        bool set = false;
        std::string value;
    };
    static void save(const char* name, Saved& s)
    {
        if (const char* v = std::getenv(name)) {
            s.set = true;
            s.value = v;
        }
    }
    static void restore(const char* name, const Saved& s)
    {
        if (s.set)
            setenv(name, s.value.c_str(), 1);
        else
            unsetenv(name);
    }
    Saved display_;
    Saved wayland_;
};

// Ends an office this test started, if it still runs.
inline void EndOffice(int pid)
{
    if (pid > 0 && ProcessAlive(pid)) {
        kill(pid, SIGKILL);
        WaitGone(pid, 5000);
    }
}

// The window tree of a display (xwininfo), or an empty text without xwininfo.
inline std::string ShownWindows(const std::string& display)
{
    const std::string xwininfo = FindProgram("xwininfo");
    if (xwininfo.empty())
        return {};
    std::string out;
    const std::string cmd = "DISPLAY=" + display + " " + xwininfo + " -root -tree 2>/dev/null";
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[1024];
        while (fgets(line, sizeof line, p))
            out += line;
        pclose(p);
    }
    return out;
}

}  // namespace trevolo::testing
