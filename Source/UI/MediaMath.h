// The arithmetic of the media view and its controls, kept apart from the
// drawing so that it is tested as tables: the time text, the scrubber's seek
// value, stepping through a session's files, and the image viewer's zoom,
// pan and pinch. Pure functions; UI thread callers.
#pragma once

#include <string>

namespace ui {

// "%d:%02d:%02d / %d:%02d:%02d" of current and total seconds, truncated.
std::string PlayTimeText(double currentS, double totalS);

// Seek request of a scrubber press at `mouseX` over [left, left + width]:
// clamp((mouseX - left) / width, 0, 1) x 1000, truncated.
int ScrubberSeekRequest(float mouseX, float left, float width);

// Width of the played part of the track: max(4, width x progress).
float PlayedWidth(float width, double progress);

// (index + step + count) mod count; -1 for an empty list.
int StepFileIndex(int index, int step, int count);

// The image viewer's state for one loaded image.
struct ImageViewState {
    float panU = 0.5f, panV = 0.5f;  // image point at the area's centre (0..1)
    float zoom = 0;                  // screen pixels per image pixel; 0 = not yet fitted
};

// min(area width / image width, area height / image height).
float FitZoom(float areaW, float areaH, float imageW, float imageH);
// Raises the zoom to the fit zoom and centres an axis that is smaller than
// the area (steps 1 and 2 of the viewer).
void ConstrainImageView(ImageViewState* view, float areaW, float areaH, float imageW, float imageH);
// Top-left of the zoomed image: area centre - zoom x image size x pan centre.
void ImageOrigin(const ImageViewState& view, float areaX, float areaY, float areaW, float areaH, float imageW,
                 float imageH, float* originX, float* originY);
// Panning by a pointer movement (dx, dy) in screen pixels; v stays in 0..1.
void PanImage(ImageViewState* view, float dx, float dy, float imageW, float imageH);
// Changes the zoom to `newZoom` (limited to fit .. 2) keeping the image point
// under the screen point (px, py) in place; v stays in 0..1.
void ZoomImageAt(ImageViewState* view, float newZoom, float fitZoom, float px, float py, float areaX, float areaY,
                 float areaW, float areaH, float imageW, float imageH);
// The wheel's zoom: zoom + wheel x 0.1.
float WheelZoom(float zoom, float wheel);
// The pinch's zoom: zoom + (distance - previous distance) / (400 / zoom).
float PinchZoom(float zoom, float distance, float previousDistance);

}  // namespace ui
