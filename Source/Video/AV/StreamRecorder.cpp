// AV::Stream recording: stream copy of the received packets into a Matroska
// file (container from the file name's extension), timed by arrival because
// the live stream carries no timestamps.
//
// Threads: the UI thread starts and stops; the video thread writes (from
// Process) and stops (from Close). Lock order: input lock, then recorder lock.
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "Base/Log.h"
#include "Video/AV/AvError.h"
#include "Video/AV/Stream.h"

namespace AV {

bool Stream::StartRecording(const std::string& path) { return StartRecording(path, {}); }

bool Stream::StartRecording(const std::string& path, const std::map<std::string, std::string>& metadata) {
    {
        std::lock_guard<std::mutex> lock(recorder_->lock);
        if (recorder_->outputStream) return false;
    }
    std::lock_guard<std::mutex> inputLock(input_->lock);
    std::lock_guard<std::mutex> lock(recorder_->lock);
    Recorder& r = *recorder_;
    if (r.output || r.outputStream) return false;  // started by another caller meanwhile
    if (!input_->decoder || !input_->videoStream) return false;

    r.runningTime = 0;
    r.packetCount = 0;
    r.recordedSeconds = 0;
    r.headerWritten = false;
    int rc = avformat_alloc_output_context2(&r.output, nullptr, nullptr, path.c_str());
    if (rc < 0 || !r.output) {
        if (rc >= 0) rc = AVERROR_UNKNOWN;
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | [%d] avformat_alloc_output_context2 : %s", rc,
                 AvErrorText(rc).c_str());
        StopRecording_locked();
        return false;
    }
    for (const auto& [key, value] : metadata) av_dict_set(&r.output->metadata, key.c_str(), value.c_str(), 0);

    r.outputStream = avformat_new_stream(r.output, input_->codec);
    if (!r.outputStream) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | avformat_new_stream : NULL");
        StopRecording_locked();
        return false;
    }
    r.outputStream->time_base = input_->videoStream->time_base;
    rc = avcodec_parameters_copy(r.outputStream->codecpar, input_->videoStream->codecpar);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | [%d] avcodec_parameters_copy : %s", rc,
                 AvErrorText(rc).c_str());
        StopRecording_locked();
        return false;
    }
    // The source container's tag means nothing to the output container.
    r.outputStream->codecpar->codec_tag = 0;
    rc = avio_open(&r.output->pb, path.c_str(), AVIO_FLAG_READ_WRITE);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | [%d] avio_open : %s", rc, AvErrorText(rc).c_str());
        StopRecording_locked();
        return false;
    }
    return true;
}

void Stream::WritePacket(AVPacket* packet) {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    Recorder& r = *recorder_;
    if (!r.output || !r.outputStream) return;
    if (r.packetCount == 0) {
        // A recording starts at a key frame with its header; until then the
        // file stays empty. A header that fails is tried again at the next
        // key frame.
        if (!(packet->flags & AV_PKT_FLAG_KEY)) return;
        if (!r.headerWritten) {
            if (avformat_write_header(r.output, nullptr) < 0) return;
            r.headerWritten = true;
        }
        r.lastWriteNs = MonotonicNs();
    }
    ++r.packetCount;
    AVPacket* copy = av_packet_clone(packet);
    if (!copy) return;

    int64_t now = MonotonicNs();
    int64_t step_us = (now - r.lastWriteNs) / 1000;
    if (step_us < 1000) step_us = 1000;
    if (step_us > 1000000) step_us = 1000000;
    r.lastWriteNs = now;
    int64_t step = av_rescale_q(step_us, AVRational{1, 1000000}, r.outputStream->time_base);

    copy->stream_index = r.outputStream->index;
    copy->pts = r.runningTime;
    copy->dts = r.runningTime;
    copy->duration = step;
    copy->pos = -1;
    r.runningTime += step;
    r.outputStream->duration = r.runningTime;
    r.recordedSeconds = static_cast<double>(r.runningTime) * r.outputStream->time_base.num / r.outputStream->time_base.den;

    // The packet's bytes live in the stream's packet buffer, which the next
    // access unit overwrites: write and flush now.
    av_interleaved_write_frame(r.output, copy);
    av_packet_free(&copy);
    av_interleaved_write_frame(r.output, nullptr);
}

int64_t Stream::StopRecording_locked() {
    Recorder& r = *recorder_;
    if (!r.output) {
        r.outputStream = nullptr;
        return -1;
    }
    int64_t written = static_cast<int64_t>(r.packetCount);
    if (r.packetCount > 0 && r.headerWritten) av_write_trailer(r.output);
    avio_closep(&r.output->pb);
    avformat_free_context(r.output);
    r.output = nullptr;
    r.outputStream = nullptr;
    r.headerWritten = false;
    lastRecordingPackets_ = written;
    return written;
}

int64_t Stream::StopRecording() {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    return StopRecording_locked();
}

bool Stream::IsRecording() {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    return recorder_->outputStream != nullptr;
}

double Stream::RecordedSeconds() {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    return recorder_->recordedSeconds;
}

}  // namespace AV
