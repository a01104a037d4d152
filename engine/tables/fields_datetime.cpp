// Date, time and date-time fields: their stored forms (day numbers and
// milliseconds) and the day-count values the application works with.
#include "engine/tables/fields_datetime.h"

#include <cmath>

#include "engine/common/byte_codec.h"
#include "engine/tables/field_text.h"

namespace norvane {
namespace {

// Splits a day count into its day number and the milliseconds of the day,
// rounding to whole milliseconds so 0.9999999999 of a day is the next day.
void SplitDays(double days, int32_t& dayNumber, int32_t& milliseconds) {
  const double total = std::round(days * kMillisecondsPerDay);
  const double day = std::floor(total / kMillisecondsPerDay);
  dayNumber = static_cast<int32_t>(day);
  milliseconds = static_cast<int32_t>(total - day * kMillisecondsPerDay);
}

void PutFirstFour(uint8_t* b, int32_t v) {
  std::fill(b, b + 8, 0);
  PutI32LE(b, v);
}

}  // namespace

double TDateField::AsDateTime() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present ? GetI32LE(b.data()) : 0.0;
}

void TDateField::SetAsDateTime(double value) {
  int32_t day, ms;
  SplitDays(value, day, ms);
  uint8_t b[8];
  PutFirstFour(b, day);
  SetData(day == 0 ? nullptr : b);
}

std::string TDateField::AsString() const {
  return IsNull() ? std::string() : FormatDate(static_cast<int32_t>(AsDateTime()));
}

void TDateField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  int32_t day;
  if (!ParseDate(value, day)) BadValue(value);
  SetAsDateTime(day);
}

double TTimeField::AsDateTime() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present ? GetI32LE(b.data()) / kMillisecondsPerDay : 0.0;
}

void TTimeField::SetAsDateTime(double value) {
  int32_t day, ms;
  SplitDays(value, day, ms);
  uint8_t b[8];
  PutFirstFour(b, ms);
  SetData(b);
}

std::string TTimeField::AsString() const {
  return IsNull() ? std::string()
                  : FormatTime(static_cast<int32_t>(std::lround(AsDateTime() * kMillisecondsPerDay)));
}

void TTimeField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  int32_t ms;
  if (!ParseTime(value, ms)) BadValue(value);
  SetAsDateTime(ms / kMillisecondsPerDay);
}

double TDateTimeField::AsDateTime() const {
  bool present;
  const std::vector<uint8_t> b = ValueBytes(present);
  return present ? GetF64LE(b.data()) / kMillisecondsPerDay : 0.0;
}

void TDateTimeField::SetAsDateTime(double value) {
  int32_t day, ms;
  SplitDays(value, day, ms);
  uint8_t b[8];
  PutF64LE(b, day * kMillisecondsPerDay + ms);
  SetData(day == 0 ? nullptr : b);
}

std::string TDateTimeField::AsString() const {
  if (IsNull()) return {};
  int32_t day, ms;
  SplitDays(AsDateTime(), day, ms);
  return FormatDate(day) + " " + FormatTime(ms);
}

void TDateTimeField::SetAsString(const std::string& value) {
  if (value.empty()) return Clear();
  const size_t blank = value.find_first_of(' ', value.find_first_not_of(' '));
  int32_t day, ms = 0;
  const std::string datePart = blank == std::string::npos ? value : value.substr(0, blank);
  if (!ParseDate(datePart, day)) BadValue(value);
  if (blank != std::string::npos && value.find_first_not_of(' ', blank) != std::string::npos &&
      !ParseTime(value.substr(blank), ms))
    BadValue(value);
  SetAsDateTime(day + ms / kMillisecondsPerDay);
}

}  // namespace norvane
