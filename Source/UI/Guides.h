// The guides overlay: a horizontal and a vertical line through a movable
// centre, graduated scales in decimal or binary subdivisions with numbers at
// whole units, optionally limited to a crosshair around the centre. A viewing
// aid drawn by the program over the picture; never in recordings or stills.
// The settings are camera parameters, so each channel keeps its own guides.
//
// LayOutGuides is the pure geometry (tested as tables); DrawGuides submits it
// to the current window's draw list. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace picam {
struct ParamGroup;
}

namespace ui {

// GuideFlags (parameter 172) bits.
enum GuideModeBits : uint32_t {
    GuideEnabled = 0x1,
    GuideHorizontalLine = 0x2,
    GuideVerticalLine = 0x4,
    GuideTicksAbove = 0x8,
    GuideTicksBelow = 0x10,
    GuideTicksLeft = 0x20,
    GuideTicksRight = 0x40,
    GuideCrosshairTicks = 0x80,
    GuideCrosshairLines = 0x100,  // only together with 0x80
    GuideBinary = 0x200,
    GuideNumbers = 0x400,
};

struct GuidesSettings {
    bool enabled = false;
    uint32_t mode = 6;
    int32_t levels = 0;
    float tickLength = 0.08f;  // fraction of the rectangle's half-width
    float lineWeight = 1.0f;   // pixels
    float unit = 1.0f;         // fraction of the half-width; also the crosshair's reach
    float centreX = 0, centreY = 0;  // half-widths / half-heights from the centre (-1 .. 1)
    float colour[4] = {1, 1, 0, 1};
};

// From one channel's parameter group (each value x scale numerator /
// denominator). Parameters the camera has not described keep the defaults.
GuidesSettings GuidesFromParameters(const picam::ParamGroup& group);

struct GuideBar {
    float x0, y0, x1, y1;
};
struct GuideLabel {
    float x, y;  // top-left of the text
    std::string text;
};
struct GuideTextSize {
    float width, height;
};
using GuideMeasureFn = std::function<GuideTextSize(const std::string& text)>;

struct GuidesShapes {
    std::vector<GuideBar> bars;  // lines first, then ticks, in drawing order
    std::vector<GuideLabel> labels;
    uint32_t colour = 0;   // packed RGBA, red in the low byte
    int subdivision = 0;   // L: the levels kept
    float step = 0;        // tick spacing in pixels
    int numberStep = 1;    // n: ticks between numbered ticks
    float shrink = 1;      // f: length factor per level below the top one
};

// The centre and the extents of the two lines in a rectangle (the lines
// stop at the crosshair reach with both crosshair bits).
struct GuideLines {
    float cx, cy;
    float hLow, hHigh;  // horizontal line, x
    float vLow, vHigh;  // vertical line, y
};
GuideLines GuideLineExtents(const GuidesSettings& settings, float x0, float y0, float x1, float y1);

// The number step n: ticks from one numbered tick to the next, growing
// 1, 5, 10, 50, 100, ... (base 10) or 1, 2, 4, ... (base 2) until numbered
// ticks `stepPixels` apart are at least 48 pixels apart.
int GuideNumberStep(int base, float stepPixels);

GuidesShapes LayOutGuides(const GuidesSettings& settings, float x0, float y0, float x1, float y1,
                          const GuideMeasureFn& measure);

// Draws into the current window's draw list, clipped to the rectangle.
void DrawGuides(const GuidesSettings& settings, float x0, float y0, float x1, float y1);

}  // namespace ui
