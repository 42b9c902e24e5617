// The latency probe of a camera slot: the camera films a window whose colour
// cycles blue (1), green (2), red (4); the time from showing a colour to
// seeing it come back in the video is the round-trip latency. These are the
// pure parts (classification and the state step); the picture read-back
// belongs to the graphics context.
#pragma once

#include <cstdint>

namespace AV {

struct LatencyProbeState {
    int64_t shownAt_us = 0;  // monotonic time the expected colour was shown
    double latency_ms = 0;
    int expected = 1;        // colour code the window shows now
    int previous = 0;        // expected code when shownAt_us was last set
    int observed = 0;
};

// Colour code (bit 2 red, bit 1 green, bit 0 blue) of an NV12 image of
// width x height: the average of four samples around the centre.
int ClassifyNV12Colour(const uint8_t* nv12, int width, int height);

// One new picture with colour `observed` at monotonic time `now_us`.
void LatencyProbeStep(LatencyProbeState* state, int observed, int64_t now_us);

}  // namespace AV
