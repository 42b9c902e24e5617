// Pointer, touch and button bookkeeping between window events and UI frames.
// The SDL event handler (EventHandler.cpp) feeds these routines; the UI
// pointer they write is copied into Dear ImGui's input record. Everything
// here runs on the UI thread and keeps no SDL or ImGui types, so the rules
// are tested as plain tables.
#pragma once

#include <cstdint>
#include <vector>

namespace input {

inline constexpr int kContacts = 5;
inline constexpr int kButtons = 5;  // left, right, middle, extra 1, extra 2

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

struct FloatRect {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Contains(float x, float y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The UI's pointer: position and the five button flags.
struct UiPointer {
    float x = 0.0f, y = 0.0f;
    bool down[kButtons] = {false, false, false, false, false};
    bool AnyDown() const;
};

struct InputState {
    TouchContact contacts[kContacts];
    int contactOrder[kContacts] = {0, 0, 0, 0, 0};  // touch input k drives contacts[contactOrder[k]]
    int releaseState[kButtons] = {0, 0, 0, 0, 0};   // 0 idle, 1 pressed, 2 release waiting, 3 seen
    int pointerPark = 0;                            // countdown set by a finger leaving the screen
    int systemMenuRequest = 0;                      // 0 none, 1 right down on the caption, 2 up again
    std::vector<IntRect> captionExclusions;         // title-bar buttons of the current frame

    // On-screen keyboard filter (the keyboard panel keeps these up to date).
    bool keyboardOpen = false;
    FloatRect keyboardRect;
    FloatRect fieldRect;

    // SDL finger ids in the order of their touch inputs (input k = fingers[k]).
    int64_t fingers[kContacts] = {0, 0, 0, 0, 0};
    int fingerCount = 0;
};

// Passes a press or release of UI button b into the pointer, with the
// on-screen keyboard filter and the deferred release of short clicks.
void PointerButton(InputState& state, UiPointer& pointer, int b, bool down);
// Once per frame before the UI frame starts: ends deferred releases.
void ButtonReleaseStep(InputState& state, UiPointer& pointer);

// Mouse paths (events synthesised from touch never get here).
void MouseMove(InputState& state, UiPointer& pointer, float x, float y);
void MouseButtonDown(InputState& state, UiPointer& pointer, int b, float x, float y);
void MouseButtonUp(InputState& state, UiPointer& pointer, int b, float x, float y);

// Touch paths, one finger event at a time. A sixth simultaneous finger is
// ignored. Returns false when the event was ignored.
bool TouchDown(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y);
bool TouchUp(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y);
bool TouchMove(InputState& state, UiPointer& pointer, int64_t fingerId, float x, float y);

// End of frame: previous takes the value of down for every contact.
void TouchLatch(InputState& state);
// End of frame: advances the pointer-park countdown; true when the UI pointer
// is to be parked at (0, 0) now (two frames after a finger left).
bool PointerParkStep(InputState& state);

}  // namespace input
