// Section index
//   tables          status rows, series, registers
//   status list     one block per ready unit
//   diagnostics     video mode, stress test, drive sliders, plots, error bytes, registers
#include "UI/DiagnosticsPanel.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "App/AppState.h"
#include "App/AppSessions.h"
#include "UI/PanelValues.h"
#include "UI/SettingRows.h"
#include "Video/Camera/Catalogue.h"

namespace ui {

namespace {

// ---- tables ------------------------------------------------------------------------------------

struct StatusRow {
    const char* label;
    int index;
    int group;
};
constexpr StatusRow kStatusRows[] = {{"CPU:", picam::CpuClock, 0},   {"SYS:", picam::SysStatus, 0},
                                     {"CAN:", picam::CanStatus, 0},  {"CAM 1:", picam::CamStatus, 0},
                                     {"PIC 1:", picam::PicStatus, 0}, {"CAM 2:", picam::CamStatus, 1},
                                     {"PIC 2:", picam::PicStatus, 1}};

struct Series {
    const char* label;
    int index;
    float minimum, maximum;
};
constexpr Series kTemperatureSeries[] = {{"LED1", picam::LedTemperatureA, 20, 85}, {"LED2", picam::LedTemperatureB, 20, 85},
                                         {"CASE", picam::CaseTemperature, 20, 85}, {"CHIP", picam::InternalTemperature, 20, 85},
                                         {"ASL", picam::AslTemperature, 20, 175},  {"CPU", picam::ProcessorTemperature, 20, 85}};
constexpr Series kPowerSeries[] = {{"Vin", picam::LedVin, -1, 100}, {"Vout", picam::LedVout, -1, 10},
                                   {"Current", picam::LedCurrent, 0, 4}};

constexpr std::pair<const char*, int> kRegisterRows[] = {
    {"DIAG1:", picam::Diag1}, {"DIAG2:", picam::Diag2}, {"DIAG3:", picam::Diag3}, {"BSUV:", picam::BsuvRegister}};

const ImVec4 kWarning(1, 0.5f, 0, 1);

ImVec4 ToImVec4(const Rgba& c) { return ImVec4(c.r, c.g, c.b, c.a); }

float g_stressCountdown_s = 0;  // UI thread

// A copy of both groups of a unit (60 KB each: on the heap).
std::unique_ptr<picam::ParamGroup[]> CopyGroups(picam::Service& service) {
    std::unique_ptr<picam::ParamGroup[]> groups(new picam::ParamGroup[picam::kGroupCount]);
    for (int g = 0; g < picam::kGroupCount; ++g) {
        std::lock_guard<std::mutex> hold(service.tableLock);
        memcpy(&groups[g], &service.groups[g], sizeof(picam::ParamGroup));
    }
    return groups;
}

// ---- status list ----------------------------------------------------------------------------------

void DrawStatusRows(const picam::ParamGroup* groups) {
    const int64_t groupCount = picam::ShownValueInt(groups[0].params[picam::GroupCount]);
    for (const StatusRow& row : kStatusRows) {
        const bool cam = row.index == picam::CamStatus;
        const int64_t value = StatusRowValue(groups[row.group].params[row.index], cam, row.group, groupCount);
        ImGui::TextUnformatted(row.label);
        ImGui::SameLine(120 * ImGui::GetFontSize() / 26.0f);
        if (row.index == picam::CpuClock)
            ImGui::Text("%d MHz", static_cast<int>(value / 1000000));
        else
            ImGui::TextColored(ToImVec4(StatusColour(value)), "%s", StatusName(value).c_str());
    }
}

// ---- diagnostics ------------------------------------------------------------------------------------

void SendNow(picam::Service& service, int group, int index, int32_t value) {
    std::lock_guard<std::mutex> hold(service.tableLock);
    service.SetParam_locked(group, index, value);
    service.PackChanges_locked();
}

void DrawVideoMode(picam::Service& service, const picam::ParamGroup& g, int group) {
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Video Mode");
    const int current = picam::FindResolutionPreset(g.params[picam::VideoWidth].value, g.params[picam::VideoHeight].value,
                                                    g.params[picam::VideoFrameRate].value);
    for (int k = 0; k < 5; ++k) {
        ImGui::SameLine();
        const char name[2] = {static_cast<char>('A' + k), 0};
        if (k == current) ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.80f, 0.10f, 0.14f, 1));
        const bool pressed = ImGui::Button(name);
        if (k == current) ImGui::PopStyleColor();
        if (pressed) {
            const picam::ResolutionPreset& p = picam::kResolutionPresets[k];
            std::lock_guard<std::mutex> hold(service.tableLock);
            service.SetParam_locked(group, picam::VideoWidth, p.width);
            service.SetParam_locked(group, picam::VideoHeight, p.height);
            service.SetParam_locked(group, picam::VideoFrameRate, p.frameRate);
            service.PackChanges_locked();
        }
    }
    ImGui::TextUnformatted(current >= 0 ? picam::kResolutionPresets[current].label : "");
}

void DrawDriveSlider(picam::Service& service, const picam::ParamGroup& g, int group, const char* label, int index,
                     bool currentRow) {
    const picam::ParamRecord& r = g.params[index];
    if (picam::IsNullParam(r)) return;
    const DriveSlider d = DriveSliderOf(r, currentRow);
    bool moved = false;
    double shown = picam::ShownValue(r);
    if (d.floating) {
        float v = static_cast<float>(shown);
        moved = RowSliderFloat(label, &v, static_cast<float>(d.minimum), static_cast<float>(d.maximum), "%.2f").moved;
        shown = v;
    } else {
        int v = static_cast<int>(shown);
        moved = RowSliderInt(label, &v, static_cast<int>(d.minimum), static_cast<int>(d.maximum), "%d").moved;
        shown = v;
    }
    if (moved) {
        const int32_t raw = DriveRawFromShown(r, shown);
        if (picam::AcceptsValue(r, raw)) SendNow(service, group, index, raw);
    }
    if (r.value != r.defaultValue) {
        ImGui::SameLine();
        const std::string reset = std::string("Reset##") + label;
        if (ImGui::Button(reset.c_str())) SendNow(service, group, index, r.defaultValue);
    }
}

void DrawSeries(const Series& s, const picam::ParamGroup& g, const CameraHistory& h, int group, const char* format) {
    const picam::ParamRecord& r = g.params[s.index];
    const SampleSeries& series = h.series[group][s.index];
    ImGui::PushID(s.label);
    char value[32];
    if (picam::IsNullParam(r) && series.empty())
        snprintf(value, sizeof value, "No Data");
    else
        snprintf(value, sizeof value, format, picam::ShownValue(r));
    std::vector<float> points;
    if (!picam::IsNullParam(r)) points = ResamplePlot(series, r);
    const double newest = points.empty() ? picam::ShownValue(r) : points.back();
    const Rgba colour = PlotColour(newest, s.minimum, s.maximum);
    ImGui::PushStyleColor(ImGuiCol_PlotLines, ToImVec4(colour));
    const std::string name = std::string(value) + "###TempPlotLabel";
    ImGui::TextUnformatted(s.label);
    ImGui::SameLine(90 * ImGui::GetFontSize() / 26.0f);
    ImGui::PlotLines(name.c_str(), points.empty() ? nullptr : points.data(), static_cast<int>(points.size()), 0, nullptr,
                     s.minimum, s.maximum, ImVec2(ImGui::GetContentRegionAvail().x * 0.55f, 26 * ImGui::GetFontSize() / 26.0f));
    ImGui::PopStyleColor();
    ImGui::PopID();
}

void DrawErrorByte(const char* label, uint8_t* byte, const char* clearId, const char* const names[8]) {
    ImGui::AlignTextToFramePadding();
    ImGui::Text("%s %s", label, BinaryDigits(*byte).c_str());
    ImGui::SameLine();
    if (ImGui::Button(clearId)) *byte = 0;
    ImGui::SameLine();
    const std::string text = ErrorBitsText(*byte, names);
    if (*byte == 0)
        ImGui::TextUnformatted(text.c_str());
    else
        ImGui::TextColored(kWarning, "%s", text.c_str());
}

void DrawDiagnosticsBlock(picam::Service& service, const picam::ParamGroup& g, CameraHistory& h, int group) {
    ImGui::PushID(group);
    ImGui::Text("%s", picam::DefaultCameraName(group));
    DrawVideoMode(service, g, group);
    if (group == 0) {
        if (ImGui::Button("Run Stress Test")) {
            SendNow(service, 0, picam::Command, 3);
            g_stressCountdown_s += 60;
        }
        if (g_stressCountdown_s > 0) {
            ImGui::SameLine();
            ImGui::Text("%.1f", static_cast<double>(g_stressCountdown_s));
        }
    } else {
        ImGui::NewLine();
    }
    DrawDriveSlider(service, g, group, "Duty Cycle", picam::LightLevel, false);
    DrawDriveSlider(service, g, group, "Current", picam::LedDriveCurrent, true);
    ImGui::Text("Foldback %d - %d", static_cast<int>(picam::ShownValueInt(g.params[picam::FoldbackLow])),
                static_cast<int>(picam::ShownValueInt(g.params[picam::FoldbackHigh])));

    const int32_t thermal = g.params[picam::LedThermalState].value;
    if (thermal == 0)
        ImGui::TextUnformatted("Temperatures (C)");
    else
        ImGui::TextColored(kWarning, "Temperatures (C) - LED %s", LedHeadingWord(thermal));
    for (const Series& s : kTemperatureSeries) DrawSeries(s, g, h, group, "%.1f");
    ImGui::TextUnformatted("Power");
    for (const Series& s : kPowerSeries) DrawSeries(s, g, h, group, "%.2f");

    DrawErrorByte("ASL Error:", &h.flagsA[group], "Clear##clear_aslerror", kAslErrorNames);
    DrawErrorByte("NVM Error:", &h.flagsB[group], "Clear##clear_nvmerror", kNvmErrorNames);
    for (const auto& [label, index] : kRegisterRows)
        ImGui::Text("%s %s", label, BinaryDigits(static_cast<uint8_t>(g.params[index].value & 0xFF)).c_str());
    ImGui::PopID();
}

}  // namespace

void DrawDiagnosticsPanel(AppState& app) {
    const float s = ImGui::GetFontSize() / 26.0f;
    ImGui::SetCursorPos(ImVec2(16 * s, 12 * s));
    ImGui::BeginGroup();
    const int ready = picam::CountReadyServices();
    bool unit0Connected = false;
    if (ready > 0) {
        picam::ServiceRef first = picam::AcquireService(0);
        unit0Connected = !first.IsNull() && first->connected.load();
    }
    if (ready == 0 || !unit0Connected) {
        ImGui::TextUnformatted("No camera connected");
        ImGui::EndGroup();
        return;
    }
    // Everything in a scrolling region with tight rows: two channel blocks
    // are taller than the body.
    ImGui::EndGroup();
    ImGui::SetCursorPos(ImVec2(16 * s, 12 * s));
    ImGui::BeginChild("DiagScroll", ImVec2(ImGui::GetContentRegionAvail().x - 16 * s, ImGui::GetContentRegionAvail().y - 8 * s),
                      false, ImGuiWindowFlags_NoBackground);
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(10 * s, 6 * s));
    // The countdown runs down by each frame's duration while it is shown.
    g_stressCountdown_s -= ImGui::GetIO().DeltaTime;
    if (g_stressCountdown_s < 0) g_stressCountdown_s = 0;
    for (int u = 0; u < ready; ++u) {
        picam::ServiceRef service = picam::AcquireService(u);
        if (service.IsNull()) continue;
        ImGui::PushID(u);
        const auto groups = CopyGroups(*service);
        CameraHistory& h = FindOrAddCamera(Sessions().data, *service);
        // Status list beside the blocks of group 0 and (when active) group 1.
        if (ImGui::BeginTable("DiagLayout", 3, ImGuiTableFlags_BordersInnerV)) {
            ImGui::TableSetupColumn("status", ImGuiTableColumnFlags_WidthFixed, 260 * s);
            ImGui::TableNextColumn();
            DrawStatusRows(groups.get());
            ImGui::TableNextColumn();
            DrawDiagnosticsBlock(*service, groups[0], h, 0);
            ImGui::TableNextColumn();
            if (h.active[1]) DrawDiagnosticsBlock(*service, groups[1], h, 1);
            ImGui::EndTable();
        }
        ImGui::PopID();
    }
    (void)app;
    ImGui::PopStyleVar();
    ImGui::EndChild();
}

}  // namespace ui
