// The player's still: zoomable (wheel, two-finger pinch) and pannable
// (drag) inside its area, with the guides of the moment it was taken.
// UI thread only.
#pragma once

struct AppState;

namespace ui {

// Draws the loaded image texture into the area (screen pixels).
void ImageView(AppState& app, float x, float y, float width, float height);
// The same over the rest of the current window's content region (the body).
void ImageView(AppState& app);

}  // namespace ui
