#include "Session/RecordControls.h"

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

// Stops one slot's recording and clears its path. The recorder itself
// removes a file left empty because no key frame arrived.
void StopSlotRecording(AV::CameraSlot* slot) {
    {
        std::lock_guard<std::mutex> hold(slot->lock);
        slot->recordingPath.clear();
        slot->recordingStartTime = 0;
        slot->recordingSessionTime = 0;
    }
    slot->stream.StopRecording();
}

bool IsAnyRecording(const std::vector<AV::CameraSlot*>& activeSlots) {
    for (AV::CameraSlot* slot : activeSlots)
        if (slot->stream.IsRecording()) return true;
    return false;
}

bool StartRecordings(RecordingContext& context) {
    SessionStore& store = context.store;
    if (store.currentIndex < 0) return false;
    for (AV::CameraSlot* slot : context.activeSlots) {
        int32_t cameraId;
        {
            picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
            std::lock_guard<std::mutex> hold(service->tableLock);
            cameraId = service->groups[0].params[picam::CameraId].value;
        }
        if (!slot->recordEnabled || (slot->Flags() & AV::kSlotStreaming) == 0) continue;
        MediaEntry entry;
        entry.type = MediaType::Video;
        entry.time = store.SessionTimeNow();
        entry.cameraId = static_cast<uint32_t>(cameraId);
        entry.cameraSlot = slot->channel;
        const std::string path = store.MediaPath(store.currentIndex, entry).Text();
        {
            std::lock_guard<std::mutex> hold(slot->lock);
            slot->recordingPath = path;
            slot->recordingStartTime = 0;
            slot->recordingSessionTime = 0;
        }
        if (!slot->stream.StartRecording(path)) {
            PostAlert("Could not start recording. Please ensure adequate disk space.", LOG_ERROR);
            std::lock_guard<std::mutex> hold(slot->lock);
            slot->recordingPath.clear();
        }
    }
    store.RefreshSessions();
    if (context.holdAwake) context.holdAwake(IsAnyRecording(context.activeSlots));
    return true;
}

void StopRecordings(RecordingContext& context) {
    for (AV::CameraSlot* slot : context.activeSlots) StopSlotRecording(slot);
    context.store.RefreshSessions();
    if (context.holdAwake) context.holdAwake(false);
}

void EmergencyStop(RecordingContext& context) {
    for (AV::CameraSlot* slot : context.activeSlots) StopSlotRecording(slot);
    context.store.SaveCurrentSessionData();
    if (context.saveSettings) context.saveSettings();
    if (context.holdAwake) context.holdAwake(false);
}

void LowStorageWatchdog::Step(int64_t now_us, RecordingContext& context, StorageMonitor& monitor) {
    if (checked_ && now_us - lastCheck_us_ < 1000000) return;
    // A stall longer than a second does not make the checks that were due
    // run back to back: the next one is a second after this one.
    lastCheck_us_ = now_us;
    checked_ = true;
    monitor.SetFolder(context.store.StorageFolder().Text());
    {
        std::lock_guard<std::mutex> hold(monitor.Lock());
        // Compared unsigned, so the unknown value (-1) never counts as low.
        if (static_cast<uint64_t>(monitor.FreeBytes_locked()) < static_cast<uint64_t>(kLowStorage_bytes)) {
            if (IsAnyRecording(context.activeSlots))
                PostAlert("Storage space is critically low. Recording stopped to ensure file integrity.", LOG_ERROR);
            LOGF(LOG_WARN, LOG_SRC_MAIN, "EmergencyStop - storage space low");
            EmergencyStop(context);
        }
    }
    if (context.holdAwake) context.holdAwake(IsAnyRecording(context.activeSlots));
}
