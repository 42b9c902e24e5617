// The camera video framing: 8-byte fragment headers and payloads read from
// the video socket, gathered into access units, and the demuxer's read
// callback over the same fragments. The input is what the camera sends; it
// is written into one end of a local stream socket pair and read back by the
// real socket code from the other end.
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "Base/Log.h"
#include "Fuzz/FuzzSupport.h"
#include "Video/AV/StreamInput.h"

namespace {

constexpr size_t kMaxInputBytes = 65536;  // stays below the socket buffer

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AV::StreamInput* input = [] {
        LogSetStderr(false);
        return new AV::StreamInput();
    }();
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const size_t n = in.Left() < kMaxInputBytes ? in.Left() : kMaxInputBytes;

    int pair[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0);
    int sndbuf = int(kMaxInputBytes) * 4;
    setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    size_t written = 0;
    while (written < n) {
        const ssize_t w = write(pair[1], in.Here() + written, n - written);
        FUZZ_CHECK(w > 0);
        written += size_t(w);
    }
    close(pair[1]);  // the camera hangs up after its last byte

    std::lock_guard<std::mutex> lock(input->lock);
    input->CloseSocket_locked();
    input->socket.handle = pair[0];
    input->receiveTimeout_us = 1000000;
    input->atUnitBoundary = (mode & 1) == 0;
    if (mode & 2) {
        // The demuxer probes first, in reads of the size it likes.
        uint8_t probe[4096];
        const int want = 1 + (mode >> 2) * 61;
        while (AV::IORead(input, probe, want <= int(sizeof probe) ? want : int(sizeof probe)) > 0) {
            FUZZ_CHECK(input->readPosition >= 0 && input->readPosition <= input->bufferedLength);
            if (mode & 0x80) break;
        }
    }
    for (;;) {
        const int length = AV::ReadAccessUnit_locked(input);
        if (length < 0) break;
        FUZZ_CHECK(length <= AV::kPacketBufferSize);
        FUZZ_CHECK(size_t(length) <= n);
    }
    FUZZ_CHECK(!input->socket.IsOpen() || input->socket.handle == pair[0]);
    input->CloseSocket_locked();
    return 0;
}
