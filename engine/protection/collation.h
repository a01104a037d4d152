// Collation of the engine's 8-bit (code page 1251) text: four comparisons
// that order text as the user's locale does, by a table walk over 256 ranks
// built once per process, or through the locale itself when the ranks do not
// form a permutation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace norvane {

class TLocaleService;

struct TCollationTables {
  uint32_t LocaleId = 0;
  std::array<uint8_t, 256> Rank{};       // Rank[c]: the collation rank of byte c
  std::array<uint8_t, 256> Unrank{};     // Unrank[Rank[c]] == c
  std::array<uint8_t, 256> UpperRank{};  // UpperRank[Rank[c]] == Rank[upper(c)]
  bool UseRanks = false;                 // Rank is a permutation
  const TLocaleService* Locale = nullptr;  // compares when UseRanks is false
};

// Builds the tables from a locale service (1055 uses the fixed tables).
TCollationTables BuildCollationTables(const TLocaleService& locale);

// The process-wide tables, built from the user's locale at first use and
// never changed afterwards (unless a TCollationOverride is alive).
const TCollationTables& Collation();

// Makes `tables` the process-wide ones while the object lives and restores
// the previous ones when it goes, so that a test can reproduce files made
// under another user's locale. The tables must outlive the object. Sorted
// structures built under one collation are wrong under another: nothing
// that holds such a structure (an open container) may live across the
// switch. Not for use while other threads compare text.
class TCollationOverride {
 public:
  explicit TCollationOverride(const TCollationTables& tables);
  ~TCollationOverride();
  TCollationOverride(const TCollationOverride&) = delete;
  TCollationOverride& operator=(const TCollationOverride&) = delete;

 private:
  const TCollationTables* previous_;
};

// Negative, zero or positive as a sorts before, with or after b. Strings are
// zero-terminated; a null pointer counts as empty. The N forms compare at most
// the first n characters. The forms without tables use Collation().
int CollateCompare(const char* a, const char* b);
int CollateCompareN(const char* a, const char* b, size_t n);
int CollateCompareCI(const char* a, const char* b);
int CollateCompareCIN(const char* a, const char* b, size_t n);

int CollateCompare(const TCollationTables& t, const char* a, const char* b);
int CollateCompareN(const TCollationTables& t, const char* a, const char* b, size_t n);
int CollateCompareCI(const TCollationTables& t, const char* a, const char* b);
int CollateCompareCIN(const TCollationTables& t, const char* a, const char* b, size_t n);

}  // namespace norvane
