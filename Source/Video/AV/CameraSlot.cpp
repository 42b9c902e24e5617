#include "Video/AV/CameraSlot.h"

#include <chrono>
#include <cstdio>

#include "Base/Alerts.h"
#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/Thread.h"
#include "Video/Camera/Service.h"

namespace AV {

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }


}  // namespace

uint32_t CameraSlot::Flags() {
    std::lock_guard<std::mutex> guard(lock);
    return flags;
}

void CameraSlot::SetFlags(uint32_t set, uint32_t clear) {
    std::lock_guard<std::mutex> guard(lock);
    flags = (flags & ~clear) | set;
}

void DecodeLive(CameraSlot* slot) {
    LiveUnit unit;
    int64_t lastLog_ns = 0;
    uint64_t skipped = 0;
    int64_t worstLag_ns = 0;
    while (!slot->units.Closed()) {
        if (!slot->units.Pop(&unit, 200000)) continue;
        const int64_t lag_ns = MonotonicNs() - unit.arrival_ns;
        if (lag_ns > worstLag_ns) worstLag_ns = lag_ns;
        slot->stream.Decode(unit);
        unit = LiveUnit();  // the bytes go now, not when the next unit comes
        skipped += slot->units.TakeSkipped();
        const int64_t now = MonotonicNs();
        if (skipped > 0 && now - lastLog_ns >= kSkipLogPeriod_ns) {
            LOGF(LOG_WARN, LOG_SRC_AV,
                 "DecodeLive[%d.%d] | decoding fell behind the camera: %llu pictures left out of the live view "
                 "(recording keeps them), decoder up to %lld ms late",
                 slot->cameraIndex, slot->channel & 1, static_cast<unsigned long long>(skipped),
                 static_cast<long long>(worstLag_ns / 1000000));
            lastLog_ns = now;
            skipped = 0;
            worstLag_ns = 0;
        }
    }
}

void ProcessStream(CameraSlot* slot) {
    const int channel = slot->channel == 1 ? 1 : 0;
    const int port = kVideoPorts[channel];
    slot->units.Open();
    char decoderName[16];
    snprintf(decoderName, sizeof decoderName, "decode%d.%d", slot->cameraIndex % 100, slot->channel & 1);
    std::thread decoder = base::StartThread(decoderName, [slot] { DecodeLive(slot); });
    for (;;) {
        if (!(slot->Flags() & kSlotRun)) break;
        slot->SetFlags(0, kSlotStreaming | kSlotRecording);

        // Suspended: keep the stream closed.
        for (;;) {
            uint32_t f = slot->Flags();
            if (!(f & kSlotRun) || !(f & kSlotSuspended)) break;
            if (slot->stream.IsOpen()) slot->stream.Close();
            SleepMs(33);
        }

        // Connecting.
        for (;;) {
            uint32_t f = slot->Flags();
            if (!(f & kSlotRun) || (f & kSlotSuspended) || slot->stream.IsOpen()) break;
            picam::ServiceRef service = picam::AcquireService(slot->cameraIndex);
            std::string host = service->Host();
            if (!host.empty()) {
                char address[300];
                snprintf(address, sizeof address, "tcp://%s:%d", host.c_str(), port);
                LOGF(LOG_TRACE, LOG_SRC_AV, "ProcessStream | connecting to %s", address);
                Stream::Options options;
                {
                    std::lock_guard<std::mutex> guard(slot->lock);
                    options = slot->streamOptions;
                }
                if (slot->stream.Open(address, options)) {
                    slot->units.Reset();  // a new connection starts at a key frame
                    LOGF(LOG_INFO, LOG_SRC_AV, "ProcessStream | streaming from %s", address);
                    std::lock_guard<std::mutex> guard(slot->lock);
                    slot->streamAddress = address;
                    break;
                }
                LOGF(LOG_TRACE, LOG_SRC_AV, "ProcessStream | failed to connect");
            }
            SleepMs(100);
        }

        // Streaming.
        bool wasRecording = false;
        bool closedByItself = false;
        for (;;) {
            uint32_t f = slot->Flags();
            if (!(f & kSlotRun) || (f & kSlotSuspended)) break;
            if (!slot->stream.IsOpen()) {
                closedByItself = true;
                break;
            }
            bool recording = slot->stream.IsRecording();
            slot->SetFlags(kSlotStreaming | (recording ? kSlotRecording : 0u), recording ? 0u : kSlotRecording);
            wasRecording = recording;
            LiveUnit unit;
            if (slot->stream.Receive(&unit) >= 0 && unit.packet) slot->units.Push(std::move(unit));
        }
        if (closedByItself && wasRecording) PostAlert(kConnectionLostAlert);
        slot->stream.Close();
    }
    LOGF(LOG_INFO, LOG_SRC_AV, "Stopping video thread[%d] %s", slot->cameraIndex,
             channel == 1 ? "(satellite)" : " ");
    slot->stream.Close();
    slot->units.Close();
    decoder.join();  // ends within one decode: the queue is closed
    // The last touch of the slot: from here on the thread only returns.
    slot->SetFlags(0, kSlotStreaming | kSlotRecording | kSlotThreadLive);
}

bool SlotThreadEnded(CameraSlot* slot) { return (slot->Flags() & kSlotThreadLive) == 0; }

bool StartSlot(CameraSlot* slot, const Stream::Options& options) {
    if (!SlotThreadEnded(slot)) return false;
    if (slot->thread.joinable()) slot->thread.join();  // ended: returns at once
    {
        std::lock_guard<std::mutex> guard(slot->lock);
        slot->flags = (slot->flags | kSlotRun | kSlotThreadLive) & ~kSlotStreaming;
        slot->streamOptions = options;
    }
    char name[16];
    snprintf(name, sizeof name, "video%d.%d", slot->cameraIndex % 100, slot->channel & 1);
    slot->thread = base::StartThread(name, [slot] { ProcessStream(slot); });
    return true;
}

void StopSlot(CameraSlot* slot) {
    slot->SetFlags(0, kSlotRun);
    if (slot->thread.joinable()) slot->thread.join();
    slot->stream.Close();
    slot->currentPicture.reset();
}

void UpdateSlotSuspension(CameraSlot* const* activeSlots, int count, bool singleCameraLayout, bool settingsPanelShown) {
    for (int i = 0; i < count; ++i) {
        CameraSlot* slot = activeSlots[i];
        std::lock_guard<std::mutex> guard(slot->lock);
        if (singleCameraLayout && slot->viewPosition != 0 && !settingsPanelShown) {
            slot->stream.StopRecording();
            slot->flags = (slot->flags & ~kSlotRecording) | kSlotSuspended;
        } else {
            slot->flags &= ~kSlotSuspended;
        }
    }
}

}  // namespace AV

