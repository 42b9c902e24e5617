// Recordings cut short (the program killed, the disk full): no duration and
// no index in the file, data ending in the middle of a cluster. Their real
// length comes from their last packets, and the player plays them to where
// they end; empty and unreadable files neither crash nor hang it.
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <fstream>

#include "Video/AV/AvTestSupport.h"
#include "Video/AV/DurationProbe.h"
#include "Video/AV/MediaPlayer.h"
#include "Support/Wait.h"

namespace {

// Waits up to `limit_ms` (generous: a busy machine slows the test, it must not fail it).
bool WaitFor(const std::function<bool()>& condition, int limit_ms) {
    return testsupport::WaitUntil(condition, std::chrono::milliseconds(limit_ms));
}

// A 20-second "live" Matroska file (no duration, no cues), cut to `keepPercent` of its bytes.
std::string MakeCutRecording(avtest::TempDir& dir, const std::string& name, int seconds, int keepPercent) {
    const std::string full = dir.File(name + ".full.mkv"), cut = dir.File(name);
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t " +
                             std::to_string(seconds) +
                             " -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -live 1 -f matroska pipe:1 > '" +
                             full + "'";
    if (std::system(make.c_str()) != 0) return "";
    struct stat st {};
    stat(full.c_str(), &st);
    const std::string trim =
        "head -c " + std::to_string(st.st_size * keepPercent / 100) + " '" + full + "' > '" + cut + "'";
    if (std::system(trim.c_str()) != 0) return "";
    return cut;
}

TEST(CutShort, DurationComesFromTheLastPackets) {
    avtest::TempDir dir;
    const std::string whole = MakeCutRecording(dir, "whole.mkv", 20, 100);
    const std::string half = MakeCutRecording(dir, "half.mkv", 20, 50);
    ASSERT_FALSE(half.empty());
    EXPECT_NEAR(AV::ProbeFileDuration_us(whole) / 1e6, 20.0, 0.1);
    const double halfS = AV::ProbeFileDuration_us(half) / 1e6;
    EXPECT_GT(halfS, 7.0);  // about half of the bytes hold about half of the pictures
    EXPECT_LT(halfS, 13.0);
    // A file with its own duration keeps it.
    EXPECT_NEAR(AV::ProbeFileDuration_us(std::string(ORVEX_TEST_MEDIA) + "/testsrc-120s.mkv") / 1e6, 120.0, 0.1);
    std::ofstream(dir.File("empty.mkv"));
    std::ofstream(dir.File("text.mkv")) << "not a video";
    EXPECT_EQ(AV::ProbeFileDuration_us(dir.File("empty.mkv")), -1);
    EXPECT_EQ(AV::ProbeFileDuration_us(dir.File("text.mkv")), -1);
    EXPECT_EQ(AV::ProbeFileDuration_us(dir.File("missing.mkv")), -1);
}

TEST(CutShort, PlaysToWhereItEndsAndSeeksWithinIt) {
    avtest::TempDir dir;
    const std::string half = MakeCutRecording(dir, "half.mkv", 20, 50);
    ASSERT_FALSE(half.empty());
    const int64_t length_us = AV::ProbeFileDuration_us(half);
    AV::MediaPlayer player;
    AV::LoadMedia(&player, half, AV::MediaKind::Video, false, false);
    ASSERT_TRUE(WaitFor([&] { return player.Status().empty() && player.running.load(); }, 5000)) << player.Status();
    EXPECT_EQ(player.stream.Duration(), length_us);  // the real length, not unknown
    // The scrubber at 90 % lands inside the data that is there.
    player.seekRequest = 900;
    const double target = 0.9 * double(length_us) / 1e6;
    ASSERT_TRUE(WaitFor([&] { return std::abs(player.playTime.load() - target) < 0.1; }, 5000)) << player.playTime.load();
    // Playing on reaches the end of what was recorded.
    player.seekRequest = -1;
    player.paused = 0;
    // (the UI takes one picture per frame; here the test does)
    EXPECT_TRUE(WaitFor(
        [&] {
            player.stream.PopFrame();
            return player.stream.Position() >= length_us;
        },
        20000))
        << player.stream.Position();
    AV::StopPlayer(&player);
}

TEST(CutShort, EmptyAndUnreadableFilesReportWithoutHanging) {
    avtest::TempDir dir;
    std::ofstream(dir.File("empty.mkv"));
    const std::string garbled = dir.File("garbled.mkv");
    {
        std::ofstream out(garbled, std::ios::binary);
        out << "\x1a\x45\xdf\xa3";  // a Matroska magic and nothing sensible after it
        for (int i = 0; i < 100000; ++i) out.put(char(i * 7));
    }
    for (const std::string& path : {dir.File("empty.mkv"), garbled}) {
        AV::MediaPlayer player;
        AV::LoadMedia(&player, path, AV::MediaKind::Video, true, false);
        EXPECT_TRUE(WaitFor([&] { return player.Status() == "Could not open video"; }, 10000)) << path << ": "
                                                                                              << player.Status();
        AV::StopPlayer(&player);
    }
}

}  // namespace
