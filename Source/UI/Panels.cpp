#include "UI/Panels.h"

#include "UI/ControlBar.h"
#include "UI/CrawlerInfo.h"
#include "UI/DiagnosticsPanel.h"
#include "UI/FirmwarePopup.h"
#include "UI/LightView.h"
#include "UI/MainWindow.h"
#include "UI/SettingsPanel.h"
#include "UI/TitleBar.h"

namespace ui {

// One line per panel or popup. The places that are still empty (file list,
// player views and controls, sessions, keyboard) are listed in
// MainWindowPanels; the camera view layout popup, the export progress, the
// confirmation dialog and the alert popup are the main window's own. The
// axis editor is drawn by the crawler info popup, on top of it.
void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = DrawControlBar;
    panels.settingsPanel = DrawSettingsPanel;
    panels.diagnosticsPanel = DrawDiagnosticsPanel;
    panels.latencyPanel = DrawLatencyWindow;
    panels.lightView = DrawLightView;
    panels.crawlerInfo = DrawCrawlerInfo;
    panels.firmwareUpdate = DrawFirmwarePopup;
}

}  // namespace ui
