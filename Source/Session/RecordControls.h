// The Record control's actions and the recording safety net: starting and
// stopping the recordings of every active camera slot into the current
// session, the emergency stop, and the once-a-second low-storage watchdog.
//
// Threads: UI thread. Each slot's recorder is reached through its stream
// (recorder lock) and its recording path under the slot lock.
#pragma once

#include <functional>
#include <vector>

#include "Session/SessionStore.h"
#include "Session/StorageMonitor.h"

namespace AV {
struct CameraSlot;
}

// Stopping below this many free bytes keeps the files that are being
// written readable.
constexpr int64_t kLowStorage_bytes = 50000000;

struct RecordingContext {
    SessionStore& store;
    const std::vector<AV::CameraSlot*>& activeSlots;
    // Stores the live cameras' recent presets and writes the settings file.
    std::function<void()> saveSettings;
    // Keeps the system and the display awake while true (logind inhibitor).
    std::function<void(bool recording)> holdAwake;
};

// True when the recorder of any active slot has an output stream.
bool IsAnyRecording(const std::vector<AV::CameraSlot*>& activeSlots);

// Stops one slot's recording (the settings panel's "Apply Anyway"); a file
// stopped before its first key frame is removed.
void StopSlotRecording(AV::CameraSlot* slot);

// Record pressed while nothing records. False (nothing started) when no
// session is open: the caller opens the session popup instead.
bool StartRecordings(RecordingContext& context);
// Record pressed while something records. A recording stopped before its
// first key frame leaves an empty file; it is removed here so the list never
// shows it as a broken video.
void StopRecordings(RecordingContext& context);
// Stops every recording, saves the session data and the settings
// (low storage, low power, sleep).
void EmergencyStop(RecordingContext& context);

// The main loop's once-a-second check of the free space measured by the
// storage monitor. It runs on the monotonic clock, not on the frame times
// (which are capped per frame), so a busy machine still checks every second.
class LowStorageWatchdog {
public:
    // Called every frame with the monotonic clock; checks when at least one
    // second has passed since the last check (at once on the first call).
    void Step(int64_t now_us, RecordingContext& context, StorageMonitor& monitor);

private:
    int64_t lastCheck_us_ = 0;
    bool checked_ = false;
};
