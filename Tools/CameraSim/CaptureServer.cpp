#include "CameraSim/CaptureServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>

#include "CameraSim/Servers.h"
#include "CameraSim/TcpServer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace camsim {

namespace {

constexpr int kImageWidthIndex = 123;
constexpr int kImageHeightIndex = 124;
constexpr int kJpegQualityIndex = 125;
constexpr int kDefaultWidth = 1920, kDefaultHeight = 1080, kDefaultQuality = 85;
// Bounds the encoder's allocation whatever the table says.
constexpr int kMaxSide = 8192;

int ShownValue(const ParamWords& w) {
    const int64_t den = w[5] == 0 ? 1 : w[5];
    const int64_t num = w[4] == 0 ? 1 : w[4];
    return static_cast<int>(static_cast<int64_t>(w[0]) * num / den);
}

// Waits `ms` unless the peer closes or the server drops the connection.
bool WaitQuietly(int fd, int ms) {
    const int64_t until = MonotonicUs() + static_cast<int64_t>(ms) * 1000;
    for (;;) {
        const int64_t left = until - MonotonicUs();
        if (left <= 0) return true;
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(std::min<int64_t>(left / 1000 + 1, 100)));
        if (r > 0) return false;  // EOF, error or shut down: nobody waits for the file
    }
}

class CaptureServer : public PortServer {
public:
    const char* Name() const override { return "capture"; }

    bool Start(Unit& unit) override {
        unit_ = &unit;
        for (int g = 0; g < 2; ++g) {
            const std::string thread = g == 0 ? "sim-capture0" : "sim-capture1";
            if (!servers_[g].Start(unit.Opts().address, unit.Port(8014 + g), thread,
                                   [this, g](int fd, const std::string& peer) { Serve(g, fd, peer); }))
                return false;
        }
        return true;
    }

    void Stop() override {
        for (auto& s : servers_) s.Stop();
    }

    void DropConnections() override {
        for (auto& s : servers_) s.DropConnections();
    }

private:
    void Serve(int group, int fd, const std::string& peer) {
        const Options& o = unit_->Opts();
        const int port = unit_->Port(8014 + group);
        unit_->Print("connection port %d from %s", port, peer.c_str());
        if (group >= o.channels) {
            shutdown(fd, SHUT_RDWR);
            return;
        }
        if (o.captureDelayMs > 0 && !WaitQuietly(fd, o.captureDelayMs)) return;
        if (o.captureFail) {
            unit_->Print("capture port %d: failing on purpose", port);
            shutdown(fd, SHUT_RDWR);
            return;
        }
        int width = ShownValue(unit_->Param(group, kImageWidthIndex));
        int height = ShownValue(unit_->Param(group, kImageHeightIndex));
        int quality = ShownValue(unit_->Param(group, kJpegQualityIndex));
        if (width <= 0 || height <= 0) {
            width = kDefaultWidth;
            height = kDefaultHeight;
        }
        width = std::clamp(width, 16, kMaxSide);
        height = std::clamp(height, 16, kMaxSide);
        if (quality <= 0) quality = kDefaultQuality;
        const Unit::StillMode mode = unit_->Stills();
        if (mode == Unit::StillMode::Fail) {
            unit_->Print("capture port %d: failing on purpose", port);
            shutdown(fd, SHUT_RDWR);
            return;
        }
        std::vector<uint8_t> jpeg =
            EncodeTestJpeg(width, height, quality, count_.fetch_add(1) + 1, ReadPictureSettings(*unit_, group));
        if (jpeg.empty()) {
            unit_->Print("capture port %d: encoder failed", port);
            return;
        }
        if (o.captureSizeBytes > 0) PadJpeg(&jpeg, static_cast<size_t>(o.captureSizeBytes));
        // A partial still: the camera stops half-way, as when it loses power.
        if (mode == Unit::StillMode::Partial) jpeg.resize(jpeg.size() / 2);
        const bool sent = SendAllFd(fd, jpeg.data(), jpeg.size());
        // The end of the file is the end of the connection.
        shutdown(fd, SHUT_RDWR);
        unit_->Print("capture port %d: %s %zu bytes (%dx%d q%d%s)", port, sent ? "sent" : "failed to send", jpeg.size(),
                     width, height, quality, mode == Unit::StillMode::Partial ? ", partial" : "");
    }

    Unit* unit_ = nullptr;
    TcpServer servers_[2];
    std::atomic<uint32_t> count_{0};
};

}  // namespace

std::unique_ptr<PortServer> MakeCaptureServer() { return std::make_unique<CaptureServer>(); }

std::vector<uint8_t> EncodeTestJpeg(int width, int height, int quality, uint32_t seed, const PictureSettings& picture) {
    std::vector<uint8_t> out;
    width &= ~1;
    height &= ~1;
    if (width <= 0 || height <= 0) return out;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (codec == nullptr) return out;
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    if (ctx != nullptr && frame != nullptr && packet != nullptr) {
        ctx->width = width;
        ctx->height = height;
        ctx->pix_fmt = AV_PIX_FMT_YUVJ420P;
        ctx->time_base = AVRational{1, 25};
        // Quality 100 maps to the finest quantiser (1), quality 1 to the coarsest (31).
        const int q = 1 + (100 - std::clamp(quality, 1, 100)) * 30 / 99;
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = FF_QP2LAMBDA * q;
        frame->format = AV_PIX_FMT_YUVJ420P;
        frame->width = width;
        frame->height = height;
        if (avcodec_open2(ctx, codec, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
            // A diagonal ramp with a moving band and a checker in the chroma,
            // plus a bright mark in the sensor's top-left corner, seen through
            // the channel's zoom window, flips and rotation.
            const SourceMap map = MakeSourceMap(picture);
            const ToneCurve tone = MakeToneCurve(picture);
            const int band0 = static_cast<int>(seed * 37);
            auto sensorPoint = [&](int x, int y, int w, int h, int* sx, int* sy) {
                double fx, fy;
                map.Apply((x + 0.5) / w, (y + 0.5) / h, &fx, &fy);
                *sx = std::clamp(static_cast<int>(fx * width), 0, width - 1);
                *sy = std::clamp(static_cast<int>(fy * height), 0, height - 1);
            };
            for (int y = 0; y < height; ++y) {
                uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
                for (int x = 0; x < width; ++x) {
                    int sx, sy;
                    sensorPoint(x, y, width, height, &sx, &sy);
                    const bool mark = sx < width / 5 && sy < height / 5 && sx > width / 20 && sy > height / 20;
                    const int band = ((sx + band0) / 64) & 1;
                    const uint8_t base = mark ? 235 : static_cast<uint8_t>(((sx + sy) * 219 / (width + height) + 16) ^ (band ? 0x20 : 0));
                    row[x] = tone.luma[base];
                }
            }
            for (int p = 1; p <= 2; ++p) {
                for (int y = 0; y < height / 2; ++y) {
                    uint8_t* row = frame->data[p] + static_cast<ptrdiff_t>(y) * frame->linesize[p];
                    for (int x = 0; x < width / 2; ++x) {
                        int sx, sy;
                        sensorPoint(x, y, width / 2, height / 2, &sx, &sy);
                        const uint8_t c = static_cast<uint8_t>(128 + (((sx / 64 + sy / 64 + p) & 1) ? 40 : -40));
                        row[x] = p == 1 ? tone.u[c] : tone.v[c];
                    }
                }
            }
            frame->pts = 0;
            frame->quality = ctx->global_quality;
            if (avcodec_send_frame(ctx, frame) == 0 && avcodec_send_frame(ctx, nullptr) == 0 &&
                avcodec_receive_packet(ctx, packet) == 0) {
                out.assign(packet->data, packet->data + packet->size);
            }
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

void PadJpeg(std::vector<uint8_t>* jpeg, size_t size) {
    if (jpeg->size() < 2 || jpeg->size() >= size) return;
    size_t missing = size - jpeg->size();
    std::vector<uint8_t> segments;
    segments.reserve(missing);
    // Comment segments: FF FE, a 16-bit length counting itself, then the text.
    // Each adds 4 .. 65537 bytes.
    while (missing >= 4) {
        size_t piece = std::min<size_t>(missing, 65537);
        if (missing - piece != 0 && missing - piece < 4) piece = missing - 4;
        const size_t length = piece - 2;
        segments.push_back(0xFF);
        segments.push_back(0xFE);
        segments.push_back(static_cast<uint8_t>(length >> 8));
        segments.push_back(static_cast<uint8_t>(length & 0xFF));
        for (size_t i = 0; i < length - 2; ++i) segments.push_back(static_cast<uint8_t>("orvex-camsim "[i % 13]));
        missing -= piece;
    }
    jpeg->insert(jpeg->begin() + 2, segments.begin(), segments.end());
    // One to three bytes cannot form a segment; they follow the end marker.
    jpeg->insert(jpeg->end(), missing, 0);
}

}  // namespace camsim
