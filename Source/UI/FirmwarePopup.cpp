#include "UI/FirmwarePopup.h"

#include <imgui.h>

#include <atomic>
#include <memory>
#include <thread>

#include "Base/Alerts.h"
#include "App/AppState.h"
#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/Thread.h"
#include "UI/PanelValues.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/FirmwareUpdate.h"
#include "Video/Camera/Service.h"

namespace ui {

namespace {

constexpr const char* kTitle = "ORVEX Camera Update";

enum class Stage { Closed, Confirm, Sending, Waiting };

// Hand-over between the UI thread and the transfer worker: the worker writes
// `result` and then sets `finished`; the UI thread reads `result` only after
// it has seen `finished`.
struct Transfer {
    std::atomic<bool> finished{false};
    std::atomic<int> result{kUpdateInternalError};
};

struct PopupState {
    int unit = 0;
    Stage stage = Stage::Closed;
    bool openRequest = false;
    UpdateEntry target;
    int32_t cameraId = 0;
    int64_t transferEnd_us = 0;
    std::shared_ptr<Transfer> transfer;
    std::thread worker;  // UI thread: started on "Update", joined once finished
};

PopupState& State() {
    static PopupState state;
    return state;
}

void TransferMain(const std::shared_ptr<Transfer>& transfer, picam::Service* service) {
    transfer->result = UpdateService(service);
    transfer->finished = true;
}

void Close(PopupState& st) {
    st.stage = Stage::Closed;
    ImGui::CloseCurrentPopup();
}

float ButtonWidth() { return 160 * ImGui::GetFontSize() / 26.0f; }

void DrawConfirm(PopupState& st) {
    ImGui::PushTextWrapPos(0);
    ImGui::TextUnformatted(kFirmwareConfirmText);
    ImGui::PopTextWrapPos();
    ImGui::Spacing();
    if (ImGui::Button("Update", ImVec2(ButtonWidth(), 0))) {
        st.transfer = std::make_shared<Transfer>();
        // The worker holds the unit through its own reference for the whole exchange.
        st.worker = base::StartThread("orvex-firmware", [transfer = st.transfer,
                                                         service = std::make_shared<picam::ServiceRef>(
                                                             picam::AcquireService(st.unit))] {
            TransferMain(transfer, service->Get());
        });
        st.stage = Stage::Sending;
        return;
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel", ImVec2(ButtonWidth(), 0))) Close(st);
}

void DrawSending(PopupState& st) {
    ImGui::PushTextWrapPos(0);
    ImGui::TextUnformatted("Sending the update to the camera ...");
    ImGui::PopTextWrapPos();
    // A moving bar: the exchange reports no progress of its own.
    const float t = static_cast<float>(ImGui::GetTime());
    ImGui::ProgressBar(t / 2 - static_cast<float>(static_cast<int>(t / 2)), ImVec2(-1, 0), "");
    if (!st.transfer->finished.load()) return;
    if (st.worker.joinable()) st.worker.join();  // it has finished: returns at once
    const int result = st.transfer->result.load();
    st.transfer.reset();
    if (result == kUpdateQueued) {
        st.stage = Stage::Waiting;
        st.transferEnd_us = MonotonicUs();
        LogWrite(LOG_INFO, LOG_SRC_UI, __LINE__, "FirmwarePopup | files transferred, waiting for the camera");
        return;
    }
    const std::string alert = FirmwareResultAlert(result);
    LogWrite(LOG_WARN, LOG_SRC_UI, __LINE__, "FirmwarePopup | %s", alert.c_str());
    PostAlert(alert);
    Close(st);
}

void DrawWaiting(PopupState& st) {
    int64_t t = (MonotonicUs() - st.transferEnd_us) / 1000;
    if (t > 1000000) t = 1000000;
    bool found = false;
    uint32_t version = 0;
    if (t > 1000) {
        const int ready = picam::CountReadyServices();
        for (int i = 0; i < ready && !found; ++i) {
            picam::ServiceRef s = picam::AcquireService(i);
            if (s.IsNull() || !s->connected.load()) continue;
            int32_t id;
            {
                std::lock_guard<std::mutex> hold(s->tableLock);
                id = s->groups[0].params[picam::CameraId].value;
            }
            if (id == st.cameraId) {
                found = true;
                st.unit = i;
                version = s->version.load();
            }
        }
    }
    const FirmwareWait state = FirmwareWaitState(t, found, version, st.target.version, st.target.restartAfter);
    ImGui::PushTextWrapPos(0);
    ImGui::TextUnformatted(FirmwareWaitText(state));
    ImGui::PopTextWrapPos();
    if (state == FirmwareWait::Waiting) return;
    ImGui::Spacing();
    if (ImGui::Button("Done", ImVec2(ButtonWidth(), 0))) {
        Close(st);
        return;
    }
    if (state == FirmwareWait::SuccessRestart) {
        ImGui::SameLine();
        if (ImGui::Button("Restart Now", ImVec2(ButtonWidth(), 0))) {
            picam::ServiceRef s = picam::AcquireService(st.unit);
            {
                std::lock_guard<std::mutex> hold(s->tableLock);
                s->SetParam_locked(0, picam::Command, 2);
                s->PackChanges_locked();
            }
            Close(st);
        }
    }
}

}  // namespace

void OpenFirmwarePopup(int unit) {
    PopupState& st = State();
    if (st.stage == Stage::Sending) return;  // one transfer at a time
    st.unit = unit;
    st.openRequest = true;
}

bool FirmwareTransferRunning() { return State().stage == Stage::Sending; }

void FinishFirmwareTransfer() {
    PopupState& st = State();
    if (st.worker.joinable()) st.worker.join();
}

void DrawFirmwarePopup(AppState&) {
    PopupState& st = State();
    if (st.openRequest) {
        st.openRequest = false;
        if (st.unit >= picam::CountReadyServices()) return;
        picam::ServiceRef s = picam::AcquireService(st.unit);
        st.target = UpdateEntry();
        CheckForUpdate(s.Get(), &st.target);
        {
            std::lock_guard<std::mutex> hold(s->tableLock);
            st.cameraId = s->groups[0].params[picam::CameraId].value;
        }
        st.stage = Stage::Confirm;
        ImGui::OpenPopup(kTitle);
    }
    if (st.stage == Stage::Closed) return;
    if (!ImGui::IsPopupOpen(kTitle)) ImGui::OpenPopup(kTitle);  // another modal closed it: the stage goes on
    const ImVec2 centre = ImGui::GetMainViewport()->GetCenter();
    ImGui::SetNextWindowPos(centre, ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(720 * ImGui::GetFontSize() / 26.0f, 0), ImGuiCond_Always);
    if (!ImGui::BeginPopupModal(kTitle, nullptr, ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove)) return;
    switch (st.stage) {
        case Stage::Confirm: DrawConfirm(st); break;
        case Stage::Sending: DrawSending(st); break;
        case Stage::Waiting: DrawWaiting(st); break;
        case Stage::Closed: break;
    }
    ImGui::EndPopup();
}

}  // namespace ui
