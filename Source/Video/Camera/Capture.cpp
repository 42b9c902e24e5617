#include "Video/Camera/Capture.h"

#include <pthread.h>
#include <time.h>

#include <cstdlib>
#include <memory>

#include "Base/Log.h"
#include "Video/Camera/Service.h"
#include "Video/Camera/Socket.h"

namespace {

struct CaptureJob {
    std::string host;
    int port = 0;
    CaptureCallback callback;
};

void* CaptureThreadMain(void* arg) {
    std::unique_ptr<CaptureJob> job(static_cast<CaptureJob*>(arg));
    pthread_setname_np(pthread_self(), "orvex-capture");
    ProcessCapture(job->host, job->port, job->callback);
    return nullptr;
}

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
    auto job = std::make_unique<CaptureJob>();
    job->host = host;
    job->port = kCapturePortBase + group;
    job->callback = std::move(callback);

    pthread_attr_t attr;
    pthread_t thread;
    int rc = pthread_attr_init(&attr);
    if (rc == 0) {
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        rc = pthread_create(&thread, &attr, CaptureThreadMain, job.get());
        pthread_attr_destroy(&attr);
    }
    if (rc != 0) {
        // The program treats a thread that cannot start as fatal.
        LogWrite(LOG_FATAL, LOG_SRC_CAMERA, __LINE__, "StartCapture | could not start the capture thread");
        std::abort();
    }
    job.release();  // owned by the thread now
}

void ProcessCapture(const std::string& host, int port, const CaptureCallback& callback) {
    LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | connecting to %s:%u", host.c_str(),
             static_cast<unsigned>(port));
    TcpSocket socket(ConnectTcp(host, port, kCaptureTimeout_us));
    if (!socket.IsOpen()) {
        LogWrite(LOG_ERROR, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | failed to connect: %s",
                 SocketErrorText(LastSocketError()).c_str());
        LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | capture received zero bytes");
        callback(nullptr, 0);
        return;
    }
    LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | connected, allocating data");
    std::vector<uint8_t> buffer(kCaptureBuffer_bytes);
    LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | waiting for JPEG data...");

    size_t total = 0;
    bool tooLarge = false;
    for (;;) {
        const int n = socket.ReceiveSome(buffer.data() + total, static_cast<int>(buffer.size() - total),
                                         kCaptureTimeout_us);
        if (n <= 0) {
            if (n < 0)
                LogWrite(LOG_ERROR, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | recv error %s",
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
        LogWrite(LOG_ERROR, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | picture larger than %zu bytes, dropped",
                 kCaptureMax_bytes);
        total = 0;
    }
    if (total > 0) {
        LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | capture received - %d bytes",
                 static_cast<int>(total));
        callback(buffer.data(), total);
    } else {
        LogWrite(LOG_TRACE, LOG_SRC_CAMERA, __LINE__, "ProcessCapture | capture received zero bytes");
        callback(nullptr, 0);
    }
}
