// Helpers shared by the video pipeline tests: a temporary folder, the log
// capture, a simulated unit on a test address, and what a player reads from
// a recording.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <vector>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "Base/Log.h"
#include "Base/Path.h"
#include "CameraSim/Unit.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace avtest {

using TempDir = ::TempFolder;

// The shared log capture, with FFmpeg's own chatter silenced (our lines
// about FFmpeg's errors go to the log).
class LogCapture : public testsupport::LogCapture {
public:
    LogCapture() { av_log_set_level(AV_LOG_FATAL); }
};

// A simulated unit with small, quick video on `address` (one of this test
// program's own loopback addresses).
inline std::unique_ptr<camsim::Unit> StartUnit(const std::string& address, int width = 320, int height = 240,
                                               int fps = 30, std::function<void(camsim::Options&)> tweak = nullptr) {
    camsim::Options o;
    o.address = address;
    o.mdns = false;
    if (tweak) tweak(o);
    auto unit = std::make_unique<camsim::Unit>(o);
    for (int g = 0; g < 2; ++g) {
        unit->SetParamValue(g, 117, width);
        unit->SetParamValue(g, 118, height);
        unit->SetParamValue(g, 119, fps);
        unit->SetParamValue(g, 141, 1000);
    }
    if (!unit->Start()) return nullptr;
    return unit;
}

// What libavformat reads from a recording.
struct FileSummary {
    bool opened = false;
    std::string codec;
    int width = 0, height = 0;
    int codecPrivateBytes = 0;  // parameter sets stored in the container header
    int64_t duration_ms = -1;
    std::vector<int64_t> pts_ms;
    std::vector<int64_t> dts_ms;
    std::vector<bool> key;
    std::vector<std::string> bytes;  // of every packet, in file order
    int decodedFrames = 0;           // pictures libavcodec made of the packets
    int decodeErrors = 0;            // packets it refused
    std::map<std::string, std::string> metadata;
};

// Everything a player sees of a recording: its stream, the packets in order
// with their time stamps, and the pictures a decoder makes of them.
inline FileSummary ReadRecording(const std::string& path) {
    FileSummary s;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return s;
    // Read before probing, which may fill it from the packets: other players
    // need the parameter sets in the header.
    if (ctx->nb_streams > 0) s.codecPrivateBytes = ctx->streams[0]->codecpar->extradata_size;
    s.opened = avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->nb_streams == 1;
    if (s.opened) {
        AVStream* st = ctx->streams[0];
        s.codec = avcodec_get_name(st->codecpar->codec_id);
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        if (ctx->duration != AV_NOPTS_VALUE) s.duration_ms = ctx->duration / 1000;
        const AVDictionaryEntry* e = nullptr;
        while ((e = av_dict_get(ctx->metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
            std::string key = e->key;  // Matroska tags come back in capitals
            for (char& ch : key) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
            s.metadata[key] = e->value;
        }
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        AVCodecContext* decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
        if (decoder &&
            (avcodec_parameters_to_context(decoder, st->codecpar) < 0 || avcodec_open2(decoder, codec, nullptr) < 0))
            avcodec_free_context(&decoder);
        AVPacket* p = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        const auto receive = [&] {
            while (decoder && avcodec_receive_frame(decoder, frame) >= 0) {
                ++s.decodedFrames;
                av_frame_unref(frame);
            }
        };
        while (av_read_frame(ctx, p) >= 0) {
            s.pts_ms.push_back(av_rescale_q(p->pts, st->time_base, AVRational{1, 1000}));
            s.dts_ms.push_back(av_rescale_q(p->dts, st->time_base, AVRational{1, 1000}));
            s.key.push_back(p->flags & AV_PKT_FLAG_KEY);
            s.bytes.emplace_back(reinterpret_cast<const char*>(p->data), static_cast<size_t>(p->size));
            if (!decoder || avcodec_send_packet(decoder, p) < 0) ++s.decodeErrors;
            receive();
            av_packet_unref(p);
        }
        if (decoder) avcodec_send_packet(decoder, nullptr);
        receive();
        av_frame_free(&frame);
        av_packet_free(&p);
        avcodec_free_context(&decoder);
    }
    avformat_close_input(&ctx);
    return s;
}

}  // namespace avtest
