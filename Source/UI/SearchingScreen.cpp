#include "UI/SearchingScreen.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "App/AppState.h"
#include "UI/SearchingScene.h"
#include "UI/Style.h"
#include "UI/Widgets.h"

namespace ui {

SearchDot SearchingDot(double runSeconds, int k) {
    const double pi = 3.14159265358979323846;
    const double p = runSeconds / 5.0 + double(k) / 5.0;
    const double f = p - double(int64_t(p));
    const double e1 = 0.5 - std::cos(f * pi) / 2;
    const double alpha = 0.5 - std::cos(e1 * 2 * pi) / 2;
    const double e2 = 0.5 - std::cos((0.5 - std::cos(e1 * pi) / 2) * pi) / 2;
    const double xfrac = 0.5 - std::cos(e2 * pi) / 2;
    const double stretch = 0.5 - std::cos(e2 * 2 * pi) / 2;
    SearchDot dot;
    dot.xfrac = float(xfrac);
    dot.width = float(stretch * 128 + (1 - stretch) * 6);
    dot.height = float(stretch * 2 + (1 - stretch) * 6);
    dot.alpha = float(std::clamp(alpha, 0.0, 1.0));
    return dot;
}

void DrawSearchingScreen(AppState& app, ViewRect body) {
    const float s = app.UiScale;
    const float x0 = body.x, y0 = body.y, x1 = body.x + body.w, y1 = body.y + body.h;
    const float boxX = float(int(x0 + ((x1 - x0) - 400 * s) / 2));
    const float boxY = float(int(y0 + 0.7f * (y1 - y0)));
    ImGui::SetCursorScreenPos(ImVec2(boxX, boxY));
    ImGui::PushFont(Fonts().bold ? Fonts().bold : ImGui::GetFont());
    TextInBox(TextCentred, ImVec2(400 * s, 32 * s), "Searching for ORVEX Camera");
    ImGui::PopFont();

    ImDrawList* list = ImGui::GetWindowDrawList();
    for (int k = 0; k < 5; ++k) {
        const SearchDot dot = SearchingDot(app.RunSeconds, k);
        const ImVec2 centre(boxX + 400 * s * dot.xfrac, boxY + 64 * s);
        const ImU32 colour = IM_COL32(233, 33, 45, int(dot.alpha * 255));
        list->AddRectFilled(ImVec2(centre.x - dot.width / 2, centre.y - dot.height / 2),
                            ImVec2(centre.x + dot.width / 2, centre.y + dot.height / 2), colour, 2.0f);
    }
    if (app.ClientWidth > 0 && app.ClientHeight > 0) DrawSearchingScene(app);
}

}  // namespace ui
