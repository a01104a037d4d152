// INSERT: one row of values into one table, by column names or by position.
//
// insert := INSERT INTO name-token [PASSWORD quoted] ["(" any {"," any} ")"]
// (VALUES "(" any {"," any} ")" | select). Each element is one token (a
// signed decimal number whole); the word NULL is a null value. A column
// list must be as long as the value list (2090). Errors are ETblException
// 2068 to 2080 and 1008; INSERT ... SELECT is parsed, not run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/query/sql_select.h"

namespace norvane {

class TDeziSQLInsert : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  // Appends one record to the table (held open by `context` for the rest of
  // the script) and posts it. Value i goes to the field the column list names
  // at i, or, without a name there, to the dataset's field i (the row
  // identifier is the last); values are written by AssignLiteral. Throws
  // ETblException 2078 for INSERT ... SELECT; EEngineError "INSERT INTO <t>
  // gives <n> values, but the table has <m> fields" when there are more
  // values than the dataset shows fields; and whatever opening the table,
  // finding a field, writing a value or posting throws (a duplicate row
  // identifier: the key violation). On any failure the new record is
  // cancelled, so the held table is back in browse state, unchanged.
  int64_t Execute(TSQLQueryContext& context) override;

  std::string TableName;
  std::string Password;
  std::vector<std::string> Columns;  // empty: values by position
  std::vector<TSQLLiteral> Values;
  std::unique_ptr<TDeziSQLSelect> Select;  // INSERT ... SELECT

 private:
  // The elements of a parenthesised list, the cursor at its "(" and left
  // after its ")".
  std::vector<TSQLLiteral> ParseList();
};

}  // namespace norvane
