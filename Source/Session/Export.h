// Export: copying media out of the storage folder on a detached copy thread,
// and the progress record the export popup reads every frame.
//
// Each copy is written under a temporary name beside its destination and
// renamed over the destination only when complete, so a stopped, failed or
// crashed export never leaves a partial file under a final name.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "Base/Path.h"
#include "Base/ThreadSafety.h"

// (total, done, ok) -> true to go on, false to stop. Called on the copy thread.
using CopyProgressRoutine = std::function<bool(int64_t total, int64_t done, bool ok)>;

// Starts the detached copy thread over the pairs; false when the lists differ
// in length or a source's size cannot be read.
bool StartCopy(std::vector<Path> sources, std::vector<Path> destinations, CopyProgressRoutine routine);

// The name a copy is written under until it is complete.
Path ExportTemporaryPath(const Path& destination);

// The one export progress record shared by the copy thread and the UI thread.
// Every field is read and written under one lock, so a report is never seen
// half-written. Each export gets an id when it starts; reports carrying
// another id (a stopped export's thread still finishing) are ignored and told
// to stop, so they are never taken for the current export's.
class ExportProgress {
public:
    struct Snapshot {
        int64_t total = 0;
        int64_t done = 0;
        int32_t status = 0;  // 1 started, 2 last report good, -1 failed
        bool stopRequested = false;
        uint64_t id = 0;
    };

    // UI thread: a new export; status 1, counts 0, stop cleared. Returns its id.
    uint64_t Begin();
    // UI thread: asks the current export to stop.
    void RequestStop();
    Snapshot Read() const;
    // The popup's routine for the export `id`: stores the report when `id` is
    // still current and answers whether to continue.
    CopyProgressRoutine RoutineFor(uint64_t id);

private:
    bool Report(uint64_t id, int64_t total, int64_t done, bool ok);

    mutable std::mutex lock_;
    Snapshot state_ GUARDED_BY(lock_);
    uint64_t nextId_ GUARDED_BY(lock_) = 1;
};

// The program's record (static storage: detached copy threads may outlive any UI object).
ExportProgress& TheExportProgress();

// For "There was a problem copying files. Please check disk space (%d %s required)".
std::pair<int64_t, const char*> SizeWithUnit(int64_t totalBytes);
