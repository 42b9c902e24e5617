#include "UI/TitleBar.h"

#include <SDL.h>
#include <imgui.h>

#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "UI/CrawlerInfo.h"
#include "UI/Widgets.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"

#include <string>

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

// The crawler readout: opens the crawler info popup (camera mode, a unit
// connected). Its text changes with the position, so its id is fixed (###).
void CrawlerButton(AppState& app) {
    if (app.PlayerMode || picam::CountConnectedServices() == 0) return;
    const float s = app.UiScale;
    ScanLinkValue x, y;
    int32_t units;
    {
        std::lock_guard<std::mutex> hold(scanLinkLock);
        x = scanLinkState.axisPosition[0];
        y = scanLinkState.axisPosition[1];
        units = scanLinkState.units;
    }
    const std::string text = "Crawler  " + ScanLinkPositionText(x, units) + "  " + ScanLinkPositionText(y, units);
    const float w = ImGui::CalcTextSize(text.c_str()).x + 32 * s;
    const float bandWidth = ImGui::GetWindowWidth(), bandHeight = ImGui::GetWindowHeight();
    const ImVec2 origin = ImGui::GetWindowPos();
    ImGui::SetCursorScreenPos(ImVec2(origin.x + bandWidth * 0.55f, origin.y + (bandHeight - ImGui::GetFrameHeight()) / 2));
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    if (ImGui::Button((text + "###CrawlerButton").c_str(), ImVec2(w, 0))) OpenCrawlerInfo();
    app.input.captionExclusions.push_back(
        input::IntRect{int(p0.x), int(p0.y), int(p0.x + w), int(p0.y + ImGui::GetFrameHeight())});
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
    CrawlerButton(app);
    if (WindowButton(app, icons.close, 40 * s)) {
        // The close confirmation during a recording belongs to the
        // confirmation dialog; without it the orderly shut-down stops the
        // recordings and finalises their files.
        app.quitRequested = true;
    }
}

}  // namespace ui
