// XOR32 and table-driven CRC-16/ARC for pages and headers.
#include "engine/protection/page_checksum.h"

#include <array>
#include <cstring>

#include "engine/common/byte_codec.h"

namespace norvane {

namespace {

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();

}  // namespace

uint32_t Xor32Checksum(const uint8_t* data, size_t n) {
  // Byte j of the sum is the XOR of every byte at a position j mod 4, so
  // eight bytes at a time can be XORed as they lie in memory and the two
  // halves folded at the end: the same sum on any machine, in an eighth of
  // the steps.
  uint64_t wide = 0;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    wide ^= word;
  }
  uint8_t lanes[8];
  std::memcpy(lanes, &wide, sizeof lanes);
  uint32_t sum = GetU32LE(lanes) ^ GetU32LE(lanes + 4);
  for (; i + 4 <= n; i += 4) sum ^= GetU32LE(data + i);
  return sum;
}

uint16_t Crc16Arc(const uint8_t* data, size_t n) {
  uint16_t crc = 0;
  for (size_t i = 0; i < n; ++i)
    crc = static_cast<uint16_t>((crc >> 8) ^ kCrc16Table[(crc ^ data[i]) & 0xFF]);
  return crc;
}

uint32_t PageChecksum(const uint8_t* data, size_t n, uint8_t kind) {
  switch (kind) {
    case ckXOR32: return Xor32Checksum(data, n);
    case ckCRC16: return Crc16Arc(data, n);
    default: return 0;
  }
}

bool VerifyPageChecksum(const uint8_t* data, size_t n, uint8_t kind, uint32_t stored) {
  if (kind != ckXOR32 && kind != ckCRC16) return false;
  return PageChecksum(data, n, kind) == stored;
}

}  // namespace norvane
