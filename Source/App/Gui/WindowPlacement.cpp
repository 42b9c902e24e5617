#include "App/Gui/WindowPlacement.h"

#include <algorithm>

#include "Base/Settings.h"

namespace input {

int32_t ClampDpi(int32_t dpi) { return std::clamp<int32_t>(dpi, 48, 192); }

float UiScaleFor(int windowDpi, int uiDpi) {
    const float w = windowDpi > 0 ? float(windowDpi) : 96.0f;
    const float u = uiDpi > 0 ? float(uiDpi) : 96.0f;
    return w / u;
}

void PlaceWindow(Settings* s, ScreenRect work, ScreenRect virt) {
    s->DPI = ClampDpi(s->DPI);
    // Values straight from the file are brought into range before any sum
    // is formed with them (a width of -99999999999999 must not overflow).
    ClampSettingsValues(s);
    if (s->WindowWidth == 0) s->WindowWidth = std::max(work.w - 32, 1);
    if (s->WindowHeight == 0) s->WindowHeight = std::max(work.h - 64, 1);
    if (s->WindowPosX == 0) s->WindowPosX = work.x + (work.w - s->WindowWidth) / 2;
    if (s->WindowPosY == 0) s->WindowPosY = work.y + (work.h - s->WindowHeight) / 2;
    // Raised to the left edge first, then lowered: a tiny virtual screen
    // (narrower than 256) ends at its left edge - 256 + width, as the rule says.
    s->WindowPosX = std::max(s->WindowPosX, virt.x);
    s->WindowPosX = std::min(s->WindowPosX, virt.x + virt.w - 256);
    s->WindowPosY = std::max(s->WindowPosY, virt.y);
    s->WindowPosY = std::min(s->WindowPosY, virt.y + virt.h - 256);
}

void MinimumWindowSize(float uiScale, int* w, int* h) {
    *w = int(880.0f * uiScale);
    *h = int(540.0f * uiScale);
}

ScreenRect FitWindowForScale(ScreenRect window, float uiScale, const ScreenRect* work) {
    int minW = 0, minH = 0;
    MinimumWindowSize(uiScale, &minW, &minH);
    ScreenRect r = window;
    r.w = std::max(window.w, minW);
    r.h = std::max(window.h, minH);
    if (work != nullptr) {
        if (r.x + r.w > work->x + work->w) r.x = work->x + work->w - r.w;
        if (r.y + r.h > work->y + work->h) r.y = work->y + work->h - r.h;
    }
    return r;
}

}  // namespace input
