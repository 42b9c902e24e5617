// Recording by stream copy: files that start at a key frame at time 0, timed
// by arrival with gaps capped at 1 s, empty when stopped before any key
// frame, and readable by libavformat with the written packet count.
#include <map>

#include "Base/Alerts.h"
#include "Support/SmallFileSystem.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/Stream.h"
#include "Support/Wait.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

using avtest::FileSummary;
using avtest::LogCapture;
using avtest::ReadRecording;
using avtest::StartUnit;

// Runs the stream, popping pictures, until `done` holds.
template <typename Done>
void RunWhile(AV::Stream& stream, Done done) {
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            EXPECT_GE(stream.Process(), 0);
            while (stream.PopFrame()) {
            }
            return done();
        },
        std::chrono::milliseconds(20000), std::chrono::milliseconds(5)));
}

// Runs the stream for `seconds` of the unit's uptime.
void RunUntil(AV::Stream& stream, camsim::Unit& unit, double uptime_s) {
    RunWhile(stream, [&] { return unit.Uptime() >= uptime_s; });
}

// What a player needs of a recording of `packets` packets: all of them, the
// first a key frame at time 0, time stamps that only go forward, and a
// picture from every one.
void ExpectPlayable(const FileSummary& f, int64_t packets) {
    ASSERT_EQ(static_cast<int64_t>(f.pts_ms.size()), packets);
    EXPECT_TRUE(f.key[0]);
    EXPECT_EQ(f.pts_ms[0], 0);
    for (size_t i = 1; i < f.pts_ms.size(); ++i) {
        EXPECT_GT(f.pts_ms[i], f.pts_ms[i - 1]) << "packet " << i;
        EXPECT_GT(f.dts_ms[i], f.dts_ms[i - 1]) << "packet " << i;
    }
    EXPECT_EQ(f.decodeErrors, 0);
    EXPECT_EQ(f.decodedFrames, packets);
}

TEST(Recorder, RecordsReadableFileFromKeyFrameAtTimeZero) {
    avtest::TempDir dir;
    auto unit = StartUnit("127.0.21.1", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.21.1:8012", AV::Stream::Options::LiveCamera()));
    RunUntil(stream, *unit, 1.9);  // start somewhere inside a group of pictures
    const std::string path = dir.File("clip.mkv");
    ASSERT_TRUE(stream.StartRecording(path, {{"title", "Pipe 7"}, {"comment", "north shaft"}}));
    EXPECT_TRUE(stream.IsRecording());
    EXPECT_FALSE(stream.StartRecording(dir.File("second.mkv")));  // one recording at a time
    // Counted in packets, not in time: a busy machine may starve the unit's encoder.
    RunWhile(stream, [&] { return stream.RecordingPackets() > 30 && unit->Uptime() >= 4.5; });
    const double recorded = stream.RecordedSeconds();
    const int64_t packets = stream.StopRecording();
    EXPECT_FALSE(stream.IsRecording());
    EXPECT_EQ(stream.StopRecording(), -1);  // safe when not recording
    ASSERT_GT(packets, 30);
    EXPECT_EQ(stream.LastRecordingPackets(), packets);

    FileSummary f = ReadRecording(path);
    ASSERT_TRUE(f.opened);
    EXPECT_EQ(f.codec, "h264");
    EXPECT_EQ(f.width, 320);
    EXPECT_EQ(f.height, 240);
    EXPECT_GT(f.codecPrivateBytes, 0);
    ExpectPlayable(f, packets);
    EXPECT_NEAR(static_cast<double>(f.duration_ms), recorded * 1000, 40);
    // Timed by arrival: a busy machine bunches packets up, but the whole
    // recording still spans about the camera's time.
    EXPECT_NEAR(recorded, static_cast<double>(packets) / 30.0, 1.0);
    EXPECT_EQ(f.metadata["title"], "Pipe 7");
    EXPECT_EQ(f.metadata["comment"], "north shaft");
}

// Packets that arrive all at once (a machine too busy to read the socket for
// a while, then catching up): every packet is in the file, byte for byte and
// in order, each at least a millisecond after the one before. Table:
// containers.
class RecorderBurst : public ::testing::TestWithParam<const char*> {};

TEST_P(RecorderBurst, KeepsEveryPacketInOrder) {
    avtest::TempDir dir;
    const std::string source = std::string(ORVEX_TEST_MEDIA) + "/testsrc-120s.mkv";
    AV::Stream stream;
    ASSERT_TRUE(stream.Open(source, AV::Stream::Options::MediaFile()));
    const std::string path = dir.File(std::string("burst.") + GetParam());
    ASSERT_TRUE(stream.StartRecording(path));
    AVFormatContext* in = nullptr;
    ASSERT_GE(avformat_open_input(&in, source.c_str(), nullptr, nullptr), 0);
    std::vector<std::string> sent;
    AVPacket* packet = av_packet_alloc();
    while (sent.size() < 200 && av_read_frame(in, packet) >= 0) {
        sent.emplace_back(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
        stream.WritePacket(packet);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&in);
    ASSERT_EQ(sent.size(), 200u);
    EXPECT_EQ(stream.StopRecording(), 200);

    const FileSummary f = ReadRecording(path);
    ASSERT_TRUE(f.opened);
    ExpectPlayable(f, 200);
    EXPECT_TRUE(f.bytes == sent) << "packets lost, changed or out of order";
    EXPECT_GE(f.pts_ms.back(), 199);
}

INSTANTIATE_TEST_SUITE_P(Containers, RecorderBurst, ::testing::Values("mkv", "mp4"));

// A camera that pauses for longer than a second while recording: the packet
// after the gap counts 1 s, not the whole pause.
TEST(Recorder, PauseCountsAsOneSecond) {
    avtest::TempDir dir;
    auto unit = StartUnit("127.0.21.2", 320, 240, 30, [](camsim::Options& o) {
        o.videoPauseFromS = 3.0;
        o.videoPauseToS = 5.5;
    });
    ASSERT_TRUE(unit);
    AV::Stream stream;
    AV::Stream::Options options = AV::Stream::Options::LiveCamera();
    options.receiveTimeout_us = 8000000;  // the pause must not count as a lost camera
    ASSERT_TRUE(stream.Open("tcp://127.0.21.2:8012", options));
    const std::string path = dir.File("pause.mkv");
    ASSERT_TRUE(stream.StartRecording(path));
    RunUntil(stream, *unit, 2.9);
    ASSERT_GT(stream.RecordedSeconds(), 0.0);  // writing before the pause
    RunUntil(stream, *unit, 6.3);
    ASSERT_GT(stream.StopRecording(), 0);
    FileSummary f = ReadRecording(path);
    ASSERT_TRUE(f.opened);
    int oneSecondSteps = 0;
    for (size_t i = 1; i < f.pts_ms.size(); ++i) {
        const int64_t step = f.pts_ms[i] - f.pts_ms[i - 1];
        if (step >= 999) ++oneSecondSteps;
        EXPECT_LE(step, 1000);
    }
    EXPECT_EQ(oneSecondSteps, 1);
}

// Stopped before the first key frame: nothing was written (no header, no
// trailer), the recorder says so, and the empty file it had opened is gone
// (whichever way the recording stopped: the Record control, a lost camera).
TEST(Recorder, StopBeforeKeyFrameLeavesEmptyFile) {
    avtest::TempDir dir;
    auto unit = StartUnit("127.0.21.3", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.21.3:8012", AV::Stream::Options::LiveCamera()));
    const std::string path = dir.File("empty.mkv");
    ASSERT_TRUE(stream.StartRecording(path));
    // A packet that is not a key frame is not written.
    uint8_t bytes[16] = {0, 0, 0, 1, 0x41, 0x9a};
    AVPacket* packet = av_packet_alloc();
    packet->data = bytes;
    packet->size = sizeof bytes;
    stream.WritePacket(packet);
    av_packet_free(&packet);
    EXPECT_EQ(stream.StopRecording(), 0);
    EXPECT_EQ(stream.LastRecordingPackets(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

// What a kill -9 (or a power cut of the process) leaves is what the recorder
// has handed to the file: a copy of the file taken at any moment during the
// recording must play up to at most a second before that moment.
TEST(Recorder, FileCutWhileRecordingPlaysToItsLastSecond) {
    avtest::TempDir dir;
    auto unit = StartUnit("127.0.21.4", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.21.4:8012", AV::Stream::Options::LiveCamera()));
    const std::string path = dir.File("cut.mkv");
    ASSERT_TRUE(stream.StartRecording(path));
    struct Cut {
        std::string copy;
        double recorded_s;
    };
    std::vector<Cut> cuts;
    const double start = unit->Uptime();
    for (int i = 0; i < 6; ++i) {
        RunUntil(stream, *unit, start + 1.3 + 0.55 * i);  // not aligned with key frames or flushes
        const double recorded = stream.RecordedSeconds();
        const std::string copy = dir.File("cut-" + std::to_string(i) + ".mkv");
        std::filesystem::copy_file(path, copy);
        cuts.push_back({copy, recorded});
    }
    EXPECT_GE(stream.RecordingFlushes(), 4u);
    ASSERT_GT(stream.StopRecording(), 0);
    for (const Cut& cut : cuts) {
        FileSummary f = ReadRecording(cut.copy);
        ASSERT_TRUE(f.opened) << cut.copy;
        ASSERT_FALSE(f.pts_ms.empty()) << cut.copy;
        EXPECT_TRUE(f.key[0]);
        EXPECT_GE(static_cast<double>(f.pts_ms.back()), (cut.recorded_s - 1.0) * 1000.0)
            << cut.copy << " was cut at " << cut.recorded_s << " s";
    }
}

// A disk that fills during a recording: the failed write stops the
// recording at once with an alert and an ERROR line, and what reached the
// file before stays readable.
TEST(Recorder, FailedWriteStopsTheRecordingAndKeepsTheFileReadable) {
    avtest::TempDir dir;
    const std::string small = dir.File("small");
    ASSERT_TRUE(std::filesystem::create_directory(small));
    SmallFileSystem fs(small, 1);
    if (!fs.Mounted()) GTEST_SKIP() << "neither a tmpfs nor a loop image could be mounted here (needs root)";
    LogCapture log;
    TakeAlerts();
    auto unit = StartUnit("127.0.21.5", 640, 480, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.21.5:8012", AV::Stream::Options::LiveCamera()));
    const std::string path = small + "/full.mkv";
    ASSERT_TRUE(stream.StartRecording(path));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            EXPECT_GE(stream.Process(), 0);
            while (stream.PopFrame()) {
            }
            return !stream.IsRecording();
        },
        std::chrono::milliseconds(60000)))
        << "the recording never stopped on a full disk";
    EXPECT_GT(stream.LastRecordingPackets(), 0);
    EXPECT_TRUE(log.Contains("ERROR: Stream::WritePacket | [-28] ")) << log.Text();
    EXPECT_TRUE(log.Contains("No space left on device (" + path + ")")) << log.Text();
    const std::vector<std::string> alerts = TakeAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "Recording stopped: the file could not be written (No space left on device). What was "
                         "recorded before is kept: " + path);
    EXPECT_TRUE(log.Contains("WARN : Alert | Recording stopped") || log.Contains("ERROR: Alert | Recording stopped"));
    FileSummary f = ReadRecording(path);
    ASSERT_TRUE(f.opened);
    EXPECT_GT(f.pts_ms.size(), 10u);
    EXPECT_TRUE(f.key[0]);
}

struct StartFailure {
    const char* name;
    const char* file;  // inside the temporary folder
    bool open;         // open the stream first
    const char* log;
};

class RecorderStartFails : public ::testing::TestWithParam<StartFailure> {};

TEST_P(RecorderStartFails, LeavesRecorderIdle) {
    const StartFailure& c = GetParam();
    avtest::TempDir dir;
    LogCapture log;
    AV::Stream stream;
    if (c.open) {
        ASSERT_TRUE(stream.Open(std::string(ORVEX_TEST_MEDIA) + "/testsrc-yuv444.mkv", AV::Stream::Options::MediaFile()));
    }
    EXPECT_FALSE(stream.StartRecording(dir.File(c.file)));
    EXPECT_FALSE(stream.IsRecording());
    if (*c.log) {
        EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecorderStartFails,
    ::testing::Values(StartFailure{"StreamClosed", "a.mkv", false, ""},
                      StartFailure{"UnknownContainer", "a.notacontainer", true,
                                   "ERROR: Stream::StartRecording | [-22] avformat_alloc_output_context2 : "},
                      StartFailure{"MissingFolder", "no/such/folder/a.mkv", true,
                                   "ERROR: Stream::StartRecording | [-2] avio_open : No such file or directory"}),
    [](const ::testing::TestParamInfo<StartFailure>& info) { return std::string(info.param.name); });

}  // namespace
