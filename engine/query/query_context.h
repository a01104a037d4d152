// What the statements of one script run against: the database every table
// is looked up in when a statement names none, and the tables the script
// holds open. A table is opened once for the whole script, so a script of
// many INSERTs does not open, flush and close its table for each.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/tables/dezi_table.h"

namespace norvane {

class TSQLQueryContext {
 public:
  // `databaseName` names a registered database (or a folder); without one,
  // `databaseFileName` names the catalogue file.
  TSQLQueryContext(std::string databaseName, std::string databaseFileName);
  ~TSQLQueryContext();
  TSQLQueryContext(const TSQLQueryContext&) = delete;
  TSQLQueryContext& operator=(const TSQLQueryContext&) = delete;

  const std::string& DatabaseName() const { return databaseName_; }
  const std::string& DatabaseFileName() const { return databaseFileName_; }

  // Sets the database of a closed `table` and its table name: `database`
  // when not empty, else the context's database name, else its file name.
  void Aim(TDeziTable& table, const std::string& database, const std::string& name) const;

  // The table `name` (of `database`, see Aim) open with `password`, opened
  // on first use and held until Release or the context's end.
  TDeziTable& HeldTable(const std::string& database, const std::string& name, const std::string& password);
  // Closes a held table, if held, before a statement that needs it closed
  // (DROP, ALTER, CREATE and DROP INDEX).
  void Release(const std::string& database, const std::string& name);

 private:
  std::string databaseName_;
  std::string databaseFileName_;
  std::map<std::string, std::unique_ptr<TDeziTable>> held_;  // by upper-case "database|name"
};

}  // namespace norvane
