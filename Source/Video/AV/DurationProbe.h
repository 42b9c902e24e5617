// The length of a video file whose container does not say it (a recording
// cut short by a crash or a full disk has neither a duration nor an index):
// taken from the time stamps of its last packets, found by reading its tail.
// Any thread; opens the file on its own.
#pragma once

#include <cstdint>
#include <string>

namespace AV {

// Microseconds from the first to the end of the last video packet; the
// container's own duration when it has one. -1 when the file cannot be
// opened or holds no video packet.
int64_t ProbeFileDuration_us(const std::string& path);

}  // namespace AV
