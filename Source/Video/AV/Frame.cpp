#include "Video/AV/Frame.h"

#include <climits>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

namespace AV {

Frame::Frame() : frame(av_frame_alloc()) {}

Frame::~Frame() { av_frame_free(&frame); }

PixelLayout Frame::Layout() const {
    if (!frame || !frame->data[0]) return PixelLayout::None;
    switch (frame->format) {
    case AV_PIX_FMT_NV12: return PixelLayout::NV12;
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUVJ420P: return PixelLayout::YUV420P;
    default: return PixelLayout::None;
    }
}

int Frame::Width() const { return frame ? frame->width : 0; }
int Frame::Height() const { return frame ? frame->height : 0; }

const uint8_t* Frame::Plane(int index) const {
    if (!frame || index < 0 || index > 2) return nullptr;
    return frame->data[index];
}

int Frame::Stride(int index) const {
    if (!frame || index < 0 || index > 2) return 0;
    return frame->linesize[index];
}

int64_t Frame::Timestamp() const {
    if (!frame || frame->pts == AV_NOPTS_VALUE) return INT64_MIN;
    return frame->pts;
}

}  // namespace AV
