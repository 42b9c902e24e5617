// Still capture: a snapshot is taken by the camera itself. The program opens
// a TCP connection to the capture port of the channel (8014 + group), the
// camera sends one JPEG file and closes; the program sends nothing. The bytes
// and the facts that name the file are queued for the UI thread, which
// writes them unchanged (SavePendingSnapshots).
//
// Threads: RequestSnapshot and StartCapture run on the UI thread; each
// capture runs on its own short detached thread ("orvex-capture") that
// touches only its job, the SnapshotSaveQueue (under its lock) and the slot
// flags (under the slot lock). Slots and the queue live as long as the process.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace AV {
struct CameraSlot;
}
namespace picam {
class Service;
}

constexpr int kCapturePortBase = 8014;            // + group
constexpr size_t kCaptureBuffer_bytes = 6000000;  // holds a full-resolution still in one piece
// A still larger than this is not a picture; its bytes are dropped rather
// than letting a misbehaving camera grow the buffer without end.
constexpr size_t kCaptureMax_bytes = 32 * kCaptureBuffer_bytes;
constexpr uint32_t kCaptureTimeout_us = 5000000;

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
    void Push(CaptureRequest request);
    // The snapshot-queue lock and the list it guards (SavePendingSnapshots
    // holds the lock while it saves and refreshes).
    std::mutex& Lock() { return lock_; }
    std::vector<CaptureRequest>& Items_locked() { return items_; }
    size_t Size();

private:
    std::mutex lock_;
    std::vector<CaptureRequest> items_;  // guarded by lock_
};

// (data, size): the received file, or (nullptr, 0) when nothing arrived.
using CaptureCallback = std::function<void(const uint8_t* data, size_t size)>;

// Builds a request for a streaming slot and starts its capture; a slot that
// is not streaming is left alone. `sessionTimeUs` is the session clock now.
void RequestSnapshot(AV::CameraSlot& slot, int64_t sessionTimeUs, SnapshotSaveQueue& queue);
// Starts a detached capture thread on the unit's host, port 8014 + group, or
// calls the callback at once (no data) when no host is known.
void StartCapture(picam::Service& service, int group, CaptureCallback callback);
// The capture thread's body: receives one file and hands it to the callback.
void ProcessCapture(const std::string& host, int port, const CaptureCallback& callback);
