#include "CameraSim/Servers.h"

namespace camsim {

void AddPortServers(Unit& unit) {
    // unit.AddServer(MakeXxxServer());  one line per port server, in port order
    if (unit.Opts().mdns) unit.AddServer(MakeMdnsResponder());
    unit.AddServer(MakeUpdateServer());
    unit.AddServer(MakeServiceServer());
    unit.AddServer(MakeScanLinkServer());
    unit.AddServer(MakeVideoServer());
    unit.AddServer(MakeCaptureServer());
}

}  // namespace camsim
