#include "Base/Text.h"

#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <cstdint>
#include <limits>
#include <locale.h>

int Utf8CharLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

namespace {

constexpr uint32_t kNotACharacter = 0xFFFFFFFFu;

// Decodes one character. A byte that cannot start a character, a truncated
// or malformed sequence and an overlong form decode to kNotACharacter with
// length 1, so broken text is never mistaken for a space (a lone 0x85 or
// 0xA0 byte is not U+0085 or U+00A0).
uint32_t DecodeAt(const char* p, const char* end, int* length) {
    const auto lead = static_cast<unsigned char>(*p);
    *length = 1;
    if (lead < 0x80) return lead;
    const int n = Utf8CharLength(lead);
    if (n == 1 || end - p < n) return kNotACharacter;
    uint32_t cp = lead & (0xFF >> (n + 1));
    for (int i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        if ((b & 0xC0) != 0x80) return kNotACharacter;
        cp = (cp << 6) | (b & 0x3F);
    }
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[n]) return kNotACharacter;
    *length = n;
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

// ---- lenient numbers ------------------------------------------------------------

namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Skips C whitespace and a sign; reads the decimal digits into a magnitude
// that saturates at `limit`. Returns false when there is no digit.
bool ReadMagnitude(std::string_view text, uint64_t limit, bool* negative, uint64_t* magnitude) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) *negative = text[i++] == '-';
    uint64_t m = 0;
    bool any = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        m = (m > (limit - digit) / 10) ? limit : m * 10 + digit;
    }
    *magnitude = any ? m : 0;
    return any;
}

}  // namespace

int32_t LenientInt32(std::string_view text, bool* matched) {
    bool negative = false;
    uint64_t m = 0;
    const bool any = ReadMagnitude(text, uint64_t{1} << 32, &negative, &m);
    if (matched) *matched = any;
    if (negative) return m >= uint64_t{1} << 31 ? std::numeric_limits<int32_t>::min() : -static_cast<int32_t>(m);
    return m > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                          : static_cast<int32_t>(m);
}

uint32_t LenientUint32(std::string_view text, bool* matched) {
    bool negative = false;
    uint64_t m = 0;
    const bool any = ReadMagnitude(text, uint64_t{1} << 33, &negative, &m);
    if (matched) *matched = any;
    if (m > 0xFFFFFFFFull) return 0xFFFFFFFFu;
    const auto value = static_cast<uint32_t>(m);
    return negative ? static_cast<uint32_t>(0u - value) : value;
}

int32_t LenientInt32Wrapping(std::string_view text) {
    bool negative = false;
    uint64_t m = 0;
    ReadMagnitude(text, uint64_t{1} << 33, &negative, &m);
    if (negative) return m >= uint64_t{1} << 31 ? std::numeric_limits<int32_t>::min() : -static_cast<int32_t>(m);
    if (m > 0xFFFFFFFFull) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(static_cast<uint32_t>(m));
}

float LenientFloat(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t start = i;
    auto digits = [&]() {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i - from;
    };
    size_t count = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0) return 0.0f;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) i = mark;
    }
    // The span holds only decimal syntax now; strtod_l in the "C" locale
    // gives correct rounding and 0 or HUGE_VAL past the double range.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string span(text.substr(start, i - start));
    double value = strtod_l(span.c_str(), nullptr, cLocale);
    if (value > static_cast<double>(FLT_MAX)) value = static_cast<double>(FLT_MAX);
    const float f = static_cast<float>(value);
    return negative ? -f : f;
}
