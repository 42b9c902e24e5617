// Record controls against live video from the simulator: naming into the
// current session, record-disabled slots, the empty file of a recording
// stopped before its first key frame, and the low-storage watchdog on a
// small file system that fills up during a recording.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "Base/Alerts.h"
#include "Base/Log.h"
#include "CameraSim/Unit.h"
#include "Base/FileServices.h"
#include "Session/RecordControls.h"
#include "Session/SessionFile.h"
#include "Support/LogCapture.h"
#include "Support/SmallFileSystem.h"
#include "Support/TempFolder.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Service.h"
#include "Support/Wait.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr int32_t kCameraId = 0x4F525831;

int64_t PacketsIn(const std::string& path) {
    AVFormatContext* ctx = nullptr;
    if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return -1;
    int64_t packets = 0;
    if (avformat_find_stream_info(ctx, nullptr) >= 0) {
        AVPacket* p = av_packet_alloc();
        while (av_read_frame(ctx, p) >= 0) {
            ++packets;
            av_packet_unref(p);
        }
        av_packet_free(&p);
    }
    avformat_close_input(&ctx);
    return packets;
}

std::vector<std::string> VideoFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : platform::ListFolder(Path(folder)))
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mkv") == 0) found.push_back(name);
    return found;
}

// A simulated two-channel unit, listed for the program, and two slots streaming it.
class LiveUnit {
public:
    explicit LiveUnit(const std::string& address) {
        camsim::Options o;
        o.address = address;
        o.mdns = false;
        unit_ = std::make_unique<camsim::Unit>(o);
        for (int g = 0; g < 2; ++g) {
            unit_->SetParamValue(g, 117, 320);  // video width, height, frame rate
            unit_->SetParamValue(g, 118, 240);
            unit_->SetParamValue(g, 119, 15);
        }
        started_ = unit_->Start();
        service_.version = 9000;
        service_.SetHost(address);
        service_.groups[0].params[1].value = kCameraId;
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        index_ = static_cast<int>(picam::ServiceList.size());
        picam::ServiceList.push_back(&service_);
    }
    ~LiveUnit() {
        for (AV::CameraSlot& s : slots) AV::StopSlot(&s);
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        picam::ServiceList[static_cast<size_t>(index_)] = &picam::NullService;
    }
    bool StartStreaming() {
        if (!started_) return false;
        for (int ch = 0; ch < 2; ++ch) {
            slots[ch].cameraIndex = index_;
            slots[ch].channel = ch;
            slots[ch].viewPosition = ch;
            AV::StartSlot(&slots[ch], AV::Stream::Options::LiveCamera());
            active.push_back(&slots[ch]);
        }
        return testsupport::WaitUntil(
            [this] { return (slots[0].Flags() & slots[1].Flags() & AV::kSlotStreaming) != 0; },
            std::chrono::milliseconds(20000));
    }
    picam::Service& Service() { return service_; }
    // The unit goes away: every connection closes.
    void StopUnit() { unit_->Stop(); }

    AV::CameraSlot slots[2];
    std::vector<AV::CameraSlot*> active;

private:
    std::unique_ptr<camsim::Unit> unit_;
    bool started_ = false;
    picam::Service service_;
    int index_ = 0;
};

class RecordTest : public ::testing::Test {
protected:
    RecordTest() : store(settings, elapsed, base) {}
    void TearDown() override { TakeAlerts(); }

    Settings settings;
    int64_t elapsed = 0, base = 0;
    SessionStore store;
    int settingsSaves = 0;
};

TEST_F(RecordTest, RecordsIntoTheCurrentSessionAndSkipsDisabledSlots) {
    TempFolder dir;
    settings.SessionDirectory = dir.Dir();
    LiveUnit unit("127.0.40.20");
    ASSERT_TRUE(unit.StartStreaming());
    store.SetActiveSlots(&unit.active);
    RecordingContext context{store, unit.active, [this] { ++settingsSaves; }, nullptr};

    EXPECT_FALSE(StartRecordings(context));  // no session: the caller opens the session popup
    EXPECT_FALSE(IsAnyRecording(unit.active));

    ASSERT_EQ(store.FindOrCreateSession("Job"), 0);
    store.RefreshSessions();
    base = 61001000;  // 00:01:01.001 into the session
    unit.slots[1].recordEnabled = false;
    ASSERT_TRUE(StartRecordings(context));
    EXPECT_TRUE(IsAnyRecording(unit.active));
    EXPECT_FALSE(unit.slots[1].stream.IsRecording());
    const std::string name = "Job-00.01.01.001-V-" + std::to_string(kCameraId) + "-0.mkv";
    {
        std::lock_guard<std::mutex> hold(unit.slots[0].lock);
        EXPECT_EQ(unit.slots[0].recordingPath, dir.File(name));
    }
    // While it records, the list shows it without a duration and the store knows it.
    ASSERT_EQ(store.viewable[0].size(), 1u);
    EXPECT_TRUE(store.IsBeingRecorded(dir.File(name)));
    EXPECT_EQ(store.MediaInfoFor(dir.File(name)).duration, 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return unit.slots[0].stream.RecordedSeconds() > 1.0; },
                                       std::chrono::milliseconds(20000)));
    StopRecordings(context);
    EXPECT_FALSE(IsAnyRecording(unit.active));
    EXPECT_GT(PacketsIn(dir.File(name)), 5);
    EXPECT_EQ(VideoFiles(dir.Dir()), std::vector<std::string>{name});
    EXPECT_GT(store.MediaInfoFor(dir.File(name)).duration, 0.5);  // measured after the stop
    EXPECT_TRUE(TakeAlerts().empty());

    // Stopped at once: either a key frame made it in (a readable file) or the
    // empty file is gone.
    base = 120000000;
    ASSERT_TRUE(StartRecordings(context));
    StopRecordings(context);
    const std::string quick = dir.File("Job-00.02.00.000-V-" + std::to_string(kCameraId) + "-0.mkv");
    if (unit.slots[0].stream.LastRecordingPackets() == 0) {
        EXPECT_FALSE(platform::GetFileInfo(Path(quick), nullptr));
    } else {
        EXPECT_GT(PacketsIn(quick), 0);
    }
}

TEST_F(RecordTest, RecordingLostBeforeItsFirstKeyFrameLeavesNoEmptyFile) {
    TempFolder dir;
    settings.SessionDirectory = dir.Dir();
    LiveUnit unit("127.0.40.22");
    ASSERT_TRUE(unit.StartStreaming());
    store.SetActiveSlots(&unit.active);
    RecordingContext context{store, unit.active, nullptr, nullptr};
    ASSERT_EQ(store.FindOrCreateSession("Lost"), 0);
    store.RefreshSessions();
    unit.slots[1].recordEnabled = false;
    ASSERT_TRUE(StartRecordings(context));
    // The unit goes away at once: the stream closes, which ends the recording,
    // almost always before the next key frame (one a second) arrived.
    unit.StopUnit();
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return !unit.slots[0].stream.IsRecording(); }, std::chrono::milliseconds(20000)));
    store.RefreshSessions();
    {
        std::lock_guard<std::mutex> hold(unit.slots[0].lock);
        EXPECT_TRUE(unit.slots[0].recordingPath.empty());
    }
    const std::vector<std::string> videos = VideoFiles(dir.Dir());
    if (unit.slots[0].stream.LastRecordingPackets() == 0) {
        EXPECT_TRUE(videos.empty());
        EXPECT_TRUE(store.viewable[0].empty());
    } else {
        ASSERT_EQ(videos.size(), 1u);
        EXPECT_GT(PacketsIn(dir.File(videos[0])), 0);
    }
}


TEST_F(RecordTest, FullFileSystemDuringARecordingStopsItAndKeepsEverything) {
    TempFolder dir;
    const std::string storage = dir.File("storage");
    ASSERT_TRUE(platform::CreateDirectories(Path(storage)));
    SmallFileSystem fs(storage, 64);
    if (!fs.Mounted()) GTEST_SKIP() << "neither a tmpfs nor a loop image could be mounted here (needs root)";
    testsupport::LogCapture log;

    settings.SessionDirectory = storage;
    LiveUnit unit("127.0.40.21");
    ASSERT_TRUE(unit.StartStreaming());
    store.SetActiveSlots(&unit.active);
    int awake = -1;
    RecordingContext context{store, unit.active, [this] { ++settingsSaves; }, [&](bool on) { awake = on ? 1 : 0; }};
    ASSERT_EQ(store.FindOrCreateSession("Site"), 0);
    store.RefreshSessions();
    SampleCamera(store.data, unit.Service(), 2.5);  // some history to keep

    StorageMonitor monitor(100);
    monitor.Start(storage, false);
    LowStorageWatchdog watchdog;
    ASSERT_TRUE(StartRecordings(context));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return unit.slots[0].stream.RecordedSeconds() > 1.0; },
                                       std::chrono::milliseconds(20000)));
    int64_t clock_us = 5000000;  // the watchdog's monotonic clock, driven by the test
    watchdog.Step(clock_us, context, monitor);
    EXPECT_TRUE(IsAnyRecording(unit.active));  // plenty of space still
    EXPECT_EQ(awake, 1);

    // Something else fills the disk to 40 MB free.
    uint64_t freeBytes = 0;
    ASSERT_TRUE(platform::FreeSpace(Path(storage), &freeBytes));
    ASSERT_GT(freeBytes, 45000000u);
    {
        std::ofstream filler(storage + "/filler.bin", std::ios::binary);
        const std::string block(1 << 20, 'f');
        for (uint64_t left = freeBytes - 40000000; left > 0;) {
            const size_t n = left < block.size() ? static_cast<size_t>(left) : block.size();
            filler.write(block.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return monitor.FreeBytes() >= 0 && monitor.FreeBytes() < 50000000; },
                                       std::chrono::milliseconds(10000)));
    for (int second = 0; second < 3; ++second) {
        clock_us += 1000000;
        watchdog.Step(clock_us, context, monitor);
        watchdog.Step(clock_us + 999999, context, monitor);  // within that second: no second check
    }
    monitor.Stop();

    EXPECT_FALSE(IsAnyRecording(unit.active));
    EXPECT_EQ(awake, 0);
    const std::vector<std::string> alerts = TakeAlerts();
    ASSERT_EQ(alerts.size(), 1u);  // only while a recording ran
    EXPECT_EQ(alerts[0], "Storage space is critically low. Recording stopped to ensure file integrity.");
    EXPECT_EQ(log.Count("EmergencyStop - storage space low"), 3);  // every second while the space stays low
    EXPECT_GE(settingsSaves, 3);

    // Both recordings are finished, readable files; the history is on disk.
    const std::vector<std::string> videos = VideoFiles(storage);
    ASSERT_EQ(videos.size(), 2u);
    for (const std::string& v : videos) EXPECT_GT(PacketsIn(storage + "/" + v), 5) << v;
    SessionData saved;
    LoadSessionData(Path(storage), "Site", &saved);
    ASSERT_EQ(saved.cameras.size(), 1u);
    EXPECT_EQ(saved.cameras[0]->Id(), kCameraId);
    EXPECT_EQ(saved.cameras[0]->series[0][1][0].time, 2.5);
}

}  // namespace
