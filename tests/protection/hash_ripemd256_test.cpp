// RIPEMD-256 against the authors' published test vectors, and the MD4-family
// framing: a message cut into pieces of any size hashes as one buffer, across
// every padding boundary; what the object keeps of a key string once done.
#include "engine/protection/hash_ripemd256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    out += two;
  }
  return out;
}

std::string Repeat(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Vector { std::string message; const char* digest; };

TEST(RipeMD256, PublishedVectors) {
  const Vector kPublished[] = {
      {"", "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
      {"a", "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
      {"abc", "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
      {"message digest", "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
      {"abcdefghijklmnopqrstuvwxyz",
       "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "3843045583aac6c8c8d9128573e7a9809afb2a0f34ccc36ea9e72f16f6368e3f"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "5740a408ac16b720b84424ae931cbb1fe363d1d0bf4017f1a89f7ea6de77a0b8"},
      {Repeat("1234567890", 8),
       "06fdcc7a409548aaf91368c06a6275b553e3f099bf0ea4edfd6778df89a890dd"},
  };
  THash_RipeMD256 hash;
  for (const Vector& v : kPublished) {
    EXPECT_EQ(Hex(hash.CalcString(v.message)), v.digest) << '"' << v.message << '"';
    EXPECT_EQ(hash.DigestSize(), 32u);
  }
}

TEST(RipeMD256, OneMillionA) {
  // Fed in pieces of 999 bytes, so partial blocks are carried between calls.
  THash_RipeMD256 hash;
  const std::string piece(999, 'a');
  for (size_t left = 1000000; left > 0;) {
    const size_t n = std::min(left, piece.size());
    hash.Calc(Bytes(piece), n);
    left -= n;
  }
  EXPECT_EQ(Hex(hash.Done()), "ac953744e10e31514c150d4d8d7b677342e33399788296e43ae4850ce4f97978");
}

TEST(RipeMD256, PiecesHashAsOneBuffer) {
  // Lengths around every boundary of the padding (55, 56, 63, 64, 119, 120,
  // 128 ...), each fed whole and in random cuts; a byte dropped or counted
  // twice by the buffering changes the digest.
  std::mt19937 random(20240611);
  std::string message(300, '\0');
  for (char& c : message) c = static_cast<char>(random());
  THash_RipeMD256 whole;
  THash_RipeMD256 pieces;
  std::vector<std::string> seen;
  for (size_t n = 0; n <= message.size(); ++n) {
    const std::vector<uint8_t> expected = whole.CalcBuffer(Bytes(message), n);
    pieces.Init();
    for (size_t at = 0; at < n;) {
      const size_t cut = std::min<size_t>(n - at, random() % 70);
      pieces.Calc(Bytes(message) + at, cut);
      at += cut;
    }
    ASSERT_EQ(Hex(pieces.Done()), Hex(expected)) << "length " << n;
    seen.push_back(Hex(expected));
  }
  // Every prefix has its own digest: the length really enters the hash.
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

TEST(RipeMD256, InitForgetsEarlierInput) {
  THash_RipeMD256 hash;
  hash.Calc(Bytes(std::string("stale")), 5);
  hash.Init();
  hash.Calc(Bytes(std::string("abc")), 3);
  EXPECT_EQ(Hex(hash.Done()), "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65");
}

bool Holds(const void* object, size_t size, const uint8_t* pattern, size_t n) {
  const auto* bytes = static_cast<const unsigned char*>(object);
  return std::search(bytes, bytes + size, pattern, pattern + n) != bytes + size;
}

// Key strings are hashed into keys: once Done has given the digest, the
// object holds neither the last bytes fed (they sat in its block buffer) nor
// its state (which is the digest), and a hash dropped half-way leaves none of
// its input in the storage it used.
TEST(RipeMD256, KeepsNothingOfItsInputOnceDoneOrDestroyed) {
  std::string message(200, '\0');
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(0x80 + i % 97);
  // Lengths whose last block keeps 5 to 55 bytes in the buffer.
  for (size_t n : {5, 20, 40, 55, 84, 183}) {
    SCOPED_TRACE(n);
    const size_t tail = std::min<size_t>(n % 64, 8);
    const uint8_t* last = Bytes(message) + n - tail;

    THash_RipeMD256 hash;
    hash.Calc(Bytes(message), n);
    EXPECT_TRUE(Holds(&hash, sizeof hash, last, tail));  // the search can find it
    const std::vector<uint8_t> digest = hash.Done();
    EXPECT_FALSE(Holds(&hash, sizeof hash, last, tail));
    EXPECT_FALSE(Holds(&hash, sizeof hash, digest.data(), 8));
    hash.Init();
    EXPECT_EQ(hash.CalcBuffer(Bytes(message), n), digest);  // usable again after Init

    alignas(THash_RipeMD256) unsigned char storage[sizeof(THash_RipeMD256)];
    auto* dropped = new (storage) THash_RipeMD256();
    dropped->Calc(Bytes(message), n);
    dropped->~THash_RipeMD256();
    EXPECT_FALSE(Holds(storage, sizeof storage, last, tail));
  }
}

}  // namespace
}  // namespace norvane
