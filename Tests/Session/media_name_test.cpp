#include <gtest/gtest.h>

#include <ctime>

#include "Session/MediaName.h"

namespace {

struct NameCase {
    const char* name;
    bool ok;
    const char* session;
    MediaType type;
    int64_t time;
    uint32_t id;
    int32_t slot;
};

class ParseName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ParseName, ParsesOrRefuses) {
    const NameCase& c = GetParam();
    std::string session = "stale";
    MediaEntry e;
    e.time = 99;
    ASSERT_EQ(ParseMediaFileName(c.name, &session, &e), c.ok) << c.name;
    if (!c.ok) {
        EXPECT_EQ(session, "");
        EXPECT_EQ(e.type, MediaType::None);
        return;
    }
    EXPECT_EQ(session, c.session);
    EXPECT_EQ(e.type, c.type);
    EXPECT_EQ(e.time, c.time);
    EXPECT_EQ(e.cameraId, c.id);
    EXPECT_EQ(e.cameraSlot, c.slot);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ParseName,
    ::testing::Values(
        NameCase{"A-B-00.00.10.250-P-12-0.jpg", true, "A-B", MediaType::Image, 10250000, 12, 0},
        NameCase{"Job-00.00.10.250-X-12-0.jpg", false, "", MediaType::None, 0, 0, 0},
        NameCase{"Job-00.00.10-P-12-0.jpg", false, "", MediaType::None, 0, 0, 0},
        NameCase{"Job--00.00.10.250-P-12-0.jpg", true, "Job-", MediaType::Image, 10250000, 12, 0},
        NameCase{"x-00.00.01.000-V-5-0.jpg", true, "x", MediaType::Video, 1000000, 5, 0},
        NameCase{"Main St-01.02.03.456-V-7-1.mkv", true, "Main St", MediaType::Video, 3723456000LL, 7, 1},
        NameCase{"Main St-00.00.00.000-D-0-0.qsd", true, "Main St", MediaType::Data, 0, 0, 0},
        NameCase{"Deep-123.04.05.006-N-3-0.txt", true, "Deep", MediaType::Note, 443045006000LL, 3, 0},
        NameCase{" Pad -00.00.02.000-P-4294967295-1.jpg", true, "Pad", MediaType::Image, 2000000, 4294967295u, 1},
        NameCase{"Job-00.00.00.000-none-1-0.bad", false, "", MediaType::None, 0, 0, 0},
        NameCase{"Job-99999999999999.00.00.000-V-1-0.mkv", false, "", MediaType::None, 0, 0, 0},
        NameCase{"Job-00.00.00.000-V-1-2147483647.mkv", true, "Job", MediaType::Video, 0, 1, 2147483647},
        NameCase{"Job-00.00.00.000-V-1-3000000000.mkv", false, "", MediaType::None, 0, 0, 0},
        NameCase{"\t-00.*00.01.00-V-2-SS", false, "", MediaType::None, 0, 0, 0},
        NameCase{" -00.00.01.000-V-2-0.mkv", false, "", MediaType::None, 0, 0, 0},
        NameCase{"\xc2\xa0--0.0.1.5-P\xc2\xa0-6---\xff", false, "", MediaType::None, 0, 0, 0},
        NameCase{"- --00.00.01.000-V-2-0.mkv", true, "- -", MediaType::Video, 1000000, 2, 0},
        NameCase{"a-b-c-d", false, "", MediaType::None, 0, 0, 0},
        NameCase{".", false, "", MediaType::None, 0, 0, 0},
        NameCase{"", false, "", MediaType::None, 0, 0, 0}));

struct FormatCase {
    const char* session;
    MediaEntry entry;
    const char* name;
};

class FormatName : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatName, FormatsAndRoundTrips) {
    const FormatCase& c = GetParam();
    const std::string name = MediaFileName(c.session, c.entry);
    EXPECT_EQ(name, c.name);
    std::string session;
    MediaEntry back;
    ASSERT_TRUE(ParseMediaFileName(name, &session, &back));
    EXPECT_EQ(session, c.session);
    EXPECT_EQ(back, c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FormatName,
    ::testing::Values(
        FormatCase{"Main St", {MediaType::Video, 3723456000LL, 7, 1}, "Main St-01.02.03.456-V-7-1.mkv"},
        FormatCase{"Main St", {MediaType::Data, 0, 0, 0}, "Main St-00.00.00.000-D-0-0.qsd"},
        FormatCase{"Job-", {MediaType::Image, 10250000, 12, 0}, "Job--00.00.10.250-P-12-0.jpg"},
        FormatCase{"Long", {MediaType::Video, 100LL * 3600000000LL + 61001000LL, 0x4F525831u, 0},
                   "Long-100.01.01.001-V-1330796593-0.mkv"},
        FormatCase{"N", {MediaType::Note, 59999000, 1, 0}, "N-00.00.59.999-N-1-0.txt"}));

// A session name found in the folder can be far longer than the popup
// allows: the name written for it keeps it whole, so the file parses back
// with its type and is listed again.
TEST(MediaName, LongSessionNamesAreWrittenWhole) {
    for (const size_t length : {40u, 200u, 250u, 400u}) {
        const std::string session(length, 'S');
        const MediaEntry entry{MediaType::Video, 2000000LL * 3600000000LL + 59999000LL, 4294967295u, 1};
        const std::string name = MediaFileName(session, entry);
        EXPECT_EQ(name, session + "-2000000.00.59.999-V-4294967295-1.mkv");
        std::string back;
        MediaEntry parsed;
        ASSERT_TRUE(ParseMediaFileName(name, &back, &parsed)) << length;
        EXPECT_EQ(back, session);
        EXPECT_EQ(parsed.type, MediaType::Video);
        EXPECT_EQ(parsed.time, entry.time);
    }
}

TEST(MediaName, DataFileNameAndSeparatorsNeverLeaveTheFolder) {
    EXPECT_EQ(SessionDataFileName("Main St"), "Main St-00.00.00.000-D-0-0.qsd");
    EXPECT_EQ(SessionDataFileName("../x"), ".._x-00.00.00.000-D-0-0.qsd");
    EXPECT_EQ(MediaTypeLabel(MediaType::Data, false), std::string("Data file"));
    EXPECT_EQ(MediaTypeLabel(MediaType::Video, true), std::string("Videos"));
    EXPECT_EQ(MediaTypeExtension(static_cast<MediaType>(17)), std::string("bad"));
}

TEST(MediaName, AcceptableSessionNames) {
    EXPECT_TRUE(IsAcceptableSessionName("Job-1 . x"));
    EXPECT_TRUE(IsAcceptableSessionName(std::string(40, 'a')));
    EXPECT_TRUE(IsAcceptableSessionName("\xC3\xA9t\xC3\xA9"));  // UTF-8 characters count once
    EXPECT_FALSE(IsAcceptableSessionName(std::string(41, 'a')));
    EXPECT_FALSE(IsAcceptableSessionName(""));
    EXPECT_FALSE(IsAcceptableSessionName(".."));
    EXPECT_TRUE(IsAcceptableSessionName("- -"));
    EXPECT_TRUE(IsAcceptableSessionName("-a-"));
    // Names whose media would read back as belonging to no session.
    for (const char* none : {"-", "---", " ", " - ", "\xC2\xA0-"}) {
        EXPECT_FALSE(IsAcceptableSessionName(none)) << none;
        std::string session;
        MediaEntry entry;
        EXPECT_FALSE(ParseMediaFileName(MediaFileName(none, MediaEntry{MediaType::Video, 0, 1, 0}), &session, &entry))
            << none;
    }
    for (const char* bad : {"a\"b", "a*b", "a/b", "a:b", "a<b", "a>b", "a?b", "a\\b", "a|b", "a\nb"}) {
        EXPECT_FALSE(IsAcceptableSessionName(bad)) << bad;
    }
}

platform::FileTime LocalFileTime(int y, int mo, int d, int h, int mi, int s) {
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    const time_t unix = mktime(&t);
    return static_cast<platform::FileTime>(unix) * 10000000 + 116444736000000000LL;
}

TEST(MediaName, ExportNameAndTimeLabel) {
    platform::FileInfo info;
    info.lastWrite = LocalFileTime(2024, 3, 5, 14, 7, 9) + 1230000;  // plus 123 ms
    const MediaEntry sat{MediaType::Video, 3723456000LL, 7, 1};
    EXPECT_EQ(ExportFileName("Site", sat, info), "Site_2024-03-05_14.07.09_satellite.mkv");
    EXPECT_EQ(MediaTimeLabel("Site", sat, info), "Site: 2024-03-05 14:07:09 Satellite");
    EXPECT_EQ(MediaTimeLabel("", sat, info), "2024-03-05 14:07:09 Satellite");
    LocalTime lt;
    ASSERT_TRUE(LocalTimeOf(info.lastWrite, &lt));
    EXPECT_EQ(lt.millisecond, 123);

    platform::FileInfo bad;
    bad.lastWrite = -1;  // not convertible
    const MediaEntry img{MediaType::Image, 3723456000LL, 7, 0};
    EXPECT_EQ(ExportFileName("Site", img, bad), "Site_01.02.03.456000.jpg");
    EXPECT_EQ(MediaTimeLabel("Site", img, bad), "Site: 01:02:03:456000");
    EXPECT_EQ(MediaTimeLabel("", img, bad), "01:02:03:456000");
}

}  // namespace
