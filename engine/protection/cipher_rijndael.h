// Rijndael with a 128-bit block and a 256-bit key, the one cipher the engine
// uses for pages, password blocks, records and large values; and the
// one-buffer forms every caller uses, a fresh cipher per buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/protection/cipher.h"
#include "engine/protection/rijndael_block.h"

namespace norvane {

class TCipher_Rijndael : public TCipher {
 public:
  // Without a key: Init or InitKey must come before any buffer.
  TCipher_Rijndael();
  // With the key of a key string (TCipher::InitKey).
  explicit TCipher_Rijndael(const std::string& keyString);
  ~TCipher_Rijndael() override;

 protected:
  void SetKey(const uint8_t* key) override;
  void EncodeBlocks(const uint8_t* in, uint8_t* out, size_t count) override;
  void DecodeBlocks(const uint8_t* in, uint8_t* out, size_t count) override;

 private:
  std::unique_ptr<TRijndaelBlock> block_;
};

// Enciphers or deciphers n bytes under a key string with a new cipher, so the
// buffer starts from the initial feedback; source and dest may be the same.
void EncipherBuffer(const std::string& keyString, const uint8_t* source, uint8_t* dest, size_t n);
void DecipherBuffer(const std::string& keyString, const uint8_t* source, uint8_t* dest, size_t n);

}  // namespace norvane
