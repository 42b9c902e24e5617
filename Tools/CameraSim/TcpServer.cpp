#include "CameraSim/TcpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Base/Thread.h"

namespace camsim {

bool SendAllFd(int fd, const void* data, size_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t n = send(fd, p, length, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool RecvAllFd(int fd, void* data, size_t length) {
    auto* p = static_cast<uint8_t*>(data);
    while (length > 0) {
        ssize_t n = recv(fd, p, length, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool TcpServer::Start(const std::string& address, int port, const std::string& threadName, Handler handler) {
    Stop();
    handler_ = std::move(handler);
    threadName_ = threadName;
    port_ = port;
    stopping_ = false;

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 16) != 0) {
        fprintf(stderr, "orvex-camsim: cannot listen on %s:%d: %s\n", address.c_str(), port, strerror(errno));
        close(fd);
        return false;
    }
    listenFd_ = fd;
    acceptThread_ = base::StartThread(threadName_.c_str(), [this] { AcceptLoop(); });
    return true;
}

void TcpServer::AcceptLoop() {
    while (!stopping_) {
        pollfd pfd{listenFd_, POLLIN, 0};
        int r = poll(&pfd, 1, 100);
        if (r <= 0) continue;
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0) continue;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        char text[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        std::string peerText = text;

        std::lock_guard<std::mutex> lock(connectionsLock_);
        ReapFinished_locked();
        connections_.emplace_back();
        Connection& c = connections_.back();
        c.fd = fd;
        c.thread = base::StartThread((threadName_ + "-c").c_str(), [this, &c, peerText] {
            handler_(c.fd, peerText);
            // The descriptor is closed when the thread is reaped; shut it down
            // now so the peer sees the end of the connection at once.
            shutdown(c.fd, SHUT_RDWR);
            c.done = true;
        });
    }
}

void TcpServer::ReapFinished_locked() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (it->done) {
            it->thread.join();
            close(it->fd);
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void TcpServer::DropConnections() {
    std::lock_guard<std::mutex> lock(connectionsLock_);
    for (Connection& c : connections_)
        if (!c.done) shutdown(c.fd, SHUT_RDWR);
}

void TcpServer::Stop() {
    stopping_ = true;
    if (acceptThread_.joinable()) acceptThread_.join();
    if (listenFd_ >= 0) close(listenFd_);
    listenFd_ = -1;
    std::list<Connection> remaining;
    {
        std::lock_guard<std::mutex> lock(connectionsLock_);
        for (Connection& c : connections_) shutdown(c.fd, SHUT_RDWR);
        remaining.splice(remaining.end(), connections_);
    }
    for (Connection& c : remaining) {
        if (c.thread.joinable()) c.thread.join();
        close(c.fd);
    }
}

}  // namespace camsim
