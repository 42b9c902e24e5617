// Pointer, touch and button bookkeeping between window events and UI frames.
// The SDL event handler (EventHandler.cpp) feeds these routines; the UI
// pointer they write is copied into Dear ImGui's input record. Everything
// here runs on the UI thread and keeps no SDL or ImGui types, so the rules
// are tested as plain tables.
#pragma once

#include <cstdint>

#include "App/InputState.h"

namespace input {

// The UI's pointer: position and the five button flags.
struct UiPointer {
    float x = 0.0f, y = 0.0f;
    bool down[kButtons] = {false, false, false, false, false};
    bool AnyDown() const;
};

// Passes a press or release of UI button b into the pointer, with the
// on-screen keyboard filter and the deferred release of short clicks.
void PointerButton(InputState& state, UiPointer& pointer, int b, bool down);
// Once per frame before the UI frame starts: ends deferred releases.
void ButtonReleaseStep(InputState& state, UiPointer& pointer);

// A key press or release into the UI's key flags (indexed by key code,
// kKeys of them). A key pressed and released before the next frame stays
// down for that whole frame, as a short click does: the UI keeps key state,
// not key events, and xdotool or a fast typist sends both in one go.
void KeyEvent(InputState& state, bool* keysDown, int code, bool down);
// Once per frame before the UI frame starts: ends deferred key releases.
void KeyReleaseStep(InputState& state, bool* keysDown);

// True while a press and release that both came between two frames are
// still being shown to the UI (their release waits for a frame, or a frame
// has seen the press and the next must see the release), for any button or
// key. The main loop takes no further input until this is over: a second
// quick tap would otherwise be merged into the first before any frame saw
// them apart (two taps on two buttons of a busy machine's slow frames, or
// xdotool's clicks one after the other), and both would be lost.
bool QuickPressInFlight(const InputState& state);

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
