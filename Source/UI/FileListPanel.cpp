// Sections: state; export; delete; the list; the panel.
#include "UI/FileListPanel.h"

#include <imgui.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Base/FileServices.h"
#include "App/AppSessions.h"
#include "Session/Deletion.h"
#include "Session/Export.h"
#include "Session/Library.h"
#include "UI/ConfirmDialog.h"
#include "UI/DeleteFilesPopup.h"
#include "UI/FileCopyPopup.h"
#include "UI/FolderPicker.h"
#include "UI/MediaSelection.h"
#include "UI/SessionListMath.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

// ---- state ------------------------------------------------------------------------

struct FileListState {
    bool selectMode = false;
    TickMarks ticks;  // per viewable list, one mark per file
    int selectedCount = 0;
    int lastDrawnFrame = -1;  // ticks are dropped when the panel was hidden
    PopupRecord deleteQuestion;  // "Delete Files"
};
FileListState g_list;  // UI thread

bool IsFolder(const Path& path) {
    platform::FileInfo info;
    return platform::GetFileInfo(path, &info) && info.isDirectory;
}

// ---- export -----------------------------------------------------------------------

void RequestExport(AppState& app) {
    Settings& settings = app.settings;
    if (settings.RecentExport.empty() || !IsFolder(Path(settings.RecentExport))) {
        settings.RecentExport = platform::DocumentsFolder().Text();
    }
    TheFolderPicker().Request(FolderPickOwner::Export, Path(settings.RecentExport), settings.TabletMode);
}

void StartExport(AppState& app, const Path& folder) {
    SessionStore& store = Sessions();
    std::vector<Path> sources;
    std::vector<std::string> names;
    for (size_t i = 0; i < g_list.ticks.size() && i < store.viewable.size(); ++i) {
        for (size_t j = 0; j < g_list.ticks[i].size() && j < store.viewable[i].size(); ++j) {
            if (g_list.ticks[i][j] != 1) continue;
            const MediaEntry& entry = store.viewable[i][j];
            const Path source = store.MediaPath(int(i), entry);
            platform::FileInfo info = store.MediaInfoFor(source.Text()).file;
            bool known = info.lastWrite != 0 || platform::GetFileInfo(source, &info);
            const std::string name = known ? ExportFileName(store.sessions[i].name, entry, info)
                                           : std::string(source.Name());
            sources.push_back(source);
            names.push_back(name);
        }
    }
    if (sources.empty()) return;
    MakeNamesDistinct(&names);
    std::vector<Path> destinations;
    for (const std::string& name : names) destinations.push_back(Join(folder, name));
    app.settings.RecentExport = folder.Text();
    SaveSettings(app.settings, app.dataFolder);
    const uint64_t id = StartExportPopup();
    if (!StartCopy(std::move(sources), std::move(destinations), TheExportProgress().RoutineFor(id))) {
        PostAlert("Could not export files");
        ClosePopup(ExportPopup());
    }
}

void TakeExportFolder(AppState& app) {
    Path folder;
    if (TheFolderPicker().Take(FolderPickOwner::Export, &folder) == FolderPicker::Result::Picked)
        StartExport(app, folder);
}

// ---- delete -----------------------------------------------------------------------

void AskDelete() {
    PopupRecord& record = g_list.deleteQuestion;
    record.title = "Delete Files";
    record.message = "Are you sure you want to delete the selected file(s)?";
    record.first = "Cancel";
    record.middle.clear();
    record.last = "Delete";
    AskConfirmation(record);
}

void TakeDeleteAnswer() {
    int answer = -1;
    if (!TakeConfirmationAnswer(g_list.deleteQuestion, &answer) || answer <= 0) return;
    SessionStore& store = Sessions();
    std::vector<Path> paths;
    for (size_t i = 0; i < g_list.ticks.size() && i < store.viewable.size(); ++i)
        for (size_t j = 0; j < g_list.ticks[i].size() && j < store.viewable[i].size(); ++j)
            if (g_list.ticks[i][j] == 1) paths.push_back(store.MediaPath(int(i), store.viewable[i][j]));
    if (paths.empty()) return;
    for (auto& marks : g_list.ticks) marks.clear();
    Deletions().FillFileDeletion(std::move(paths));
    TheDeleteFilesPopup().Request();
}

// ---- the list -----------------------------------------------------------------------

void DragScroll() {
    if (ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem) && ImGui::IsMouseDragging(0))
        ImGui::SetScrollY(ImGui::GetScrollY() - ImGui::GetIO().MouseDelta.y);
}

void DayHeadingBand(const std::string& text, bool first, float s) {
    if (!first) ImGui::Dummy(ImVec2(0, 10 * s));
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    const float width = ImGui::GetContentRegionAvail().x;
    const float height = 12 * s + ImGui::GetTextLineHeight();
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->AddRectFilled(p0, ImVec2(p0.x + width, p0.y + height), IM_COL32(42, 42, 48, 255), 2 * s);
    list->AddText(ImVec2(p0.x + 8 * s, p0.y + 6 * s), ImGui::GetColorU32(ImGuiCol_Text), text.c_str());
    ImGui::Dummy(ImVec2(width, height));
}

void FileRow(AppState& app, int i, int j, const DayGroupRow& day, std::vector<int32_t>& marks) {
    SessionStore& store = Sessions();
    GL::BuiltInImages& icons = GL::BuiltIns();
    const float s = app.UiScale;
    const MediaEntry entry = store.viewable[i][j];
    const MediaInfo& info = store.FillMediaInfo(i, entry);
    const bool recording = store.IsBeingRecorded(store.MediaPath(i, entry).Text());
    const FileRowText row = FileRowLabel(entry, info, recording, day.shown);

    const float rowHeight = 52 * s;
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    const float width = ImGui::GetContentRegionAvail().x;
    ImGui::PushID(j);
    const bool highlighted = i == store.selectedList && j == store.selectedFile;
    ImDrawList* list = ImGui::GetWindowDrawList();
    list->ChannelsSplit(2);  // 0: the row's background, 1: its contents
    list->ChannelsSetCurrent(1);
    // The tick box comes first and the row's button starts right of it, so
    // a press on the box never selects the row.
    float x = p0.x + 8 * s;
    const bool tickable = g_list.selectMode && row.selectable;
    if (tickable) {
        ImGui::SetCursorScreenPos(ImVec2(x, p0.y + (rowHeight - ImGui::GetFrameHeight()) / 2));
        bool ticked = marks[j] == 1;
        if (ImGui::Checkbox("##SessionBox", &ticked)) marks[j] = ticked ? 1 : 0;
        x += ImGui::GetFrameHeight() + 8 * s;
    } else {
        marks[j] = -1;
    }
    const float buttonX = tickable ? x - 4 * s : p0.x;
    ImGui::SetCursorScreenPos(ImVec2(buttonX, p0.y));
    if (ImGui::InvisibleButton("##FileSelectButton", ImVec2(std::max(1.0f, p0.x + width - buttonX), rowHeight)))
        SelectMedia(app, i, j);
    const bool hovered = ImGui::IsItemHovered();
    if (highlighted || hovered) {
        list->ChannelsSetCurrent(0);  // behind the tick box and the label
        list->AddRectFilled(p0, ImVec2(p0.x + width, p0.y + rowHeight),
                            ImGui::GetColorU32(highlighted ? ImGuiCol_Header : ImGuiCol_HeaderHovered));
        list->ChannelsSetCurrent(1);
    }
    const GL::ImageQuad& icon = entry.type == MediaType::Video ? icons.videoFile : icons.imageFile;
    if (icon.texture) {
        const float ih = std::min(icon.height, rowHeight - 8 * s), iw = icon.height > 0 ? icon.width * ih / icon.height : 0;
        const ImVec2 i0(x, p0.y + (rowHeight - ih) / 2);
        list->AddImage(icon.texture->UiTextureId(), i0, ImVec2(i0.x + iw, i0.y + ih), ImVec2(icon.u0, icon.v0),
                       ImVec2(icon.u1, icon.v1));
        x += iw + 8 * s;
    }
    list->AddText(ImVec2(x, p0.y + (rowHeight - ImGui::GetTextLineHeight()) / 2), ImGui::GetColorU32(ImGuiCol_Text),
                  row.label.c_str());
    list->ChannelsMerge();
    ImGui::SetCursorScreenPos(ImVec2(p0.x, p0.y + rowHeight));
    ImGui::PopID();
}

void SessionList(AppState& app, int i, const LocalTime& today) {
    SessionStore& store = Sessions();
    const float s = app.UiScale;
    const std::vector<MediaEntry>& files = store.viewable[i];
    std::vector<int32_t>& marks = g_list.ticks[i];
    ImGui::PushID(i);
    if (i == store.selectedList) ImGui::SetNextItemOpen(true, ImGuiCond_Once);
    const std::string label = SessionHeaderLabel(store.sessions[i].name, int(files.size()));
    const bool open = ImGui::CollapsingHeader(label.c_str(), ImGuiTreeNodeFlags_AllowItemOverlap);
    if (g_list.selectMode) {
        ImGui::SameLine(ImGui::GetContentRegionMax().x - ImGui::GetFrameHeight() - 8 * s);
        bool ticked = SessionBoxTicked(marks);
        if (ImGui::Checkbox("##SessionBox", &ticked)) SetSessionBox(&marks, ticked);
    }
    if (open) {
        if (files.empty()) {
            ImGui::Dummy(ImVec2(0, 24 * s));
            TextInBox(TextCentred, ImVec2(ImGui::GetContentRegionAvail().x, ImGui::GetTextLineHeight()),
                      "No Media Files");
            ImGui::Dummy(ImVec2(0, 24 * s));
        } else {
            std::vector<platform::FileTime> lastWrites;
            lastWrites.reserve(files.size());
            for (const MediaEntry& entry : files) lastWrites.push_back(store.FillMediaInfo(i, entry).file.lastWrite);
            const std::vector<DayGroupRow> days = GroupByDay(lastWrites, today);
            for (size_t j = 0; j < files.size(); ++j) {
                if (days[j].heading) DayHeadingBand(days[j].headingText, j == 0, s);
                FileRow(app, i, int(j), days[j], marks);
            }
        }
    }
    ImGui::PopID();
}

}  // namespace

// ---- the panel ----------------------------------------------------------------------

void DrawFileListPanel(AppState& app, ViewRect place) {
    TakeExportFolder(app);
    TakeDeleteAnswer();
    SessionStore& store = Sessions();
    const float s = app.UiScale;
    std::vector<size_t> lengths;
    for (const auto& list : store.viewable) lengths.push_back(list.size());
    if (g_list.lastDrawnFrame != ImGui::GetFrameCount() - 1) g_list.ticks.clear();
    g_list.lastDrawnFrame = ImGui::GetFrameCount();
    ResizeTicks(&g_list.ticks, lengths, g_list.selectMode);
    g_list.selectedCount = CountTicked(g_list.ticks);

    BeginPanel("FileListPanel", ImVec2(place.x, place.y), ImVec2(place.w, place.h), ImGui::GetStyle().Colors[ImGuiCol_WindowBg],
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
    // Fixed sizes, so fingers (and the UI tests) find the buttons and rows.
    const float pad = 8 * s, buttonW = 120 * s, buttonH = 40 * s;
    const float headerHeight = buttonH + 2 * pad;
    ImGui::SetCursorPos(ImVec2(pad, pad));
    ImGui::BeginChild("##ListHeader", ImVec2(place.w - 2 * pad, buttonH), false, ImGuiWindowFlags_NoScrollbar);
    if (ImGui::Button("Select", ImVec2(buttonW, buttonH))) g_list.selectMode = !g_list.selectMode;
    if (g_list.selectMode && g_list.selectedCount >= 1) {
        ImGui::SetCursorPos(ImVec2(buttonW + pad, 0));
        // One export at a time: a new one only once the last one's popup has closed.
        if (ImGui::Button("Export##SelectedFiles", ImVec2(buttonW, buttonH)) && !TheFolderPicker().Busy() &&
            !PopupShowing(ExportPopup()))
            RequestExport(app);
        ImGui::SetCursorPos(ImVec2(2 * (buttonW + pad), 0));
        if (ImGui::Button("Delete##SelectedFiles", ImVec2(buttonW, buttonH))) AskDelete();
    }
    ImGui::EndChild();
    ImGui::SetCursorPos(ImVec2(pad, headerHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(ImGui::GetStyle().ItemSpacing.x, 0));
    ImGui::BeginChild("##ListContents", ImVec2(place.w - 2 * pad, place.h - headerHeight - pad), false);
    DragScroll();
    const LocalTime today = LocalNow();
    for (int i = 0; i < int(store.viewable.size()) && i < int(store.sessions.size()); ++i) SessionList(app, i, today);
    ImGui::EndChild();
    ImGui::PopStyleVar();
    ImGui::End();
}

}  // namespace ui
