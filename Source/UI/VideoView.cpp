#include "UI/VideoView.h"

#include <imgui.h>

#include "App/AppState.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "App/AppSessions.h"
#include "UI/LayoutMath.h"
#include "UI/PlaybackGuides.h"
#include "UI/Popup.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {
// The UI renderer reads it after the frame is built.
GL::VideoDrawData g_record;
constexpr float kPauseBorder = 32;
}  // namespace

void ReleaseVideoViewRecord() { g_record.picture.reset(); }

void VideoView(AppState& app) {
    AV::MediaPlayer& player = Player();
    SessionStore& store = Sessions();
    const double shownS = double(store.viewed.entry.time) / 1000000.0 + double(player.playTime.load());

    g_record.picture = player.currentPicture;
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    ViewRect area{origin.x, origin.y, avail.x, avail.y};
    ViewRect r = area;
    if (g_record.picture && g_record.picture->Height() > 0) {
        r = FitPicture(area, float(g_record.picture->Width()) / float(g_record.picture->Height()));
        g_record.x = r.x;
        g_record.y = r.y;
        g_record.width = r.w;
        g_record.height = r.h;
        ImGui::GetWindowDrawList()->AddCallback(GL::DrawVideoCallback, &g_record);
        DrawPlaybackGuides(store.playerHistory.get(), store.viewed.entry.cameraSlot, shownS, app.playerOverlay, r.x, r.y,
                           r.x + r.w, r.y + r.h);
    }
    // Space belongs to the session popup's name field while that popup is open.
    if (!PopupShowing(Popups().session) && ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Space), false) &&
        !ImGui::GetIO().WantTextInput) {
        player.paused = player.paused.load() ? 0 : 1;
    }
    const float w = r.w - 2 * kPauseBorder, h = r.h - 2 * kPauseBorder;
    if (w > 0 && h > 0) {
        ImGui::SetCursorScreenPos(ImVec2(r.x + kPauseBorder, r.y + kPauseBorder));
        if (ImGui::InvisibleButton("##PausePlay", ImVec2(w, h))) player.paused = player.paused.load() ? 0 : 1;
    }
}

}  // namespace ui
