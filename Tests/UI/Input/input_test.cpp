// Input routines, hit test and window placement: tables of cases.
#include <gtest/gtest.h>

#include <cstdint>

#include "App/Gui/HitTest.h"
#include "App/Gui/Input.h"
#include "App/Gui/WindowPlacement.h"
#include "Base/Settings.h"

using namespace input;

namespace {

// ---- PointerButton / ButtonReleaseStep ------------------------------------------

// One step of a button sequence: an event ('D' down, 'U' up) or a frame ('F',
// which runs ButtonReleaseStep and then looks at the UI button).
struct ButtonCase {
    const char* name;
    const char* steps;
    const char* seen;  // per 'F': '1' down, '0' up
};

TEST(PointerButton, SequencesAsFramesSeeThem) {
    const ButtonCase cases[] = {
        // A click inside one frame: down for one whole frame, up in the next.
        {"click between frames", "DUFFF", "100"},
        // Held over a frame boundary: released as soon as the release arrives.
        {"held press", "DFUF", "10"},
        {"held press, several frames", "DFFFUF", "1110"},
        // Two clicks before a frame: still seen once, then released.
        {"double click between frames", "DUDUFF", "10"},
        {"press only", "DFF", "11"},
        {"release without press", "UF", "0"},
    };
    for (const ButtonCase& c : cases) {
        InputState state;
        UiPointer pointer;
        std::string seen;
        for (const char* p = c.steps; *p; ++p) {
            if (*p == 'D') PointerButton(state, pointer, 0, true);
            if (*p == 'U') PointerButton(state, pointer, 0, false);
            if (*p == 'F') {
                ButtonReleaseStep(state, pointer);
                seen += pointer.down[0] ? '1' : '0';
            }
        }
        EXPECT_EQ(seen, c.seen) << c.name;
    }
}

// The same sequences for a key: a press and release between two frames is
// seen for one whole frame (xdotool's "key Return" sends both at once).
TEST(KeyEvent, SequencesAsFramesSeeThem) {
    const ButtonCase cases[] = {
        {"tap between frames", "DUFFF", "100"},
        {"held key", "DFUF", "10"},
        {"held key, several frames", "DFFFUF", "1110"},
        {"two taps between frames", "DUDUFF", "10"},
        {"held only", "DFF", "11"},
        {"release without press", "UF", "0"},
        {"tap, frame, tap", "DUFDUFF", "110"},
    };
    const int code = 40;  // Return's scan code
    for (const ButtonCase& c : cases) {
        InputState state;
        bool keys[kKeys] = {};
        std::string seen;
        for (const char* p = c.steps; *p; ++p) {
            if (*p == 'D') KeyEvent(state, keys, code, true);
            if (*p == 'U') KeyEvent(state, keys, code, false);
            if (*p == 'F') {
                KeyReleaseStep(state, keys);
                seen += keys[code] ? '1' : '0';
            }
        }
        EXPECT_EQ(seen, c.seen) << c.name;
        for (int k = 0; k < kKeys; ++k) EXPECT_TRUE(k == code || !keys[k]) << c.name << ": key " << k;
    }
    InputState state;
    bool keys[kKeys] = {};
    KeyEvent(state, keys, -1, true);
    KeyEvent(state, keys, kKeys, true);  // out of range: ignored, nothing written
    for (bool k : keys) EXPECT_FALSE(k);
}

// After each step of a sequence: is a quick press still in flight (the main
// loop then holds further input back)? Only a press and release that came
// between two frames is, until the frame after the one that saw it down.
TEST(QuickPressInFlight, FromTheReleaseUntilTheFrameThatShowsIt) {
    struct Case {
        const char* name;
        const char* steps;
        const char* inFlight;  // per step: '1' in flight afterwards
    } cases[] = {
        {"click between frames", "DUFFF", "01100"},
        {"held press", "DFUF", "0000"},
        {"press only", "DFF", "000"},
        {"release without press", "UF", "00"},
    };
    for (const Case& c : cases) {
        for (bool key : {false, true}) {
            InputState state;
            UiPointer pointer;
            bool keys[kKeys] = {};
            const int code = 40;
            std::string inFlight;
            for (const char* p = c.steps; *p; ++p) {
                if (*p == 'D' || *p == 'U') {
                    if (key) KeyEvent(state, keys, code, *p == 'D');
                    else PointerButton(state, pointer, 2, *p == 'D');
                }
                if (*p == 'F') {
                    ButtonReleaseStep(state, pointer);
                    KeyReleaseStep(state, keys);
                }
                inFlight += QuickPressInFlight(state) ? '1' : '0';
            }
            EXPECT_EQ(inFlight, c.inFlight) << c.name << (key ? " (key)" : " (button)");
        }
    }
}

TEST(PointerButton, KeyboardFilter) {
    struct Case {
        const char* name;
        float x, y;
        bool down;
        bool reachesUi;
        bool keyboardOpenAfter;
    } cases[] = {
        {"press on the keyboard", 50, 450, true, false, true},
        {"press in the text field", 50, 50, true, true, true},
        {"press elsewhere closes", 500, 50, true, true, false},
        {"release elsewhere keeps it open", 500, 50, false, true, true},
    };
    for (const Case& c : cases) {
        InputState state;
        state.keyboard.open = true;
        state.keyboard.keyboardRect = FloatRect{0, 400, 300, 600};
        state.keyboard.fieldRect = FloatRect{0, 0, 300, 100};
        UiPointer pointer;
        pointer.x = c.x;
        pointer.y = c.y;
        if (!c.down) pointer.down[0] = true;  // a release needs a held button to show
        PointerButton(state, pointer, 0, c.down);
        ButtonReleaseStep(state, pointer);
        const bool reached = c.down ? pointer.down[0] : !pointer.down[0];
        EXPECT_EQ(reached, c.reachesUi) << c.name;
        EXPECT_EQ(state.keyboard.open, c.keyboardOpenAfter) << c.name;
    }
}

TEST(PointerButton, OutOfRangeButtonIsIgnored) {
    InputState state;
    UiPointer pointer;
    PointerButton(state, pointer, 5, true);
    PointerButton(state, pointer, -1, true);
    EXPECT_FALSE(pointer.AnyDown());
}

// ---- touch ---------------------------------------------------------------------

TEST(Touch, TapBetweenFramesIsSeenByUiAndKeyboard) {
    InputState state;
    UiPointer pointer;
    ASSERT_TRUE(TouchDown(state, pointer, 77, 10, 20));
    ASSERT_TRUE(TouchUp(state, pointer, 77, 11, 21));
    // The keyboard sees the contact as released.
    EXPECT_FALSE(state.contacts[0].down);
    EXPECT_TRUE(state.contacts[0].previous);
    EXPECT_FLOAT_EQ(state.contacts[0].x, 11);
    ButtonReleaseStep(state, pointer);
    EXPECT_TRUE(pointer.down[0]) << "down in the next frame";
    ButtonReleaseStep(state, pointer);
    EXPECT_FALSE(pointer.down[0]) << "up in the one after";
    // The pointer parks two frames after the finger left.
    EXPECT_EQ(state.pointerPark, 1);
    EXPECT_FALSE(PointerParkStep(state));
    EXPECT_TRUE(PointerParkStep(state));
    EXPECT_FALSE(PointerParkStep(state));
}

TEST(Touch, FiveFingersAndTheSixthIsIgnored) {
    InputState state;
    UiPointer pointer;
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(TouchDown(state, pointer, 100 + k, float(k), 0));
    EXPECT_FALSE(TouchDown(state, pointer, 200, 99, 99));
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(state.contacts[k].down) << k;
    // Only finger 0 drives the UI pointer.
    EXPECT_FLOAT_EQ(pointer.x, 0);
    EXPECT_FALSE(TouchMove(state, pointer, 200, 5, 5));
}

TEST(Touch, LaterContactsMoveDownWhenOneEnds) {
    InputState state;
    UiPointer pointer;
    TouchDown(state, pointer, 1, 0, 0);
    TouchDown(state, pointer, 2, 10, 0);
    TouchDown(state, pointer, 3, 20, 0);
    ASSERT_TRUE(TouchUp(state, pointer, 2, 10, 0));  // input 1 ends
    EXPECT_FALSE(state.contacts[1].down);
    // Finger 3 is now input 1 and still drives contact 2.
    ASSERT_TRUE(TouchMove(state, pointer, 3, 25, 5));
    EXPECT_FLOAT_EQ(state.contacts[2].x, 25);
    EXPECT_TRUE(state.contacts[2].down);
    TouchLatch(state);
    EXPECT_TRUE(state.contacts[2].previous);
    EXPECT_FALSE(state.contacts[1].previous);
}

TEST(Touch, ANewFingerNeverTakesTheRecordOfAFingerStillDown) {
    InputState state;
    UiPointer pointer;
    TouchDown(state, pointer, 1, 0, 0);   // input 0, contact 0
    TouchDown(state, pointer, 2, 10, 0);  // input 1, contact 1 (holds a key, say)
    TouchUp(state, pointer, 1, 0, 0);     // finger 2 becomes input 0, still contact 1
    ASSERT_TRUE(TouchDown(state, pointer, 3, 50, 60));  // input 1 again
    EXPECT_TRUE(state.contacts[1].down);
    EXPECT_FLOAT_EQ(state.contacts[1].x, 10) << "finger 2's record is untouched";
    EXPECT_TRUE(state.contacts[0].down);
    EXPECT_FLOAT_EQ(state.contacts[0].x, 50) << "finger 3 took the free record";
    ASSERT_TRUE(TouchMove(state, pointer, 3, 55, 60));
    EXPECT_FLOAT_EQ(state.contacts[0].x, 55);
    ASSERT_TRUE(TouchUp(state, pointer, 3, 55, 60));
    EXPECT_FALSE(state.contacts[0].down);
    EXPECT_TRUE(state.contacts[1].down);
}

TEST(Mouse, ButtonsDriveTheirOwnContacts) {
    InputState state;
    UiPointer pointer;
    MouseButtonDown(state, pointer, 1, 30, 40);
    EXPECT_TRUE(pointer.down[1]);
    EXPECT_TRUE(state.contacts[1].down);
    MouseButtonUp(state, pointer, 1, 31, 41);
    EXPECT_FALSE(state.contacts[1].down);
    EXPECT_TRUE(state.contacts[1].previous);
    MouseMove(state, pointer, 5, 6);
    EXPECT_FLOAT_EQ(state.contacts[0].x, 5);
    EXPECT_FLOAT_EQ(pointer.y, 6);
}

// ---- hit test ------------------------------------------------------------------------

TEST(HitTest, PixelCases) {
    const IntRect window{100, 50, 1100, 850};  // 1000 x 800 at (100, 50)
    const std::vector<IntRect> buttons = {IntRect{900, 8, 940, 40}};
    struct Case {
        const char* name;
        int x, y;  // relative to the window's top-left
        float scale;
        HitResult expected;
    } cases[] = {
        {"3 px inside the left edge", 3, 100, 1.0f, HitResult::Left},
        {"6 px inside the left edge", 6, 100, 1.0f, HitResult::Pass},
        {"5 px from left and top", 5, 5, 1.0f, HitResult::TopLeft},
        {"top-right corner", 995, 7, 1.0f, HitResult::TopRight},
        {"bottom-right corner", 999, 799, 1.0f, HitResult::BottomRight},
        {"bottom-left corner", 2, 796, 1.0f, HitResult::BottomLeft},
        {"top edge", 500, 2, 1.0f, HitResult::Top},
        {"right edge", 997, 400, 1.0f, HitResult::Right},
        {"bottom edge", 500, 797, 1.0f, HitResult::Bottom},
        {"caption band", 500, 30, 1.0f, HitResult::Caption},
        {"over a title-bar button", 920, 20, 1.0f, HitResult::Pass},
        {"below the band", 500, 48, 1.0f, HitResult::Pass},
        {"band at scale 0.5", 500, 23, 0.5f, HitResult::Caption},
        {"below the band at 0.5", 500, 24, 0.5f, HitResult::Pass},
        {"outside the window", -20, 30, 1.0f, HitResult::Pass},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HitTest(window.left + c.x, window.top + c.y, window, c.scale, buttons, false), c.expected)
            << c.name;
    }
    EXPECT_EQ(HitTest(window.left + 3, window.top + 100, window, 1.0f, buttons, true), HitResult::Pass)
        << "no custom hit testing in full screen";
    EXPECT_EQ(HitTest(window.left + 500, window.top + 30, window, 1.0f, buttons, true), HitResult::Pass);
}

// ---- window placement ----------------------------------------------------------------------

TEST(WindowPlacement, StartUpGeometry) {
    const ScreenRect work{0, 0, 1920, 1040};
    const ScreenRect virt{0, 0, 1920, 1080};
    struct Case {
        const char* name;
        int w, h, x, y, dpi;
        int ew, eh, ex, ey, edpi;
    } cases[] = {
        {"no settings: centred, 32 x 64 smaller", 0, 0, 0, 0, 144, 1888, 976, 16, 32, 144},
        {"far right pulled back", 800, 600, 5000, 100, 144, 800, 600, 1920 - 256, 100, 144},
        {"far left pulled back", 800, 600, -4000, -900, 144, 800, 600, 0, 0, 144},
        {"DPI 30 becomes 48", 800, 600, 10, 10, 30, 800, 600, 10, 10, 48},
        {"DPI 500 becomes 192", 800, 600, 10, 10, 500, 800, 600, 10, 10, 192},
        // Values from a damaged file are clamped before any sum is formed
        // (under UBSan an overflow here ended the program at start).
        {"hugely negative width is computed", INT32_MIN, INT32_MIN, 0, 0, 144, 1888, 976, 16, 32, 144},
        {"huge width and position stay in range", INT32_MAX, INT32_MAX, INT32_MAX, INT32_MIN, 144, 32767, 32767,
         1920 - 256, 0, 144},
    };
    for (const Case& c : cases) {
        Settings s;
        s.WindowWidth = c.w;
        s.WindowHeight = c.h;
        s.WindowPosX = c.x;
        s.WindowPosY = c.y;
        s.DPI = c.dpi;
        PlaceWindow(&s, work, virt);
        EXPECT_EQ(s.WindowWidth, c.ew) << c.name;
        EXPECT_EQ(s.WindowHeight, c.eh) << c.name;
        EXPECT_EQ(s.WindowPosX, c.ex) << c.name;
        EXPECT_EQ(s.WindowPosY, c.ey) << c.name;
        EXPECT_EQ(s.DPI, c.edpi) << c.name;
    }
}

TEST(WindowPlacement, ScaleAndMinimumSize) {
    int w = 0, h = 0;
    MinimumWindowSize(1.0f, &w, &h);
    EXPECT_EQ(w, 880);
    EXPECT_EQ(h, 540);
    MinimumWindowSize(0.5f, &w, &h);
    EXPECT_EQ(w, 440);
    EXPECT_EQ(h, 270);
    EXPECT_FLOAT_EQ(UiScaleFor(96, 144), 96.0f / 144.0f);
    EXPECT_FLOAT_EQ(UiScaleFor(0, 96), 1.0f) << "unknown DPI counts as 96";
    EXPECT_EQ(ClampDpi(96), 96);

    // A window that grows past the work area's right and bottom edges moves back in.
    const ScreenRect work{0, 0, 1920, 1040};
    const ScreenRect r = FitWindowForScale(ScreenRect{1500, 700, 500, 300}, 1.0f, &work);
    EXPECT_EQ(r.w, 880);
    EXPECT_EQ(r.h, 540);
    EXPECT_EQ(r.x, 1920 - 880);
    EXPECT_EQ(r.y, 1040 - 540);
    const ScreenRect kept = FitWindowForScale(ScreenRect{10, 10, 1000, 700}, 1.0f, nullptr);
    EXPECT_EQ(kept.w, 1000);
    EXPECT_EQ(kept.x, 10);
}

}  // namespace
