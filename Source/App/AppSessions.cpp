#include "App/AppSessions.h"

#include <cstdlib>

#include "App/AppState.h"
#include "Base/Clock.h"
#include "App/FrameHooks.h"
#include "Base/Log.h"
#include "Session/Deletion.h"
#include "Session/SnapshotSave.h"
#include "Session/StorageFolder.h"
#include "Video/AV/MediaPlayer.h"

namespace {

void SaveProgramSettings() { SaveSettings(App().settings, App().dataFolder); }

}  // namespace

SessionStore& Sessions() {
    static SessionStore store(App().settings, App().sessionElapsed_us, App().sessionBase_us);
    return store;
}

SnapshotSaveQueue& SnapshotQueue() {
    // Capture threads may still deliver during exit: never destroyed.
    static SnapshotSaveQueue* queue = new SnapshotSaveQueue;
    return *queue;
}

StorageMonitor& TheStorageMonitor() {
    static StorageMonitor monitor;
    return monitor;
}

AV::MediaPlayer& Player() {
    static AV::MediaPlayer player;
    return player;
}

MediaDeletion& Deletions() {
    static MediaDeletion deletion(Sessions());
    return deletion;
}

RecordingContext& Recording() {
    static RecordingContext context{Sessions(), App().activeSlots, SaveProgramSettings, nullptr};
    return context;
}

void ChooseStorageFolderAtStartup(AppState& app) { ChooseStorageFolder(app.settings, app.dataFolder); }

void ReadSessionData(AppState& app) {
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Read session data");
    SessionStore& store = Sessions();
    store.SetActiveSlots(&app.activeSlots);
    store.SetPlayer(&Player());
    store.SetSaveSettings(SaveProgramSettings);
    FrameHooks& hooks = Hooks();
    hooks.saveQueuedSnapshots = [](AppState&) { SavePendingSnapshots(SnapshotQueue(), Sessions()); };
    hooks.sampleParameters = [](AppState&) { SampleCameras(Sessions().data, Sessions().SessionTimeNow()); };
    hooks.checkStorage = [](AppState&) {
        static LowStorageWatchdog watchdog;
        watchdog.Step(MonotonicUs(), Recording(), TheStorageMonitor());
    };
    hooks.emergencyStop = [](AppState&) { EmergencyStop(Recording()); };
    store.RefreshSessions();
}

void StartStorageMonitor(AppState& app) {
    TheStorageMonitor().Start(app.settings.SessionDirectory, app.settings.TabletMode);
}

void StopSessions(AppState& /*app*/) {
    TheStorageMonitor().Stop();
    Sessions().SaveCurrentSessionData();
}

void StopMediaPlayer() {
    AV::MediaPlayer& player = Player();
    player.currentPicture.reset();
    player.imageTexture.reset();
    AV::StopPlayer(&player);
}

bool PressSnapshot(AppState& app) {
    SessionStore& store = Sessions();
    if (store.currentIndex < 0) return false;
    for (AV::CameraSlot* slot : app.activeSlots) {
        if (slot->snapshotEnabled && (slot->Flags() & AV::kSlotStreaming) != 0)
            RequestSnapshot(*slot, store.SessionTimeNow(), SnapshotQueue());
    }
    return true;
}
