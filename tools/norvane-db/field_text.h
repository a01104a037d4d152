// A field's value as the table commands print it, in code page 1251 like
// all engine text: numbers in decimal, dates as YYYY-MM-DD, times as
// HH:MM:SS (with .mmm when there are milliseconds), bytes in hexadecimal,
// memo texts whole and other large values as their byte count; a null value
// is empty. Records read from a table file (dump) and rows a dataset shows
// (sql) go through the same two value formatters.
#pragma once

#include <cstdint>
#include <string>

#include "engine/tables/dataset_field.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane::tool {

// A value of the stored type `type` (not a large-value type) in its stored
// form, as TFieldValue describes it.
std::string StoredValueText(int type, const TFieldValue& value);
// A large value (types 15 to 18) read whole: memo texts as they are, the
// others as "N bytes"; empty for no value.
std::string LargeValueText(int type, const std::string& value);

// The text of field `field` (a position among the fields) of record
// `physical` of the table, whose decoded values are `values`.
std::string FieldText(TDeziDataManager& table, const TRecordValues& values, int32_t field,
                      int32_t physical);
// The text of `field` at its dataset's current record; the row identifier
// (ftAutoInc) in decimal.
std::string DatasetFieldText(const TField& field);

// A date of the table format (1 January 0001 is day 1) as YYYY-MM-DD.
std::string DayText(int32_t day);

}  // namespace norvane::tool
