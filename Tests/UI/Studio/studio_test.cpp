// The Studio as a user meets it, under Xvfb with Mesa: a simulated camera
// unit on this test's own loopback address shows live video, losing the
// unit brings back the searching screen and finding it again the video; a
// second start hands over to the running instance; SIGTERM saves the
// settings with the window geometry and ends with "End"; a missing shader
// ends start-up with exit code 1. Screenshots go to <build>/screenshots/.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBuild = ORVEX_BUILD_DIR;
// This test's own camera host name, so no other test's simulated unit answers.
constexpr const char* kStem = "orvexwin50";

using testfiles::ReadText;
using testsupport::Shot;
using testsupport::WaitUntil;
using Child = testsupport::ChildProcess;

// Statistics of the central region of the screen (inside the window's body).
struct RegionStats {
    double spread = 0;          // standard deviation of the grey level
    double saturatedShare = 0;  // pixels with a strong colour (the test bars)
};

RegionStats Stats(const Shot& s) {
    RegionStats r;
    double sum = 0, sum2 = 0;
    int n = 0, saturated = 0;
    for (int y = s.height / 4; y < s.height * 3 / 4; y += 2) {
        for (int x = s.width / 4; x < s.width * 3 / 4; x += 2) {
            const uint8_t* p = s.At(x, y);
            const double grey = (p[0] + p[1] + p[2]) / 3.0;
            sum += grey;
            sum2 += grey * grey;
            const int mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
            saturated += (mx - mn) > 120;
            ++n;
        }
    }
    const double mean = sum / n;
    r.spread = std::sqrt(std::max(0.0, sum2 / n - mean * mean));
    r.saturatedShare = double(saturated) / n;
    return r;
}

double Difference(const Shot& a, const Shot& b) {
    if (a.width != b.width || a.height != b.height) return 1e9;
    double d = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) d += std::abs(int(a.rgb[i + 1]) - int(b.rgb[i + 1]));
    return d / double(a.rgb.size() / 3);
}

class StudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
        char tmpl[] = "/tmp/orvex-window-studio-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        dataFolder_ = root_ / "data" / "KAVOR Industries" / "ORVEX Studio";
        fs::create_directories(dataFolder_);
        screenshots_ = fs::path(kBuild) / "screenshots";
        fs::create_directories(screenshots_);
    }
    void TearDown() override {
        if (!root_.empty() && !getenv("ORVEX_KEEP_TEST_FILES")) fs::remove_all(root_);
    }
    std::vector<std::string> Env() const {
        return {"XDG_DATA_HOME=" + (root_ / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                "ORVEX_CAMERA_STEM=" + std::string(kStem)};
    }
    std::unique_ptr<Child> StartSim(const char* address, const char* log) {
        return std::make_unique<Child>(
            std::vector<std::string>{kBuild + "/orvex-camsim", "--address", address, "--name", kStem, "--channels", "2"},
            std::vector<std::string>{}, root_ / log);
    }
    std::unique_ptr<Child> StartStudio(const char* log, const std::string& exe = kBuild + "/orvex-studio") {
        return std::make_unique<Child>(std::vector<std::string>{exe}, Env(), root_ / log);
    }
    std::string Log(const char* name) const { return ReadText(root_ / name); }

    fs::path root_, dataFolder_, screenshots_;
};

TEST_F(StudioTest, LiveVideoSearchingAgainAndOrderlyEnd) {
    // Side by side, the way the settings say.
    std::ofstream(dataFolder_ / "settings.ini") << "[Layout]\nLayoutStyle=SplitVertical\nDPI=96\n";
    auto sim = StartSim("127.0.50.1", "sim1.log");
    auto studio = StartStudio("studio.log");
    ASSERT_TRUE(WaitUntil([&] { return Log("studio.log").find("Found host ip (127.0.50.1)") != std::string::npos; },
                        20s))
        << Log("studio.log");

    // Live video: the view area is not uniform and moves. (The splash ends after 3 s.)
    Shot first, second;
    const bool live = WaitUntil(
        [&] {
            first = testsupport::GrabScreen();
            return first.ok && Stats(first).saturatedShare > 0.2;
        },
        60s, 200ms);
    ASSERT_TRUE(live) << "no video on screen; log:\n" << Log("studio.log");
    testsupport::SaveShot(first, screenshots_ / "studio-live.png");
    EXPECT_GT(Stats(first).spread, 20.0);
    const bool moving = WaitUntil(
        [&] {
            second = testsupport::GrabScreen();
            return second.ok && Difference(first, second) > 0.05;
        },
        10s, 200ms);
    EXPECT_TRUE(moving) << "the pictures do not change";

    // The unit goes away: the searching screen comes back within a few seconds.
    sim->Signal(SIGTERM);
    EXPECT_GE(sim->Wait(10s), 0);
    Shot searching;
    const bool searchingShown = WaitUntil(
        [&] {
            searching = testsupport::GrabScreen();
            return searching.ok && Stats(searching).saturatedShare < 0.02;
        },
        30s, 200ms);
    EXPECT_TRUE(searchingShown) << "video still shown after the unit went away";
    testsupport::SaveShot(searching, screenshots_ / "studio-searching.png");

    // It comes back: video again.
    sim = StartSim("127.0.50.1", "sim2.log");
    Shot again;
    const bool liveAgain = WaitUntil(
        [&] {
            again = testsupport::GrabScreen();
            return again.ok && Stats(again).saturatedShare > 0.2;
        },
        60s, 200ms);
    EXPECT_TRUE(liveAgain) << Log("studio.log");
    testsupport::SaveShot(again, screenshots_ / "studio-live-again.png");

    // SIGTERM: settings with the window geometry, then "End", exit code 0.
    studio->Signal(SIGTERM);
    EXPECT_EQ(studio->Wait(15s), 0) << Log("studio.log");
    const std::string log = Log("studio.log");
    EXPECT_NE(log.find("Saving settings"), std::string::npos);
    const size_t end = log.rfind("End");
    EXPECT_NE(end, std::string::npos) << log;
    const std::string settings = ReadText(dataFolder_ / "settings.ini");
    EXPECT_NE(settings.find("LayoutStyle=SplitVertical"), std::string::npos) << settings;
    // Xvfb's screen is 1920 x 1080 (tools/with-xvfb): the first start centres a
    // window 32 x 64 pixels smaller than the usable area.
    EXPECT_NE(settings.find("WindowWidth="), std::string::npos) << settings;
    EXPECT_EQ(settings.find("WindowWidth=0\n"), std::string::npos) << settings;
    sim->Signal(SIGTERM);
    sim->Wait(10s);
}

TEST_F(StudioTest, SecondInstanceHandsOverAndEnds) {
    auto first = StartStudio("first.log");
    // The first instance listens for hand-overs once its window is up.
    ASSERT_TRUE(WaitUntil([&] { return Log("first.log").find("listening for other instances") != std::string::npos; },
                          30s))
        << Log("first.log");
    auto second = StartStudio("second.log");
    EXPECT_EQ(second->Wait(10s), 0);
    EXPECT_NE(Log("second.log").find("Switching to an existing instance of ORVEX Studio"), std::string::npos)
        << Log("second.log");
    EXPECT_EQ(Log("second.log").find("Create window"), std::string::npos) << "the second start made no window";
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(15s), 0) << Log("first.log");
    EXPECT_NE(Log("first.log").rfind("End"), std::string::npos);
}

TEST_F(StudioTest, TitleBarCloseButtonEndsTheProgram) {
    std::ofstream(dataFolder_ / "settings.ini")
        << "[Layout]\nWindowPosX=100\nWindowPosY=100\nWindowWidth=1200\nWindowHeight=700\nDPI=96\n";
    auto studio = StartStudio("studio.log");
    float s = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string log = Log("studio.log");
            const size_t at = log.find("UI scale ");
            if (at == std::string::npos) return false;
            s = std::stof(log.substr(at + 9));
            return true;
        },
        20s))
        << Log("studio.log");
    // The close button: 32 x 32 times the scale, 40 x scale from the right edge, centred in the band.
    const int x = int(100 + 1200 - 40 * s + 16 * s), y = int(100 + int(48 * s) / 2);
    // Wait for the main window (the splash takes every click while it shows):
    // the band left of the buttons turns from white to the bar colour.
    Shot band;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!testsupport::SplashFinished(Log("studio.log"))) return false;
            band = testsupport::GrabScreen();
            if (!band.ok) return false;
            const uint8_t* p = band.At(600, 100 + int(8 * s));
            return p[0] >= 15 && p[0] <= 30 && p[2] >= 15 && p[2] <= 30;  // (22, 23, 24)
        },
        60s, 200ms));
    testsupport::SaveShot(band, screenshots_ / "studio-title-bar.png");
    const std::string click = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
    ASSERT_EQ(std::system(click.c_str()), 0);
    EXPECT_EQ(studio->Wait(20s), 0) << Log("studio.log");
    EXPECT_NE(Log("studio.log").rfind("End"), std::string::npos);
}

TEST_F(StudioTest, MissingShaderEndsStartUpWithExitCode1) {
    // A copy of the program whose resource folder lacks video.frag.
    const fs::path bin = root_ / "bin";
    fs::create_directories(bin / "Data");
    fs::copy_file(kBuild + "/orvex-studio", bin / "orvex-studio");
    for (const auto& entry : fs::directory_iterator(kBuild + "/Data")) {
        if (entry.path().filename() != "video.frag" && entry.is_regular_file()) {
            fs::copy_file(entry.path(), bin / "Data" / entry.path().filename());
        }
    }
    auto studio = StartStudio("studio.log", (bin / "orvex-studio").string());
    EXPECT_EQ(studio->Wait(30s), 1) << Log("studio.log");
    const std::string log = Log("studio.log");
    EXPECT_NE(log.find("video.frag"), std::string::npos) << log;
    EXPECT_NE(log.find("could not open compiled pixel shader file"), std::string::npos) << log;
}

TEST_F(StudioTest, WithoutOpenGL33StartUpEndsWithAClearMessage) {
    // Mesa offering only OpenGL 3.0 cannot give a 3.3 core context.
    auto studio = std::make_unique<Child>(
        std::vector<std::string>{kBuild + "/orvex-studio"},
        std::vector<std::string>{"XDG_DATA_HOME=" + (root_ / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                 "MESA_GL_VERSION_OVERRIDE=3.0", "MESA_GLSL_VERSION_OVERRIDE=130"},
        root_ / "studio.log");
    EXPECT_EQ(studio->Wait(30s), 1) << Log("studio.log");
    EXPECT_NE(Log("studio.log").find("OpenGL 3.3"), std::string::npos) << Log("studio.log");
}

}  // namespace
