// The main loop's frame pacing on a clock of the test's own: the loop is
// played out event by event (pictures arriving from a video thread, input,
// frames that take time), and what a viewer would see is checked: how long
// each queued picture waits for the frame that shows it, that no two frames
// start within one display refresh, and that the idle frames keep the
// once-per-frame steps going.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "App/FramePacer.h"

namespace {

using pacing::FrameCost;
using pacing::FramePacer;
using pacing::FrameStats;

constexpr int64_t kRefresh = FramePacer::kRefresh_us;

struct Played {
    std::vector<int64_t> waits_us;   // per shown picture: queued -> start of the frame that showed it
    std::vector<int64_t> shownAt_us; // when each of those frames started
    std::vector<int64_t> frames_us;  // frame start times
    int woken = 0;
};

// The loop of Studio.cpp's MainLoop with the pacer: wait for an event until
// the frame is due, take one event per pass, else run a frame that lasts
// `frameCost_us`.
// Pictures are queued at `arrivals_us` (sorted) into a stream's queue of at
// most four (the oldest dropped), with one wake-up for all that came while
// the loop was busy; each frame shows the oldest one and tells the pacer
// when more are waiting.
Played Play(const std::vector<int64_t>& arrivals_us, int64_t end_us, int64_t frameCost_us) {
    FramePacer pacer;
    Played out;
    std::vector<int64_t> queue;
    size_t next = 0;
    int64_t now = 0;
    while (now < end_us) {
        const int64_t wait = pacer.Wait_us(now);
        EXPECT_GE(wait, 0);
        EXPECT_LE(wait, FramePacer::kLongestWait_us);
        const int64_t arrival = next < arrivals_us.size() ? arrivals_us[next] : std::numeric_limits<int64_t>::max();
        if (arrival <= now + wait) {  // a wake-up ends the wait (or is already there)
            now = std::max(now, arrival);
            // Pictures queued while the loop was busy share one wake-up: a
            // video thread pushes one only when none is pending.
            while (next < arrivals_us.size() && arrivals_us[next] <= now) {
                if (queue.size() >= 4) queue.erase(queue.begin());
                queue.push_back(arrivals_us[next++]);
            }
            pacer.PictureQueued(now);
            continue;
        }
        if (wait > 0) {
            now += wait;
            continue;
        }
        out.woken += pacer.FrameStarted(now) ? 1 : 0;
        out.frames_us.push_back(now);
        if (!queue.empty()) {
            out.waits_us.push_back(now - queue.front());
            out.shownAt_us.push_back(now);
            queue.erase(queue.begin());
        }
        now += frameCost_us;
        if (!queue.empty()) pacer.PicturesWaiting();
    }
    return out;
}

// Pictures every `interval_us` from `phase_us`, moved by a repeating jitter
// pattern (decoding takes a little more or less each time).
std::vector<int64_t> Stream(int64_t phase_us, int64_t interval_us, int64_t end_us, int64_t jitter_us) {
    const int64_t pattern[] = {0, 1, -1, 2, -2, 1, 0, -1};
    std::vector<int64_t> t;
    for (int i = 0;; ++i) {
        const int64_t at = phase_us + i * interval_us + pattern[i % 8] * jitter_us / 2;
        if (at >= end_us) break;
        t.push_back(at);
    }
    return t;
}

int64_t SmallestGap(const std::vector<int64_t>& frames) {
    int64_t gap = std::numeric_limits<int64_t>::max();
    for (size_t i = 1; i < frames.size(); ++i) gap = std::min(gap, frames[i] - frames[i - 1]);
    return gap;
}

TEST(FramePacer, QueuedPicturesAreShownAtOnceAndFramesStayOnePerRefresh) {
    struct Case {
        const char* name;
        int64_t interval_us, jitter_us, frameCost_us;
        int minFramesPerSecond;
    } cases[] = {
        {"30/s, steady, cheap frames", 33333, 0, 2000, 29},
        {"30/s, decode jitter of 2 ms, 10 ms frames", 33333, 2000, 10000, 29},
        {"25/s, 8 ms frames", 40000, 1000, 8000, 30},
        {"15/s: idle frames fill in", 66667, 1000, 5000, 30},
        {"60/s: a picture every refresh", 16667, 0, 4000, 59},
    };
    constexpr int64_t kEnd = 10000000;  // 10 s
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Played p = Play(Stream(7000, c.interval_us, kEnd, c.jitter_us), kEnd, c.frameCost_us);
        ASSERT_GT(p.waits_us.size(), 10u);
        // After the first second (the interval is learnt, a bad phase caught
        // up) every picture is shown by a frame that starts when it is
        // queued: no timer tick waited for.
        int64_t longest = 0;
        for (size_t i = 0; i < p.waits_us.size(); ++i)
            if (i >= p.waits_us.size() / 10) longest = std::max(longest, p.waits_us[i]);
        EXPECT_EQ(longest, 0) << "a picture waited " << longest << " us";
        EXPECT_GE(SmallestGap(p.frames_us), kRefresh - FramePacer::kPictureCatchUp_us) << "two frames within one refresh";
        const double perSecond = double(p.frames_us.size()) / (double(kEnd) / 1e6);
        EXPECT_GE(perSecond, c.minFramesPerSecond);
        EXPECT_LE(perSecond, 61.0);
    }
}

// The network holds three pictures back and delivers them together (or the
// decoder catches up after a slow picture): three wait in the queue. They
// drain at one per refresh, and within a second every picture is again
// shown when it is queued; without the drain each later picture would be
// shown two pictures late for as long as the stream runs.
TEST(FramePacer, ABacklogAfterABurstDrains) {
    constexpr int64_t kEnd = 6000000;
    std::vector<int64_t> arrivals = Stream(7000, 33333, kEnd, 1000);
    arrivals[90] = arrivals[91] = arrivals[92];
    const int64_t burst = arrivals[92];
    const Played p = Play(arrivals, kEnd, 8000);
    int64_t worst = 0, after = 0;
    for (size_t i = 0; i < p.waits_us.size(); ++i) {
        if (p.shownAt_us[i] >= burst && p.shownAt_us[i] < burst + 300000) worst = std::max(worst, p.waits_us[i]);
        if (p.shownAt_us[i] > burst + 1000000) after = std::max(after, p.waits_us[i]);
    }
    EXPECT_GT(worst, 15000) << "the burst did not hold pictures back";
    EXPECT_EQ(after, 0) << "a picture a second after the burst still waited " << after << " us";
}

TEST(FramePacer, IdleFramesRunEveryRefreshAndPicturesWithinARefreshOfTheLastFrameWait) {
    FramePacer pacer;
    EXPECT_EQ(pacer.Wait_us(123), 0) << "the first frame runs at once";
    EXPECT_FALSE(pacer.FrameStarted(1000));
    EXPECT_EQ(pacer.Wait_us(1000), kRefresh);
    EXPECT_EQ(pacer.Wait_us(1000 + kRefresh), 0);
    EXPECT_EQ(pacer.Wait_us(1000 + kRefresh + 5000), 0) << "late: run now";
    // A picture 5 ms after the frame waits for the rest of the refresh only
    // (less the catch-up allowance).
    EXPECT_FALSE(pacer.FrameStarted(100000));
    pacer.PictureQueued(105000);
    EXPECT_EQ(pacer.Wait_us(105000), kRefresh - 5000 - FramePacer::kPictureCatchUp_us);
    EXPECT_TRUE(pacer.FrameStarted(100000 + kRefresh));
    // Input counts as new content as well.
    pacer.InputArrived(130000);
    EXPECT_EQ(pacer.Wait_us(130000), 100000 + 2 * kRefresh - 130000);
    EXPECT_TRUE(pacer.FrameStarted(100000 + 2 * kRefresh));
}

TEST(FramePacer, AStoppedStreamGoesBackToIdleFramesAndWaitsAreBounded) {
    // 30/s for one second, then nothing: after the last picture the idle
    // frames are never more than two refreshes apart.
    constexpr int64_t kEnd = 3000000;
    const Played p = Play(Stream(5000, 33333, 1000000, 0), kEnd, 3000);
    int64_t widest = 0;
    for (size_t i = 1; i < p.frames_us.size(); ++i)
        if (p.frames_us[i] > 1100000) widest = std::max(widest, p.frames_us[i] - p.frames_us[i - 1]);
    EXPECT_GT(widest, 0);
    EXPECT_LE(widest, kRefresh + 1);

    // A paused stream (an interval far above the longest) is not expected:
    // idle frames keep their refresh.
    FramePacer pacer;
    pacer.FrameStarted(0);
    pacer.PictureQueued(1000);
    pacer.FrameStarted(kRefresh);
    pacer.PictureQueued(1000 + 500000);
    pacer.FrameStarted(500000 + kRefresh);
    EXPECT_EQ(pacer.PictureInterval_us(), 0);
    EXPECT_EQ(pacer.Wait_us(500000 + kRefresh), kRefresh);
}

TEST(FrameStats, OneLinePerWindowWithCountsAndMedians) {
    FrameStats stats;
    std::string line;
    int64_t now = 0;
    for (int i = 0; i < 300; ++i) {
        FrameCost c;
        c.woken = i % 3 != 0;
        c.pictures_us = 1000 + (i % 2) * 100;  // median 1.10 ms (half are 1.1)
        c.build_us = 2000;
        c.draw_us = 500;
        c.swap_us = 4000 + i;  // median 4.15 ms
        c.total_us = 8000;
        c.cpu_us = 3000;
        now += 33333;
        stats.Add(c, now);
        if (i < 299) {
            EXPECT_FALSE(stats.TakeReport(now, &line)) << i;
        }
    }
    now += 100000;
    ASSERT_TRUE(stats.TakeReport(now, &line));
    EXPECT_NE(line.find("300 frames (200 woken"), std::string::npos) << line;
    EXPECT_NE(line.find("3.00 ms CPU per frame"), std::string::npos) << line;
    EXPECT_NE(line.find("pictures 1.10 ms"), std::string::npos) << line;
    EXPECT_NE(line.find("swap 4.15 ms"), std::string::npos) << line;
    EXPECT_FALSE(stats.TakeReport(now + 1, &line)) << "the window starts again";
}

}  // namespace
