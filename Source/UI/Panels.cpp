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

namespace {

// The popups before the alert popup, in their fixed order.
void DrawPopups(AppState& app) {
    DrawLatencyWindow(app);
    DrawLightView(app);
    DrawCrawlerInfo(app);  // the axis editor opens on top of it
    DrawFirmwarePopup(app);
}

}  // namespace

void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = DrawControlBar;
    panels.settingsPanel = DrawSettingsPanel;
    panels.diagnosticsPanel = DrawDiagnosticsPanel;
    panels.popups = DrawPopups;
}

}  // namespace ui
