#include "UI/FileCopyPopup.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "Base/Alerts.h"
#include "Session/Export.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

struct FileCopyState {
    PopupRecord record;
    float displayed = 0;  // the bar's eased value
};

FileCopyState& State() {
    static FileCopyState state = [] {
        FileCopyState s;
        s.record.title = "Export Files";
        s.record.message = "Exporting selected files...";
        s.record.first = "Cancel";
        s.record.middle = "Close";  // kept in the record; this popup shows only Cancel
        return s;
    }();
    return state;
}

}  // namespace

PopupRecord& ExportPopup() { return State().record; }

uint64_t StartExportPopup() {
    PopupRecord& record = State().record;
    record.openState = PopupClosed;  // a new export always asks afresh
    record.isOpen = false;
    RequestPopup(record, 0, 0);
    return TheExportProgress().Begin();
}

float ExportFraction(int64_t total, int64_t done) {
    if (total <= 0) return 0.0f;
    return float(double(done) / double(total));
}

float EaseProgress(float displayed, float p, float dt, bool openedNow) {
    if (openedNow) return 0.0f;
    return std::min(p, displayed + (p + 0.005f - displayed) * 6.0f * dt);
}

void DrawFileCopyPopup(float W, float H, float s) {
    FileCopyState& state = State();
    PopupRecord& record = state.record;
    record.width = 400 * s;
    record.height = 260 * s;
    record.x = W / 2;
    record.y = H / 2;
    const bool openedNow = record.openState == PopupRequested;
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse;
    if (!BeginPopupRecord(record, PopupKind::Modal, flags, ImVec2(0.5f, 0.5f))) return;

    const ExportProgress::Snapshot progress = TheExportProgress().Read();
    const float p = ExportFraction(progress.total, progress.done);
    state.displayed = EaseProgress(state.displayed, p, ImGui::GetIO().DeltaTime, openedNow);

    DimLightlyBehindThisPopup();
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = ImGui::GetWindowWidth(), height = ImGui::GetWindowHeight();
    const float inner = width - 2 * style.WindowPadding.x;
    ImGui::SetCursorPos(ImVec2(style.WindowPadding.x, style.WindowPadding.y + 16 * s));
    TextInBox(TextCentred | TextWrap, ImVec2(inner, 64 * s), "%s", record.message.c_str());
    ImGui::SetCursorPosX(style.WindowPadding.x);
    ImGui::ProgressBar(state.displayed, ImVec2(inner, 0), "");

    if (progress.status < 0) {
        const auto size = SizeWithUnit(progress.total);
        ClosePopup(record);
        char text[160];
        std::snprintf(text, sizeof(text), "There was a problem copying files. Please check disk space (%d %s required)",
                      int(size.first), size.second);
        PostAlert(text);
    } else if (progress.total > 0 && progress.done >= progress.total && state.displayed >= 0.99f) {
        ClosePopup(record);
        PostAlert("Export successful");
    } else {
        const float buttonHeight = ImGui::GetTextLineHeight() + 2 * style.FramePadding.y;
        const float w = ImGui::CalcTextSize(record.first.c_str()).x + 2 * style.FramePadding.x + 32 * s;
        ImGui::SetCursorPos(ImVec2(width - style.WindowPadding.x - w, height - 64 * s + (64 * s - buttonHeight) / 2));
        if (ImGui::Button(record.first.c_str(), ImVec2(w, buttonHeight))) {
            record.result = 0;
            TheExportProgress().RequestStop();
            ClosePopup(record);
            PostAlert("Export stopped");
        }
    }
    EndPopupRecord(record);
}

}  // namespace ui
