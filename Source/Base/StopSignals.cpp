#include "Base/StopSignals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Set once by BlockStopSignals on the UI thread before other threads exist.
int signalFd = -1;
int lastSignal = 0;  // UI thread: the signal StopSignalPending took last

sigset_t StopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Reads one pending signal from the descriptor; 0 when none is waiting.
int ReadSignal() {
    signalfd_siginfo info{};
    for (;;) {
        const ssize_t n = read(signalFd, &info, sizeof info);
        if (n == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
        if (n < 0 && errno == EINTR) continue;
        return 0;
    }
}

}  // namespace

bool BlockStopSignals() {
    const sigset_t set = StopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (signalFd < 0) signalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    return signalFd >= 0;
}

int WaitForStopSignal() {
    if (signalFd < 0) {
        const sigset_t set = StopSet();
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        return signal;
    }
    for (;;) {
        pollfd p{signalFd, POLLIN, 0};
        const int ready = poll(&p, 1, -1);
        if (ready < 0 && errno != EINTR) return 0;
        if (ready > 0) {
            const int signal = ReadSignal();
            if (signal != 0) return signal;
        }
    }
}

bool StopSignalPending() {
    int signal = 0;
    if (signalFd < 0) {
        const sigset_t set = StopSet();
        const timespec zero{0, 0};
        signal = sigtimedwait(&set, nullptr, &zero);
        if (signal < 0) signal = 0;
    } else {
        signal = ReadSignal();
    }
    if (signal != 0) lastSignal = signal;
    return signal != 0;
}

int LastStopSignal() { return lastSignal; }

int StopSignalDescriptor() { return signalFd; }
