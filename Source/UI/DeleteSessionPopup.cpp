#include "UI/DeleteSessionPopup.h"

#include <imgui.h>

#include "App/AppState.h"
#include "App/AppSessions.h"
#include "Session/Deletion.h"
#include "UI/FileCopyPopup.h"
#include "UI/SessionListMath.h"

namespace ui {

namespace {
constexpr const char* kPopupId = "###PopupDeleteSession";
const ImVec4 kDeleteButton(198 / 255.0f, 26 / 255.0f, 31 / 255.0f, 1.0f);
}  // namespace

DeleteSessionPopup& TheDeleteSessionPopup() {
    static DeleteSessionPopup popup;
    return popup;
}

void DeleteSessionPopup::Request(int index) {
    if (deleting_) return;
    deleteIndex_ = index;
    openRequest_ = true;
}

void DeleteSessionPopup::Draw(AppState& app) {
    if (deleteIndex_ < 0) return;
    SessionStore& store = Sessions();
    MediaDeletion& deletion = Deletions();
    const float s = app.UiScale;
    if (openRequest_) {
        openRequest_ = false;
        if (deleteIndex_ >= int(store.sessions.size())) {
            deleteIndex_ = -1;
            return;
        }
        // Built once per opening: the name and counts stay as they were asked about.
        sessionName_ = store.sessions[deleteIndex_].name;
        summary_ = DeleteSummaryLines(store.sessions[deleteIndex_].media);
        deletion.sessionFiles.clear();
        deletion.sessionTotal = 0;
        deleting_ = false;
        displayed_ = 0;
        ImGui::OpenPopup(kPopupId);
    }
    const std::string title = "Delete Session \"" + sessionName_ + "\"" + kPopupId;
    const ImGuiStyle& style = ImGui::GetStyle();
    const float height = 180 * s + float(summary_.size()) * (ImGui::GetTextLineHeight() + style.ItemSpacing.y);
    const float W = float(app.ClientWidth), H = float(app.ClientHeight);
    ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(640 * s, height), ImGuiCond_Always);
    ImGui::PushStyleColor(ImGuiCol_ModalWindowDimBg, ImVec4(0, 0, 0, 0.2f));
    const bool open = ImGui::BeginPopupModal(title.c_str(), nullptr,
                                             ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                                 ImGuiWindowFlags_NoCollapse);
    ImGui::PopStyleColor();
    if (!open) {
        if (!deleting_) deleteIndex_ = -1;
        return;
    }
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextUnformatted("This will permanently remove all files associated with this tag");
    ImGui::PopTextWrapPos();
    for (const std::string& line : summary_) ImGui::TextUnformatted(line.c_str());

    const float buttonWidth = 120 * s, rowHeight = 40 * s;
    const float bottom = ImGui::GetWindowHeight() - style.WindowPadding.y - rowHeight;
    if (!deleting_) {
        const float right = ImGui::GetWindowWidth() - style.WindowPadding.x;
        ImGui::SetCursorPos(ImVec2(right - buttonWidth, bottom));
        if (ImGui::Button("Cancel##PopupDeleteSession", ImVec2(buttonWidth, rowHeight))) {
            deleteIndex_ = -1;
            ImGui::CloseCurrentPopup();
        }
        ImGui::SetCursorPos(ImVec2(right - 2 * buttonWidth - 16 * s, bottom));
        ImGui::PushStyleColor(ImGuiCol_Button, kDeleteButton);
        ImGui::PushStyleColor(ImGuiCol_ButtonActive, kDeleteButton);
        if (ImGui::Button("Delete##PopupDeleteSession", ImVec2(buttonWidth, rowHeight))) {
            deletion.FillSessionDeletion(deleteIndex_);
            deleting_ = true;
            displayed_ = 0;
        }
        ImGui::PopStyleColor(2);
    } else {
        const size_t total = deletion.sessionTotal;
        const float progress = total > 0 ? 1.0f - float(deletion.sessionFiles.size()) / float(total) : 1.0f;
        displayed_ = EaseProgress(displayed_, progress, ImGui::GetIO().DeltaTime, false);
        ImGui::SetCursorPosY(bottom);
        ImGui::ProgressBar(displayed_, ImVec2(-1, rowHeight), "");
        if (deletion.SessionDeletionStep(displayed_)) {
            deleting_ = false;
            deleteIndex_ = -1;
            ImGui::CloseCurrentPopup();
        }
    }
    ImGui::EndPopup();
}

}  // namespace ui
