// Key set-up from a key string and the feedback chaining of the engine's
// cipher.
#include "engine/protection/cipher.h"

#include <algorithm>
#include <cstring>
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
  EncodeBlocks(initialFeedback_.data(), initialFeedback_.data(), 1);
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

namespace {

// Blocks handed to one call of the block operation: enough for libcrypto to
// keep its parallel lanes busy, small enough to stay on the stack.
constexpr size_t kBlocksPerCall = 64;
// Blocks of each buffer enciphered side by side between copies (see
// EncodeGroupFromStart).
constexpr size_t kTileBlocks = 8;

// out = a xor b over one block; any of them may be the same block. Whole
// words at a time: XOR pairs bytes by position, so byte order plays no part.
void XorBlock(uint8_t* out, const uint8_t* a, const uint8_t* b) {
  uint64_t x[2], y[2];
  std::memcpy(x, a, sizeof x);
  std::memcpy(y, b, sizeof y);
  x[0] ^= y[0];
  x[1] ^= y[1];
  std::memcpy(out, x, sizeof x);
}

}  // namespace

void TCipher::CodeTail(const uint8_t* source, uint8_t* dest, size_t r) {
  uint8_t b[kBlockSize];
  EncodeBlocks(feedback_.data(), b, 1);
  for (size_t i = 0; i < r; ++i) dest[i] = source[i] ^ b[i];
  XorBlock(feedback_.data(), feedback_.data(), b);
}

void TCipher::EncodeBuffer(const uint8_t* source, uint8_t* dest, size_t n) {
  CheckInitialized();
  uint8_t block[kBlockSize];
  uint8_t feedback[kBlockSize];  // local, as in DecodeBuffer
  std::memcpy(feedback, feedback_.data(), kBlockSize);
  for (; n >= kBlockSize; source += kBlockSize, dest += kBlockSize, n -= kBlockSize) {
    XorBlock(block, source, feedback);
    EncodeBlocks(block, block, 1);
    std::memcpy(dest, block, kBlockSize);
    XorBlock(feedback, feedback, block);
  }
  std::memcpy(feedback_.data(), feedback, kBlockSize);
  if (n > 0) CodeTail(source, dest, n);
}

void TCipher::DecodeBuffer(const uint8_t* source, uint8_t* dest, size_t n) {
  CheckInitialized();
  // Deciphering needs no block's result to start the next one, so the
  // blocks go to the block operation many at a time; the feedback is then
  // applied block by block.
  uint8_t cipherText[kBlocksPerCall * kBlockSize];
  // A local copy of the feedback: dest could be taken to alias the member,
  // which would keep every byte going through memory.
  uint8_t feedback[kBlockSize];
  std::memcpy(feedback, feedback_.data(), kBlockSize);
  while (n >= kBlockSize) {
    const size_t blocks = std::min(n / kBlockSize, kBlocksPerCall);
    const size_t bytes = blocks * kBlockSize;
    // Kept aside: when deciphering in place, dest overwrites the ciphertext
    // the feedback still needs.
    std::memcpy(cipherText, source, bytes);
    DecodeBlocks(cipherText, dest, blocks);
    for (size_t b = 0; b < bytes; b += kBlockSize) {
      XorBlock(dest + b, dest + b, feedback);
      XorBlock(feedback, feedback, cipherText + b);
    }
    source += bytes;
    dest += bytes;
    n -= bytes;
  }
  std::memcpy(feedback_.data(), feedback, kBlockSize);
  if (n > 0) CodeTail(source, dest, n);
}

void TCipher::EncodeBuffersFromStart(uint8_t* data, size_t n, size_t stride, size_t count) {
  CheckInitialized();
  for (size_t done = 0; done < count; done += kBlocksPerCall)
    EncodeGroupFromStart(data + done * stride, n, stride, std::min(count - done, kBlocksPerCall));
  feedback_ = initialFeedback_;
}

// Up to kBlocksPerCall buffers: step k enciphers block k of every buffer in
// one call, each block chained on its own buffer's feedback. The buffers
// usually lie a page apart, where touching one block of each in turn would
// make them evict each other from the cache; so a few blocks of each are
// copied into a tile, enciphered there and copied back.
void TCipher::EncodeGroupFromStart(uint8_t* data, size_t n, size_t stride, size_t count) {
  constexpr size_t kRow = kTileBlocks * kBlockSize;
  uint8_t feedback[kBlocksPerCall * kBlockSize];
  uint8_t blocks[kBlocksPerCall * kBlockSize];
  uint8_t tile[kBlocksPerCall * kRow];
  for (size_t g = 0; g < count; ++g)
    std::memcpy(feedback + g * kBlockSize, initialFeedback_.data(), kBlockSize);
  const size_t whole = n / kBlockSize * kBlockSize;
  for (size_t at = 0; at < whole; at += kRow) {
    const size_t span = std::min(kRow, whole - at);
    for (size_t g = 0; g < count; ++g) std::memcpy(tile + g * kRow, data + g * stride + at, span);
    for (size_t b = 0; b < span; b += kBlockSize) {
      for (size_t g = 0; g < count; ++g)
        XorBlock(blocks + g * kBlockSize, tile + g * kRow + b, feedback + g * kBlockSize);
      EncodeBlocks(blocks, blocks, count);
      for (size_t g = 0; g < count; ++g) {
        std::memcpy(tile + g * kRow + b, blocks + g * kBlockSize, kBlockSize);
        XorBlock(feedback + g * kBlockSize, feedback + g * kBlockSize, blocks + g * kBlockSize);
      }
    }
    for (size_t g = 0; g < count; ++g) std::memcpy(data + g * stride + at, tile + g * kRow, span);
  }
  if (whole == n) return;
  // The final partial block of each buffer is its data xor E(feedback).
  EncodeBlocks(feedback, blocks, count);
  for (size_t g = 0; g < count; ++g)
    for (size_t i = 0; whole + i < n; ++i) data[g * stride + whole + i] ^= blocks[g * kBlockSize + i];
}

}  // namespace norvane
