// The simulator's control file: a small text file, named with
// --control-file, that the unit watches and re-reads whenever it changes, so
// that a test or a person can put the camera into the states the program
// must show (a connection error, a dimmed or shut-down LED, driver error
// bits, hot temperatures, stills cut short) while everything runs.
//
// The file describes the whole injected state; every change starts from the
// command line's state again and applies the lines in order:
//   force G I V     the service reports V for parameter I of group G
//   set G I V       stores V as a write from the program would (picture settings)
//   message G I T   stores text T as message I of group G
//   still whole|partial|fail
// Empty lines and lines starting with '#' are skipped; a bad line is
// reported on the console with its number and changes nothing. The forced
// values and the still mode of a file take effect together, once the whole
// file is read (Unit::ReplaceInjected).
//
// Threads: one named watcher thread per unit; it only calls Unit's locked
// setters.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace camsim {

class Unit;

// Applies one line; false with `error` set for a line that is not understood.
bool ApplyControlLine(Unit& unit, const std::string& line, std::string* error);
// Puts the injected state back to the command line's and applies `text`;
// the number of bad lines (each printed on the unit's console).
int ApplyControlText(Unit& unit, const std::string& text);

class ControlFileWatcher {
public:
    ControlFileWatcher(Unit& unit, std::string path) : unit_(unit), path_(std::move(path)) {}
    ~ControlFileWatcher() { Stop(); }
    void Start();
    void Stop();

private:
    void Run();

    Unit& unit_;
    const std::string path_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;  // guarded by lock_
};

}  // namespace camsim
