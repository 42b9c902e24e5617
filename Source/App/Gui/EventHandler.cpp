// Sections: pointer/UI glue; key map; HandleEvent (window, keys, mouse,
// touch); per-frame platform step; popups.
#include "App/Gui/EventHandler.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "App/AppState.h"
#include "App/Gui/HitTest.h"
#include "App/Gui/Input.h"
#include "Base/Log.h"
#include "Platform/Platform_Linux/Gui/Window.h"

namespace gui {

namespace {

ResizeHook g_onResize = nullptr;
DpiHook g_onDpiChange = nullptr;
uint64_t g_previousCount = 0;
SDL_Cursor* g_cursors[ImGuiMouseCursor_COUNT] = {};
int g_lastCursor = -2;  // shape set last (-1 none)

// Runs a pointer routine on a copy of the UI's pointer and writes it back.
template <typename Fn>
void WithPointer(Fn fn) {
    ImGuiIO& io = ImGui::GetIO();
    input::UiPointer pointer;
    pointer.x = io.MousePos.x;
    pointer.y = io.MousePos.y;
    for (int b = 0; b < input::kButtons; ++b) pointer.down[b] = io.MouseDown[b];
    fn(pointer);
    io.MousePos = ImVec2(pointer.x, pointer.y);
    for (int b = 0; b < input::kButtons; ++b) io.MouseDown[b] = pointer.down[b];
}

// SDL button numbers to the UI's: left 0, right 1, middle 2, extra 3 and 4.
int UiButton(uint8_t sdlButton) {
    switch (sdlButton) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        case SDL_BUTTON_X1: return 3;
        case SDL_BUTTON_X2: return 4;
        default: return -1;
    }
}

bool AnyUiButtonDown() {
    const ImGuiIO& io = ImGui::GetIO();
    for (int b = 0; b < input::kButtons; ++b) {
        if (io.MouseDown[b]) return true;
    }
    return false;
}

void UpdateCapture(bool wasDown) {
    const bool down = AnyUiButtonDown();
    if (!wasDown && down) SDL_CaptureMouse(SDL_TRUE);
    if (wasDown && !down) SDL_CaptureMouse(SDL_FALSE);
}

void HandleWindowEvent(AppState& app, const SDL_WindowEvent& e) {
    switch (e.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (app.gc == nullptr) break;
            app.ClientWidth = e.data1;
            app.ClientHeight = e.data2;
            if (!app.settings.WindowFullscreen) {
                const uint32_t flags = SDL_GetWindowFlags(static_cast<SDL_Window*>(app.window));
                app.settings.WindowMaximized = (flags & SDL_WINDOW_MAXIMIZED) != 0;
            }
            CloseNonModalPopups();
            if (g_onResize) g_onResize(app, e.data1, e.data2);
            break;
        case SDL_WINDOWEVENT_MINIMIZED: app.windowMinimized = true; break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_SHOWN: app.windowMinimized = false; break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            if (!app.settings.TabletMode) {
                app.WindowDpi = WindowDpi(static_cast<SDL_Window*>(app.window));
                app.UiScale = float(app.WindowDpi) / float(app.UiDpi);
                if (g_onDpiChange) g_onDpiChange(app);
            }
            break;
        case SDL_WINDOWEVENT_HIT_TEST:
            // A press on the caption or a frame edge: the system moves or
            // sizes the window now, so no menu may hang in the air meanwhile.
            CloseNonModalPopups();
            break;
        case SDL_WINDOWEVENT_LEAVE:
            if (!AnyUiButtonDown()) ImGui::GetIO().MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
            break;
        default: break;
    }
}

bool InCaption(AppState& app, int x, int y) {
    const input::IntRect r{0, 0, app.ClientWidth, app.ClientHeight};
    return input::HitTest(x, y, r, app.UiScale, app.input.captionExclusions, app.settings.WindowFullscreen) ==
           input::HitResult::Caption;
}

}  // namespace

void SetEventHooks(ResizeHook onResize, DpiHook onDpiChange) {
    g_onResize = onResize;
    g_onDpiChange = onDpiChange;
}

// ---- key map ----------------------------------------------------------------------

void UiPlatformInit(AppState& /*app*/) {
    ImGuiIO& io = ImGui::GetIO();
    io.BackendPlatformName = "orvex_sdl2";
    io.BackendFlags |= ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_HasSetMousePos;
    io.KeyMap[ImGuiKey_Tab] = SDL_SCANCODE_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = SDL_SCANCODE_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = SDL_SCANCODE_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = SDL_SCANCODE_UP;
    io.KeyMap[ImGuiKey_DownArrow] = SDL_SCANCODE_DOWN;
    io.KeyMap[ImGuiKey_PageUp] = SDL_SCANCODE_PAGEUP;
    io.KeyMap[ImGuiKey_PageDown] = SDL_SCANCODE_PAGEDOWN;
    io.KeyMap[ImGuiKey_Home] = SDL_SCANCODE_HOME;
    io.KeyMap[ImGuiKey_End] = SDL_SCANCODE_END;
    io.KeyMap[ImGuiKey_Insert] = SDL_SCANCODE_INSERT;
    io.KeyMap[ImGuiKey_Delete] = SDL_SCANCODE_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = SDL_SCANCODE_BACKSPACE;
    io.KeyMap[ImGuiKey_Space] = SDL_SCANCODE_SPACE;
    io.KeyMap[ImGuiKey_Enter] = SDL_SCANCODE_RETURN;
    io.KeyMap[ImGuiKey_Escape] = SDL_SCANCODE_ESCAPE;
    io.KeyMap[ImGuiKey_KeyPadEnter] = SDL_SCANCODE_KP_ENTER;
    io.KeyMap[ImGuiKey_A] = SDL_SCANCODE_A;
    io.KeyMap[ImGuiKey_C] = SDL_SCANCODE_C;
    io.KeyMap[ImGuiKey_V] = SDL_SCANCODE_V;
    io.KeyMap[ImGuiKey_X] = SDL_SCANCODE_X;
    io.KeyMap[ImGuiKey_Y] = SDL_SCANCODE_Y;
    io.KeyMap[ImGuiKey_Z] = SDL_SCANCODE_Z;
    io.SetClipboardTextFn = [](void*, const char* text) { SDL_SetClipboardText(text); };
    io.GetClipboardTextFn = [](void*) -> const char* {
        static char* last = nullptr;  // SDL's copy, freed on the next call
        if (last) SDL_free(last);
        last = SDL_GetClipboardText();
        return last;
    };
    const SDL_SystemCursor shapes[ImGuiMouseCursor_COUNT] = {
        SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_IBEAM,    SDL_SYSTEM_CURSOR_SIZEALL,
        SDL_SYSTEM_CURSOR_SIZENS,   SDL_SYSTEM_CURSOR_SIZEWE,   SDL_SYSTEM_CURSOR_SIZENESW,
        SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_HAND,     SDL_SYSTEM_CURSOR_NO};
    for (int i = 0; i < ImGuiMouseCursor_COUNT; ++i) g_cursors[i] = SDL_CreateSystemCursor(shapes[i]);
    g_previousCount = SDL_GetPerformanceCounter();
}

void UiPlatformShutdown() {
    for (SDL_Cursor*& c : g_cursors) {
        if (c) SDL_FreeCursor(c);
        c = nullptr;
    }
    g_lastCursor = -2;
}

// ---- HandleEvent --------------------------------------------------------------------

bool HandleEvent(AppState& app, const SDL_Event& event) {
    const bool hasUi = ImGui::GetCurrentContext() != nullptr;
    switch (event.type) {
        case SDL_QUIT: return false;
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
            // The program takes no drops, but the dropped text is ours to free.
            SDL_free(event.drop.file);
            return true;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) return false;
            HandleWindowEvent(app, event.window);
            return true;
        default: break;
    }
    if (!hasUi) return true;
    ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            static_assert(IM_ARRAYSIZE(io.KeysDown) >= input::kKeys, "the UI's key flags hold every key code");
            input::KeyEvent(app.input, io.KeysDown, event.key.keysym.scancode, event.type == SDL_KEYDOWN);
            break;
        }
        case SDL_TEXTINPUT: io.AddInputCharactersUTF8(event.text.text); break;
        case SDL_MOUSEWHEEL:
            if (event.wheel.which == SDL_TOUCH_MOUSEID) break;
            io.MouseWheel += float(event.wheel.y);
            io.MouseWheelH += float(event.wheel.x);
            break;
        case SDL_MOUSEMOTION:
            // Moves SDL synthesises from touch are ignored: the finger path feeds the UI.
            if (event.motion.which == SDL_TOUCH_MOUSEID) break;
            WithPointer([&](input::UiPointer& p) {
                input::MouseMove(app.input, p, float(event.motion.x), float(event.motion.y));
            });
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            if (event.button.which == SDL_TOUCH_MOUSEID) break;
            const int b = UiButton(event.button.button);
            if (b < 0) break;
            const bool down = event.type == SDL_MOUSEBUTTONDOWN;
            const float x = float(event.button.x), y = float(event.button.y);
            if (InCaption(app, event.button.x, event.button.y)) {
                if (b == 0 && down) CloseNonModalPopups();
                if (b == 1) {
                    app.input.systemMenuRequest = down ? 1 : (app.input.systemMenuRequest == 1 ? 2 : 0);
                }
            }
            const bool wasDown = AnyUiButtonDown();
            WithPointer([&](input::UiPointer& p) {
                if (down) {
                    input::MouseButtonDown(app.input, p, b, x, y);
                } else {
                    input::MouseButtonUp(app.input, p, b, x, y);
                }
            });
            UpdateCapture(wasDown);
            break;
        }
        case SDL_FINGERDOWN:
        case SDL_FINGERUP:
        case SDL_FINGERMOTION: {
            const float x = event.tfinger.x * float(app.ClientWidth), y = event.tfinger.y * float(app.ClientHeight);
            const int64_t id = int64_t(event.tfinger.fingerId);
            const bool wasDown = AnyUiButtonDown();
            WithPointer([&](input::UiPointer& p) {
                if (event.type == SDL_FINGERDOWN) {
                    input::TouchDown(app.input, p, id, x, y);
                } else if (event.type == SDL_FINGERUP) {
                    input::TouchUp(app.input, p, id, x, y);
                } else {
                    input::TouchMove(app.input, p, id, x, y);
                }
            });
            UpdateCapture(wasDown);
            break;
        }
        default: break;
    }
    return true;
}

// ---- per-frame platform step ---------------------------------------------------------------

void UiPlatformNewFrame(AppState& app) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(float(app.ClientWidth), float(app.ClientHeight));
    const uint64_t now = SDL_GetPerformanceCounter();
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    float dt = frequency ? float(double(now - g_previousCount) / double(frequency)) : 0.0f;
    io.DeltaTime = dt > 0.0f ? dt : 1.0f / 1000.0f;  // Dear ImGui asserts on a zero step
    g_previousCount = now;

    const SDL_Keymod mods = SDL_GetModState();
    io.KeyCtrl = (mods & KMOD_CTRL) != 0;
    io.KeyShift = (mods & KMOD_SHIFT) != 0;
    io.KeyAlt = (mods & KMOD_ALT) != 0;
    io.KeySuper = false;

    WithPointer([&](input::UiPointer& p) { input::ButtonReleaseStep(app.input, p); });
    input::KeyReleaseStep(app.input, io.KeysDown);

    SDL_Window* window = static_cast<SDL_Window*>(app.window);
    if (io.WantSetMousePos && window != nullptr) SDL_WarpMouseInWindow(window, int(io.MousePos.x), int(io.MousePos.y));

    if ((io.ConfigFlags & ImGuiConfigFlags_NoMouseCursorChange) == 0) {
        const int shape = io.MouseDrawCursor ? ImGuiMouseCursor_None : ImGui::GetMouseCursor();
        if (shape != g_lastCursor) {
            if (shape == ImGuiMouseCursor_None) {
                SDL_ShowCursor(SDL_FALSE);
            } else {
                SDL_SetCursor(g_cursors[shape] ? g_cursors[shape] : g_cursors[ImGuiMouseCursor_Arrow]);
                SDL_ShowCursor(SDL_TRUE);
            }
            g_lastCursor = shape;
        }
    }
}

// ---- popups ----------------------------------------------------------------------------------

void CloseNonModalPopups() {
    ImGuiContext* g = ImGui::GetCurrentContext();
    if (g == nullptr) return;
    for (int i = 0; i < g->OpenPopupStack.Size; ++i) {
        ImGuiWindow* w = g->OpenPopupStack[i].Window;
        if (w == nullptr || (w->Flags & ImGuiWindowFlags_ChildWindow) || (w->Flags & ImGuiWindowFlags_Modal)) continue;
        ImGui::ClosePopupToLevel(i, true);
        return;
    }
}

}  // namespace gui
