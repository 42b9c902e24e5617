// Power events over systemd-logind (sd-bus, system bus):
// - PrepareForSleep: a delay inhibitor is held so the program can stop its
//   recordings before the machine sleeps; the main loop polls PowerPoll once
//   per frame and runs the emergency stop when a sleep is announced.
// - While any slot records, a "sleep:idle" block inhibitor keeps the system
//   awake.
// Without a system bus (containers, CI) this logs once and carries on.
// UI thread only.
#pragma once

#include <vector>

class Power {
public:
    Power() = default;
    ~Power();
    Power(const Power&) = delete;
    Power& operator=(const Power&) = delete;

    // Connects to the system bus, subscribes to PrepareForSleep and takes the
    // delay inhibitor. False (logged once) when there is no system bus.
    bool Start();
    // Non-blocking: handles pending bus messages. True when a sleep has just
    // been announced (the caller stops its recordings now and then calls
    // SleepHandled so the sleep can go on).
    bool Poll();
    // The recordings are stopped: release the delay inhibitor.
    void SleepHandled();
    // Holds or releases the idle/sleep block inhibitor; asked for once per
    // recording (the first call with true after one with false).
    void HoldAwake(bool recording);
    void Stop();

    bool Connected() const { return bus_ != nullptr; }

private:
    bool TakeInhibitor(const char* what, const char* mode, int* fd);

    struct sd_bus* bus_ = nullptr;
    struct sd_bus_slot* signalSlot_ = nullptr;
    int delayFd_ = -1;   // "sleep" delay inhibitor
    int awakeFd_ = -1;   // "sleep:idle" block inhibitor while recording
    bool awakeRequested_ = false;  // asked for it during the current recording
    // PrepareForSleep arguments in arrival order, appended by the signal
    // callback inside Poll and taken by Poll.
    std::vector<bool> sleepEvents_;
    bool retakeAfterSleep_ = false;  // woke before SleepHandled: take the delay inhibitor again there
    bool loggedNoBus_ = false;
};
