// The latency probe's colour classification and its measuring cycle.
#include <gtest/gtest.h>

#include <vector>

#include "Video/AV/LatencyProbe.h"

namespace {

// A W x H NV12 image of one colour (studio-range Y, U, V).
std::vector<uint8_t> Nv12(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
    std::vector<uint8_t> image(static_cast<size_t>(w) * h * 3 / 2, y);
    for (size_t i = static_cast<size_t>(w) * h; i + 1 < image.size(); i += 2) {
        image[i] = u;
        image[i + 1] = v;
    }
    return image;
}

struct ColourCase {
    const char* name;
    uint8_t y, u, v;
    int code;
};

TEST(LatencyProbe, ClassifiesColours) {
    const ColourCase cases[] = {
        {"blue", 41, 240, 110, 1},
        {"green", 145, 54, 34, 2},
        {"red", 81, 90, 240, 4},
        // Grey: only the exact maximum counts, here blue by a hair.
        {"grey", 126, 128, 128, 1},
    };
    for (const ColourCase& c : cases) {
        std::vector<uint8_t> image = Nv12(64, 48, c.y, c.u, c.v);
        EXPECT_EQ(AV::ClassifyNV12Colour(image.data(), 64, 48), c.code) << c.name;
    }
    // Only the four samples around the centre count.
    std::vector<uint8_t> image = Nv12(64, 48, 41, 240, 110);
    image[0] = 235;
    EXPECT_EQ(AV::ClassifyNV12Colour(image.data(), 64, 48), 1);
    EXPECT_EQ(AV::ClassifyNV12Colour(nullptr, 64, 48), 0);
}

// A camera that sees a steady blue screen while blue is expected measures
// one latency, then waits for green.
TEST(LatencyProbe, SteadyBlueMeasuresOnceThenWaitsForGreen) {
    AV::LatencyProbeState s;
    s.shownAt_us = 1000000;
    AV::LatencyProbeStep(&s, 1, 1120000);
    EXPECT_DOUBLE_EQ(s.latency_ms, 120.0);
    EXPECT_EQ(s.expected, 2);
    AV::LatencyProbeStep(&s, 1, 1150000);  // still blue: green shown from now
    EXPECT_EQ(s.shownAt_us, 1150000);
    EXPECT_EQ(s.previous, 2);
    AV::LatencyProbeStep(&s, 1, 1180000);  // still blue: nothing changes
    EXPECT_EQ(s.shownAt_us, 1150000);
    EXPECT_DOUBLE_EQ(s.latency_ms, 120.0);
    AV::LatencyProbeStep(&s, 2, 1250000);
    EXPECT_DOUBLE_EQ(s.latency_ms, 100.0);
    EXPECT_EQ(s.expected, 4);
    AV::LatencyProbeStep(&s, 4, 4000000);  // limited to one second
    EXPECT_DOUBLE_EQ(s.latency_ms, 1000.0);
    EXPECT_EQ(s.expected, 1);  // the codes cycle 1, 2, 4, 1
}

}  // namespace
