#include "Base/SessionClock.h"

#include "Base/Log.h"

int64_t SessionClockStep(SessionClockState* clock, int64_t now_us) {
    const int64_t last_us = clock->last_us;
    clock->last_us = now_us;
    if (last_us < 0) return 0;
    const int64_t step_us = now_us - last_us;
    if (step_us < 0) return 0;
    if (step_us > kSessionClockGap_us) {
        clock->leftOut_us += step_us;
        LOGF(LOG_INFO, LOG_SRC_MAIN, "Session clock | a stall of %.1f s left out of the session time",
             static_cast<double>(step_us) / 1e6);
        return 0;
    }
    return step_us;
}
