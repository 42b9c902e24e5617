// The media player and the session popup as a user meets them, under Xvfb.
// Player: a storage folder prepared with a 120 s recording, a 3 s one, a
// still, a recording cut short and an empty file; the player-mode button
// loads the first file paused; the scrubber seeks to the frame asked for;
// play, pause, next, the replay button at the end; the still zooms with the
// wheel; the cut-short file plays with its real length; the empty one shows
// its status without hanging. Sessions: Record with no session opens the
// session popup; after "Add" recording and snapshots are named into it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "Session/MediaName.h"
#include "Session/SessionFile.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/Screenshot.h"
#include "Support/StudioLog.h"
#include "Support/Wait.h"
#include "Support/XInput.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Click;

const std::string kBuild = ORVEX_BUILD_DIR;
const std::string kMedia = ORVEX_TEST_MEDIA;
constexpr int kLeft = 100, kTop = 100, kWidth = 1200, kHeight = 700;

bool Eventually(const std::function<bool()>& condition, std::chrono::seconds limit) {
    return testsupport::WaitUntil(condition, limit, 200ms);
}

std::string Slurp(const fs::path& path) { return testfiles::ReadText((path).string()); }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The number after `key` in the last line that holds it; -1 when none.
double LastNumberAfter(const std::string& text, const std::string& key) {
    const size_t at = text.rfind(key);
    if (at == std::string::npos) return -1;
    return std::atof(text.c_str() + at + key.size());
}

// Share of pixels in the rectangle that are not (nearly) black.
double LitShare(const testsupport::Shot& shot, int x0, int y0, int x1, int y1) {
    size_t lit = 0, all = 0;
    for (int y = y0; y < y1; y += 4)
        for (int x = x0; x < x1; x += 4) {
            const uint8_t* p = shot.At(x, y);
            lit += (p[0] + p[1] + p[2]) > 60;
            ++all;
        }
    return all ? double(lit) / double(all) : 0;
}

// Share of pixels that differ between two shots in the rectangle.
double Changed(const testsupport::Shot& a, const testsupport::Shot& b, int x0, int y0, int x1, int y1) {
    size_t changed = 0, all = 0;
    for (int y = y0; y < y1; y += 4)
        for (int x = x0; x < x1; x += 4) {
            const uint8_t *p = a.At(x, y), *q = b.At(x, y);
            changed += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
            ++all;
        }
    return all ? double(changed) / double(all) : 0;
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

struct Folders {
    fs::path root, data, storage;
    Folders() {
        char pattern[] = "/tmp/orvex-player-ui-XXXXXX";
        root = mkdtemp(pattern);
        data = root / "data" / "KAVOR Industries" / "ORVEX Studio";
        storage = root / "storage";
        fs::create_directories(data);
        fs::create_directories(storage);
    }
    ~Folders() {
        if (!getenv("ORVEX_KEEP_TEST_FILES")) fs::remove_all(root);
    }
    void WriteSettings(const std::string& extra, const std::string& layout = "") const {
        std::ofstream(data / "settings.ini") << "[File]\nSessionDirectory=" << storage.string() << "\n"
                                             << extra << "[Layout]\n" << layout << "WindowPosX=" << kLeft << "\nWindowPosY=" << kTop
                                             << "\nWindowWidth=" << kWidth << "\nWindowHeight=" << kHeight
                                             << "\nDPI=96\n";
    }
};

std::string Name(const char* session, MediaType type, int64_t seconds, int slot) {
    return MediaFileName(session, MediaEntry{type, seconds * 1000000, 77, slot});
}

// Reads the UI scale the Studio logs at start.
float WaitForScale(const std::function<std::string()>& log) {
    float s = 0;
    Eventually([&] { return (s = testsupport::UiScaleIn(log())) > 0; }, 30s);
    return s;
}

// The splash has gone when the control bar's own colour (22, 23, 24) has
// shown at its left end for a whole second (the splash fades out to black).
bool WaitForSplashToGo() {
    std::chrono::steady_clock::time_point since{};
    return Eventually(
        [&] {
            const testsupport::Shot shot = testsupport::GrabScreen();
            const uint8_t* p = shot.ok ? shot.At(kLeft + 4, kTop + kHeight - 4) : nullptr;
            if (p == nullptr || std::abs(p[0] - 22) > 3 || std::abs(p[1] - 23) > 3 || std::abs(p[2] - 24) > 3) {
                since = {};
                return false;
            }
            const auto now = std::chrono::steady_clock::now();
            if (since == std::chrono::steady_clock::time_point{}) since = now;
            return now - since >= 1s;
        },
        60s);
}

TEST(PlayerUi, PlaysSeeksPausesReplaysAndShowsStills) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    const std::string longVideo = Name("Job A", MediaType::Video, 10, 0);
    const std::string shortVideo = Name("Job A", MediaType::Video, 200, 0);
    const std::string still = Name("Job A", MediaType::Image, 300, 0);
    const std::string cut = Name("Job A", MediaType::Video, 400, 1);
    const std::string empty = Name("Job A", MediaType::Video, 500, 0);
    fs::copy_file(kMedia + "/testsrc-120s.mkv", f.storage / longVideo);
    fs::copy_file(kMedia + "/testsrc-1fps.mkv", f.storage / shortVideo);
    ASSERT_TRUE(Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1600x1200 -frames:v 1 '" +
                    (f.storage / still).string() + "'"));
    // Cut short: a "live" file (no duration, no index) of which only the first half was written.
    const fs::path full = f.root / "full.mkv";
    ASSERT_TRUE(Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 20 -c:v libx264 "
                    "-preset ultrafast -g 25 -pix_fmt yuv420p -live 1 -f matroska pipe:1 > '" +
                    full.string() + "'"));
    ASSERT_TRUE(Shell("head -c " + std::to_string(fs::file_size(full) / 2) + " '" + full.string() + "' > '" +
                    (f.storage / cut).string() + "'"));
    std::ofstream(f.storage / empty).close();
    ASSERT_TRUE(SaveSessionData(Path(f.storage.string()), "Job A", SessionData{}));
    fs::create_directories(f.root / "exports" / "picked");
    f.WriteSettings("RecentSession=Job A\nRecentExport=" + (f.root / "exports").string() + "\n");

    // No system folder chooser (empty PATH), no camera: player mode only.
    testsupport::ChildProcess studio({kBuild + "/orvex-studio"},
                                     {"XDG_DATA_HOME=" + (f.root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                      "ORVEX_CAMERA_STEM=orvexplayer42", "PATH="},
                                     f.root / "studio.log");
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return Slurp(f.root / "studio.log"); };
    const float s = WaitForScale(log);
    ASSERT_GT(s, 0) << log();
    const int band = int(88 * s);
    const int bottomY = kTop + kHeight - band / 2;  // centre of the control bar's bottom band
    ASSERT_TRUE(WaitForSplashToGo()) << log();

    // Player mode: the first file of the current session, loaded paused.
    ASSERT_TRUE(Click(kLeft + kWidth / 2, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("OpenMedia | " + (f.storage / longVideo).string() + "\n") !=
                                        std::string::npos; },
                           20s))
        << log();
    ASSERT_TRUE(Eventually([&] { return log().find("(120.000 s)") != std::string::npos; }, 20s)) << log();
    // With a video open the control bar grows by the scrubber's band.
    const int C = int(20 * s) + int(88 * s);
    const int T = int(48 * s), B = kHeight - T - C;
    const int bodyX0 = kLeft + 40, bodyY0 = kTop + T + 40, bodyX1 = kLeft + kWidth - 40, bodyY1 = kTop + T + B - 40;
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot shot = testsupport::GrabScreen();
            return shot.ok && LitShare(shot, bodyX0, bodyY0, bodyX1, bodyY1) > 0.3;
        },
        20s))
        << "no picture";

    // The scrubber at its middle: the first picture at or after 60 s, within one frame (25 fps).
    const int scrubY = kTop + kHeight - C + int(20 * s) / 2;
    // (pressed again every few seconds: a press in the very frame the picture came may be taken by the layout change)
    int presses = 0;
    ASSERT_TRUE(Eventually(
        [&] {
            if (presses++ % 25 == 0) Click(kLeft + 48 + (kWidth - 96) / 2, scrubY);
            return log().find("MediaPlayer | seek 500: position ") != std::string::npos;
        },
        30s))
        << log();
    const double position = LastNumberAfter(log(), "MediaPlayer | seek 500: position ");
    EXPECT_GE(position, 60.0);
    EXPECT_LE(position, 60.0 + 0.04 + 1e-6);
    ASSERT_TRUE(Eventually([&] { return testsupport::Screenshot(shots / "player-video.png").ok; }, 10s));

    // Play, then pause (the same button), 16 s apart from previous and next.
    const int icon = int(64 * s), gap = int(16 * s);
    const int previousX = kLeft + 24 + icon / 2, playX = previousX + icon + gap, videoNextX = playX + icon + gap;
    ASSERT_TRUE(Click(playX, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | playing from") != std::string::npos; }, 20s)) << log();
    ASSERT_TRUE(Click(playX, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | paused at") != std::string::npos; }, 20s)) << log();

    // Next: the 3 s recording, playing; at its end the replay button starts it again from 0.
    ASSERT_TRUE(Click(videoNextX, bottomY));
    ASSERT_TRUE(Eventually(
        [&] { return log().find("OpenMedia | " + (f.storage / shortVideo).string() + " (playing)") != std::string::npos; },
        20s))
        << log();
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | end of file at 3") != std::string::npos; }, 30s))
        << log();
    ASSERT_TRUE(Click(playX, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | seek 0: position 0.000") != std::string::npos; }, 20s))
        << log();

    // Next: the still; no video is open, so previous and next stand side by side.
    ASSERT_TRUE(Click(videoNextX, bottomY));
    ASSERT_TRUE(Eventually(
        [&] { return log().find("OpenMedia | " + (f.storage / still).string()) != std::string::npos; }, 20s))
        << log();
    const int stillB = kHeight - T - band;
    testsupport::Shot fitted;
    ASSERT_TRUE(Eventually(
        [&] {
            fitted = testsupport::Screenshot(shots / "player-still.png");
            return fitted.ok && LitShare(fitted, bodyX0, bodyY0, bodyX1, kTop + T + stillB - 40) > 0.3;
        },
        20s))
        << "no still";
    // Wheel up over the picture: it zooms about the pointer.
    ASSERT_TRUE(testsupport::MoveTo(kLeft + kWidth / 2 + 100, kTop + T + stillB / 2 + 50));
    ASSERT_TRUE(testsupport::Wheel(5));
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot zoomed = testsupport::Screenshot(shots / "player-still-zoomed.png");
            return zoomed.ok && Changed(fitted, zoomed, bodyX0, bodyY0, bodyX1, kTop + T + stillB - 40) > 0.3;
        },
        20s))
        << "the wheel did not zoom";

    // Next: the recording cut short opens with its real length (about 10 of the 20 s written).
    const int imageNextX = previousX + icon + gap;
    ASSERT_TRUE(Click(imageNextX, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | opened " + (f.storage / cut).string()) !=
                                        std::string::npos; },
                           20s))
        << log();
    const double cutLength = LastNumberAfter(log(), "MediaPlayer | opened " + (f.storage / cut).string() + " (");
    EXPECT_GT(cutLength, 7.0);
    EXPECT_LT(cutLength, 13.0);

    // Next: the empty file cannot be opened; the player says so and the program goes on.
    ASSERT_TRUE(Click(videoNextX, bottomY));
    ASSERT_TRUE(Eventually([&] { return log().find("MediaPlayer | could not open " + (f.storage / empty).string()) !=
                                        std::string::npos; },
                           20s))
        << log();
    ASSERT_TRUE(Eventually([&] { return testsupport::Screenshot(shots / "player-unreadable.png").ok; }, 10s));
    // Next wraps round to the first file.
    const size_t opensBefore = Count(log(), "OpenMedia | " + (f.storage / longVideo).string());
    ASSERT_TRUE(Click(imageNextX, bottomY));
    ASSERT_TRUE(Eventually(
        [&] { return Count(log(), "OpenMedia | " + (f.storage / longVideo).string()) > opensBefore; }, 20s))
        << log();

    // The file list (the control bar's right-most toggle): sessions, day headings, rows.
    const fs::path exports = f.root / "exports";
    const int listToggleX = kLeft + kWidth - int(16 * s) - int(64 * s) / 2;
    ASSERT_TRUE(Click(listToggleX, bottomY));
    const float R = kWidth - float(int(440 * s));
    const int font = std::max(14, int(std::ceil(26 * s)));
    const int frame = font + 2 * int(6 * s);
    const int listTop = kTop + T + int(56 * s);
    auto rowY = [&](int j) { return listTop + frame + (int(12 * s) + font) + int(52 * s) * j + int(26 * s); };
    const int tickX = kLeft + int(R) + int(16 * s) + frame / 2;
    // Shown once the rows stand where they belong (the row under the pointer may be lit).
    testsupport::Shot listShot;
    ASSERT_TRUE(Eventually(
        [&] {
            listShot = testsupport::Screenshot(shots / "file-list.png");
            return listShot.ok && LitShare(listShot, kLeft + int(R) + 10, kTop + T + 10, kLeft + kWidth - 10, rowY(4)) > 0.5;
        },
        20s));
    // Select mode (the tick boxes appear), tick the two recordings, export them into a folder picked in the browser.
    ASSERT_TRUE(Click(kLeft + int(R) + int(8 * s) + int(60 * s), kTop + T + int(8 * s) + int(20 * s)));  // Select
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot now = testsupport::GrabScreen();
            return now.ok && Changed(listShot, now, tickX - frame / 2, rowY(0) - frame / 2, tickX + frame / 2,
                                     rowY(4) + frame / 2) > 0.1;
        },
        20s))
        << "no tick boxes";
    ASSERT_TRUE(Click(tickX, rowY(0)));
    ASSERT_TRUE(Click(tickX, rowY(1)));
    ASSERT_TRUE(Eventually([&] { return testsupport::Screenshot(shots / "file-list-select.png").ok; }, 10s));
    ASSERT_TRUE(Click(kLeft + int(R) + int(8 * s) + int(128 * s) + int(60 * s), kTop + T + int(8 * s) + int(20 * s)));
    const int popupX = kLeft + kWidth / 2 - int(320 * s), popupY = kTop + kHeight / 2 - int(240 * s);
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot shot = testsupport::Screenshot(shots / "folder-browser.png");
            return shot.ok && LitShare(shot, popupX + 10, popupY + 10, popupX + int(600 * s), popupY + int(40 * s)) > 0.5;
        },
        20s))
        << "no folder browser";
    ASSERT_TRUE(Click(popupX + int(320 * s), popupY + int(104 * s) + int(20 * s)));  // the sub-folder "picked"
    ASSERT_TRUE(Eventually([&] { return testsupport::Screenshot(shots / "folder-browser-picked.png").ok; }, 10s));
    ASSERT_TRUE(Click(popupX + int(368 * s) + int(60 * s), popupY + int(444 * s)));   // Choose
    const fs::path picked = exports / "picked";
    auto exported = [&] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(picked)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    ASSERT_TRUE(Eventually([&] { return exported().size() == 2; }, 30s)) << log();
    const std::vector<std::string> names = exported();
    // Both recordings were written in the same second: the second copy gets its own name, none is overwritten.
    EXPECT_NE(names[0], names[1]);
    for (const std::string& n : names) {
        EXPECT_EQ(n.find(".part"), std::string::npos) << n;  // no temporary name survives
        EXPECT_EQ(n.substr(n.size() - 4), ".mkv") << n;
    }
    EXPECT_EQ(fs::file_size(picked / names[0]) + fs::file_size(picked / names[1]),
              fs::file_size(f.storage / longVideo) + fs::file_size(f.storage / shortVideo));
    EXPECT_NE(Slurp(f.data / "settings.ini").find("RecentExport=" + picked.string()), std::string::npos);

    // Delete: the long recording is unticked, the short one stays ticked;
    // "Delete##SelectedFiles" asks first ("Delete" left of "Cancel" in the
    // 640 x 240 question), then only the ticked file goes.
    // A centred popup (the copy's progress, the question) covers this point
    // with the popup colour.
    auto centredPopup = [&](const char* name, int dx = -300) {
        const testsupport::Shot shot = testsupport::Screenshot(shots / name);
        const uint8_t* p = shot.ok ? shot.At(kLeft + kWidth / 2 + int(dx * s), kTop + kHeight / 2 - int(20 * s)) : nullptr;
        return p != nullptr && std::abs(p[0] - 64) < 8 && std::abs(p[1] - 66) < 8 && std::abs(p[2] - 66) < 8;
    };
    // The copy ends with the alert "Export successful" and its "Okay".
    ASSERT_TRUE(Eventually([&] { return centredPopup("export-done.png", -100); }, 20s)) << "no export alert";
    ASSERT_TRUE(Click(kLeft + kWidth / 2, kTop + kHeight / 2 + int(40 * s)));
    ASSERT_TRUE(Eventually([&] { return !centredPopup("after-export.png", -100); }, 20s)) << "the alert stays";
    ASSERT_TRUE(Click(tickX, rowY(0)));
    ASSERT_TRUE(Click(kLeft + int(R) + int(8 * s) + 2 * int(128 * s) + int(60 * s), kTop + T + int(8 * s) + int(20 * s)));
    ASSERT_TRUE(Eventually([&] { return centredPopup("question.png"); }, 20s)) << "no delete question";
    ASSERT_TRUE(Eventually([&] { return testsupport::Screenshot(shots / "delete-files.png").ok; }, 10s));
    const int questionDeleteX = kLeft + kWidth / 2 + int(120 * s), questionY = kTop + kHeight / 2 + int(88 * s);
    ASSERT_TRUE(Click(questionDeleteX, questionY));
    ASSERT_TRUE(Eventually([&] { return !fs::exists(f.storage / shortVideo); }, 30s)) << log();
    EXPECT_TRUE(fs::exists(f.storage / longVideo));
    EXPECT_TRUE(fs::exists(f.storage / still));

    EXPECT_EQ(studio.Terminate(20s), 0) << log();
}

TEST(SessionPopupUi, RecordWithoutASessionAsksForOneAndThenRecordsIntoIt) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;  // an empty storage folder: no session at all
    f.WriteSettings("", "LayoutStyle=SplitVertical\n");
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    testsupport::ChildProcess sim({kBuild + "/orvex-camsim", "--address", "127.0.42.40", "--name", "orvexpopup42",
                                   "--channels", "2"},
                                  {}, f.root / "sim.log");
    ASSERT_TRUE(sim.Started());
    testsupport::ChildProcess studio({kBuild + "/orvex-studio"},
                                     {"XDG_DATA_HOME=" + (f.root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                      "ORVEX_CAMERA_STEM=orvexpopup42", "PATH="},
                                     f.root / "studio.log");
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return Slurp(f.root / "studio.log"); };
    const float s = WaitForScale(log);
    ASSERT_GT(s, 0) << log();
    const int icon = int(96 * s);
    const int y = kTop + kHeight - int(88 * s) + int(88 * s) / 2;
    const int recordX = kLeft + 24 + icon / 2, snapshotX = kLeft + 24 + icon + icon / 2;
    // Record is enabled (bright red) once both channels stream.
    auto recordEnabled = [&] {
        const testsupport::Shot shot = testsupport::GrabScreen();
        if (!shot.ok) return false;
        const uint8_t* p = shot.At(recordX, y);
        return p[0] > 180 && p[1] < 100;
    };
    ASSERT_TRUE(Eventually(recordEnabled, 60s)) << log();
    ASSERT_TRUE(Eventually([&] { return Slurp(f.root / "sim.log").find("video port 8013: connection") !=
                                        std::string::npos; },
                           40s));
    ASSERT_TRUE(WaitForSplashToGo()) << log();
    // Record with no session: the session popup (centred, 700 x 410 s, 64 s above the middle), its name field focused.
    ASSERT_TRUE(Click(recordX, y));
    const int popupLeft = kLeft + (kWidth - int(700 * s)) / 2;
    const int popupBottom = kTop + (kHeight - int(410 * s)) / 2 - int(64 * s) + int(410 * s);
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot shot = testsupport::Screenshot(shots / "session-popup.png");
            if (!shot.ok) return false;
            const uint8_t* p = shot.At(popupLeft + 20, popupBottom - 20);  // an empty corner of the popup: plain grey
            return std::abs(p[0] - p[1]) < 8 && std::abs(p[1] - p[2]) < 8 && p[0] > 40 && p[0] < 120;
        },
        20s))
        << log();
    EXPECT_TRUE(fs::directory_iterator(f.storage) == fs::directory_iterator());  // nothing recorded yet
    // Characters a session name cannot hold are refused as they are typed.
    ASSERT_TRUE(testsupport::TypeText("Pipe/ 9:"));
    ASSERT_TRUE(testsupport::Key("Return"));
    const fs::path dataFile = f.storage / SessionDataFileName("Pipe 9");
    ASSERT_TRUE(Eventually([&] { return fs::exists(dataFile); }, 20s)) << log();
    // Now Record records into the new session, on both channels.
    ASSERT_TRUE(Click(recordX, y));
    const std::regex video("Pipe 9-\\d{2,}\\.\\d{2}\\.\\d{2}\\.\\d{3}-V-\\d+-[01]\\.mkv");
    auto matching = [&](const std::regex& pattern) {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(f.storage)) n += std::regex_match(e.path().filename().string(), pattern);
        return n;
    };
    ASSERT_TRUE(Eventually([&] { return matching(video) == 2; }, 30s)) << log();
    ASSERT_TRUE(Click(recordX, y));  // Stop
    ASSERT_TRUE(Eventually([&] { return log().find("StopRecordings") != std::string::npos || recordEnabled(); }, 20s));
    ASSERT_TRUE(Click(snapshotX, y));
    const std::regex stillName("Pipe 9-\\d{2,}\\.\\d{2}\\.\\d{2}\\.\\d{3}-P-\\d+-[01]\\.jpg");
    ASSERT_TRUE(Eventually([&] { return matching(stillName) == 2; }, 30s)) << log();
    EXPECT_EQ(studio.Terminate(20s), 0) << log();
    EXPECT_NE(Slurp(f.data / "settings.ini").find("RecentSession=Pipe 9"), std::string::npos);
    sim.Terminate(10s);
}

// Sessions kept in the storage folder are resumed and deleted from the
// session popup that the title bar's session button opens.
TEST(SessionPopupUi, ResumeOneSessionAndDeleteAnother) {
    if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs a display (run under Xvfb)";
    Folders f;
    const fs::path shots = fs::path(kBuild) / "screenshots";
    fs::create_directories(shots);
    std::vector<fs::path> filesA, filesB;
    for (const char* session : {"Job A", "Job B"}) {
        ASSERT_TRUE(SaveSessionData(Path(f.storage.string()), session, SessionData{}));
        std::vector<fs::path>& files = std::string(session) == "Job A" ? filesA : filesB;
        for (int k = 0; k < 2; ++k) {
            files.push_back(f.storage / Name(session, MediaType::Image, 100 + 10 * k, k));
            ASSERT_TRUE(Shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240 -frames:v 1 '" +
                              files.back().string() + "'"));
        }
        files.push_back(f.storage / SessionDataFileName(session));
    }
    f.WriteSettings("RecentSession=Job A\n");
    // No camera: the title bar still has its session button.
    testsupport::ChildProcess studio({kBuild + "/orvex-studio"},
                                     {"XDG_DATA_HOME=" + (f.root / "data").string(), "LIBGL_ALWAYS_SOFTWARE=1",
                                      "ORVEX_CAMERA_STEM=orvexsessions43", "PATH="},
                                     f.root / "studio.log");
    ASSERT_TRUE(studio.Started());
    auto log = [&] { return Slurp(f.root / "studio.log"); };
    const float s = WaitForScale(log);
    ASSERT_FLOAT_EQ(s, 1.0f) << "the positions below are for scale 1";
    ASSERT_TRUE(WaitForSplashToGo()) << log();

    // The session button is centred in the left half of the title bar (no
    // banner at this width); the popup hangs below the bar from the window's
    // left edge: 500 wide, its list of 40-pixel rows in session-array order
    // (the folder's order), the lit row carrying "Resume" and "Delete" (100
    // wide, 8 apart) at its right end.
    const int titleY = kTop + 24, popupX = kLeft, popupY = kTop + 48;
    const int rowX = popupX + 150;
    auto rowY = [&](int i) { return popupY + 186 + 40 * i; };
    const int deleteX = popupX + 452 - 50, resumeX = popupX + 452 - 100 - 8 - 50;
    testsupport::Shot shown;
    auto popupShown = [&](const char* name) {
        shown = testsupport::Screenshot(shots / name);
        const uint8_t* p = shown.ok ? shown.At(popupX + 480, popupY + 300) : nullptr;
        return p != nullptr && std::abs(p[0] - 64) < 8 && std::abs(p[1] - 66) < 8 && std::abs(p[2] - 66) < 8;
    };
    auto openPopup = [&](const char* shot) {
        ASSERT_TRUE(Click(kLeft + 245, titleY));
        ASSERT_TRUE(Eventually([&] { return popupShown(shot); }, 20s)) << "the session popup did not open";
    };
    // The lit row (the current session when the popup opens) is drawn brighter.
    auto litRow = [&] {
        for (int i = 0; i < 2; ++i) {
            const uint8_t* p = shown.At(rowX + 100, rowY(i));
            if (p[0] + p[1] + p[2] > 200) return i;  // (82, 89, 102) against (38, 41, 41)
        }
        return -1;
    };
    // A row is lit once a shot shows it so; its buttons stand at the row's
    // right end from the next frame on (a lit row's colour is not a button's).
    auto waitLit = [&](const char* shot, int row) {
        return Eventually([&] { return popupShown(shot) && (row < 0 ? litRow() >= 0 : litRow() == row); }, 20s);
    };
    auto waitButton = [&](const char* shot, int x, int row) {
        return Eventually(
            [&] {
                if (!popupShown(shot)) return false;
                const uint8_t* p = shown.At(x, rowY(row));
                auto near = [&](int r, int g, int b) {
                    return std::abs(p[0] - r) < 8 && std::abs(p[1] - g) < 8 && std::abs(p[2] - b) < 8;
                };
                return !near(82, 89, 102) && !near(38, 41, 41);
            },
            20s);
    };
    ASSERT_NO_FATAL_FAILURE(openPopup("session-list.png"));
    ASSERT_TRUE(waitLit("session-list.png", -1)) << "no lit row";
    const int rowA = litRow();  // Job A is current
    const int rowB = 1 - rowA;
    ASSERT_TRUE(Click(rowX, rowY(rowB)));
    ASSERT_TRUE(waitLit("session-list.png", rowB)) << "the pressed row did not light";
    ASSERT_TRUE(waitButton("session-list.png", resumeX, rowB)) << "no Resume button";
    ASSERT_TRUE(Click(resumeX, rowY(rowB)));
    ASSERT_TRUE(Eventually([&] { return !popupShown("popup-gone.png"); }, 20s)) << "Resume did not close the popup";
    // Job B is current now; Job A is deleted with its files after the question.
    ASSERT_NO_FATAL_FAILURE(openPopup("session-list-b.png"));
    EXPECT_TRUE(waitLit("session-list-b.png", rowB)) << "Job B was not resumed";
    ASSERT_TRUE(Click(rowX, rowY(rowA)));
    ASSERT_TRUE(waitLit("session-list-b.png", rowA)) << "the pressed row did not light";
    ASSERT_TRUE(waitButton("session-list-b.png", deleteX, rowA)) << "no Delete button";
    ASSERT_TRUE(Click(deleteX, rowY(rowA)));
    // The question: 640 wide, centred, two summary lines ("- 2 Images",
    // "- 1 Data file"), so its "Delete" stands 102 below the middle, 114 right of it.
    const int questionDeleteX = kLeft + kWidth / 2 + 114, questionDeleteY = kTop + kHeight / 2 + 102;
    ASSERT_TRUE(Eventually(
        [&] {
            const testsupport::Shot shot = testsupport::Screenshot(shots / "delete-session.png");
            const uint8_t* p = shot.ok ? shot.At(questionDeleteX, questionDeleteY) : nullptr;
            return p != nullptr && p[0] > 150 && p[1] < 60 && p[2] < 60;  // the red button
        },
        20s))
        << "no delete question";
    ASSERT_TRUE(Click(questionDeleteX, questionDeleteY));
    ASSERT_TRUE(Eventually(
        [&] {
            for (const fs::path& p : filesA)
                if (fs::exists(p)) return false;
            return true;
        },
        30s))
        << log();
    for (const fs::path& p : filesB) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_EQ(studio.Terminate(20s), 0) << log();
    EXPECT_NE(Slurp(f.data / "settings.ini").find("RecentSession=Job B"), std::string::npos)
        << Slurp(f.data / "settings.ini");
}

}  // namespace
