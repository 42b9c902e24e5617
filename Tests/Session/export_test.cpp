#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Session/Export.h"
#include "Support/FileText.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"

namespace {

// Collects the reports of one export and lets the test wait for its end.
struct Reports {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::tuple<int64_t, int64_t, bool>> seen;
    bool finished = false;
    int64_t expectTotal = 0;
    int stopAfter = -1;  // answer false from this report on

    CopyProgressRoutine Routine() {
        return [this](int64_t total, int64_t done, bool ok) {
            std::lock_guard<std::mutex> hold(lock);
            seen.emplace_back(total, done, ok);
            if (!ok || done == expectTotal) finished = true;
            changed.notify_all();
            return stopAfter < 0 || static_cast<int>(seen.size()) < stopAfter;
        };
    }
    bool WaitFinished() {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(30), [this] { return finished; });
    }
};

void WriteFile(const std::string& path, size_t size, char fill) {
    std::ofstream out(path, std::ios::binary);
    out << std::string(size, fill);
}

using testfiles::ReadText;

TEST(Export, ThreeFilesWhereTheSecondFails) {
    TempFolder dir;
    testsupport::LogCapture capture;
    WriteFile(dir.File("a.mkv"), 5000, 'a');
    WriteFile(dir.File("b.mkv"), 7000, 'b');
    WriteFile(dir.File("c.mkv"), 9000, 'c');
    ASSERT_TRUE(platform::CreateDirectories(Path(dir.File("out"))));
    Reports reports;
    reports.expectTotal = 21000;
    // The second destination's folder does not exist, so its copy fails.
    ASSERT_TRUE(StartCopy({Path(dir.File("a.mkv")), Path(dir.File("b.mkv")), Path(dir.File("c.mkv"))},
                          {Path(dir.File("out/A.mkv")), Path(dir.File("missing/B.mkv")), Path(dir.File("out/C.mkv"))},
                          reports.Routine()));
    ASSERT_TRUE(reports.WaitFinished());

    std::lock_guard<std::mutex> hold(reports.lock);
    ASSERT_FALSE(reports.seen.empty());
    const auto [total, done, ok] = reports.seen.back();
    EXPECT_FALSE(ok);
    EXPECT_EQ(total, 21000);
    EXPECT_EQ(done, 5000);
    for (size_t i = 0; i + 1 < reports.seen.size(); ++i) EXPECT_TRUE(std::get<2>(reports.seen[i]));
    EXPECT_EQ(ReadText(dir.File("out/A.mkv")), std::string(5000, 'a'));
    EXPECT_FALSE(platform::GetFileInfo(Path(dir.File("out/C.mkv")), nullptr));
    // Only final names: no temporary copy is left anywhere.
    const std::vector<std::string> names = platform::ListFolder(Path(dir.File("out")));
    EXPECT_EQ(names.size(), 3u);  // ".", "..", "A.mkv"

    const std::string log = capture.Text();
    const std::string line = "Platform_Linux - Could not copy from " + dir.File("b.mkv") + " to " + dir.File("missing/B.mkv");
    const size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("Could not copy", at + line.size()), std::string::npos);
}

TEST(Export, StopLeavesNoFileUnderTheFinalNameAndReplacesOnlyWhenComplete) {
    TempFolder dir;
    WriteFile(dir.File("big.mkv"), 9u << 20, 'x');  // three 4 MiB blocks
    WriteFile(dir.File("old.mkv"), 10, 'o');
    Reports reports;
    reports.expectTotal = 9 << 20;
    reports.stopAfter = 2;
    ASSERT_TRUE(StartCopy({Path(dir.File("big.mkv"))}, {Path(dir.File("old.mkv"))}, reports.Routine()));
    ASSERT_TRUE(reports.WaitFinished());
    EXPECT_FALSE(std::get<2>(reports.seen.back()));
    // The stopped copy left the previous file untouched and no partial file.
    EXPECT_EQ(ReadText(dir.File("old.mkv")), std::string(10, 'o'));
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 4u);

    Reports full;
    full.expectTotal = 9 << 20;
    ASSERT_TRUE(StartCopy({Path(dir.File("big.mkv"))}, {Path(dir.File("old.mkv"))}, full.Routine()));
    ASSERT_TRUE(full.WaitFinished());
    EXPECT_TRUE(std::get<2>(full.seen.back()));
    uint64_t size = 0;
    ASSERT_TRUE(platform::FileSize(Path(dir.File("old.mkv")), &size));
    EXPECT_EQ(size, 9u << 20);
}

TEST(Export, StartRefusals) {
    TempFolder dir;
    WriteFile(dir.File("a.mkv"), 10, 'a');
    int calls = 0;
    auto routine = [&](int64_t, int64_t, bool) { return ++calls > 0; };
    EXPECT_FALSE(StartCopy({Path(dir.File("a.mkv"))}, {}, routine));
    EXPECT_FALSE(StartCopy({Path(dir.File("a.mkv")), Path(dir.File("gone.mkv"))},
                           {Path(dir.File("x.mkv")), Path(dir.File("y.mkv"))}, routine));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ExportTemporaryPath(Path("/m/out/A.mkv")).Text(), "/m/out/.A.mkv.orvex-part");
}

TEST(Export, ReportsOfAStoppedExportAreNotTakenForTheNextOne) {
    ExportProgress progress;
    const uint64_t first = progress.Begin();
    CopyProgressRoutine firstRoutine = progress.RoutineFor(first);
    EXPECT_TRUE(firstRoutine(100, 10, true));
    progress.RequestStop();
    EXPECT_FALSE(firstRoutine(100, 20, true));
    const uint64_t second = progress.Begin();
    EXPECT_NE(first, second);
    // The first export's thread reports its failure late.
    EXPECT_FALSE(firstRoutine(100, 20, false));
    ExportProgress::Snapshot s = progress.Read();
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.done, 0);
    EXPECT_FALSE(s.stopRequested);
    EXPECT_TRUE(progress.RoutineFor(second)(50, 25, true));
    s = progress.Read();
    EXPECT_EQ(s.status, 2);
    EXPECT_EQ(s.total, 50);
    EXPECT_EQ(s.done, 25);
}

TEST(Export, SizeWithUnit) {
    const struct {
        int64_t total;
        int64_t number;
        const char* unit;
    } cases[] = {{1500000000, 1, "GB"},  {1000000001, 1, "GB"}, {1000000000, 1000, "MB"}, {999999, 999, "KB"},
                 {1000, 1000, "Bytes"}, {1001, 1, "KB"},        {0, 0, "Bytes"},           {-5, -5, "Bytes"}};
    for (const auto& c : cases) {
        const auto [number, unit] = SizeWithUnit(c.total);
        EXPECT_EQ(number, c.number) << c.total;
        EXPECT_STREQ(unit, c.unit) << c.total;
    }
}

}  // namespace
