#include "UI/LightView.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "App/AppSessions.h"
#include "UI/PanelValues.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"

namespace ui {

namespace {

struct Channel {
    int unit;
    int group;
};

std::vector<Channel> ActiveChannels() {
    std::vector<Channel> out;
    const int units = picam::CountReadyServices();
    for (int u = 0; u < units; ++u) {
        picam::ServiceRef service = picam::AcquireService(u);
        if (service.IsNull()) continue;
        const CameraHistory& h = FindOrAddCamera(Sessions().data, *service);
        for (int g = 0; g < picam::kGroupCount; ++g)
            if (h.active[g]) out.push_back({u, g});
    }
    return out;
}

constexpr const char* kPopup = "LightView";

struct ViewState {
    bool openRequest = false;
    bool open = false;  // drawn in the last frame
    float x = 0, y = 0;
};
ViewState g_view;  // UI thread

}  // namespace

void RequestLightView(float x, float y) {
    g_view.openRequest = true;
    g_view.x = x;
    g_view.y = y;
}

bool LightViewOpen() { return g_view.open; }

void DrawLightView(AppState& app) {
    if (g_view.openRequest) {
        g_view.openRequest = false;
        ImGui::OpenPopup(kPopup);
    }
    g_view.open = false;
    if (!ImGui::IsPopupOpen(kPopup)) return;
    const std::vector<Channel> channels = ActiveChannels();
    const float s = app.UiScale;
    const float sliderW = 48, sliderH = 520 * s;
    const float gap = 24 * s;
    const int n = channels.empty() ? 1 : static_cast<int>(channels.size());
    const ImVec2 size(n * sliderW + (n + 1) * gap, sliderH + 80 * s);
    // Opens upward from the toggle, kept inside the window on the right.
    const float x = std::min(g_view.x, ImGui::GetIO().DisplaySize.x - size.x - 2 * s);
    ImGui::SetNextWindowPos(ImVec2(x, g_view.y), ImGuiCond_Always, ImVec2(0, 1));
    ImGui::SetNextWindowSize(size, ImGuiCond_Always);
    if (ImGui::BeginPopup(kPopup, ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                      ImGuiWindowFlags_NoScrollbar)) {
        if (picam::CountConnectedServices() == 0) ImGui::CloseCurrentPopup();
        g_view.open = true;
        for (size_t k = 0; k < channels.size(); ++k) {
            const Channel ch = channels[k];
            picam::ServiceRef service = picam::AcquireService(ch.unit);
            picam::ParamRecord level;
            {
                std::lock_guard<std::mutex> hold(service->tableLock);
                level = service->groups[ch.group].params[picam::LightLevel];
            }
            ImGui::SetCursorPos(ImVec2(gap + static_cast<float>(k) * (sliderW + gap), 16 * s));
            ImGui::BeginGroup();
            ImGui::PushID(static_cast<int>(k));
            int percent = LightPercent(level);
            ImGui::PushStyleVar(ImGuiStyleVar_GrabMinSize, 24);
            const bool moved = ImGui::VSliderInt("##LightSlider", ImVec2(sliderW, sliderH), &percent, 0, 100, "");
            ImGui::PopStyleVar();
            if (moved) {
                const int32_t raw = LightRawFromPercent(level, percent);
                {
                    std::lock_guard<std::mutex> hold(service->tableLock);
                    service->SetParam(ch.group, picam::LightLevel, raw);
                    service->PackChanges();
                }
                // The settings panel and the saved configuration see the new level too.
                for (AV::CameraSlot* slot : app.activeSlots) {
                    if (slot->cameraIndex != ch.unit || slot->channel != ch.group) continue;
                    picam::ParamRecord& r = SlotParamBlock(app, slot).params[picam::LightLevel];
                    if (picam::AcceptsValue(r, raw)) r.value = raw;
                }
            }
            char label[16];
            snprintf(label, sizeof label, "%d%%", percent);
            ImGui::TextUnformatted(label);
            ImGui::PopID();
            ImGui::EndGroup();
        }
        ImGui::EndPopup();
    }
}

}  // namespace ui
