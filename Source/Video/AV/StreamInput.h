// The demuxer side of one AV::Stream (`Stream::Input`) and the camera video
// framing: fragments of an 8-byte header and a payload, gathered into access
// units in a fixed 1 MiB packet buffer.
//
// Fragment header: 0, 0, 2 (video fragment), flags, payload length (u32
// big-endian, 1 to 2,147,483,647). Flags: 0x04 ends an access unit; 0x20
// drops everything gathered for the current access unit, this fragment too.
//
// Threads: the socket side runs on the stream's receiving (video) thread
// with `lock` (the input lock) held. The decoder side may run on another
// thread (a live slot's decoding thread) under `decoderLock` alone, so that
// decoding never waits for a receiving thread blocked on the socket.
// Lock order: input lock, then decoder lock, then the stream's frame and
// queue locks. The decoder and videoStream pointers are set and cleared with
// both locks held, so either lock is enough to read them.
#pragma once

#include <cstdint>
#include <mutex>

#include "Video/Camera/Socket.h"

extern "C" {
struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVStream;
struct AVCodecParserContext;
struct AVBufferRef;
struct AVIOContext;
struct SwsContext;
}

namespace AV {

constexpr int kPacketBufferSize = 1048576;
constexpr uint8_t kFragmentEndsUnit = 0x04;
constexpr uint8_t kFragmentDrop = 0x20;

struct StreamInput {
    std::mutex lock;         // the input lock: guards every field below not marked otherwise
    std::mutex decoderLock;  // the decoder lock: guards the fields marked "decoder lock"

    int64_t lastDecodedNs = 0;  // decoder lock: monotonic time of the last decoded picture
    int64_t lastUnitNs = 0;     // monotonic time of the last access unit

    TcpSocket socket;
    // Access units are gathered here from offset 0 and decoded in place; the
    // array is never reallocated and nothing is ever written past its end.
    uint8_t packetBuffer[kPacketBufferSize];
    int32_t bufferedLength = 0;  // last fragment (read callback) or gathered total
    int32_t readPosition = 0;    // next unread byte of the buffered fragment
    uint32_t receiveTimeout_us = 1000000;
    // False while the read callback has consumed part of an access unit (it
    // ignores fragment flags); the gatherer then skips to the next unit start
    // instead of handing the decoder the tail of a picture.
    bool atUnitBoundary = true;

    const AVCodec* codec = nullptr;
    AVCodecContext* decoder = nullptr;  // the context: decoder lock; the pointer: both locks
    AVFormatContext* demuxer = nullptr;
    AVStream* videoStream = nullptr;          // pointer: both locks
    AVCodecParserContext* parser = nullptr;   // live sources only
    AVCodecContext* parserContext = nullptr;  // the parser's own (never opened) codec context
    AVBufferRef* hwDevice = nullptr;          // decoder lock: VAAPI device, when one answered
    SwsContext* converter = nullptr;          // decoder lock: software pictures -> NV12
    // Decoder lock: what `converter` was made for (its source's size,
    // layout and range); another picture makes a new one.
    int converterWidth = 0, converterHeight = 0, converterFormat = -1;
    bool converterFullRange = false;
    AVIOContext* io = nullptr;               // custom I/O over IORead (live sources)

    // Shuts the socket down and forgets the buffered fragment.
    void CloseSocket_locked();
};

// Reads one fragment into `destination`, which has room for `capacity`
// bytes. Returns the payload length (and the flags byte when `flags` is
// given), -1 on a closed connection or a refused header, or the socket
// layer's result (0 or negative) when the payload read fails.
int IOReadPacket(StreamInput* input, uint8_t* destination, int capacity, uint8_t* flags);

// FFmpeg read callback over the fragments: copies exactly `size` bytes or
// returns -1 (AVERROR_EOF is not used: a lost camera is an error here).
int IORead(void* opaque, uint8_t* buffer, int size);

// Gathers fragments into the packet buffer until one access unit is
// complete. Returns its length (bytes at packetBuffer[0, length)) or -1.
int ReadAccessUnit_locked(StreamInput* input);

}  // namespace AV
