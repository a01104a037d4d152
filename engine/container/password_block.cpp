// Building the password block and checking a password against it.
#include "engine/container/password_block.h"

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/tick_counter.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/key_material.h"
#include "engine/protection/page_checksum.h"

namespace norvane {

namespace {

constexpr size_t kKeyOffset = 0;
constexpr size_t kPasswordCopyOffset = 32;
constexpr size_t kKeyCrcOffset = 64;
constexpr size_t kPasswordCrcOffset = 68;
constexpr size_t kQuestionOffset = 72;
static_assert(kQuestionOffset + kMaxQuestionLength == kPasswordBlockSize);
static_assert(kPasswordCopyOffset + kMaxPasswordLength == kKeyCrcOffset);

}  // namespace

const char kQuestionKey[] = "kR7:pL.&^2Zq#w9Xv";
static_assert(sizeof kQuestionKey - 1 == 17);

void CheckPasswordBlockArguments(const std::string& password, const std::string& question) {
  if (password.size() > kMaxPasswordLength)
    throw EEngineError("Password length should be shorter then " +
                       std::to_string(kMaxPasswordLength));
  if (question.size() > kMaxQuestionLength)
    throw EEngineError("Question length should be shorter then " +
                       std::to_string(kMaxQuestionLength));
}

void DrawKeyBytes(uint8_t* key) { DrawKeyBytes(key, FillStrongRandom); }

void DrawKeyBytes(uint8_t* key, const TRandomSource& source) {
  // Rejection, not reduction: mapping 256 values onto 254 by a modulo would
  // make two of them twice as likely as the rest.
  uint8_t pool[kKeyByteCount];
  size_t have = 0;
  while (have < kKeyByteCount) {
    source(pool, sizeof pool);
    for (size_t i = 0; i < sizeof pool && have < kKeyByteCount; ++i)
      if (pool[i] != 0 && pool[i] != 255) key[have++] = pool[i];
  }
  WipeKeyMaterial(pool, sizeof pool);
}

TSecret MakeContainerKey(const uint8_t* keyBytes) {
  TSecret key = TSecret::Zeroed(kContainerKeySize);
  std::memcpy(key.Bytes(), keyBytes, kKeyByteCount);
  return key;
}

TSecret BuildPasswordBlock(uint8_t* block, const std::string& password,
                           const std::string& question, const std::string& answer) {
  CheckPasswordBlockArguments(password, question);
  uint8_t keyBytes[kKeyByteCount];
  DrawKeyBytes(keyBytes);
  BuildPasswordBlockForKey(block, keyBytes, password, question, answer);
  TSecret key = MakeContainerKey(keyBytes);
  WipeKeyMaterial(keyBytes, sizeof keyBytes);
  return key;
}

void BuildPasswordBlockForKey(uint8_t* block, const uint8_t* keyBytes, const std::string& password,
                              const std::string& question, const std::string& answer) {
  CheckPasswordBlockArguments(password, question);
  std::memset(block, 0, kPasswordBlockSize);
  PutU32LE(block + kKeyCrcOffset, Crc16Arc(keyBytes, kKeyByteCount));
  EncipherBuffer(password, keyBytes, block + kKeyOffset, kKeyByteCount);

  if (question.empty() || answer.empty()) return;
  std::memcpy(block + kQuestionOffset, question.data(), question.size());
  EncipherBuffer(kQuestionKey, block + kQuestionOffset, block + kQuestionOffset,
                 kMaxQuestionLength);
  uint8_t* copy = block + kPasswordCopyOffset;
  std::memcpy(copy, password.data(), password.size());
  PutU32LE(block + kPasswordCrcOffset, Crc16Arc(copy, kMaxPasswordLength));
  EncipherBuffer(answer, copy, copy, kMaxPasswordLength);
}

bool CheckPassword(const uint8_t* block, const std::string& password, TSecret& key) {
  key = TSecret::Zeroed(kContainerKeySize);
  if (password.empty()) return false;
  uint8_t* keyBytes = key.Bytes();
  std::memcpy(keyBytes, block + kKeyOffset, kKeyByteCount);

  // Busy work, at least one round, until kPasswordCheckMs have passed: each
  // round costs a full key set-up, as a guess would. The counter counts whole
  // milliseconds, so a difference of d ticks may be as little as d - 1 ms of
  // real time; the wait runs until the difference exceeds the minimum. Tick
  // differences are taken modulo 2^32, so a counter wrapping during the wait
  // is harmless.
  const uint32_t start = GetTickCount();
  volatile uint16_t sink = 0;
  do {
    DecipherBuffer(password, keyBytes, keyBytes, kKeyByteCount);
    sink = sink ^ Crc16Arc(keyBytes, kKeyByteCount);
  } while (static_cast<uint32_t>(GetTickCount() - start) <= kPasswordCheckMs);

  std::memcpy(keyBytes, block + kKeyOffset, kKeyByteCount);
  DecipherBuffer(password, keyBytes, keyBytes, kKeyByteCount);
  const bool ok = Crc16Arc(keyBytes, kKeyByteCount) == GetU32LE(block + kKeyCrcOffset);
  keyBytes[kKeyByteCount] = 0;
  return ok;
}

}  // namespace norvane
