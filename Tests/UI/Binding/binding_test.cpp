// Camera binding against a simulated unit on this test's own loopback
// address: two channels take slots 0 and 1 and start their video threads,
// saved windows decide the view positions, and a unit that goes away stops
// its slots within a frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "App/AppState.h"
#include "App/CameraBinding.h"
#include "Base/Log.h"
#include "CameraSim/Unit.h"
#include "Support/Wait.h"
#include "Video/AV/CameraSlot.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ServiceMonitor.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

// Runs frames of the binding (every 20 ms) until the condition holds.
bool BindUntil(AppState& app, const std::function<bool()>& condition, std::chrono::seconds limit) {
    return testsupport::WaitUntil(
        [&] {
            BindCameras(app);
            AssignViewPositions(app);
            return condition();
        },
        limit);
}

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        LogSetStderr(false);
        stem_ = "orvexwinbind" + std::to_string(getpid());
        camsim::Options o;
        o.address = "127.0.50.20";
        o.name = stem_;
        o.channels = 2;
        o.cameraId = 0x5A5A;
        Tweak(o);
        unit_ = std::make_unique<camsim::Unit>(o);
        ASSERT_TRUE(unit_->Start());
        picam::SetVersionGate(9000);
        picam::MonitorOptions options;
        options.stem = stem_;
        options.scanlink = false;
        picam::StartServiceMonitor(options);
        app_ = std::make_unique<AppState>();
    }
    // Changes to the simulated unit of one test (its own address included).
    virtual void Tweak(camsim::Options&) {}
    void TearDown() override {
        if (app_) StopAllSlots(*app_);
        picam::StopServiceMonitor();
        if (unit_) unit_->Stop();
        LogSetStderr(true);
    }
    std::string stem_;
    std::unique_ptr<camsim::Unit> unit_;
    std::unique_ptr<AppState> app_;
};

TEST_F(BindingTest, TwoChannelsBindStreamAndStopWithTheUnit) {
    // Both channels saved for window 1: the first keeps it, the second moves on.
    for (int ch = 0; ch < 2; ++ch) {
        CameraEntry entry;
        entry.Id = 0x5A5A;
        entry.Index = ch;
        entry.Window = 1;
        app_->settings.CameraEntries.push_back(entry);
    }
    AppState& app = *app_;
    ASSERT_TRUE(BindUntil(app, [&] { return app.activeSlots.size() == 2; }, 20s));
    EXPECT_EQ(app.activeSlots[0], &app.slots[0]);
    EXPECT_EQ(app.activeSlots[1], &app.slots[1]);
    EXPECT_EQ(app.slots[0].channel, 0);
    EXPECT_EQ(app.slots[1].channel, 1);
    EXPECT_EQ(app.slots[1].cameraIndex, 0);
    EXPECT_EQ(app.boundSlotCount, 2);
    EXPECT_EQ(app.slots[0].viewPosition, 1);
    EXPECT_EQ(app.slots[1].viewPosition, 0);
    EXPECT_TRUE(app.slots[0].Flags() & AV::kSlotRun);
    EXPECT_TRUE(app.slots[0].thread.joinable());
    // The slot's parameter block is a copy of its channel's group.
    {
        picam::ServiceRef service = picam::AcquireService(0);
        std::lock_guard<std::mutex> guard(service->tableLock);
        EXPECT_EQ(SlotParamBlock(app, &app.slots[1]).params[picam::VideoWidth].maximum,
                  service->groups[1].params[picam::VideoWidth].maximum);
    }
    // The video threads connect to the unit's video ports.
    EXPECT_TRUE(BindUntil(
        app, [&] { return (app.slots[0].Flags() & AV::kSlotStreaming) && (app.slots[1].Flags() & AV::kSlotStreaming); },
        30s));

    // The unit goes away: its slots leave the active list and are told to stop.
    unit_->Stop();
    ASSERT_TRUE(BindUntil(app, [&] { return app.activeSlots.empty(); }, 30s));
    EXPECT_FALSE(app.slots[0].Flags() & AV::kSlotRun);
    EXPECT_FALSE(app.slots[1].Flags() & AV::kSlotRun);
}

// A unit that sends no video, so every video thread waits on the network
// (connect and receive time-outs), on its own address.
class BindingDropTest : public BindingTest {
protected:
    void Tweak(camsim::Options& o) override {
        o.address = "127.0.50.21";
        o.channels = 1;
        o.videoPauseFromS = 0;
        o.videoPauseToS = 1e6;
    }
};

// The unit drops its service connection and is connected again before any
// frame runs: the slot still restarts (its thread is a new one, started for
// the new connection), and no frame of the binding waits for the old
// thread, which is stuck in a receive of up to 3 s when it is told to stop.
TEST_F(BindingDropTest, ADropNoFrameSawRestartsTheSlotWithoutHoldingAFrame) {
    AppState& app = *app_;
    int64_t longest_us = 0;
    auto timedBind = [&](const std::function<bool()>& condition, std::chrono::seconds limit) {
        return BindUntil(
            app,
            [&] {
                // BindUntil has just run one frame of the binding; time the next one.
                const auto from = std::chrono::steady_clock::now();
                BindCameras(app);
                AssignViewPositions(app);
                const auto took = std::chrono::steady_clock::now() - from;
                longest_us = std::max<int64_t>(
                    longest_us, std::chrono::duration_cast<std::chrono::microseconds>(took).count());
                return condition();
            },
            limit);
    };
    ASSERT_TRUE(timedBind([&] { return app.activeSlots.size() == 1 && app.slots[0].thread.joinable(); }, 20s));
    uint32_t connection = 0;
    {
        picam::ServiceRef service = picam::AcquireService(0);
        connection = service->connectionNumber.load();
    }
    ASSERT_GT(connection, 0u);

    // No frame runs while the unit drops and the program reconnects.
    unit_->RestartService(0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            picam::ServiceRef service = picam::AcquireService(0);
            return !service.IsNull() && service->connectionNumber.load() > connection &&
                   service->connected.load();
        },
        20s));

    // The slot is told to stop (run clear) and, once its old thread has
    // ended, started again (run set, a live thread).
    bool stopped = false;
    ASSERT_TRUE(timedBind(
        [&] {
            const uint32_t flags = app.slots[0].Flags();
            stopped = stopped || (flags & AV::kSlotRun) == 0;
            return stopped && (flags & AV::kSlotRun) && (flags & AV::kSlotThreadLive);
        },
        30s))
        << "the slot was not restarted for the new connection";
    EXPECT_LT(longest_us, 100000) << "a frame of the binding waited for a video thread";
}

}  // namespace
