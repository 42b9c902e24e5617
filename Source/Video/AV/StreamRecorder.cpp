// AV::Stream recording: stream copy of the received packets into a Matroska
// file (container from the file name's extension), timed by arrival because
// the live stream carries no timestamps.
//
// Threads: the UI thread starts and stops; the video (receiving) thread
// writes (from Process or Receive, as soon as each unit is read, timed by
// its arrival) and stops (from Close, or itself when a write fails). Lock
// order: input lock, then recorder lock.
//
// Every write result is checked. The muxer keeps the open Matroska cluster
// in memory and the I/O layer buffers what it writes: clusters are closed at
// every key frame and after kClusterLimit_ms, each closed cluster is pushed
// through the I/O buffer to the file at once (flush_packets), and a cluster
// still open after kFlushPeriod_ns is closed by hand. Whatever happens to the
// process, the file plays up to its last closed cluster. A write that fails
// stops the recording without a trailer (its bytes would land after a failed
// write); the file then reads like a cut one, and the library scan makes it
// whole.
#include <cstdio>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "Video/AV/AvError.h"
#include "Video/AV/Stream.h"

namespace AV {

StreamRecorder::~StreamRecorder() { avcodec_parameters_free(&sourceParameters); }

bool Stream::StartRecording(const std::string& path) { return StartRecording(path, {}); }

bool Stream::StartRecording(const std::string& path, const std::map<std::string, std::string>& metadata) {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    Recorder& r = *recorder_;
    if (r.output || r.outputStream) return false;  // one recording at a time
    if (r.sourceCodec == nullptr || r.sourceParameters == nullptr) return false;  // no input open

    r.runningTime = 0;
    r.lastStep = 0;
    r.packetCount = 0;
    r.recordedSeconds = 0;
    r.headerWritten = false;
    r.headerFailureLogged = false;
    r.flushCount = 0;
    r.fileBytes = 0;
    r.path = path;
    int rc = avformat_alloc_output_context2(&r.output, nullptr, nullptr, path.c_str());
    if (rc < 0 || !r.output) {
        if (rc >= 0) rc = AVERROR_UNKNOWN;
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | [%d] avformat_alloc_output_context2 : %s", rc,
                 AvErrorText(rc).c_str());
        StopRecording_locked();
        return false;
    }
    for (const auto& [key, value] : metadata) av_dict_set(&r.output->metadata, key.c_str(), value.c_str(), 0);

    r.outputStream = avformat_new_stream(r.output, r.sourceCodec);
    if (!r.outputStream) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StartRecording | avformat_new_stream : NULL");
        StopRecording_locked();
        return false;
    }
    r.outputStream->time_base = AVRational{r.sourceTimeBaseNum, r.sourceTimeBaseDen};
    rc = avcodec_parameters_copy(r.outputStream->codecpar, r.sourceParameters);
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
        r.path.clear();  // nothing was created
        StopRecording_locked();
        return false;
    }
    LOGF(LOG_INFO, LOG_SRC_AV, "Stream::StartRecording | recording to %s", path.c_str());
    return true;
}

bool Stream::FlushRecording_locked(int64_t now_ns) {
    Recorder& r = *recorder_;
    // No packet: the muxer closes its open cluster and hands it to the I/O
    // layer, which then writes out its buffer.
    int rc = av_write_frame(r.output, nullptr);
    if (rc < 0) {
        FailRecording_locked("av_write_frame", rc);
        return false;
    }
    avio_flush(r.output->pb);
    if (r.output->pb->error < 0) {
        FailRecording_locked("avio_flush", r.output->pb->error);
        return false;
    }
    r.lastFlushNs = now_ns;
    r.fileBytes = avio_tell(r.output->pb);
    ++r.flushCount;
    return true;
}

void Stream::FailRecording_locked(const char* call, int rc) {
    Recorder& r = *recorder_;
    const std::string reason = AvErrorText(rc);
    LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::WritePacket | [%d] %s : %s (%s)", rc, call, reason.c_str(),
             r.path.c_str());
    PostAlert("Recording stopped: the file could not be written (" + reason + "). What was recorded before is kept: " +
                  r.path,
              LOG_ERROR);
    // No trailer: the I/O layer has already lost bytes, so anything written
    // now would land at the wrong place. What reached the file reads like a
    // cut recording.
    const int64_t written = static_cast<int64_t>(r.packetCount);
    avio_closep(&r.output->pb);
    avformat_free_context(r.output);
    r.output = nullptr;
    r.outputStream = nullptr;
    r.headerWritten = false;
    LOGF(LOG_INFO, LOG_SRC_AV, "Stream::StopRecording | %s stopped after a write error, %lld packets, %.1f s",
             r.path.c_str(), static_cast<long long>(written), r.recordedSeconds);
    r.path.clear();
    lastRecordingPackets_ = written;
}

void Stream::WritePacket(AVPacket* packet) { WritePacket(packet, MonotonicNs()); }

void Stream::WritePacket(AVPacket* packet, int64_t arrival_ns) {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    Recorder& r = *recorder_;
    if (!r.output || !r.outputStream) return;
    if (r.packetCount == 0) {
        // A recording starts at a key frame with its header; until then the
        // file stays empty. A header that fails is tried again at the next
        // key frame.
        if (!(packet->flags & AV_PKT_FLAG_KEY)) return;
        if (!r.headerWritten) {
            // The muxer closes a cluster at every key frame and once it holds
            // kClusterLimit_ms, and with flush_packets every closed cluster
            // goes straight through the I/O buffer to the file.
            AVDictionary* options = nullptr;
            av_dict_set_int(&options, "cluster_time_limit", kClusterLimit_ms, 0);
            r.output->flush_packets = 1;
            const int rc = avformat_write_header(r.output, &options);
            av_dict_free(&options);
            if (rc < 0) {
                if (!r.headerFailureLogged)
                    LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::WritePacket | [%d] avformat_write_header : %s (%s)",
                             rc, AvErrorText(rc).c_str(), r.path.c_str());
                r.headerFailureLogged = true;
                return;
            }
            r.headerWritten = true;
        }
        r.lastWriteNs = arrival_ns;
        r.lastFlushNs = MonotonicNs();
    }
    AVPacket* copy = av_packet_clone(packet);
    if (!copy) {
        FailRecording_locked("av_packet_clone", AVERROR(ENOMEM));
        return;
    }
    const int64_t now = MonotonicNs();
    ++r.packetCount;

    // A packet's time is its arrival: the first one at 0, each next one
    // later by the time between their arrivals (at least 1 ms, so that the
    // times always rise; at most 1 s, so that a pause of the camera does
    // not become minutes of a frozen picture). Its duration is one frame
    // interval of the stream: when the next one comes is not known yet, and
    // a guess from the last step would make a burst after a stall end
    // before the long packet in front of it.
    const int rate = frameRate_.load();
    const int64_t frame_us = rate >= 1 ? 1000000 / rate : 33333;
    const int64_t frameStep = av_rescale_q(frame_us, AVRational{1, 1000000}, r.outputStream->time_base);
    int64_t step_us = 0;
    if (r.packetCount > 1) {
        step_us = (arrival_ns - r.lastWriteNs) / 1000;
        if (step_us < 1000) step_us = 1000;
        if (step_us > 1000000) step_us = 1000000;
        r.lastStep = av_rescale_q(step_us, AVRational{1, 1000000}, r.outputStream->time_base);
        r.runningTime += r.lastStep;
    }
    r.lastWriteNs = arrival_ns;

    copy->stream_index = r.outputStream->index;
    copy->pts = r.runningTime;
    copy->dts = r.runningTime;
    copy->duration = frameStep;
    copy->pos = -1;
    r.outputStream->duration = r.runningTime + frameStep;
    r.recordedSeconds =
        static_cast<double>(r.runningTime + frameStep) * r.outputStream->time_base.num / r.outputStream->time_base.den;

    // The packet's bytes live in the stream's packet buffer, which the next
    // access unit overwrites: write and drain the interleaving queue now.
    int rc = av_interleaved_write_frame(r.output, copy);
    av_packet_free(&copy);
    if (rc >= 0) rc = av_interleaved_write_frame(r.output, nullptr);
    if (rc >= 0 && r.output->pb->error < 0) rc = r.output->pb->error;
    if (rc < 0) {
        FailRecording_locked("av_interleaved_write_frame", rc);
        return;
    }
    // The file grows each time the muxer has closed a cluster (the packet
    // that starts the next one is what closes it). The first packet goes
    // out with the header at once, and a cluster that stays open too long
    // (a stream with few pictures) is closed here.
    const int64_t fileBytes = avio_tell(r.output->pb);
    if (fileBytes > r.fileBytes) {
        r.fileBytes = fileBytes;
        r.lastFlushNs = now;
        ++r.flushCount;
    }
    if (r.packetCount == 1 || now - r.lastFlushNs >= kFlushPeriod_ns) FlushRecording_locked(now);
}

int64_t Stream::StopRecording_locked() {
    Recorder& r = *recorder_;
    if (!r.output) {
        r.outputStream = nullptr;
        return -1;
    }
    int64_t written = static_cast<int64_t>(r.packetCount);
    if (r.packetCount > 0 && r.headerWritten) {
        const int rc = av_write_trailer(r.output);
        if (rc < 0)
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StopRecording | [%d] av_write_trailer : %s (%s)", rc,
                     AvErrorText(rc).c_str(), r.path.c_str());
    }
    const int closed = avio_closep(&r.output->pb);
    if (closed < 0)
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StopRecording | [%d] avio_close : %s (%s)", closed,
                 AvErrorText(closed).c_str(), r.path.c_str());
    avformat_free_context(r.output);
    r.output = nullptr;
    r.outputStream = nullptr;
    r.headerWritten = false;
    if (!r.path.empty()) {
        if (written == 0) {
            // Stopped before its first key frame: the file holds nothing a
            // player could open, so it does not stay behind.
            if (std::remove(r.path.c_str()) == 0)
                LOGF(LOG_INFO, LOG_SRC_AV, "Stream::StopRecording | %s stopped before its first key frame, removed",
                         r.path.c_str());
            else
                LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::StopRecording | could not remove the empty %s",
                         r.path.c_str());
        } else {
            LOGF(LOG_INFO, LOG_SRC_AV, "Stream::StopRecording | %s finished, %lld packets, %.1f s",
                     r.path.c_str(), static_cast<long long>(written), r.recordedSeconds);
        }
    }
    r.path.clear();
    lastRecordingPackets_ = written;
    return written;
}

uint64_t Stream::RecordingFlushes() {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    return recorder_->flushCount;
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

int64_t Stream::RecordingPackets() {
    std::lock_guard<std::mutex> lock(recorder_->lock);
    return static_cast<int64_t>(recorder_->packetCount);
}

}  // namespace AV
