#include "App/Gui/HitTest.h"

namespace input {

HitResult HitTest(int px, int py, IntRect r, float uiScale, const std::vector<IntRect>& exclusions,
                  bool fullscreen) {
    if (fullscreen) return HitResult::Pass;
    if (px < r.left || px > r.right || py < r.top || py > r.bottom) return HitResult::Pass;
    // Distance of p from side i along that side's axis: left, top, right, bottom.
    const int distance[4] = {px - r.left, py - r.top, r.right - px, r.bottom - py};
    static const HitResult corners[4] = {HitResult::TopLeft, HitResult::TopRight, HitResult::BottomRight,
                                         HitResult::BottomLeft};
    static const HitResult sides[4] = {HitResult::Left, HitResult::Top, HitResult::Right, HitResult::Bottom};
    HitResult candidate = HitResult::Pass;
    for (int i = 0; i < 4; ++i) {
        const int d = distance[i], e = distance[(i + 1) % 4];
        if (d <= 8 && e <= 8) return corners[i];
        if (d <= 4) candidate = sides[i];
    }
    if (candidate != HitResult::Pass) return candidate;
    if (py < r.top + int(48.0f * uiScale)) {
        const int cx = px - r.left, cy = py - r.top;
        for (const IntRect& x : exclusions) {
            if (cx >= x.left && cx <= x.right && cy >= x.top && cy <= x.bottom) return HitResult::Pass;
        }
        return HitResult::Caption;
    }
    return HitResult::Pass;
}

}  // namespace input
