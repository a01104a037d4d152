// Parsing ALTER TABLE and applying it to field definitions.
#include "engine/query/ddl_alter_table.h"

#include <algorithm>

#include "engine/platform/file_system.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {

void TDeziDDLAlterTable::Parse() {
  Start();
  Require(2036);
  if (!AtWord("TABLE")) Fail(2035);
  Require(2039);
  if (!AtWordToken()) Fail(2003);
  CheckNameLength(kMaxSqlTableName);
  TableName = Token().Text;
  Require(2029);
  if (AtWord("ADD")) {
    Mode = amAdd;
  } else if (AtWord("DROP")) {
    Mode = amDrop;
  } else if (AtWord("MODIFY")) {
    Mode = amModify;
  } else {
    Fail(AtReserved() ? 2040 : 2041);
  }
  Require(2042);
  if (!AtLeft()) Fail(2004);
  do {
    Require();
    if (!AtNameToken()) Fail(2005);
    if (AtWord("NEW")) {
      Require();
      if (!AtWord("PASSWORD")) Fail(2016);
      Require();
      if (!AtQuoted()) Fail(2016);
      NewPassword = Token().Text;
      Require();
      EndItem(2017);
      continue;
    }
    if (ParseOption()) continue;
    CheckNameLength(kMaxSqlFieldName);
    TDeziFieldDef column{Token().Text, 0, 0, std::nullopt};
    Require();
    ParseColumnWords(column, true);
    // A column without a type cannot be stored.
    if (Mode == amAdd && column.Type == 0) Fail(2006);
    Columns.push_back(std::move(column));
  } while (AtComma());
  Advance();
  if (!AtEnd()) Fail(2043);
}

void TDeziDDLAlterTable::ApplyTo(std::vector<TFieldDef>& fields) const {
  std::vector<TFieldDef> result = fields;
  for (const TDeziFieldDef& column : Columns) {
    if (Mode == amAdd) {
      result.push_back({column.Name, column.Type, column.Size, !column.Nullable.value_or(true)});
      continue;
    }
    const auto field = std::find_if(result.begin(), result.end(), [&](const TFieldDef& f) {
      return SameNameIgnoringCase(f.Name, column.Name);
    });
    if (field == result.end()) throw ETblException(2048, {column.Name});
    if (Mode == amDrop) {
      result.erase(field);
      continue;
    }
    if (column.Type != 0) {
      field->Type = column.Type;
      field->Size = column.Size;
    }
    if (column.Nullable) field->Required = !*column.Nullable;
  }
  fields = std::move(result);
}

}  // namespace norvane
