// The program's sessions: its one session store (bound to AppState's
// settings and session clock), the snapshot queue, the storage monitor and
// the media player, and the calls main() makes at start-up, every frame
// (through FrameHooks) and at shut-down. UI thread.
#pragma once

#include "Session/RecordControls.h"
#include "Session/SessionStore.h"
#include "Session/StorageMonitor.h"
#include "Video/AV/SlotSnapshot.h"

struct AppState;
class MediaDeletion;
namespace AV {
struct MediaPlayer;
}

SessionStore& Sessions();
SnapshotSaveQueue& SnapshotQueue();
StorageMonitor& TheStorageMonitor();
AV::MediaPlayer& Player();
// The file and session deletion lists of the delete popups.
MediaDeletion& Deletions();
// The record controls' view of the program (store, active slots, settings save).
RecordingContext& Recording();

// Start-up step 8: keeps or chooses the storage folder.
void ChooseStorageFolderAtStartup(AppState& app);
// Start-up step 22: "Read session data", installs the frame hooks (snapshot
// saving, sampling, free space, emergency stop) and the first refresh.
void ReadSessionData(AppState& app);
// Start-up step 24: the storage monitor (measures in every mode).
void StartStorageMonitor(AppState& app);
// Shut-down step 2: stops the storage monitor and saves the current
// session's history, so nothing sampled since the last refresh is lost.
void StopSessions(AppState& app);
// Shut-down step 5: drops the player's pictures and stops its thread.
void StopMediaPlayer();

// The control bar's Snapshot action. False when no session is open (the
// caller opens the session popup instead).
bool PressSnapshot(AppState& app);
