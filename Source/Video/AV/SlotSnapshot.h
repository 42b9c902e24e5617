// Snapshots of a camera slot: RequestSnapshot reads the slot's channel and
// the still settings shown for it, marks the slot capturing and starts a
// capture (Video/Camera/Capture.h). The received file and the facts that name
// it are queued for the UI thread, which writes them unchanged
// (SavePendingSnapshots).
//
// Threads: RequestSnapshot runs on the UI thread; the capture thread touches
// only its request, the SnapshotSaveQueue (under its lock) and the slot flags
// (under the slot lock). Slots and the queue live as long as the process.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "Base/ThreadSafety.h"

namespace AV {
struct CameraSlot;
}

struct CaptureRequest {
    AV::CameraSlot* slot = nullptr;  // the channel the snapshot belongs to
    int32_t imageWidth = 0;          // shown values at request time
    int32_t imageHeight = 0;
    int32_t jpegQuality = 0;
    int32_t mediaType = 2;     // a still image
    int64_t sessionTime = 0;   // session clock at request time, microseconds
    int32_t cameraId = 0;
    int32_t group = 0;         // 0 PRIMARY, 1 SATELLITE
    std::vector<uint8_t> jpeg; // the received file; empty in the request
};

// Pending snapshots: capture threads append, the UI thread drains.
class SnapshotSaveQueue {
public:
    void Push(CaptureRequest request) EXCLUDES(lock_);
    // The snapshot-queue lock and the list it guards (SavePendingSnapshots
    // holds the lock while it saves and refreshes).
    std::mutex& Lock() RETURN_CAPABILITY(lock_) { return lock_; }
    std::vector<CaptureRequest>& Items_locked() REQUIRES(lock_) { return items_; }
    size_t Size() EXCLUDES(lock_);

private:
    std::mutex lock_;
    std::vector<CaptureRequest> items_ GUARDED_BY(lock_);
};

// Builds a request for a streaming slot and starts its capture; a slot that
// is not streaming is left alone. `sessionTimeUs` is the session clock now.
void RequestSnapshot(AV::CameraSlot& slot, int64_t sessionTimeUs, SnapshotSaveQueue& queue);
