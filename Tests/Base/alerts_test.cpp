#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Base/Alerts.h"
#include "Support/FileText.h"
#include "Support/TempFolder.h"

namespace {

TEST(Alerts, QueueKeepsOrderAndCopies) {
    TakeAlerts();
    std::string text = "Storage space is critically low.";
    PostAlert(text);
    text = "changed";
    PostAlert("second");
    EXPECT_EQ(AlertCount(), 2u);
    std::string first;
    ASSERT_TRUE(PeekAlert(&first));
    EXPECT_EQ(first, "Storage space is critically low.");
    PopAlert();
    ASSERT_TRUE(PeekAlert(&first));
    EXPECT_EQ(first, "second");
    PopAlert();
    EXPECT_FALSE(PeekAlert(&first));
    PopAlert();  // empty: nothing happens
    EXPECT_EQ(AlertCount(), 0u);
}

TEST(Alerts, RepeatedTextWaitsOnce) {
    TakeAlerts();
    // A failure that repeats while the user is away leaves one alert to dismiss.
    for (int i = 0; i < 1000; ++i) {
        PostAlert("Session data could not be saved (file error): /data/s.ovx");
        PostAlert("Storage space is critically low. Recording stopped to ensure file integrity.");
    }
    EXPECT_EQ(AlertCount(), 2u);
    PopAlert();  // the first is dismissed: the same text may come again
    PostAlert("Session data could not be saved (file error): /data/s.ovx");
    const std::vector<std::string> all = TakeAlerts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], "Storage space is critically low. Recording stopped to ensure file integrity.");
    EXPECT_EQ(all[1], "Session data could not be saved (file error): /data/s.ovx");
}

// Every alert is also a log line at the level its poster gives (WARN by
// default), without the trailing line break some texts carry.
TEST(Alerts, EveryAlertIsALogLine) {
    TempFolder logs;
    LogSetStderr(false);
    ASSERT_TRUE(LogOpenFile(logs.AsPath()));
    TakeAlerts();
    PostAlert("The video connection was lost. The current recording has been stopped.\n");
    PostAlert("Session data could not be saved (file error): /data/s.qsd", LOG_ERROR);
    PostAlert("Session data could not be saved (file error): /data/s.qsd", LOG_ERROR);  // waits once, logged twice
    EXPECT_EQ(AlertCount(), 2u);
    const std::string log = testfiles::ReadText(LogFilePath());
    LogCloseFile();
    LogSetStderr(true);
    TakeAlerts();
    auto count = [&](const std::string& needle) {
        int n = 0;
        for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("WARN : Alert | The video connection was lost. The current recording has been stopped.\n"), 1) << log;
    EXPECT_EQ(count("ERROR: Alert | Session data could not be saved (file error): /data/s.qsd\n"), 2) << log;
}

TEST(Alerts, PostFromManyThreads) {
    TakeAlerts();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i) PostAlert("t" + std::to_string(t) + "-" + std::to_string(i));
        });
    for (std::thread& th : threads) th.join();
    const std::vector<std::string> all = TakeAlerts();
    EXPECT_EQ(all.size(), 2000u);
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), 2000u);
    EXPECT_EQ(AlertCount(), 0u);
}

}  // namespace
