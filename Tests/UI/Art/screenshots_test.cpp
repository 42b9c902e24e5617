// The real program under Xvfb with no camera unit: the splash (the maker's
// logo on white) and then the searching screen with the turning, lit camera
// model. Screenshots go to <build>/screenshots/ for people to look at; the
// checks here are what a user would see in them, not pixel comparisons.
//
// ctest runs the program in a network namespace of its own
// (tools/with-netns), so no simulated unit of another test can answer on
// loopback and end the searching screen early.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/TempFolder.h"
#include "Support/Wait.h"

namespace {

constexpr int kScreenW = 1280, kScreenH = 800;

bool OnPath(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

using testfiles::ReadText;
using testfiles::WriteText;
using testsupport::ChildProcess;
using testsupport::Shot;
using testsupport::WaitUntil;

int Lum(const Shot& s, int x, int y) {
    const uint8_t* p = s.At(x, y);
    return (p[0] * 30 + p[1] * 59 + p[2] * 11) / 100;
}

// Counts the pixels of a rectangle that pass `test`.
int Count(const Shot& s, int x0, int y0, int x1, int y1, const std::function<bool(const uint8_t*)>& test) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) n += test(s.At(x, y)) ? 1 : 0;
    }
    return n;
}

bool White(const uint8_t* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }
bool Dark(const uint8_t* p) { return p[0] < 80 && p[1] < 80 && p[2] < 80; }
bool Red(const uint8_t* p) { return p[0] > 180 && p[1] < 90 && p[2] < 90; }

class StudioScreens : public ::testing::Test {
protected:
    void SetUp() override {
        studio_ = std::string(ORVEX_BUILD_DIR) + "/orvex-studio";
        if (access(studio_.c_str(), X_OK) != 0) GTEST_SKIP() << "orvex-studio is not built";
        if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb missing";
        shots_ = std::string(ORVEX_BUILD_DIR) + "/screenshots";
        std::filesystem::create_directories(shots_);
        ASSERT_TRUE(StartXvfb());
    }

    // A screen of the size the checks below assume, on a display number the
    // server picks itself; this process's DISPLAY names it (for import).
    bool StartXvfb() {
        const std::string number = home_.File("display");
        xvfb_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"sh", "-c",
                                     "exec Xvfb -displayfd 3 -screen 0 " + std::to_string(kScreenW) + "x" +
                                         std::to_string(kScreenH) + "x24 -nolisten tcp 3>'" + number + "'"},
            ChildProcess::Options{{}, home_.File("xvfb.out"), ""});
        const auto named = [&] { return ReadText(number).find('\n') != std::string::npos; };
        if (!WaitUntil(named, std::chrono::seconds(20))) return false;
        display_ = ":" + ReadText(number).substr(0, ReadText(number).find('\n'));
        setenv("DISPLAY", display_.c_str(), 1);
        return true;
    }

    // While this file exists the Studio keeps its splash's full logo up, so
    // that a screenshot taken on a busy machine cannot miss it.
    std::string SplashHoldFile() { return home_.File("splash-hold"); }

    void StartStudio() {
        const std::string home = home_.Dir();
        WriteText(SplashHoldFile(), "");
        ChildProcess::Options options;
        options.env = {"DISPLAY=" + display_, "LIBGL_ALWAYS_SOFTWARE=1", "HOME=" + home, "XDG_DATA_HOME=" + home,
                       "XDG_CONFIG_HOME=" + home, "ORVEX_SPLASH_HOLD=" + SplashHoldFile()};
        options.output = home_.File("studio.out");
        options.workDir = home;
        studio_process_ = std::make_unique<ChildProcess>(std::vector<std::string>{studio_}, options);
    }

    // Takes screenshots until `wanted` accepts one (then saved under `name`),
    // the Studio ends, or the time runs out.
    bool WaitForScreen(const std::string& name, const std::function<bool(const Shot&)>& wanted, Shot* shot) {
        bool running = true;
        const bool seen = WaitUntil(
            [&] {
                running = studio_process_->Running();
                if (!running) return false;
                *shot = testsupport::GrabScreen();
                return shot->ok && shot->width == kScreenW && shot->height == kScreenH && wanted(*shot);
            },
            std::chrono::seconds(60), std::chrono::milliseconds(100));
        if (seen) testsupport::SaveShot(*shot, shots_ + "/" + name);
        return seen && running;
    }

    std::string StudioOutput() { return ReadText(home_.File("studio.out")); }

    std::string studio_, shots_, display_;
    TempFolder home_;
    std::unique_ptr<ChildProcess> xvfb_, studio_process_;
};

TEST_F(StudioScreens, SplashThenSearchingSceneWithTheTurningModel) {
    StartStudio();
    // The window is centred, 32 px narrower and 64 px lower than the screen.
    const int cx = kScreenW / 2, cy = kScreenH / 2;

    // Splash: white window, the maker's logo fully faded in at the centre
    // (its dark word mark and red lens).
    Shot splash;
    const bool sawSplash = WaitForScreen(
        "art-splash.png",
        [&](const Shot& s) {
            return Count(s, cx - 400, cy - 250, cx + 400, cy + 250, White) > 200000 &&
                   Count(s, cx - 270, cy - 105, cx + 270, cy + 105, Dark) > 4000 &&
                   Count(s, cx - 270, cy - 105, cx, cy + 105, Red) > 300 &&
                   // the version text, below the logo towards its right edge, dark
                   // once the logo has faded in
                   Count(s, cx, cy + 60, cx + 300, cy + 140, Dark) > 20;
        },
        &splash);
    ASSERT_TRUE(sawSplash) << StudioOutput();
    std::filesystem::remove(SplashHoldFile());

    // Searching screen: black body, the text below the centre, and above it
    // the lit model: many pixels that are neither black nor white, with a
    // range of brightness from shadow to highlight.
    Shot searching;
    auto modelRegion = [&](const Shot& s, int* lit, int* lo, int* hi) {
        *lit = 0;
        *lo = 255;
        *hi = 0;
        for (int y = cy - 260; y < cy + 40; ++y) {
            for (int x = cx - 300; x < cx + 300; ++x) {
                const int l = Lum(s, x, y);
                if (l > 12) {
                    ++*lit;
                    *lo = std::min(*lo, l);
                    *hi = std::max(*hi, l);
                }
            }
        }
    };
    const bool sawSearching = WaitForScreen(
        "art-searching-scene.png",
        [&](const Shot& s) {
            int lit, lo, hi;
            modelRegion(s, &lit, &lo, &hi);
            // The splash has faded out completely once the body's corner is black
            // and the searching text (drawn over the scene, below the model)
            // is at full white.
            return Count(s, 60, 140, 200, 260, [](const uint8_t* p) { return p[0] + p[1] + p[2] > 30; }) == 0 &&
                   Count(s, cx - 200, int(kScreenH * 0.62), cx + 200, int(kScreenH * 0.72), White) > 100 &&
                   lit > 8000;
        },
        &searching);
    ASSERT_TRUE(sawSearching) << StudioOutput();
    int lit, lo, hi;
    modelRegion(searching, &lit, &lo, &hi);
    EXPECT_GT(hi - lo, 60) << "the model shows no shading";

    // The model turns: a later picture differs from this one.
    auto changedPixels = [&](const Shot& later) {
        int changed = 0;
        for (int y = cy - 260; y < cy + 40; ++y) {
            for (int x = cx - 300; x < cx + 300; ++x) changed += std::abs(Lum(later, x, y) - Lum(searching, x, y)) > 20;
        }
        return changed;
    };
    Shot later;
    EXPECT_TRUE(WaitForScreen("art-searching-scene-later.png", [&](const Shot& s) { return changedPixels(s) > 500; },
                              &later))
        << "the model does not turn";

    EXPECT_EQ(studio_process_->Terminate(std::chrono::seconds(20)), 0) << StudioOutput();
}

}  // namespace
