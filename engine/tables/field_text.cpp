// Number and calendar conversions for field text. The calendar works on day
// numbers with whole 400-year cycles, so no date library is needed.
#include "engine/tables/field_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace norvane {
namespace {

std::string Trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool ParseWholeNumber(const std::string& text, int64_t& out) {
  const std::string t = Trimmed(text);
  if (t.empty()) return false;
  const char* first = t.data() + (t[0] == '+' ? 1 : 0);
  auto [end, ec] = std::from_chars(first, t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

bool ParseNumber(const std::string& text, double& out) {
  std::string t = Trimmed(text);
  if (t.empty()) return false;
  for (char& c : t)
    if (c == ',') c = '.';
  const char* first = t.data() + (t[0] == '+' ? 1 : 0);
  auto [end, ec] = std::from_chars(first, t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

std::string FormatNumber(double value) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

int32_t DayNumberOf(int year, int month, int day) {
  // Days before `year` in whole years, then the months of the year.
  const int64_t y = year - 1;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return static_cast<int32_t>(days + day);
}

void DateOfDayNumber(int32_t dayNumber, int& year, int& month, int& day) {
  int64_t n = static_cast<int64_t>(dayNumber) - 1;  // days since 1 January 0001
  const int64_t cycles = n >= 0 ? n / 146097 : (n - 146096) / 146097;
  n -= cycles * 146097;
  int64_t y = 1 + cycles * 400;
  // Walk the centuries and years of the cycle; at most 400 steps.
  while (true) {
    const int len = IsLeap(static_cast<int>(y)) ? 366 : 365;
    if (n < len) break;
    n -= len;
    ++y;
  }
  year = static_cast<int>(y);
  month = 1;
  while (n >= DaysInMonth(year, month)) n -= DaysInMonth(year, month++);
  day = static_cast<int>(n) + 1;
}

std::string FormatDate(int32_t dayNumber) {
  int y, m, d;
  DateOfDayNumber(dayNumber, y, m, d);
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
  return text;
}

bool ParseDate(const std::string& text, int32_t& dayNumber) {
  int d = 0, m = 0, y = 0;
  char tail = 0;
  const std::string t = Trimmed(text);
  if (std::sscanf(t.c_str(), "%d.%d.%d%c", &d, &m, &y, &tail) != 3) return false;
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  dayNumber = DayNumberOf(y, m, d);
  return true;
}

std::string FormatTime(int32_t milliseconds) {
  const int ms = milliseconds % 1000, s = milliseconds / 1000;
  char text[32];
  if (ms != 0)
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", s / 3600, s / 60 % 60, s % 60, ms);
  else
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
  return text;
}

bool ParseTime(const std::string& text, int32_t& milliseconds) {
  int h = 0, m = 0, s = 0, ms = 0;
  char tail = 0;
  const std::string t = Trimmed(text);
  const int got = std::sscanf(t.c_str(), "%d:%d:%d.%d%c", &h, &m, &s, &ms, &tail);
  if (got < 2 || got > 4) return false;
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
  milliseconds = ((h * 60 + m) * 60 + s) * 1000 + ms;
  return true;
}

}  // namespace norvane
