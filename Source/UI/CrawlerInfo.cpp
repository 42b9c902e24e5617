#include "UI/CrawlerInfo.h"

#include <imgui.h>

#include <algorithm>
#include <memory>
#include <string>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "Base/Settings.h"
#include "UI/AxisEditor.h"
#include "UI/PanelValues.h"
#include "UI/Popup.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/Service.h"

namespace ui {

void DrawCrawlerInfo(AppState& app) {
    PopupRecord& record = Popups().crawlerInfo;
    const float s = app.UiScale;
    record.width = 760 * s;
    record.height = 0;
    // Placed 180 s left of the crawler region's centre, below the title bar;
    // that region ends 220 s from the window's right edge, so a popup this
    // wide would hang out of the window (its "Close" out of reach): kept
    // inside on the right, as the light view is.
    record.x = std::max(0.0f, std::min(record.x, ImGui::GetIO().DisplaySize.x - record.width - 2 * s));
    if (!BeginPopupRecord(record, PopupKind::Modal, ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                                        ImGuiWindowFlags_NoMove))
        return;
    if (picam::CountConnectedServices() == 0) {
        ClosePopup(record);
        EndPopupRecord(record);
        return;
    }
    int32_t units;
    ScanLinkValue positions[kScanLinkAxes];
    {
        std::lock_guard<std::mutex> hold(scanLinkLock);
        units = scanLinkState.units;
        for (int a = 0; a < kScanLinkAxes; ++a) positions[a] = scanLinkState.axisPosition[a];
    }
    const AxisLabels labels = RebuildAxisLabels(app.settings);
    ImGui::TextUnformatted("Axis Properties");
    ImGui::Separator();
    for (int axis = 0; axis < kScanLinkAxes; ++axis) {
        ImGui::PushID(axis);
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted(ScanLinkPositionText(positions[axis], units).c_str());
        ImGui::SameLine(220 * s);
        const std::vector<std::string>& list = axis == 0 ? labels.x : labels.y;
        int32_t& select = axis == 0 ? app.settings.AxisSelectX : app.settings.AxisSelectY;
        ImGui::SetNextItemWidth(260 * s);
        const char* preview = select >= 0 && select < static_cast<int>(list.size()) ? list[static_cast<size_t>(select)].c_str() : "";
        if (ImGui::BeginCombo("##TemplateAxisNames", preview)) {
            for (int k = 0; k < static_cast<int>(list.size()); ++k)
                if (ImGui::Selectable(list[static_cast<size_t>(k)].c_str(), k == select)) {
                    select = k;
                    SaveSettings(app.settings, app.dataFolder);
                }
            ImGui::EndCombo();
        }
        ImGui::SameLine();
        if (ImGui::Button("Zero")) SetAxisPosition(axis, 0);
        ImGui::SameLine();
        if (ImGui::Button("Edit")) OpenAxisEditor(app, axis);
        ImGui::PopID();
    }
    ImGui::Separator();
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Units:");
    ImGui::SameLine();
    if (ImGui::RadioButton("mm", units == kScanLinkUnitsMm)) {
        SetUnits(kScanLinkUnitsMm);
        RequestRefresh();
    }
    ImGui::SameLine();
    if (ImGui::RadioButton("inches", units == kScanLinkUnitsInch)) {
        SetUnits(kScanLinkUnitsInch);
        RequestRefresh();
    }
    ImGui::SameLine(ImGui::GetContentRegionMax().x - 120 * s);
    if (ImGui::Button("Close", ImVec2(120 * s, 0))) ClosePopup(record);
    DrawAxisEditor(app);  // stacked on this popup
    EndPopupRecord(record);
}

}  // namespace ui
