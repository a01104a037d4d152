// Table-driven CRC-32 and its Base64 text.
#include "engine/protection/hash_crc32.h"

#include <array>

#include "engine/protection/string_format.h"

namespace norvane {

namespace {

// Slicing by eight: table k gives the CRC contribution of a byte followed by
// k zero bytes, so eight bytes fold into the register with eight lookups
// and no dependency between them.
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr TCrcTables MakeCrc32Tables() {
  TCrcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    tables[0][i] = crc;
  }
  for (size_t k = 1; k < 8; ++k)
    for (uint32_t i = 0; i < 256; ++i)
      tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
  return tables;
}

constexpr TCrcTables kCrc32Tables = MakeCrc32Tables();

}  // namespace

void THash_CRC32::Calc(const uint8_t* data, size_t n) {
  // Sum keeps the finished value (start 0 from Init); the register is its
  // complement, so undoing and redoing the final complement per piece lets
  // Value() be read at any time.
  const TCrcTables& t = kCrc32Tables;
  uint32_t crc = ~Sum;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint32_t low = crc ^ (uint32_t{data[i]} | uint32_t{data[i + 1]} << 8 |
                                uint32_t{data[i + 2]} << 16 | uint32_t{data[i + 3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
          t[4][low >> 24] ^ t[3][data[i + 4]] ^ t[2][data[i + 5]] ^ t[1][data[i + 6]] ^
          t[0][data[i + 7]];
  }
  for (; i < n; ++i) crc = (crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFF];
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
