// The camera settings panel ("SettingsPanel"): camera tabs, the main list
// (name, the two local switches, the seven sub-panel buttons, "Reset All
// Camera Settings") and the open sub-panel with its Apply/Undo row. Every
// row edits the slot's own copy of its channel's parameter group (the slot
// table) and reaches the camera at once, as a whole-table push, or on
// "Apply Changes".
//
// UI thread only. Service tables are read and written under tableLock, one
// copy per hold; services are reached through ServiceRefs.
#pragma once

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

// Draws the panel's contents into the current window (the main window
// opens "SettingsPanel" at its place); nothing without a camera slot.
void DrawSettingsPanel(AppState& app);

// The latency window of a slot whose latency probe is on (the main window
// calls it for the first such slot).
void DrawLatencyWindow(AppState& app, AV::CameraSlot* slot);

}  // namespace ui
