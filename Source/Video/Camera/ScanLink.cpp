#include "Video/Camera/ScanLink.h"
#include "Base/Clock.h"

#include <sys/ioctl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Base/Log.h"
#include "Base/ThreadSafety.h"
#include "Video/Camera/ScanLinkProtocol.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

std::mutex scanLinkLock;
ScanLinkState scanLinkState;

namespace {

constexpr uint32_t kConnectTimeoutUs = 2000000;
constexpr int64_t kMaxStepUs = 500000;
constexpr int64_t kServerTimeoutUs = 1000000;
constexpr int64_t kPositionPeriodUs = 16000;
constexpr int64_t kRefreshPeriodUs = 2000000;
constexpr int kTransferBytes = 1024;

// Counts a period down by `step`; true (and the next period armed) when it
// ran out. A long stall fires once instead of catching up pass by pass.
bool PeriodElapsed(int64_t& countdownUs, int64_t stepUs, int64_t periodUs) {
    countdownUs -= stepUs;
    if (countdownUs > 0) return false;
    countdownUs += periodUs;
    if (countdownUs <= 0) countdownUs = periodUs;
    return true;
}

}  // namespace

double ScanLinkValueOf(const ScanLinkValue& value) {
    if (value.divisor != 0) return static_cast<double>(value.raw) / static_cast<double>(value.divisor);
    return static_cast<double>(value.raw);
}

const char* ScanLinkUnitText(int32_t units) { return units == kScanLinkUnitsMm ? "mm" : "in"; }

double ScanLinkRoundedValue(const ScanLinkValue& value) {
    const double hundredths = ScanLinkValueOf(value) * 100.0;
    return std::trunc(hundredths + (hundredths < 0 ? -0.5 : 0.5)) / 100.0;
}

std::string ScanLinkPositionText(const ScanLinkValue& value, int32_t units) {
    char text[64];
    if (value.raw == 0 && value.divisor == 0)
        snprintf(text, sizeof text, "-- %s", ScanLinkUnitText(units));
    else
        snprintf(text, sizeof text, "%0.2f %s", ScanLinkRoundedValue(value), ScanLinkUnitText(units));
    return text;
}

// ---- links -------------------------------------------------------------------------

namespace {

// Guarded by scanLinkLock: every running ScanlinkProc's port, and the one
// whose crawler scanLinkState shows.
std::vector<ScanLinkPort*> registeredPorts;
ScanLinkPort* shownPort = nullptr;

template <typename Fn>
void ForEachPort_locked(Fn&& fn) {
    for (ScanLinkPort* port : registeredPorts) fn(*port);
}

}  // namespace

void RegisterScanLinkPort_locked(ScanLinkPort* port) { registeredPorts.push_back(port); }

void UnregisterScanLinkPort_locked(ScanLinkPort* port) {
    ScanLinkPortClosed_locked(port);
    std::erase(registeredPorts, port);
}

void ScanLinkPortOpened_locked(ScanLinkPort* port) {
    port->open = true;
    memset(&port->state, 0, sizeof port->state);
}

void ScanLinkPortClosed_locked(ScanLinkPort* port) {
    port->open = false;
    port->tx.Clear_locked();
    if (shownPort == port) {
        shownPort = nullptr;
        memset(&scanLinkState, 0, sizeof scanLinkState);
    }
}

void PublishScanLinkPort_locked(ScanLinkPort* port) {
    if (shownPort == nullptr && port->open) shownPort = port;
    if (shownPort == port) scanLinkState = port->state;
}

ScanLinkPort* ShownScanLinkPort_locked() { return shownPort; }

// ---- request builders --------------------------------------------------------------

void SetUnits_locked(int units) {
    ForEachPort_locked([&](ScanLinkPort& port) { port.tx.QueueSetUnits_locked(units); });
}

void SetAxisPosition_locked(int axis, double position) {
    ForEachPort_locked([&](ScanLinkPort& port) {
        // The axis's divisor is 65,536 once a position has arrived; before
        // that it is 0, which would turn every position into 0.
        int64_t divisor = kScanLinkDivisor;
        if (axis >= 0 && axis < kScanLinkAxes && port.state.axisPosition[axis].divisor != 0)
            divisor = port.state.axisPosition[axis].divisor;
        port.tx.QueueSetAxisPosition_locked(axis, ScanLinkFixed(position, divisor));
    });
}

void SetItemScale_locked(int item, double counts) {
    const int32_t value = ScanLinkFixed(counts, kScanLinkDivisor);
    ForEachPort_locked([&](ScanLinkPort& port) { port.tx.QueueSetItemScale_locked(item, value); });
}

void SetAxisSource_locked(int axis, int item) {
    ForEachPort_locked([&](ScanLinkPort& port) { port.tx.QueueSetAxisSource_locked(axis, item); });
}

void RequestRefresh_locked() {
    ForEachPort_locked([](ScanLinkPort& port) { port.tx.QueueRefresh_locked(); });
}

void SetUnits(int units) {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    SetUnits_locked(units);
}

void SetAxisPosition(int axis, double position) {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    SetAxisPosition_locked(axis, position);
}

void SetItemScale(int item, double counts) {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    SetItemScale_locked(item, counts);
}

void SetAxisSource(int axis, int item) {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    SetAxisSource_locked(axis, item);
}

void RequestRefresh() {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    RequestRefresh_locked();
}

void RequestPositions() {
    std::lock_guard<std::mutex> lock(scanLinkLock);
    ForEachPort_locked([](ScanLinkPort& port) { port.tx.QueuePositionRequest_locked(); });
}

namespace {

// One ScanlinkProc's link to its unit: the socket, the receive side and the
// registered port. Thread-private except the port (scanLinkLock).
class LinkToUnit {
public:
    explicit LinkToUnit(picam::Service* service) : service_(service) {
        std::lock_guard<std::mutex> lock(scanLinkLock);
        RegisterScanLinkPort_locked(&port_);
    }
    ~LinkToUnit() {
        socket_.Close();
        std::lock_guard<std::mutex> lock(scanLinkLock);
        UnregisterScanLinkPort_locked(&port_);
    }

    void Run() {
        while (service_->running.load()) {
            FollowService();
            if (!socket_.IsOpen()) {
                previousUs_ = MonotonicUs();
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                continue;
            }
            ExchangeOnce();
            // A link lost in this pass waits like any pass without a socket,
            // so a peer that accepts and closes at once is not hammered.
            std::this_thread::sleep_for(std::chrono::milliseconds(socket_.IsOpen() ? 8 : 300));
        }
    }

private:
    // Steps 1 and 2: connect while the service is connected, close when it is not.
    void FollowService() {
        const bool serviceConnected = service_->connected.load();
        if (serviceConnected && !socket_.IsOpen()) Connect();
        if (!serviceConnected && socket_.IsOpen()) socket_.Close();
        NoticeClosed();
    }

    void Connect() {
        const std::string host = service_->Host();
        if (host.empty()) {
            LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | no client session available");
            return;
        }
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | connecting to %s:%d", host.c_str(),
                 kScanLinkPort);
        const int handle = ConnectTcp(host, kScanLinkPort, kConnectTimeoutUs);
        if (handle < 0) {
            std::string text = SocketErrorText(LastSocketError()).substr(0, 255);
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ScanlinkProc | could not connect (%s)", text.c_str());
            return;
        }
        socket_.handle = handle;
        int nonBlocking = 1;
        ioctl(handle, FIONBIO, &nonBlocking);
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | connected");
        {
            // The crawler's state starts afresh; what was queued while no
            // socket was open was framed from sequence 0 and goes out first.
            std::lock_guard<std::mutex> lock(scanLinkLock);
            ScanLinkPortOpened_locked(&port_);
        }
        // The peer counts from 0 on every connection; the time spent
        // connecting is not idle time; the device's names, ranges and
        // sources are asked for at once.
        rx_.Reset();
        idleUs_ = 0;
        previousUs_ = MonotonicUs();
        positionCountdownUs_ = kPositionPeriodUs;
        refreshCountdownUs_ = 0;
        linkOpen_ = true;
    }

    // Any close (time-out, peer gone, send error, service lost) ends the
    // port's connection once.
    void NoticeClosed() {
        if (!linkOpen_ || socket_.IsOpen()) return;
        linkOpen_ = false;
        std::lock_guard<std::mutex> lock(scanLinkLock);
        ScanLinkPortClosed_locked(&port_);
    }

    // Step 4: one pass over an open socket.
    void ExchangeOnce() {
        const int64_t nowUs = MonotonicUs();
        int64_t stepUs = nowUs - previousUs_;
        previousUs_ = nowUs;
        if (stepUs < 0) stepUs = 0;
        if (stepUs > kMaxStepUs) stepUs = kMaxStepUs;
        idleUs_ += stepUs;
        if (idleUs_ > kServerTimeoutUs) {
            LOGF(LOG_WARN, LOG_SRC_CAMERA, "ScanlinkProc | server timeout");
            socket_.Close();
        }
        if (socket_.IsOpen()) Receive();
        NoticeClosed();
        if (socket_.IsOpen()) SendQueued();
        NoticeClosed();
        if (socket_.IsOpen()) {
            std::lock_guard<std::mutex> lock(scanLinkLock);
            if (PeriodElapsed(positionCountdownUs_, stepUs, kPositionPeriodUs)) port_.tx.QueuePositionRequest_locked();
            if (PeriodElapsed(refreshCountdownUs_, stepUs, kRefreshPeriodUs)) port_.tx.QueueRefresh_locked();
        }
    }

    void Receive() {
        const int received = socket_.ReceiveSome(incoming_, sizeof incoming_, 0);
        if (received <= 0) return;  // nothing yet, or the peer has gone (socket closed)
        ScanLinkRx::Result result = rx_.Feed(incoming_, static_cast<size_t>(received), port_.state, port_.tx,
                                             scanLinkLock);
        if (result.frames > 0) idleUs_ = 0;
        WarnRejectedFrames(result.rejected);
        std::lock_guard<std::mutex> lock(scanLinkLock);
        PublishScanLinkPort_locked(&port_);
    }

    // A noisy cable can corrupt many frames a second: they are counted and
    // reported in one WARN line at most once a second.
    void WarnRejectedFrames(int rejected) {
        rejectedUnreported_ += rejected;
        if (rejectedUnreported_ == 0) return;
        const int64_t nowUs = MonotonicUs();
        if (lastRejectWarnUs_ != 0 && nowUs - lastRejectWarnUs_ < kRejectWarnPeriodUs) return;
        LOGF(LOG_WARN, LOG_SRC_CAMERA, "ScanlinkProc | %d corrupt frame(s) rejected, resynchronising",
             rejectedUnreported_);
        lastRejectWarnUs_ = nowUs;
        rejectedUnreported_ = 0;
    }

    // Step 3 and 4.3: the queue is taken only with a socket open, so
    // requests made while the link is down wait for the next connection.
    void SendQueued() {
        size_t taken;
        {
            std::lock_guard<std::mutex> lock(scanLinkLock);
            PublishScanLinkPort_locked(&port_);
            taken = port_.tx.TakeQueued_locked(outgoing_, sizeof outgoing_);
        }
        if (taken > 0 && socket_.SendAll(outgoing_, static_cast<int>(taken)) != static_cast<int>(taken)) {
            std::string text = SocketErrorText(LastSocketError()).substr(0, 255);
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ScanlinkProc | send error (%s)", text.c_str());
            socket_.Close();
        }
    }

    picam::Service* service_;
    ScanLinkPort port_;
    TcpSocket socket_;
    ScanLinkRx rx_;  // receive accumulator and sequence: this thread only
    bool linkOpen_ = false;  // the socket was open at the end of the last step
    uint8_t outgoing_[kTransferBytes];
    uint8_t incoming_[kTransferBytes];
    int64_t previousUs_ = MonotonicUs();
    int64_t idleUs_ = 0;
    static constexpr int64_t kRejectWarnPeriodUs = 1000000;
    int64_t lastRejectWarnUs_ = 0;  // when the last corrupt-frame WARN line was written
    int rejectedUnreported_ = 0;    // corrupt frames since that line
    int64_t positionCountdownUs_ = kPositionPeriodUs;
    int64_t refreshCountdownUs_ = kRefreshPeriodUs;
};

}  // namespace

void ScanlinkProc(picam::Service* service) {
    {
        LinkToUnit link(service);
        link.Run();
    }
    LOGF(LOG_INFO, LOG_SRC_CAMERA, "ScanlinkProc | thread stopped");
}
