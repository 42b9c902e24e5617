#include "UI/DeleteFilesPopup.h"

#include <imgui.h>

#include "App/AppState.h"
#include "App/AppSessions.h"
#include "Session/Deletion.h"
#include "UI/FileCopyPopup.h"
#include "UI/Widgets.h"

namespace ui {

namespace {
constexpr const char* kPopupName = "Delete Files##DeleteFileProgress";
}

DeleteFilesPopup& TheDeleteFilesPopup() {
    static DeleteFilesPopup popup;
    return popup;
}

void DeleteFilesPopup::Draw(AppState& app) {
    MediaDeletion& deletion = Deletions();
    const float s = app.UiScale;
    if (openRequest_) {
        openRequest_ = false;
        deletion.filesTotal = deletion.files.size();
        displayed_ = deletion.files.empty() ? 1.0f : 0.0f;
        ImGui::OpenPopup(kPopupName);
    }
    const float W = float(app.ClientWidth), H = float(app.ClientHeight);
    ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(640 * s, 176 * s), ImGuiCond_Always);
    ImGui::PushStyleColor(ImGuiCol_ModalWindowDimBg, ImVec4(0, 0, 0, 0.2f));
    const bool open = ImGui::BeginPopupModal(kPopupName, nullptr,
                                             ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                                 ImGuiWindowFlags_NoCollapse);
    ImGui::PopStyleColor();
    if (!open) return;
    ImGui::TextUnformatted("Deleting ...");
    const size_t total = deletion.filesTotal;
    const float progress = total > 0 ? 1.0f - float(deletion.files.size()) / float(total) : 1.0f;
    displayed_ = EaseProgress(displayed_, progress, ImGui::GetIO().DeltaTime, false);
    ImGui::ProgressBar(displayed_, ImVec2(-1, 40 * s), "");
    // The step stops the player first when it shows the file, and refreshes
    // the sessions once the list is empty and the bar has reached the end.
    if (deletion.FileDeletionStep(displayed_)) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

}  // namespace ui
