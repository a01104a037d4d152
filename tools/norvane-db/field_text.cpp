// Turning stored field values into the text the table commands print.
#include "tools/norvane-db/field_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/common/byte_codec.h"
#include "engine/platform/cp1251.h"
#include "engine/tables/field_types.h"

namespace norvane::tool {

namespace {

std::string FloatText(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

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
  // Civil date from days since 0001-01-01 (day 1), proleptic Gregorian.
  int64_t z = int64_t{day} - 1 + 306;  // days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d));
  return text;
}

std::string TimeOfDayText(int64_t milliseconds) {
  const int64_t seconds = milliseconds / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  std::string out = text;
  if (milliseconds % 1000 != 0) {
    std::snprintf(text, sizeof text, ".%03lld", static_cast<long long>(milliseconds % 1000));
    out += text;
  }
  return out;
}

std::string FieldText(TDeziDataManager& table, int32_t field, int32_t physical) {
  const TFieldHeader& header = table.Fields()[static_cast<size_t>(field)];
  if (IsLargeValueType(header.Type)) {
    TMemoryStream value;
    table.ReadBLOBValue(&value, field, physical);
    if (value.Size() == 0) return "";
    if (header.Type == ftMemo || header.Type == ftFmtMemo)
      return std::string(value.Bytes().begin(), value.Bytes().end());
    return std::to_string(value.Size()) + " bytes";
  }
  const TRecordValues values = table.DecodeRecord(table.RecordPtr(physical));
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
    case ftBCD: return FloatText(GetF64LE(b));
    case ftDate: return GetI32LE(b) == 0 ? "" : DayText(GetI32LE(b));
    case ftTime: return TimeOfDayText(GetI32LE(b));
    case ftDateTime: {
      const double stamp = GetF64LE(b);
      const int64_t whole = static_cast<int64_t>(std::llround(stamp));
      const int32_t day = static_cast<int32_t>(whole / 86400000);
      if (day == 0) return "";
      return DayText(day) + " " + TimeOfDayText(whole % 86400000);
    }
    default: return HexText(stored.Bytes);
  }
}

}  // namespace norvane::tool
