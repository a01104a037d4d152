// The components an import writes through: a database component for FILE
// (a folder database when FILE names a folder, as TTableSource decides,
// else a catalogue with the command line's password, which is also the
// table's own) and a table component on it. A catalogue is opened the
// tool's way for writing first, so a busy one is waited for and refused as
// by every command that writes, and put's leftovers go; the engine's own
// open then keeps other writers out until the import ends.
#pragma once

#include <string>
#include <vector>

#include "engine/tables/DeziTable.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

class TImportTarget {
 public:
  // Connects to FILE; fails the command when it does not open for writing.
  TImportTarget(const std::string& path, const std::string& tableName, const TCommandLine& line);
  TImportTarget(const TImportTarget&) = delete;
  TImportTarget& operator=(const TImportTarget&) = delete;

  TDeziTable& Table() { return table_; }
  // Fails the command when a table of that name exists already: replacing
  // it would lose its records.
  void RequireNewTable();
  // Creates the table from `fields` (RequireNewTable first), which leaves it
  // closed.
  void Create(const std::vector<TFieldDef>& fields);
  // Opens the table; fails the command with "table "NAME" does not exist".
  void Open();
  // Closes the table and writes what is pending to the disk, reporting a
  // failure (the destructor, which does the same, cannot).
  void Finish();

 private:
  // Declared first, so it goes after the table that names it.
  TDeziDatabase database_;
  TDeziTable table_;
  std::string tableName_;
};

}  // namespace norvane::tool
