#pragma once
// An exchange office kept running between commands. Starting an office takes
// about two seconds, far more than most imports and exports take in it; a
// program that runs one command after another (the window's File menu) keeps
// one office for all of them. Each command checks the kept office first: one
// that has ended, or that does not answer within the probe time, is ended
// and replaced once; when the new one does not start either, the command
// ends as when no office starts. The office is ended when it has been idle
// for the idle time, when a command leaves it holding more memory than the
// memory limit (the office keeps much of what a workbook took: over 1 GB
// after 100 sheets, 1.6 GB at the largest; growth beyond that over many
// commands is not kept), by end(), and when the keeper is destroyed; the
// kernel ends it with the program in any case.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "exchange/office.h"

namespace trevolo {

class KeptOffice {
public:
    explicit KeptOffice(std::chrono::milliseconds idle = std::chrono::minutes(3),
                        std::chrono::milliseconds probe = std::chrono::seconds(10), long memoryLimitKiB = 2048L * 1024);
    ~KeptOffice();
    KeptOffice(const KeptOffice&) = delete;
    KeptOffice& operator=(const KeptOffice&) = delete;

    // The office of one command; one command at a time. Empty when no office
    // could be started.
    class Use {
    public:
        Use(Use&&) noexcept = default;
        ~Use();
        explicit operator bool() const noexcept { return app_ != nullptr; }
        SpreadsheetApp& operator*() const noexcept { return *app_; }
        SpreadsheetApp* operator->() const noexcept { return app_.get(); }

    private:
        friend class KeptOffice;
        Use(KeptOffice* owner, std::unique_lock<std::mutex> command, std::shared_ptr<SpreadsheetApp> app)
            : owner_(owner), command_(std::move(command)), app_(std::move(app))
        {
        }
        KeptOffice* owner_ = nullptr;
        std::unique_lock<std::mutex> command_;
        std::shared_ptr<SpreadsheetApp> app_;
    };

    // Waits for a command using the office to end, then gives the office,
    // started, checked or replaced as described above.
    Use use();

    // Ends the office now; the next command starts another.
    void end() noexcept;

    // The process of the kept office; 0 when none is kept.
    int processId() const;

private:
    void released(const std::shared_ptr<SpreadsheetApp>& app) noexcept;
    void watchIdle();

    const std::chrono::milliseconds idle_;
    const std::chrono::milliseconds probe_;
    const long memoryLimitKiB_;
    std::mutex command_;  // held by the Use of the running command

    mutable std::mutex state_;  // guards everything below
    std::condition_variable wake_;
    std::shared_ptr<SpreadsheetApp> app_;
    std::string programDir_;  // where the kept office was started from
    std::chrono::steady_clock::time_point lastUse_;
    bool stopping_ = false;
    std::thread watcher_;
};

// The office kept for the exchange commands of this program.
KeptOffice& SharedExchangeOffice();

}  // namespace trevolo
