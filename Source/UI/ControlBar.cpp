#include "UI/ControlBar.h"

#include <imgui.h>

#include "App/AppState.h"
#include "Base/Log.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "App/AppSessions.h"
#include "UI/CameraViewLayout.h"
#include "UI/MainWindow.h"
#include "UI/Popup.h"
#include "UI/Widgets.h"
#include "Video/AV/MediaPlayer.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

SessionPopupRequestFn g_sessionPopupRequest = nullptr;

void DrawCaptureControls(AppState& app) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const CaptureCounts counts = CountCaptureSlots(app);
    const float Ha = ImGui::GetContentRegionAvail().y;

    const GL::ImageQuad& recordIcon = counts.recording > 0 ? icons.stopRecording : icons.record;
    ImGui::SetCursorPos(ImVec2(24, (Ha - recordIcon.height) / 2));
    if (IconButton(recordIcon, counts.canRecord > 0, 0.0f)) {
        if (counts.recording > 0) {
            StopRecordings(Recording());
        } else if (!StartRecordings(Recording())) {
            if (!PopupShowing(Popups().session)) RequestSessionPopup(app, 0, 0);
        }
    }
    ImGui::SameLine(24 + recordIcon.width, 0.0f);
    ImGui::SetCursorPosY((Ha - icons.snapshot.height) / 2);
    if (IconButton(icons.snapshot, counts.canSnapshot > 0, 0.0f)) {
        if (!PressSnapshot(app)) RequestSessionPopup(app, 0, 0);
    }
}

// The settings, lights and layout toggles, right to left from the bar's
// right edge.
void DrawPanelToggles(AppState& app, ImVec2 origin, float Wa, float Ha) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const float s = app.UiScale;
    const bool connected = picam::CountConnectedServices() > 0;
    const bool settingsShown = (app.PanelFlags & PanelSettings) != 0;
    const float d = float(int(16 * s)) + icons.settings[0].width;

    const GL::ImageQuad& settingsIcon = icons.settings[settingsShown ? 1 : 0];
    ImGui::SetCursorPos(ImVec2(Wa - d, (Ha - settingsIcon.height) / 2));
    if (IconButton(settingsIcon, connected && !app.activeSlots.empty(), 0.0f)) ToggleSettingsPanel(app);

    PopupRecord& lights = Popups().lightView;
    const GL::ImageQuad& lightsIcon = icons.lights[PopupShowing(lights) ? 1 : 0];
    ImGui::SetCursorPos(ImVec2(Wa - 2 * d, (Ha - lightsIcon.height) / 2));
    if (IconButton(lightsIcon, connected, 0.0f) && !PopupShowing(lights)) {
        RequestPopup(lights, origin.x + Wa - 2 * d, origin.y);
    }

    if (app.activeSlots.size() >= 2) {
        PopupRecord& layout = Popups().cameraViewLayout;
        const GL::ImageQuad& layoutIcon = icons.layout[PopupShowing(layout) ? 1 : 0];
        ImGui::SetCursorPos(ImVec2(Wa - 3 * d, (Ha - layoutIcon.height) / 2));
        if (IconButton(layoutIcon, connected && !settingsShown, 0.0f) && !PopupShowing(layout)) {
            // The popup stands above the toggle, its right edge at the toggle's.
            RequestPopup(layout, origin.x + Wa - 3 * d + layoutIcon.width, origin.y);
        }
    }
}

void DrawCameraModeBar(AppState& app) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float Wa = ImGui::GetContentRegionAvail().x, Ha = ImGui::GetContentRegionAvail().y;
    DrawCaptureControls(app);
    DrawPanelToggles(app, origin, Wa, Ha);
    const float W = ImGui::GetWindowWidth(), H = ImGui::GetWindowHeight();
    ImGui::SetCursorPos(ImVec2((W - icons.mediaView.width) / 2, (H - icons.mediaView.height) / 2));
    if (IconButton(icons.mediaView, true, 0.0f)) {
        app.PlayerMode = true;
        AV::MediaPlayer& player = Player();
        std::lock_guard<std::mutex> hold(player.lock);
        player.status.clear();
    }
}

void DrawPlayerModeBar(AppState& app) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const MainWindowPanels& panels = Panels();
    const float s = app.UiScale;
    const float W = ImGui::GetWindowWidth(), H = ImGui::GetWindowHeight();
    const ImVec2 start = ImGui::GetCursorPos();
    if (Player().stream.IsOpen()) {
        if (panels.playbackControls) panels.playbackControls(app);
    } else if (panels.hasViewableMedia && panels.hasViewableMedia(app)) {
        if (panels.mediaNavigation) panels.mediaNavigation(app);
    }
    ImGui::SetCursorPos(start);
    // The bottom 88 s band: camera-mode button in the centre, toggles at the right.
    const float band = float(int(88 * s));
    const float middle = H - band / 2;
    ImGui::SetCursorPos(ImVec2((W - icons.liveView.width) / 2, middle - icons.liveView.height / 2));
    if (IconButton(icons.liveView, true, 0.0f)) {
        app.PlayerMode = false;
        Player().paused = 1;
    }
    const float gap = 16 * s;
    const GL::ImageQuad& listIcon = icons.fileList[(app.PanelFlags & PanelFileList) ? 1 : 0];
    const float listX = W - gap - listIcon.width;
    ImGui::SetCursorPos(ImVec2(listX, middle - listIcon.height / 2));
    if (IconButton(listIcon, true, 0.0f)) app.PanelFlags ^= PanelFileList;
    const GL::ImageQuad& overlayIcon = icons.guides[app.playerOverlay ? 1 : 0];
    ImGui::SetCursorPos(ImVec2(listX - gap - overlayIcon.width, middle - overlayIcon.height / 2));
    if (IconButton(overlayIcon, true, 0.0f)) app.playerOverlay = !app.playerOverlay;
}

}  // namespace

void SetSessionPopupRequest(SessionPopupRequestFn request) { g_sessionPopupRequest = request; }

void RequestSessionPopup(AppState& app, float x, float y) {
    if (g_sessionPopupRequest != nullptr) {
        g_sessionPopupRequest(app);
        return;
    }
    RequestPopup(Popups().session, x, y);
}

CaptureCounts CountCaptureSlots(const AppState& app) {
    CaptureCounts counts;
    for (AV::CameraSlot* slot : app.activeSlots) {
        const uint32_t flags = slot->Flags();
        const bool live = (flags & AV::kSlotStreaming) != 0 && (flags & AV::kSlotSuspended) == 0;
        if (!live) continue;
        const bool capturing = (flags & AV::kSlotCapturing) != 0;
        if (flags & AV::kSlotRecording) ++counts.recording;
        if (slot->recordEnabled && !capturing) ++counts.canRecord;
        if (slot->snapshotEnabled && !capturing) ++counts.canSnapshot;
    }
    return counts;
}

bool AnySlotRecording(const AppState& app) {
    for (AV::CameraSlot* slot : app.activeSlots) {
        if (slot->Flags() & AV::kSlotRecording) return true;
    }
    return false;
}

void ToggleSettingsPanel(AppState& app) {
    if ((app.PanelFlags & PanelSettings) == 0) {
        app.settingsPage = -1;
        if (app.settings.LayoutStyle == LayoutKind::SingleCamera) {
            AV::CameraSlot* shown = SlotAtViewPosition(app, 0);
            for (size_t k = 0; k < app.activeSlots.size(); ++k) {
                if (app.activeSlots[k] == shown) app.settingsSlot = int32_t(k);
            }
        }
    }
    app.PanelFlags ^= PanelSettings;
    UpdateSuspension(app);
}

void DrawControlBar(AppState& app) {
    if (app.PlayerMode) {
        DrawPlayerModeBar(app);
    } else {
        DrawCameraModeBar(app);
    }
}

}  // namespace ui
