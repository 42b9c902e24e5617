// The control bar's contents: in camera mode the capture controls (Record or
// Stop, Snapshot) and the player-mode button; in player mode the camera-mode
// button. Drawn every frame inside the "ControlBar" panel. UI thread.
#pragma once

struct AppState;

namespace ui {

void DrawControlBar(AppState& app);

// Opens the session popup (Record or Snapshot pressed with no session open).
// Installed by the session manager; without it the press does nothing.
using SessionPopupRequestFn = void (*)(AppState& app);
void SetSessionPopupRequest(SessionPopupRequestFn request);

// Per-frame counts over the active slots (flags read under each slot lock).
struct CaptureCounts {
    int recording = 0;    // live slots whose recording flag is set
    int canRecord = 0;    // live, record-enabled, not capturing a still
    int canSnapshot = 0;  // live, snapshot-enabled, not capturing
};
CaptureCounts CountCaptureSlots(const AppState& app);

}  // namespace ui
