// The live hand-over queue: what it lets through to the decoder, on a clock
// the test drives, when decoding keeps up, runs late, or stalls.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Base/Clock.h"
#include "Support/Wait.h"
#include "Video/AV/LiveQueue.h"

namespace {

constexpr int64_t kMs = 1000000;

// A unit by its letter: K key frame, P reference picture, b non-reference
// picture; its number is its arrival in ms.
AV::LiveUnit Unit(char kind, int64_t arrival_ms) {
    AV::LiveUnit u;
    u.arrival_ns = arrival_ms * kMs;
    u.key = kind == 'K';
    u.reference = kind != 'b';
    return u;
}

struct QueueCase {
    const char* name;
    // Units pushed, 33 ms apart from 0 ms: "KPPb..."
    std::string pushed;
    // The decoder's clock: it pops once at each of these times (ms).
    std::vector<int64_t> popAt_ms;
    // Arrival (ms) of what each pop got; -1 for nothing.
    std::vector<int64_t> got_ms;
    uint64_t skippedDisposable, skippedToKey, keyJumps;
};

TEST(LiveQueue, SkipsAheadOnlyWhenDecodingRunsLate) {
    const QueueCase cases[] = {
        {"in time: everything, in order", "KPPP", {10, 43, 76, 109}, {}, 0, 0, 0},
        {"a stream that starts inside a group of pictures waits for its key frame",
         "PPKP", {100, 120, 140}, {66, 99, -1}, 0, 2, 0},
        {"late with non-reference pictures: those go first", "KbPbP", {0, 180, 240, 240}, {0, 66, 132, -1}, 2, 0, 0},
        {"late with a key frame waiting: jump to it", "KPPPPPKPP", {0, 300, 300, 300}, {0, 198, 231, 264}, 0, 5, 1},
        {"late without a key frame: nothing until the next one",
         "KPPPPP", {0, 400}, {0, -1}, 0, 5, 1},
        {"the newest key frame is taken even when it is late itself", "KPPKPPK", {0, 500, 500}, {0, 198, -1}, 0, 5, 1},
    };
    for (const QueueCase& c : cases) {
        AV::LiveQueue queue;
        queue.Open();
        for (size_t i = 0; i < c.pushed.size(); ++i) queue.Push(Unit(c.pushed[i], static_cast<int64_t>(i) * 33));
        std::vector<int64_t> expected = c.got_ms;
        if (expected.empty())
            for (size_t i = 0; i < c.pushed.size(); ++i) expected.push_back(static_cast<int64_t>(i) * 33);
        ASSERT_EQ(c.popAt_ms.size(), expected.size()) << c.name;
        for (size_t i = 0; i < c.popAt_ms.size(); ++i) {
            AV::LiveUnit out;
            const int64_t now = c.popAt_ms[i] * kMs;
            const bool got = queue.Pop(&out, 0, [now] { return now; });
            EXPECT_EQ(got ? out.arrival_ns / kMs : -1, expected[i]) << c.name << ", pop " << i;
        }
        const AV::LiveQueueCounts counts = queue.Counts();
        EXPECT_EQ(counts.received, c.pushed.size()) << c.name;
        EXPECT_EQ(counts.skippedDisposable, c.skippedDisposable) << c.name;
        EXPECT_EQ(counts.skippedToKey, c.skippedToKey) << c.name;
        EXPECT_EQ(counts.keyJumps, c.keyJumps) << c.name;
        EXPECT_EQ(queue.TakeSkipped(), c.skippedDisposable + c.skippedToKey) << c.name;
        EXPECT_EQ(queue.TakeSkipped(), 0u) << c.name;
    }
}

// After a jump without a key frame in the queue, the next key frame that
// arrives is decoded, and the pictures after it again.
TEST(LiveQueue, WaitsForTheNextKeyFrameAfterFallingBehind) {
    AV::LiveQueue queue;
    queue.Open();
    for (int i = 0; i < 6; ++i) queue.Push(Unit(i == 0 ? 'K' : 'P', i * 33));
    AV::LiveUnit out;
    int64_t now = 0;
    auto clock = [&now] { return now; };
    ASSERT_TRUE(queue.Pop(&out, 0, clock));
    now = 400 * kMs;
    EXPECT_FALSE(queue.Pop(&out, 0, clock));
    queue.Push(Unit('P', 420));
    EXPECT_FALSE(queue.Pop(&out, 0, clock)) << "a picture that refers to a dropped one is not decoded";
    queue.Push(Unit('K', 440));
    queue.Push(Unit('P', 473));
    now = 480 * kMs;
    ASSERT_TRUE(queue.Pop(&out, 0, clock));
    EXPECT_EQ(out.arrival_ns, 440 * kMs);
    EXPECT_TRUE(out.key);
    ASSERT_TRUE(queue.Pop(&out, 0, clock));
    EXPECT_EQ(out.arrival_ns, 473 * kMs);
}

// A decoder stalled for seconds: the queue holds at most kLiveQueueLimit
// units and then starts again at a key frame.
TEST(LiveQueue, FullQueueDropsTheOldestAndWaitsForAKeyFrame) {
    AV::LiveQueue queue;
    queue.Open();
    const size_t total = AV::kLiveQueueLimit + 10;
    for (size_t i = 0; i < total; ++i) queue.Push(Unit(i % 30 == 0 ? 'K' : 'P', static_cast<int64_t>(i) * 33));
    EXPECT_EQ(queue.Waiting(), AV::kLiveQueueLimit);
    AV::LiveUnit out;
    const int64_t now = static_cast<int64_t>(total - 1) * 33 * kMs;
    ASSERT_TRUE(queue.Pop(&out, 0, [now] { return now; }));
    EXPECT_TRUE(out.key);
    EXPECT_EQ(out.arrival_ns, 120 * 33 * kMs) << "the newest key frame held";
    EXPECT_EQ(queue.Counts().skippedToKey, 120u);
}

// The decoding thread's wait ends with a push, and with Close.
TEST(LiveQueue, PopWakesForAPushAndForClose) {
    AV::LiveQueue queue;
    queue.Open();
    std::atomic<int> got{0};
    std::atomic<bool> ended{false};
    std::thread decoder([&] {
        AV::LiveUnit out;
        while (!queue.Closed())
            if (queue.Pop(&out, 5000000)) ++got;
        ended = true;
    });
    AV::LiveUnit fresh;
    fresh.key = true;
    fresh.arrival_ns = MonotonicNs();
    queue.Push(std::move(fresh));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return got.load() == 1; }, std::chrono::milliseconds(3000)));
    queue.Close();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ended.load(); }, std::chrono::milliseconds(10000)));
    decoder.join();
}

}  // namespace
