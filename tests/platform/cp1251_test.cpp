// Tests of the code page 1251 <-> UTF-8 conversion: the round trip of every
// byte, the letters users type, agreement with the C library's own table, and
// refusal of text that is not valid UTF-8 or not representable.
#include "engine/platform/cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <set>
#include <string>

namespace norvane {
namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

TEST(Cp1251Test, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1251ToUtf8(all);
  std::string back, error;
  ASSERT_TRUE(Utf8ToCp1251(utf8, back, error)) << error;
  EXPECT_EQ(Hex(back), Hex(all));
}

TEST(Cp1251Test, DistinctBytesGiveDistinctCharacters) {
  // A bijection: no two bytes may share a character, or the round trip above
  // could only hold by accident of search order.
  std::set<std::string> seen;
  for (int b = 0; b < 256; ++b) seen.insert(Cp1251ToUtf8(std::string(1, static_cast<char>(b))));
  EXPECT_EQ(seen.size(), 256u);
}

struct Letter {
  uint8_t byte;
  std::string utf8;  // written as bytes, so the expected encoding is visible
};
const Letter kLetters[] = {
    {0xC0, "\xD0\x90"},  // А
    {0xDF, "\xD0\xAF"},  // Я
    {0xE0, "\xD0\xB0"},  // а
    {0xEF, "\xD0\xBF"},  // п
    {0xF0, "\xD1\x80"},  // р
    {0xFF, "\xD1\x8F"},  // я
    {0xA8, "\xD0\x81"},  // Ё
    {0xB8, "\xD1\x91"},  // ё
    {0xB9, "\xE2\x84\x96"},  // №
    {0x88, "\xE2\x82\xAC"},  // €
    {0x98, "\xC2\x98"},  // unassigned: its own C1 control
    {0x41, "A"},
    {0x00, std::string(1, '\0')},
};

TEST(Cp1251Test, LettersMapBothWays) {
  for (const Letter& l : kLetters) {
    const std::string byte(1, static_cast<char>(l.byte));
    const std::string& utf8 = l.utf8;
    EXPECT_EQ(Hex(Cp1251ToUtf8(byte)), Hex(utf8)) << "byte " << Hex(byte);
    std::string back, error;
    EXPECT_TRUE(Utf8ToCp1251(utf8, back, error)) << error;
    EXPECT_EQ(Hex(back), Hex(byte));
  }
}

TEST(Cp1251Test, AlphabetIsContiguous) {
  for (int k = 0; k < 32; ++k) {
    const std::string capital(1, static_cast<char>(0xC0 + k));
    const std::string small(1, static_cast<char>(0xE0 + k));
    const uint32_t cpCapital = 0x0410 + k, cpSmall = 0x0430 + k;
    const std::string u1 = Cp1251ToUtf8(capital), u2 = Cp1251ToUtf8(small);
    ASSERT_EQ(u1.size(), 2u);
    ASSERT_EQ(u2.size(), 2u);
    EXPECT_EQ(((u1[0] & 0x1Fu) << 6) | (u1[1] & 0x3Fu), cpCapital);
    EXPECT_EQ(((u2[0] & 0x1Fu) << 6) | (u2[1] & 0x3Fu), cpSmall);
  }
}

TEST(Cp1251Test, TableAgreesWithIconv) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv has no CP1251";
  for (int b = 0; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in the code page; ours is U+0098
    char in = static_cast<char>(b);
    char out[8];
    char* inPtr = &in;
    char* outPtr = out;
    size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1))
        << "iconv refused byte " << b;
    const std::string expected(out, outPtr - out);
    EXPECT_EQ(Hex(Cp1251ToUtf8(std::string(1, in))), Hex(expected)) << "byte " << b;
  }
  iconv_close(cd);
}

struct Refusal {
  const char* name;
  std::string text;
  std::string message;
};
const std::string kNotUtf8 = "The text is not valid UTF-8.";
const Refusal kRefusals[] = {
    {"CJK character", "ab\xE4\xB8\xAD", "The character U+4E2D cannot be written in code page 1251."},
    {"emoji", "\xF0\x9F\x98\x80", "The character U+1F600 cannot be written in code page 1251."},
    {"Latin-1 letter", "\xC3\xA9", "The character U+00E9 cannot be written in code page 1251."},
    {"overlong NUL", std::string("\xC0\x80"), kNotUtf8},
    {"overlong slash, 3 bytes", "\xE0\x80\xAF", kNotUtf8},
    {"overlong slash, 4 bytes", "\xF0\x80\x80\xAF", kNotUtf8},
    {"overlong U+07FF in 3 bytes", "\xE0\x9F\xBF", kNotUtf8},
    {"high surrogate", "\xED\xA0\x80", kNotUtf8},
    {"low surrogate", "\xED\xBF\xBF", kNotUtf8},
    {"above U+10FFFF", "\xF4\x90\x80\x80", kNotUtf8},
    {"lead byte F5", "\xF5\x80\x80\x80", kNotUtf8},
    {"truncated 2-byte", "a\xD0", kNotUtf8},
    {"truncated 3-byte", "\xE2\x84", kNotUtf8},
    {"truncated 4-byte", "\xF0\x9F\x98", kNotUtf8},
    {"stray continuation", "a\x80z", kNotUtf8},
    {"bad continuation", "\xD0\x41", kNotUtf8},
    {"byte FF", "\xFF", kNotUtf8},
};

TEST(Cp1251Test, RefusesInvalidOrUnrepresentableText) {
  for (const Refusal& r : kRefusals) {
    std::string out, error;
    EXPECT_FALSE(Utf8ToCp1251(r.text, out, error)) << r.name;
    EXPECT_EQ(error, r.message) << r.name;
  }
}

TEST(Cp1251Test, BoundaryCharactersDecodeBeforeBeingRefused) {
  // Boundaries just inside the valid ranges must not be taken for errors:
  // U+0080 (smallest 2-byte form, unrepresentable), U+FFFF and U+10FFFF.
  struct Edge {
    std::string text;
    const char* code;
  };
  const Edge kEdges[] = {{"\xC2\x80", "U+0080"}, {"\xEF\xBF\xBF", "U+FFFF"},
                         {"\xF4\x8F\xBF\xBF", "U+10FFFF"}, {"\xEE\x80\x80", "U+E000"}};
  for (const Edge& e : kEdges) {
    std::string out, error;
    EXPECT_FALSE(Utf8ToCp1251(e.text, out, error));
    EXPECT_EQ(error, std::string("The character ") + e.code + " cannot be written in code page 1251.");
  }
}

}  // namespace
}  // namespace norvane
