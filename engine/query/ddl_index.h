// CREATE INDEX and DROP INDEX.
//
// create-index := CREATE [UNIQUE] INDEX name-token ON name-token "(" item
// {"," item} ")", item := name-token {ASC | DESC | NOCASE | CASE | other
// token} | PASSWORD quoted {any token}. drop-index := DROP INDEX any "."
// any [PASSWORD quoted]. Errors are ETblException 2050 to 2066 and 1008;
// index names longer than 20 characters are refused (2089).
#pragma once

#include <string>
#include <vector>

#include "engine/query/sql_command.h"

namespace norvane {

struct TDeziIndexField {
  std::string Name;
  bool Descending = false;
  bool CaseInsensitive = false;
};

class TDeziDDLCreateIndex : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  int64_t Execute(TSQLQueryContext& context) override;

  bool Unique = false;
  std::string IndexName;
  std::string TableName;
  std::string Password;
  std::vector<TDeziIndexField> Fields;
};

class TDeziDDLDropIndex : public TDeziSQLCommand {
 public:
  using TDeziSQLCommand::TDeziSQLCommand;
  void Parse() override;
  void Print(TTreeWriter& out) const override;
  int64_t Execute(TSQLQueryContext& context) override;

  std::string TableName;
  std::string IndexName;
  std::string Password;
};

}  // namespace norvane
