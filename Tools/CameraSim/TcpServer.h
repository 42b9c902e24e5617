// camsim::TcpServer — a listening socket on one address and port with a named
// accept thread that hands every connection to its own named thread.
// Stop() shuts the listener and every live connection down and joins all
// threads, so a handler must return once its socket reports an error.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace camsim {

class TcpServer {
public:
    // Handler runs on the connection's thread; `fd` is closed after it returns.
    using Handler = std::function<void(int fd, const std::string& peer)>;

    TcpServer() = default;
    ~TcpServer() { Stop(); }
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // Binds address:port (SO_REUSEADDR) and starts accepting. `threadName` is
    // at most 15 characters (pthread limit).
    bool Start(const std::string& address, int port, const std::string& threadName, Handler handler);
    void Stop();
    // Shuts every live connection down (the handlers see EOF or errors).
    void DropConnections();
    bool Listening() const { return listenFd_ >= 0; }
    int Port() const { return port_; }

private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void AcceptLoop();
    void ReapFinished_locked();

    Handler handler_;
    std::string threadName_;
    int port_ = 0;
    int listenFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex connectionsLock_;
    std::list<Connection> connections_;  // guarded by connectionsLock_
};

// Blocking helpers for handlers: false on error or EOF.
bool SendAllFd(int fd, const void* data, size_t length);
bool RecvAllFd(int fd, void* data, size_t length);

}  // namespace camsim
