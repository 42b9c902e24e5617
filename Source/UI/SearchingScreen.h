// The screen shown while no camera unit is connected: "Searching for ORVEX
// Camera", five moving dots below it and the turning camera model above.
// UI thread only.
#pragma once

#include "UI/LayoutMath.h"

struct AppState;

namespace ui {

// One dot of the animation at time t (RunSeconds) for dot k (0..4): its
// centre's fraction across the 400 x s text box, size and alpha.
struct SearchDot {
    float xfrac, width, height, alpha;
};
SearchDot SearchingDot(double runSeconds, int k);

void DrawSearchingScreen(AppState& app, ViewRect body);

}  // namespace ui
