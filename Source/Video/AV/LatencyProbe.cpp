#include "Video/AV/LatencyProbe.h"

namespace AV {

int ClassifyNV12Colour(const uint8_t* nv12, int width, int height) {
    if (!nv12 || width < 10 || height < 10) return 0;
    const int cx = width / 2, cy = height / 2;
    const int xs[4] = {cx, cx + 4, cx, cx + 4};
    const int ys[4] = {cy, cy, cy + 4, cy + 4};
    const uint8_t* chroma = nv12 + static_cast<int64_t>(width) * height;
    double red = 0, green = 0, blue = 0;
    for (int i = 0; i < 4; ++i) {
        const int x = xs[i], y = ys[i];
        const uint8_t Y = nv12[static_cast<int64_t>(y) * width + x];
        const uint8_t* uv = chroma + static_cast<int64_t>(y / 2) * width + (x / 2) * 2;
        const double yy = (Y / 255.0 - 0.0625) * 1.164;
        const double u = uv[0] / 255.0 - 0.5;
        const double v = uv[1] / 255.0 - 0.5;
        red += yy + 1.596 * v;
        green += yy - 0.392 * u - 0.813 * v;
        blue += yy + 2.017 * u;
    }
    const int R = static_cast<int>(red / 4 * 255);
    const int G = static_cast<int>(green / 4 * 255);
    const int B = static_cast<int>(blue / 4 * 255);
    int M = R > G ? R : G;
    if (B > M) M = B;
    if (M > 0) return (R / M) * 4 + (G / M) * 2 + (B / M);
    return B | ((G | 2 * R) << 1);
}

void LatencyProbeStep(LatencyProbeState* s, int observed, int64_t now_us) {
    s->observed = observed;
    if (observed == s->expected) {
        int64_t elapsed = now_us - s->shownAt_us;
        if (elapsed < 0) elapsed = 0;
        if (elapsed > 1000000) elapsed = 1000000;
        s->shownAt_us = now_us;
        s->latency_ms = static_cast<double>(elapsed) / 1000.0;
        int next = 2 * observed;
        if (next != 4 && next > 2) next = 1;
        if (next <= 0) next = 1;
        s->expected = next;
    } else if (s->expected != s->previous) {
        s->shownAt_us = now_us;
        s->previous = s->expected;
    }
}

}  // namespace AV
