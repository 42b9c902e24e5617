#include "UI/CameraViewLayout.h"

#include <imgui.h>

#include <utility>

#include "App/AppState.h"
#include "Platform/GraphicsGL/BuiltInImages.h"
#include "UI/ConfirmDialog.h"
#include "UI/MainWindow.h"
#include "UI/Widgets.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

bool IsRecording(AV::CameraSlot* slot) { return slot != nullptr && (slot->Flags() & AV::kSlotRecording) != 0; }

bool TwoViewLayout(LayoutKind layout) { return layout != LayoutKind::SingleCamera; }

void Ask(int mode) {
    ViewSwitchQuestion& q = ViewSwitchConfirmation();
    q.mode = mode;
    q.record.title = "Switch Camera View";
    q.record.first = "Cancel";
    q.record.last = "Save and Switch";
    if (mode == ViewSwitchSwap) {
        q.record.message = "Switching views will stop the current recording";
        q.record.middle = "Add View";
    } else {
        q.record.message = "Switching to single view will stop the current recording";
        q.record.middle.clear();
    }
    AskConfirmation(q.record);
}

void SelectLayout(AppState& app, LayoutKind layout) {
    if (app.settings.LayoutStyle == layout) return;
    app.settings.LayoutStyle = layout;
    SaveSettings(app.settings, app.dataFolder);
}

}  // namespace

ViewSwitchQuestion& ViewSwitchConfirmation() {
    static ViewSwitchQuestion question;
    return question;
}

LayoutAction LayoutButtonAction(LayoutButton button, LayoutKind current, bool shownRecording, bool secondRecording) {
    LayoutAction action;
    switch (button) {
        case LayoutButton::Swap:
            if (current == LayoutKind::SingleCamera && shownRecording) {
                action.ask = true;
                action.mode = ViewSwitchSwap;
            } else {
                action.swap = true;
            }
            break;
        case LayoutButton::Single:
            if (TwoViewLayout(current) && secondRecording) {
                action.ask = true;
                action.mode = ViewSwitchSingle;
            } else {
                action.setLayout = true;
                action.layout = LayoutKind::SingleCamera;
            }
            break;
        case LayoutButton::Overlap:
            action.setLayout = true;
            action.layout = LayoutKind::SplitOverlap;
            break;
        case LayoutButton::Stacked:
            action.setLayout = true;
            action.layout = LayoutKind::SplitHorizontal;
            break;
        case LayoutButton::SideBySide:
            action.setLayout = true;
            action.layout = LayoutKind::SplitVertical;
            break;
    }
    return action;
}

AV::CameraSlot* SlotAtViewPosition(AppState& app, int position) {
    for (AV::CameraSlot* slot : app.activeSlots) {
        if (slot->viewPosition == position) return slot;
    }
    return app.activeSlots.empty() ? nullptr : app.activeSlots.front();
}

void SwapFirstTwoViews(AppState& app) {
    if (app.activeSlots.size() >= 2) std::swap(app.activeSlots[0]->viewPosition, app.activeSlots[1]->viewPosition);
    app.settings.Split_Camera = 1.0f - app.settings.Split_Camera;
}

void RememberViewPositions(AppState& app) {
    for (AV::CameraSlot* slot : app.activeSlots) {
        uint32_t id = 0;
        {
            picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
            std::lock_guard<std::mutex> guard(service->tableLock);
            id = uint32_t(service->groups[0].params[picam::CameraId].value);
        }
        if (id == 0) continue;  // 0 ends the written list: such a camera cannot be remembered
        CameraEntry* entry = nullptr;
        for (CameraEntry& e : app.settings.CameraEntries) {
            if (e.Id == id && e.Index == slot->channel) entry = &e;
        }
        if (entry == nullptr) {
            app.settings.CameraEntries.emplace_back();
            entry = &app.settings.CameraEntries.back();
            entry->Id = id;
            entry->Index = slot->channel;
        }
        entry->Window = slot->viewPosition;
    }
}

void DrawCameraViewLayout(AppState& app) {
    PopupRecord& record = Popups().cameraViewLayout;
    if (!BeginPopupRecord(record, PopupKind::Plain,
                          ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                              ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse,
                          ImVec2(1.0f, 1.0f))) {
        return;
    }
    if (app.activeSlots.size() < 2) {
        SelectLayout(app, LayoutKind::SingleCamera);
        UpdateSuspension(app);
        ClosePopup(record);
        EndPopupRecord(record);
        return;
    }
    GL::BuiltInImages& icons = GL::BuiltIns();
    const struct {
        LayoutButton button;
        const GL::ImageQuad* icon;
    } buttons[] = {
        {LayoutButton::Swap, &icons.swapViews},          {LayoutButton::Single, &icons.singleView},
        {LayoutButton::Overlap, &icons.pictureInPicture}, {LayoutButton::Stacked, &icons.oneAboveOther},
        {LayoutButton::SideBySide, &icons.sideBySide},
    };
    const float pad = 8 * app.UiScale;
    for (size_t i = 0; i < sizeof(buttons) / sizeof(buttons[0]); ++i) {
        if (i > 0) ImGui::SameLine();
        if (!IconButton(*buttons[i].icon, true, pad)) continue;
        const LayoutKind current = app.settings.LayoutStyle;
        const bool shownRecording = IsRecording(SlotAtViewPosition(app, 0));
        const bool secondRecording = IsRecording(SlotAtViewPosition(app, 1));
        const LayoutAction action = LayoutButtonAction(buttons[i].button, current, shownRecording, secondRecording);
        if (action.ask) {
            Ask(action.mode);
        } else if (action.swap) {
            SwapFirstTwoViews(app);
            RememberViewPositions(app);
            SaveSettings(app.settings, app.dataFolder);
        } else if (action.setLayout) {
            SelectLayout(app, action.layout);
        }
        UpdateSuspension(app);
        ClosePopup(record);
    }
    EndPopupRecord(record);
}

}  // namespace ui
