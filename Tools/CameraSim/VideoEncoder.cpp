#include "CameraSim/VideoEncoder.h"

#include <cstdio>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace camsim {

namespace {

const char* kProfiles[3] = {"baseline", "main", "high"};
const int kLevels[3] = {40, 41, 42};

void FillRect(uint8_t* plane, int stride, int width, int height, int x0, int y0, int w, int h, uint8_t value) {
    int x1 = x0 + w, y1 = y0 + h;
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > width) x1 = width;
    if (y1 > height) y1 = height;
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y) memset(plane + static_cast<size_t>(y) * stride + x0, value, static_cast<size_t>(x1 - x0));
}

}  // namespace

VideoEncoder::~VideoEncoder() { Release(); }

void VideoEncoder::Release() {
    avcodec_free_context(&ctx_);
    av_frame_free(&picture_);
    av_packet_free(&packet_);
}

bool VideoEncoder::Configure(const VideoSettings& wanted) {
    Release();
    settings_ = wanted;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        fprintf(stderr, "orvex-camsim: libx264 encoder not available\n");
        return false;
    }
    ctx_ = avcodec_alloc_context3(codec);
    picture_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!ctx_ || !picture_ || !packet_) return false;
    ctx_->width = settings_.width;
    ctx_->height = settings_.height;
    ctx_->time_base = AVRational{1, settings_.frameRate};
    ctx_->framerate = AVRational{settings_.frameRate, 1};
    ctx_->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx_->gop_size = settings_.frameRate;  // a key frame every second
    ctx_->max_b_frames = 0;
    ctx_->bit_rate = static_cast<int64_t>(settings_.bitrate_kbps) * 1000;
    ctx_->rc_max_rate = ctx_->bit_rate;
    ctx_->rc_buffer_size = static_cast<int>(ctx_->bit_rate);
    ctx_->level = kLevels[settings_.level >= 0 && settings_.level <= 2 ? settings_.level : 1];
    ctx_->thread_count = 2;
    av_opt_set(ctx_->priv_data, "preset", "superfast", 0);
    av_opt_set(ctx_->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx_->priv_data, "profile", kProfiles[settings_.profile >= 0 && settings_.profile <= 2 ? settings_.profile : 2], 0);
    av_opt_set_int(ctx_->priv_data, "forced-idr", 1, 0);
    int rc = avcodec_open2(ctx_, codec, nullptr);
    if (rc < 0) {
        char text[256];
        av_strerror(rc, text, sizeof text);
        fprintf(stderr, "orvex-camsim: cannot open libx264 for %dx%d@%d: %s\n", settings_.width, settings_.height,
                settings_.frameRate, text);
        Release();
        return false;
    }
    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = settings_.width;
    picture_->height = settings_.height;
    if (av_frame_get_buffer(picture_, 0) < 0) {
        Release();
        return false;
    }
    pts_ = 0;
    return true;
}

bool VideoEncoder::Encode(uint32_t frameNumber, const PictureSettings& picture, const std::string& caption,
                          bool forceKey, AccessUnit* out) {
    if (!ctx_) return false;
    if (av_frame_make_writable(picture_) < 0) return false;
    const YuvPlanes planes{picture_->data[0],     picture_->data[1],     picture_->data[2], picture_->linesize[0],
                           picture_->linesize[1], picture_->linesize[2], settings_.width,   settings_.height};
    renderer_.Render(picture, frameNumber, caption, planes);
    picture_->pts = pts_++;
    picture_->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(ctx_, picture_) < 0) return false;
    // Zero-latency tuning: exactly one access unit per picture, at once.
    int rc = avcodec_receive_packet(ctx_, packet_);
    if (rc < 0) return false;
    out->frameNumber = frameNumber;
    out->key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    out->bytes.assign(packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_);
    return true;
}

// ---- frame number blocks -----------------------------------------------------------

int FrameNumberBlockSize(int width) { return width >= 640 ? 16 : (width >= 256 ? 8 : 4); }

void DrawFrameNumber(uint8_t* luma, int stride, int width, int height, uint32_t number) {
    const int b = FrameNumberBlockSize(width);
    // A black frame around the row keeps the picture behind from bleeding in.
    FillRect(luma, stride, width, height, 0, 0, (kFrameNumberBits + 3) * b, 3 * b, 16);
    FillRect(luma, stride, width, height, b, b, b, b, 235);  // marker: white, then black
    for (int i = 0; i < kFrameNumberBits; ++i) {
        bool one = (number >> (kFrameNumberBits - 1 - i)) & 1u;
        FillRect(luma, stride, width, height, (3 + i) * b, b, b, b, one ? 235 : 16);
    }
}

bool ReadFrameNumber(const uint8_t* luma, int stride, int width, int height, uint32_t* number) {
    const int b = FrameNumberBlockSize(width);
    if (!luma || width < (kFrameNumberBits + 3) * b || height < 3 * b) return false;
    auto sample = [&](int block) { return luma[static_cast<size_t>(b + b / 2) * stride + block * b + b / 2]; };
    if (sample(1) < 160 || sample(2) > 96) return false;
    uint32_t value = 0;
    for (int i = 0; i < kFrameNumberBits; ++i) value = (value << 1) | (sample(3 + i) >= 128 ? 1u : 0u);
    *number = value;
    return true;
}

void DrawCaption(uint8_t* luma, int stride, int width, int height, int x, int y, int scale, const std::string& text) {
    // stb_easy_font emits one quad (4 vertices of 16 bytes) per lit segment.
    static thread_local std::vector<char> vertices(1 << 18);
    std::string clipped = text.substr(0, 255);
    const int textWidth = stb_easy_font_width(const_cast<char*>(clipped.c_str()));
    FillRect(luma, stride, width, height, x - 2 * scale, y - 2 * scale, (textWidth + 4) * scale, 12 * scale, 16);
    int quads = stb_easy_font_print(0, 0, const_cast<char*>(clipped.c_str()), nullptr, vertices.data(),
                                    static_cast<int>(vertices.size()));
    for (int q = 0; q < quads; ++q) {
        const float* v0 = reinterpret_cast<const float*>(vertices.data() + q * 64);
        const float* v2 = reinterpret_cast<const float*>(vertices.data() + q * 64 + 32);
        int qx = static_cast<int>(v0[0]), qy = static_cast<int>(v0[1]);
        int qw = static_cast<int>(v2[0]) - qx, qh = static_cast<int>(v2[1]) - qy;
        FillRect(luma, stride, width, height, x + qx * scale, y + qy * scale, qw * scale, qh * scale, 235);
    }
}

}  // namespace camsim
