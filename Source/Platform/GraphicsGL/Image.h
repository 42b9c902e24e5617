// GL::Image: a block of pixels in memory (RGBA, BGRA or NV12), used for
// texture creation and for reading video frames back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace GL {

enum PixelFormat : int {
    PixelFormatRGBA = 0,  // 4 bytes per pixel
    PixelFormatBGRA = 1,  // 4 bytes per pixel
    PixelFormatNV12 = 2,  // Y plane then interleaved UV plane: 2 bytes per pixel of buffer
};

// Bytes per pixel of the format's buffer; 0 for an unknown format.
int BytesPerPixel(int format);

struct Image {
    Image() = default;
    Image(const Image& other);
    Image& operator=(const Image& other);
    Image(Image&&) noexcept = default;
    Image& operator=(Image&&) noexcept = default;

    // Makes the image width x height of the format, reusing the buffer when it
    // is large enough. False (and an empty image) for a bad size or format.
    bool Resize(int width, int height, int format);
    // Bytes the image's pixels take: width * height * BytesPerPixel(format).
    size_t ByteSize() const;
    bool Empty() const { return pixels == nullptr || width <= 0 || height <= 0; }

    std::unique_ptr<uint8_t[]> pixels;
    size_t capacity = 0;  // bytes allocated in pixels
    int width = 0;
    int height = 0;
    int format = PixelFormatRGBA;
};

}  // namespace GL
