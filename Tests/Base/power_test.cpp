// Power events against a private message bus of the test's own that has no
// login manager on it: every inhibitor request is refused, as on systems
// where the login manager is missing or denies the request.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Base/Log.h"
#include "Base/Power.h"

namespace {

class PowerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orvex-window-power-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder_ = tmpl;
        LogSetStderr(false);
        LogSetLevel(LOG_DEBUG);
        ASSERT_TRUE(LogOpenFile(Path(folder_.string())));

        // A forked bus daemon prints its address and its process id.
        FILE* daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        ASSERT_NE(daemon, nullptr);
        char address[512] = {0}, pid[64] = {0};
        const bool read = fgets(address, sizeof(address), daemon) != nullptr && fgets(pid, sizeof(pid), daemon);
        pclose(daemon);
        ASSERT_TRUE(read) << "dbus-daemon did not start";
        daemonPid_ = atoi(pid);
        std::string text = address;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const char* previous = getenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (previous != nullptr) previousAddress_ = previous;
        hadAddress_ = previous != nullptr;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", text.c_str(), 1);
    }
    void TearDown() override {
        if (hadAddress_) {
            setenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress_.c_str(), 1);
        } else {
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        }
        if (daemonPid_ > 0) kill(daemonPid_, SIGTERM);
        LogCloseFile();
        LogSetStderr(true);
        std::filesystem::remove_all(folder_);
    }

    // Lines of this run's log that contain `text`.
    int LogLines(const std::string& text) const {
        std::ifstream in(LogFilePath());
        std::string line;
        int n = 0;
        while (std::getline(in, line)) n += line.find(text) != std::string::npos;
        return n;
    }

    std::filesystem::path folder_;
    pid_t daemonPid_ = -1;
    bool hadAddress_ = false;
    std::string previousAddress_;
};

TEST_F(PowerTest, RefusedAwakeInhibitorIsAskedForOncePerRecording) {
    Power power;
    ASSERT_TRUE(power.Start()) << "the private bus should be reachable";
    EXPECT_EQ(LogLines("could not take the sleep inhibitor"), 1) << "the delay inhibitor is refused at start";

    // The main loop asks on every pass while a recording runs.
    for (int pass = 0; pass < 50; ++pass) {
        power.HoldAwake(true);
        EXPECT_FALSE(power.Poll());
    }
    EXPECT_EQ(LogLines("could not take the sleep:idle inhibitor"), 1);

    // The recording ends; the next one asks again, once.
    for (int pass = 0; pass < 5; ++pass) power.HoldAwake(false);
    for (int pass = 0; pass < 50; ++pass) power.HoldAwake(true);
    EXPECT_EQ(LogLines("could not take the sleep:idle inhibitor"), 2);
    power.Stop();
    EXPECT_FALSE(power.Connected());
}

}  // namespace
