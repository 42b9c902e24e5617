// The hand-over between a live slot's receiving thread and its decoding
// thread: access units stamped with their arrival, in a bounded queue that
// skips ahead when decoding cannot keep up, so that the live view stays
// close to the camera while the recording (written by the receiving thread
// before a unit is queued) still gets every packet.
//
// Skipping, in order, whenever the oldest waiting unit arrived more than
// kLiveSkipAfter_ns before it would be decoded:
//   1. a non-reference picture is dropped (nothing else refers to it);
//   2. if a key frame waits in the queue, everything before the newest one
//      is dropped and decoding goes on from it;
//   3. otherwise everything waiting is dropped and the decoder is given
//      nothing until the next key frame arrives (a picture that refers to a
//      dropped one cannot be decoded).
// A full queue drops its oldest unit and likewise waits for a key frame.
//
// Threads: Push and Close are called by the receiving thread, Pop by the
// decoding thread, Counts by anyone. The queue lock (lock_) guards every
// field; it is a leaf lock, held for no call outside this class.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

extern "C" {
struct AVPacket;
}

namespace AV {

// One access unit as received: its own reference-counted copy of the bytes.
// Moved from thread to thread, never shared.
struct LiveUnit {
    AVPacket* packet = nullptr;  // owned; nullptr for an empty unit
    int64_t arrival_ns = 0;      // monotonic time its last byte was read from the socket
    uint64_t generation = 0;     // the stream connection it came from (Stream::Generation)
    bool key = false;            // a key frame: decoding can start here
    bool reference = true;       // false when no later picture may refer to this one

    LiveUnit() = default;
    ~LiveUnit();
    LiveUnit(LiveUnit&& other) noexcept;
    LiveUnit& operator=(LiveUnit&& other) noexcept;
    LiveUnit(const LiveUnit&) = delete;
    LiveUnit& operator=(const LiveUnit&) = delete;
};

// Oldest waiting unit's age beyond which the queue skips ahead. The decoder
// takes a few tens of ms for a picture on a loaded machine and the screen
// adds a frame, so skipping from here keeps what is shown within about
// 200 ms of the camera.
constexpr int64_t kLiveSkipAfter_ns = 140000000;

// Units held at most (about four seconds of a 30 fps stream).
constexpr size_t kLiveQueueLimit = 120;

// What the queue has let through or left out since it was made or reset.
struct LiveQueueCounts {
    uint64_t received = 0;           // units pushed
    uint64_t decoded = 0;            // units handed to the decoder
    uint64_t skippedDisposable = 0;  // non-reference pictures dropped
    uint64_t skippedToKey = 0;       // units dropped to jump to a key frame
    uint64_t keyJumps = 0;           // times the queue jumped (or waited for) a key frame
};

class LiveQueue {
public:
    // Receiving thread: appends `unit` and wakes the decoding thread.
    void Push(LiveUnit&& unit);
    // Decoding thread: waits up to `wait_us` for a unit worth decoding at
    // `now_ns()` (skipping as described above) and moves it to `out`.
    // False when none came or the queue is closed.
    template <typename Clock>
    bool Pop(LiveUnit* out, int64_t wait_us, Clock now_ns);
    bool Pop(LiveUnit* out, int64_t wait_us);  // on the monotonic clock
    // Forgets every waiting unit; the next one decoded is a key frame.
    void Reset();
    // Wakes and ends every Pop (from now on they return false at once).
    void Close();
    void Open();
    bool Closed();
    size_t Waiting();
    LiveQueueCounts Counts();
    // Units dropped since the last call (for the decoding thread's log line).
    uint64_t TakeSkipped();

private:
    // Queue lock held: applies the skip rules for `now_ns`; true when the
    // front unit may be decoded.
    bool SkipAhead_locked(int64_t now_ns);

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<LiveUnit> units_;  // oldest first
    LiveQueueCounts counts_;
    uint64_t skippedSinceTaken_ = 0;
    bool needKey_ = true;  // the decoder may start only at a key frame
    bool closed_ = false;
};

template <typename Clock>
bool LiveQueue::Pop(LiveUnit* out, int64_t wait_us, Clock now_ns) {
    std::unique_lock<std::mutex> guard(lock_);
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(wait_us);
    for (;;) {
        if (closed_) return false;
        if (!units_.empty() && SkipAhead_locked(now_ns())) {
            *out = std::move(units_.front());
            units_.pop_front();
            ++counts_.decoded;
            return true;
        }
        if (changed_.wait_until(guard, until) == std::cv_status::timeout) {
            if (closed_) return false;
            if (!units_.empty() && SkipAhead_locked(now_ns())) continue;
            return false;
        }
    }
}

}  // namespace AV
