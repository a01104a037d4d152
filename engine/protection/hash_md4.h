// The block framing shared by the MD4 family of hashes (64-byte blocks of
// little-endian words, 0x80 padding and the bit count); a member of the family
// such as hash_ripemd256.h brings its start values and compression function.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/protection/hash.h"

namespace norvane {

// The family hashes key strings, so the buffered bytes and the chaining
// state are key material: Done and the destructor wipe them.
class THash_MD4 : public THash {
 public:
  ~THash_MD4() override;
  void Calc(const uint8_t* data, size_t n) override;
  // Pads, compresses the last block(s) and returns the first DigestSize()
  // bytes of the state, word by word, little-endian. Afterwards the object
  // holds none of the bytes fed nor any state: every byte of the buffer and
  // the state is zero until the next Init.
  std::vector<uint8_t> Done() override;

 protected:
  using THash::THash;

  // Forgets the buffered bytes and the length; the Init of a family member
  // calls it and then sets its start values in State.
  void ResetFraming();
  // Mixes one block of sixteen little-endian words into State.
  virtual void Transform(const uint32_t (&x)[16]) = 0;

  // The chaining state; a member with a shorter digest uses the first words.
  std::array<uint32_t, 8> State{};

 private:
  void TransformBytes(const uint8_t* block);
  // Zeros the buffer, the state and the counts.
  void Wipe();

  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;  // bytes waiting in buffer_, always below 64
  uint64_t length_ = 0;  // bytes fed since Init, modulo 2^64
};

}  // namespace norvane
