// Factories of the simulator's port servers; Unit::Start creates one of each.
#pragma once

#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

// Each port server module declares its factory here and adds one line to
// AddPortServers (Servers.cpp). Keep the list in port order.

// Creates every port server of a unit (called by the Unit constructor).
void AddPortServers(Unit& unit);
}  // namespace camsim
