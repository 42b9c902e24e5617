// AV::Stream: opening, reading, decoding, queueing and closing.
//
// Section index
//   helpers         error text, clock, options
//   Open            live (custom I/O over IORead) and file sources
//   ReadFrame       one access unit of a live source through the parser
//   Process         read, record, decode, queue (Receive + Decode for live sources)
//   frames          slot, queue, pop, uploadable pixel layouts
//   Close
#include "Video/AV/Stream.h"
#include "Base/Clock.h"
#include "Video/AV/DurationProbe.h"
#include "Video/AV/PictureWake.h"

#include <glob.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/hwcontext.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "Base/Log.h"
#include "Video/AV/AvError.h"

namespace AV {

// ---- helpers -----------------------------------------------------------------

namespace {

constexpr int kIoBufferSize = 32768;

enum AVPixelFormat PickFormat(AVCodecContext* /*ctx*/, const enum AVPixelFormat* formats) {
    // VAAPI when the decoder offers it for this stream, else the first
    // software format.
    for (const enum AVPixelFormat* f = formats; *f != AV_PIX_FMT_NONE; ++f)
        if (*f == AV_PIX_FMT_VAAPI) return *f;
    for (const enum AVPixelFormat* f = formats; *f != AV_PIX_FMT_NONE; ++f) {
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(*f);
        if (d && !(d->flags & AV_PIX_FMT_FLAG_HWACCEL)) return *f;
    }
    return formats[0];
}

// True when no slice of the access unit is a reference picture
// (nal_ref_idc 0 in every slice NAL unit): nothing decoded later refers to
// it, so a live view that runs late may leave it out.
bool NoReferenceSlices(const uint8_t* data, int size) {
    bool sawSlice = false;
    for (int i = 0; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        const uint8_t header = data[i + 3];
        const int type = header & 0x1f;
        if (type >= 1 && type <= 5) {
            if ((header & 0x60) != 0) return false;
            sawSlice = true;
        }
        i += 3;
    }
    return sawSlice;
}

}  // namespace

// The render nodes there are (/dev/dri/renderD128, ...), in order.
std::vector<std::string> RenderNodes() {
    std::vector<std::string> nodes;
    glob_t found{};
    if (glob("/dev/dri/renderD*", 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) nodes.emplace_back(found.gl_pathv[i]);
    globfree(&found);
    return nodes;
}

std::string AvErrorText(int code) {
    char text[1024];
    av_strerror(code, text, sizeof text);
    return text;
}

Stream::Options Stream::Options::LiveCamera() {
    Options o;
    o.connectTimeout_us = 2000000;
    o.receiveTimeout_us = 3000000;
    o.probeSize = 64;
    o.hardware = true;
    return o;
}

Stream::Options Stream::Options::MediaFile() {
    Options o;
    o.hardware = true;
    return o;
}

Stream::Stream() : input_(std::make_unique<Input>()), recorder_(std::make_unique<Recorder>()) {}

Stream::~Stream() { Close(); }

bool Stream::IsOpen() {
    std::lock_guard<std::mutex> lock(input_->lock);
    return input_->decoder && input_->videoStream;
}

// ---- Open --------------------------------------------------------------------

void Stream::FailOpen_locked() { CloseInput_locked(); }

void Stream::OpenHardware_locked(const Options& options) {
    Input& in = *input_;
    hardware_ = false;
    if (!options.hardware) return;
    const std::vector<std::string> nodes = RenderNodes();
    if (nodes.empty()) {
        LOGF(LOG_INFO, LOG_SRC_AV, "Stream::Open | decoding in software: no render node (/dev/dri/renderD*)");
        return;
    }
    std::string failures;
    for (const std::string& node : nodes) {
        const int rc = av_hwdevice_ctx_create(&in.hwDevice, AV_HWDEVICE_TYPE_VAAPI, node.c_str(), nullptr, 0);
        if (rc == 0) {
            in.decoder->hw_device_ctx = av_buffer_ref(in.hwDevice);
            in.decoder->get_format = PickFormat;
            hardware_ = true;
            LOGF(LOG_INFO, LOG_SRC_AV, "Stream::Open | decoding with VAAPI on %s", node.c_str());
            return;
        }
        failures += (failures.empty() ? "" : ", ") + node + ": " + AvErrorText(rc);
    }
    LOGF(LOG_INFO, LOG_SRC_AV, "Stream::Open | decoding in software: no render node answered for VAAPI (%s)",
         failures.c_str());
}

bool Stream::Open(const std::string& address, const Options& options) {
    Close();
    std::lock_guard<std::mutex> lock(input_->lock);
    std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
    Input& in = *input_;
    ++generation_;

    AVDictionary* dict = nullptr;
    if (options.probeSize > 0) av_dict_set_int(&dict, "probesize", options.probeSize, 0);
    fileSize_ = -1;
    port_ = -1;

    const AVInputFormat* format = nullptr;
    size_t scheme = address.find("tcp://");
    if (scheme != std::string::npos) {
        std::string rest = address.size() > 6 ? address.substr(6) : std::string();
        size_t colon = rest.find(':');
        std::string host = rest.substr(0, colon);
        int port = -1;
        if (colon != std::string::npos) {
            const char* digits = rest.c_str() + colon + 1;
            char* end = nullptr;
            long value = strtol(digits, &end, 10);
            if (end != digits && value > 0 && value < 65536) port = static_cast<int>(value);
        }
        port_ = port;
        in.receiveTimeout_us = options.receiveTimeout_us < 1 ? 1000000u : static_cast<uint32_t>(options.receiveTimeout_us);
        if (port > 0) {
            in.CloseSocket_locked();
            uint32_t connect_us = options.connectTimeout_us < 1 ? 2000000u : static_cast<uint32_t>(options.connectTimeout_us);
            in.socket.handle = ConnectTcp(host, port, connect_us);
        }
        if (port <= 0 || !in.socket.IsOpen()) {
            LOGF(LOG_TRACE, LOG_SRC_AV, "Stream::Open | could not open %s on port %d", host.c_str(), port);
            av_dict_free(&dict);
            return false;
        }
        in.bufferedLength = 0;
        in.readPosition = 0;
        in.atUnitBoundary = true;
        in.demuxer = avformat_alloc_context();
        if (!in.demuxer) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | avformat_alloc_context() failed");
            av_dict_free(&dict);
            FailOpen_locked();
            return false;
        }
        auto* ioBuffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        in.io = ioBuffer ? avio_alloc_context(ioBuffer, kIoBufferSize, 0, &in, IORead, nullptr, nullptr) : nullptr;
        if (!in.io) {
            av_free(ioBuffer);
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | avio_alloc_context() failed");
            av_dict_free(&dict);
            FailOpen_locked();
            return false;
        }
        in.demuxer->pb = in.io;
        in.demuxer->flags |= AVFMT_FLAG_CUSTOM_IO;
        format = av_find_input_format("h264");
    } else {
        if (FILE* f = fopen(address.c_str(), "rb")) {
            if (fseeko(f, 0, SEEK_END) == 0) fileSize_ = static_cast<int64_t>(ftello(f));
            fclose(f);
        }
    }

    int rc = avformat_open_input(&in.demuxer, address.c_str(), format, &dict);
    if (dict) {
        std::string entries;
        const AVDictionaryEntry* e = nullptr;
        while ((e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX))) {
            if (!entries.empty()) entries += ',';
            entries += std::string(e->key) + ":" + e->value;
        }
        LOGF(LOG_WARN, LOG_SRC_AV, "Stream::Open | avformat_open_input(invalid options) : %s", entries.c_str());
        av_dict_free(&dict);
    }
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | [%d] avformat_open_input(%s) : %s", rc, address.c_str(),
                 AvErrorText(rc).c_str());
        FailOpen_locked();
        return false;
    }

    in.demuxer->skip_estimate_duration_from_pts = 1;
    rc = avformat_find_stream_info(in.demuxer, nullptr);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | [%d] avformat_find_stream_info : %s", rc,
                 AvErrorText(rc).c_str());
        FailOpen_locked();
        return false;
    }
    const AVCodec* codec = nullptr;
    rc = av_find_best_stream(in.demuxer, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | [%d] av_find_best_stream : %s", rc, AvErrorText(rc).c_str());
        FailOpen_locked();
        return false;
    }
    AVStream* stream = in.demuxer->streams[rc];
    in.codec = codec;
    in.decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!in.decoder) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | avcodec_alloc_context3 : NULL");
        FailOpen_locked();
        return false;
    }
    if (stream->r_frame_rate.num >= 2) {
        in.decoder->time_base = AVRational{1, stream->r_frame_rate.num};
        in.decoder->framerate = stream->r_frame_rate;
    } else {
        in.decoder->time_base = AVRational{1, 30};
        in.decoder->framerate = AVRational{30, 1};
    }
    rc = avcodec_parameters_to_context(in.decoder, stream->codecpar);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | [%d] avcodec_parameters_to_context : %s", rc,
                 AvErrorText(rc).c_str());
        FailOpen_locked();
        return false;
    }
    const bool live = in.io != nullptr;
    if (live) {
        // Frame threading holds back one picture per extra thread, which is
        // latency a live view cannot afford; a single decoding thread keeps
        // one access unit in, one picture out, and costs nothing to wake.
        in.decoder->thread_count = 1;
    } else {
        // Files: slice threading only (no added delay, and every picture of
        // the file still comes out, even the last ones before end of file).
        in.decoder->thread_type = FF_THREAD_SLICE;
        in.decoder->thread_count = 0;
    }
    OpenHardware_locked(options);
    rc = avcodec_open2(in.decoder, codec, nullptr);
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | [%d] avcodec_open2 : %s", rc, AvErrorText(rc).c_str());
        FailOpen_locked();
        return false;
    }
    if (live) {
        // The parser gets a context of its own: it writes stream properties
        // into it while the decoding thread uses the decoder's.
        in.parserContext = avcodec_alloc_context3(codec);
        if (!in.parserContext || avcodec_parameters_to_context(in.parserContext, stream->codecpar) < 0) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | the parser's codec context could not be made");
            FailOpen_locked();
            return false;
        }
        in.parser = av_parser_init(codec->id);
        if (in.parser) in.parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    }
    in.videoStream = stream;
    drained_ = false;
    {
        std::lock_guard<std::mutex> recorderLock(recorder_->lock);
        Recorder& r = *recorder_;
        if (r.sourceParameters == nullptr) r.sourceParameters = avcodec_parameters_alloc();
        if (r.sourceParameters == nullptr || avcodec_parameters_copy(r.sourceParameters, stream->codecpar) < 0) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Open | the stream parameters could not be kept for recording");
            FailOpen_locked();
            return false;
        }
        r.sourceTimeBaseNum = stream->time_base.num;
        r.sourceTimeBaseDen = stream->time_base.den;
        r.sourceCodec = codec;
    }

    int64_t now = MonotonicNs();
    in.lastDecodedNs = now;
    in.lastUnitNs = now;
    width_ = in.decoder->width;
    height_ = in.decoder->height;
    framesFetched_ = 0;
    frameRate_ = in.decoder->framerate.den > 0 ? in.decoder->framerate.num / in.decoder->framerate.den : 0;
    position_ = 0;
    frameStep_ = 0;
    duration_ = -1;
    if (in.demuxer->duration != AV_NOPTS_VALUE && in.demuxer->duration > 0)
        duration_ = in.demuxer->duration;
    else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        duration_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000000});
    else if (!in.io)
        duration_ = ProbeFileDuration_us(address);  // a file cut short: its real length from its last packets
    return true;
}

// ---- ReadFrame -----------------------------------------------------------------

int Stream::ReadFrame_locked(AVPacket* packet, int64_t* arrival_ns) {
    Input& in = *input_;
    int length = ReadAccessUnit_locked(&in);
    if (length < 0) return -1;

    // The unit's last byte has just been read: this is its arrival.
    const int64_t now = MonotonicNs();
    *arrival_ns = now;
    int64_t elapsed_us = (now - in.lastUnitNs) / 1000;
    if (elapsed_us < 1000) elapsed_us = 1000;
    if (elapsed_us > 1000000) elapsed_us = 1000000;
    float rate = bitRate_.load();
    bitRate_ = 0.9f * rate + 0.1f * static_cast<float>(static_cast<double>(length) * 8.0 / static_cast<double>(elapsed_us));
    in.lastUnitNs = now;

    // The unit is handed on in place: the packet refers to the packet buffer
    // (no reference-counted buffer), so the decoder and the recorder copy
    // what they keep before the buffer is reused.
    uint8_t* data = nullptr;
    int size = 0;
    if (in.parser) {
        int used = av_parser_parse2(in.parser, in.parserContext, &data, &size, in.packetBuffer, length, AV_NOPTS_VALUE,
                                    AV_NOPTS_VALUE, 0);
        if (used < 0) {
            LOGF(LOG_ERROR, LOG_SRC_AV, "ReadFrame | av_parser_parse2 [%d] %s", used, AvErrorText(used).c_str());
            return -1;
        }
    } else {
        data = in.packetBuffer;
        size = length;
    }
    packet->data = data;
    packet->size = size;
    packet->stream_index = 0;
    if (in.parser) {
        packet->pts = in.parser->pts;
        packet->dts = in.parser->dts;
        packet->pos = in.parser->pos;
        if (in.parser->key_frame == 1 || (in.parser->key_frame == -1 && in.parser->pict_type == AV_PICTURE_TYPE_I))
            packet->flags |= AV_PKT_FLAG_KEY;
    }
    return 0;
}

// ---- Process -------------------------------------------------------------------

int Stream::Process() {
    bool live = false;
    int liveResult = 0;
    {
        std::lock_guard<std::mutex> lock(input_->lock);
        if (!input_->decoder || !input_->videoStream) return AVERROR(ENOTCONN);
        live = input_->io != nullptr;
        if (live) {
            // A live source on one thread: receive, then decode.
            LiveUnit unit;
            liveResult = Receive_locked(&unit);
            if (liveResult >= 0 && unit.packet) {
                std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
                std::shared_ptr<Frame> slot = TakeSlot();
                bool got = false;
                const int rc = DecodeInto_locked(unit.packet, unit.arrival_ns, slot, &got);
                if (rc < 0) liveResult = rc;
            }
        }
    }
    if (live) {
        if (liveResult < 0) Close();
        return liveResult;
    }

    AVPacket* packet = av_packet_alloc();
    if (!packet) return AVERROR(ENOMEM);
    int result = 0;
    bool ours = false;
    {
        std::lock_guard<std::mutex> lock(input_->lock);
        if (!input_->decoder || !input_->videoStream) {
            av_packet_free(&packet);
            return AVERROR(ENOTCONN);
        }
        result = av_read_frame(input_->demuxer, packet);
        if (result < 0 && result != AVERROR_EOF)
            LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Process | [%d] av_read_frame : %s", result,
                 AvErrorText(result).c_str());
        // An empty packet would tell the decoder to drain; there is nothing to decode.
        ours = result >= 0 && packet->size > 0 && packet->stream_index == input_->videoStream->index;
    }

    if (ours) {
        WritePacket(packet);
        std::lock_guard<std::mutex> lock(input_->lock);
        std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
        std::shared_ptr<Frame> slot = TakeSlot();
        bool got = false;
        int rc = DecodeInto_locked(packet, 0, slot, &got);
        if (rc < 0) result = rc;
    } else if (result == AVERROR_EOF) {
        // End of a file: drain the decoder once so that the pictures it still
        // holds are shown too; end of file is reported when none is left.
        std::lock_guard<std::mutex> lock(input_->lock);
        std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
        std::shared_ptr<Frame> slot = TakeSlot();
        if (input_->decoder && !drained_) {
            bool got = false;
            DecodeInto_locked(nullptr, 0, slot, &got);
            if (got) result = 0;
            else drained_ = true;
        }
    }
    av_packet_free(&packet);
    if (result == AVERROR_EOF)
        position_ = duration_.load();
    else if (result < 0)
        Close();
    return result;
}

int Stream::Receive(LiveUnit* unit) {
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(input_->lock);
        if (!input_->decoder || !input_->videoStream || !input_->io) return AVERROR(ENOTCONN);
        result = Receive_locked(unit);
    }
    if (result < 0) Close();
    return result;
}

int Stream::Receive_locked(LiveUnit* unit) {
    AVPacket* packet = av_packet_alloc();
    if (!packet) return AVERROR(ENOMEM);
    int64_t arrival_ns = 0;
    int result = ReadFrame_locked(packet, &arrival_ns);
    if (result >= 0 && packet->size > 0) {
        // Recorded before anything else happens to it: the file gets every
        // unit, timed by its arrival, whatever the decoder does.
        WritePacket(packet, arrival_ns);
        // The packet refers to the input's packet buffer, which the next
        // unit overwrites: the decoding thread gets its own copy.
        AVPacket* copy = av_packet_alloc();
        if (!copy || av_packet_ref(copy, packet) < 0) {
            av_packet_free(&copy);
            av_packet_free(&packet);
            return AVERROR(ENOMEM);
        }
        *unit = LiveUnit();
        unit->packet = copy;
        unit->arrival_ns = arrival_ns;
        unit->generation = generation_.load();
        unit->key = (copy->flags & AV_PKT_FLAG_KEY) != 0;
        unit->reference = !NoReferenceSlices(copy->data, copy->size);
    }
    av_packet_free(&packet);
    return result;
}

int Stream::Decode(const LiveUnit& unit) {
    if (!unit.packet) return 0;
    if (const int64_t delay_us = decodeDelay_us_.load(); delay_us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
    if (!input_->decoder || !input_->videoStream) return AVERROR(ENOTCONN);
    if (unit.generation != generation_.load()) return 0;  // from a connection that was closed since
    std::shared_ptr<Frame> slot = TakeSlot();
    bool got = false;
    return DecodeInto_locked(unit.packet, unit.arrival_ns, slot, &got);
}

// Sends `packet` (nullptr: drain) and tries once to receive a picture into
// the slot; a picture is made uploadable, timed and queued.
int Stream::DecodeInto_locked(AVPacket* packet, int64_t arrival_ns, const std::shared_ptr<Frame>& slot,
                              bool* gotPicture) {
    Input& in = *input_;
    *gotPicture = false;
    if (!in.decoder) return AVERROR(ENOTCONN);
    int rc = avcodec_send_packet(in.decoder, packet);
    if (rc < 0 && rc != AVERROR_EOF && !(packet == nullptr && rc == AVERROR(EAGAIN))) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Process | [%d] avcodec_send_packet : %s", rc, AvErrorText(rc).c_str());
        return rc;
    }
    rc = avcodec_receive_frame(in.decoder, slot->frame);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return 0;
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Process | [%d] avcodec_receive_frame : %s", rc,
                 AvErrorText(rc).c_str());
        return 0;
    }
    // What really decoded it: FFmpeg falls back to software by itself when
    // the VAAPI driver refuses the stream.
    hardware_ = slot->frame->format == AV_PIX_FMT_VAAPI;
    if (!MakeUploadable_locked(slot.get())) {
        av_frame_unref(slot->frame);
        return 0;
    }
    *gotPicture = true;
    slot->arrival_ns = arrival_ns;
    slot->decoded_ns = MonotonicNs();
    width_ = slot->frame->width;
    height_ = slot->frame->height;
    if (slot->frame->pts == AV_NOPTS_VALUE) {
        int64_t now = MonotonicNs();
        int64_t elapsed = (now - in.lastDecodedNs) / 1000;
        int rate = frameRate_.load();
        int64_t limit = rate >= 1 ? 2000000 / rate : 1000000;
        int64_t step = elapsed > limit ? limit : (elapsed < 1000 ? 1000 : elapsed);
        position_ += step;
        frameStep_ = step;
        in.lastDecodedNs = now;
    } else {
        int64_t position = av_rescale_q(slot->frame->pts, in.videoStream->time_base, AVRational{1, 1000000});
        frameStep_ = position - position_.load();
        position_ = position;
    }
    QueueFrame(slot);
    return 0;
}

// ---- frames --------------------------------------------------------------------

std::shared_ptr<Frame> Stream::TakeSlot() {
    std::lock_guard<std::mutex> lock(frameLock_);
    ++framesFetched_;
    if (!current_) current_ = std::make_shared<Frame>();
    return current_;
}

void Stream::QueueFrame(const std::shared_ptr<Frame>& frame) {
    std::lock_guard<std::mutex> frameLock(frameLock_);
    {
        std::lock_guard<std::mutex> queueLock(queueLock_);
        if (queue_.size() >= kMaxQueued) queue_.erase(queue_.begin());
        queue_.push_back(frame);
    }
    if (current_ == frame) current_.reset();
    NotifyPictureQueued();
}

std::shared_ptr<Frame> Stream::PopFrame() {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (queue_.empty()) return nullptr;
    std::shared_ptr<Frame> oldest = queue_.front();
    queue_.erase(queue_.begin());
    return oldest;
}

size_t Stream::QueuedFrames() {
    std::lock_guard<std::mutex> lock(queueLock_);
    return queue_.size();
}

// A software picture into NV12 of the limited range the video shader
// expects; full-range (JPEG) samples are scaled to it.
int Stream::ConvertToNV12_locked(const AVFrame* f, AVFrame* nv12) {
    // The JPEG layouts are their plain ones in full range; saying so
    // through the range, not the layout, also keeps swscale's "deprecated
    // pixel format" warning out of the log.
    AVPixelFormat source = static_cast<AVPixelFormat>(f->format);
    bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
    switch (source) {
        case AV_PIX_FMT_YUVJ420P: source = AV_PIX_FMT_YUV420P; fullRange = true; break;
        case AV_PIX_FMT_YUVJ422P: source = AV_PIX_FMT_YUV422P; fullRange = true; break;
        case AV_PIX_FMT_YUVJ444P: source = AV_PIX_FMT_YUV444P; fullRange = true; break;
        case AV_PIX_FMT_YUVJ440P: source = AV_PIX_FMT_YUV440P; fullRange = true; break;
        default: break;
    }
    // The range is set before the context is initialised: swscale picks its
    // fast unscaled paths at that point, and one chosen for equal ranges
    // would keep copying full-range samples unchanged.
    StreamInput& in = *input_;
    if (in.converter == nullptr || in.converterWidth != f->width || in.converterHeight != f->height ||
        in.converterFormat != source || in.converterFullRange != fullRange) {
        sws_freeContext(in.converter);
        in.converter = sws_alloc_context();
        if (in.converter == nullptr) return AVERROR(ENOMEM);
        SwsContext* made = in.converter;
        av_opt_set_int(made, "srcw", f->width, 0);
        av_opt_set_int(made, "srch", f->height, 0);
        av_opt_set_int(made, "src_format", source, 0);
        av_opt_set_int(made, "src_range", fullRange ? 1 : 0, 0);
        av_opt_set_int(made, "dstw", f->width, 0);
        av_opt_set_int(made, "dsth", f->height, 0);
        av_opt_set_int(made, "dst_format", AV_PIX_FMT_NV12, 0);
        av_opt_set_int(made, "dst_range", 0, 0);
        av_opt_set_int(made, "sws_flags", SWS_BILINEAR, 0);
        const int rc = sws_init_context(made, nullptr, nullptr);
        if (rc < 0) {
            sws_freeContext(made);
            in.converter = nullptr;
            return rc;
        }
        in.converterWidth = f->width;
        in.converterHeight = f->height;
        in.converterFormat = source;
        in.converterFullRange = fullRange;
    }
    return sws_scale(in.converter, f->data, f->linesize, 0, f->height, nv12->data, nv12->linesize);
}

// Brings a decoded picture into memory as NV12, the one layout the renderer
// then draws: VAAPI surfaces are downloaded, software pictures converted.
// For the decoder's usual YUV420P that only interleaves the two chroma
// planes (0.1 ms at 1280x720, 0.24 ms at 1920x1080), and it saves Mesa's
// software rasteriser one of three texture reads per screen pixel (about
// 2 ms of a 720p frame). Full-range (JPEG) pictures have their range brought
// to the limited range the video shader expects.
bool Stream::MakeUploadable_locked(Frame* slot) {
    AVFrame* f = slot->frame;
    if (f->format == AV_PIX_FMT_NV12) return true;
    AVFrame* converted = av_frame_alloc();
    if (!converted) return false;
    int rc = 0;
    converted->format = AV_PIX_FMT_NV12;
    if (f->format == AV_PIX_FMT_VAAPI) {
        rc = av_hwframe_transfer_data(converted, f, 0);
    } else {
        converted->width = f->width;
        converted->height = f->height;
        rc = av_frame_get_buffer(converted, 0);
        if (rc >= 0) rc = ConvertToNV12_locked(f, converted);
    }
    if (rc < 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "Stream::Process | [%d] picture format %d not convertible : %s", rc,
                 f->format, AvErrorText(rc).c_str());
        av_frame_free(&converted);
        return false;
    }
    av_frame_copy_props(converted, f);
    av_frame_unref(f);
    av_frame_move_ref(f, converted);
    av_frame_free(&converted);
    return true;
}

// ---- Close ---------------------------------------------------------------------

void Stream::Close() {
    {
        std::lock_guard<std::mutex> lock(recorder_->lock);
        StopRecording_locked();
    }
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.clear();
    }
    std::lock_guard<std::mutex> lock(input_->lock);
    std::lock_guard<std::mutex> decoderLock(input_->decoderLock);
    CloseInput_locked();
}

void Stream::CloseInput_locked() {
    Input& in = *input_;
    in.CloseSocket_locked();
    if (in.parser) {
        av_parser_close(in.parser);
        in.parser = nullptr;
    }
    avcodec_free_context(&in.parserContext);
    av_buffer_unref(&in.hwDevice);
    avcodec_free_context(&in.decoder);
    avformat_close_input(&in.demuxer);
    if (in.io) {
        // The demuxer never frees a custom I/O context (nor does a failed
        // avformat_open_input): free it and its buffer here.
        av_freep(&in.io->buffer);
        avio_context_free(&in.io);
    }
    sws_freeContext(in.converter);
    in.converter = nullptr;
    in.videoStream = nullptr;
    in.codec = nullptr;
    drained_ = false;
    std::lock_guard<std::mutex> recorderLock(recorder_->lock);
    recorder_->sourceCodec = nullptr;
}

}  // namespace AV
