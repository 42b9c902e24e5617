// The session store: the storage folder's sessions, the current session, the
// session clock, the current session's parameter history and the media
// information cache. A session is a named job; its files lie side by side in
// the one flat storage folder and belong to it by their name prefix.
//
// Threads: UI thread only. It reads each camera slot's recording state under
// that slot's lock and its recorder lock (through AV::Stream).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Base/Path.h"
#include "Base/Settings.h"
#include "Session/Session.h"
#include "Session/SessionData.h"

namespace AV {
struct CameraSlot;
struct MediaPlayer;
}  // namespace AV

// The file the player shows, for the player controls and the title bar.
struct ViewedMedia {
    platform::FileInfo file;
    Path path;
    std::string sessionName;
    MediaEntry entry;
};

class SessionStore {
public:
    // `elapsed` and `base` are the two halves of the session clock; the main
    // loop advances `elapsed`, the store sets both when a session becomes current.
    SessionStore(Settings& settings, int64_t& elapsed, int64_t& base);

    // ---- connections to the rest of the program (all optional) ---------------
    void SetPlayer(AV::MediaPlayer* player) { player_ = player; }
    void SetActiveSlots(const std::vector<AV::CameraSlot*>* slots) { activeSlots_ = slots; }
    // Stores the live cameras' recent presets and writes the settings file.
    void SetSaveSettings(std::function<void()> save) { saveSettings_ = std::move(save); }

    // ---- operations --------------------------------------------------------------
    const Session& CurrentSession() const;
    // Index of the session with exactly this name, or a new one whose data
    // file is written now. -1 (nothing created) for a name that could not be a
    // file name. Surrounding spaces are dropped, as the folder scan drops them.
    int FindOrCreateSession(const std::string& requested);
    void RefreshSessions();
    Path StorageFolder() const { return Path(settings_.SessionDirectory); }
    Path MediaPath(int sessionIndex, const MediaEntry& entry) const;
    // The cache record of a full path, created zeroed when absent.
    MediaInfo& MediaInfoFor(const std::string& path);
    // The cache record of a session's entry, filled as the refresh fills it
    // (file facts, a video's duration); the file list calls it for every row.
    MediaInfo& FillMediaInfo(int sessionIndex, const MediaEntry& entry);
    int64_t SessionTimeNow() const { return elapsed_ + base_; }
    // Stops the player and hands the file to it with the history of its camera.
    void OpenMedia(int sessionIndex, const MediaEntry& entry, bool play);
    // Saves the current session's history (shut-down and the emergency stop).
    // False when there is no current session or the save failed.
    bool SaveCurrentSessionData();
    // Video duration of a path: recording seconds while a view records to it,
    // else from the file. False (duration -1) only for a negative duration.
    bool MeasureVideoDuration(const std::string& path, double* seconds) const;
    // True when an active camera view records to exactly this path (and its
    // recorded seconds so far).
    bool IsBeingRecorded(const std::string& path, double* recordedSeconds = nullptr) const;
    void StopPlayer();
    // Recordings that ended without the Record control (the connection was
    // lost, the view was suspended, a write failed): their paths are
    // cleared. (A file left empty because no key frame arrived has already
    // been removed by the recorder.) RefreshSessions runs it first.
    void ReapEndedRecordings();

    // ---- state (UI thread) ---------------------------------------------------------
    std::vector<Session> sessions;
    int32_t currentIndex = -1;
    std::string currentName;
    Session defaultSession{kDefaultSessionName, {}};
    std::vector<std::vector<MediaEntry>> viewable;  // Video and Image entries per session
    int32_t selectedList = -1;
    int32_t selectedFile = -1;
    SessionData data;  // the current session's history
    ViewedMedia viewed;
    // The history the player shows with the opened file (its camera's).
    std::unique_ptr<CameraHistory> playerHistory;

private:
    void RefreshMediaInfo(int sessionIndex, const MediaEntry& entry, MediaInfo* info);
    void RepairSelection(int prevViewable);

    Settings& settings_;
    int64_t& elapsed_;
    int64_t& base_;
    std::unordered_map<std::string, MediaInfo> mediaInfo_;  // never pruned while running
    AV::MediaPlayer* player_ = nullptr;
    const std::vector<AV::CameraSlot*>* activeSlots_ = nullptr;
    std::function<void()> saveSettings_;
};

// Number of Video and Image entries of a session's media.
int CountViewable(const std::vector<MediaEntry>& media);
