// The firmware update service of the simulated unit, port 8006: sends the
// current firmware version, receives version, time stamp, size, CRC-32 and
// the package, answers one result byte (0 valid and newer, 1 not newer,
// 2 CRC mismatch, 5 an update already queued; --firmware-result forces a
// code) and, after a 0, restarts the unit's service with the new version.
#pragma once

#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

std::unique_ptr<PortServer> MakeUpdateServer();

}  // namespace camsim
