#include "Platform/Platform_Linux/Gui/Window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "App/Gui/HitTest.h"
#include "App/WindowMode.h"
#include "Base/Log.h"
#include "Base/Settings.h"

bool StartVideo() {
    // SIGINT/SIGTERM stay with the program's own orderly shut-down.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Touch gives finger events; mouse events synthesised from it are ignored.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
        std::fprintf(stderr, "ORVEX Studio: could not start the display (%s)\n", SDL_GetError());
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "SDL_Init failed: %s", SDL_GetError());
        return false;
    }
    return true;
}

void StopVideo() {
    // The display connection stays open until the process ends: closing it
    // unloads the GL driver, whose process-lifetime allocations would then
    // show up as leaks of an unknown module. Timers and events are done.
    SDL_QuitSubSystem(SDL_INIT_TIMER | SDL_INIT_EVENTS);
}

void DisplayAreas(input::ScreenRect* work, input::ScreenRect* virt) {
    SDL_Rect r{0, 0, 1280, 800};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
    *work = input::ScreenRect{r.x, r.y, r.w, r.h};
    int left = r.x, top = r.y, right = r.x + r.w, bottom = r.y + r.h;
    const int displays = SDL_GetNumVideoDisplays();
    for (int i = 0; i < displays; ++i) {
        SDL_Rect d;
        if (SDL_GetDisplayBounds(i, &d) != 0) continue;
        left = std::min(left, d.x);
        top = std::min(top, d.y);
        right = std::max(right, d.x + d.w);
        bottom = std::max(bottom, d.y + d.h);
    }
    *virt = input::ScreenRect{left, top, right - left, bottom - top};
}

SDL_Window* CreateMainWindow(const Settings& settings, const char* title) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_FORWARD_COMPATIBLE_FLAG);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    const Settings& s = settings;
    SDL_Window* window = SDL_CreateWindow(title, s.WindowPosX, s.WindowPosY, std::max(1, s.WindowWidth),
                                          std::max(1, s.WindowHeight),
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE |
                                              SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        std::fprintf(stderr, "ORVEX Studio: could not create the window (%s)\n", SDL_GetError());
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "SDL_CreateWindow failed: %s", SDL_GetError());
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        std::fprintf(stderr,
                     "ORVEX Studio needs OpenGL 3.3 (core profile), which this display does not offer (%s)\n",
                     SDL_GetError());
        LOGF(LOG_ERROR, LOG_SRC_MAIN, "SDL_GL_CreateContext failed: %s", SDL_GetError());
        SDL_DestroyWindow(window);
        return nullptr;
    }
    SDL_GL_MakeCurrent(window, context);
    return window;
}

void DestroyMainWindow(SDL_Window* window) {
    if (window == nullptr) return;
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    if (context) SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
}

namespace {

// The installed hit test; SDL calls back on the UI thread's event pump.
HitTestFunction g_hitTest;

SDL_HitTestResult HitTestCallback(SDL_Window* window, const SDL_Point* p, void*) {
    if (!g_hitTest) return SDL_HITTEST_NORMAL;
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) {
        // A maximized window is not resized or moved by its edges.
        const input::HitResult hit = g_hitTest(p->x, p->y, w, h, true);
        return hit == input::HitResult::Caption ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
    }
    switch (g_hitTest(p->x, p->y, w, h, false)) {
        case input::HitResult::Caption: return SDL_HITTEST_DRAGGABLE;
        case input::HitResult::TopLeft: return SDL_HITTEST_RESIZE_TOPLEFT;
        case input::HitResult::Top: return SDL_HITTEST_RESIZE_TOP;
        case input::HitResult::TopRight: return SDL_HITTEST_RESIZE_TOPRIGHT;
        case input::HitResult::Right: return SDL_HITTEST_RESIZE_RIGHT;
        case input::HitResult::BottomRight: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
        case input::HitResult::Bottom: return SDL_HITTEST_RESIZE_BOTTOM;
        case input::HitResult::BottomLeft: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
        case input::HitResult::Left: return SDL_HITTEST_RESIZE_LEFT;
        case input::HitResult::Pass: break;
    }
    return SDL_HITTEST_NORMAL;
}

}  // namespace

void InstallHitTest(SDL_Window* window, HitTestFunction hitTest, float uiScale) {
    g_hitTest = std::move(hitTest);
    if (SDL_SetWindowHitTest(window, HitTestCallback, nullptr) != 0) {
        LOGF(LOG_INFO, LOG_SRC_PLATFORM, "SDL_SetWindowHitTest not available: %s", SDL_GetError());
    }
    UpdateMinimumSize(window, uiScale);
}

void UpdateMinimumSize(SDL_Window* window, float uiScale) {
    int w = 0, h = 0;
    input::MinimumWindowSize(uiScale, &w, &h);
    SDL_SetWindowMinimumSize(window, std::max(1, w), std::max(1, h));
}

int WindowDpi(SDL_Window* window) {
    const int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
    float ddpi = 0, hdpi = 0, vdpi = 0;
    if (SDL_GetDisplayDPI(display < 0 ? 0 : display, &ddpi, &hdpi, &vdpi) != 0 || !(hdpi > 0) || !std::isfinite(hdpi)) {
        return 96;
    }
    const int dpi = int(std::lround(hdpi));
    // Displays that report nonsense (no physical size) count as unknown.
    return (dpi < 48 || dpi > 960) ? 96 : dpi;
}

void ApplyWindowMode(SDL_Window* window, Settings& settings, int32_t& pending) {
    const int32_t request = pending;
    if (request == WindowModeNone) return;
    Settings& s = settings;
    if (request == WindowModeToggleFullscreen) s.WindowFullscreen = !s.WindowFullscreen;
    if (request == WindowModeMaximize) {
        s.WindowMaximized = true;
        s.WindowFullscreen = false;
    }
    if (request == WindowModeRestore) s.WindowMaximized = s.WindowFullscreen = false;
    if (s.TabletMode) s.WindowMaximized = s.WindowFullscreen = true;
    pending = WindowModeNone;
    if (request == WindowModeMinimize) {
        SDL_MinimizeWindow(window);
        return;
    }
    SDL_ShowWindow(window);
    if (s.WindowFullscreen) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else if (s.WindowMaximized) {
        SDL_SetWindowFullscreen(window, 0);
        SDL_MaximizeWindow(window);
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_RestoreWindow(window);
        SDL_SetWindowPosition(window, s.WindowPosX, s.WindowPosY);
        SDL_SetWindowSize(window, std::max(1, s.WindowWidth), std::max(1, s.WindowHeight));
    }
}

void FitWindowToScale(SDL_Window* window, const Settings& settings, float uiScale) {
    UpdateMinimumSize(window, uiScale);
    const Settings& s = settings;
    if (s.WindowFullscreen || s.WindowMaximized) return;
    input::ScreenRect current;
    SDL_GetWindowPosition(window, &current.x, &current.y);
    current.w = s.WindowWidth;
    current.h = s.WindowHeight;
    // The work area of the display the window is on (not the first display),
    // so a window on another monitor is kept there; without one only the
    // size changes.
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_Rect area{0, 0, 0, 0};
    const bool haveWork = display >= 0 && SDL_GetDisplayUsableBounds(display, &area) == 0;
    const input::ScreenRect work{area.x, area.y, area.w, area.h};
    const input::ScreenRect r = input::FitWindowForScale(current, uiScale, haveWork ? &work : nullptr);
    if (haveWork) SDL_SetWindowPosition(window, r.x, r.y);
    SDL_SetWindowSize(window, r.w, r.h);
}

void RecordWindowGeometry(SDL_Window* window, Settings& settings) {
    const uint32_t flags = SDL_GetWindowFlags(window);
    if (flags & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_MINIMIZED)) {
        return;
    }
    if (settings.WindowFullscreen || settings.WindowMaximized) return;
    SDL_GetWindowPosition(window, &settings.WindowPosX, &settings.WindowPosY);
    SDL_GetWindowSize(window, &settings.WindowWidth, &settings.WindowHeight);
}

void RaiseMainWindow(SDL_Window* window) {
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
}
