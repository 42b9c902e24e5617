#include "Video/Camera/Cobs.h"

size_t CobsEncode(const uint8_t* data, size_t length, uint8_t* out) {
    size_t codeAt = 0;  // where the current block's code byte goes
    size_t written = 1;
    uint8_t code = 1;
    for (size_t i = 0; i < length; ++i) {
        if (data[i] == 0) {
            out[codeAt] = code;
            codeAt = written++;
            code = 1;
            continue;
        }
        out[written++] = data[i];
        if (++code == 255) {
            // A full block of 254 data bytes carries no implied zero; when the
            // data ends here no further (empty) block follows.
            out[codeAt] = code;
            if (i + 1 == length) return written;
            codeAt = written++;
            code = 1;
        }
    }
    out[codeAt] = code;
    return written;
}

size_t CobsDecode(const uint8_t* frame, size_t length, uint8_t* out, size_t capacity) {
    size_t produced = 0;
    auto put = [&](uint8_t byte) {
        if (produced < capacity) out[produced] = byte;
        ++produced;
    };
    size_t i = 0;
    while (i < length) {
        uint8_t code = frame[i++];
        if (code == 0) break;  // not valid inside a frame; keep what came before
        for (uint8_t k = 1; k < code && i < length; ++k) put(frame[i++]);
        // The zero a block stands for is implied only between blocks.
        if (code < 255 && i < length) put(0);
    }
    return produced;
}
