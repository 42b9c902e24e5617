#include "UI/ControlBar.h"

#include <imgui.h>

#include "App/AppState.h"
#include "Base/Log.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "App/AppSessions.h"
#include "UI/Widgets.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {

SessionPopupRequestFn g_sessionPopupRequest = nullptr;

void RequestSessionPopup(AppState& app) {
    if (g_sessionPopupRequest != nullptr) {
        g_sessionPopupRequest(app);
    } else {
        LogWrite(LOG_DEBUG, LOG_SRC_UI, __LINE__, "ControlBar | no session open and no session popup to open");
    }
}

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
            RequestSessionPopup(app);
        }
    }
    ImGui::SameLine(24 + recordIcon.width, 0.0f);
    ImGui::SetCursorPosY((Ha - icons.snapshot.height) / 2);
    if (IconButton(icons.snapshot, counts.canSnapshot > 0, 0.0f)) {
        if (!PressSnapshot(app)) RequestSessionPopup(app);
    }
}

}  // namespace

void SetSessionPopupRequest(SessionPopupRequestFn request) { g_sessionPopupRequest = request; }

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

void DrawControlBar(AppState& app) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const float s = app.UiScale;
    const float W = ImGui::GetWindowWidth(), H = ImGui::GetWindowHeight();
    if (!app.PlayerMode) {
        DrawCaptureControls(app);
        ImGui::SetCursorPos(ImVec2((W - icons.mediaView.width) / 2, (H - icons.mediaView.height) / 2));
        if (IconButton(icons.mediaView, true, 0.0f)) {
            app.PlayerMode = true;
            AV::MediaPlayer& player = Player();
            std::lock_guard<std::mutex> hold(player.lock);
            player.status.clear();
        }
        return;
    }
    // Player mode: the playback and navigation controls come with the player
    // panel; the camera-mode button sits centred in the bar's bottom band.
    const float band = float(int(88 * s));
    ImGui::SetCursorPos(ImVec2((W - icons.liveView.width) / 2, H - band / 2 - icons.liveView.height / 2));
    if (IconButton(icons.liveView, true, 0.0f)) {
        app.PlayerMode = false;
        Player().paused = 1;
    }
}

}  // namespace ui
