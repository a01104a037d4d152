// Field values in their stored form, for tests that build records: integers,
// floats, 8-bit text and 16-bit text, and the null value.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/tables/record_image.h"

namespace norvane::testing {

inline TFieldValue NullValue() { return {}; }

// UTF-8 text of the test's source as the engine's code page 1251 bytes.
inline std::string Cp1251(const std::string& utf8) {
  std::string out, error;
  if (!Utf8ToCp1251(utf8, out, error)) throw std::invalid_argument(error);
  return out;
}

inline TFieldValue IntValue(int32_t n) {
  std::string bytes(4, '\0');
  PutI32LE(reinterpret_cast<uint8_t*>(bytes.data()), n);
  return {false, bytes};
}

inline TFieldValue FloatValue(double x) {
  std::string bytes(8, '\0');
  PutF64LE(reinterpret_cast<uint8_t*>(bytes.data()), x);
  return {false, bytes};
}

inline TFieldValue TextValue(const std::string& text) { return {false, text}; }

// UTF-16 text, stored as little-endian units.
inline TFieldValue WideValue(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return {false, bytes};
}

}  // namespace norvane::testing
