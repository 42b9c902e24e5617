// The capture controls as a user meets them, under Xvfb: with a simulated
// two-channel unit and a session whose data file was placed in the storage
// folder before start, Record then Stop leaves one Matroska file per channel
// that ffprobe reads, Snapshot one JPEG per channel, all named into the
// session; at exit the session's history is on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Session/SessionFile.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/MediaProbe.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kBuild = ORVEX_BUILD_DIR;
const std::string kAddress = "127.0.40.30";
const std::string kStem = "orvexsession40";

using Process = testsupport::ChildProcess;
using testsupport::Screenshot;

using testfiles::ReadText;
using testsupport::WaitUntil;

std::vector<std::string> FilesMatching(const fs::path& folder, const std::regex& pattern) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, pattern)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The colour of one screen pixel (a fresh screenshot each call); false when none could be taken.
bool ScreenPixel(int x, int y, uint8_t rgb[3]) {
    const testsupport::Shot shot = testsupport::GrabScreen();
    if (!shot.ok || x < 0 || y < 0 || x >= shot.width || y >= shot.height) return false;
    std::copy_n(shot.At(x, y), 3, rgb);
    return true;
}

void Click(int x, int y) {
    const std::string cmd = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

TEST(SessionsUi, RecordStopAndSnapshotFromTheControlBar) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    char pattern[] = "/tmp/orvex-session-ui-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const fs::path data = root / "data" / "KAVOR Industries" / "ORVEX Studio";
    const fs::path storage = root / "storage";
    fs::create_directories(data);
    fs::create_directories(storage);
    std::ofstream(data / "settings.ini") << "[File]\nSessionDirectory=" << storage.string()
                                         << "\n[Layout]\nLayoutStyle=SplitVertical\nWindowPosX=100\nWindowPosY=100\n"
                                            "WindowWidth=1200\nWindowHeight=700\nDPI=96\n";
    // A session that exists only through its data file.
    SessionData empty;
    ASSERT_TRUE(SaveSessionData(Path(storage.string()), "Pipe 7", empty));

    Process sim({kBuild + "/orvex-camsim", "--address", kAddress, "--name", kStem, "--channels", "2"}, {},
                root / "sim.log");
    ASSERT_TRUE(sim.Started());
    Process studio({kBuild + "/orvex-studio"},
                   {"XDG_DATA_HOME=" + (root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                    "ORVEX_CAMERA_STEM=" + std::string(kStem)},
                   root / "studio.log");
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return ReadText(root / "studio.log"); };
    float s = 0;
    ASSERT_TRUE(WaitUntil([&] { return (s = testsupport::UiScaleIn(log())) > 0; }, 30s))
        << log();
    // Both channels stream (the simulator has accepted both video ports) and the splash is gone.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string sims = ReadText(root / "sim.log");
            return sims.find("video port 8012: connection") != std::string::npos &&
                   sims.find("video port 8013: connection") != std::string::npos;
        },
        40s))
        << log();

    // The control bar: the bottom int(88 s) pixels of the client area; Record
    // at x = 24, Snapshot right after it, both vertically centred.
    const int icon = int(96 * s);
    const int barTop = 100 + 700 - int(88 * s);
    const int y = barTop + int(88 * s) / 2;
    const int recordX = 100 + 24 + icon / 2, snapshotX = 100 + 24 + icon + icon / 2;
    // Ready: the main window (not the splash) shows the Record icon enabled,
    // a bright red dot; and (Stop icon) a white ring once recording.
    fs::create_directories(fs::path(kBuild) / "screenshots");
    const fs::path idleShot = fs::path(kBuild) / "screenshots" / "sessions-idle.png";
    auto recordEnabled = [&] {
        uint8_t p[3];
        return ScreenPixel(recordX, y, p) && p[0] > 180 && p[1] < 100;
    };
    auto ringShown = [&] {
        uint8_t p[3];
        return ScreenPixel(recordX, y - int(38 * s), p) && p[0] > 200 && p[1] > 200 && p[2] > 200;
    };
    ASSERT_TRUE(WaitUntil(recordEnabled, 60s, 200ms)) << log();
    Screenshot(idleShot);
    ASSERT_TRUE(WaitUntil([&] { return testsupport::StreamsOpened(log()) >= 2; }, 60s, 200ms)) << log();
    ASSERT_TRUE(WaitUntil([&] { return testsupport::SplashFinished(log()); }, 60s, 200ms)) << log();
    ASSERT_TRUE(recordEnabled());
    Click(recordX, y);
    ASSERT_TRUE(WaitUntil(ringShown, 20s, 200ms)) << log();
    const std::regex video("Pipe 7-\\d{2,}\\.\\d{2}\\.\\d{2}\\.\\d{3}-V-\\d+-[01]\\.mkv");
    ASSERT_TRUE(WaitUntil([&] { return FilesMatching(storage, video).size() == 2; }, 20s)) << log();
    auto probeVideo = [&](const std::string& v) { return testsupport::ProbeVideoStream(storage / v, root / "probe.txt"); };
    auto packets = [&](const std::string& v) { return testsupport::H264Packets(storage / v, root / "probe.txt"); };
    // A few seconds of video in each file.
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (const std::string& v : FilesMatching(storage, video))
                if (packets(v) < 60) return false;
            return true;
        },
        60s, 500ms))
        << log();
    // For a person to look at: the Stop icon while both channels record.
    EXPECT_TRUE(Screenshot(fs::path(kBuild) / "screenshots" / "sessions-recording.png").ok);
    Click(recordX, y);  // Stop
    ASSERT_TRUE(WaitUntil([&] { return !ringShown(); }, 20s, 200ms)) << log();
    Click(snapshotX, y);
    const std::regex still("Pipe 7-\\d{2,}\\.\\d{2}\\.\\d{2}\\.\\d{3}-P-\\d+-[01]\\.jpg");
    ASSERT_TRUE(WaitUntil([&] { return FilesMatching(storage, still).size() == 2; }, 30s)) << log();

    const std::vector<std::string> videos = FilesMatching(storage, video);
    const std::vector<std::string> stills = FilesMatching(storage, still);
    ASSERT_EQ(videos.size(), 2u);
    EXPECT_EQ(videos[0].substr(videos[0].size() - 6), "-0.mkv");
    EXPECT_EQ(videos[1].substr(videos[1].size() - 6), "-1.mkv");
    EXPECT_EQ(stills[0].substr(stills[0].size() - 6), "-0.jpg");
    EXPECT_EQ(stills[1].substr(stills[1].size() - 6), "-1.jpg");
    for (const std::string& v : videos) {
        const std::string out = probeVideo(v);
        EXPECT_EQ(out.rfind("h264,", 0), 0u) << v << ": " << out;
        EXPECT_GE(std::atoi(out.c_str() + 5), 60) << v << ": " << out;
    }
    for (const std::string& j : stills) {
        const std::string bytes = ReadText(storage / j);
        ASSERT_GT(bytes.size(), 1000u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
        EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    }

    EXPECT_EQ(studio.Terminate(20s), 0) << log();
    // Sampled history of the unit, saved at shut-down at the latest.
    SessionData saved;
    LoadSessionData(Path(storage.string()), "Pipe 7", &saved);
    EXPECT_EQ(saved.cameras.size(), 1u);
    EXPECT_NE(ReadText(data / "settings.ini").find("RecentSession=Pipe 7"), std::string::npos);
    sim.Terminate(10s);
    if (!getenv("ORVEX_KEEP_TEST_FILES")) fs::remove_all(root);
}

// Losing the display under a running recording (the X server ends, the
// desktop session closes), and the hang-up signal that comes with a closing
// session: the recordings are finished, the session data and the settings
// saved, the log ends with "End", and the exit code says it was no normal
// exit (no abort from Xlib's exit() while threads still run).
struct EndCase {
    const char* name;
    bool killDisplay;  // else SIGHUP
    const char* logLine;
};

class EndUnderRecording : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndUnderRecording, FinishesRecordingsAndSavesEverything) {
    const EndCase& c = GetParam();
    char pattern[] = "/tmp/orvex-session-end-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    const fs::path data = root / "data" / "KAVOR Industries" / "ORVEX Studio";
    const fs::path storage = root / "storage";
    fs::create_directories(data);
    fs::create_directories(storage);
    std::ofstream(data / "settings.ini") << "[File]\nSessionDirectory=" << storage.string()
                                         << "\n[Layout]\nLayoutStyle=SplitVertical\nWindowPosX=100\nWindowPosY=100\n"
                                            "WindowWidth=1200\nWindowHeight=700\nDPI=96\n";
    SessionData empty;
    ASSERT_TRUE(SaveSessionData(Path(storage.string()), "Pipe 8", empty));

    // A display of this test's own, so that the test can end it.
    const fs::path numberFile = root / "display";
    Process xvfb({"/bin/sh", "-c",
                  "exec Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>'" + numberFile.string() + "'"},
                 {}, root / "xvfb.log");
    ASSERT_TRUE(xvfb.Started());
    ASSERT_TRUE(WaitUntil([&] { return !ReadText(numberFile).empty(); }, 20s));
    const std::string display = ":" + std::to_string(std::atoi(ReadText(numberFile).c_str()));
    const std::string outerDisplay = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    setenv("DISPLAY", display.c_str(), 1);  // xdotool and import below
    struct RestoreDisplay {
        std::string value;
        ~RestoreDisplay() { setenv("DISPLAY", value.c_str(), 1); }
    } restore{outerDisplay};

    const std::string address = c.killDisplay ? "127.0.40.32" : "127.0.40.33";
    const std::string stem = c.killDisplay ? "orvexsession42" : "orvexsession43";
    Process sim({kBuild + "/orvex-camsim", "--address", address, "--name", stem, "--channels", "2"}, {},
                root / "sim.log");
    ASSERT_TRUE(sim.Started());
    Process studio({kBuild + "/orvex-studio"},
                   {"XDG_DATA_HOME=" + (root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1", "DISPLAY=" + display,
                    "ORVEX_CAMERA_STEM=" + stem},
                   root / "studio.log");
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return ReadText(root / "studio.log"); };
    float s = 0;
    ASSERT_TRUE(WaitUntil([&] { return (s = testsupport::UiScaleIn(log())) > 0; }, 30s))
        << log();
    const int icon = int(96 * s);
    const int y = 100 + 700 - int(88 * s) + int(88 * s) / 2;
    const int recordX = 100 + 24 + icon / 2;
    auto recordEnabled = [&] {
        uint8_t p[3];
        return ScreenPixel(recordX, y, p) && p[0] > 180 && p[1] < 100;
    };
    ASSERT_TRUE(WaitUntil(recordEnabled, 90s)) << log();
    ASSERT_TRUE(WaitUntil([&] { return testsupport::StreamsOpened(log()) >= 2; }, 60s, 200ms)) << log();
    ASSERT_TRUE(WaitUntil([&] { return testsupport::SplashFinished(log()); }, 60s, 200ms)) << log();
    ASSERT_TRUE(recordEnabled());
    Click(recordX, y);
    const std::regex video("Pipe 8-\\d{2,}\\.\\d{2}\\.\\d{2}\\.\\d{3}-V-\\d+-[01]\\.mkv");
    // Both recordings hold pictures.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> names = FilesMatching(storage, video);
            if (names.size() != 2) return false;
            for (const std::string& n : names)
                if (fs::file_size(storage / n) < 20000) return false;
            return true;
        },
        30s))
        << log();

    if (c.killDisplay)
        xvfb.Signal(SIGKILL);
    else
        studio.Signal(SIGHUP);
    EXPECT_EQ(studio.Wait(60s), 2) << log();
    const std::string text = log();
    EXPECT_NE(text.find(c.logLine), std::string::npos) << text;
    EXPECT_EQ(text.find("terminate called"), std::string::npos) << text;
    EXPECT_NE(text.find("INFO : End\n"), std::string::npos) << text;
    size_t finished = 0;
    for (size_t at = text.find(" finished, "); at != std::string::npos; at = text.find(" finished, ", at + 1)) ++finished;
    EXPECT_EQ(finished, 2u) << text;

    // Both files are finished recordings (their header carries a duration).
    const std::vector<std::string> videos = FilesMatching(storage, video);
    ASSERT_EQ(videos.size(), 2u);
    for (const std::string& v : videos) {
        const std::string probe = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + (storage / v).string() +
                                  "' > '" + (root / "probe.txt").string() + "'";
        ASSERT_EQ(std::system(probe.c_str()), 0) << v;
        EXPECT_GT(std::atof(ReadText(root / "probe.txt").c_str()), 0.0) << v << ": " << ReadText(root / "probe.txt");
    }
    SessionData saved;
    LoadSessionData(Path(storage.string()), "Pipe 8", &saved);
    EXPECT_EQ(saved.cameras.size(), 1u) << "the sampled history was saved";
    EXPECT_NE(ReadText(data / "settings.ini").find("RecentSession=Pipe 8"), std::string::npos);
    sim.Terminate(10s);
    if (!c.killDisplay) xvfb.Terminate(10s);
    if (!getenv("ORVEX_KEEP_TEST_FILES") && !HasFailure()) fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EndUnderRecording,
    ::testing::Values(EndCase{"DisplayLost", true, "ERROR: The display connection was lost"},
                      EndCase{"HangUp", false, "WARN : Hang-up signal received: emergency stop"}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

}  // namespace
