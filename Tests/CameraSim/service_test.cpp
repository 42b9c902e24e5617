// The simulator's camera service (port 8008) and its command line: request
// answers record by record, the fault options over TCP, and the
// orvex-camsim process itself (console lines, --help, clean stop).
// Addresses 127.0.11.1 - 127.0.11.40.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim/ServiceServer.h"
#include "CameraSim/Unit.h"
#include "Support/ChildProcess.h"
#include "Support/FileText.h"
#include "Support/TempFolder.h"
#include "Support/Wait.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}
uint32_t Get32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// Captures the unit's console; released even when an assertion leaves early.
class StdoutCapture {
public:
    StdoutCapture() { ::testing::internal::CaptureStdout(); }
    ~StdoutCapture() {
        if (!taken_) ::testing::internal::GetCapturedStdout();
    }
    std::string Take() {
        taken_ = true;
        return ::testing::internal::GetCapturedStdout();
    }

private:
    bool taken_ = false;
};

camsim::Options Offline() {
    camsim::Options o;
    o.mdns = false;
    return o;
}

struct AnswerCase {
    const char* name;
    Bytes request;
    Bytes expectedPrefix;  // first bytes of the reply
    size_t expectedLength;
    const char* consoleLine;  // expected stdout, "" for none
};

TEST(SimService, AnswersRecordByRecord) {
    const AnswerCase cases[] = {
        {"read of a described parameter: the full record", {82, 0, 1, 0}, {82, 0, 1, 220, 0, 0, 0, 50, 0, 0, 0, 50}, 224, ""},
        {"read of an index the unit lacks: value only", {200, 1, 1, 0}, {200, 1, 1, 4, 0, 0, 0, 0}, 8, ""},
        {"accepted write: stored value, one console line", {94, 0, 2, 4, 0, 0, 0, 1}, {94, 0, 1, 4, 0, 0, 0, 1}, 8,
         "write group 0 param 94 = 1\n"},
        {"refused write (out of range)", {82, 1, 2, 4, 0, 0, 0, 101}, {82, 1, 1, 4, 0, 0, 0, 50}, 8, ""},
        {"refused write (read-only)", {7, 0, 2, 4, 0, 0, 0, 1}, {7, 0, 1, 4}, 8, ""},
        {"message write answered with the stored text", {3, 1, 6, 2, 'h', 'i'}, {3, 1, 5, 2, 'h', 'i'}, 6, ""},
        {"message read", {0, 0, 5, 0}, {0, 0, 5, 10, 'O', 'R', 'V', 'E', 'X'}, 14, ""},
        {"group 2 and unknown kinds stepped over: the version answers", {1, 2, 1, 0, 9, 0, 7, 0},
         {0, 0, 1, 220}, 224, ""},
        {"truncated header: the version answers", {1, 0}, {0, 0, 1, 220}, 224, ""},
    };
    for (const AnswerCase& c : cases) {
        camsim::Unit unit(Offline());
        bool restart = true;
        StdoutCapture capture;
        Bytes reply = camsim::AnswerServiceRequest(unit, c.request.data(), c.request.size(), &restart);
        const std::string console = capture.Take();
        EXPECT_FALSE(restart) << c.name;
        ASSERT_EQ(reply.size(), c.expectedLength) << c.name;
        EXPECT_EQ(Bytes(reply.begin(), reply.begin() + static_cast<long>(c.expectedPrefix.size())), c.expectedPrefix)
            << c.name;
        EXPECT_EQ(console, c.consoleLine) << c.name;
    }
}

TEST(SimService, CatalogueIsPlausible) {
    camsim::Options o = Offline();
    o.channels = 1;
    o.serviceVersion = 9001;
    camsim::Unit unit(o);
    EXPECT_EQ(unit.ParamValue(0, 0), 9001);
    EXPECT_EQ(unit.ParamValue(0, 4), 1);
    // Every settable index of group 0 has a default inside its own range or list.
    for (int i : {11, 22, 36, 37, 39, 40, 80, 81, 82, 83, 84, 86, 87, 88, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99,
                  117, 118, 119, 123, 124, 125, 126, 133, 134, 141, 155, 156, 157, 158, 159, 160, 161, 162, 163, 164,
                  165, 167, 172, 173, 174, 175, 176, 179, 180, 181}) {
        const camsim::ParamWords w = unit.Param(0, i);
        ASSERT_TRUE(w[2] != 0 || w[3] != 0 || w[6] != 0) << i;
        ASSERT_NE(w[5], 0) << i;
        if (w[6] > 0) {
            bool listed = false;
            for (int k = 0; k < w[6]; ++k) listed |= w[static_cast<size_t>(7 + k)] == w[1];
            EXPECT_TRUE(listed) << i;
        } else {
            EXPECT_TRUE(w[2] <= w[1] && w[1] <= w[3]) << i;
        }
    }
    // ISO and AWB are option lists; temperatures are in tenths.
    EXPECT_GT(unit.Param(0, 84)[6], 3);
    EXPECT_EQ(unit.Param(0, 90)[6], 11);
    EXPECT_EQ(unit.Param(0, 7)[5], 10);
    // A one-channel unit does not describe group 1.
    EXPECT_EQ(unit.Param(1, 82)[3], 0);
}

TEST(SimService, CommandElevenRestartsTheService) {
    camsim::Unit unit(Offline());
    bool restart = false;
    const Bytes request = {11, 0, 2, 4, 0, 0, 0, 1};
    StdoutCapture capture;
    camsim::AnswerServiceRequest(unit, request.data(), request.size(), &restart);
    EXPECT_TRUE(restart);
    EXPECT_EQ(unit.ParamValue(0, 11), 0);  // a command does not stay set
}

TEST(SimService, RebootAndStressCommands) {
    camsim::Unit unit(Offline());
    StdoutCapture capture;
    bool restart = false;
    const Bytes reboot = {11, 0, 2, 4, 0, 0, 0, 2};
    camsim::AnswerServiceRequest(unit, reboot.data(), reboot.size(), &restart);
    EXPECT_TRUE(restart);

    const Bytes readThermal = {43, 1, 1, 0};
    Bytes before = camsim::AnswerServiceRequest(unit, readThermal.data(), readThermal.size(), &restart);
    EXPECT_EQ(Get32(before.data() + 4), 0u);
    const Bytes stress = {11, 0, 2, 4, 0, 0, 0, 3};
    camsim::AnswerServiceRequest(unit, stress.data(), stress.size(), &restart);
    EXPECT_FALSE(restart);
    Bytes during = camsim::AnswerServiceRequest(unit, readThermal.data(), readThermal.size(), &restart);
    EXPECT_EQ(Get32(during.data() + 4), 1u);  // "LED Dimmed"
    const std::string console = capture.Take();
    EXPECT_NE(console.find("write group 0 param 11 = 2\n"), std::string::npos);
    EXPECT_NE(console.find("write group 0 param 11 = 3\n"), std::string::npos);
}

// ---- over TCP ------------------------------------------------------------------------------
int Connect(const char* address) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(8008);
    inet_pton(AF_INET, address, &sa.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    timeval tv{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    return fd;
}

// One exchange; the reply body, or empty when the connection ended.
Bytes Exchange(int fd, const Bytes& body) {
    Bytes frame;
    Put32(&frame, static_cast<uint32_t>(body.size()));
    frame.insert(frame.end(), body.begin(), body.end());
    if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size())) return {};
    uint8_t size[4];
    if (recv(fd, size, 4, MSG_WAITALL) != 4) return {};
    Bytes reply(Get32(size));
    if (reply.empty() || recv(fd, reply.data(), reply.size(), MSG_WAITALL) != static_cast<ssize_t>(reply.size()))
        return {};
    return reply;
}

double Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

TEST(SimServiceTcp, ReplyDelayAndDrop) {
    camsim::Options o = Offline();
    o.address = "127.0.11.2";
    o.replyDelayMs = 150;
    o.dropAfterS = 0.6;
    camsim::Unit unit(o);
    StdoutCapture capture;
    ASSERT_TRUE(unit.Start());
    int fd = Connect("127.0.11.2");
    ASSERT_GE(fd, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Exchange(fd, {1, 0, 1, 0}).empty());
    EXPECT_GE(Since(start), 0.14);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(Exchange(fd, {1, 0, 1, 0}).empty());  // closed by the unit
    close(fd);
    unit.Stop();
    EXPECT_NE(capture.Take().find("connection port 8008 from "), std::string::npos);
}

TEST(SimServiceTcp, RestartComesBackWithTheSameId) {
    camsim::Options o = Offline();
    o.address = "127.0.11.3";
    o.cameraId = 0x77;
    camsim::Unit unit(o);
    StdoutCapture capture;
    ASSERT_TRUE(unit.Start());
    int fd = Connect("127.0.11.3");
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(Exchange(fd, {11, 0, 2, 4, 0, 0, 0, 1}).empty());
    const auto restarted = std::chrono::steady_clock::now();
    EXPECT_TRUE(Exchange(fd, {1, 0, 1, 0}).empty());
    close(fd);
    Bytes reply;
    while (reply.empty() && Since(restarted) < 30.0) {
        int again = Connect("127.0.11.3");
        if (again >= 0) {
            reply = Exchange(again, {1, 0, 1, 0});
            close(again);
        }
        if (reply.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Back after its down time (1 s); how much later depends on the machine.
    EXPECT_GE(Since(restarted), 0.9);
    ASSERT_EQ(reply.size(), 224u);
    EXPECT_EQ(Get32(reply.data() + 4), 0x77u);
    unit.Stop();
    EXPECT_NE(capture.Take().find("write group 0 param 11 = 1"), std::string::npos);
}

TEST(SimServiceTcp, StallReadsButNeverAnswers) {
    camsim::Options o = Offline();
    o.address = "127.0.11.4";
    // Unit time: long enough that a busy machine still gets its first
    // answer before the stall; then the test waits for the unit's clock.
    o.stallAfterS = 5.0;
    camsim::Unit unit(o);
    ASSERT_TRUE(unit.Start());
    int fd = Connect("127.0.11.4");
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(Exchange(fd, {1, 0, 1, 0}).empty());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return unit.Uptime() >= o.stallAfterS + 0.1; }, std::chrono::seconds(30)));
    timeval tv{0, 500000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    EXPECT_TRUE(Exchange(fd, {1, 0, 1, 0}).empty());
    close(fd);
}

// ---- the orvex-camsim process --------------------------------------------------------------
// orvex-camsim with its console in a file of its own.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        args.insert(args.begin(), std::string(ORVEX_BUILD_DIR) + "/orvex-camsim");
        process_ = std::make_unique<testsupport::ChildProcess>(args, std::vector<std::string>{}, folder_.File("out"));
    }
    // Waits until the console holds `text`.
    bool WaitForOutput(const std::string& text, int timeoutMs) {
        return testsupport::WaitUntil([&] { return Output().find(text) != std::string::npos; },
                                      std::chrono::milliseconds(timeoutMs));
    }
    // Sends `signal` and waits for the exit code (-1 on time-out).
    int Stop(int signal, int timeoutMs) {
        process_->Signal(signal);
        return process_->Wait(std::chrono::milliseconds(timeoutMs));
    }
    int Wait() { return process_->Wait(std::chrono::seconds(30)); }
    std::string Output() const { return testfiles::ReadText(folder_.File("out")); }

private:
    TempFolder folder_;
    std::unique_ptr<testsupport::ChildProcess> process_;
};

TEST(SimProgram, ConsoleLinesAndCleanStop) {
    for (int signal : {SIGTERM, SIGINT}) {
        const char* address = signal == SIGTERM ? "127.0.11.10" : "127.0.11.11";
        SimProcess sim({"--address", address, "--name", "orvt-simprog-" + std::to_string(getpid()), "--no-mdns",
                        "--units", "2"});
        ASSERT_TRUE(sim.WaitForOutput("unit 1:", 10000)) << sim.Output();
        int fd = -1;
        for (int i = 0; i < 100 && fd < 0; ++i) fd = Connect(address);
        ASSERT_GE(fd, 0);
        EXPECT_FALSE(Exchange(fd, {94, 0, 2, 4, 0, 0, 0, 1, 82, 1, 2, 4, 0, 0, 0, 70}).empty());
        EXPECT_TRUE(sim.WaitForOutput("write group 1 param 82 = 70", 3000)) << sim.Output();
        close(fd);
        const std::string out = sim.Output();
        EXPECT_NE(out.find("connection port 8008 from 127.0.0.1"), std::string::npos) << out;
        EXPECT_NE(out.find("write group 0 param 94 = 1\n"), std::string::npos) << out;
        EXPECT_NE(out.find("unit 1: orvt-simprog-" + std::to_string(getpid()) + "-2.local on 127.0.11."),
                  std::string::npos)
            << out;
        EXPECT_EQ(sim.Stop(signal, 3000), 0);
    }
}

TEST(SimProgram, HelpAndBadOptions) {
    {
        SimProcess sim({"--help"});
        EXPECT_TRUE(sim.WaitForOutput("--stall-after-s", 5000));
        EXPECT_EQ(sim.Wait(), 0);
        for (const char* option : {"--address", "--name", "--channels", "--service-version", "--camera-id",
                                   "--drop-after-s", "--reply-delay-ms", "--units"})
            EXPECT_NE(sim.Output().find(option), std::string::npos) << option;
    }
    for (std::vector<std::string> bad : {std::vector<std::string>{"--bogus"}, {"--channels", "3"},
                                          {"--address", "camera"}, {"--reply-delay-ms"}, {"--camera-id", "0xZZ"},
                                          {"--replay-s", "inf"}, {"--replay-s", "1e9"}, {"--stall-after-s", "nan"},
                                          {"--force", "0:74"}, {"--force", "2:74=1"}, {"--force", "0:300=1"},
                                          {"--connection-error", "2"}, {"--connection-error", "0:1"},
                                          {"--asl-error", "0"}, {"--nvm-error", "0:x"}, {"--led-dimmed"}}) {
        SimProcess sim(bad);
        EXPECT_EQ(sim.Wait(), 2) << bad[0];
    }
}

// The camera-state options hold the status words the program shows.
TEST(SimProgram, CameraStateOptions) {
    const char* address = "127.0.11.12";
    SimProcess sim({"--address", address, "--no-mdns", "--connection-error", "1", "--led-shutdown", "0",
                    "--asl-error", "0:0x41", "--nvm-error", "1:0x80", "--diag", "0:5", "--overheat", "1",
                    "--force", "0:6=9"});
    ASSERT_TRUE(sim.WaitForOutput("unit 0:", 10000)) << sim.Output();
    int fd = -1;
    for (int i = 0; i < 100 && fd < 0; ++i) fd = Connect(address);
    ASSERT_GE(fd, 0);
    struct Case {
        int group, index;
        uint32_t value;
    } cases[] = {{1, 74, 10}, {0, 74, 1},   {0, 43, 2},  {1, 43, 0},  {0, 44, 0x41}, {1, 45, 0x80}, {0, 55, 5},
                 {0, 58, 5},  {1, 49, 1800}, {1, 50, 950}, {1, 53, 950}, {0, 6, 9}};
    for (const Case& c : cases) {
        const Bytes reply = Exchange(fd, {static_cast<uint8_t>(c.index), static_cast<uint8_t>(c.group), 1, 0});
        ASSERT_GE(reply.size(), 8u) << c.index;
        EXPECT_EQ(Get32(reply.data() + 4), c.value) << "group " << c.group << " index " << c.index;
    }
    // A write to a held word does not release it.
    EXPECT_FALSE(Exchange(fd, {74, 1, 2, 4, 0, 0, 0, 1}).empty());
    const Bytes after = Exchange(fd, {74, 1, 1, 0});
    ASSERT_GE(after.size(), 8u);
    EXPECT_EQ(Get32(after.data() + 4), 10u);
    close(fd);
    EXPECT_EQ(sim.Stop(SIGTERM, 3000), 0);
}

}  // namespace
