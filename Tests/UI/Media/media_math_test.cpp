// The media view's arithmetic as tables: time text, scrubber, file stepping,
// the image viewer's fit, zoom limits, zoom about a point, pan and pinch, and
// the progress bars' easing.
#include <gtest/gtest.h>

#include "UI/MediaMath.h"

namespace {

using namespace ui;

TEST(PlayTimeText, TruncatesToWholeSeconds) {
    struct Case {
        double current, total;
        const char* text;
    } cases[] = {
        {75.0, 90.0, "0:01:15 / 0:01:30"},
        {75.999, 90.5, "0:01:15 / 0:01:30"},
        {0, 0, "0:00:00 / 0:00:00"},
        {3600 + 61.2, 7322.9, "1:01:01 / 2:02:02"},
        {-1, -1, "0:00:00 / 0:00:00"},  // unknown duration
    };
    for (const Case& c : cases) EXPECT_EQ(PlayTimeText(c.current, c.total), c.text) << c.current;
}

TEST(Scrubber, SeekRequestIsThousandthsClamped) {
    struct Case {
        float mouse, left, width;
        int request;
    } cases[] = {
        {148, 48, 200, 500}, {48, 48, 200, 0}, {10, 48, 200, 0}, {248, 48, 200, 1000},
        {900, 48, 200, 1000}, {48.2f, 48, 1000, 0}, {49.0f, 48, 1000, 1}, {100, 48, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScrubberSeekRequest(c.mouse, c.left, c.width), c.request) << c.mouse;
}

TEST(Scrubber, PlayedPartIsAtLeastFourPixels) {
    EXPECT_FLOAT_EQ(PlayedWidth(1000, 0.0), 4);
    EXPECT_FLOAT_EQ(PlayedWidth(1000, 0.5), 500);
    EXPECT_FLOAT_EQ(PlayedWidth(1000, 1.5), 1000);
    EXPECT_FLOAT_EQ(PlayedWidth(1000, -1), 4);
    EXPECT_FLOAT_EQ(PlayedWidth(1000, 0.0 / 0.0), 4);
}

TEST(FileStep, WrapsRoundBothWays) {
    struct Case {
        int index, step, count, result;
    } cases[] = {
        {0, -1, 5, 4}, {4, 1, 5, 0}, {2, 1, 5, 3}, {2, -1, 5, 1}, {0, 1, 1, 0}, {0, -1, 1, 0}, {0, 1, 0, -1},
        {-1, 1, 3, 0},  // nothing selected: next is the first
    };
    for (const Case& c : cases) EXPECT_EQ(StepFileIndex(c.index, c.step, c.count), c.result) << c.index << c.step;
}

TEST(ImageView, ZoomRunsFromFitToTwoAndNoFurther) {
    // A 4000 x 3000 image in a 1000 x 600 area: fit 0.2.
    const float fit = FitZoom(1000, 600, 4000, 3000);
    EXPECT_FLOAT_EQ(fit, 0.2f);
    ImageViewState view;
    ConstrainImageView(&view, 1000, 600, 4000, 3000);
    EXPECT_FLOAT_EQ(view.zoom, 0.2f);
    for (int i = 0; i < 40; ++i)
        ZoomImageAt(&view, WheelZoom(view.zoom, 1), fit, 500, 300, 0, 0, 1000, 600, 4000, 3000);
    EXPECT_FLOAT_EQ(view.zoom, 2.0f);
    for (int i = 0; i < 40; ++i)
        ZoomImageAt(&view, WheelZoom(view.zoom, -1), fit, 500, 300, 0, 0, 1000, 600, 4000, 3000);
    EXPECT_FLOAT_EQ(view.zoom, 0.2f);
}

TEST(ImageView, ZoomKeepsThePointUnderThePointer) {
    const float areaX = 10, areaY = 20, W = 1000, H = 600, iw = 4000, ih = 3000;
    ImageViewState view{0.5f, 0.5f, 0.5f};
    struct Case {
        float px, py, zoom;
    } cases[] = {{300, 200, 1.0f}, {800, 500, 1.5f}, {510, 320, 2.0f}, {100, 100, 0.7f}};
    for (const Case& c : cases) {
        float ox = 0, oy = 0;
        ImageOrigin(view, areaX, areaY, W, H, iw, ih, &ox, &oy);
        const float u = (c.px - ox) / (view.zoom * iw), v = (c.py - oy) / (view.zoom * ih);
        ZoomImageAt(&view, c.zoom, 0.2f, c.px, c.py, areaX, areaY, W, H, iw, ih);
        ASSERT_FLOAT_EQ(view.zoom, c.zoom);
        ImageOrigin(view, areaX, areaY, W, H, iw, ih, &ox, &oy);
        EXPECT_NEAR(ox + u * view.zoom * iw, c.px, 0.05f) << c.px;
        EXPECT_NEAR(oy + v * view.zoom * ih, c.py, 0.05f) << c.py;
    }
}

TEST(ImageView, SmallerAxesAreCentredAndPanStaysOnTheImage) {
    // At the fit zoom of a wide image the height is smaller than the area: v centred.
    ImageViewState view{0.1f, 0.9f, 0};
    ConstrainImageView(&view, 1000, 600, 4000, 1000);  // fit 0.25: 1000 x 250
    EXPECT_FLOAT_EQ(view.zoom, 0.25f);
    EXPECT_FLOAT_EQ(view.panU, 0.1f);  // exactly as wide as the area: not narrower, u kept
    EXPECT_FLOAT_EQ(view.panV, 0.5f);
    view.zoom = 1.0f;
    PanImage(&view, -400, 0, 4000, 1000);  // drag left by 400 pixels: the view moves right by 0.1
    EXPECT_NEAR(view.panU, 0.2f, 1e-5);
    PanImage(&view, 0, 5000, 4000, 1000);
    EXPECT_FLOAT_EQ(view.panV, 0.0f);
    PanImage(&view, -1e6f, -1e6f, 4000, 1000);
    EXPECT_FLOAT_EQ(view.panU, 1.0f);
    EXPECT_FLOAT_EQ(view.panV, 1.0f);
}

TEST(ImageView, PinchGrowsWithTheFingersSpread) {
    EXPECT_FLOAT_EQ(PinchZoom(1.0f, 500, 400), 1.25f);   // +100 px at zoom 1: +100 / 400
    EXPECT_FLOAT_EQ(PinchZoom(0.5f, 300, 400), 0.375f);  // -100 px at 0.5: -100 / 800
    EXPECT_FLOAT_EQ(PinchZoom(1.0f, 400, 400), 1.0f);
}

}  // namespace
