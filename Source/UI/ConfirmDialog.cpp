#include "UI/ConfirmDialog.h"

#include <imgui.h>

#include "UI/Widgets.h"

namespace ui {

namespace {
PopupRecord* g_active = nullptr;  // UI thread: the record being asked
}  // namespace

void AskConfirmation(PopupRecord& record) {
    record.openState = PopupClosed;  // a fresh request even when it was left open
    record.isOpen = false;
    RequestPopup(record, 0, 0);
    g_active = &record;
}

bool TakeConfirmationAnswer(PopupRecord& record, int* answer) {
    if (g_active != &record || record.isOpen || record.openState != PopupClosed || record.result < 0) return false;
    *answer = record.result;
    record.result = -1;
    g_active = nullptr;
    return true;
}

PopupRecord* ActiveConfirmation() { return g_active; }

int ConfirmButtons(const PopupRecord& record, ConfirmButton out[3]) {
    int n = 0;
    out[n++] = ConfirmButton{record.first.c_str(), 0};
    if (!record.middle.empty()) out[n++] = ConfirmButton{record.middle.c_str(), 2};
    out[n++] = ConfirmButton{record.last.c_str(), 1};
    return n;
}

void DrawConfirmDialog(float W, float H, float s) {
    PopupRecord* record = g_active;
    if (record == nullptr) return;
    record->width = 640 * s;
    record->height = 240 * s;
    record->x = W / 2;
    record->y = H / 2;
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse;
    if (!BeginPopupRecord(*record, PopupKind::Modal, flags, ImVec2(0.5f, 0.5f))) {
        // Closed without a button (it cannot be, being modal): no answer, nothing asked.
        if (record->openState == PopupClosed && record->result < 0) g_active = nullptr;
        return;
    }
    DimLightlyBehindThisPopup();
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = ImGui::GetWindowWidth(), height = ImGui::GetWindowHeight();
    const float row = 64 * s;
    const float buttonHeight = ImGui::GetTextLineHeight() + 2 * style.FramePadding.y;
    // The message, wrapped, centred in the space above the button row.
    ImGui::SetCursorPos(ImVec2(style.WindowPadding.x, style.WindowPadding.y));
    TextInBox(TextCentred | TextWrap, ImVec2(width - 2 * style.WindowPadding.x, height - row - style.WindowPadding.y),
              "%s", record->message.c_str());
    ConfirmButton buttons[3];
    const int n = ConfirmButtons(*record, buttons);
    float right = width - style.WindowPadding.x;
    const float y = height - row + (row - buttonHeight) / 2;
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(198 / 255.0f, 26 / 255.0f, 31 / 255.0f, 1.0f));
    for (int i = 0; i < n; ++i) {
        const float w = ImGui::CalcTextSize(buttons[i].label).x + 2 * style.FramePadding.x + 32 * s;
        right -= w;
        ImGui::SetCursorPos(ImVec2(right, y));
        if (ImGui::Button(buttons[i].label, ImVec2(w, buttonHeight))) {
            record->result = buttons[i].answer;
            ClosePopup(*record);
        }
        right -= 16 * s;
    }
    ImGui::PopStyleColor();
    EndPopupRecord(*record);
}

}  // namespace ui
