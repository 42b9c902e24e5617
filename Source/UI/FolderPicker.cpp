#include "UI/FolderPicker.h"

#include <imgui.h>

#include <algorithm>
#include <filesystem>

#include "UI/Style.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

constexpr const char* kBrowserTitle = "Choose a folder";
constexpr const char* kOverlayTitle = "Choose a folder##SystemChooser";

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(path, ec);
}

}  // namespace

FolderPicker& TheFolderPicker() {
    static FolderPicker picker;
    return picker;
}

std::vector<std::string> SubfolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        if (entry.is_directory(typeError)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ParentFolder(const std::string& folder) {
    const size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return folder.substr(0, slash);
}

std::string ChildFolder(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string NearestExistingFolder(const std::string& start) {
    std::string folder = Path(start).Text();  // separators normalised, no trailing one
    if (folder.empty() || folder[0] != '/') return "/";
    for (int depth = 0; depth < 256; ++depth) {
        if (IsFolder(folder)) return folder;
        if (folder == "/") break;
        folder = ParentFolder(folder);
    }
    return "/";
}

void FolderPicker::Request(FolderPickOwner owner, const Path& initial, bool tabletMode) {
    if (Busy() || owner == FolderPickOwner::None) return;
    owner_ = owner;
    answeredOwner_ = FolderPickOwner::None;
    answer_ = Result::Pending;
    const std::string chooser = tabletMode ? std::string() : platform::ExternalFolderChooser();
    external_ = !chooser.empty() && job_.Start(platform::FolderChooserCommand(chooser, initial));
    if (!external_) Browse(NearestExistingFolder(initial.Text()));
    openRequest_ = true;
}

FolderPicker::Result FolderPicker::Take(FolderPickOwner owner, Path* folder) {
    if (owner != answeredOwner_ || answer_ == Result::Pending) return Result::Pending;
    const Result result = answer_;
    if (result == Result::Picked && folder != nullptr) *folder = answerFolder_;
    answeredOwner_ = FolderPickOwner::None;
    answer_ = Result::Pending;
    return result;
}

void FolderPicker::Finish(Result result, const Path& folder) {
    answeredOwner_ = owner_;
    answer_ = result;
    answerFolder_ = folder;
    owner_ = FolderPickOwner::None;
    external_ = false;
}

void FolderPicker::Browse(const std::string& folder) {
    browsed_ = folder;
    subfolders_ = SubfolderNames(folder);
}

void FolderPicker::Draw(float W, float H, float s) {
    if (!Busy()) return;
    if (external_) {
        DrawOverlay(W, H, s);
    } else {
        DrawBrowser(W, H, s);
    }
}

void FolderPicker::DrawOverlay(float W, float H, float s) {
    Path folder;
    switch (job_.Poll(&folder)) {
    case platform::FolderDialogJob::State::Picked:
        Finish(Result::Picked, folder);
        return;
    case platform::FolderDialogJob::State::Cancelled:
        Finish(Result::Cancelled, Path());
        return;
    case platform::FolderDialogJob::State::Failed:
        // The chooser could not run: the in-program browser takes over.
        external_ = false;
        openRequest_ = true;
        if (browsed_.empty()) Browse("/");
        return;
    default:
        break;
    }
    if (openRequest_) {
        ImGui::OpenPopup(kOverlayTitle);
        openRequest_ = false;
    }
    ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(400 * s, 120 * s), ImGuiCond_Always);
    if (ImGui::BeginPopupModal(kOverlayTitle, nullptr,
                               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove)) {
        TextInBox(TextCentred, ImGui::GetContentRegionAvail(), "Choose a folder in the window that has opened");
        ImGui::EndPopup();
    }
}

void FolderPicker::DrawBrowser(float W, float H, float s) {
    if (openRequest_) {
        ImGui::OpenPopup(kBrowserTitle);
        openRequest_ = false;
    }
    const float w = 640 * s, h = 480 * s;
    ImGui::SetNextWindowPos(ImVec2(W / 2, H / 2), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(w, h), ImGuiCond_Always);
    ImGui::PushStyleColor(ImGuiCol_ModalWindowDimBg, ImVec4(0, 0, 0, 0.2f));
    const bool open = ImGui::BeginPopupModal(kBrowserTitle, nullptr,
                                             ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                                 ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoScrollbar);
    ImGui::PopStyleColor();
    if (!open) {
        // Closed without an answer (Escape): a cancel.
        Finish(Result::Cancelled, Path());
        return;
    }
    // Layout: title and path on top, the sub-folder list, the buttons at the
    // bottom; rows are 40 s high so fingers can hit them.
    const float row = 40 * s, pad = 16 * s, button = 120 * s;
    ImGui::SetCursorPos(ImVec2(pad, pad));
    ImGui::TextUnformatted(kBrowserTitle);
    ImGui::SetCursorPos(ImVec2(pad, pad + row));
    if (ImGui::Button("Up##FolderUp", ImVec2(button, row))) Browse(ParentFolder(browsed_));
    ImGui::SameLine();
    ImGui::SetCursorPosY(pad + row + (row - ImGui::GetTextLineHeight()) / 2);
    ImGui::TextUnformatted(browsed_.c_str());

    std::string next;
    const float listTop = pad + 2 * row + pad / 2, listBottom = h - pad - row - pad / 2;
    ImGui::SetCursorPos(ImVec2(pad, listTop));
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(0, 0));
    ImGui::BeginChild("##FolderList", ImVec2(w - 2 * pad, listBottom - listTop), false);
    if (subfolders_.empty()) ImGui::TextDisabled("No folders here");
    for (const std::string& name : subfolders_) {
        if (ImGui::Selectable(name.c_str(), false, 0, ImVec2(0, row))) next = ChildFolder(browsed_, name);
    }
    ImGui::EndChild();
    ImGui::PopStyleVar();
    if (!next.empty()) Browse(next);

    ImGui::SetCursorPos(ImVec2(w - pad - button, h - pad - row));
    if (ImGui::Button("Cancel##FolderPicker", ImVec2(button, row))) {
        Finish(Result::Cancelled, Path());
        ImGui::CloseCurrentPopup();
    }
    ImGui::SetCursorPos(ImVec2(w - 2 * pad - 2 * button, h - pad - row));
    // The root itself cannot be chosen: media never go straight into "/".
    ImGui::BeginDisabled(browsed_ == "/");
    if (ImGui::Button("Choose##FolderPicker", ImVec2(button, row))) {
        Finish(IsFolder(browsed_) ? Result::Picked : Result::Cancelled, Path(browsed_));
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndDisabled();
    ImGui::EndPopup();
}

}  // namespace ui
