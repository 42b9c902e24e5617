#include "UI/MainWindow.h"

#include <imgui.h>
#include <imgui_internal.h>

#include "App/AppState.h"
#include "Base/Version.h"
#include "UI/AlertPopup.h"
#include "UI/CameraLayouts.h"
#include "UI/SearchingScreen.h"
#include "UI/Style.h"
#include "UI/Widgets.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

MainWindowPanels g_panels;
constexpr short kMainWindowOrder = 300;  // begin order that puts the main window over every panel

ImVec4 BarColour(const AppState& app) {
    return app.PlayerMode ? ImVec4(20 / 255.0f, 25 / 255.0f, 33 / 255.0f, 1) : ImVec4(22 / 255.0f, 23 / 255.0f, 24 / 255.0f, 1);
}

constexpr ImGuiWindowFlags kBarFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                       ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                                       ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoCollapse |
                                       ImGuiWindowFlags_NoBringToFrontOnFocus;

void CameraModeBody(AppState& app, int connected, float R, float T, float B) {
    const float s = app.UiScale;
    if (connected > 0 && app.activeSlots.empty()) {
        app.PanelFlags &= ~PanelSettings;
        if (R > 256 * s + 64 * s) {
            const ImVec2 line(R - 64 * s, 32 * s);
            ImGui::PushFont(Fonts().bold ? Fonts().bold : ImGui::GetFont());
            ImGui::SetCursorScreenPos(ImVec2(32 * s, T + (B - 2 * line.y) / 2));
            TextInBox(TextCentred, line, "A camera has been detected, but video is unavailable");
            ImGui::SetCursorScreenPos(ImVec2(32 * s, T + (B - 2 * line.y) / 2 + line.y));
            TextInBox(TextCentred, line, "due to an internal camera error.");
            ImGui::PopFont();
        }
    } else if (connected > 0) {
        DrawCameraLayouts(app, R, T, B);
    } else {
        app.PanelFlags &= ~PanelSettings;
        DrawSearchingScreen(app, ViewRect{0, T, R, B});
    }
}

// Windows begun with an order of 200 or more go to the end of the list, so
// they are drawn over every panel and popup.
void RaiseOrderedWindows() {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    const int n = g.Windows.Size;
    for (int i = 0; i < n - 1; ++i) {
        ImGuiWindow* w = g.Windows[i];
        if (w->BeginOrderWithinContext >= 200 && w->Active) {
            g.Windows.erase(g.Windows.Data + i);
            g.Windows.push_back(w);
            break;  // only the main window carries such an order
        }
    }
}

}  // namespace

MainWindowPanels& Panels() { return g_panels; }

float ControlBarHeight(const AppState& app) {
    const float s = app.UiScale;
    // The player's open-stream band is added by the player controls when they exist.
    return float(int(88 * s));
}

void DrawMainWindow(AppState& app) {
    const float s = app.UiScale;
    const float W = float(app.ClientWidth), H = float(app.ClientHeight);
    const float T = float(int(48 * s)), C = ControlBarHeight(app), B = H - T - C;
    float R = W;

    const int connected = picam::CountConnectedServices();
    if (connected < 1 || app.activeSlots.empty()) app.PanelFlags &= ~PanelSettings;
    if (connected < 1) app.PanelFlags &= ~PanelDiagnostics;

    ImGui::SetNextWindowPos(ImVec2(0, 0), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(W, H), ImGuiCond_Always);
    ImGui::PushStyleColor(ImGuiCol_WindowBg, ImVec4(0, 0, 0, 1));
    ImGui::Begin("MainWindow", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoMouseInputs |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoNavInputs |
                     ImGuiWindowFlags_NoNavFocus);
    ImGui::PopStyleColor();
    ImGui::GetCurrentWindow()->BeginOrderWithinContext = kMainWindowOrder;

    BeginPanel("TitleBar", ImVec2(0, 0), ImVec2(W, T), BarColour(app), kBarFlags);
    if (g_panels.titleBar) g_panels.titleBar(app);
    ImGui::End();

    BeginPanel("ControlBar", ImVec2(0, T + B), ImVec2(W, C), BarColour(app), kBarFlags);
    if (g_panels.controlBar) g_panels.controlBar(app);
    ImGui::End();

    BeginPanel("Player", ImVec2(0, T), ImVec2(R, B > 0 ? B : 0), ImVec4(0, 0, 0, 1),
               kBarFlags | ImGuiWindowFlags_NoBackground);
    ImGui::GetWindowDrawList()->AddText(ImVec2(8 * s, T + 8 * s), IM_COL32(47, 47, 47, 255), AppVersionText().c_str());
    if (app.PlayerMode) {
        if (g_panels.playerBody) g_panels.playerBody(app);
    } else {
        CameraModeBody(app, connected, R, T, B);
    }
    ImGui::End();

    if (g_panels.popups) g_panels.popups(app);
    DrawAlertPopup(W, H, s);

    RaiseOrderedWindows();
    if (g_panels.overlay) g_panels.overlay(app);
    ImGui::End();
}

}  // namespace ui
