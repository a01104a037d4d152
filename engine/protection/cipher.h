// The engine's cipher set-up over a 128-bit block cipher: the key is the
// RIPEMD-256 digest of a key string, and buffers are chained in one feedback
// mode. The block operation comes from a subclass (cipher_rijndael.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/protection/protection.h"

namespace norvane {

class TCipher : public TProtection {
 public:
  static constexpr size_t kBlockSize = 16;
  static constexpr size_t kKeySize = 32;

  // Wipes the feedback values; the subclass wipes its key schedule.
  ~TCipher() override;

  // Takes kKeySize raw key bytes and sets the feedback to its initial value,
  // the encryption of sixteen 0xFF bytes.
  void Init(const uint8_t* key);
  // Init with the RIPEMD-256 digest of every byte of keyString (a zero byte
  // counts when the string holds one). The digest copy is wiped afterwards.
  void InitKey(const std::string& keyString);
  bool Initialized() const { return initialized_; }

  // Enciphers or deciphers n bytes from source into dest (the same buffer, or
  // buffers that do not overlap) and carries the feedback on; output has the
  // input's length, nothing is padded. Throws "<class> is not initialized
  // call Init() or InitKey() before." without a key.
  //
  // Full blocks, with feedback F: enciphering is C = E(P xor F), deciphering
  // P = D(C) xor F, and both then set F := C xor F. A final partial block of
  // r bytes is the same both ways: B = E(F), out = in xor the first r bytes
  // of B, F := B xor F.
  void EncodeBuffer(const uint8_t* source, uint8_t* dest, size_t n);
  void DecodeBuffer(const uint8_t* source, uint8_t* dest, size_t n);

  // Enciphers `count` buffers of n bytes in place, the first at `data` and
  // each next one `stride` bytes further (stride >= n), every one from the
  // initial feedback: the same bytes as Reset and EncodeBuffer on each in
  // turn. Enciphering chains block to block inside a buffer, so the buffers
  // advance side by side and the block operation takes one block of each per
  // call. Leaves the feedback at its initial value.
  void EncodeBuffersFromStart(uint8_t* data, size_t n, size_t stride, size_t count);

  // Returns the feedback to its initial value, so the next buffer is
  // enciphered as by a fresh cipher with the same key.
  void Reset();

 protected:
  using TProtection::TProtection;

  // Schedules kKeySize key bytes for the block operations.
  virtual void SetKey(const uint8_t* key) = 0;
  // `count` consecutive blocks, each on its own; in and out may be the same
  // blocks.
  virtual void EncodeBlocks(const uint8_t* in, uint8_t* out, size_t count) = 0;
  virtual void DecodeBlocks(const uint8_t* in, uint8_t* out, size_t count) = 0;

 private:
  void CheckInitialized() const;
  void CodeTail(const uint8_t* source, uint8_t* dest, size_t r);
  void EncodeGroupFromStart(uint8_t* data, size_t n, size_t stride, size_t count);

  bool initialized_ = false;
  std::array<uint8_t, kBlockSize> initialFeedback_{};
  std::array<uint8_t, kBlockSize> feedback_{};
};

}  // namespace norvane
