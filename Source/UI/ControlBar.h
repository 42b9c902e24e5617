// The control bar's contents. Camera mode: the capture controls (Record or
// Stop, Snapshot), the settings, lights and layout toggles at the right, the
// player-mode button in the centre. Player mode: the playback or navigation
// controls of the player (registered in MainWindowPanels), the camera-mode
// button, the file-list and overlay toggles. Drawn every frame inside the
// "ControlBar" panel. UI thread.
#pragma once

struct AppState;

namespace ui {

void DrawControlBar(AppState& app);

// Opens the session manager with its top-left at (x, y): requests
// Popups().session, or calls the routine installed here instead.
using SessionPopupRequestFn = void (*)(AppState& app);
void SetSessionPopupRequest(SessionPopupRequestFn request);
void RequestSessionPopup(AppState& app, float x, float y);

// Per-frame counts over the active slots (flags read under each slot lock).
struct CaptureCounts {
    int recording = 0;    // live slots whose recording flag is set
    int canRecord = 0;    // live, record-enabled, not capturing a still
    int canSnapshot = 0;  // live, snapshot-enabled, not capturing
};
CaptureCounts CountCaptureSlots(const AppState& app);
// Any active slot records (its recording flag, read under the slot lock).
bool AnySlotRecording(const AppState& app);

// The settings toggle: opening selects the main list and, in single view,
// the tab of the shown camera; then the panel flag flips and the slots'
// suspension follows.
void ToggleSettingsPanel(AppState& app);

}  // namespace ui
