// Touch gestures as SDL delivers them from a Linux touch screen (finger
// events, positions as fractions of the window), fed through the program's
// own event handler and frame steps into the real widgets on a real GL
// context: a two-finger pinch zooms the image viewer about the fingers'
// midpoint, one finger pans it, and one finger drags the player's scrubber
// like a mouse would. xdotool cannot make touch events, so the events are
// injected here, in the process that owns the SDL event path.
#include <gtest/gtest.h>
#include <imgui.h>

#include <SDL.h>

#include <cmath>
#include <memory>
#include <vector>

#include "App/AppSessions.h"
#include "App/AppState.h"
#include "App/Gui/EventHandler.h"
#include "App/Gui/Input.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/GCGL.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"
#include "Support/GlWindow.h"
#include "UI/ImageView.h"
#include "UI/MediaMath.h"
#include "UI/Style.h"
#include "UI/VideoControls.h"
#include "Video/AV/MediaPlayer.h"

namespace {

constexpr int kWidth = 1280, kHeight = 800;

class TouchGestures : public ::testing::Test {
protected:
    void SetUp() override {
        gl_ = std::make_unique<testsupport::GlWindow>(kWidth, kHeight);
        ASSERT_TRUE(gl_->Ok()) << gl_->Error();
        SetResourceFolderForTests(ORVEX_BUILD_DIR "/Data");
        ImGui::CreateContext();
        ui::BuildStyleAndFonts(1.0f);
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);  // the renderer's part
        app_.ClientWidth = kWidth;
        app_.ClientHeight = kHeight;
        app_.UiScale = 1.0f;
        Frame([] {});
    }
    void TearDown() override {
        AV::MediaPlayer& player = Player();
        player.imageTexture.reset();
        player.zoom = 0;
        player.panU = player.panV = 0.5f;
        player.seekRequest = -1;
        player.paused = 0;
        if (gc_) GL::ReleaseBuiltInImages();
        ImGui::DestroyContext();
        gc_.reset();
        SetResourceFolderForTests("");
        gl_.reset();
    }

    // One UI frame in the main loop's order: the platform step (deferred
    // releases), the widgets, then the touch latch.
    template <typename Draw>
    void Frame(Draw draw) {
        gui::UiPlatformNewFrame(app_);
        ImGui::NewFrame();
        draw();
        ImGui::Render();
        input::TouchLatch(app_.input);
    }

    void Finger(Uint32 type, SDL_FingerID id, float x, float y) {
        SDL_Event e{};
        e.type = type;
        e.tfinger.touchId = 1;
        e.tfinger.fingerId = id;
        e.tfinger.x = x / float(kWidth);
        e.tfinger.y = y / float(kHeight);
        e.tfinger.pressure = 1.0f;
        ASSERT_TRUE(gui::HandleEvent(app_, e));
    }

    std::unique_ptr<testsupport::GlWindow> gl_;
    std::unique_ptr<GL::GCGL> gc_;
    AppState app_;
};

// The image viewer fills an 800 x 600 window at the top left; the picture
// is 1600 x 1200, so it fits at zoom 0.5 and can grow to 2.
constexpr float kViewW = 800, kViewH = 600, kImageW = 1600, kImageH = 1200;

void DrawViewer(AppState& app) {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(kViewW, kViewH));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
    ImGui::Begin("Viewer", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
    ImGui::PopStyleVar();
    ui::ImageView(app, 0, 0, kViewW, kViewH);
    ImGui::End();
}

// The picture point (0..1 of the image) shown at screen point (sx, sy).
void ImagePointAt(float sx, float sy, float* u, float* v) {
    const AV::MediaPlayer& p = Player();
    ui::ImageViewState view{p.panU, p.panV, p.zoom};
    float ox = 0, oy = 0;
    ui::ImageOrigin(view, 0, 0, kViewW, kViewH, kImageW, kImageH, &ox, &oy);
    *u = (sx - ox) / (p.zoom * kImageW);
    *v = (sy - oy) / (p.zoom * kImageH);
}

TEST_F(TouchGestures, PinchZoomsAboutTheMidpointAndOneFingerPans) {
    std::vector<uint8_t> rgba(size_t(kImageW) * size_t(kImageH) * 4, 128);
    Player().imageTexture = std::make_shared<GL::TextureGL>(rgba.data(), int(kImageW), int(kImageH), 0);
    Player().zoom = 0;
    Frame([&] { DrawViewer(app_); });
    const float fit = ui::FitZoom(kViewW, kViewH, kImageW, kImageH);
    ASSERT_FLOAT_EQ(Player().zoom, fit);

    // Two fingers go down 100 apart around (350, 300), then spread to 300.
    Finger(SDL_FINGERDOWN, 11, 300, 300);
    Frame([&] { DrawViewer(app_); });
    Finger(SDL_FINGERDOWN, 12, 400, 300);
    Frame([&] { DrawViewer(app_); });
    float u0 = 0, v0 = 0;
    ImagePointAt(350, 300, &u0, &v0);
    for (int step = 1; step <= 4; ++step) {
        Finger(SDL_FINGERMOTION, 11, 300 - 25.0f * float(step), 300);
        Finger(SDL_FINGERMOTION, 12, 400 + 25.0f * float(step), 300);
        Frame([&] { DrawViewer(app_); });
    }
    const float spread = Player().zoom;
    EXPECT_GT(spread, fit + 0.2f) << "spreading two fingers zooms in";
    EXPECT_LE(spread, 2.0f);
    float u1 = 0, v1 = 0;
    ImagePointAt(350, 300, &u1, &v1);
    EXPECT_NEAR(u1, u0, 0.01f) << "the picture point under the fingers stays under them";
    EXPECT_NEAR(v1, v0, 0.01f);

    // Closing the fingers again zooms out, never below the fit.
    for (int step = 1; step <= 8; ++step) {
        Finger(SDL_FINGERMOTION, 11, 200 + 20.0f * float(step), 300);
        Finger(SDL_FINGERMOTION, 12, 500 - 20.0f * float(step), 300);
        Frame([&] { DrawViewer(app_); });
    }
    EXPECT_LT(Player().zoom, spread);
    EXPECT_GE(Player().zoom, fit);
    Finger(SDL_FINGERUP, 12, 340, 300);
    Finger(SDL_FINGERUP, 11, 360, 300);
    Frame([&] { DrawViewer(app_); });
    Frame([&] { DrawViewer(app_); });
    Frame([&] { DrawViewer(app_); });

    // Zoomed in once more, one finger dragged left shows more of the right;
    // it lands away from where the last finger left, and that step is no drag.
    Player().zoom = 1.0f;
    Player().panU = Player().panV = 0.5f;
    Frame([&] { DrawViewer(app_); });
    Finger(SDL_FINGERDOWN, 13, 400, 300);
    Frame([&] { DrawViewer(app_); });
    for (int step = 1; step <= 5; ++step) {
        Finger(SDL_FINGERMOTION, 13, 400 - 20.0f * float(step), 300);
        Frame([&] { DrawViewer(app_); });
    }
    EXPECT_NEAR(Player().panU, 0.5f + 100.0f / kImageW, 0.01f);
    EXPECT_FLOAT_EQ(Player().panV, 0.5f);
    EXPECT_FLOAT_EQ(Player().zoom, 1.0f) << "one finger never zooms";
    Finger(SDL_FINGERUP, 13, 300, 300);
    Frame([&] { DrawViewer(app_); });
}

TEST_F(TouchGestures, OneFingerDragsTheScrubber) {
    gc_ = std::make_unique<GL::GCGL>(gl_->Window());
    ASSERT_TRUE(gc_->Initialize());
    ASSERT_GT(GL::LoadBuiltInImages(gc_.get(), 1.0f), 0);
    // The control bar of a 1280-wide window; the scrubber row is its top
    // 20 pixels, from 48 in from the left to 48 in from the right.
    const float barY = 700, barH = 100;
    auto draw = [&] {
        ImGui::SetNextWindowPos(ImVec2(0, barY));
        ImGui::SetNextWindowSize(ImVec2(kWidth, barH));
        ImGui::Begin("ControlBar", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove);
        ui::VideoControls(app_);
        ImGui::End();
    };
    const float left = 48, width = kWidth - 96, y = barY + 10;
    Frame(draw);
    ASSERT_EQ(Player().seekRequest.load(), -1);
    ASSERT_EQ(Player().paused.load(), 0);

    Finger(SDL_FINGERDOWN, 21, left + width * 0.25f, y);
    Frame(draw);
    EXPECT_NEAR(Player().seekRequest.load(), ui::ScrubberSeekRequest(left + width * 0.25f, left, width), 1);
    EXPECT_EQ(Player().paused.load(), 1) << "playback holds while the finger scrubs";
    for (const float share : {0.4f, 0.6f, 0.8f}) {
        Finger(SDL_FINGERMOTION, 21, left + width * share, y + 30);  // a finger drifts off the row
        Frame(draw);
        // Thousandths of the duration; the finger's position reaches SDL as a fraction of the window.
        EXPECT_NEAR(Player().seekRequest.load(), ui::ScrubberSeekRequest(left + width * share, left, width), 1) << share;
    }
    Finger(SDL_FINGERUP, 21, left + width * 0.8f, y + 30);
    Frame(draw);  // the lift is seen one frame late, like a short click
    Frame(draw);
    EXPECT_EQ(Player().seekRequest.load(), -1);
    EXPECT_EQ(Player().paused.load(), 0) << "playing again as before the drag";
    EXPECT_EQ(app_.input.fingerCount, 0);
}

}  // namespace
