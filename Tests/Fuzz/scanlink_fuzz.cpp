// Scan-link input: bytes from the crawler link cut into frames at every 0,
// COBS-decoded, checked against the CRC-16 with the receive sequence and
// applied as records. Also the COBS round trip and the check value of what
// the sending side frames.
#include <cstring>
#include <mutex>
#include <vector>

#include "Fuzz/FuzzSupport.h"
#include "Video/Camera/Cobs.h"
#include "Video/Camera/Crc.h"
#include "Video/Camera/ScanLinkProtocol.h"

namespace {

// A frame the sending side would put on the wire for `records` with
// `sequence`: records, check value (low byte first), COBS, terminating 0.
std::vector<uint8_t> Frame(const uint8_t* records, size_t length, uint16_t sequence) {
    std::vector<uint8_t> message(records, records + length);
    const uint16_t check = ScanLinkCheckValue(records, length, sequence);
    message.push_back(uint8_t(check & 0xFF));
    message.push_back(uint8_t(check >> 8));
    std::vector<uint8_t> wire(CobsEncodedMax(message.size()) + 1);
    const size_t n = CobsEncode(message.data(), message.size(), wire.data());
    wire.resize(n);
    wire.push_back(0);
    return wire;
}

void CheckCobsRoundTrip(const uint8_t* data, size_t size) {
    std::vector<uint8_t> encoded(CobsEncodedMax(size));
    const size_t n = CobsEncode(data, size, encoded.data());
    FUZZ_CHECK(n <= encoded.size());
    FUZZ_CHECK(std::memchr(encoded.data(), 0, n) == nullptr);
    std::vector<uint8_t> decoded(size + 1);
    FUZZ_CHECK(CobsDecode(encoded.data(), n, decoded.data(), decoded.size()) == size);
    FUZZ_CHECK(size == 0 || std::memcmp(decoded.data(), data, size) == 0);
}

void CheckState(const ScanLinkState& state) {
    for (int a = 0; a < kScanLinkAxes; ++a) {
        FUZZ_CHECK(strnlen(state.axisName[a], kScanLinkTextBytes) < size_t(kScanLinkTextBytes));
        FUZZ_CHECK(state.axisItems[a].first >= 0 && state.axisItems[a].count >= 0);
        FUZZ_CHECK(state.axisItems[a].first + state.axisItems[a].count <= kScanLinkItems);
    }
    for (int i = 0; i < kScanLinkNamedItems; ++i)
        FUZZ_CHECK(strnlen(state.itemName[i], kScanLinkTextBytes) < size_t(kScanLinkTextBytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScanLinkState state;
    static ScanLinkTx tx;
    static std::mutex lock;
    std::memset(&state, 0, sizeof state);
    {
        std::lock_guard<std::mutex> guard(lock);
        tx.Clear_locked();
    }
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const uint8_t cut = in.Byte();

    if (mode & 1) {
        // The rest as records of one well-framed message with sequence 0:
        // it must be accepted, whatever the records say.
        ScanLinkRx rx;
        const size_t n = in.Left() < 254 ? in.Left() : 254;
        std::vector<uint8_t> wire = Frame(in.Here(), n, 0);
        ScanLinkRx::Result r = rx.Feed(wire.data(), wire.size(), state, tx, lock);
        FUZZ_CHECK(r.frames == 1 && r.accepted == 1 && rx.Sequence() == 1);
    } else {
        // The rest as raw link bytes, arriving in two reads.
        ScanLinkRx rx;
        const size_t first = in.Left() == 0 ? 0 : cut % (in.Left() + 1);
        const uint8_t* bytes = in.Here();
        const size_t total = in.Left();
        ScanLinkRx::Result a = rx.Feed(bytes, first, state, tx, lock);
        ScanLinkRx::Result b = rx.Feed(bytes + first, total - first, state, tx, lock);
        FUZZ_CHECK(a.accepted + b.accepted == rx.Sequence());
    }
    CheckState(state);
    {
        std::lock_guard<std::mutex> guard(lock);
        FUZZ_CHECK(tx.MessageLength_locked() <= ScanLinkTx::kMessageCapacity);
        FUZZ_CHECK(tx.QueuedLength_locked() <= ScanLinkTx::kQueueCapacity);
        // Whatever was queued in answer is well framed: frames end in 0 and
        // hold no other 0 byte.
        uint8_t queued[ScanLinkTx::kQueueCapacity];
        const size_t n = tx.TakeQueued_locked(queued, sizeof queued);
        FUZZ_CHECK(n == 0 || queued[n - 1] == 0);
    }
    CheckCobsRoundTrip(data, size);
    return 0;
}
