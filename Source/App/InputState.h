// The pointer, touch and caption bookkeeping the application state keeps
// between window events and UI frames: plain data, no SDL or ImGui types.
// The rules that change it are in App/Gui/Input.h. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "App/KeyboardState.h"

namespace input {

inline constexpr int kContacts = 5;
inline constexpr int kButtons = 5;  // left, right, middle, extra 1, extra 2
inline constexpr int kKeys = 512;   // key codes (SDL scan codes) the UI follows

// One finger or mouse button as the on-screen keyboard sees it.
// pressed = down && !previous, released = !down && previous.
struct TouchContact {
    bool down = false;
    bool previous = false;
    float x = 0.0f, y = 0.0f;  // client pixels of the contact's last event
};

struct IntRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // inclusive bounds
};

struct InputState {
    TouchContact contacts[kContacts];
    int contactOrder[kContacts] = {0, 0, 0, 0, 0};  // touch input k drives contacts[contactOrder[k]]
    int releaseState[kButtons] = {0, 0, 0, 0, 0};   // 0 idle, 1 pressed, 2 release waiting, 3 seen
    uint8_t keyReleaseState[kKeys] = {};            // the same steps for keys (KeyEvent)
    int pointerPark = 0;                            // countdown set by a finger leaving the screen
    int systemMenuRequest = 0;                      // 0 none, 1 right down on the caption, 2 up again
    std::vector<IntRect> captionExclusions;         // title-bar buttons of the current frame

    // The on-screen keyboard: its open flag and rectangles drive the
    // pointer filter; the keys read the contacts above.
    KeyboardState keyboard;

    // SDL finger ids in the order of their touch inputs (input k = fingers[k]).
    int64_t fingers[kContacts] = {0, 0, 0, 0, 0};
    int fingerCount = 0;
};

}  // namespace input
