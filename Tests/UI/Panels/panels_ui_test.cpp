// The camera settings panel, the light view, the diagnostics panel, the
// firmware popup and the crawler popups as a user meets them, under Xvfb
// against a simulated unit: clicks reach the simulator as writes (its
// console), Apply/Cancel/Undo round trips, a firmware update that succeeds,
// one the camera refuses and one after which the camera stays away (the
// window keeps drawing during the transfer), and the crawler's zero, scale
// and inversion. Screenshots of every sub-panel, the diagnostics panel and
// both firmware stages go to <build>/screenshots/.
//
// The window is placed at (100, 100), 1600 x 900, at UI scale 1, so the
// panel rows sit at fixed places (given in window coordinates below): the
// settings panel spans x 1020..1600, its rows are 56 pixels apart.
// Addresses 127.0.61.x.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testfiles::ReadText;
using testsupport::Screenshot;
using testsupport::Shot;
using testsupport::WaitUntil;
using Child = testsupport::ChildProcess;

const std::string kBuild = ORVEX_BUILD_DIR;

// ---- places at UI scale 1 in a 1600 x 900 window at (100, 100) ---------------------------------
constexpr int kWindowX = 100, kWindowY = 100;
constexpr int kSettingsToggleX = 1552, kLightsToggleX = 1472, kBarY = 856;
constexpr int kMainButtonX = 1310, kMainButtonY0 = 413;  // "Video"; the next buttons 56 below each
constexpr int kBackX = 1052, kBackY = 153;
constexpr int kRowY0 = 237, kRowPitch = 56;  // first row of a sub-panel
constexpr int kCheckX = 1267;                // check boxes of the rows
constexpr int kControlLeft = 1262, kControlRight = 1530;
constexpr int kApplyX = 1175, kCancelX = 1461;
int RowY(int row) { return kRowY0 + row * kRowPitch; }
int MainButtonY(int page) { return kMainButtonY0 + page * kRowPitch; }

class PanelsUi : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
        char pattern[] = "/tmp/orvex-panels-ui-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        data_ = root_ / "data" / "KAVOR Industries" / "ORVEX Studio";
        work_ = root_ / "work";
        fs::create_directories(data_);
        fs::create_directories(work_);
        fs::create_directories(root_ / "storage");
        shots_ = fs::path(kBuild) / "screenshots";
        fs::create_directories(shots_);
        std::ofstream(data_ / "settings.ini")
            << "[File]\r\nSessionDirectory=" << (root_ / "storage").string()
            << "\r\n[Layout]\r\nLayoutStyle=SplitVertical\r\nWindowPosX=100\r\nWindowPosY=100\r\nWindowWidth=1600\r\n"
               "WindowHeight=900\r\nDPI=96\r\n";
    }
    void TearDown() override {
        studio_.reset();
        sim_.reset();
        if (!root_.empty() && !getenv("ORVEX_KEEP_TEST_FILES")) fs::remove_all(root_);
    }

    void StartSim(const std::string& address, const std::string& stem, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv = {kBuild + "/orvex-camsim", "--address", address, "--name", stem};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<Child>(argv, std::vector<std::string>{}, root_ / "sim.log");
        ASSERT_TRUE(sim_->Started());
    }
    // The Studio runs in `work_` (update.ini and packages are read from there).
    void StartStudio(const std::string& stem) {
        const std::string command = "cd '" + work_.string() + "' && exec '" + kBuild + "/orvex-studio'";
        studio_ = std::make_unique<Child>(
            std::vector<std::string>{"/bin/sh", "-c", command},
            std::vector<std::string>{"XDG_DATA_HOME=" + (root_ / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                     "ORVEX_CAMERA_STEM=" + stem},
            root_ / "studio.log");
        ASSERT_TRUE(studio_->Started());
        ASSERT_TRUE(WaitUntil([&] { return StudioLog().find("UI scale 1.0000") != std::string::npos; }, 30s))
            << StudioLog();
        // Live video and the splash gone: the bar has its colour (22, 23, 24) and
        // the title bar shows the red logo square at its left end.
        ASSERT_TRUE(WaitUntil([&] { return SimLog().find("video port 8012: connection") != std::string::npos; }, 40s))
            << SimLog();
        ASSERT_TRUE(WaitUntil(
            [&] {
                const Shot s = Screenshot(root_ / "ready.png");
                if (!s.ok) return false;
                const uint8_t* bar = s.At(kWindowX + 400, kWindowY + 895);
                const uint8_t* logo = s.At(kWindowX + 10, kWindowY + 24);
                return bar[0] >= 15 && bar[0] <= 30 && bar[2] >= 15 && bar[2] <= 30 && logo[0] > 180 && logo[1] < 90;
            },
            90s, 500ms))
            << StudioLog();
        std::this_thread::sleep_for(1s);
    }

    std::string SimLog() const { return ReadText(root_ / "sim.log"); }
    std::string StudioLog() const { return ReadText(root_ / "studio.log"); }
    bool SimSays(const std::string& text, std::chrono::milliseconds limit = 20s) {
        return WaitUntil([&] { return SimLog().find(text) != std::string::npos; }, limit, 200ms);
    }
    bool StudioSays(const std::string& text, std::chrono::milliseconds limit = 20s) {
        return WaitUntil([&] { return StudioLog().find(text) != std::string::npos; }, limit, 200ms);
    }
    size_t SimCount(const std::string& text) const {
        const std::string log = SimLog();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }

    // Window coordinates.
    static void Click(int x, int y) {
        // Held for a moment as a hand does: the press and the release land in
        // different frames even when software GL draws slowly.
        const std::string cmd = "xdotool mousemove " + std::to_string(kWindowX + x) + " " + std::to_string(kWindowY + y) +
                                " mousedown 1 sleep 0.8 mouseup 1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        // Frames to see the press and the release, with margin for a busy machine
        // (software GL draws a few frames a second when both cores are taken).
        std::this_thread::sleep_for(1500ms);
    }
    static void Drag(int x0, int y0, int x1, int y1) {
        auto at = [](int x, int y) { return std::to_string(kWindowX + x) + " " + std::to_string(kWindowY + y); };
        const std::string cmd = "xdotool mousemove " + at(x0, y0) + " mousedown 1 sleep 0.3 mousemove " +
                                at((x0 + x1) / 2, (y0 + y1) / 2) + " sleep 0.3 mousemove " + at(x1, y1) +
                                " sleep 0.3 mouseup 1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::this_thread::sleep_for(600ms);
    }
    static void Type(const std::string& text) {
        const std::string cmd = "xdotool type --delay 80 '" + text + "' key Return";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::this_thread::sleep_for(600ms);
    }
    Shot Save(const std::string& name) { return Screenshot(shots_ / name); }

    // The panel's background (54, 56, 61) at its right margin tells it is shown.
    bool SettingsShown() {
        const Shot s = Screenshot(root_ / "panel.png");
        if (!s.ok) return false;
        const uint8_t* p = s.At(kWindowX + 1594, kWindowY + 700);
        return std::abs(p[0] - 54) <= 3 && std::abs(p[1] - 56) <= 3 && std::abs(p[2] - 61) <= 3;
    }
    void OpenSettings() {
        Click(kSettingsToggleX, kBarY);
        ASSERT_TRUE(WaitUntil([&] { return SettingsShown(); }, 20s, 500ms)) << StudioLog();
    }
    void OpenPage(int page) { Click(kMainButtonX, MainButtonY(page)); }
    void Back() { Click(kBackX, kBackY); }

    fs::path root_, data_, work_, shots_;
    std::unique_ptr<Child> sim_, studio_;
};

// The tests marked DISABLED_ were calibrated against the first, minimal
// main-window hooks; with the main window's own places (the settings toggle's
// closing rule, the crawler popup placed under the readout) their click
// positions and the settings toggle press still need to be recalibrated.

// Any pixel of the red "Apply Changes" button in its place.
bool ApplyShown(const Shot& s, int y) {
    if (!s.ok) return false;
    const uint8_t* p = s.At(kWindowX + kApplyX - 80, kWindowY + y);
    return p[0] > 170 && p[1] < 60 && p[2] < 60;
}

TEST_F(PanelsUi, DISABLED_SettingsRowsReachTheCameraWithApplyCancelAndUndo) {
    const std::string stem = "orvexpanels61a";
    StartSim("127.0.61.1", stem, {"--channels", "2", "--service-version", "1002003"});
    StartStudio(stem);
    OpenSettings();
    Save("settings-main.png");

    // Zoom (immediate): "Flip Horizontal" is written at once and offers "Undo Changes".
    OpenPage(3);
    Click(kCheckX, RowY(0));
    ASSERT_TRUE(SimSays("write group 0 param 94 = 1")) << SimLog();
    std::this_thread::sleep_for(1s);
    Save("settings-zoom.png");
    Click(kMainButtonX, 750);  // "Undo Changes" below the zoom box
    ASSERT_TRUE(SimSays("write group 0 param 94 = 0")) << SimLog();
    // Rotation: a click on the right end of the slider is position 3 ("270"), raw 1.
    Click(kControlRight - 4, RowY(2));
    ASSERT_TRUE(SimSays("write group 0 param 93 = 1")) << SimLog();
    // The zoom slider towards 4x: the window shrinks about its centre.
    Click(kControlRight - 4, RowY(3));
    ASSERT_TRUE(SimSays("write group 0 param 98 = 2500")) << SimLog();
    EXPECT_TRUE(SimSays("write group 0 param 99 = 2500")) << SimLog();
    Back();

    // Video (deferred): the bitrate changes nothing until "Apply Changes".
    OpenPage(0);
    const size_t bitrateWrites = SimCount("param 141 =");
    Click(kControlLeft + 12, RowY(3));
    Shot edited;
    ASSERT_TRUE(WaitUntil([&] { return ApplyShown(edited = Save("settings-video.png"), 523); }, 10s, 100ms));
    EXPECT_EQ(SimCount("param 141 ="), bitrateWrites) << "a deferred row sends nothing by itself";
    Click(kCancelX, 523);  // Cancel restores the baseline: nothing sent, Apply gone
    ASSERT_TRUE(WaitUntil([&] { return !ApplyShown(Screenshot(root_ / "cancelled.png"), 523); }, 10s, 100ms));
    EXPECT_EQ(SimCount("param 141 ="), bitrateWrites);
    Click(kControlLeft + 12, RowY(3));
    ASSERT_TRUE(WaitUntil([&] { return ApplyShown(Screenshot(root_ / "edited.png"), 523); }, 10s, 100ms));
    Click(kApplyX, 523);
    ASSERT_TRUE(SimSays("write group 0 param 141 = ")) << SimLog();
    // The applied change can be undone: "Undo Changes" takes the Apply row's place.
    std::this_thread::sleep_for(1s);
    Click(kMainButtonX, 523);
    ASSERT_TRUE(SimSays("write group 0 param 141 = 8000")) << SimLog();
    Back();

    // Screenshots of the other sub-panels, and their rows at work.
    OpenPage(1);
    Save("settings-photo.png");
    Back();
    OpenPage(2);  // Annotation: a table push after "Background"
    Click(kCheckX, RowY(1));
    ASSERT_TRUE(SimSays("write group 0 param 156 = 1")) << SimLog();
    std::this_thread::sleep_for(1s);
    Save("settings-annotation.png");
    Back();
    OpenPage(4);  // Picture: brightness to the top of its range
    Click(kControlRight - 4, RowY(1) + 30);
    ASSERT_TRUE(SimSays("write group 0 param 82 = 100")) << SimLog();
    std::this_thread::sleep_for(1s);
    Save("settings-picture.png");
    Back();
    OpenPage(5);  // Guides: "Enable Guides" sets bit 0x1
    Click(kCheckX, 290);
    ASSERT_TRUE(SimSays("write group 0 param 172 = 1")) << SimLog();
    Save("settings-guides.png");
    Back();
    OpenPage(6);
    Save("settings-system.png");
    // The settings reached the saved configuration of the PRIMARY camera.
    Click(kSettingsToggleX, kBarY);
    studio_->Terminate(20s);
    const std::string ini = ReadText(data_ / "settings.ini");
    EXPECT_NE(ini.find("Param_156=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Param_82=100"), std::string::npos) << ini;
}

TEST_F(PanelsUi, DISABLED_DiagnosticsShowTheInjectedCameraStates) {
    const std::string stem = "orvexpanels61b";
    StartSim("127.0.61.2", stem,
             {"--channels", "1", "--led-dimmed", "0", "--asl-error", "0:0x41", "--diag", "0:0x5"});
    StartStudio(stem);
    OpenSettings();
    OpenPage(6);
    // "Show Diagnostics" below the System rows (one line lower for the LED warning).
    Click(kMainButtonX, 747);
    std::this_thread::sleep_for(2s);
    Shot s = Save("diagnostics.png");
    ASSERT_TRUE(s.ok);
    // "CAM 2:" of a one-channel unit reads "not found" in orange: orange text in the status column.
    int orange = 0;
    for (int y = 60; y < 500; ++y)
        for (int x = 120; x < 280; ++x) {
            const uint8_t* p = s.At(kWindowX + x, kWindowY + y);
            orange += p[0] > 200 && p[1] > 90 && p[1] < 160 && p[2] < 60;
        }
    EXPECT_GT(orange, 30);
    // "Run Stress Test" sends command 3.
    Click(368, 189);
    EXPECT_TRUE(SimSays("write group 0 param 11 = 3")) << SimLog();
    std::this_thread::sleep_for(1s);
    Save("diagnostics-stress.png");
}

TEST_F(PanelsUi, LightSliderSetsTheLedLevel) {
    const std::string stem = "orvexpanels61c";
    StartSim("127.0.61.3", stem, {"--channels", "2"});
    StartStudio(stem);
    Click(kLightsToggleX, kBarY);
    std::this_thread::sleep_for(1s);
    Save("light-view.png");
    // The popup (168 wide for two sliders) sits at the window's right edge above the bar;
    // its first slider is 24 pixels in. Dragging it to the top gives 100 %, raw 100.
    const int sliderX = 1600 - 2 - 168 + 24 + 24;
    Drag(sliderX, 700, sliderX, 150);
    EXPECT_TRUE(SimSays("write group 0 param 36 = 100")) << SimLog();
}

TEST_F(PanelsUi, DISABLED_CrawlerZeroScaleAndInversion) {
    const std::string stem = "orvexpanels61d";
    StartSim("127.0.61.4", stem, {"--channels", "2"});
    StartStudio(stem);
    ASSERT_TRUE(WaitUntil([&] { return SimLog().find("connection port 8010") != std::string::npos; }, 20s));
    Click(1040, 24);  // the crawler readout in the title bar
    std::this_thread::sleep_for(1s);
    Save("crawler-info.png");
    Click(940, 416);  // "Zero" of axis 0
    EXPECT_TRUE(SimSays("scanlink axis 0 position set to 0/65536")) << SimLog();
    Click(1007, 416);  // "Edit" of axis 0
    std::this_thread::sleep_for(1s);
    Save("axis-editor.png");
    // Counts per mm: letters are refused, 40 and Enter sets the scale (16.16 fixed point).
    Click(849, 488);
    Type("4x0");
    EXPECT_TRUE(SimSays("scale set to 2621440/65536")) << SimLog();
    // Position: minus twelve and a half.
    Click(849, 432);
    Type("-12.5");
    EXPECT_TRUE(SimSays("scanlink axis 0 position set to -819200/65536")) << SimLog();
    // Invert reaches parameter 22 of group 0 (axis 0).
    Click(699, 544);
    EXPECT_TRUE(SimSays("write group 0 param 22 = 1")) << SimLog();
}

// The buttons of a centred popup (the style's button colour, 92 99 120):
// the centre of the left-most and of the right-most button, in window
// coordinates; false when the popup shows none.
bool PopupButtons(const Shot& s, int* leftX, int* rightX, int* y) {
    if (!s.ok) return false;
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    for (int wy = 150; wy < 750; ++wy)
        for (int wx = 420; wx < 1180; ++wx) {
            const uint8_t* p = s.At(kWindowX + wx, kWindowY + wy);
            if (std::abs(p[0] - 92) > 6 || std::abs(p[1] - 99) > 6 || std::abs(p[2] - 120) > 6) continue;
            minX = std::min(minX, wx), maxX = std::max(maxX, wx), minY = std::min(minY, wy), maxY = std::max(maxY, wy);
        }
    if (maxX < 0 || maxY - minY > 60) return false;  // one row of buttons
    *leftX = minX + 30;
    *rightX = maxX - 30;
    *y = (minY + maxY) / 2;
    return true;
}

class FirmwareUi : public PanelsUi {
protected:
    // update.ini lists 1.3.0 with the restart flag; the camera runs 1.2.3.
    void WritePackage() {
        std::ofstream(work_ / "update.ini") << "1.2.3=old.pkg\r\n1.3.0=new.pkg,restart\r\n";
        std::ofstream package(work_ / "new.pkg", std::ios::binary);
        for (int i = 0; i < 200000; ++i) package.put(static_cast<char>(i * 7));
    }
    // System page, "Update Now" (row 1, after the version text), then the
    // confirmation's "Update".
    void StartUpdate(const std::string& shotName) {
        OpenSettings();
        OpenPage(6);
        Click(1395, RowY(1));
        int left = 0, right = 0, y = 0;
        Shot confirm;
        ASSERT_TRUE(WaitUntil([&] { return PopupButtons(confirm = Screenshot(root_ / "confirm.png"), &left, &right, &y); }, 10s, 100ms));
        fs::copy_file(root_ / "confirm.png", shots_ / shotName, fs::copy_options::overwrite_existing);
        Click(left, y);  // "Update"
    }
};

TEST_F(FirmwareUi, DISABLED_UpdateSucceedsWhileTheWindowKeepsDrawing) {
    const std::string stem = "orvexpanels61e";
    WritePackage();
    // The verdict comes 2.5 s after the package: the popup must keep drawing meanwhile.
    StartSim("127.0.61.5", stem, {"--channels", "1", "--service-version", "1002003", "--firmware-delay-ms", "2500"});
    StartStudio(stem);
    StartUpdate("firmware-stage1-confirm.png");
    ASSERT_TRUE(SimSays("firmware update: version 1003000, 200000 bytes, result 0", 20s)) << SimLog();
    // During the late verdict the window still draws: the transfer bar moves between two screenshots.
    const Shot a = Save("firmware-sending.png");
    std::this_thread::sleep_for(700ms);
    const Shot b = Screenshot(root_ / "sending2.png");
    ASSERT_TRUE(a.ok && b.ok);
    size_t changed = 0;
    for (int wy = 300; wy < 600; ++wy)
        for (int wx = 420; wx < 1180; ++wx)
            changed += a.At(kWindowX + wx, kWindowY + wy)[0] != b.At(kWindowX + wx, kWindowY + wy)[0];
    EXPECT_GT(changed, 100u) << "the popup did not redraw while the transfer waited for the verdict";
    // Stage 2: the camera restarts with 1.3.0: success, with "Restart Now".
    ASSERT_TRUE(SimSays("firmware update: service restarted with version 1003000", 20s)) << SimLog();
    int left = 0, right = 0, y = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            return PopupButtons(Screenshot(root_ / "done.png"), &left, &right, &y) && right - left > 150;
        },
        30s, 100ms));
    fs::copy_file(root_ / "done.png", shots_ / "firmware-stage2-success.png", fs::copy_options::overwrite_existing);
    const size_t restarts = SimCount("write group 0 param 11 = 2");
    Click(right, y);  // "Restart Now"
    EXPECT_TRUE(SimSays("write group 0 param 11 = 2")) << SimLog();
    EXPECT_EQ(restarts, 0u);
}

TEST_F(FirmwareUi, DISABLED_RefusedPackageAndACameraThatStaysAway) {
    const std::string stem = "orvexpanels61f";
    WritePackage();
    StartSim("127.0.61.6", stem, {"--channels", "1", "--service-version", "1002003", "--firmware-result", "4"});
    StartStudio(stem);
    StartUpdate("firmware-refused-confirm.png");
    // Result 4: the validation alert with its id, and the popup closes.
    EXPECT_TRUE(StudioSays("The update files could not be validated (id=4)")) << StudioLog();
    std::this_thread::sleep_for(1s);
    Save("firmware-refused-alert.png");
    studio_->Terminate(20s);
    sim_.reset();

    // Now a camera that accepts the package and never comes back (the unit is gone).
    StartSim("127.0.61.6", stem, {"--channels", "1", "--service-version", "1002003", "--firmware-delay-ms", "300"});
    StartStudio(stem);
    StartUpdate("firmware-stage1-again.png");
    ASSERT_TRUE(SimSays("result 0", 20s)) << SimLog();
    sim_.reset();  // killed before it restarts
    std::this_thread::sleep_for(3s);
    Save("firmware-stage2-waiting.png");
    int left = 0, right = 0, y = 0;
    EXPECT_FALSE(PopupButtons(Screenshot(root_ / "waiting.png"), &left, &right, &y)) << "no button while waiting";
    // After 20 s: "Camera has not responded" with "Done" alone.
    ASSERT_TRUE(WaitUntil([&] { return PopupButtons(Screenshot(root_ / "away.png"), &left, &right, &y); }, 40s, 100ms));
    fs::copy_file(root_ / "away.png", shots_ / "firmware-stage2-no-response.png", fs::copy_options::overwrite_existing);
    EXPECT_LT(right - left, 150) << "only Done";
    Click(left, y);
    EXPECT_TRUE(WaitUntil([&] { return !PopupButtons(Screenshot(root_ / "closed.png"), &left, &right, &y); }, 10s, 100ms));
}

}  // namespace
