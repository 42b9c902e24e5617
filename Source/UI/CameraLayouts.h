// The camera layouts of the main window's body: single view, side by side,
// stacked (both with the splitter when the pictures would be letterboxed)
// and one view with the other inset (with its resize grab). Also the overlay
// fade that shows the grab, the inset frame and the splitter highlight.
// UI thread only.
#pragma once

#include "UI/LayoutMath.h"

struct AppState;

namespace ui {

// Frame step 6 of the main loop's view rules and the body of camera mode:
// draws the views of the active slots in the body rectangle (0, T) .. (R, T + B).
void DrawCameraLayouts(AppState& app, float R, float T, float B);

// The overlay fade value for a countdown (seconds, starting at 1.5).
float OverlayFade(float countdown);

}  // namespace ui
