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

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in bindAddress{};
    bindAddress.sin_family = AF_INET;
    bindAddress.sin_port = htons(kMdnsPort);
    // Bound to the group itself: only multicast queries arrive here.
    inet_pton(AF_INET, kMdnsGroup, &bindAddress.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
        fprintf(stderr, "orvex-camsim: mdns cannot bind %s:%d: %s\n", kMdnsGroup, kMdnsPort, strerror(errno));
        close(fd);
        return false;
    }
    ip_mreq membership{};
    inet_pton(AF_INET, kMdnsGroup, &membership.imr_multiaddr);
    membership.imr_interface = a;
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
        inet_pton(AF_INET, "127.0.0.1", &membership.imr_interface);
        if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0 &&
            errno != EADDRINUSE) {
            fprintf(stderr, "orvex-camsim: mdns cannot join %s: %s\n", kMdnsGroup, strerror(errno));
            close(fd);
            return false;
        }
    }
    // Multicast answers leave on the unit's own interface.
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a);
    fd_ = fd;
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
    return true;
}

void MdnsResponder::Stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void MdnsResponder::Loop() {
    NameThisThread("sim-mdns");
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
