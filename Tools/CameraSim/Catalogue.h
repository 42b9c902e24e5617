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

// Command parameter: value 1 restarts the service.
constexpr int kCommandParam = 11;
constexpr int kCommandRestartService = 1;
// How long the service stays away after a restart command.
constexpr double kServiceRestartDownS = 1.0;

}  // namespace camsim
