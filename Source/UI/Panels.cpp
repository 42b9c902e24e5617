#include "UI/Panels.h"

#include <imgui.h>

#include "App/AppState.h"
#include "App/AppSessions.h"
#include "UI/ControlBar.h"
#include "UI/DeleteFilesPopup.h"
#include "UI/DeleteSessionPopup.h"
#include "UI/FolderPicker.h"
#include "UI/ImageControls.h"
#include "UI/ImageView.h"
#include "UI/MainWindow.h"
#include "UI/MediaSelection.h"
#include "UI/SessionPopup.h"
#include "UI/Style.h"
#include "UI/TitleBar.h"
#include "UI/VideoControls.h"
#include "UI/VideoView.h"
#include "UI/Widgets.h"
#include "Video/AV/MediaPlayer.h"

namespace ui {

namespace {

void PlayerBody(AppState& app) {
    AV::MediaPlayer& player = Player();
    const std::string status = player.Status();
    const ImVec2 avail = ImGui::GetContentRegionAvail();
    if (!status.empty()) {
        TextInBox(TextCentred, avail, "%s", status.c_str());
        return;
    }
    switch (player.mediaType.load()) {
    case 1:
        VideoView(app);
        return;
    case 2: {
        const ImVec2 p = ImGui::GetCursorScreenPos();
        ImageView(app, p.x, p.y, avail.x, avail.y);
        return;
    }
    default:
        break;
    }
    if (!LoadFirstMedia(app)) TextInBox(TextCentred, avail, "No media files to view");
}

void ControlBarWithPlayer(AppState& app) {
    DrawControlBar(app);
    if (!app.PlayerMode) return;
    if (Player().stream.IsOpen()) {
        VideoControls(app);
    } else if (HasViewableMedia(app)) {
        ImageControls(app);
    }
}

void SessionPopups(AppState& app) {
    TheSessionPopup().Draw(app);
    TheDeleteSessionPopup().Draw(app);
    TheDeleteFilesPopup().Draw(app);
    TheFolderPicker().Draw(float(app.ClientWidth), float(app.ClientHeight), app.UiScale);
}

}  // namespace

void RegisterPanels() {
    MainWindowPanels& panels = Panels();
    panels.titleBar = DrawTitleBar;
    panels.controlBar = ControlBarWithPlayer;
    panels.playerBody = PlayerBody;
    panels.popups = SessionPopups;
    SetSessionPopupRequest(RequestSessionPopupFromControls);
}

}  // namespace ui
