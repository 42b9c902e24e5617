#include "UI/SettingRows.h"

#include <imgui.h>

#include "Platform/GraphicsGL/BuiltInImages.h"
#include "UI/OnScreenKeyboard.h"
#include "UI/PanelValues.h"
#include "UI/Widgets.h"

namespace ui {

namespace {

float Scale() { return ImGui::GetFontSize() / 26.0f; }
float IconSize() { return 32 * Scale(); }

// Starts a row: the label, then the cursor at the control column. Rows
// measure from where they start, so they also fit table columns.
void BeginRow(const char* label) {
    ImGui::PushID(label);
    const float start = ImGui::GetCursorPosX();
    const float label_w = RowLabelWidth(), control_w = RowControlWidth();
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    ImGui::SetCursorPosX(start + label_w);  // window-relative, like GetCursorPosX (table cells included)
    ImGui::SetNextItemWidth(control_w);
}

void EndRow() { ImGui::PopID(); }

int FilterName(ImGuiInputTextCallbackData* data) { return NameCharAllowed(data->EventChar) ? 0 : 1; }
int FilterNumber(ImGuiInputTextCallbackData* data) { return NumberCharAllowed(data->EventChar) ? 0 : 1; }

}  // namespace

float RowLabelWidth() { return ImGui::GetContentRegionAvail().x * 0.42f; }
float RowControlWidth() {
    return ImGui::GetContentRegionAvail().x - RowLabelWidth() - IconSize() - 3 * ImGui::GetStyle().ItemSpacing.x;
}

void SectionHeader(const char* text) {
    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.91f, 0.13f, 0.18f, 1));
    ImGui::TextUnformatted(text);
    ImGui::PopStyleColor();
    ImGui::Separator();
}

bool RowCombo(const char* label, const std::vector<std::string>& labels, int* current) {
    BeginRow(label);
    bool picked = false;
    const char* preview = *current >= 0 && *current < static_cast<int>(labels.size()) ? labels[static_cast<size_t>(*current)].c_str() : "";
    if (ImGui::BeginCombo("##SettingCombo", preview)) {
        for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
            ImGui::PushID(i);
            if (ImGui::Selectable(labels[static_cast<size_t>(i)].c_str(), i == *current)) {
                *current = i;
                picked = true;
            }
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    EndRow();
    return picked;
}

bool RowCheckbox(const char* label, bool* value) {
    BeginRow(label);
    const bool toggled = ImGui::Checkbox("##SettingCheckbox", value);
    EndRow();
    return toggled;
}

SliderChange RowSliderInt(const char* label, int* value, int minimum, int maximum, const char* format, const char* id) {
    BeginRow(label);
    SliderChange c;
    c.moved = ImGui::SliderInt(id, value, minimum, maximum, format, ImGuiSliderFlags_AlwaysClamp);
    c.released = ImGui::IsItemDeactivatedAfterEdit();
    EndRow();
    return c;
}

SliderChange RowSliderFloat(const char* label, float* value, float minimum, float maximum, const char* format,
                            const char* id) {
    BeginRow(label);
    SliderChange c;
    c.moved = ImGui::SliderFloat(id, value, minimum, maximum, format, ImGuiSliderFlags_AlwaysClamp);
    c.released = ImGui::IsItemDeactivatedAfterEdit();
    EndRow();
    return c;
}

bool RowTextInput(const char* label, char* buffer, size_t size, InputChars chars, bool* editing, const char* id) {
    BeginRow(label);
    const bool enter = ImGui::InputText(
        id, buffer, size,
        ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_AutoSelectAll | ImGuiInputTextFlags_CallbackCharFilter,
        chars == InputChars::Name ? FilterName : FilterNumber);
    AttachKeyboard(chars == InputChars::Number);
    if (editing) *editing = ImGui::IsItemActive();
    EndRow();
    return enter;
}

bool RowButton(const char* text, const char* id) {
    ImGui::PushID(text);
    const std::string label = std::string(text) + id;
    const bool pressed = ImGui::Button(label.c_str(), ImVec2(ImGui::GetContentRegionAvail().x, 0));
    ImGui::PopID();
    return pressed;
}

void RowText(const char* label, const char* value) {
    ImGui::PushID(label);
    const float start = ImGui::GetCursorPosX(), label_w = RowLabelWidth();
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    ImGui::SameLine();
    ImGui::SetCursorPosX(start + label_w);
    ImGui::TextUnformatted(value);
    ImGui::PopID();
}

bool RowReset(bool show, const char* id) {
    if (!show) return false;
    ImGui::SameLine(ImGui::GetContentRegionMax().x - IconSize() - ImGui::GetStyle().ItemSpacing.x);
    ImGui::PushID(id);
    const bool pressed = IconButton(GL::BuiltIns().undo, true, 0);
    ImGui::PopID();
    return pressed;
}

}  // namespace ui
