// Answers multicast-DNS A queries for "<name>.local" with the unit's address.
//
// Every unit has its own socket bound to the mDNS group and port with
// SO_REUSEADDR/SO_REUSEPORT, so several units (in one process or many) all
// see every query and each answers only its own name. Membership is taken on
// the interface of the unit's address (loopback for 127/8). Queries from an
// ephemeral port (legacy unicast) are answered by unicast to the asker with
// the query id echoed; queries from port 5353 get a multicast answer.
#pragma once

#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

std::unique_ptr<PortServer> MakeMdnsResponder();

}  // namespace camsim
