// UPDATE and DELETE: the rows their SELECT finds, changed on the table the
// script holds. INSERT and the DDL statements run in insert_execution.cpp
// and ddl_execution.cpp.
#include <functional>
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/query/literal_assignment.h"
#include "engine/query/query_context.h"
#include "engine/query/sql_update.h"
#include "engine/tables/dezi_data_manager.h"

namespace norvane {
namespace {

// The rows a rewritten SELECT found, as bookmarks (row identifiers) taken
// before anything changes: a row that a change moves out of the view must
// not make the walk skip the next one. Joined rows are copies in memory,
// so a change there would reach no table: refused.
std::vector<TBookmark> RowsToChange(TDeziSQLSelect& select, TSQLQueryContext& context, const char* statement) {
  if (select.From.size() != 1 || select.From[0]->Kind != TETblTableReference::rkTable)
    throw EEngineError(std::string(statement) + " over a join is not supported: joined rows are read-only");
  select.Execute(context);
  TDeziTable& rows = *select.Result();
  std::vector<TBookmark> bookmarks;
  for (rows.First(); !rows.Eof(); rows.Next()) bookmarks.push_back(rows.GetBookmark());
  // The filtered, ordered cursor would rebuild its view after every change.
  select.Close();
  return bookmarks;
}

// Visits each row of `rows` on the table the script holds, in row
// identifier order and unfiltered, its write log flushed once at the end.
void ForEachRow(TSQLQueryContext& context, const TETblTableReference& ref, const std::vector<TBookmark>& rows,
                const std::function<void(TDeziTable&)>& change) {
  TDeziTable& table = context.HeldTable(ref.Database, ref.TableName, ref.Password);
  table.Table()->WhileAutoFlushSuspended([&] {
    for (const TBookmark& row : rows) {
      table.GotoBookmark(row);
      change(table);
    }
  });
}

}  // namespace

int64_t TDeziSQLUpdate::Execute(TSQLQueryContext& context) {
  const std::vector<TBookmark> rows = RowsToChange(*Select, context, "UPDATE");
  TETblTableReference& ref = *Select->From[0];
  ref.Password = Password.empty() ? ref.Password : Password;
  ForEachRow(context, ref, rows, [&](TDeziTable& table) {
    table.Edit();
    try {
      for (size_t i = 0; i < Columns.size(); ++i) AssignLiteral(table, table.FieldByName(Columns[i]), Values[i]);
      table.Post();
    } catch (...) {
      table.Cancel();
      throw;
    }
  });
  return static_cast<int64_t>(rows.size());
}

int64_t TDeziSQLDelete::Execute(TSQLQueryContext& context) {
  const std::vector<TBookmark> rows = RowsToChange(*Select, context, "DELETE");
  ForEachRow(context, *Select->From[0], rows, [](TDeziTable& table) { table.Delete(); });
  return static_cast<int64_t>(rows.size());
}

}  // namespace norvane
