#include "UI/ImageControls.h"

#include <imgui.h>

#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "UI/MediaSelection.h"
#include "UI/Widgets.h"

namespace ui {

void ImageControls(AppState& app) {
    GL::BuiltInImages& icons = GL::BuiltIns();
    const float s = app.UiScale;
    const ImVec2 pos = ImGui::GetWindowPos();
    const float H = ImGui::GetWindowHeight();
    const float band = float(int(88 * s));
    float x = pos.x + 24;
    ImGui::PushID("ImageControls");
    ImGui::SetCursorScreenPos(ImVec2(x, pos.y + H - band / 2 - icons.previous.height / 2));
    if (IconButton(icons.previous, true, 0.0f)) StepMedia(app, -1);
    x += icons.previous.width + 16 * s;
    ImGui::SetCursorScreenPos(ImVec2(x, pos.y + H - band / 2 - icons.next.height / 2));
    if (IconButton(icons.next, true, 0.0f)) StepMedia(app, 1);
    ImGui::PopID();
}

}  // namespace ui
