#include "UI/VideoControls.h"

#include <imgui.h>

#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "App/AppSessions.h"
#include "UI/MediaMath.h"
#include "UI/MediaSelection.h"
#include "UI/Widgets.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {

uint8_t g_pausedBeforeDrag = 0;  // the paused value saved when a scrubber drag starts

const ImU32 kTrack = IM_COL32(136, 136, 136, 255);
const ImU32 kPlayed = IM_COL32(224, 0, 0, 255);

void Scrubber(AV::MediaPlayer& player, ImVec2 rowPos, float rowWidth, float rowHeight, double progress) {
    const float left = rowPos.x + 48, width = rowWidth - 96;
    if (width <= 0) {
        player.seekRequest = -1;
        return;
    }
    ImGui::SetCursorScreenPos(ImVec2(left, rowPos.y));
    ImGui::InvisibleButton("##scrubber", ImVec2(width, rowHeight));
    if (ImGui::IsItemActivated()) {
        g_pausedBeforeDrag = player.paused.load();
        player.paused = 1;
    }
    if (ImGui::IsItemActive()) {
        player.seekRequest = ScrubberSeekRequest(ImGui::GetIO().MousePos.x, left, width);
    } else {
        player.seekRequest = -1;
    }
    if (ImGui::IsItemDeactivated()) player.paused = g_pausedBeforeDrag;

    ImDrawList* list = ImGui::GetWindowDrawList();
    const float cy = rowPos.y + rowHeight / 2;
    list->AddRectFilled(ImVec2(left, cy - 4), ImVec2(left + width, cy + 4), kTrack, 4);
    const float played = PlayedWidth(width, progress);
    list->AddRectFilled(ImVec2(left, cy - 4), ImVec2(left + played, cy + 4), kPlayed, 4);
    if (ImGui::IsItemHovered() || ImGui::IsItemActive()) list->AddCircleFilled(ImVec2(left + played, cy), 8, kPlayed);
}

}  // namespace

void VideoControls(AppState& app) {
    AV::MediaPlayer& player = Player();
    GL::BuiltInImages& icons = GL::BuiltIns();
    const float s = app.UiScale;
    const double current = double(player.stream.Position()) / 1000000.0;
    const double total = double(player.stream.Duration()) / 1000000.0;
    const double progress = total > 0 ? current / total : 0;

    const ImVec2 pos = ImGui::GetWindowPos();
    const float W = ImGui::GetWindowWidth(), H = ImGui::GetWindowHeight();
    const float rowHeight = 20 * s;
    ImGui::PushID("VideoControls");
    Scrubber(player, pos, W, rowHeight, progress);

    // The buttons sit left in the bottom band, vertically centred in it.
    const float band = float(int(88 * s));
    const float gap = 16 * s;
    float x = pos.x + 24;
    auto button = [&](const GL::ImageQuad& icon) {
        ImGui::SetCursorScreenPos(ImVec2(x, pos.y + H - band / 2 - icon.height / 2));
        const bool pressed = IconButton(icon, true, 0.0f);
        x += icon.width + gap;
        return pressed;
    };
    if (button(icons.previous)) StepMedia(app, -1);
    if (total <= 0 || current < total) {
        if (player.paused.load()) {
            if (button(icons.play)) player.paused = 0;
        } else if (button(icons.pause)) {
            player.paused = 1;
        }
    } else if (button(icons.replay)) {
        player.seekRequest = 0;
        player.paused = 0;
    }
    if (button(icons.next)) StepMedia(app, 1);

    const std::string text = PlayTimeText(current, total);
    ImFont* font = ImGui::GetFont();
    const float size = 17 * s;
    const ImVec2 textSize = font->CalcTextSizeA(size, FLT_MAX, 0.0f, text.c_str());
    if (x + textSize.x <= pos.x + W / 2) {
        ImGui::GetWindowDrawList()->AddText(font, size, ImVec2(x, pos.y + H - band / 2 - textSize.y / 2),
                                            ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
    }
    ImGui::PopID();
}

}  // namespace ui
