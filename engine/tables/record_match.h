// One filter condition against a table's records: its value made ready in
// the table's record layout, the test of one record, the pattern match of
// "like", and the records of the whole table that pass, found through the
// field's automatic index where it has one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tables/record_set.h"
#include "engine/tables/search_operation.h"

namespace norvane {

class TDeziDataManager;

// Stores `text` as the value of field `fieldNo` (-1 the row identifier) in
// `op.Value`, a record image of the table. "is null", and "=" with an
// empty text, become "=" with no value; "is not null", and "<>" with an
// empty text, "<>" with no value. Text is converted by the field's type
// (code page 1251 text cut to the field's length; whole numbers; true or
// anything else for booleans; numbers with "." or ","; dates as
// DD.MM.YYYY, times as HH:MM:SS). Throws "Error in
// TDeziDataSet.PrepareValueBuffer - unsupported field type!", "... - 'like /
// not like' operation call with not string field!", and "'<text>' is not a
// valid ..." for text its type cannot hold.
void PrepareValueBuffer(const TDeziDataManager& table, TSearchOperation& op, const std::string& text);

// Whether the record image passes the condition; `options` are
// FilterOptions bits. A null field is smaller than any value and equal to
// no value; it passes neither "like" nor "not like".
bool IsRecordMatches(const TDeziDataManager& table, const TSearchOperation& op, uint8_t options,
                     const uint8_t* record);

// "like": % matches any run of characters, _ one character, anything else
// itself (ignoring case when asked); no escape character. Linear in the
// text for patterns with one %, and never worse than text x pattern.
bool LikeMatches(std::string_view text, std::string_view pattern, bool caseInsensitive);

// The records of the table that pass the condition (not "like" or "not
// like": "TDeziDataSet.GetMatchedRecordsArray - Like operator is not
// supported in GetMatchedRecordsArray procedure."). With the field's
// automatic index ("@" + name, or "@@" + name for text compared ignoring
// case) the index is bisected and only the matching range is read; without
// one every record is tested.
TRecordSet GetMatchedRecordsArray(TDeziDataManager& table, const TSearchOperation& op, uint8_t options);
// The same with the index ConditionIndexOf gave, for callers that ask often.
TRecordSet MatchedRecords(TDeziDataManager& table, const TSearchOperation& op, uint8_t options, int32_t index);

// The automatic index that answers the condition, -1 when none does.
int32_t ConditionIndexOf(const TDeziDataManager& table, const TSearchOperation& op, uint8_t options);

}  // namespace norvane
