// RIPEMD-256: two parallel lines of four 16-step rounds over 32-bit words,
// trading one register between the lines after each round, with a 256-bit
// digest. The engine hashes every key string with it (cipher.h).
#pragma once

#include "engine/protection/hash_md4.h"

namespace norvane {

class THash_RipeMD256 : public THash_MD4 {
 public:
  static constexpr size_t kDigestSize = 32;

  THash_RipeMD256();
  void Init() override;
  size_t DigestSize() const override { return kDigestSize; }

 protected:
  void Transform(const uint32_t (&x)[16]) override;
};

}  // namespace norvane
