// Turning stored field values, from a table file or a dataset's buffer,
// into the text the table commands print.
#include "tools/norvane-db/field_text.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

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

// A dataset's value buffer in the stored form of TFieldValue: a text ends
// at its terminator, the rest of its room being no part of it.
std::string StoredForm(int type, const std::vector<uint8_t>& buffer) {
  size_t length = buffer.size();
  if (type == ftString) {
    length = 0;
    while (length < buffer.size() && buffer[length] != 0) ++length;
  } else if (type == ftWideString) {
    length = 0;
    while (length + 1 < buffer.size() && (buffer[length] | buffer[length + 1]) != 0) length += 2;
  }
  return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
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

std::string StoredValueText(int type, const TFieldValue& value) {
  if (value.Null) return "";
  const uint8_t* b = reinterpret_cast<const uint8_t*>(value.Bytes.data());
  switch (type) {
    case ftString: return value.Bytes;
    case ftWideString: return WideText(value.Bytes);
    case ftSmallint: return std::to_string(static_cast<int16_t>(GetU16LE(b)));
    case ftWord: return std::to_string(GetU16LE(b));
    case ftInteger:
    case ftAutoInc: return std::to_string(GetI32LE(b));
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
    default: return HexText(value.Bytes);
  }
}

std::string LargeValueText(int type, const std::string& value) {
  if (value.empty()) return "";
  if (type == ftMemo || type == ftFmtMemo) return value;
  return std::to_string(value.size()) + " bytes";
}

std::string FieldText(TDeziDataManager& table, const TRecordValues& values, int32_t field,
                      int32_t physical) {
  const TFieldHeader& header = table.Fields()[static_cast<size_t>(field)];
  if (IsLargeValueType(header.Type)) {
    TMemoryStream value;
    table.ReadBLOBValue(&value, field, physical);
    return LargeValueText(header.Type, std::string(value.Bytes().begin(), value.Bytes().end()));
  }
  return StoredValueText(header.Type, values.Fields[static_cast<size_t>(field)]);
}

std::string DatasetFieldText(const TField& field) {
  const int type = field.DataType();
  if (IsLargeValueType(type)) return LargeValueText(type, field.AsString());
  bool present = false;
  const std::vector<uint8_t> bytes = field.ValueBytes(present);
  return StoredValueText(type, {!present, StoredForm(type, bytes)});
}

}  // namespace norvane::tool
