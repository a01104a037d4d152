// CRC-32 against its published check value and the CRC-32 text the table
// storage keeps: Base64 of the digest bytes in little-endian order.
#include "engine/protection/hash_crc32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace norvane {
namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

struct Case { std::string data; uint32_t crc; const char* text; };

TEST(Crc32, KnownValuesAndTheirText) {
  // 0xCBF43926 is the published check value of "123456789"; its bytes in
  // little-endian order, 26 39 F4 CB, are "Jjn0yw==" in Base64.
  const Case kCases[] = {
      {"123456789", 0xCBF43926u, "Jjn0yw=="},
      {"", 0x00000000u, "AAAAAA=="},
      {"a", 0xE8B7BE43u, "Q7636A=="},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u, "OaNPQQ=="},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(Crc32(Bytes(c.data), c.data.size()), c.crc) << c.data;
    EXPECT_EQ(CrcText(Bytes(c.data), c.data.size()), c.text) << c.data;
  }
}

TEST(Crc32, EveryLengthAndAlignmentAgreesWithTheBitwiseDefinition) {
  std::vector<uint8_t> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 3));
  for (size_t from = 0; from < 9; ++from)
    for (size_t n = 0; from + n <= bytes.size(); n += 7) {
      uint32_t crc = 0xFFFFFFFFu;
      for (size_t i = from; i < from + n; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
      }
      ASSERT_EQ(Crc32(bytes.data() + from, n), ~crc) << from << " " << n;
    }
}

TEST(Crc32, PiecesAndDigestBytes) {
  const std::string check = "123456789";
  THash_CRC32 hash;
  hash.Init();
  hash.Calc(Bytes(check), 4);
  hash.Calc(Bytes(check) + 4, 0);
  hash.Calc(Bytes(check) + 4, 5);
  EXPECT_EQ(hash.Value(), 0xCBF43926u);
  EXPECT_EQ(hash.Done(), (std::vector<uint8_t>{0x26, 0x39, 0xF4, 0xCB}));
  EXPECT_EQ(hash.DigestSize(), 4u);
  // Init starts afresh, not from the last value.
  EXPECT_EQ(hash.CalcBuffer(Bytes(check), check.size()),
            (std::vector<uint8_t>{0x26, 0x39, 0xF4, 0xCB}));
}

TEST(Crc32, TextIsAlwaysEightCharacters) {
  std::string data;
  for (int n = 0; n < 40; ++n) {
    data += static_cast<char>(n * 37);
    const std::string text = CrcText(Bytes(data), data.size());
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(text.substr(6), "==");
  }
}

}  // namespace
}  // namespace norvane
