#include "Base/SingleInstance.h"
#include "Base/Clock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "Base/Log.h"
#include "Base/Version.h"

namespace {

constexpr char kRaiseRequest[] = "raise\n";

socklen_t SocketAddress(const std::string& name, sockaddr_un* address) {
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    const size_t n = std::min(name.size(), sizeof(address->sun_path) - 1);
    // Abstract name: a leading zero byte, no terminator, no file on disk.
    std::memcpy(address->sun_path + 1, name.data(), n);
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + n);
}

}  // namespace

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::SocketName(const Path& dataFolder) {
    // FNV-1a of the folder text keeps the name short whatever the path.
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : dataFolder.Text()) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char suffix[24];
    std::snprintf(suffix, sizeof(suffix), " %016llx", static_cast<unsigned long long>(hash));
    return std::string(AppInstanceMutex) + suffix;
}

bool SingleInstance::Acquire(const Path& dataFolder) {
    socketName_ = SocketName(dataFolder);
    const Path lockPath = Join(dataFolder, "instance.lock");
    lockFd_ = open(lockPath.CStr(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) {
        LOGF(LOG_WARN, LOG_SRC_PLATFORM, "SingleInstance | could not open %s (%s), running without the guard",
             lockPath.CStr(), std::strerror(errno));
        return true;
    }
    if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return true;
    const int error = errno;
    close(lockFd_);
    lockFd_ = -1;
    if (error == EWOULDBLOCK) return false;
    LOGF(LOG_WARN, LOG_SRC_PLATFORM, "SingleInstance | could not lock %s (%s), running without the guard",
         lockPath.CStr(), std::strerror(error));
    return true;
}

bool SingleInstance::HandOver(int wait_ms) const {
    sockaddr_un address;
    const socklen_t length = SocketAddress(socketName_, &address);
    const int64_t start = MonotonicMs();
    // Try again and again without sleeping, as long as the wait allows.
    while (MonotonicMs() - start < wait_ms) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            LOGF(LOG_INFO, LOG_SRC_MAIN, "Switching to an existing instance of ORVEX Studio");
            const ssize_t sent = send(fd, kRaiseRequest, sizeof(kRaiseRequest) - 1, MSG_NOSIGNAL);
            close(fd);
            return sent == ssize_t(sizeof(kRaiseRequest) - 1);
        }
        close(fd);
    }
    return false;
}

bool SingleInstance::Listen() {
    if (listenFd_ >= 0) return true;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address;
    const socklen_t length = SocketAddress(socketName_, &address);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) {
        LOGF(LOG_WARN, LOG_SRC_PLATFORM, "SingleInstance | could not listen for other instances (%s)",
             std::strerror(errno));
        close(fd);
        return false;
    }
    listenFd_ = fd;
    LOGF(LOG_DEBUG, LOG_SRC_PLATFORM, "SingleInstance | listening for other instances");
    return true;
}

bool SingleInstance::PollRaiseRequest() {
    if (listenFd_ < 0) return false;
    bool raise = false;
    for (int n = 0; n < 8; ++n) {  // a few per frame at most
        const int client = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) break;
        // Any connection counts as a request; the text is read only to drain it.
        char buffer[16];
        (void)recv(client, buffer, sizeof(buffer), MSG_DONTWAIT);
        close(client);
        raise = true;
    }
    return raise;
}

void SingleInstance::Release() {
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
    if (lockFd_ >= 0) close(lockFd_);  // closing drops the flock
    lockFd_ = -1;
}
