#include "UI/SessionPopup.h"

#include <imgui.h>

#include <cstring>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "Base/Text.h"
#include "App/AppSessions.h"
#include "Session/StorageFolder.h"
#include "UI/DeleteFilesPopup.h"
#include "UI/DeleteSessionPopup.h"
#include "UI/FolderPicker.h"
#include "UI/OnScreenKeyboard.h"
#include "UI/Popup.h"
#include "UI/SessionListMath.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

constexpr const char* kPopupName = "OpenSession";
const ImVec4 kDeleteButton(198 / 255.0f, 26 / 255.0f, 31 / 255.0f, 1.0f);

// Refuses the characters a session name (a file-name prefix) cannot hold.
int SessionNameFilter(ImGuiInputTextCallbackData* data) {
    const ImWchar c = data->EventChar;
    return (c == '"' || c == '*' || c == '/' || c == ':' || c == '<' || c == '>' || c == '?' || c == '\\' || c == '|')
               ? 1
               : 0;
}

// Dragging inside the current child window scrolls it (touch screens have no wheel).
void DragScroll() {
    if (ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) && ImGui::IsMouseDragging(0)) {
        ImGui::SetScrollY(ImGui::GetScrollY() - ImGui::GetIO().MouseDelta.y);
    }
}

}  // namespace

SessionPopup& TheSessionPopup() {
    static SessionPopup popup;
    return popup;
}

void DrawSessionPopups(AppState& app) {
    TheSessionPopup().Draw(app);
    TheDeleteSessionPopup().Draw(app);
    TheDeleteFilesPopup().Draw(app);
    TheFolderPicker().Draw(float(app.ClientWidth), float(app.ClientHeight), app.UiScale);
}

void SessionPopup::Add(AppState& /*app*/) {
    const std::string text = TrimUnicodeSpace(name_);
    if (text.empty()) return;
    SessionStore& store = Sessions();
    const size_t before = store.sessions.size();
    const int index = store.FindOrCreateSession(text);
    const AddOutcome outcome = ClassifyAdd(index, before, store.sessions.size());
    if (outcome != AddOutcome::Added) {
        PostAlert(AddOutcomeAlert(outcome));
        return;
    }
    name_[0] = '\0';
    ClosePopup(Popups().session);
    store.currentIndex = index;
    store.RefreshSessions();
}

void SessionPopup::DrawAddRow(AppState& app, bool focus) {
    const float s = app.UiScale;
    ImGui::TextUnformatted("Add Session");
    const float button = 120 * s;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - button - ImGui::GetStyle().ItemSpacing.x);
    if (focus) ImGui::SetKeyboardFocusHere();
    const bool entered = ImGui::InputText("##SessionName", name_, sizeof name_,
                                          ImGuiInputTextFlags_AutoSelectAll | ImGuiInputTextFlags_EnterReturnsTrue |
                                              ImGuiInputTextFlags_CallbackCharFilter,
                                          SessionNameFilter);
    AttachKeyboard(false);
    ImGui::SameLine();
    const bool pressed = ImGui::Button("Add", ImVec2(button, 0));
    if (entered || pressed) Add(app);
}

void SessionPopup::DrawSessionList(AppState& app, float rows) {
    const float s = app.UiScale;
    SessionStore& store = Sessions();
    ImGui::TextUnformatted("Sessions");
    const float rowHeight = 40 * s;
    // The list is rows x 40 high plus 16: rows stand edge to edge inside an
    // 8-pixel padding, so as many rows as the height was made for are shown
    // whole and no scroll bar appears while they all fit.
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(ImGui::GetStyle().WindowPadding.x, 8 * s));
    ImGui::BeginChild("RecentWindow", ImVec2(500 * s - 48 * s, rows * rowHeight + 16 * s), true);
    ImGui::PopStyleVar();
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(ImGui::GetStyle().ItemSpacing.x, 0));
    ImGui::PushStyleVar(ImGuiStyleVar_SelectableTextAlign, ImVec2(0.0f, 0.5f));  // names centred in their rows
    DragScroll();
    const int count = int(store.sessions.size());
    if (highlighted_ >= count) highlighted_ = count - 1;
    if (highlighted_ < 0) highlighted_ = 0;
    int resume = -1, remove = -1;
    const float buttonWidth = 100 * s, gap = 8 * s;
    for (int i = 0; i < count; ++i) {
        ImGui::PushID(i);
        const bool lit = i == highlighted_;
        const bool current = i == store.currentIndex;
        const float full = ImGui::GetContentRegionAvail().x;
        const float buttons = lit ? (current ? buttonWidth : 2 * buttonWidth + gap) + gap : 0;
        const float y = ImGui::GetCursorPosY();
        if (ImGui::Selectable(store.sessions[i].name.c_str(), lit, 0, ImVec2(full - buttons, rowHeight)))
            highlighted_ = i;
        if (lit) {
            const float buttonHeight = ImGui::GetFrameHeight();
            float x = ImGui::GetCursorPosX() + full - buttonWidth;
            ImGui::SameLine();
            ImGui::SetCursorPos(ImVec2(x, y + (rowHeight - buttonHeight) / 2));
            ImGui::PushStyleColor(ImGuiCol_Button, kDeleteButton);
            ImGui::PushStyleColor(ImGuiCol_ButtonActive, kDeleteButton);
            if (ImGui::Button("Delete", ImVec2(buttonWidth, 0))) remove = i;
            ImGui::PopStyleColor(2);
            if (!current) {
                x -= buttonWidth + gap;
                ImGui::SameLine();
                ImGui::SetCursorPos(ImVec2(x, y + (rowHeight - buttonHeight) / 2));
                if (ImGui::Button("Resume", ImVec2(buttonWidth, 0))) resume = i;
            }
            ImGui::SetCursorPosY(y + rowHeight + ImGui::GetStyle().ItemSpacing.y);
        }
        ImGui::PopID();
    }
    ImGui::PopStyleVar(2);
    ImGui::EndChild();
    if (resume >= 0) {
        store.currentIndex = resume;
        store.RefreshSessions();
        ClosePopup(Popups().session);
    }
    if (remove >= 0) TheDeleteSessionPopup().Request(remove);
}

void SessionPopup::DrawStorageLine(AppState& app, float width) {
    const float s = app.UiScale;
    ImGui::TextUnformatted("Save Location");
    const std::string display = StorageDisplayName(app.settings.SessionDirectory);
    const std::string line = FitStorageLine(display, width - 48 * s,
                                            [](const std::string& t) { return ImGui::CalcTextSize(t.c_str()).x; });
    ImGui::TextDisabled("%s", line.c_str());
    if (ImGui::Button("Change Save Location")) {
        TheFolderPicker().Request(FolderPickOwner::StorageFolder, Path(app.settings.SessionDirectory),
                                  app.settings.TabletMode);
    }
}

void SessionPopup::TakeFolderAnswer(AppState& app) {
    Path folder;
    if (TheFolderPicker().Take(FolderPickOwner::StorageFolder, &folder) != FolderPicker::Result::Picked) return;
    app.settings.SessionDirectory = folder.Text();
    SaveSettings(app.settings, app.dataFolder);
    Sessions().RefreshSessions();
}

void SessionPopup::Draw(AppState& app) {
    TakeFolderAnswer(app);
    const float s = app.UiScale;
    const float W = float(app.ClientWidth), H = float(app.ClientHeight);
    SessionStore& store = Sessions();
    const bool noSessions = store.sessions.empty();
    PopupRecord& record = Popups().session;
    const bool opening = record.openState == PopupRequested;
    if (opening) highlighted_ = store.currentIndex < 0 ? 0 : store.currentIndex;
    const float T = float(int(48 * s));
    int rows = 0;
    if (noSessions) {
        record.width = 700 * s;
        record.height = 410 * s;
        record.x = (W - record.width) / 2;
        record.y = (H - record.height) / 2 - 64 * s;
    } else {
        rows = SessionListRows(H, T, s, int(store.sessions.size()));
        record.width = 500 * s;
        record.height = SessionPopupHeight(rows, s);
    }
    const float width = record.width;
    if (!BeginPopupRecord(record, PopupKind::Plain,
                          ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize |
                              ImGuiWindowFlags_NoScrollbar))
        return;
    DrawAddRow(app, opening);
    if (noSessions) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextUnformatted("Please enter a session or job name.");
        ImGui::TextUnformatted("This will be used to track your media files.");
        ImGui::PopTextWrapPos();
        ImGui::Dummy(ImVec2(0, 16 * s));
    } else {
        DrawSessionList(app, float(rows));
    }
    DrawStorageLine(app, width);
    EndPopupRecord(record);
}

}  // namespace ui
