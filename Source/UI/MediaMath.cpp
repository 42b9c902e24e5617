#include "UI/MediaMath.h"

#include <algorithm>
#include <cstdio>

namespace ui {

namespace {

constexpr float kMaxZoom = 2.0f;

void SplitSeconds(double seconds, int* h, int* m, int* s) {
    const long long total = seconds > 0 ? static_cast<long long>(seconds) : 0;
    *h = static_cast<int>(total / 3600);
    *m = static_cast<int>((total / 60) % 60);
    *s = static_cast<int>(total % 60);
}

}  // namespace

std::string PlayTimeText(double currentS, double totalS) {
    int h0 = 0, m0 = 0, s0 = 0, h1 = 0, m1 = 0, s1 = 0;
    SplitSeconds(currentS, &h0, &m0, &s0);
    SplitSeconds(totalS, &h1, &m1, &s1);
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d / %d:%02d:%02d", h0, m0, s0, h1, m1, s1);
    return text;
}

int ScrubberSeekRequest(float mouseX, float left, float width) {
    if (width <= 0) return 0;
    const float f = std::clamp((mouseX - left) / width, 0.0f, 1.0f);
    return static_cast<int>(f * 1000.0f);
}

float PlayedWidth(float width, double progress) {
    if (!(progress > 0)) progress = 0;  // NaN or negative (unknown duration)
    if (progress > 1) progress = 1;
    return std::max(4.0f, static_cast<float>(width * progress));
}

int StepFileIndex(int index, int step, int count) {
    if (count <= 0) return -1;
    int i = (index + step) % count;
    if (i < 0) i += count;
    return i;
}

float FitZoom(float areaW, float areaH, float imageW, float imageH) {
    if (imageW <= 0 || imageH <= 0) return 1.0f;
    return std::min(areaW / imageW, areaH / imageH);
}

void ConstrainImageView(ImageViewState* view, float areaW, float areaH, float imageW, float imageH) {
    const float fit = FitZoom(areaW, areaH, imageW, imageH);
    if (view->zoom < fit) view->zoom = fit;
    if (view->zoom * imageW < areaW) view->panU = 0.5f;
    if (view->zoom * imageH < areaH) view->panV = 0.5f;
}

void ImageOrigin(const ImageViewState& view, float areaX, float areaY, float areaW, float areaH, float imageW,
                 float imageH, float* originX, float* originY) {
    *originX = areaX + areaW / 2 - view.zoom * imageW * view.panU;
    *originY = areaY + areaH / 2 - view.zoom * imageH * view.panV;
}

void PanImage(ImageViewState* view, float dx, float dy, float imageW, float imageH) {
    if (view->zoom <= 0 || imageW <= 0 || imageH <= 0) return;
    view->panU -= dx / (view->zoom * imageW);
    view->panV -= dy / (view->zoom * imageH);
    view->panU = std::clamp(view->panU, 0.0f, 1.0f);
    view->panV = std::clamp(view->panV, 0.0f, 1.0f);
}

void ZoomImageAt(ImageViewState* view, float newZoom, float fitZoom, float px, float py, float areaX, float areaY,
                 float areaW, float areaH, float imageW, float imageH) {
    if (imageW <= 0 || imageH <= 0 || view->zoom <= 0) return;
    newZoom = std::clamp(newZoom, std::min(fitZoom, kMaxZoom), kMaxZoom);
    // The image point (in 0..1) under (px, py) before the change ...
    float ox = 0, oy = 0;
    ImageOrigin(*view, areaX, areaY, areaW, areaH, imageW, imageH, &ox, &oy);
    const float u = (px - ox) / (view->zoom * imageW);
    const float v = (py - oy) / (view->zoom * imageH);
    // ... stays under it after: px = centre - newZoom * size * pan + newZoom * size * u.
    view->zoom = newZoom;
    view->panU = u - (px - (areaX + areaW / 2)) / (newZoom * imageW);
    view->panV = v - (py - (areaY + areaH / 2)) / (newZoom * imageH);
    view->panU = std::clamp(view->panU, 0.0f, 1.0f);
    view->panV = std::clamp(view->panV, 0.0f, 1.0f);
}

float WheelZoom(float zoom, float wheel) { return zoom + wheel * 0.1f; }

float PinchZoom(float zoom, float distance, float previousDistance) {
    if (zoom <= 0) return zoom;
    return zoom + (distance - previousDistance) / (400.0f / zoom);
}

}  // namespace ui
