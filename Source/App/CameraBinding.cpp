// Sections: slot parameter blocks; BindCameras (with the slot start);
// AssignViewPositions; annotation text; recent configurations; shut-down.
#include "App/CameraBinding.h"

#include <cstdio>
#include <cstring>

#include "App/AppState.h"
#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Base/Settings.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/ScanLink.h"
#include "App/SlotConfig.h"

namespace {

// One parameter block per slot (60 KiB each); UI thread only.
picam::ParamGroup g_slotParams[kCameraSlots];
// The service's connection number each slot was last started for; UI thread
// only. A slot whose number is behind its service's was started for a
// connection that has since ended, however briefly.
uint32_t g_slotConnection[kCameraSlots];

int SlotIndex(const AppState& app, const AV::CameraSlot* slot) {
    const ptrdiff_t i = slot - app.slots;
    return (i >= 0 && i < kCameraSlots) ? int(i) : 0;
}

constexpr int kAnnotationTimerFormat = 166;  // the session-timer piece of the caption

int32_t ReadParam(picam::Service* service, int group, int index) {
    std::lock_guard<std::mutex> guard(service->tableLock);
    return service->groups[group].params[index].value;
}

// Steps 4.1 to 4.9 of the binding: the slot's first start (or a restart).
// Called only once the slot's earlier thread has ended (AV::SlotThreadEnded),
// so its join returns at once. The slot's unit and channel are written here,
// before its video thread starts, and stay as they are while it runs (the
// thread reads them).
void StartCameraSlot(AppState& app, picam::Service* service, int i, int ch, AV::CameraSlot* slot) {
    if (slot->thread.joinable()) slot->thread.join();
    g_slotConnection[SlotIndex(app, slot)] = service->connectionNumber.load();
    slot->cameraIndex = i;
    slot->channel = ch;
    RequestRefresh();  // the scan link's start-up requests
    picam::ParamGroup& block = g_slotParams[SlotIndex(app, slot)];
    {
        std::lock_guard<std::mutex> guard(service->tableLock);
        std::memcpy(&block, &service->groups[ch], sizeof(block));
    }
    for (int p = 0; p <= 191; ++p) block.params[p].value = block.params[p].defaultValue;
    for (int m = 0; m <= 4; ++m) block.messages[m][0] = 0;
    if (!picam::RestoreSlotConfig(app.settings, ch, &block, &slot->recordEnabled, &slot->snapshotEnabled)) {
        block.params[picam::LightLevel].value = block.params[picam::LightLevel].defaultValue;
    }

    slot->viewPosition = 0;
    std::string uri;
    const uint32_t identity = uint32_t(ReadParam(service, 0, picam::CameraId));
    for (const CameraEntry& entry : app.settings.CameraEntries) {
        if (entry.Id == identity && entry.Index == ch) {
            slot->viewPosition = entry.Window;
            uri = entry.Uri;
            break;
        }
    }
    service->ApplyParams(ch, &block);

    AV::Stream::Options options = AV::Stream::Options::LiveCamera();
    options.connectTimeout_us = 2000000;
    options.receiveTimeout_us = 3000000;
    options.probeSize = 64;
    {
        std::lock_guard<std::mutex> guard(slot->lock);
        slot->streamAddress = uri;
    }
    AV::StartSlot(slot, options);
}

// True once the crawler has reported an axis: an item range or a position.
bool CrawlerReportsAxis() {
    std::lock_guard<std::mutex> guard(scanLinkLock);
    for (int axis = 0; axis < kScanLinkAxes; ++axis) {
        const ScanLinkValue& p = scanLinkState.axisPosition[axis];
        if (scanLinkState.axisItems[axis].count > 0 || p.raw != 0 || p.divisor != 0) return true;
    }
    return false;
}

}  // namespace

AxisLabels RebuildAxisLabels(const Settings& settings) {
    AxisLabels labels{{"Scan", "Crawler"}, {"Index", "Raster"}};
    if (!settings.AxisLabelX.empty()) labels.x.push_back(settings.AxisLabelX);
    if (!settings.AxisLabelY.empty()) labels.y.push_back(settings.AxisLabelY);
    return labels;
}

bool SelectAxisLabels(Settings& settings, bool crawlerHasAxis, std::string* labelX, std::string* labelY) {
    const AxisLabels labels = RebuildAxisLabels(settings);
    if (!crawlerHasAxis) return false;
    const int lastX = int(labels.x.size()) - 1, lastY = int(labels.y.size()) - 1;
    settings.AxisSelectX = settings.AxisSelectX < 0 ? 0 : (settings.AxisSelectX > lastX ? lastX : settings.AxisSelectX);
    settings.AxisSelectY = settings.AxisSelectY < 0 ? 0 : (settings.AxisSelectY > lastY ? lastY : settings.AxisSelectY);
    *labelX = labels.x[size_t(settings.AxisSelectX)];
    *labelY = labels.y[size_t(settings.AxisSelectY)];
    return true;
}

picam::ParamGroup& SlotParamBlock(const AppState& app, const AV::CameraSlot* slot) {
    return g_slotParams[SlotIndex(app, slot)];
}

// ---- BindCameras ----------------------------------------------------------------

namespace {

// The slot's camera unit is gone (not connected, or no longer listed): its
// thread ends and finishes a running recording. The user hears of a stopped
// recording as of a lost video connection, whichever side noticed first.
void StopSlotOfLostCamera(AV::CameraSlot* slot) {
    const uint32_t flags = slot->Flags();
    if ((flags & AV::kSlotRun) != 0 && (flags & AV::kSlotRecording) != 0) PostAlert(AV::kConnectionLostAlert);
    slot->SetFlags(0, AV::kSlotRun | AV::kSlotStreaming);
}

}  // namespace

void BindCameras(AppState& app) {
    app.activeSlots.clear();
    app.boundSlotCount = 0;
    int next = 0;
    for (int i = 0; i < picam::CountReadyServices(); ++i) {
        picam::ServiceRef service = picam::AcquireService(i);
        const int channels = ReadParam(service.Get(), 0, picam::GroupCount);
        for (int ch = 0; ch < channels && ch < picam::kGroupCount; ++ch) {
            if (next >= kCameraSlots) break;
            AV::CameraSlot* slot = &app.slots[next++];
            if (!service->connected.load()) {
                StopSlotOfLostCamera(slot);
                continue;
            }
            app.activeSlots.push_back(slot);
            if ((slot->Flags() & AV::kSlotRun) != 0 &&
                g_slotConnection[SlotIndex(app, slot)] != service->connectionNumber.load()) {
                // Started for an earlier connection of the unit: the drop
                // ended it even if no frame saw the unit disconnected. Stop
                // the thread; the slot starts afresh (and its saved settings
                // go to the camera again) once that thread has ended.
                slot->SetFlags(0, AV::kSlotRun);
                slot->SetFlags(0, AV::kSlotStreaming);
            }
            // A thread told to stop may still wait on the network (connect
            // or receive time-outs): it is never joined here, the slot
            // starts in the first frame that finds it ended.
            if ((slot->Flags() & AV::kSlotRun) == 0 && AV::SlotThreadEnded(slot))
                StartCameraSlot(app, service.Get(), i, ch, slot);
            AnnotationText(app, service.Get(), ch, slot);
        }
        std::string labelX, labelY;
        const bool overlay = SelectAxisLabels(app.settings, CrawlerReportsAxis(), &labelX, &labelY);
        {
            std::lock_guard<std::mutex> guard(service->tableLock);
            if (overlay) {
                service->SetMessageValue_locked(0, picam::AxisLabel, labelX.c_str());
                service->SetMessageValue_locked(1, picam::AxisLabel, labelY.c_str());
            }
            service->PackChanges_locked();
        }
    }
    app.boundSlotCount = next;
    // A unit that went away is no longer counted ready, so the loop above
    // never visits its channels: stop every slot that was not handed out.
    for (int k = next; k < kCameraSlots; ++k) {
        AV::CameraSlot& slot = app.slots[k];
        if (slot.Flags() & AV::kSlotRun) StopSlotOfLostCamera(&slot);
    }
}

// ---- AssignViewPositions ------------------------------------------------------------

void AssignViewPositions(std::vector<int>* positions) {
    const int n = int(positions->size());
    std::vector<bool> taken(size_t(n), false);
    for (int& p : *positions) {
        if (p < 0 || p >= n || taken[size_t(p)]) {
            p = 0;
            while (p < n && taken[size_t(p)]) ++p;
        }
        if (p < n) taken[size_t(p)] = true;
    }
}

void AssignViewPositions(AppState& app) {
    std::vector<int> positions;
    for (AV::CameraSlot* slot : app.activeSlots) positions.push_back(slot->viewPosition);
    AssignViewPositions(&positions);
    for (size_t k = 0; k < positions.size(); ++k) app.activeSlots[k]->viewPosition = positions[k];
}

// ---- annotation text ----------------------------------------------------------------

namespace {

void AppendPiece(std::string* text, const char* piece) {
    if (piece[0] == 0) return;
    if (!text->empty()) text->append("  ");
    text->append(piece);
    if (text->size() > 255) text->resize(255);
}

}  // namespace

std::string ComposeAnnotation(bool textOn, const char* caption, int dateFormat, int timeFormat, int timerFormat,
                              const std::tm& now, int64_t sessionTime_us) {
    std::string text;
    if (textOn && caption != nullptr) text.assign(caption, strnlen(caption, 255));

    char piece[64] = {0};
    const int year = now.tm_year + 1900, month = now.tm_mon + 1, day = now.tm_mday;
    switch (dateFormat) {
        case 1: std::snprintf(piece, sizeof(piece), "%02d/%02d/%d", month, day, year); break;
        case 2: std::snprintf(piece, sizeof(piece), "%02d-%02d-%d", day, month, year); break;
        case 3: std::snprintf(piece, sizeof(piece), "%d-%02d-%02d", year, month, day); break;
        case 4: std::snprintf(piece, sizeof(piece), "%02d.%02d.%d", day, month, year); break;
        case 5: std::snprintf(piece, sizeof(piece), "%d.%02d.%02d", year, month, day); break;
        default: piece[0] = 0; break;
    }
    AppendPiece(&text, piece);

    const int hour = now.tm_hour, hour12 = hour > 12 ? hour - 12 : hour;
    const char* suffix = hour < 12 ? "am" : "pm";
    switch (timeFormat) {
        case 1: std::snprintf(piece, sizeof(piece), "%d:%02d", hour, now.tm_min); break;
        case 2: std::snprintf(piece, sizeof(piece), "%d:%02d:%02d", hour, now.tm_min, now.tm_sec); break;
        case 3: std::snprintf(piece, sizeof(piece), "%d:%02d %s", hour12, now.tm_min, suffix); break;
        case 4: std::snprintf(piece, sizeof(piece), "%d:%02d:%02d %s", hour12, now.tm_min, now.tm_sec, suffix); break;
        default: piece[0] = 0; break;
    }
    AppendPiece(&text, piece);

    int64_t t = sessionTime_us < 0 ? 0 : sessionTime_us;
    const int64_t hours = t / 3600000000LL;
    t -= hours * 3600000000LL;
    const int64_t minutes = t / 60000000LL;
    t -= minutes * 60000000LL;
    const int64_t seconds = t / 1000000LL;
    const int64_t micros = t - seconds * 1000000LL;
    switch (timerFormat) {
        case 1:
            std::snprintf(piece, sizeof(piece), "%d:%02d:%02d", int(hours), int(minutes), int(seconds));
            break;
        case 2:
            std::snprintf(piece, sizeof(piece), "%d:%02d:%02d.%d", int(hours), int(minutes), int(seconds),
                          int(micros / 100));
            break;
        default: piece[0] = 0; break;
    }
    AppendPiece(&text, piece);
    return text;
}

void AnnotationText(AppState& app, picam::Service* service, int ch, AV::CameraSlot* slot) {
    int textOn, dateFormat, timeFormat, timerFormat;
    {
        std::lock_guard<std::mutex> guard(service->tableLock);
        const picam::ParamRecord* p = service->groups[ch].params;
        textOn = p[picam::AnnotationShowName].value;
        dateFormat = p[picam::AnnotationDateFormat].value;
        timeFormat = p[picam::AnnotationTimeFormat].value;
        timerFormat = p[kAnnotationTimerFormat].value;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char caption[picam::kMessageSize] = {0};
    if (textOn != 0) service->GetMessageValue(ch, 2, caption);
    const std::string text = ComposeAnnotation(textOn != 0, caption, dateFormat, timeFormat, timerFormat, local,
                                               app.sessionElapsed_us + app.sessionBase_us);
    picam::ParamGroup& block = SlotParamBlock(app, slot);
    std::snprintf(block.messages[3], sizeof(block.messages[3]), "%s", text.c_str());
    std::lock_guard<std::mutex> guard(service->tableLock);
    service->SetMessageValue_locked(ch, 3, block.messages[3]);
}

// ---- recent configurations ------------------------------------------------------------

void ConnectRecentConfigs(AppState& app) {
    picam::ConnectRecentConfigHook([&app]() {
        std::vector<picam::SlotConfigSource> sources;
        for (AV::CameraSlot* slot : app.activeSlots) {
            picam::SlotConfigSource source;
            source.cameraIndex = slot->cameraIndex;
            source.group = slot->channel;
            source.table = &SlotParamBlock(app, slot);
            source.enableRecord = slot->recordEnabled;
            source.enableCapture = slot->snapshotEnabled;
            source.restorable = picam::AcquireService(slot->cameraIndex)->version.load() >= picam::VersionGate();
            sources.push_back(source);
        }
        return sources;
    });
}

// ---- shut-down ------------------------------------------------------------------------

void StopAllSlots(AppState& app) {
    for (AV::CameraSlot& slot : app.slots) {
        if (slot.thread.joinable()) AV::StopSlot(&slot);
        slot.currentPicture.reset();
    }
}
