// The on-screen keyboard without a window: key places, labels, and frames of
// presses through the TouchContact table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "App/Gui/Input.h"
#include "App/InputState.h"
#include "UI/KeyboardMath.h"

using namespace ui;
using input::KeyboardState;
using input::TouchContact;

namespace {

constexpr float kW = 1280, kH = 800, kPadX = 10, kPadY = 12;
constexpr float kFrame = 1.0f / 60;

// The first key-table index whose normal label is `label`.
int KeyIndex(const char* label) {
    for (int k = 0; k < input::kKeyboardKeys; ++k) {
        if (std::strcmp(KeyTable()[k].normal, label) == 0) return k;
    }
    ADD_FAILURE() << "no key " << label;
    return 0;
}

bool Labelled(int key, const char* label) { return std::strcmp(KeyTable()[key].normal, label) == 0; }

// The nth key labelled `label` in the layout (the two Shift keys are two records).
const KeyPlace* PlaceOf(const KeyboardPlaces& places, const char* label, int nth = 0) {
    for (const KeyPlace& p : places.keys) {
        if (Labelled(p.key, label) && nth-- == 0) return &p;
    }
    return nullptr;
}

// Width of a key including its gap, in units.
float Units(const KeyboardPlaces& places, const char* label, int nth = 0) {
    const KeyPlace* p = PlaceOf(places, label, nth);
    if (p == nullptr) return -1;
    return (p->rect.x1 - p->rect.x0 + places.gap) / places.unit;
}

// ---- places ----------------------------------------------------------------------------

TEST(KeyboardPlaces, ExamplesAtTwelveEightyByEightHundred) {
    const KeyboardPlaces full = PlaceKeyboard(false, kW, kH, 1, kPadX, kPadY, 1);
    const KeyboardPlaces numeric = PlaceKeyboard(true, kW, kH, 1, kPadX, kPadY, 1);
    struct Case {
        const char* what;
        float value, expected, tolerance;
    } cases[] = {
        {"row height", full.rowHeight, 108, 0},
        {"full width", full.width, 1260, 0},
        {"full left", full.left, 10, 0},
        {"full gap", full.gap, 7, 0},
        {"full unit", full.unit, 97.46f, 0.01f},
        {"Back", Units(full, "Back"), 1.5f, 0.001f},
        {"Enter", Units(full, "Enter"), 1.5f, 0.001f},
        {"left Shift", Units(full, "Shift", 0), 1.5f, 0.001f},
        {"right Shift", Units(full, "Shift", 1), 1.5f, 0.001f},
        {"Cap (no stretch)", Units(full, "Cap"), 1, 0.001f},
        {"letter", Units(full, "q"), 1, 0.001f},
        {"space bar", Units(full, " "), 8, 0.001f},
        {"first row top", PlaceOf(full, "1")->rect.y0, 272, 0.001f},
        {"second row top", PlaceOf(full, "q")->rect.y0, 272 + 108, 0.001f},
        {"key height", PlaceOf(full, "q")->rect.y1 - PlaceOf(full, "q")->rect.y0, 101, 0.001f},
        {"keyboard top", full.keyboard.y0, 260, 0.001f},
        {"keyboard bottom (below the window)", full.keyboard.y1, 824, 0.001f},
        {"keyboard left", full.keyboard.x0, 0, 0},
        {"keyboard right", full.keyboard.x1, 1280, 0},
        // The first row (12.5 units) is centred in w + gap.
        {"first row start", PlaceOf(full, "1")->rect.x0, 10 + (1267 - 12.5f * 1267 / 13) / 2, 0.01f},
        {"numeric width", numeric.width, 512, 0},
        {"numeric left", numeric.left, 758, 0},
        {"numeric gap", numeric.gap, 10, 0},
        {"numeric unit", numeric.unit, 130.5f, 0.001f},
        {"numeric Back (no room to stretch)", Units(numeric, "Back"), 1, 0.001f},
        {"numeric first key", PlaceOf(numeric, "7")->rect.x0, 758, 0.001f},
        {"numeric keyboard left", numeric.keyboard.x0, 748, 0},
        {"numeric keyboard bottom", numeric.keyboard.y1, 824, 0.001f},
    };
    for (const Case& c : cases) EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.what;
    EXPECT_EQ(full.keys.size(), 49u);
    EXPECT_EQ(numeric.keys.size(), 16u);
}

TEST(KeyboardPlaces, SlidesUpFromBelowTheWindow) {
    struct Case {
        float slideIn, top;
    } cases[] = {{0, 800}, {0.5f, 800 - 264}, {1, 272}};
    for (const Case& c : cases) {
        const KeyboardPlaces p = PlaceKeyboard(false, kW, kH, 1, kPadX, kPadY, c.slideIn);
        EXPECT_FLOAT_EQ(p.top, c.top) << c.slideIn;
    }
    // Wide screens: rows follow the width (W / 20), the numeric pad W / 3.75.
    const KeyboardPlaces wide = PlaceKeyboard(true, 3000, 2000, 1, kPadX, kPadY, 1);
    EXPECT_FLOAT_EQ(wide.rowHeight, 150);
    EXPECT_FLOAT_EQ(wide.width, 800);
    EXPECT_FLOAT_EQ(wide.left, 3000 - 800 - 10);
}

// ---- labels ------------------------------------------------------------------------------

TEST(KeyboardLabels, LetterKeysShownLabelsAndHints) {
    struct Case {
        const char* key;
        bool letter;
        bool shift, caps;
        const char* shown;
        const char* hint;
    } cases[] = {
        {"a", true, false, false, "a", ""},
        {"a", true, true, false, "A", ""},
        {"a", true, false, true, "A", ""},
        {"1", false, false, false, "1", "!"},
        {"1", false, true, false, "!", "1"},
        {"1", false, false, true, "1", "!"},  // caps leaves digits alone
        {"-", false, false, false, "-", "_"},
        {"[", false, true, false, "{", "["},
        {" ", true, false, false, " ", ""},
        {";", true, true, false, ";", ""},
        {",", true, false, false, ",", ""},
        {"?", true, false, false, "?", ""},
        {"Cap", false, true, false, "Cap", ""},  // Shift does not touch Cap
        {"Cap", false, false, true, "CAP", ""},
        {"Shift", false, true, false, "SHIFT", ""},
        {"Back", false, true, true, "Back", ""},
    };
    for (const Case& c : cases) {
        const KeyRecord& k = KeyTable()[KeyIndex(c.key)];
        EXPECT_EQ(IsLetterKey(k), c.letter) << c.key;
        EXPECT_STREQ(ShownLabel(k, c.shift, c.caps), c.shown) << c.key << " shift " << c.shift << " caps " << c.caps;
        EXPECT_STREQ(HintLabel(k, c.shift, c.caps, false), c.hint) << c.key;
        EXPECT_STREQ(HintLabel(k, c.shift, c.caps, true), "") << c.key << " in the numeric layout";
    }
    int letters = 0, stretch = 0;
    for (int k = 0; k < input::kKeyboardKeys; ++k) {
        letters += IsLetterKey(KeyTable()[k]);
        stretch += KeyTable()[k].stretch;
    }
    EXPECT_EQ(letters, 26 + 5);
    EXPECT_EQ(stretch, 5);  // space, both Shift keys, Enter, Back
}

TEST(KeyboardLabels, FillColourMixesBaseAndAccent) {
    EXPECT_EQ(KeyFillColour(0), 0xFF000000u | (52u << 16) | (54u << 8) | 56u);
    EXPECT_EQ(KeyFillColour(1), 0xFF000000u | (45u << 16) | (33u << 8) | 233u);
    // Out of range: each channel clamped (red to 255), not wrapped.
    EXPECT_EQ(KeyFillColour(2), 0xFF000000u | (38u << 16) | (12u << 8) | 255u);
}

// ---- frames of presses -------------------------------------------------------------------------

// A keyboard opened for a field, its contacts and the characters it typed.
struct Board {
    KeyboardState st;
    TouchContact contacts[input::kContacts];
    std::string typed;
    KeyboardFrame last;

    explicit Board(bool numeric) {
        OpenKeyboard(st, numeric);
        Frames(120);  // fully slid in
    }
    void Frame() {
        last = KeyboardStep(st, contacts, kW, kH, 1, kPadX, kPadY, kFrame);
        typed += last.typed;
        for (TouchContact& c : contacts) c.previous = c.down;  // end of frame
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    const KeyView* View(const char* label, int nth = 0) {
        for (const KeyView& v : last.keys) {
            if (Labelled(v.key, label) && nth-- == 0) return &v;
        }
        return nullptr;
    }
    void Down(int contact, const char* label, int nth = 0) {
        const KeyView* v = View(label, nth);
        ASSERT_NE(v, nullptr) << label;
        Move(contact, (v->rect.x0 + v->rect.x1) / 2, (v->rect.y0 + v->rect.y1) / 2);
        contacts[contact].down = true;
        contacts[contact].previous = false;
    }
    void Move(int contact, float x, float y) {
        contacts[contact].x = x;
        contacts[contact].y = y;
    }
    void Up(int contact) {
        contacts[contact].down = false;
        contacts[contact].previous = true;
    }
    // A tap held over one frame boundary.
    void Tap(const char* label) {
        if (std::strcmp(label, "right Shift") == 0) {
            Down(0, "Shift", 1);
        } else {
            Down(0, label);
        }
        Frame();
        Up(0);
        Frame();
    }
};

TEST(KeyboardPresses, ShiftAndCapSequences) {
    struct Case {
        const char* name;
        bool numeric;
        std::vector<const char*> taps;
        const char* typed;
        bool shiftAfter, capsAfter;
    } cases[] = {
        {"just opened: a capital first", false, {"a", "a"}, "Aa", false, false},
        {"a digit keeps Shift", false, {"1", "a"}, "!A", false, false},
        {"the space ends Shift", false, {" ", "b"}, " b", false, false},
        {"a comma ends Shift too", false, {",", "b"}, ",b", false, false},
        {"Shift toggles off", false, {"Shift", "a"}, "a", false, false},
        {"Shift toggles on again", false, {"Shift", "Shift", "a", "b"}, "Ab", false, false},
        {"the other Shift key", false, {"right Shift", "z"}, "z", false, false},
        {"Cap: capitals stay, digits stay digits", false, {"Cap", "a", "1", "b", "-"}, "A1B-", false, true},
        {"Cap off again", false, {"Cap", "Cap", "a", "a"}, "Aa", false, false},
        {"Shift over Cap shifts digits", false, {"Cap", "a", "Shift", "2", "c"}, "A@C", false, true},
        {"brackets", false, {"[", "Shift", "]"}, "{]", false, false},
        {"numeric: no Shift at opening", true, {"7", "-", ".", "0"}, "7-.0", false, false},
    };
    for (const Case& c : cases) {
        Board b(c.numeric);
        for (const char* t : c.taps) b.Tap(t);
        EXPECT_EQ(b.typed, c.typed) << c.name;
        EXPECT_EQ(b.st.shift, c.shiftAfter) << c.name;
        EXPECT_EQ(b.st.caps, c.capsAfter) << c.name;
        EXPECT_TRUE(b.st.open) << c.name;
    }
}

TEST(KeyboardPresses, CapShowsItsModeLit) {
    Board b(false);
    b.Tap("Cap");
    b.Frames(30);  // long after the press faded
    ASSERT_NE(b.View("Cap"), nullptr);
    EXPECT_STREQ(b.View("Cap")->label, "CAP");
    EXPECT_FLOAT_EQ(b.View("Cap")->highlight, 1);
    EXPECT_STREQ(b.View("q")->label, "Q");
    EXPECT_FLOAT_EQ(b.View("q")->highlight, 0);
    // Shift is on at opening and lit; Cap's mode does not light the digits.
    EXPECT_FLOAT_EQ(b.View("Shift")->highlight, 1);
    EXPECT_STREQ(b.View("1")->label, "!");
    EXPECT_STREQ(b.View("1")->hint, "1");
}

TEST(KeyboardPresses, ATapBetweenTwoFramesTypesNothing) {
    Board b(false);
    b.Down(0, "a");
    b.Up(0);  // both before the frame looks
    b.Frames(3);
    EXPECT_EQ(b.typed, "");
    EXPECT_TRUE(b.st.shift);
    // A press still down at the next frame types at once, and only once.
    b.Down(0, "a");
    b.Frame();
    EXPECT_EQ(b.typed, "A");
    b.Frames(5);
    b.Up(0);
    b.Frames(2);
    EXPECT_EQ(b.typed, "A");
}

TEST(KeyboardPresses, HeldBackHoldsTheUiKeyUntilTheFingerLeavesTheKey) {
    Board b(false);
    b.Down(1, "Back");
    b.Frame();
    EXPECT_TRUE(b.last.uiKeyDown[input::KeyboardUiBack]);
    EXPECT_TRUE(b.last.uiKeyChanged[input::KeyboardUiBack]);
    b.Frames(10);
    EXPECT_TRUE(b.last.uiKeyDown[input::KeyboardUiBack]);
    EXPECT_FALSE(b.last.uiKeyChanged[input::KeyboardUiBack]);
    EXPECT_FLOAT_EQ(b.View("Back")->highlight, 1);
    // A second finger types while the first holds Back.
    b.Tap("s");
    EXPECT_EQ(b.typed, "S");
    EXPECT_TRUE(b.last.uiKeyDown[input::KeyboardUiBack]);
    // The finger slides off onto "0": Back is let go and "0" is not pressed.
    const KeyView* zero = b.View("0");
    b.Move(1, zero->rect.x0 + 5, zero->rect.y0 + 5);
    b.Frame();
    EXPECT_FALSE(b.last.uiKeyDown[input::KeyboardUiBack]);
    EXPECT_TRUE(b.last.uiKeyChanged[input::KeyboardUiBack]);
    b.Frames(3);
    EXPECT_EQ(b.typed, "S");
    // Let go, it fades out within about a quarter of a second.
    b.Up(1);
    b.Frames(16);
    EXPECT_FLOAT_EQ(b.View("Back")->highlight, 0);
    EXPECT_EQ(b.typed, "S");
}

TEST(KeyboardPresses, AKeyHeldByALaterFingerStaysHeldWhenAnEarlierOneLeaves) {
    Board b(false);
    b.Down(0, "q");
    b.Down(3, "Back");
    b.Frame();
    b.Up(0);
    b.Frames(2);
    EXPECT_TRUE(b.last.uiKeyDown[input::KeyboardUiBack]);
    EXPECT_EQ(b.typed, "Q");
}

TEST(KeyboardPresses, EnterClosesAndTheUiSeesEnterForOneFrame) {
    Board b(false);
    b.Down(0, "Enter");
    b.Frame();
    EXPECT_FALSE(b.st.open);
    EXPECT_TRUE(b.last.uiKeyDown[input::KeyboardUiEnter]);  // read by the UI in the next frame
    b.Frame();  // closed: nothing drawn, Enter let go although the finger is still down
    EXPECT_FALSE(b.last.drawn);
    EXPECT_FALSE(b.last.uiKeyDown[input::KeyboardUiEnter]);
    EXPECT_TRUE(b.last.uiKeyChanged[input::KeyboardUiEnter]);
    EXPECT_FLOAT_EQ(b.st.slideIn, 0);
    b.Frame();
    EXPECT_FALSE(b.last.uiKeyChanged[input::KeyboardUiEnter]);
    EXPECT_EQ(b.typed, "");
}

TEST(KeyboardPresses, BlankKeysNeverType) {
    Board b(true);
    for (int nth = 0; nth < 2; ++nth) {
        b.Down(0, "", nth);
        b.Frame();
        b.Up(0);
        b.Frame();
    }
    EXPECT_EQ(b.typed, "");
    // The blank key sits right of "3"; "." types.
    b.Tap(".");
    EXPECT_EQ(b.typed, ".");
}

// ---- attaching fields --------------------------------------------------------------------------

TEST(KeyboardAttach, OpeningResetsAndClosingEndsTheEditing) {
    const input::FloatRect field{100, 100, 400, 130};
    KeyboardState st;
    // Switch off: no keyboard, the field stays active.
    EXPECT_FALSE(AttachStep(st, false, false, true, true, field));
    EXPECT_FALSE(st.open);
    // Switch on: a field just activated opens the full layout with Shift on.
    EXPECT_FALSE(AttachStep(st, true, false, true, true, field));
    EXPECT_TRUE(st.open);
    EXPECT_TRUE(st.shift);
    EXPECT_FALSE(st.numeric);
    EXPECT_FLOAT_EQ(st.fieldRect.x1, 400);
    st.slideIn = 0.7f;
    st.caps = true;
    st.heldBy[3] = 2;
    // Another field, numeric: reset but no new slide.
    const input::FloatRect number{100, 200, 300, 230};
    EXPECT_FALSE(AttachStep(st, true, true, true, true, number));
    EXPECT_TRUE(st.numeric);
    EXPECT_FALSE(st.shift);
    EXPECT_FALSE(st.caps);
    EXPECT_EQ(st.heldBy[3], -1);
    EXPECT_FLOAT_EQ(st.slideIn, 0.7f);
    EXPECT_FLOAT_EQ(st.fieldRect.y0, 200);
    // Closed by Enter or a press elsewhere: the still active field stops editing.
    st.open = false;
    EXPECT_TRUE(AttachStep(st, true, true, false, true, number));
    // An inactive field asks nothing.
    EXPECT_FALSE(AttachStep(st, true, true, false, false, number));
    // Switched off while open: the keyboard stays until closed.
    st.open = true;
    EXPECT_FALSE(AttachStep(st, false, false, true, true, field));
    EXPECT_TRUE(st.numeric);
}

TEST(KeyboardAttach, ThePointerFilterUsesTheRectanglesTheKeyboardWrote) {
    Board b(false);
    EXPECT_FLOAT_EQ(b.st.keyboardRect.y0, 260);
    EXPECT_FLOAT_EQ(b.st.keyboardRect.y1, 824);
    ASSERT_FALSE(AttachStep(b.st, true, false, false, true, input::FloatRect{100, 100, 400, 130}));
    struct Case {
        const char* name;
        float x, y;
        bool reachesUi, openAfter;
    } cases[] = {
        {"a key", 640, 500, false, true},
        {"the field", 200, 110, true, true},
        {"above the keyboard", 640, 200, true, false},
    };
    for (const Case& c : cases) {
        input::InputState state;
        state.keyboard = b.st;
        input::UiPointer pointer;
        input::MouseButtonDown(state, pointer, 0, c.x, c.y);
        EXPECT_EQ(pointer.down[0], c.reachesUi) << c.name;
        EXPECT_EQ(state.keyboard.open, c.openAfter) << c.name;
        EXPECT_TRUE(state.contacts[0].down) << c.name << ": the keys still see the press";
    }
}

}  // namespace
