// The 32-bit checksums' digest bytes and the piecewise XOR32.
#include "engine/protection/checksum.h"

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/protection/page_checksum.h"

namespace norvane {

std::vector<uint8_t> TChecksum::Done() {
  std::vector<uint8_t> digest(kDigestSize);
  PutU32LE(digest.data(), Sum);
  return digest;
}

void THash_XOR32::Init() {
  Sum = 0;
  pendingCount_ = 0;
}

void THash_XOR32::Calc(const uint8_t* data, size_t n) {
  if (pendingCount_ > 0) {
    while (pendingCount_ < 4 && n > 0) {
      pending_[pendingCount_++] = *data++;
      --n;
    }
    if (pendingCount_ < 4) return;
    Sum ^= GetU32LE(pending_.data());
    pendingCount_ = 0;
  }
  const size_t whole = n & ~size_t{3};
  Sum ^= Xor32Checksum(data, whole);
  pendingCount_ = n - whole;
  if (pendingCount_ > 0) std::memcpy(pending_.data(), data + whole, pendingCount_);
}

}  // namespace norvane
