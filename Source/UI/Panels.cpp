#include "UI/Panels.h"

#include "UI/ControlBar.h"
#include "UI/CrawlerInfo.h"
#include "UI/DiagnosticsPanel.h"
#include "UI/FileListPanel.h"
#include "UI/FirmwarePopup.h"
#include "UI/ImageControls.h"
#include "UI/ImageView.h"
#include "UI/LightView.h"
#include "UI/MainWindow.h"
#include "UI/MediaSelection.h"
#include "UI/OnScreenKeyboard.h"
#include "UI/SessionPopup.h"
#include "UI/SettingsPanel.h"
#include "UI/TitleBar.h"
#include "UI/VideoControls.h"
#include "UI/VideoView.h"

namespace ui {

// One line per panel or popup. The camera view layout popup, the export
// progress, the confirmation dialog and the alert popup are the main
// window's own. The axis editor is drawn by the crawler info popup, on top
// of it.
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
    panels.fileListPanel = DrawFileListPanel;
    panels.videoView = VideoView;
    panels.imageView = ImageView;
    panels.loadFirstMedia = LoadFirstMedia;
    panels.playbackControls = VideoControls;
    panels.mediaNavigation = ImageControls;
    panels.hasViewableMedia = HasViewableMedia;
    panels.sessionPopups = DrawSessionPopups;
    panels.keyboard = DrawKeyboard;
}

}  // namespace ui
