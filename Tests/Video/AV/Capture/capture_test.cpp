#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Base/Log.h"
#include "CameraSim/Unit.h"
#include "Support/Wait.h"
#include "Video/AV/CameraSlot.h"
#include "Video/AV/SlotSnapshot.h"
#include "Video/Camera/Capture.h"
#include "Video/Camera/Service.h"

namespace {

// One capture's outcome, delivered on the capture thread.
struct Outcome {
    std::mutex lock;
    std::condition_variable done;
    bool called = false;
    std::vector<uint8_t> bytes;
    std::thread::id thread;

    CaptureCallback Callback() {
        return [this](const uint8_t* data, size_t size) {
            std::lock_guard<std::mutex> hold(lock);
            if (data != nullptr) bytes.assign(data, data + size);
            thread = std::this_thread::get_id();
            called = true;
            done.notify_all();
        };
    }
    bool Wait(int seconds) {
        std::unique_lock<std::mutex> hold(lock);
        return done.wait_for(hold, std::chrono::seconds(seconds), [this] { return called; });
    }
};

camsim::ParamWords Shown(int32_t value) {
    camsim::ParamWords w{};
    w[0] = w[1] = value;
    w[3] = 100000;
    w[4] = w[5] = 1;
    return w;
}

// Width and height of the first start-of-frame segment, walking the markers.
bool JpegSize(const std::vector<uint8_t>& j, int* width, int* height) {
    size_t at = 2;
    while (at + 9 < j.size() && j[at] == 0xFF) {
        const uint8_t marker = j[at + 1];
        const size_t length = (size_t{j[at + 2]} << 8) | j[at + 3];
        if (marker >= 0xC0 && marker <= 0xC2) {
            *height = (j[at + 5] << 8) | j[at + 6];
            *width = (j[at + 7] << 8) | j[at + 8];
            return true;
        }
        at += 2 + length;
    }
    return false;
}

camsim::Options SimOptions(const std::string& address) {
    camsim::Options o;
    o.address = address;
    o.mdns = false;
    return o;
}

TEST(Capture, SixMillionByteStillArrivesWholeAtTheStillSettings) {
    camsim::Options o = SimOptions("127.0.40.1");
    o.captureSizeBytes = 6000000;  // exactly the first buffer: it must grow once
    camsim::Unit unit(o);
    unit.SetParam(1, 123, Shown(640));
    unit.SetParam(1, 124, Shown(480));
    unit.SetParam(1, 125, Shown(90));
    ASSERT_TRUE(unit.Start());
    picam::Service service;
    service.SetHost("127.0.40.1");
    Outcome out;
    StartCapture(service, 1, out.Callback());
    ASSERT_TRUE(out.Wait(30));
    std::lock_guard<std::mutex> hold(out.lock);
    ASSERT_EQ(out.bytes.size(), 6000000u);
    EXPECT_EQ(out.bytes[0], 0xFF);
    EXPECT_EQ(out.bytes[1], 0xD8);
    EXPECT_EQ(out.bytes[out.bytes.size() - 2], 0xFF);
    EXPECT_EQ(out.bytes[out.bytes.size() - 1], 0xD9);
    int w = 0, h = 0;
    ASSERT_TRUE(JpegSize(out.bytes, &w, &h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_NE(out.thread, std::this_thread::get_id());
}

TEST(Capture, FailuresDeliverNothing) {
    // No host: the callback runs at once on the caller's thread.
    picam::Service nobody;
    Outcome none;
    StartCapture(nobody, 0, none.Callback());
    EXPECT_TRUE(none.called);
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_EQ(none.thread, std::this_thread::get_id());

    // A camera that closes without sending.
    camsim::Options o = SimOptions("127.0.40.2");
    o.captureFail = true;
    camsim::Unit unit(o);
    ASSERT_TRUE(unit.Start());
    picam::Service service;
    service.SetHost("127.0.40.2");
    Outcome closed;
    StartCapture(service, 0, closed.Callback());
    ASSERT_TRUE(closed.Wait(20));
    EXPECT_TRUE(closed.bytes.empty());

    // Nothing listens on this address.
    picam::Service absent;
    absent.SetHost("127.0.40.250");
    Outcome refused;
    StartCapture(absent, 0, refused.Callback());
    ASSERT_TRUE(refused.Wait(20));
    EXPECT_TRUE(refused.bytes.empty());
}

// A ready unit in the program's service list for RequestSnapshot.
class RequestSnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test owns its address: ctest may run them side by side.
        address = std::string("127.0.40.") +
                  (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).find("Silent") == 0
                       ? "4"
                       : "3");
        service.version = 1002003;
        service.SetHost(address);
        {
            std::lock_guard<std::mutex> hold(service.tableLock);
            service.groups[0].params[1].value = 0x4F525831;
            picam::ParamRecord& width = service.groups[0].params[123];
            width.value = 320;
            width.scaleNum = 2;  // shown value 640
            width.scaleDen = 1;
            service.groups[0].params[124].value = 240;
            service.groups[0].params[124].scaleNum = 2;
            service.groups[0].params[124].scaleDen = 1;
            service.groups[0].params[125].value = 75;
            service.groups[0].params[125].scaleNum = 1;
            service.groups[0].params[125].scaleDen = 1;
        }
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        picam::ServiceList.push_back(&service);
        slot.cameraIndex = static_cast<int>(picam::ServiceList.size()) - 1;
        slot.channel = 0;
    }
    void TearDown() override {
        std::lock_guard<std::mutex> hold(picam::serviceListLock);
        picam::ServiceList.clear();
    }
    bool WaitCleared(int seconds) {
        return testsupport::WaitUntil([&] { return (slot.Flags() & AV::kSlotCapturing) == 0; },
                                      std::chrono::seconds(seconds));
    }

    std::string address;
    picam::Service service;
    AV::CameraSlot slot;
    SnapshotSaveQueue queue;
};

TEST_F(RequestSnapshotTest, QueuesTheStillWithItsNamingFacts) {
    camsim::Unit unit(SimOptions(address));
    unit.SetParam(0, 123, Shown(640));
    unit.SetParam(0, 124, Shown(480));
    ASSERT_TRUE(unit.Start());
    RequestSnapshot(slot, 5000000, queue);  // not streaming: nothing happens
    EXPECT_EQ(slot.Flags() & AV::kSlotCapturing, 0u);

    slot.SetFlags(AV::kSlotStreaming, 0);
    RequestSnapshot(slot, 7250000, queue);
    EXPECT_NE(slot.Flags() & AV::kSlotCapturing, 0u);
    ASSERT_TRUE(WaitCleared(30));
    std::lock_guard<std::mutex> hold(queue.Lock());
    ASSERT_EQ(queue.Items_locked().size(), 1u);
    const CaptureRequest& r = queue.Items_locked()[0];
    EXPECT_EQ(r.slot, &slot);
    EXPECT_EQ(r.mediaType, 2);
    EXPECT_EQ(r.sessionTime, 7250000);
    EXPECT_EQ(r.cameraId, 0x4F525831);
    EXPECT_EQ(r.group, 0);
    EXPECT_EQ(r.imageWidth, 640);
    EXPECT_EQ(r.imageHeight, 480);
    EXPECT_EQ(r.jpegQuality, 75);
    int w = 0, h = 0;
    ASSERT_TRUE(JpegSize(r.jpeg, &w, &h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST_F(RequestSnapshotTest, SilentCameraTimesOutAndClearsThePendingFlag) {
    camsim::Options o = SimOptions(address);
    o.captureDelayMs = 8000;  // accepts, then sends nothing for longer than the 5 s receive limit
    camsim::Unit unit(o);
    ASSERT_TRUE(unit.Start());
    slot.SetFlags(AV::kSlotStreaming, 0);
    const auto start = std::chrono::steady_clock::now();
    RequestSnapshot(slot, 1, queue);
    ASSERT_TRUE(WaitCleared(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));
    EXPECT_EQ(queue.Size(), 0u);
}

}  // namespace
