// Each statement's Execute: INSERT and the DDL statements through the
// functions of statement_execution.h, UPDATE and DELETE over the rows their
// SELECT finds.
#include <vector>

#include "engine/common/engine_error.h"
#include "engine/query/literal_assignment.h"
#include "engine/query/statement_execution.h"
#include "engine/query/sql_update.h"

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
  return bookmarks;
}

}  // namespace

int64_t TDeziSQLInsert::Execute(TSQLQueryContext& context) {
  ExecuteInsert(*this, context);
  return 1;
}

int64_t TDeziSQLUpdate::Execute(TSQLQueryContext& context) {
  // The changed table's copy the script holds must not go on showing the
  // old values.
  context.Release("", TableName);
  const std::vector<TBookmark> rows = RowsToChange(*Select, context, "UPDATE");
  TDeziTable& table = *Select->Result();
  for (const TBookmark& row : rows) {
    table.GotoBookmark(row);
    table.Edit();
    try {
      for (size_t i = 0; i < Columns.size(); ++i) AssignLiteral(table, table.FieldByName(Columns[i]), Values[i]);
      table.Post();
    } catch (...) {
      table.Cancel();
      Select->Close();
      throw;
    }
  }
  Select->Close();
  return static_cast<int64_t>(rows.size());
}

int64_t TDeziSQLDelete::Execute(TSQLQueryContext& context) {
  const std::string table = Select->From.empty() ? "" : Select->From[0]->TableName;
  context.Release("", table);
  const std::vector<TBookmark> rows = RowsToChange(*Select, context, "DELETE");
  TDeziTable& result = *Select->Result();
  for (const TBookmark& row : rows) {
    result.GotoBookmark(row);
    result.Delete();
  }
  Select->Close();
  return static_cast<int64_t>(rows.size());
}

int64_t TDeziDDLCreateTable::Execute(TSQLQueryContext& context) {
  ExecuteCreateTable(*this, context);
  return -1;
}

int64_t TDeziDDLDropTable::Execute(TSQLQueryContext& context) {
  ExecuteDropTable(*this, context);
  return -1;
}

int64_t TDeziDDLAlterTable::Execute(TSQLQueryContext& context) {
  ExecuteAlterTable(*this, context);
  return -1;
}

int64_t TDeziDDLCreateIndex::Execute(TSQLQueryContext& context) {
  ExecuteCreateIndex(*this, context);
  return -1;
}

int64_t TDeziDDLDropIndex::Execute(TSQLQueryContext& context) {
  ExecuteDropIndex(*this, context);
  return -1;
}

}  // namespace norvane
