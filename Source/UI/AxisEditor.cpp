#include "UI/AxisEditor.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "Base/Settings.h"
#include "UI/OnScreenKeyboard.h"
#include "UI/PanelValues.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

constexpr const char* kAxisNames[kScanLinkAxes] = {"Crawler", "Raster"};
constexpr size_t kNameBytes = 17;    // 16 characters
constexpr size_t kNumberBytes = 64;

struct EditorState {
    int axis = 0;
    bool openRequest = false;
    std::string labelAtOpen;  // the custom label when the editor opened
    char name[kNameBytes] = {};
    char position[kNumberBytes] = {};
    char counts[kNumberBytes] = {};
};

EditorState& State() {
    static EditorState state;
    return state;
}

int NameFilter(ImGuiInputTextCallbackData* d) { return NameCharAllowed(d->EventChar) ? 0 : 1; }
int NumberFilter(ImGuiInputTextCallbackData* d) { return NumberCharAllowed(d->EventChar) ? 0 : 1; }

std::string& CustomLabel(Settings& s, int axis) { return axis == 0 ? s.AxisLabelX : s.AxisLabelY; }

// Rebuilds the lists and selects the custom entry (the last one).
void SelectCustomLabel(AppState& app, int axis) {
    const AxisLabels labels = RebuildAxisLabels(app.settings);
    const int last = static_cast<int>((axis == 0 ? labels.x : labels.y).size()) - 1;
    (axis == 0 ? app.settings.AxisSelectX : app.settings.AxisSelectY) = last;
    SaveSettings(app.settings, app.dataFolder);
}

}  // namespace

void OpenAxisEditor(AppState& app, int axis) {
    EditorState& st = State();
    st.axis = axis;
    st.openRequest = true;
    st.labelAtOpen = CustomLabel(app.settings, axis);
    snprintf(st.name, sizeof st.name, "%s", st.labelAtOpen.c_str());
}

void DrawAxisEditor(AppState& app) {
    EditorState& st = State();
    char title[64];
    snprintf(title, sizeof title, "Edit %s Axis###EditAxisPopup", kAxisNames[st.axis]);
    if (st.openRequest) {
        st.openRequest = false;
        ImGui::OpenPopup(title);
    }
    const float s = app.UiScale;
    const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
    ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(760 * s, 0), ImGuiCond_Always);
    if (!ImGui::BeginPopupModal(title, nullptr, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove)) return;
    if (picam::CountConnectedServices() == 0) {
        ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
        return;
    }
    const int axis = st.axis;
    int32_t units;
    ScanLinkValue position;
    int source;
    std::vector<PodCandidate> pods;
    int32_t scale;
    {
        std::lock_guard<std::mutex> hold(scanLinkLock);
        units = scanLinkState.units;
        position = scanLinkState.axisPosition[axis];
        source = scanLinkState.axisSource[axis];
        pods = PodCandidates(scanLinkState, axis);
        scale = scanLinkState.itemScale[source];
    }
    const float column = 260 * s;
    const float field = ImGui::GetContentRegionAvail().x - column - 140 * s;

    // 1. Axis name.
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Axis Name:");
    ImGui::SameLine(column);
    ImGui::SetNextItemWidth(field);
    const bool nameEntered = ImGui::InputText("##InputAxisName", st.name, sizeof st.name,
                                              ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_CallbackCharFilter,
                                              NameFilter);
    AttachKeyboard(false);
    if (nameEntered) {
        CustomLabel(app.settings, axis) = st.name;
        SelectCustomLabel(app, axis);
    } else if (ImGui::IsItemEdited()) {
        CustomLabel(app.settings, axis) = st.name;
    }

    // 2. Feedback pod, when there is a choice.
    if (pods.size() > 1) {
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Feedback Pod:");
        ImGui::SameLine(column);
        ImGui::SetNextItemWidth(field);
        const char* preview = "";
        for (const PodCandidate& p : pods)
            if (p.item == source) preview = p.name.c_str();
        if (ImGui::BeginCombo("##PodSelect", preview)) {
            for (const PodCandidate& p : pods) {
                ImGui::PushID(p.item);
                if (ImGui::Selectable(p.name.c_str(), p.item == source)) {
                    SetAxisSource(axis, p.item);
                    RequestRefresh();
                }
                ImGui::PopID();
            }
            ImGui::EndCombo();
        }
    }

    // 3. Position.
    char label[64];
    snprintf(label, sizeof label, "Position (%s):", ScanLinkUnitText(units));
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    ImGui::SameLine(column);
    ImGui::SetNextItemWidth(field);
    const ImGuiInputTextFlags numberFlags = ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_AutoSelectAll |
                                            ImGuiInputTextFlags_CallbackCharFilter;
    const bool positionEntered = ImGui::InputText("##InputZero", st.position, sizeof st.position, numberFlags, NumberFilter);
    AttachKeyboard(true);
    if (positionEntered) {
        double v;
        if (ParseNumberInput(st.position, &v)) {
            SetAxisPosition(axis, v);
            RequestRefresh();
        }
    }
    if (!ImGui::IsItemActive()) snprintf(st.position, sizeof st.position, "%.2f", ScanLinkValueOf(position));
    ImGui::SameLine();
    if (ImGui::Button("Zero")) {
        SetAxisPosition(axis, 0);
        RequestRefresh();
    }

    // 4. Counts per unit of the axis's source item.
    snprintf(label, sizeof label, "Counts per %s:", units == kScanLinkUnitsMm ? "mm" : "inch");
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(label);
    ImGui::SameLine(column);
    ImGui::SetNextItemWidth(field);
    const bool countsEntered = ImGui::InputText("##InputEncoderCounts", st.counts, sizeof st.counts, numberFlags, NumberFilter);
    AttachKeyboard(true);
    if (countsEntered) {
        double v;
        if (ParseNumberInput(st.counts, &v)) {
            SetItemScale(source, v);
            RequestRefresh();
        }
    }
    if (!ImGui::IsItemActive()) snprintf(st.counts, sizeof st.counts, "%f", scale / 65536.0);
    ImGui::SameLine();
    if (ImGui::Button("Auto")) {
        SetItemScale(source, 0);
        RequestRefresh();
    }

    // 5. Inversion: parameter 22 of the axis's group, on every slot's unit.
    bool inverted;
    {
        picam::ServiceRef unit0 = picam::AcquireService(0);
        std::lock_guard<std::mutex> hold(unit0->tableLock);
        inverted = unit0->groups[axis].params[picam::AxisInvert].value != 0;
    }
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Invert");
    ImGui::SameLine(column);
    if (ImGui::Checkbox("##InvertEncoder", &inverted)) {
        const int32_t v = inverted ? 1 : 0;
        for (AV::CameraSlot& slot : app.slots) {
            if (&slot >= app.slots + app.boundSlotCount) break;
            SlotParamBlock(app, &slot).params[picam::AxisInvert].value = v;
            picam::ServiceRef service = picam::AcquireService(slot.cameraIndex);
            std::lock_guard<std::mutex> hold(service->tableLock);
            service->SetParam_locked(axis, picam::AxisInvert, v);
            service->PackChanges_locked();
        }
        SaveSettings(app.settings, app.dataFolder);
    }

    // 6. Done.
    ImGui::Spacing();
    if (ImGui::Button("Done", ImVec2(160 * s, 0))) {
        CustomLabel(app.settings, axis) = st.name;
        if (CustomLabel(app.settings, axis) != st.labelAtOpen) SelectCustomLabel(app, axis);
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
}

}  // namespace ui
