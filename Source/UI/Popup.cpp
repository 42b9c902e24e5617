#include "UI/Popup.h"

#include <imgui_internal.h>

namespace ui {

namespace {
ImGuiWindow* g_lightlyDimmed = nullptr;  // UI thread: the popup of this frame that dims at 20 %
float g_styleDimAlpha = -1;              // the style's own modal dimming, taken once per style build
}  // namespace

void DimLightlyBehindThisPopup() { g_lightlyDimmed = ImGui::GetCurrentWindow(); }

void ApplyModalDimming() {
    ImVec4& dim = ImGui::GetStyle().Colors[ImGuiCol_ModalWindowDimBg];
    if (g_styleDimAlpha < 0 || (dim.w != 0.2f && dim.w != g_styleDimAlpha)) g_styleDimAlpha = dim.w;
    ImGuiWindow* top = ImGui::GetTopMostPopupModal();
    dim = top != nullptr && top == g_lightlyDimmed ? ImVec4(0, 0, 0, 0.2f) : ImVec4(dim.x, dim.y, dim.z, g_styleDimAlpha);
    g_lightlyDimmed = nullptr;
}

ProgramPopups& Popups() {
    static ProgramPopups popups = [] {
        ProgramPopups p;
        p.cameraViewLayout.title = "CameraViewLayout";
        p.lightView.title = "LightView";
        p.session.title = "OpenSession";
        p.crawlerInfo.title = "CrawlerInfo";
        return p;
    }();
    return popups;
}

void RequestPopup(PopupRecord& record, float x, float y) {
    if (PopupShowing(record)) return;
    record.x = x;
    record.y = y;
    record.width = 0;
    record.height = 0;
    record.openState = PopupRequested;
    record.result = -1;
    record.isOpen = false;
}

void ClosePopup(PopupRecord& record) { record.openState = PopupClosed; }

bool PopupShowing(const PopupRecord& record) { return record.openState != PopupClosed || record.isOpen; }

bool BeginPopupRecord(PopupRecord& record, PopupKind kind, ImGuiWindowFlags flags, ImVec2 pivot) {
    const char* id = record.title.c_str();
    if (record.openState == PopupRequested) {
        ImGui::OpenPopup(id);
        record.openState = PopupOpenedNow;
    } else if (record.openState == PopupOpenedNow) {
        record.openState = PopupOpen;
    } else if (record.openState == PopupClosed && record.isOpen) {
        // Closed by its owner between frames: close it in the UI as well.
        if (ImGui::IsPopupOpen(id)) {
            ImGuiContext& g = *ImGui::GetCurrentContext();
            for (int i = 0; i < g.OpenPopupStack.Size; ++i) {
                if (g.OpenPopupStack[i].PopupId == ImGui::GetID(id)) {
                    ImGui::ClosePopupToLevel(i, true);
                    break;
                }
            }
        }
        record.isOpen = false;
        return false;
    }
    if (!ImGui::IsPopupOpen(id)) {
        if (record.openState == PopupOpen) record.openState = PopupClosed;
        record.isOpen = false;
        return false;
    }
    ImGui::SetNextWindowPos(ImVec2(record.x, record.y), ImGuiCond_Always, pivot);
    // A width alone fixes the width and fits the height to the contents
    // (ImGui fits an axis given as 0).
    if (record.width > 0) {
        ImGui::SetNextWindowSize(ImVec2(record.width, record.height > 0 ? record.height : 0.0f), ImGuiCond_Always);
    }
    bool open = false;
    if (kind == PopupKind::Modal) {
        open = ImGui::BeginPopupModal(id, nullptr, flags);
    } else {
        open = ImGui::BeginPopup(id, flags);
    }
    record.isOpen = open;
    if (!open) record.openState = PopupClosed;
    return open;
}

void EndPopupRecord(PopupRecord& record) {
    if (record.openState == PopupClosed) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

}  // namespace ui
