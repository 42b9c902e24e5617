#include "UI/TitleBar.h"

#include <SDL.h>
#include <imgui.h>

#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

// Draws one window button `offset` pixels left of the band's right edge and
// records its rectangle for the hit test. True when pressed.
bool WindowButton(AppState& app, const GL::ImageQuad& icon, float offset) {
    const float bandWidth = ImGui::GetWindowWidth(), bandHeight = ImGui::GetWindowHeight();
    const ImVec2 origin = ImGui::GetWindowPos();
    ImGui::SetCursorScreenPos(ImVec2(origin.x + bandWidth - offset, origin.y + (bandHeight - icon.height) / 2));
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    const bool pressed = IconButton(icon, true, 0.0f);
    app.input.captionExclusions.push_back(
        input::IntRect{int(p0.x), int(p0.y), int(p0.x + icon.width), int(p0.y + icon.height)});
    return pressed;
}

}  // namespace

void DrawTitleBar(AppState& app) {
    const float s = app.UiScale;
    app.input.captionExclusions.clear();
    GL::BuiltInImages& icons = GL::BuiltIns();
    SDL_Window* window = static_cast<SDL_Window*>(app.window);
    const Settings& settings = app.settings;
    if (settings.TabletMode) {
        if (WindowButton(app, icons.minimise, 100 * s)) app.WindowModeRequest = WindowModeMinimize;
    } else {
        if (WindowButton(app, settings.WindowFullscreen ? icons.leaveFullScreen : icons.fullScreen, 220 * s)) {
            app.WindowModeRequest = WindowModeToggleFullscreen;
        }
        if (WindowButton(app, icons.minimise, 160 * s) && window != nullptr) SDL_MinimizeWindow(window);
        if (WindowButton(app, settings.WindowMaximized ? icons.restore : icons.maximise, 100 * s)) {
            app.WindowModeRequest = settings.WindowMaximized ? WindowModeRestore : WindowModeMaximize;
        }
    }
    if (WindowButton(app, icons.close, 40 * s)) {
        // The close confirmation during a recording belongs to the
        // confirmation dialog; without it the orderly shut-down stops the
        // recordings and finalises their files.
        app.quitRequested = true;
    }
}

}  // namespace ui
