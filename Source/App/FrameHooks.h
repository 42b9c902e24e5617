// Work the main loop does for other modules between frames, as named calls
// the owning modules install at start-up (main.cpp). An unset hook is
// skipped. UI thread only.
#pragma once

#include <cstdint>

struct AppState;

struct FrameHooks {
    // Frame step 3: saves every queued snapshot (under the snapshot-queue
    // mutex) and refreshes the session list when the queue was not empty.
    void (*saveQueuedSnapshots)(AppState& app) = nullptr;
    // Frame step 9: the media player's newest picture (PopFrame, texture).
    void (*updatePlayerPicture)(AppState& app) = nullptr;
    // Frame step 18: one parameter-history sample of every ready camera.
    void (*sampleParameters)(AppState& app) = nullptr;
    // Frame step 19: the once-a-second low-storage check (on the monotonic
    // clock, whatever the frame rate; stops every recording below the limit).
    void (*checkStorage)(AppState& app) = nullptr;
    // Stops every recording and saves the session data and the settings
    // (low storage, the system going to sleep).
    void (*emergencyStop)(AppState& app) = nullptr;
};

FrameHooks& Hooks();
