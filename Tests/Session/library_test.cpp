#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "Session/Library.h"
#include "Support/TempFolder.h"

namespace {

TEST(Library, Fnv1aKnownValues) {
    EXPECT_EQ(Fnv1a32(""), 0x811C9DC5u);
    EXPECT_EQ(Fnv1a32("a"), 0xE40C292Cu);
    EXPECT_EQ(Fnv1a32("foobar"), 0xBF9CF968u);
}

TEST(Library, ScanOrderAndSorting) {
    // Sessions appear in the order their first file is listed; media sort by time.
    const std::vector<std::string> names = {
        ".", "..", "notes.md", "B-00.00.10.000-V-1-0.mkv", "A-00.00.02.000-P-1-0.jpg",
        "B-00.00.00.000-D-0-0.qsd", "A-00.00.10.000-V-1-1.mkv", "B-00.00.02.000-P-1-0.jpg",
        "A-00.00.00.000-D-0-0.qsd", "Junk-00.00.01-P-1-0.jpg", " -00.00.03.000-P-1-0.jpg",
        "--00.00.00.000-D-0-0.qsd"};
    const std::vector<Session> s = ScanNames(names);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].name, "B");
    EXPECT_EQ(s[1].name, "A");
    for (const Session& session : s) {
        ASSERT_EQ(session.media.size(), 3u);
        EXPECT_EQ(session.media[0].type, MediaType::Data);
        EXPECT_EQ(session.media[1].time, 2000000);
        EXPECT_EQ(session.media[2].time, 10000000);
    }
    EXPECT_TRUE(ScanNames({"readme.txt", "x.mkv", "a-b"}).empty());
}

TEST(Library, ScanOfARealFolderSkipsForeignFilesAndSubFolders) {
    TempFolder dir;
    for (const char* name : {"Job-00.00.05.000-V-9-0.mkv", "Job-00.00.00.000-D-0-0.qsd", "foreign.bin"}) {
        std::ofstream(dir.File(name)) << "x";
    }
    ASSERT_EQ(mkdir(dir.File("Job-00.00.07.000-V-9-0.mkv").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0700), 0);
    const std::vector<Session> s = ScanLibrary(dir.AsPath());
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].name, "Job");
    ASSERT_EQ(s[0].media.size(), 2u);
    EXPECT_EQ(s[0].media[1].time, 5000000);
    EXPECT_TRUE(ScanLibrary(Path("/nonexistent/orvex")).empty());
}

TEST(Library, DayHeadings) {
    const LocalTime today{2025, 6, 9, 12, 0, 0, 0};
    EXPECT_EQ(DayHeading({2025, 6, 9, 1, 2, 3, 0}, today), "Today");
    EXPECT_EQ(DayHeading({2025, 3, 5, 0, 0, 0, 0}, today), "March 5");
    EXPECT_EQ(DayHeading({2024, 12, 31, 0, 0, 0, 0}, today), "December 31, 2024");
    EXPECT_EQ(DayHeading({2024, 6, 9, 0, 0, 0, 0}, today), "June 9, 2024");
}

struct RowCase {
    MediaType type;
    int32_t slot;
    double duration;
    bool recording;
    const char* label;
    bool selectable;
};

TEST(Library, FileRowLabels) {
    const RowCase cases[] = {
        {MediaType::Video, 0, 3725.4, false, "14:07:09  (1h 2m 5s)", true},
        {MediaType::Video, 1, 59.9, false, "14:07:09 Satellite  (59s)", true},
        {MediaType::Video, 0, 61, false, "14:07:09  (1m 1s)", true},
        {MediaType::Video, 0, 0, true, "14:07:09 (recording...)", false},
        {MediaType::Video, 0, -1, false, "14:07:09  (unreadable)", true},  // damaged: listed with a mark
        {MediaType::Image, 1, 0, true, "14:07:09 Satellite", true},
    };
    const LocalTime shown{2024, 3, 5, 14, 7, 9, 0};
    for (const RowCase& c : cases) {
        MediaInfo info;
        info.duration = c.duration;
        MediaEntry e{c.type, 0, 1, c.slot};
        const FileRowText row = FileRowLabel(e, info, c.recording, shown);
        EXPECT_EQ(row.label, c.label);
        EXPECT_EQ(row.selectable, c.selectable) << c.label;
    }
}

TEST(Library, AnEmptyVideoFileIsMarkedAsSuch) {
    MediaInfo info;
    info.duration = -1;
    info.file.size = 0;
    info.file.lastWrite = platform::FileTimeFromUnix(1700000000, 0);
    const FileRowText row = FileRowLabel({MediaType::Video, 0, 1, 0}, info, false, LocalTime{2024, 3, 5, 14, 7, 9, 0});
    EXPECT_EQ(row.label, "14:07:09  (empty file)");
    EXPECT_TRUE(row.selectable);
}

platform::FileTime LocalFileTime(int y, int mo, int d, int h) {
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_isdst = -1;
    return platform::FileTimeFromUnix(mktime(&t), 0);
}

TEST(Library, DayGroupingAcrossTheYearAndUnconvertibleTimes) {
    const LocalTime today{2025, 6, 9, 12, 0, 0, 0};
    const std::vector<platform::FileTime> times = {
        -5, LocalFileTime(2024, 12, 31, 10), LocalFileTime(2024, 12, 31, 11), -1, LocalFileTime(2025, 1, 1, 9),
        LocalFileTime(2025, 6, 9, 8)};
    const std::vector<DayGroupRow> rows = GroupByDay(times, today);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(rows[0].heading);
    EXPECT_EQ(rows[0].headingText, "Unknown date");
    EXPECT_TRUE(rows[1].heading);
    EXPECT_EQ(rows[1].headingText, "December 31, 2024");
    EXPECT_FALSE(rows[2].heading);
    EXPECT_FALSE(rows[3].heading);  // keeps the previous file's date and time
    EXPECT_EQ(rows[3].shown.hour, 11);
    EXPECT_TRUE(rows[4].heading);
    EXPECT_EQ(rows[4].headingText, "January 1");
    EXPECT_EQ(rows[5].headingText, "Today");
}

}  // namespace
