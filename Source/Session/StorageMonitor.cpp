#include "Session/StorageMonitor.h"

#include <chrono>
#include <vector>

#include "Base/Clock.h"
#include "Base/Thread.h"
#include "Base/FileServices.h"
#include "Base/Log.h"

void StorageMonitor::Start(const std::string& folder, bool tabletMode) {
    Stop();
    {
        std::lock_guard<std::mutex> hold(lock_);
        folder_ = folder;
        run_ = true;
    }
    tabletMode_ = tabletMode;
    thread_ = base::StartThread("orvex-storage", [this] { Run(); });
}

void StorageMonitor::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        run_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void StorageMonitor::SetFolder(const std::string& folder) {
    std::lock_guard<std::mutex> hold(lock_);
    folder_ = folder;
}

int64_t StorageMonitor::FreeBytes() {
    std::lock_guard<std::mutex> hold(lock_);
    return freeBytes_;
}

void StorageMonitor::MeasureOnce() {
    std::string folder;
    {
        std::lock_guard<std::mutex> hold(lock_);
        folder = folder_;
    }
    uint64_t bytes = 0;
    const bool ok = !folder.empty() && platform::FreeSpace(Path(folder), &bytes);
    {
        std::lock_guard<std::mutex> hold(lock_);
        freeBytes_ = ok ? static_cast<int64_t>(bytes) : -1;
    }
    if (!tabletMode_ || folder.empty()) return;
    constexpr int64_t kProbePeriod_us = 5000000;
    const int64_t now_us = MonotonicUs();
    if (lastProbe_us_ != 0 && now_us - lastProbe_us_ < kProbePeriod_us) return;
    lastProbe_us_ = now_us;
    // The tablet's probe: write, read back and remove a small file, which
    // keeps the storage awake and shows early when it stops answering.
    const Path probe = Join(Path(folder), "!");
    static const char kProbeText[] = "KAVOR Industries";
    if (!platform::WriteWholeFile(probe, kProbeText, 16)) return;
    std::vector<uint8_t> back;
    platform::ReadWholeFile(probe, &back);
    if (!platform::DeleteFile(probe))
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", probe.CStr());
}

// run_ is read under lock_, held through the std::unique_lock that the
// condition variable needs; the analysis does not follow std::unique_lock.
void StorageMonitor::Run() NO_THREAD_SAFETY_ANALYSIS {
    std::unique_lock<std::mutex> hold(lock_);
    while (run_) {
        hold.unlock();
        MeasureOnce();
        hold.lock();
        wake_.wait_for(hold, std::chrono::milliseconds(interval_ms_),
                       [this]() NO_THREAD_SAFETY_ANALYSIS { return !run_; });
    }
}
