// Code page 1251 <-> UTF-8. Bytes below 0x80 are ASCII; the upper half goes
// through one fixed table, whose inverse is searched when encoding. The table
// is a bijection (0x98 stands for U+0098), so every byte string survives a
// round trip through UTF-8.
#include "engine/platform/cp1251.h"

#include <cstdint>
#include <cstdio>

namespace norvane {
namespace {

// Unicode code points of bytes 0x80..0xFF, in byte order.
constexpr uint16_t kUpperHalf[128] = {
    // 0x80..0x8F
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    // 0x90..0x9F (0x98 is unassigned in the code page; it keeps its own C1 code)
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // 0xA0..0xAF
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    // 0xB0..0xBF
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0..0xFF: the Russian alphabet А..я in Unicode order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // The table holds only characters of the basic plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one character starting at text[i] and advances i past it. Returns
// false on a sequence UTF-8 forbids: a stray continuation byte, a truncated
// sequence, an overlong form, a surrogate or a code point above U+10FFFF.
bool DecodeUtf8(std::string_view text, size_t& i, uint32_t& cp) {
  const uint8_t lead = static_cast<uint8_t>(text[i]);
  int extra;
  uint32_t minimum;
  if (lead < 0x80) {
    cp = lead;
    ++i;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    minimum = 0x80;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    minimum = 0x800;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    minimum = 0x10000;
    cp = lead & 0x07;
  } else {
    return false;  // continuation byte, 0xC0/0xC1 (always overlong) or 0xF5+
  }
  if (text.size() - i <= static_cast<size_t>(extra)) return false;
  for (int k = 1; k <= extra; ++k) {
    const uint8_t b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

// The code page byte of a code point at or above U+0080, or -1.
int EncodeUpper(uint32_t cp) {
  // The alphabet is by far the most common case and is contiguous.
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (int k = 0; k < 128; ++k) {
    if (kUpperHalf[k] == cp) return 0x80 + k;
  }
  return -1;
}

}  // namespace

char16_t Cp1251Unit(uint8_t byte) { return byte < 0x80 ? byte : kUpperHalf[byte - 0x80]; }

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, Cp1251Unit(static_cast<uint8_t>(c)));
  return out;
}

bool Utf8ToCp1251(std::string_view text, std::string& out, std::string& error) {
  out.clear();
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    uint32_t cp;
    if (!DecodeUtf8(text, i, cp)) {
      error = "The text is not valid UTF-8.";
      return false;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    const int b = EncodeUpper(cp);
    if (b < 0) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
      error = std::string("The character ") + code + " cannot be written in code page 1251.";
      return false;
    }
    out += static_cast<char>(b);
  }
  return true;
}

}  // namespace norvane
