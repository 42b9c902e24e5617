// The system status list and the LED driver diagnostics ("DiagPanel"
// contents): per ready camera unit the seven status rows, then for group 0
// (and group 1 when it is active) the video mode buttons, the stress test,
// the drive sliders, the temperature and power plots drawn from the
// session's parameter history, the ASL/NVM error bytes and the registers.
//
// UI thread only; every read of service data copies one group under
// tableLock; the history belongs to the UI thread (SessionData).
#pragma once

struct AppState;

namespace ui {

// Draws into the current window (the main window opens "DiagPanel").
void DrawDiagnosticsPanel(AppState& app);

}  // namespace ui
