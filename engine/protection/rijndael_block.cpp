// AES-256 blocks through libcrypto's EVP interface: ECB without padding, one
// block per call, so every byte of chaining stays in the engine's hands.
#include "engine/protection/rijndael_block.h"

#include <openssl/evp.h>

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

void RunBlock(EVP_CIPHER_CTX* ctx, const uint8_t* in, uint8_t* out) {
  int written = 0;
  if (EVP_CipherUpdate(ctx, out, &written, in, static_cast<int>(TRijndaelBlock::kBlockSize)) !=
          1 ||
      written != static_cast<int>(TRijndaelBlock::kBlockSize))
    Fail("the AES-256 block operation");
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

void TRijndaelBlock::Encrypt(const uint8_t* in, uint8_t* out) { RunBlock(encrypt_, in, out); }

void TRijndaelBlock::Decrypt(const uint8_t* in, uint8_t* out) {
  if (decrypt_ == nullptr) decrypt_ = NewContext(key_.data(), false);
  RunBlock(decrypt_, in, out);
}

}  // namespace norvane
