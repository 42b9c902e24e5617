// The on-screen keyboard without a window: the fixed key table, the full and
// numeric layouts, the labels a key shows, where every key lies, and one
// frame of key presses from the TouchContact table. OnScreenKeyboard.cpp
// draws what KeyboardStep returns and delivers its characters; the tests
// drive these routines directly. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "App/InputState.h"

namespace ui {

// Virtual-key codes of the keys that are not characters.
enum KeyCode : int32_t {
    KeyCharacter = -1,
    KeyBack = 8,
    KeyEnter = 13,
    KeyShift = 16,
    KeyCap = 20,
};

struct KeyRecord {
    const char* normal;   // up to 7 characters
    const char* shifted;  // up to 7 characters
    int32_t virtualKey;   // KeyCharacter for a character key
    int32_t stretch;      // 1: may be widened to fill its row
};

// The fixed table, input::kKeyboardKeys records; indexes are the ones
// KeyboardState's per-key arrays use.
const KeyRecord* KeyTable();

// Rows of key-table indexes.
using KeyboardRows = std::vector<std::vector<int>>;
const KeyboardRows& FullLayout();     // 5 rows
const KeyboardRows& NumericLayout();  // 4 rows

// One character whose shifted label starts with its ASCII upper case: the
// letters, and the space, ",", ".", "?" and ";" keys.
bool IsLetterKey(const KeyRecord& key);
// The label a key shows in the current modes.
const char* ShownLabel(const KeyRecord& key, bool shift, bool caps);
// The small second label of a one-character key whose labels differ and
// which is no letter key, full layout only: the label not shown. Empty else.
const char* HintLabel(const KeyRecord& key, bool shift, bool caps, bool numeric);

// Where the keyboard and one key lie, client pixels.
struct KeyPlace {
    int key = 0;  // key-table index
    input::FloatRect rect;
};
struct KeyboardPlaces {
    input::FloatRect keyboard;  // the filled background, five rows high in both layouts
    float rowHeight = 0, left = 0, width = 0, top = 0, gap = 0, unit = 0;
    std::vector<KeyPlace> keys;  // row by row, left to right
};
// W x H the display, s the UI scale, (padX, padY) the style's window padding.
KeyboardPlaces PlaceKeyboard(bool numeric, float W, float H, float s, float padX, float padY, float slideIn);

// Opening the keyboard for a field that has just become active: every field
// zeroed (held keys included) except the slide-in, open, Shift on for the
// full layout so that the first letter is a capital.
void OpenKeyboard(input::KeyboardState& st, bool numeric);

// What the field just drawn asks of AttachKeyboard's caller. `activated`: it
// became the active item this frame; `active`: it is the active item.
// Returns true when its editing must end (the keyboard was closed by Enter
// or by a press elsewhere).
bool AttachStep(input::KeyboardState& st, bool switchOn, bool numeric, bool activated, bool active,
                const input::FloatRect& field);

// One key as this frame draws it.
struct KeyView {
    int key = 0;
    input::FloatRect rect;
    const char* label = "";  // shown label (before this frame's presses change the modes)
    const char* hint = "";
    float highlight = 0;     // the fill's mix between the base and the accent colour
};

// One frame of the keyboard: the keys to draw, the characters typed (in key
// order), and the UI key-down flags the keyboard holds now. When the
// keyboard is closed nothing is drawn and every held flag is let go.
struct KeyboardFrame {
    bool drawn = false;
    KeyboardPlaces places;
    std::vector<KeyView> keys;
    std::string typed;
    bool uiKeyDown[input::KeyboardUiKeys] = {false, false, false};
    bool uiKeyChanged[input::KeyboardUiKeys] = {false, false, false};
};
KeyboardFrame KeyboardStep(input::KeyboardState& st, const input::TouchContact contacts[input::kContacts], float W,
                           float H, float s, float padX, float padY, float dt);

// The fill colour of a key with highlight h, packed RGBA (red in the low byte).
uint32_t KeyFillColour(float h);

}  // namespace ui
