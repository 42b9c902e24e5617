// Window geometry rules: the start-up placement from the display's usable
// bounds, the DPI clamp, and the size fit after a UI scale change. Pure
// functions over plain numbers (the SDL glue asks SDL for the rectangles).
#pragma once

#include <cstdint>

struct Settings;

namespace input {

struct ScreenRect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Design DPI limited to 48 .. 192.
int32_t ClampDpi(int32_t dpi);
// UiScale = windowDpi / uiDpi, with 96 standing in for an unknown (0 or less) DPI.
float UiScaleFor(int windowDpi, int uiDpi);

// Start-up: zero sizes become the work area less 32 x 64 pixels, zero
// positions centre the window in the work area; positions are then pulled
// back so at least 256 pixels lie inside the virtual screen. Also clamps DPI.
void PlaceWindow(Settings* settings, ScreenRect work, ScreenRect virtualScreen);

// After a UI scale change (window neither full screen nor maximized): the
// size grows to the minimum 880 x 540 times the scale, and the position moves
// so the window stays inside the work area. Returns the new rectangle.
ScreenRect FitWindowForScale(ScreenRect window, float uiScale, const ScreenRect* work);

// Minimum window size at a UI scale.
void MinimumWindowSize(float uiScale, int* w, int* h);

}  // namespace input
