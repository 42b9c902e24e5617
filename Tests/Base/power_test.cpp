// Power events against a private message bus of the test's own that has no
// login manager on it: every inhibitor request is refused, as on systems
// where the login manager is missing or denies the request.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "Base/Power.h"
#include "Support/ChildProcess.h"
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
