// Collation tables and the four comparisons. With a permutation of ranks a
// comparison is a walk over two byte strings and two small tables; without
// one every comparison goes to the locale service.
//
// The walk reads each string as the ranks of its characters followed by the
// terminator as the value 0. A character may itself have rank 0 (a locale can
// put any byte first), so the walk never takes a value of 0 for the end of a
// string: only the strings' own zero bytes end it.
#include "engine/protection/collation.h"

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/platform/locale_service.h"
#include "engine/protection/turkish_collation.h"

namespace norvane {
namespace {

constexpr size_t kWhole = SIZE_MAX;

const char* OrEmpty(const char* s) { return s != nullptr ? s : ""; }

// Compares the first `limit` positions by the rank walk.
int CompareByRanks(const TCollationTables& t, const char* a, const char* b, size_t limit,
                   bool ignoreCase) {
  for (size_t i = 0; i < limit; ++i) {
    const uint8_t ca = static_cast<uint8_t>(a[i]);
    const uint8_t cb = static_cast<uint8_t>(b[i]);
    int va = ca != 0 ? t.Rank[ca] : 0;
    int vb = cb != 0 ? t.Rank[cb] : 0;
    if (va != vb && ignoreCase) {
      // The terminator has no upper case; its value stays 0.
      va = ca != 0 ? t.UpperRank[va] : 0;
      vb = cb != 0 ? t.UpperRank[vb] : 0;
    }
    if (va != vb) return va - vb;
    if (ca == 0 || cb == 0) {
      // At least one string has ended and the values still agree: both
      // ended, or the other holds a character whose (upper) rank is 0. The
      // string that ended is the shorter one and sorts first.
      if (ca == cb) return 0;
      return ca == 0 ? -1 : 1;
    }
  }
  return 0;
}

// The first n characters of s (all of it when shorter).
std::string_view Prefix(const char* s, size_t n) {
  size_t length = 0;
  while (length < n && s[length] != 0) ++length;
  return std::string_view(s, length);
}

int Compare(const TCollationTables& t, const char* a, const char* b, size_t n, bool ignoreCase) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  if (t.UseRanks) return CompareByRanks(t, a, b, n, ignoreCase);
  const std::string_view pa = Prefix(a, n), pb = Prefix(b, n);
  if (t.Locale != nullptr) return t.Locale->CompareStrings(pa, pb, ignoreCase);
  // Tables that were never built: plain byte order is the only order left.
  return pa.compare(pb) < 0 ? -1 : (pa == pb ? 0 : 1);
}

}  // namespace

TCollationTables BuildCollationTables(const TLocaleService& locale) {
  TCollationTables t;
  t.LocaleId = locale.Id();
  t.Locale = &locale;
  const bool turkish = t.LocaleId == kTurkishLocaleId;

  if (turkish) {
    t.Rank = kTurkishRank;
  } else {
    for (int c = 0; c < 256; ++c) {
      // Characters the locale finds equal are put in byte order, so a
      // consistent locale always yields a permutation. An inconsistent one
      // may count 256 (wrapping to 0) or collide; UseRanks then stays false.
      int rank = 0;
      for (int p = 0; p < 256; ++p) {
        const int order = locale.CompareChars(static_cast<uint8_t>(p), static_cast<uint8_t>(c));
        if (order < 0 || (order == 0 && p < c)) ++rank;
      }
      t.Rank[c] = static_cast<uint8_t>(rank);
    }
  }

  std::array<bool, 256> seen{};
  for (int c = 0; c < 256; ++c) {
    t.Unrank[t.Rank[c]] = static_cast<uint8_t>(c);
    seen[t.Rank[c]] = true;
  }
  t.UseRanks = true;
  for (bool s : seen) t.UseRanks = t.UseRanks && s;

  if (t.UseRanks) {
    for (int c = 0; c < 256; ++c) {
      const uint8_t byte = static_cast<uint8_t>(c);
      const uint8_t upper = turkish ? TurkishUpper(byte) : locale.UpperChar(byte);
      t.UpperRank[t.Rank[c]] = t.Rank[upper];
    }
  }
  return t;
}

namespace {
const TCollationTables* overridden = nullptr;
}  // namespace

const TCollationTables& Collation() {
  if (overridden != nullptr) return *overridden;
  // The user's locale service is never destroyed: the tables point at it,
  // and text may still be compared while other statics are torn down.
  static const TCollationTables tables = BuildCollationTables(*MakeUserLocale().release());
  return tables;
}

TCollationOverride::TCollationOverride(const TCollationTables& tables) : previous_(overridden) {
  overridden = &tables;
}

TCollationOverride::~TCollationOverride() { overridden = previous_; }

int CollateCompare(const char* a, const char* b) { return CollateCompare(Collation(), a, b); }
int CollateCompareN(const char* a, const char* b, size_t n) {
  return CollateCompareN(Collation(), a, b, n);
}
int CollateCompareCI(const char* a, const char* b) { return CollateCompareCI(Collation(), a, b); }
int CollateCompareCIN(const char* a, const char* b, size_t n) {
  return CollateCompareCIN(Collation(), a, b, n);
}

int CollateCompare(const TCollationTables& t, const char* a, const char* b) {
  return Compare(t, a, b, kWhole, false);
}
int CollateCompareN(const TCollationTables& t, const char* a, const char* b, size_t n) {
  return Compare(t, a, b, n, false);
}
int CollateCompareCI(const TCollationTables& t, const char* a, const char* b) {
  return Compare(t, a, b, kWhole, true);
}
int CollateCompareCIN(const TCollationTables& t, const char* a, const char* b, size_t n) {
  return Compare(t, a, b, n, true);
}

}  // namespace norvane
