// AV::Frame — one decoded picture, held in memory as NV12 (what streams
// queue) or YUV420P so that the renderer can upload its planes as they are
// (no colour conversion on the CPU). Always shared by pointer: the stream's
// queue, the stream's current slot and the renderer hold references to the
// same picture.
#pragma once

#include <cstdint>
#include <mutex>

extern "C" {
struct AVFrame;
}

namespace AV {

enum class PixelLayout { None, NV12, YUV420P };

class Frame {
public:
    Frame();   // allocates the FFmpeg frame
    ~Frame();  // frees it
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // The decoded picture. Filled by the stream's video thread while the frame
    // is the stream's current slot; read-only once queued.
    AVFrame* frame;
    // Taken by whoever reads the planes while another thread may still hold
    // the frame (renderer upload, snapshot, benchmarks).
    std::mutex lock;
    // Monotonic times, written by the decoding thread before the frame is
    // queued, read-only after: the arrival of the access unit it was decoded
    // from (0 for file sources) and the moment the picture came out.
    int64_t arrival_ns = 0;
    int64_t decoded_ns = 0;

    PixelLayout Layout() const;
    int Width() const;
    int Height() const;
    // Plane 0 is luma; NV12 has one interleaved chroma plane (1), YUV420P two (1, 2).
    const uint8_t* Plane(int index) const;
    int Stride(int index) const;
    // Presentation time in stream time-base units, or INT64_MIN when none.
    int64_t Timestamp() const;
};

}  // namespace AV
