// StorageMonitor: a background thread that measures the free space of the
// storage folder for the low-storage watchdog. It measures in every mode,
// not only on tablets: a full disk during a recording is exactly what the
// watchdog exists for, on any machine. In tablet mode it also makes the
// probe write into the storage folder (every 5 s, as before the free space
// was measured every second).
//
// Threads: the monitor thread ("orvex-storage") writes the free-space value;
// the UI thread reads it and publishes the folder. Both under `lock_`, held
// only for the read or the write of a value.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Base/ThreadSafety.h"

class StorageMonitor {
public:
    // The free space is measured every `interval_ms` (once a second: a disk
    // that fills during a recording is seen within two seconds).
    explicit StorageMonitor(int interval_ms = 1000) : interval_ms_(interval_ms) {}
    ~StorageMonitor() { Stop(); }
    StorageMonitor(const StorageMonitor&) = delete;
    StorageMonitor& operator=(const StorageMonitor&) = delete;

    // UI thread: starts the measuring thread ("orvex-storage").
    void Start(const std::string& folder, bool tabletMode);
    // UI thread (shut-down): clears the run flag, wakes and joins the thread.
    void Stop();
    // UI thread: the folder to measure from the next round on.
    void SetFolder(const std::string& folder);

    // Free bytes available on the folder's file system; -1 while unknown.
    int64_t FreeBytes();
    // The free-space lock, for callers that act while holding it.
    std::mutex& Lock() RETURN_CAPABILITY(lock_) { return lock_; }
    int64_t FreeBytes_locked() const REQUIRES(lock_) { return freeBytes_; }

    // One measuring round (the thread runs it; tests call it directly).
    void MeasureOnce();

private:
    void Run();

    const int interval_ms_;
    bool tabletMode_ = false;  // set before the thread starts
    int64_t lastProbe_us_ = 0;  // monitor thread: the tablet probe runs every kProbePeriod_us
    std::thread thread_;       // UI thread only
    std::mutex lock_;
    std::condition_variable wake_;
    bool run_ GUARDED_BY(lock_) = false;
    std::string folder_ GUARDED_BY(lock_);
    int64_t freeBytes_ GUARDED_BY(lock_) = -1;
};
