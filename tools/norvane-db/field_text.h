// A field's value as the table commands print it, in code page 1251 like
// all engine text: numbers in decimal, dates as YYYY-MM-DD, times as
// HH:MM:SS (with .mmm when there are milliseconds), bytes in hexadecimal,
// memo texts whole and other large values as their byte count; a null value
// is empty.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dezi_data_manager.h"

namespace norvane::tool {

// The text of field `field` (a position among the fields) of record
// `physical` of the table, whose decoded values are `values`.
std::string FieldText(TDeziDataManager& table, const TRecordValues& values, int32_t field,
                      int32_t physical);

// A date of the table format (1 January 0001 is day 1) as YYYY-MM-DD.
std::string DayText(int32_t day);

}  // namespace norvane::tool
