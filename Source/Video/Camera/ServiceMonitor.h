// The service monitor: one background thread that finds camera units by
// their multicast-DNS host names (stem.local, stem-2.local, ...), creates one
// picam::Service per unit in ServiceList, starts its ScanlinkProc and
// ServiceProc threads, and restarts them whenever a connection has ended.
//
// The monitor is the only writer of ServiceList and the only thread that
// starts, joins and destroys service threads. Start and stop are called from
// the main thread only.
#pragma once

#include <string>

namespace picam {

// The fixed host-name stem of the program's camera units.
constexpr const char* kHostNameStem = "orvexcam";

struct MonitorOptions {
    // Tests use their own stems so that parallel tests never find each
    // other's simulated units.
    std::string stem = kHostNameStem;
    // The scan-link thread of each unit (off in tests of the service alone).
    bool scanlink = true;
};

// "stem.local" for unit 0, "stem-<n+1>.local" for unit n >= 1.
std::string HostNameForIndex(int index, const std::string& stem = kHostNameStem);

// Sets the run flag and starts the ServiceMonitor thread (once).
void StartServiceMonitor(const MonitorOptions& options = MonitorOptions());
// When running: clears the flag and joins the monitor, which first stops and
// destroys every service and empties ServiceList.
void StopServiceMonitor();
bool ServiceMonitorRunning();

}  // namespace picam
