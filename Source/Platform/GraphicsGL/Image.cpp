#include "Platform/GraphicsGL/Image.h"

#include <cstring>
#include <limits>

namespace GL {

int BytesPerPixel(int format) {
    switch (format) {
        case PixelFormatRGBA:
        case PixelFormatBGRA: return 4;
        case PixelFormatNV12: return 2;
        default: return 0;
    }
}

size_t Image::ByteSize() const {
    if (width <= 0 || height <= 0) return 0;
    return size_t(width) * size_t(height) * size_t(BytesPerPixel(format));
}

bool Image::Resize(int newWidth, int newHeight, int newFormat) {
    const int bpp = BytesPerPixel(newFormat);
    // 1 << 14 per side keeps every size computation far from overflow.
    if (bpp == 0 || newWidth <= 0 || newHeight <= 0 || newWidth > (1 << 14) || newHeight > (1 << 14)) {
        width = height = 0;
        return false;
    }
    const size_t needed = size_t(newWidth) * size_t(newHeight) * size_t(bpp);
    if (!pixels || capacity < needed) {
        pixels.reset(new uint8_t[needed]);
        capacity = needed;
    }
    width = newWidth;
    height = newHeight;
    format = newFormat;
    return true;
}

Image::Image(const Image& other) { *this = other; }

Image& Image::operator=(const Image& other) {
    if (this == &other) return *this;
    if (other.Empty()) {
        // An empty source gives only its size and format.
        width = other.width;
        height = other.height;
        format = other.format;
        return *this;
    }
    if (Resize(other.width, other.height, other.format)) {
        std::memcpy(pixels.get(), other.pixels.get(), ByteSize());
    }
    return *this;
}

}  // namespace GL
