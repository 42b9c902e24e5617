#include "Platform/GraphicsGL/EmbeddedImage.h"

#include <lz4.h>

#include <limits>

namespace GL {

namespace {

// LZ4 cannot expand one input byte into more than 255 output bytes; a length
// beyond that is certainly damaged.
constexpr uint64_t kLz4MaxRatio = 255;

}  // namespace

std::vector<uint8_t> EncodeEmbeddedImage(const uint8_t* data, size_t size) {
    std::vector<uint8_t> block;
    if (data == nullptr || size == 0 || size > kEmbeddedImageMaxBytes) return block;
    const int bound = LZ4_compressBound(static_cast<int>(size));
    if (bound <= 0) return block;
    block.resize(4 + static_cast<size_t>(bound));
    block[0] = static_cast<uint8_t>(size >> 24);
    block[1] = static_cast<uint8_t>(size >> 16);
    block[2] = static_cast<uint8_t>(size >> 8);
    block[3] = static_cast<uint8_t>(size);
    const int written = LZ4_compress_default(reinterpret_cast<const char*>(data),
                                             reinterpret_cast<char*>(block.data() + 4),
                                             static_cast<int>(size), bound);
    if (written <= 0) {
        block.clear();
        return block;
    }
    block.resize(4 + static_cast<size_t>(written));
    return block;
}

bool DecodeEmbeddedImage(const uint8_t* block, size_t size, std::vector<uint8_t>* out) {
    out->clear();
    if (block == nullptr || size < 5) return false;
    const uint32_t length = (uint32_t(block[0]) << 24) | (uint32_t(block[1]) << 16) |
                            (uint32_t(block[2]) << 8) | uint32_t(block[3]);
    const size_t compressed = size - 4;
    if (length == 0 || length > kEmbeddedImageMaxBytes) return false;
    if (uint64_t(length) > uint64_t(compressed) * kLz4MaxRatio) return false;
    if (compressed > size_t(std::numeric_limits<int>::max())) return false;
    out->resize(length);
    const int produced = LZ4_decompress_safe(reinterpret_cast<const char*>(block + 4),
                                             reinterpret_cast<char*>(out->data()),
                                             static_cast<int>(compressed), static_cast<int>(length));
    if (produced < 0 || uint32_t(produced) != length) {
        out->clear();
        return false;
    }
    return true;
}

}  // namespace GL
