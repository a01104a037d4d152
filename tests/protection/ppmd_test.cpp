// The PPMd modes: round trips at the chunk boundaries and over mixed data,
// the chunk framing and header words, compression that beats zlib on text
// (and the larger model beating the smaller), and damaged, cut or foreign
// streams answered with false, never with more than the expected length.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/protection/compress_buffer.h"
#include "engine/protection/ppmd_model.h"

namespace norvane {
namespace {

using TBytes = std::vector<uint8_t>;

constexpr size_t kFastChunk = 819200, kMaxChunk = 1638400;

// Sentences of code page 1251 Russian words, drawn from a small pool so
// that longer contexts pay, then runs of binary noise when `binary`.
TBytes Corpus(size_t n, bool binary, uint32_t seed = 7) {
  static const char* const kWords[] = {
      "\xea\xee\xf2", "\xe4\xee\xec", "\xf0\xe5\xea\xe0", "\xe6\xf3\xf0\xed\xe0\xeb", "\xf1\xf2\xe0\xf2\xfc\xff",
      "\xe0\xe2\xf2\xee\xf0", "\xe3\xee\xe4", "\xed\xee\xec\xe5\xf0", "\xf0\xe0\xe7\xe4\xe5\xeb",
      "\xe8\xf1\xf2\xee\xf0\xe8\xff", "\xed\xe0\xf3\xea\xe0", "\xec\xe8\xf0", "\xe8", "\xe2", "\xed\xe0"};
  std::mt19937 random(seed);
  std::vector<std::string> sentences;
  for (int i = 0; i < 200; ++i) {
    std::string sentence;
    for (int w = 3 + static_cast<int>(random() % 9); w > 0; --w)
      sentence += std::string(kWords[random() % std::size(kWords)]) + (w == 1 ? ". " : " ");
    sentences.push_back(sentence);
  }
  TBytes data;
  while (data.size() < n) {
    if (binary && random() % 8 == 0) {
      for (int i = 0; i < 300; ++i) data.push_back(static_cast<uint8_t>(random()));
      continue;
    }
    const std::string& s = sentences[random() % sentences.size()];
    data.insert(data.end(), s.begin(), s.end());
  }
  data.resize(n);
  return data;
}

TBytes Compress(const TBytes& in, uint8_t mode) {
  TBytes out;
  size_t size = 0;
  EXPECT_TRUE(aaCompressBuffer(in.data(), in.size(), out, mode, size));
  EXPECT_EQ(size, out.size());
  return out;
}

// The lengths of the chunks of a compressed buffer.
std::vector<uint32_t> Chunks(const TBytes& packed) {
  std::vector<uint32_t> lengths;
  for (size_t at = 0; at + 4 <= packed.size();) {
    const uint32_t length = packed[at] | packed[at + 1] << 8 | packed[at + 2] << 16 | uint32_t{packed[at + 3]} << 24;
    lengths.push_back(length);
    at += 4 + length;
  }
  return lengths;
}

TEST(Ppmd, RoundTripsAtChunkBoundaries) {
  const struct {
    uint8_t Mode;
    size_t N;
    bool Binary;
    size_t ChunkCount;
  } cases[] = {
      {cmPPMdFast, 1, false, 1},           {cmPPMdMax, 1, false, 1},
      {cmPPMdFast, kFastChunk, false, 1},  {cmPPMdMax, kMaxChunk, true, 1},
      {cmPPMdFast, kFastChunk + 1, true, 2}, {cmPPMdMax, kMaxChunk + 1, false, 2},
      {cmPPMdFast, 5 << 20, true, 7},      {cmPPMdMax, 5 << 20, true, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Mode) + " " + std::to_string(c.N));
    const TBytes plain = Corpus(c.N, c.Binary);
    const TBytes packed = Compress(plain, c.Mode);
    EXPECT_EQ(Chunks(packed).size(), c.ChunkCount);
    // Every chunk opens with the mode's header word.
    EXPECT_EQ(packed[4] | packed[5] << 8, c.Mode == cmPPMdFast ? 0x6134 : 0x631F);
    TBytes out;
    size_t size = plain.size();
    ASSERT_TRUE(aaDecompressBuffer(packed.data(), packed.size(), out, c.Mode, size));
    EXPECT_EQ(size, plain.size());
    EXPECT_TRUE(out == plain);
  }
}

TEST(Ppmd, AnEmptyChunkCodesNothing) {
  TPpmdModel model(1 << 20);
  TBytes coded, out;
  model.EncodeChunk(nullptr, 0, 5, coded);
  EXPECT_TRUE(model.DecodeChunk(coded.data(), coded.size(), 5, 10, out));
  EXPECT_TRUE(out.empty());
  // The buffer functions make one empty chunk of it, and an empty result
  // is no result.
  const uint8_t none = 0;
  TBytes packed;
  size_t packedSize = 0;
  ASSERT_TRUE(aaCompressBuffer(&none, 0, packed, cmPPMdFast, packedSize));
  EXPECT_EQ(Chunks(packed).size(), 1u);
  size_t size = 1;
  EXPECT_FALSE(aaDecompressBuffer(packed.data(), packed.size(), out, cmPPMdFast, size));
}

TEST(Ppmd, TextCompressesBetterThanZlibAndBetterStillWithTheLargerModel) {
  const TBytes text = Corpus(1 << 20, false, 11);
  const size_t zlib = Compress(text, cmZlib).size();
  const size_t fast = Compress(text, cmPPMdFast).size();
  const size_t max = Compress(text, cmPPMdMax).size();
  EXPECT_LT(fast, zlib);
  EXPECT_LT(max, fast);
}

TEST(Ppmd, DamagedOrForeignStreamsAreFalse) {
  const TBytes plain = Corpus(20000, true);
  const TBytes packed = Compress(plain, cmPPMdFast);
  const auto decode = [&](TBytes bytes, size_t expected) {
    TBytes out;
    size_t size = expected;
    const bool ok = aaDecompressBuffer(bytes.data(), bytes.size(), out, cmPPMdFast, size);
    EXPECT_LE(out.size(), expected);
    EXPECT_EQ(size, out.size());
    return ok;
  };
  EXPECT_FALSE(decode(packed, plain.size() - 1));  // longer than expected
  TBytes other = packed;
  other[4] = 0x35;  // order 6: a header word neither mode writes
  EXPECT_FALSE(decode(other, plain.size()));
  other = packed;
  other[5] = 0x73;  // variant letter H
  EXPECT_FALSE(decode(other, plain.size()));
  for (size_t cut : {size_t{3}, size_t{8}, packed.size() / 2, packed.size() - 1}) {
    TBytes shorter(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_FALSE(decode(shorter, plain.size())) << cut;
  }
  // Flipped bits give some output or none, but never a crash or more bytes
  // than expected.
  std::mt19937 random(3);
  for (int i = 0; i < 50; ++i) {
    TBytes flipped = packed;
    flipped[8 + random() % (flipped.size() - 8)] ^= static_cast<uint8_t>(1u << (random() % 8));
    decode(flipped, plain.size());
  }
}

}  // namespace
}  // namespace norvane
