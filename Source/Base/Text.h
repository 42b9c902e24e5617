// Unicode whitespace helpers over UTF-8 text. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// True when the UTF-8 character starting at `p` is a Unicode space: ASCII 9..13
// and 32, U+0085, U+00A0, U+1680, U+180E, U+2000..U+200D, U+2028, U+2029,
// U+202F, U+205F, U+2060, U+3000, U+FEFF. `end` bounds the read.
bool IsUnicodeSpace(const char* p, const char* end);
inline bool IsUnicodeSpace(std::string_view s) { return !s.empty() && IsUnicodeSpace(s.data(), s.data() + s.size()); }

// Length of the UTF-8 character whose lead byte is `lead` (1 for anything that
// is not a two-, three- or four-byte lead).
int Utf8CharLength(unsigned char lead);

// Removes Unicode spaces from both ends, stepping over whole characters.
std::string TrimUnicodeSpace(std::string_view text);

// Lenient decimal conversions in the manner of atoi/strtol/atof: leading
// whitespace (space, \t, \n, \v, \f, \r) and a sign are accepted, the number
// ends at the first other character, text without digits gives 0 (and
// *matched false). Values past the type's range saturate instead of being
// undefined. Locale-independent.
int32_t LenientInt32(std::string_view text, bool* matched = nullptr);
// As strtoul with a 32-bit unsigned long: a minus sign negates modulo 2^32,
// magnitudes past 0xFFFFFFFF give 0xFFFFFFFF.
uint32_t LenientUint32(std::string_view text, bool* matched = nullptr);
// A 32-bit value as strtol would read it where `long` has 64 bits and the
// result is stored in 32 bits: values from INT32_MIN up to UINT32_MAX wrap
// (so "%u" of a negative int32 reads back as that negative number); values
// further out saturate.
int32_t LenientInt32Wrapping(std::string_view text);
// Decimal fractions: [sign] digits [. digits] [e|E [sign] digits]. No hex,
// "inf" or "nan"; magnitudes past the float range saturate to +-FLT_MAX.
float LenientFloat(std::string_view text);
