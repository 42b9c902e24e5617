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

// The splash has ended: until then its window takes every press, also
// while the main window already shows under its fade.
inline bool SplashFinished(const std::string& log) {
    return log.find("Splash | finished: the main window takes input") != std::string::npos;
}

// The UI scale the Studio logs at start ("UI scale 1.0000 (...)"); 0 until
// the line is there.
inline float UiScaleIn(const std::string& log) {
    const size_t at = log.find("UI scale ");
    return at == std::string::npos ? 0.0f : std::stof(log.substr(at + 9));
}

}  // namespace testsupport
