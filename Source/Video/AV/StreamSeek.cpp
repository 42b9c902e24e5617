// AV::Stream::Seek: moves a file stream to the first picture at or after a
// time and queues that picture. Runs on the media player's video thread.
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "Base/Log.h"
#include "Video/AV/AvError.h"
#include "Video/AV/Stream.h"

namespace AV {

void Stream::Seek(double seconds) {
    std::lock_guard<std::mutex> lock(input_->lock);
    std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
    Input& in = *input_;
    if (duration_.load() <= 0 || !in.decoder || !in.videoStream || in.io) return;

    std::shared_ptr<Frame> slot = TakeSlot();
    const AVRational micro{1, 1000000};
    int64_t target_us = static_cast<int64_t>(seconds * 1000000.0);
    int64_t target = av_rescale_q(target_us, micro, in.videoStream->time_base);
    int rc = av_seek_frame(in.demuxer, in.videoStream->index, target, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Seek | [%d] av_seek_frame : %s", rc, AvErrorText(rc).c_str());
        return;
    }
    avcodec_flush_buffers(in.decoder);
    drained_ = false;
    position_ = target_us;
    framesFetched_ = 0;
    av_frame_unref(slot->frame);

    AVPacket* packet = av_packet_alloc();
    if (!packet) return;
    for (;;) {
        if (slot->frame->data[0] && slot->frame->pts != AV_NOPTS_VALUE && slot->frame->pts >= target) {
            if (!MakeUploadable_locked(slot.get())) break;
            frameStep_ = av_rescale_q(slot->frame->pkt_duration, in.videoStream->time_base, micro);
            position_ = av_rescale_q(slot->frame->pts, in.videoStream->time_base, micro);
            width_ = slot->frame->width;
            height_ = slot->frame->height;
            QueueFrame(slot);
            break;
        }
        rc = av_read_frame(in.demuxer, packet);
        if (rc < 0) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Seek | [%d] av_read_frame : %s", rc, AvErrorText(rc).c_str());
            break;
        }
        if (packet->stream_index != in.videoStream->index) {
            av_packet_unref(packet);
            continue;
        }
        rc = avcodec_send_packet(in.decoder, packet);
        av_packet_unref(packet);
        if (rc < 0) break;
        rc = avcodec_receive_frame(in.decoder, slot->frame);
        if (rc == AVERROR_EOF) break;
        if (rc < 0 && rc != AVERROR(EAGAIN)) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Seek | [%d] avcodec_receive_frame : %s", rc,
                     AvErrorText(rc).c_str());
            break;
        }
    }
    av_packet_free(&packet);
}

}  // namespace AV
