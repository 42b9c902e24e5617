#include "UI/ImageView.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "App/AppState.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "App/AppSessions.h"
#include "UI/MediaMath.h"
#include "UI/PlaybackGuides.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {

float g_previousPinch = -1;  // distance of the first two touches in the last frame; -1 none

int PointersDown(const AppState& app) {
    int n = 0;
    for (const input::TouchContact& c : app.input.contacts) n += c.down;
    return n;
}

}  // namespace

void ImageView(AppState& app, float x, float y, float width, float height) {
    AV::MediaPlayer& player = Player();
    const std::shared_ptr<GL::TextureGL> texture = player.imageTexture;
    if (!texture || width <= 0 || height <= 0) return;
    const float iw = float(texture->Width()), ih = float(texture->Height());
    if (iw <= 0 || ih <= 0) return;

    ImGui::SetCursorScreenPos(ImVec2(x, y));
    ImGui::BeginChild("##ImageFrame", ImVec2(width, height), false,
                      ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
    ImageViewState view{player.panU, player.panV, player.zoom};
    const float fit = FitZoom(width, height, iw, ih);
    ConstrainImageView(&view, width, height, iw, ih);

    // Input first, so the picture drawn this frame already follows it.
    ImGui::SetCursorScreenPos(ImVec2(x, y));
    ImGui::InvisibleButton("##imagecontrol", ImVec2(width, height));
    const ImGuiIO& io = ImGui::GetIO();
    if (ImGui::IsItemActive()) {
        if (PointersDown(app) < 2) {
            g_previousPinch = -1;
            // Not in the frame of the press: a finger lands wherever it
            // lands, so the pointer's step into that frame is a jump from
            // the last touch (or the parked pointer), not a drag.
            if (!ImGui::IsItemActivated()) PanImage(&view, io.MouseDelta.x, io.MouseDelta.y, iw, ih);
        } else {
            const input::TouchContact& a = app.input.contacts[0];
            const input::TouchContact& b = app.input.contacts[1];
            const float distance = std::hypot(a.x - b.x, a.y - b.y);
            if (g_previousPinch >= 0) {
                ZoomImageAt(&view, PinchZoom(view.zoom, distance, g_previousPinch), fit, (a.x + b.x) / 2,
                            (a.y + b.y) / 2, x, y, width, height, iw, ih);
            }
            g_previousPinch = distance;
        }
    } else {
        g_previousPinch = -1;
    }
    if (ImGui::IsItemHovered() && io.MouseWheel != 0) {
        ZoomImageAt(&view, WheelZoom(view.zoom, io.MouseWheel), fit, io.MousePos.x, io.MousePos.y, x, y, width, height,
                    iw, ih);
    }
    ConstrainImageView(&view, width, height, iw, ih);

    float ox = 0, oy = 0;
    ImageOrigin(view, x, y, width, height, iw, ih, &ox, &oy);
    const float zw = view.zoom * iw, zh = view.zoom * ih;
    // The visible part only, its texture coordinates cut to match.
    const float vx0 = std::max(ox, x), vy0 = std::max(oy, y);
    const float vx1 = std::min(ox + zw, x + width), vy1 = std::min(oy + zh, y + height);
    if (vx1 > vx0 && vy1 > vy0) {
        const ImVec2 uv0((vx0 - ox) / zw, (vy0 - oy) / zh), uv1((vx1 - ox) / zw, (vy1 - oy) / zh);
        ImGui::GetWindowDrawList()->AddImage(texture->UiTextureId(), ImVec2(vx0, vy0), ImVec2(vx1, vy1), uv0, uv1,
                                             IM_COL32_WHITE);
    }
    SessionStore& store = Sessions();
    DrawPlaybackGuides(store.playerHistory.get(), store.viewed.entry.cameraSlot,
                       double(store.viewed.entry.time) / 1000000.0, app.playerOverlay, ox, oy, ox + zw, oy + zh);
    ImGui::EndChild();
    player.panU = view.panU;
    player.panV = view.panV;
    player.zoom = view.zoom;
}

void ImageView(AppState& app) {
    const ImVec2 p = ImGui::GetCursorScreenPos(), avail = ImGui::GetContentRegionAvail();
    ImageView(app, p.x, p.y, avail.x, avail.y);
}

}  // namespace ui
