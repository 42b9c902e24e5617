// The program's first run as a process: temporary XDG_DATA_HOME, a settings
// file in the working folder, SIGTERM, then the log and the settings file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Base/FileServices.h"
#include "Support/TempFolder.h"
#include "Support/FileText.h"

namespace {

using namespace testfiles;

// Runs build/orvex-studio in `workDir` with XDG_DATA_HOME=`dataHome`.
pid_t StartStudio(const std::string& workDir, const std::string& dataHome) {
    const std::string program = std::string(ORVEX_BUILD_DIR) + "/orvex-studio";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(126);
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to `limit` for the process to end; returns its wait status or -1.
int WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

// Waits until the log file holds `text` (the process has reached that step).
std::string WaitForLogLine(const std::string& logs, const std::string& text, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        for (const std::string& name : platform::ListFolder(Path(logs))) {
            if (name[0] == '.') continue;
            const std::string file = logs + "/" + name;
            if (ReadText(file).find(text) != std::string::npos) return file;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::string();
}

class FirstRun : public ::testing::TestWithParam<int> {};

TEST_P(FirstRun, StopSignalSavesSettingsAndEndsTheLog) {
    TempFolder work, home;
    {
        std::ofstream(work.File("settings.ini"), std::ios::binary) << "[Layout]\r\n  WindowWidth = 1200\r\n";
    }
    const std::string data = home.Dir() + "/KAVOR Industries/ORVEX Studio";
    const pid_t pid = StartStudio(work.Dir(), home.Dir());
    ASSERT_GT(pid, 0);
    const std::string log = WaitForLogLine(data + "/Logs", "INFO : Load settings\n", std::chrono::seconds(30));
    ASSERT_FALSE(log.empty()) << "no log with \"Load settings\"";
    // The signal may arrive while the settings are still being read: it is
    // blocked from the first step on and waits for the shut-down.
    ASSERT_EQ(kill(pid, GetParam()), 0);
    const int status = WaitFor(pid, std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

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
    const pid_t pid = StartStudio(work.Dir(), home.Dir());
    ASSERT_GT(pid, 0);
    ASSERT_FALSE(WaitForLogLine(data + "/Logs", "INFO : Load settings\n", std::chrono::seconds(30)).empty());
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    const int status = WaitFor(pid, std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string ini = ReadText(data + "/settings.ini");
    EXPECT_NE(ini.find("\r\nWindowWidth=900\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nDPI=96\r\n"), std::string::npos) << ini;  // tablet mode
    EXPECT_EQ(ini.find("TabletMode"), std::string::npos);
    EXPECT_FALSE(Exists(data + "/settings.ini.bk"));
}

}  // namespace
