// Sections: placeholder; arithmetic; rulers; CameraView.
#include "UI/CameraView.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "App/AppSessions.h"
#include "UI/ControlBar.h"
#include "UI/Guides.h"
#include "UI/Style.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Capture.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

// Per slot: the draw record the UI renderer reads after the frame is built,
// and the view's fades (UI thread).
struct ViewState {
    GL::VideoDrawData record;
    float highlight[2] = {0, 0};  // ruler highlights: [0] horizontal line, [1] vertical line
    float grabOffset[2] = {0, 0}; // pointer minus line position when the drag began
    float flash = 0;              // snapshot flash alpha
};
ViewState g_views[kCameraSlots];

constexpr int kCameraStateConnectionError = 10;

int SlotIndex(const AppState& app, const AV::CameraSlot* slot) {
    const ptrdiff_t i = slot - app.slots;
    return (i >= 0 && i < kCameraSlots) ? int(i) : 0;
}

// ---- placeholder ------------------------------------------------------------------------

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

// ---- rulers -------------------------------------------------------------------------------

// Writes a guide position parameter of the slot's channel when its range
// check accepts the value; the change is sent at once.
void SetGuidePosition(AppState& app, AV::CameraSlot* slot, int index, float line, float low, float high) {
    picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
    std::lock_guard<std::mutex> guard(service->tableLock);
    picam::ParamRecord& record = service->groups[slot->channel].params[index];
    const int32_t value = RulerParameterValue(line, low, high, record.scaleNum, record.scaleDen);
    if (value == record.value || !picam::AcceptsValue(record, value)) return;
    service->SetParam_locked(slot->channel, index, value);
    service->PackChanges_locked();
    SlotParamBlock(app, slot).params[index].value = value;
}

// The two ruler handles over the guides' lines while the guides are edited.
void DrawRulers(AppState& app, AV::CameraSlot* slot, ViewState& view, const GuidesSettings& guides, ViewRect r) {
    const float dt = ImGui::GetIO().DeltaTime;
    const GuideLines lines = GuideLineExtents(guides, r.x, r.y, r.x + r.w, r.y + r.h);
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    const ImVec2 saved = ImGui::GetCursorScreenPos();
    ImGui::PushID(slot);
    // Horizontal line: dragged up and down, parameter 180.
    ImGui::SetCursorScreenPos(ImVec2(r.x, lines.cy - 8));
    ImGui::InvisibleButton("##RulerMoveX", ImVec2(std::max(1.0f, r.w), 16));
    if (ImGui::IsItemActivated()) view.grabOffset[0] = mouse.y - lines.cy;
    const bool hoverX = ImGui::IsItemHovered(), dragX = ImGui::IsItemActive();
    if (hoverX || dragX) ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeNS);
    if (dragX) {
        const float y = RulerPosition(mouse.y, view.grabOffset[0], r.y, r.y + r.h);
        SetGuidePosition(app, slot, picam::GuidePositionY, y, r.y, r.y + r.h);
    }
    // Vertical line: dragged left and right, parameter 179.
    ImGui::SetCursorScreenPos(ImVec2(lines.cx - 8, r.y));
    ImGui::InvisibleButton("##RulerMoveY", ImVec2(16, std::max(1.0f, r.h)));
    if (ImGui::IsItemActivated()) view.grabOffset[1] = mouse.x - lines.cx;
    const bool hoverY = ImGui::IsItemHovered(), dragY = ImGui::IsItemActive();
    if (hoverY || dragY) ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeEW);
    if (dragY) {
        const float x = RulerPosition(mouse.x, view.grabOffset[1], r.x, r.x + r.w);
        SetGuidePosition(app, slot, picam::GuidePositionX, x, r.x, r.x + r.w);
    }
    ImGui::PopID();
    ImGui::SetCursorScreenPos(saved);

    view.highlight[0] = HighlightStep(view.highlight[0], hoverX || dragX, dt);
    view.highlight[1] = HighlightStep(view.highlight[1], hoverY || dragY, dt);
    ImDrawList* list = ImGui::GetWindowDrawList();
    const ImU32 colour = ImGui::GetColorU32(ImGuiCol_NavHighlight);
    const float half = (guides.lineWeight + 2) / 2;
    if (view.highlight[0] > 0.001f) {
        const float k = view.highlight[0];
        const float x0 = lines.hLow + (r.x - lines.hLow) * k, x1 = lines.hHigh + (r.x + r.w - lines.hHigh) * k;
        list->AddRectFilled(ImVec2(x0, lines.cy - half), ImVec2(x1, lines.cy + half), colour);
    }
    if (view.highlight[1] > 0.001f) {
        const float k = view.highlight[1];
        const float y0 = lines.vLow + (r.y - lines.vLow) * k, y1 = lines.vHigh + (r.y + r.h - lines.vHigh) * k;
        list->AddRectFilled(ImVec2(lines.cx - half, y0), ImVec2(lines.cx + half, y1), colour);
    }
}

// ---- recording mark, flash, snapshot button ------------------------------------------------

void DrawRecordingMark(AV::CameraSlot* slot, ViewRect r, float s) {
    const double seconds = slot->stream.RecordedSeconds();
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddCircleFilled(ImVec2(r.x + 18 * s, r.y + 18 * s), 14 * s, IM_COL32(233, 33, 45, RecordingMarkAlpha(seconds)));
    const std::string text = RecordingTimeText(seconds);
    list->AddText(ImVec2(r.x + 40 * s, r.y + 6 * s), ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
}

void DrawSnapshotButton(AppState& app, AV::CameraSlot* slot, ViewRect r, float fade) {
    const GL::ImageQuad& icon = GL::BuiltIns().snapshot;
    const float s = app.UiScale;
    const ImVec2 p0(float(int(r.x + (r.w - icon.width) / 2)), float(int(r.y + 16 * s)));
    const ImVec2 saved = ImGui::GetCursorScreenPos();
    ImGui::SetCursorScreenPos(p0);
    ImGui::PushID(slot);
    const bool pressed = ImGui::InvisibleButton("SingleSnapshot", ImVec2(icon.width, icon.height)) && fade > 0.5f;
    ImGui::PopID();
    ImGui::SetCursorScreenPos(saved);
    const ImU32 tint = ImGui::GetColorU32(ImVec4(icon.r, icon.g, icon.b, icon.a * fade));
    if (icon.texture && icon.texture->Id() != 0) {
        ImGui::GetWindowDrawList()->AddImage(reinterpret_cast<ImTextureID>(uintptr_t(icon.texture->Id())), p0,
                                             ImVec2(p0.x + icon.width, p0.y + icon.height), ImVec2(icon.u0, icon.v0),
                                             ImVec2(icon.u1, icon.v1), tint);
    }
    if (!pressed) return;
    SessionStore& store = Sessions();
    if (store.currentIndex < 0) {
        RequestSessionPopup(app, 0, 0);
    } else if (slot->Flags() & AV::kSlotStreaming) {
        RequestSnapshot(*slot, store.SessionTimeNow(), SnapshotQueue());
    }
}

}  // namespace

// ---- arithmetic ---------------------------------------------------------------------------------

const char* PlaceholderText(int cameraState, int channel, int channelCount) {
    if (cameraState == kCameraStateConnectionError) return "Connection Error!";
    if (channel < channelCount) return "Connecting...";
    return "No camera found";
}

std::string RecordingTimeText(double seconds) {
    const int64_t total = seconds > 0 ? int64_t(seconds) : 0;
    char text[32];
    if (total < 3600) {
        std::snprintf(text, sizeof(text), "%02d:%02d", int(total / 60), int(total % 60));
    } else {
        std::snprintf(text, sizeof(text), "%02d:%02d:%02d", int(total / 3600), int(total / 60 % 60), int(total % 60));
    }
    return text;
}

int RecordingMarkAlpha(double seconds) {
    const double p = 0.5 - 0.5 * std::cos(seconds * 4.71238898038469);
    return int((1.0 - p * p * p / 2.0) * 255.0);
}

float FlashStep(float alpha, bool capturing, float dt) {
    if (capturing) return alpha + (0.85f - alpha) * 30.0f * dt;
    return std::max(0.0f, alpha + (-0.05f - alpha) * 10.0f * dt);
}

float HighlightStep(float value, bool lit, float dt) {
    const float target = lit ? 1.0f : 0.0f;
    return value + (target - value) * std::min(1.0f, 16.0f * dt);
}

float RulerPosition(float pointer, float grabOffset, float low, float high) {
    return std::clamp(pointer - grabOffset, low, high);
}

int32_t RulerParameterValue(float line, float low, float high, int32_t scaleNum, int32_t scaleDen) {
    const float half = (high - low) / 2;
    if (!(half > 0) || scaleNum == 0) return 0;
    const double p = double(line - (low + half)) / double(half);
    return int32_t(std::trunc(p * double(scaleDen) / double(scaleNum)));
}

void ReleaseDrawRecords() {
    for (ViewState& view : g_views) view.record.picture.reset();
}

// ---- CameraView -------------------------------------------------------------------------------------

ViewRect CameraView(AppState& app, AV::CameraSlot* slot, ViewRect area, float controlsFade) {
    const float s = app.UiScale;
    ViewState& view = g_views[SlotIndex(app, slot)];
    GL::VideoDrawData& record = view.record;
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
    // 1: no picture.
    if (!record.picture || (flags & (AV::kSlotStreaming | AV::kSlotSuspended)) == 0) {
        DrawPlaceholder(slot, r);
        view.flash = 0;
        return r;
    }
    // 2: the picture.
    ImGui::GetWindowDrawList()->AddCallback(GL::DrawVideoCallback, &record);
    // 3-4: guides, with the ruler handles while they are edited.
    GuidesSettings guides;
    {
        picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
        std::lock_guard<std::mutex> guard(service->tableLock);
        if (slot->channel >= 0 && slot->channel < picam::kGroupCount) {
            guides = GuidesFromParameters(service->groups[slot->channel]);
        }
    }
    if (guides.enabled && app.guidesEditing) {
        DrawRulers(app, slot, view, guides, r);
    } else {
        view.highlight[0] = view.highlight[1] = 0;
    }
    DrawGuides(guides, r.x, r.y, r.x + r.w, r.y + r.h);
    // 5: recording mark.
    if (flags & AV::kSlotRecording) DrawRecordingMark(slot, r, s);
    // 6: snapshot flash.
    view.flash = FlashStep(view.flash, (flags & AV::kSlotCapturing) != 0, ImGui::GetIO().DeltaTime);
    if (view.flash > 0) {
        ImGui::GetWindowDrawList()->AddRectFilled(ImVec2(r.x, r.y), ImVec2(r.x + r.w, r.y + r.h),
                                                  ImGui::GetColorU32(ImVec4(1, 1, 1, view.flash)));
    }
    // 7: the view's snapshot button.
    DrawSnapshotButton(app, slot, r, app.guidesEditing ? 0.0f : controlsFade);
    return r;
}

}  // namespace ui
