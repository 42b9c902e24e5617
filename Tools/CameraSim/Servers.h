// Factories of the simulator's port servers; Unit::Start creates one of each.
#pragma once

#include <memory>

#include "CameraSim/Unit.h"

namespace camsim {

// Each port server module declares its factory here and adds one line to
// AddPortServers (Servers.cpp). Keep the list in port order.

std::unique_ptr<PortServer> MakeMdnsResponder();  // 5353 UDP, mDNS A answers (MdnsResponder.cpp)
std::unique_ptr<PortServer> MakeUpdateServer();   // 8006 (UpdateServer.cpp)
std::unique_ptr<PortServer> MakeServiceServer();  // 8008 (ServiceServer.cpp)
std::unique_ptr<PortServer> MakeScanLinkServer(); // 8010 (ScanLinkServer.cpp)
std::unique_ptr<PortServer> MakeVideoServer();    // 8012, 8013, plain 9012, 9013 (VideoServer.cpp)
std::unique_ptr<PortServer> MakeCaptureServer();  // 8014, 8015 (CaptureServer.cpp)

// Creates every port server of a unit (called by the Unit constructor).
void AddPortServers(Unit& unit);
}  // namespace camsim
