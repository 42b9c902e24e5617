#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Support/TempFolder.h"
#include "Support/FileText.h"

namespace {

using namespace testfiles;

void Touch(const std::string& file) { std::ofstream(file, std::ios::binary) << "x"; }

// 2024-05-06 09:03:07 in local time.
long long SampleStart() {
    struct tm t {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 6;
    t.tm_hour = 9;
    t.tm_min = 3;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    return static_cast<long long>(mktime(&t));
}

class Logger : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(data_.Dir().empty());
        LogUseProcessMutex();
        LogSetLevel(LOG_DEBUG);
    }
    void TearDown() override {
        LogCloseFile();
        LogSetStderr(true);
    }
    std::string LogsDir() const { return data_.File("Logs"); }
    std::vector<std::string> LogNames() const {
        std::vector<std::string> names = platform::ListFolder(Path(LogsDir()));
        names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }),
                    names.end());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder data_;
};

TEST_F(Logger, FileNameAndLineFormatOnBothSinks) {
    ASSERT_TRUE(LogOpenFile(data_.AsPath(), SampleStart()));
    EXPECT_EQ(std::string(LogFilePath()), LogsDir() + "/log-1.0.13.216-20240506090307.txt");

    ::testing::internal::CaptureStderr();
    LOGF(LOG_TRACE, LOG_SRC_MAIN, "never %d", 1);
    LOGF(LOG_DEBUG, LOG_SRC_MAIN, "value %d of %s", 42, "x");
    LOGF(LOG_INFO, LOG_SRC_MAIN, "Begin");
    LOGF(LOG_WARN, LOG_SRC_CAMERA, "ServiceProc | slow");
    LOGF(LOG_ERROR, LOG_SRC_PLATFORM, "e");
    LOGF(LOG_FATAL, LOG_SRC_AV, "f");
    const std::string err = ::testing::internal::GetCapturedStderr();
    LogCloseFile();
    LOGF(LOG_INFO, LOG_SRC_MAIN, "after close");

    const std::vector<std::string> file = Lines(ReadText(LogsDir() + "/log-1.0.13.216-20240506090307.txt"));
    const std::vector<std::string> expected = {"DEBUG: value 42 of x", "INFO : Begin", "WARN : ServiceProc | slow",
                                               "ERROR: e", "FATAL: f"};
    ASSERT_EQ(file.size(), expected.size());
    const std::regex fileTime("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d $");
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_GT(file[i].size(), 20u);
        EXPECT_TRUE(std::regex_match(file[i].substr(0, 20), fileTime)) << file[i];
        EXPECT_EQ(file[i].substr(20), expected[i]);
    }
    const std::vector<std::string> errLines = Lines(err);
    ASSERT_EQ(errLines.size(), expected.size());
    const std::regex shortTime("^\\d\\d:\\d\\d:\\d\\d $");
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(std::regex_match(errLines[i].substr(0, 9), shortTime)) << errLines[i];
        EXPECT_EQ(errLines[i].substr(9), expected[i]);
    }
    // lines end in a single line feed
    EXPECT_EQ(ReadText(LogFilePath()).find('\r'), std::string::npos);
}

struct PruneCase {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> deleted;  // names expected to be gone afterwards
    size_t remaining;                  // entries afterwards, the new log included
};

// Test names and failure messages show the case, not its bytes.
void PrintTo(const PruneCase& c, std::ostream* os) { *os << c.name; }

class Pruning : public Logger, public ::testing::WithParamInterface<PruneCase> {};

std::vector<std::string> Numbered(const char* format, int count) {
    std::vector<std::string> names;
    char name[128];
    for (int i = 0; i < count; ++i) {
        snprintf(name, sizeof name, format, i);
        names.emplace_back(name);
    }
    return names;
}

TEST_P(Pruning, KeepsAbout300AndDeletesOnlyTxt) {
    const PruneCase& c = GetParam();
    ASSERT_TRUE(platform::CreateDirectories(Path(LogsDir())));
    for (const std::string& n : c.files) Touch(LogsDir() + "/" + n);
    LogSetStderr(false);
    ASSERT_TRUE(LogOpenFile(data_.AsPath(), SampleStart()));
    const std::vector<std::string> after = LogNames();
    EXPECT_EQ(after.size(), c.remaining);
    for (const std::string& n : c.deleted)
        EXPECT_FALSE(std::binary_search(after.begin(), after.end(), n)) << n;
    EXPECT_TRUE(std::binary_search(after.begin(), after.end(), "log-1.0.13.216-20240506090307.txt"));
    EXPECT_EQ(ReadText(LogFilePath()).find("Could not delete"), std::string::npos);
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Pruning,
    ::testing::Values(
        // "." and ".." count, as in any listing: 307 names, the first 7 go
        // ("." and ".." are not files), so the 5 oldest logs are deleted
        PruneCase{"logs305", Numbered("log-1.0.13.216-20230101%06d.txt", 305),
                  Numbered("log-1.0.13.216-20230101%06d.txt", 5), 301},
        PruneCase{"notes_sorting_first_survive",
                  With({"notes.md"}, Numbered("old-%03d.txt", 305)), Numbered("old-%03d.txt", 5), 302},
        PruneCase{"under_limit", Numbered("log-1.0.12.200-20230101%06d.txt", 298), {}, 299},
        PruneCase{"only_non_txt", Numbered("keep-%03d.md", 310), {}, 311}),
    [](const ::testing::TestParamInfo<PruneCase>& info) { return std::string(info.param.name); });

TEST_F(Logger, FailedPruneDeletionIsLoggedAndPruningGoesOn) {
    ASSERT_TRUE(platform::CreateDirectories(Path(LogsDir())));
    // A folder with a ".txt" name cannot be deleted as a file.
    ASSERT_EQ(mkdir((LogsDir() + "/a-folder.txt").c_str(), 0700), 0);
    for (const std::string& n : Numbered("log-%03d.txt", 302)) Touch(LogsDir() + "/" + n);
    // Pruning runs before the new file opens, so the line reaches stderr only.
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(LogOpenFile(data_.AsPath(), SampleStart()));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ERROR: Platform_Linux - Could not delete " + LogsDir() + "/a-folder.txt\n"),
              std::string::npos);
    const std::vector<std::string> after = LogNames();
    EXPECT_FALSE(std::binary_search(after.begin(), after.end(), "log-000.txt"));
    EXPECT_FALSE(std::binary_search(after.begin(), after.end(), "log-001.txt"));
    EXPECT_TRUE(std::binary_search(after.begin(), after.end(), "log-002.txt"));
}

TEST_F(Logger, UncreatableFolderLeavesStderrOnly) {
    const std::string notAFolder = data_.File("data");
    Touch(notAFolder);
    EXPECT_FALSE(LogOpenFile(Path(notAFolder)));
    EXPECT_STREQ(LogFilePath(), "");
    ::testing::internal::CaptureStderr();
    LOGF(LOG_INFO, LOG_SRC_MAIN, "still here");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("INFO : still here\n"), std::string::npos);
}

TEST_F(Logger, ConcurrentLinesStayWhole) {
    LogSetStderr(false);
    ASSERT_TRUE(LogOpenFile(data_.AsPath()));
    constexpr int kThreads = 4;
    constexpr int kLines = 2000;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &go] {
            while (!go.load()) std::this_thread::yield();
            // a long payload makes interleaving likely without the lock
            const std::string payload(300, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) LOGF(LOG_INFO, LOG_SRC_MAIN, "t%d n%d %s", t, i, payload.c_str());
        });
    }
    go = true;
    for (std::thread& th : threads) th.join();
    const std::string path = LogFilePath();
    LogCloseFile();
    const std::vector<std::string> lines = Lines(ReadText(path));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    const std::regex whole("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d INFO : t(\\d) n(\\d+) ([a-d]{300})$");
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line.substr(0, 80);
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++);  // each thread's lines in its own order
        EXPECT_EQ(m[3].str(), std::string(300, static_cast<char>('a' + t)));
    }
}

}  // namespace
