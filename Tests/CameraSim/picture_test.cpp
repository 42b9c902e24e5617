// The simulated camera's picture follows every visible setting: rotation,
// flips and the zoom window (as a point map and in rendered pictures), tone
// and colour, the LED level and thermal state, the annotation overlay, and
// stills that turn, flip and zoom like the video. The settings are read
// from the unit's own table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "CameraSim/CaptureServer.h"
#include "CameraSim/Picture.h"
#include "CameraSim/Unit.h"
#include "CameraSim/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace {

using camsim::PictureSettings;

// A 4:2:0 picture in memory.
struct Picture {
    int w, h;
    std::vector<uint8_t> y, u, v;
    Picture(int width, int height)
        : w(width), h(height), y(static_cast<size_t>(width) * height), u(static_cast<size_t>(width / 2) * (height / 2)),
          v(u.size()) {}
    camsim::YuvPlanes Planes() { return {y.data(), u.data(), v.data(), w, w / 2, w / 2, w, h}; }
    int Y(int x, int yy) const { return y[static_cast<size_t>(yy) * w + x]; }
    double MeanY() const {
        double s = 0;
        for (uint8_t p : y) s += p;
        return s / static_cast<double>(y.size());
    }
    double Mean(const std::vector<uint8_t>& plane) const {
        double s = 0;
        for (uint8_t p : plane) s += p;
        return s / static_cast<double>(plane.size());
    }
};

Picture Render(const PictureSettings& s, uint32_t frame = 40, const std::string& caption = "", int w = 320,
               int h = 180) {
    Picture p(w, h);
    camsim::PictureRenderer renderer;
    renderer.Render(s, frame, caption, p.Planes());
    return p;
}

// Mean absolute difference between neighbours along a row and a column,
// away from the frame counter (top rows) and the caption.
double RowChange(const Picture& p, int row) {
    double s = 0;
    for (int x = 1; x < p.w; ++x) s += std::abs(p.Y(x, row) - p.Y(x - 1, row));
    return s / (p.w - 1);
}

// Spread of the per-column means (bars standing upright) and of the per-row
// means (bars lying down), below the frame counter.
double ColumnMeansSpread(const Picture& p) {
    std::vector<double> m(static_cast<size_t>(p.w), 0);
    for (int y = 60; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) m[static_cast<size_t>(x)] += p.Y(x, y);
    double lo = 1e9, hi = -1e9;
    for (double v : m) lo = std::min(lo, v / (p.h - 60)), hi = std::max(hi, v / (p.h - 60));
    return hi - lo;
}
double RowMeansSpread(const Picture& p) {
    double lo = 1e9, hi = -1e9;
    for (int y = 60; y < p.h; ++y) {
        double s = 0;
        for (int x = 0; x < p.w; ++x) s += p.Y(x, y);
        lo = std::min(lo, s / p.w), hi = std::max(hi, s / p.w);
    }
    return hi - lo;
}

TEST(SimPicture, RotationDegreesOfTheRawValue) {
    // Raw 2 is upright; the shown position is (raw + 2) mod 4.
    const int cases[][2] = {{2, 0}, {3, 90}, {0, 180}, {1, 270}, {6, 0}, {-1, 90}};
    for (const auto& c : cases) EXPECT_EQ(camsim::RotationDegrees(c[0]), c[1]) << c[0];
}

TEST(SimPicture, SourceMapCornersTable) {
    struct Case {
        int rotation;
        bool flipH, flipV;
        double zx, zy, zw;
        double u, v;    // output point
        double sx, sy;  // the sensor point it shows
    } cases[] = {
        {0, false, false, 0, 0, 1, 0, 0, 0, 0},
        {0, false, false, 0, 0, 1, 1, 0.5, 1, 0.5},
        {90, false, false, 0, 0, 1, 1, 0, 0, 0},      // turned clockwise: the sensor's top-left is top-right
        {90, false, false, 0, 0, 1, 0, 0, 0, 1},
        {180, false, false, 0, 0, 1, 0, 0, 1, 1},
        {270, false, false, 0, 0, 1, 0, 1, 0, 0},     // ... and bottom-left at 270
        {0, true, false, 0, 0, 1, 0, 0, 1, 0},
        {0, false, true, 0, 0, 1, 0, 0, 0, 1},
        {0, true, true, 0, 0, 1, 0.25, 0.25, 0.75, 0.75},
        {0, false, false, 0.25, 0.5, 0.5, 0, 0, 0.25, 0.5},  // the zoom window's corner
        {0, false, false, 0.25, 0.5, 0.5, 1, 1, 0.75, 1.0},
        {90, false, false, 0.5, 0.0, 0.5, 1, 0, 0.5, 0},     // zoom then turn
        {90, true, false, 0.5, 0.0, 0.5, 1, 0, 1.0, 0},      // flip applies before the turn
    };
    for (const Case& c : cases) {
        PictureSettings s;
        s.rotation_deg = c.rotation;
        s.flipHorizontal = c.flipH;
        s.flipVertical = c.flipV;
        s.zoomX = c.zx, s.zoomY = c.zy, s.zoomWidth = s.zoomHeight = c.zw;
        double sx = -1, sy = -1;
        camsim::MakeSourceMap(s).Apply(c.u, c.v, &sx, &sy);
        EXPECT_NEAR(sx, c.sx, 1e-9) << c.rotation << " " << c.flipH << c.flipV << " " << c.u << "," << c.v;
        EXPECT_NEAR(sy, c.sy, 1e-9) << c.rotation << " " << c.flipH << c.flipV << " " << c.u << "," << c.v;
    }
}

TEST(SimPicture, QuarterTurnMakesTheBarsHorizontal) {
    PictureSettings upright, turned;
    turned.rotation_deg = 90;
    const Picture a = Render(upright), b = Render(turned);
    // Upright the bars change along a row and hardly down a column; turned the other way round.
    EXPECT_GT(ColumnMeansSpread(a), RowMeansSpread(a) * 2);
    EXPECT_GT(RowMeansSpread(b), ColumnMeansSpread(b) * 2);
    // Frame counter stays upright and readable in both.
    uint32_t n = 0;
    ASSERT_TRUE(camsim::ReadFrameNumber(b.y.data(), b.w, b.w, b.h, &n));
    EXPECT_EQ(n, 40u);
}

TEST(SimPicture, FlipMirrorsTheScene) {
    PictureSettings plain, flipped;
    flipped.flipHorizontal = true;
    const Picture a = Render(plain), b = Render(flipped);
    int same = 0, total = 0;
    for (int y = 60; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x, ++total) same += b.Y(x, y) == a.Y(a.w - 1 - x, y);
    EXPECT_EQ(same, total);
}

TEST(SimPicture, ZoomWindowEnlargesItsPart) {
    PictureSettings full, zoomed;
    zoomed.zoomX = 0.25, zoomed.zoomY = 0.25, zoomed.zoomWidth = zoomed.zoomHeight = 0.5;
    const Picture a = Render(full), b = Render(zoomed);
    int same = 0, total = 0;
    for (int y = 60; y < a.h; y += 3)
        for (int x = 0; x < a.w; x += 3, ++total) {
            const int sx = static_cast<int>(((x + 0.5) / a.w * 0.5 + 0.25) * a.w);
            const int sy = static_cast<int>(((y + 0.5) / a.h * 0.5 + 0.25) * a.h);
            same += b.Y(x, y) == a.Y(sx, sy);
        }
    EXPECT_EQ(same, total);
    // Twice the size: half as many bar edges along a row.
    EXPECT_LT(RowChange(b, 150), RowChange(a, 150) * 0.75);
}

TEST(SimPicture, ToneFollowsBrightnessContrastSaturationAndLight) {
    const double base = Render(PictureSettings()).MeanY();
    struct Case {
        const char* name;
        void (*change)(PictureSettings&);
        int direction;  // +1 brighter, -1 darker
    } cases[] = {
        {"brightness 90", [](PictureSettings& s) { s.brightness = 90; }, +1},
        {"brightness 10", [](PictureSettings& s) { s.brightness = 10; }, -1},
        {"LED full", [](PictureSettings& s) { s.lightFraction = 1.0; }, +1},
        {"LED off", [](PictureSettings& s) { s.lightFraction = 0.0; }, -1},
        {"LED dimmed", [](PictureSettings& s) { s.ledThermalState = 1; }, -1},
        {"LED shut down", [](PictureSettings& s) { s.ledThermalState = 2; }, -1},
        {"exposure +6", [](PictureSettings& s) { s.exposureCompensation = 6; }, +1},
    };
    for (const Case& c : cases) {
        PictureSettings s;
        c.change(s);
        const double mean = Render(s).MeanY();
        EXPECT_GT((mean - base) * c.direction, 8) << c.name << " " << mean << " vs " << base;
    }
    // A shut-down LED is darker than a dimmed one.
    PictureSettings dimmed, off;
    dimmed.ledThermalState = 1;
    off.ledThermalState = 2;
    EXPECT_LT(Render(off).MeanY(), Render(dimmed).MeanY() - 8);

    // Contrast spreads the levels; saturation -100 leaves no colour.
    PictureSettings flat, strong, grey;
    flat.contrast = -80;
    strong.contrast = 80;
    grey.saturation = -100;
    EXPECT_LT(RowChange(Render(flat), 150), RowChange(Render(strong), 150) * 0.5);
    const Picture g = Render(grey);
    for (size_t i = 0; i < g.u.size(); ++i) {
        ASSERT_EQ(g.u[i], 128) << i;
        ASSERT_EQ(g.v[i], 128) << i;
    }
    // White balance off with a high red gain turns the picture red.
    PictureSettings red;
    red.awbPosition = 0;
    red.redGain = 4.0;
    const Picture r = Render(red), n = Render(PictureSettings());
    EXPECT_GT(r.Mean(r.v), n.Mean(n.v) + 20);
}

TEST(SimPicture, AnnotationBoxFollowsLocationAndOffsets) {
    const int w = 640, h = 360;
    const std::string text = "PIPE 7  2026-12-10  0:01:02";
    struct Case {
        int location;
        bool left, right, top;  // which edge the box is at (neither left nor right: centred)
    } cases[] = {{0, false, false, true}, {1, true, false, true},  {2, false, true, true},
                 {3, false, false, false}, {4, true, false, false}, {5, false, true, false}};
    for (const Case& c : cases) {
        PictureSettings s;
        s.location = c.location;
        int x, y, bw, bh;
        ASSERT_TRUE(camsim::AnnotationBox(s, text, w, h, &x, &y, &bw, &bh));
        const int centre = x + bw / 2;
        if (c.left) {
            EXPECT_LT(x, 20) << c.location;
        } else if (c.right) {
            EXPECT_GT(x + bw, w - 20) << c.location;
        } else {
            EXPECT_NEAR(centre, w / 2, 2) << c.location;
        }
        if (c.top) {
            EXPECT_LT(y, h / 3) << c.location;
            EXPECT_GE(y, 3 * camsim::FrameNumberBlockSize(w)) << "top captions clear the frame counter";
        } else {
            EXPECT_GT(y + bh, h - 20) << c.location;
        }
        // Offsets move the box inward from its edges.
        PictureSettings moved = s;
        moved.offsetX = 30;
        moved.offsetY = 20;
        int mx, my, mw, mh;
        ASSERT_TRUE(camsim::AnnotationBox(moved, text, w, h, &mx, &my, &mw, &mh));
        EXPECT_EQ(mx - x, c.right ? -30 : 30) << c.location;
        EXPECT_EQ(my - y, c.top ? 20 : -20) << c.location;
    }
    // A bigger size gives a bigger box; the overlay off or no text: no box.
    PictureSettings small, big, off;
    small.textSize = 16;
    big.textSize = 96;
    off.annotate = false;
    int x, y, sw, sh, bw, bh;
    ASSERT_TRUE(camsim::AnnotationBox(small, text, w, h, &x, &y, &sw, &sh));
    ASSERT_TRUE(camsim::AnnotationBox(big, text, w, h, &x, &y, &bw, &bh));
    EXPECT_GT(bh, sh * 3);
    EXPECT_FALSE(camsim::AnnotationBox(off, text, w, h, &x, &y, &bw, &bh));
    EXPECT_FALSE(camsim::AnnotationBox(small, "", w, h, &x, &y, &bw, &bh));
}

TEST(SimPicture, AnnotationColoursAndBackground) {
    const std::string text = "WWWW";
    PictureSettings s;
    s.location = 4;
    s.background = true;
    s.textColor = 0x0000FF;  // red (red in the low byte)
    s.backColor = 0xFF0000;  // blue
    const Picture p = Render(s, 40, text, 640, 360);
    int x, y, bw, bh;
    ASSERT_TRUE(camsim::AnnotationBox(s, text, 640, 360, &x, &y, &bw, &bh));
    uint8_t ry, ru, rv, by, bu, bv;
    camsim::RgbToYuv(0x0000FF, &ry, &ru, &rv);
    camsim::RgbToYuv(0xFF0000, &by, &bu, &bv);
    int textPixels = 0, backPixels = 0;
    for (int yy = y; yy < y + bh; ++yy)
        for (int xx = x; xx < x + bw; ++xx) {
            textPixels += p.Y(xx, yy) == ry;
            backPixels += p.Y(xx, yy) == by;
        }
    EXPECT_GT(textPixels, 50);
    EXPECT_GT(backPixels, bw * bh / 3);
    EXPECT_EQ(p.v[static_cast<size_t>(y / 2) * 320 + x / 2], bv);  // the box's corner is background

    // Without a background only the letters are drawn.
    s.background = false;
    const Picture q = Render(s, 40, text, 640, 360);
    int back = 0;
    for (int yy = y; yy < y + bh; ++yy)
        for (int xx = x; xx < x + bw; ++xx) back += q.Y(xx, yy) == by;
    EXPECT_LT(back, bw * bh / 20);
}

TEST(SimPicture, SettingsComeFromTheUnitTable) {
    camsim::Options o;
    o.mdns = false;
    camsim::Unit unit(o);
    const PictureSettings initial = camsim::ReadPictureSettings(unit, 0);
    EXPECT_TRUE(initial.GeometryIsIdentity());
    EXPECT_EQ(camsim::MakeToneCurve(initial).identity, true) << "the default picture is drawn as it is";
    unit.SetParamValue(0, 93, 3);
    unit.SetParamValue(0, 94, 1);
    unit.SetParamValue(0, 96, 2500);
    unit.SetParamValue(0, 98, 5000);
    unit.SetParamValue(0, 99, 5000);
    unit.SetParamValue(0, 82, 70);
    unit.SetParamValue(0, 36, 100);
    unit.SetParamValue(0, 155, 0);
    unit.SetParamValue(0, 160, 2);
    unit.SetParamValue(0, 158, 0);
    unit.Force(0, 43, 2);
    const PictureSettings s = camsim::ReadPictureSettings(unit, 0);
    EXPECT_EQ(s.rotation_deg, 90);
    EXPECT_TRUE(s.flipHorizontal);
    EXPECT_DOUBLE_EQ(s.zoomX, 0.25);
    EXPECT_DOUBLE_EQ(s.zoomWidth, 0.5);
    EXPECT_EQ(s.brightness, 70);
    EXPECT_DOUBLE_EQ(s.lightFraction, 1.0);
    EXPECT_EQ(s.ledThermalState, 2);
    EXPECT_FALSE(s.annotate);
    EXPECT_EQ(s.location, 2);
    EXPECT_EQ(s.textColor, 0u);
    // The other camera keeps its own settings.
    EXPECT_TRUE(camsim::ReadPictureSettings(unit, 1).GeometryIsIdentity());
    // A zoom window past the picture's edge is kept inside it.
    unit.SetParamValue(0, 96, 7500);
    EXPECT_DOUBLE_EQ(camsim::ReadPictureSettings(unit, 0).zoomX, 0.5);
    // The session-timer format is described (the program's caption carries the timer).
    EXPECT_EQ(unit.Param(0, 166)[1], 1);
    EXPECT_EQ(unit.Param(1, 166)[3], 2);
}

// Decodes a JPEG into its luma plane.
bool DecodeJpeg(const std::vector<uint8_t>& jpeg, Picture* out) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    bool ok = avcodec_open2(ctx, codec, nullptr) == 0;
    packet->data = const_cast<uint8_t*>(jpeg.data());
    packet->size = static_cast<int>(jpeg.size());
    ok = ok && avcodec_send_packet(ctx, packet) == 0 && avcodec_receive_frame(ctx, frame) == 0;
    if (ok) {
        *out = Picture(frame->width, frame->height);
        for (int y = 0; y < frame->height; ++y)
            memcpy(out->y.data() + static_cast<size_t>(y) * out->w, frame->data[0] + y * frame->linesize[0],
                   static_cast<size_t>(out->w));
    }
    packet->data = nullptr;
    packet->size = 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return ok;
}

TEST(SimPicture, StillsTurnFlipAndZoomLikeTheVideo) {
    const int w = 320, h = 240;
    // Where the centre of the sensor's top-left mark lands, in eighths of the picture.
    struct Case {
        int rotation;
        bool flipH;
        double zoom;
        int markX, markY;
    } cases[] = {{0, false, 1, 1, 1}, {90, false, 1, 7, 1}, {180, false, 1, 7, 7}, {270, false, 1, 1, 7},
                 {0, true, 1, 7, 1},  {0, false, 0.5, 2, 2}};
    for (const Case& c : cases) {
        PictureSettings s;
        s.rotation_deg = c.rotation;
        s.flipHorizontal = c.flipH;
        s.zoomWidth = s.zoomHeight = c.zoom;
        Picture p(2, 2);
        ASSERT_TRUE(DecodeJpeg(camsim::EncodeTestJpeg(w, h, 90, 1, s), &p)) << c.rotation;
        ASSERT_EQ(p.w, w);
        const int x = c.markX * w / 8, y = c.markY * h / 8;
        EXPECT_GT(p.Y(x, y), 215) << "rotation " << c.rotation << " flip " << c.flipH << " zoom " << c.zoom;
        // Mirrored across the middle there is no mark.
        EXPECT_LT(p.Y(w - 1 - x, y), 190) << "rotation " << c.rotation << " flip " << c.flipH;
    }
}

}  // namespace
