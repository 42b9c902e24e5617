#include "UI/CameraView.h"

#include <imgui.h>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "UI/Style.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

// One draw record per slot: the UI renderer reads it after the frame is built.
GL::VideoDrawData g_drawRecords[kCameraSlots];

constexpr int kCameraStateConnectionError = 10;

int SlotIndex(const AppState& app, const AV::CameraSlot* slot) {
    const ptrdiff_t i = slot - app.slots;
    return (i >= 0 && i < kCameraSlots) ? int(i) : 0;
}

void DrawPlaceholder(AV::CameraSlot* slot, ViewRect r) {
    int cameraState = 0, channelCount = 0;
    {
        picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
        std::lock_guard<std::mutex> guard(service->tableLock);
        if (slot->channel >= 0 && slot->channel < picam::kGroupCount) {
            cameraState = service->groups[slot->channel].params[picam::CamStatus].value;
        }
        channelCount = service->groups[0].params[picam::GroupCount].value;
    }
    const char* text = PlaceholderText(cameraState, slot->channel, channelCount);
    const ImVec2 box(256, 80);
    const ImVec2 p0(float(int(r.x + (r.w - box.x) / 2)), float(int(r.y + (r.h - box.y) / 2)));
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(p0, ImVec2(p0.x + box.x, p0.y + box.y), ImGui::GetColorU32(ImGuiCol_FrameBg), 8.0f);
    ImFont* font = ImGui::GetFont();
    const float size = 18.0f;
    const ImVec2 textSize = font->CalcTextSizeA(size, FLT_MAX, 0.0f, text);
    list->AddText(font, size, ImVec2(p0.x + (box.x - textSize.x) / 2, p0.y + (box.y - textSize.y) / 2),
                  ImGui::GetColorU32(ImGuiCol_Text), text);
    if (cameraState == kCameraStateConnectionError) {
        const ImVec2 saved = ImGui::GetCursorScreenPos();
        ImGui::SetCursorScreenPos(p0);
        ImGui::PushID(slot);
        if (ImGui::InvisibleButton("##ConnectionError", box)) {
            PostAlert("Connection error detected.  Remove power to camera and check all connections.");
        }
        ImGui::PopID();
        ImGui::SetCursorScreenPos(saved);
    }
}

}  // namespace

const char* PlaceholderText(int cameraState, int channel, int channelCount) {
    if (cameraState == kCameraStateConnectionError) return "Connection Error!";
    if (channel < channelCount) return "Connecting...";
    return "No camera found";
}

void ReleaseDrawRecords() {
    for (GL::VideoDrawData& record : g_drawRecords) record.picture.reset();
}

ViewRect CameraView(AppState& app, AV::CameraSlot* slot, ViewRect area) {
    GL::VideoDrawData& record = g_drawRecords[SlotIndex(app, slot)];
    record.picture = slot->currentPicture;
    ViewRect r = area;
    if (record.picture && record.picture->Height() > 0) {
        r = FitPicture(area, float(record.picture->Width()) / float(record.picture->Height()));
    }
    record.x = r.x;
    record.y = r.y;
    record.width = r.w;
    record.height = r.h;
    const uint32_t flags = slot->Flags();
    if (!record.picture || (flags & (AV::kSlotStreaming | AV::kSlotSuspended)) == 0) {
        DrawPlaceholder(slot, r);
        return r;
    }
    ImGui::GetWindowDrawList()->AddCallback(GL::DrawVideoCallback, &record);
    return r;
}

}  // namespace ui
