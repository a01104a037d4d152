// Robustness of the zlib decompressor in the manner of a fuzzer: mutated
// streams and noise under expected lengths around the true one, with a fixed
// seed (NORVANE_FUZZ_SEED and NORVANE_FUZZ_ROUNDS for longer runs).
#include "engine/protection/compress_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

using TBytes = std::vector<uint8_t>;

uint32_t EnvOr(const char* name, uint32_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

TBytes Plain(std::mt19937& random) {
  // Runs of repeated bytes and short alphabets, so streams hold long matches,
  // literal runs and stored blocks.
  TBytes data(random() % 5000);
  const uint32_t alphabet = 1 + random() % 256;
  for (size_t i = 0; i < data.size();) {
    const size_t run = 1 + random() % (random() % 2 ? 1 : 300);
    const uint8_t b = static_cast<uint8_t>(random() % alphabet);
    for (size_t j = 0; j < run && i < data.size(); ++j) data[i++] = b;
  }
  return data;
}

void Mutate(TBytes& data, std::mt19937& random, const TBytes& other) {
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits; ++e) {
    const size_t at = data.empty() ? 0 : random() % data.size();
    switch (random() % 6) {
      case 0: if (!data.empty()) data[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
      case 1: if (!data.empty()) data[at] = static_cast<uint8_t>(random()); break;
      case 2: data.insert(data.begin() + at, static_cast<uint8_t>(random())); break;
      case 3: if (!data.empty()) data.erase(data.begin() + at); break;
      case 4: data.resize(at); break;
      default:  // the tail of another stream spliced in
        data.resize(at);
        if (!other.empty()) {
          const size_t from = random() % other.size();
          data.insert(data.end(), other.begin() + from, other.end());
        }
        break;
    }
  }
}

// Valid streams get bit flips, overwritten, inserted and removed bytes, cuts
// and splices. Whatever the input, the result stays within the expected
// length and a failure leaves nothing behind; the sanitizer build catches any
// write outside the buffers.
TEST(CompressFuzz, DecompressorStaysWithinBounds) {
  std::mt19937 random(EnvOr("NORVANE_FUZZ_SEED", 424242));
  const uint32_t rounds = EnvOr("NORVANE_FUZZ_ROUNDS", 3000);
  TBytes previous;
  int accepted = 0, refused = 0;
  for (uint32_t round = 0; round < rounds; ++round) {
    const TBytes plain = Plain(random);
    TBytes packed;
    size_t size = 0;
    const uint8_t dummy = 0;  // an empty vector's data() may be null, which is refused
    ASSERT_TRUE(aaCompressBuffer(plain.empty() ? &dummy : plain.data(), plain.size(), packed,
                                 cmZlib, size));

    TBytes input = packed;
    const bool mutated = random() % 8 != 0;
    if (mutated) Mutate(input, random, previous);
    if (random() % 10 == 0) {  // plain noise, sometimes behind a valid header
      input.resize(random() % 200);
      for (uint8_t& b : input) b = static_cast<uint8_t>(random());
      if (input.size() >= 2 && random() % 2) {
        input[0] = 0x78;
        input[1] = 0x01;
      }
    }
    previous = packed;

    const size_t truth = plain.size();
    const size_t choices[] = {truth, truth + 1, truth / 2, truth + random() % 10000,
                              random() % 100, 1};
    const size_t expected = choices[random() % 6];
    TBytes out{0xEE};
    size = expected;
    const bool ok = aaDecompressBuffer(input.empty() ? &dummy : input.data(), input.size(), out,
                                       cmZlib, size);
    if (ok) {
      ++accepted;
      ASSERT_EQ(size, out.size()) << "round " << round;
      ASSERT_GT(size, 0u) << "round " << round;
      ASSERT_LE(size, expected) << "round " << round;
    } else {
      ++refused;
      ASSERT_EQ(size, 0u) << "round " << round;
      ASSERT_TRUE(out.empty()) << "round " << round;
    }
    if (!mutated && input == packed) {
      // An untouched stream is accepted exactly when its output fits.
      ASSERT_EQ(ok, truth > 0 && expected >= truth) << "round " << round;
      if (ok) {
        ASSERT_EQ(out, plain) << "round " << round;
      }
    }
  }
  // Both outcomes must have been exercised, or the rounds proved little.
  EXPECT_GT(accepted, static_cast<int>(rounds) / 40);
  EXPECT_GT(refused, static_cast<int>(rounds) / 5);
}

}  // namespace
}  // namespace norvane
