// The scan link and the firmware update with the real service monitor: the
// monitor finds the simulated unit by name and starts ScanlinkProc beside
// ServiceProc; a firmware transfer restarts the unit's service, and both
// links come back, the service with the new version.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "CameraSim/Unit.h"
#include "Video/Camera/FirmwareUpdate.h"
#include "Video/Camera/ScanLink.h"
#include "Video/Camera/ScanLink/SimFixture.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ServiceMonitor.h"
#include "Support/Wait.h"

namespace {

constexpr uint32_t kOldVersion = 1002003;
constexpr uint32_t kNewVersion = 1003000;

bool PositionsArrived() {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    return scanLinkState.axisPosition[0].divisor != 0 && scanLinkState.units == kScanLinkUnitsMm;
}

uint32_t ReadyVersion() {
    picam::ServiceRef ref = picam::AcquireService(0);
    return ref->version.load();
}

class ScanLinkSystem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(folder_.Dir().c_str()), 0);
        log_ = std::make_unique<LogCapture>();
        picam::SetVersionGate(picam::kDefaultVersionGate);
    }
    void TearDown() override {
        picam::StopServiceMonitor();
        if (unit_) unit_->Stop();
        log_.reset();
        EXPECT_EQ(chdir(previous_), 0);
    }

    TempFolder folder_;
    char previous_[4096] = {};
    std::unique_ptr<LogCapture> log_;
    std::unique_ptr<camsim::Unit> unit_;
};

TEST_F(ScanLinkSystem, LinksFollowTheServiceThroughAFirmwareRestart) {
    const std::string stem = "scanlink-sys-" + std::to_string(getpid());
    camsim::Options o;
    o.address = "127.0.30.20";
    o.name = stem;
    o.serviceVersion = kOldVersion;
    o.crawlerSpeedMmS = 100;
    unit_ = std::make_unique<camsim::Unit>(o);
    ASSERT_TRUE(unit_->Start());

    picam::MonitorOptions options;
    options.stem = stem;
    picam::StartServiceMonitor(options);
    ASSERT_TRUE(testsupport::WaitUntil(PositionsArrived, std::chrono::milliseconds(15000)));
    ASSERT_TRUE(testsupport::WaitUntil([] { return ReadyVersion() == kOldVersion; }, std::chrono::milliseconds(10000)));

    std::ofstream(folder_.File("fw-1.3.0.pkg"), std::ios::binary) << std::string(123457, 'F');
    std::ofstream(folder_.File("update.ini")) << "1.2.3=fw-1.2.3.pkg\n1.3.0=fw-1.3.0.pkg,restart\n";
    {
        picam::ServiceRef ref = picam::AcquireService(0);
        ASSERT_FALSE(ref.IsNull());
        UpdateEntry offered;
        ASSERT_TRUE(CheckForUpdate(ref.Get(), &offered));
        EXPECT_EQ(offered.version, kNewVersion);
        EXPECT_EQ(UpdateService(ref.Get()), kUpdateQueued);
    }

    // The service restarts with the new version; the scan link is dropped
    // with it and opened again by the restarted ScanlinkProc.
    ASSERT_TRUE(testsupport::WaitUntil([] { return ReadyVersion() == kNewVersion; }, std::chrono::milliseconds(20000)));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log_->Count("ScanlinkProc | connected") >= 2; },
                                       std::chrono::milliseconds(10000)));
    ASSERT_TRUE(testsupport::WaitUntil(PositionsArrived, std::chrono::milliseconds(10000)));
    EXPECT_GE(log_->Count("ServiceMonitor | Restarting service (0)"), 1);
    picam::ServiceRef ref = picam::AcquireService(0);
    UpdateEntry none;
    EXPECT_FALSE(CheckForUpdate(ref.Get(), &none));
}

}  // namespace
