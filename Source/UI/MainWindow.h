// The main window: one full-window UI host drawn every frame. Title bar and
// control bar bands, the body (camera layouts, the searching screen, or the
// media player), then the popups in their fixed order and the alert popup.
// UI thread only.
#pragma once

struct AppState;

namespace ui {

// int(88 s); in player mode with an open stream int(20 s) + int(88 s).
float ControlBarHeight(const AppState& app);

void DrawMainWindow(AppState& app);

// Contents of the bands and the player body, drawn by their own panels when
// they exist; each may be left unset (the band then stays empty).
using PanelDrawFn = void (*)(AppState& app);
struct MainWindowPanels {
    PanelDrawFn titleBar = nullptr;     // inside "TitleBar"
    PanelDrawFn controlBar = nullptr;   // inside "ControlBar"
    PanelDrawFn playerBody = nullptr;   // inside "Player" in player mode
    PanelDrawFn settingsPanel = nullptr;     // inside "SettingsPanel" (PanelFlags 0x01, camera mode)
    PanelDrawFn diagnosticsPanel = nullptr;  // inside "DiagPanel" (PanelFlags 0x10, camera mode)
    PanelDrawFn popups = nullptr;       // the popups before the alert popup, in their order
    PanelDrawFn overlay = nullptr;      // drawn last into the main window (on-screen keyboard)
};
MainWindowPanels& Panels();

}  // namespace ui
