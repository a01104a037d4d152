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
  // Adds the index over the listed fields (";"-joined, with the descending
  // and case-insensitive ones), unique when asked, and writes it to the
  // table's index file. Throws what opening the table or adding the index
  // throws (a name in use, an unknown field, a key violation of UNIQUE).
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
  // Deletes the named index from the table's index file. Throws what opening
  // the table or deleting the index throws.
  int64_t Execute(TSQLQueryContext& context) override;

  std::string TableName;
  std::string IndexName;
  std::string Password;
};

}  // namespace norvane
