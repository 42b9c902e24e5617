#include "CameraSim/MdnsResponder.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "Base/Thread.h"
#include "CameraSim/TcpServer.h"
#include "Video/Camera/Mdns.h"

namespace camsim {

namespace {

class MdnsResponder : public PortServer {
public:
    const char* Name() const override { return "mdns"; }
    bool Start(Unit& unit) override;
    void Stop() override;

private:
    void Loop();

    Unit* unit_ = nullptr;
    std::string hostName_;
    uint32_t address_ = 0;  // network order
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

bool MdnsResponder::Start(Unit& unit) {
    unit_ = &unit;
    hostName_ = unit.Opts().name + ".local";
    in_addr a{};
    if (inet_pton(AF_INET, unit.Opts().address.c_str(), &a) != 1) return false;
    address_ = a.s_addr;

    int fd = MdnsOpenGroupSocket(unit.Opts().address);
    if (fd < 0) {
        fprintf(stderr, "orvex-camsim: mdns cannot listen on %s:%d: %s\n", kMdnsGroup, kMdnsPort, strerror(errno));
        return false;
    }
    fd_ = fd;
    stopping_ = false;
    thread_ = base::StartThread("sim-mdns", [this] { Loop(); });
    return true;
}

void MdnsResponder::Stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void MdnsResponder::Loop() {
    uint8_t buffer[1500];
    std::vector<std::string> names;
    while (!stopping_) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) continue;
        uint16_t id = 0;
        if (!MdnsParseQuestions(buffer, static_cast<size_t>(n), &id, &names)) continue;
        for (const std::string& name : names) {
            if (!DnsNamesEqual(name, hostName_)) continue;
            const bool legacy = ntohs(from.sin_port) != kMdnsPort;
            std::vector<uint8_t> answer = MdnsBuildAnswer(hostName_, legacy ? id : 0, address_);
            sockaddr_in to = from;
            if (!legacy) {
                to.sin_port = htons(kMdnsPort);
                inet_pton(AF_INET, kMdnsGroup, &to.sin_addr);
            }
            sendto(fd_, answer.data(), answer.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
            break;
        }
    }
}

}  // namespace

std::unique_ptr<PortServer> MakeMdnsResponder() { return std::make_unique<MdnsResponder>(); }

}  // namespace camsim
