#include "UI/LayoutMath.h"

#include <algorithm>
#include <cmath>

namespace ui {

ViewRect FitPicture(ViewRect area, float aspect) {
    ViewRect r = area;
    if (aspect > 0.0f && std::isfinite(aspect) && area.w > 0 && area.h > 0) {
        float w = area.w, h = area.w / aspect;
        if (h > area.h) {
            h = area.h;
            w = area.h * aspect;
        }
        r.x = area.x + (area.w - w) * 0.5f;
        r.y = area.y + (area.h - h) * 0.5f;
        r.w = w;
        r.h = h;
    }
    const float x0 = float(int(r.x)), y0 = float(int(r.y));
    const float x1 = float(int(r.x + r.w)), y1 = float(int(r.y + r.h));
    return ViewRect{x0, y0, x1 - x0, y1 - y0};
}

void OverlapFullSize(float R, float B, float a, float* w0, float* h0) {
    if (!(a > 0.0f) || !std::isfinite(a)) a = B > 0 ? R / B : 1.0f;
    if (!(a > 0.0f)) a = 1.0f;
    *h0 = std::min(R / a, B);
    *w0 = *h0 * a;
}

ViewRect OverlapInset(float R, float B, float T, float a, float splitOverlap) {
    float w0 = 0, h0 = 0;
    OverlapFullSize(R, B, a, &w0, &h0);
    ViewRect r;
    r.w = splitOverlap * w0;
    r.h = splitOverlap * h0;
    r.x = R - r.w - 2;
    r.y = T + B - r.h - 2;
    return r;
}

float OverlapResize(float width, float height, float w0, float h0, float a, float dx, float dy) {
    if (!(w0 > 0) || !(h0 > 0) || !(a > 0)) return 0.2f;
    // Only the dominant axis of the movement counts.
    if (std::fabs(dx) >= std::fabs(dy)) {
        dy = 0;
    } else {
        dx = 0;
    }
    const float w = std::clamp(width + dx + dy * a, 0.2f * w0, 0.8f * w0);
    const float h = std::clamp(height + dx / a + dy, 0.2f * h0, 0.8f * h0);
    return std::max(w / w0, h / h0);
}

SplitParts SplitLayout(float length, float cross, float a1, float a2, float splitCamera, float uiScale,
                       float splitterIconWidth) {
    SplitParts parts;
    const float half = length / 2;
    const bool letterboxed = (a1 > 0 && cross > half / a1) || (a2 > 0 && cross > half / a2);
    if (letterboxed) {
        parts.splitter = true;
        parts.size1 = length * splitCamera;
        parts.size2 = length - float(int(parts.size1));
        const float floor = 2 * splitterIconWidth;
        parts.minimum1 = float(int(std::max(length - cross * a2 - float(int(2 * uiScale)), floor)));
        parts.minimum2 = float(int(std::max(length - cross * a1, floor)));
    } else {
        parts.size1 = parts.size2 = float(int(length / 2));
    }
    return parts;
}

float ViewAspect(int streamWidth, int streamHeight, int configWidth, int configHeight, float fallback) {
    if (streamWidth > 0 && streamHeight > 0) return float(streamWidth) / float(streamHeight);
    if (configWidth > 0 && configHeight > 0) return float(configWidth) / float(configHeight);
    return fallback;
}

}  // namespace ui
