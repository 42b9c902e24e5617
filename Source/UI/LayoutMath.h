// Geometry of the camera views: the picture rectangle inside a view, the
// overlap inset and its grab, and the split between two views. Pure
// functions, tested as tables; the views and layouts call them each frame.
#pragma once

namespace ui {

struct ViewRect {
    float x = 0, y = 0, w = 0, h = 0;
};

// The largest rectangle of aspect `aspect` (width / height) inside `area`,
// centred, with integer coordinates; the whole area when the aspect is unknown.
ViewRect FitPicture(ViewRect area, float aspect);

// Full inset size for a body of R x B and the inset's aspect a.
void OverlapFullSize(float R, float B, float a, float* w0, float* h0);
// The inset rectangle at scale `splitOverlap` in the bottom-right corner of
// the body that starts at (0, T), 2 pixels in from both edges.
ViewRect OverlapInset(float R, float B, float T, float a, float splitOverlap);
// Dragging the grab by (dx, dy) (pointer movement, negated by the caller):
// the new scale, the larger of the width and height fractions, each within
// 0.2 .. 0.8 of the full size.
float OverlapResize(float width, float height, float w0, float h0, float a, float dx, float dy);

// The split between two views along the split axis (length), with the other
// axis (cross) and the two pictures' aspects along the axis (0 unknown).
struct SplitParts {
    bool splitter = false;  // the views would be letterboxed at half length: a draggable splitter
    float size1 = 0, size2 = 0;
    float minimum1 = 0, minimum2 = 0;
};
SplitParts SplitLayout(float length, float cross, float a1, float a2, float splitCamera, float uiScale,
                       float splitterIconWidth);

// The aspect of a view's picture: the stream's size, else the configured
// video size, else the fallback (the body's own aspect).
float ViewAspect(int streamWidth, int streamHeight, int configWidth, int configHeight, float fallback);

}  // namespace ui
