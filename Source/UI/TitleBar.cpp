// Sections: arithmetic; regions (banner, session, media title, crawler);
// window buttons and close; move area; system menu; DrawTitleBar.
#include "UI/TitleBar.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "App/AppSessions.h"
#include "Session/MediaName.h"
#include "UI/ConfirmDialog.h"
#include "UI/ControlBar.h"
#include "UI/Popup.h"
#include "UI/Style.h"
#include "UI/Widgets.h"
#include "Video/AV/MediaPlayer.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

// Kept between frames (UI thread).
struct TitleBarState {
    std::string sessionLabel;  // the text last shown on the session button
    PopupRecord close;         // the close confirmation
    bool moveWasActive = false;
};
TitleBarState& State() {
    static TitleBarState state = [] {
        TitleBarState s;
        s.close.title = kCloseTitle;
        s.close.message = kCloseMessage;
        s.close.first = "Cancel";
        s.close.last = "Save and Close";
        return s;
    }();
    return state;
}

void Exclude(AppState& app, ImVec2 a, ImVec2 b) {
    app.input.captionExclusions.push_back(input::IntRect{int(a.x), int(a.y), int(b.x), int(b.y)});
}

void PlainImage(const GL::ImageQuad& icon, ImVec2 p) {
    if (!icon.texture || icon.texture->Id() == 0) return;
    ImGui::GetWindowDrawList()->AddImage(reinterpret_cast<ImTextureID>(uintptr_t(icon.texture->Id())), p,
                                         ImVec2(p.x + icon.width, p.y + icon.height), ImVec2(icon.u0, icon.v0),
                                         ImVec2(icon.u1, icon.v1));
}

float TextWidth(const std::string& text) { return ImGui::CalcTextSize(text.c_str()).x; }

// ---- regions -----------------------------------------------------------------------------

void SessionButton(AppState& app, float left, float region, float barHeight) {
    const float s = app.UiScale;
    TitleBarState& state = State();
    SessionStore& store = Sessions();
    const std::string text =
        store.currentIndex >= 0 ? store.CurrentSession().name : std::string("No Session Active");
    state.sessionLabel = ShortenLabel(text, region, 32 * s, TextWidth);
    const ImVec2 origin = ImGui::GetWindowPos();
    const float w = TextWidth(state.sessionLabel) + 32 * s;
    const float h = ImGui::GetTextLineHeight() + 2 * ImGui::GetStyle().FramePadding.y;
    const ImVec2 p(origin.x + left + (region - w) / 2, origin.y + (barHeight - h) / 2);
    ImGui::SetCursorScreenPos(p);
    const bool pressed = ImGui::Button((state.sessionLabel + "##SessionButton").c_str(), ImVec2(w, h));
    Exclude(app, p, ImVec2(p.x + w, p.y + h));
    if (!pressed) return;
    if (AnySlotRecording(app)) {
        PostAlert("Please stop recording before managing sessions");
        return;
    }
    const float x = std::max(origin.x + left, p.x + w / 2 - 250 * s);
    RequestSessionPopup(app, x, origin.y + barHeight);
}

// A text on the grey box, centred in a region.
void GreyBoxText(const std::string& text, float left, float region, float barHeight) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 origin = ImGui::GetWindowPos();
    const ImVec2 size = ImGui::CalcTextSize(text.c_str());
    const ImVec2 box(size.x + 2 * style.FramePadding.x, size.y + 2 * style.FramePadding.y);
    const ImVec2 p(origin.x + left + (region - box.x) / 2, origin.y + (barHeight - box.y) / 2);
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(p, ImVec2(p.x + box.x, p.y + box.y), IM_COL32(119, 119, 119, 255), 8.0f);
    list->AddText(ImVec2(p.x + style.FramePadding.x, p.y + style.FramePadding.y), ImGui::GetColorU32(ImGuiCol_Text),
                  text.c_str());
}

void MediaTitle(float left, float region, float barHeight) {
    SessionStore& store = Sessions();
    if (Player().mediaType.load() == 0 || store.viewed.path.Empty()) return;
    std::string title = MediaTimeLabel(store.viewed.sessionName, store.viewed.entry, store.viewed.file);
    if (TextWidth(title) + 2 * ImGui::GetStyle().FramePadding.x > region) {
        title = MediaTimeLabel("", store.viewed.entry, store.viewed.file);
    }
    GreyBoxText(title, left, region, barHeight);
}

void CentredText(const char* text, float left, float region, float barHeight) {
    const ImVec2 origin = ImGui::GetWindowPos();
    ImGui::SetCursorScreenPos(ImVec2(origin.x + left, origin.y));
    TextInBox(TextCentred, ImVec2(region, barHeight), "%s", text);
}

void CrawlerRegion(AppState& app, float left, float region, float barHeight) {
    const float s = app.UiScale;
    if (picam::CountConnectedServices() == 0) {
        CentredText("No Camera", left, region, barHeight);
        return;
    }
    CrawlerReadout readout;
    {
        std::lock_guard<std::mutex> guard(scanLinkLock);
        const ScanLinkState& st = scanLinkState;
        bool reports = false;
        for (int axis = 0; axis < kScanLinkAxes; ++axis) {
            const ScanLinkValue& p = st.axisPosition[axis];
            reports = reports || st.axisItems[axis].count > 0 || p.raw != 0 || p.divisor != 0;
        }
        readout = MakeCrawlerReadout(reports, st.axisPosition[0].raw, st.axisPosition[0].divisor,
                                     st.axisPosition[1].raw, st.axisPosition[1].divisor, st.units);
    }
    if (!readout.shown) {
        CentredText("No Crawler Detected", left, region, barHeight);
        return;
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 origin = ImGui::GetWindowPos();
    const float labelWidth = TextWidth(readout.label) + 32 * s;
    const float valueWidth = 256;
    const float h = ImGui::GetTextLineHeight() + 2 * style.FramePadding.y;
    const ImVec2 p(origin.x + left + (region - labelWidth - valueWidth) / 2, origin.y + (barHeight - h) / 2);
    // The label button and the value box; one invisible button over both opens the crawler popup.
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(p, ImVec2(p.x + labelWidth, p.y + h), ImGui::GetColorU32(ImGuiCol_Button), style.FrameRounding);
    const ImVec2 labelSize = ImGui::CalcTextSize(readout.label.c_str());
    list->AddText(ImVec2(p.x + (labelWidth - labelSize.x) / 2, p.y + style.FramePadding.y),
                  ImGui::GetColorU32(ImGuiCol_Text), readout.label.c_str());
    list->AddText(ImVec2(p.x + labelWidth + style.FramePadding.x, p.y + style.FramePadding.y),
                  ImGui::GetColorU32(ImGuiCol_Text), readout.value.c_str());
    ImGui::SetCursorScreenPos(p);
    const bool pressed = ImGui::InvisibleButton("##CrawlerButton", ImVec2(labelWidth + valueWidth, h));
    Exclude(app, p, ImVec2(p.x + labelWidth, p.y + h));
    if (pressed) RequestPopup(Popups().crawlerInfo, origin.x + left + region / 2 - 180 * s, origin.y + barHeight);
}

// ---- window buttons and close ------------------------------------------------------------------

// One window button `offset` pixels left of the band's right edge,
// vertically centred; its rectangle goes into the exclusion list.
bool WindowButton(AppState& app, const GL::ImageQuad& icon, float offset) {
    const float bandWidth = ImGui::GetWindowWidth(), bandHeight = ImGui::GetWindowHeight();
    const ImVec2 origin = ImGui::GetWindowPos();
    const ImVec2 p0(origin.x + bandWidth - offset, origin.y + (bandHeight - icon.height) / 2);
    ImGui::SetCursorScreenPos(p0);
    const bool pressed = IconButton(icon, true, 0.0f);
    Exclude(app, p0, ImVec2(p0.x + icon.width, p0.y + icon.height));
    return pressed;
}

void RequestClose(AppState& app) { app.quitRequested = true; }

void CloseButton(AppState& app) {
    TitleBarState& state = State();
    const float s = app.UiScale;
    if (WindowButton(app, GL::BuiltIns().close, 40 * s)) {
        if (AnySlotRecording(app)) {
            AskConfirmation(state.close);
        } else {
            RequestClose(app);
        }
    }
    int answer = -1;
    if (TakeConfirmationAnswer(state.close, &answer) && answer > 0) RequestClose(app);
}

void WindowButtons(AppState& app) {
    const float s = app.UiScale;
    GL::BuiltInImages& icons = GL::BuiltIns();
    SDL_Window* window = static_cast<SDL_Window*>(app.window);
    const Settings& settings = app.settings;
    if (settings.TabletMode) {
        if (WindowButton(app, icons.minimise, 100 * s)) app.WindowModeRequest = WindowModeMinimize;
    } else {
        if (WindowButton(app, settings.WindowFullscreen ? icons.leaveFullScreen : icons.fullScreen, 220 * s)) {
            app.WindowModeRequest = WindowModeToggleFullscreen;
        }
        if (WindowButton(app, icons.minimise, 160 * s) && window != nullptr) SDL_MinimizeWindow(window);
        if (WindowButton(app, settings.WindowMaximized ? icons.restore : icons.maximise, 100 * s)) {
            app.WindowModeRequest = settings.WindowMaximized ? WindowModeRestore : WindowModeMaximize;
        }
    }
    CloseButton(app);
}

// ---- move area -------------------------------------------------------------------------------------

void MoveArea(AppState& app) {
    TitleBarState& state = State();
    const ImVec2 origin = ImGui::GetWindowPos();
    ImGui::SetCursorScreenPos(origin);
    // No touch padding: the bar's move area must not reach into the body.
    ImGuiStyle& style = ImGui::GetStyle();
    const ImVec2 padding = style.TouchExtraPadding;
    style.TouchExtraPadding = ImVec2(0, 0);
    ImGui::InvisibleButton("TitleBarMove", ImVec2(std::max(1.0f, ImGui::GetWindowWidth()),
                                                  std::max(1.0f, ImGui::GetWindowHeight())));
    style.TouchExtraPadding = padding;
    const bool active = ImGui::IsItemActive();
    if (active && !state.moveWasActive && app.settings.WindowFullscreen && ImGui::GetIO().MouseDoubleClicked[0]) {
        app.WindowModeRequest = WindowModeRestore;
    }
    state.moveWasActive = active;
}

// ---- system menu --------------------------------------------------------------------------------------

// A menu item with the program's smaller check mark (0.666 of the font size,
// centred in its line) instead of Dear ImGui's own.
bool MarkedMenuItem(const char* label, bool checked) {
    const bool pressed = ImGui::MenuItem(label, nullptr, false);
    if (checked) {
        const float size = ImGui::GetFontSize() * MenuMarkScale();
        const ImVec2 max = ImGui::GetItemRectMax(), min = ImGui::GetItemRectMin();
        const ImVec2 at(max.x - size - ImGui::GetStyle().ItemSpacing.x, min.y + (ImGui::GetFontSize() - size) / 2);
        ImGui::RenderCheckMark(ImGui::GetWindowDrawList(), at, ImGui::GetColorU32(ImGuiCol_Text), size);
    }
    return pressed;
}

void SystemMenu(AppState& app, float barHeight) {
    const ImGuiIO& io = ImGui::GetIO();
    const ImVec2 origin = ImGui::GetWindowPos();
    const bool pointerInBar = io.MousePos.x >= origin.x && io.MousePos.x < origin.x + ImGui::GetWindowWidth() &&
                              io.MousePos.y >= origin.y && io.MousePos.y < origin.y + barHeight;
    if ((io.MouseClicked[1] && pointerInBar) || app.input.systemMenuRequest == 2) {
        ImGui::OpenPopup("SysPopup");
        ImGui::SetNextWindowPos(ImVec2(io.MousePos.x, origin.y + barHeight + 1), ImGuiCond_Always);
        app.input.systemMenuRequest = 0;
    }
    if (!ImGui::BeginPopup("SysPopup")) return;
    if (ImGui::BeginMenu("Settings")) {
        if (ImGui::BeginMenu("UI Scale")) {
            for (const ScaleChoice& choice : kScaleChoices) {
                if (MarkedMenuItem(choice.label, app.RequestedDpi == choice.dpi)) app.RequestedDpi = choice.dpi;
            }
            ImGui::EndMenu();
        }
        if (MarkedMenuItem("Enable On-Screen Keyboard", app.settings.OnScreenKeyboard)) {
            app.settings.OnScreenKeyboard = !app.settings.OnScreenKeyboard;
        }
        ImGui::EndMenu();
    }
    ImGui::EndPopup();
}

}  // namespace

// ---- arithmetic ---------------------------------------------------------------------------------------------

std::string ShortenLabel(std::string text, float region, float padding,
                         const std::function<float(const std::string&)>& width) {
    while (!text.empty() && width(text) + padding > region) {
        size_t end = text.size() - 1;
        while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;  // the start of the last character
        text.erase(end);
    }
    return text;
}

CrawlerReadout MakeCrawlerReadout(bool reportsAxis, int64_t countX, int64_t divisorX, int64_t countY,
                                  int64_t divisorY, int32_t units) {
    CrawlerReadout r;
    const bool hasX = divisorX != 0, hasY = divisorY != 0;
    if (!reportsAxis || (!hasX && !hasY)) return r;
    const auto hundredths = [](int64_t count, int64_t divisor) {
        const double v = double(count) / double(divisor) * 100.0;
        return std::trunc(v + (v < 0 ? -0.5 : 0.5)) / 100.0;
    };
    const char* unit = units == kScanLinkUnitsMm ? "mm" : "in";
    char text[96];
    if (hasX && hasY) {
        std::snprintf(text, sizeof(text), "[ %.2f, %.2f ] %s", hundredths(countX, divisorX),
                      hundredths(countY, divisorY), unit);
    } else {
        std::snprintf(text, sizeof(text), "%.2f %s", hasX ? hundredths(countX, divisorX) : hundredths(countY, divisorY),
                      unit);
    }
    r.shown = true;
    r.label = hasX ? "Crawler" : "Raster";
    r.value = text;
    return r;
}

// ---- DrawTitleBar -----------------------------------------------------------------------------------------------

void DrawTitleBar(AppState& app) {
    const float s = app.UiScale;
    app.input.captionExclusions.clear();
    const float A = ImGui::GetContentRegionAvail().x, Hb = ImGui::GetContentRegionAvail().y;
    const ImVec2 origin = ImGui::GetWindowPos();

    // 1-2: banner and the two regions.
    const GL::ImageQuad& logo = GL::BuiltIns().productLogo;
    float start = 0, remaining = A - 220 * s;
    if (A > 1080 * s + 220 * s) {
        PlainImage(logo, ImVec2(origin.x, origin.y + float(int((Hb - logo.height) / 2))));
        start = logo.width;
        remaining = A - 220 * s - logo.width;
    }
    const float right = std::max(400 * s, remaining / 2);
    const float left = remaining - right;

    // 3-5: session or media title, crawler readout.
    if (app.PlayerMode) {
        MediaTitle(start, left, Hb);
    } else {
        SessionButton(app, start, left, Hb);
        CrawlerRegion(app, start + left, right, Hb);
    }
    // 6-7: window buttons, close.
    WindowButtons(app);
    if (app.settings.TabletMode) return;
    // 8-9: move area, system menu.
    MoveArea(app);
    SystemMenu(app, Hb);
}

}  // namespace ui
