// UPDATE and DELETE: both are rewritten in place, in the lexer's statement,
// into the SELECT of the rows they change, and parsed as that SELECT, so
// their FROM and WHERE errors are SELECT errors.
//
// update := UPDATE name-token [PASSWORD quoted] SET any "=" any {"," any
// "=" any} [WHERE condition [ORDER BY ...]] becomes SELECT col {"," col}
// FROM table [PASSWORD quoted] and the rest from WHERE on; each value is one
// token and the word NULL a null value. delete := DELETE FROM ... becomes
// SELECT * FROM ....
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/query/sql_select.h"

namespace norvane {

class TDeziSQLUpdate : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  int64_t Execute(TSQLQueryContext& context) override;

  std::string TableName;
  std::string Password;
  std::vector<std::string> Columns;  // SET's columns, in order
  std::vector<TSQLLiteral> Values;   // and their values
  std::unique_ptr<TDeziSQLSelect> Select;
};

class TDeziSQLDelete : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  int64_t Execute(TSQLQueryContext& context) override;

  std::unique_ptr<TDeziSQLSelect> Select;
};

}  // namespace norvane
