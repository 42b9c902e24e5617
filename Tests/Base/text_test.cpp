#include <gtest/gtest.h>

#include <ostream>

#include <cfloat>
#include <cstdint>
#include <string>

#include "Base/Text.h"
#include "Base/Version.h"

namespace {

// UTF-8 encoding of one code point.
std::string Utf8(uint32_t c) {
    std::string s;
    if (c < 0x80) {
        s.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        s.push_back(static_cast<char>(0xC0 | (c >> 6)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        s.push_back(static_cast<char>(0xE0 | (c >> 12)));
        s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return s;
}

class SpaceCodePoint : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SpaceCodePoint, IsSpaceAndIsTrimmedFromBothEnds) {
    const std::string space = Utf8(GetParam());
    EXPECT_TRUE(IsUnicodeSpace(space));
    EXPECT_EQ(TrimUnicodeSpace(space + space + "a" + space + "b" + space), "a" + space + "b");
    EXPECT_EQ(TrimUnicodeSpace(space), "");
}

INSTANTIATE_TEST_SUITE_P(Listed, SpaceCodePoint,
                         ::testing::Values(9u, 10u, 11u, 12u, 13u, 32u, 0x85u, 0xA0u, 0x1680u, 0x180Eu, 0x2000u,
                                           0x2001u, 0x2002u, 0x2003u, 0x2004u, 0x2005u, 0x2006u, 0x2007u, 0x2008u,
                                           0x2009u, 0x200Au, 0x200Bu, 0x200Cu, 0x200Du, 0x2028u, 0x2029u, 0x202Fu,
                                           0x205Fu, 0x2060u, 0x3000u, 0xFEFFu));

TEST(UnicodeSpace, NeighboursOfTheListAreNotSpaces) {
    for (uint32_t c : {8u, 14u, 31u, 33u, 0x84u, 0x86u, 0x9Fu, 0xA1u, 0x167Fu, 0x1681u, 0x180Du, 0x180Fu, 0x1FFFu,
                       0x200Eu, 0x2027u, 0x202Au, 0x202Eu, 0x2030u, 0x205Eu, 0x2061u, 0x2FFFu, 0x3001u, 0xFEFEu,
                       0xFFFFu}) {
        EXPECT_FALSE(IsUnicodeSpace(Utf8(c))) << std::hex << c;
    }
}

struct TrimCase {
    const char* name;
    std::string input;
    std::string expected;
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }

class Trim : public ::testing::TestWithParam<TrimCase> {};

TEST_P(Trim, KeepsWholeCharacters) { EXPECT_EQ(TrimUnicodeSpace(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Trim,
    ::testing::Values(
        TrimCase{"empty", "", ""},
        TrimCase{"plain", "  WindowWidth ", "WindowWidth"},
        TrimCase{"inner_space_kept", "\t a b \r\n", "a b"},
        TrimCase{"multibyte_text_kept", "\xC2\xA0\xC3\xA9t\xC3\xA9\xE3\x80\x80", "\xC3\xA9t\xC3\xA9"},
        // a lone continuation byte equal to the last byte of U+0085 / U+00A0 is not a space
        TrimCase{"lone_0x85", "\x85x\x85", "\x85x\x85"},
        TrimCase{"lone_0xA0", " \xA0 ", "\xA0"},
        // truncated sequences at either end are kept, never split or read past
        TrimCase{"truncated_lead_end", "a \xE3\x80", "a \xE3\x80"},
        TrimCase{"truncated_lead_start", "\xE2\x80 a", "\xE2\x80 a"},
        TrimCase{"lead_then_ascii", "\xE2 a", "\xE2 a"},
        // an overlong form of the space character is not a space
        TrimCase{"overlong_space", "\xC0\xA0x", "\xC0\xA0x"},
        TrimCase{"four_byte_kept", " \xF0\x9F\x98\x80 ", "\xF0\x9F\x98\x80"},
        // a space after a broken sequence is still trimmed
        TrimCase{"space_after_broken", "\xFF\xE2\x80\x83", "\xFF"}),
    [](const ::testing::TestParamInfo<TrimCase>& info) { return std::string(info.param.name); });

struct IntCase {
    const char* text;
    int32_t value;
    bool matched;
};

TEST(LenientNumbers, Int32LikeAtoi) {
    const IntCase cases[] = {
        {" 1200", 1200, true},   {"-17x", -17, true},         {"+5", 5, true},
        {"\t\n 42 ", 42, true},  {"abc", 0, false},           {"", 0, false},
        {"- 5", 0, false},       {"99999999999", INT32_MAX, true}, {"-99999999999", INT32_MIN, true},
        {"2147483647", INT32_MAX, true}, {"-2147483648", INT32_MIN, true},
        {"00000000000000000000000000000007", 7, true},
    };
    for (const IntCase& c : cases) {
        bool matched = !c.matched;
        EXPECT_EQ(LenientInt32(c.text, &matched), c.value) << c.text;
        EXPECT_EQ(matched, c.matched) << c.text;
    }
}

TEST(LenientNumbers, Uint32LikeStrtoul) {
    EXPECT_EQ(LenientUint32("4294967295"), 4294967295u);
    EXPECT_EQ(LenientUint32("4294967296"), 4294967295u);
    EXPECT_EQ(LenientUint32("-1"), 4294967295u);
    EXPECT_EQ(LenientUint32(" 305419896junk"), 305419896u);
    EXPECT_EQ(LenientUint32("x"), 0u);
    // %u of a negative int32 reads back unchanged
    EXPECT_EQ(LenientInt32Wrapping("4294967295"), -1);
    EXPECT_EQ(LenientInt32Wrapping("1"), 1);
    EXPECT_EQ(LenientInt32Wrapping("-3"), -3);
    EXPECT_EQ(LenientInt32Wrapping("99999999999"), INT32_MAX);
}

TEST(LenientNumbers, FloatLikeAtof) {
    const struct {
        const char* text;
        float value;
    } cases[] = {
        {"0.85", 0.85f}, {" -0.5x", -0.5f}, {".25", 0.25f},  {"2.", 2.0f},    {"1e2", 100.0f},
        {"1e", 1.0f},    {"abc", 0.0f},     {"nan", 0.0f},   {"inf", 0.0f},   {"0x10", 0.0f},
        {"1e999", FLT_MAX}, {"-1e999", -FLT_MAX}, {"1e-999", 0.0f}, {"1e39", FLT_MAX}, {"0.333333", 0.333333f},
    };
    for (const auto& c : cases) EXPECT_EQ(LenientFloat(c.text), c.value) << c.text;
    // a megabyte of digits is read without trouble
    EXPECT_EQ(LenientFloat("0." + std::string(1 << 20, '0') + "1"), 0.0f);
    EXPECT_EQ(LenientFloat(std::string(1 << 20, '9')), FLT_MAX);
}

TEST(Version, TextAndConstants) {
    EXPECT_STREQ(AppVersion, "1.0.13");
    EXPECT_EQ(AppBuild, 216);
    EXPECT_EQ(AppVersionText(), "1.0.13 (216)");
}

}  // namespace
