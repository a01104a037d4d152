// Buffer compression: mode 0 copies, mode 1 writes a standard zlib stream
// (level-1 header, Adler-32 trailer), decompression stays within the expected
// length, and every failure is a plain false with nothing in the output.
#include "engine/protection/compress_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/error_message.h"

namespace norvane {
namespace {

using testing::MessageOf;
using TBytes = std::vector<uint8_t>;

// Adler-32 from its definition, to check the stream trailer without zlib.
uint32_t Adler32(const TBytes& data) {
  uint32_t a = 1, b = 0;
  for (uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

TBytes Sample(const std::string& kind, size_t n) {
  std::mt19937 random(static_cast<uint32_t>(n));
  TBytes data(n);
  for (size_t i = 0; i < n; ++i) {
    if (kind == "zeros") data[i] = 0;
    else if (kind == "random") data[i] = static_cast<uint8_t>(random());
    else data[i] = static_cast<uint8_t>("the quick brown fox "[random() % 20]);
  }
  return data;
}

TBytes Compress(const TBytes& in) {
  TBytes out;
  size_t size = 99;
  EXPECT_TRUE(aaCompressBuffer(in.data(), in.size(), out, cmZlib, size));
  EXPECT_EQ(size, out.size());
  return out;
}

struct Shape { const char* kind; size_t n; };

TEST(CompressBuffer, ZlibRoundTripAndStreamFormat) {
  // Sizes cross the decompressor's first allocation (64 KiB) and its doubling.
  const Shape kShapes[] = {{"zeros", 1},      {"text", 3},         {"random", 100},
                           {"text", 4064},    {"random", 70000},   {"zeros", 1 << 20},
                           {"text", 300000},  {"random", 262145}};
  for (const Shape& s : kShapes) {
    const TBytes plain = Sample(s.kind, s.n);
    const TBytes packed = Compress(plain);
    ASSERT_GE(packed.size(), 6u);
    EXPECT_EQ(packed[0], 0x78) << s.kind << s.n;  // deflate, 32 KiB window
    EXPECT_EQ(packed[1], 0x01) << s.kind << s.n;  // fastest level, no dictionary
    const size_t t = packed.size() - 4;
    const uint32_t trailer = uint32_t{packed[t]} << 24 | uint32_t{packed[t + 1]} << 16 |
                             uint32_t{packed[t + 2]} << 8 | packed[t + 3];
    EXPECT_EQ(trailer, Adler32(plain)) << s.kind << s.n;

    TBytes out;
    size_t size = plain.size();
    ASSERT_TRUE(aaDecompressBuffer(packed.data(), packed.size(), out, cmZlib, size));
    EXPECT_EQ(size, plain.size());
    EXPECT_EQ(out, plain) << s.kind << s.n;
  }
  // Real compression, not a stored copy: 1 MiB of zeros shrinks over 100 times.
  EXPECT_LT(Compress(Sample("zeros", 1 << 20)).size(), 10000u);
}

TEST(CompressBuffer, ExpectedLengthIsTheBound) {
  // A larger expected length still reports the true length; a smaller one is
  // refused instead of writing past the caller's length.
  const TBytes plain = Sample("text", 5000);
  const TBytes packed = Compress(plain);
  struct Case { size_t expected; bool ok; };
  const Case kCases[] = {{5000, true}, {5001, true},  {10000, true}, {1 << 24, true},
                         {4999, false}, {2500, false}, {1, false},    {0, false}};
  for (const Case& c : kCases) {
    TBytes out{7};
    size_t size = c.expected;
    EXPECT_EQ(aaDecompressBuffer(packed.data(), packed.size(), out, cmZlib, size), c.ok)
        << c.expected;
    EXPECT_EQ(size, c.ok ? plain.size() : 0u) << c.expected;
    EXPECT_EQ(out, c.ok ? plain : TBytes{}) << c.expected;
  }
}

TEST(CompressBuffer, DamagedStreamsGiveFalse) {
  const TBytes plain = Sample("text", 3000);
  const TBytes packed = Compress(plain);
  std::vector<TBytes> damaged;
  for (size_t cut = 0; cut < packed.size(); ++cut)  // every truncation
    damaged.emplace_back(packed.begin(), packed.begin() + cut);
  TBytes badAdler = packed;
  badAdler.back() ^= 1;
  damaged.push_back(badAdler);
  TBytes badHeader = packed;
  badHeader[1] ^= 1;  // header check fails
  damaged.push_back(badHeader);
  damaged.push_back({0x78, 0x20, 0, 0, 0, 1, 0x03, 0x00});  // asks for a dictionary
  damaged.push_back(TBytes(50, 0xA5));
  for (const TBytes& in : damaged) {
    TBytes out{1};
    size_t size = plain.size();
    const uint8_t dummy = 0;
    const uint8_t* data = in.empty() ? &dummy : in.data();
    EXPECT_FALSE(aaDecompressBuffer(data, in.size(), out, cmZlib, size)) << in.size();
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(out.empty());
  }
}

TEST(CompressBuffer, EmptyStreamOutputIsFalse) {
  // Compressing nothing gives a valid stream, but an empty result is a failure.
  const uint8_t none = 0;
  TBytes packed;
  size_t size = 5;
  ASSERT_TRUE(aaCompressBuffer(&none, 0, packed, cmZlib, size));
  EXPECT_EQ(size, packed.size());
  EXPECT_GT(size, 0u);
  TBytes out;
  size = 10;
  EXPECT_FALSE(aaDecompressBuffer(packed.data(), packed.size(), out, cmZlib, size));
  EXPECT_EQ(size, 0u);
}

TEST(CompressBuffer, StoredModeAndUnbuiltModes) {
  const TBytes plain = Sample("random", 33);
  TBytes out{9, 9};
  size_t size = 1234;
  ASSERT_TRUE(aaCompressBuffer(plain.data(), plain.size(), out, cmNone, size));
  EXPECT_EQ(size, 33u);
  EXPECT_EQ(out, plain);
  ASSERT_TRUE(aaCompressBuffer(plain.data(), 0, out, cmNone, size));
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(out.empty());

  // Stored data is never decompressed, a zlib stream is no PPMd data, and 4
  // and up are unknown. All answer false and leave nothing behind.
  const TBytes packed = Compress(plain);
  for (uint8_t mode : {uint8_t{0}, uint8_t{2}, uint8_t{3}, uint8_t{4}, uint8_t{255}}) {
    out = {1};
    size = 33;
    EXPECT_FALSE(aaDecompressBuffer(packed.data(), packed.size(), out, mode, size)) << +mode;
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(out.empty());
    if (mode < 4) continue;
    out = {1};
    size = 33;
    EXPECT_FALSE(aaCompressBuffer(plain.data(), plain.size(), out, mode, size)) << +mode;
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(out.empty());
  }
}

TEST(CompressBuffer, NullInput) {
  TBytes out;
  size_t size = 10;
  for (uint8_t mode : {uint8_t{0}, uint8_t{1}})
    for (size_t n : {size_t{0}, size_t{5}})
      EXPECT_EQ(MessageOf([&] { aaCompressBuffer(nullptr, n, out, mode, size); }),
                "aaCompressBuffer - inBuf = nil");
  EXPECT_FALSE(aaDecompressBuffer(nullptr, 5, out, cmZlib, size));
  EXPECT_EQ(size, 0u);
}

}  // namespace
}  // namespace norvane
