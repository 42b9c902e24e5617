#include "Video/Camera/Mdns.h"
#include "Base/Clock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void Put16(std::vector<uint8_t>* p, uint16_t v) {
    p->push_back(static_cast<uint8_t>(v >> 8));
    p->push_back(static_cast<uint8_t>(v));
}

void Put32(std::vector<uint8_t>* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v >> 16));
    Put16(p, static_cast<uint16_t>(v));
}

uint16_t NewQueryId() {
    static thread_local std::minstd_rand generator(static_cast<unsigned>(MonotonicMs()) ^
                                                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(&generator)));
    return static_cast<uint16_t>(generator() & 0xFFFF);
}

}  // namespace

bool DnsAppendName(std::vector<uint8_t>* packet, const std::string& name) {
    std::string n = name;
    if (!n.empty() && n.back() == '.') n.pop_back();
    if (n.empty() || n.size() > 253) return false;
    size_t start = 0;
    while (start <= n.size()) {
        size_t dot = n.find('.', start);
        if (dot == std::string::npos) dot = n.size();
        size_t label = dot - start;
        if (label == 0 || label > 63) return false;
        packet->push_back(static_cast<uint8_t>(label));
        packet->insert(packet->end(), n.begin() + static_cast<long>(start), n.begin() + static_cast<long>(dot));
        start = dot + 1;
    }
    packet->push_back(0);
    return true;
}

bool DnsReadName(const uint8_t* packet, size_t length, size_t* offset, std::string* name) {
    name->clear();
    size_t pos = *offset;
    size_t resume = 0;  // position after the first pointer, once one was followed
    int jumps = 0;
    for (;;) {
        if (pos >= length) return false;
        uint8_t l = packet[pos];
        if ((l & 0xC0) == 0xC0) {
            if (pos + 1 >= length) return false;
            size_t target = static_cast<size_t>(((l & 0x3F) << 8) | packet[pos + 1]);
            if (jumps == 0) resume = pos + 2;
            // A pointer must lead backwards; bounded jumps catch any loop.
            if (target >= pos || ++jumps > 64) return false;
            pos = target;
            continue;
        }
        if ((l & 0xC0) != 0) return false;  // 0x40 and 0x80 label types are not used
        if (l == 0) {
            *offset = jumps ? resume : pos + 1;
            return true;
        }
        if (pos + 1 + l > length) return false;
        if (!name->empty()) name->push_back('.');
        name->append(reinterpret_cast<const char*>(packet + pos + 1), l);
        if (name->size() > 255) return false;
        pos += 1 + l;
    }
}

bool DnsNamesEqual(const std::string& a, const std::string& b) {
    size_t na = a.size(), nb = b.size();
    if (na && a[na - 1] == '.') --na;
    if (nb && b[nb - 1] == '.') --nb;
    if (na != nb) return false;
    for (size_t i = 0; i < na; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::vector<uint8_t> MdnsBuildQuery(const std::string& name, uint16_t id) {
    std::vector<uint8_t> p;
    Put16(&p, id);
    Put16(&p, 0);  // standard query
    Put16(&p, 1);  // one question
    Put16(&p, 0);
    Put16(&p, 0);
    Put16(&p, 0);
    if (!DnsAppendName(&p, name)) return {};
    Put16(&p, kDnsTypeA);
    Put16(&p, 0x8000 | kDnsClassIn);  // QU: ask for a unicast answer
    return p;
}

bool MdnsParseAnswer(const uint8_t* packet, size_t length, uint16_t id, const std::string& name,
                     uint32_t* addressNetworkOrder) {
    if (length < 12) return false;
    if (Read16(packet) != id) return false;
    uint16_t flags = Read16(packet + 2);
    if ((flags & 0x8000) == 0 || (flags & 0x000F) != 0) return false;  // not a response, or an error
    unsigned questions = Read16(packet + 4);
    unsigned records = static_cast<unsigned>(Read16(packet + 6)) + Read16(packet + 8) + Read16(packet + 10);
    size_t pos = 12;
    std::string owner;
    for (unsigned i = 0; i < questions; ++i) {
        if (!DnsReadName(packet, length, &pos, &owner) || pos + 4 > length) return false;
        pos += 4;
    }
    for (unsigned i = 0; i < records; ++i) {
        if (!DnsReadName(packet, length, &pos, &owner) || pos + 10 > length) return false;
        uint16_t type = Read16(packet + pos);
        uint16_t klass = Read16(packet + pos + 2) & 0x7FFF;  // top bit: cache-flush
        uint16_t dataLength = Read16(packet + pos + 8);
        pos += 10;
        if (pos + dataLength > length) return false;
        if (type == kDnsTypeA && klass == kDnsClassIn && dataLength == 4 && DnsNamesEqual(owner, name)) {
            uint32_t a;
            memcpy(&a, packet + pos, 4);
            *addressNetworkOrder = a;
            return true;
        }
        pos += dataLength;
    }
    return false;
}

bool MdnsParseQuestions(const uint8_t* packet, size_t length, uint16_t* id, std::vector<std::string>* names) {
    names->clear();
    if (length < 12) return false;
    *id = Read16(packet);
    uint16_t flags = Read16(packet + 2);
    if ((flags & 0x8000) != 0 || ((flags >> 11) & 0xF) != 0) return false;  // a response, or not a query
    unsigned questions = Read16(packet + 4);
    size_t pos = 12;
    std::string qname;
    for (unsigned i = 0; i < questions; ++i) {
        if (!DnsReadName(packet, length, &pos, &qname) || pos + 4 > length) return false;
        uint16_t type = Read16(packet + pos);
        uint16_t klass = Read16(packet + pos + 2) & 0x7FFF;
        pos += 4;
        if ((type == kDnsTypeA || type == 255) && (klass == kDnsClassIn || klass == 255)) names->push_back(qname);
    }
    return true;
}

std::vector<uint8_t> MdnsBuildAnswer(const std::string& name, uint16_t id, uint32_t addressNetworkOrder) {
    std::vector<uint8_t> p;
    Put16(&p, id);
    Put16(&p, 0x8400);  // response, authoritative
    Put16(&p, 1);
    Put16(&p, 1);
    Put16(&p, 0);
    Put16(&p, 0);
    if (!DnsAppendName(&p, name)) return {};
    Put16(&p, kDnsTypeA);
    Put16(&p, kDnsClassIn);
    Put16(&p, 0xC00C);  // the answer's name points at the question's
    Put16(&p, kDnsTypeA);
    Put16(&p, kDnsClassIn);
    Put32(&p, 10);
    Put16(&p, 4);
    const auto* a = reinterpret_cast<const uint8_t*>(&addressNetworkOrder);
    p.insert(p.end(), a, a + 4);
    return p;
}

int MdnsOpenGroupSocket(const std::string& interfaceAddress) {
    in_addr local{};
    if (inet_pton(AF_INET, interfaceAddress.c_str(), &local) != 1) {
        errno = EINVAL;
        return -1;
    }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    sockaddr_in bindAddress{};
    bindAddress.sin_family = AF_INET;
    bindAddress.sin_port = htons(kMdnsPort);
    // Bound to the group itself: only multicast queries arrive here.
    inet_pton(AF_INET, kMdnsGroup, &bindAddress.sin_addr);
    ip_mreq membership{};
    inet_pton(AF_INET, kMdnsGroup, &membership.imr_multiaddr);
    membership.imr_interface = local;
    bool joined = bind(fd, reinterpret_cast<sockaddr*>(&bindAddress), sizeof bindAddress) == 0;
    if (joined && setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
        inet_pton(AF_INET, "127.0.0.1", &membership.imr_interface);
        joined = setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 ||
                 errno == EADDRINUSE;
    }
    if (!joined) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    return fd;
}

bool MdnsLoopbackOnly() {
    const char* value = getenv("ORVEX_MDNS_LOOPBACK_ONLY");
    return value != nullptr && value[0] != 0 && strcmp(value, "0") != 0;
}

std::vector<std::string> MdnsQueryInterfaces(bool loopbackOnly) {
    std::vector<std::string> addresses;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return addresses;
    for (ifaddrs* i = interfaces; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
        if (loopbackOnly && !(i->ifa_flags & IFF_LOOPBACK)) continue;
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text))
            addresses.push_back(text);
    }
    freeifaddrs(interfaces);
    return addresses;
}

bool MdnsQueryIPv4(const std::string& name, std::string* address, int waitMs) {
    address->clear();
    const uint16_t id = NewQueryId();
    std::vector<uint8_t> query = MdnsBuildQuery(name, id);
    if (query.empty()) return false;

    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int ttl = 255;
    unsigned char loop = 1;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);

    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(kMdnsPort);
    inet_pton(AF_INET, kMdnsGroup, &group.sin_addr);

    int sent = 0;
    for (const std::string& interfaceAddress : MdnsQueryInterfaces(MdnsLoopbackOnly())) {
        in_addr local{};
        if (inet_pton(AF_INET, interfaceAddress.c_str(), &local) != 1) continue;
        if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local) != 0) continue;
        if (sendto(fd, query.data(), query.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&group), sizeof group) ==
            static_cast<ssize_t>(query.size()))
            ++sent;
    }

    bool found = false;
    if (sent > 0) {
        const int64_t deadline = MonotonicMs() + waitMs;
        uint8_t buffer[1500];
        for (;;) {
            int64_t left = deadline - MonotonicMs();
            if (left <= 0) break;
            pollfd pfd{fd, POLLIN, 0};
            int rc = poll(&pfd, 1, static_cast<int>(left));
            if (rc < 0 && errno == EINTR) continue;
            if (rc <= 0) break;
            ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) continue;
            uint32_t a = 0;
            if (MdnsParseAnswer(buffer, static_cast<size_t>(n), id, name, &a)) {
                char text[INET_ADDRSTRLEN];
                inet_ntop(AF_INET, &a, text, sizeof text);
                *address = text;
                found = true;
                break;
            }
        }
    }
    close(fd);
    return found;
}
