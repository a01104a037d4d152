// The hash interface of the protection layer: a digest built from bytes fed
// in any number of pieces. The MD4 family (hash_md4.h) and the 32-bit
// checksums (checksum.h) implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/protection/protection.h"

namespace norvane {

class THash : public TProtection {
 public:
  // Starts a new digest, forgetting everything fed before.
  virtual void Init() = 0;
  // Feeds n bytes; data may be null when n is 0. The digest of a message does
  // not depend on how it was cut into pieces.
  virtual void Calc(const uint8_t* data, size_t n) = 0;
  // Finishes the digest and returns its DigestSize() bytes. Init() must be
  // called before the object is fed again.
  virtual std::vector<uint8_t> Done() = 0;
  virtual size_t DigestSize() const = 0;

  // Init, Calc and Done over one buffer.
  std::vector<uint8_t> CalcBuffer(const uint8_t* data, size_t n);
  // The digest of exactly the bytes of s (a terminating zero is hashed only
  // when s itself holds one).
  std::vector<uint8_t> CalcString(const std::string& s);

 protected:
  using TProtection::TProtection;
};

}  // namespace norvane
