// "FileListPanel": the media of every session, grouped per session under a
// collapsible header and per day under a heading; a click shows a file in
// the player. In select mode files are ticked and exported (folder picker,
// copy thread, progress popup) or deleted (confirmation, progress popup).
// Drawn every frame in player mode at the main window's file-list place.
// UI thread only.
#pragma once

#include "UI/LayoutMath.h"

struct AppState;

namespace ui {

void DrawFileListPanel(AppState& app, ViewRect place);

}  // namespace ui
