// The raw Rijndael block operation with a 128-bit block and a 256-bit key
// (AES-256, 14 rounds), one block or a row of independent blocks per call,
// taken from libcrypto. Key derivation and chaining are the cipher's own
// (cipher.h, cipher_rijndael.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct evp_cipher_ctx_st;

namespace norvane {

class TRijndaelBlock {
 public:
  static constexpr size_t kBlockSize = 16;
  static constexpr size_t kKeySize = 32;

  // Schedules the 32-byte key. Throws EEngineError when libcrypto cannot
  // provide AES-256.
  explicit TRijndaelBlock(const uint8_t* key);
  ~TRijndaelBlock();
  TRijndaelBlock(const TRijndaelBlock&) = delete;
  TRijndaelBlock& operator=(const TRijndaelBlock&) = delete;

  // One 16-byte block; in and out may be the same block, not overlap partly.
  void Encrypt(const uint8_t* in, uint8_t* out);
  void Decrypt(const uint8_t* in, uint8_t* out);
  // `count` consecutive blocks, each on its own (no chaining), in one call:
  // libcrypto works on several at once, which a block per call never lets
  // it do. in and out may be the same blocks, not overlap partly.
  void EncryptBlocks(const uint8_t* in, uint8_t* out, size_t count);
  void DecryptBlocks(const uint8_t* in, uint8_t* out, size_t count);

 private:
  // The decryption schedule is built at the first Decrypt: most buffers are
  // only ever enciphered, and key set-up is paid per buffer.
  std::array<uint8_t, kKeySize> key_{};
  evp_cipher_ctx_st* encrypt_ = nullptr;
  evp_cipher_ctx_st* decrypt_ = nullptr;
};

}  // namespace norvane
