// Scan-link messages: the record-length table, the sending side (message
// buffer, outgoing queue, transmit sequence, `FinishMessage`) and the
// receiving side (frame splitting, COBS accumulator, check value, records).
//
// ScanLinkTx is guarded by its owner's lock (`scanLinkLock` for the program's
// one instance); every member ending in _locked must be called with it held.
// ScanLinkRx belongs to one thread (the running ScanlinkProc) and takes the
// lock itself only while it applies a message.
//
// Section index (ScanLinkProtocol.cpp)
//   record lengths
//   ScanLinkTx      message buffer, queue, FinishMessage, request builders
//   ApplyScanLinkMessage_locked   the records the program acts on
//   ScanLinkRx      frames, accumulator, check value, resynchronisation
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "Video/Camera/ScanLink.h"

// Total length of a record of `type` including its type byte(s); 0 for a type
// the link does not know.
int ScanLinkRecordLength(uint8_t type);

// trunc(value * scale) as a signed 32-bit wire value; out-of-range values are
// clamped and NaN becomes 0 (the conversion would be undefined otherwise).
int32_t ScanLinkFixed(double value, int64_t scale);

class ScanLinkTx {
public:
    static constexpr size_t kMessageCapacity = 128;
    static constexpr size_t kQueueCapacity = 256;
    // A type-169 answer queues at most this many items (15 bytes each), so
    // their requests always fit one message; see ApplyScanLinkMessage_locked.
    static constexpr int kMaxItemsPerAnswer = 8;

    // Appends one record to the message being built. A record that no longer
    // fits closes the current message first (FinishMessage) and starts the
    // next one, so a message never exceeds kMessageCapacity.
    void AppendRecord_locked(const uint8_t* record, size_t length);
    // Adds the check value, COBS-frames the message into the queue and counts
    // it; drops it when the queue lacks n + n/254 + 4 free bytes. Always
    // empties the message buffer.
    void FinishMessage_locked();
    // Moves up to `capacity` bytes from the front of the queue into `out`.
    size_t TakeQueued_locked(uint8_t* out, size_t capacity);

    size_t MessageLength_locked() const { return messageLength_; }
    size_t QueuedLength_locked() const { return queueLength_; }
    uint16_t Sequence_locked() const { return sequence_; }
    void SetSequence_locked(uint16_t sequence) { sequence_ = sequence; }
    // Forgets everything: message, queue and sequence (tests, start-up).
    void Clear_locked();

    // ---- request builders: append records and finish one message -------------
    void QueuePositionRequest_locked();
    void QueueRefresh_locked();
    void QueueSetUnits_locked(int units);
    void QueueSetAxisPosition_locked(int axis, int32_t value);
    void QueueSetItemScale_locked(int item, int32_t value);
    void QueueSetAxisSource_locked(int axis, int item);
    void QueueResync_locked(uint16_t expectedSequence);
    // Name, value, auxiliary value, scale and auxiliary scale requests of one
    // item (15 bytes, no finish).
    void AppendItemRequests_locked(uint8_t item, int32_t units);

private:
    uint8_t message_[kMessageCapacity] = {};
    size_t messageLength_ = 0;
    uint8_t queue_[kQueueCapacity] = {};
    size_t queueLength_ = 0;
    uint16_t sequence_ = 0;
};

// Applies the records of one accepted message (check value already removed).
// Unknown types, extended types (second byte not 0), records running past the
// end and indices beyond the tables end or skip as documented in the .cpp.
void ApplyScanLinkMessage_locked(const uint8_t* records, size_t length, ScanLinkState& state, ScanLinkTx& tx);

class ScanLinkRx {
public:
    static constexpr size_t kAccumulatorBytes = 256;
    // An unterminated frame longer than this is discarded up to its 0 byte
    // (a valid frame encodes at most 256 bytes, so it can never be this long).
    static constexpr size_t kMaxPendingBytes = 1024;

    struct Result {
        int frames = 0;    // non-empty frames seen (the peer is alive)
        int accepted = 0;  // frames whose check value matched
        int rejected = 0;  // frames answered with a resynchronisation request
    };

    // Splits `bytes` at every 0 into frames (keeping an unterminated tail for
    // the next call) and handles each under `lock`: a wrong check value
    // queues [01 s] with the expected sequence; a good one applies the
    // records and counts the sequence.
    Result Feed(const uint8_t* bytes, size_t length, ScanLinkState& state, ScanLinkTx& tx, std::mutex& lock);
    void Reset();
    uint16_t Sequence() const { return sequence_; }

private:
    void HandleFrame(const uint8_t* frame, size_t length, Result& result, ScanLinkState& state, ScanLinkTx& tx,
                     std::mutex& lock);

    std::vector<uint8_t> pending_;  // unterminated tail, at most kMaxPendingBytes
    bool discarding_ = false;       // dropping an overlong frame up to its 0 byte
    uint8_t accumulator_[kAccumulatorBytes] = {};
    uint16_t sequence_ = 0;
};

// One camera unit's crawler link as the program keeps it: its own outgoing
// queue and transmit sequence (the unit counts the messages of each
// connection from 0, so two units can never share one count), and the crawler
// state its answers fill. Everything here is guarded by scanLinkLock.
// ScanlinkProc owns one for the life of the thread and registers it, so the
// request builders of ScanLink.h reach every unit's crawler.
struct ScanLinkPort {
    ScanLinkTx tx;
    ScanLinkState state{};
    bool open = false;  // a scan-link socket to the unit is open
};

// Under scanLinkLock. A registered port receives every request the builders
// queue; the program-wide scanLinkState shows the crawler of one open port.
void RegisterScanLinkPort_locked(ScanLinkPort* port) REQUIRES(scanLinkLock);
void UnregisterScanLinkPort_locked(ScanLinkPort* port) REQUIRES(scanLinkLock);
// The link opened: the port may now be the one shown.
void ScanLinkPortOpened_locked(ScanLinkPort* port) REQUIRES(scanLinkLock);
// The link closed: messages framed for the gone connection are dropped and
// the count starts again at 0 for the next one; requests queued from now on
// wait for it. A shown port stops being shown (scanLinkState is cleared).
void ScanLinkPortClosed_locked(ScanLinkPort* port) REQUIRES(scanLinkLock);
// After the port's answers were applied: the shown port's state becomes
// scanLinkState; with no port shown, the first open one to get here is shown.
void PublishScanLinkPort_locked(ScanLinkPort* port) REQUIRES(scanLinkLock);
// The port whose crawler scanLinkState shows (nullptr: none).
ScanLinkPort* ShownScanLinkPort_locked() REQUIRES(scanLinkLock);
