// Section index: store basics | refresh | media information | player hand-over
#include "Session/SessionStore.h"

#include <algorithm>

#include "Base/Log.h"
#include "Base/Text.h"
#include "Video/AV/DurationProbe.h"
#include "Session/Library.h"
#include "Session/RecordingRepair.h"
#include "Session/SessionFile.h"
#include "Video/AV/CameraSlot.h"
#include "Video/AV/MediaPlayer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

// ---- store basics -------------------------------------------------------------------

namespace {

// The session clock never goes past a million hours: a name with more hours
// no longer parses back, and a time read from a damaged data file (NaN, a
// negative or astronomically large sample time) must neither overflow the
// conversion nor name every later recording so that the library never lists it.
constexpr double kMaxSessionTime_s = 1000000.0 * 3600.0;

int64_t SessionMicros(double seconds) {
    if (!(seconds > 0)) return 0;  // NaN and negatives included
    if (seconds > kMaxSessionTime_s) seconds = kMaxSessionTime_s;
    return static_cast<int64_t>(seconds * 1000000.0);
}

}  // namespace

int CountViewable(const std::vector<MediaEntry>& media) {
    int n = 0;
    for (const MediaEntry& e : media)
        if (e.type == MediaType::Video || e.type == MediaType::Image) ++n;
    return n;
}

SessionStore::SessionStore(Settings& settings, int64_t& elapsed, int64_t& base)
    : settings_(settings), elapsed_(elapsed), base_(base) {}

const Session& SessionStore::CurrentSession() const {
    if (currentIndex >= 0 && currentIndex < static_cast<int32_t>(sessions.size())) return sessions[currentIndex];
    return defaultSession;
}

int SessionStore::FindOrCreateSession(const std::string& requested) {
    // The folder scan trims the name it reads back from a file name, so a
    // name with surrounding spaces would come back as another session and its
    // data file would never be loaded again: the spaces are dropped here.
    const std::string name = TrimUnicodeSpace(requested);
    for (size_t i = 0; i < sessions.size(); ++i)
        if (sessions[i].name == name) return static_cast<int>(i);
    if (!IsAcceptableSessionName(name)) {
        LOGF(LOG_WARN, LOG_SRC_SESSION, "FindOrCreateSession | refused session name \"%s\"",
                 name.c_str());
        return -1;
    }
    sessions.push_back(Session{name, {}});
    SessionData fresh;
    SaveSessionData(StorageFolder(), name, fresh);
    return static_cast<int>(sessions.size()) - 1;
}

Path SessionStore::MediaPath(int sessionIndex, const MediaEntry& entry) const {
    const std::string& name = (sessionIndex >= 0 && sessionIndex < static_cast<int>(sessions.size()))
                                  ? sessions[sessionIndex].name
                                  : defaultSession.name;
    return Join(StorageFolder(), MediaFileName(name, entry));
}

bool SessionStore::SaveCurrentSessionData() {
    if (currentIndex < 0 || currentName.empty()) return false;
    return SaveSessionData(StorageFolder(), currentName, data);
}

void SessionStore::StopPlayer() {
    if (player_ == nullptr) return;
    // The file may be about to go (deletion) or the selection to change: the
    // viewer starts again from the selection.
    AV::UnloadMedia(player_);
    viewed = ViewedMedia{};
}

// ---- refresh ----------------------------------------------------------------------------

void SessionStore::ReapEndedRecordings() {
    // The recorder removes a file it stopped before the first key frame
    // itself (whichever way it stopped), so only the paths are cleared here;
    // the frame step usually clears them first.
    if (activeSlots_ == nullptr) return;
    for (AV::CameraSlot* slot : *activeSlots_) {
        std::string path;
        {
            std::lock_guard<std::mutex> hold(slot->lock);
            path = slot->recordingPath;
        }
        if (path.empty() || slot->stream.IsRecording()) continue;
        std::lock_guard<std::mutex> hold(slot->lock);
        if (slot->recordingPath == path) slot->recordingPath.clear();
    }
}

void SessionStore::RefreshSessions() {
    ReapEndedRecordings();
    std::string prevName;
    int prevViewable = 0;
    if (currentIndex >= 0 && currentIndex < static_cast<int32_t>(sessions.size())) {
        prevName = sessions[currentIndex].name;
        prevViewable = CountViewable(sessions[currentIndex].media);
    }

    sessions = ScanLibrary(StorageFolder());
    const int count = static_cast<int>(sessions.size());

    int candidate = currentIndex;
    if (currentName.empty() && count > 0) {
        for (int i = 0; i < count; ++i) {
            if (sessions[i].name == settings_.RecentSession) {
                candidate = i;
                break;
            }
        }
    }
    if (!prevName.empty()) {
        for (int i = 0; i < count; ++i) {
            if (sessions[i].name == prevName) {
                candidate = i;
                break;
            }
        }
    }

    bool changed = false;
    if (count == 0) {
        currentIndex = -1;
    } else {
        currentIndex = std::clamp(candidate, 0, count - 1);
        if (sessions[currentIndex].name != currentName) {
            currentName = sessions[currentIndex].name;
            selectedList = -1;
            selectedFile = -1;
            elapsed_ = 0;
            base_ = 0;
            changed = true;
            LoadSessionData(StorageFolder(), currentName, &data);
        }
        settings_.RecentSession = currentName;
        SaveSessionData(StorageFolder(), currentName, data);
        if (saveSettings_) saveSettings_();
    }

    viewable.assign(sessions.size(), {});
    for (size_t i = 0; i < sessions.size(); ++i) {
        for (const MediaEntry& e : sessions[i].media)
            if (e.type == MediaType::Video || e.type == MediaType::Image) viewable[i].push_back(e);
    }

    RepairSelection(prevViewable);

    if (count > 0 && !sessions[currentIndex].media.empty()) {
        if (changed) base_ = SessionMicros(LatestSampleTime(data));
        for (const MediaEntry& e : sessions[currentIndex].media) {
            const Path path = MediaPath(currentIndex, e);
            MediaInfo& info = MediaInfoFor(path.Text());
            RefreshMediaInfo(currentIndex, e, &info);
            if (changed) {
                const int64_t end = e.time + (info.duration < 0 ? -1000000 : SessionMicros(info.duration));
                if (end >= base_) base_ = std::min<int64_t>(end, SessionMicros(kMaxSessionTime_s));
            }
        }
    }
}

void SessionStore::RepairSelection(int prevViewable) {
    const int lists = static_cast<int>(viewable.size());
    const int newViewable =
        (currentIndex >= 0 && currentIndex < lists) ? static_cast<int>(viewable[currentIndex].size()) : 0;
    if (selectedList < 0 || lists == 0 || (prevViewable == 0 && newViewable > 0)) {
        StopPlayer();
        selectedList = currentIndex;
        if (currentIndex >= 0 && !viewable[currentIndex].empty()) {
            selectedFile = 0;
            return;
        }
        for (int i = 0; i < lists; ++i) {
            if (!viewable[i].empty()) {
                selectedList = i;
                selectedFile = 0;
                return;
            }
        }
        selectedList = -1;
        selectedFile = -1;
        return;
    }
    int list = std::min(selectedList, lists - 1);
    for (int step = 0; step < lists; ++step) {
        if (!viewable[list].empty()) {
            selectedList = list;
            selectedFile = std::clamp(selectedFile, 0, static_cast<int>(viewable[list].size()) - 1);
            return;
        }
        list = (list + 1) % lists;
    }
    selectedList = -1;
    selectedFile = -1;
}

// ---- media information ----------------------------------------------------------------

MediaInfo& SessionStore::MediaInfoFor(const std::string& path) { return mediaInfo_[path]; }

MediaInfo& SessionStore::FillMediaInfo(int sessionIndex, const MediaEntry& entry) {
    MediaInfo& info = MediaInfoFor(MediaPath(sessionIndex, entry).Text());
    RefreshMediaInfo(sessionIndex, entry, &info);
    return info;
}

void SessionStore::RefreshMediaInfo(int sessionIndex, const MediaEntry& entry, MediaInfo* info) {
    const Path path = MediaPath(sessionIndex, entry);
    info->entry = entry;
    if (info->file.lastWrite == 0) {
        platform::FileInfo file;
        if (platform::GetFileInfo(path, &file)) info->file = file;  // a failure is retried next time
    }
    if (entry.type == MediaType::Video && info->duration == 0 && !IsBeingRecorded(path.Text())) {
        // A recording that its program never finished (it ended during the
        // recording) is made whole here, or listed with its real duration.
        double seconds = 0;
        switch (CheckRecording(path, &seconds)) {
            case RecordingState::Whole:
            case RecordingState::Repaired:
            case RecordingState::Unfinished:
                info->duration = seconds;
                break;
            case RecordingState::Removed:
            case RecordingState::Unreadable:
                info->duration = -1;
                break;
        }
        // A repaired file has a new size and time.
        platform::FileInfo file;
        if (platform::GetFileInfo(path, &file)) info->file = file;
    }
}

bool SessionStore::IsBeingRecorded(const std::string& path, double* recordedSeconds) const {
    if (activeSlots_ == nullptr) return false;
    for (AV::CameraSlot* slot : *activeSlots_) {
        bool same;
        {
            std::lock_guard<std::mutex> hold(slot->lock);
            same = !slot->recordingPath.empty() && slot->recordingPath == path;
        }
        if (same && slot->stream.IsRecording()) {
            if (recordedSeconds != nullptr) *recordedSeconds = slot->stream.RecordedSeconds();
            return true;
        }
    }
    return false;
}

bool SessionStore::MeasureVideoDuration(const std::string& path, double* seconds) const {
    double recorded = 0;
    if (IsBeingRecorded(path, &recorded)) {
        *seconds = recorded;
        return true;
    }
    // The container's duration, else the time stamps of the last packets (a
    // recording cut short has no duration). A file that does not open or
    // holds no video is "could not be measured" (-1): it is marked in the
    // list and not opened again on every frame.
    const int64_t value = AV::ProbeFileDuration_us(path);
    if (value <= 0) {
        *seconds = -1;
        return false;
    }
    *seconds = static_cast<double>(value) / 1000000.0;
    return true;
}

// ---- player hand-over ------------------------------------------------------------------

void SessionStore::OpenMedia(int sessionIndex, const MediaEntry& entry, bool play) {
    if (sessionIndex < 0 || sessionIndex >= static_cast<int>(sessions.size())) return;
    StopPlayer();
    const Path path = MediaPath(sessionIndex, entry);
    LOGF(LOG_INFO, LOG_SRC_SESSION, "OpenMedia | %s%s", path.CStr(), play ? " (playing)" : "");
    MediaInfo& info = MediaInfoFor(path.Text());
    RefreshMediaInfo(sessionIndex, entry, &info);

    viewed.file = info.file;
    viewed.path = path;
    viewed.sessionName = sessions[sessionIndex].name;
    viewed.entry = entry;
    if (player_ != nullptr) player_->currentPicture.reset();

    SessionData other;
    LoadSessionData(StorageFolder(), sessions[sessionIndex].name, &other);
    playerHistory.reset();
    for (auto& camera : other.cameras) {
        if (static_cast<uint32_t>(camera->Id()) == entry.cameraId) {
            playerHistory = std::move(camera);
            break;
        }
    }
    if (!playerHistory) playerHistory = std::make_unique<CameraHistory>();

    if (player_ == nullptr) return;
    AV::MediaKind kind = AV::MediaKind::Other;
    if (entry.type == MediaType::Video) kind = AV::MediaKind::Video;
    if (entry.type == MediaType::Image) kind = AV::MediaKind::Image;
    AV::LoadMedia(player_, path.Text(), kind, play, IsBeingRecorded(path.Text()));
}
