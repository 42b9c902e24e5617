// The session clock: how long the program has run for the current session,
// in step with the recordings and the camera's time, whatever the frame rate.
// It follows the monotonic clock, which stands still while the machine is
// suspended, and leaves out any other step longer than kSessionClockGap_us
// (a stalled program, a debugger stop): media names and the parameter
// history's time axis then match what the recordings hold.
//
// Threads: the state belongs to whichever single thread steps it (the UI
// thread's main loop); no lock.
#pragma once

#include <cstdint>

// A step longer than this is a gap in the session, not time that ran.
inline constexpr int64_t kSessionClockGap_us = 1000000;

struct SessionClockState {
    int64_t last_us = -1;    // monotonic time of the last step; -1 before the first
    int64_t leftOut_us = 0;  // gaps left out so far (for the log and tests)
};

// The microseconds the session clock advances by for a step at monotonic
// time `now_us`: the time since the last step, 0 for the first step, for a
// clock that went backwards, and for a gap (logged at INFO).
int64_t SessionClockStep(SessionClockState* clock, int64_t now_us);
