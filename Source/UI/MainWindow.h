// The main window: one full-window UI host drawn every frame. Title bar and
// control bar bands, the docked panels at the body's right edge (camera
// settings, lights, file list, diagnostics), the body (camera layouts, the
// searching screen, or the media player), the latency panel, then every
// popup in its fixed order and the alert popup; last the on-screen keyboard
// over everything. UI thread only.
//
// Panels and popups plug in through MainWindowPanels, filled in one place
// (Panels.cpp, RegisterPanels): one line per panel. An entry left unset
// leaves its place empty (the place, its width and its closing rule stay).
#pragma once

#include <cstdint>

#include "UI/LayoutMath.h"

struct AppState;
namespace AV {
struct CameraSlot;
}

namespace ui {

// int(88 s); in player mode with an open stream int(20 s) + int(88 s).
float ControlBarHeight(const AppState& app);
// The same rule on plain values.
float ControlBarHeight(float uiScale, bool playerMode, bool playerStreamOpen);

void DrawMainWindow(AppState& app);

using PanelDrawFn = void (*)(AppState& app);
using PlacedPanelFn = void (*)(AppState& app, ViewRect place);
using SlotPanelFn = void (*)(AppState& app, AV::CameraSlot* slot);
using MediaCheckFn = bool (*)(AppState& app);

struct MainWindowPanels {
    // ---- bands -----------------------------------------------------------------
    PanelDrawFn titleBar = nullptr;    // inside "TitleBar"
    PanelDrawFn controlBar = nullptr;  // inside "ControlBar"

    // ---- docked at the body's right edge (the main window opens the window at
    // its place; the entry draws the contents) ----------------------------------
    PanelDrawFn settingsPanel = nullptr;     // "SettingsPanel": PanelFlags 0x01, camera mode, 580 s wide
    PanelDrawFn lightPanel = nullptr;        // "LightPanel": 0x02, camera mode (built-in LED sliders when unset)
    PlacedPanelFn fileListPanel = nullptr;   // 0x08, player mode, 440 s wide: draws its own window at the place
    PanelDrawFn diagnosticsPanel = nullptr;  // "DiagPanel": 0x10, camera mode with a camera connected

    // ---- player mode -------------------------------------------------------------
    PanelDrawFn videoView = nullptr;  // body, a video is loaded
    PanelDrawFn imageView = nullptr;  // body, a still is loaded
    // Body, nothing loaded: selects the current session's list and its first
    // file and loads it without playing. False: there is nothing to show.
    MediaCheckFn loadFirstMedia = nullptr;
    // Control bar: with the player's stream open, the scrubber and play/pause
    // (the band above the bottom 88 s); otherwise, when any session has
    // viewable media (hasViewableMedia), previous / next.
    PanelDrawFn playbackControls = nullptr;
    PanelDrawFn mediaNavigation = nullptr;
    MediaCheckFn hasViewableMedia = nullptr;

    // ---- camera mode ---------------------------------------------------------------
    SlotPanelFn latencyPanel = nullptr;  // the first active slot whose latency probe is on

    // ---- popups, drawn in this order after the body --------------------------------
    // (the camera view layout popup, the export progress and the confirmation
    // dialog are the main window's own and come first and last of these)
    PanelDrawFn lightView = nullptr;      // "LightView"
    PanelDrawFn crawlerInfo = nullptr;    // "CrawlerInfo"
    PanelDrawFn axisEditor = nullptr;     // crawler axis editor
    PanelDrawFn sessionPopups = nullptr;  // session manager, delete confirmation, delete progress
    PanelDrawFn firmwareUpdate = nullptr; // firmware update popup

    // ---- over everything -------------------------------------------------------------
    PanelDrawFn keyboard = nullptr;  // on-screen keyboard, drawn into the main window
};
MainWindowPanels& Panels();

// The docked panels' places in a body of width W (R shrinks from the right).
struct DockedPlaces {
    ViewRect settings, light, fileList, diagnostics;
    float bodyWidth = 0;  // R after every shown panel
};
DockedPlaces PlaceDockedPanels(float W, float T, float B, float uiScale, uint32_t panelFlags, bool playerMode,
                               bool cameraConnected);

// Runs UpdateSlotSuspension for the current layout and settings panel.
void UpdateSuspension(AppState& app);

}  // namespace ui
