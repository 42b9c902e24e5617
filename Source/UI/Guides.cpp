#include "UI/Guides.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

constexpr int kMaxLevels = 15;
constexpr int kLabels = 63;

bool Described(const picam::ParamRecord& r) { return !picam::IsNullParam(r) && r.scaleDen != 0; }

float Physical(const picam::ParamRecord& r) { return float(double(r.value) * r.scaleNum / r.scaleDen); }

uint32_t PackColour(const float c[4]) {
    uint32_t packed = 0;
    for (int i = 0; i < 4; ++i) {
        const float v = std::clamp(c[i], 0.0f, 1.0f);
        packed |= uint32_t(int(v * 255.0f + 0.5f)) << (8 * i);
    }
    return packed;
}

// One scale (the ticks along one line).
struct Scale {
    bool horizontal;
    float centre;       // cx for the horizontal scale, cy for the vertical one
    float lineAt;       // cy for the horizontal scale, cx for the vertical one
    float low, high;    // extent along the axis
    float t;            // tick length
    int d;              // direction: -1, 0 or +1
    bool skipCentre;
    bool labelsBefore;  // above / left
    bool labelsAfter;   // below / right
};

}  // namespace

GuidesSettings GuidesFromParameters(const picam::ParamGroup& group) {
    GuidesSettings g;
    const picam::ParamRecord& flags = group.params[picam::GuideFlags];
    if (Described(flags)) {
        g.mode = uint32_t(flags.value);
        g.enabled = (g.mode & GuideEnabled) != 0;
    }
    const picam::ParamRecord& levels = group.params[173];
    if (Described(levels)) g.levels = int32_t(int64_t(levels.value) * levels.scaleNum / levels.scaleDen);
    if (Described(group.params[174])) g.tickLength = Physical(group.params[174]);
    if (Described(group.params[picam::GuideLineWeight])) g.lineWeight = Physical(group.params[picam::GuideLineWeight]);
    if (Described(group.params[picam::GuideCrosshairSize])) g.unit = Physical(group.params[picam::GuideCrosshairSize]);
    if (Described(group.params[picam::GuidePositionX])) g.centreX = Physical(group.params[picam::GuidePositionX]);
    if (Described(group.params[picam::GuidePositionY])) g.centreY = Physical(group.params[picam::GuidePositionY]);
    const picam::ParamRecord& colour = group.params[picam::GuideColor];
    if (Described(colour)) {
        const uint32_t v = uint32_t(colour.value);
        for (int i = 0; i < 4; ++i) g.colour[i] = float((v >> (8 * i)) & 0xFF) / 255.0f;
    }
    return g;
}

int GuideNumberStep(int base, float stepPixels) {
    if (!(stepPixels > 0) || !std::isfinite(stepPixels)) return 1;
    int64_t n = 1;
    int64_t power = 1;  // decimal: the power of ten at or below n
    // Numbered ticks at least 48 pixels apart (bounded so a tiny step cannot run away).
    while (double(n) * double(stepPixels) < 48.0 && n < (int64_t(1) << 40)) {
        if (base == 2) {
            n *= 2;
        } else if (n == power) {
            n *= 5;  // 1 -> 5, 10 -> 50, ...
        } else {
            n *= 2;  // 5 -> 10, 50 -> 100, ...
            power = n;
        }
    }
    return int(std::min<int64_t>(n, 1 << 30));
}

GuideLines GuideLineExtents(const GuidesSettings& s, float x0, float y0, float x1, float y1) {
    const float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    GuideLines lines{x0 + hx + hx * s.centreX, y0 + hy + hy * s.centreY, x0, x1, y0, y1};
    if ((s.mode & GuideCrosshairTicks) && (s.mode & GuideCrosshairLines)) {
        const float C = std::min(hx * s.unit, std::max(0.8f * hx, 0.8f * hy));
        lines.hLow = std::max(lines.cx - C, x0);
        lines.hHigh = std::min(lines.cx + C, x1);
        lines.vLow = std::max(lines.cy - C, y0);
        lines.vHigh = std::min(lines.cy + C, y1);
    }
    return lines;
}

GuidesShapes LayOutGuides(const GuidesSettings& s, float x0, float y0, float x1, float y1,
                          const GuideMeasureFn& measure) {
    GuidesShapes out;
    if (!s.enabled) return out;
    out.colour = PackColour(s.colour);
    const uint32_t mode = s.mode;
    const float hx = (x1 - x0) / 2, hy = (y1 - y0) / 2;
    const float cx = x0 + hx + hx * s.centreX, cy = y0 + hy + hy * s.centreY;
    const float T = hx * s.tickLength, U = hx * s.unit, h = s.lineWeight / 2;

    const int base = (mode & GuideBinary) ? 2 : 10;
    int64_t P[kMaxLevels + 1];
    P[0] = 1;
    for (int i = 1; i <= kMaxLevels; ++i) P[i] = P[i - 1] * base;

    int L = std::clamp(int(s.levels), 0, kMaxLevels);
    float step = 0;
    for (;;) {
        step = U / float(P[L]);
        if (L - 1 < 1 || step >= 3 * s.lineWeight) break;
        --L;
    }
    const float f = L >= 2 ? std::min(1.0f - 1.0f / float(L), 0.8f) : 1.0f;
    const int n = GuideNumberStep(base, step);
    out.subdivision = L;
    out.step = step;
    out.numberStep = n;
    out.shrink = f;

    // Labels at whole units, by tick index i x n.
    std::string labels[kLabels + 1];
    GuideTextSize sizes[kLabels + 1] = {};
    const bool numbers = (mode & GuideNumbers) != 0 && ((out.colour >> 24) & 0xFF) != 0;
    if (numbers) {
        for (int i = 1; i <= kLabels; ++i) {
            const int64_t k = int64_t(i) * n;
            if (k % P[L] != 0) continue;
            char text[32];
            std::snprintf(text, sizeof(text), "%d", int(k / P[L]));
            labels[i] = text;
            sizes[i] = measure ? measure(labels[i]) : GuideTextSize{0, 0};
            sizes[i].width = float(int(sizes[i].width + 0.95f));
        }
    }

    // Extents.
    float hLow = x0, hHigh = x1, vLow = y0, vHigh = y1;  // ticks
    float lineHLow = x0, lineHHigh = x1, lineVLow = y0, lineVHigh = y1;
    if (mode & GuideCrosshairTicks) {
        const float C = std::min(U, std::max(0.8f * hx, 0.8f * hy));
        hLow = std::max(cx - C, x0);
        hHigh = std::min(cx + C, x1);
        vLow = std::max(cy - C, y0);
        vHigh = std::min(cy + C, y1);
        if (mode & GuideCrosshairLines) {
            lineHLow = hLow;
            lineHHigh = hHigh;
            lineVLow = vLow;
            lineVHigh = vHigh;
        }
    }

    if (mode & GuideHorizontalLine) {
        out.bars.push_back(GuideBar{lineHLow, cy - h, cx, cy + h});
        out.bars.push_back(GuideBar{cx, cy - h, lineHHigh, cy + h});
    }

    const auto drawScale = [&](const Scale& sc) {
        if (!(step > 0) || !std::isfinite(step)) return;
        const int before = int((sc.centre - sc.low + 0.5f) / step + 1);
        const int after = int((sc.high - sc.centre + 0.5f) / step + 1);
        const int count = std::max(before, after);
        for (int k = sc.skipCentre ? 1 : 0; k < count; ++k) {
            float tk = sc.t;
            for (int j = L - 1; j >= 1 && k % P[j] != 0; --j) tk *= f;
            const int label = (k % n == 0) ? k / n : 0;
            const bool labelled = numbers && label >= 1 && label <= kLabels && !labels[label].empty();
            for (int side = 0; side < 2; ++side) {
                if (side == 0 && !(k < before)) continue;
                if (side == 1 && !(k > 0 && k < after)) continue;
                const float along = side == 0 ? sc.centre - float(k) * step : sc.centre + float(k) * step;
                const float across = sc.lineAt + tk * float(sc.d);
                if (sc.horizontal) {
                    out.bars.push_back(GuideBar{along - h, across - tk, along + h, across + tk});
                } else {
                    out.bars.push_back(GuideBar{across - tk, along - h, across + tk, along + h});
                }
                if (!labelled) continue;
                const GuideTextSize& size = sizes[label];
                if (sc.horizontal) {
                    if (sc.labelsBefore)
                        out.labels.push_back({along - size.width / 2, across - tk - 2 - size.height, labels[label]});
                    if (sc.labelsAfter) out.labels.push_back({along - size.width / 2, across + tk + 2, labels[label]});
                } else {
                    if (sc.labelsBefore)
                        out.labels.push_back({across - tk - 2 - size.width, along - size.height / 2, labels[label]});
                    if (sc.labelsAfter) out.labels.push_back({across + tk + 2, along - size.height / 2, labels[label]});
                }
            }
        }
    };
    const auto direction = [&](uint32_t beforeBit, uint32_t afterBit, float* t, int* d) {
        const bool b = (mode & beforeBit) != 0, a = (mode & afterBit) != 0;
        *t = (a && b) ? T : T / 2;
        *d = (a && b) ? 0 : (a ? 1 : -1);
    };

    if (mode & (GuideTicksAbove | GuideTicksBelow)) {
        Scale sc{};
        sc.horizontal = true;
        sc.centre = cx;
        sc.lineAt = cy;
        sc.low = hLow;
        sc.high = hHigh;
        direction(GuideTicksAbove, GuideTicksBelow, &sc.t, &sc.d);
        sc.skipCentre = (mode & (GuideVerticalLine | GuideTicksLeft | GuideTicksRight)) != 0;
        sc.labelsBefore = (mode & GuideTicksAbove) != 0;
        sc.labelsAfter = (mode & GuideTicksBelow) != 0;
        drawScale(sc);
    }
    if (mode & GuideVerticalLine) {
        out.bars.push_back(GuideBar{cx - h, lineVLow, cx + h, cy});
        out.bars.push_back(GuideBar{cx - h, cy, cx + h, lineVHigh});
    }
    if (mode & (GuideTicksLeft | GuideTicksRight)) {
        Scale sc{};
        sc.horizontal = false;
        sc.centre = cy;
        sc.lineAt = cx;
        sc.low = vLow;
        sc.high = vHigh;
        direction(GuideTicksLeft, GuideTicksRight, &sc.t, &sc.d);
        sc.skipCentre = (mode & (GuideHorizontalLine | GuideTicksAbove | GuideTicksBelow)) != 0;
        sc.labelsBefore = (mode & GuideTicksLeft) != 0;
        sc.labelsAfter = (mode & GuideTicksRight) != 0;
        drawScale(sc);
    }
    return out;
}

void DrawGuides(const GuidesSettings& settings, float x0, float y0, float x1, float y1) {
    if (!settings.enabled) return;
    ImFont* font = ImGui::GetFont();
    const float fontSize = ImGui::GetFontSize();
    const GuidesShapes shapes = LayOutGuides(settings, x0, y0, x1, y1, [&](const std::string& text) {
        const ImVec2 size = font->CalcTextSizeA(fontSize, FLT_MAX, 0.0f, text.c_str());
        return GuideTextSize{size.x, size.y};
    });
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->PushClipRect(ImVec2(x0, y0), ImVec2(x1, y1), true);
    for (const GuideBar& bar : shapes.bars) list->AddRectFilled(ImVec2(bar.x0, bar.y0), ImVec2(bar.x1, bar.y1), shapes.colour);
    for (const GuideLabel& label : shapes.labels) {
        list->AddText(font, fontSize, ImVec2(label.x, label.y), shapes.colour, label.text.c_str());
    }
    list->PopClipRect();
}

}  // namespace ui
