#include "Session/Export.h"

#include <cstdio>
#include <memory>

#include "Base/Log.h"
#include "Base/Thread.h"
#include "Base/FileServices.h"

namespace {

constexpr uint64_t kLargeFile_bytes = 0x40000000ULL;

struct CopyJob {
    Path source;
    Path destination;
    uint64_t size = 0;
    bool large = false;
};

// Owned by the copy thread from its start; released when it ends.
struct CopyTask {
    std::vector<CopyJob> jobs;
    CopyProgressRoutine routine;
    int64_t total = 0;
};

void LogCopyFailure(const Path& from, const Path& to) {
    LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not copy from %s to %s", from.CStr(),
             to.CStr());
}

void RunCopyLoop(CopyTask& task) {
    int64_t done = 0;
    for (const CopyJob& job : task.jobs) {
        const Path temporary = ExportTemporaryPath(job.destination);
        const int64_t before = done;
        // The report that a file is complete waits until it has its final name.
        auto onProgress = [&](uint64_t /*totalBytes*/, uint64_t copied) {
            if (copied >= job.size) return platform::CopyProgress::Continue;
            const bool goOn = task.routine(task.total, before + static_cast<int64_t>(copied), true);
            return goOn ? platform::CopyProgress::Continue : platform::CopyProgress::Stop;
        };
        bool ok = platform::CopyFileWithProgress(job.source, temporary, job.large, onProgress);
        if (ok && std::rename(temporary.CStr(), job.destination.CStr()) != 0) ok = false;
        if (ok) task.routine(task.total, before + static_cast<int64_t>(job.size), true);
        if (!ok) {
            platform::DeleteFile(temporary);  // usually gone already; never leave it behind
            LogCopyFailure(job.source, job.destination);
            task.routine(task.total, done, false);
            return;
        }
        done += static_cast<int64_t>(job.size);
    }
}

}  // namespace

Path ExportTemporaryPath(const Path& destination) {
    const std::string& text = destination.Text();
    Path temporary(text.substr(0, destination.NameStart()));
    temporary.Append("." + std::string(destination.Name()) + ".orvex-part");
    return temporary;
}

bool StartCopy(std::vector<Path> sources, std::vector<Path> destinations, CopyProgressRoutine routine) {
    if (sources.size() != destinations.size()) return false;
    auto task = std::make_unique<CopyTask>();
    for (size_t i = 0; i < sources.size(); ++i) {
        CopyJob job;
        if (!platform::FileSize(sources[i], &job.size)) return false;
        job.large = job.size >= kLargeFile_bytes;
        job.source = std::move(sources[i]);
        job.destination = std::move(destinations[i]);
        task->total += static_cast<int64_t>(job.size);
        task->jobs.push_back(std::move(job));
    }
    task->routine = std::move(routine);

    base::StartDetachedThread("orvex-export",
                              [task = std::shared_ptr<CopyTask>(std::move(task))] { RunCopyLoop(*task); });
    return true;
}

uint64_t ExportProgress::Begin() {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = Snapshot{};
    state_.status = 1;
    state_.id = nextId_++;
    return state_.id;
}

void ExportProgress::RequestStop() {
    std::lock_guard<std::mutex> hold(lock_);
    state_.stopRequested = true;
}

ExportProgress::Snapshot ExportProgress::Read() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_;
}

bool ExportProgress::Report(uint64_t id, int64_t total, int64_t done, bool ok) {
    std::lock_guard<std::mutex> hold(lock_);
    if (id != state_.id) return false;
    state_.total = total;
    state_.done = done;
    state_.status = ok ? 2 : -1;
    return !state_.stopRequested;
}

CopyProgressRoutine ExportProgress::RoutineFor(uint64_t id) {
    return [this, id](int64_t total, int64_t done, bool ok) { return Report(id, total, done, ok); };
}

ExportProgress& TheExportProgress() {
    static ExportProgress progress;
    return progress;
}

std::pair<int64_t, const char*> SizeWithUnit(int64_t total) {
    if (total > 1000000000) return {total / 1000000000, "GB"};
    if (total > 1000000) return {total / 1000000, "MB"};
    if (total > 1000) return {total / 1000, "KB"};
    return {total, "Bytes"};
}
