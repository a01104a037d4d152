// The engine's cipher: key set-up from the key string's digest, the initial
// feedback and the chaining with its final partial block, checked against a
// model written from the chaining rules on top of the raw AES block.
#include "engine/protection/cipher_rijndael.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "engine/protection/hash_ripemd256.h"
#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;
using TBytes = std::vector<uint8_t>;
using TBlock = std::array<uint8_t, 16>;

// The chaining rules, step by step, for a model of the whole buffer.
class TChainModel {
 public:
  explicit TChainModel(const std::string& keyString)
      : digest_(THash_RipeMD256().CalcString(keyString)), aes_(digest_.data()) {
    feedback_.fill(0xFF);
    aes_.Encrypt(feedback_.data(), feedback_.data());
  }

  TBlock E(const TBlock& in) {
    TBlock out;
    aes_.Encrypt(in.data(), out.data());
    return out;
  }
  const TBlock& Feedback() const { return feedback_; }

  TBytes Run(const TBytes& in, bool encipher) {
    TBytes out(in.size());
    size_t at = 0;
    for (; at + 16 <= in.size(); at += 16) {
      TBlock c, p;
      if (encipher) {
        for (int i = 0; i < 16; ++i) p[i] = in[at + i] ^ feedback_[i];
        c = E(p);
        for (int i = 0; i < 16; ++i) out[at + i] = c[i];
      } else {
        for (int i = 0; i < 16; ++i) c[i] = in[at + i];
        aes_.Decrypt(c.data(), p.data());
        for (int i = 0; i < 16; ++i) out[at + i] = p[i] ^ feedback_[i];
      }
      for (int i = 0; i < 16; ++i) feedback_[i] ^= c[i];
    }
    if (at < in.size()) {
      const TBlock b = E(feedback_);
      for (size_t i = 0; at + i < in.size(); ++i) out[at + i] = in[at + i] ^ b[i];
      for (int i = 0; i < 16; ++i) feedback_[i] ^= b[i];
    }
    return out;
  }

 private:
  TBytes digest_;
  TRijndaelBlock aes_;
  TBlock feedback_{};
};

TBytes Random(size_t n, std::mt19937& random) {
  TBytes bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

TBytes Encipher(const std::string& key, const TBytes& in) {
  TBytes out(in.size());
  EncipherBuffer(key, in.data(), out.data(), in.size());
  return out;
}

TBytes Decipher(const std::string& key, const TBytes& in) {
  TBytes out(in.size());
  DecipherBuffer(key, in.data(), out.data(), in.size());
  return out;
}

TEST(Cipher, TwentyBytesEndWithKeystreamOfSecondFeedback) {
  const std::string key = "secret";
  std::mt19937 random(1);
  const TBytes plain = Random(20, random);
  const TBytes cipher = Encipher(key, plain);
  ASSERT_EQ(cipher.size(), 20u);

  // Built by hand: F0 = E(16 x FF), C1 = E(P1 xor F0), F1 = C1 xor F0, and the
  // last 4 bytes are the plaintext xor the first 4 bytes of E(F1).
  TChainModel m(key);
  TBlock f0;
  f0.fill(0xFF);
  f0 = m.E(f0);
  TBlock p1;
  for (int i = 0; i < 16; ++i) p1[i] = plain[i] ^ f0[i];
  const TBlock c1 = m.E(p1);
  TBlock f1;
  for (int i = 0; i < 16; ++i) f1[i] = c1[i] ^ f0[i];
  const TBlock keystream = m.E(f1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(cipher[i], c1[i]) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(cipher[16 + i], plain[16 + i] ^ keystream[i]) << i;
  EXPECT_EQ(Decipher(key, cipher), plain);
}

TEST(Cipher, MatchesModelAndRoundTripsForLengthsUpTo100) {
  std::mt19937 random(2);
  const std::string key = "table password";
  for (size_t n = 0; n <= 100; ++n) {
    const TBytes plain = Random(n, random);
    const TBytes cipher = Encipher(key, plain);
    ASSERT_EQ(cipher.size(), n);
    ASSERT_EQ(cipher, TChainModel(key).Run(plain, true)) << "length " << n;
    ASSERT_EQ(Decipher(key, cipher), plain) << "length " << n;
    ASSERT_EQ(TChainModel(key).Run(cipher, false), plain) << "length " << n;
    if (n >= 4) {
      EXPECT_NE(cipher, plain) << "length " << n;
    }
  }
}

TEST(Cipher, LongBuffersMatchModelAcrossBlockBatches) {
  // Deciphering hands many blocks to each block call; lengths on both sides
  // of those batches must chain exactly as block by block.
  std::mt19937 random(6);
  const std::string key = "page key";
  for (size_t n : {size_t{1023}, size_t{1024}, size_t{1025}, size_t{1040}, size_t{4064},
                   size_t{5000}}) {
    const TBytes plain = Random(n, random);
    const TBytes cipher = Encipher(key, plain);
    ASSERT_EQ(cipher, TChainModel(key).Run(plain, true)) << "length " << n;
    ASSERT_EQ(Decipher(key, cipher), plain) << "length " << n;
    TBytes inPlace = cipher;
    DecipherBuffer(key, inPlace.data(), inPlace.data(), n);
    ASSERT_EQ(inPlace, plain) << "length " << n;
  }
}

TEST(Cipher, BuffersSideBySideEqualOneBufferAtATime) {
  // Each buffer from the initial feedback, bytes between buffers untouched,
  // for group sizes around the count taken per block call.
  struct Case { size_t n, stride, count; };
  const Case kCases[] = {{0, 4, 3},     {5, 5, 2},       {16, 16, 1},     {20, 32, 7},
                         {4064, 4096, 64}, {4064, 4096, 65}, {100, 130, 130}, {37, 40, 200}};
  std::mt19937 random(8);
  for (const Case& c : kCases) {
    const TBytes plain = Random(c.stride * c.count + 3, random);
    TBytes batch = plain;
    TCipher_Rijndael cipher("pages");
    TBytes scrap(16);
    cipher.EncodeBuffer(scrap.data(), scrap.data(), scrap.size());  // moves the feedback on
    cipher.EncodeBuffersFromStart(batch.data(), c.n, c.stride, c.count);
    TBytes expected = plain;
    for (size_t g = 0; g < c.count; ++g)
      EncipherBuffer("pages", plain.data() + g * c.stride, expected.data() + g * c.stride, c.n);
    ASSERT_EQ(batch, expected) << "n " << c.n << " count " << c.count;
    // The feedback is back at its start: the next buffer is a fresh one's.
    const TBytes probe = Random(20, random);
    TBytes next(20), fresh(20);
    cipher.EncodeBuffer(probe.data(), next.data(), 20);
    EncipherBuffer("pages", probe.data(), fresh.data(), 20);
    EXPECT_EQ(next, fresh) << "n " << c.n << " count " << c.count;
  }
}

TEST(Cipher, InPlaceEqualsSeparateBuffers) {
  std::mt19937 random(3);
  const TBytes plain = Random(77, random);
  TBytes buffer = plain;
  EncipherBuffer("k", buffer.data(), buffer.data(), buffer.size());
  EXPECT_EQ(buffer, Encipher("k", plain));
  DecipherBuffer("k", buffer.data(), buffer.data(), buffer.size());
  EXPECT_EQ(buffer, plain);
}

TEST(Cipher, KeyStringIsHashedByteForByte) {
  // 32 bytes with and without a terminating zero are different key strings.
  std::string bytes32;
  for (int i = 0; i < 32; ++i) bytes32 += static_cast<char>(1 + i * 7);
  const std::string bytes33 = bytes32 + std::string(1, '\0');
  ASSERT_EQ(bytes33.size(), 33u);
  std::mt19937 random(4);
  const TBytes plain = Random(48, random);
  EXPECT_NE(Encipher(bytes32, plain), Encipher(bytes33, plain));
  EXPECT_EQ(Encipher(bytes33, plain), TChainModel(bytes33).Run(plain, true));
  EXPECT_EQ(Encipher(bytes32, plain), TChainModel(bytes32).Run(plain, true));

  // InitKey is Init with the digest.
  const TBytes digest = THash_RipeMD256().CalcString(bytes33);
  TCipher_Rijndael raw;
  raw.Init(digest.data());
  TBytes out(plain.size());
  raw.EncodeBuffer(plain.data(), out.data(), out.size());
  EXPECT_EQ(out, Encipher(bytes33, plain));
}

TEST(Cipher, EqualBuffersUnderOneKeyGiveEqualCiphertext) {
  // Every buffer starts from the same feedback; Reset brings a used cipher
  // back to it, while a cipher that goes on chains further.
  std::mt19937 random(5);
  const TBytes plain = Random(40, random);
  TCipher_Rijndael cipher("key");
  TBytes first(40), chained(40), again(40);
  cipher.EncodeBuffer(plain.data(), first.data(), 40);
  cipher.EncodeBuffer(plain.data(), chained.data(), 40);
  cipher.Reset();
  cipher.EncodeBuffer(plain.data(), again.data(), 40);
  EXPECT_EQ(first, Encipher("key", plain));
  EXPECT_EQ(again, first);
  EXPECT_NE(chained, first);

  // Chaining carries across calls exactly as within one buffer.
  TChainModel model("key");
  model.Run(plain, true);
  EXPECT_EQ(chained, model.Run(plain, true));
}

TEST(Cipher, NoKeyRaisesWithClassName) {
  TCipher_Rijndael cipher;
  EXPECT_FALSE(cipher.Initialized());
  uint8_t data[16] = {};
  const std::string message =
      "TCipher_Rijndael is not initialized call Init() or InitKey() before.";
  EXPECT_EQ(MessageOf([&] { cipher.EncodeBuffer(data, data, 16); }), message);
  EXPECT_EQ(MessageOf([&] { cipher.DecodeBuffer(data, data, 0); }), message);
  EXPECT_EQ(MessageOf([&] { cipher.Reset(); }), message);
  EXPECT_EQ(MessageOf([&] { cipher.EncodeBuffersFromStart(data, 16, 16, 1); }), message);
  cipher.InitKey("");
  EXPECT_TRUE(cipher.Initialized());
  EXPECT_EQ(MessageOf([&] { cipher.EncodeBuffer(data, data, 16); }), "(no error)");
}

}  // namespace
}  // namespace norvane
