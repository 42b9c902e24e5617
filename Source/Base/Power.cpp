#include "Base/Power.h"

#include <systemd/sd-bus.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "Base/Log.h"

namespace {

int OnPrepareForSleep(sd_bus_message* message, void* user, sd_bus_error* /*error*/) {
    int starting = 0;
    if (sd_bus_message_read(message, "b", &starting) < 0) return 0;
    // true: a sleep is coming; false: the machine woke up again. Kept in
    // order: both can arrive between two polls.
    static_cast<std::vector<bool>*>(user)->push_back(starting != 0);
    return 0;
}

}  // namespace

Power::~Power() { Stop(); }

bool Power::TakeInhibitor(const char* what, const char* mode, int* fd) {
    if (bus_ == nullptr || *fd >= 0) return *fd >= 0;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus_, "org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss", what,
                               "ORVEX Studio", "Stopping recordings safely", mode);
    if (r >= 0) {
        int received = -1;
        r = sd_bus_message_read(reply, "h", &received);
        if (r >= 0) *fd = fcntl(received, F_DUPFD_CLOEXEC, 3);
    }
    if (r < 0) {
        LOGF(LOG_WARN, LOG_SRC_PLATFORM, "Power | could not take the %s inhibitor: %s", what,
             error.message ? error.message : std::strerror(-r));
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return *fd >= 0;
}

bool Power::Start() {
    if (bus_ != nullptr) return true;
    int r = sd_bus_open_system(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        if (!loggedNoBus_) {
            LOGF(LOG_INFO, LOG_SRC_PLATFORM, "Power | no system bus (%s): suspend will not stop recordings",
                 std::strerror(-r));
            loggedNoBus_ = true;
        }
        return false;
    }
    r = sd_bus_match_signal(bus_, &signalSlot_, "org.freedesktop.login1", "/org/freedesktop/login1",
                            "org.freedesktop.login1.Manager", "PrepareForSleep", OnPrepareForSleep,
                            &sleepEvents_);
    if (r < 0) {
        LOGF(LOG_INFO, LOG_SRC_PLATFORM, "Power | could not watch for suspend (%s)", std::strerror(-r));
        Stop();
        return false;
    }
    TakeInhibitor("sleep", "delay", &delayFd_);
    return true;
}

bool Power::Poll() {
    if (bus_ == nullptr) return false;
    for (int n = 0; n < 16; ++n) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r <= 0) break;
    }
    std::vector<bool> events;
    events.swap(sleepEvents_);
    bool announced = false;
    for (const bool starting : events) {
        if (starting) {
            announced = true;
            retakeAfterSleep_ = false;
        } else if (announced) {
            // The machine slept and woke before this poll (the delay ran
            // out): the caller still stops its recordings and calls
            // SleepHandled, which must not leave the next sleep without a
            // delay inhibitor.
            retakeAfterSleep_ = true;
        } else {
            TakeInhibitor("sleep", "delay", &delayFd_);  // awake again: ready for the next sleep
        }
    }
    return announced;
}

void Power::SleepHandled() {
    if (delayFd_ >= 0) close(delayFd_);  // lets the sleep go on
    delayFd_ = -1;
    if (retakeAfterSleep_) {
        retakeAfterSleep_ = false;
        TakeInhibitor("sleep", "delay", &delayFd_);
    }
}

void Power::HoldAwake(bool recording) {
    if (recording) {
        // One request per recording: the main loop calls this every pass, and
        // a refused inhibitor must not turn into a bus call and a log line
        // per pass.
        if (awakeFd_ < 0 && !awakeRequested_) TakeInhibitor("sleep:idle", "block", &awakeFd_);
        awakeRequested_ = true;
    } else {
        awakeRequested_ = false;
        if (awakeFd_ >= 0) close(awakeFd_);
        awakeFd_ = -1;
    }
}

void Power::Stop() {
    if (delayFd_ >= 0) close(delayFd_);
    if (awakeFd_ >= 0) close(awakeFd_);
    delayFd_ = awakeFd_ = -1;
    awakeRequested_ = retakeAfterSleep_ = false;
    sleepEvents_.clear();
    signalSlot_ = sd_bus_slot_unref(signalSlot_);
    if (bus_ != nullptr) bus_ = sd_bus_flush_close_unref(bus_);
}
