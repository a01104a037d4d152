// Hexadecimal and Base64 text of bytes: the RFC 4648 examples for Base64
// (same alphabet and padding as RFC 2045), strict decoding, and round trips.
#include "engine/protection/string_format.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

std::vector<uint8_t> V(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

struct Case { std::string bytes; const char* text; };

TEST(StringFormat, Base64Examples) {
  const Case kCases[] = {{"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},
                         {"foo", "Zm9v"},   {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                         {"foobar", "Zm9vYmFy"},
                         {std::string("\xFB\xFF\xBF", 3), "+/+/"}};
  const TStringFormat& format = DefaultStringFormat();
  for (const Case& c : kCases) {
    const std::vector<uint8_t> bytes = V(c.bytes);
    EXPECT_EQ(format.Encode(bytes.data(), bytes.size()), c.text);
    std::vector<uint8_t> back{0x55};
    EXPECT_TRUE(format.Decode(c.text, back)) << c.text;
    EXPECT_EQ(back, bytes);
  }
  EXPECT_EQ(TStringFormat_MIME64::kFormatCode, 0x1064);
  EXPECT_NE(dynamic_cast<const TStringFormat_MIME64*>(&format), nullptr);
}

TEST(StringFormat, Base64RejectsMalformedText) {
  const char* kBad[] = {"Zg=",  "Zg",   "Z===", "====", "Zm9=v", "Zm=v", "Zg==Zg==",
                        "Zm9v\n", "Zm-v", "Zh==", "Zm9=",  "Zm 9v"};
  for (const char* text : kBad) {
    std::vector<uint8_t> out{1, 2};
    EXPECT_FALSE(DefaultStringFormat().Decode(text, out)) << text;
    EXPECT_TRUE(out.empty()) << text;
  }
}

TEST(StringFormat, HexBothWays) {
  const TStringFormat_HEX hex;
  const std::vector<uint8_t> bytes = {0x00, 0x1F, 0xA0, 0xFF};
  EXPECT_EQ(hex.Encode(bytes.data(), bytes.size()), "001FA0FF");
  std::vector<uint8_t> back;
  EXPECT_TRUE(hex.Decode("001fA0ff", back));
  EXPECT_EQ(back, bytes);
  for (const char* bad : {"0", "0G", "x1", "001F A0"}) {
    EXPECT_FALSE(hex.Decode(bad, back)) << bad;
    EXPECT_TRUE(back.empty());
  }
}

TEST(StringFormat, RandomRoundTrips) {
  std::mt19937 random(11);
  const TStringFormat_HEX hex;
  const TStringFormat_MIME64 mime;
  for (size_t n = 0; n < 200; ++n) {
    std::vector<uint8_t> bytes(n);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    for (const TStringFormat* format : {static_cast<const TStringFormat*>(&hex),
                                        static_cast<const TStringFormat*>(&mime)}) {
      std::vector<uint8_t> back;
      ASSERT_TRUE(format->Decode(format->Encode(bytes.data(), n), back));
      ASSERT_EQ(back, bytes);
    }
    EXPECT_EQ(mime.Encode(bytes.data(), n).size(), (n + 2) / 3 * 4);
  }
}

}  // namespace
}  // namespace norvane
