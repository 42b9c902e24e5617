// Helpers of the camera-link tests: a temporary folder, the log capture,
// unique host-name stems and a tiny mDNS answerer for extra names.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Base/Log.h"
#include "Base/FileServices.h"
#include "Video/Camera/Mdns.h"
#include "Video/Camera/Service.h"
#include "Support/LogCapture.h"
#include "Support/TempFolder.h"

namespace cameratest {

using ::TempFolder;

using testsupport::LogCapture;

// A parameter record with the given value, range, default and display scale.
inline picam::ParamRecord Record(int32_t value, int32_t minimum, int32_t maximum, int32_t defaultValue,
                                 int32_t num = 1, int32_t den = 1) {
    picam::ParamRecord r;
    picam::InitParamRecord(&r);
    r.value = value;
    r.minimum = minimum;
    r.maximum = maximum;
    r.defaultValue = defaultValue;
    r.scaleNum = num;
    r.scaleDen = den;
    return r;
}

// A host-name stem no other test or process uses.
inline std::string UniqueStem(const char* what) {
    return std::string("orvt-") + what + "-" + std::to_string(getpid());
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Answers mDNS A queries for one extra name with a given address (a second
// name of the same unit, or a name for an address nobody serves).
class ExtraName {
public:
    ExtraName(const std::string& name, const std::string& address) : name_(name) {
        in_addr a{};
        inet_pton(AF_INET, address.c_str(), &a);
        address_ = a.s_addr;
        fd_ = MdnsOpenGroupSocket("127.0.0.1");
        thread_ = std::thread([this] { Loop(); });
    }
    ~ExtraName() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }

private:
    void Loop() {
        uint8_t buffer[1500];
        std::vector<std::string> names;
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            uint16_t id = 0;
            if (n <= 0 || !MdnsParseQuestions(buffer, static_cast<size_t>(n), &id, &names)) continue;
            for (const std::string& q : names) {
                if (!DnsNamesEqual(q, name_)) continue;
                std::vector<uint8_t> answer = MdnsBuildAnswer(name_, id, address_);
                sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
            }
        }
    }

    std::string name_;
    uint32_t address_ = 0;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace cameratest
