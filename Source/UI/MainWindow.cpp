// Sections: bands and flags; docked panels (places, closing rule, light
// sliders); view-switch answers; body (player, camera); popups and window
// order; DrawMainWindow.
#include "UI/MainWindow.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "App/AppSessions.h"
#include "Base/Version.h"
#include "UI/AlertPopup.h"
#include "UI/CameraLayouts.h"
#include "UI/CameraViewLayout.h"
#include "UI/ConfirmDialog.h"
#include "UI/FileCopyPopup.h"
#include "UI/SearchingScreen.h"
#include "UI/Style.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/AV/MediaPlayer.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

MainWindowPanels g_panels;
constexpr short kMainWindowOrder = 300;  // begin order that puts the main window over every panel

// The settings panel's closing rule looks at the press of the previous frame
// (UI thread).
struct SettingsPress {
    bool began = false;  // the left button went down in the previous frame
    ImVec2 position;     // where
};
SettingsPress g_settingsPress;

// ---- bands and flags ----------------------------------------------------------------

ImVec4 BarColour(const AppState& app) {
    return app.PlayerMode ? ImVec4(20 / 255.0f, 25 / 255.0f, 33 / 255.0f, 1) : ImVec4(22 / 255.0f, 23 / 255.0f, 24 / 255.0f, 1);
}

constexpr ImGuiWindowFlags kBarFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                       ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar |
                                       ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoCollapse |
                                       ImGuiWindowFlags_NoBringToFrontOnFocus;

bool PlayerStreamOpen(AppState& app) {
    if (!app.PlayerMode) return false;
    return Player().stream.IsOpen();
}

// ---- docked panels ------------------------------------------------------------------

bool InsidePopup(ImGuiWindow* window) {
    for (ImGuiWindow* w = window; w != nullptr; w = w->ParentWindow) {
        if (w->Flags & (ImGuiWindowFlags_Popup | ImGuiWindowFlags_Modal)) return true;
    }
    return false;
}

// A press outside the settings panel closes it, except while its Guides
// page is shown, when the press landed in a popup, or in the diagnostics
// panel the System page opened beside it: closing would move that panel
// under the pointer between the press and the release, and its buttons
// ("Run Stress Test", "Clear") would never act while both are shown.
void SettingsPanelClosingRule(AppState& app, const ViewRect& diagnostics) {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    ImGuiWindow* panel = ImGui::GetCurrentWindow();
    const ImVec2 at = g_settingsPress.position;
    const bool inDiagnostics = diagnostics.w > 0 && at.x >= diagnostics.x && at.x < diagnostics.x + diagnostics.w &&
                               at.y >= diagnostics.y && at.y < diagnostics.y + diagnostics.h;
    if (g_settingsPress.began && !InsidePopup(g.ActiveIdWindow) && app.settingsPage != 5 && !inDiagnostics) {
        ImRect r = panel->InnerRect;
        r.ClipWith(panel->Rect());
        r.Expand(g.Style.TouchExtraPadding);
        if (!r.Contains(at)) {
            app.PanelFlags &= ~PanelSettings;
            app.settingsPage = -1;
            UpdateSuspension(app);
        }
    }
}

void NoteSettingsPress() {
    const ImGuiIO& io = ImGui::GetIO();
    g_settingsPress.began = io.MouseDown[0] && io.MouseDownDuration[0] == 0.0f;
    g_settingsPress.position = io.MousePos;
}

// One vertical LED slider per active slot (parameter 36 as a percentage).
void LightSliders(AppState& app, float s) {
    const int count = int(app.activeSlots.size());
    if (count == 0) return;
    const float width = 200 * s, height = ImGui::GetContentRegionAvail().y;
    const float gap = (width - float(count) * 48) / float(count + 1);
    ImGui::PushStyleVar(ImGuiStyleVar_GrabMinSize, 24.0f);
    for (int k = 0; k < count; ++k) {
        AV::CameraSlot* slot = app.activeSlots[size_t(k)];
        picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
        int value = 0, maximum = 0;
        {
            std::lock_guard<std::mutex> guard(service->tableLock);
            const picam::ParamRecord& record = service->groups[slot->channel].params[picam::LightLevel];
            value = record.value;
            maximum = record.maximum;
        }
        if (maximum <= 0) continue;
        int percent = int(int64_t(value) * 100 / maximum);
        ImGui::SetCursorPos(ImVec2(gap + float(k) * (48 + gap), ImGui::GetStyle().WindowPadding.y));
        ImGui::PushID(slot);
        if (ImGui::VSliderInt("##Light", ImVec2(48, height), &percent, 0, 100, "")) {
            const int32_t next = int32_t(int64_t(percent) * maximum / 100);
            picam::ParamGroup& block = SlotParamBlock(app, slot);
            if (picam::AcceptsValue(block.params[picam::LightLevel], next)) {
                block.params[picam::LightLevel].value = next;
                std::lock_guard<std::mutex> guard(service->tableLock);
                service->SetParam_locked(slot->channel, picam::LightLevel, next);
                service->PackChanges_locked();
            }
        }
        ImGui::PopID();
    }
    ImGui::PopStyleVar();
}

void DrawDockedPanels(AppState& app, const DockedPlaces& places, ImVec4 barColour) {
    const float s = app.UiScale;
    if (places.settings.w > 0) {
        const ViewRect& r = places.settings;
        BeginPanel("SettingsPanel", ImVec2(r.x, r.y), ImVec2(r.w, r.h), ImGui::GetStyle().Colors[ImGuiCol_WindowBg],
                   kBarFlags);
        if (g_panels.settingsPanel) g_panels.settingsPanel(app);
        SettingsPanelClosingRule(app, places.diagnostics);
        ImGui::End();
        NoteSettingsPress();
    } else {
        // Only presses made while the panel is shown count: the press on the
        // settings toggle that opens it (released one frame later) must not
        // close it again at once.
        g_settingsPress.began = false;
    }
    if (places.light.w > 0) {
        const ViewRect& r = places.light;
        ImGui::SetNextWindowPos(ImVec2(r.x, r.y), ImGuiCond_Always);
        ImGui::SetNextWindowSize(ImVec2(r.w, r.h), ImGuiCond_Always);
        ImGui::Begin("LightPanel", nullptr,
                     ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoCollapse);
        if (g_panels.lightPanel) {
            g_panels.lightPanel(app);
        } else {
            LightSliders(app, s);
        }
        ImGui::End();
    }
    if (places.fileList.w > 0 && g_panels.fileListPanel) g_panels.fileListPanel(app, places.fileList);
    if (places.diagnostics.w > 0) {
        const ViewRect& r = places.diagnostics;
        BeginPanel("DiagPanel", ImVec2(r.x, r.y), ImVec2(r.w, r.h), barColour,
                   ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                       ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                       ImGuiWindowFlags_NoBringToFrontOnFocus);
        if (g_panels.diagnosticsPanel) g_panels.diagnosticsPanel(app);
        ImGui::End();
    }
}

// ---- view-switch answers ---------------------------------------------------------------

void ActOnViewSwitchAnswer(AppState& app) {
    ViewSwitchQuestion& question = ViewSwitchConfirmation();
    int answer = -1;
    if (!TakeConfirmationAnswer(question.record, &answer)) return;
    const LayoutKind before = app.settings.LayoutStyle;
    if (answer == 1 && question.mode == ViewSwitchSwap) {
        SwapFirstTwoViews(app);
        RememberViewPositions(app);
    } else if (answer == 1 && question.mode == ViewSwitchSingle) {
        app.settings.LayoutStyle = LayoutKind::SingleCamera;
    } else if (answer == 2) {
        app.settings.LayoutStyle = LayoutKind::SplitOverlap;
    }
    if (app.settings.LayoutStyle != before || (answer == 1 && question.mode == ViewSwitchSwap)) {
        SaveSettings(app.settings, app.dataFolder);
    }
    if (answer == 1 || answer == 2) UpdateSuspension(app);
}

// ---- body ---------------------------------------------------------------------------------

void CentredBold(float R, float T, float B, const char* text) {
    ImGui::PushFont(Fonts().bold ? Fonts().bold : ImGui::GetFont());
    ImGui::SetCursorScreenPos(ImVec2(0, T));
    TextInBox(TextCentred, ImVec2(R, B), "%s", text);
    ImGui::PopFont();
}

void PlayerModeBody(AppState& app, float R, float T, float B) {
    AV::MediaPlayer& player = Player();
    const std::string status = player.Status();
    if (!status.empty()) {
        CentredBold(R, T, B, status.c_str());
        return;
    }
    const int kind = player.mediaType.load();
    if (kind == 1 && g_panels.videoView) {
        g_panels.videoView(app);
    } else if (kind == 2 && g_panels.imageView) {
        g_panels.imageView(app);
    } else if (kind == 0 && g_panels.loadFirstMedia && g_panels.loadFirstMedia(app)) {
        // Loaded now; shown from the next frame on.
    } else {
        CentredBold(R, T, B, "No media files to view");
    }
}

void CameraModeBody(AppState& app, int connected, float R, float T, float B) {
    const float s = app.UiScale;
    if (connected > 0 && app.activeSlots.empty()) {
        app.PanelFlags &= ~PanelSettings;
        if (R > 256 * s + 64 * s) {
            const ImVec2 line(R - 64 * s, 32 * s);
            ImGui::PushFont(Fonts().bold ? Fonts().bold : ImGui::GetFont());
            ImGui::SetCursorScreenPos(ImVec2(32 * s, T + (B - 2 * line.y) / 2));
            TextInBox(TextCentred, line, "A camera has been detected, but video is unavailable");
            ImGui::SetCursorScreenPos(ImVec2(32 * s, T + (B - 2 * line.y) / 2 + line.y));
            TextInBox(TextCentred, line, "due to an internal camera error.");
            ImGui::PopFont();
        }
    } else if (connected > 0) {
        DrawCameraLayouts(app, R, T, B);
    } else {
        app.PanelFlags &= ~PanelSettings;
        DrawSearchingScreen(app, ViewRect{0, T, R, B});
    }
}

// ---- popups and window order -----------------------------------------------------------------

void DrawPopups(AppState& app, float W, float H, float s) {
    DrawCameraViewLayout(app);
    if (g_panels.lightView) g_panels.lightView(app);
    if (g_panels.crawlerInfo) g_panels.crawlerInfo(app);
    if (g_panels.axisEditor) g_panels.axisEditor(app);
    if (g_panels.sessionPopups) g_panels.sessionPopups(app);
    if (g_panels.firmwareUpdate) g_panels.firmwareUpdate(app);
    DrawFileCopyPopup(W, H, s);
    DrawConfirmDialog(W, H, s);
    DrawAlertPopup(W, H, s);
    ApplyModalDimming();
}

// Windows begun with an order of 200 or more go to the end of the list, so
// they are drawn over every panel and popup.
void RaiseOrderedWindows() {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    const int n = g.Windows.Size;
    for (int i = 0; i < n - 1; ++i) {
        ImGuiWindow* w = g.Windows[i];
        if (w->BeginOrderWithinContext >= 200 && w->Active) {
            g.Windows.erase(g.Windows.Data + i);
            g.Windows.push_back(w);
            break;  // only the main window carries such an order
        }
    }
}

}  // namespace

MainWindowPanels& Panels() { return g_panels; }

float ControlBarHeight(float s, bool playerMode, bool playerStreamOpen) {
    const float band = float(int(88 * s));
    return playerMode && playerStreamOpen ? float(int(20 * s)) + band : band;
}

float ControlBarHeight(const AppState& app) {
    return ControlBarHeight(app.UiScale, app.PlayerMode, PlayerStreamOpen(const_cast<AppState&>(app)));
}

DockedPlaces PlaceDockedPanels(float W, float T, float B, float s, uint32_t flags, bool playerMode, bool connected) {
    DockedPlaces places;
    float R = W;
    if ((flags & PanelSettings) && !playerMode) {
        const float P = float(int(580 * s));
        R -= P;
        places.settings = ViewRect{R, T, P, B};
    }
    if ((flags & PanelLight) && !playerMode) {
        places.light = ViewRect{R - 202 * s, T + B - 600 * s, 200 * s, 600 * s};
    }
    if ((flags & PanelFileList) && playerMode) {
        const float width = float(int(440 * s));
        R -= width;
        places.fileList = ViewRect{R, T, width, B};
    }
    if ((flags & PanelDiagnostics) && !playerMode && connected) {
        R = std::max(0.0f, R - 1200 * s);
        places.diagnostics = ViewRect{R, T, 1200 * s, B};
    }
    places.bodyWidth = R;
    return places;
}

void UpdateSuspension(AppState& app) {
    AV::UpdateSlotSuspension(app.activeSlots.data(), int(app.activeSlots.size()),
                             app.settings.LayoutStyle == LayoutKind::SingleCamera,
                             (app.PanelFlags & PanelSettings) != 0);
}

void DrawMainWindow(AppState& app) {
    const float s = app.UiScale;
    const float W = float(app.ClientWidth), H = float(app.ClientHeight);
    const float T = float(int(48 * s)), C = ControlBarHeight(app), B = std::max(0.0f, H - T - C);

    // 1: panels that cannot stay open.
    const int connected = picam::CountConnectedServices();
    if (connected < 1 || app.activeSlots.empty()) app.PanelFlags &= ~PanelSettings;
    if (connected < 1) app.PanelFlags &= ~PanelDiagnostics;

    // 2: the main window, drawn over everything, taking no input.
    ImGui::SetNextWindowPos(ImVec2(0, 0), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(W, H), ImGuiCond_Always);
    ImGui::PushStyleColor(ImGuiCol_WindowBg, ImVec4(0, 0, 0, 1));
    ImGui::Begin("MainWindow", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoMouseInputs |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoNavInputs |
                     ImGuiWindowFlags_NoNavFocus);
    ImGui::PopStyleColor();
    ImGui::GetCurrentWindow()->BeginOrderWithinContext = kMainWindowOrder;

    // 3-4: the bands.
    const ImVec4 bar = BarColour(app);
    BeginPanel("TitleBar", ImVec2(0, 0), ImVec2(W, T), bar, kBarFlags);
    if (g_panels.titleBar) g_panels.titleBar(app);
    ImGui::End();
    BeginPanel("ControlBar", ImVec2(0, T + B), ImVec2(W, C), bar, kBarFlags);
    if (g_panels.controlBar) g_panels.controlBar(app);
    ImGui::End();

    // 5: the answer of the view-switch confirmation.
    ActOnViewSwitchAnswer(app);

    // 6-9: docked panels.
    const DockedPlaces places = PlaceDockedPanels(W, T, B, s, app.PanelFlags, app.PlayerMode, connected > 0);
    DrawDockedPanels(app, places, bar);
    const float R = places.bodyWidth;

    // 10-12: the body.
    BeginPanel("Player", ImVec2(0, T), ImVec2(R, B), ImVec4(0, 0, 0, 1), kBarFlags | ImGuiWindowFlags_NoBackground);
    // With the diagnostics and settings panels both shown the body has no
    // width left; ImGui still gives the window its minimum size, so the text
    // would show through over the diagnostics panel's first lines.
    if (R >= 1) {
        ImGui::GetWindowDrawList()->AddText(ImVec2(8 * s, T + 8 * s), IM_COL32(47, 47, 47, 255),
                                            AppVersionText().c_str());
    }
    if (app.PlayerMode) {
        PlayerModeBody(app, R, T, B);
    } else {
        CameraModeBody(app, connected, R, T, B);
    }
    app.guidesEditing = false;  // the Guides page sets it again in the next frame it is drawn
    ImGui::End();

    // 13: the latency panel.
    if (!app.PlayerMode && g_panels.latencyPanel) {
        for (AV::CameraSlot* slot : app.activeSlots) {
            if (!slot->latencyProbeOn) continue;
            g_panels.latencyPanel(app, slot);
            break;
        }
    }

    // 14: popups in their order, then the alert popup.
    DrawPopups(app, W, H, s);

    // 15: window order; the keyboard over everything.
    RaiseOrderedWindows();
    if (g_panels.keyboard) g_panels.keyboard(app);
    ImGui::End();  // 16
}

}  // namespace ui
