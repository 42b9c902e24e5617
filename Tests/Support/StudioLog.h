// What a Studio process test reads from the program's log file.
#pragma once

#include <string>

#include "Support/FileText.h"

namespace testsupport {

// How many camera streams the Studio has opened so far. Record only starts
// the cameras already streaming, and on a busy machine the second camera can
// still be connecting when the window looks ready: a test that expects both
// files waits for this to reach 2 before it presses Record.
inline int StreamsOpened(const std::string& log) { return testfiles::CountOf(log, "ProcessStream | streaming from "); }

}  // namespace testsupport
