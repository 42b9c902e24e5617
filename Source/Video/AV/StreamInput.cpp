#include "Video/AV/StreamInput.h"

#include <cstring>

#include "Base/Log.h"

namespace AV {

void StreamInput::CloseSocket_locked() {
    socket.Close();
    bufferedLength = 0;
    readPosition = 0;
    atUnitBoundary = true;
}

int IOReadPacket(StreamInput* input, uint8_t* destination, int capacity, uint8_t* flags) {
    // Closed already (its reason was logged then): the demuxer asks again
    // after a failed read, and there is nothing to read or to report.
    if (!input->socket.IsOpen()) return -1;
    uint8_t header[8];
    int got = input->socket.ReceiveAll(header, 8, input->receiveTimeout_us);
    if (got == 0) {
        // The socket layer also answers 0 for an empty non-blocking read; the
        // video socket is always blocking, so 0 means the camera closed.
        LOGF(LOG_INFO, LOG_SRC_AV, "AV::IOReadPacket | connection closed");
        input->CloseSocket_locked();
        return -1;
    }
    if (got != 8) {
        int code = LastSocketError();
        LOGF(LOG_ERROR, LOG_SRC_AV, "AV::IOReadPacket | read header error: %s",
                 SocketErrorText(code).c_str());
        input->CloseSocket_locked();
        return -1;
    }
    int32_t dataSize = 0;
    if (header[0] == 0 && header[1] == 0 && header[2] == 2) {
        uint32_t length = (static_cast<uint32_t>(header[4]) << 24) | (static_cast<uint32_t>(header[5]) << 16) |
                          (static_cast<uint32_t>(header[6]) << 8) | static_cast<uint32_t>(header[7]);
        dataSize = static_cast<int32_t>(length);
    }
    if (dataSize <= 0) {
        LOGF(LOG_ERROR, LOG_SRC_AV, "AV::IOReadPacket | dataSize=%d / header=[%d,%d,%d,%d,%d,%d,%d,%d]",
                 dataSize, header[0], header[1], header[2], header[3], header[4], header[5], header[6], header[7]);
        return -1;
    }
    if (dataSize > capacity) {
        // A fragment that does not fit is refused like a bad header. Its
        // payload is still on the wire, so the connection cannot be resumed:
        // close it; the video thread reconnects and the camera starts again
        // at a key frame.
        LOGF(LOG_ERROR, LOG_SRC_AV,
                 "AV::IOReadPacket | dataSize=%d / header=[%d,%d,%d,%d,%d,%d,%d,%d] does not fit in %d bytes",
                 dataSize, header[0], header[1], header[2], header[3], header[4], header[5], header[6], header[7],
                 capacity);
        input->CloseSocket_locked();
        return -1;
    }
    got = input->socket.ReceiveAll(destination, dataSize, input->receiveTimeout_us);
    if (got == dataSize) {
        if (flags) *flags = header[3];
        return dataSize;
    }
    if (got == 0) {
        LOGF(LOG_INFO, LOG_SRC_AV, "AV::IOReadPacket | connection closed(2)");
        input->CloseSocket_locked();
        return 0;
    }
    int code = LastSocketError();
    LOGF(LOG_ERROR, LOG_SRC_AV, "AV::IOReadPacket | read packet error: %s", SocketErrorText(code).c_str());
    input->CloseSocket_locked();
    return got < 0 ? got : -1;
}

int IORead(void* opaque, uint8_t* buffer, int size) {
    if (size <= 0) return size;
    auto* input = static_cast<StreamInput*>(opaque);
    int wanted = size;
    uint8_t* out = buffer;
    for (;;) {
        int available = input->bufferedLength - input->readPosition;
        if (available > 0) {
            int n = available < wanted ? available : wanted;
            memcpy(out, input->packetBuffer + input->readPosition, static_cast<size_t>(n));
            input->readPosition += n;
            out += n;
            wanted -= n;
        }
        if (wanted == 0) return size;
        input->readPosition = 0;
        input->bufferedLength = 0;
        uint8_t flags = 0;
        int length = IOReadPacket(input, input->packetBuffer, kPacketBufferSize, &flags);
        if (length < 0 || !input->socket.IsOpen()) return -1;
        input->bufferedLength = length;
        // Flags do not steer the byte stream; they only tell the gatherer
        // whether the bytes handed to the demuxer ended on a unit boundary.
        // A dropped fragment ends the unit it belonged to, like the last one.
        if (length > 0) input->atUnitBoundary = (flags & (kFragmentEndsUnit | kFragmentDrop)) != 0;
    }
}

int ReadAccessUnit_locked(StreamInput* input) {
    // The demuxer's probe may have stopped inside an access unit: skip the
    // rest of that unit so that the decoder sees whole pictures only.
    while (!input->atUnitBoundary) {
        uint8_t flags = 0;
        int length = IOReadPacket(input, input->packetBuffer, kPacketBufferSize, &flags);
        if (length < 0 || !input->socket.IsOpen()) return -1;
        if ((flags & kFragmentEndsUnit) || (flags & kFragmentDrop)) input->atUnitBoundary = true;
    }
    input->bufferedLength = 0;
    input->readPosition = 0;
    int32_t total = 0;
    for (;;) {
        uint8_t flags = 0;
        int length = IOReadPacket(input, input->packetBuffer + total, kPacketBufferSize - total, &flags);
        if (length < 0 || !input->socket.IsOpen()) {
            // 0 means the camera closed inside a unit: the socket is gone.
            input->bufferedLength = 0;
            return -1;
        }
        if (flags & kFragmentDrop) {
            total = 0;
            continue;
        }
        total += length;
        if (flags & kFragmentEndsUnit) {
            input->bufferedLength = total;
            return total;
        }
    }
}

}  // namespace AV
