// Unicode whitespace helpers over UTF-8 text. Pure functions, any thread.
#pragma once

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
