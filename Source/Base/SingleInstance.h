// Single instance: an exclusive flock on "instance.lock" in the data folder.
// The running instance listens on an abstract Unix socket named after the
// instance mutex text and the data folder (abstract names are shared by every
// user of the machine; the folder keeps each user's instances apart, as the
// lock does); a second instance connects, asks it to raise and restore its
// window, and exits 0. No SDL here: the main loop polls the
// listener once per frame and does the raising itself.
#pragma once

#include <string>

#include "Base/Path.h"

class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process now holds the lock. False when another process
    // holds it (or the lock file cannot be used: then the program runs on
    // without the guard, which is logged).
    bool Acquire(const Path& dataFolder);
    // Start-up step 6 for the second process (after Acquire failed): looks
    // for the running instance's listener for up to `wait_ms`, asks it to
    // raise its window. True when the request was delivered.
    bool HandOver(int wait_ms = 200) const;

    // The running instance, once its window exists: listen for hand-overs.
    bool Listen();
    // UI thread, once per frame: true when a second instance asked to raise
    // the window since the last call.
    bool PollRaiseRequest();
    // Shut-down: closes the listener and the lock.
    void Release();

    // The abstract socket name (without the leading zero byte) for a data folder.
    static std::string SocketName(const Path& dataFolder);

private:
    std::string socketName_;
    int lockFd_ = -1;
    int listenFd_ = -1;
};
