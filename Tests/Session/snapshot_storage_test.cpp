#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <fstream>

#include "Base/Alerts.h"
#include "Base/FileServices.h"
#include "Base/Settings.h"
#include "Session/SnapshotSave.h"
#include "Session/StorageFolder.h"
#include "Session/StorageMonitor.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"
#include "Support/Wait.h"

namespace {

class SnapshotSaveTest : public ::testing::Test {
protected:
    SnapshotSaveTest() : store(settings, elapsed, base) { settings.SessionDirectory = dir.Dir(); }
    void TearDown() override { TakeAlerts(); }

    CaptureRequest Still(int group, int64_t time, std::vector<uint8_t> bytes) {
        CaptureRequest r;
        r.group = group;
        r.sessionTime = time;
        r.cameraId = 12;
        r.jpeg = std::move(bytes);
        return r;
    }

    TempFolder dir;
    Settings settings;
    int64_t elapsed = 0, base = 0;
    SessionStore store;
    SnapshotSaveQueue queue;
};

TEST_F(SnapshotSaveTest, TwoChannelsGiveTwoNamedFilesAndARefreshedList) {
    ASSERT_EQ(store.FindOrCreateSession("Job-"), 0);
    store.RefreshSessions();
    queue.Push(Still(0, 10250000, {0xFF, 0xD8, 1, 2, 0xFF, 0xD9}));
    queue.Push(Still(1, 10250000, {0xFF, 0xD8, 3, 0xFF, 0xD9}));
    SavePendingSnapshots(queue, store);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_TRUE(TakeAlerts().empty());
    uint64_t size = 0;
    ASSERT_TRUE(platform::FileSize(Path(dir.File("Job--00.00.10.250-P-12-0.jpg")), &size));
    EXPECT_EQ(size, 6u);
    ASSERT_TRUE(platform::FileSize(Path(dir.File("Job--00.00.10.250-P-12-1.jpg")), &size));
    EXPECT_EQ(size, 5u);
    ASSERT_EQ(store.viewable[0].size(), 2u);
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 5u);  // two stills, the data file, "." and ".."
}

TEST_F(SnapshotSaveTest, UnwritableFolderGivesTheAlertAndEmptiesTheQueue) {
    ASSERT_EQ(store.FindOrCreateSession("Job"), 0);
    store.RefreshSessions();
    TakeAlerts();
    // The folder disappears (a removed card); writing fails for any user.
    settings.SessionDirectory = dir.File("gone");
    queue.Push(Still(0, 1000, {1, 2, 3}));
    SavePendingSnapshots(queue, store);
    EXPECT_EQ(queue.Size(), 0u);
    const std::vector<std::string> alerts = TakeAlerts();
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts[0], "Error saving image to " + dir.File("gone/Job-00.00.00.001-P-12-0.jpg"));

    MediaEntry note{MediaType::Note, 0, 0, 0};
    EXPECT_FALSE(SaveMediaFile(store, note, nullptr, 0));
    // The refresh after the failed save found no session in the missing folder.
    EXPECT_EQ(TakeAlerts(), std::vector<std::string>{"Error saving to " + dir.File("gone/ORVEX-00.00.00.000-N-0-0.txt")});
}

TEST(StorageFolder, ChoosesTheFirstUsableCandidate) {
    TempFolder dir;
    Settings s;
    s.SessionDirectory = dir.Dir();
    ChooseStorageFolder(s, Path("/nowhere"));
    EXPECT_EQ(s.SessionDirectory, dir.Dir());  // an existing folder is kept

    const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.Dir().c_str(), 1);
    std::ofstream(dir.File("Documents")) << "not a folder";  // so Documents/ORVEX Studio cannot be made
    s.SessionDirectory = dir.File("missing");
    ChooseStorageFolder(s, Path(dir.File("data")));
    EXPECT_EQ(s.SessionDirectory, dir.File("data/Sessions"));
    platform::FileInfo info;
    ASSERT_TRUE(platform::GetFileInfo(Path(s.SessionDirectory), &info));
    EXPECT_TRUE(info.isDirectory);

    std::ofstream(dir.File("file")) << "x";
    s.SessionDirectory = "";
    ChooseStorageFolder(s, Path(dir.File("file")));  // no candidate works: unchanged
    EXPECT_EQ(s.SessionDirectory, "");
    setenv("HOME", oldHome.c_str(), 1);
}

// An unplugged disk at start: this run falls back, the settings keep the
// configured folder, and the next start with the disk present goes back.
TEST(StorageFolder, MissingConfiguredFolderIsKeptInTheSettings) {
    TempFolder dir;
    testsupport::LogCapture log;
    TakeAlerts();
    const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.Dir().c_str(), 1);
    const std::string configured = dir.File("usb/Jobs");
    Settings s;
    s.SessionDirectory = configured;
    ChooseStorageFolder(s, Path(dir.File("data")));
    setenv("HOME", oldHome.c_str(), 1);
    const std::string fallback = dir.File("Documents/ORVEX Studio");
    EXPECT_EQ(s.SessionDirectory, fallback);
    EXPECT_EQ(s.ConfiguredSessionDirectory, configured);
    const std::string text = FormatSettingsText(s);
    EXPECT_NE(text.find("\r\nSessionDirectory=" + configured + "\r\n"), std::string::npos) << text;
    EXPECT_EQ(TakeAlerts(), std::vector<std::string>{"The storage folder " + configured +
                                                     " is not available. Media are saved in " + fallback +
                                                     " until the program is started again with the folder present."});
    EXPECT_TRUE(log.Contains("ERROR: ChooseStorageFolder | the storage folder " + configured + " is missing; " + fallback +
                        " is used for this run, the setting is kept"))
        << log.Text();

    // Next start, the disk is back: the file's folder is used again.
    ASSERT_TRUE(platform::CreateDirectories(Path(configured)));
    Settings next;
    ParseSettingsText(text, &next);
    ChooseStorageFolder(next, Path(dir.File("data")));
    EXPECT_EQ(next.SessionDirectory, configured);
    EXPECT_TRUE(next.ConfiguredSessionDirectory.empty());
    EXPECT_TRUE(TakeAlerts().empty());
}

TEST(StorageFolder, DisplayNames) {
    EXPECT_EQ(StorageDisplayName("/home/u/Documents/Jobs", "/home/u/Documents"), "Documents/Jobs");
    EXPECT_EQ(StorageDisplayName("/home/u/DocumentsX", "/home/u/Documents").find("Documents"), 8u);
    // The Documents folder itself keeps its full name behind its volume.
    const std::string docs = StorageDisplayName("/proc/self", "/proc/self");
    EXPECT_NE(docs.find("(/proc)"), std::string::npos) << docs;
    EXPECT_EQ(StorageDisplayName("/proc/self/fd", ""), " (/proc)/self/fd");  // proc has no label
    EXPECT_EQ(StorageDisplayName("/does/not/exist", ""), "/does/not/exist");
}

TEST(StorageMonitor, MeasuresInEveryModeAndStopsPromptly) {
    TempFolder dir;
    StorageMonitor monitor(50);
    EXPECT_EQ(monitor.FreeBytes(), -1);
    monitor.Start(dir.Dir(), false);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return monitor.FreeBytes() >= 0; }, std::chrono::seconds(10)));
    EXPECT_GT(monitor.FreeBytes(), 0);
    monitor.SetFolder(dir.File("missing"));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return monitor.FreeBytes() < 0; }, std::chrono::seconds(10)));
    EXPECT_EQ(monitor.FreeBytes(), -1);
    monitor.Stop();

    StorageMonitor tablet(60000);
    tablet.Start(dir.Dir(), true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return tablet.FreeBytes() >= 0; }, std::chrono::seconds(10)));
    EXPECT_GT(tablet.FreeBytes(), 0);
    const auto start = std::chrono::steady_clock::now();
    tablet.Stop();  // does not wait out the minute
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(platform::ListFolder(dir.AsPath()).size(), 2u);  // the probe file is gone again
}

}  // namespace
