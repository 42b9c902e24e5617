// The control bar's playback controls while a video is open: the scrubber
// row across the top band, then previous / play-pause-replay / next and the
// time text in the bottom band. Drawn inside the "ControlBar" window.
// UI thread only.
#pragma once

struct AppState;

namespace ui {

void VideoControls(AppState& app);

}  // namespace ui
