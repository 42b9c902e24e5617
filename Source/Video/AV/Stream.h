// AV::Stream — the one video class: opens a live camera stream ("tcp://host:port",
// framed H.264 read through IORead) or a media file, decodes it (VAAPI when a
// render node answers, else software) and hands decoded pictures to the UI
// thread through a queue of at most four. It also records what it receives
// (StreamRecorder.cpp) and seeks in files (StreamSeek.cpp).
//
// Threads: the stream's video thread calls Open, Process, Close and Seek; the
// UI thread calls PopFrame, the accessors, and starts/stops recordings. A
// live slot splits Process in two: its receiving (video) thread calls
// Receive, which reads, stamps and records each access unit, and its
// decoding thread calls Decode, so that neither the socket nor the
// recording ever waits for the decoder.
// Locks, always taken in this order and never the other way:
//   input lock (Input::lock)  ->  decoder lock  ->  frame lock  ->  queue lock
//   input lock  ->  recorder lock (StartRecording, Receive); WritePacket and
//   StopRecording take the recorder lock alone.
// Decode takes the decoder lock without the input lock.
// Accessor values are atomics written by the video or decoding thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Base/Clock.h"
#include "Video/AV/Frame.h"
#include "Video/AV/LiveQueue.h"
#include "Video/AV/StreamInput.h"

extern "C" {
struct AVCodec;
struct AVCodecParameters;
struct AVPacket;
}

namespace AV {

// The render nodes there are (/dev/dri/renderD128, ...), in order: where
// hardware decoding is tried.
std::vector<std::string> RenderNodes();

// The recording side of a stream: stream copy of every received packet into
// a Matroska file, timed by arrival (each unit's last byte read from the
// socket, stamped by the receiving thread).
//
// Crash safety: the muxer closes its open cluster at every key frame and
// after kClusterLimit_ms, and every closed cluster goes through the I/O
// buffer to the file at once; one left open for kFlushPeriod_ns is closed by
// hand. A file cut at any moment (kill -9, a full disk) therefore plays up
// to less than a second before the cut.
struct StreamRecorder {
    std::mutex lock;  // the recorder lock: guards every field below

    int64_t lastWriteNs = 0;  // arrival of the last written packet (or of the header)
    int64_t lastFlushNs = 0;  // when the file last received everything written
    AVFormatContext* output = nullptr;
    AVStream* outputStream = nullptr;  // set exactly while recording
    std::string path;                  // the file being written (log lines, empty-file removal)
    int64_t runningTime = 0;           // output time-base units: time of the last packet written
    int64_t lastStep = 0;              // output time-base units: between the last two arrivals
    uint64_t packetCount = 0;          // packets written since the start
    double recordedSeconds = 0;
    bool headerWritten = false;
    bool headerFailureLogged = false;
    uint64_t flushCount = 0;  // times the file grew (closed clusters) in the current recording
    int64_t fileBytes = 0;    // bytes handed to the file so far

    // What a recording copies from the open input, kept here by Open (and
    // dropped by Close) so that starting a recording on the UI thread never
    // takes the input lock, which the receiving thread holds while it waits
    // on the socket. sourceCodec is null while no input is open.
    AVCodecParameters* sourceParameters = nullptr;
    int sourceTimeBaseNum = 1, sourceTimeBaseDen = 1000;  // the input stream's time base
    const AVCodec* sourceCodec = nullptr;

    ~StreamRecorder();
};

// The longest a Matroska cluster is kept open by the muxer. A quarter of a
// second leaves room under the one-second limit for a video thread that runs
// behind the socket on a busy machine; four clusters a second cost a few
// dozen bytes and four small writes each second.
constexpr int64_t kClusterLimit_ms = 250;

// A cluster that stays open longer than this is closed and flushed by hand
// (a stream with so few pictures that the next one comes too late to close it).
constexpr int64_t kFlushPeriod_ns = 500000000;

class Stream {
public:
    struct Options {
        int32_t connectTimeout_us = -1;  // below 1 means 2,000,000
        int32_t receiveTimeout_us = -1;  // below 1 means 1,000,000
        int32_t probeSize = -1;          // set only when above 0
        // Ask for hardware decoding (VAAPI). Without a render node that
        // answers, decoding falls back to software; that is not an error.
        bool hardware = false;

        static Options LiveCamera();  // 2 s connect, 3 s receive, probe size 64
        static Options MediaFile();   // all -1
    };
    using Input = StreamInput;
    using Recorder = StreamRecorder;

    Stream();
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    bool Open(const std::string& address, const Options& options);
    // Reads one access unit or packet, records it, decodes it and queues a
    // picture if one comes out. The read result (0 or more) or a negative
    // FFmpeg error; on a failure other than end of file the stream is closed.
    int Process();
    // Live sources, receiving thread: reads one access unit, stamps its
    // arrival (its last byte read from the socket), records it and moves a
    // copy of it to `unit`. 0, or a negative error after which the stream is
    // closed.
    int Receive(LiveUnit* unit);
    // Decoding thread: decodes `unit` (ignored when it came from an earlier
    // connection) and queues a picture if one comes out. Never takes the
    // input lock. 0 or a negative FFmpeg error (the stream stays open: the
    // receiving thread decides about the connection).
    int Decode(const LiveUnit& unit);
    // Counts the connections opened: units of an earlier one are not decoded.
    uint64_t Generation() const { return generation_.load(); }
    // Test hook: every decode takes this much longer (a slow decoder).
    void SetDecodeDelayForTests(int64_t delay_us) { decodeDelay_us_ = delay_us; }
    void Close();
    // The oldest queued picture (removed from the queue), or empty.
    std::shared_ptr<Frame> PopFrame();
    size_t QueuedFrames();
    // Takes the input lock: waits while the live reader waits for data.
    bool IsOpen();

    int Width() const { return width_.load(); }
    int Height() const { return height_.load(); }
    int FrameRate() const { return frameRate_.load(); }
    int Port() const { return port_.load(); }
    int64_t FrameStep() const { return frameStep_.load(); }
    uint64_t FramesFetched() const { return framesFetched_.load(); }
    int64_t Position() const { return position_.load(); }
    int64_t Duration() const { return duration_.load(); }
    int64_t FileSize() const { return fileSize_.load(); }
    float ReceivedBitRate() const { return bitRate_.load(); }  // Mbit/s
    bool HardwareDecoding() const { return hardware_.load(); }

    // Files only: moves to the first picture at or after `seconds` and queues it.
    void Seek(double seconds);

    // ---- recording (StreamRecorder.cpp) ------------------------------------
    bool StartRecording(const std::string& path, const std::map<std::string, std::string>& metadata);
    bool StartRecording(const std::string& path);
    // Records `packet` timed by its arrival (monotonic ns); the other form
    // takes the time of the call (file sources).
    void WritePacket(AVPacket* packet, int64_t arrival_ns);
    void WritePacket(AVPacket* packet);
    std::mutex& RecorderLock() { return recorder_->lock; }
    // Finalises and closes the file; safe when not recording. Returns the
    // packets written to it, or -1 when nothing was recording. A result of 0
    // means no key frame arrived: the empty file is removed.
    int64_t StopRecording_locked();
    int64_t StopRecording();  // takes the recorder lock
    bool IsRecording();       // takes the recorder lock
    bool IsRecording_locked() const { return recorder_->outputStream != nullptr; }
    double RecordedSeconds();
    // Packets written to the current recording so far (takes the recorder lock).
    int64_t RecordingPackets();
    // Packets of the last recording stopped (by any path, Close included).
    int64_t LastRecordingPackets() const { return lastRecordingPackets_.load(); }
    // Cluster flushes of the current (or last) recording.
    uint64_t RecordingFlushes();

private:
    // Input lock held: one access unit through the parser, and its arrival.
    int ReadFrame_locked(AVPacket* packet, int64_t* arrival_ns);
    // Input lock held: Receive's reading and recording.
    int Receive_locked(LiveUnit* unit);
    // Decoder lock held (with or without the input lock).
    int DecodeInto_locked(AVPacket* packet, int64_t arrival_ns, const std::shared_ptr<Frame>& slot, bool* gotPicture);
    bool MakeUploadable_locked(Frame* slot);
    // Decoder lock held: a software picture into `nv12` (buffers allocated),
    // limited range; an FFmpeg error code on failure.
    int ConvertToNV12_locked(const AVFrame* f, AVFrame* nv12);
    std::shared_ptr<Frame> TakeSlot();
    void QueueFrame(const std::shared_ptr<Frame>& frame);
    void CloseInput_locked();  // input and decoder locks held
    // Recorder lock held: pushes the open cluster and the I/O buffer to the
    // file. False (the recording is then stopped) when the file refused them.
    bool FlushRecording_locked(int64_t now_ns);
    void FailRecording_locked(const char* call, int rc);
    void FailOpen_locked();
    void OpenHardware_locked(const Options& options);  // input and decoder locks held

    std::unique_ptr<Input> input_;
    std::unique_ptr<Recorder> recorder_;

    std::mutex frameLock_;            // guards current_ (framesFetched_ is written under it)
    std::shared_ptr<Frame> current_;  // the picture the decoder fills next
    std::mutex queueLock_;
    std::vector<std::shared_ptr<Frame>> queue_;  // oldest first, at most kMaxQueued

    bool drained_ = false;  // input lock: end-of-file drain of the decoder done

    std::atomic<int> port_{-1};
    std::atomic<int> width_{0}, height_{0}, frameRate_{0};
    std::atomic<int64_t> frameStep_{0}, position_{0}, duration_{-1}, fileSize_{-1};
    std::atomic<uint64_t> framesFetched_{0};
    std::atomic<float> bitRate_{0};
    std::atomic<bool> hardware_{false};
    std::atomic<int64_t> lastRecordingPackets_{-1};
    std::atomic<uint64_t> generation_{0};      // written by Open with both input locks held
    std::atomic<int64_t> decodeDelay_us_{0};  // test hook

public:
    static constexpr size_t kMaxQueued = 4;
};

// Arrival and decode times use the program's monotonic clock (Base/Clock.h).
using ::MonotonicNs;

}  // namespace AV
