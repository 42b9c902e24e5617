// ServiceProc against a scripted unit on loopback (127.0.10.50 - 59 and
// 127.0.60.1): the first full read, the request cadence, and the replies that
// must end the connection with their log lines.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CameraTestUtil.h"
#include "Video/Camera/Service.h"
#include "Support/Wait.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct Request {
    double atS;
    Bytes body;
};

// An answer that makes the scripted unit close the connection instead of
// replying (two bytes: never a frame of its own).
const std::vector<uint8_t>& HangUp() {
    static const std::vector<uint8_t> bytes = {0xDE, 0xAD};
    return bytes;
}

// Accepts one connection on address:8008 and answers each request frame
// with whatever `answer` returns (written raw: the test controls the length
// prefix too). An empty answer leaves the request unanswered; HangUp()
// closes the connection.
class ScriptedUnit {
public:
    using Answer = std::function<Bytes(const Bytes& request, int number)>;

    ScriptedUnit(const char* address, Answer answer) : answer_(std::move(answer)) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(picam::kServicePort);
        inet_pton(AF_INET, address, &sa.sin_addr);
        EXPECT_EQ(bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        listen(listen_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedUnit() {
        shutdown(listen_, SHUT_RDWR);
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (connection_ >= 0) shutdown(connection_, SHUT_RDWR);
        }
        thread_.join();
        close(listen_);
    }
    std::vector<Request> Requests() {
        std::lock_guard<std::mutex> lock(lock_);
        return requests_;
    }

private:
    void Serve() {
        int fd = accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        {
            std::lock_guard<std::mutex> lock(lock_);
            connection_ = fd;
        }
        const auto start = Clock::now();
        for (int n = 0;; ++n) {
            uint8_t size[4];
            if (recv(fd, size, 4, MSG_WAITALL) != 4) break;
            Bytes body(picam::ReadBigEndian32(size));
            if (!body.empty() && recv(fd, body.data(), body.size(), MSG_WAITALL) != static_cast<ssize_t>(body.size()))
                break;
            {
                std::lock_guard<std::mutex> lock(lock_);
                requests_.push_back({cameratest::SecondsSince(start), body});
            }
            Bytes reply = answer_(body, n);
            if (reply == HangUp()) break;
            if (!reply.empty() && send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
        }
        std::lock_guard<std::mutex> lock(lock_);
        close(fd);
        connection_ = -1;
    }

    Answer answer_;
    int listen_ = -1;
    int connection_ = -1;
    std::mutex lock_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// A well-formed reply: parameter 0 of group 0 = 9000.
Bytes VersionReply() {
    Bytes r(4);
    picam::WriteBigEndian32(r.data(), 8);
    Bytes record = {0, 0, 1, 4, 0, 0, 0x23, 0x28};
    r.insert(r.end(), record.begin(), record.end());
    return r;
}

bool Reads(const Bytes& body, int group, int index) {
    for (size_t p = 0; p + 4 <= body.size(); p += 4u + body[p + 3])
        if (body[p] == index && body[p + 1] == group && body[p + 2] == 1) return true;
    return false;
}

class ServiceProcTest : public ::testing::Test {
protected:
    void Run(const char* address) {
        service->SetHost(address);
        service->running = true;
        thread = std::thread([this] { picam::ServiceProc(service.get()); });
    }
    void TearDown() override {
        service->running = false;
        if (thread.joinable()) thread.join();
    }
    bool Ended(int timeoutMs) {
        return testsupport::WaitUntil([&] { return log.Contains("ServiceProc | thread stopped"); },
                                      std::chrono::milliseconds(timeoutMs));
    }

    cameratest::LogCapture log;
    std::unique_ptr<picam::Service> service = std::make_unique<picam::Service>();
    std::thread thread;
};

// The middle value of the gaps between successive times.
double MedianGap(const std::vector<double>& times) {
    std::vector<double> gaps;
    for (size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    if (gaps.empty()) return 0;
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
}

// The cadence is measured from the unit's own receive times over a dozen
// status polls (about 3 s): medians of the gaps, so that a busy machine that
// delays a few requests (and so shortens or merges the next ones) cannot
// change the verdict.
TEST_F(ServiceProcTest, FirstReadThenPollCadence) {
    ScriptedUnit unit("127.0.10.50", [](const Bytes&, int) { return VersionReply(); });
    Run("127.0.10.50");
    const auto polls = [&] {
        std::vector<double> at;
        const std::vector<Request> requests = unit.Requests();
        for (size_t i = 1; i < requests.size(); ++i)
            if (Reads(requests[i].body, 0, 5)) at.push_back(requests[i].atS);
        return at;
    };
    ASSERT_TRUE(testsupport::WaitUntil([&] { return polls().size() >= 13; }, std::chrono::seconds(60)));
    service->running = false;
    thread.join();
    const std::vector<Request> requests = unit.Requests();
    // An empty mirror reads everything first: 2 x (5 messages + 192 parameters).
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].body.size(), 2u * (5 + 192) * 4);
    EXPECT_TRUE(Reads(requests[0].body, 1, 191));
    // Then parameter 23 every 50 ms and the status set (group 0 only) every 250 ms.
    std::vector<double> pollAt, fastAt;
    for (size_t i = 1; i < requests.size(); ++i) {
        if (Reads(requests[i].body, 1, 23)) fastAt.push_back(requests[i].atS);
        if (Reads(requests[i].body, 0, 5)) {
            pollAt.push_back(requests[i].atS);
            EXPECT_TRUE(Reads(requests[i].body, 1, 76));
            EXPECT_FALSE(Reads(requests[i].body, 1, 5));
        }
    }
    ASSERT_GE(pollAt.size(), 13u);
    EXPECT_NEAR(MedianGap(pollAt), 0.25, 0.06);
    EXPECT_NEAR(MedianGap(fastAt), 0.05, 0.03);
    EXPECT_TRUE(log.Contains("ServiceProc | connecting to 127.0.10.50:8008"));
    EXPECT_TRUE(log.Contains("ServiceProc | connected"));
    EXPECT_TRUE(log.Contains("ServiceProc | not connected"));
    EXPECT_FALSE(service->connected.load());
}

struct EndCase {
    const char* name;
    const char* address;
    std::function<Bytes(int n)> reply;  // for request n
    const char* logLine;
};

TEST_F(ServiceProcTest, BadRepliesEndTheConnection) {
    const EndCase cases[] = {
        {"zero length", "127.0.10.51", [](int) { return Bytes{0, 0, 0, 0}; }, "ServiceProc | recv buffer size is zero"},
        {"length above the bound", "127.0.10.52",
         [](int) {
             return Bytes{0, 0x50, 0, 0};  // 5 MiB announced
         },
         "ServiceProc | recv buffer error: Message too long"},
        {"short body", "127.0.10.53",
         [](int) {
             return Bytes{0, 0, 0, 8, 0, 0, 1};
         },
         "ServiceProc | recv buffer error: "},
        {"peer closed", "127.0.60.1", [](int n) { return n == 0 ? VersionReply() : HangUp(); },
         "ServiceProc | recv size, server disconnected"},
        {"no answer", "127.0.10.54", [](int n) { return n == 0 ? VersionReply() : Bytes{}; },
         "ServiceProc | recv size error: Connection timed out"},
    };
    for (const EndCase& c : cases) {
        auto fresh = std::make_unique<picam::Service>();
        cameratest::LogCapture caseLog;
        ScriptedUnit unit(c.address, [&](const Bytes&, int n) { return c.reply(n); });
        fresh->SetHost(c.address);
        fresh->running = true;
        const auto start = Clock::now();
        std::thread t([&] { picam::ServiceProc(fresh.get()); });
        const bool ended = testsupport::WaitUntil([&] { return caseLog.Contains("ServiceProc | thread stopped"); },
                                                  std::chrono::milliseconds(10000));
        fresh->running = false;
        t.join();
        EXPECT_TRUE(ended) << c.name;
        EXPECT_LT(cameratest::SecondsSince(start), 3.0) << c.name;
        const std::string text = caseLog.Text();
        EXPECT_NE(text.find(c.logLine), std::string::npos) << c.name << "\n" << text;
        EXPECT_LT(text.find(c.logLine), text.find("ServiceProc | not connected")) << c.name;
        EXPECT_FALSE(fresh->running.load()) << c.name;
    }
}

TEST_F(ServiceProcTest, RefusedConnectionEndsTheThread) {
    Run("127.0.10.55");  // nothing listens there
    EXPECT_TRUE(Ended(3000));
    EXPECT_TRUE(log.Contains("ServiceProc | connection failed: Connection refused"));
    EXPECT_FALSE(service->running.load());
}

}  // namespace
