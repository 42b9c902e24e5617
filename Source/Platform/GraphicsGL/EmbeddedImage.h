// The program keeps its built-in PNG images as "embedded blocks": a 32-bit
// big-endian length of the PNG, followed by one LZ4 block holding it. The
// build tool Tools/ArtTools/EmbedImage.cpp packs them with EncodeEmbeddedImage;
// LoadBuiltInImages unpacks them with DecodeEmbeddedImage. Both are pure
// functions over bytes (no GL), shared by the tool and the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace GL {

// Largest decompressed image accepted. The stored length comes from the
// program's own data, but a damaged block must not make the program allocate
// gigabytes: a length above this, or above what LZ4 can expand the block to,
// is refused before any allocation.
inline constexpr uint32_t kEmbeddedImageMaxBytes = 16u * 1024u * 1024u;

// Packs `size` bytes into an embedded block. Returns an empty vector when the
// input is empty or too large.
std::vector<uint8_t> EncodeEmbeddedImage(const uint8_t* data, size_t size);

// Unpacks an embedded block into `out`. Succeeds only when the block holds a
// length header, the length is plausible, and the LZ4 block decompresses to
// exactly that many bytes. On failure `out` is empty.
bool DecodeEmbeddedImage(const uint8_t* block, size_t size, std::vector<uint8_t>* out);

}  // namespace GL
