// The raw AES-256 block against the FIPS-197 example (appendix C.3), both
// ways and in place.
#include "engine/protection/rijndael_block.h"

#include <gtest/gtest.h>

#include <array>

namespace norvane {
namespace {

using TBlock = std::array<uint8_t, 16>;

TEST(RijndaelBlock, Fips197Aes256Example) {
  std::array<uint8_t, 32> key;
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(i);  // 000102...1f
  const TBlock plain = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                        0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  const TBlock cipher = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                         0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
  TRijndaelBlock aes(key.data());
  TBlock out{};
  aes.Encrypt(plain.data(), out.data());
  EXPECT_EQ(out, cipher);
  aes.Decrypt(cipher.data(), out.data());
  EXPECT_EQ(out, plain);

  // In place, and encryption still works after the decryption schedule exists.
  TBlock block = plain;
  aes.Encrypt(block.data(), block.data());
  EXPECT_EQ(block, cipher);
  aes.Decrypt(block.data(), block.data());
  EXPECT_EQ(block, plain);
}

}  // namespace
}  // namespace norvane
