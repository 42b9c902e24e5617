// The on-screen keyboard as a tablet user meets it, under Xvfb: the Studio
// starts in tablet mode from settings.ini (full screen, UI scale 1, keyboard
// switch on), the session button opens the session popup with its name
// field active, the keyboard slides up, and a name typed only by pressing
// its keys with the pointer (contact 0, the left button; xdotool makes no
// touch events) and Enter creates the session's data file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "Session/MediaName.h"
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
    explicit Screen(fs::path file) : file_(std::move(file)) {}
    // True when the pixel at (x, y) passes `test` in a fresh screenshot.
    bool Pixel(int x, int y, const std::function<bool(const uint8_t*)>& test) {
        shot_ = testsupport::Screenshot(file_);
        if (!shot_.ok || x < 0 || y < 0 || x >= shot_.width || y >= shot_.height) return false;
        return test(shot_.At(x, y));
    }
    const testsupport::Shot& Last() const { return shot_; }

private:
    fs::path file_;
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

TEST(KeyboardUi, TabletModeNamesASessionWithOnlyTheOnScreenKeys) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;
    // A tablet is set up by the settings file of the working folder (the
    // program never writes that one); the data folder's file holds the rest.
    const std::string tablet = "[Layout]\nTabletMode=true\n";
    std::ofstream(f.work / "settings.ini") << tablet;
    std::ofstream(f.data / "settings.ini") << "[File]\nSessionDirectory=" << f.storage.string() << "\n";
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    testsupport::ChildProcess studio({kBuild + "/orvex-studio"},
                                     {"XDG_DATA_HOME=" + (f.root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                      "ORVEX_CAMERA_STEM=orvexkeyboard46"},
                                     f.root / "studio.log", f.work.string());
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return testfiles::ReadText((f.root / "studio.log").string()); };
    float s = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (s = testsupport::UiScaleIn(log())) > 0; }, 30s))
        << log();
    EXPECT_FLOAT_EQ(s, 1.0f) << "tablet mode draws at scale 1 whatever the screen";

    // Full screen: the window covers the screen; the splash has gone when the
    // control bar's colour has held at the bottom left for a second.
    Screen screen(f.root / "screen.png");
    ASSERT_TRUE(screen.Pixel(0, 0, [](const uint8_t*) { return true; }));
    const int W = screen.Last().width, H = screen.Last().height;
    ASSERT_TRUE(testsupport::FitWindowToScreen("ORVEX Studio", W, H));
    std::chrono::steady_clock::time_point since{};
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            if (!screen.Pixel(4, H - 4, [](const uint8_t* p) { return Near(p, kBarColour, 3); })) {
                since = {};
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (since == std::chrono::steady_clock::time_point{}) since = now;
            return now - since >= 1s;
        },
        60s, 200ms))
        << log();

    // The session button sits in the middle of the title bar's left region
    // (after the 336 s banner; the right region is max(400 s, half the rest)).
    const float remaining = float(W) - 220 * s - 336 * s;
    const float left = remaining - std::max(400 * s, remaining / 2);
    ASSERT_TRUE(testsupport::Click(int(336 * s + left / 2), int(24 * s)));

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
    ASSERT_TRUE(testsupport::Click(int(336 * s + left / 2), int(24 * s)));
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
    EXPECT_EQ(testfiles::ReadText((f.work / "settings.ini").string()), tablet);
}

}  // namespace
