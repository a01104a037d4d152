// Page checksums against the published check values and the word rules.
#include "engine/protection/page_checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(PageChecksum, Crc16ArcCheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc16Arc(Bytes(check), check.size()), 0xBB3D);
  EXPECT_EQ(PageChecksum(Bytes(check), check.size(), ckCRC16), 0x0000BB3Du);
  EXPECT_EQ(Crc16Arc(nullptr, 0), 0);
}

TEST(PageChecksum, Xor32CountsWholeLittleEndianWordsOnly) {
  const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x10, 0x20, 0x30, 0x40, 0xAA, 0xBB, 0xCC};
  struct Case { size_t n; uint32_t sum; };
  const Case kCases[] = {
      {0, 0}, {3, 0}, {4, 0x04030201}, {7, 0x04030201}, {8, 0x44332211}, {11, 0x44332211}};
  for (const Case& c : kCases) EXPECT_EQ(Xor32Checksum(data, c.n), c.sum) << c.n;
}

TEST(PageChecksum, Xor32MatchesWordByWordSumForEveryLengthAndAlignment) {
  // Lengths around the eight-byte steps and starts off any word boundary.
  std::mt19937 random(7);
  std::vector<uint8_t> data(4200);
  for (uint8_t& b : data) b = static_cast<uint8_t>(random());
  for (size_t start = 0; start < 8; ++start) {
    for (size_t n : {size_t{0}, size_t{4}, size_t{12}, size_t{13}, size_t{15}, size_t{16},
                     size_t{20}, size_t{4064}, size_t{4065}, size_t{4068}, size_t{4092}}) {
      uint32_t model = 0;
      for (size_t i = 0; i + 4 <= n; i += 4) {
        const uint8_t* w = data.data() + start + i;
        model ^= uint32_t{w[0]} | uint32_t{w[1]} << 8 | uint32_t{w[2]} << 16 | uint32_t{w[3]} << 24;
      }
      EXPECT_EQ(Xor32Checksum(data.data() + start, n), model) << "start " << start << " n " << n;
    }
  }
}

TEST(PageChecksum, UnknownKindHasZeroSumAndNeverVerifies) {
  const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(PageChecksum(data, 8, 2), 0u);
  EXPECT_FALSE(VerifyPageChecksum(data, 8, 2, 0));
  EXPECT_FALSE(VerifyPageChecksum(data, 8, 255, 0));
  EXPECT_TRUE(VerifyPageChecksum(data, 8, ckXOR32, Xor32Checksum(data, 8)));
  EXPECT_FALSE(VerifyPageChecksum(data, 8, ckXOR32, Xor32Checksum(data, 8) ^ 1));
  EXPECT_TRUE(VerifyPageChecksum(data, 8, ckCRC16, Crc16Arc(data, 8)));
}

}  // namespace
}  // namespace norvane
