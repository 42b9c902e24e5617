// SDL window glue: the frameless main window with its GL 3.3 core context,
// the custom hit test, window modes, display areas and DPI. UI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "App/Gui/HitTest.h"
#include "App/Gui/WindowPlacement.h"

struct SDL_Window;
struct Settings;

// SDL video start-up. False (message on stderr) when SDL cannot start.
bool StartVideo();
void StopVideo();

// The display's usable area and the union of all displays.
void DisplayAreas(input::ScreenRect* work, input::ScreenRect* virtualScreen);

// Creates the hidden, borderless, resizable window at the settings'
// geometry, then its OpenGL 3.3 core context, made current. On failure
// writes a clear message to standard error and returns null.
SDL_Window* CreateMainWindow(const Settings& settings, const char* title);
void DestroyMainWindow(SDL_Window* window);

// The program's hit test for a point in client pixels of a window of the
// given size; `maximized` when the window is maximized (no resize edges).
// Called from the event pump on the UI thread.
using HitTestFunction = std::function<input::HitResult(int x, int y, int width, int height, bool maximized)>;

// Installs the hit test (resize sides, corners, caption band) and the
// minimum size for the current UI scale. One main window: a later call
// replaces the function.
void InstallHitTest(SDL_Window* window, HitTestFunction hitTest, float uiScale);
void UpdateMinimumSize(SDL_Window* window, float uiScale);

// The window's DPI from its display, 96 when unknown.
int WindowDpi(SDL_Window* window);

// Frame step 16: applies a window-mode request (full screen, maximize,
// minimize, restore) to the settings and the window; the request is reset
// to none.
void ApplyWindowMode(SDL_Window* window, Settings& settings, int32_t& request);
// UI scale change step 4: grows the window to the new minimum inside the work area.
void FitWindowToScale(SDL_Window* window, const Settings& settings, float uiScale);
// Frame step 20: the settings take the window's position and size unless
// it is maximized or full screen.
void RecordWindowGeometry(SDL_Window* window, Settings& settings);
// A second instance asked for the window: restore and raise it.
void RaiseMainWindow(SDL_Window* window);
