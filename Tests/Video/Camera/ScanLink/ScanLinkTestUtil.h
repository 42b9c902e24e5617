// Helpers shared by the scan-link tests: framing a device message and
// splitting a queue of framed messages back into records.
#pragma once

#include <cstdint>
#include <vector>

#include "Video/Camera/Cobs.h"
#include "Video/Camera/Crc.h"

using Bytes = std::vector<uint8_t>;

// One framed message as a peer sends it: records, check value over the
// records and `sequence` (xor `checkXor` to corrupt it), COBS, terminating 0.
inline Bytes FrameMessage(const Bytes& records, uint16_t sequence, uint16_t checkXor = 0) {
    Bytes message = records;
    uint16_t check = static_cast<uint16_t>(ScanLinkCheckValue(records.data(), records.size(), sequence) ^ checkXor);
    message.push_back(static_cast<uint8_t>(check & 0xFF));
    message.push_back(static_cast<uint8_t>(check >> 8));
    Bytes wire(CobsEncodedMax(message.size()) + 1);
    wire.resize(CobsEncode(message.data(), message.size(), wire.data()));
    wire.push_back(0);
    return wire;
}

struct DecodedMessage {
    Bytes records;
    bool checkMatches = false;  // against the sequence expected for it
};

// Splits framed bytes at every 0 and decodes each message; message i is
// checked against sequence firstSequence + i.
inline std::vector<DecodedMessage> DecodeFrames(const Bytes& wire, uint16_t firstSequence) {
    std::vector<DecodedMessage> messages;
    size_t start = 0;
    for (size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] != 0) continue;
        Bytes decoded(i - start + 1);
        decoded.resize(CobsDecode(wire.data() + start, i - start, decoded.data(), decoded.size()));
        start = i + 1;
        DecodedMessage m;
        if (decoded.size() >= 2) {
            size_t n = decoded.size() - 2;
            uint16_t check = static_cast<uint16_t>(decoded[n] | decoded[n + 1] << 8);
            m.records.assign(decoded.begin(), decoded.begin() + static_cast<long>(n));
            m.checkMatches = ScanLinkCheckValue(m.records.data(), n,
                                                static_cast<uint16_t>(firstSequence + messages.size())) == check;
        }
        messages.push_back(m);
    }
    return messages;
}
