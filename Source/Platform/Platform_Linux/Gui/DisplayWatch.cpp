#include "Platform/Platform_Linux/Gui/DisplayWatch.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace {

void (*g_displayLost)() = nullptr;  // set once on the UI thread before the main loop

// Xlib's I/O error handler, for every display connection of the process
// (SDL keeps more than one): called on the thread that made the failing
// call; Xlib's default would go on to exit().
int DisplayIoError(Display* /*display*/) {
    static const char kText[] = "ORVEX Studio: the display connection was lost\n";
    if (write(2, kText, sizeof kText - 1) < 0) {
    }
    if (g_displayLost != nullptr) g_displayLost();
    _exit(kExitDisplayLost);
}

// The exit handler of the window's own connection, should an I/O error
// handler installed later by a library return.
void DisplayConnectionLost(Display* display, void* /*user*/) { DisplayIoError(display); }

}  // namespace

bool WatchDisplayConnection(SDL_Window* window, void (*onLost)()) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 || info.info.x11.display == nullptr)
        return false;
    g_displayLost = onLost;
    XSetIOErrorHandler(DisplayIoError);
    XSetIOErrorExitHandler(info.info.x11.display, DisplayConnectionLost, nullptr);
    return true;
}
