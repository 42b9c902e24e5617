// The searching scene's turning law and matrices against hand-computed
// values, the scene drawing every part with them, and the splash's timing.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <vector>

#include "Platform/GraphicsGL/FakeGC.h"
#include "UI/SearchingScene.h"
#include "UI/Splash.h"

namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectMatrix(const float* actual, const std::vector<float>& expected, float tolerance) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[size_t(i)], tolerance) << "element " << i;
}

TEST(TurningAngle, Law) {
    const struct {
        float angle, dt, expected;
    } cases[] = {
        {0.0f, 0.0f, 0.0f},                                   // first drawing
        {0.0f, 1.0f, 0.3f * kPi},                             // facing the viewer: 0.3 pi rad/s
        {kPi, 1.0f, kPi + 0.1f * kPi},                        // facing away: 0.1 pi rad/s
        {kPi / 2, 0.5f, kPi / 2 + 0.5f * kPi * 0.2f},         // half way: c = 0.5
        {2 * kPi - 0.01f, 0.5f, 2 * kPi - 0.01f + 0.5f * kPi * (0.3f * (1 - 0.5f + 0.5f * std::cos(0.01f)) +
                                                            0.1f * (0.5f - 0.5f * std::cos(0.01f))) - 2 * kPi},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        EXPECT_NEAR(ui::AdvanceTurningAngle(c.angle, c.dt), c.expected, 1e-5f);
    }
    // A full second of turning from the front, in 60 frames, is about 0.3 pi
    // less the slowing as it turns away.
    float a = 0.0f;
    for (int i = 0; i < 60; ++i) a = ui::AdvanceTurningAngle(a, 1.0f / 60.0f);
    EXPECT_GT(a, 0.28f * kPi);
    EXPECT_LT(a, 0.3f * kPi);
    // Many turns stay within one turn.
    for (int i = 0; i < 1000; ++i) a = ui::AdvanceTurningAngle(a, 0.7f);
    EXPECT_GE(a, 0.0f);
    EXPECT_LT(a, 2 * kPi);
}

// Eye (0, 1.2, 4): |e| = 4.176122, z = (0, 0.287348, 0.957826),
// x = (1, 0, 0), y = z x x = (0, 0.957826, -0.287348).
const std::vector<float> kView = {1, 0, 0, 0,                   //
                                  0, 0.957826f, 0.287348f, 0,   //
                                  0, -0.287348f, 0.957826f, 0,  //
                                  0, 0, -4.176122f, 1};

TEST(SearchingSceneMatrices, FacingTheViewer) {
    const ui::SceneMatrices m = ui::SearchingSceneMatrices(0.0f, 1280, 800);
    // Quarter turn about x: rows (1,0,0), (0,0,1), (0,-1,0).
    ExpectMatrix(m.model, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}, 1e-6f);
    ExpectMatrix(m.view, kView, 1e-5f);
    // 1.25 x W / H = 2.0; -(f + n) / (f - n) = -1.0002; -2 f n / (f - n) = -0.20002.
    ExpectMatrix(m.projection, {1.25f, 0, 0, 0, 0, 2.0f, 0, 0, 0, -0.25f, -1.0002f, -1, 0, 0, -0.20002f, 0}, 1e-6f);
}

TEST(SearchingSceneMatrices, QuarterTurn) {
    // Angle pi/2, theta = -pi/2: (1,0,0) -> (0,0,-1), (0,0,1) -> (1,0,0),
    // (0,-1,0) stays (it lies on the axis).
    const ui::SceneMatrices m = ui::SearchingSceneMatrices(kPi / 2, 1000, 500);
    ExpectMatrix(m.model, {0, 0, -1, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1}, 1e-6f);
    ExpectMatrix(m.view, kView, 1e-5f);
    EXPECT_FLOAT_EQ(m.projection[5], 2.5f);
}

// A point on the view axis lands a quarter of the screen above the centre.
TEST(SearchingSceneMatrices, ModelSitsAboveTheCentre) {
    const ui::SceneMatrices m = ui::SearchingSceneMatrices(0.3f, 1280, 800);
    float mv[16];
    GL::MultiplyMatrix4(m.model, m.view, mv);
    float clip[4] = {0, 0, 0, 0};
    const float origin[4] = {0, 0, 0, 1};
    float viewPoint[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) viewPoint[c] += origin[k] * mv[k * 4 + c];
    }
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) clip[c] += viewPoint[k] * m.projection[k * 4 + c];
    }
    EXPECT_NEAR(clip[0] / clip[3], 0.0f, 1e-5f);
    // The origin lies slightly below the view axis (the eye looks down), so
    // its y is a little under 0.25 but well above the centre.
    EXPECT_GT(clip[1] / clip[3], 0.2f);
    EXPECT_LE(clip[1] / clip[3], 0.2501f);
    EXPECT_GT(clip[2] / clip[3], -1.0f);
    EXPECT_LT(clip[2] / clip[3], 1.0f);
}

TEST(SearchingScene, DrawsEveryPartWithTheMatricesAndLight) {
    FakeGC gc;
    std::mutex lock;
    std::vector<GL::ModelPart> parts(4);
    for (auto& p : parts) {
        p.vertices.resize(3);
        p.indices = {0, 1, 2};
    }
    ui::SearchingSceneState state;
    ui::DrawSearchingScene(&gc, lock, parts, 10.0, 1280, 800, state);  // first drawing: no turn
    ASSERT_EQ(gc.drawnModels.size(), 4u);
    EXPECT_EQ(state.angle, 0.0f);
    ui::DrawSearchingScene(&gc, lock, parts, 11.0, 1280, 800, state);  // one second later
    ASSERT_EQ(gc.drawnModels.size(), 8u);
    EXPECT_NEAR(state.angle, 0.3f * kPi, 1e-5f);
    const ui::SceneMatrices m = ui::SearchingSceneMatrices(state.angle, 1280, 800);
    for (size_t i = 4; i < 8; ++i) {
        const GL::ModelPart& p = gc.drawnModels[i];
        ExpectMatrix(p.model, std::vector<float>(m.model, m.model + 16), 0.0f);
        ExpectMatrix(p.view, kView, 1e-5f);
        ExpectMatrix(p.projection, std::vector<float>(m.projection, m.projection + 16), 0.0f);
        EXPECT_EQ(p.light[0], -0.5f);
        EXPECT_EQ(p.light[1], 0.25f);
        EXPECT_EQ(p.light[2], -2.0f);
    }
    // An empty client area draws nothing and does not turn.
    ui::DrawSearchingScene(&gc, lock, parts, 12.0, 0, 800, state);
    EXPECT_EQ(gc.drawnModels.size(), 8u);
    ui::DrawSearchingScene(nullptr, lock, parts, 12.0, 1280, 800, state);
    EXPECT_NEAR(state.angle, 0.3f * kPi, 1e-5f);
}

TEST(Splash, Timing) {
    struct Frame {
        double t;
        bool drawn, takesFrame;
        float alpha, level, progress;
    };
    // Start at t = 5: 0.9 s rise and fade-in, hold to 2.7 s, fade out to 3.0 s.
    const Frame frames[] = {
        {5.0, true, true, 0.0f, 1.0f, 0.0f},   {5.45, true, true, 0.5f, 1.0f, 0.5f},
        {5.95, true, true, 1.0f, 1.0f, 1.0f},  {7.6, true, true, 1.0f, 1.0f, 1.0f},
        {7.8, true, false, 4.0f / 9.0f, 4.0f / 9.0f, 1.0f}, {7.95, true, false, 1.0f / 36.0f, 1.0f / 36.0f, 1.0f},
        {8.0, false, false, 0.0f, 0.0f, 1.0f}, {8.5, false, false, 0.0f, 0.0f, 1.0f},
    };
    ui::SplashState s;
    for (const Frame& f : frames) {
        SCOPED_TRACE(f.t);
        bool takes = true;
        EXPECT_EQ(ui::SplashStep(s, f.t, &takes), f.drawn);
        EXPECT_EQ(takes, f.takesFrame);
        EXPECT_NEAR(s.logoAlpha, f.alpha, 1e-4f);
        EXPECT_NEAR(s.level, f.level, 1e-4f);
        EXPECT_NEAR(s.progress, f.progress, 1e-4f);
    }
    EXPECT_EQ(s.state, ui::SplashFinished);
    EXPECT_DOUBLE_EQ(s.startSeconds, 5.0);
}

TEST(Splash, HoldKeepsTheFullLogoAndTheFadeFollowsItsRelease) {
    ui::SplashState s;
    bool takes = false;
    ASSERT_TRUE(ui::SplashStep(s, 0.0, &takes));
    s.holdFullLogo = true;
    // Held well past the normal 3-second end: still the full logo.
    for (double t : {1.0, 2.9, 3.5, 30.0}) {
        SCOPED_TRACE(t);
        EXPECT_TRUE(ui::SplashStep(s, t, &takes));
        EXPECT_TRUE(takes);
        EXPECT_FLOAT_EQ(s.logoAlpha, 1.0f);
        EXPECT_FLOAT_EQ(s.level, 1.0f);
    }
    // Released at 30 s: 1.8 s more of the full logo, then the 0.3-s fade.
    s.holdFullLogo = false;
    EXPECT_TRUE(ui::SplashStep(s, 31.7, &takes));
    EXPECT_FLOAT_EQ(s.logoAlpha, 1.0f);
    EXPECT_TRUE(ui::SplashStep(s, 31.95, &takes));
    EXPECT_FALSE(takes);
    EXPECT_LT(s.logoAlpha, 1.0f);
    EXPECT_FALSE(ui::SplashStep(s, 32.2, &takes));
    EXPECT_EQ(s.state, ui::SplashFinished);
}

TEST(Splash, LogoRisesIntoTheCentre) {
    // At UI scale 2 the logo is 1080 x 420; it starts 160 px below centre.
    const ImVec2 start = ui::SplashLogoPosition(0.0f, 1920, 1080, 1080, 420, 2.0f);
    EXPECT_FLOAT_EQ(start.x, 420.0f);
    EXPECT_FLOAT_EQ(start.y, 330.0f + 160.0f);
    const ImVec2 half = ui::SplashLogoPosition(0.5f, 1920, 1080, 1080, 420, 2.0f);
    EXPECT_FLOAT_EQ(half.y, 330.0f + 10.0f);  // 160 x 2^-4
    const ImVec2 end = ui::SplashLogoPosition(1.0f, 1920, 1080, 1080, 420, 2.0f);
    EXPECT_FLOAT_EQ(end.y, 330.0f + 160.0f / 256.0f);
}

}  // namespace
