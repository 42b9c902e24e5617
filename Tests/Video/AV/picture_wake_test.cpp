// The picture-queued hook: a live stream runs it once for every picture it
// queues, on the thread that decodes, with the picture already poppable
// (the UI thread it wakes finds it), and not at all once removed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "Base/Thread.h"
#include "Support/Wait.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/PictureWake.h"
#include "Video/AV/Stream.h"

namespace {

struct Woken {
    std::atomic<int> calls{0};
    std::atomic<int> poppableAtCall{0};  // calls that found their picture queued (or already popped)
    AV::Stream* stream = nullptr;
    // Held by the popping thread around PopFrame and the count, and by the
    // hook while it compares, so that a picture is never between the queue
    // and the count (order: the stream's frame lock, this, the queue lock).
    std::mutex popLock;
    int popped = 0;
};

void OnQueued(void* user) {
    auto* w = static_cast<Woken*>(user);
    const int call = ++w->calls;
    std::lock_guard<std::mutex> guard(w->popLock);
    if (w->popped + static_cast<int>(w->stream->QueuedFrames()) >= call) ++w->poppableAtCall;
}

int PopAll(Woken& w) {
    int n = 0;
    std::lock_guard<std::mutex> guard(w.popLock);
    while (w.stream->PopFrame()) ++n;
    w.popped += n;
    return n;
}

TEST(PictureWake, EveryQueuedPictureRunsTheHookOnTheDecodingThread) {
    auto unit = avtest::StartUnit("127.0.20.40", 320, 240, 30);
    ASSERT_TRUE(unit);
    AV::Stream stream;
    ASSERT_TRUE(stream.Open("tcp://127.0.20.40:8012", AV::Stream::Options::LiveCamera()));
    Woken woken;
    woken.stream = &stream;
    AV::SetPictureQueuedHook(OnQueued, &woken);

    // The decoding thread queues; this thread pops what the hook announced.
    std::atomic<bool> stop{false};
    std::thread decoder = base::StartThread("wake-decoder", [&] {
        while (!stop && stream.IsOpen()) stream.Process();
    });
    const bool enough = testsupport::WaitUntil(
        [&] {
            PopAll(woken);
            return woken.calls >= 20;
        },
        std::chrono::seconds(30), std::chrono::milliseconds(2));
    stop = true;
    decoder.join();
    PopAll(woken);
    const int popped = woken.popped;
    ASSERT_TRUE(enough) << woken.calls << " wake-ups";
    // One wake-up per queued picture (a queue of four may drop a few when
    // this thread is not scheduled for a while; then fewer are popped).
    EXPECT_LE(popped, woken.calls);
    EXPECT_GE(popped, woken.calls - 4) << "more wake-ups than pictures";
    EXPECT_EQ(woken.poppableAtCall, woken.calls) << "the hook ran before its picture was in the queue";

    // Removed: pictures are still queued, nobody is called.
    AV::SetPictureQueuedHook(nullptr, nullptr);
    const int before = woken.calls;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            stream.Process();
            return stream.PopFrame() != nullptr;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(1)));
    EXPECT_EQ(woken.calls, before);
}

}  // namespace
