// The media player: what each kind of item shows, the image loader, seeking
// through seek requests, the playback clock and pausing.
#include <fstream>

#include "Video/AV/AvTestSupport.h"
#include "Video/AV/MediaPlayer.h"
#include "Support/Wait.h"

namespace {

const std::string kLongFile = std::string(ORVEX_TEST_MEDIA) + "/testsrc-120s.mkv";
const std::string kShortFile = std::string(ORVEX_TEST_MEDIA) + "/testsrc-yuv444.mkv";

struct LoadCase {
    const char* name;
    const char* file;  // written into the temporary folder ("" = none)
    const char* content;
    AV::MediaKind kind;
    bool stillRecording;
    const char* status;  // the status once the player has settled
};

class PlayerLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(PlayerLoad, Status) {
    const LoadCase& c = GetParam();
    avtest::TempDir dir;
    std::string path = dir.File(c.file);
    std::ofstream(path, std::ios::binary) << c.content;
    AV::MediaPlayer player;
    AV::LoadMedia(&player, path, c.kind, true, c.stillRecording);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return player.Status() == c.status; }, std::chrono::milliseconds(10000),
                                       std::chrono::milliseconds(5)))
        << player.Status();
    AV::StopPlayer(&player);
    EXPECT_EQ(player.running.load(), 0);
}

// A 2 x 1 binary PPM: red, blue.
const char kPpm[] = "P6\n2 1\n255\n\xff\x00\x00\x00\x00\xff";

INSTANTIATE_TEST_SUITE_P(
    Table, PlayerLoad,
    ::testing::Values(LoadCase{"OtherKind", "notes.txt", "hello", AV::MediaKind::Other, false, "Cannot display this file type"},
                      LoadCase{"VideoBeingRecorded", "a.mkv", "", AV::MediaKind::Video, true, "Recording..."},
                      LoadCase{"VideoNotAVideo", "b.mkv", "not a video", AV::MediaKind::Video, false, "Could not open video"},
                      LoadCase{"ImageNotAnImage", "c.jpg", "not an image", AV::MediaKind::Image, false,
                               "Failed to load image"},
                      LoadCase{"ImageMissing", "", "", AV::MediaKind::Image, false, "Failed to load image"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(Player, LoadsImage) {
    avtest::TempDir dir;
    std::string path = dir.File("still.ppm");
    std::ofstream(path, std::ios::binary).write(kPpm, sizeof kPpm - 1);
    AV::MediaPlayer player;
    AV::LoadMedia(&player, path, AV::MediaKind::Image, true, false);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.Status().empty(); }, std::chrono::milliseconds(10000),
                                       std::chrono::milliseconds(5)))
        << player.Status();
    AV::StopPlayer(&player);
    std::lock_guard<std::mutex> guard(player.lock);
    ASSERT_TRUE(player.image);
    EXPECT_EQ(player.image->width, 2);
    EXPECT_EQ(player.image->height, 1);
    EXPECT_EQ(player.image->rgba, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
    EXPECT_EQ(player.imageGeneration, 1u);
    EXPECT_EQ(player.mediaType.load(), 2);
}

// A seek request of 500 on a 120-second file shows the first picture at or
// after 60 s; paused, the clock then stands still.
TEST(Player, SeekRequestShowsPictureAtTarget) {
    AV::MediaPlayer player;
    AV::LoadMedia(&player, kLongFile, AV::MediaKind::Video, false, false);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.Status().empty() && player.running.load(); },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)))
        << player.Status();
    // Paused right after loading: the first picture is shown, the clock stands.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.stream.QueuedFrames() > 0; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    EXPECT_LT(player.playTime.load(), 0.05f);
    std::shared_ptr<AV::Frame> first = player.stream.PopFrame();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Timestamp(), 0);

    player.seekRequest = 500;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.stream.QueuedFrames() > 0; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    std::shared_ptr<AV::Frame> shown = player.stream.PopFrame();
    ASSERT_TRUE(shown);
    EXPECT_GE(shown->Timestamp(), 60000);  // Matroska: milliseconds
    EXPECT_LT(shown->Timestamp(), 60040);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.playTime.load() >= 60.0f; }, std::chrono::milliseconds(10000),
                                       std::chrono::milliseconds(5)));
    // At most one more picture is fetched after the seek; then the clock stands.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.stream.FramesFetched() > 0; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    // That round ends (however long a busy machine takes): the clock stands
    // still for 200 ms on end.
    float stood = -1;
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            stood = player.playTime.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            return player.playTime.load() == stood;
        },
        std::chrono::milliseconds(10000)));
    EXPECT_LT(stood, 60.1f);
    EXPECT_LE(player.stream.QueuedFrames(), 1u);

    // Playing again: the clock runs and pictures follow.
    player.paused = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return player.playTime.load() > stood + 0.2f; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    AV::StopPlayer(&player);
    EXPECT_FALSE(player.stream.IsOpen());
}

// A stalled round advances a 25-pictures-per-second file by at most 80 ms.
TEST(Player, ClockStepIsLimitedToTwoFrames) {
    AV::MediaPlayer player;
    ASSERT_TRUE(player.stream.Open(kShortFile, AV::Stream::Options::MediaFile()));
    ASSERT_EQ(player.stream.FrameRate(), 25);
    int32_t lastSeek = -1;
    auto lastTick = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    AV::PlaybackRound(&player, &lastSeek, &lastTick);
    EXPECT_NEAR(player.playTime.load(), 0.08f, 1e-4);
    EXPECT_EQ(player.stream.QueuedFrames(), 1u);
    // Played to the end, the clock stops at the duration.
    for (int i = 0; i < 400; ++i) {
        lastTick -= std::chrono::milliseconds(100);
        AV::PlaybackRound(&player, &lastSeek, &lastTick);
        player.stream.PopFrame();
    }
    EXPECT_FLOAT_EQ(player.playTime.load(), static_cast<float>(player.stream.Duration() / 1e6));
    EXPECT_EQ(player.stream.Position(), player.stream.Duration());
}

}  // namespace
