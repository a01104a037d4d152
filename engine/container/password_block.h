// The password block of an encrypted container or a file with a password of
// its own: a random key enciphered with the password, and the deliberately
// slow check of a password against it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/protection/secret.h"

namespace norvane {

constexpr size_t kMaxPasswordLength = 32;
constexpr size_t kMaxQuestionLength = 100;

// A password block may also keep a copy of the password under the answer to
// a question, and the question itself.
//
// PasswordBlock, 172 bytes, integers little-endian:
//    0  32  the key bytes, enciphered with the password as key string
//   32  32  the password, zero-padded, enciphered with the answer as key string
//   64  u32 CRC-16/ARC of the 32 plain key bytes
//   68  u32 CRC-16/ARC of the 32 plain zero-padded password bytes
//   72 100  the question, zero-padded, enciphered with kQuestionKey
// Offsets 32 to 171 are zero unless both a question and an answer were given.
// Each enciphered field has a cipher of its own, so each starts from the
// initial feedback.
constexpr size_t kPasswordBlockSize = 172;
constexpr size_t kKeyByteCount = 32;
// The key string of the pages: the key bytes and one zero byte, all hashed.
constexpr size_t kContainerKeySize = kKeyByteCount + 1;
// Every password check runs at least this long.
constexpr uint32_t kPasswordCheckMs = 256;
// The key string the question is enciphered with.
extern const char kQuestionKey[];

// Throws "Password length should be shorter then 32" or "Question length
// should be shorter then 100" when a text is too long.
void CheckPasswordBlockArguments(const std::string& password, const std::string& question);

// Fills `out` with n random bytes.
using TRandomSource = std::function<void(uint8_t* out, size_t n)>;
// Draws kKeyByteCount key bytes, each uniform over 1 to 254: bytes 0 and 255
// from the source are thrown away and replaced by fresh ones, so no value is
// favoured. The first form takes the kernel's strong generator.
void DrawKeyBytes(uint8_t* key);
void DrawKeyBytes(uint8_t* key, const TRandomSource& source);

// The ContainerKey string of kKeyByteCount key bytes.
TSecret MakeContainerKey(const uint8_t* keyBytes);

// Fills the kPasswordBlockSize bytes of block for a new random key and
// returns the ContainerKey of that key. The question and the password copy
// are kept only when both question and answer are non-empty. Throws the
// length messages of CheckPasswordBlockArguments before anything is drawn or
// written.
TSecret BuildPasswordBlock(uint8_t* block, const std::string& password,
                           const std::string& question, const std::string& answer);
// The same for given key bytes: a new password for a key that stays.
void BuildPasswordBlockForKey(uint8_t* block, const uint8_t* keyBytes, const std::string& password,
                              const std::string& question, const std::string& answer);

// True when the password deciphers the key bytes of the block to their
// CRC-16. key always receives kContainerKeySize bytes: the ContainerKey the
// password gives, meaningful only when the result is true. An empty password
// is false at once; any other check takes at least kPasswordCheckMs on the
// tick counter (GetTickCount), right or wrong.
bool CheckPassword(const uint8_t* block, const std::string& password, TSecret& key);

}  // namespace norvane
