// Camera binding against a simulated unit on this test's own loopback
// address: two channels take slots 0 and 1 and start their video threads,
// saved windows decide the view positions, and a unit that goes away stops
// its slots within a frame.
#include <gtest/gtest.h>
#include <unistd.h>

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
        unit_ = std::make_unique<camsim::Unit>(o);
        ASSERT_TRUE(unit_->Start());
        picam::SetVersionGate(9000);
        picam::MonitorOptions options;
        options.stem = stem_;
        options.scanlink = false;
        picam::StartServiceMonitor(options);
        app_ = std::make_unique<AppState>();
    }
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

}  // namespace
