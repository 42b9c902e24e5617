#include "App/Text.h"

#include <cstdint>

int Utf8CharLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

namespace {

// Decodes one character; a truncated or malformed sequence decodes to its
// lead byte so it can never be mistaken for a space.
uint32_t DecodeAt(const char* p, const char* end, int* length) {
    const auto lead = static_cast<unsigned char>(*p);
    int n = Utf8CharLength(lead);
    if (end - p < n) n = 1;
    *length = n;
    if (n == 1) return lead;
    uint32_t cp = lead & (0xFF >> (n + 1));
    for (int i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if ((b & 0xC0) != 0x80) {
            *length = 1;
            return lead;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp;
}

bool IsSpaceCodePoint(uint32_t c) {
    if ((c >= 9 && c <= 13) || c == 32) return true;
    switch (c) {
        case 0x85: case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029:
        case 0x202F: case 0x205F: case 0x2060: case 0x3000: case 0xFEFF:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200D;
    }
}

}  // namespace

bool IsUnicodeSpace(const char* p, const char* end) {
    if (p == nullptr || p >= end) return false;
    int n = 0;
    return IsSpaceCodePoint(DecodeAt(p, end, &n));
}

std::string TrimUnicodeSpace(std::string_view text) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    while (begin < end && IsUnicodeSpace(begin, end)) {
        int n = 0;
        DecodeAt(begin, end, &n);
        begin += n;
    }
    // Walk forward to find the last non-space character's end, so that
    // multi-byte characters are never split.
    const char* lastEnd = begin;
    for (const char* p = begin; p < end;) {
        int n = 0;
        DecodeAt(p, end, &n);
        if (!IsUnicodeSpace(p, end)) lastEnd = p + n;
        p += n;
    }
    return std::string(begin, lastEnd);
}
