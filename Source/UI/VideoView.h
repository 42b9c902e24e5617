// The player's video picture: fitted into the body, drawn by the video draw
// callback, the guides of the shown moment over it, Space and a click on the
// picture toggle pause. UI thread only.
#pragma once

struct AppState;

namespace ui {

void VideoView(AppState& app);
// Drops the draw record's picture (shut-down, before the graphics go).
void ReleaseVideoViewRecord();

}  // namespace ui
