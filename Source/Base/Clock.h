// The program's one monotonic clock (CLOCK_MONOTONIC), in the unit each
// caller needs. Any thread; no state.
#pragma once

#include <cstdint>
#include <ctime>

inline int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
inline int64_t MonotonicUs() { return MonotonicNs() / 1000; }
inline int64_t MonotonicMs() { return MonotonicNs() / 1000000; }
