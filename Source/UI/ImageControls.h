// The control bar's navigation while no video is open: previous and next
// file of the selected session, each loaded playing. Drawn inside the
// "ControlBar" window. UI thread only.
#pragma once

struct AppState;

namespace ui {

void ImageControls(AppState& app);

}  // namespace ui
