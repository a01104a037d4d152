// CRC-32 of records and large values, and its text form: the 4 digest bytes
// (little-endian) in the default text format, 8 Base64 characters. It sits on
// the 32-bit checksum machinery of checksum.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/protection/checksum.h"

namespace norvane {

// The standard CRC-32: reflected polynomial 0xEDB88320, start 0xFFFFFFFF,
// final complement. Value() is the finished CRC after every Calc. It keeps
// the XOR32's register, Init and digest bytes; only the mixing differs.
class THash_CRC32 : public THash_XOR32 {
 public:
  THash_CRC32() : THash_XOR32("THash_CRC32") {}
  void Calc(const uint8_t* data, size_t n) override;
};

// The CRC-32 of n bytes (data may be null when n is 0).
uint32_t Crc32(const uint8_t* data, size_t n);
// The CRC-32 text the table storage keeps beside records and large values.
std::string CrcText(const uint8_t* data, size_t n);

}  // namespace norvane
