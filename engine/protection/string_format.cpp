// Hexadecimal and Base64 text of byte strings.
#include "engine/protection/string_format.h"

#include <utility>

namespace norvane {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kBase64Digits[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string TStringFormat_HEX::Encode(const uint8_t* data, size_t n) const {
  std::string text;
  text.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    text += kHexDigits[data[i] >> 4];
    text += kHexDigits[data[i] & 0x0F];
  }
  return text;
}

bool TStringFormat_HEX::Decode(const std::string& text, std::vector<uint8_t>& out) const {
  out.clear();
  if (text.size() % 2 != 0) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  out = std::move(bytes);
  return true;
}

std::string TStringFormat_MIME64::Encode(const uint8_t* data, size_t n) const {
  std::string text;
  text.reserve((n + 2) / 3 * 4);
  for (size_t i = 0; i < n; i += 3) {
    // Up to three bytes make a 24-bit group; missing bytes count as zero and
    // their whole 6-bit digits become "=".
    const size_t have = n - i < 3 ? n - i : 3;
    uint32_t group = static_cast<uint32_t>(data[i]) << 16;
    if (have > 1) group |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (have > 2) group |= data[i + 2];
    text += kBase64Digits[(group >> 18) & 63];
    text += kBase64Digits[(group >> 12) & 63];
    text += have > 1 ? kBase64Digits[(group >> 6) & 63] : '=';
    text += have > 2 ? kBase64Digits[group & 63] : '=';
  }
  return text;
}

bool TStringFormat_MIME64::Decode(const std::string& text, std::vector<uint8_t>& out) const {
  out.clear();
  if (text.size() % 4 != 0) return false;
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    // "=" may stand only in the last two places of the last group, and
    // "x=y" is not a padding.
    const size_t padding = (last && text[i + 3] == '=') ? (text[i + 2] == '=' ? 2 : 1) : 0;
    uint32_t group = 0;
    for (size_t j = 0; j < 4; ++j) {
      const int v = j < 4 - padding ? Base64Value(text[i + j]) : 0;
      if (v < 0) return false;
      group = group << 6 | static_cast<uint32_t>(v);
    }
    // Bits below the last whole byte must be zero, or two texts would decode
    // to the same bytes.
    if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
      return false;
    bytes.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
  }
  out = std::move(bytes);
  return true;
}

const TStringFormat& DefaultStringFormat() {
  static const TStringFormat_MIME64 format;
  return format;
}

}  // namespace norvane
