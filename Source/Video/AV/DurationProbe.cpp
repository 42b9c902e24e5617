#include "Video/AV/DurationProbe.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace AV {

namespace {

constexpr int64_t kTail_bytes = 8 * 1024 * 1024;

// Largest pts + duration of the video stream's packets from where the demuxer stands.
int64_t LastPacketEnd(AVFormatContext* fmt, int video, AVPacket* packet) {
    int64_t end = AV_NOPTS_VALUE;
    while (av_read_frame(fmt, packet) >= 0) {
        if (packet->stream_index == video) {
            const int64_t t = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (t != AV_NOPTS_VALUE) {
                const int64_t e = t + (packet->duration > 0 ? packet->duration : 0);
                if (end == AV_NOPTS_VALUE || e > end) end = e;
            }
        }
        av_packet_unref(packet);
    }
    return end;
}

}  // namespace

int64_t ProbeFileDuration_us(const std::string& path) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) != 0) return -1;
    int64_t result = -1;
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        result = fmt->duration;
        avformat_close_input(&fmt);
        return result;
    }
    int video = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            video = int(i);
            break;
        }
    }
    AVPacket* packet = av_packet_alloc();
    if (video >= 0 && packet != nullptr) {
        const AVRational tb = fmt->streams[video]->time_base;
        // The first time stamp.
        int64_t first = AV_NOPTS_VALUE;
        while (first == AV_NOPTS_VALUE && av_read_frame(fmt, packet) >= 0) {
            if (packet->stream_index == video) first = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            av_packet_unref(packet);
        }
        if (first != AV_NOPTS_VALUE) {
            // Then the tail: the demuxer finds the next cluster after a byte seek.
            const int64_t size = fmt->pb ? avio_size(fmt->pb) : -1;
            int64_t end = AV_NOPTS_VALUE;
            if (size > 2 * kTail_bytes &&
                av_seek_frame(fmt, -1, size - kTail_bytes, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY) >= 0) {
                end = LastPacketEnd(fmt, video, packet);
            }
            if (end == AV_NOPTS_VALUE) {
                // A small file, or the tail had nothing usable: read it all.
                if (av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY) >= 0)
                    end = LastPacketEnd(fmt, video, packet);
            }
            if (end != AV_NOPTS_VALUE && end > first) result = av_rescale_q(end - first, tb, AVRational{1, 1000000});
        }
    }
    av_packet_free(&packet);
    avformat_close_input(&fmt);
    return result;
}

}  // namespace AV
