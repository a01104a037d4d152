// Key material: the strong generator fills every byte it is asked for, and
// wiping leaves zeros.
#include "engine/protection/key_material.h"

#include <gtest/gtest.h>

#include <vector>

namespace norvane {
namespace {

TEST(KeyMaterial, StrongRandomFillsEveryByte) {
  // Two 4096-byte draws into buffers pre-set to 0: over 8192 random bytes,
  // each of the 256 values appears (a miss has odds of about e^-32), which
  // also shows no stretch of the buffer was left untouched.
  std::vector<uint8_t> a(4096, 0), b(4096, 0);
  FillStrongRandom(a.data(), a.size());
  FillStrongRandom(b.data(), b.size());
  EXPECT_NE(a, b);
  std::vector<int> seen(256, 0);
  for (uint8_t v : a) ++seen[v];
  for (uint8_t v : b) ++seen[v];
  for (int v = 0; v < 256; ++v) EXPECT_GT(seen[v], 0) << v;
  // A zero tail would show an unfilled end.
  int zerosAtEnd = 0;
  for (size_t i = a.size(); i-- > 0 && a[i] == 0;) ++zerosAtEnd;
  EXPECT_LT(zerosAtEnd, 4);
  FillStrongRandom(nullptr, 0);
}

TEST(KeyMaterial, WipeLeavesZeros) {
  std::vector<uint8_t> key(33, 0xA7);
  WipeKeyMaterial(key.data(), 32);
  EXPECT_EQ(key, [] { std::vector<uint8_t> v(33, 0); v[32] = 0xA7; return v; }());
}

}  // namespace
}  // namespace norvane
