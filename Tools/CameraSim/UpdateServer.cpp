#include "CameraSim/UpdateServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Base/Thread.h"
#include "CameraSim/Servers.h"
#include "CameraSim/TcpServer.h"

namespace camsim {

namespace {

constexpr int kUpdatePort = 8006;
constexpr int kReceiveTimeoutS = 10;   // a silent client is let go after this
constexpr int kRestartDelayMs = 500;   // the verdict reaches the program first
constexpr double kRestartDownS = 2.0;  // service refuses connections this long
constexpr double kStaysAwayDownS = 1e6;  // --firmware-stays-away: as good as never

uint32_t BigEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

class UpdateServer : public PortServer {
public:
    const char* Name() const override { return "firmware update"; }

    bool Start(Unit& unit) override {
        unit_ = &unit;
        stopping_ = false;
        return server_.Start(unit.Opts().address, unit.Port(kUpdatePort), "sim-update",
                             [this](int fd, const std::string& peer) { Serve(fd, peer); });
    }

    void Stop() override {
        server_.Stop();
        {
            std::lock_guard<std::mutex> lock(restartLock_);
            stopping_ = true;
        }
        restartWake_.notify_all();
        if (restartThread_.joinable()) restartThread_.join();
    }

    void DropConnections() override { server_.DropConnections(); }

private:
    void Serve(int fd, const std::string& peer) {
        if (unit_->ServiceDown()) return;  // restarting: refuse
        const int port = unit_->Port(kUpdatePort);
        unit_->Print("connection port %d from %s", port, peer.c_str());
        timeval tv{kReceiveTimeoutS, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

        const uint32_t current = unit_->ServiceVersion();
        const uint8_t version[4] = {static_cast<uint8_t>(current >> 24), static_cast<uint8_t>(current >> 16),
                                    static_cast<uint8_t>(current >> 8), static_cast<uint8_t>(current)};
        if (!SendAllFd(fd, version, 4)) return;

        uint8_t header[16];
        if (!RecvAllFd(fd, header, sizeof header)) {
            unit_->Print("firmware update: header incomplete");
            return;
        }
        const uint32_t newVersion = BigEndian(header);
        const uint32_t size = BigEndian(header + 8);
        const uint32_t crc = BigEndian(header + 12);

        // Stream the package through the CRC; nothing is kept in memory.
        uLong actual = crc32(0L, Z_NULL, 0);
        uint8_t chunk[65536];
        for (uint32_t left = size; left > 0;) {
            const uint32_t n = left < sizeof chunk ? left : static_cast<uint32_t>(sizeof chunk);
            if (!RecvAllFd(fd, chunk, n)) {
                unit_->Print("firmware update: package incomplete (%u of %u bytes)", size - left, size);
                return;
            }
            actual = crc32(actual, chunk, n);
            left -= n;
        }

        int result;
        const int forced = unit_->Opts().firmwareResult;
        if (forced >= 0) {
            result = forced;
        } else if (static_cast<uint32_t>(actual) != crc) {
            result = 2;
        } else if (pending_.load()) {
            result = 5;
        } else if (newVersion <= current) {
            result = 1;
        } else {
            result = 0;
        }
        unit_->Print("firmware update: version %u, %u bytes, result %d", newVersion, size, result);
        // A slow camera: the verdict comes late (the connection's end cuts the wait short).
        if (unit_->Opts().firmwareDelayMs > 0) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, unit_->Opts().firmwareDelayMs) > 0) return;
        }
        const uint8_t byte = static_cast<uint8_t>(result);
        if (!SendAllFd(fd, &byte, 1)) return;
        if (result == 0 && unit_->Opts().firmwareStaysAway) {
            // A unit that never comes back from its update: the service is
            // down from the verdict on, before the program can look again.
            unit_->RestartService(kStaysAwayDownS);
            unit_->Print("firmware update: service down for good (--firmware-stays-away)");
            return;
        }
        if (result == 0 && !pending_.exchange(true)) ScheduleRestart(newVersion);
    }

    // The unit installs the package and restarts its service: new version,
    // same camera id; connections are dropped and refused for a moment.
    void ScheduleRestart(uint32_t newVersion) {
        std::lock_guard<std::mutex> lock(restartLock_);
        if (stopping_) return;
        if (restartThread_.joinable()) restartThread_.join();  // the previous restart has finished
        restartThread_ = base::StartThread("sim-fw-restart", [this, newVersion] {
            std::unique_lock<std::mutex> wait(restartLock_);
            if (restartWake_.wait_for(wait, std::chrono::milliseconds(kRestartDelayMs), [this] { return stopping_; }))
                return;
            wait.unlock();
            unit_->SetServiceVersion(newVersion);
            unit_->RestartService(kRestartDownS);
            unit_->Print("firmware update: service restarted with version %u", newVersion);
            pending_ = false;
        });
    }

    Unit* unit_ = nullptr;
    TcpServer server_;
    std::atomic<bool> pending_{false};  // a package waits for the restart
    std::mutex restartLock_;
    std::condition_variable restartWake_;
    bool stopping_ = false;      // guarded by restartLock_
    std::thread restartThread_;  // started under restartLock_, joined by Stop
};

}  // namespace

std::unique_ptr<PortServer> MakeUpdateServer() { return std::make_unique<UpdateServer>(); }

}  // namespace camsim
