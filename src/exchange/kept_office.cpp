#include "exchange/kept_office.h"

#include <unistd.h>

#include <fstream>

namespace trevolo {

namespace {

// The resident memory of a process in KiB; 0 when it cannot be read.
long ResidentKiB(int pid)
{
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    long size = 0;
    long resident = 0;
    if (!(statm >> size >> resident))
        return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

KeptOffice::KeptOffice(std::chrono::milliseconds idle, std::chrono::milliseconds probe, long memoryLimitKiB)
    : idle_(idle), probe_(probe), memoryLimitKiB_(memoryLimitKiB)
{
}

KeptOffice::~KeptOffice()
{
    {
        std::lock_guard<std::mutex> lock(state_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable())
        watcher_.join();
    end();
}

KeptOffice::Use KeptOffice::use()
{
    std::unique_lock<std::mutex> command(command_);
    const std::string dir = OfficeProgramDir();
    std::shared_ptr<SpreadsheetApp> app;
    std::shared_ptr<SpreadsheetApp> stale;
    {
        std::lock_guard<std::mutex> lock(state_);
        app = app_;
        // An office of another program folder is not the one asked for.
        if (app && programDir_ != dir) {
            stale = std::move(app_);
            app.reset();
        }
    }
    if (app && !app->responds(probe_)) {
        // Ended, or hung and killed by the probe: replaced below.
        std::lock_guard<std::mutex> lock(state_);
        stale = std::move(app_);
        app.reset();
    }
    stale.reset();
    if (!app) {
        app = std::shared_ptr<SpreadsheetApp>(SpreadsheetApp::create(OfficeUse::Exchange));
        if (app) {
            std::lock_guard<std::mutex> lock(state_);
            app_ = app;
            programDir_ = dir;
            lastUse_ = std::chrono::steady_clock::now();
            // The watcher never starts an office, so the one it ends was
            // started by a command's thread and dies with that thread.
            if (!watcher_.joinable())
                watcher_ = std::thread([this] { watchIdle(); });
        }
        wake_.notify_all();
    }
    return Use(this, std::move(command), std::move(app));
}

KeptOffice::Use::~Use()
{
    if (owner_ && app_)
        owner_->released(app_);
}

void KeptOffice::released(const std::shared_ptr<SpreadsheetApp>& app) noexcept
{
    // An office that died during the command is ended at once (its process
    // reaped, its profile removed) rather than at the next command; so is
    // one that holds too much memory to be kept.
    const bool keep = app->responds() && ResidentKiB(app->processId()) <= memoryLimitKiB_;
    std::shared_ptr<SpreadsheetApp> stale;
    {
        std::lock_guard<std::mutex> lock(state_);
        lastUse_ = std::chrono::steady_clock::now();
        if (!keep && app_ == app)
            stale = std::move(app_);
    }
    wake_.notify_all();
}

void KeptOffice::end() noexcept
{
    std::shared_ptr<SpreadsheetApp> stale;
    {
        std::lock_guard<std::mutex> lock(state_);
        stale = std::move(app_);
    }
    wake_.notify_all();
}

int KeptOffice::processId() const
{
    std::lock_guard<std::mutex> lock(state_);
    return app_ ? app_->processId() : 0;
}

void KeptOffice::watchIdle()
{
    std::unique_lock<std::mutex> lock(state_);
    while (!stopping_) {
        if (!app_) {
            wake_.wait(lock);
            continue;
        }
        const auto due = lastUse_ + idle_;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        // A command using the office wakes this thread when it ends.
        std::unique_lock<std::mutex> command(command_, std::try_to_lock);
        if (!command.owns_lock()) {
            wake_.wait(lock);
            continue;
        }
        std::shared_ptr<SpreadsheetApp> idle = std::move(app_);
        lock.unlock();
        idle.reset();
        command.unlock();
        lock.lock();
    }
}

KeptOffice& SharedExchangeOffice()
{
    static KeptOffice office;
    return office;
}

}  // namespace trevolo
