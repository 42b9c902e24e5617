// Firmware update: the package list, the choice of the package, and the
// transfer on port 8006 against the simulated unit (real package files in a
// temporary working folder).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <zlib.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "CameraSim/TcpServer.h"
#include "CameraSim/Unit.h"
#include "Video/Camera/FirmwareUpdate.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/ScanLink/SimFixture.h"
#include "Support/Wait.h"

// Found by argument-dependent lookup (UpdateEntry is a global type).
bool operator==(const UpdateEntry& a, const UpdateEntry& b) {
    return a.version == b.version && a.restartAfter == b.restartAfter && a.file == b.file;
}

void PrintTo(const UpdateEntry& e, std::ostream* os) {
    *os << e.version << "=" << e.file << (e.restartAfter ? ",r" : "");
}

namespace {

constexpr uint32_t V(uint32_t major, uint32_t minor, uint32_t patch) { return major * 1000000 + minor * 1000 + patch; }

// ---- update.ini ---------------------------------------------------------------------

struct ParseCase {
    const char* label;
    const char* text;
    std::vector<UpdateEntry> entries;
};

TEST(ParseUpdate, LinesOfTheList) {
    const ParseCase cases[] = {
        {"two lines",
         "1.2.3=a.pkg\n1.3.0=b.pkg,restart\n",
         {{V(1, 2, 3), false, "a.pkg"}, {V(1, 3, 0), true, "b.pkg"}}},
        {"CR LF, empty lines",
         "\r\n1.3.0=b.pkg,restart\r\n\r\n\r\n1.2.3=a.pkg\r\n",
         {{V(1, 3, 0), true, "b.pkg"}, {V(1, 2, 3), false, "a.pkg"}}},
        {"two-number key ignored", "1.2=x.pkg\n2.0.1=y.pkg\n", {{V(2, 0, 1), false, "y.pkg"}}},
        {"spaces and the letter r", " 1 . 4 . 2 =  c d.pkg  ,  r \n", {{V(1, 4, 2), true, "c d.pkg"}}},
        {"prefixes of restart",
         "1.0.1=a,rest\n1.0.2=b,restarted\n1.0.3=c,yes\n1.0.4=d,Restart\n",
         {{V(1, 0, 1), true, "a"}, {V(1, 0, 2), true, "b"}, {V(1, 0, 3), false, "c"}, {V(1, 0, 4), false, "d"}}},
        {"empty fields are skipped", "==1..2.3==a.pkg,,r\n", {{V(1, 2, 3), true, "a.pkg"}}},
        {"lenient numbers", "+1.2x.junk=a\n", {{V(1, 2, 0), false, "a"}}},
        {"junk lines", "hello\n=\n1.2.3=\n=a.pkg\n1.2.3.4=z\n1.2.3=   \n#comment\n", {}},
        {"long file name cut to 254 bytes", nullptr, {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<UpdateEntry> entries;
        if (c.text == nullptr) {
            const std::string name(300, 'n');
            EXPECT_TRUE(ParseUpdateText("9.9.9=" + name, &entries));
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].file, name.substr(0, 254));
            continue;
        }
        EXPECT_EQ(ParseUpdateText(c.text, &entries), !c.entries.empty());
        EXPECT_EQ(entries, c.entries);
    }
}

TEST(ParseUpdate, ChoiceOfThePackage) {
    struct Case {
        const char* label;
        const char* text;
        uint32_t camera;
        uint32_t best;
        const char* file;
    };
    const Case cases[] = {
        {"newer listed after current", "1.2.3=a.pkg\n1.3.0=b.pkg,r\n", V(1, 2, 3), V(1, 3, 0), "b.pkg"},
        {"opposite order, same target", "1.3.0=b.pkg,r\n1.2.3=a.pkg\n", V(1, 2, 3), V(1, 3, 0), "b.pkg"},
        {"first newer wins over a later, newer one", "1.4.0=c.pkg\n1.5.0=d.pkg\n", V(1, 2, 3), V(1, 4, 0), "c.pkg"},
        {"camera newer than every entry", "1.2.3=a.pkg\n1.3.0=b.pkg\n", V(2, 0, 0), 0, nullptr},
        {"camera at the only listed version", "1.2.3=a.pkg\n1.1.0=o.pkg\n", V(1, 2, 3), V(1, 2, 3), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<UpdateEntry> entries;
        ASSERT_TRUE(ParseUpdateText(c.text, &entries));
        size_t index = 99;
        EXPECT_EQ(ChooseUpdateTarget(entries, c.camera, &index), c.best);
        if (c.file) {
            ASSERT_LT(index, entries.size());
            EXPECT_EQ(entries[index].file, c.file);
        }
    }
}

// ---- against the simulated unit --------------------------------------------------------

// Runs each test in its own temporary working folder (update.ini is read from
// the working folder), with the log in the same folder.
class FirmwareSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder_.Dir().empty());
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(folder_.Dir().c_str()), 0);
        log_ = std::make_unique<LogCapture>();
    }
    void TearDown() override {
        if (unit_) unit_->Stop();
        log_.reset();
        EXPECT_EQ(chdir(previous_), 0);
    }

    void StartUnit(const char* address, int forcedResult = -1, bool staysAway = false) {
        camsim::Options o;
        o.address = address;
        o.mdns = false;
        o.serviceVersion = V(1, 2, 3);
        o.firmwareResult = forcedResult;
        o.firmwareStaysAway = staysAway;
        unit_ = std::make_unique<camsim::Unit>(o);
        ASSERT_TRUE(unit_->Start());
        service_.SetHost(address);
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_.File(name), std::ios::binary) << text;
    }
    // A package of random bytes; returns its CRC-32.
    uint32_t WritePackage(const std::string& name, size_t size) {
        std::string bytes(size, '\0');
        std::mt19937 rng(static_cast<unsigned>(size));
        for (char& b : bytes) b = static_cast<char>(rng());
        Write(name, bytes);
        return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(size)));
    }

    TempFolder folder_;
    char previous_[4096] = {};
    std::unique_ptr<LogCapture> log_;
    std::unique_ptr<camsim::Unit> unit_;
    picam::Service service_;
};

TEST_F(FirmwareSim, TransferOfARealPackageInstallsTheNewVersion) {
    StartUnit("127.0.31.1");
    const uint32_t cameraId = unit_->Opts().cameraId;
    WritePackage("b.pkg", 700 * 1000 + 17);
    Write("update.ini", "1.2.3=a.pkg\n1.3.0 = b.pkg , r\n");

    UpdateEntry offered;
    {
        std::lock_guard<std::mutex> lock(service_.tableLock);
        service_.groups[0].params[0].value = static_cast<int32_t>(V(1, 2, 3));
    }
    ASSERT_TRUE(CheckForUpdate(&service_, &offered));
    EXPECT_EQ(offered.version, V(1, 3, 0));
    EXPECT_TRUE(offered.restartAfter);

    EXPECT_EQ(UpdateService(&service_), kUpdateQueued);
    // The unit restarts its service and comes back with the new version and
    // the same camera id; a second transfer then finds nothing newer.
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return unit_->ServiceVersion() == V(1, 3, 0); }, std::chrono::milliseconds(10000)));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !unit_->ServiceDown(); }, std::chrono::milliseconds(10000)));
    EXPECT_EQ(unit_->Opts().cameraId, cameraId);
    EXPECT_EQ(UpdateService(&service_), kUpdateNotNeeded);
    EXPECT_EQ(log_->Count("UpdateService | version already up to date (1003000)"), 1);
    EXPECT_EQ(log_->Count("Firmware updating to version 1003000 on restart"), 1);
}

TEST_F(FirmwareSim, AUnitThatStaysAwayIsDownFromItsVerdictOn) {
    StartUnit("127.0.31.6", -1, true);
    WritePackage("b.pkg", 4096);
    Write("update.ini", "1.3.0=b.pkg\n");
    {
        std::lock_guard<std::mutex> lock(service_.tableLock);
        service_.groups[0].params[0].value = static_cast<int32_t>(V(1, 2, 3));
    }
    EXPECT_EQ(UpdateService(&service_), kUpdateQueued);
    // Down right after the verdict, with the old version, and no restart
    // is scheduled to bring it back: a second transfer finds no unit.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return unit_->ServiceDown(); }, std::chrono::milliseconds(10000)));
    EXPECT_EQ(unit_->ServiceVersion(), V(1, 2, 3));
    EXPECT_NE(UpdateService(&service_), kUpdateQueued);
    EXPECT_TRUE(unit_->ServiceDown());
}

TEST_F(FirmwareSim, LocalFailuresAndVerdicts) {
    StartUnit("127.0.31.2");
    WritePackage("b.pkg", 1000);
    // Sparse: larger than any package is allowed to be, without the disk space.
    Write("huge.pkg", "");
    ASSERT_EQ(truncate(folder_.File("huge.pkg").c_str(), static_cast<off_t>(kMaxUpdatePackageBytes + 1)), 0);
    struct Case {
        const char* label;
        const char* list;  // nullptr: no update.ini
        int result;
        const char* logLine;
    };
    const Case cases[] = {
        {"no update.ini", nullptr, kUpdateInternalError, "ParseUpdate | no update.ini file found"},
        {"junk only", "junk\n1.2=x\n", kUpdateInternalError, nullptr},
        {"camera newer than every entry", "1.0.0=b.pkg\n1.1.9=b.pkg\n", kUpdateNotNeeded,
         "UpdateService | firmware version exceeds client version (1002003)"},
        {"package missing", "1.9.0=missing.pkg\n", kUpdateInternalError,
         "UpdateService | failed to load update file 'missing.pkg'"},
        {"package too large", "1.9.0=huge.pkg\n", kUpdateInternalError,
         "UpdateService | failed to load update file 'huge.pkg'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        unlink(folder_.File("update.ini").c_str());
        if (c.list) Write("update.ini", c.list);
        EXPECT_EQ(UpdateService(&service_), c.result);
        if (c.logLine) {
            EXPECT_EQ(log_->Count(c.logLine), 1);
        }
    }
    EXPECT_EQ(unit_->ServiceVersion(), V(1, 2, 3));  // nothing was installed

    // No unit at the address.
    picam::Service nobody;
    nobody.SetHost("127.0.31.250");
    Write("update.ini", "1.9.0=b.pkg\n");
    EXPECT_EQ(UpdateService(&nobody), kUpdateInternalError);
    EXPECT_EQ(log_->Count("UpdateService | failed to connect to server"), 1);
}

TEST_F(FirmwareSim, CorruptedPackageIsRefusedWithTwo) {
    StartUnit("127.0.31.3");
    // A client whose CRC does not match the bytes it sends gets verdict 2.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(unit_->Port(8006)));
    inet_pton(AF_INET, "127.0.31.3", &sa.sin_addr);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    uint8_t version[4];
    ASSERT_TRUE(camsim::RecvAllFd(fd, version, 4));
    EXPECT_EQ(ntohl(*reinterpret_cast<uint32_t*>(version)), V(1, 2, 3));
    const std::string package(5000, 'p');
    const uint32_t goodCrc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(package.data()), 5000));
    const uint32_t header[4] = {htonl(V(1, 3, 0)), htonl(1700000000u), htonl(5000), htonl(goodCrc ^ 1)};
    ASSERT_TRUE(camsim::SendAllFd(fd, header, sizeof header));
    ASSERT_TRUE(camsim::SendAllFd(fd, package.data(), package.size()));
    uint8_t verdict = 0xEE;
    ASSERT_TRUE(camsim::RecvAllFd(fd, &verdict, 1));
    close(fd);
    EXPECT_EQ(verdict, kUpdateCrcFailed);
    EXPECT_EQ(unit_->ServiceVersion(), V(1, 2, 3));
}

TEST_F(FirmwareSim, VerdictOfTheUnitIsPassedUp) {
    StartUnit("127.0.31.4", kUpdateCrcFailed);
    WritePackage("b.pkg", 4096);
    Write("update.ini", "1.3.0=b.pkg\n");
    EXPECT_EQ(UpdateService(&service_), kUpdateCrcFailed);
    EXPECT_EQ(log_->Count("Firmware crc check failed"), 1);
    EXPECT_EQ(unit_->ServiceVersion(), V(1, 2, 3));
}

// Every verdict byte is passed up unchanged with its own log text; a unit
// that takes the package and closes without a verdict gives 7, unlogged.
TEST_F(FirmwareSim, EveryVerdictHasItsLogText) {
    std::atomic<int> verdict{0};
    camsim::TcpServer fake;
    ASSERT_TRUE(fake.Start("127.0.60.2", 8006, "test-fake-fw", [&](int fd, const std::string&) {
        const uint32_t version = htonl(V(1, 0, 0));
        camsim::SendAllFd(fd, &version, 4);
        uint8_t header[16];
        if (!camsim::RecvAllFd(fd, header, sizeof header)) return;
        uint32_t size = 0;
        memcpy(&size, header + 8, 4);
        std::vector<uint8_t> package(ntohl(size));
        if (!camsim::RecvAllFd(fd, package.data(), package.size())) return;
        if (verdict.load() >= 0) {
            const uint8_t byte = static_cast<uint8_t>(verdict.load());
            camsim::SendAllFd(fd, &byte, 1);
        }
        shutdown(fd, SHUT_RDWR);
    }));
    service_.SetHost("127.0.60.2");
    WritePackage("b.pkg", 3000);
    Write("update.ini", "1.3.0=b.pkg\n");
    const struct {
        int verdict;
        const char* text;
    } cases[] = {
        {0, "Firmware updating to version 1003000 on restart"},
        {1, "Firmware version is greater than 1003000"},
        {2, "Firmware crc check failed"},
        {3, "Firmware decrypt failed"},
        {4, "Firmware authentication failed"},
        {5, "Firmware update already queued. Restart service"},
        {6, "Firmware update file could not be created"},
        {7, "Firmware update failed due to internal error"},
        {200, "Unknown error updating firmware"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verdict);
        verdict = c.verdict;
        EXPECT_EQ(UpdateService(&service_), c.verdict);
        EXPECT_EQ(log_->Count(c.text), 1);
    }
    verdict = -1;  // the package is taken, no verdict comes
    EXPECT_EQ(UpdateService(&service_), kUpdateInternalError);
    EXPECT_EQ(log_->Count("UpdateFirmware | version=1003000, size=3000"), 10);
    for (const auto& c : cases) EXPECT_EQ(log_->Count(c.text), 1) << c.verdict;
    fake.Stop();
}

TEST_F(FirmwareSim, UnitClosingMidTransferGivesSeven) {
    // A unit that announces its version, reads the header and a little of the
    // package, then hangs up.
    camsim::TcpServer fake;
    std::atomic<int> served{0};
    ASSERT_TRUE(fake.Start("127.0.31.5", 8006, "test-fake-fw", [&](int fd, const std::string&) {
        const uint32_t version = htonl(V(1, 0, 0));
        camsim::SendAllFd(fd, &version, 4);
        uint8_t some[1000];
        camsim::RecvAllFd(fd, some, sizeof some);
        shutdown(fd, SHUT_RDWR);
        ++served;
    }));
    service_.SetHost("127.0.31.5");
    WritePackage("big.pkg", 8 << 20);
    Write("update.ini", "1.3.0=big.pkg\n");
    EXPECT_EQ(UpdateService(&service_), kUpdateInternalError);
    EXPECT_EQ(served.load(), 1);
    EXPECT_EQ(
        log_->Count("UpdateService | failed to send file data") + log_->Count("UpdateService | failed to send crc"), 1);
    fake.Stop();
}

}  // namespace
