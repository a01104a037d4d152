// Turning stored field values into the text the table commands print.
#include "tools/norvane-db/field_text.h"

#include <cmath>
#include <cstdio>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/tables/field_text.h"
#include "engine/tables/field_types.h"

namespace norvane::tool {

namespace {

// 16-bit text in code page 1251, as all engine text is: a character the
// code page cannot hold shows as "?".
std::string WideText(const std::string& units) {
  std::string text;
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(units[i]) |
                                                static_cast<uint8_t>(units[i + 1]) << 8);
    char shown = '?';
    for (int byte = 0; byte < 256; ++byte)
      if (Cp1251Unit(static_cast<uint8_t>(byte)) == unit) {
        shown = static_cast<char>(byte);
        break;
      }
    text += shown;
  }
  return text;
}

std::string HexText(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    text += kDigits[static_cast<uint8_t>(c) >> 4];
    text += kDigits[static_cast<uint8_t>(c) & 15];
  }
  return text;
}

}  // namespace

std::string DayText(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DateOfDayNumber(day, year, month, dayOfMonth);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, dayOfMonth);
  return text;
}

std::string FieldText(TDeziDataManager& table, const TRecordValues& values, int32_t field,
                      int32_t physical) {
  const TFieldHeader& header = table.Fields()[static_cast<size_t>(field)];
  if (IsLargeValueType(header.Type)) {
    TMemoryStream value;
    table.ReadBLOBValue(&value, field, physical);
    if (value.Size() == 0) return "";
    if (header.Type == ftMemo || header.Type == ftFmtMemo)
      return std::string(value.Bytes().begin(), value.Bytes().end());
    return std::to_string(value.Size()) + " bytes";
  }
  const TFieldValue& stored = values.Fields[static_cast<size_t>(field)];
  if (stored.Null) return "";
  const uint8_t* b = reinterpret_cast<const uint8_t*>(stored.Bytes.data());
  switch (header.Type) {
    case ftString: return stored.Bytes;
    case ftWideString: return WideText(stored.Bytes);
    case ftSmallint: return std::to_string(static_cast<int16_t>(GetU16LE(b)));
    case ftWord: return std::to_string(GetU16LE(b));
    case ftInteger: return std::to_string(GetI32LE(b));
    case ftLargeint: return std::to_string(GetI64LE(b));
    case ftBoolean: return GetU16LE(b) != 0 ? "true" : "false";
    case ftFloat:
    case ftCurrency:
    case ftBCD: return FormatNumber(GetF64LE(b));
    case ftDate: return GetI32LE(b) == 0 ? "" : DayText(GetI32LE(b));
    case ftTime: return FormatTime(GetI32LE(b));
    case ftDateTime: {
      const double stamp = GetF64LE(b);
      const int64_t whole = static_cast<int64_t>(std::llround(stamp));
      const int32_t day = static_cast<int32_t>(whole / 86400000);
      if (day == 0) return "";
      return DayText(day) + " " + FormatTime(static_cast<int32_t>(whole % 86400000));
    }
    default: return HexText(stored.Bytes);
  }
}

}  // namespace norvane::tool
