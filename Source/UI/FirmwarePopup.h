// The firmware update popup ("ORVEX Camera Update"): confirm, transfer,
// then follow the camera through its restart and report the outcome.
//
// The transfer (UpdateService: connect up to 5 s, the package, the verdict
// up to 3 s) runs on its own named worker thread while the popup keeps
// drawing; the UI thread only looks at the worker's finished flag once per
// frame and joins it after it has finished, so it never waits for it.
//
// UI thread only, except the worker's hand-over record (result and finished
// flag, see FirmwarePopup.cpp).
#pragma once

struct AppState;

namespace ui {

// "Update Now" of the System sub-panel: the popup opens on the next frame
// for camera unit `unit`.
void OpenFirmwarePopup(int unit);
void DrawFirmwarePopup(AppState& app);
// True while a transfer runs (tests, shut-down).
bool FirmwareTransferRunning();
// Shut-down: waits for a transfer that is still running (off the frame loop).
void FinishFirmwareTransfer();

}  // namespace ui
