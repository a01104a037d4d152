// The RIPEMD-256 compression function: two lines of 64 steps, each with its
// own word order, rotations and round constants.
#include "engine/protection/hash_ripemd256.h"

#include <utility>

#include "engine/protection/key_material.h"

namespace norvane {

namespace {

// Message word taken by each step, left and right line.
constexpr uint8_t kWordLeft[64] = {
    0, 1, 2,  3,  4,  5,  6,  7,  8, 9, 10, 11, 12, 13, 14, 15,
    7, 4, 13, 1,  10, 6,  15, 3,  12, 0, 9, 5,  2,  14, 11, 8,
    3, 10, 14, 4, 9,  15, 8,  1,  2, 7, 0,  6,  13, 11, 5,  12,
    1, 9, 11, 10, 0,  8,  12, 4,  13, 3, 7, 15, 14, 5,  6,  2};
constexpr uint8_t kWordRight[64] = {
    5,  14, 7,  0, 9,  2,  11, 4,  13, 6,  15, 8,  1,  10, 3,  12,
    6,  11, 3,  7, 0,  13, 5,  10, 14, 15, 8,  12, 4,  9,  1,  2,
    15, 5,  1,  3, 7,  14, 6,  9,  11, 8,  12, 2,  10, 0,  4,  13,
    8,  6,  4,  1, 3,  11, 15, 0,  5,  12, 2,  13, 9,  7,  10, 14};

// Left rotation of each step, left and right line.
constexpr uint8_t kShiftLeft[64] = {
    11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,
    7,  6,  8,  13, 11, 9,  7,  15, 7,  12, 15, 9,  11, 7,  13, 12,
    11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,  5,  12, 7,  5,
    11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12};
constexpr uint8_t kShiftRight[64] = {
    8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6,
    9,  13, 15, 7,  12, 8,  9,  11, 7,  7,  12, 7,  6,  15, 13, 11,
    9,  7,  15, 11, 8,  6,  6,  14, 12, 13, 5,  14, 13, 13, 7,  5,
    15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9,  12, 5,  15, 8};

// Additive constant of each round: square roots of 2, 3, 5 on the left, cube
// roots of 2, 3, 5 on the right, zero in the first left and last right round.
constexpr uint32_t kConstLeft[4] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC};
constexpr uint32_t kConstRight[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x00000000};

constexpr uint32_t Rol(uint32_t v, unsigned s) { return (v << s) | (v >> (32 - s)); }

// The four boolean functions; the left line uses them in order 1, 2, 3, 4,
// the right line in order 4, 3, 2, 1.
constexpr uint32_t F(int f, uint32_t x, uint32_t y, uint32_t z) {
  switch (f) {
    case 0: return x ^ y ^ z;
    case 1: return (x & y) | (~x & z);
    case 2: return (x | ~y) ^ z;
    default: return (x & z) | (y & ~z);
  }
}

struct TLine {
  uint32_t a, b, c, d;

  // One step: the new word replaces A, and the registers turn one place so
  // the next step updates what was D.
  void Step(uint32_t f, uint32_t word, uint32_t k, unsigned s) {
    const uint32_t t = Rol(a + f + word + k, s);
    a = d;
    d = c;
    c = b;
    b = t;
  }
};

}  // namespace

THash_RipeMD256::THash_RipeMD256() : THash_MD4("THash_RipeMD256") { Init(); }

void THash_RipeMD256::Init() {
  ResetFraming();
  State = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
           0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};
}

// The left line starts from the first four state words and the right line
// from the last four; after rounds 1, 2, 3 and 4 the lines swap A, B, C and D
// respectively, and each line's result is added to its own four words.
void THash_RipeMD256::Transform(const uint32_t (&x)[16]) {
  TLine left{State[0], State[1], State[2], State[3]};
  TLine right{State[4], State[5], State[6], State[7]};
  for (int round = 0; round < 4; ++round) {
    for (int i = 16 * round; i < 16 * round + 16; ++i) {
      left.Step(F(round, left.b, left.c, left.d), x[kWordLeft[i]], kConstLeft[round],
                kShiftLeft[i]);
      right.Step(F(3 - round, right.b, right.c, right.d), x[kWordRight[i]], kConstRight[round],
                 kShiftRight[i]);
    }
    // Sixteen steps turn the registers four times round, so a, b, c, d name
    // the same registers as at the start of the round.
    switch (round) {
      case 0: std::swap(left.a, right.a); break;
      case 1: std::swap(left.b, right.b); break;
      case 2: std::swap(left.c, right.c); break;
      default: std::swap(left.d, right.d); break;
    }
  }
  State[0] += left.a;
  State[1] += left.b;
  State[2] += left.c;
  State[3] += left.d;
  State[4] += right.a;
  State[5] += right.b;
  State[6] += right.c;
  State[7] += right.d;
  // The lines hold state derived from the message: wiped like the state.
  WipeKeyMaterial(&left, sizeof left);
  WipeKeyMaterial(&right, sizeof right);
}

}  // namespace norvane
