// The 32-bit checksums as hashes: their digest is a 32-bit number written out
// in 4 little-endian bytes. THash_XOR32 feeds the page checksum of
// page_checksum.h piece by piece; THash_CRC32 (hash_crc32.h) builds on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/protection/hash.h"

namespace norvane {

class TChecksum : public THash {
 public:
  static constexpr size_t kDigestSize = 4;

  // The checksum of what was fed since Init.
  uint32_t Value() const { return Sum; }
  std::vector<uint8_t> Done() override;
  size_t DigestSize() const override { return kDigestSize; }

 protected:
  using THash::THash;

  uint32_t Sum = 0;
};

// XOR of the little-endian 32-bit words of the whole message, floor(n / 4) of
// them: equal to Xor32Checksum of the message however it was cut, because a
// word split between two pieces is held back until it is complete.
class THash_XOR32 : public TChecksum {
 public:
  THash_XOR32() : THash_XOR32("THash_XOR32") {}
  void Init() override;
  void Calc(const uint8_t* data, size_t n) override;

 protected:
  explicit THash_XOR32(const char* className) : TChecksum(className) {}

 private:
  std::array<uint8_t, 4> pending_{};
  size_t pendingCount_ = 0;
};

}  // namespace norvane
