#include "UI/LightView.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "App/AppSessions.h"
#include "UI/PanelValues.h"
#include "UI/Popup.h"
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

}  // namespace

void DrawLightView(AppState& app) {
    PopupRecord& record = Popups().lightView;
    if (!PopupShowing(record)) return;
    const std::vector<Channel> channels = ActiveChannels();
    const float s = app.UiScale;
    const float sliderW = 48, sliderH = 520 * s;
    const float gap = 24 * s;
    const int n = channels.empty() ? 1 : static_cast<int>(channels.size());
    const ImVec2 size(n * sliderW + (n + 1) * gap, sliderH + 80 * s);
    // Opens upward from the toggle, kept inside the window on the right.
    record.x = std::min(record.x, ImGui::GetIO().DisplaySize.x - size.x - 2 * s);
    record.width = size.x;
    record.height = size.y;
    if (BeginPopupRecord(record, PopupKind::Plain,
                         ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                             ImGuiWindowFlags_NoScrollbar,
                         ImVec2(0, 1))) {
        if (picam::CountConnectedServices() == 0) ClosePopup(record);
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
                    service->SetParam_locked(ch.group, picam::LightLevel, raw);
                    service->PackChanges_locked();
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
        EndPopupRecord(record);
    }
}

}  // namespace ui
