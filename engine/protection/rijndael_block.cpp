// AES-256 blocks through libcrypto's EVP interface: ECB without padding, so
// every byte of chaining stays in the engine's hands.
#include "engine/protection/rijndael_block.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

#include "engine/common/engine_error.h"
#include "engine/protection/key_material.h"

namespace norvane {

namespace {

[[noreturn]] void Fail(const char* what) {
  throw EEngineError(std::string("TCipher_Rijndael - ") + what + " failed in libcrypto.");
}

// Fetched once: an implicit fetch on every key set-up would cost a provider
// look-up per buffer. The pointer lives for the whole process.
const EVP_CIPHER* Aes256Ecb() {
  static EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
  if (cipher == nullptr) Fail("fetching AES-256-ECB");
  return cipher;
}

EVP_CIPHER_CTX* NewContext(const uint8_t* key, bool encrypt) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (ctx == nullptr) Fail("allocating a cipher context");
  if (EVP_CipherInit_ex(ctx, Aes256Ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
    EVP_CIPHER_CTX_free(ctx);
    Fail("setting the AES-256 key");
  }
  return ctx;
}

void RunBlocks(EVP_CIPHER_CTX* ctx, const uint8_t* in, uint8_t* out, size_t count) {
  // libcrypto counts bytes in an int: a long row goes in several calls.
  constexpr size_t kMaxBlocksPerCall = (1u << 30) / TRijndaelBlock::kBlockSize;
  while (count > 0) {
    const size_t blocks = std::min(count, kMaxBlocksPerCall);
    const int bytes = static_cast<int>(blocks * TRijndaelBlock::kBlockSize);
    int written = 0;
    if (EVP_CipherUpdate(ctx, out, &written, in, bytes) != 1 || written != bytes)
      Fail("the AES-256 block operation");
    in += bytes;
    out += bytes;
    count -= blocks;
  }
}

}  // namespace

TRijndaelBlock::TRijndaelBlock(const uint8_t* key) : encrypt_(NewContext(key, true)) {
  std::memcpy(key_.data(), key, kKeySize);
}

TRijndaelBlock::~TRijndaelBlock() {
  WipeKeyMaterial(key_.data(), key_.size());
  EVP_CIPHER_CTX_free(encrypt_);
  EVP_CIPHER_CTX_free(decrypt_);
}

void TRijndaelBlock::Encrypt(const uint8_t* in, uint8_t* out) { EncryptBlocks(in, out, 1); }

void TRijndaelBlock::Decrypt(const uint8_t* in, uint8_t* out) { DecryptBlocks(in, out, 1); }

void TRijndaelBlock::EncryptBlocks(const uint8_t* in, uint8_t* out, size_t count) {
  RunBlocks(encrypt_, in, out, count);
}

void TRijndaelBlock::DecryptBlocks(const uint8_t* in, uint8_t* out, size_t count) {
  if (decrypt_ == nullptr) decrypt_ = NewContext(key_.data(), false);
  RunBlocks(decrypt_, in, out, count);
}

}  // namespace norvane
