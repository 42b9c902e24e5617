// Pointer and keyboard input for the process tests, sent to the Xvfb display
// with xdotool. Coordinates are root-window pixels.
#pragma once

#include <cstdlib>
#include <string>

namespace testsupport {

inline bool XDo(const std::string& arguments) {
    const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

inline bool Click(int x, int y) { return XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1"); }
inline bool MoveTo(int x, int y) { return XDo("mousemove " + std::to_string(x) + " " + std::to_string(y)); }
// A press that stays down until Release: for controls that look at the
// button frame by frame (the on-screen keyboard types only a press some
// frame saw down, so a test waits for what the press shows before letting go).
inline bool PressAt(int x, int y) {
    return XDo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1");
}
inline bool Release() { return XDo("mouseup 1"); }
// Xvfb runs no window manager, so a full-screen request is not honoured by
// anyone: this moves and sizes the window titled `title` over the whole
// screen, as a window manager would. Waits for the window to exist.
inline bool FitWindowToScreen(const std::string& title, int width, int height) {
    return XDo("search --sync --limit 1 --name '" + title + "' windowmove %1 0 0 windowsize %1 " +
               std::to_string(width) + " " + std::to_string(height));
}
// Wheel notches at the pointer: positive up (zoom in), negative down.
inline bool Wheel(int notches) {
    const int button = notches > 0 ? 4 : 5;
    const int count = notches > 0 ? notches : -notches;
    return XDo("click --repeat " + std::to_string(count) + " --delay 60 " + std::to_string(button));
}
// Types text into the focused window, one key every 40 ms. The text goes
// through standard input, so one starting with '-' is not taken for an
// option (no single quotes in `text`).
inline bool TypeText(const std::string& text) {
    const std::string command = "printf '%s' '" + text + "' | xdotool type --delay 40 --file - >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}
inline bool Key(const std::string& name) { return XDo("key " + name); }

}  // namespace testsupport
