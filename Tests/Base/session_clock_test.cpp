// The session clock follows the monotonic time that passed between steps,
// whatever the frame rate, and leaves out only gaps (steps over a second).
#include <gtest/gtest.h>

#include <vector>

#include "Base/SessionClock.h"
#include "Support/LogCapture.h"

namespace {

struct ClockCase {
    const char* name;
    std::vector<int64_t> steps_us;  // monotonic times of the steps after one at 5,000,000 us
    int64_t elapsed_us;             // what the session clock shows after them
    int64_t leftOut_us;
};

TEST(SessionClock, FollowsTheMonotonicClockAndLeavesOutGaps) {
    const ClockCase cases[] = {
        {"no step after the first", {}, 0, 0},
        {"60 Hz frames", {5016667, 5033333, 5050000}, 50000, 0},
        {"slow 100 ms frames count in full (no 33 ms cap)", {5100000, 5200000, 5300000}, 300000, 0},
        {"uneven frames, then a 31 s stall", {5200000, 5900000, 6000000, 6999999, 38000000}, 1999999, 31000001},
        {"a step of exactly one second still counts", {6000000}, 1000000, 0},
        {"a 1.5 s stall is left out, the frames around it count", {5020000, 6520000, 6540000}, 40000, 1500000},
        {"a 10 minute jump is left out", {5010000, 605010000, 605030000}, 30000, 600000000},
        {"a clock that goes back adds nothing", {5050000, 5040000, 5060000}, 70000, 0},
    };
    for (const ClockCase& c : cases) {
        testsupport::LogCapture log;
        SessionClockState clock;
        int64_t elapsed = SessionClockStep(&clock, 5000000);
        EXPECT_EQ(elapsed, 0) << c.name;
        for (int64_t t : c.steps_us) elapsed += SessionClockStep(&clock, t);
        EXPECT_EQ(elapsed, c.elapsed_us) << c.name;
        EXPECT_EQ(clock.leftOut_us, c.leftOut_us) << c.name;
        EXPECT_EQ(log.Contains("left out of the session time"), c.leftOut_us > 0) << c.name << "\n" << log.Text();
    }
    {
        testsupport::LogCapture log;
        SessionClockState clock;
        SessionClockStep(&clock, 1000000);
        EXPECT_EQ(SessionClockStep(&clock, 32000001), 0);
        EXPECT_TRUE(log.Contains("INFO : Session clock | a stall of 31.0 s left out of the session time")) << log.Text();
    }
}

// Ten minutes of frames at an uneven rate between 5 and 400 ms: the session
// clock ends at ten minutes, as the recordings do.
TEST(SessionClock, UnevenFramesAddUpToTheTimeThatPassed) {
    SessionClockState clock;
    int64_t now = 1000;
    int64_t elapsed = SessionClockStep(&clock, now);
    const int64_t steps[] = {5000, 16667, 33333, 50000, 120000, 400000, 7000};
    size_t i = 0;
    while (now < 1000 + 600000000) {
        now += steps[i++ % (sizeof steps / sizeof steps[0])];
        elapsed += SessionClockStep(&clock, now);
    }
    EXPECT_EQ(elapsed, now - 1000);
    EXPECT_EQ(clock.leftOut_us, 0);
}

}  // namespace
