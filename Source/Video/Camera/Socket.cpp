#include "Video/Camera/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "Video/Camera/Mdns.h"

namespace {

bool IsNonBlocking(int handle) {
    int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

bool SetNonBlocking(int handle, bool on) {
    int flags = fcntl(handle, F_GETFL, 0);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(handle, F_SETFL, flags) == 0;
}

// On a blocking socket EAGAIN from recv/send means the SO_RCVTIMEO or
// SO_SNDTIMEO limit passed: report it as the time-out it is, so that callers
// can tell it from "non-blocking and nothing there".
bool WouldBlockOnNonBlocking(int handle, int error) {
    if (error != EAGAIN && error != EWOULDBLOCK) return false;
    if (IsNonBlocking(handle)) return true;
    errno = ETIMEDOUT;
    return false;
}

// Shuts down and closes a handle without disturbing the error of the call
// that failed.
void CloseKeepingError(int handle) {
    int saved = errno;
    shutdown(handle, SHUT_RDWR);
    close(handle);
    errno = saved;
}

bool EndsWithLocal(const std::string& name) {
    static const char suffix[] = ".local";
    const size_t n = sizeof suffix - 1;
    if (name.size() <= n) return false;
    std::string tail = name.substr(name.size() - n);
    if (name.back() == '.') tail = name.substr(name.size() - n - 1, n);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == suffix;
}

}  // namespace

int NetStartup() { return 0; }
void NetCleanup() {}

int LastSocketError() { return errno; }
void SetLastSocketError(int code) { errno = code; }

std::string SocketErrorText(int code) {
    char buffer[1024];
    buffer[0] = 0;
    // GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string(buffer);
}

bool ResolveIPv4(const std::string& name, std::string* out) {
    out->clear();
    if (EndsWithLocal(name)) {
        std::string address;
        if (MdnsQueryIPv4(name, &address, kMdnsWaitMs)) *out = address;
        return true;
    }
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) {
        SetLastSocketError(rc == EAI_SYSTEM ? errno : EHOSTUNREACH);
        return false;
    }
    char text[256] = "";
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr, text, sizeof text);
        break;
    }
    freeaddrinfo(list);
    *out = text;
    return true;
}

int ConnectTcp(const std::string& host, int port, uint32_t timeoutUs) {
    int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return -1;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        errno = EINVAL;
        CloseKeepingError(handle);
        return -1;
    }
    if (!SetNonBlocking(handle, true)) {
        CloseKeepingError(handle);
        return -1;
    }
    if (connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        CloseKeepingError(handle);
        return -1;
    }

    // poll instead of select: select cannot hold a descriptor above 1023.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += timeoutUs / 1000000;
    deadline.tv_nsec += static_cast<long>(timeoutUs % 1000000) * 1000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000;
    }
    for (;;) {
        pollfd pfd{handle, POLLOUT, 0};
        int rc;
        if (timeoutUs == kSocketWaitForever) {
            rc = ppoll(&pfd, 1, nullptr, nullptr);
        } else {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            int64_t leftNs = (static_cast<int64_t>(deadline.tv_sec) - now.tv_sec) * 1000000000 +
                             (deadline.tv_nsec - now.tv_nsec);
            if (leftNs < 0) leftNs = 0;
            timespec left{static_cast<time_t>(leftNs / 1000000000), static_cast<long>(leftNs % 1000000000)};
            rc = ppoll(&pfd, 1, &left, nullptr);
        }
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) {
            CloseKeepingError(handle);
            return -1;
        }
        if (rc == 0) {
            errno = ETIMEDOUT;
            CloseKeepingError(handle);
            return -1;
        }
        break;
    }
    // A failed connect also shows as writable here: SO_ERROR tells.
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        if (error != 0) errno = error;
        CloseKeepingError(handle);
        return -1;
    }
    if (!SetNonBlocking(handle, false)) {
        CloseKeepingError(handle);
        return -1;
    }
    return handle;
}

uint32_t ReceiveTimeoutMs(uint32_t timeoutUs) {
    if (timeoutUs == kSocketWaitForever) return 0;
    if (timeoutUs < 1000) return 1;
    return timeoutUs / 1000;
}

bool SetReceiveTimeout(int handle, uint32_t timeoutUs) {
    if (timeoutUs == 0) return SetNonBlocking(handle, true);
    uint32_t ms = ReceiveTimeoutMs(timeoutUs);
    timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
    return setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

void TcpSocket::Close() {
    if (handle == -1) return;
    CloseKeepingError(handle);
    handle = -1;
}

// Operations on a closed holder say so in the error (ENOTCONN) instead of
// leaving errno as an earlier call set it: a connect that succeeded after
// EINPROGRESS would otherwise be reported as the reason of a later failure.
int TcpSocket::SendAll(const void* buffer, int length) {
    if (handle == -1) {
        errno = ENOTCONN;
        return -1;
    }
    timeval tv{1, 0};
    if (setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
        Close();
        return -1;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    int total = 0;
    while (total < length) {
        ssize_t n = send(handle, bytes + total, static_cast<size_t>(length - total), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n == 0) {
            Close();
            return total;
        }
        if (!WouldBlockOnNonBlocking(handle, errno)) Close();
        return -1;
    }
    return length;
}

int TcpSocket::ReceiveAll(void* buffer, int length, uint32_t timeoutUs) {
    if (handle == -1) {
        errno = ENOTCONN;
        return -1;
    }
    if (!SetReceiveTimeout(handle, timeoutUs)) {
        Close();
        return -1;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    int total = 0;
    while (total < length) {
        ssize_t n = recv(handle, bytes + total, static_cast<size_t>(length - total), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            total += static_cast<int>(n);
            continue;
        }
        if (n == 0) {
            Close();
            return 0;
        }
        if (total == 0 && WouldBlockOnNonBlocking(handle, errno)) return 0;
        if (errno == EAGAIN || errno == EWOULDBLOCK) errno = ETIMEDOUT;
        Close();
        return -1;
    }
    return length;
}

int TcpSocket::ReceiveSome(void* buffer, int capacity, uint32_t timeoutUs) {
    if (handle == -1) {
        errno = ENOTCONN;
        return -1;
    }
    if (!SetReceiveTimeout(handle, timeoutUs)) return -1;
    ssize_t n;
    do {
        n = recv(handle, buffer, static_cast<size_t>(capacity > 0 ? capacity : 0), 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return static_cast<int>(n);
    if (n < 0 && WouldBlockOnNonBlocking(handle, errno)) return -1;
    Close();
    return static_cast<int>(n);
}
