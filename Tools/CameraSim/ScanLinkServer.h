// The scan link of the simulated unit, port 8010: COBS-framed messages of
// typed records, check values over the records and the message sequence,
// answers to every request the program sends, unasked position answers at
// least every 100 ms, and the fault options (corrupt check values every N
// frames, a link that goes silent S seconds after each connection opens).
#pragma once

#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

std::unique_ptr<PortServer> MakeScanLinkServer();

}  // namespace camsim
