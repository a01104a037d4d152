// The XOR32 checksum as a hash: fed in pieces it equals the page checksum of
// the whole message, and its digest is the value in little-endian bytes.
#include "engine/protection/checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/protection/page_checksum.h"

namespace norvane {
namespace {

TEST(Xor32Hash, DigestIsLittleEndianValue) {
  const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30, 0x40, 0xAA};
  THash_XOR32 hash;
  EXPECT_EQ(hash.CalcBuffer(data, sizeof data), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(hash.Value(), 0x44332211u);
  EXPECT_EQ(hash.DigestSize(), 4u);
}

TEST(Xor32Hash, PiecesEqualPageChecksumOfWhole) {
  // Pieces of 0 to 6 bytes split words at every position; the 1 to 3 bytes
  // after the last whole word never count.
  std::mt19937 random(7);
  std::vector<uint8_t> data(203);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  THash_XOR32 hash;
  for (size_t n = 0; n <= data.size(); ++n) {
    hash.Init();
    for (size_t at = 0; at < n;) {
      const size_t cut = std::min<size_t>(n - at, random() % 7);
      hash.Calc(data.data() + at, cut);
      at += cut;
    }
    ASSERT_EQ(hash.Value(), Xor32Checksum(data.data(), n)) << "length " << n;
  }
}

TEST(Xor32Hash, InitDropsHeldBackBytes) {
  const uint8_t first[] = {0xFF, 0xFF, 0xFF};
  const uint8_t word[] = {1, 0, 0, 0};
  THash_XOR32 hash;
  hash.Calc(first, sizeof first);
  hash.Init();
  hash.Calc(word, sizeof word);
  EXPECT_EQ(hash.Value(), 1u);
}

}  // namespace
}  // namespace norvane
