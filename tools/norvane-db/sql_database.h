// The database the sql command's statements run against: a database
// component connected to FILE (a folder database when FILE names a folder,
// else a catalogue with the command line's password), whose database
// manager the statements' tables then share by FILE's path. A script that
// only reads holds the catalogue as dump does, sharing it with other
// readers; any other holds it alone, as import does.
#pragma once

#include <string>

#include "engine/tables/dezi_database.h"
#include "tools/norvane-db/command_line.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

class TSqlDatabase {
 public:
  // Connects to FILE, for writing when `writes`; fails the command when it
  // does not open so (busy, a wrong password, not a catalogue).
  TSqlDatabase(const std::string& path, const TCommandLine& line, bool writes);
  TSqlDatabase(const TSqlDatabase&) = delete;
  TSqlDatabase& operator=(const TSqlDatabase&) = delete;

  // The names a query context is given for this database: FILE as the
  // database name of a folder, as the database file name of a catalogue.
  const std::string& FolderName() const { return folder_; }
  const std::string& FileName() const { return file_; }
  // Writes what the catalogue holds pending to the disk and disconnects,
  // reporting a failure (the destructor, which does the same, cannot).
  // Every table of the database must be closed first.
  void Finish();

 private:
  // Declared first, so it goes after the component: while a reading
  // script runs, no writer gets in.
  TOpenCatalogue readHold_;
  TDeziDatabase database_;
  std::string folder_, file_;
};

}  // namespace norvane::tool
