// The camera service on port 8008: answers every request frame with exactly
// one non-empty frame of value records (see ServiceServer.cpp for the
// exchange and the fault options).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "CameraSim/Unit.h"

namespace camsim {

std::unique_ptr<PortServer> MakeServiceServer();

// The reply body for one request body (no length prefix). Applies writes to
// the unit's tables and prints one line per accepted parameter write. Sets
// *restart when the request holds command 11 = 1. Never empty.
std::vector<uint8_t> AnswerServiceRequest(Unit& unit, const uint8_t* request, size_t length, bool* restart);

}  // namespace camsim
