#pragma once
// The office process of one engine instance: started with a private profile
// in a temporary folder and a pipe of its own, so it can never be an office
// the user runs and two commands never share one; watched while it starts;
// ended with its profile and pipe removed. Also the clean-up of what earlier
// instances left behind: profiles of offices that have ended, and lock files
// of saves cut short. POSIX only; nothing here talks to the office.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace trevolo::office_detail {

// A file URL of a local path, every byte outside the unreserved set
// percent-encoded (Japanese names, blanks, "#", "%").
std::string FileUrl(const std::filesystem::path& p);

struct Process {
    pid_t pid = -1;
    bool child = false;  // our own child (waitpid works); else handed to init
};

class OfficeProcess {
public:
    // Starts the office of the program folder with a fresh profile,
    // listening on a pipe of its own. A visible office (a report instance on
    // a display) may show windows and outlives this program; any other is
    // ended by the kernel when this program ends. False when the folder holds
    // no office or the office cannot be started; nothing is left behind.
    bool start(const std::string& programDir, bool visible);

    // True while the office starts or runs. The first start on a fresh
    // profile exits asking to be started again; such an office is started
    // again, at most three times. False once it has ended otherwise.
    bool alive();
    // True once the office has made its pipe's socket.
    bool listening() const;
    // Writes the office's process into its profile: from then on the profile
    // belongs to a running office, and a sweep by a later start removes it
    // only after that office has ended.
    void record() const;

    // Waits for the office to end, killing it after the grace period, and
    // removes its pipe's socket and its profile. Nothing happens a second time.
    void end(std::chrono::milliseconds grace) noexcept;

    pid_t pid() const noexcept { return process_.pid; }
    const std::string& pipeName() const noexcept { return pipeName_; }

private:
    Process process_;
    std::string program_;
    std::vector<std::string> args_;
    std::string log_;
    bool visible_ = false;
    int restarts_ = 0;
    std::filesystem::path profile_;
    std::string pipeName_;
};

// The office marks a workbook it writes with a lock file beside it. Removes
// the lock beside the file when an office of ours left it behind, killed
// while saving; every later save under the name would be refused.
void RemoveStaleOwnLock(const std::filesystem::path& file);

}  // namespace trevolo::office_detail
