// Tests of the ICU locale service: which locale the environment selects and
// the identifier it is given, the order and case of single code page 1251
// characters, and whole-string comparison and sort keys with and without
// case.
#include "engine/platform/locale_service.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/platform/cp1251.h"
#include "tests/support/engine_text.h"

namespace norvane {
namespace {

using testing::W;

uint8_t B(const std::string& utf8) {
  const std::string text = W(utf8);
  EXPECT_EQ(text.size(), 1u) << utf8;
  return text.empty() ? 0 : static_cast<uint8_t>(text[0]);
}

// Saves the locale variables and puts them back, whatever the test did.
class TEnvironmentGuard {
 public:
  TEnvironmentGuard() {
    for (int i = 0; i < 3; ++i) {
      const char* value = getenv(kNames[i]);
      if (value != nullptr) saved_[i] = value;
    }
  }
  ~TEnvironmentGuard() {
    for (int i = 0; i < 3; ++i) Set(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
  }
  static void Set(const char* name, const char* value) {
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_COLLATE", "LANG"};

 private:
  std::optional<std::string> saved_[3];
};

struct EnvCase {
  const char* lcAll;
  const char* lcCollate;
  const char* lang;
  uint32_t id;
};
const EnvCase kEnvironments[] = {
    {nullptr, nullptr, "ru_RU.CP1251", 1049},
    {nullptr, nullptr, "ru_RU.UTF-8", 1049},
    {nullptr, nullptr, "en_US.UTF-8", 1033},
    {nullptr, nullptr, "en_GB.UTF-8", 2057},
    {nullptr, nullptr, "tr_TR", 1055},
    {nullptr, nullptr, "uk_UA.KOI8-U", 1058},
    {nullptr, nullptr, "be_BY.UTF-8@latin", 1059},
    {nullptr, nullptr, "de_DE@euro", 1031},
    {nullptr, nullptr, "es_ES.UTF-8", 3082},
    {nullptr, nullptr, "kk_KZ.UTF-8", 1087},
    {nullptr, nullptr, "en-GB", 2057},
    {"tr_TR.UTF-8", "en_GB.UTF-8", "uk_UA.UTF-8", 1055},  // LC_ALL first
    {nullptr, "en_GB.UTF-8", "uk_UA.UTF-8", 2057},        // then LC_COLLATE
    {"", "", "uk_UA.UTF-8", 1058},                        // empty values are skipped
    {"", "de_DE.UTF-8", nullptr, 1031},
    {nullptr, nullptr, "C", 1049},
    {nullptr, nullptr, "POSIX", 1049},
    {nullptr, nullptr, "C.UTF-8", 1049},
    {"C", "en_US.UTF-8", "en_US.UTF-8", 1049},  // a set LC_ALL wins even when it is C
    {nullptr, nullptr, "", 1049},
    {nullptr, nullptr, nullptr, 1049},
    {nullptr, nullptr, "ru_UA.UTF-8", 1049},  // unlisted country: the language's
    {nullptr, nullptr, "en_NZ.UTF-8", 1033},
    {nullptr, nullptr, "de_LU.UTF-8", 1031},
    {nullptr, nullptr, "ru", 1049},
    {nullptr, nullptr, "xx_YY.UTF-8", 1033},  // unknown language: English
};

TEST(LocaleServiceTest, EnvironmentSelectsTheLocale) {
  TEnvironmentGuard guard;
  for (const EnvCase& c : kEnvironments) {
    TEnvironmentGuard::Set("LC_ALL", c.lcAll);
    TEnvironmentGuard::Set("LC_COLLATE", c.lcCollate);
    TEnvironmentGuard::Set("LANG", c.lang);
    const std::string label = std::string("LC_ALL=") + (c.lcAll ? c.lcAll : "(unset)") +
                              " LC_COLLATE=" + (c.lcCollate ? c.lcCollate : "(unset)") +
                              " LANG=" + (c.lang ? c.lang : "(unset)");
    EXPECT_EQ(MakeUserLocale()->Id(), c.id) << label;
  }
}

TEST(LocaleServiceTest, NamedLocalesHaveTheirIdentifiers) {
  struct Named { const char* name; uint32_t id; };
  const Named kNamed[] = {{"ru_RU", 1049}, {"en_US", 1033}, {"en_GB", 2057}, {"tr_TR", 1055},
                          {"uk_UA", 1058}, {"be_BY", 1059}, {"de_DE", 1031}, {"fr_FR", 1036},
                          {"es_ES", 3082}, {"it_IT", 1040}, {"pl_PL", 1045}, {"kk_KZ", 1087},
                          {"bg_BG", 1026}, {"tr", 1055}, {"uk", 1058}, {"ru_RU.UTF-8", 1049},
                          {"", 1049}, {"POSIX", 1049}};
  for (const Named& n : kNamed) EXPECT_EQ(MakeLocale(n.name)->Id(), n.id) << n.name;
}

TEST(LocaleServiceTest, UserLocaleSortsAsTheNamedOne) {
  // The environment's name reaches ICU: Turkish upper-cases i to İ, which
  // code page 1251 lacks, so i keeps its case there and nowhere else.
  TEnvironmentGuard guard;
  TEnvironmentGuard::Set("LC_ALL", "tr_TR.UTF-8");
  EXPECT_EQ(MakeUserLocale()->UpperChar('i'), 'i');
  TEnvironmentGuard::Set("LC_ALL", "en_US.UTF-8");
  EXPECT_EQ(MakeUserLocale()->UpperChar('i'), 'I');
}

TEST(LocaleServiceTest, UnknownLocaleKeepsItsOwnCollation) {
  // Welsh is not in the identifier table, so it is called English, yet ICU
  // still sorts by Welsh rules: "dd" is one letter after d, so "de" < "dd".
  const auto welsh = MakeLocale("cy_GB");
  const auto english = MakeLocale("en_US");
  EXPECT_EQ(welsh->Id(), 1033u);
  EXPECT_LT(welsh->CompareStrings("de", "dd", false), 0);
  EXPECT_GT(english->CompareStrings("de", "dd", false), 0);
}

TEST(LocaleServiceTest, RussianOrdersSingleCharacters) {
  const auto ru = MakeLocale("ru_RU");
  struct Pair { const char* before; const char* after; };
  const Pair kOrdered[] = {
      {"а", "б"}, {"е", "ё"}, {"ё", "ж"}, {"ю", "я"}, {"а", "А"}, {"Е", "ё"},
      {"0", "9"}, {"9", "a"}, {"a", "b"}, {"a", "A"}, {"y", "z"}, {" ", "0"}, {"!", "0"},
  };
  for (const Pair& p : kOrdered) {
    EXPECT_LT(ru->CompareChars(B(p.before), B(p.after)), 0) << p.before << " < " << p.after;
    EXPECT_GT(ru->CompareChars(B(p.after), B(p.before)), 0) << p.after << " > " << p.before;
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(ru->CompareChars(c, c), 0) << c;
  // Byte 0 is the character U+0000: ignorable like the other controls, and
  // before every letter.
  EXPECT_EQ(ru->CompareChars(0, 0x01), 0);
  EXPECT_LT(ru->CompareChars(0, 'a'), 0);
}

struct Upper { const char* locale; const char* lower; const char* upper; };
const Upper kUppers[] = {
    {"ru_RU", "а", "А"}, {"ru_RU", "я", "Я"}, {"ru_RU", "ё", "Ё"}, {"ru_RU", "a", "A"},
    {"ru_RU", "z", "Z"}, {"ru_RU", "ў", "Ў"}, {"ru_RU", "і", "І"}, {"ru_RU", "ѓ", "Ѓ"},
    {"ru_RU", "ђ", "Ђ"}, {"ru_RU", "ґ", "Ґ"}, {"ru_RU", "i", "I"}, {"ru_RU", "А", "А"},
    {"ru_RU", "7", "7"}, {"ru_RU", "№", "№"}, {"en_US", "i", "I"}, {"uk_UA", "ї", "Ї"},
    {"tr_TR", "i", "i"},  // İ is not in code page 1251
    {"ru_RU", "µ", "µ"},  // its capital is Greek Μ, also not in the code page
};

TEST(LocaleServiceTest, UpperCasesSingleCharacters) {
  for (const Upper& u : kUppers) {
    EXPECT_EQ(MakeLocale(u.locale)->UpperChar(B(u.lower)), B(u.upper))
        << u.locale << ": " << u.lower << " -> " << u.upper;
  }
  const auto ru = MakeLocale("ru_RU");
  EXPECT_EQ(ru->UpperChar(0), 0);
  EXPECT_EQ(ru->UpperChar(0x98), 0x98);  // the unassigned byte
}

struct StringCase { const char* a; const char* b; int sensitive; int caseless; };
const StringCase kStrings[] = {
    {"абв", "абв", 0, 0},
    {"абв", "АБВ", -1, 0},
    {"Ёлка", "ёлка", 1, 0},
    // Whole strings weigh ё as е with a mark, which counts only when the
    // letters agree; the table walk of the collation treats it as a letter.
    {"ёлка", "ель", -1, -1},
    {"елка", "ёлка", -1, -1},
    {"елка", "Ёлка", -1, -1},
    {"ёж", "жук", -1, -1},
    {"берег", "берёза", -1, -1},
    {"журнал", "журналист", -1, -1},
    {"Москва", "мост", -1, -1},
    {"", "", 0, 0},
    {"", "а", -1, -1},
    {"2024", "Архив", -1, -1},
};

TEST(LocaleServiceTest, ComparesWholeStrings) {
  const auto ru = MakeLocale("ru_RU");
  for (const StringCase& s : kStrings) {
    const std::string a = W(s.a), b = W(s.b);
    EXPECT_EQ(ru->CompareStrings(a, b, false), s.sensitive) << s.a << " vs " << s.b;
    EXPECT_EQ(ru->CompareStrings(b, a, false), -s.sensitive) << s.b << " vs " << s.a;
    EXPECT_EQ(ru->CompareStrings(a, b, true), s.caseless) << s.a << " vs " << s.b << " (no case)";
    EXPECT_EQ(ru->CompareStrings(b, a, true), -s.caseless) << s.b << " vs " << s.a << " (no case)";
  }
}

std::u16string Utf16(const std::string& cp1251) {
  std::u16string out;
  for (char c : cp1251) out += Cp1251Unit(static_cast<uint8_t>(c));
  return out;
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(LocaleServiceTest, SortKeysOrderAsTheComparison) {
  const auto ru = MakeLocale("ru_RU");
  for (const StringCase& s : kStrings) {
    for (bool ignoreCase : {false, true}) {
      // Keys are appended: what `out` already holds stays in front.
      std::string a = "kept", b;
      ru->AppendSortKey(Utf16(W(s.a)), ignoreCase, a);
      ru->AppendSortKey(Utf16(W(s.b)), ignoreCase, b);
      ASSERT_EQ(a.substr(0, 4), "kept");
      a.erase(0, 4);
      for (const std::string& key : {a, b}) {
        EXPECT_EQ(key.find('\0'), key.size() - 1) << s.a << " / " << s.b << ": one 0, at the end";
      }
      EXPECT_EQ(Sign(a.compare(b)), ignoreCase ? s.caseless : s.sensitive)
          << s.a << " vs " << s.b << (ignoreCase ? " (no case)" : "");
    }
  }
}

TEST(LocaleServiceTest, LongSortKeysAreWhole) {
  // The Arabic ligature U+FDFA collates as the eighteen letters it stands
  // for: far more key bytes per unit than the first guess of room, so the
  // key is asked for twice.
  const auto ru = MakeLocale("ru_RU");
  const std::u16string text(20, u'\uFDFA');
  std::string whole, shorter;
  ru->AppendSortKey(text, false, whole);
  ru->AppendSortKey(text.substr(0, 19), false, shorter);
  EXPECT_GT(whole.size(), text.size() * 4 + 16);
  EXPECT_EQ(whole.find('\0'), whole.size() - 1);
  EXPECT_LT(shorter, whole);
}

TEST(LocaleServiceTest, StringsMayHoldZeroBytes) {
  // Lengths come from the views, so a zero byte is a character like any other.
  const auto ru = MakeLocale("ru_RU");
  const std::string withZero("a\0b", 3);
  EXPECT_GT(ru->CompareStrings(withZero, "a", false), 0);
  EXPECT_EQ(ru->CompareStrings(withZero, "ab", false), 0);  // U+0000 is ignorable
}

}  // namespace
}  // namespace norvane
