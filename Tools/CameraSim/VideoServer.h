// Live video of the simulated unit: ports 8012 and 8013 (channel 0 and 1)
// send H.264 access units cut into framed fragments (8-byte header: 0, 0, 2,
// flags, big-endian length; 0x04 ends an access unit, 0x20 drops it), and
// with --plain-video ports 9012 and 9013 send the same stream unframed, each
// picture followed by an access-unit delimiter (which begins the next one).
//
// Each channel has one encoder thread that publishes access units into a
// short ring; every connection thread sends them in order, starting at a key
// frame with its parameter sets. With --replay-s S the channel encodes S
// seconds once at start and then only replays them, so that encoding does not
// compete with the consumer for the processors.
//
// Fault options (per connection, counted from its start, except the pause,
// which follows the unit's clock): --video-drop-fragment-every N sends every
// N-th fragment with flag 0x20 and then the whole access unit again;
// --video-bad-header-after-s S sends a header with byte 2 = 1 and closes;
// --video-close-after-s S closes between access units; --video-pause-s A:B
// sends nothing from A to B seconds of uptime.
#pragma once

#include <cstdint>
#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

std::unique_ptr<PortServer> MakeVideoServer();  // 8012, 8013 (+ 9012, 9013)

// Called on a connection thread right after the last byte of a picture was
// handed to the socket (benchmarks). `port` is the real port. Set it before
// any unit starts; pass nullptr to remove it.
using VideoSendObserver = void (*)(void* user, int port, uint32_t frameNumber, int64_t sentUs);
void SetVideoSendObserver(VideoSendObserver observer, void* user);

}  // namespace camsim
