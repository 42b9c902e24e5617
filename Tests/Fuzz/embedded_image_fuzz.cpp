// Embedded image blocks (32-bit big-endian length, one LZ4 block), and the
// packer's round trip over the same bytes.
#include <vector>

#include "Fuzz/FuzzSupport.h"
#include "Platform/GraphicsGL/EmbeddedImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (GL::DecodeEmbeddedImage(data, size, &out)) {
        FUZZ_CHECK(!out.empty() && out.size() <= GL::kEmbeddedImageMaxBytes);
    } else {
        FUZZ_CHECK(out.empty());
    }
    const std::vector<uint8_t> block = GL::EncodeEmbeddedImage(data, size);
    if (size == 0 || size > GL::kEmbeddedImageMaxBytes) {
        FUZZ_CHECK(block.empty());
        return 0;
    }
    FUZZ_CHECK(GL::DecodeEmbeddedImage(block.data(), block.size(), &out));
    FUZZ_CHECK(out == std::vector<uint8_t>(data, data + size));
    return 0;
}
