// The one way a test waits: for the condition it means (a log line, a file,
// a counter), never for a fixed time.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Polls `condition` every `period` until it holds or `limit` has passed;
// the last answer is taken after the limit, so a condition that came true
// while the test thread was not scheduled still counts. Limits are generous
// (seconds): a busy machine slows a test down but must not fail it.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
                      std::chrono::milliseconds period = std::chrono::milliseconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(period);
    }
    return condition();
}

}  // namespace testsupport
