// The simulator's control file: each line kind, bad lines, the whole file
// as the injected state (a removed line releases its word), and a running
// unit that follows the file while it changes, stills cut short included.
// Addresses 127.0.11.60 - 127.0.11.69.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CameraSim/ControlFile.h"
#include "CameraSim/Unit.h"
#include "Support/Wait.h"
#include "Support/TempFolder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WaitUntil;

camsim::Options Offline() {
    camsim::Options o;
    o.mdns = false;
    return o;
}

class QuietConsole {
public:
    QuietConsole() { ::testing::internal::CaptureStdout(); }
    ~QuietConsole() { text_ = ::testing::internal::GetCapturedStdout(); }
    std::string Take() {
        text_ = ::testing::internal::GetCapturedStdout();
        ::testing::internal::CaptureStdout();
        return text_;
    }

private:
    std::string text_;
};

TEST(SimControl, LinesTable) {
    camsim::Unit unit(Offline());
    QuietConsole quiet;
    struct Case {
        const char* line;
        bool ok;
    } cases[] = {
        {"force 0 74 10", true},  {"force 1 43 2", true},      {"set 0 93 3", true},
        {"message 1 2 LEFT PIPE", true}, {"still partial", true}, {"# a comment", true},
        {"", true},               {"force 2 74 1", false},     {"force 0 256 1", false},
        {"force 0 74", false},    {"force 0 74 1 2", false},   {"still broken", false},
        {"reboot", false},        {"message 0 16 x", false},   {"set 0 x 1", false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(camsim::ApplyControlLine(unit, c.line, &error), c.ok) << c.line;
        EXPECT_EQ(error.empty(), c.ok) << c.line;
    }
    EXPECT_EQ(unit.ReportedValue(0, 74), 10);
    EXPECT_EQ(unit.ReportedValue(1, 43), 2);
    EXPECT_EQ(unit.ParamValue(0, 93), 3);
    EXPECT_EQ(unit.Message(1, 2), "LEFT PIPE");
    EXPECT_EQ(unit.Stills(), camsim::Unit::StillMode::Partial);
}

TEST(SimControl, TheFileIsTheWholeInjectedState) {
    camsim::Options o = Offline();
    o.forced.push_back({0, 44, 0x41});  // from the command line: stays
    camsim::Unit unit(o);
    QuietConsole quiet;
    EXPECT_EQ(camsim::ApplyControlText(unit, "force 0 74 10\r\nforce 0 43 1\nstill fail\nbogus line\n"), 1);
    EXPECT_EQ(unit.ReportedValue(0, 74), 10);
    EXPECT_EQ(unit.ReportedValue(0, 43), 1);
    EXPECT_EQ(unit.Stills(), camsim::Unit::StillMode::Fail);
    EXPECT_NE(quiet.Take().find("control file line 4: unknown command 'bogus'"), std::string::npos);
    // The next version of the file drops the connection error and the still fault.
    EXPECT_EQ(camsim::ApplyControlText(unit, "force 0 43 1\n"), 0);
    EXPECT_EQ(unit.ReportedValue(0, 74), 1);
    EXPECT_EQ(unit.ReportedValue(0, 43), 1);
    EXPECT_EQ(unit.ReportedValue(0, 44), 0x41);
    EXPECT_EQ(unit.Stills(), camsim::Unit::StillMode::Whole);
}

// Reads one still from a capture port. The unit encodes a 1920 x 1080
// picture first: in a sanitizer build on a busy machine that takes seconds.
std::vector<uint8_t> FetchStill(const char* address, int port) {
    std::vector<uint8_t> out;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &sa.sin_addr);
    timeval tv{60, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        uint8_t chunk[65536];
        for (;;) {
            const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            out.insert(out.end(), chunk, chunk + n);
        }
    }
    close(fd);
    return out;
}

bool EndsWithEoi(const std::vector<uint8_t>& jpeg) {
    return jpeg.size() > 4 && jpeg[jpeg.size() - 2] == 0xFF && jpeg[jpeg.size() - 1] == 0xD9;
}

void WriteWhole(const std::filesystem::path& path, const std::string& text) {
    const std::filesystem::path temporary = path.string() + ".new";
    std::ofstream(temporary, std::ios::binary) << text;
    std::filesystem::rename(temporary, path);
}

// Each wait below is for a value the unit reports; the still fetched right
// after must already follow the same version of the file (the unit applies
// a file's forced values and still mode in one step).
TEST(SimControl, RunningUnitFollowsTheFile) {
    TempFolder folder;
    const std::filesystem::path file = folder.File("camera-state.txt");
    camsim::Options o = Offline();
    o.address = "127.0.11.60";
    o.controlFile = file.string();
    camsim::Unit unit(o);
    QuietConsole quiet;
    ASSERT_TRUE(unit.Start());
    // No file yet: nothing injected.
    EXPECT_EQ(unit.ReportedValue(0, 74), 1);
    const std::vector<uint8_t> whole = FetchStill(o.address.c_str(), 8014);
    EXPECT_TRUE(EndsWithEoi(whole));

    WriteWhole(file, "force 0 74 10\nforce 1 43 2\nstill partial\n");
    EXPECT_TRUE(WaitUntil([&] { return unit.ReportedValue(0, 74) == 10 && unit.ReportedValue(1, 43) == 2; }, 5000ms));
    const std::vector<uint8_t> partial = FetchStill(o.address.c_str(), 8014);
    EXPECT_FALSE(partial.empty());
    EXPECT_FALSE(EndsWithEoi(partial));
    EXPECT_LT(partial.size(), whole.size() * 3 / 4);

    WriteWhole(file, "force 1 43 2\n");
    EXPECT_TRUE(WaitUntil([&] { return unit.ReportedValue(0, 74) == 1; }, 5000ms));
    EXPECT_EQ(unit.ReportedValue(1, 43), 2);
    EXPECT_TRUE(EndsWithEoi(FetchStill(o.address.c_str(), 8014)));

    std::filesystem::remove(file);
    EXPECT_TRUE(WaitUntil([&] { return unit.ReportedValue(1, 43) == 0; }, 5000ms));
    unit.Stop();
    EXPECT_NE(quiet.Take().find("capture port 8014: sent"), std::string::npos);
}

}  // namespace
