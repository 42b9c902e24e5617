// Section index
//   state            baseline, name buffer, confirmations
//   PageContext      the three delivery modes
//   table copies     reloading the slot table from the camera
//   panel frame      group check, tabs, title, regions
//   main list        name, switches, sub-panel buttons, reset
//   apply and undo   the pending-change row of the sub-panels
//   latency window
#include "UI/SettingsPanel.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "Base/Settings.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "App/AppSessions.h"
#include "Session/RecordControls.h"
#include "UI/PanelValues.h"
#include "UI/SettingRows.h"
#include "UI/SettingsPages.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"

namespace ui {

// ---- state --------------------------------------------------------------------------------

namespace {

constexpr size_t kNameBufferBytes = 17;  // up to 16 characters

struct PanelState {
    picam::ParamGroup baseline;  // the state pending edits are judged against
    char name[kNameBufferBytes] = {};
    bool nameEditing = false;
    int lastDrawnFrame = -10;    // ImGui frame count of the last drawn frame
    bool openResetConfirm = false;
    bool openApplyConfirm = false;
};

PanelState& State() {
    static PanelState* state = [] {
        auto* s = new PanelState;
        picam::InitParamGroup(&s->baseline);
        return s;
    }();
    return *state;
}

}  // namespace

// ---- PageContext ----------------------------------------------------------------------------

bool PageContext::Store(int index, int32_t value) {
    if (!picam::AcceptsValue(table.params[index], value)) return false;
    table.params[index].value = value;
    return true;
}

void PageContext::Immediate(int index, int32_t value, bool save) {
    if (!Store(index, value)) return;
    {
        std::lock_guard<std::mutex> hold(service.tableLock);
        service.SetParam_locked(group, index, value);
        service.PackChanges_locked();
    }
    if (save) Save();
}

void PageContext::Push() {
    service.ApplyParams(group, &table);
    Save();
}

void PageContext::Save() { SaveSettings(app.settings, app.dataFolder); }

bool PageContext::AtDefaults(std::initializer_list<int> indices) {
    for (int i : indices) {
        const picam::ParamRecord& r = table.params[i];
        if (picam::IsNullParam(r) || r.value != r.defaultValue) return false;
    }
    return true;
}

void PageContext::ResetToDefaults(std::initializer_list<int> indices) {
    for (int i : indices) table.params[i].value = table.params[i].defaultValue;
}

// ---- table copies ----------------------------------------------------------------------------

namespace {

void ReloadFromCamera(picam::Service& service, int group, picam::ParamGroup* table) {
    std::lock_guard<std::mutex> hold(service.tableLock);
    memcpy(table, &service.groups[group], sizeof(picam::ParamGroup));
}

bool SlotRecording(AV::CameraSlot& slot) { return (slot.Flags() & AV::kSlotRecording) != 0 || slot.stream.IsRecording(); }

bool AnySlotRecording(const AppState& app) {
    for (AV::CameraSlot* s : app.activeSlots)
        if (SlotRecording(*s)) return true;
    return false;
}

// ---- main list ------------------------------------------------------------------------------

void OpenPage(AppState& app, int page, const picam::ParamGroup& table) {
    app.settingsPage = page;
    memcpy(&State().baseline, &table, sizeof(picam::ParamGroup));
    ImGui::SetScrollY(0);
}

void DrawMainList(AppState& app, PageContext& c) {
    PanelState& st = State();
    if (!st.nameEditing) {
        char name[picam::kMessageSize];  // GetMessageValue fills a whole message slot
        c.service.GetMessageValue(c.group, picam::CameraName, name);
        const size_t n = strnlen(name, kNameBufferBytes - 1);
        memcpy(st.name, name, n);
        st.name[n] = 0;
    }
    if (RowTextInput("Camera Name", st.name, kNameBufferBytes, InputChars::Name, &st.nameEditing)) {
        std::lock_guard<std::mutex> hold(c.service.tableLock);
        c.service.SetMessageValue_locked(c.group, picam::CameraName, st.name);
        c.service.PackChanges_locked();
    }
    bool record = c.slot.recordEnabled, capture = c.slot.snapshotEnabled;
    if (RowCheckbox("Enable Recording", &record)) {
        c.slot.recordEnabled = record;
        c.Save();
    }
    if (RowCheckbox("Enable Snapshots", &capture)) {
        c.slot.snapshotEnabled = capture;
        c.Save();
    }
    ImGui::Spacing();
    for (int page = kPageVideo; page <= kPageSystem; ++page)
        if (RowButton(kSettingsPageNames[page])) OpenPage(app, page, c.table);
    ImGui::Spacing();
    if (RowButton("Reset All Camera Settings")) st.openResetConfirm = true;
}

void ResetAll(PageContext& c) {
    for (int i = 0; i < picam::kExchangedParams; ++i)
        if (i != picam::LightLevel) c.table.params[i].value = c.table.params[i].defaultValue;
    for (int m = 0; m < picam::kExchangedMessages; ++m) c.table.messages[m][0] = 0;
    c.Push();
}

// A modal confirmation: `title`, `text`, "Cancel" and `yes`. True on `yes`.
bool Confirmation(const char* title, const std::string& text, const char* yes, bool* openRequest) {
    if (*openRequest) {
        ImGui::OpenPopup(title);
        *openRequest = false;
    }
    bool answer = false;
    const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
    ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(620 * ImGui::GetFontSize() / 26.0f, 0));
    if (ImGui::BeginPopupModal(title, nullptr, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove)) {
        ImGui::PushTextWrapPos(0);
        ImGui::TextUnformatted(text.c_str());
        ImGui::PopTextWrapPos();
        ImGui::Spacing();
        const float w = (ImGui::GetContentRegionAvail().x - ImGui::GetStyle().ItemSpacing.x) / 2;
        if (ImGui::Button("Cancel", ImVec2(w, 0))) ImGui::CloseCurrentPopup();
        ImGui::SameLine();
        if (ImGui::Button(yes, ImVec2(w, 0))) {
            answer = true;
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
    return answer;
}

// ---- apply and undo ----------------------------------------------------------------------------

void ApplyNow(PageContext& c) {
    c.service.ApplyParams(c.group, &c.table);
    memcpy(&State().baseline, &c.table, sizeof(picam::ParamGroup));
    c.Save();
}

void DrawApplyUndo(PageContext& c) {
    PanelState& st = State();
    picam::ParamGroup* camera = new picam::ParamGroup;  // 60 KB: not on the stack
    int32_t pending[picam::kParamCount];
    {
        std::lock_guard<std::mutex> hold(c.service.tableLock);
        memcpy(camera, &c.service.groups[c.group], sizeof(picam::ParamGroup));
        memcpy(pending, c.service.pendingParam[c.group], sizeof pending);
    }
    const PendingChanges changes = PendingChangesOf(c.table, st.baseline, *camera, pending);
    delete camera;
    ImGui::Spacing();
    if (changes.apply) {
        const float w = (ImGui::GetContentRegionAvail().x - ImGui::GetStyle().ItemSpacing.x) / 2;
        ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.80f, 0.10f, 0.14f, 1));
        ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.91f, 0.13f, 0.18f, 1));
        const bool apply = ImGui::Button("Apply Changes", ImVec2(w, 0));
        ImGui::PopStyleColor(2);
        ImGui::SameLine();
        if (ImGui::Button("Cancel##SettingsChange", ImVec2(w, 0))) {
            memcpy(&c.table, &st.baseline, sizeof(picam::ParamGroup));
        }
        if (apply) {
            if (SlotRecording(c.slot))
                st.openApplyConfirm = true;
            else
                ApplyNow(c);
        }
    }
    if (changes.undo && ImGui::Button("Undo Changes", ImVec2(ImGui::GetContentRegionAvail().x, 0))) {
        for (int i = 77; i <= 191; ++i) c.table.params[i].value = st.baseline.params[i].value;
        c.Push();
    }
}

void DrawPage(AppState& app, PageContext& c) {
    switch (app.settingsPage) {
        case kPageVideo: DrawVideoPage(c); break;
        case kPagePhoto: DrawPhotoPage(c); break;
        case kPageAnnotation: DrawAnnotationPage(c); break;
        case kPageZoom: DrawZoomPage(c); break;
        case kPagePicture: DrawPicturePage(c); break;
        case kPageGuides: DrawGuidesPage(c); break;
        case kPageSystem: DrawSystemPage(c); break;
        default: return;
    }
    if (app.settingsPage != kPageSystem) DrawApplyUndo(c);
}

// ---- panel frame ------------------------------------------------------------------------------

// Step 2: the channels the ready units report active must match the slots.
bool GroupCountsMatch(const AppState& app) {
    int sum = 0;
    const int units = picam::CountReadyServices();
    for (int i = 0; i < units; ++i) {
        picam::ServiceRef service = picam::AcquireService(i);
        if (service.IsNull()) continue;
        const CameraHistory& h = FindOrAddCamera(Sessions().data, *service);
        sum += h.active[0] + h.active[1];
    }
    return sum == static_cast<int>(app.activeSlots.size());
}

void DrawTabs(AppState& app, int selected) {
    for (int k = 0; k < static_cast<int>(app.activeSlots.size()); ++k) {
        AV::CameraSlot* s = app.activeSlots[static_cast<size_t>(k)];
        char name[picam::kMessageSize];
        {
            picam::ServiceRef service = picam::AcquireService(s->cameraIndex);
            service->GetMessageValue(s->channel, picam::CameraName, name);
        }
        const std::string label = TabLabel(name, s->channel) + "###SettingsTab" + std::to_string(k);
        if (k > 0) ImGui::SameLine();
        const bool current = k == selected;
        if (current) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
        const bool pressed = ImGui::Button(label.c_str());
        if (current) ImGui::PopStyleColor();
        if (pressed && !current) {
            app.settingsSlot = k;
            picam::ServiceRef service = picam::AcquireService(s->cameraIndex);
            picam::ParamGroup& table = SlotParamBlock(app, s);
            ReloadFromCamera(*service, s->channel, &table);
            memcpy(&State().baseline, &table, sizeof(picam::ParamGroup));
        }
    }
}

}  // namespace

void DrawSettingsPanel(AppState& app) {
    PanelState& st = State();
    if (app.activeSlots.empty()) return;
    if (!GroupCountsMatch(app)) {
        ImGui::TextUnformatted("Internal camera error detected.");
        ImGui::TextUnformatted("Camera settings have been disabled.");
        return;
    }
    const int count = static_cast<int>(app.activeSlots.size());
    if (app.settingsSlot > count - 1) app.settingsSlot = count - 1;
    if (app.settingsSlot < 0) app.settingsSlot = 0;
    AV::CameraSlot& slot = *app.activeSlots[static_cast<size_t>(app.settingsSlot)];
    picam::ServiceRef service = picam::AcquireService(slot.cameraIndex);
    picam::ParamGroup& table = SlotParamBlock(app, &slot);
    const int group = slot.channel;

    // Shown again after being hidden: start from what the camera holds.
    const int frame = ImGui::GetFrameCount();
    if (st.lastDrawnFrame != frame - 1) {
        ReloadFromCamera(*service, group, &table);
        memcpy(&st.baseline, &table, sizeof(picam::ParamGroup));
    }
    st.lastDrawnFrame = frame;

    const float s = ImGui::GetFontSize() / 26.0f;
    ImGui::SetCursorPos(ImVec2(16 * s, 12 * s));
    ImGui::BeginGroup();
    DrawTabs(app, app.settingsSlot);

    // Title, with the back icon on sub-panels.
    ImGui::Spacing();
    if (app.settingsPage >= kPageVideo && app.settingsPage <= kPageSystem) {
        ImGui::PushID("##SettingsBack");
        const bool back = IconButton(GL::BuiltIns().back, true, 0);
        ImGui::PopID();
        ImGui::SameLine();
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted(kSettingsPageNames[app.settingsPage]);
        if (back) {
            app.settingsPage = kPageMainList;
            ReloadFromCamera(*service, group, &table);
        }
    } else {
        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Camera Settings");
    }
    ImGui::EndGroup();
    ImGui::Separator();

    PageContext c{app, slot, *service, table, group};
    const ImVec2 region(ImGui::GetContentRegionAvail().x - 32 * s, ImGui::GetContentRegionAvail().y - 8 * s);
    ImGui::SetCursorPosX(16 * s);
    ImGui::BeginChild("ConfigPanel", region, false, ImGuiWindowFlags_NoBackground);
    if (app.settingsPage >= kPageVideo && app.settingsPage <= kPageSystem) {
        ImGui::BeginChild("SubPanel", ImVec2(0, 0), false, ImGuiWindowFlags_NoBackground);
        DrawPage(app, c);
        ImGui::EndChild();
    } else {
        app.settingsPage = kPageMainList;
        ImGui::BeginChild("SelectPanel", ImVec2(0, 0), false, ImGuiWindowFlags_NoBackground);
        DrawMainList(app, c);
        ImGui::EndChild();
    }
    ImGui::EndChild();

    std::string resetText = "Are you sure you want to reset all settings for this camera?";
    if (AnySlotRecording(app)) resetText += "\n\nNOTE: This may cause the current recording to stop.";
    if (Confirmation("Reset Camera", resetText, "Reset", &st.openResetConfirm)) ResetAll(c);
    if (Confirmation("Apply Changes", "Applying these changes will stop recording this camera", "Apply Anyway",
                     &st.openApplyConfirm)) {
        StopSlotRecording(&slot);
        slot.SetFlags(0, AV::kSlotRecording);
        ApplyNow(c);
    }
}

// ---- latency window ------------------------------------------------------------------------------

void DrawLatencyWindow(AppState&, AV::CameraSlot* slot) {
    if (slot == nullptr || !slot->latencyProbeOn) return;
    char title[64];
    snprintf(title, sizeof title, "%s##%d", "Latency", slot->channel);
    const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
    ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(280, 280), ImGuiCond_Always);
    if (ImGui::Begin(title, nullptr, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse)) {
        ImGui::TextUnformatted("Align color in second window");
        const int code = slot->latencyProbe.expected;
        const ImU32 colour = IM_COL32(code & 4 ? 255 : 0, code & 2 ? 255 : 0, code & 1 ? 255 : 0, 255);
        const ImVec2 p = ImGui::GetCursorScreenPos();
        ImGui::GetWindowDrawList()->AddRectFilled(p, ImVec2(p.x + 128, p.y + 128), colour);
        ImGui::Dummy(ImVec2(128, 128));
        ImGui::Text("Latency %1.3f", slot->latencyProbe.latency_ms);
    }
    ImGui::End();
}

}  // namespace ui
