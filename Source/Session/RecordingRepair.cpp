#include "Session/RecordingRepair.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Base/Log.h"
#include "Base/FileServices.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

std::string ErrorText(int rc) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(rc, text, sizeof text);
    return text;
}

// An opened input that closes itself.
struct Input {
    AVFormatContext* ctx = nullptr;
    ~Input() {
        if (ctx != nullptr) avformat_close_input(&ctx);
    }
    bool Open(const std::string& path) { return avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) == 0; }
};

// Largest end time (pts + duration) of the video packets read from the
// current position on, in stream time-base units.
struct PacketSpan {
    int64_t end = AV_NOPTS_VALUE;
    int64_t packets = 0;
    void Add(const AVPacket* p) {
        int64_t t = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
        if (t == AV_NOPTS_VALUE) return;
        t += std::max<int64_t>(p->duration, 0);
        if (end == AV_NOPTS_VALUE || t > end) end = t;
        ++packets;
    }
};

double SpanSeconds(const AVStream* stream, const PacketSpan& span) {
    if (span.end == AV_NOPTS_VALUE) return 0;
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const double seconds = static_cast<double>(span.end - start) * av_q2d(stream->time_base);
    return seconds > 0 ? seconds : 0;
}

bool SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

void SyncFolderOf(const Path& path) {
    const std::string folder = path.NameStart() > 0 ? path.Text().substr(0, path.NameStart()) : ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Stream copy of the video of `from` into a finished Matroska file `to`.
// False (with the reason) when anything failed; `to` may then be partial.
bool Remux(const std::string& from, const std::string& to, PacketSpan* span, double* seconds, std::string* reason) {
    Input in;
    if (!in.Open(from)) {
        *reason = "could not open it";
        return false;
    }
    const int video = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        *reason = "no video stream";
        return false;
    }
    const AVStream* source = in.ctx->streams[video];
    AVFormatContext* out = nullptr;
    int rc = avformat_alloc_output_context2(&out, nullptr, "matroska", to.c_str());
    if (rc < 0 || out == nullptr) {
        *reason = "avformat_alloc_output_context2: " + ErrorText(rc < 0 ? rc : AVERROR_UNKNOWN);
        return false;
    }
    struct OutputCloser {
        AVFormatContext* ctx;
        ~OutputCloser() {
            if (ctx->pb != nullptr) avio_closep(&ctx->pb);
            avformat_free_context(ctx);
        }
    } closer{out};
    av_dict_copy(&out->metadata, in.ctx->metadata, 0);
    AVStream* target = avformat_new_stream(out, nullptr);
    if (target == nullptr) {
        *reason = "avformat_new_stream: NULL";
        return false;
    }
    rc = avcodec_parameters_copy(target->codecpar, source->codecpar);
    if (rc < 0) {
        *reason = "avcodec_parameters_copy: " + ErrorText(rc);
        return false;
    }
    target->codecpar->codec_tag = 0;
    target->time_base = source->time_base;
    rc = avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        *reason = "avio_open: " + ErrorText(rc);
        return false;
    }
    rc = avformat_write_header(out, nullptr);
    if (rc < 0) {
        *reason = "avformat_write_header: " + ErrorText(rc);
        return false;
    }
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) {
        *reason = "out of memory";
        return false;
    }
    // A cut file ends with a read error or in the middle of a block: both
    // mean "no more pictures", not a failed repair.
    while (av_read_frame(in.ctx, packet) >= 0) {
        if (packet->stream_index != video) {
            av_packet_unref(packet);
            continue;
        }
        av_packet_rescale_ts(packet, source->time_base, target->time_base);
        packet->stream_index = target->index;
        packet->pos = -1;
        span->Add(packet);
        rc = av_interleaved_write_frame(out, packet);
        av_packet_unref(packet);
        if (rc < 0) break;
    }
    av_packet_free(&packet);
    if (rc >= 0 && out->pb->error < 0) rc = out->pb->error;
    if (rc < 0) {
        *reason = "av_interleaved_write_frame: " + ErrorText(rc);
        return false;
    }
    if (span->packets == 0) return true;  // the caller removes a file without pictures
    rc = av_write_trailer(out);
    if (rc < 0) {
        *reason = "av_write_trailer: " + ErrorText(rc);
        return false;
    }
    rc = avio_closep(&out->pb);
    if (rc < 0) {
        *reason = "avio_close: " + ErrorText(rc);
        return false;
    }
    if (!SyncFile(to)) {
        *reason = std::string("fsync: ") + std::strerror(errno);
        return false;
    }
    *seconds = SpanSeconds(target, *span);
    return true;
}

void RemoveEmpty(const Path& path, const char* why) {
    if (platform::DeleteFile(path))
        LOGF(LOG_WARN, LOG_SRC_SESSION, "RefreshSessions | %s %s, removed", path.CStr(), why);
    else
        LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "Platform_Linux - Could not delete %s", path.CStr());
}

}  // namespace

Path RepairTemporaryPath(const Path& path) {
    // The trailing "-repairing" makes the third-last token a digit, which no
    // type letter matches.
    return Path(path.Text() + "-repairing");
}

bool MeasureRecordedSeconds(const std::string& path, double* seconds) {
    *seconds = 0;
    Input in;
    if (!in.Open(path)) return false;
    const int video = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return false;
    // Only the tail is read: the demuxer finds the next cluster after a byte
    // position, and clusters carry absolute times.
    constexpr int64_t kTail_bytes = 16ll << 20;
    const int64_t size = in.ctx->pb != nullptr ? avio_size(in.ctx->pb) : -1;
    if (size > 4 * kTail_bytes)
        av_seek_frame(in.ctx, -1, size - kTail_bytes, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY);
    PacketSpan span;
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) return false;
    while (av_read_frame(in.ctx, packet) >= 0) {
        if (packet->stream_index == video) span.Add(packet);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    *seconds = SpanSeconds(in.ctx->streams[video], span);
    return span.packets > 0;
}

RecordingState CheckRecording(const Path& path, double* seconds, uint64_t repairLimit_bytes) {
    *seconds = 0;
    uint64_t size = 0;
    if (!platform::FileSize(path, &size)) return RecordingState::Unreadable;
    if (size == 0) {
        RemoveEmpty(path, "is empty (its recording ended before the first picture)");
        return RecordingState::Removed;
    }
    {
        Input in;
        if (!in.Open(path.Text())) {
            LOGF(LOG_WARN, LOG_SRC_SESSION, "RefreshSessions | %s cannot be read as a video", path.CStr());
            return RecordingState::Unreadable;
        }
        if (in.ctx->duration != AV_NOPTS_VALUE) {
            *seconds = in.ctx->duration > 0 ? static_cast<double>(in.ctx->duration) / AV_TIME_BASE : 0;
            return RecordingState::Whole;
        }
    }
    // No duration: the recorder never wrote its trailer.
    if (size <= repairLimit_bytes) {
        const Path temporary = RepairTemporaryPath(path);
        PacketSpan span;
        double repaired = 0;
        std::string reason;
        const bool copied = Remux(path.Text(), temporary.Text(), &span, &repaired, &reason);
        if (copied && span.packets == 0) {
            platform::DeleteFile(temporary);
            RemoveEmpty(path, "holds no picture (its recording ended before the first one was written)");
            return RecordingState::Removed;
        }
        if (copied && std::rename(temporary.CStr(), path.CStr()) == 0) {
            SyncFolderOf(path);
            LOGF(LOG_WARN, LOG_SRC_SESSION, "RefreshSessions | %s was left unfinished; made whole (%lld pictures, %.1f s)", path.CStr(),
                     static_cast<long long>(span.packets), repaired);
            *seconds = repaired;
            return RecordingState::Repaired;
        }
        if (copied) reason = std::string("rename: ") + std::strerror(errno);
        platform::DeleteFile(temporary);
        LOGF(LOG_ERROR, LOG_SRC_SESSION, "RefreshSessions | %s was left unfinished and could not be made whole (%s); it is kept as it is",
                 path.CStr(), reason.c_str());
    }
    if (!MeasureRecordedSeconds(path.Text(), seconds)) return RecordingState::Unreadable;
    LOGF(LOG_WARN, LOG_SRC_SESSION, "RefreshSessions | %s was left unfinished; listed with %.1f s",
             path.CStr(), *seconds);
    return RecordingState::Unfinished;
}
