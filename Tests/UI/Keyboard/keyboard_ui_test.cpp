// The on-screen keyboard as a tablet user meets it, under Xvfb: the Studio
// starts in tablet mode from settings.ini (full screen, UI scale 1, keyboard
// switch on), the session button opens the session popup with its name
// field active, the keyboard slides up, and a name typed only by pressing
// its keys with the pointer (contact 0, the left button; xdotool makes no
// touch events) and Enter creates the session's data file; an earlier
// session is resumed and the save location moved through the program's own
// folder browser, with pointer presses only.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Base/Path.h"
#include "Session/MediaName.h"
#include "Session/SessionFile.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"
#include "Support/XInput.h"
#include "UI/KeyboardMath.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBuild = ORVEX_BUILD_DIR;

struct Rgb {
    int r, g, b;
};
constexpr Rgb kKeyColour{56, 54, 52};
constexpr Rgb kBarColour{22, 23, 24};
// "Change Save Location" below a three-row session list, from the popup top.
constexpr int kChangeLocationY = 404;

bool Near(const uint8_t* p, Rgb c, int tolerance) {
    return std::abs(p[0] - c.r) <= tolerance && std::abs(p[1] - c.g) <= tolerance && std::abs(p[2] - c.b) <= tolerance;
}
bool Lit(const uint8_t* p) { return p[0] > 170 && p[1] < 100 && p[2] < 110; }  // the accent (233, 33, 45)

struct Folders {
    fs::path root, data, storage, work;
    Folders() {
        char pattern[] = "/tmp/orvex-keyboard-ui-XXXXXX";
        root = mkdtemp(pattern);
        data = root / "data" / "KAVOR Industries" / "ORVEX Studio";
        storage = root / "storage";
        work = root / "work";
        fs::create_directories(data);
        fs::create_directories(storage);
        fs::create_directories(work);
    }
    ~Folders() {
        if (!getenv("ORVEX_KEEP_TEST_FILES")) fs::remove_all(root);
    }
};

// The screen as the test sees it: one fresh screenshot per look.
class Screen {
public:
    Screen() = default;
    // True when the pixel at (x, y) passes `test` in a fresh screenshot.
    bool Pixel(int x, int y, const std::function<bool(const uint8_t*)>& test) {
        shot_ = testsupport::GrabScreen();
        if (!shot_.ok || x < 0 || y < 0 || x >= shot_.width || y >= shot_.height) return false;
        return test(shot_.At(x, y));
    }
    const testsupport::Shot& Last() const { return shot_; }

private:
    testsupport::Shot shot_;
};

// The keys of the full layout where the Studio draws them once slid in.
class Keys {
public:
    Keys(float W, float H, float s)
        : places_(ui::PlaceKeyboard(false, W, H, s, float(int(10 * s)), float(int(12 * s)), 1.0f)) {}
    const input::FloatRect* Rect(const char* normalLabel) const {
        for (const ui::KeyPlace& p : places_.keys) {
            if (std::strcmp(ui::KeyTable()[p.key].normal, normalLabel) == 0) return &p.rect;
        }
        return nullptr;
    }
    // A point of the key's face that no label or hint covers (bottom left).
    static void Spot(const input::FloatRect& r, int* x, int* y) {
        *x = int(r.x0) + 12;
        *y = int(r.y1) - 6;
    }

private:
    ui::KeyboardPlaces places_;
};

// Presses a key with the left button, holds it until the key shows it is
// held (so a frame has seen the press), lets go and waits for it to fade.
::testing::AssertionResult PressKey(Screen& screen, const Keys& keys, const char* label) {
    const input::FloatRect* r = keys.Rect(label);
    if (r == nullptr) return ::testing::AssertionFailure() << "no key " << label;
    int sx = 0, sy = 0;
    Keys::Spot(*r, &sx, &sy);
    if (!testsupport::PressAt(int((r->x0 + r->x1) / 2), int((r->y0 + r->y1) / 2)))
        return ::testing::AssertionFailure() << "xdotool";
    const bool lit = testsupport::WaitUntil([&] { return screen.Pixel(sx, sy, Lit); }, 20s, 50ms);
    testsupport::Release();
    if (!lit) return ::testing::AssertionFailure() << "key '" << label << "' never showed its press";
    if (!testsupport::WaitUntil([&] { return screen.Pixel(sx, sy, [](const uint8_t* p) { return !Lit(p); }); }, 20s,
                                50ms))
        return ::testing::AssertionFailure() << "key '" << label << "' stayed lit after its release";
    return ::testing::AssertionSuccess();
}

// The Studio started in tablet mode on the test's screen, the splash gone.
// A tablet is set up by the settings file of the working folder (the
// program never writes that one); the data folder's file holds the rest.
struct TabletStudio {
    static constexpr const char* kTablet = "[Layout]\nTabletMode=true\n";
    Folders& f;
    std::unique_ptr<testsupport::ChildProcess> studio;
    std::unique_ptr<Screen> screen;
    int W = 0, H = 0;
    float s = 0;

    TabletStudio(Folders& folders, const std::string& dataSettings, std::vector<std::string> environment)
        : f(folders) {
        std::ofstream(f.work / "settings.ini") << kTablet;
        std::ofstream(f.data / "settings.ini") << "[File]\nSessionDirectory=" << f.storage.string() << "\n"
                                              << dataSettings;
        environment.push_back("XDG_DATA_HOME=" + (f.root / "data").string());
        environment.push_back("LIBGL_ALWAYS_SOFTWARE=1");
        studio = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{kBuild + "/orvex-studio"},
                                                             environment, f.root / "studio.log", f.work.string());
        screen = std::make_unique<Screen>();
    }
    std::string Log() const { return testfiles::ReadText((f.root / "studio.log").string()); }

    // Waits for the logged UI scale, sizes the window to the screen (no
    // window manager carries out the full-screen request) and waits until
    // the control bar's colour has held at the bottom left for a second.
    ::testing::AssertionResult Ready() {
        if (!studio->Started()) return ::testing::AssertionFailure() << "the Studio did not start";
        if (!testsupport::WaitUntil([&] { return (s = testsupport::UiScaleIn(Log())) > 0; }, 30s))
            return ::testing::AssertionFailure() << "no UI scale logged\n" << Log();
        if (!screen->Pixel(0, 0, [](const uint8_t*) { return true; }))
            return ::testing::AssertionFailure() << "no screenshot";
        W = screen->Last().width;
        H = screen->Last().height;
        if (!testsupport::FitWindowToScreen("ORVEX Studio", W, H))
            return ::testing::AssertionFailure() << "the window was not sized";
        std::chrono::steady_clock::time_point since{};
        const bool ready = testsupport::WaitUntil(
            [&] {
                if (!testsupport::SplashFinished(Log()) ||
                    !screen->Pixel(4, H - 4, [](const uint8_t* p) { return Near(p, kBarColour, 3); })) {
                    since = {};
                    return false;
                }
                const auto now = std::chrono::steady_clock::now();
                if (since == std::chrono::steady_clock::time_point{}) since = now;
                return now - since >= 1s;
            },
            60s, 200ms);
        if (!ready) return ::testing::AssertionFailure() << "the splash never gave way\n" << Log();
        return ::testing::AssertionSuccess();
    }

    // The session button sits in the middle of the title bar's left region
    // (after the 336 s banner; the right region is max(400 s, half the rest)).
    int SessionButtonX() const {
        const float remaining = float(W) - 220 * s - 336 * s;
        const float left = remaining - std::max(400 * s, remaining / 2);
        return int(336 * s + left / 2);
    }
    int SessionButtonY() const { return int(24 * s); }
};

TEST(KeyboardUi, TabletModeNamesASessionWithOnlyTheOnScreenKeys) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    TabletStudio tablet(f, "", {"ORVEX_CAMERA_STEM=orvexkeyboard46"});
    ASSERT_TRUE(tablet.Ready());
    auto log = [&] { return tablet.Log(); };
    const float s = tablet.s;
    EXPECT_FLOAT_EQ(s, 1.0f) << "tablet mode draws at scale 1 whatever the screen";
    Screen& screen = *tablet.screen;
    const int W = tablet.W, H = tablet.H;
    testsupport::ChildProcess& studio = *tablet.studio;

    ASSERT_TRUE(testsupport::Click(tablet.SessionButtonX(), tablet.SessionButtonY()));

    // The popup opens with its name field active: the keyboard slides up.
    const Keys keys(float(W), float(H), s);
    int qx = 0, qy = 0;
    Keys::Spot(*keys.Rect("q"), &qx, &qy);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return screen.Pixel(qx, qy, [](const uint8_t* p) {
                                                 return Near(p, kKeyColour, 6);
                                             }); },
                                       20s, 200ms))
        << "no on-screen keyboard over the session popup\n"
        << log();

    // "Pipe? 9": the first letter a capital (Shift is on at opening), the
    // question mark refused by the name field's own filter.
    for (const char* key : {"p", "i", "p", "e", "?", " ", "9"}) ASSERT_TRUE(PressKey(screen, keys, key)) << log();
    testsupport::Screenshot(shots / "keyboard-session-popup.png");
    const fs::path dataFile = f.storage / SessionDataFileName("Pipe 9");
    EXPECT_FALSE(fs::exists(dataFile));

    // Enter closes the keyboard in the frame that sees it pressed (so it is
    // never drawn lit) and enters the name.
    const input::FloatRect* enter = keys.Rect("Enter");
    ASSERT_TRUE(testsupport::PressAt(int((enter->x0 + enter->x1) / 2), int((enter->y0 + enter->y1) / 2)));
    const bool closed = testsupport::WaitUntil([&] { return screen.Pixel(qx, qy, [](const uint8_t* p) {
                                                   return !Near(p, kKeyColour, 6);
                                               }); },
                                               20s, 200ms);
    testsupport::Release();
    ASSERT_TRUE(closed) << "the keyboard stayed after Enter";
    ASSERT_TRUE(testsupport::WaitUntil([&] { return fs::exists(dataFile); }, 20s)) << log();
    // Opened again, the popup's field slides the keyboard up again; a press
    // outside the keyboard and the field closes it and enters nothing.
    ASSERT_TRUE(testsupport::Click(tablet.SessionButtonX(), tablet.SessionButtonY()));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return screen.Pixel(qx, qy, [](const uint8_t* p) {
                                                 return Near(p, kKeyColour, 6);
                                             }); },
                                       20s, 200ms))
        << "no keyboard the second time\n"
        << log();
    ASSERT_TRUE(PressKey(screen, keys, "x"));
    ASSERT_TRUE(testsupport::Click(W - 200, int(200 * s)));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return screen.Pixel(qx, qy, [](const uint8_t* p) {
                                                 return !Near(p, kKeyColour, 6);
                                             }); },
                                       20s, 200ms))
        << "a press elsewhere left the keyboard open";
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(f.storage)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << "one session, named exactly";

    EXPECT_EQ(studio.Terminate(20s), 0) << log();
    EXPECT_NE(testfiles::ReadText((f.data / "settings.ini").string()).find("RecentSession=Pipe 9"), std::string::npos);
    EXPECT_EQ(testfiles::ReadText((f.work / "settings.ini").string()), TabletStudio::kTablet);
}


// A tablet crew resumes an earlier session and moves the save location with
// pointer presses only; the folder is picked in the program's own browser
// even though a system chooser is installed (a stand-in that would leave a
// mark if it ever ran).
TEST(KeyboardUi, TabletModeResumesASessionAndPicksTheSaveLocationInItsOwnBrowser) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    for (const char* session : {"Job A", "Job B"}) ASSERT_TRUE(SaveSessionData(Path(f.storage.string()), session, {}));
    fs::create_directories(f.storage / "moved");
    const fs::path bin = f.root / "bin", mark = f.root / "zenity-ran";
    fs::create_directories(bin);
    std::ofstream(bin / "zenity") << "#!/bin/sh\ntouch '" << mark.string() << "'\necho /tmp\n";
    fs::permissions(bin / "zenity", fs::perms::owner_all);
    TabletStudio tablet(f, "RecentSession=Job A\n", {"ORVEX_CAMERA_STEM=orvexkeyboard47", "PATH=" + bin.string()});
    ASSERT_TRUE(tablet.Ready());
    ASSERT_FLOAT_EQ(tablet.s, 1.0f) << "the positions below are for scale 1";
    Screen& screen = *tablet.screen;
    const int W = tablet.W, H = tablet.H;

    // The popup hangs below the bar, centred under the session button
    // (500 wide): its list of 40-pixel rows in the folder's order, the lit
    // row (brighter) carrying "Resume" and "Delete" (100 wide, 8 apart) at its
    // right end; "Change Save Location" below the list.
    const int popupX = std::max(int(336 * tablet.s), tablet.SessionButtonX() - 250), popupY = 48;
    const int rowX = popupX + 150, resumeX = popupX + 452 - 100 - 8 - 50;
    auto rowY = [&](int i) { return popupY + 186 + 40 * i; };
    auto rowLit = [](const uint8_t* p) { return p[0] + p[1] + p[2] > 200; };  // (82, 89, 102) against (38, 41, 41)
    auto popupShown = [&] {
        return screen.Pixel(popupX + 480, popupY + 300,
                            [](const uint8_t* p) { return Near(p, Rgb{64, 66, 66}, 8); });
    };
    auto litRow = [&] {
        for (int i = 0; i < 2; ++i)
            if (screen.Pixel(rowX + 100, rowY(i), rowLit)) return i;
        return -1;
    };
    ASSERT_TRUE(testsupport::Click(tablet.SessionButtonX(), tablet.SessionButtonY()));
    ASSERT_TRUE(testsupport::WaitUntil(popupShown, 20s, 200ms)) << "the session popup did not open\n" << tablet.Log();
    int rowA = -1;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (rowA = litRow()) >= 0; }, 20s, 200ms)) << "no lit row";
    const int rowB = 1 - rowA;
    // A press on Job B's row lights it and grows its Resume button.
    ASSERT_TRUE(testsupport::Click(rowX, rowY(rowB)));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return litRow() == rowB; }, 20s, 200ms)) << "Job B's row never lit";
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            return screen.Pixel(resumeX, rowY(rowB), [](const uint8_t* p) {
                return !Near(p, Rgb{82, 89, 102}, 8) && !Near(p, Rgb{38, 41, 41}, 8);
            });
        },
        20s, 200ms))
        << "no Resume button on the lit row";
    testsupport::Screenshot(shots / "tablet-session-resume.png");
    ASSERT_TRUE(testsupport::Click(resumeX, rowY(rowB)));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !popupShown(); }, 20s, 200ms)) << "Resume did not close the popup";

    // Opened again, Job B is the current session.
    ASSERT_TRUE(testsupport::Click(tablet.SessionButtonX(), tablet.SessionButtonY()));
    ASSERT_TRUE(testsupport::WaitUntil(popupShown, 20s, 200ms)) << "the session popup did not open again";
    ASSERT_TRUE(testsupport::WaitUntil([&] { return litRow() == rowB; }, 20s, 200ms)) << "Job B was not resumed";

    // "Change Save Location" opens the browser (640 x 480, centred) at the
    // storage folder: its first row is the sub-folder "moved", "Choose" at
    // its bottom right.
    ASSERT_TRUE(testsupport::Click(popupX + 120, popupY + kChangeLocationY));
    const int browserX = W / 2 - 320, browserY = H / 2 - 240;
    auto browserShown = [&] {
        return screen.Pixel(browserX + 600, browserY + 25, [](const uint8_t* p) { return p[0] + p[1] + p[2] > 60; }) &&
               screen.Pixel(browserX - 20, browserY + 25, [](const uint8_t* p) { return p[0] + p[1] + p[2] <= 60; });
    };
    ASSERT_TRUE(testsupport::WaitUntil(browserShown, 20s, 200ms)) << "no folder browser\n" << tablet.Log();
    testsupport::Screenshot(shots / "tablet-folder-browser.png");
    ASSERT_TRUE(testsupport::Click(browserX + 320, browserY + 124));  // into "moved"
    const auto settingsText = [&] { return testfiles::ReadText((f.data / "settings.ini").string()); };
    ASSERT_TRUE(testsupport::Click(browserX + 428, browserY + 444));  // Choose
    const std::string moved = "SessionDirectory=" + (f.storage / "moved").string();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return settingsText().find(moved) != std::string::npos; }, 20s))
        << settingsText() << tablet.Log();
    EXPECT_FALSE(fs::exists(mark)) << "tablet mode ran the system chooser";
    EXPECT_EQ(tablet.studio->Terminate(20s), 0) << tablet.Log();
    EXPECT_NE(settingsText().find(moved), std::string::npos);
}

}  // namespace
