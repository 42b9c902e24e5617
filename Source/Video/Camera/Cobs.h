// Consistent Overhead Byte Stuffing, the framing of the scan link: blocks of
// up to 254 data bytes, each preceded by a code byte one greater than its
// length; a code byte below 255 stands for a following zero. Frames end with
// one 0 byte, which these functions neither write nor expect. Pure functions,
// any thread; shared with the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest encoding of `length` bytes (without the terminating 0).
constexpr size_t CobsEncodedMax(size_t length) { return length + length / 254 + 1; }

// Encodes `length` bytes into `out`, which must hold CobsEncodedMax(length)
// bytes. Returns the encoded length; the output holds no 0 byte.
size_t CobsEncode(const uint8_t* data, size_t length, uint8_t* out);

// Decodes one frame (without its terminating 0) into `out`. Decoded bytes
// beyond `capacity` are dropped (counted in the result but not written), so a
// result above `capacity` marks an overlong frame. A code byte of 0 inside the
// frame, or a block that runs past the end, decodes what is present.
size_t CobsDecode(const uint8_t* frame, size_t length, uint8_t* out, size_t capacity);
