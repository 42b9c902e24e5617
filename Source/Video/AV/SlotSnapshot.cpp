#include "Video/AV/SlotSnapshot.h"

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Capture.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"

namespace {

void ClearCapturing(AV::CameraSlot* slot) {
    std::lock_guard<std::mutex> hold(slot->lock);
    slot->flags &= ~static_cast<uint32_t>(AV::kSlotCapturing);
}

}  // namespace

void SnapshotSaveQueue::Push(CaptureRequest request) {
    std::lock_guard<std::mutex> hold(lock_);
    items_.push_back(std::move(request));
}

size_t SnapshotSaveQueue::Size() {
    std::lock_guard<std::mutex> hold(lock_);
    return items_.size();
}

void RequestSnapshot(AV::CameraSlot& slot, int64_t sessionTimeUs, SnapshotSaveQueue& queue) {
    uint32_t flags;
    {
        std::lock_guard<std::mutex> hold(slot.lock);
        flags = slot.flags;
    }
    if ((flags & AV::kSlotStreaming) == 0) return;

    picam::ServiceRef service = picam::AcquireService(slot.cameraIndex);
    const int group = slot.channel;
    CaptureRequest request;
    request.slot = &slot;
    request.mediaType = 2;
    request.sessionTime = sessionTimeUs;
    request.group = group;
    {
        std::lock_guard<std::mutex> hold(service->tableLock);
        const picam::ParamGroup& g = service->groups[group == 1 ? 1 : 0];
        request.cameraId = service->groups[0].params[picam::CameraId].value;
        request.imageWidth = static_cast<int32_t>(picam::ShownValueInt(g.params[picam::ImageWidth]));
        request.imageHeight = static_cast<int32_t>(picam::ShownValueInt(g.params[picam::ImageHeight]));
        request.jpegQuality = static_cast<int32_t>(picam::ShownValueInt(g.params[picam::JpegQuality]));
    }
    {
        std::lock_guard<std::mutex> hold(slot.lock);
        slot.flags |= AV::kSlotCapturing;
    }
    SnapshotSaveQueue* target = &queue;
    StartCapture(*service, group, [request = std::move(request), target](const uint8_t* data, size_t size) {
        if (data != nullptr && size > 0) {
            CaptureRequest done = request;
            done.jpeg.assign(data, data + size);
            target->Push(std::move(done));
        } else {
            LOGF(LOG_ERROR, LOG_SRC_AV, "RequestSnapshot | the %s camera sent no picture",
                     request.group == 1 ? "SATELLITE" : "PRIMARY");
            PostAlert("The snapshot failed: the camera sent no picture.");
        }
        ClearCapturing(request.slot);
    });
}
