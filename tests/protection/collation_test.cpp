// Tests of the collation machinery with locales the test defines: how ranks
// are built (ties, inconsistent locales, the fixed Turkish tables), the rank
// walk against a plain model, characters of rank 0, and the fall-back to the
// locale's own string comparison.
#include "engine/protection/collation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/protection/fake_locale.h"

namespace norvane {
namespace {

using testing::TFakeLocale;

int Sign(int v) { return (v > 0) - (v < 0); }

// A heap copy holding exactly the string and its terminator, so a read past
// the terminator is an overrun the sanitizer build reports.
class TExact {
 public:
  explicit TExact(const std::string& s) : bytes_(new char[s.size() + 1]) {
    std::memcpy(bytes_.get(), s.c_str(), s.size() + 1);
  }
  const char* get() const { return bytes_.get(); }

 private:
  std::unique_ptr<char[]> bytes_;
};

// Byte order, except that `first` comes before everything, byte 0 included,
// so it has rank 0; 'a' upper-cases to 'A'.
TFakeLocale RankZeroLocale(uint8_t first = 'A') {
  TFakeLocale locale;
  locale.compare = [first](uint8_t a, uint8_t b) {
    auto key = [first](uint8_t c) { return c == first ? 0 : c + 1; };
    return key(a) - key(b);
  };
  locale.upper = [](uint8_t c) { return c == 'a' ? static_cast<uint8_t>('A') : c; };
  return locale;
}

TEST(CollationTest, EqualCharactersAreRankedByByte) {
  TFakeLocale allEqual;
  allEqual.compare = [](uint8_t, uint8_t) { return 0; };
  const TCollationTables t = BuildCollationTables(allEqual);
  EXPECT_TRUE(t.UseRanks);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(t.Rank[c], c);
    EXPECT_EQ(t.Unrank[c], c);
  }
}

TEST(CollationTest, RanksFollowTheLocaleOrder) {
  // Reverse byte order: byte c has rank 255 - c.
  TFakeLocale reverse;
  reverse.compare = [](uint8_t a, uint8_t b) { return b - a; };
  reverse.upper = [](uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; };
  const TCollationTables t = BuildCollationTables(reverse);
  ASSERT_TRUE(t.UseRanks);
  EXPECT_EQ(t.LocaleId, 1033u);
  EXPECT_EQ(t.Locale, &reverse);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(t.Rank[c], 255 - c);
    EXPECT_EQ(t.Unrank[t.Rank[c]], c);
  }
  EXPECT_EQ(t.UpperRank[t.Rank['q']], t.Rank['Q']);
  EXPECT_EQ(t.UpperRank[t.Rank['Q']], t.Rank['Q']);
  EXPECT_EQ(t.UpperRank[t.Rank['5']], t.Rank['5']);
  // The value of a difference is the difference of the ranks.
  EXPECT_EQ(CollateCompare(t, "b", "a"), t.Rank['b'] - t.Rank['a']);
  EXPECT_EQ(CollateCompare(t, "ab", "abc"), 0 - t.Rank['c']);
  EXPECT_EQ(CollateCompareCI(t, "q", "Q"), 0);
  EXPECT_EQ(CollateCompareCI(t, "q", "R"), t.Rank['Q'] - t.Rank['R']);
}

struct Basic { const char* a; const char* b; size_t n; int whole, prefix, wholeCI, prefixCI; };
const Basic kBasics[] = {
    {"ab", "abc", 2, -1, 0, -1, 0},
    {"ab", "abc", 3, -1, -1, -1, -1},
    {"ab", "abc", 0, -1, 0, -1, 0},
    {"abc", "abd", 2, -1, 0, -1, 0},
    {"abc", "abd", 100, -1, -1, -1, -1},
    {"abc", "abc", 100, 0, 0, 0, 0},
    {"ABC", "abc", 3, 1, 1, 0, 0},  // capitals follow their small letters
    {"b", "A", 1, 1, 1, 1, 1},
    {nullptr, "", 5, 0, 0, 0, 0},
    {nullptr, nullptr, 5, 0, 0, 0, 0},
    {nullptr, "a", 5, -1, -1, -1, -1},
    {"a", nullptr, 5, 1, 1, 1, 1},
    {"", "", 1, 0, 0, 0, 0},
};

TEST(CollationTest, BasicComparisons) {
  // A byte-order locale that upper-cases ASCII, so expected signs are plain.
  TFakeLocale ascii;
  ascii.compare = [](uint8_t a, uint8_t b) {
    auto key = [](uint8_t c) { return c >= 'A' && c <= 'Z' ? (c + 32) * 2 + 1 : c * 2; };
    return key(a) - key(b);
  };
  ascii.upper = [](uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; };
  const TCollationTables t = BuildCollationTables(ascii);
  ASSERT_TRUE(t.UseRanks);
  for (const Basic& c : kBasics) {
    const std::string label = std::string(c.a ? c.a : "(null)") + " vs " + (c.b ? c.b : "(null)") +
                              ", n=" + std::to_string(c.n);
    EXPECT_EQ(Sign(CollateCompare(t, c.a, c.b)), c.whole) << label;
    EXPECT_EQ(Sign(CollateCompareN(t, c.a, c.b, c.n)), c.prefix) << label;
    EXPECT_EQ(Sign(CollateCompareCI(t, c.a, c.b)), c.wholeCI) << label;
    EXPECT_EQ(Sign(CollateCompareCIN(t, c.a, c.b, c.n)), c.prefixCI) << label;
  }
  EXPECT_TRUE(ascii.calls.empty()) << "the locale was asked although ranks exist";
}

struct RankZeroCase { std::string a, b; size_t n; int whole, prefix, wholeCI, prefixCI; };
const RankZeroCase kRankZero[] = {
    {"A", "", 5, 1, 1, 1, 1},
    {"", "A", 5, -1, -1, -1, -1},
    {"xA", "x", 5, 1, 1, 1, 1},
    {"x", "xA", 5, -1, -1, -1, -1},
    {"xA", "x", 1, 1, 0, 1, 0},
    {"xA", "x", 2, 1, 1, 1, 1},
    {"A", "", 0, 1, 0, 1, 0},
    {"AA", "A", 5, 1, 1, 1, 1},
    {"A", "A", 5, 0, 0, 0, 0},
    {"AAA", "AAA", 2, 0, 0, 0, 0},
    {"A", "B", 5, -1, -1, -1, -1},
    // 'a' upper-cases to rank 0: without case it is still longer than "".
    {"a", "", 5, 1, 1, 1, 1},
    {"xa", "x", 5, 1, 1, 1, 1},
    {"", "xa", 5, -1, -1, -1, -1},
    {"a", "A", 5, 1, 1, 0, 0},
    {"xaA", "xAa", 5, 1, 1, 0, 0},
    {"xa", "xA", 1, 1, 0, 0, 0},
};

TEST(CollationTest, RankZeroNeverEndsAString) {
  const TFakeLocale locale = RankZeroLocale();
  const TCollationTables t = BuildCollationTables(locale);
  ASSERT_TRUE(t.UseRanks);
  ASSERT_EQ(t.Rank['A'], 0);
  ASSERT_EQ(t.UpperRank[t.Rank['a']], 0);
  for (const RankZeroCase& c : kRankZero) {
    const TExact a(c.a), b(c.b);
    const std::string label = "\"" + c.a + "\" vs \"" + c.b + "\", n=" + std::to_string(c.n);
    EXPECT_EQ(Sign(CollateCompare(t, a.get(), b.get())), c.whole) << label;
    EXPECT_EQ(Sign(CollateCompareN(t, a.get(), b.get(), c.n)), c.prefix) << label;
    EXPECT_EQ(Sign(CollateCompareCI(t, a.get(), b.get())), c.wholeCI) << label;
    EXPECT_EQ(Sign(CollateCompareCIN(t, a.get(), b.get(), c.n)), c.prefixCI) << label;
  }
}

// The order the walk must give, stated on values with explicit lengths: the
// first differing value decides by its difference; where one string has
// ended and the values agree, the shorter string sorts first.
int ModelCompare(const std::vector<int>& a, const std::vector<int>& b) {
  for (size_t i = 0;; ++i) {
    const bool endA = i == a.size(), endB = i == b.size();
    if (endA && endB) return 0;
    const int va = endA ? 0 : a[i], vb = endB ? 0 : b[i];
    if (va != vb) return va - vb;
    if (endA || endB) return endA ? -1 : 1;
  }
}

std::vector<int> Values(const TCollationTables& t, const std::string& s, size_t n, bool ignoreCase) {
  std::vector<int> out;
  for (size_t i = 0; i < s.size() && i < n; ++i) {
    const int rank = t.Rank[static_cast<uint8_t>(s[i])];
    out.push_back(ignoreCase ? t.UpperRank[rank] : rank);
  }
  return out;
}

void CheckAgainstModel(const TCollationTables& t, const std::string& alphabet, uint32_t seed) {
  std::mt19937 random(seed);
  auto pick = [&](size_t bound) { return static_cast<size_t>(random() % bound); };
  auto randomString = [&] {
    std::string s;
    for (size_t k = pick(6); k > 0; --k) s += alphabet[pick(alphabet.size())];
    return s;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string a = randomString();
    // Half the pairs share a prefix, where the interesting cases are.
    std::string b = a.substr(0, pick(a.size() + 1));
    if (pick(2) == 0) b = randomString();
    else if (pick(2) == 0) b += randomString();
    const size_t n = pick(8);
    const TExact ea(a), eb(b);
    const std::string label = "round " + std::to_string(round) + ", n=" + std::to_string(n);
    const size_t all = a.size() + b.size() + 1;
    // With case, ranks are distinct and the value is the model's exactly.
    // Without case only the sign is promised: where a string ends beside a
    // character of rank 0 the walk answers 1 whatever that character's capital.
    EXPECT_EQ(CollateCompare(t, ea.get(), eb.get()),
              ModelCompare(Values(t, a, all, false), Values(t, b, all, false))) << label;
    EXPECT_EQ(CollateCompareN(t, ea.get(), eb.get(), n),
              ModelCompare(Values(t, a, n, false), Values(t, b, n, false))) << label;
    EXPECT_EQ(Sign(CollateCompareCI(t, ea.get(), eb.get())),
              Sign(ModelCompare(Values(t, a, all, true), Values(t, b, all, true)))) << label;
    EXPECT_EQ(Sign(CollateCompareCIN(t, ea.get(), eb.get(), n)),
              Sign(ModelCompare(Values(t, a, n, true), Values(t, b, n, true)))) << label;
  }
}

TEST(CollationTest, RankWalkAgreesWithModel) {
  const TFakeLocale capitalFirst = RankZeroLocale('A');
  CheckAgainstModel(BuildCollationTables(capitalFirst), "AaBbx", 1);
  const TFakeLocale smallFirst = RankZeroLocale('a');
  CheckAgainstModel(BuildCollationTables(smallFirst), "AaBbx", 3);

  TFakeLocale turkish;
  turkish.id = 1055;
  CheckAgainstModel(BuildCollationTables(turkish), std::string("aAiI\xDD\xFD\x01 ", 8), 2);
}

TEST(CollationTest, TerminatorHasNoCapital) {
  // 'a' has rank 0 and its capital 'A' does not: the UpperRank entry of rank
  // 0 is Rank['A'], and the terminator must not take that value.
  const TFakeLocale locale = RankZeroLocale('a');
  const TCollationTables t = BuildCollationTables(locale);
  ASSERT_TRUE(t.UseRanks);
  ASSERT_EQ(t.Rank['a'], 0);
  ASSERT_NE(t.UpperRank[0], 0);
  struct Case { const char* a; const char* b; int value; };
  const Case kCases[] = {{"", "B", -t.Rank['B']}, {"B", "", t.Rank['B']},
                         {"x", "xA", -t.Rank['A']}, {"xb", "x", t.Rank['b']},
                         {"a", "", 1}, {"", "a", -1}, {"xa", "xA", 0}};
  for (const Case& c : kCases) {
    const TExact a(c.a), b(c.b);
    EXPECT_EQ(CollateCompareCI(t, a.get(), b.get()), c.value) << c.a << " vs " << c.b;
    EXPECT_EQ(CollateCompareCIN(t, a.get(), b.get(), 9), c.value) << c.a << " vs " << c.b;
  }
}

TEST(CollationTest, InconsistentLocaleComparesWholeStrings) {
  // "Every character sorts first" counts each byte 256 times: no permutation.
  TFakeLocale locale;
  locale.compare = [](uint8_t, uint8_t) { return -1; };
  locale.stringResult = -7;
  const TCollationTables t = BuildCollationTables(locale);
  ASSERT_FALSE(t.UseRanks);
  ASSERT_EQ(t.Locale, &locale);

  struct Delegated { int form; const char* a; const char* b; size_t n; TFakeLocale::TCall call; };
  const Delegated kDelegated[] = {
      {0, "abc", "abd", 0, {"abc", "abd", false}},
      {1, "abcdef", "abcxyz", 3, {"abc", "abc", false}},
      {1, "ab", "abcxyz", 4, {"ab", "abcx", false}},
      {1, "ab", "cd", 0, {"", "", false}},
      {2, "Abc", "aBD", 0, {"Abc", "aBD", true}},
      {3, "abcdef", "ABCXYZ", 4, {"abcd", "ABCX", true}},
      {3, "abc", "ABC", 100, {"abc", "ABC", true}},
      {0, nullptr, "x", 0, {"", "x", false}},
      {2, "x", nullptr, 0, {"x", "", true}},
  };
  for (const Delegated& d : kDelegated) {
    locale.calls.clear();
    int result = 0;
    switch (d.form) {
      case 0: result = CollateCompare(t, d.a, d.b); break;
      case 1: result = CollateCompareN(t, d.a, d.b, d.n); break;
      case 2: result = CollateCompareCI(t, d.a, d.b); break;
      case 3: result = CollateCompareCIN(t, d.a, d.b, d.n); break;
    }
    EXPECT_EQ(result, -7);
    ASSERT_EQ(locale.calls.size(), 1u) << "form " << d.form;
    EXPECT_EQ(locale.calls[0].a, d.call.a) << "form " << d.form;
    EXPECT_EQ(locale.calls[0].b, d.call.b) << "form " << d.form;
    EXPECT_EQ(locale.calls[0].ignoreCase, d.call.ignoreCase) << "form " << d.form;
  }
}

TEST(CollationTest, CollidingRanksAreNotUsed) {
  // Two bytes in a cycle (1 before 2 before 1) share a rank and leave a gap.
  TFakeLocale locale;
  locale.compare = [](uint8_t a, uint8_t b) {
    if ((a == 1 && b == 2) || (a == 2 && b == 1)) return -1;
    return a - b;
  };
  EXPECT_FALSE(BuildCollationTables(locale).UseRanks);
}

}  // namespace
}  // namespace norvane
