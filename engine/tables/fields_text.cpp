// Text and byte-string fields: their terminators and cuts as the record
// format stores them, and the code page conversions of 16-bit text.
#include "engine/tables/fields_text.h"

#include <array>
#include <cstring>

#include "engine/platform/cp1251.h"
#include "engine/platform/file_system.h"
#include "engine/tables/field_text.h"

namespace norvane {
namespace {

char Cp1251ByteOf(char16_t unit) {
  static const std::array<char16_t, 256> units = [] {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) table[static_cast<size_t>(b)] = Cp1251Unit(static_cast<uint8_t>(b));
    return table;
  }();
  for (size_t b = 0; b < units.size(); ++b)
    if (units[b] == unit) return static_cast<char>(b);
  return '?';
}

}  // namespace

std::string TStringField::AsString() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  if (!present) return {};
  const auto* text = reinterpret_cast<const char*>(b.data());
  return std::string(text, strnlen(text, static_cast<size_t>(Size())));
}

void TStringField::SetAsString(const std::string& value) {
  std::vector<uint8_t> b(static_cast<size_t>(DataSize()), 0);
  std::memcpy(b.data(), value.data(), std::min(value.size(), static_cast<size_t>(Size())));
  SetData(b[0] == 0 ? nullptr : b.data());
}

int64_t TStringField::AsLargeInt() const {
  const std::string text = AsString();
  if (text.empty()) return 0;
  int64_t n;
  if (!ParseWholeNumber(text, n)) BadValue(text);
  return n;
}

double TStringField::AsFloat() const {
  const std::string text = AsString();
  if (text.empty()) return 0;
  double x;
  if (!ParseNumber(text, x)) BadValue(text);
  return x;
}

void TStringField::SetAsFloat(double value) { SetAsString(FormatNumber(value)); }

bool TStringField::AsBoolean() const {
  const std::string text = AsString();
  if (text.empty() || SameNameIgnoringCase(text, "false")) return false;
  if (SameNameIgnoringCase(text, "true")) return true;
  BadValue(text);
}

std::u16string TWideStringField::AsWideString() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  std::u16string text;
  if (!present) return text;
  for (size_t i = 0; i + 2 <= static_cast<size_t>(Size()); i += 2) {
    const char16_t unit = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void TWideStringField::SetAsWideString(const std::u16string& value) {
  std::vector<uint8_t> b(static_cast<size_t>(DataSize()), 0);
  const size_t units = std::min(value.size(), static_cast<size_t>(Size()) / 2);
  for (size_t i = 0; i < units; ++i) {
    b[2 * i] = static_cast<uint8_t>(value[i] & 0xFF);
    b[2 * i + 1] = static_cast<uint8_t>(value[i] >> 8);
  }
  SetData(units == 0 || value[0] == 0 ? nullptr : b.data());
}

std::string TWideStringField::AsString() const {
  std::string text;
  for (char16_t unit : AsWideString()) text.push_back(Cp1251ByteOf(unit));
  return text;
}

void TWideStringField::SetAsString(const std::string& value) {
  std::u16string wide;
  for (char c : value) wide.push_back(Cp1251Unit(static_cast<uint8_t>(c)));
  SetAsWideString(wide);
}

std::string TBytesField::AsString() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present ? std::string(b.begin(), b.end()) : std::string();
}

void TBytesField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  std::vector<uint8_t> b(static_cast<size_t>(DataSize()), 0);
  std::memcpy(b.data(), value.data(), std::min(value.size(), b.size()));
  SetData(b.data());
}

}  // namespace norvane
