// The one place where the main window's panels and popups are registered.
#pragma once

namespace ui {

// Installs every panel that exists into the main window (MainWindow.h).
void RegisterPanels();

}  // namespace ui
