#include "CameraSim/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "CameraSim/Unit.h"
#include "CameraSim/VideoEncoder.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

namespace camsim {

namespace {

constexpr int kSharpness = 80, kContrast = 81, kBrightness = 82, kSaturation = 83;
constexpr int kExposureCompensation = 88, kAwbMode = 90, kRedGain = 91, kBlueGain = 92;
constexpr int kRotation = 93, kFlipH = 94, kFlipV = 95, kZoomX = 96, kZoomY = 97, kZoomW = 98, kZoomH = 99;
constexpr int kLightLevel = 36, kLedThermalState = 43;
constexpr int kAnnotationEnable = 155, kAnnotationBackground = 156, kAnnotationSize = 157;
constexpr int kTextColor = 158, kBackColor = 159, kLocation = 160, kOffsetX = 161, kOffsetY = 162;
constexpr int kNoiseShift = 64;

// Colour bars (Y, U, V) of the moving test scene.
const uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
                             {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128}};

// Colour casts (U, V offsets) of the AWB presets by list position, as a
// camera left on the wrong preset would show them ("Off" uses the gains).
const int kAwbCast[11][2] = {{0, 0},   {0, 0},   {6, -6},  {10, -12}, {14, -18}, {-24, 20},
                             {-10, 6}, {-20, 16}, {4, -4}, {12, -16}, {0, 0}};

double Shown(const std::array<int32_t, 55>& w) {
    const double num = w[4] == 0 ? 1 : w[4];
    const double den = w[5] == 0 ? 1 : w[5];
    return w[0] * num / den;
}

bool Described(const std::array<int32_t, 55>& w) { return w[2] != 0 || w[3] != 0 || w[6] != 0; }

void FillRect(uint8_t* plane, int stride, int width, int height, int x0, int y0, int w, int h, uint8_t value) {
    int x1 = x0 + w, y1 = y0 + h;
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y) memset(plane + static_cast<size_t>(y) * stride + x0, value, static_cast<size_t>(x1 - x0));
}

uint8_t Clamp8(double v, double lo = 16, double hi = 235) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, lo, hi)));
}

// Text scale for a text box of `size` pixels in a picture `height` high: the
// camera's size is meant for a 720-line picture and grows with the picture.
int TextScale(int size, int height) {
    const double lines = std::max(1, size) * static_cast<double>(height) / 720.0;
    return std::max(1, static_cast<int>(std::lround(lines / 12.0)));
}

}  // namespace

// ---- PictureSettings ------------------------------------------------------------------------

bool PictureSettings::GeometryIsIdentity() const {
    return rotation_deg == 0 && !flipHorizontal && !flipVertical && zoomX == 0 && zoomY == 0 && zoomWidth == 1 &&
           zoomHeight == 1;
}

int RotationDegrees(int32_t raw) { return static_cast<int>(((raw % 4 + 4 + 2) % 4) * 90); }

PictureSettings ReadPictureSettings(const Unit& unit, int group) {
    PictureSettings s;
    auto param = [&](int index) { return unit.Param(group, index); };
    auto value = [&](int index, int fallback, int lo, int hi) {
        const auto w = param(index);
        if (!Described(w)) return fallback;
        const int v = w[0];
        return v >= lo && v <= hi ? v : fallback;
    };
    auto fraction = [&](int index, double fallback) {
        const auto w = param(index);
        if (!Described(w)) return fallback;
        const double f = Shown(w);
        return std::isfinite(f) && f >= 0 && f <= 1 ? f : fallback;
    };

    s.rotation_deg = RotationDegrees(value(kRotation, 2, INT32_MIN, INT32_MAX));
    s.flipHorizontal = value(kFlipH, 0, 0, 1) == 1;
    s.flipVertical = value(kFlipV, 0, 0, 1) == 1;
    s.zoomWidth = std::clamp(fraction(kZoomW, 1.0), 0.05, 1.0);
    s.zoomHeight = std::clamp(fraction(kZoomH, 1.0), 0.05, 1.0);
    s.zoomX = std::clamp(fraction(kZoomX, 0.0), 0.0, 1.0 - s.zoomWidth);
    s.zoomY = std::clamp(fraction(kZoomY, 0.0), 0.0, 1.0 - s.zoomHeight);

    s.brightness = value(kBrightness, 50, 0, 100);
    s.contrast = value(kContrast, 0, -100, 100);
    s.saturation = value(kSaturation, 0, -100, 100);
    s.exposureCompensation = value(kExposureCompensation, 0, -24, 24);
    {
        const auto w = param(kAwbMode);
        s.awbPosition = 1;
        for (int i = 0; i < w[6] && i < 48; ++i)
            if (w[static_cast<size_t>(7 + i)] == w[0]) s.awbPosition = i;
    }
    {
        const auto r = param(kRedGain), b = param(kBlueGain);
        if (Described(r)) s.redGain = std::clamp(Shown(r), 0.0, 8.0);
        if (Described(b)) s.blueGain = std::clamp(Shown(b), 0.0, 8.0);
    }
    {
        const auto w = param(kLightLevel);
        s.lightFraction = Described(w) && w[3] > 0 ? std::clamp(static_cast<double>(w[0]) / w[3], 0.0, 1.0) : 0.6;
        s.ledThermalState = unit.ReportedValue(group, kLedThermalState);
    }

    s.annotate = value(kAnnotationEnable, 1, 0, 1) == 1;
    s.background = value(kAnnotationBackground, 0, 0, 1) == 1;
    s.textSize = value(kAnnotationSize, 32, 1, 512);
    s.textColor = static_cast<uint32_t>(value(kTextColor, 0xFFFFFF, 0, 0xFFFFFF));
    s.backColor = static_cast<uint32_t>(value(kBackColor, 0, 0, 0xFFFFFF));
    s.location = value(kLocation, 4, 0, 5);
    s.offsetX = value(kOffsetX, 0, 0, 4096);
    s.offsetY = value(kOffsetY, 0, 0, 4096);
    (void)kSharpness;
    return s;
}

// ---- SourceMap -----------------------------------------------------------------------------

SourceMap MakeSourceMap(const PictureSettings& s) {
    // Undo the rotation: output (u, v) -> flipped picture (a, b) = A(u, v) + c.
    double au = 1, av = 0, ac = 0, bu = 0, bv = 1, bc = 0;
    switch (s.rotation_deg) {
        case 90:  // a = v, b = 1 - u
            au = 0, av = 1, ac = 0, bu = -1, bv = 0, bc = 1;
            break;
        case 180:  // a = 1 - u, b = 1 - v
            au = -1, av = 0, ac = 1, bu = 0, bv = -1, bc = 1;
            break;
        case 270:  // a = 1 - v, b = u
            au = 0, av = -1, ac = 1, bu = 1, bv = 0, bc = 0;
            break;
        default:
            break;
    }
    // Undo the flips.
    if (s.flipHorizontal) au = -au, av = -av, ac = 1 - ac;
    if (s.flipVertical) bu = -bu, bv = -bv, bc = 1 - bc;
    // The zoom window on the sensor.
    SourceMap m;
    m.ux = s.zoomWidth * au, m.vx = s.zoomWidth * av, m.cx = s.zoomX + s.zoomWidth * ac;
    m.uy = s.zoomHeight * bu, m.vy = s.zoomHeight * bv, m.cy = s.zoomY + s.zoomHeight * bc;
    return m;
}

// ---- ToneCurve ----------------------------------------------------------------------------

void RgbToYuv(uint32_t rgb, uint8_t* y, uint8_t* u, uint8_t* v) {
    const double r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    *y = Clamp8(16 + 0.257 * r + 0.504 * g + 0.098 * b);
    *u = Clamp8(128 - 0.148 * r - 0.291 * g + 0.439 * b, 16, 240);
    *v = Clamp8(128 + 0.439 * r - 0.368 * g - 0.071 * b, 16, 240);
}

ToneCurve MakeToneCurve(const PictureSettings& s) {
    ToneCurve t;
    // The scene is lit by the LED: at the default 60 % it looks as drawn;
    // dimmed halves the light, a shut-down LED leaves only a little daylight.
    double light = s.lightFraction;
    if (s.ledThermalState == 1) light *= 0.5;
    else if (s.ledThermalState != 0) light = 0;
    const double gain = (0.35 + light * (0.65 / 0.6)) * std::pow(2.0, s.exposureCompensation / 6.0);
    const double contrast = (100.0 + s.contrast) / 100.0;
    const double offset = (s.brightness - 50) * 2.0;
    const double chroma = (100.0 + s.saturation) / 100.0;
    double castU = 0, castV = 0;
    if (s.awbPosition == 0) {
        castU = (s.blueGain - 1.5) * 24;
        castV = (s.redGain - 1.5) * 24;
    } else if (s.awbPosition >= 0 && s.awbPosition < 11) {
        castU = kAwbCast[s.awbPosition][0];
        castV = kAwbCast[s.awbPosition][1];
    }
    for (int i = 0; i < 256; ++i) {
        const double lit = 16 + (i - 16) * gain;
        t.luma[static_cast<size_t>(i)] = Clamp8(128 + (lit - 128) * contrast + offset);
        t.u[static_cast<size_t>(i)] = Clamp8(128 + (i - 128) * chroma * std::min(1.0, gain) + castU, 16, 240);
        t.v[static_cast<size_t>(i)] = Clamp8(128 + (i - 128) * chroma * std::min(1.0, gain) + castV, 16, 240);
    }
    t.identity = true;
    for (int i = 16; i <= 235 && t.identity; ++i)
        t.identity = t.luma[static_cast<size_t>(i)] == i && t.u[static_cast<size_t>(i)] == i &&
                     t.v[static_cast<size_t>(i)] == i;
    return t;
}

// ---- annotation -----------------------------------------------------------------------------

bool AnnotationBox(const PictureSettings& s, const std::string& caption, int width, int height, int* x, int* y,
                   int* w, int* h) {
    if (!s.annotate || caption.empty() || width <= 0 || height <= 0) return false;
    const std::string clipped = caption.substr(0, 255);
    const int scale = TextScale(s.textSize, height);
    const int textWidth = stb_easy_font_width(const_cast<char*>(clipped.c_str()));
    *w = (textWidth + 4) * scale;
    *h = 12 * scale;
    const int margin = 2 * scale;
    // Keep top captions below the frame-number row that the picture carries.
    const int topClear = 3 * FrameNumberBlockSize(width) + margin;
    const int column = s.location % 3;  // 0 centre, 1 left, 2 right
    if (column == 1) *x = margin + s.offsetX;
    else if (column == 2) *x = width - margin - *w - s.offsetX;
    else *x = (width - *w) / 2 + s.offsetX;
    if (s.location < 3) *y = topClear + s.offsetY;
    else *y = height - margin - *h - s.offsetY;
    return true;
}

void DrawAnnotation(const PictureSettings& s, const std::string& caption, const YuvPlanes& out) {
    int bx = 0, by = 0, bw = 0, bh = 0;
    if (!AnnotationBox(s, caption, out.width, out.height, &bx, &by, &bw, &bh)) return;
    const int scale = TextScale(s.textSize, out.height);
    const int cw = out.width / 2, ch = out.height / 2;
    uint8_t ty, tu, tv, gy, gu, gv;
    RgbToYuv(s.textColor, &ty, &tu, &tv);
    RgbToYuv(s.backColor, &gy, &gu, &gv);
    if (s.background) {
        FillRect(out.y, out.strideY, out.width, out.height, bx, by, bw, bh, gy);
        FillRect(out.u, out.strideU, cw, ch, bx / 2, by / 2, (bw + 1) / 2, (bh + 1) / 2, gu);
        FillRect(out.v, out.strideV, cw, ch, bx / 2, by / 2, (bw + 1) / 2, (bh + 1) / 2, gv);
    }
    // stb_easy_font emits one quad (4 vertices of 16 bytes) per lit segment.
    static thread_local std::vector<char> vertices(1 << 18);
    const std::string clipped = caption.substr(0, 255);
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(clipped.c_str()), nullptr, vertices.data(),
                                          static_cast<int>(vertices.size()));
    const int x = bx + 2 * scale, y = by + 2 * scale;
    for (int q = 0; q < quads; ++q) {
        const float* v0 = reinterpret_cast<const float*>(vertices.data() + q * 64);
        const float* v2 = reinterpret_cast<const float*>(vertices.data() + q * 64 + 32);
        const int qx = x + static_cast<int>(v0[0]) * scale, qy = y + static_cast<int>(v0[1]) * scale;
        const int qw = (static_cast<int>(v2[0]) - static_cast<int>(v0[0])) * scale;
        const int qh = (static_cast<int>(v2[1]) - static_cast<int>(v0[1])) * scale;
        FillRect(out.y, out.strideY, out.width, out.height, qx, qy, qw, qh, ty);
        FillRect(out.u, out.strideU, cw, ch, qx / 2, qy / 2, (qw + 1) / 2, (qh + 1) / 2, tu);
        FillRect(out.v, out.strideV, cw, ch, qx / 2, qy / 2, (qw + 1) / 2, (qh + 1) / 2, tv);
    }
}

// ---- PictureRenderer --------------------------------------------------------------------------

void PictureRenderer::DrawScene(uint32_t frameNumber, const YuvPlanes& p) {
    const int w = p.width, h = p.height;
    const int cw = w / 2, ch = h / 2;
    // Bars scroll left by 4 pixels per picture.
    const int shift = static_cast<int>((static_cast<uint64_t>(frameNumber) * 4) % static_cast<uint64_t>(w));
    for (int x = 0; x < w; ++x) p.y[x] = kBars[((x + shift) % w) * 8 / w][0];
    for (int y = 1; y < h; ++y) memcpy(p.y + static_cast<size_t>(y) * p.strideY, p.y, static_cast<size_t>(w));
    for (int x = 0; x < cw; ++x) {
        const int bar = ((2 * x + shift) % w) * 8 / w;
        p.u[x] = kBars[bar][1];
        p.v[x] = kBars[bar][2];
    }
    for (int y = 1; y < ch; ++y) {
        memcpy(p.u + static_cast<size_t>(y) * p.strideU, p.u, static_cast<size_t>(cw));
        memcpy(p.v + static_cast<size_t>(y) * p.strideV, p.v, static_cast<size_t>(cw));
    }
    // A grey box bouncing across the scene.
    const int box = std::max(h / 6, 8);
    const int spanX = std::max(w - box, 1), spanY = std::max(h - box, 1);
    const int px = static_cast<int>((frameNumber * 7u) % (2u * spanX));
    const int py = static_cast<int>((frameNumber * 5u) % (2u * spanY));
    const int bx = px < spanX ? px : 2 * spanX - px;
    const int by = py < spanY ? py : 2 * spanY - py;
    FillRect(p.y, p.strideY, w, h, bx, by, box, box, 128);
    FillRect(p.u, p.strideU, cw, ch, bx / 2, by / 2, box / 2, box / 2, 128);
    FillRect(p.v, p.strideV, cw, ch, bx / 2, by / 2, box / 2, box / 2, 128);
    // "TOP" at the sensor's top centre shows which way the picture is turned.
    const int scale = std::max(1, h / 90);
    const int textW = stb_easy_font_width(const_cast<char*>("TOP")) * scale;
    DrawCaption(p.y, p.strideY, w, h, (w - textW) / 2, h / 8, scale, "TOP");

    // Noise of +-8 levels at a different offset every picture.
    if (noiseStride_ != w + kNoiseShift || noiseHeight_ != h) {
        noiseStride_ = w + kNoiseShift;
        noiseHeight_ = h;
        noise_.resize(static_cast<size_t>(noiseStride_) * static_cast<size_t>(h + kNoiseShift));
        uint32_t seed = 0x2545F491u;
        for (uint8_t& n : noise_) {
            seed = seed * 1664525u + 1013904223u;
            n = static_cast<uint8_t>(seed >> 28);  // 0..15
        }
    }
    const int ox = static_cast<int>((frameNumber * 37u) % kNoiseShift), oy = static_cast<int>((frameNumber * 23u) % kNoiseShift);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.y + static_cast<size_t>(y) * p.strideY;
        const uint8_t* n = noise_.data() + static_cast<size_t>(y + oy) * noiseStride_ + ox;
        for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(std::clamp(row[x] + n[x] - 8, 0, 255));
    }
}

void PictureRenderer::PrepareMaps(const PictureSettings& s, int width, int height) {
    PictureSettings geometry = PictureSettings();
    geometry.rotation_deg = s.rotation_deg;
    geometry.flipHorizontal = s.flipHorizontal;
    geometry.flipVertical = s.flipVertical;
    geometry.zoomX = s.zoomX, geometry.zoomY = s.zoomY, geometry.zoomWidth = s.zoomWidth, geometry.zoomHeight = s.zoomHeight;
    if (geometry == mapSettings_ && width == mapWidth_ && height == mapHeight_ && !mapY_.empty()) return;
    mapSettings_ = geometry;
    mapWidth_ = width;
    mapHeight_ = height;
    const SourceMap m = MakeSourceMap(geometry);
    auto build = [&](std::vector<int32_t>* map, int w, int h) {
        map->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double sx, sy;
                m.Apply((x + 0.5) / w, (y + 0.5) / h, &sx, &sy);
                const int ix = std::clamp(static_cast<int>(sx * w), 0, w - 1);
                const int iy = std::clamp(static_cast<int>(sy * h), 0, h - 1);
                (*map)[static_cast<size_t>(y) * w + x] = iy * w + ix;
            }
    };
    build(&mapY_, width, height);
    build(&mapC_, width / 2, height / 2);
}

void PictureRenderer::Remap(const YuvPlanes& out) {
    const int w = out.width, h = out.height, cw = w / 2, ch = h / 2;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.y + static_cast<size_t>(y) * out.strideY;
        const int32_t* m = mapY_.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) row[x] = sceneY_[static_cast<size_t>(m[x])];
    }
    for (int y = 0; y < ch; ++y) {
        uint8_t* ru = out.u + static_cast<size_t>(y) * out.strideU;
        uint8_t* rv = out.v + static_cast<size_t>(y) * out.strideV;
        const int32_t* m = mapC_.data() + static_cast<size_t>(y) * cw;
        for (int x = 0; x < cw; ++x) {
            ru[x] = sceneU_[static_cast<size_t>(m[x])];
            rv[x] = sceneV_[static_cast<size_t>(m[x])];
        }
    }
}

void PictureRenderer::Render(const PictureSettings& s, uint32_t frameNumber, const std::string& caption,
                             const YuvPlanes& out) {
    const int w = out.width, h = out.height;
    if (w <= 0 || h <= 0) return;
    if (s.GeometryIsIdentity()) {
        DrawScene(frameNumber, out);
    } else {
        const int cw = w / 2, ch = h / 2;
        sceneY_.resize(static_cast<size_t>(w) * h);
        sceneU_.resize(static_cast<size_t>(cw) * ch);
        sceneV_.resize(static_cast<size_t>(cw) * ch);
        YuvPlanes scene{sceneY_.data(), sceneU_.data(), sceneV_.data(), w, cw, cw, w, h};
        DrawScene(frameNumber, scene);
        PrepareMaps(s, w, h);
        Remap(out);
    }
    if (!toneReady_ || !(toneSettings_ == s)) {
        tone_ = MakeToneCurve(s);
        toneSettings_ = s;
        toneReady_ = true;
    }
    if (!tone_.identity) {
        for (int y = 0; y < h; ++y) {
            uint8_t* row = out.y + static_cast<size_t>(y) * out.strideY;
            for (int x = 0; x < w; ++x) row[x] = tone_.luma[row[x]];
        }
        for (int y = 0; y < h / 2; ++y) {
            uint8_t* ru = out.u + static_cast<size_t>(y) * out.strideU;
            uint8_t* rv = out.v + static_cast<size_t>(y) * out.strideV;
            for (int x = 0; x < w / 2; ++x) {
                ru[x] = tone_.u[ru[x]];
                rv[x] = tone_.v[rv[x]];
            }
        }
    }
    DrawAnnotation(s, caption, out);
    // Neutral chroma under the number blocks so they stay black and white.
    const int block = FrameNumberBlockSize(w);
    FillRect(out.u, out.strideU, w / 2, h / 2, 0, 0, (kFrameNumberBits + 3) * block / 2, 3 * block / 2, 128);
    FillRect(out.v, out.strideV, w / 2, h / 2, 0, 0, (kFrameNumberBits + 3) * block / 2, 3 * block / 2, 128);
    DrawFrameNumber(out.y, out.strideY, w, h, frameNumber);
}

}  // namespace camsim
