// The simulated unit's parameter catalogue: what each index means on the
// unit's side, and the status words that change while the unit runs.
#pragma once

#include <cstdint>

namespace camsim {

class Unit;

// Indices whose value the unit computes from its running time (temperatures,
// clock, LED electrics, the fast status counter). True and the value of the
// moment for such an index; false for every stored parameter.
bool LiveStatusValue(const Unit& unit, int group, int index, int32_t* value);

// The unit refuses writes to these (the program never sends them).
bool UnitReadOnlyParam(int index);

// Command parameter: 1 restarts the service, 2 reboots the unit after a
// firmware update (the service restarts the same way), 3 runs the LED
// stress test (temperatures climb for a minute).
constexpr int kCommandParam = 11;
constexpr int kCommandRestartService = 1;
constexpr int kCommandReboot = 2;
constexpr int kCommandStressTest = 3;
constexpr double kStressTestS = 60.0;
// Where the unit keeps the end of a running stress test (uptime in ms), in
// a group-0 index past the exchanged range, so the program never sees it.
constexpr int kStressUntilParam = 250;
// How long the service stays away after a restart command.
constexpr double kServiceRestartDownS = 1.0;

}  // namespace camsim
