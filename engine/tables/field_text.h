// Text forms of field values shared by the field classes: whole numbers,
// floats, and dates in the day numbering of the table format.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

// The whole text must be the number (surrounding blanks allowed).
bool ParseWholeNumber(const std::string& text, int64_t& out);
// Accepts "." or "," as the decimal separator and an exponent.
bool ParseNumber(const std::string& text, double& out);
// The shortest text that reads back as exactly `value`.
std::string FormatNumber(double value);

// Day numbers count from 1 January 0001 = day 1 in the proleptic Gregorian
// calendar (30 December 1899 is day 693594).
int32_t DayNumberOf(int year, int month, int day);
void DateOfDayNumber(int32_t dayNumber, int& year, int& month, int& day);
// "DD.MM.YYYY" and back; false for text that is no valid date.
std::string FormatDate(int32_t dayNumber);
bool ParseDate(const std::string& text, int32_t& dayNumber);
// "HH:MM:SS" (with ".mmm" when there are milliseconds) and back.
std::string FormatTime(int32_t milliseconds);
bool ParseTime(const std::string& text, int32_t& milliseconds);

inline constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace norvane
