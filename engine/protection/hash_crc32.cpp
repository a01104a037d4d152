// Table-driven CRC-32 and its Base64 text.
#include "engine/protection/hash_crc32.h"

#include <array>

#include "engine/protection/string_format.h"

namespace norvane {

namespace {

constexpr std::array<uint32_t, 256> MakeCrc32Table() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kCrc32Table = MakeCrc32Table();

}  // namespace

void THash_CRC32::Calc(const uint8_t* data, size_t n) {
  // Sum keeps the finished value (start 0 from Init); the register is its
  // complement, so undoing and redoing the final complement per piece lets
  // Value() be read at any time.
  uint32_t crc = ~Sum;
  for (size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ kCrc32Table[(crc ^ data[i]) & 0xFF];
  Sum = ~crc;
}

uint32_t Crc32(const uint8_t* data, size_t n) {
  THash_CRC32 hash;
  hash.Calc(data, n);
  return hash.Value();
}

std::string CrcText(const uint8_t* data, size_t n) {
  THash_CRC32 hash;
  hash.Calc(data, n);
  const std::vector<uint8_t> digest = hash.Done();
  return DefaultStringFormat().Encode(digest.data(), digest.size());
}

}  // namespace norvane
