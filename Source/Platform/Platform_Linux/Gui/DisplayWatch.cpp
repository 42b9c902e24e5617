#include "Platform/Platform_Linux/Gui/DisplayWatch.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace {

void (*g_displayLost)() = nullptr;  // set once on the UI thread before the main loop

// Xlib's exit handler: called after its I/O error handler (which prints the
// "XIO: fatal IO error" line), on the thread that made the failing call.
void DisplayConnectionLost(Display* /*display*/, void* /*user*/) {
    if (g_displayLost != nullptr) g_displayLost();
    _exit(kExitDisplayLost);
}

}  // namespace

bool WatchDisplayConnection(SDL_Window* window, void (*onLost)()) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 || info.info.x11.display == nullptr)
        return false;
    g_displayLost = onLost;
    XSetIOErrorExitHandler(info.info.x11.display, DisplayConnectionLost, nullptr);
    return true;
}
