// The fixed collation of the Turkish locale (1055): its ranks and its
// upper-case mapping are not asked of the locale but taken from these tables,
// so text written under it keeps the order its indexes were built with.
#pragma once

#include <array>
#include <cstdint>

namespace norvane {

constexpr uint32_t kTurkishLocaleId = 1055;

// kTurkishRank[c] is the rank of byte c; the table is a permutation.
extern const std::array<uint8_t, 256> kTurkishRank;

// The upper-case mapping that goes with kTurkishRank.
uint8_t TurkishUpper(uint8_t c);

}  // namespace norvane
