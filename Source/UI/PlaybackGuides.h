// The guides over played media: the camera's guide parameters as the session
// history holds them at the shown moment, drawn over the picture while the
// guides themselves and the control bar's overlay switch are both on.
// UI thread only.
#pragma once

struct CameraHistory;

namespace ui {

// `history`: the played file's camera; `group`: its channel; `timeS`:
// session time of the shown picture in seconds; the rectangle in screen pixels.
void DrawPlaybackGuides(const CameraHistory* history, int group, double timeS, bool showGuides, float x0, float y0,
                        float x1, float y1);

}  // namespace ui
