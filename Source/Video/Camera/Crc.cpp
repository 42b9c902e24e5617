#include "Video/Camera/Crc.h"

#include <array>

namespace {

constexpr uint16_t kPolynomial = 0x90D9;

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ kPolynomial : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

uint16_t ScanLinkCheckValue(const uint8_t* records, size_t length, uint16_t sequence) {
    const uint8_t seq[2] = {static_cast<uint8_t>(sequence & 0xFF), static_cast<uint8_t>(sequence >> 8)};
    return Crc16Update(Crc16Update(kCrc16Initial, records, length), seq, 2);
}
