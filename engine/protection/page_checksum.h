// Checksums of container pages, the container header and the password block:
// kind 0 is XOR32, kind 1 is CRC-16/ARC stored zero-extended to 32 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvane {

enum TPageChecksumKind : uint8_t { ckXOR32 = 0, ckCRC16 = 1 };

// XOR of the little-endian 32-bit words of data, floor(n / 4) of them; the
// trailing 1 to 3 bytes do not count.
uint32_t Xor32Checksum(const uint8_t* data, size_t n);
// CRC-16/ARC: reflected polynomial 0xA001, start 0, no final XOR.
uint16_t Crc16Arc(const uint8_t* data, size_t n);

// The checksum of the given kind. Any other kind has checksum 0.
uint32_t PageChecksum(const uint8_t* data, size_t n, uint8_t kind);
// True when `stored` is the checksum of data. An unknown kind never verifies:
// a kind byte outside 0 and 1 is damage, not a request to skip the check.
bool VerifyPageChecksum(const uint8_t* data, size_t n, uint8_t kind, uint32_t stored);

}  // namespace norvane
