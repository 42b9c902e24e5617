// AV::Stream against the simulated unit's live H.264 and against real files:
// opening, sizes, the four-picture queue, live position steps, the received
// bit rate, failures, end of file and seeking.
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "CameraSim/VideoEncoder.h"
#include "CameraSim/TcpServer.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/Stream.h"
#include "Support/Wait.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

using avtest::LogCapture;
using avtest::StartUnit;

uint32_t NumberOf(const std::shared_ptr<AV::Frame>& frame) {
    uint32_t n = 0;
    EXPECT_TRUE(camsim::ReadFrameNumber(frame->Plane(0), frame->Stride(0), frame->Width(), frame->Height(), &n));
    return n;
}

// Processes until `pictures` more pictures were decoded (each moves the
// position); false when the stream closed or it took too long.
bool DecodePictures(AV::Stream& stream, int pictures, int limit_ms = 8000) {
    int decoded = 0;
    int64_t position = stream.Position();
    return testsupport::WaitUntil(
               [&] {
                   if (stream.Process() < 0 && !stream.IsOpen()) return true;
                   if (stream.Position() != position) {
                       position = stream.Position();
                       ++decoded;
                   }
                   return decoded >= pictures;
               },
               std::chrono::milliseconds(limit_ms), std::chrono::milliseconds(5)) &&
           decoded >= pictures;
}

TEST(LiveStream, DecodesSimulatorVideoAndKeepsTheNewestFour) {
    auto unit = StartUnit("127.0.20.1", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.1:8012", AV::Stream::Options::LiveCamera()));
    EXPECT_EQ(stream.Port(), 8012);
    EXPECT_EQ(stream.Width(), 320);
    EXPECT_EQ(stream.Height(), 240);
    EXPECT_EQ(stream.FrameRate(), 30);
    EXPECT_EQ(stream.Duration(), -1);
    EXPECT_EQ(stream.FileSize(), -1);

    ASSERT_TRUE(DecodePictures(stream, 1));
    std::shared_ptr<AV::Frame> first = stream.PopFrame();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Width(), 320);
    EXPECT_EQ(first->Height(), 240);
    EXPECT_EQ(first->Layout(), AV::PixelLayout::NV12);  // decoded as YUV420P, chroma interleaved
    const uint32_t n = NumberOf(first);

    // Five more pictures, none popped: the queue holds the newest four.
    ASSERT_TRUE(DecodePictures(stream, 5));
    EXPECT_EQ(stream.QueuedFrames(), 4u);
    for (uint32_t i = 2; i <= 5; ++i) {
        std::shared_ptr<AV::Frame> f = stream.PopFrame();
        ASSERT_TRUE(f);
        EXPECT_EQ(NumberOf(f), n + i);
    }
    EXPECT_FALSE(stream.PopFrame());
    EXPECT_GT(stream.ReceivedBitRate(), 0.0f);
    EXPECT_GT(stream.FramesFetched(), 6u);
    stream.Close();
    EXPECT_FALSE(stream.IsOpen());
    stream.Close();  // safe twice
}

// Live pictures carry no timestamps: the position advances by the time
// between pictures, at most two frame periods (66,666 us at 30/s).
TEST(LiveStream, PositionStepsFollowArrivalAndAreCappedAfterAPause) {
    auto unit = StartUnit("127.0.20.2", 160, 120, 30, [](camsim::Options& o) {
        o.videoPauseFromS = 1.5;
        o.videoPauseToS = 3.0;
    });
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.2:8012", AV::Stream::Options::LiveCamera()));
    std::vector<int64_t> steps;
    int64_t position = stream.Position();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            if (stream.Process() < 0) return true;
            if (stream.Position() != position) {
                EXPECT_EQ(stream.Position() - position, stream.FrameStep());
                position = stream.Position();
                steps.push_back(stream.FrameStep());
            }
            stream.PopFrame();
            return unit->Uptime() > 3.6;
        },
        std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    EXPECT_TRUE(stream.IsOpen());
    ASSERT_GT(steps.size(), 10u);
    // The first picture waited for a key frame; after it, exactly the
    // picture that ends the pause is capped (a loaded machine may add more).
    steps.erase(steps.begin());
    EXPECT_GE(std::count(steps.begin(), steps.end(), 66666), 1);
    EXPECT_GE(*std::min_element(steps.begin(), steps.end()), 1000);
    std::sort(steps.begin(), steps.end());
    EXPECT_LT(steps[steps.size() / 2], 50000);  // about 33,333 while pictures flow
}

struct OpenFailure {
    const char* name;
    const char* address;
    const char* log;
    int port;
};

class StreamOpenFails : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(StreamOpenFails, LeavesStreamClosed) {
    const OpenFailure& c = GetParam();
    LogCapture log;
    AV::Stream stream;
    std::string address = c.address;
    if (address.rfind("FILE:", 0) == 0) {
        avtest::TempDir dir;
        std::string path = dir.File(address.substr(5));
        std::ofstream(path) << "this is a text file, not a video\n";
        EXPECT_FALSE(stream.Open(path, AV::Stream::Options::MediaFile()));
        EXPECT_GT(stream.FileSize(), 0);
    } else {
        EXPECT_FALSE(stream.Open(address, AV::Stream::Options::LiveCamera()));
    }
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Port(), c.port);
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    EXPECT_LT(stream.Process(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StreamOpenFails,
    ::testing::Values(
        OpenFailure{"NoPort", "tcp://127.0.20.3", "TRACE: Stream::Open | could not open 127.0.20.3 on port -1", -1},
        OpenFailure{"Refused", "tcp://127.0.20.3:8012", "Stream::Open | could not open 127.0.20.3 on port 8012", 8012},
        OpenFailure{"HostName", "tcp://camera.invalid:8012", "could not open camera.invalid on port 8012", 8012},
        OpenFailure{"MissingFile", "/nonexistent/orvex/video.mkv", "Stream::Open | [", -1},
        OpenFailure{"NotAVideo", "FILE:notes.mkv", "Stream::Open | [", -1}),
    [](const ::testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.name); });

// A peer that sends framed garbage instead of H.264 never yields a picture
// and never hangs the caller beyond the receive time-out.
TEST(LiveStream, GarbageInsteadOfH264) {
    camsim::TcpServer server;
    ASSERT_TRUE(server.Start("127.0.20.4", 8012, "garbage", [](int fd, const std::string&) {
        std::vector<uint8_t> fragment(8 + 4000);
        uint32_t seed = 12345;
        for (int i = 0; i < 400; ++i) {
            fragment[0] = 0, fragment[1] = 0, fragment[2] = 2, fragment[3] = 4;
            fragment[4] = 0, fragment[5] = 0, fragment[6] = 4000 >> 8, fragment[7] = 4000 & 255;
            for (size_t k = 8; k < fragment.size(); ++k) fragment[k] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
            if (!camsim::SendAllFd(fd, fragment.data(), fragment.size())) return;
        }
    }));
    AV::Stream stream;
    AV::Stream::Options options = AV::Stream::Options::LiveCamera();
    options.receiveTimeout_us = 500000;
    if (stream.Open("tcp://127.0.20.4:8012", options)) {
        for (int i = 0; i < 1000 && stream.IsOpen(); ++i) stream.Process();
    }
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.QueuedFrames(), 0u);
}

struct LiveFault {
    const char* name;
    const char* address;
    std::function<void(camsim::Options&)> tweak;
    const char* log;
};

class LiveStreamFault : public ::testing::TestWithParam<LiveFault> {};

// A camera that misbehaves after a while: the stream closes itself with the
// described line once the pictures before the fault were decoded.
TEST_P(LiveStreamFault, ClosesWithLogLine) {
    const LiveFault& c = GetParam();
    LogCapture log;
    auto unit = StartUnit(c.address, 320, 240, 30, c.tweak);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open(std::string("tcp://") + c.address + ":8012", AV::Stream::Options::LiveCamera()));
    int pictures = 0;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            int rc = stream.Process();
            while (stream.PopFrame()) ++pictures;
            return rc < 0;
        },
        std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_GT(pictures, 0);
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Table, LiveStreamFault,
    ::testing::Values(
        LiveFault{"BadHeader", "127.0.20.5", [](camsim::Options& o) { o.videoBadHeaderAfterS = 2.0; },
                  "ERROR: AV::IOReadPacket | dataSize=0 / header=[0,0,1,4,0,0,0,16]"},
        LiveFault{"CameraCloses", "127.0.20.6", [](camsim::Options& o) { o.videoCloseAfterS = 2.0; },
                  "INFO : AV::IOReadPacket | connection closed"}),
    [](const ::testing::TestParamInfo<LiveFault>& info) { return std::string(info.param.name); });

// The unit goes away in the middle of the stream (its process ends): the
// stream closes with the reason the socket gave, and reading on after the
// close never reports an error left over from an earlier call (the connect's
// "Operation now in progress").
TEST(LiveStream, UnitGoneMidStreamLogsTheTrueReason) {
    LogCapture log;
    auto unit = StartUnit("127.0.20.8");
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.8:8012", AV::Stream::Options::LiveCamera()));
    int pictures = 0;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            stream.Process();
            while (stream.PopFrame()) ++pictures;
            return pictures >= 3;
        }, std::chrono::milliseconds(8000)));
    unit->Stop();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return stream.Process() < 0 || !stream.IsOpen(); }, std::chrono::milliseconds(8000)));
    for (int i = 0; i < 5; ++i) stream.Process();  // the video thread's next passes
    EXPECT_FALSE(stream.IsOpen());
    const std::string text = log.Text();
    EXPECT_EQ(text.find(strerror(EINPROGRESS)), std::string::npos) << text;
    EXPECT_TRUE(log.Contains("AV::IOReadPacket | connection closed") || log.Contains(strerror(ECONNRESET))) << text;
}

// Dropped fragments (flag 0x20) are forgotten with their unit, and the
// camera's resent unit decodes: picture numbers stay consecutive.
TEST(LiveStream, DroppedFragmentsLoseNoPicture) {
    auto unit = StartUnit("127.0.20.7", 320, 240, 30, [](camsim::Options& o) { o.videoDropFragmentEvery = 3; });
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.7:8012", AV::Stream::Options::LiveCamera()));
    std::vector<uint32_t> numbers;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            if (stream.Process() < 0) return true;
            if (auto f = stream.PopFrame()) numbers.push_back(NumberOf(f));
            return numbers.size() >= 20;
        },
        std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    ASSERT_GE(numbers.size(), 20u);
    for (size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
}

// ---- files --------------------------------------------------------------------------

const std::string kLongFile = std::string(ORVEX_TEST_MEDIA) + "/testsrc-120s.mkv";
const std::string kYuv444File = std::string(ORVEX_TEST_MEDIA) + "/testsrc-yuv444.mkv";

TEST(FileStream, ReadsToEndAndStaysOpenAtDuration) {
    AV::Stream stream;
    ASSERT_TRUE(stream.Open(kYuv444File, AV::Stream::Options::MediaFile()));
    EXPECT_EQ(stream.Port(), -1);
    EXPECT_GT(stream.FileSize(), 0);
    EXPECT_NEAR(static_cast<double>(stream.Duration()), 1e6, 50000);
    EXPECT_EQ(stream.FrameRate(), 25);
    int pictures = 0, rc = 0;
    for (int i = 0; i < 200 && rc != AVERROR_EOF; ++i) {
        rc = stream.Process();
        if (auto f = stream.PopFrame()) {
            // Not a layout the renderer uploads: converted to NV12.
            EXPECT_EQ(f->Layout(), AV::PixelLayout::NV12);
            ++pictures;
        }
    }
    EXPECT_EQ(rc, AVERROR_EOF);
    EXPECT_EQ(pictures, 25);  // the decoder is drained: the last pictures show too
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.Position(), stream.Duration());
    EXPECT_EQ(stream.Process(), AVERROR_EOF);
    EXPECT_TRUE(stream.IsOpen());
}

// A real frame rate below 2/1 counts as 30 pictures per second; asking for
// hardware decoding without a VAAPI render node decodes in software.
// Streams queue NV12 whatever the decoder gives: limited-range pictures keep
// their samples, full-range (JPEG) ones are brought to the limited range the
// video shader expects (black 16, white 235).
TEST(FileStream, PicturesComeAsLimitedRangeNV12) {
    struct Case {
        const char* file;
        int decodedFormat;
    } cases[] = {{"black-white-limited.mkv", AV_PIX_FMT_YUV420P}, {"black-white-full.mkv", AV_PIX_FMT_YUVJ420P}};
    for (const Case& c : cases) {
        const std::string path = std::string(ORVEX_TEST_MEDIA) + "/" + c.file;
        AVFormatContext* probe = nullptr;
        ASSERT_EQ(avformat_open_input(&probe, path.c_str(), nullptr, nullptr), 0) << c.file;
        ASSERT_GE(avformat_find_stream_info(probe, nullptr), 0) << c.file;
        EXPECT_EQ(probe->streams[0]->codecpar->format, c.decodedFormat) << c.file << ": not the layout meant";
        avformat_close_input(&probe);

        AV::Stream stream;
        ASSERT_TRUE(stream.Open(path, AV::Stream::Options::MediaFile())) << c.file;
        std::shared_ptr<AV::Frame> f;
        for (int i = 0; i < 50 && !f; ++i) {
            if (stream.Process() == AVERROR_EOF) break;
            f = stream.PopFrame();
        }
        ASSERT_TRUE(f) << c.file;
        ASSERT_EQ(f->Layout(), AV::PixelLayout::NV12) << c.file;
        ASSERT_EQ(f->Width(), 64);
        ASSERT_EQ(f->Height(), 64);
        const uint8_t* luma = f->Plane(0);
        const uint8_t* chroma = f->Plane(1);
        const int stride = f->Stride(0), chromaStride = f->Stride(1);
        for (const auto& [row, expected] : {std::pair{8, 16}, std::pair{56, 235}}) {
            EXPECT_NEAR(luma[row * stride + 32], expected, 1) << c.file << " row " << row;
            EXPECT_NEAR(chroma[(row / 2) * chromaStride + 32], 128, 1) << c.file << " row " << row << " U";
            EXPECT_NEAR(chroma[(row / 2) * chromaStride + 33], 128, 1) << c.file << " row " << row << " V";
        }
    }
}

TEST(FileStream, SlowFrameRateAndSoftwareFallback) {
    AV::Stream stream;
    AV::Stream::Options options = AV::Stream::Options::MediaFile();
    options.hardware = true;
    ASSERT_TRUE(stream.Open(std::string(ORVEX_TEST_MEDIA) + "/testsrc-1fps.mkv", options));
    EXPECT_EQ(stream.FrameRate(), 30);
    int pictures = 0;
    for (int i = 0; i < 50 && stream.Process() != AVERROR_EOF; ++i)
        if (auto f = stream.PopFrame()) {
            EXPECT_NE(f->Layout(), AV::PixelLayout::None);
            ++pictures;
        }
    EXPECT_EQ(pictures, 3);
    if (!stream.HardwareDecoding()) {
        EXPECT_EQ(stream.Width(), 160);
    }
}

TEST(FileStream, SeekShowsFirstPictureAtOrAfterTarget) {
    AV::Stream stream;
    ASSERT_TRUE(stream.Open(kLongFile, AV::Stream::Options::MediaFile()));
    ASSERT_NEAR(static_cast<double>(stream.Duration()), 120e6, 100000);
    stream.Seek(60.0);
    EXPECT_EQ(stream.QueuedFrames(), 1u);
    auto f = stream.PopFrame();
    ASSERT_TRUE(f);
    EXPECT_GE(stream.Position(), 60000000);
    EXPECT_LT(stream.Position(), 60000000 + 40000);
    EXPECT_EQ(stream.FrameStep(), 40000);
    EXPECT_EQ(stream.FramesFetched(), 0u);
    // Playback continues from there.
    ASSERT_TRUE(DecodePictures(stream, 1));
    EXPECT_EQ(stream.Position(), 60040000);
}

TEST(LiveStream, SeekDoesNothing) {
    auto unit = StartUnit("127.0.20.8", 160, 120, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.8:8012", AV::Stream::Options::LiveCamera()));
    ASSERT_TRUE(DecodePictures(stream, 2));
    int64_t position = stream.Position();
    size_t queued = stream.QueuedFrames();
    stream.Seek(10);
    EXPECT_EQ(stream.Position(), position);
    EXPECT_EQ(stream.QueuedFrames(), queued);
}

}  // namespace
