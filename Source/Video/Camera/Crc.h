// CRC-16 of the scan link: polynomial 0x90D9, MSB first, initial value
// 0xFFFF, no reflection, no final XOR. Pure functions, any thread; shared
// with the simulator. (The firmware transfer's CRC-32 is zlib's crc32.)
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint16_t kCrc16Initial = 0xFFFF;

// Continues `crc` over `length` bytes.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t length);

// Check value of one scan-link message: the record bytes followed by the
// sender's message sequence number, low byte then high byte.
uint16_t ScanLinkCheckValue(const uint8_t* records, size_t length, uint16_t sequence);
