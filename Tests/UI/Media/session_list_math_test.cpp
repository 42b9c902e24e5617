// The session manager's and the file list's rules as tables.
#include <gtest/gtest.h>

#include <cmath>

#include "UI/SessionListMath.h"

namespace {

using namespace ui;

TEST(SessionList, RowsFollowTheDisplayAndTheCount) {
    struct Case {
        float H, T, s;
        int count, rows;
    } cases[] = {
        {800, 48, 1, 50, 9},   // ceil((800 - 48 - 48 - 360) / 40) = ceil(8.6)
        {800, 48, 1, 5, 5},    // fewer sessions than rows
        {800, 48, 1, 1, 3},    // at least 3
        {400, 48, 1, 50, 3},   // a small display still shows 3
        {1200, 32, 0.6667f, 100, int(std::ceil((1200 - 48 * 0.6667f - 32 - 360 * 0.6667f) / (40 * 0.6667f)))},
    };
    for (const Case& c : cases) EXPECT_EQ(SessionListRows(c.H, c.T, c.s, c.count), c.rows) << c.H << " " << c.count;
    EXPECT_FLOAT_EQ(SessionPopupHeight(3, 1), 344 + 120 + 16);
}

TEST(StorageLine, LongPathsLoseTheirStart) {
    auto width = [](const std::string& t) { return float(t.size()) * 10; };  // 10 px per character
    EXPECT_EQ(FitStorageLine("Documents/Jobs", 200, width), "Documents/Jobs");
    // 30 characters in 200 px: the rest must be narrower than 200 - 30.
    const std::string fitted = FitStorageLine("Field (/media/field)/Jobs/2026", 200, width);
    EXPECT_EQ(fitted.substr(0, 3), "...");
    EXPECT_LT(width(fitted.substr(3)), 170);
    EXPECT_EQ(fitted.substr(fitted.size() - 4), "2026");  // the folder's own name stays visible
    // Fits after dropping only its first character: left whole.
    EXPECT_EQ(FitStorageLine("abcdefghijklmnopqrstu", 200, [](const std::string& t) {
                  return t.size() == 21 ? 201.0f : t == "..." ? 0.0f : float(t.size()) * 9;
              }),
              "abcdefghijklmnopqrstu");
}

TEST(StorageLine, NeverSplitsAUtf8Character) {
    auto width = [](const std::string& t) { return float(t.size()) * 10; };
    const std::string text = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9/Jobs";
    const std::string fitted = FitStorageLine(text, 120, width);
    ASSERT_EQ(fitted.substr(0, 3), "...");
    const unsigned char first = static_cast<unsigned char>(fitted[3]);
    EXPECT_NE(first & 0xC0, 0x80) << fitted;
}

TEST(AddSession, OutcomesAndAlerts) {
    EXPECT_EQ(ClassifyAdd(3, 3, 4), AddOutcome::Added);
    EXPECT_EQ(ClassifyAdd(1, 3, 3), AddOutcome::Duplicate);
    EXPECT_EQ(ClassifyAdd(-1, 3, 3), AddOutcome::Failed);
    EXPECT_EQ(ClassifyAdd(0, 3, 2), AddOutcome::Failed);
    EXPECT_STREQ(AddOutcomeAlert(AddOutcome::Duplicate), "There is already a session with that name");
    EXPECT_STREQ(AddOutcomeAlert(AddOutcome::Failed), "There was a problem creating the session");
}

TEST(DeleteSummary, OneLinePerTypeSingularForOne) {
    std::vector<MediaEntry> media;
    media.push_back({MediaType::Data, 0, 0, 0});
    for (int i = 0; i < 3; ++i) media.push_back({MediaType::Video, i, 7, 0});
    media.push_back({MediaType::Image, 9, 7, 1});
    const std::vector<std::string> lines = DeleteSummaryLines(media);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string("- 3 ") + MediaTypeLabel(MediaType::Video, true));
    EXPECT_EQ(lines[1], std::string("- 1 ") + MediaTypeLabel(MediaType::Image, false));
    EXPECT_EQ(lines[2], std::string("- 1 ") + MediaTypeLabel(MediaType::Data, false));
    EXPECT_TRUE(DeleteSummaryLines({}).empty());
}

TEST(FileList, HeaderLabelCountsFiles) {
    EXPECT_EQ(SessionHeaderLabel("Pipe 7", 1), "Pipe 7   (1 file)###Pipe 7");
    EXPECT_EQ(SessionHeaderLabel("Pipe 7", 0), "Pipe 7   (0 files)###Pipe 7");
    EXPECT_EQ(SessionHeaderLabel("Job", 12), "Job   (12 files)###Job");
}

TEST(FileList, TicksFollowListsAndSelectMode) {
    TickMarks ticks;
    ResizeTicks(&ticks, {2, 3}, true);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1], (std::vector<int32_t>{0, 0, 0}));
    ticks[0][1] = 1;
    ticks[1][2] = 1;
    ResizeTicks(&ticks, {3, 3}, true);  // a file came: marks keep their positions
    EXPECT_EQ(ticks[0], (std::vector<int32_t>{0, 1, 0}));
    EXPECT_EQ(CountTicked(ticks), 2);
    ResizeTicks(&ticks, {3, 3}, false);  // leaving select mode clears every tick
    EXPECT_EQ(CountTicked(ticks), 0);
    EXPECT_EQ(ticks[0], (std::vector<int32_t>{0, 0, 0}));
}

TEST(FileList, SessionBoxIgnoresFilesThatCannotBeTicked) {
    struct Case {
        std::vector<int32_t> marks;
        bool ticked;
    } cases[] = {
        {{1, 1, -1}, true}, {{1, 0, -1}, false}, {{-1, -1}, false}, {{}, false}, {{0, 0}, false}, {{1}, true},
    };
    for (const Case& c : cases) EXPECT_EQ(SessionBoxTicked(c.marks), c.ticked);
    std::vector<int32_t> marks{0, -1, 1};
    SetSessionBox(&marks, true);
    EXPECT_EQ(marks, (std::vector<int32_t>{1, -1, 1}));
    SetSessionBox(&marks, false);
    EXPECT_EQ(marks, (std::vector<int32_t>{0, -1, 0}));
}

TEST(Export, NamesOfOneExportNeverCollide) {
    std::vector<std::string> names{"Job_2026-12-10_13.29.38.mkv", "Job_2026-12-10_13.29.38.mkv", "Job_x.jpg",
                                   "Job_2026-12-10_13.29.38.mkv", "Job_2026-12-10_13.29.38 (2).mkv", "noext", "noext"};
    MakeNamesDistinct(&names);
    EXPECT_EQ(names, (std::vector<std::string>{"Job_2026-12-10_13.29.38.mkv", "Job_2026-12-10_13.29.38 (2).mkv",
                                               "Job_x.jpg", "Job_2026-12-10_13.29.38 (3).mkv",
                                               "Job_2026-12-10_13.29.38 (2) (2).mkv", "noext", "noext (2)"}));
    std::vector<std::string> same{"a.mkv", "b.mkv"};
    MakeNamesDistinct(&same);  // distinct names stay as they are (a second export overwrites them)
    EXPECT_EQ(same, (std::vector<std::string>{"a.mkv", "b.mkv"}));
}

}  // namespace
