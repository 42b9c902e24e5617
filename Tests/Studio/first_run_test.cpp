// The program's first run as a process: temporary XDG_DATA_HOME, a settings
// file in the working folder, SIGTERM, then the log and the settings file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Base/FileServices.h"
#include "Support/TempFolder.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Wait.h"

namespace {

using namespace testfiles;

using testsupport::ChildProcess;
using testsupport::WaitUntil;

// Runs build/orvex-studio in `workDir` with XDG_DATA_HOME=`dataHome`.
std::unique_ptr<ChildProcess> StartStudio(const std::string& workDir, const std::string& dataHome) {
    ChildProcess::Options options;
    options.env = {"XDG_DATA_HOME=" + dataHome};
    options.workDir = workDir;
    return std::make_unique<ChildProcess>(std::vector<std::string>{std::string(ORVEX_BUILD_DIR) + "/orvex-studio"},
                                          options);
}

// The log file in `logs` that holds `text` (the process has reached that
// step), once one does; empty when none did within `limit`.
std::string WaitForLogLine(const std::string& logs, const std::string& text, std::chrono::milliseconds limit) {
    std::string found;
    WaitUntil(
        [&] {
            for (const std::string& name : platform::ListFolder(Path(logs))) {
                if (name[0] == '.') continue;
                const std::string file = logs + "/" + name;
                if (ReadText(file).find(text) != std::string::npos) found = file;
            }
            return !found.empty();
        },
        limit);
    return found;
}

class FirstRun : public ::testing::TestWithParam<int> {};

TEST_P(FirstRun, StopSignalSavesSettingsAndEndsTheLog) {
    TempFolder work, home;
    {
        std::ofstream(work.File("settings.ini"), std::ios::binary) << "[Layout]\r\n  WindowWidth = 1200\r\n";
    }
    const std::string data = home.Dir() + "/KAVOR Industries/ORVEX Studio";
    auto studio = StartStudio(work.Dir(), home.Dir());
    ASSERT_TRUE(studio->Started());
    const std::string log = WaitForLogLine(data + "/Logs", "INFO : Load settings\n", std::chrono::seconds(30));
    ASSERT_FALSE(log.empty()) << "no log with \"Load settings\"";
    // The signal may arrive while the settings are still being read: it is
    // blocked from the first step on and waits for the shut-down.
    studio->Signal(GetParam());
    EXPECT_EQ(studio->Wait(std::chrono::seconds(30)), 0);

    const std::string name = log.substr(log.rfind('/') + 1);
    EXPECT_TRUE(std::regex_match(name, std::regex("log-1\\.0\\.13\\.216-\\d{14}\\.txt"))) << name;
    const std::vector<std::string> lines = Lines(ReadText(log));
    ASSERT_GE(lines.size(), 5u);
    const std::string stamp = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ";
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + "INFO : Begin"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + "INFO : Load settings"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(stamp + "INFO : End"))) << lines.back();
    const std::string all = ReadText(log);
    const size_t exiting = all.find("INFO : Exiting app...\n");
    const size_t saving = all.find("INFO : Saving settings\n");
    ASSERT_NE(exiting, std::string::npos);
    ASSERT_NE(saving, std::string::npos);
    EXPECT_LT(exiting, saving);

    const std::string ini = ReadText(data + "/settings.ini");
    EXPECT_EQ(ini.rfind("[File]\r\nSessionDirectory=", 0), 0u) << ini;
    EXPECT_NE(ini.find("\r\n[Layout]\r\nLayoutStyle=SingleCamera\r\nWindowWidth=1200\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nDPI=144\r\n"), std::string::npos);
    EXPECT_FALSE(Exists(data + "/settings.ini.bk"));
    EXPECT_FALSE(Exists(data + "/settings.ini.tmp"));
    // the working folder's file is read, never written
    EXPECT_EQ(ReadText(work.File("settings.ini")), "[Layout]\r\n  WindowWidth = 1200\r\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, FirstRun, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

TEST(SecondRun, DataFolderSettingsOverrideAndTabletModeIsNotWritten) {
    TempFolder work, home;
    const std::string data = home.Dir() + "/KAVOR Industries/ORVEX Studio";
    ASSERT_TRUE(platform::CreateDirectories(Path(data)));
    std::ofstream(work.File("settings.ini"), std::ios::binary) << "[Layout]\nWindowWidth=1200\nDPI=120\n";
    std::ofstream(data + "/settings.ini", std::ios::binary) << "[Layout]\nWindowWidth=900\nTabletMode=true\n";
    auto studio = StartStudio(work.Dir(), home.Dir());
    ASSERT_TRUE(studio->Started());
    ASSERT_FALSE(WaitForLogLine(data + "/Logs", "INFO : Load settings\n", std::chrono::seconds(30)).empty());
    EXPECT_EQ(studio->Terminate(std::chrono::seconds(30)), 0);
    const std::string ini = ReadText(data + "/settings.ini");
    EXPECT_NE(ini.find("\r\nWindowWidth=900\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nDPI=96\r\n"), std::string::npos) << ini;  // tablet mode
    EXPECT_EQ(ini.find("TabletMode"), std::string::npos);
    EXPECT_FALSE(Exists(data + "/settings.ini.bk"));
}


// A tablet's first start keeps its media on the tablet's own storage folder,
// made on the spot. /srv is a tmpfs of a private mount namespace here, so the
// machine's own /srv is never written.
TEST(TabletFirstRun, TakesTheTabletStorageFolder) {
    if (std::system(geteuid() == 0 ? "unshare -m true 2>/dev/null" : "unshare -rm true 2>/dev/null") != 0)
        GTEST_SKIP() << "no private mount namespace can be made here";
    const bool hostHadIt = Exists("/srv/ORVEX Storage");
    TempFolder work, home;
    const std::string data = home.Dir() + "/KAVOR Industries/ORVEX Studio";
    ASSERT_TRUE(platform::CreateDirectories(Path(data)));
    std::ofstream(work.File("settings.ini"), std::ios::binary) << "[Layout]\nTabletMode=true\n";
    ChildProcess::Options options;
    options.env = {"XDG_DATA_HOME=" + home.Dir()};
    options.workDir = work.Dir();
    ChildProcess studio({"unshare", geteuid() == 0 ? "-m" : "-rm", "--propagation", "private", "sh", "-c",
                         "mount -t tmpfs orvex-test /srv && exec \"$0\"", std::string(ORVEX_BUILD_DIR) + "/orvex-studio"},
                        options);
    ASSERT_TRUE(studio.Started());
    ASSERT_FALSE(WaitForLogLine(data + "/Logs", "INFO : Load settings\n", std::chrono::seconds(30)).empty());
    EXPECT_EQ(studio.Terminate(std::chrono::seconds(30)), 0);
    const std::string ini = ReadText(data + "/settings.ini");
    EXPECT_NE(ini.find("\r\nSessionDirectory=/srv/ORVEX Storage/SessionData\r\n"), std::string::npos) << ini;
    EXPECT_EQ(Exists("/srv/ORVEX Storage"), hostHadIt) << "the machine's /srv was written";
}

}  // namespace
