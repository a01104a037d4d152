// MD4-family block framing: buffering of partial blocks and the final padding.
#include "engine/protection/hash_md4.h"

#include <algorithm>
#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/protection/key_material.h"

namespace norvane {

void THash_MD4::ResetFraming() {
  buffer_.fill(0);
  buffered_ = 0;
  length_ = 0;
}

THash_MD4::~THash_MD4() { Wipe(); }

void THash_MD4::Wipe() {
  WipeKeyMaterial(buffer_.data(), buffer_.size());
  WipeKeyMaterial(State.data(), sizeof State);
  buffered_ = 0;
  length_ = 0;
}

void THash_MD4::TransformBytes(const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = GetU32LE(block + 4 * i);
  Transform(x);
  // The words are the message itself: a key string must not stay on the stack.
  WipeKeyMaterial(x, sizeof x);
}

void THash_MD4::Calc(const uint8_t* data, size_t n) {
  if (n == 0) return;
  length_ += n;
  if (buffered_ > 0) {
    const size_t take = std::min(n, buffer_.size() - buffered_);
    std::memcpy(buffer_.data() + buffered_, data, take);
    buffered_ += take;
    data += take;
    n -= take;
    if (buffered_ < buffer_.size()) return;
    TransformBytes(buffer_.data());
    buffered_ = 0;
  }
  // Whole blocks are compressed straight from the caller's bytes.
  for (; n >= 64; data += 64, n -= 64) TransformBytes(data);
  if (n > 0) {
    std::memcpy(buffer_.data(), data, n);
    buffered_ = n;
  }
}

std::vector<uint8_t> THash_MD4::Done() {
  const uint64_t bits = length_ << 3;
  // 0x80, then zeros up to 56 bytes into a block, then the bit count: the
  // padding always adds at least 9 bytes, so it may spill into a new block.
  uint8_t tail[72] = {0x80};
  const size_t padding = (buffered_ < 56 ? 56 : 120) - buffered_;
  PutU64LE(tail + padding, bits);
  Calc(tail, padding + 8);

  std::vector<uint8_t> digest(DigestSize());
  for (size_t i = 0; i < digest.size() / 4; ++i) PutU32LE(digest.data() + 4 * i, State[i]);
  Wipe();
  return digest;
}

}  // namespace norvane
