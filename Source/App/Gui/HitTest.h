// The frameless window's hit test: 4-pixel resize sides, 8-pixel corners and
// the title-bar band (48 x UiScale pixels) as the caption, minus the title
// bar's button rectangles. Pure function; the SDL glue maps the result.
#pragma once

#include <vector>

#include "App/Gui/Input.h"

namespace input {

enum class HitResult {
    Pass,  // ordinary client area: the UI gets the event
    Caption,
    TopLeft,
    Top,
    TopRight,
    Right,
    BottomRight,
    Bottom,
    BottomLeft,
    Left,
};

// p = pointer, window rectangle (left, top, right, bottom; right and bottom one
// past the last pixel), all in the same coordinates; exclusions in client
// coordinates (the window's top-left is the client origin). Full screen: Pass.
HitResult HitTest(int px, int py, IntRect window, float uiScale, const std::vector<IntRect>& exclusions,
                  bool fullscreen);

}  // namespace input
