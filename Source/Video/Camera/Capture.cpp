#include "Video/Camera/Capture.h"

#include <time.h>

#include <memory>

#include "Base/Log.h"
#include "Base/Thread.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

namespace {

struct CaptureJob {
    std::string host;
    int port = 0;
    CaptureCallback callback;
};

void SleepOneMs() {
    const timespec ts{0, 1000000};
    nanosleep(&ts, nullptr);
}

}  // namespace

void StartCapture(picam::Service& service, int group, CaptureCallback callback) {
    const std::string host = service.Host();
    if (host.empty()) {
        callback(nullptr, 0);
        return;
    }
    auto job = std::make_shared<CaptureJob>();
    job->host = host;
    job->port = kCapturePortBase + group;
    job->callback = std::move(callback);
    base::StartDetachedThread("orvex-capture", [job] { ProcessCapture(job->host, job->port, job->callback); });
}

void ProcessCapture(const std::string& host, int port, const CaptureCallback& callback) {
    LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | connecting to %s:%u", host.c_str(),
             static_cast<unsigned>(port));
    TcpSocket socket(ConnectTcp(host, port, kCaptureTimeout_us));
    if (!socket.IsOpen()) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ProcessCapture | failed to connect: %s",
                 SocketErrorText(LastSocketError()).c_str());
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | capture received zero bytes");
        callback(nullptr, 0);
        return;
    }
    LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | connected, allocating data");
    std::vector<uint8_t> buffer(kCaptureBuffer_bytes);
    LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | waiting for JPEG data...");

    size_t total = 0;
    bool tooLarge = false;
    for (;;) {
        const int n = socket.ReceiveSome(buffer.data() + total, static_cast<int>(buffer.size() - total),
                                         kCaptureTimeout_us);
        if (n <= 0) {
            if (n < 0)
                LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ProcessCapture | recv error %s",
                         SocketErrorText(LastSocketError()).c_str());
            break;
        }
        total += static_cast<size_t>(n);
        if (total == buffer.size()) {
            if (buffer.size() * 2 > kCaptureMax_bytes) {
                tooLarge = true;
                break;
            }
            buffer.resize(buffer.size() * 2);  // the new half is zero-filled
        }
        SleepOneMs();
    }
    socket.Close();

    if (tooLarge) {
        LOGF(LOG_ERROR, LOG_SRC_CAMERA, "ProcessCapture | picture larger than %zu bytes, dropped",
                 kCaptureMax_bytes);
        total = 0;
    }
    if (total > 0) {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | capture received - %d bytes",
                 static_cast<int>(total));
        callback(buffer.data(), total);
    } else {
        LOGF(LOG_TRACE, LOG_SRC_CAMERA, "ProcessCapture | capture received zero bytes");
        callback(nullptr, 0);
    }
}
