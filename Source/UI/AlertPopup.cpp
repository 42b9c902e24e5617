#include "UI/AlertPopup.h"

#include <imgui.h>

#include <algorithm>
#include <string>

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

// The alert on screen (UI thread). It stays in the queue until "Okay", so
// alerts posted meanwhile wait their turn instead of replacing it.
struct AlertState {
    std::string text;
    bool showing = false;
    float width = 0, height = 0;
};
AlertState g_alert;

}  // namespace

void AlertPopupSize(float textWidth, float textHeight, float s, float* width, float* height) {
    *width = std::max(80 * s + float(int(textWidth + 0.95f)), 320 * s);
    *height = 140 * s + textHeight;
}

void DrawAlertPopup(float W, float H, float s) {
    if (!g_alert.showing && PeekAlert(&g_alert.text)) {
        g_alert.showing = true;
        LOGF(LOG_INFO, LOG_SRC_UI, "AlertPopup | %s", g_alert.text.c_str());
        const ImVec2 size = ImGui::CalcTextSize(g_alert.text.c_str(), nullptr, false, W - 96 * s);
        AlertPopupSize(size.x, size.y, s, &g_alert.width, &g_alert.height);
        ImGui::OpenPopup("AlertPopup");
    }
    if (!g_alert.showing) return;
    ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(g_alert.width, g_alert.height), ImGuiCond_Always);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse;
    if (!ImGui::BeginPopupModal("AlertPopup", nullptr, flags)) {
        // Closed from outside (it cannot be, but never lose the alert).
        ImGui::OpenPopup("AlertPopup");
        return;
    }
    const float popupWidth = ImGui::GetWindowWidth();
    ImGui::SetCursorPos(ImVec2(0, 24 * s));
    TextInBox(TextCentred | TextTop | TextWrap, ImVec2(popupWidth, 64 * s), "%s", g_alert.text.c_str());
    const float buttonHeight = ImGui::GetTextLineHeight() + 2 * ImGui::GetStyle().FramePadding.y;
    ImGui::SetCursorPos(ImVec2((popupWidth - 120 * s) / 2, ImGui::GetWindowHeight() - 64 * s));
    if (ImGui::Button("Okay", ImVec2(120 * s, buttonHeight))) {
        ImGui::CloseCurrentPopup();
        PopAlert();
        g_alert.showing = false;
    }
    ImGui::EndPopup();
}

}  // namespace ui
