#include "UI/Splash.h"

#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <sys/stat.h>

#include "App/AppState.h"
#include "Base/Log.h"
#include "Base/Version.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/TextureGL.h"

namespace ui {

namespace {

constexpr double kSlideSeconds = 0.9;
constexpr double kEndSeconds = 3.0;
constexpr double kFadeSeconds = 0.3;

ImU32 Grey(float level, float alpha) {
    const int v = int(std::lround(std::clamp(level, 0.0f, 1.0f) * 255.0f));
    const int a = int(std::lround(std::clamp(alpha, 0.0f, 1.0f) * 255.0f));
    return IM_COL32(v, v, v, a);
}

}  // namespace

bool SplashStep(SplashState& s, double t, bool* takesFrame) {
    *takesFrame = false;
    if (s.state == SplashNotStarted) {
        s.startSeconds = t;
        s.logoAlpha = 0.0f;
        s.level = 1.0f;
        s.state = SplashSlidingIn;
    }
    if (s.state == SplashSlidingIn) {
        s.progress = float((t - s.startSeconds) / kSlideSeconds);
        if (s.progress >= 1.0f) {
            s.progress = 1.0f;
            s.state = SplashFading;
        }
        s.logoAlpha = s.progress;
    }
    if (s.state == SplashFading) {
        // Holding keeps the elapsed time at the end of the slide-in, so the
        // whole full-logo stretch is still to come once the hold ends.
        if (s.holdFullLogo) s.startSeconds = t - kSlideSeconds;
        float a = std::min(1.0f, float((kEndSeconds - (t - s.startSeconds)) / kFadeSeconds));
        if (a <= 0.0f) {
            a = 0.0f;
            s.state = SplashFinished;
        }
        a = a * a;
        s.logoAlpha = a;
        s.level = a;
    }
    if (s.state == SplashFinished) return false;
    *takesFrame = s.state < SplashFading || s.logoAlpha >= 1.0f;
    return true;
}

ImVec2 SplashLogoPosition(float progress, float clientWidth, float clientHeight, float logoWidth, float logoHeight,
                          float uiScale) {
    const float rise = 80.0f * uiScale * std::exp2(-8.0f * progress);
    return ImVec2((clientWidth - logoWidth) * 0.5f, (clientHeight - logoHeight) * 0.5f + rise);
}

bool DrawSplash(SplashState& s, double t, float clientWidth, float clientHeight, float uiScale,
                const GL::ImageQuad& logo) {
    bool takesFrame = false;
    if (!SplashStep(s, t, &takesFrame)) return false;

    // An invisible full-window "SplashWindow" takes the pointer so nothing
    // beneath reacts during the splash. The picture itself goes into the
    // foreground draw list, so that it stays above the main window's panels
    // while they appear under the fade.
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(clientWidth, clientHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBackground |
                                   ImGuiWindowFlags_NoNavInputs | ImGuiWindowFlags_NoNavFocus |
                                   ImGuiWindowFlags_NoSavedSettings;
    ImGui::Begin("SplashWindow", nullptr, flags);
    ImGui::PopStyleVar(3);
    ImGui::BringWindowToDisplayFront(ImGui::GetCurrentWindow());

    ImDrawList* draw = ImGui::GetForegroundDrawList();
    draw->AddRectFilled(ImVec2(0.0f, 0.0f), ImVec2(clientWidth, clientHeight), Grey(s.level, s.level));
    const ImVec2 pos = SplashLogoPosition(s.progress, clientWidth, clientHeight, logo.width, logo.height, uiScale);
    const ImVec2 end(pos.x + logo.width, pos.y + logo.height);
    if (logo.texture) {
        draw->AddImage(logo.texture->UiTextureId(), pos, end, ImVec2(logo.u0, logo.v0), ImVec2(logo.u1, logo.v1),
                       ImGui::GetColorU32(ImVec4(logo.r, logo.g, logo.b, logo.a * s.logoAlpha)));
    }
    // The version, right-aligned under the logo, in the logo's dark grey.
    const ImVec2 textSize = ImGui::CalcTextSize(AppVersion);
    draw->AddText(ImVec2(end.x - textSize.x, end.y + 4.0f * uiScale), Grey(0.29f, s.logoAlpha), AppVersion);

    ImGui::End();
    return takesFrame;
}

bool DrawSplash() {
    static SplashState state;
    static const char* holdFile = getenv("ORVEX_SPLASH_HOLD");
    AppState& app = App();
    if (holdFile != nullptr && state.state != SplashFinished) {
        struct stat st;
        state.holdFullLogo = stat(holdFile, &st) == 0;
    }
    const bool finishedBefore = state.state == SplashFinished;
    const bool takesFrame = DrawSplash(state, app.RunSeconds, float(app.ClientWidth), float(app.ClientHeight),
                                       app.UiScale, GL::BuiltIns().makerLogo);
    // Until now the splash window took every press; process tests wait for this line before they click.
    if (!finishedBefore && state.state == SplashFinished)
        LOGF(LOG_INFO, LOG_SRC_UI, "Splash | finished: the main window takes input");
    return takesFrame;
}

}  // namespace ui
