// The on-screen keyboard: slides up from the bottom of the window when a
// text field becomes active while the keyboard switch is on, drawn into the
// main window's draw list after every other window so it lies on top. Its
// keys are pressed through the TouchContact table (up to five fingers or
// mouse buttons at once); characters go into the SDL event queue as text
// input, the same path as real typing, so each field's character filter
// still applies. Back, Enter and Cap hold the UI's key-down flags while
// held. The rules are in KeyboardMath.h. UI thread only.
#pragma once

struct AppState;

namespace ui {

// Called by a panel right after drawing a text field, for that field:
// opens the keyboard (full or numeric layout) when the field has just become
// active, and ends the field's editing once the keyboard has been closed.
void AttachKeyboard(bool numeric);

// Once per frame, inside the main window, after every other window.
void DrawKeyboard(AppState& app, float W, float H);
// The main window's entry: the client area.
void DrawKeyboard(AppState& app);

}  // namespace ui
