// Section index
//   helpers      option combos, camera's final word on immediate rows
//   Video        deferred
//   Photo        deferred
//   Annotation   table push after every change
//   Zoom         immediate, the zoom window box
//   Picture      immediate
//   Guides       immediate, the guide word's working copy
//   System       texts, restart, firmware update
#include <imgui.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "App/AppState.h"
#include "Base/Clock.h"
#include "UI/FirmwarePopup.h"
#include "UI/PanelValues.h"
#include "UI/SettingRows.h"
#include "UI/SettingsPages.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/FirmwareUpdate.h"

namespace ui {

namespace {

// ---- helpers --------------------------------------------------------------------------------

// A combo over the record's option list, each option labelled by `label`
// (value, position). Returns the picked option's value through `value`.
template <typename Label>
bool OptionCombo(const char* text, const picam::ParamRecord& r, Label label, int32_t* value) {
    std::vector<std::string> labels;
    for (int p = 0; p < r.optionCount && p < picam::kMaxOptions; ++p) labels.push_back(label(r.options[p], p));
    int current = picam::OptionPosition(r, r.value);
    if (!RowCombo(text, labels, &current)) return false;
    if (current < 0 || current >= r.optionCount) return false;  // beyond the options: nothing stored
    *value = r.options[current];
    return true;
}

std::string TableLabel(const char* const* table, int count, int32_t i) {
    const char* t = picam::TableText(table, count, i);
    return t ? t : std::to_string(i);
}

// After an immediate write has been answered, the camera's value is the
// one shown: a unit that stores something else than was asked wins.
void FollowCamera(PageContext& c, std::initializer_list<int> indices) {
    std::lock_guard<std::mutex> hold(c.service.tableLock);
    for (int i : indices) {
        if (c.service.pendingParam[c.group][i] > 0 || c.service.paramDirty[c.group][i] != 0) continue;
        const picam::ParamRecord& camera = c.service.groups[c.group].params[i];
        if (!picam::IsNullParam(camera)) c.table.params[i].value = camera.value;
    }
}

// An integer slider over a record's own range; returns the change.
SliderChange RecordSlider(const char* label, const picam::ParamRecord& r, int32_t* value, const char* format = "%d") {
    int v = r.value;
    const SliderChange change = RowSliderInt(label, &v, r.minimum, r.maximum, format);
    *value = v;
    return change;
}

// Immediate slider: sends while it moves, saves when let go.
void ImmediateSlider(PageContext& c, const char* label, int index, const char* format = "%d") {
    int32_t v;
    const SliderChange change = RecordSlider(label, c.Record(index), &v, format);
    if (change.moved) c.Immediate(index, v, false);
    if (change.released) c.Save();
}

}  // namespace

// ---- Video ------------------------------------------------------------------------------------

void DrawVideoPage(PageContext& c) {
    std::vector<std::string> presets;
    for (const auto& p : picam::kResolutionPresets) presets.push_back(p.label);
    int current = picam::FindResolutionPreset(c.Record(picam::VideoWidth).value, c.Record(picam::VideoHeight).value,
                                              c.Record(picam::VideoFrameRate).value);
    const auto resetGeometry = [&] {
        c.ResetToDefaults({picam::Rotation, picam::FlipHorizontal, picam::FlipVertical, picam::ZoomX, picam::ZoomY,
                           picam::ZoomWidth, picam::ZoomHeight});
    };
    if (RowCombo("Resolution", presets, &current) && current >= 0) {
        const picam::ResolutionPreset& p = picam::kResolutionPresets[current];
        c.Store(picam::VideoWidth, p.width);
        c.Store(picam::VideoHeight, p.height);
        c.Store(picam::VideoFrameRate, p.frameRate);
        resetGeometry();
    }
    if (RowReset(!c.AtDefaults({picam::VideoWidth, picam::VideoHeight, picam::VideoFrameRate}), "ResetResolution")) {
        c.ResetToDefaults({picam::VideoWidth, picam::VideoHeight, picam::VideoFrameRate});
        resetGeometry();
    }
    int32_t v;
    if (OptionCombo("H264  Profile", c.Record(picam::H264Profile),
                    [](int32_t value, int) { return TableLabel(picam::kH264ProfileNames, 3, value); }, &v))
        c.Store(picam::H264Profile, v);
    if (OptionCombo("H264  Level", c.Record(picam::H264Level),
                    [](int32_t value, int) { return TableLabel(picam::kH264LevelNames, 3, value); }, &v))
        c.Store(picam::H264Level, v);
    int lo = 0, hi = 0;
    picam::BitrateSliderRange(c.Record(picam::Bitrate), &lo, &hi);
    int mbps = picam::BitrateMbps(c.Record(picam::Bitrate));
    if (RowSliderInt("Bitrate", &mbps, lo, hi, "%d Mbps").moved) c.Store(picam::Bitrate, picam::BitrateFromMbps(mbps));
    ImGui::Text("Calculated: %.1f", static_cast<double>(c.slot.stream.ReceivedBitRate()));
}

// ---- Photo ------------------------------------------------------------------------------------

void DrawPhotoPage(PageContext& c) {
    std::vector<std::string> sizes;
    for (const auto& p : picam::kImageSizePresets) sizes.push_back(p.label);
    int current = picam::FindImageSizePreset(c.Record(picam::ImageWidth).value, c.Record(picam::ImageHeight).value);
    if (RowCombo("Image Size", sizes, &current) && current >= 0) {
        c.Store(picam::ImageWidth, picam::kImageSizePresets[current].width);
        c.Store(picam::ImageHeight, picam::kImageSizePresets[current].height);
    }
    if (RowReset(!c.AtDefaults({picam::ImageWidth, picam::ImageHeight}), "ResetImageSize"))
        c.ResetToDefaults({picam::ImageWidth, picam::ImageHeight});
    int32_t v;
    if (RecordSlider("DRC", c.Record(picam::Drc), &v).moved) c.Store(picam::Drc, v);
    if (RecordSlider("JPEG Quality", c.Record(picam::JpegQuality), &v, "%d%%").moved) c.Store(picam::JpegQuality, v);
}

// ---- Annotation ------------------------------------------------------------------------------

void DrawAnnotationPage(PageContext& c) {
    // A push resends the camera's current caption, not a stale copy.
    c.service.GetMessageValue(c.group, picam::AnnotationText, c.table.messages[picam::AnnotationText]);
    bool changed = false, released = false;
    auto check = [&](const char* label, int index) {
        bool on = c.Record(index).value == 1;
        if (RowCheckbox(label, &on)) changed |= c.Store(index, on ? 1 : 0);
    };
    check("Enable Annotation", picam::AnnotationEnable);
    check("Background", picam::AnnotationBackground);
    bool invert = InvertColourChecked(c.Record(picam::AnnotationTextColor).value);
    if (RowCheckbox("Invert Color", &invert)) {
        changed |= c.Store(picam::AnnotationTextColor, invert ? 0 : 0xFFFFFF);
        changed |= c.Store(picam::AnnotationBackColor, invert ? 0xFFFFFF : 0);
    }
    check("Camera Name", picam::AnnotationShowName);

    std::vector<std::string> dates(picam::kDateFormatNames, picam::kDateFormatNames + 6);
    int date = c.Record(picam::AnnotationDateFormat).value;
    if (RowCombo("Date Format", dates, &date)) changed |= c.Store(picam::AnnotationDateFormat, date);
    std::vector<std::string> times(picam::kTimeFormatNames, picam::kTimeFormatNames + 5);
    int time = c.Record(picam::AnnotationTimeFormat).value;
    if (RowCombo("Time Format", times, &time)) changed |= c.Store(picam::AnnotationTimeFormat, time);
    {
        const picam::ParamRecord& r = c.Record(picam::AnnotationEncoder);
        std::vector<std::string> names(picam::kEncoderDisplayNames, picam::kEncoderDisplayNames + 3);
        int p = picam::OptionPosition(r, r.value);
        if (RowCombo("Encoder", names, &p) && p >= 0 && p < r.optionCount)
            changed |= c.Store(picam::AnnotationEncoder, r.options[p]);
    }

    // Location: two rows of three buttons, codes 1 0 2 above and 4 3 5 below.
    ImGui::PushID("Location");
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Location");
    const int codes[6] = {1, 0, 2, 4, 3, 5};
    const float gap = ImGui::GetStyle().ItemSpacing.x;
    const float w = (RowControlWidth() - 2 * gap) / 3;
    for (int k = 0; k < 6; ++k) {
        ImGui::PushID(k);
        if (k % 3 == 0) {
            if (k > 0) ImGui::NewLine();
            ImGui::SameLine(RowLabelWidth());
        } else {
            ImGui::SameLine();
        }
        const bool current = c.Record(picam::AnnotationLocation).value == codes[k];
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.80f, 0.10f, 0.14f, 1));
        if (ImGui::Button("##JustifyButton", ImVec2(w, 0))) changed |= c.Store(picam::AnnotationLocation, codes[k]);
        if (current) ImGui::PopStyleColor();
        ImGui::PopID();
    }
    ImGui::PopID();

    struct SliderRow {
        const char* label;
        int index;
    } rows[] = {{"Size", picam::AnnotationSize}, {"Offset X", picam::AnnotationOffsetX}, {"Offset Y", picam::AnnotationOffsetY}};
    for (const SliderRow& row : rows) {
        int32_t v;
        const SliderChange s = RecordSlider(row.label, c.Record(row.index), &v);
        if (s.moved && c.Store(row.index, v)) {
            c.service.ApplyParams(c.group, &c.table);  // sent while it moves, saved when let go
        }
        released |= s.released;
        if (RowReset(!c.AtDefaults({row.index}), row.label)) {
            c.ResetToDefaults({row.index});
            changed = true;
        }
    }
    if (changed)
        c.Push();
    else if (released)
        c.Save();
}

// ---- Zoom --------------------------------------------------------------------------------------

namespace {

void SendZoom(PageContext& c, ZoomWindow w) {
    w = ClampZoom(w);
    int xi, yi;
    ZoomIndices(picam::RotationPosition(c.Record(picam::Rotation).value), &xi, &yi);
    c.Store(xi, picam::RawFromShown(c.Record(xi), w.x));
    c.Store(yi, picam::RawFromShown(c.Record(yi), w.y));
    c.Store(picam::ZoomWidth, picam::RawFromShown(c.Record(picam::ZoomWidth), w.size));
    c.Store(picam::ZoomHeight, picam::RawFromShown(c.Record(picam::ZoomHeight), w.size));
    std::lock_guard<std::mutex> hold(c.service.tableLock);
    for (int i : {xi, yi, static_cast<int>(picam::ZoomWidth), static_cast<int>(picam::ZoomHeight)})
        c.service.SetParam_locked(c.group, i, c.table.params[i].value);
    c.service.PackChanges_locked();
}

}  // namespace

void DrawZoomPage(PageContext& c) {
    FollowCamera(c, {picam::FlipHorizontal, picam::FlipVertical, picam::Rotation, picam::ZoomX, picam::ZoomY,
                     picam::ZoomWidth, picam::ZoomHeight});
    for (auto [label, index] : {std::pair<const char*, int>{"Flip Horizontal", picam::FlipHorizontal},
                                {"Flip Vertical", picam::FlipVertical}}) {
        bool on = c.Record(index).value == 1;
        if (RowCheckbox(label, &on)) c.Immediate(index, on ? 1 : 0, true);
    }
    {
        const picam::ParamRecord& r = c.Record(picam::Rotation);
        int position = picam::RotationPosition(r.value);
        const char* label = picam::TableText(picam::kRotationLabels, 4, position);
        const SliderChange s = RowSliderInt("Rotation", &position, r.minimum, r.maximum, label ? label : "");
        if (s.moved) c.Immediate(picam::Rotation, picam::RotationRaw(position), false);
        if (s.released) c.Save();
    }
    ZoomWindow w = ZoomWindowOf(c.table);
    {
        float size = static_cast<float>(w.size);
        char text[32];
        snprintf(text, sizeof text, "%.2fx", size > 0 ? 1.0 / size : 1.0);
        const SliderChange s = RowSliderFloat("Zoom", &size, 1.0f, 0.25f, text);
        if (s.moved) SendZoom(c, ResizeZoom(w, size));
        if (s.released) c.Save();
        if (RowReset(!c.AtDefaults({picam::ZoomX, picam::ZoomY, picam::ZoomWidth, picam::ZoomHeight}), "ResetZoom")) {
            c.ResetToDefaults({picam::ZoomX, picam::ZoomY, picam::ZoomWidth, picam::ZoomHeight});
            c.Push();
        }
    }

    // The picture as a box with the zoom window inside; drag to move it.
    w = ZoomWindowOf(c.table);
    const double vw = picam::ShownValue(c.Record(picam::VideoWidth)), vh = picam::ShownValue(c.Record(picam::VideoHeight));
    const double aspect = vw > 0 && vh > 0 ? vw / vh : 16.0 / 9.0;
    const float boxW = ImGui::GetContentRegionAvail().x * 0.8f;
    const ImVec2 box(boxW, static_cast<float>(boxW / aspect));
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + (ImGui::GetContentRegionAvail().x - boxW) / 2);
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("##ZoomPos", box);
    if (ImGui::IsItemActive() && ImGui::IsMouseDragging(ImGuiMouseButton_Left, 0)) {
        const ImVec2 d = ImGui::GetIO().MouseDelta;
        if (d.x != 0 || d.y != 0) {
            w.x += d.x / box.x;
            w.y += d.y / box.y;
            SendZoom(c, w);
        }
    }
    if (ImGui::IsItemDeactivated()) c.Save();
    ImDrawList* dl = ImGui::GetWindowDrawList();
    dl->AddRectFilled(origin, ImVec2(origin.x + box.x, origin.y + box.y), IM_COL32(40, 42, 46, 255));
    dl->AddRect(origin, ImVec2(origin.x + box.x, origin.y + box.y), IM_COL32(140, 140, 140, 255));
    const ImVec2 a(origin.x + static_cast<float>(w.x) * box.x, origin.y + static_cast<float>(w.y) * box.y);
    const ImVec2 b(a.x + static_cast<float>(w.size) * box.x, a.y + static_cast<float>(w.size) * box.y);
    dl->AddRectFilled(a, b, IM_COL32(233, 33, 45, 90));
    dl->AddRect(a, b, IM_COL32(233, 33, 45, 255), 0, 0, 2);
}

// ---- Picture -------------------------------------------------------------------------------------

void DrawPicturePage(PageContext& c) {
    FollowCamera(c, {picam::Brightness, picam::Contrast, picam::Saturation, picam::Sharpness, picam::AwbMode,
                     picam::RedGain, picam::BlueGain, picam::Iso, picam::ExposureMode, picam::Metering,
                     picam::ExposureCompensation});
    SectionHeader("PICTURE");
    ImmediateSlider(c, "Brightness", picam::Brightness);
    ImmediateSlider(c, "Contrast", picam::Contrast);
    ImmediateSlider(c, "Saturation", picam::Saturation);
    ImmediateSlider(c, "Sharpness", picam::Sharpness);
    int32_t v;
    if (OptionCombo("AWB", c.Record(picam::AwbMode),
                    [](int32_t, int p) { return TableLabel(picam::kAwbNames, 11, p); }, &v))
        c.Immediate(picam::AwbMode, v, true);
    if (picam::OptionPosition(c.Record(picam::AwbMode), c.Record(picam::AwbMode).value) == 0) {
        ImmediateSlider(c, "Red Gain", picam::RedGain);
        ImmediateSlider(c, "Blue Gain", picam::BlueGain);
    }
    SectionHeader("EXPOSURE");
    const picam::ParamRecord iso = c.Record(picam::Iso);
    if (OptionCombo("ISO", iso, [&](int32_t value, int) { return picam::IsoOptionText(iso, value); }, &v))
        c.Immediate(picam::Iso, v, true);
    if (OptionCombo("Mode", c.Record(picam::ExposureMode),
                    [](int32_t value, int) { return TableLabel(picam::kExposureModeNames, 13, value); }, &v))
        c.Immediate(picam::ExposureMode, v, true);
    if (OptionCombo("Metering", c.Record(picam::Metering),
                    [](int32_t, int p) { return TableLabel(picam::kMeteringNames, 4, p); }, &v))
        c.Immediate(picam::Metering, v, true);
    ImmediateSlider(c, "Compensation", picam::ExposureCompensation);
}

// ---- Guides ----------------------------------------------------------------------------------------

void DrawGuidesPage(PageContext& c) {
    c.app.guidesEditing = true;
    FollowCamera(c, {picam::GuideFlags, picam::GuideLineWeight, picam::GuideCrosshairSize, picam::GuideColor,
                     picam::GuidePositionX, picam::GuidePositionY});
    ImGui::TextUnformatted("Note: Guides are a viewing aid and are");
    ImGui::TextUnformatted("not recorded in video or image files");
    int32_t work = GuideWorkingCopy(c.Record(picam::GuideFlags).value);
    for (auto [label, bit] : {std::pair<const char*, int32_t>{"Enable Guides", picam::kGuideEnable},
                              {"Horizontal", picam::kGuideHorizontal},
                              {"Vertical", picam::kGuideVertical}}) {
        bool on = (work & bit) != 0;
        if (RowCheckbox(label, &on)) work = on ? (work | bit) : (work & ~bit);
    }
    bool crosshairs = (work & 0x80) != 0;
    if (RowCheckbox("Crosshairs", &crosshairs)) work = GuideWithCrosshairs(work, crosshairs);
    if (work != c.Record(picam::GuideFlags).value) c.Immediate(picam::GuideFlags, work, true);

    if ((work & 0x80) != 0) {
        const int W = CrosshairImageWidth(c.Record(picam::ImageWidth));
        float slider = static_cast<float>(CrosshairSliderValue(c.Record(picam::GuideCrosshairSize), W));
        const SliderChange s = RowSliderFloat("Crosshair Size", &slider, 16.0f, W / 2.0f, "%.0f");
        if (s.moved) c.Immediate(picam::GuideCrosshairSize, CrosshairRaw(c.Record(picam::GuideCrosshairSize), slider, W), false);
        if (s.released) c.Save();
    }
    {
        int lo, hi;
        LineWeightRange(c.Record(picam::GuideLineWeight), &lo, &hi);
        int weight = static_cast<int>(picam::ShownValueInt(c.Record(picam::GuideLineWeight)));
        const SliderChange s = RowSliderInt("Line Weight", &weight, lo, hi, "%d");
        if (s.moved) c.Immediate(picam::GuideLineWeight, picam::RawFromShown(c.Record(picam::GuideLineWeight), weight), false);
        if (s.released) c.Save();
    }
    const uint32_t colour = static_cast<uint32_t>(c.Record(picam::GuideColor).value);
    {
        int opacity = static_cast<int>(colour >> 24);
        const SliderChange s = RowSliderInt("Opacity", &opacity, 0, 255, "");
        if (s.moved) c.Immediate(picam::GuideColor, static_cast<int32_t>(GuideColourWithOpacity(colour, opacity)), false);
        if (s.released) c.Save();
    }
    {
        ImGui::PushID("Color");
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Color");
        const uint32_t swatches[3] = {0xFF000000u, 0xFFFFFFFFu, 0xFF2D21E9u};
        const float side = ImGui::GetFrameHeight();
        for (int k = 0; k < 3; ++k) {
            ImGui::SameLine(k == 0 ? RowLabelWidth() : 0);
            ImGui::PushID(k);
            const ImVec2 p = ImGui::GetCursorScreenPos();
            if (ImGui::InvisibleButton("##ColorSelect", ImVec2(side * 1.6f, side)))
                c.Immediate(picam::GuideColor, static_cast<int32_t>(GuideColourWithOpacity(swatches[k], static_cast<int>(colour >> 24))), true);
            ImDrawList* dl = ImGui::GetWindowDrawList();
            dl->AddRectFilled(p, ImVec2(p.x + side * 1.6f, p.y + side), swatches[k]);
            if ((colour & 0xFFFFFF) == (swatches[k] & 0xFFFFFF))
                dl->AddRect(ImVec2(p.x - 2, p.y - 2), ImVec2(p.x + side * 1.6f + 2, p.y + side + 2), IM_COL32(233, 33, 45, 255), 0, 0, 3);
            ImGui::PopID();
        }
        ImGui::PopID();
    }
    ImGui::PushID("Position");
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted("Position");
    ImGui::SameLine(RowLabelWidth());
    if (ImGui::Button("Zero")) {
        c.ResetToDefaults({picam::GuidePositionX, picam::GuidePositionY});
        c.Push();
    }
    ImGui::PopID();
}

// ---- System -----------------------------------------------------------------------------------------

void DrawSystemPage(PageContext& c) {
    // update.ini is read again at most every two seconds, not every frame.
    static int64_t checkedAt_us = -10000000;
    static bool updateFound = false;
    static UpdateEntry update;
    static picam::Service* checkedFor = nullptr;

    picam::ParamGroup* camera = new picam::ParamGroup;  // 60 KB: not on the stack
    {
        std::lock_guard<std::mutex> hold(c.service.tableLock);
        memcpy(camera, &c.service.groups[c.group], sizeof(picam::ParamGroup));
    }
    const picam::ParamGroup& g = *camera;
    auto shownText = [&](int index, const char* format) {
        char t[64];
        snprintf(t, sizeof t, format, picam::ShownValue(g.params[index]));
        return std::string(t);
    };
    char text[128];
    if (c.group == 0) {
        RowText("Camera Service", picam::VersionText(c.service.version.load()).c_str());
        ImGui::SameLine();
        if (ImGui::Button("Restart Now")) {
            {
                std::lock_guard<std::mutex> hold(c.service.tableLock);
                c.service.SetParam_locked(0, picam::Command, picam::kCommandRestartService);
                c.service.PackChanges_locked();
            }
            c.Save();
        }
        const int64_t now = MonotonicUs();
        if (now - checkedAt_us > 2000000 || checkedFor != &c.service) {
            checkedAt_us = now;
            checkedFor = &c.service;
            updateFound = CheckForUpdate(&c.service, &update);
        }
        if (updateFound) {
            RowText("Update Available", picam::VersionText(update.version).c_str());
            ImGui::SameLine();
            if (ImGui::Button("Update Now")) {
                c.Save();
                OpenFirmwarePopup(c.slot.cameraIndex);
            }
        }
        RowText("OS Version", picam::VersionText(static_cast<uint32_t>(g.params[picam::OsVersion].value)).c_str());
        snprintf(text, sizeof text, "%X", static_cast<unsigned>(g.params[picam::PlatformRevision].value));
        RowText("Platform Revision", text);
        snprintf(text, sizeof text, "%X", static_cast<unsigned>(g.params[picam::CameraId].value));
        RowText("Camera Id", text);
    }
    const std::string lighting =
        picam::LightingVersionText(static_cast<uint32_t>(g.params[picam::LightingFirmwareVersion].value)) + " (" +
        picam::LightingBuildText(static_cast<uint32_t>(g.params[picam::LightingFirmwareBuild].value)) + ")";
    RowText("Lighting Firmware", lighting.c_str());
    const double ledA = picam::ShownValue(g.params[picam::LedTemperatureA]);
    const double ledB = picam::ShownValue(g.params[picam::LedTemperatureB]);
    snprintf(text, sizeof text, "%.1f C", ledA > ledB ? ledA : ledB);
    RowText("LED Temperature", text);
    const int32_t thermal = g.params[picam::LedThermalState].value;
    if (thermal != 0) {
        ImGui::TextColored(ImVec4(1, 0.5f, 0, 1), "Critical Temperature! %s", picam::LedThermalText(thermal));
    }
    RowText("Internal Temperature", shownText(picam::InternalTemperature, "%.1f C").c_str());
    if (c.group == 0) RowText("Processor Temperature", shownText(picam::ProcessorTemperature, "%.1f C").c_str());
    delete camera;
    // The way to the LED driver diagnostics beside this panel.
    ImGui::Spacing();
    const bool shown = (c.app.PanelFlags & PanelDiagnostics) != 0;
    if (RowButton(shown ? "Hide Diagnostics" : "Show Diagnostics")) c.app.PanelFlags ^= PanelDiagnostics;
}

}  // namespace ui
