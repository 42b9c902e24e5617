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
// panel rows sit at fixed places: the control bar's toggles and the title
// bar's crawler readout where the main window's geometry puts them, the
// settings panel 580 wide at the window's right edge, its rows 56 pixels
// apart. Every step waits for what it means (a console line of the
// simulator, the Studio's log, settings.ini, pixels of a screenshot).
// Addresses 127.0.61.x.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/MainWindowGeometry.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"
#include "Support/XInput.h"

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
// The bands and their toggles come from the main window's geometry; the rows
// of the settings panel are given from its left edge (it is 580 wide at the
// window's right edge) and from the window's top.
const testsupport::MainWindowGeometry kWindow{100, 100, 1600, 900};
constexpr int kPanelWidth = 580;
constexpr int kMainButtonDx = 290, kMainButtonY0 = 413;  // "Video"; the next buttons 56 below each
constexpr int kBackDx = 32, kBackY = 153;
constexpr int kRowY0 = 237, kRowPitch = 56;  // first row of a sub-panel
constexpr int kCheckDx = 262;                // check boxes of the rows
constexpr int kControlLeftDx = 247, kControlRightDx = 500;  // the sliders' ends
constexpr int kApplyDx = 155, kCancelDx = 441;
int RowY(int row) { return kRowY0 + row * kRowPitch; }
int MainButtonY(int page) { return kMainButtonY0 + page * kRowPitch; }

// Screen pixels of a place given in window coordinates / from the panel's left edge.
int ScreenX(int x) { return kWindow.x0 + x; }
int ScreenY(int y) { return kWindow.y0 + y; }
int PanelX(int dx) { return kWindow.x0 + kWindow.w - kPanelWidth + dx; }

bool Near(const uint8_t* p, int r, int g, int b, int tolerance) {
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}
// The style's button colour, plain, hovered or held.
bool ButtonColour(const uint8_t* p) {
    return Near(p, 92, 99, 120, 6) || Near(p, 120, 125, 143, 6) || Near(p, 117, 135, 166, 6);
}
// A slider's grab.
bool GrabColour(const uint8_t* p) { return Near(p, 171, 181, 194, 8); }
bool PanelColour(const uint8_t* p) { return Near(p, 54, 56, 61, 3); }
bool PopupColour(const uint8_t* p) { return Near(p, 64, 66, 66, 6); }

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
            << "\r\n[Layout]\r\nLayoutStyle=SplitVertical\r\nWindowPosX=" << kWindow.x0 << "\r\nWindowPosY=" << kWindow.y0
            << "\r\nWindowWidth=" << kWindow.w << "\r\nWindowHeight=" << kWindow.h << "\r\nDPI=96\r\n";
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
        // Live video and the splash gone: the bar has its colour (22, 23, 24),
        // the title bar shows the red logo square at its left end and the
        // settings toggle is drawn enabled (it is greyed until a camera view
        // is active).
        ASSERT_TRUE(WaitUntil([&] { return SimLog().find("video port 8012: connection") != std::string::npos; }, 40s))
            << SimLog();
        ASSERT_TRUE(WaitUntil(
            [&] {
                const std::string log = StudioLog();
                if (!testsupport::SplashFinished(log) || testsupport::StreamsOpened(log) < 1) return false;
                const Shot s = testsupport::GrabScreen();
                if (!s.ok) return false;
                const uint8_t* bar = s.At(ScreenX(400), kWindow.y0 + kWindow.h - 5);
                const uint8_t* logo = s.At(ScreenX(10), kWindow.titleY());
                return bar[0] >= 15 && bar[0] <= 30 && bar[2] >= 15 && bar[2] <= 30 && logo[0] > 180 && logo[1] < 90;
            },
            90s, 500ms))
            << StudioLog();
    }

    std::string SimLog() const { return ReadText(root_ / "sim.log"); }
    std::string StudioLog() const { return ReadText(root_ / "studio.log"); }
    bool SimSays(const std::string& text, std::chrono::milliseconds limit = 30s) {
        return WaitUntil([&] { return SimLog().find(text) != std::string::npos; }, limit, 200ms);
    }
    bool StudioSays(const std::string& text, std::chrono::milliseconds limit = 30s) {
        return WaitUntil([&] { return StudioLog().find(text) != std::string::npos; }, limit, 200ms);
    }
    size_t SimCount(const std::string& text) const { return size_t(testfiles::CountOf(SimLog(), text)); }
    // Waits until a screenshot satisfies `test`; the last one taken is kept
    // in `last` and in probe_ (KeepProbe saves it for a person to look at).
    bool ScreenShows(const std::function<bool(const Shot&)>& test, std::chrono::milliseconds limit = 30s,
                     Shot* last = nullptr) {
        const bool shown = WaitUntil(
            [&] {
                probe_ = testsupport::GrabScreen();
                return probe_.ok && test(probe_);
            },
            limit, 200ms);
        if (last != nullptr) *last = probe_;
        return shown;
    }
    void KeepProbe(const std::string& name) { testsupport::SaveShot(probe_, shots_ / name); }

    // Two frames drawn after this call: the screen changed twice (the live
    // pictures and the crawler readout move all the time). The second frame
    // read its input after the first was shown, so after everything sent
    // before this call. The UI takes each button or key state once per frame:
    // a press and a release within one frame would be lost.
    void NextFrames() {
        Shot last = testsupport::GrabScreen();
        for (int changes = 0; changes < 2; ++changes) {
            Shot next;
            ASSERT_TRUE(WaitUntil(
                [&] {
                    next = testsupport::GrabScreen();
                    return next.ok && last.ok && next.rgb != last.rgb;
                },
                30s, 50ms))
                << "the window stopped drawing";
            last = std::move(next);
        }
    }
    void XDo(const std::string& arguments) { ASSERT_TRUE(testsupport::XDo(arguments)) << arguments; }
    // Screen coordinates: the pointer moves there and presses (a button
    // event carries its place), then releases; the press and the release are
    // each seen by the UI in a frame of its own, as a hand's click is.
    void Click(int x, int y) {
        XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
        NextFrames();
        XDo("mouseup 1");
        NextFrames();
    }
    void Drag(int x0, int y0, int x1, int y1) {
        auto to = [](int x, int y) { return "mousemove " + std::to_string(x) + " " + std::to_string(y); };
        XDo(to(x0, y0));
        NextFrames();
        XDo("mousedown 1");
        NextFrames();
        XDo(to((x0 + x1) / 2, (y0 + y1) / 2));
        NextFrames();
        XDo(to(x1, y1));
        NextFrames();
        XDo("mouseup 1");
        NextFrames();
    }
    // Types into the focused field (characters are queued by the UI) and
    // presses Enter, held until the UI has seen it.
    void Type(const std::string& text) {
        ASSERT_TRUE(testsupport::TypeText(text));
        XDo("keydown Return");
        NextFrames();
        XDo("keyup Return");
        NextFrames();
    }
    Shot Save(const std::string& name) { return Screenshot(shots_ / name); }

    // The panel's background at its right margin tells it is shown.
    static bool SettingsShown(const Shot& s) { return PanelColour(s.At(PanelX(kPanelWidth - 6), ScreenY(700))); }
    // The main list: the page buttons in their column; a sub-panel: none there,
    // and the back icon drawn over the panel's background.
    static bool MainListShown(const Shot& s) {
        return SettingsShown(s) && ButtonColour(s.At(PanelX(40), ScreenY(MainButtonY(0)))) &&
               ButtonColour(s.At(PanelX(40), ScreenY(MainButtonY(6))));
    }
    static bool SubPanelShown(const Shot& s) {
        return SettingsShown(s) && !ButtonColour(s.At(PanelX(40), ScreenY(MainButtonY(0)))) &&
               !PanelColour(s.At(PanelX(kBackDx), ScreenY(kBackY)));
    }
    void OpenSettings() {
        Click(kWindow.settingsToggleX(), kWindow.barMiddle());
        ASSERT_TRUE(ScreenShows(MainListShown)) << "the settings panel did not open\n" << StudioLog();
    }
    void OpenPage(int page) {
        Click(PanelX(kMainButtonDx), ScreenY(MainButtonY(page)));
        ASSERT_TRUE(ScreenShows(SubPanelShown)) << "sub-panel " << page << " did not open";
    }
    void Back() {
        Click(PanelX(kBackDx), ScreenY(kBackY));
        ASSERT_TRUE(ScreenShows(MainListShown)) << "the back icon did not lead to the main list";
    }

    fs::path root_, data_, work_, shots_;
    Shot probe_;  // the last screenshot ScreenShows took
    std::unique_ptr<Child> sim_, studio_;
};

// Any pixel of the red "Apply Changes" button in its place.
bool ApplyShown(const Shot& s, int y) {
    if (!s.ok) return false;
    const uint8_t* p = s.At(PanelX(kApplyDx - 80), ScreenY(y));
    return p[0] > 170 && p[1] < 60 && p[2] < 60;
}
// A full-width button of the panel (such as "Undo Changes") at a height.
std::function<bool(const Shot&)> PanelButtonAt(int y) {
    return [y](const Shot& shot) { return ButtonColour(shot.At(PanelX(kMainButtonDx - 200), ScreenY(y))); };
}

TEST_F(PanelsUi, SettingsRowsReachTheCameraWithApplyCancelAndUndo) {
    const std::string stem = "orvexpanels61a";
    StartSim("127.0.61.1", stem, {"--channels", "2", "--service-version", "1002003"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_NO_FATAL_FAILURE(OpenSettings());
    Save("settings-main.png");

    // Zoom (immediate): "Flip Horizontal" is written at once and offers "Undo Changes".
    ASSERT_NO_FATAL_FAILURE(OpenPage(3));
    Click(PanelX(kCheckDx), ScreenY(RowY(0)));
    ASSERT_TRUE(SimSays("write group 0 param 94 = 1")) << SimLog();
    ASSERT_TRUE(ScreenShows(PanelButtonAt(750))) << "no Undo Changes below the zoom box";
    KeepProbe("settings-zoom.png");
    Click(PanelX(kMainButtonDx), ScreenY(750));  // "Undo Changes" below the zoom box
    ASSERT_TRUE(SimSays("write group 0 param 94 = 0")) << SimLog();
    // Rotation: a click on the right end of the slider is position 3 ("270"), raw 1.
    Click(PanelX(kControlRightDx - 4), ScreenY(RowY(2)));
    ASSERT_TRUE(SimSays("write group 0 param 93 = 1")) << SimLog();
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return GrabColour(shot.At(PanelX(kControlRightDx - 12), ScreenY(RowY(2)))); }))
        << "the rotation slider does not show 270";
    // The zoom slider towards 4x: the window shrinks about its centre.
    Click(PanelX(kControlRightDx - 4), ScreenY(RowY(3)));
    ASSERT_TRUE(SimSays("write group 0 param 98 = 2500")) << SimLog();
    EXPECT_TRUE(SimSays("write group 0 param 99 = 2500")) << SimLog();
    ASSERT_NO_FATAL_FAILURE(Back());

    // Video (deferred): the bitrate changes nothing until "Apply Changes".
    ASSERT_NO_FATAL_FAILURE(OpenPage(0));
    const size_t bitrateWrites = SimCount("param 141 =");
    Click(PanelX(kControlLeftDx + 12), ScreenY(RowY(3)));
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return ApplyShown(shot, 523); }))
        << "no Apply Changes after the bitrate was moved";
    KeepProbe("settings-video.png");
    EXPECT_EQ(SimCount("param 141 ="), bitrateWrites) << "a deferred row sends nothing by itself";
    Click(PanelX(kCancelDx), ScreenY(523));  // Cancel restores the baseline: nothing sent, Apply gone
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return !ApplyShown(shot, 523); }));
    EXPECT_EQ(SimCount("param 141 ="), bitrateWrites);
    Click(PanelX(kControlLeftDx + 12), ScreenY(RowY(3)));
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return ApplyShown(shot, 523); }));
    Click(PanelX(kApplyDx), ScreenY(523));
    ASSERT_TRUE(SimSays("write group 0 param 141 = 2000")) << SimLog();
    // The applied values are the new baseline: neither Apply nor Undo remains.
    EXPECT_TRUE(ScreenShows([](const Shot& shot) { return !ApplyShown(shot, 523) && !PanelButtonAt(523)(shot); }))
        << "Apply Changes or Undo Changes still shown after Apply";
    EXPECT_EQ(SimCount("param 141 ="), bitrateWrites + 1);
    ASSERT_NO_FATAL_FAILURE(Back());

    // Screenshots of the other sub-panels, and their rows at work.
    ASSERT_NO_FATAL_FAILURE(OpenPage(1));
    Save("settings-photo.png");
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(OpenPage(2));  // Annotation: a table push after "Background"
    Click(PanelX(kCheckDx), ScreenY(RowY(1)));
    ASSERT_TRUE(SimSays("write group 0 param 156 = 1")) << SimLog();
    Save("settings-annotation.png");
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(OpenPage(4));  // Picture: brightness to the top of its range
    Click(PanelX(kControlRightDx - 4), ScreenY(RowY(1) + 30));
    ASSERT_TRUE(SimSays("write group 0 param 82 = 100")) << SimLog();
    Save("settings-picture.png");
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(OpenPage(5));  // Guides: "Enable Guides" (below the two-line note) sets bit 0x1
    Click(PanelX(kCheckDx), ScreenY(325));
    ASSERT_TRUE(SimSays("write group 0 param 172 = 1")) << SimLog();
    Save("settings-guides.png");
    ASSERT_NO_FATAL_FAILURE(Back());
    ASSERT_NO_FATAL_FAILURE(OpenPage(6));
    Save("settings-system.png");
    // The settings reached the saved configuration of the PRIMARY camera.
    const fs::path ini = data_ / "settings.ini";
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::string text = ReadText(ini);
            return text.find("Param_156=1") != std::string::npos && text.find("Param_82=100") != std::string::npos &&
                   text.find("Param_141=2000") != std::string::npos;
        },
        30s, 300ms))
        << ReadText(ini);
    Click(kWindow.settingsToggleX(), kWindow.barMiddle());
    EXPECT_TRUE(ScreenShows([](const Shot& shot) { return !SettingsShown(shot); }))
        << "the toggle did not close the panel";
    EXPECT_EQ(studio_->Terminate(20s), 0) << StudioLog();
    const std::string text = ReadText(ini);
    EXPECT_NE(text.find("Param_156=1"), std::string::npos) << text;
    EXPECT_NE(text.find("Param_82=100"), std::string::npos) << text;
    EXPECT_NE(text.find("Param_141=2000"), std::string::npos) << text;
}

// "CAM 2:" of a one-channel unit reads "not found" in orange: orange text in the status column.
int OrangeInStatusColumn(const Shot& s) {
    int orange = 0;
    for (int y = 60; y < 500; ++y)
        for (int x = 120; x < 280; ++x) {
            const uint8_t* p = s.At(ScreenX(x), ScreenY(y));
            orange += p[0] > 200 && p[1] > 90 && p[1] < 160 && p[2] < 60;
        }
    return orange;
}

TEST_F(PanelsUi, DiagnosticsShowTheInjectedCameraStates) {
    const std::string stem = "orvexpanels61b";
    StartSim("127.0.61.2", stem,
             {"--channels", "1", "--led-dimmed", "0", "--asl-error", "0:0x41", "--diag", "0:0x5"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_NO_FATAL_FAILURE(OpenSettings());
    ASSERT_NO_FATAL_FAILURE(OpenPage(6));
    // "Show Diagnostics" below the System rows (one line lower for the LED warning).
    Click(PanelX(kMainButtonDx), ScreenY(747));
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return OrangeInStatusColumn(shot) > 30; }))
        << "no orange \"not found\" for CAM 2";
    KeepProbe("diagnostics.png");
    // "Run Stress Test" sends command 3; a press in the diagnostics panel
    // leaves the settings panel open (and the diagnostics panel in its place).
    Click(ScreenX(368), ScreenY(189));
    EXPECT_TRUE(SimSays("write group 0 param 11 = 3")) << SimLog();
    const Shot stress = Save("diagnostics-stress.png");
    EXPECT_TRUE(stress.ok && SettingsShown(stress)) << "the press in the diagnostics panel closed the settings panel";
}

TEST_F(PanelsUi, LightSliderSetsTheLedLevel) {
    const std::string stem = "orvexpanels61c";
    StartSim("127.0.61.3", stem, {"--channels", "2"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    Click(kWindow.lightsToggleX(), kWindow.barMiddle());
    // The popup (168 wide for two sliders) sits at the window's right edge above the bar;
    // its first slider is 24 pixels in. Dragging it to the top gives 100 %, raw 100.
    const int popupLeft = kWindow.x0 + kWindow.w - 2 - 168;
    ASSERT_TRUE(ScreenShows([&](const Shot& shot) { return PopupColour(shot.At(popupLeft + 8, ScreenY(700))); }))
        << "the light view did not open";
    KeepProbe("light-view.png");
    const int sliderX = popupLeft + 24 + 24;
    Drag(sliderX, ScreenY(700), sliderX, ScreenY(150));
    EXPECT_TRUE(SimSays("write group 0 param 36 = 100")) << SimLog();
}

// The crawler popup (760 wide): its rows from its top-left corner; the axis
// editor (760 wide, centred in the window): its fields in window coordinates.
constexpr int kCrawlerPopupWidth = 760;
constexpr int kZeroDx = 520, kEditDx = 587, kAxis0Dy = 93;
constexpr int kEditorLeft = 420, kEditorFieldX = 849, kEditorInvertX = 699;
constexpr int kEditorPositionY = 432, kEditorCountsY = 488, kEditorInvertY = 544;

TEST_F(PanelsUi, CrawlerZeroScaleAndInversion) {
    const std::string stem = "orvexpanels61d";
    StartSim("127.0.61.4", stem, {"--channels", "2"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_TRUE(SimSays("connection port 8010")) << SimLog();
    // The readout's label in the title bar's crawler region; the popup opens
    // below the bar, 180 left of the region's centre, kept inside the window.
    const int popupLeft =
        std::min(kWindow.crawlerButtonX() - 180, kWindow.x0 + kWindow.w - kCrawlerPopupWidth - 2);
    const int popupTop = kWindow.y0 + kWindow.T();
    Click(kWindow.crawlerLabelX(), kWindow.titleY());
    ASSERT_TRUE(ScreenShows([&](const Shot& shot) {
        return PopupColour(shot.At(popupLeft + 4, popupTop + 40)) &&
               PopupColour(shot.At(popupLeft + kCrawlerPopupWidth - 4, popupTop + 40));
    })) << "the crawler popup is not in its place";
    KeepProbe("crawler-info.png");
    Click(popupLeft + kZeroDx, popupTop + kAxis0Dy);  // "Zero" of axis 0
    EXPECT_TRUE(SimSays("scanlink axis 0 position set to 0/65536")) << SimLog();
    Click(popupLeft + kEditDx, popupTop + kAxis0Dy);  // "Edit" of axis 0
    ASSERT_TRUE(ScreenShows([](const Shot& shot) { return PopupColour(shot.At(ScreenX(kEditorLeft + 4), ScreenY(kEditorInvertY))); }))
        << "the axis editor did not open";
    KeepProbe("axis-editor.png");
    // Counts per mm: letters are refused, 40 and Enter sets the scale (16.16 fixed point).
    Click(ScreenX(kEditorFieldX), ScreenY(kEditorCountsY));
    Type("4x0");
    EXPECT_TRUE(SimSays("scale set to 2621440/65536")) << SimLog();
    // Position: minus twelve and a half.
    Click(ScreenX(kEditorFieldX), ScreenY(kEditorPositionY));
    Type("-12.5");
    EXPECT_TRUE(SimSays("scanlink axis 0 position set to -819200/65536")) << SimLog();
    // Invert reaches parameter 22 of group 0 (axis 0).
    Click(ScreenX(kEditorInvertX), ScreenY(kEditorInvertY));
    EXPECT_TRUE(SimSays("write group 0 param 22 = 1")) << SimLog();
}

// The buttons of a centred popup (the style's button colours):
// the centre of the left-most and of the right-most button, in screen
// coordinates; false when the popup shows none.
bool PopupButtons(const Shot& s, int* leftX, int* rightX, int* y) {
    if (!s.ok) return false;
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    // Left of the settings panel (x 1020 on): the popups' buttons sit at their left.
    for (int wy = 150; wy < 750; ++wy)
        for (int wx = 420; wx < 1000; ++wx) {
            const uint8_t* p = s.At(ScreenX(wx), ScreenY(wy));
            if (!ButtonColour(p)) continue;  // the pointer may rest on one
            minX = std::min(minX, wx), maxX = std::max(maxX, wx), minY = std::min(minY, wy), maxY = std::max(maxY, wy);
        }
    if (maxX < 0 || maxY - minY > 60) return false;  // one row of buttons
    // ... inside a popup: its background left of the row and above it (the
    // live picture behind can hold a few pixels of the button colour).
    if (!PopupColour(s.At(ScreenX(minX - 6), ScreenY((minY + maxY) / 2))) ||
        !PopupColour(s.At(ScreenX((minX + maxX) / 2), ScreenY(minY - 8))))
        return false;
    *leftX = ScreenX(minX + 30);
    *rightX = ScreenX(maxX - 30);
    *y = ScreenY((minY + maxY) / 2);
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
        ASSERT_NO_FATAL_FAILURE(OpenSettings());
        ASSERT_NO_FATAL_FAILURE(OpenPage(6));
        Click(PanelX(375), ScreenY(RowY(1)));
        int left = 0, right = 0, y = 0;
        ASSERT_TRUE(ScreenShows([&](const Shot& shot) { return PopupButtons(shot, &left, &right, &y); }))
            << "no confirmation popup";
        KeepProbe(shotName);
        Click(left, y);  // "Update"
    }
};

TEST_F(FirmwareUi, UpdateSucceedsWhileTheWindowKeepsDrawing) {
    const std::string stem = "orvexpanels61e";
    WritePackage();
    // The verdict comes 2.5 s after the package (the Studio waits 3 s for it): the popup
    // must keep drawing meanwhile.
    StartSim("127.0.61.5", stem, {"--channels", "1", "--service-version", "1002003", "--firmware-delay-ms", "2500"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_NO_FATAL_FAILURE(StartUpdate("firmware-stage1-confirm.png"));
    // While the package goes out and the late verdict is awaited the window
    // still draws: the transfer bar moves between two screenshots, before the
    // Studio has the verdict.
    const Shot a = Save("firmware-sending.png");
    ASSERT_TRUE(a.ok);
    const auto redrawn = [&](const Shot& b) {
        size_t changed = 0;
        for (int wy = 300; wy < 600; ++wy)
            for (int wx = 420; wx < 1180; ++wx)
                changed += a.At(ScreenX(wx), ScreenY(wy))[0] != b.At(ScreenX(wx), ScreenY(wy))[0];
        return changed > 100;
    };
    // A frozen window shows the same popup until the verdict; a machine too
    // busy to take two screenshots inside the 2.5 s only meets the next stage.
    const bool changed = ScreenShows(redrawn, 3000ms);
    const bool verdictFirst = StudioLog().find("files transferred") != std::string::npos;
    EXPECT_TRUE(changed) << "the popup did not redraw while the transfer waited for the verdict";
    if (verdictFirst) std::cout << "[ NOTE     ] the verdict came before a second screenshot: redraw during the wait not judged\n";
    ASSERT_TRUE(SimSays("firmware update: version 1003000, 200000 bytes, result 0")) << SimLog();
    // Stage 2: the camera restarts with 1.3.0: success, with "Restart Now".
    ASSERT_TRUE(SimSays("firmware update: service restarted with version 1003000")) << SimLog();
    int left = 0, right = 0, y = 0;
    ASSERT_TRUE(ScreenShows([&](const Shot& shot) { return PopupButtons(shot, &left, &right, &y) && right - left > 150; }))
        << "no Done and Restart Now";
    KeepProbe("firmware-stage2-success.png");
    const size_t restarts = SimCount("write group 0 param 11 = 2");
    Click(right, y);  // "Restart Now"
    EXPECT_TRUE(SimSays("write group 0 param 11 = 2")) << SimLog();
    EXPECT_EQ(restarts, 0u);
}

TEST_F(FirmwareUi, RefusedPackageAndACameraThatStaysAway) {
    const std::string stem = "orvexpanels61f";
    WritePackage();
    StartSim("127.0.61.6", stem, {"--channels", "1", "--service-version", "1002003", "--firmware-result", "4"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_NO_FATAL_FAILURE(StartUpdate("firmware-refused-confirm.png"));
    // Result 4: the validation alert with its id, and the popup closes.
    EXPECT_TRUE(StudioSays("The update files could not be validated (id=4)")) << StudioLog();
    int left = 0, right = 0, y = 0;
    EXPECT_TRUE(ScreenShows([&](const Shot& shot) { return PopupButtons(shot, &left, &right, &y); }))
        << "no alert";
    KeepProbe("firmware-refused-alert.png");
    studio_->Terminate(20s);
    sim_.reset();

    // Now a camera that accepts the package and never comes back: its
    // service goes down with the verdict and stays down. (Killing the
    // simulator after the verdict instead raced its restart on a busy
    // machine: a unit back with the new version is a success.)
    StartSim("127.0.61.6", stem,
             {"--channels", "1", "--service-version", "1002003", "--firmware-delay-ms", "300", "--firmware-stays-away"});
    ASSERT_NO_FATAL_FAILURE(StartStudio(stem));
    ASSERT_NO_FATAL_FAILURE(StartUpdate("firmware-stage1-again.png"));
    ASSERT_TRUE(SimSays("service down for good")) << SimLog();
    ASSERT_TRUE(StudioSays("files transferred, waiting for the camera")) << StudioLog();
    // Waiting (for up to 20 s after the transfer): no button yet.
    const Shot waiting = Save("firmware-stage2-waiting.png");
    EXPECT_FALSE(PopupButtons(waiting, &left, &right, &y)) << "no button while waiting";
    // After 20 s: "Camera has not responded" with "Done" alone.
    ASSERT_TRUE(ScreenShows([&](const Shot& shot) { return PopupButtons(shot, &left, &right, &y); }, 60s));
    KeepProbe("firmware-stage2-no-response.png");
    EXPECT_LT(right - left, 150) << "only Done";
    Click(left, y);
    EXPECT_TRUE(ScreenShows([&](const Shot& shot) { return !PopupButtons(shot, &left, &right, &y); }));
}

}  // namespace
