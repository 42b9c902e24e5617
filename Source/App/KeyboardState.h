// The on-screen keyboard's state between frames: plain data, no SDL or
// ImGui types. The rules that change it are in UI/KeyboardMath.h (tested
// without a window) and UI/OnScreenKeyboard.h (the drawing). It sits in the
// input state because the pointer filter (App/Gui/Input.h) reads the open
// flag and both rectangles on every button event. UI thread only.
#pragma once

#include <cstdint>

namespace input {

struct FloatRect {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Contains(float x, float y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// Records in the fixed key table (UI/KeyboardMath.cpp): 49 keys of the full
// layout and the one blank key of the numeric layout.
inline constexpr int kKeyboardKeys = 50;

// The UI key-down flags the keyboard can hold: Back, Enter, Cap.
enum KeyboardUiKey : int { KeyboardUiBack = 0, KeyboardUiEnter = 1, KeyboardUiCap = 2, KeyboardUiKeys = 3 };

struct KeyboardState {
    int32_t heldBy[kKeyboardKeys];    // TouchContact index holding each key, -1 none
    float highlight[kKeyboardKeys];   // 0..1: 1 while held or its mode is on, then fading
    bool open = false;
    bool caps = false;
    bool shift = false;
    bool numeric = false;             // which layout: numeric (4 rows) or full (5 rows)
    float slideIn = 0.0f;             // 0..1, eased up while open, 0 while closed
    FloatRect keyboardRect;           // written by DrawKeyboard, read by PointerButton
    FloatRect fieldRect;              // the active field, written by AttachKeyboard, read by PointerButton
    bool uiKeyDown[KeyboardUiKeys] = {false, false, false};  // flags the keyboard holds down in the UI

    KeyboardState() {
        for (int k = 0; k < kKeyboardKeys; ++k) {
            heldBy[k] = -1;
            highlight[k] = 0.0f;
        }
    }
};

}  // namespace input
