// Recordings left unfinished by a program that ended during the recording
// (what a kill -9 leaves: the bytes the recorder had handed to the file) are
// made whole by the library walk, or listed with their real duration when
// they are too large to copy; empty ones are removed, foreign ones left.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Base/FileServices.h"
#include "CameraSim/Unit.h"
#include "Session/RecordingRepair.h"
#include "Support/LogCapture.h"
#include "Support/Wait.h"
#include "Support/TempFolder.h"
#include "Video/AV/Stream.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Duration from the file's header (-1 when it has none), as a player sees it.
double HeaderSeconds(const std::string& path) {
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) != 0) return -2;
    const double seconds = ctx->duration == AV_NOPTS_VALUE ? -1 : double(ctx->duration) / AV_TIME_BASE;
    avformat_close_input(&ctx);
    return seconds;
}

class RecordingRepairTest : public ::testing::Test {
protected:
    // Records from a simulated unit and copies the file while the recording
    // runs (the cut); the recording is then finished normally.
    void SetUp() override {
        camsim::Options o;
        o.address = "127.0.41.1";
        o.mdns = false;
        unit_ = std::make_unique<camsim::Unit>(o);
        ASSERT_TRUE(unit_->Start());
        AV::Stream stream;
        ASSERT_TRUE(stream.Open("tcp://127.0.41.1:8012", AV::Stream::Options::LiveCamera()));
        ASSERT_TRUE(stream.StartRecording(dir.File("whole.mkv")));
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] {
                EXPECT_GE(stream.Process(), 0);
                while (stream.PopFrame()) {
                }
                return stream.RecordedSeconds() >= 2.6;
            },
            30s, 0ms));
        cutAt_s = stream.RecordedSeconds();
        fs::copy_file(dir.File("whole.mkv"), dir.File("cut.mkv"));
        ASSERT_GT(stream.StopRecording(), 0);
        stream.Close();
        unit_->Stop();
    }

    TempFolder dir;
    double cutAt_s = 0;

private:
    std::unique_ptr<camsim::Unit> unit_;
};

TEST_F(RecordingRepairTest, CutFileIsMadeWholeInPlace) {
    testsupport::LogCapture log;
    const std::string cut = dir.File("cut.mkv");
    ASSERT_EQ(HeaderSeconds(cut), -1) << "a cut file has no duration";
    double seconds = 0;
    EXPECT_EQ(CheckRecording(Path(cut), &seconds), RecordingState::Repaired);
    EXPECT_GE(seconds, cutAt_s - 1.0);
    EXPECT_LE(seconds, cutAt_s + 0.1);
    EXPECT_NEAR(HeaderSeconds(cut), seconds, 0.05) << "the repaired file carries its duration";
    EXPECT_FALSE(fs::exists(RepairTemporaryPath(Path(cut)).Text()));
    EXPECT_TRUE(log.Contains("WARN : RefreshSessions | " + cut + " was left unfinished; made whole")) << log.Text();
    // A second look finds it whole, and a finished recording is left alone.
    EXPECT_EQ(CheckRecording(Path(cut), &seconds), RecordingState::Whole);
    const auto before = fs::last_write_time(dir.File("whole.mkv"));
    EXPECT_EQ(CheckRecording(Path(dir.File("whole.mkv")), &seconds), RecordingState::Whole);
    EXPECT_GE(seconds, cutAt_s);
    EXPECT_EQ(fs::last_write_time(dir.File("whole.mkv")), before);
}

TEST_F(RecordingRepairTest, LargeCutFileIsListedWithItsRealDuration) {
    const std::string cut = dir.File("cut.mkv");
    const auto size = fs::file_size(cut);
    double seconds = 0;
    EXPECT_EQ(CheckRecording(Path(cut), &seconds, /*repairLimit_bytes=*/1000), RecordingState::Unfinished);
    EXPECT_GE(seconds, cutAt_s - 1.0);
    EXPECT_LE(seconds, cutAt_s + 0.1);
    EXPECT_EQ(fs::file_size(cut), size) << "left as it is";
}

TEST_F(RecordingRepairTest, EmptyAndForeignFiles) {
    struct Case {
        const char* name;
        std::string bytes;
        RecordingState state;
        bool remains;
    } cases[] = {
        {"empty.mkv", "", RecordingState::Removed, false},
        {"foreign.mkv", std::string(5000, 'x'), RecordingState::Unreadable, true},
    };
    for (const Case& c : cases) {
        std::ofstream(dir.File(c.name), std::ios::binary) << c.bytes;
        double seconds = 1;
        EXPECT_EQ(CheckRecording(Path(dir.File(c.name)), &seconds), c.state) << c.name;
        EXPECT_EQ(seconds, 0) << c.name;
        EXPECT_EQ(fs::exists(dir.File(c.name)), c.remains) << c.name;
    }
    // A header without a single picture holds nothing either.
    std::ifstream whole(dir.File("whole.mkv"), std::ios::binary);
    std::string head(400, '\0');
    whole.read(head.data(), 400);
    std::ofstream(dir.File("header.mkv"), std::ios::binary) << head;
    double seconds = 1;
    const RecordingState state = CheckRecording(Path(dir.File("header.mkv")), &seconds);
    EXPECT_TRUE(state == RecordingState::Removed || state == RecordingState::Unreadable);
    if (state == RecordingState::Removed) {
        EXPECT_FALSE(fs::exists(dir.File("header.mkv")));
    }
}

}  // namespace
