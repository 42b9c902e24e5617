// The light control ("LightView"): a popup with one vertical slider per
// active camera channel that sets its LED level (parameter 36) as a
// percentage of the level's maximum. The lights toggle requests it at the
// toggle's position (it opens upward from there); it closes itself on a
// frame with no connected camera unit, and on a press outside it.
// UI thread only.
#pragma once

struct AppState;

namespace ui {

// Drawn every frame; opened through Popups().lightView (the control bar's
// lights toggle requests it at the toggle's top-left corner).
void DrawLightView(AppState& app);

}  // namespace ui
