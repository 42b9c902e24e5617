#include "UI/Panels.h"

#include "UI/ControlBar.h"
#include "UI/FileListPanel.h"
#include "UI/ImageControls.h"
#include "UI/ImageView.h"
#include "UI/MainWindow.h"
#include "UI/MediaSelection.h"
#include "UI/SessionPopup.h"
#include "UI/TitleBar.h"
#include "UI/VideoControls.h"
#include "UI/VideoView.h"

namespace ui {

// One line per panel or popup. The places that are still empty (settings,
// light view, diagnostics, crawler, firmware, latency, keyboard) are listed
// in MainWindowPanels; the camera view layout popup, the export progress, the
// confirmation dialog and the alert popup are the main window's own.
void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = DrawControlBar;
    panels.fileListPanel = DrawFileListPanel;
    panels.videoView = VideoView;
    panels.imageView = ImageView;
    panels.loadFirstMedia = LoadFirstMedia;
    panels.playbackControls = VideoControls;
    panels.mediaNavigation = ImageControls;
    panels.hasViewableMedia = HasViewableMedia;
    panels.sessionPopups = DrawSessionPopups;
}

}  // namespace ui
