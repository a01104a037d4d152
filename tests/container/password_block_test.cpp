// The password block: byte layout, length limits, key bytes drawn by
// rejection, and the check with its minimum duration (ticks driven by hand
// except in the one test that times the real delay).
#include "engine/container/password_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/tick_counter.h"
#include "engine/protection/cipher_rijndael.h"
#include "engine/protection/page_checksum.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;
using TBlock = std::array<uint8_t, kPasswordBlockSize>;
using TBytes = std::vector<uint8_t>;

TBytes Deciphered(const std::string& key, const uint8_t* data, size_t n) {
  TBytes out(n);
  DecipherBuffer(key, data, out.data(), n);
  return out;
}

TBytes Padded(const std::string& text, size_t n) {
  TBytes out(n, 0);
  std::memcpy(out.data(), text.data(), text.size());
  return out;
}

bool AllZero(const uint8_t* data, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (data[i] != 0) return false;
  return true;
}

class PasswordBlockTest : public ::testing::Test {
 protected:
  // Each read of the counter moves it 1000 ms on, so a check ends after one
  // round of busy work.
  void SetUp() override {
    SetTickSource([this] { return ticks_ += 1000; });
  }
  void TearDown() override { SetTickSource({}); }

  TBlock Build(const std::string& password, const std::string& question = "",
               const std::string& answer = "") {
    TBlock block;
    block.fill(0xCC);
    BuildPasswordBlock(block.data(), password, question, answer);
    return block;
  }

  uint32_t ticks_ = 0;
};

TEST_F(PasswordBlockTest, LayoutWithoutQuestionAndAnswer) {
  struct Case { const char* question; const char* answer; };
  const Case kCases[] = {{"", ""}, {"Your first pet?", ""}, {"", "Rex"}};
  for (const Case& c : kCases) {
    const TBlock block = Build("pass word", c.question, c.answer);
    // Offsets 32 to 171 hold nothing but the key's CRC-16 at 64, which every
    // check needs.
    EXPECT_TRUE(AllZero(block.data() + 32, 32)) << c.question << "/" << c.answer;
    EXPECT_TRUE(AllZero(block.data() + 68, 104)) << c.question << "/" << c.answer;
    // The key bytes under the password carry the CRC-16 at 64.
    const TBytes key = Deciphered("pass word", block.data(), 32);
    EXPECT_EQ(GetU32LE(block.data() + 64), Crc16Arc(key.data(), 32));
    for (uint8_t b : key) EXPECT_TRUE(b >= 1 && b <= 254) << int{b};
  }
}

TEST_F(PasswordBlockTest, LayoutWithQuestionAndAnswer) {
  const std::string password = "k\xE0\xEC\xE5\xED\xFC";  // text in code page 1251
  const std::string question = "Where were you born?";
  const std::string answer = "Tver";
  const TBlock block = Build(password, question, answer);

  const TBytes key = Deciphered(password, block.data(), 32);
  EXPECT_EQ(GetU32LE(block.data() + 64), Crc16Arc(key.data(), 32));
  EXPECT_EQ(Deciphered(answer, block.data() + 32, 32), Padded(password, 32));
  EXPECT_EQ(GetU32LE(block.data() + 68), Crc16Arc(Padded(password, 32).data(), 32));
  EXPECT_EQ(Deciphered(kQuestionKey, block.data() + 72, 100), Padded(question, 100));
  EXPECT_EQ(std::string(kQuestionKey), "kR7:pL.&^2Zq#w9Xv");
  // Enciphered, not copied: neither text shows in the block.
  EXPECT_NE(TBytes(block.begin() + 72, block.begin() + 72 + question.size()),
            TBytes(question.begin(), question.end()));
  EXPECT_NE(TBytes(block.begin() + 32, block.begin() + 64), Padded(password, 32));

  TSecret containerKey;
  ASSERT_TRUE(CheckPassword(block.data(), password, containerKey));
  EXPECT_EQ(containerKey.View(), MakeContainerKey(key.data()).View());
}

TEST_F(PasswordBlockTest, LengthLimits) {
  struct Case { size_t password; size_t question; const char* message; };
  const Case kCases[] = {
      {32, 100, "(no error)"},
      {33, 0, "Password length should be shorter then 32"},
      {0, 101, "Question length should be shorter then 100"},
      {33, 101, "Password length should be shorter then 32"},
  };
  for (const Case& c : kCases) {
    TBlock block;
    block.fill(0xCC);
    EXPECT_EQ(MessageOf([&] {
                BuildPasswordBlock(block.data(), std::string(c.password, 'p'),
                                   std::string(c.question, 'q'), "answer");
              }),
              c.message)
        << c.password << "/" << c.question;
    if (std::string(c.message) != "(no error)") {
      // Refused before anything was drawn or written.
      EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0xCC; }));
    }
  }
  TSecret key;
  const TBlock block = Build(std::string(32, 'p'), std::string(100, 'q'), "a");
  EXPECT_TRUE(CheckPassword(block.data(), std::string(32, 'p'), key));
  EXPECT_EQ(Deciphered(kQuestionKey, block.data() + 72, 100), Padded(std::string(100, 'q'), 100));
}

TEST_F(PasswordBlockTest, SamePasswordDrawsNewKey) {
  const TBlock a = Build("same");
  const TBlock b = Build("same");
  EXPECT_NE(TBytes(a.begin(), a.begin() + 32), TBytes(b.begin(), b.begin() + 32));
  TSecret keyA, keyB;
  ASSERT_TRUE(CheckPassword(a.data(), "same", keyA));
  ASSERT_TRUE(CheckPassword(b.data(), "same", keyB));
  EXPECT_NE(keyA.View(), keyB.View());
}

TEST_F(PasswordBlockTest, CheckGivesContainerKey) {
  const TBlock block = Build("right");
  TSecret key("old");
  ASSERT_TRUE(CheckPassword(block.data(), "right", key));
  ASSERT_EQ(key.Size(), kContainerKeySize);
  EXPECT_EQ(key.Bytes()[32], 0);
  // The key re-enciphered with the password is the stored field.
  TBytes again(32);
  EncipherBuffer("right", key.Bytes(), again.data(), 32);
  EXPECT_EQ(again, TBytes(block.begin(), block.begin() + 32));

  for (const char* wrong : {"Right", "right ", "righ", "x"}) {
    TSecret other;
    EXPECT_FALSE(CheckPassword(block.data(), wrong, other)) << wrong;
    EXPECT_EQ(other.Size(), kContainerKeySize);
    EXPECT_EQ(other.Bytes()[32], 0);
  }
}

TEST_F(PasswordBlockTest, EmptyPasswordIsFalseWithoutWaiting) {
  const TBlock block = Build("");  // a block may be built for "", never opened by it
  SetTickSource([]() -> uint32_t { throw EEngineError("the tick counter was read"); });
  TSecret key;
  EXPECT_EQ(MessageOf([&] { EXPECT_FALSE(CheckPassword(block.data(), "", key)); }),
            "(no error)");
  EXPECT_EQ(key.Size(), kContainerKeySize);
}

TEST_F(PasswordBlockTest, WaitCountsTicksModulo2To32) {
  // The counter is read once at the start and once after every round of busy
  // work; the wait ends when the difference exceeds 256 ticks, since 256
  // whole-millisecond ticks may span just over 255 ms. From 0xFFFFFF00 in
  // steps of 100 the counter wraps: only a difference taken modulo 2^32 sees
  // 100, 200, 300; a sum that overflows ends at once, a signed difference
  // never (the source then stops the check with an error).
  struct Case { uint32_t start; uint32_t step; int reads; };
  const Case kCases[] = {{0xFFFFFF00u, 100, 4}, {0, 256, 3}, {0, 257, 2},
                         {0xFFFFFFF0u, 1, 258}, {5, 100000, 2}};
  const TBlock block = Build("wrap");
  for (const Case& c : kCases) {
    int reads = 0;
    uint32_t now = c.start;
    SetTickSource([&]() -> uint32_t {
      if (++reads > 1000) throw EEngineError("wait did not end");
      const uint32_t value = now;
      now += c.step;
      return value;
    });
    TSecret key;
    EXPECT_EQ(MessageOf([&] { EXPECT_TRUE(CheckPassword(block.data(), "wrap", key)); }),
              "(no error)");
    EXPECT_EQ(reads, c.reads) << c.start << " + " << c.step;
  }
}

TEST_F(PasswordBlockTest, KeyBytesByRejection) {
  // A scripted source: 0 and 255 are thrown away, every other value is kept
  // as it comes, so no value is folded onto another.
  struct Case { std::vector<uint8_t> script; std::vector<uint8_t> expected; };
  std::vector<uint8_t> ramp(32);
  for (int i = 0; i < 32; ++i) ramp[i] = static_cast<uint8_t>(i * 8);  // 0, 8, ... 248
  std::vector<uint8_t> rampKept(ramp.begin() + 1, ramp.end());
  rampKept.push_back(1);
  const Case kCases[] = {
      {{1, 254, 0, 255, 7}, {1, 254, 7}},
      {ramp, rampKept},
      {{255, 0, 0, 255}, {}},
  };
  for (const Case& c : kCases) {
    size_t at = 0;
    // The script, then 1, 2, 3 ... so the 32 bytes are always completed.
    uint8_t after = 0;
    auto source = [&](uint8_t* out, size_t n) {
      for (size_t i = 0; i < n; ++i) out[i] = at < c.script.size() ? c.script[at++] : ++after;
    };
    uint8_t key[kKeyByteCount];
    DrawKeyBytes(key, source);
    std::vector<uint8_t> expected = c.expected;
    for (uint8_t next = 1; expected.size() < kKeyByteCount; ++next) expected.push_back(next);
    EXPECT_EQ(std::vector<uint8_t>(key, key + kKeyByteCount), expected);
  }
}

TEST_F(PasswordBlockTest, StrongKeyBytesCoverTheRange) {
  // 9600 drawn bytes: every one within 1..254, and both ends drawn (a miss
  // has odds of about e^-37).
  std::vector<int> seen(256, 0);
  for (int i = 0; i < 300; ++i) {
    uint8_t key[kKeyByteCount];
    DrawKeyBytes(key);
    for (uint8_t b : key) ++seen[b];
  }
  EXPECT_EQ(seen[0], 0);
  EXPECT_EQ(seen[255], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_GT(seen[254], 0);
}

// The one test on the real clock: a check, right or wrong, lasts 256 ms.
TEST(PasswordBlockDelay, EveryCheckTakesAtLeast256Ms) {
  SetTickSource({});
  TBlock block;
  BuildPasswordBlock(block.data(), "slow", "", "");
  for (const char* password : {"slow", "wrong"}) {
    TSecret key;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = CheckPassword(block.data(), password, key);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(ok, std::string(password) == "slow");
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 256)
        << password;
  }
}

}  // namespace
}  // namespace norvane
