// Losing the display connection (the X server ends, the desktop session
// closes) makes Xlib end the process with exit() while threads still run,
// which aborts it ("terminate called without an active exception") before
// recordings are finished or anything is saved. The watch replaces Xlib's
// exit handler. UI thread only.
//
// Kept apart from Window.cpp: Xlib's headers define macros (None, Status,
// ...) that clash with the program's own names.
#pragma once

struct SDL_Window;

// Exit code of a run whose display went away or that was hung up (SIGHUP).
constexpr int kExitDisplayLost = 2;

// `onLost` runs on the UI thread, inside the Xlib call that saw the
// connection fail, and must end the process itself (_exit) after shutting
// down everything that does not need the window; if it returns, the process
// ends with kExitDisplayLost. False when the window is not on X11.
bool WatchDisplayConnection(SDL_Window* window, void (*onLost)());
