#include "UI/Panels.h"

#include "UI/ControlBar.h"
#include "UI/MainWindow.h"
#include "UI/TitleBar.h"

namespace ui {

// One line per panel or popup. The places that are still empty (settings,
// light view, file list, diagnostics, player views and controls, crawler,
// sessions, firmware, latency, keyboard) are listed in MainWindowPanels; the
// camera view layout popup, the export progress, the confirmation dialog and
// the alert popup are the main window's own.
void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = DrawControlBar;
}

}  // namespace ui
