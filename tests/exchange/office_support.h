#pragma once
// Shared pieces of the tests that run a real office.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace trevolo::testing {

// A fresh folder under the build's test folder, removed at the end.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TREVOLO_TEST_TMP");
        std::filesystem::path root = (base && *base) ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string templ = (root / "exchange-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A small file of /proc, read whole; empty when the process (or thread) it
// describes is gone. A process may end between the open and the read, and
// the read then fails with ESRCH, which a C++ stream reports by throwing.
inline std::string ReadProcFile(const std::string& path)
{
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buf[4096];
    ssize_t n = 0;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(fd);
    return n < 0 ? std::string() : text;
}

inline bool ProcessAlive(int pid)
{
    if (pid <= 0 || kill(pid, 0) != 0)
        return false;
    const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    const std::string line = stat.substr(0, stat.find('\n'));
    const size_t close = line.rfind(')');
    return !(close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z');
}

// Waits up to the given time for a process to end.
inline bool WaitGone(int pid, int milliseconds)
{
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (!ProcessAlive(pid))
            return true;
        usleep(50 * 1000);
    }
    return !ProcessAlive(pid);
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

}  // namespace trevolo::testing
