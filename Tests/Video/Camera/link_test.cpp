// The camera link end to end over loopback: the service monitor finds
// simulated units by their mDNS names, ServiceProc mirrors them, and the
// failure paths end and restart connections. Every test owns its addresses
// (127.0.10.30 and up) and its own host-name stem.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

#include "CameraSim/Unit.h"
#include "CameraTestUtil.h"
#include "Video/Camera/Catalogue.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ServiceMonitor.h"
#include "Video/Camera/Socket.h"
#include "Support/Wait.h"

namespace {

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override { picam::SetVersionGate(picam::kDefaultVersionGate); }
    void TearDown() override { picam::StopServiceMonitor(); }

    std::unique_ptr<camsim::Unit> StartUnit(const std::string& address, const std::string& name,
                                            std::function<void(camsim::Options&)> adjust = nullptr) {
        camsim::Options o;
        o.address = address;
        o.name = name;
        if (adjust) adjust(o);
        auto unit = std::make_unique<camsim::Unit>(o);
        EXPECT_TRUE(unit->Start());
        return unit;
    }

    // The scan-link thread runs beside ServiceProc as in the program unless
    // a test looks at the service connection alone.
    void StartMonitor(bool scanlink = false) {
        picam::MonitorOptions options;
        options.stem = stem;
        options.scanlink = scanlink;
        picam::StartServiceMonitor(options);
    }

    static size_t ListSize() {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        return picam::ServiceList.size();
    }
    static picam::Service* At(size_t i) {
        std::lock_guard<std::mutex> lock(picam::serviceListLock);
        return i < picam::ServiceList.size() ? picam::ServiceList[i] : nullptr;
    }
    // Value of a mirrored record, read under tableLock.
    static picam::ParamRecord Mirror(picam::Service* s, int group, int index) {
        std::lock_guard<std::mutex> lock(s->tableLock);
        return s->groups[group].params[index];
    }
    static bool Ready(size_t i) {
        picam::ServiceRef ref = picam::AcquireService(static_cast<int>(i));
        return !ref.IsNull();
    }

    cameratest::LogCapture log;
    std::string stem = cameratest::UniqueStem(::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(LinkTest, FindsTwoUnitsAndReadsEverything) {
    auto a = StartUnit("127.0.10.30", stem, [](camsim::Options& o) { o.cameraId = 0xABC1; });
    auto b = StartUnit("127.0.10.31", stem + "-2", [](camsim::Options& o) {
        o.cameraId = 0xABC2;
        o.channels = 1;
    });
    StartMonitor(true);
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0) && Ready(1); }, std::chrono::milliseconds(10000)))
        << log.Text();
    EXPECT_TRUE(log.Contains("ServiceMonitor | Found host ip (127.0.10.30), starting service[0]"));
    EXPECT_TRUE(log.Contains("ServiceMonitor | Found host ip (127.0.10.31), starting service[1]"));
    EXPECT_EQ(ListSize(), 2u);
    EXPECT_EQ(At(0)->Host(), "127.0.10.30");
    EXPECT_EQ(At(1)->Host(), "127.0.10.31");
    EXPECT_TRUE(
        testsupport::WaitUntil([] { return picam::CountConnectedServices() == 2; }, std::chrono::milliseconds(10000)));
    EXPECT_EQ(picam::CountReadyServices(), 2);

    // The full read: every described record of the unit arrives complete.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            return Mirror(At(0), 1, picam::GuideColor).optionCount == 0 &&
                   !picam::IsNullParam(Mirror(At(0), 1, picam::GuideColor));
        },
        std::chrono::milliseconds(10000)));
    for (int g = 0; g < 2; ++g) {
        for (int i = 0; i < picam::kExchangedParams; ++i) {
            const camsim::ParamWords want = a->Param(g, i);
            const picam::ParamRecord got = Mirror(At(0), g, i);
            // Words 1.. are the description; word 0 of live status words moves.
            for (int w = 1; w < 55; ++w)
                ASSERT_EQ(reinterpret_cast<const int32_t*>(&got)[w], want[static_cast<size_t>(w)])
                    << "group " << g << " index " << i << " word " << w;
        }
    }
    EXPECT_EQ(Mirror(At(0), 0, picam::CameraId).value, 0xABC1);
    EXPECT_EQ(Mirror(At(1), 0, picam::CameraId).value, 0xABC2);
    EXPECT_EQ(Mirror(At(1), 0, picam::GroupCount).value, 1);
    EXPECT_TRUE(picam::IsNullParam(Mirror(At(1), 1, picam::Brightness)));  // one-channel unit
    char name[256];
    At(0)->GetMessageValue(0, 0, name);
    EXPECT_STREQ(name, "ORVEX CU-2");
    {
        // The pending counts settle once replies arrive.
        std::lock_guard<std::mutex> lock(At(0)->tableLock);
        EXPECT_EQ(At(0)->pendingParam[0][picam::Brightness], 0);
    }
    // The polled status words keep moving.
    const int32_t fast = Mirror(At(0), 0, picam::FastStatus).value;
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Mirror(At(0), 0, picam::FastStatus).value != fast; },
                                       std::chrono::milliseconds(10000)));
    EXPECT_EQ(log.Count("ServiceMonitor | Found host ip"), 2);  // -3 is looked for, never logged

    const auto start = std::chrono::steady_clock::now();
    picam::StopServiceMonitor();
    EXPECT_LT(cameratest::SecondsSince(start), 2.5);
    EXPECT_EQ(ListSize(), 0u);
    EXPECT_EQ(log.Count("ServiceProc | thread stopped"), 2);
}

TEST_F(LinkTest, TwoNamesOnOneAddressGiveOneService) {
    auto a = StartUnit("127.0.10.32", stem);
    cameratest::ExtraName alias(stem + "-2.local", "127.0.10.32");
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    // Give discovery time for many passes over the alias.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(ListSize(), 1u);
    EXPECT_EQ(log.Count("ServiceMonitor | Found host ip"), 1);
}

TEST_F(LinkTest, WriteReachesTheUnitAndTheMirrorSettles) {
    auto a = StartUnit("127.0.10.33", stem);
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    {
        picam::ServiceRef ref = picam::AcquireService(0);
        std::lock_guard<std::mutex> lock(ref->tableLock);
        ref->SetParam_locked(0, picam::FlipHorizontal, 1);
        ref->SetParam_locked(1, picam::Brightness, 70);
        ref->SetMessageValue_locked(0, picam::AnnotationText, "12:00:00");
        ref->PackChanges_locked();
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return a->ParamValue(0, picam::FlipHorizontal) == 1; },
                                       std::chrono::milliseconds(10000)));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return a->ParamValue(1, picam::Brightness) == 70; },
                                       std::chrono::milliseconds(10000)));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return a->Message(0, picam::AnnotationText) == "12:00:00"; },
                                       std::chrono::milliseconds(10000)));
    picam::ServiceRef ref = picam::AcquireService(0);
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(ref->tableLock);
            return ref->pendingParam[0][picam::FlipHorizontal] == 0 && ref->pendingParam[1][picam::Brightness] == 0;
        },
        std::chrono::milliseconds(10000)));
}

TEST_F(LinkTest, BelowTheVersionGateNothingIsWritten) {
    auto a = StartUnit("127.0.10.34", stem, [](camsim::Options& o) { o.serviceVersion = 8999; });
    const uint64_t generation = a->Generation();
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    picam::Service* s = At(0);
    EXPECT_EQ(s->version.load(), 8999u);
    EXPECT_EQ(Mirror(s, 0, picam::GroupCount).value, 2);
    EXPECT_TRUE(picam::IsNullParam(Mirror(s, 0, picam::Brightness)));
    {
        // Even a forced write mark goes out as a read.
        std::lock_guard<std::mutex> lock(s->tableLock);
        s->paramDirty[0][picam::PlatformRevision] = picam::kDirtyWrite;
        s->paramDirty[0][picam::Command] = picam::kDirtyWrite;
        s->messageDirty[0][picam::CameraName] = 6;
        s->PackChanges_locked();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(a->Generation(), generation);
    EXPECT_FALSE(a->ServiceDown());
}

TEST_F(LinkTest, StalledUnitTimesOutAndIsRestarted) {
    auto a = StartUnit("127.0.10.35", stem, [](camsim::Options& o) { o.stallAfterS = 1.5; });
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    // The last answer comes at 1.5 s of unit time; the 1 s receive time-out
    // (four poll ticks, so before the three-tick watchdog can count them)
    // ends the connection.
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return log.Contains("ServiceProc | recv size error: Connection timed out"); },
                               std::chrono::milliseconds(10000)))
        << log.Text();
    EXPECT_LT(a->Uptime(), 1.5 + 1.0 + 1.5);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return log.Contains("ServiceMonitor | Restarting service (0)"); },
                                       std::chrono::milliseconds(10000)));
    const std::string text = log.Text();
    const size_t timedOut = text.find("recv size error");
    const size_t notConnected = text.find("ServiceProc | not connected", timedOut);
    const size_t stopped = text.find("ServiceProc | thread stopped", notConnected);
    const size_t restarted = text.find("ServiceMonitor | Restarting service (0)", stopped);
    EXPECT_NE(notConnected, std::string::npos);
    EXPECT_NE(stopped, std::string::npos);
    EXPECT_NE(restarted, std::string::npos);
}

TEST_F(LinkTest, RestartedUnitIsFoundAgainAndReadFromScratch) {
    auto a = StartUnit("127.0.10.36", stem, [](camsim::Options& o) { o.cameraId = 0x5151; });
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    picam::Service* s = At(0);
    {
        std::lock_guard<std::mutex> lock(s->tableLock);
        s->SetParam_locked(0, picam::Command, picam::kCommandRestartService);
        s->PackChanges_locked();
    }
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Contains("ServiceProc | not connected"); },
                                       std::chrono::milliseconds(10000)))
        << log.Text();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Contains("ServiceMonitor | Restarting service (0)"); },
                                       std::chrono::milliseconds(10000)));
    // The restart emptied the mirror; it is read again from the unit.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            return s->connected.load() && s->version.load() != 0 &&
                   Mirror(s, 1, picam::GuideColor).maximum == INT32_MAX;
        },
        std::chrono::milliseconds(10000)))
        << log.Text();
    EXPECT_EQ(Mirror(s, 0, picam::CameraId).value, 0x5151);
    EXPECT_EQ(Mirror(s, 0, picam::Command).value, 0);
    EXPECT_EQ(ListSize(), 1u);
}

TEST_F(LinkTest, ShutDownWhileTheUnitIsUnreachable) {
    auto a = StartUnit("127.0.10.37", stem, [](camsim::Options& o) { o.mdns = false; });
    cameratest::ExtraName name(stem + ".local", "127.0.10.37");
    StartMonitor();
    ASSERT_TRUE(testsupport::WaitUntil([] { return Ready(0); }, std::chrono::milliseconds(10000)));
    a->Stop();
    a.reset();
    // Now nothing accepts on the address: a listener with a full queue that
    // never accepts makes every connect wait its whole 2 s.
    int blackhole = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(blackhole, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(picam::kServicePort);
    inet_pton(AF_INET, "127.0.10.37", &sa.sin_addr);
    ASSERT_EQ(bind(blackhole, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    listen(blackhole, 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int fd = ConnectTcp("127.0.10.37", picam::kServicePort, 100000);
        if (fd < 0) break;
        fillers.push_back(fd);
    }
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            return log.Contains("ServiceProc | connecting to 127.0.10.37:8008") &&
                   log.Count("ServiceProc | connecting to") >= 2;
        },
        std::chrono::milliseconds(10000)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // inside a pending connect
    const auto start = std::chrono::steady_clock::now();
    picam::StopServiceMonitor();
    EXPECT_LT(cameratest::SecondsSince(start), 2.5);
    EXPECT_EQ(ListSize(), 0u);
    EXPECT_TRUE(log.Contains("ServiceProc | thread stopped"));
    for (int fd : fillers) close(fd);
    close(blackhole);
}

TEST(HostNames, StemAndNumberedVariants) {
    EXPECT_EQ(picam::HostNameForIndex(0), "orvexcam.local");
    EXPECT_EQ(picam::HostNameForIndex(1), "orvexcam-2.local");
    EXPECT_EQ(picam::HostNameForIndex(2, "cam"), "cam-3.local");
}

}  // namespace
