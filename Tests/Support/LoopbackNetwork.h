// Moves this test process, and every process it starts afterwards, into a
// network namespace of its own whose only interface is loopback (brought up),
// so that the Studio's discovery multicasts and the simulator never reach a
// real network and no other test's simulated unit answers. As root this is a
// plain network namespace; otherwise a user namespace in which this user is
// root carries it. Call it before the test starts any thread.
// Header-only: every test folder builds its own program.
#pragma once

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace testsupport {

namespace detail {

inline bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

}  // namespace detail

// False with the reason in `error` when no such namespace could be made.
inline bool EnterLoopbackOnlyNetwork(std::string* error) {
    if (unshare(CLONE_NEWNET) != 0) {
        const uid_t uid = getuid();
        const gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            *error = std::string("unshare: ") + std::strerror(errno);
            return false;
        }
        if (!detail::WriteProcFile("/proc/self/setgroups", "deny") ||
            !detail::WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !detail::WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
            *error = std::string("user namespace maps: ") + std::strerror(errno);
            return false;
        }
    }
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(s, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ioctl(s, SIOCSIFFLAGS, &request) == 0;
    if (!up) *error = std::string("bringing up lo: ") + std::strerror(errno);
    close(s);
    if (!up) return false;

    // Nothing but loopback may be there.
    struct if_nameindex* names = if_nameindex();
    bool onlyLoopback = names != nullptr;
    for (struct if_nameindex* n = names; n != nullptr && n->if_index != 0; ++n)
        onlyLoopback = onlyLoopback && std::strcmp(n->if_name, "lo") == 0;
    if (names != nullptr) if_freenameindex(names);
    if (!onlyLoopback) *error = "the new namespace has interfaces other than lo";
    return onlyLoopback;
}

}  // namespace testsupport
