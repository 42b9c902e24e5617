// The main window as a user meets it, under Xvfb against a simulated
// two-channel unit on this test's own loopback addresses: the layout popup
// switches every layout (settings.ini follows, both channels stream), the
// guides show on the live pictures, the settings toggle opens the settings
// panel's place and a press outside closes it, the system menu changes the
// UI scale, the session button refuses during a recording with an alert,
// closing during a recording asks first ("Cancel" keeps running, "Save and
// Close" finalises both recordings) and switching views during a recording
// asks first, and a view's own snapshot button takes a still of that camera.
// Screenshots of every layout, the menu and each popup go to
// <build>/screenshots/.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Session/SessionFile.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/MainWindowGeometry.h"
#include "Support/MediaProbe.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"
#include "Support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testfiles::ReadText;
using testsupport::GrabScreen;
using testsupport::Screenshot;
using testsupport::Shot;
using testsupport::WaitUntil;
using Child = testsupport::ChildProcess;

const std::string kBuild = ORVEX_BUILD_DIR;

// Guides on both channels: the primary with both lines, ticks on every side
// and numbers; the satellite a binary crosshair.
constexpr const char* kGuidesConfig =
    "[Camera Config]\nName=<recent-primary>\nParam_172=1151\nParam_176=250\n"
    "[Camera Config]\nName=<recent-satellite>\nParam_172=1951\nParam_176=500\n";

void Click(int x, int y, int button = 1) {
    const std::string cmd = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click " +
                            std::to_string(button);
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}
void MoveTo(int x, int y) {
    const std::string cmd = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y);
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

bool Near(const uint8_t* p, int r, int g, int b, int tolerance = 12) {
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

// Share of strongly coloured pixels (the test bars) in a rectangle of the screen.
double ColourShare(const Shot& s, int x0, int y0, int x1, int y1) {
    int n = 0, coloured = 0;
    for (int y = std::max(0, y0); y < std::min(s.height, y1); y += 3) {
        for (int x = std::max(0, x0); x < std::min(s.width, x1); x += 3) {
            const uint8_t* p = s.At(x, y);
            const int mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
            coloured += (mx - mn) > 120;
            ++n;
        }
    }
    return n ? double(coloured) / n : 0;
}

using Geometry = testsupport::MainWindowGeometry;
// Button centres in the dialog, from its centre at s = 1: "Cancel" rightmost.
constexpr int kCancel = 246, kSaveAndClose = 54, kAddView = 86, kSwitchAfterAddView = -128, kSwitchAlone = 47;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
        data_ = fs::path(temp_.Dir()) / "data" / "KAVOR Industries" / "ORVEX Studio";
        storage_ = fs::path(temp_.Dir()) / "storage";
        fs::create_directories(data_);
        fs::create_directories(storage_);
        shots_ = fs::path(kBuild) / "screenshots";
        fs::create_directories(shots_);
    }
    void WriteSettings(const std::string& layout, const std::string& window, const std::string& extra = "",
                       int dpi = 96) {
        std::ofstream(data_ / "settings.ini") << "[File]\nSessionDirectory=" << storage_.string() << "\n[Layout]\nLayoutStyle="
                                              << layout << "\n" << window << "DPI=" << dpi << "\n" << extra;
    }
    void Start(const std::string& address, const std::string& stem) {
        sim_ = std::make_unique<Child>(
            std::vector<std::string>{kBuild + "/orvex-camsim", "--address", address, "--name", stem, "--channels", "2"},
            std::vector<std::string>{}, fs::path(temp_.Dir()) / "sim.log");
        studio_ = std::make_unique<Child>(
            std::vector<std::string>{kBuild + "/orvex-studio"},
            std::vector<std::string>{"XDG_DATA_HOME=" + (fs::path(temp_.Dir()) / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                     "ORVEX_CAMERA_STEM=" + stem},
            fs::path(temp_.Dir()) / "studio.log");
    }
    std::string Log() const { return ReadText(fs::path(temp_.Dir()) / "studio.log"); }
    std::string SettingsText() const { return ReadText(data_ / "settings.ini"); }
    bool SettingsHave(const std::string& line) const {
        const std::string text = SettingsText();
        return text.find(line + "\r\n") != std::string::npos || text.find(line + "\n") != std::string::npos;
    }
    // The scale from the log, then the main window showing live video.
    void WaitReady(Geometry* g) {
        ASSERT_TRUE(WaitUntil(
            [&] {
                const std::string log = Log();
                const size_t at = log.find("UI scale ");
                if (at == std::string::npos) return false;
                g->s = std::stof(log.substr(at + 9));
                return true;
            },
            30s))
            << Log();
        // The splash is gone: the title bar left of the window buttons has the bar colour.
        ASSERT_TRUE(WaitUntil(
            [&] {
                if (!testsupport::SplashFinished(Log())) return false;
                const Shot shot = GrabScreen();
                return shot.ok && Near(shot.At(g->x0 + g->w - int(125 * g->s), g->y0 + 3), 22, 23, 24, 6) &&
                       ColourShare(shot, g->x0, g->y0 + g->T(), g->x0 + g->w, g->barTop()) > 0.1;
            },
            60s, 200ms))
            << Log();
    }
    Shot Shoot(const std::string& name) { return Screenshot(shots_ / name); }
    // A popup's background (the style's popup colour) at a point.
    bool PopupAt(int x, int y) {
        const Shot shot = GrabScreen();
        return shot.ok && Near(shot.At(x, y), 64, 66, 66, 8);
    }
    // The right edge of the popup that covers (x, y): the first pixel right of
    // x without the popup colour (its border, or what lies behind it).
    static int PopupRightEdge(const Shot& shot, int x, int y) {
        while (x < shot.width && Near(shot.At(x, y), 64, 66, 66, 8)) ++x;
        return x;
    }
    // Through the system menu on the title bar: "Settings", "UI Scale", then
    // one of the four choices (0: 100 %, 1: 75 %, 2: 66 %, 3: 50 %). The menus
    // open side by side just below the bar; each submenu is looked for right
    // of the edge of the one before, so the steps hold at every scale.
    void PickScale(const Geometry& g, int choice, const std::string& shotName = "") {
        const int font = FontPixels(g.s), row = font + int(18 * g.s);
        const int firstRow = g.y0 + g.T() + 1 + int(12 * g.s) + font / 2 + 1;
        const int padY = g.y0 + g.T() + 2;  // in the popups' top padding: no text, no hover colour
        const int px = g.x0 + 600;
        // Probes keep clear of the rounded corners (radius 8 at scale 1).
        const int corner = int(12 * g.s) + 4;
        Click(px, g.titleY(), 3);
        ASSERT_TRUE(WaitUntil([&] { return PopupAt(px + corner, padY); }, 20s, 300ms)) << "no system menu";
        int edge = px;
        for (const char* item : {"Settings", "UI Scale"}) {
            MoveTo(edge + int(30 * g.s), firstRow);
            int next = 0;
            ASSERT_TRUE(WaitUntil(
                [&] {
                    const Shot shot = GrabScreen();
                    if (!shot.ok) return false;
                    next = PopupRightEdge(shot, edge + corner, padY);
                    return next > edge + corner && Near(shot.At(next + int(30 * g.s), padY), 64, 66, 66, 8);
                },
                20s, 300ms))
                << "the submenu right of \"" << item << "\" did not open";
            edge = next;
        }
        // The choice under the pointer shows the hover colour just above its text.
        const int choiceY = firstRow + choice * row;
        MoveTo(edge + int(30 * g.s), choiceY);
        ASSERT_TRUE(WaitUntil(
            [&] {
                const Shot shot = GrabScreen();
                return shot.ok && Near(shot.At(edge + corner, choiceY - font / 2 - 2), 112, 115, 122, 10);
            },
            20s, 300ms))
            << "the UI Scale choices are not where expected";
        if (!shotName.empty()) Shoot(shotName);
        Click(edge + int(30 * g.s), choiceY);
    }
    // The style's font size at scale s.
    static int FontPixels(float s) { return std::max(14, int(std::ceil(26.0f * s))); }
    // The window drawn at scale s: the title bar and the control bar in the
    // bar colour at their scaled heights with the picture between them, the
    // record button in its place, and the title bar's text (white) in a
    // font of the scale, inside the bar and not cut by it.
    bool DrawnAtScale(const Geometry& g, std::string* why) {
        const Shot shot = GrabScreen();
        if (!shot.ok) return false;
        const auto bar = [&](int x, int y) { return Near(shot.At(x, y), 22, 23, 24, 6); };
        const int probeX = g.x0 + g.w - int(125 * g.s);
        if (!bar(probeX, g.y0 + 3) || !bar(probeX, g.y0 + g.T() - 3) || bar(probeX, g.y0 + g.T() + 12)) {
            *why = "no title bar of the scale";
            return false;
        }
        if (!bar(g.x0 + 400, g.barTop() + 4) || !bar(g.x0 + 400, g.y0 + g.h - 4) || bar(g.x0 + 400, g.barTop() - 16)) {
            *why = "no control bar of the scale";
            return false;
        }
        if (!Near(shot.At(g.recordX(), g.barMiddle()), 230, 35, 45, 40)) {
            *why = "no record button";
            return false;
        }
        // White text rows in the title bar, between the logo and the window buttons.
        int top = -1, bottom = -1, pixels = 0;
        for (int y = g.y0; y < g.y0 + g.T(); ++y) {
            for (int x = g.x0 + int(60 * g.s); x < g.x0 + g.w - 4 * int(40 * g.s) - 8; ++x) {
                const uint8_t* p = shot.At(x, y);
                if (std::min({p[0], p[1], p[2]}) < 200) continue;
                ++pixels;
                if (top < 0) top = y;
                bottom = y;
            }
        }
        const int font = FontPixels(g.s), height = bottom - top + 1;
        *why = "title text rows " + std::to_string(top - g.y0) + ".." + std::to_string(bottom - g.y0) + " (" +
               std::to_string(pixels) + " pixels) in a bar of " + std::to_string(g.T()) + ", font " +
               std::to_string(font);
        return pixels > 8 * font && top > g.y0 + 1 && bottom < g.y0 + g.T() - 2 && height >= font / 2 &&
               height <= font + 2;
    }
    void ExpectDrawnAtScale(const Geometry& g, const std::string& shotName) {
        std::string why;
        EXPECT_TRUE(WaitUntil([&] { return DrawnAtScale(g, &why); }, 20s, 300ms)) << why << "\n" << Log();
        std::this_thread::sleep_for(500ms);
        Shoot(shotName);
    }
    // The screen shows the popup closed (frames can lag behind on a busy machine).
    bool PopupGone(const Geometry& g) {
        return WaitUntil([&] { return !LayoutPopupShown(g); }, 20s, 300ms);
    }
    // The layout popup's background left of its first button and between the first two.
    bool LayoutPopupShown(const Geometry& g) {
        const Shot shot = GrabScreen();
        return shot.ok && Near(shot.At(g.layoutButtonX(0) - int(44 * g.s), g.layoutButtonY()), 64, 66, 66, 8) &&
               Near(shot.At(g.layoutButtonX(0) + int(45 * g.s), g.layoutButtonY()), 64, 66, 66, 8);
    }
    // Picks a layout through the popup.
    void PickLayout(const Geometry& g, int button, const std::string& layout) {
        Click(g.layoutToggleX(), g.barMiddle());
        ASSERT_TRUE(WaitUntil([&] { return LayoutPopupShown(g); }, 20s, 300ms)) << "the layout popup did not open";
        Click(g.layoutButtonX(button), g.layoutButtonY());
        ASSERT_TRUE(WaitUntil([&] { return SettingsHave("LayoutStyle=" + layout); }, 20s, 300ms)) << SettingsText();
        ASSERT_TRUE(PopupGone(g));
    }
    void StartRecording(const Geometry& g) {
        // Record starts only the cameras already streaming; on a slow machine
        // the second one can still be connecting when the window is ready.
        ASSERT_TRUE(WaitUntil([&] { return testsupport::StreamsOpened(Log()) >= 2; }, 60s,
                              200ms))
            << Log();
        Click(g.recordX(), g.barMiddle());
        ASSERT_TRUE(WaitUntil([&] { return Videos().size() == 2; }, 20s)) << Log();
        // A few seconds of video in each file.
        ASSERT_TRUE(WaitUntil(
            [&] {
                for (const fs::path& v : Videos())
                    if (Packets(v) < 60) return false;
                return true;
            },
            60s, 500ms))
            << Log();
    }
    std::vector<fs::path> Videos() const {
        std::vector<fs::path> files;
        const std::regex video("Pipe 9-.*-V-\\d+-[01]\\.mkv");
        for (const auto& e : fs::directory_iterator(storage_)) {
            if (std::regex_match(e.path().filename().string(), video)) files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        return files;
    }
    // ffprobe's packet count of a recording (-1 when it cannot read it).
    int Packets(const fs::path& file) const {
        return testsupport::H264Packets(file, fs::path(temp_.Dir()) / "probe.txt");
    }
    void PrepareSession() { ASSERT_TRUE(SaveSessionData(Path(storage_.string()), "Pipe 9", SessionData())); }

    // Clicks through the layout popup: every layout, then the swap, with a
    // screenshot of each; both channels must show in the two-view layouts.
    struct Step {
        int button;
        const char* layout;
        const char* name;
    };
    void LayoutTour(Geometry g, const std::string& size, const std::vector<Step>& steps) {
        bool popupShot = false;
        for (const Step& step : steps) {
            Click(g.layoutToggleX(), g.barMiddle());
            ASSERT_TRUE(WaitUntil([&] { return LayoutPopupShown(g); }, 20s, 300ms))
                << "the layout popup did not open";
            if (!popupShot) {
                std::this_thread::sleep_for(300ms);
                Shoot("layout-popup-" + size + ".png");
                popupShot = true;
            }
            Click(g.layoutButtonX(step.button), g.layoutButtonY());
            ASSERT_TRUE(WaitUntil([&] { return SettingsHave(std::string("LayoutStyle=") + step.layout); }, 20s, 300ms))
                << step.layout << "\n" << SettingsText();
            ASSERT_TRUE(PopupGone(g)) << "the layout popup stayed open";
            MoveTo(g.x0 + g.w / 2, g.y0 + g.h / 2);  // the overlays show while the pointer is over the body
            Shot shot;
            const int top = g.y0 + g.T(), bottom = g.barTop(), left = g.x0, right = g.x0 + g.w;
            const auto bothShow = [&] {
                shot = GrabScreen();
                if (!shot.ok) return false;
                const std::string layout = step.layout;
                if (layout == "SplitVertical") {
                    return ColourShare(shot, left, top, left + g.w / 2 - 20, bottom) > 0.15 &&
                           ColourShare(shot, left + g.w / 2 + 20, top, right, bottom) > 0.15;
                }
                if (layout == "SplitHorizontal") {
                    const int middle = (top + bottom) / 2;
                    return ColourShare(shot, left, top, right, middle - 20) > 0.1 &&
                           ColourShare(shot, left, middle + 20, right, bottom) > 0.1;
                }
                return ColourShare(shot, left, top, right, bottom) > 0.2;
            };
            EXPECT_TRUE(WaitUntil(bothShow, 20s, 400ms)) << step.layout;
            std::this_thread::sleep_for(500ms);
            Shoot(std::string("layout-") + step.name + "-" + size + ".png");
            if (std::string(step.layout) == "SplitOverlap") {
                // Swap the views: the view positions are remembered in the settings.
                Click(g.layoutToggleX(), g.barMiddle());
                ASSERT_TRUE(
                    WaitUntil([&] { return LayoutPopupShown(g); }, 20s, 300ms));
                Click(g.layoutButtonX(0), g.layoutButtonY());
                EXPECT_TRUE(WaitUntil([&] { return SettingsHave("Window=1"); }, 20s, 300ms)) << SettingsText();
                ASSERT_TRUE(PopupGone(g)) << "the layout popup stayed open";
                EXPECT_TRUE(SettingsHave("LayoutStyle=SplitOverlap"));
                std::this_thread::sleep_for(1s);
                Shoot("layout-overlap-swapped-" + size + ".png");
            }
        }
    }

    TempFolder temp_;
    fs::path data_, storage_, shots_;
    std::unique_ptr<Child> sim_, studio_;
};

// Each size in two halves, so that each test stays short on a busy machine.
constexpr const char* kWindow1280 = "WindowPosX=100\nWindowPosY=100\nWindowWidth=1280\nWindowHeight=800\n";

TEST_F(MainWindowTest, SideBySideAndStackedAt1280x800) {
    WriteSettings("SingleCamera", kWindow1280, kGuidesConfig);
    Start("127.0.63.1", "orvexmain63a");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    Shoot("layout-single-start-1280x800.png");
    ASSERT_NO_FATAL_FAILURE(
        LayoutTour(g, "1280x800", {{4, "SplitVertical", "side-by-side"}, {3, "SplitHorizontal", "stacked"}}));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
}

TEST_F(MainWindowTest, OverlapSwapAndSingleAt1280x800) {
    WriteSettings("SingleCamera", kWindow1280, kGuidesConfig);
    Start("127.0.63.2", "orvexmain63b");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_NO_FATAL_FAILURE(LayoutTour(g, "1280x800", {{2, "SplitOverlap", "overlap"}, {1, "SingleCamera", "single"}}));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
}

// The whole Xvfb screen. (Full screen itself needs a window manager, which
// the test display does not run.)
TEST_F(MainWindowTest, SideBySideAndStackedAt1920x1080) {
    WriteSettings("SingleCamera", "WindowPosX=0\nWindowPosY=0\nWindowWidth=1920\nWindowHeight=1080\n", kGuidesConfig);
    Start("127.0.63.6", "orvexmain63f");
    Geometry g{0, 0, 1920, 1080};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    Shoot("layout-single-start-1920x1080.png");
    ASSERT_NO_FATAL_FAILURE(
        LayoutTour(g, "1920x1080", {{4, "SplitVertical", "side-by-side"}, {3, "SplitHorizontal", "stacked"}}));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
}

TEST_F(MainWindowTest, OverlapSwapAndSingleAt1920x1080) {
    WriteSettings("SingleCamera", "WindowPosX=0\nWindowPosY=0\nWindowWidth=1920\nWindowHeight=1080\n", kGuidesConfig);
    Start("127.0.63.7", "orvexmain63g");
    Geometry g{0, 0, 1920, 1080};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_NO_FATAL_FAILURE(LayoutTour(g, "1920x1080", {{2, "SplitOverlap", "overlap"}, {1, "SingleCamera", "single"}}));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
}

TEST_F(MainWindowTest, SettingsPanelPlaceAndSystemMenuUiScale) {
    WriteSettings("SingleCamera", "WindowPosX=100\nWindowPosY=100\nWindowWidth=1280\nWindowHeight=800\n");
    Start("127.0.63.3", "orvexmain63c");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_FLOAT_EQ(g.s, 1.0f);
    // The settings toggle opens the settings panel's place at the right edge
    // (580 wide, the window colour); a press in the body outside it closes it.
    const auto panelShown = [&] {
        const Shot shot = GrabScreen();
        return shot.ok && Near(shot.At(g.x0 + g.w - 290, g.y0 + 300), 54, 56, 61, 6) &&
               Near(shot.At(g.x0 + g.w - 570, g.y0 + 300), 54, 56, 61, 6);
    };
    Click(g.settingsToggleX(), g.barMiddle());
    ASSERT_TRUE(WaitUntil(panelShown, 20s, 300ms)) << Log();
    Shoot("settings-panel-place.png");
    Click(g.x0 + 300, g.y0 + 300);
    EXPECT_TRUE(WaitUntil([&] { return !panelShown(); }, 20s, 300ms)) << "a press outside did not close the panel";
    // Half scale at run time: fonts, renderer and images are rebuilt; the
    // window keeps its size.
    ASSERT_NO_FATAL_FAILURE(PickScale(g, 3, "system-menu.png"));
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("DPI=192"); }, 20s, 300ms)) << SettingsText();
    g.s = 0.5f;
    ASSERT_NO_FATAL_FAILURE(ExpectDrawnAtScale(g, "ui-scale-50.png"));
    // And back to 100 % through the same menu at the new scale.
    ASSERT_NO_FATAL_FAILURE(PickScale(g, 0, "system-menu-50.png"));
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("DPI=96"); }, 20s, 300ms)) << SettingsText();
    g.s = 1.0f;
    ASSERT_NO_FATAL_FAILURE(ExpectDrawnAtScale(g, "ui-scale-100-again.png"));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
    EXPECT_TRUE(SettingsHave("DPI=96")) << SettingsText();
}

// Started at half scale from the settings, then 75 % and 66 % at run time.
TEST_F(MainWindowTest, UiScaleFromSettingsThenThreeQuartersAndTwoThirds) {
    WriteSettings("SingleCamera", "WindowPosX=100\nWindowPosY=100\nWindowWidth=1280\nWindowHeight=800\n", "", 192);
    Start("127.0.63.8", "orvexmain63h");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_FLOAT_EQ(g.s, 0.5f) << Log();
    ASSERT_NO_FATAL_FAILURE(ExpectDrawnAtScale(g, "ui-scale-50-start.png"));
    ASSERT_NO_FATAL_FAILURE(PickScale(g, 1));
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("DPI=128"); }, 20s, 300ms)) << SettingsText();
    g.s = 96.0f / 128.0f;
    ASSERT_NO_FATAL_FAILURE(ExpectDrawnAtScale(g, "ui-scale-75.png"));
    ASSERT_NO_FATAL_FAILURE(PickScale(g, 2, "system-menu-75.png"));
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("DPI=144"); }, 20s, 300ms)) << SettingsText();
    g.s = 96.0f / 144.0f;
    ASSERT_NO_FATAL_FAILURE(ExpectDrawnAtScale(g, "ui-scale-66.png"));
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
    EXPECT_TRUE(SettingsHave("DPI=144")) << SettingsText();
}

TEST_F(MainWindowTest, CloseDuringRecordingAsksFirst) {
    PrepareSession();
    WriteSettings("SingleCamera", "WindowPosX=100\nWindowPosY=100\nWindowWidth=1280\nWindowHeight=800\n");
    Start("127.0.63.4", "orvexmain63d");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_NO_FATAL_FAILURE(PickLayout(g, 4, "SplitVertical"));
    ASSERT_NO_FATAL_FAILURE(StartRecording(g));
    // The session button refuses while recording, with the alert popup.
    const auto alertShown = [&] { return PopupAt(g.x0 + g.w / 2 - 250, g.y0 + g.h / 2 - 75); };
    Click(g.x0 + 265, g.titleY());
    ASSERT_TRUE(WaitUntil(alertShown, 20s, 300ms)) << Log();
    std::this_thread::sleep_for(300ms);
    Shoot("alert-stop-recording-first.png");
    EXPECT_NE(Log().find("Please stop recording before managing sessions"), std::string::npos) << Log();
    Click(g.x0 + g.w / 2, g.y0 + g.h / 2 + 40);  // "Okay"
    ASSERT_TRUE(WaitUntil([&] { return !alertShown(); }, 20s, 300ms));
    // Close: the confirmation instead of the end.
    Click(g.closeX(), g.titleY());
    ASSERT_TRUE(WaitUntil([&] { return PopupAt(g.x0 + g.w / 2, g.y0 + g.h / 2 - 100); }, 20s, 300ms)) << Log();
    std::this_thread::sleep_for(300ms);
    Shoot("confirm-close.png");
    Click(g.dialogX(kCancel), g.dialogY());
    ASSERT_TRUE(WaitUntil([&] { return !PopupAt(g.x0 + g.w / 2, g.y0 + g.h / 2 - 100); }, 20s, 300ms));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(studio_->Wait(0ms), -1) << "Cancel ended the program";
    // Close again, "Save and Close": the program ends and both files are whole.
    Click(g.closeX(), g.titleY());
    ASSERT_TRUE(WaitUntil([&] { return PopupAt(g.x0 + g.w / 2, g.y0 + g.h / 2 - 100); }, 20s, 300ms)) << Log();
    Click(g.dialogX(kSaveAndClose), g.dialogY());
    EXPECT_EQ(studio_->Wait(30s), 0) << Log();
    const std::vector<fs::path> videos = Videos();
    ASSERT_EQ(videos.size(), 2u);
    for (const fs::path& v : videos) EXPECT_GT(Packets(v), 10) << v;
}

TEST_F(MainWindowTest, SwitchingViewsDuringRecordingAsksFirst) {
    PrepareSession();
    WriteSettings("SingleCamera", "WindowPosX=100\nWindowPosY=100\nWindowWidth=1280\nWindowHeight=800\n", kGuidesConfig);
    Start("127.0.63.5", "orvexmain63e");
    Geometry g{100, 100, 1280, 800};
    ASSERT_NO_FATAL_FAILURE(WaitReady(&g));
    ASSERT_NO_FATAL_FAILURE(PickLayout(g, 4, "SplitVertical"));
    ASSERT_NO_FATAL_FAILURE(StartRecording(g));
    const auto dialogOpen = [&] { return PopupAt(g.x0 + g.w / 2, g.y0 + g.h / 2 - 100); };
    const auto openLayoutPopup = [&] {
        Click(g.layoutToggleX(), g.barMiddle());
        return WaitUntil([&] { return LayoutPopupShown(g); }, 20s, 300ms);
    };
    // Single view while the second view records: two buttons; "Cancel" keeps both.
    ASSERT_TRUE(openLayoutPopup());
    Click(g.layoutButtonX(1), g.layoutButtonY());
    ASSERT_TRUE(WaitUntil(dialogOpen, 10s)) << Log();
    std::this_thread::sleep_for(300ms);
    Shoot("confirm-switch-single.png");
    Click(g.dialogX(kCancel), g.dialogY());
    ASSERT_TRUE(WaitUntil([&] { return !dialogOpen(); }, 20s, 300ms));
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(SettingsHave("LayoutStyle=SplitVertical")) << SettingsText();
    // Again, "Save and Switch": single view; the second view's recording ends whole.
    ASSERT_TRUE(openLayoutPopup());
    Click(g.layoutButtonX(1), g.layoutButtonY());
    ASSERT_TRUE(WaitUntil(dialogOpen, 10s)) << Log();
    Click(g.dialogX(kSwitchAlone), g.dialogY());
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("LayoutStyle=SingleCamera"); }, 20s, 300ms)) << SettingsText();
    const std::vector<fs::path> videos = Videos();
    ASSERT_EQ(videos.size(), 2u);
    EXPECT_TRUE(WaitUntil([&] { return Packets(videos[1]) > 10; }, 20s, 300ms)) << "the satellite's file is not finished";
    // In single view the shown camera records: the swap asks with three buttons;
    // "Add View" shows both, one inset, and keeps recording.
    ASSERT_TRUE(openLayoutPopup());
    Click(g.layoutButtonX(0), g.layoutButtonY());
    ASSERT_TRUE(WaitUntil(dialogOpen, 10s)) << Log();
    std::this_thread::sleep_for(300ms);
    Shoot("confirm-switch-swap.png");
    Click(g.dialogX(kAddView), g.dialogY());
    ASSERT_TRUE(WaitUntil([&] { return SettingsHave("LayoutStyle=SplitOverlap"); }, 20s, 300ms)) << SettingsText();
    ASSERT_TRUE(WaitUntil([&] { return !dialogOpen(); }, 20s, 300ms));
    const uintmax_t before = fs::file_size(videos[0]);
    EXPECT_TRUE(WaitUntil([&] { return fs::file_size(videos[0]) > before; }, 20s, 300ms)) << "the recording stopped";
    MoveTo(g.x0 + g.w / 2, g.y0 + g.h / 2);
    std::this_thread::sleep_for(1500ms);
    Shoot("recording-overlap.png");
    // The main view's own snapshot button (centred, 16 below the picture's
    // top, shown while the pointer is over the body): one still of that
    // channel only. Both 4:3 and 16:9 pictures fill the body's height here.
    const int snapX = g.x0 + g.w / 2, snapY = g.y0 + g.T() + int(16 * g.s) + int(48 * g.s);
    MoveTo(snapX, snapY);
    std::this_thread::sleep_for(500ms);
    Click(snapX, snapY);
    const std::regex still("Pipe 9-.*-P-\\d+-([01])\\.jpg");
    const auto findStills = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(storage_)) {
            if (std::regex_match(e.path().filename().string(), still)) names.push_back(e.path().filename());
        }
        return names;
    };
    EXPECT_TRUE(WaitUntil([&] { return !findStills().empty(); }, 30s, 300ms)) << Log();
    std::this_thread::sleep_for(2s);  // a second channel's still would have come by now
    const std::vector<std::string> stills = findStills();
    ASSERT_EQ(stills.size(), 1u);
    EXPECT_EQ(stills[0].substr(stills[0].size() - 6), "-0.jpg");
    EXPECT_EQ(studio_->Terminate(20s), 0) << Log();
    EXPECT_GT(Packets(videos[0]), 10);
}

}  // namespace
