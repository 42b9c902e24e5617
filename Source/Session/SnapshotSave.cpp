#include "Session/SnapshotSave.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "App/Alerts.h"

namespace {

// Every byte to `temporary`, then renamed over `path`; the temporary file is
// removed on failure.
bool WriteComplete(const Path& path, const Path& temporary, const uint8_t* bytes, size_t length) {
    const int fd = open(temporary.CStr(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    while (length > 0) {
        const ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
    if (close(fd) != 0) ok = false;
    if (ok && std::rename(temporary.CStr(), path.CStr()) != 0) ok = false;
    if (!ok) unlink(temporary.CStr());
    return ok;
}

}  // namespace

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
    const bool ok = bytes != nullptr && length > 0 && WriteComplete(path, Path(path.Text() + "-part"), bytes, length);
    if (!ok) PostAlert((entry.type == MediaType::Image ? "Error saving image to " : "Error saving to ") + path.Text());
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
