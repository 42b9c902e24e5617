// The Studio against simulated units whose camera link misbehaves, under
// Xvfb: a unit below service version 9000 leaves the saved camera settings
// as they were (a unit at 9000 or above rewrites them from its slot), and
// repeated connection drops restart the slots without ever holding up a
// frame. Each test uses its own loopback address and host name.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/TempFolder.h"
#include "Support/Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Child = testsupport::ChildProcess;
using testsupport::WaitUntil;

const std::string kBuild = ORVEX_BUILD_DIR;

// The lines of the [Camera Config] section named `name`, line ends removed.
std::vector<std::string> ConfigSection(const std::string& settings, const std::string& name) {
    std::vector<std::string> lines, section;
    std::istringstream in(settings);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != "[Camera Config]" || lines[i + 1] != "Name=" + name) continue;
        for (size_t k = i + 1; k < lines.size() && !lines[k].empty() && lines[k][0] != '['; ++k)
            section.push_back(lines[k]);
    }
    return section;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

class LinkStudio : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
        ASSERT_FALSE(root_.Dir().empty());
        dataFolder_ = fs::path(root_.Dir()) / "data" / "KAVOR Industries" / "ORVEX Studio";
        fs::create_directories(dataFolder_);
    }
    std::unique_ptr<Child> StartSim(const std::string& address, const std::string& stem,
                                    std::vector<std::string> extra, const char* log) {
        std::vector<std::string> argv{kBuild + "/orvex-camsim", "--address", address, "--name", stem};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return std::make_unique<Child>(argv, std::vector<std::string>{}, FileIn(log));
    }
    std::unique_ptr<Child> StartStudio(const std::string& stem, const char* log) {
        return std::make_unique<Child>(
            std::vector<std::string>{kBuild + "/orvex-studio"},
            std::vector<std::string>{"XDG_DATA_HOME=" + root_.File("data"), "LIBGL_ALWAYS_SOFTWARE=1",
                                     "ORVEX_CAMERA_STEM=" + stem},
            FileIn(log));
    }
    fs::path FileIn(const char* name) const { return fs::path(root_.Dir()) / name; }
    std::string Log(const char* name) const { return testfiles::ReadText(FileIn(name).string()); }

    TempFolder root_;
    fs::path dataFolder_;
};

// ---- saved settings and the service version ----------------------------------------

struct VersionCase {
    const char* name;
    const char* address;
    const char* stem;
    const char* version;
    bool rewritten;  // the save replaces the record from the slot
};

class SavedSettingsByVersion : public LinkStudio, public ::testing::WithParamInterface<VersionCase> {};

// The saved record holds two values the simulated unit accepts and one it
// refuses (frame rate 999, range 1 to 30). A unit at 9000 or above applies
// the two, and the save at exit rewrites the record from the slot: the
// refused value is gone. A unit below 9000 has no records beyond 4, so
// nothing can be restored, and the record must stay exactly as it was.
TEST_P(SavedSettingsByVersion, SaveAtExitKeepsOrRewritesTheRecentRecord) {
    const VersionCase& c = GetParam();
    const std::vector<std::string> saved{"Name=<recent-primary>", "EnableRecord=false", "EnableCapture=true",
                                         "Param_82=70", "Param_94=1", "Param_119=999"};
    {
        std::ofstream out(dataFolder_ / "settings.ini", std::ios::binary);
        out << "[Layout]\r\nDPI=96\r\n\r\n[Camera Config]\r\n";
        for (const std::string& line : saved) out << line << "\r\n";
        out << "\r\n";
    }
    auto sim = StartSim(c.address, c.stem, {"--service-version", c.version}, "sim.log");
    auto studio = StartStudio(c.stem, "studio.log");
    // The slot has started once its video thread connects to the unit.
    ASSERT_TRUE(WaitUntil([&] { return Log("sim.log").find("video port 8012: connection from") != std::string::npos; }, 60s))
        << Log("studio.log") << Log("sim.log");
    studio->Signal(SIGTERM);
    ASSERT_EQ(studio->Wait(20s), 0) << Log("studio.log");
    const std::vector<std::string> after =
        ConfigSection(testfiles::ReadText((dataFolder_ / "settings.ini").string()), "<recent-primary>");
    if (c.rewritten) {
        EXPECT_TRUE(Has(after, "Param_82=70"));
        EXPECT_TRUE(Has(after, "Param_94=1"));
        EXPECT_FALSE(Has(after, "Param_119=999")) << "the unit refuses 999; the rewritten record drops it";
    } else {
        EXPECT_EQ(after, saved);
    }
    sim->Signal(SIGTERM);
    sim->Wait(10s);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SavedSettingsByVersion,
    ::testing::Values(VersionCase{"Below9000", "127.0.52.1", "orvexlink521", "8999", false},
                      VersionCase{"At9100", "127.0.52.2", "orvexlink522", "9100", true}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

// ---- connection drops and the UI thread ------------------------------------------------

int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// The unit closes every service connection 3 s after accepting it and sends
// no video from 2 s to 40 s of its uptime, so every drop finds the video
// threads waiting in a receive (up to 3 s). The slots restart after each
// drop, and no frame's camera steps (binding, slot pictures) take longer
// than 100 ms: the Studio logs "RunFrame | camera steps took" for any that do.
TEST_F(LinkStudio, RepeatedDropsRestartTheSlotsAndNoFrameWaits) {
    std::ofstream(dataFolder_ / "settings.ini") << "[Layout]\nDPI=96\n";
    auto sim = StartSim("127.0.52.3", "orvexlink523",
                        {"--channels", "2", "--drop-after-s", "3", "--video-pause-s", "2:40"}, "sim.log");
    auto studio = StartStudio("orvexlink523", "studio.log");
    // Four restarts of the unit's service, each followed by new video threads.
    ASSERT_TRUE(WaitUntil([&] { return Count(Log("studio.log"), "ServiceMonitor | Restarting service (0)") >= 4; },
                          90s))
        << Log("studio.log");
    ASSERT_TRUE(WaitUntil([&] { return Count(Log("studio.log"), "Stopping video thread[0]") >= 4; }, 60s))
        << Log("studio.log");
    // Video threads of the later connections reach the unit again.
    ASSERT_TRUE(WaitUntil([&] { return Count(Log("sim.log"), "video port 8012: connection from") >= 3; }, 30s)) << Log("sim.log");
    studio->Signal(SIGTERM);
    EXPECT_EQ(studio->Wait(30s), 0) << Log("studio.log");
    const std::string log = Log("studio.log");
    EXPECT_EQ(log.find("RunFrame | camera steps took"), std::string::npos) << log;
    sim->Signal(SIGTERM);
    sim->Wait(10s);
}

}  // namespace
