// Starting worker threads: every worker of the program is started here, so
// that each one carries a name (pthread_setname_np, at most 15 characters,
// set by the new thread before it runs its body) and the one failure
// policy holds: a thread that cannot be started ends the program with a
// FATAL log line. Without its workers the program cannot do its job, and
// there is nothing sensible to fall back to.
//
// May be called from any thread.
#pragma once

#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace base {

// Logs "Could not start thread <name>: <reason>" as FATAL and ends the
// process (exit code 1).
[[noreturn]] void ThreadStartFailed(const char* name, const char* reason);

// Names the calling thread.
void NameThisThread(const char* name);

// Starts `fn` on a new joinable thread named `name`.
template <typename Fn>
std::thread StartThread(const char* name, Fn&& fn) {
    try {
        return std::thread([threadName = std::string(name), body = std::forward<Fn>(fn)]() mutable {
            NameThisThread(threadName.c_str());
            body();
        });
    } catch (const std::system_error& e) {
        ThreadStartFailed(name, e.what());
    }
}

// Starts `fn` on a new detached thread named `name`: for short jobs that
// own everything they touch (or touch only records that live as long as
// the process).
template <typename Fn>
void StartDetachedThread(const char* name, Fn&& fn) {
    StartThread(name, std::forward<Fn>(fn)).detach();
}

}  // namespace base
