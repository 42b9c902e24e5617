#include "CameraSim/Servers.h"

namespace camsim {

void AddPortServers(Unit& /*unit*/) {
    // unit.AddServer(MakeXxxServer());  one line per port server, in port order
}

}  // namespace camsim
