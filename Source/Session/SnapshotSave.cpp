#include "Session/SnapshotSave.h"

#include "Base/Alerts.h"
#include "Base/FileServices.h"

MediaEntry SnapshotEntry(const CaptureRequest& request) {
    MediaEntry e;
    e.type = static_cast<MediaType>(request.mediaType);
    e.time = request.sessionTime;
    e.cameraId = static_cast<uint32_t>(request.cameraId);
    e.cameraSlot = request.group;
    return e;
}

bool SaveMediaFile(SessionStore& store, const MediaEntry& entry, const uint8_t* bytes, size_t length) {
    const Path path = store.MediaPath(store.currentIndex, entry);
    // "-part" after the extension keeps the temporary name from parsing as media.
    const bool ok = bytes != nullptr && length > 0 && platform::WriteFileReplacing(path, Path(path.Text() + "-part"), bytes, length);
    if (!ok)
        PostAlert((entry.type == MediaType::Image ? "Error saving image to " : "Error saving to ") + path.Text(),
                  LOG_ERROR);
    return ok;
}

void SavePendingSnapshots(SnapshotSaveQueue& queue, SessionStore& store) {
    std::lock_guard<std::mutex> hold(queue.Lock());
    std::vector<CaptureRequest>& items = queue.Items_locked();
    if (items.empty()) return;
    for (const CaptureRequest& r : items) SaveMediaFile(store, SnapshotEntry(r), r.jpeg.data(), r.jpeg.size());
    store.RefreshSessions();
    items.clear();
}
