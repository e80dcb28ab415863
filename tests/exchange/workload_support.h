#pragma once
// Measuring a long test run: wall time and peak memory of this program per
// phase, and the peak memory of the office processes it starts, watched
// from a thread while they run.
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "office_support.h"

namespace trevolo::testing {

// A "VmHWM:" or "VmRSS:" line of /proc/<pid>/status, in KiB; 0 when the
// process is gone or the line is missing.
inline long ProcStatusKiB(const std::string& pid, const char* key)
{
    std::istringstream f(ReadProcFile("/proc/" + pid + "/status"));
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(f, line))
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    return 0;
}

inline long SelfPeakKiB()
{
    return ProcStatusKiB("self", "VmHWM");
}

// Starts a new peak of this process (the kernel's high-water mark is set
// back to the present size). False when the kernel refuses.
inline bool ResetSelfPeak()
{
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    f.flush();
    return static_cast<bool>(f);
}

// The office processes that are children of this program.
inline std::vector<std::string> OfficeChildPids()
{
    std::vector<std::string> pids;
    const std::string self = std::to_string(getpid());
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream f(e.path() / "stat");
        std::string stat;
        std::getline(f, stat);
        const size_t open = stat.find('(');
        const size_t close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size())
            continue;
        const std::string comm = stat.substr(open + 1, close - open - 1);
        const std::string rest = stat.substr(close + 4);
        if (comm.rfind("soffice", 0) == 0 && stat[close + 2] != 'Z' && rest.substr(0, rest.find(' ')) == self)
            pids.push_back(name);
    }
    return pids;
}

// Polls the office processes of this program and keeps the highest peak
// (VmHWM) any of them reached since the last take(). An office ending
// between two polls loses at most its last 50 ms.
class OfficePeakWatch {
public:
    OfficePeakWatch()
        : thread_([this] {
              while (!stop_) {
                  for (const std::string& pid : OfficeChildPids()) {
                      const long kib = ProcStatusKiB(pid, "VmHWM");
                      std::lock_guard<std::mutex> lock(m_);
                      peak_ = std::max(peak_, kib);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          })
    {
    }
    ~OfficePeakWatch()
    {
        stop_ = true;
        thread_.join();
    }
    OfficePeakWatch(const OfficePeakWatch&) = delete;
    OfficePeakWatch& operator=(const OfficePeakWatch&) = delete;

    long take()
    {
        std::lock_guard<std::mutex> lock(m_);
        const long p = peak_;
        peak_ = 0;
        return p;
    }

private:
    std::mutex m_;
    long peak_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The figures of a run, one line per phase, printed together at the end
// (also when the run stops early) on lines starting with "workload:".
class WorkloadFigures {
public:
    struct Row {
        std::string name;
        double seconds = 0;
        long selfPeakKiB = 0;
        long officePeakKiB = 0;
        std::string note;
        bool finished = false;
    };

    // One phase: timed from construction; its figures are taken when it
    // ends (done() or the end of its scope).
    class Phase {
    public:
        Phase(WorkloadFigures& f, std::string name) : f_(f), start_(std::chrono::steady_clock::now())
        {
            row_.name = std::move(name);
            f_.office_.take();
            f_.overallPeakKiB_ = std::max(f_.overallPeakKiB_, SelfPeakKiB());
            f_.perPhasePeaks_ = ResetSelfPeak() && f_.perPhasePeaks_;
        }
        ~Phase() { end(); }
        Phase(const Phase&) = delete;
        Phase& operator=(const Phase&) = delete;

        // Time spent inside the phase that is not part of it (checks).
        void pause() { paused_ = std::chrono::steady_clock::now(); }
        void resume() { excluded_ += std::chrono::steady_clock::now() - paused_; }
        void note(std::string text) { row_.note = std::move(text); }
        void done()
        {
            row_.finished = true;
            end();
        }

    private:
        void end()
        {
            if (ended_)
                return;
            ended_ = true;
            row_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_ - excluded_).count();
            row_.selfPeakKiB = SelfPeakKiB();
            row_.officePeakKiB = f_.office_.take();
            f_.overallPeakKiB_ = std::max(f_.overallPeakKiB_, row_.selfPeakKiB);
            f_.rows_.push_back(row_);
        }

        WorkloadFigures& f_;
        Row row_;
        std::chrono::steady_clock::time_point start_;
        std::chrono::steady_clock::time_point paused_;
        std::chrono::steady_clock::duration excluded_{};
        bool ended_ = false;
    };

    explicit WorkloadFigures(std::string title) : title_(std::move(title)) {}
    ~WorkloadFigures() { print(); }

    // The peak of this program over the whole run so far.
    long overallPeakKiB()
    {
        overallPeakKiB_ = std::max(overallPeakKiB_, SelfPeakKiB());
        return overallPeakKiB_;
    }
    long officePeakKiB() const
    {
        long p = 0;
        for (const Row& r : rows_)
            p = std::max(p, r.officePeakKiB);
        return p;
    }
    void addLine(std::string line) { extra_.push_back(std::move(line)); }

private:
    static std::string Mb(long kib)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", kib * 1024.0 / 1e6);
        return buf;
    }

    void print()
    {
        std::string out = "workload: " + title_ + "\n";
        char buf[256];
        std::snprintf(buf, sizeof buf, "workload: %-28s %9s %13s %13s\n", "phase", "time [s]", "program [MB]",
                      "office [MB]");
        out += buf;
        for (const Row& r : rows_) {
            std::snprintf(buf, sizeof buf, "workload: %-28s %9.1f %13s %13s", r.name.c_str(), r.seconds,
                          Mb(r.selfPeakKiB).c_str(), r.officePeakKiB > 0 ? Mb(r.officePeakKiB).c_str() : "-");
            out += buf;
            if (!r.finished)
                out += "  (stopped by a failure)";
            if (!r.note.empty())
                out += "  " + r.note;
            out += "\n";
        }
        out += "workload: memory columns are peaks (VmHWM) within the phase";
        out += perPhasePeaks_ ? "\n" : " (the kernel kept one peak for the whole run)\n";
        for (const std::string& l : extra_)
            out += "workload: " + l + "\n";
        std::cout << out << std::flush;
    }

    std::string title_;
    std::vector<Row> rows_;
    std::vector<std::string> extra_;
    OfficePeakWatch office_;
    long overallPeakKiB_ = 0;
    bool perPhasePeaks_ = true;
};

}  // namespace trevolo::testing
