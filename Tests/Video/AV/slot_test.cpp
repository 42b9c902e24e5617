// Camera slots: the ProcessStream thread's phases (connecting, streaming,
// suspended), the connection-lost alert while recording, the stop line, and
// UpdateSlotSuspension.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "Base/Alerts.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Service.h"
#include "CameraSim/VideoEncoder.h"
#include "CameraSim/VideoServer.h"
#include "Support/Wait.h"

namespace {

using avtest::LogCapture;
using avtest::StartUnit;

// A camera unit as the service monitor would list it once its first reply
// arrived: version set, host known.
class ListedUnit {
public:
    explicit ListedUnit(const std::string& host) {
        service_.version = 9000;
        service_.SetHost(host);
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        index_ = static_cast<int>(picam::ServiceList.size());
        picam::ServiceList.push_back(&service_);
    }
    ~ListedUnit() {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        picam::ServiceList[static_cast<size_t>(index_)] = &picam::NullService;
    }
    int Index() const { return index_; }

private:
    picam::Service service_;
    int index_ = 0;
};

bool HasFlags(AV::CameraSlot& slot, uint32_t set, uint32_t clear, int limit_ms) {
    return testsupport::WaitUntil([&] { return (slot.Flags() & set) == set && (slot.Flags() & clear) == 0; },
                                  std::chrono::milliseconds(limit_ms), std::chrono::milliseconds(5));
}

TEST(CameraSlot, SuspensionClosesAndReopensTheStream) {
    LogCapture log;
    avtest::TempDir dir;
    auto unit = StartUnit("127.0.22.1", 320, 240, 30);
    ASSERT_TRUE(unit);
    ListedUnit listed("127.0.22.1");
    AV::CameraSlot slot;
    slot.cameraIndex = listed.Index();
    slot.channel = 0;
    slot.viewPosition = 1;
    AV::StartSlot(&slot, AV::Stream::Options::LiveCamera());
    ASSERT_TRUE(HasFlags(slot, AV::kSlotRun | AV::kSlotStreaming, 0, 10000));
    {
        std::lock_guard<std::mutex> guard(slot.lock);
        EXPECT_EQ(slot.streamAddress, "tcp://127.0.22.1:8012");
    }
    ASSERT_TRUE(slot.stream.StartRecording(dir.File("a.mkv")));
    ASSERT_TRUE(HasFlags(slot, AV::kSlotRecording, 0, 3000));

    AV::CameraSlot* active[] = {&slot};
    // Single view, settings panel closed, slot in the second view: suspended.
    AV::UpdateSlotSuspension(active, 1, true, false);
    EXPECT_FALSE(slot.stream.IsRecording());
    EXPECT_TRUE(slot.Flags() & AV::kSlotSuspended);
    ASSERT_TRUE(HasFlags(slot, AV::kSlotSuspended, AV::kSlotStreaming | AV::kSlotRecording, 5000));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !slot.stream.IsOpen(); }, std::chrono::milliseconds(10000),
                                       std::chrono::milliseconds(5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(slot.stream.IsOpen());

    // Opening the settings panel resumes every active slot.
    AV::UpdateSlotSuspension(active, 1, true, true);
    EXPECT_FALSE(slot.Flags() & AV::kSlotSuspended);
    ASSERT_TRUE(HasFlags(slot, AV::kSlotStreaming, AV::kSlotSuspended, 10000));

    AV::StopSlot(&slot);
    EXPECT_EQ(slot.Flags() & (AV::kSlotRun | AV::kSlotStreaming), 0u);
    EXPECT_FALSE(slot.stream.IsOpen());
    EXPECT_TRUE(log.Contains("INFO : Stopping video thread[" + std::to_string(listed.Index()) + "]  \n")) << log.Text();
    EXPECT_TRUE(TakeAlerts().empty());
}

struct SuspensionCase {
    bool singleLayout;
    int viewPosition;
    bool panelShown;
    bool suspended;
};

TEST(CameraSlot, SuspensionRules) {
    const SuspensionCase cases[] = {
        {true, 0, false, false}, {true, 1, false, true}, {true, 1, true, false},
        {false, 1, false, false}, {false, 0, true, false},
    };
    for (const SuspensionCase& c : cases) {
        AV::CameraSlot slot;
        slot.viewPosition = c.viewPosition;
        slot.flags = AV::kSlotRun | AV::kSlotRecording | (c.suspended ? 0u : static_cast<uint32_t>(AV::kSlotSuspended));
        AV::CameraSlot* active[] = {&slot};
        AV::UpdateSlotSuspension(active, 1, c.singleLayout, c.panelShown);
        EXPECT_EQ((slot.Flags() & AV::kSlotSuspended) != 0, c.suspended)
            << c.singleLayout << " " << c.viewPosition << " " << c.panelShown;
        EXPECT_EQ((slot.Flags() & AV::kSlotRecording) == 0, c.suspended);
    }
}

// The camera drops the connection while the slot records: the file is
// finalised and readable, the alert comes once, and the thread reconnects.
TEST(CameraSlot, CameraLostWhileRecordingFinalisesFileAndAlertsOnce) {
    avtest::TempDir dir;
    TakeAlerts();
    auto unit = StartUnit("127.0.22.2", 320, 240, 30, [](camsim::Options& o) { o.videoCloseAfterS = 3.0; });
    ASSERT_TRUE(unit);
    ListedUnit listed("127.0.22.2");
    AV::CameraSlot slot;
    slot.cameraIndex = listed.Index();
    slot.channel = 1;
    AV::StartSlot(&slot, AV::Stream::Options::LiveCamera());
    ASSERT_TRUE(HasFlags(slot, AV::kSlotStreaming, 0, 10000));
    const std::string path = dir.File("lost.mkv");
    ASSERT_TRUE(slot.stream.StartRecording(path));
    ASSERT_TRUE(HasFlags(slot, AV::kSlotRecording, 0, 3000));
    ASSERT_TRUE(testsupport::WaitUntil([] { return AlertCount() > 0; }, std::chrono::milliseconds(10000),
                                       std::chrono::milliseconds(5)));
    EXPECT_FALSE(slot.stream.IsRecording());
    ASSERT_TRUE(HasFlags(slot, AV::kSlotStreaming, AV::kSlotRecording, 10000));  // connected again
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<std::string> alerts = TakeAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "The video connection was lost. The current recording has been stopped.\n");
    AV::StopSlot(&slot);

    avtest::FileSummary file = avtest::ReadRecording(path);
    ASSERT_TRUE(file.opened);
    const int64_t packets = static_cast<int64_t>(file.pts_ms.size());
    EXPECT_GT(packets, 10);
    EXPECT_EQ(packets, slot.stream.LastRecordingPackets());
    EXPECT_GT(file.duration_ms, 300);
}

// Clearing run while the thread keeps failing to connect ends it quickly,
// with the stop line naming the satellite channel.
TEST(CameraSlot, StopWhileConnecting) {
    LogCapture log;
    ListedUnit listed("127.0.22.3");  // nothing listens there
    AV::CameraSlot slot;
    slot.cameraIndex = listed.Index();
    slot.channel = 1;
    AV::StartSlot(&slot, AV::Stream::Options::LiveCamera());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Count("ProcessStream | failed to connect") >= 2; },
                                       std::chrono::milliseconds(10000), std::chrono::milliseconds(5)));
    EXPECT_FALSE(slot.Flags() & AV::kSlotStreaming);
    auto start = std::chrono::steady_clock::now();
    AV::StopSlot(&slot);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2100 + 100 + 500));
    EXPECT_TRUE(log.Contains("TRACE: ProcessStream | connecting to tcp://127.0.22.3:8013")) << log.Text();
    EXPECT_TRUE(log.Contains("INFO : Stopping video thread[" + std::to_string(listed.Index()) + "] (satellite)"));
}

// A unit that is not listed (or whose first reply has not come) has no
// address: nothing is tried, and the thread still stops on request.
TEST(CameraSlot, UnknownUnitIsNotContacted) {
    LogCapture log;
    AV::CameraSlot slot;
    slot.cameraIndex = 57;
    AV::StartSlot(&slot, AV::Stream::Options::LiveCamera());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    AV::StopSlot(&slot);
    EXPECT_FALSE(log.Contains("ProcessStream | connecting"));
    EXPECT_TRUE(log.Contains("Stopping video thread[57]"));
}

// A slot told to stop while its thread waits on the network (a unit that
// sends no video: the stream's open waits out its receive time-out) cannot
// be started again until that thread has ended, and StartSlot never waits
// for it: it refuses at once and leaves the flags alone. Once the thread
// has ended by itself, the next start is immediate.
TEST(CameraSlot, RestartWaitsForTheOldThreadWithoutJoiningIt) {
    LogCapture log;
    auto unit = StartUnit("127.0.22.4", 320, 240, 30, [](camsim::Options& o) {
        o.videoPauseFromS = 0;
        o.videoPauseToS = 1e6;
    });
    ASSERT_TRUE(unit);
    ListedUnit listed("127.0.22.4");
    AV::CameraSlot slot;
    slot.cameraIndex = listed.Index();
    AV::Stream::Options options = AV::Stream::Options::LiveCamera();
    options.receiveTimeout_us = 1500000;
    ASSERT_TRUE(AV::StartSlot(&slot, options));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Contains("ProcessStream | connecting to tcp://127.0.22.4:8012"); }, std::chrono::milliseconds(5000)));
    EXPECT_FALSE(AV::SlotThreadEnded(&slot));

    slot.SetFlags(0, AV::kSlotRun);  // what the binding does when the unit drops
    const auto from = std::chrono::steady_clock::now();
    EXPECT_FALSE(AV::StartSlot(&slot, options));
    EXPECT_LT(std::chrono::steady_clock::now() - from, std::chrono::milliseconds(100));
    EXPECT_FALSE(slot.Flags() & AV::kSlotRun);
    EXPECT_TRUE(slot.thread.joinable());

    ASSERT_TRUE(testsupport::WaitUntil([&] { return AV::SlotThreadEnded(&slot); }, std::chrono::milliseconds(10000)));
    EXPECT_TRUE(log.Contains("Stopping video thread[" + std::to_string(listed.Index()) + "]"));
    const auto again = std::chrono::steady_clock::now();
    ASSERT_TRUE(AV::StartSlot(&slot, options));
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(100));
    EXPECT_TRUE(slot.Flags() & AV::kSlotRun);
    EXPECT_FALSE(AV::SlotThreadEnded(&slot));
    AV::StopSlot(&slot);
    EXPECT_TRUE(AV::SlotThreadEnded(&slot));
}

}  // namespace

namespace {

// Sorted copy's value at fraction q (0..1).
int64_t Quantile(std::vector<int64_t> values, double q) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t i = static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return values[i];
}

// When the simulator handed each picture's last byte to the socket, by
// frame number (its send observer runs on the unit's connection thread).
struct SendTimes {
    std::mutex lock;
    std::map<uint32_t, int64_t> sent_us;
    static void Observe(void* user, int, uint32_t number, int64_t us) {
        auto* self = static_cast<SendTimes*>(user);
        std::lock_guard<std::mutex> guard(self->lock);
        self->sent_us[number] = us;
    }
};

// Every packet of a recording in file order: its time (ms) and the frame
// number its picture shows (-1 when none could be read).
struct RecordedPicture {
    int64_t pts_ms;
    int64_t number;
};
std::vector<RecordedPicture> ReadNumberedRecording(const std::string& path) {
    std::vector<RecordedPicture> pictures;
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return pictures;
    if (avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->nb_streams == 1) {
        AVStream* st = ctx->streams[0];
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        AVCodecContext* decoder = avcodec_alloc_context3(codec);
        decoder->thread_count = 1;  // one packet in, its picture out
        if (avcodec_parameters_to_context(decoder, st->codecpar) >= 0 && avcodec_open2(decoder, codec, nullptr) >= 0) {
            AVPacket* p = av_packet_alloc();
            AVFrame* frame = av_frame_alloc();
            while (av_read_frame(ctx, p) >= 0) {
                RecordedPicture picture{av_rescale_q(p->pts, st->time_base, AVRational{1, 1000}), -1};
                if (avcodec_send_packet(decoder, p) >= 0 && avcodec_receive_frame(decoder, frame) >= 0) {
                    uint32_t number = 0;
                    if (camsim::ReadFrameNumber(frame->data[0], frame->linesize[0], frame->width, frame->height,
                                                &number))
                        picture.number = number;
                    av_frame_unref(frame);
                }
                pictures.push_back(picture);
                av_packet_unref(p);
            }
            av_frame_free(&frame);
            av_packet_free(&p);
        }
        avcodec_free_context(&decoder);
    }
    avformat_close_input(&ctx);
    return pictures;
}

}  // namespace

// A decoder that cannot keep up (each picture takes 60 ms more, against a
// 33 ms source): the recording still gets every packet, timed as it was
// sent, and the live view skips ahead instead of falling further and
// further behind.
TEST(CameraSlot, SlowDecoderKeepsRecordingWholeAndLiveViewClose) {
    LogCapture log;
    avtest::TempDir dir;
    SendTimes sends;
    camsim::SetVideoSendObserver(&SendTimes::Observe, &sends);
    auto unit = StartUnit("127.0.22.5", 320, 240, 30);
    ASSERT_TRUE(unit);
    ListedUnit listed("127.0.22.5");
    AV::CameraSlot slot;
    slot.cameraIndex = listed.Index();
    slot.channel = 0;
    slot.stream.SetDecodeDelayForTests(60000);
    AV::StartSlot(&slot, AV::Stream::Options::LiveCamera());
    ASSERT_TRUE(HasFlags(slot, AV::kSlotStreaming, 0, 10000));
    const std::string path = dir.File("slow.mkv");
    ASSERT_TRUE(slot.stream.StartRecording(path));

    // The UI's part, as the frame loop does it: take what was queued.
    std::vector<int64_t> lag_ms;  // arrival to decoded picture
    int shown = 0;
    const AV::LiveQueueCounts before = slot.units.Counts();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            while (std::shared_ptr<AV::Frame> f = slot.stream.PopFrame()) {
                ++shown;
                lag_ms.push_back((f->decoded_ns - f->arrival_ns) / 1000000);
            }
            return slot.stream.RecordedSeconds() >= 5.0;
        },
        std::chrono::milliseconds(30000), std::chrono::milliseconds(5)));
    const AV::LiveQueueCounts after = slot.units.Counts();
    const int64_t packets = slot.stream.StopRecording();
    AV::StopSlot(&slot);
    unit->Stop();
    camsim::SetVideoSendObserver(nullptr, nullptr);

    // Every picture the camera sent, in order: the frame numbers follow on
    // one from the other. Each packet's step is the step between the sends
    // (the simulator itself may run unevenly on a busy machine).
    const std::vector<RecordedPicture> file = ReadNumberedRecording(path);
    ASSERT_EQ(static_cast<int64_t>(file.size()), packets);
    ASSERT_GT(packets, 100);
    std::vector<int64_t> steps, offsets;
    for (size_t i = 0; i < file.size(); ++i) {
        ASSERT_EQ(file[i].number, file[0].number + static_cast<int64_t>(i)) << "packet " << i;
        if (i == 0) continue;
        std::lock_guard<std::mutex> guard(sends.lock);
        const int64_t sentStep_ms = (sends.sent_us[static_cast<uint32_t>(file[i].number)] -
                                     sends.sent_us[static_cast<uint32_t>(file[i - 1].number)]) / 1000;
        const int64_t step_ms = file[i].pts_ms - file[i - 1].pts_ms;
        steps.push_back(step_ms);
        offsets.push_back(std::abs(step_ms - sentStep_ms));
    }
    EXPECT_LE(Quantile(offsets, 0.9), 8) << "9 in 10 packet steps within 8 ms of the camera's";
    const int64_t medianStep = Quantile(steps, 0.5);
    EXPECT_GE(medianStep, 30);
    EXPECT_LE(medianStep, 45);

    // The live view: decoding fewer than 16 of 30 pictures a second, it
    // left pictures out rather than running late.
    const uint64_t received = after.received - before.received;
    ASSERT_GT(shown, 20);
    EXPECT_LT(static_cast<uint64_t>(shown), received * 3 / 4) << "skipped ahead";
    EXPECT_GT(after.keyJumps, before.keyJumps);
    EXPECT_LE(Quantile(lag_ms, 0.95), 260) << "arrival to decoded picture, p95";
    EXPECT_TRUE(log.Contains("WARN : DecodeLive[" + std::to_string(listed.Index()) +
                             ".0] | decoding fell behind the camera"))
        << log.Text();
}
