// Sections: fade; slot choice; single; overlap (inset, grab); split (splitter).
#include "UI/CameraLayouts.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "UI/CameraView.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"

namespace ui {

namespace {

struct LayoutState {
    float fadeCountdown = 1.5f;
    float fade = 1.0f;
    int previousLayout = -1;
    bool grabHeld = false;
};
LayoutState g_layout;  // UI thread

constexpr float kSplitterThickness = 32.0f;
constexpr float kSplitterIconWidth = 32.0f;

AV::CameraSlot* SlotAtPosition(AppState& app, int position) {
    for (AV::CameraSlot* slot : app.activeSlots) {
        if (slot->viewPosition == position) return slot;
    }
    return app.activeSlots.empty() ? nullptr : app.activeSlots.front();
}

float SlotAspect(AppState& app, AV::CameraSlot* slot, float fallback) {
    const picam::ParamGroup& block = SlotParamBlock(app, slot);
    return ViewAspect(slot->stream.Width(), slot->stream.Height(), block.params[picam::VideoWidth].value,
                      block.params[picam::VideoHeight].value, fallback);
}

void UpdateFade(AppState& app, int layout, float R, float T, float B) {
    const ImGuiIO& io = ImGui::GetIO();
    const ImVec2 m = io.MousePos;
    const bool hovered = ImGui::IsWindowHovered() && m.x >= 0 && m.x < R && m.y >= T && m.y < T + B;
    bool capturing = false;
    for (AV::CameraSlot* slot : app.activeSlots) capturing |= (slot->Flags() & AV::kSlotCapturing) != 0;
    if (hovered || layout != g_layout.previousLayout || capturing) {
        g_layout.fadeCountdown = 1.5f;
    } else {
        g_layout.fadeCountdown = std::max(0.0f, g_layout.fadeCountdown - io.DeltaTime);
    }
    g_layout.previousLayout = layout;
    g_layout.fade = app.viewOverlaysHidden ? 0.0f : OverlayFade(g_layout.fadeCountdown);
}

void DrawOverlap(AppState& app, float R, float T, float B) {
    const float fade = g_layout.fade;
    AV::CameraSlot* main = SlotAtPosition(app, 0);
    AV::CameraSlot* inset = SlotAtPosition(app, 1);
    CameraView(app, main, ViewRect{0, T, R, B}, fade);
    const float a = SlotAspect(app, inset, B > 0 ? R / B : 1.0f);
    float w0 = 0, h0 = 0;
    OverlapFullSize(R, B, a, &w0, &h0);
    Settings& settings = app.settings;
    if (g_layout.grabHeld) {
        const ImVec2 d = ImGui::GetIO().MouseDelta;
        settings.Split_Overlap =
            OverlapResize(settings.Split_Overlap * w0, settings.Split_Overlap * h0, w0, h0, a, -d.x, -d.y);
    }
    ViewRect r = OverlapInset(R, B, T, a, settings.Split_Overlap);
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(ImVec2(r.x - 2, r.y - 2), ImVec2(r.x + r.w + 2, r.y + r.h + 2),
                        ImGui::GetColorU32(ImGuiCol_WindowBg), 2.0f);
    const ViewRect drawn = CameraView(app, inset, r, fade);
    if (drawn.w > 0 && drawn.h > 0 && inset->currentPicture) {
        r.x = R - drawn.w - 2;
        r.y = T + B - drawn.h - 2;
        r.w = drawn.w;
        r.h = drawn.h;
    }
    ImGui::SetCursorScreenPos(ImVec2(r.x - 16, r.y - 16));
    ImGui::InvisibleButton("##OverlapWindowGrab", ImVec2(32, 32));
    g_layout.grabHeld = ImGui::IsItemActive();
    if (ImGui::IsItemHovered() || g_layout.grabHeld) ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeNWSE);
    const ImU32 white = ImGui::GetColorU32(ImVec4(1, 1, 1, fade));
    list->AddRectFilled(ImVec2(r.x - 8, r.y - 8), ImVec2(r.x + 8, r.y + 8), white);
    list->AddRect(ImVec2(r.x - 1, r.y - 1), ImVec2(r.x + r.w + 1, r.y + r.h + 1), white, 0.0f, 0, 2.0f);
}

void DrawSplit(AppState& app, bool stacked, float R, float T, float B) {
    AV::CameraSlot* first = SlotAtPosition(app, 0);
    AV::CameraSlot* second = SlotAtPosition(app, 1);
    float a1 = SlotAspect(app, first, 0.0f), a2 = SlotAspect(app, second, 0.0f);
    const float length = stacked ? B : R, cross = stacked ? R : B;
    if (stacked) {
        a1 = a1 > 0 ? 1.0f / a1 : 0.0f;
        a2 = a2 > 0 ? 1.0f / a2 : 0.0f;
    }
    SplitParts parts = SplitLayout(length, cross, a1, a2, app.settings.Split_Camera, app.UiScale, kSplitterIconWidth);
    // The splitter goes on top of the pictures: channel 1 is drawn after channel 0.
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->ChannelsSplit(2);
    list->ChannelsSetCurrent(1);
    if (parts.splitter && length > 0) {
        ImGui::SetCursorScreenPos(ImVec2(0, T));
        Splitter(stacked, kSplitterThickness, &parts.size1, &parts.size2, parts.minimum1, parts.minimum2);
        // The bar in the bars' colour, lit towards white while the overlays show.
        const ImU32 bar = ImGui::GetColorU32(ImVec4((22 + (255 - 22) * g_layout.fade) / 255.0f,
                                                    (23 + (255 - 23) * g_layout.fade) / 255.0f,
                                                    (24 + (255 - 24) * g_layout.fade) / 255.0f, 1.0f));
        list->AddRectFilled(ImGui::GetItemRectMin(), ImGui::GetItemRectMax(), bar);
        app.settings.Split_Camera = float(int(parts.size1)) / length;
    }
    list->ChannelsSetCurrent(0);
    // The bar lies over the edge of both parts: with the splitter shown each
    // picture is fitted into its part less the half of the bar over it, so
    // no picture content (the caption at a picture's top-left) hides under it.
    const float s1 = float(int(parts.size1));
    const float under = (parts.splitter && length > 0) ? kSplitterThickness / 2 : 0.0f;
    const float fade = g_layout.fade;
    if (stacked) {
        CameraView(app, first, ViewRect{0, T, R, s1 - under}, fade);
        CameraView(app, second, ViewRect{0, T + s1 + under, R, B - s1 - under}, fade);
    } else {
        CameraView(app, first, ViewRect{0, T, s1 - under, B}, fade);
        CameraView(app, second, ViewRect{s1 + under, T, R - s1 - under, B}, fade);
    }
    list->ChannelsMerge();
}

}  // namespace

float OverlayFade(float countdown) {
    const float t = 1.0f - std::clamp(countdown, 0.0f, 1.5f) / 1.5f;
    return 1.0f - t * t * t * t;
}

void DrawCameraLayouts(AppState& app, float R, float T, float B) {
    if (app.activeSlots.empty()) return;
    const bool settingsOpen = (app.PanelFlags & PanelSettings) != 0;
    const LayoutKind layout = settingsOpen ? LayoutKind::SingleCamera : app.settings.LayoutStyle;
    UpdateFade(app, int(layout), R, T, B);
    switch (layout) {
        case LayoutKind::SplitOverlap: DrawOverlap(app, R, T, B); break;
        case LayoutKind::SplitVertical: DrawSplit(app, false, R, T, B); break;
        case LayoutKind::SplitHorizontal: DrawSplit(app, true, R, T, B); break;
        default: {
            AV::CameraSlot* shown = nullptr;
            if (settingsOpen && app.settingsSlot >= 0 && app.settingsSlot < int(app.activeSlots.size())) {
                shown = app.activeSlots[size_t(app.settingsSlot)];
            } else {
                shown = SlotAtPosition(app, 0);
            }
            CameraView(app, shown, ViewRect{0, T, R, B}, g_layout.fade);
            break;
        }
    }
}

}  // namespace ui
