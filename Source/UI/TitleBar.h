// The title bar's window buttons (full screen, minimize, maximize or
// restore, close), right-aligned in the "TitleBar" band. Each button's
// rectangle goes into the caption-exclusion list so the hit test leaves it
// to the UI; the rest of the band drags the window. UI thread only.
#pragma once

struct AppState;

namespace ui {

void DrawTitleBar(AppState& app);

}  // namespace ui
