// Turning the text the table commands print back into field values. The
// forms are read strictly, so a value that does not read as the field's
// type is refused rather than guessed at.
#include "tools/norvane-db/field_input.h"

#include <charconv>

#include "engine/common/engine_error.h"
#include "engine/tables/field_text.h"

namespace norvane::tool {

namespace {

// The value as a message quotes it: a long one cut short.
std::string Quoted(const std::string& text) {
  constexpr size_t kShown = 60;
  return "'" + (text.size() <= kShown ? text : text.substr(0, kShown) + "...") + "'";
}

[[noreturn]] void NotOfForm(const TField& field, const std::string& text, const char* form) {
  throw EEngineError(Quoted(text) + " is not a valid value for field '" + field.FieldName() +
                     "' (" + form + ")");
}

// A value the field would cut short is refused: an import must not lose
// text without a word.
void CheckLength(const TField& field, size_t bytes) {
  if (bytes > static_cast<size_t>(field.Size()))
    throw EEngineError("a value of " + std::to_string(bytes) + " bytes is longer than field '" +
                       field.FieldName() + "' (" + std::to_string(field.Size()) + " bytes)");
}

// The number in the n digits at `at`; -1 when any of them is not a digit.
int Digits(const std::string& text, size_t at, size_t n) {
  int value = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// YYYY-MM-DD, a real day of the years 1 to 9999.
bool ParseIsoDate(const std::string& text, int32_t& day) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), dayOfMonth = Digits(text, 8, 2);
  if (year < 1 || month < 1 || month > 12 || dayOfMonth < 1) return false;
  day = DayNumberOf(year, month, dayOfMonth);
  // A day past the month's end would count on into the next month.
  int y = 0, m = 0, d = 0;
  DateOfDayNumber(day, y, m, d);
  return y == year && m == month && d == dayOfMonth;
}

// HH:MM:SS or HH:MM:SS.mmm, a time of one day, as milliseconds.
bool ParseClock(const std::string& text, int32_t& milliseconds) {
  if ((text.size() != 8 && text.size() != 12) || text[2] != ':' || text[5] != ':') return false;
  const int hours = Digits(text, 0, 2), minutes = Digits(text, 3, 2), seconds = Digits(text, 6, 2);
  int thousandths = 0;
  if (text.size() == 12) {
    if (text[8] != '.') return false;
    thousandths = Digits(text, 9, 3);
  }
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 ||
      thousandths < 0)
    return false;
  milliseconds = ((hours * 60 + minutes) * 60 + seconds) * 1000 + thousandths;
  return true;
}

bool ParseFloat(const std::string& text, double& value) {
  const auto end = std::from_chars(text.data(), text.data() + text.size(), value);
  return end.ec == std::errc() && end.ptr == text.data() + text.size();
}

bool ParseBoolean(const std::string& text, bool& value) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (lower == "true" || lower == "1") {
    value = true;
  } else if (lower == "false" || lower == "0") {
    value = false;
  } else {
    return false;
  }
  return true;
}

bool ParseHex(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t byte = 0;
    const auto end = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (end.ec != std::errc() || end.ptr != text.data() + i + 2) return false;
    bytes += static_cast<char>(byte);
  }
  return true;
}

void SetDateTime(TField& field, const std::string& text) {
  int32_t day = 0, milliseconds = 0;
  const size_t blank = text.find(' ');
  if (blank == std::string::npos || !ParseIsoDate(text.substr(0, blank), day) ||
      !ParseClock(text.substr(blank + 1), milliseconds))
    NotOfForm(field, text, "YYYY-MM-DD HH:MM:SS");
  field.SetAsDateTime(day + milliseconds / kMillisecondsPerDay);
}

}  // namespace

bool TakesText(TFieldType type) { return type != ftBlob && type != ftGraphic; }

bool ParseDecimal(const std::string& text, int64_t& value) {
  const auto end = std::from_chars(text.data(), text.data() + text.size(), value);
  return end.ec == std::errc() && end.ptr == text.data() + text.size();
}

void SetFieldText(TField& field, const std::string& text) {
  if (text.empty()) return field.Clear();
  switch (field.DataType()) {
    case ftString:
      CheckLength(field, text.size());
      return field.SetAsString(text);
    case ftWideString:
      CheckLength(field, 2 * text.size());
      return field.SetAsString(text);
    case ftSmallint:
    case ftWord:
    case ftInteger:
    case ftLargeint: {
      int64_t value = 0;
      if (!ParseDecimal(text, value)) NotOfForm(field, text, "a whole number");
      return field.SetAsLargeInt(value);
    }
    case ftBoolean: {
      bool value = false;
      if (!ParseBoolean(text, value)) NotOfForm(field, text, "true, false, 1 or 0");
      return field.SetAsBoolean(value);
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
      double value = 0;
      if (!ParseFloat(text, value)) NotOfForm(field, text, "a number with '.' for the point");
      return field.SetAsFloat(value);
    }
    case ftDate: {
      int32_t day = 0;
      if (!ParseIsoDate(text, day)) NotOfForm(field, text, "YYYY-MM-DD");
      return field.SetAsDateTime(day);
    }
    case ftTime: {
      int32_t milliseconds = 0;
      if (!ParseClock(text, milliseconds)) NotOfForm(field, text, "HH:MM:SS or HH:MM:SS.mmm");
      return field.SetAsDateTime(milliseconds / kMillisecondsPerDay);
    }
    case ftDateTime:
      return SetDateTime(field, text);
    case ftBytes: {
      std::string bytes;
      if (!ParseHex(text, bytes)) NotOfForm(field, text, "bytes in hexadecimal");
      CheckLength(field, bytes.size());
      return field.SetAsString(bytes);
    }
    case ftMemo:
    case ftFmtMemo:
      return field.SetAsString(text);
    default:
      throw EEngineError("field '" + field.FieldName() + "' cannot be filled from text");
  }
}

}  // namespace norvane::tool
