#include "UI/Panels.h"

#include "UI/ControlBar.h"
#include "UI/MainWindow.h"
#include "UI/TitleBar.h"

namespace ui {

void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = DrawControlBar;
}

}  // namespace ui
