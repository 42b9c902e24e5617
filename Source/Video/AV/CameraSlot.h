// CameraSlot — one shown camera channel and its live video thread
// (ProcessStream): connect, receive and record, reconnect after every loss,
// for as long as the slot runs. The UI steers the thread only through the
// flags. The video thread hands each access unit to the slot's decoding
// thread (DecodeLive, started and joined by the video thread) through the
// slot's LiveQueue, which skips ahead when decoding falls behind: the
// socket and the recording never wait for the decoder.
//
// Threads: the slot lock guards the flags and the strings; it is never held
// while the stream is processed. The stream and the queue have their own
// locks (Stream.h, LiveQueue.h). The thread handle is touched only by the UI
// thread (start and stop); the decoding thread's handle only by the video
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Base/ThreadSafety.h"
#include "Video/AV/LatencyProbe.h"
#include "Video/AV/Stream.h"

namespace GL {
class VideoFrameGL;
}

namespace AV {

// Raised when a recording slot's camera goes away (its stream closed by
// itself, or the unit was lost).
inline constexpr const char* kConnectionLostAlert =
    "The video connection was lost. The current recording has been stopped.\n";

enum SlotFlags : uint32_t {
    kSlotRun = 0x1,
    kSlotSuspended = 0x2,
    kSlotStreaming = 0x4,
    kSlotRecording = 0x8,
    kSlotCapturing = 0x10,  // a still capture is running (still capture code)
    // Set by StartSlot, cleared by ProcessStream as its last step: while set,
    // the slot's thread has not ended (it may still be waiting on the
    // network after run was cleared) and the slot cannot be started again.
    kSlotThreadLive = 0x20,
};

// Video port of each channel: 0 PRIMARY, 1 SATELLITE.
constexpr int kVideoPorts[2] = {8012, 8013};

struct CameraSlot {
    std::mutex lock;  // the slot lock
    std::thread thread;  // UI thread only

    // Guarded by the slot lock.
    uint32_t flags GUARDED_BY(lock) = 0;
    std::string streamAddress GUARDED_BY(lock);  // "tcp://" address of the last good connection
    Stream::Options streamOptions GUARDED_BY(lock);
    std::string recordingPath GUARDED_BY(lock);
    int64_t recordingStartTime GUARDED_BY(lock) = 0;    // cleared with the recording path
    int64_t recordingSessionTime GUARDED_BY(lock) = 0;  // cleared with the recording path

    // UI thread.
    bool latencyProbeOn = false;
    LatencyProbeState latencyProbe;
    bool recordEnabled = true;
    bool snapshotEnabled = true;
    int viewPosition = 0;  // 0: first (single) view, 1: second view

    // Written by the UI thread only while no video thread runs (before
    // StartSlot); the video thread reads them.
    int cameraIndex = 0;  // index of the unit in picam::ServiceList
    int channel = 0;      // 0 PRIMARY, 1 SATELLITE
    std::shared_ptr<GL::VideoFrameGL> currentPicture;

    Stream stream;
    LiveQueue units;  // video thread -> decoding thread

    uint32_t Flags() EXCLUDES(lock);                              // takes the slot lock
    void SetFlags(uint32_t set, uint32_t clear) EXCLUDES(lock);  // takes the slot lock
};

// The live thread procedure of a slot.
void ProcessStream(CameraSlot* slot);
// The slot's decoding thread: decodes what the queue lets through until the
// queue is closed, and logs (at most every kSkipLogPeriod_ns) what it skipped.
void DecodeLive(CameraSlot* slot);
constexpr int64_t kSkipLogPeriod_ns = 5000000000;

// UI thread: true when the slot has no thread or its thread has ended, so
// that StartSlot will not wait. Checked once per frame by the binding: the UI
// thread never joins a thread that may still be waiting on the network.
bool SlotThreadEnded(CameraSlot* slot);
// UI thread, once SlotThreadEnded: joins the ended thread (at once), sets run,
// clears streaming, stores the options and starts ProcessStream on a thread
// named after the slot's unit and channel. False, with nothing changed, when
// the old thread has not ended yet.
bool StartSlot(CameraSlot* slot, const Stream::Options& options);
// UI thread (shutdown): clear run, join the thread, close the stream and drop
// the current picture.
void StopSlot(CameraSlot* slot);

// UI thread, whenever the layout or the settings panel's show flag changes:
// in single view with the settings panel closed only view position 0
// streams; the others stop recording and are suspended.
void UpdateSlotSuspension(CameraSlot* const* activeSlots, int count, bool singleCameraLayout, bool settingsPanelShown);

}  // namespace AV
