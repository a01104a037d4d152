// Tests of the orders users see: Russian text under ru_RU (the alphabet, case,
// digits and Latin, a dictionary), the English and Ukrainian tables, the fixed
// Turkish tables, and the process-wide tables built from the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/platform/cp1251.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
#include "tests/protection/fake_locale.h"
#include "tests/support/engine_text.h"

namespace norvane {
namespace {

using testing::W;

uint8_t B(const std::string& utf8) { return static_cast<uint8_t>(W(utf8).at(0)); }

// Tables together with the locale service they point at.
struct TLocaleTables {
  std::unique_ptr<TLocaleService> locale;
  TCollationTables tables;
};

TLocaleTables TablesOf(const std::string& name) {
  TLocaleTables t{MakeLocale(name), {}};
  t.tables = BuildCollationTables(*t.locale);
  return t;
}

const std::string kLower = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
const std::string kUpper = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";

TEST(CollationOrderTest, RanksArePermutations) {
  for (const char* name : {"ru_RU", "en_US", "uk_UA"}) {
    const TLocaleTables l = TablesOf(name);
    const TCollationTables& t = l.tables;
    ASSERT_TRUE(t.UseRanks) << name;
    std::vector<bool> seen(256);
    for (int c = 0; c < 256; ++c) {
      EXPECT_FALSE(seen[t.Rank[c]]) << name << ": rank " << int(t.Rank[c]) << " taken twice";
      seen[t.Rank[c]] = true;
      EXPECT_EQ(t.Unrank[t.Rank[c]], c) << name;
    }
  }
}

TEST(CollationOrderTest, RussianAlphabetInOrder) {
  const TLocaleTables l = TablesOf("ru_RU");
  const TCollationTables& t = l.tables;
  EXPECT_EQ(t.LocaleId, 1049u);
  const std::string lower = W(kLower), upper = W(kUpper);
  ASSERT_EQ(lower.size(), 33u);
  ASSERT_EQ(upper.size(), 33u);
  for (size_t i = 0; i + 1 < lower.size(); ++i) {
    for (const std::string* letters : {&lower, &upper}) {
      const std::string x = letters->substr(i, 1), y = letters->substr(i + 1, 1);
      EXPECT_LT(CollateCompare(t, x.c_str(), y.c_str()), 0) << i;
      EXPECT_LT(CollateCompareCI(t, x.c_str(), y.c_str()), 0) << i;
      EXPECT_LT(t.Rank[static_cast<uint8_t>(x[0])], t.Rank[static_cast<uint8_t>(y[0])]) << i;
    }
  }
  // ё sits right beside е: no other letter of the alphabet, in either case,
  // has a rank between them.
  const int e = t.Rank[B("е")], yo = t.Rank[B("ё")];
  for (const std::string* letters : {&lower, &upper}) {
    for (char c : *letters) {
      const uint8_t byte = static_cast<uint8_t>(c);
      if (byte == B("е") || byte == B("Е") || byte == B("ё") || byte == B("Ё")) continue;
      const int r = t.Rank[byte];
      EXPECT_FALSE(r > e && r < yo) << "byte " << int(byte) << " between е and ё";
    }
  }
}

TEST(CollationOrderTest, RussianCaseIsIgnoredOnlyWhenAsked) {
  const TLocaleTables l = TablesOf("ru_RU");
  const TCollationTables& t = l.tables;
  const std::string lower = W(kLower + "abcdefghijklmnopqrstuvwxyz");
  const std::string upper = W(kUpper + "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  for (size_t i = 0; i < lower.size(); ++i) {
    const std::string x = lower.substr(i, 1), y = upper.substr(i, 1);
    EXPECT_EQ(CollateCompareCI(t, x.c_str(), y.c_str()), 0) << i;
    EXPECT_NE(CollateCompare(t, x.c_str(), y.c_str()), 0) << i;
    EXPECT_EQ(t.UpperRank[t.Rank[static_cast<uint8_t>(x[0])]], t.Rank[static_cast<uint8_t>(y[0])]);
  }
  // е and ё are different letters even without case.
  EXPECT_LT(CollateCompareCI(t, W("Е").c_str(), W("ё").c_str()), 0);
  EXPECT_LT(CollateCompareCI(t, W("ё").c_str(), W("Ж").c_str()), 0);
}

TEST(CollationOrderTest, DigitsAndLatinKeepTheirOrder) {
  for (const char* name : {"ru_RU", "en_US"}) {
    const TLocaleTables l = TablesOf(name);
    const TCollationTables& t = l.tables;
    const std::string run = " 0123456789abcdefghijklmnopqrstuvwxyz";
    for (size_t i = 0; i + 1 < run.size(); ++i) {
      const std::string x = run.substr(i, 1), y = run.substr(i + 1, 1);
      EXPECT_LT(CollateCompare(t, x.c_str(), y.c_str()), 0) << name << ": " << x << " < " << y;
    }
    EXPECT_LT(CollateCompare(t, "10", "9"), 0) << name;  // text, not numbers
    EXPECT_LT(CollateCompareCI(t, "Zebra", "zebras"), 0) << name;
  }
}

TEST(CollationOrderTest, ScriptsKeepTheirCommonOrderInEveryLocale) {
  // Latin before Cyrillic whatever the locale, as where the files are also made.
  struct Case { const char* locale; const char* first; const char* second; };
  const Case kCases[] = {{"ru_RU", "zebra", "абажур"}, {"en_US", "zebra", "абажур"},
                         {"ru_RU", "2024", "абажур"}, {"en_US", "2024", "абажур"}};
  for (const Case& c : kCases) {
    const TLocaleTables l = TablesOf(c.locale);
    EXPECT_LT(CollateCompareCI(l.tables, W(c.first).c_str(), W(c.second).c_str()), 0)
        << c.locale << ": " << c.first << " < " << c.second;
  }
}

TEST(CollationOrderTest, RussianDictionaryOrder) {
  const std::vector<std::string> kDictionary = {
      "1812", "1984", "20 лет спустя", "Apple", "banana", "Zebra", "абажур", "Абрикос", "азбука", "Баня", "берег",
      "Берёза", "весна", "Еда", "ель", "ёж", "Ёлка", "Ёлка 2", "жук", "Журнал",
      "журналист", "Москва", "мост", "объём", "подвал", "подъезд", "яблоко", "Ягода",
      "Ящик"};
  const TLocaleTables l = TablesOf("ru_RU");
  std::vector<std::string> expected;
  for (const std::string& word : kDictionary) expected.push_back(W(word));

  std::vector<std::string> words = expected;
  std::shuffle(words.begin(), words.end(), std::mt19937(1251));
  std::sort(words.begin(), words.end(), [&](const std::string& a, const std::string& b) {
    return CollateCompareCI(l.tables, a.c_str(), b.c_str()) < 0;
  });
  for (size_t i = 0; i < words.size(); ++i)
    EXPECT_EQ(Cp1251ToUtf8(words[i]), kDictionary[i]) << "position " << i;
  for (size_t i = 0; i + 1 < expected.size(); ++i)
    EXPECT_LT(CollateCompareCI(l.tables, expected[i].c_str(), expected[i + 1].c_str()), 0)
        << kDictionary[i] << " < " << kDictionary[i + 1];
}

// The Turkish upper-case mapping as ranges: bytes first..last become
// target.. in step; every other byte is its own capital.
struct UpperRange { int first, last, target; };
const UpperRange kTurkishUpper[] = {{97, 104, 65}, {105, 105, 221}, {106, 122, 74},
                                    {224, 246, 192}, {249, 252, 217}, {253, 253, 73},
                                    {254, 254, 222}};

int ExpectedTurkishUpper(int c) {
  for (const UpperRange& r : kTurkishUpper) {
    if (c >= r.first && c <= r.last) return r.target + (c - r.first);
  }
  return c;
}

struct RankRow { int row; uint8_t ranks[16]; };
const RankRow kTurkishRows[] = {
    {0, {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {2, {1, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47}},
    {4, {64, 72, 82, 84, 88, 94, 100, 102, 106, 112, 120, 122, 124, 126, 129, 136}},
    {6, {182, 65, 81, 83, 87, 89, 99, 101, 105, 117, 119, 121, 123, 125, 127, 131}},
    {12, {74, 76, 75, 77, 80, 73, 78, 86, 98, 95, 96, 97, 116, 113, 114, 115}},
    {13, {104, 130, 139, 137, 138, 140, 142, 244, 245, 163, 161, 162, 165, 118, 153, 151}},
    {15, {103, 128, 133, 132, 134, 135, 141, 246, 247, 158, 159, 157, 164, 107, 152, 173}},
};

void CheckTurkishTables(const TCollationTables& t, const char* source) {
  EXPECT_EQ(t.LocaleId, 1055u) << source;
  ASSERT_TRUE(t.UseRanks) << source;
  for (const RankRow& r : kTurkishRows) {
    for (int k = 0; k < 16; ++k)
      EXPECT_EQ(t.Rank[16 * r.row + k], r.ranks[k]) << source << ": byte " << 16 * r.row + k;
  }
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(t.Unrank[t.Rank[c]], c) << source;
    EXPECT_EQ(t.UpperRank[t.Rank[c]], t.Rank[ExpectedTurkishUpper(c)]) << source << ": byte " << c;
  }
  struct Pair { const char* a; const char* b; int sensitive, caseless; };
  const Pair kPairs[] = {{"i", "\xDD", -1, 0},  {"\xFD", "I", -1, 0}, {"i", "I", 1, 1},
                         {"a", "A", -1, 0},     {"\xFE", "\xDE", -1, 0}, {"s", "\xFE", -1, -1},
                         {"\xE7", "\xC7", -1, 0}, {"\xFF", "\xFF", 0, 0}};
  for (const Pair& p : kPairs) {
    const int cs = CollateCompare(t, p.a, p.b), ci = CollateCompareCI(t, p.a, p.b);
    EXPECT_EQ((cs > 0) - (cs < 0), p.sensitive) << source << ": " << int(uint8_t(p.a[0]));
    EXPECT_EQ((ci > 0) - (ci < 0), p.caseless) << source << ": " << int(uint8_t(p.a[0]));
  }
}

TEST(CollationOrderTest, TurkishUsesTheFixedTables) {
  // A locale that answers nonsense: the fixed tables must not ask it.
  testing::TFakeLocale nonsense;
  nonsense.id = 1055;
  nonsense.compare = [](uint8_t, uint8_t) { return -1; };
  nonsense.upper = [](uint8_t) { return static_cast<uint8_t>('?'); };
  CheckTurkishTables(BuildCollationTables(nonsense), "fake 1055");
  CheckTurkishTables(TablesOf("tr_TR").tables, "tr_TR");
}

TEST(CollationOrderTest, ProcessTablesComeFromTheEnvironment) {
  const TCollationTables& t = Collation();
  EXPECT_EQ(&Collation(), &t);
  const auto user = MakeUserLocale();
  const TCollationTables fresh = BuildCollationTables(*user);
  EXPECT_EQ(t.LocaleId, user->Id());
  EXPECT_EQ(t.UseRanks, fresh.UseRanks);
  EXPECT_EQ(t.Rank, fresh.Rank);
  EXPECT_EQ(t.UpperRank, fresh.UpperRank);
  ASSERT_NE(t.Locale, nullptr);
  const std::string a = W("Ёлка"), b = W("ёлка 2");
  EXPECT_EQ(CollateCompare(a.c_str(), b.c_str()), CollateCompare(fresh, a.c_str(), b.c_str()));
  EXPECT_EQ(CollateCompareCI(a.c_str(), b.c_str()), CollateCompareCI(fresh, a.c_str(), b.c_str()));
  EXPECT_EQ(CollateCompareN(a.c_str(), b.c_str(), 3), CollateCompareN(fresh, a.c_str(), b.c_str(), 3));
  EXPECT_EQ(CollateCompareCIN(a.c_str(), b.c_str(), 5), CollateCompareCIN(fresh, a.c_str(), b.c_str(), 5));
}

}  // namespace
}  // namespace norvane
