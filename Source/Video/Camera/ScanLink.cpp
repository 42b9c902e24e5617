#include "Video/Camera/ScanLink.h"
#include "Base/Clock.h"

#include <sys/ioctl.h>

#include <chrono>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Base/Log.h"
#include "Base/ThreadSafety.h"
#include "Video/Camera/ScanLinkProtocol.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

std::mutex scanLinkLock;
ScanLinkState scanLinkState;
ScanLinkTx scanLinkTx;

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

void SetUnits_locked(int units) { scanLinkTx.QueueSetUnits_locked(units); }

void SetAxisPosition_locked(int axis, double position) {
    // The axis's divisor is 65,536 once a position has arrived; before that
    // it is 0, which would turn every position into 0.
    int64_t divisor = kScanLinkDivisor;
    if (axis >= 0 && axis < kScanLinkAxes && scanLinkState.axisPosition[axis].divisor != 0)
        divisor = scanLinkState.axisPosition[axis].divisor;
    scanLinkTx.QueueSetAxisPosition_locked(axis, ScanLinkFixed(position, divisor));
}

void SetItemScale_locked(int item, double counts) {
    scanLinkTx.QueueSetItemScale_locked(item, ScanLinkFixed(counts, kScanLinkDivisor));
}

void SetAxisSource_locked(int axis, int item) { scanLinkTx.QueueSetAxisSource_locked(axis, item); }

void RequestRefresh_locked() { scanLinkTx.QueueRefresh_locked(); }

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
    scanLinkTx.QueuePositionRequest_locked();
}

namespace {

// Feed takes scanLinkLock itself around every frame it applies; the
// analysis cannot follow a lock handed over by reference.
ScanLinkRx::Result FeedReceived(ScanLinkRx& rx, const uint8_t* bytes, size_t length) NO_THREAD_SAFETY_ANALYSIS {
    return rx.Feed(bytes, length, scanLinkState, scanLinkTx, scanLinkLock);
}

}  // namespace

void ScanlinkProc(picam::Service* service) {
    TcpSocket socket;
    ScanLinkRx rx;  // receive accumulator and sequence: this thread only
    uint8_t outgoing[kTransferBytes];
    uint8_t incoming[kTransferBytes];
    int64_t previousUs = MonotonicUs();
    int64_t idleUs = 0;
    int64_t rejectedFrames = 0;              // corrupt frames not yet logged
    int64_t lastRejectLogUs = INT64_MIN / 2;  // the last WARN line about them
    int64_t positionCountdownUs = kPositionPeriodUs;
    int64_t refreshCountdownUs = kRefreshPeriodUs;

    while (service->running.load()) {
        const bool serviceConnected = service->connected.load();
        if (serviceConnected && !socket.IsOpen()) {
            {
                std::lock_guard<std::mutex> lock(scanLinkLock);
                memset(&scanLinkState, 0, sizeof scanLinkState);
            }
            std::string host = service->Host();
            if (host.empty()) {
                LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | no client session available");
            } else {
                LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | connecting to %s:%d", host.c_str(),
                         kScanLinkPort);
                int handle = ConnectTcp(host, kScanLinkPort, kConnectTimeoutUs);
                if (handle < 0) {
                    std::string text = SocketErrorText(LastSocketError()).substr(0, 255);
                    LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ScanlinkProc | could not connect (%s)",
                             text.c_str());
                } else {
                    socket.handle = handle;
                    int nonBlocking = 1;
                    ioctl(handle, FIONBIO, &nonBlocking);
                    LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ScanlinkProc | connected");
                    idleUs = 0;
                    // The peer counts from 0 on every connection; the time
                    // spent connecting is not idle time; the device's names,
                    // ranges and sources are asked for at once.
                    rx.Reset();
                    previousUs = MonotonicUs();
                    positionCountdownUs = kPositionPeriodUs;
                    refreshCountdownUs = 0;
                }
            }
        }
        if (!serviceConnected && socket.IsOpen()) socket.Close();

        size_t taken;
        {
            std::lock_guard<std::mutex> lock(scanLinkLock);
            taken = scanLinkTx.TakeQueued_locked(outgoing, sizeof outgoing);
        }

        if (!socket.IsOpen()) {
            previousUs = MonotonicUs();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            continue;
        }

        const int64_t nowUs = MonotonicUs();
        int64_t stepUs = nowUs - previousUs;
        previousUs = nowUs;
        if (stepUs < 0) stepUs = 0;
        if (stepUs > kMaxStepUs) stepUs = kMaxStepUs;
        idleUs += stepUs;
        if (idleUs > kServerTimeoutUs) {
            LOGF(LOG_WARN, LOG_SRC_CAMERA, "ScanlinkProc | server timeout");
            socket.Close();
        }

        if (socket.IsOpen()) {
            int received = socket.ReceiveSome(incoming, sizeof incoming, 0);
            if (received > 0) {
                ScanLinkRx::Result result = FeedReceived(rx, incoming, static_cast<size_t>(received));
                if (result.frames > 0) idleUs = 0;
                // A damaged frame is answered with a resynchronisation
                // request; the log hears of it at most once a second.
                rejectedFrames += result.rejected;
                if (rejectedFrames > 0 && nowUs - lastRejectLogUs >= 1000000) {
                    LOGF(LOG_WARN, LOG_SRC_CAMERA, "ScanlinkProc | %lld corrupt frame(s) received, resynchronising",
                             static_cast<long long>(rejectedFrames));
                    rejectedFrames = 0;
                    lastRejectLogUs = nowUs;
                }
            }
        }

        // The receive above closes the socket when the peer has gone.
        if (taken > 0 && socket.IsOpen() &&
            socket.SendAll(outgoing, static_cast<int>(taken)) != static_cast<int>(taken)) {
            std::string text = SocketErrorText(LastSocketError()).substr(0, 255);
            LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ScanlinkProc | send error (%s)", text.c_str());
            socket.Close();
        }

        if (socket.IsOpen()) {
            if (PeriodElapsed(positionCountdownUs, stepUs, kPositionPeriodUs)) RequestPositions();
            if (PeriodElapsed(refreshCountdownUs, stepUs, kRefreshPeriodUs)) RequestRefresh();
        }
        // A link lost in this pass waits like any pass without a socket, so
        // a peer that accepts and closes at once is not hammered.
        std::this_thread::sleep_for(std::chrono::milliseconds(socket.IsOpen() ? 8 : 300));
    }
    socket.Close();
    LOGF(LOG_INFO, LOG_SRC_CAMERA, "ScanlinkProc | thread stopped");
}
