// The simulated camera's picture source and H.264 encoder (libx264 through
// libavcodec, zero-latency tuning: one access unit out per picture in, no
// B-frames, parameter sets in front of every key frame).
//
// The test picture (PictureRenderer, Picture.h) moves (scrolling colour bars
// and a bouncing box), follows the channel's visible settings, carries the
// caption (message 3) as the annotation settings place it, and shows its
// frame number as a row of black and white blocks in the top-left corner so
// that a consumer can tell which picture it decoded (ReadFrameNumber).
//
// Threads: one VideoEncoder per channel, used by that channel's thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CameraSim/Picture.h"

extern "C" {
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
}

namespace camsim {

struct VideoSettings {
    int width = 1920;
    int height = 1080;
    int frameRate = 30;
    int profile = 2;  // 0 Baseline, 1 Main, 2 High
    int level = 1;    // 0 "4.0", 1 "4.1", 2 "4.2"
    int bitrate_kbps = 8000;
    bool operator==(const VideoSettings&) const = default;
};

struct AccessUnit {
    uint32_t frameNumber = 0;
    bool key = false;
    std::vector<uint8_t> bytes;  // Annex-B byte stream of one picture
};

class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // (Re)creates the encoder; false (and a line on stderr) on failure.
    bool Configure(const VideoSettings& settings);
    const VideoSettings& Settings() const { return settings_; }
    // Draws picture `frameNumber` as `picture` shows it, with `caption`, and
    // encodes it. The next picture is a key frame when `forceKey` is set.
    // False on encoder errors.
    bool Encode(uint32_t frameNumber, const PictureSettings& picture, const std::string& caption, bool forceKey,
                AccessUnit* out);

private:
    void Release();

    VideoSettings settings_;
    AVCodecContext* ctx_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVPacket* packet_ = nullptr;
    int64_t pts_ = 0;
    PictureRenderer renderer_;
};

// Frame-number blocks: a white and a black marker block, then 24 bits, most
// significant first (white = 1), one block row at the top-left corner.
constexpr int kFrameNumberBits = 24;
int FrameNumberBlockSize(int width);
void DrawFrameNumber(uint8_t* luma, int stride, int width, int height, uint32_t number);
// False when the marker blocks are not there (picture too small, or not ours).
bool ReadFrameNumber(const uint8_t* luma, int stride, int width, int height, uint32_t* number);

// Burns `text` into the luma plane (white on a black band) at (x, y) with the
// built-in font enlarged `scale` times. Characters outside the image are clipped.
void DrawCaption(uint8_t* luma, int stride, int width, int height, int x, int y, int scale, const std::string& text);

}  // namespace camsim
