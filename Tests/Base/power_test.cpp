// Power events against a private message bus of the test's own: first with
// no login manager on it, so every inhibitor request is refused, as on
// systems where the login manager is missing or denies the request; then
// with a stand-in login manager that hands out locks and announces sleeps.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "Base/Power.h"
#include "Support/ChildProcess.h"
#include "Support/FakeLogind.h"
#include "Support/FileText.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"
#include "Support/Wait.h"

namespace {

class PowerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The bus daemon prints its address once it listens.
        const std::string out = folder_.File("bus.out");
        bus_ = std::make_unique<testsupport::ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            std::vector<std::string>{}, out);
        std::string address;
        const bool listening = testsupport::WaitUntil(
            [&] {
                for (const std::string& line : testfiles::Lines(testfiles::ReadText(out)))
                    if (line.rfind("unix:", 0) == 0) address = line;
                return !address.empty();
            },
            std::chrono::seconds(20));
        ASSERT_TRUE(listening) << "dbus-daemon did not start: " << testfiles::ReadText(out);
        const char* previous = getenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (previous != nullptr) previousAddress_ = previous;
        hadAddress_ = previous != nullptr;
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    void TearDown() override {
        if (hadAddress_) {
            setenv("DBUS_SYSTEM_BUS_ADDRESS", previousAddress_.c_str(), 1);
        } else {
            unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        }
    }

    // This run's log lines that contain `text`.
    int LogLines(const std::string& text) const { return log_.Count(text); }

    testsupport::LogCapture log_;
    TempFolder folder_;
    std::unique_ptr<testsupport::ChildProcess> bus_;
    bool hadAddress_ = false;
    std::string previousAddress_;
};

TEST_F(PowerTest, RefusedAwakeInhibitorIsAskedForOncePerRecording) {
    Power power;
    ASSERT_TRUE(power.Start()) << "the private bus should be reachable";
    EXPECT_EQ(LogLines("could not take the sleep inhibitor"), 1) << "the delay inhibitor is refused at start";

    // The main loop asks on every pass while a recording runs.
    for (int pass = 0; pass < 50; ++pass) {
        power.HoldAwake(true);
        EXPECT_FALSE(power.Poll());
    }
    EXPECT_EQ(LogLines("could not take the sleep:idle inhibitor"), 1);

    // The recording ends; the next one asks again, once.
    for (int pass = 0; pass < 5; ++pass) power.HoldAwake(false);
    for (int pass = 0; pass < 50; ++pass) power.HoldAwake(true);
    EXPECT_EQ(LogLines("could not take the sleep:idle inhibitor"), 2);
    power.Stop();
    EXPECT_FALSE(power.Connected());
}

}  // namespace

// ---- against a stand-in login manager on a private bus ---------------------------

namespace {

using namespace std::chrono_literals;

class PowerLogindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Dir().empty());
        logind_ = std::make_unique<testsupport::FakeLogind>(folder_.Dir(), delayMax_s_);
        ASSERT_TRUE(logind_->Ready()) << logind_->Diagnostics();
        bus_ = std::make_unique<testsupport::SystemBusOverride>(logind_->Address());
    }
    void TearDown() override {
        bus_.reset();
        logind_.reset();
    }
    // Polls as the main loop does, once per pass, until a sleep is announced.
    bool PollUntilAnnounced(Power& power) {
        return testsupport::WaitUntil([&] { return power.Poll(); }, 10s, 10ms);
    }
    bool Holds(const std::string& lock) {
        for (const std::string& held : logind_->Inhibitors())
            if (held == lock) return true;
        return false;
    }

    double delayMax_s_ = 5.0;
    testsupport::LogCapture log_;
    TempFolder folder_;
    std::unique_ptr<testsupport::FakeLogind> logind_;
    std::unique_ptr<testsupport::SystemBusOverride> bus_;
};

const std::string kDelayLock = "sleep delay ORVEX Studio";
const std::string kAwakeLock = "sleep:idle block ORVEX Studio";

TEST_F(PowerLogindTest, DelayLockAtStartAndAwakeLockOnlyWhileRecording) {
    Power power;
    ASSERT_TRUE(power.Start());
    EXPECT_EQ(logind_->Inhibitors(), std::vector<std::string>{kDelayLock});

    for (int pass = 0; pass < 20; ++pass) power.HoldAwake(true);  // every loop pass while recording
    EXPECT_EQ(logind_->Count("inhibit sleep:idle block ORVEX Studio"), 1);
    EXPECT_TRUE(Holds(kAwakeLock));
    power.HoldAwake(false);  // the recording stopped
    EXPECT_TRUE(logind_->WaitForEvent("release sleep:idle block ORVEX Studio", 10s));
    EXPECT_FALSE(Holds(kAwakeLock));
    EXPECT_TRUE(Holds(kDelayLock));

    power.HoldAwake(true);  // the next recording
    EXPECT_TRUE(Holds(kAwakeLock));
    power.Stop();
    EXPECT_TRUE(logind_->WaitForEvent("release sleep:idle block ORVEX Studio", 10s, 2));
    EXPECT_TRUE(logind_->WaitForEvent("release sleep delay ORVEX Studio", 10s));
    EXPECT_TRUE(logind_->Inhibitors().empty());
}

TEST_F(PowerLogindTest, SleepWaitsUntilHandledAndTheDelayLockComesBackOnWaking) {
    Power power;
    ASSERT_TRUE(power.Start());
    power.HoldAwake(true);
    ASSERT_TRUE(logind_->Suspend());
    ASSERT_TRUE(PollUntilAnnounced(power)) << logind_->Events();
    // Announced, not yet handled: the delay lock holds the sleep back.
    EXPECT_EQ(logind_->Count("sleep (delay released)"), 0) << logind_->Events();
    EXPECT_TRUE(Holds(kDelayLock));

    // What the main loop does: stop the recordings (which releases the awake
    // lock), then let the sleep go on.
    power.HoldAwake(false);
    power.SleepHandled();
    ASSERT_TRUE(logind_->WaitForEvent("sleep (delay released)", 10s)) << logind_->Events();
    ASSERT_TRUE(logind_->WaitForEvent("PrepareForSleep false", 10s));
    // Woken up: the next poll takes the delay lock for the next sleep.
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            EXPECT_FALSE(power.Poll());
            return Holds(kDelayLock);
        },
        10s, 10ms))
        << logind_->Events();
    EXPECT_EQ(logind_->Count("inhibit sleep delay ORVEX Studio"), 2);

    // And the next sleep is held back again.
    ASSERT_TRUE(logind_->Suspend());
    ASSERT_TRUE(PollUntilAnnounced(power));
    EXPECT_EQ(logind_->Count("sleep (delay released)"), 1);
    power.SleepHandled();
    EXPECT_TRUE(logind_->WaitForEvent("sleep (delay released)", 10s, 2)) << logind_->Events();
}

class PowerLogindShortDelayTest : public PowerLogindTest {
protected:
    PowerLogindShortDelayTest() { delayMax_s_ = 0.3; }
};

TEST_F(PowerLogindShortDelayTest, SleepAndWakeBetweenTwoPollsStillLeavesADelayLockForTheNextSleep) {
    Power power;
    ASSERT_TRUE(power.Start());
    // The loop is busy for longer than the login manager waits: the machine
    // sleeps and wakes before the program looks.
    ASSERT_TRUE(logind_->Suspend());
    ASSERT_TRUE(logind_->WaitForEvent("sleep (delay timed out)", 10s)) << logind_->Events();
    ASSERT_TRUE(logind_->WaitForEvent("PrepareForSleep false", 10s));
    EXPECT_TRUE(PollUntilAnnounced(power)) << "the recordings are stopped late rather than never";
    power.SleepHandled();
    // Usually both announcements are read in that one poll; when the wake-up
    // comes a poll later it is taken there. Either way the main loop goes on
    // polling and ends up holding the delay lock again, announced once.
    int announcements = 0;
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            announcements += power.Poll();
            return Holds(kDelayLock);
        },
        10s, 10ms))
        << logind_->Events();
    EXPECT_EQ(announcements, 0);
    EXPECT_EQ(logind_->Count("inhibit sleep delay ORVEX Studio"), 2);
}

}  // namespace
