#include "Video/Camera/ScanLinkProtocol.h"

#include <array>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <limits>

#include "Video/Camera/Cobs.h"
#include "Video/Camera/Crc.h"

// ---- record lengths -------------------------------------------------------------

namespace {

struct LengthRow {
    int length;
    std::initializer_list<int> types;
};

constexpr int kUnknown = 0;

std::array<uint8_t, 256> MakeLengthTable() {
    const LengthRow rows[] = {
        {1, {2, 8}},
        {2, {9, 32, 34, 36, 38, 128, 144, 146, 148, 150, 152, 154, 156, 158, 160, 162, 172}},
        {3, {0, 1, 12, 35, 145, 147, 164, 166, 168, 170, 173, 178, 180, 182}},
        {4, {15, 39, 149, 153, 157, 159, 161, 174, 175, 176, 184}},
        {5, {13, 163, 169, 179, 183}},
        {6, {3, 10, 33, 37, 143, 155}},
        {7, {151, 177}},
        {8, {185}},
        {9, {11, 14, 129}},
        {10, {142}},
        {14, {130}},
        {23, {165, 167, 181}},
        {24, {171}},
    };
    std::array<uint8_t, 256> table{};
    table.fill(kUnknown);
    for (const LengthRow& row : rows)
        for (int type : row.types) table[static_cast<size_t>(type)] = static_cast<uint8_t>(row.length);
    return table;
}

const std::array<uint8_t, 256> kRecordLength = MakeLengthTable();

int32_t ReadInt32(const uint8_t* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
                 static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

void WriteInt32(uint8_t* p, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Copies a fixed-size text field up to its zero byte into a 256-byte slot.
void CopyText(char* slot, const uint8_t* text, size_t fieldLength) {
    size_t n = 0;
    while (n < fieldLength && n < kScanLinkTextBytes - 1 && text[n] != 0) ++n;
    memcpy(slot, text, n);
    slot[n] = 0;
}

}  // namespace

int ScanLinkRecordLength(uint8_t type) { return kRecordLength[type]; }

int32_t ScanLinkFixed(double value, int64_t scale) {
    double v = std::trunc(value * static_cast<double>(scale));
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// ---- ScanLinkTx ---------------------------------------------------------------------

void ScanLinkTx::AppendRecord_locked(const uint8_t* record, size_t length) {
    if (length > kMessageCapacity) return;
    if (messageLength_ + length > kMessageCapacity) FinishMessage_locked();
    memcpy(message_ + messageLength_, record, length);
    messageLength_ += length;
}

void ScanLinkTx::FinishMessage_locked() {
    const size_t n = messageLength_;
    messageLength_ = 0;
    if (kQueueCapacity - queueLength_ < n + n / 254 + 4) return;  // queue full: dropped
    uint8_t withCheck[kMessageCapacity + 2];
    memcpy(withCheck, message_, n);
    uint16_t check = ScanLinkCheckValue(message_, n, sequence_);
    withCheck[n] = static_cast<uint8_t>(check & 0xFF);
    withCheck[n + 1] = static_cast<uint8_t>(check >> 8);
    queueLength_ += CobsEncode(withCheck, n + 2, queue_ + queueLength_);
    queue_[queueLength_++] = 0;
    ++sequence_;
}

size_t ScanLinkTx::TakeQueued_locked(uint8_t* out, size_t capacity) {
    size_t n = queueLength_ < capacity ? queueLength_ : capacity;
    memcpy(out, queue_, n);
    memmove(queue_, queue_ + n, queueLength_ - n);
    queueLength_ -= n;
    return n;
}

void ScanLinkTx::Clear_locked() {
    messageLength_ = 0;
    queueLength_ = 0;
    sequence_ = 0;
}

void ScanLinkTx::QueuePositionRequest_locked() {
    const uint8_t records[] = {0x20, 0x00, 0x20, 0x01};
    AppendRecord_locked(records, 2);
    AppendRecord_locked(records + 2, 2);
    FinishMessage_locked();
}

void ScanLinkTx::QueueRefresh_locked() {
    static const uint8_t device[] = {0xA0, 0x00};
    static const uint8_t names[2][3] = {{0xA4, 0x00, 0x00}, {0xA4, 0x00, 0x01}};
    static const uint8_t ranges[2][3] = {{0xA8, 0x00, 0x00}, {0xA8, 0x00, 0x01}};
    static const uint8_t sources[2][4] = {{0xAE, 0x00, 0x00, 0x00}, {0xAE, 0x00, 0x01, 0x00}};
    AppendRecord_locked(device, sizeof device);
    for (const auto& r : names) AppendRecord_locked(r, sizeof r);
    for (const auto& r : ranges) AppendRecord_locked(r, sizeof r);
    for (const auto& r : sources) AppendRecord_locked(r, sizeof r);
    FinishMessage_locked();
}

void ScanLinkTx::QueueSetUnits_locked(int units) {
    const uint8_t record[] = {0xA1, 0x00, static_cast<uint8_t>(units), 0x00};
    AppendRecord_locked(record, sizeof record);
    FinishMessage_locked();
}

void ScanLinkTx::QueueSetAxisPosition_locked(int axis, int32_t value) {
    uint8_t record[6] = {0x21, static_cast<uint8_t>(axis)};
    WriteInt32(record + 2, value);
    AppendRecord_locked(record, sizeof record);
    FinishMessage_locked();
}

void ScanLinkTx::QueueSetItemScale_locked(int item, int32_t value) {
    uint8_t record[7] = {0xB1, 0x00, static_cast<uint8_t>(item)};
    WriteInt32(record + 3, value);
    AppendRecord_locked(record, sizeof record);
    FinishMessage_locked();
}

void ScanLinkTx::QueueSetAxisSource_locked(int axis, int item) {
    const uint8_t record[] = {0xAF, 0x00, static_cast<uint8_t>(axis), static_cast<uint8_t>(item)};
    AppendRecord_locked(record, sizeof record);
    FinishMessage_locked();
}

void ScanLinkTx::QueueResync_locked(uint16_t expectedSequence) {
    const uint8_t record[] = {0x01, static_cast<uint8_t>(expectedSequence & 0xFF),
                              static_cast<uint8_t>(expectedSequence >> 8)};
    AppendRecord_locked(record, sizeof record);
    FinishMessage_locked();
}

void ScanLinkTx::AppendItemRequests_locked(uint8_t item, int32_t units) {
    const uint8_t aux = static_cast<uint8_t>(item | 0x80);
    const uint8_t u = static_cast<uint8_t>(units & 0xFF);
    const uint8_t records[15] = {0xA6, 0x00, item, 0x24, item, 0x24, aux, 0xB0, 0x00, item, u, 0xB0, 0x00, aux, u};
    static const uint8_t lengths[] = {3, 2, 2, 4, 4};
    // Keep the five records of one item in one message.
    if (messageLength_ + sizeof records > kMessageCapacity) FinishMessage_locked();
    size_t at = 0;
    for (uint8_t length : lengths) {
        AppendRecord_locked(records + at, length);
        at += length;
    }
}

// ---- ApplyScanLinkMessage_locked --------------------------------------------------

void ApplyScanLinkMessage_locked(const uint8_t* records, size_t length, ScanLinkState& state, ScanLinkTx& tx) {
    size_t pos = 0;
    while (pos < length) {
        const uint8_t type = records[pos];
        const size_t recordLength = static_cast<size_t>(ScanLinkRecordLength(type));
        if (recordLength == 0 || recordLength > length - pos) return;  // unknown type or cut short
        const uint8_t* r = records + pos;
        pos += recordLength;
        // Types of 128 and above carry a second type byte (a multiple of 128
        // added to the first). The program knows none of those extended
        // types, and their lengths are not in the table: stop parsing.
        if (type >= 128 && r[1] != 0) return;
        const uint8_t* p = r + (type >= 128 ? 2 : 1);
        switch (type) {
        case 1:
            tx.SetSequence_locked(static_cast<uint16_t>(p[0] | p[1] << 8));
            break;
        case 2:
            tx.AppendRecord_locked(r, 1);
            break;
        case 33:
            if (p[0] < kScanLinkAxes) state.axisPosition[p[0]] = {ReadInt32(p + 1), kScanLinkDivisor};
            break;
        case 37:
            state.itemValue[p[0]] = {ReadInt32(p + 1), kScanLinkDivisor};
            break;
        case 161:
            state.units = p[0];
            state.info2 = p[1];
            break;
        case 165:
            if (p[0] < kScanLinkAxes) CopyText(state.axisName[p[0]], p + 1, recordLength - 3);
            break;
        case 167:
            if (p[0] < kScanLinkNamedItems) CopyText(state.itemName[p[0]], p + 1, recordLength - 3);
            break;
        case 169: {
            if (p[0] >= kScanLinkAxes) break;
            // Bound: one answer queues at most kMaxItemsPerAnswer items (8 x 15
            // bytes fit the 128-byte message, so the requests leave as one
            // message as the device expects), and only item ids below 128:
            // ids from 128 up are the auxiliary inputs (bit value 0x80) of
            // ids 0 to 127, and first + count must not wrap past 255. Names
            // exist for ids 0 to 7 only and the 256-byte outgoing queue holds
            // two such messages, so splitting a longer list would only get
            // its tail dropped. The stored range is bounded the same way, so
            // readers that walk first .. first + count - 1 stay inside the
            // 256-entry item tables and never wait for items never asked.
            const int first = p[1];
            int count = p[2];
            if (count > ScanLinkTx::kMaxItemsPerAnswer) count = ScanLinkTx::kMaxItemsPerAnswer;
            if (first + count > 128) count = first >= 128 ? 0 : 128 - first;
            state.axisItems[p[0]] = {first, count};
            for (int c = first; c < first + count; ++c)
                tx.AppendItemRequests_locked(static_cast<uint8_t>(c), state.units);
            if (count > 0) tx.FinishMessage_locked();
            break;
        }
        case 175:
            if (p[0] < kScanLinkAxes) state.axisSource[p[0]] = p[1];
            break;
        case 177:
            state.itemScale[p[0]] = ReadInt32(p + 1);
            break;
        default:
            break;  // known length, not used by the program
        }
    }
}

// ---- ScanLinkRx ------------------------------------------------------------------------

void ScanLinkRx::Reset() {
    pending_.clear();
    discarding_ = false;
    sequence_ = 0;
}

ScanLinkRx::Result ScanLinkRx::Feed(const uint8_t* bytes, size_t length, ScanLinkState& state, ScanLinkTx& tx,
                                    std::mutex& lock) {
    Result result;
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        const bool terminated = i < length && bytes[i] == 0;
        if (i < length && !terminated) continue;
        const uint8_t* piece = bytes + start;
        const size_t pieceLength = i - start;
        if (!terminated) {
            // Unterminated tail: keep it (bounded) for the next call.
            if (discarding_) break;
            if (pending_.size() + pieceLength > kMaxPendingBytes) {
                // Longer than any valid frame: answer it like a corrupt frame
                // once and drop its bytes up to the next 0.
                pending_.clear();
                discarding_ = true;
                ++result.frames;
                ++result.rejected;
                std::lock_guard<std::mutex> guard(lock);
                tx.QueueResync_locked(sequence_);
                break;
            }
            pending_.insert(pending_.end(), piece, piece + pieceLength);
            break;
        }
        if (discarding_) {
            discarding_ = false;
        } else if (!pending_.empty()) {
            if (pending_.size() + pieceLength > kMaxPendingBytes) {
                pending_.clear();
                ++result.frames;
                ++result.rejected;
                std::lock_guard<std::mutex> guard(lock);
                tx.QueueResync_locked(sequence_);
            } else {
                pending_.insert(pending_.end(), piece, piece + pieceLength);
                HandleFrame(pending_.data(), pending_.size(), result, state, tx, lock);
                pending_.clear();
            }
        } else if (pieceLength > 0) {
            HandleFrame(piece, pieceLength, result, state, tx, lock);
        }
        start = i + 1;
    }
    return result;
}

void ScanLinkRx::HandleFrame(const uint8_t* frame, size_t length, Result& result, ScanLinkState& state, ScanLinkTx& tx,
                             std::mutex& lock) {
    ++result.frames;
    size_t decoded = CobsDecode(frame, length, accumulator_, kAccumulatorBytes);
    if (decoded > kAccumulatorBytes) decoded = kAccumulatorBytes;  // bytes beyond the accumulator are dropped
    if (decoded < 2) return;
    const size_t n = decoded - 2;
    const uint16_t received = static_cast<uint16_t>(accumulator_[n] | accumulator_[n + 1] << 8);
    std::lock_guard<std::mutex> guard(lock);
    if (ScanLinkCheckValue(accumulator_, n, sequence_) != received) {
        ++result.rejected;
        tx.QueueResync_locked(sequence_);
        return;
    }
    ApplyScanLinkMessage_locked(accumulator_, n, state, tx);
    ++sequence_;
    ++result.accepted;
}
