// Key set-up from a key string and the feedback chaining of the engine's
// cipher.
#include "engine/protection/cipher.h"

#include <vector>

#include "engine/common/engine_error.h"
#include "engine/protection/hash_ripemd256.h"
#include "engine/protection/key_material.h"

namespace norvane {

TCipher::~TCipher() {
  WipeKeyMaterial(initialFeedback_.data(), initialFeedback_.size());
  WipeKeyMaterial(feedback_.data(), feedback_.size());
}

void TCipher::Init(const uint8_t* key) {
  initialized_ = false;
  SetKey(key);
  initialFeedback_.fill(0xFF);
  EncodeBlock(initialFeedback_.data(), initialFeedback_.data());
  feedback_ = initialFeedback_;
  initialized_ = true;
}

void TCipher::InitKey(const std::string& keyString) {
  THash_RipeMD256 hash;
  std::vector<uint8_t> digest = hash.CalcString(keyString);
  // The digest is key material: it must not linger in freed heap memory.
  try {
    Init(digest.data());
  } catch (...) {
    WipeKeyMaterial(digest.data(), digest.size());
    throw;
  }
  WipeKeyMaterial(digest.data(), digest.size());
}

void TCipher::Reset() {
  CheckInitialized();
  feedback_ = initialFeedback_;
}

void TCipher::CheckInitialized() const {
  if (!initialized_)
    throw EEngineError(std::string(ClassName()) +
                       " is not initialized call Init() or InitKey() before.");
}

void TCipher::CodeTail(const uint8_t* source, uint8_t* dest, size_t r) {
  uint8_t b[kBlockSize];
  EncodeBlock(feedback_.data(), b);
  for (size_t i = 0; i < r; ++i) dest[i] = source[i] ^ b[i];
  for (size_t i = 0; i < kBlockSize; ++i) feedback_[i] ^= b[i];
}

void TCipher::EncodeBuffer(const uint8_t* source, uint8_t* dest, size_t n) {
  CheckInitialized();
  uint8_t block[kBlockSize];
  for (; n >= kBlockSize; source += kBlockSize, dest += kBlockSize, n -= kBlockSize) {
    for (size_t i = 0; i < kBlockSize; ++i) block[i] = source[i] ^ feedback_[i];
    EncodeBlock(block, block);
    for (size_t i = 0; i < kBlockSize; ++i) {
      dest[i] = block[i];
      feedback_[i] ^= block[i];
    }
  }
  if (n > 0) CodeTail(source, dest, n);
}

void TCipher::DecodeBuffer(const uint8_t* source, uint8_t* dest, size_t n) {
  CheckInitialized();
  uint8_t cipherText[kBlockSize];
  uint8_t block[kBlockSize];
  for (; n >= kBlockSize; source += kBlockSize, dest += kBlockSize, n -= kBlockSize) {
    // Kept aside: when deciphering in place, dest overwrites the ciphertext
    // the feedback still needs.
    for (size_t i = 0; i < kBlockSize; ++i) cipherText[i] = source[i];
    DecodeBlock(cipherText, block);
    for (size_t i = 0; i < kBlockSize; ++i) {
      dest[i] = block[i] ^ feedback_[i];
      feedback_[i] ^= cipherText[i];
    }
  }
  if (n > 0) CodeTail(source, dest, n);
}

}  // namespace norvane
