#include "Video/AV/LiveQueue.h"

#include <utility>

extern "C" {
#include <libavcodec/packet.h>
}

#include "Base/Clock.h"

namespace AV {

LiveUnit::~LiveUnit() { av_packet_free(&packet); }

LiveUnit::LiveUnit(LiveUnit&& other) noexcept
    : packet(std::exchange(other.packet, nullptr)),
      arrival_ns(other.arrival_ns),
      generation(other.generation),
      key(other.key),
      reference(other.reference) {}

LiveUnit& LiveUnit::operator=(LiveUnit&& other) noexcept {
    if (this != &other) {
        av_packet_free(&packet);
        packet = std::exchange(other.packet, nullptr);
        arrival_ns = other.arrival_ns;
        generation = other.generation;
        key = other.key;
        reference = other.reference;
    }
    return *this;
}

void LiveQueue::Push(LiveUnit&& unit) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++counts_.received;
        if (units_.size() >= kLiveQueueLimit) {
            // The decoder has stalled for seconds: the oldest unit goes, and
            // with it every picture that may refer to it.
            units_.pop_front();
            ++counts_.skippedToKey;
            ++skippedSinceTaken_;
            if (!needKey_) ++counts_.keyJumps;
            needKey_ = true;
        }
        units_.push_back(std::move(unit));
    }
    changed_.notify_one();
}

bool LiveQueue::Pop(LiveUnit* out, int64_t wait_us) { return Pop(out, wait_us, [] { return MonotonicNs(); }); }

bool LiveQueue::SkipAhead_locked(int64_t now_ns) {
    for (;;) {
        if (needKey_) {
            while (!units_.empty() && !units_.front().key) {
                units_.pop_front();
                ++counts_.skippedToKey;
                ++skippedSinceTaken_;
            }
            if (units_.empty()) return false;
            needKey_ = false;
        }
        if (units_.empty()) return false;
        const LiveUnit& front = units_.front();
        if (now_ns - front.arrival_ns <= kLiveSkipAfter_ns) return true;
        if (!front.reference) {
            units_.pop_front();
            ++counts_.skippedDisposable;
            ++skippedSinceTaken_;
            continue;
        }
        size_t newestKey = 0;
        for (size_t i = units_.size(); i-- > 1;) {
            if (units_[i].key) {
                newestKey = i;
                break;
            }
        }
        if (newestKey > 0) {
            units_.erase(units_.begin(), units_.begin() + static_cast<std::ptrdiff_t>(newestKey));
            counts_.skippedToKey += newestKey;
            skippedSinceTaken_ += newestKey;
            ++counts_.keyJumps;
            continue;
        }
        // The newest key frame there is: late, but the best there is to show.
        if (front.key) return true;
        counts_.skippedToKey += units_.size();
        skippedSinceTaken_ += units_.size();
        units_.clear();
        ++counts_.keyJumps;
        needKey_ = true;
        return false;
    }
}

void LiveQueue::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    units_.clear();
    needKey_ = true;
}

void LiveQueue::Close() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        closed_ = true;
        units_.clear();
    }
    changed_.notify_all();
}

void LiveQueue::Open() {
    std::lock_guard<std::mutex> guard(lock_);
    closed_ = false;
    needKey_ = true;
    units_.clear();
    counts_ = LiveQueueCounts();
    skippedSinceTaken_ = 0;
}

bool LiveQueue::Closed() {
    std::lock_guard<std::mutex> guard(lock_);
    return closed_;
}

size_t LiveQueue::Waiting() {
    std::lock_guard<std::mutex> guard(lock_);
    return units_.size();
}

LiveQueueCounts LiveQueue::Counts() {
    std::lock_guard<std::mutex> guard(lock_);
    return counts_;
}

uint64_t LiveQueue::TakeSkipped() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::exchange(skippedSinceTaken_, 0);
}

}  // namespace AV
