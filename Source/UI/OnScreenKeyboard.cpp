#include "UI/OnScreenKeyboard.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_internal.h>

#include "App/AppState.h"
#include "UI/KeyboardMath.h"
#include "UI/Style.h"

namespace ui {

namespace {

// The UI key-down entries (SDL scancodes, as the event handler fills them)
// of Back, Enter and Cap.
constexpr int kUiKeyScancodes[input::KeyboardUiKeys] = {SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_RETURN,
                                                        SDL_SCANCODE_CAPSLOCK};

// Only changes are written, so a physical keyboard's keys are not overridden
// every frame.
void ApplyUiKeys(const KeyboardFrame& f) {
    ImGuiIO& io = ImGui::GetIO();
    for (int k = 0; k < input::KeyboardUiKeys; ++k) {
        if (f.uiKeyChanged[k]) io.KeysDown[kUiKeyScancodes[k]] = f.uiKeyDown[k];
    }
}

// One text-input event per character, into the window's event queue: the
// event handler gives it to the active field in the next frame.
void DeliverTyped(const AppState& app, const std::string& typed) {
    const Uint32 windowId = app.window ? SDL_GetWindowID(static_cast<SDL_Window*>(app.window)) : 0;
    for (char c : typed) {
        SDL_Event event;
        SDL_zero(event);
        event.type = SDL_TEXTINPUT;
        event.text.timestamp = SDL_GetTicks();
        event.text.windowID = windowId;
        event.text.text[0] = c;
        SDL_PushEvent(&event);
    }
}

ImVec2 Min(const input::FloatRect& r) { return ImVec2(r.x0, r.y0); }
ImVec2 Max(const input::FloatRect& r) { return ImVec2(r.x1, r.y1); }

void DrawKey(ImDrawList* list, const KeyView& key, float s) {
    const ImGuiStyle& style = ImGui::GetStyle();
    list->AddRectFilled(Min(key.rect), Max(key.rect), KeyFillColour(key.highlight), 8 * s);
    const float kw = key.rect.x1 - key.rect.x0, h = key.rect.y1 - key.rect.y0;
    const ImVec4 text = style.Colors[ImGuiCol_Text];
    if (text.w > 0 && key.label[0] != '\0') {
        ImFont* large = Fonts().large ? Fonts().large : ImGui::GetFont();
        const ImVec2 measured = large->CalcTextSizeA(large->FontSize, FLT_MAX, 0.0f, key.label);
        const ImVec2 size(float(int(measured.x + 0.95f)), measured.y);
        const bool single = key.label[1] == '\0';
        const float ax = single ? 0.64f : 0.5f, ay = single ? 0.75f : 0.5f;
        list->AddText(large, large->FontSize,
                      ImVec2(key.rect.x0 + (kw - size.x) * ax, key.rect.y0 + (h - size.y) * ay),
                      ImGui::ColorConvertFloat4ToU32(text), key.label);
    }
    if (key.hint[0] != '\0') {
        ImFont* regular = Fonts().regular ? Fonts().regular : ImGui::GetFont();
        const ImVec2 size = regular->CalcTextSizeA(regular->FontSize, FLT_MAX, 0.0f, key.hint);
        list->AddText(regular, regular->FontSize,
                      ImVec2(key.rect.x0 + (kw - size.x) * 0.1f, key.rect.y0 + (h - size.y) * 0.1f),
                      ImGui::GetColorU32(ImGuiCol_TextDisabled), key.hint);
    }
}

}  // namespace

void AttachKeyboard(bool numeric) {
    AppState& app = App();
    const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
    const bool endEditing = AttachStep(app.input.keyboard, app.settings.OnScreenKeyboard, numeric,
                                       ImGui::IsItemActivated(), ImGui::IsItemActive(),
                                       input::FloatRect{a.x, a.y, b.x, b.y});
    if (endEditing) ImGui::ClearActiveID();
}

void DrawKeyboard(AppState& app, float W, float H) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const KeyboardFrame f = KeyboardStep(app.input.keyboard, app.input.contacts, W, H, app.UiScale,
                                         style.WindowPadding.x, style.WindowPadding.y, ImGui::GetIO().DeltaTime);
    ApplyUiKeys(f);
    if (!f.drawn) return;
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(Min(f.places.keyboard), Max(f.places.keyboard), IM_COL32(22, 23, 24, 255), 0.0f);
    for (const KeyView& key : f.keys) DrawKey(list, key, app.UiScale);
    DeliverTyped(app, f.typed);
}

void DrawKeyboard(AppState& app) { DrawKeyboard(app, float(app.ClientWidth), float(app.ClientHeight)); }

}  // namespace ui
