// Small whole-number helpers the engine uses in many places: counting the
// pages a size needs, and writing a number into a message.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

// a / b rounded up, for a >= 0 and b > 0; never overflows, even for sizes
// near INT64_MAX.
inline int64_t CeilDiv(int64_t a, int64_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// The number in decimal, as messages and reports show it.
inline std::string Num(int64_t n) { return std::to_string(n); }

}  // namespace norvane
