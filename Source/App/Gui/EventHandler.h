// The window's event handler and the UI platform layer over SDL2: one SDL
// event at a time feeds the pointer, button, touch and key routines of
// Input.h and Dear ImGui's input record; once per frame the platform layer
// sets display size, delta time, modifiers, deferred releases and the cursor.
// UI thread only.
#pragma once

#include <cstdint>

union SDL_Event;
struct AppState;

namespace gui {

// After the UI context exists: key map, backend flags, clipboard.
void UiPlatformInit(AppState& app);
void UiPlatformShutdown();

// Handles one event. Returns false for an event that asks the program to
// end (the window's close or SDL_QUIT); the caller then shuts down.
bool HandleEvent(AppState& app, const SDL_Event& event);

// RenderFrame steps 3 to 7: display size, delta time, modifiers,
// ButtonReleaseStep, pointer warp, cursor shape.
void UiPlatformNewFrame(AppState& app);

// Closes the UI's popups from the first one that is neither modal nor a
// child window upward (menus must not hang in the air while the window
// moves or changes size).
void CloseNonModalPopups();

// Hooks the main loop installs: the window was resized (render target), the
// display's DPI changed (style, fonts, images).
using ResizeHook = void (*)(AppState& app, int width, int height);
using DpiHook = void (*)(AppState& app);
void SetEventHooks(ResizeHook onResize, DpiHook onDpiChange);

}  // namespace gui
