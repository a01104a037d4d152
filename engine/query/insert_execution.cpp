// INSERT: one new record in a table the script holds open, each value
// written to the field its column names or its place gives.
#include <exception>

#include "engine/common/engine_error.h"
#include "engine/query/literal_assignment.h"
#include "engine/query/query_context.h"
#include "engine/query/sql_insert.h"
#include "engine/tables/tbl_exception.h"

namespace norvane {
namespace {

// The field value i goes to: the one the column list names, when the list
// pairs every value with a column and names one here, else the field in
// the same place.
TField& TargetField(const TDeziSQLInsert& insert, TDeziTable& table, size_t i) {
  if (insert.Columns.size() == insert.Values.size() && !insert.Columns[i].empty())
    return table.FieldByName(insert.Columns[i]);
  return table.Fields()[static_cast<int32_t>(i)];
}

}  // namespace

int64_t TDeziSQLInsert::Execute(TSQLQueryContext& context) {
  if (Select) throw ETblException(2078);
  TDeziTable& table = context.HeldTable("", TableName, Password);
  const size_t fieldCount = static_cast<size_t>(table.Fields().Count());
  if (Values.size() > fieldCount)
    throw EEngineError("INSERT INTO " + TableName + " gives " + std::to_string(Values.size()) +
                       " values, but the table has " + std::to_string(fieldCount) + " fields");
  table.Append();
  try {
    for (size_t i = 0; i < Values.size(); ++i) AssignLiteral(table, TargetField(*this, table, i), Values[i]);
    table.Post();
  } catch (...) {
    // The table stays held for the statements after this one, so it must
    // not be left inserting; the failure that got us here is the one to
    // report.
    try {
      table.Cancel();
    } catch (const std::exception&) {
    }
    throw;
  }
  return 1;
}

}  // namespace norvane
